#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "host/document.h"

namespace varelo::host {

// A file that could not be opened as a sheet; what() is the reason, fit to show the user.
class OpenError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Rebuilds a document from a .docx that Varelo wrote: page setup, styles, embedding flags,
// tables (nested too) with merges, borders, row heights, column widths and paddings, and
// every paragraph and run. Anything else (another program's .docx, a damaged or truncated
// package, absurd sizes) is refused with OpenError.
std::unique_ptr<Document> OpenDocx(const std::string& path);
std::unique_ptr<Document> OpenDocxBytes(std::string_view bytes);

// Limits that keep a hostile file from exhausting memory. A sheet has about 8,200 table
// slots and a 1.7 MB document part; composition grids add a few thousand slots more.
inline constexpr size_t kMaxDocxFileSize = 64u << 20;
inline constexpr size_t kMaxDocxPartSize = 32u << 20;
inline constexpr long kMaxDocxSlots = 1L << 18;  // table slots in the whole document
inline constexpr int kMaxDocxTableDepth = 8;
inline constexpr size_t kMaxDocxCustomXmlItems = 64;

}  // namespace varelo::host
