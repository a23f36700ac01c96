#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "doc/document.h"

namespace varelo::host {

// A file that could not be opened as a sheet; what() is the reason, fit to show the user.
class OpenError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Rebuilds a document from a .docx, whatever program wrote it: page setup, styles, embedding
// flags, tables (nested too) with merges, borders, row heights, column widths and paddings,
// and every paragraph and run, through the markup's defaults and style inheritance. What the
// surface does not model is listed in Document::unmodelled (the document is then read-only);
// parts it does not interpret are carried. A damaged or truncated package, or one past the
// limits below, is refused with OpenError.
std::unique_ptr<Document> OpenDocx(const std::string& path);

// For a read-only document: what it holds that Varelo cannot keep, fit to show the user.
std::string UnmodelledMessage(const Document& doc);
std::unique_ptr<Document> OpenDocxBytes(std::string_view bytes);

// Limits that keep a hostile file from exhausting memory. The largest sheet (an A3 sheet with a
// 2,000-square composition) has about 12,300 table slots, 6,100 paragraphs and a 1.7 MB
// document part; LibreOffice re-saves it with as many runs as paragraphs and a 3 MB part.
inline constexpr size_t kMaxDocxFileSize = 64u << 20;
inline constexpr size_t kMaxDocxPartSize = 32u << 20;
inline constexpr long kMaxDocxSlots = 1L << 18;  // table slots in the whole document
inline constexpr int kMaxDocxTableDepth = 8;
inline constexpr size_t kMaxDocxCustomXmlItems = 64;
inline constexpr size_t kMaxDocxCarriedParts = 256;
// What the reader builds: ten times the largest sheet and its LibreOffice re-save (a few
// kilobytes of text); what the writer would make of anything accepted is checked to stay
// under kMaxDocxPartSize, so it opens again.
inline constexpr long kMaxDocxParagraphs = 65536;
inline constexpr long kMaxDocxRuns = 65536;
inline constexpr size_t kMaxDocxText = 1u << 20;  // bytes of text in runs
// Pictures: a sheet holds a logo and a code a page. Their bytes count once per distinct
// picture, and once per image part read.
inline constexpr long kMaxDocxPictures = 1024;
inline constexpr size_t kMaxDocxPictureBytes = 64u << 20;

}  // namespace varelo::host
