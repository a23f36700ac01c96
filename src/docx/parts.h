#pragma once

// The package parts of a .docx, one writer each. Internal to the host library.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "doc/document.h"
#include "docx/zip.h"

namespace varelo::host::docx {

// Deflate level of every part. Levels 1 to 3 run at the same speed on a sheet and 3 packs
// tightest among them; from 4 on zlib's slower strategy takes four times as long for a
// file about a third smaller (bench/bench_docx.cpp).
inline constexpr int kDeflateLevel = 3;

// Package names of the parts.
inline constexpr const char* kContentTypesPart = "[Content_Types].xml";
inline constexpr const char* kRootRelsPart = "_rels/.rels";
inline constexpr const char* kAppPart = "docProps/app.xml";
inline constexpr const char* kDocumentPart = "word/document.xml";
inline constexpr const char* kDocumentRelsPart = "word/_rels/document.xml.rels";
inline constexpr const char* kStylesPart = "word/styles.xml";
inline constexpr const char* kSettingsPart = "word/settings.xml";
inline constexpr const char* kFontTablePart = "word/fontTable.xml";
inline constexpr const char* kFontTableRelsPart = "word/_rels/fontTable.xml.rels";
// Relative to the font table, where its relationship points.
inline constexpr const char* kEmbeddedFontTarget = "fonts/font1.odttf";
inline constexpr const char* kEmbeddedFontPart = "word/fonts/font1.odttf";
inline constexpr const char* kFontTableRelId = "rId1";

// A font the package carries: its obfuscated bytes, ready deflated, and the key that undoes
// the obfuscation.
struct EmbeddedFont {
    std::string name;
    std::string fontKey;  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case
    DeflatedPart part;
};
// The bubble font, built once per process.
const EmbeddedFont& BubbleFont();
// The font the document's package must carry: the bubble font when the document asks for
// embedded TrueType fonts and names it anywhere; otherwise none. System fonts never are.
const EmbeddedFont* FontToEmbed(const Document& doc);
// Whether a style or any paragraph mark or run of the document names the font.
bool UsesFont(const Document& doc, std::string_view name);
// A key derived from the font's bytes, so equal documents give equal files.
std::string FontKey(std::string_view font);
// XORs the first 32 bytes with the key's bytes in reverse order; applied twice it restores
// the font. Throws SaveError for a key that is not 32 hex digits.
std::string ObfuscateFont(std::string_view font, std::string_view fontKey);

// Declares the obfuscated font type when the package carries a font, the image types of
// `defaults` (Default elements), and the properties part of every custom XML item.
std::string ContentTypesXml(bool embedsFont, size_t customXmlItems, std::string_view extra = {},
                            std::string_view defaults = {});
std::string RootRelsXml(std::string_view extra = {});
// The main document's relationships: its fixed parts, then every custom XML item.
std::string DocumentRelsXml(size_t customXmlItems, std::string_view extra = {});

// Whether the writer writes a part by this name (compared as package names are: ignoring
// case), so that no carried part may take it.
bool IsWrittenPart(std::string_view name);
bool CaseInsensitiveEqual(std::string_view a, std::string_view b);

// Relationships and content types of the carried parts, after the writer's own.
std::string CarriedRelationshipsXml(const Document& doc, std::string_view source);
std::string CarriedContentTypesXml(const Document& doc);

// Custom XML item n (1-based): the item, its properties part and the relationships that
// tie them; the main document points to the item with relationship CustomXmlRelId(n).
std::string CustomXmlItemPart(size_t n);
std::string CustomXmlPropsPart(size_t n);
std::string CustomXmlItemRelsPart(size_t n);
std::string CustomXmlRelId(size_t n);
std::string CustomXmlPropsXml(const CustomXmlPart& part);
std::string CustomXmlItemRelsXml(size_t n);
// docProps/app.xml: names Varelo as the application that wrote the file.
std::string AppXml();

// Pictures: one media part per distinct image, named word/media/imageN.png|jpeg, reached
// from the main document by relationship rIdImageN. Equal bytes share one part.
// A picture's side in EMU (12,700 a point) is kept within 1 EMU and Word's largest page side,
// by the writer and the reader alike, so what one writes the other reads.
inline constexpr long kEmuPerPoint = 12700;
inline constexpr long kMaxPictureEmu = 31680L * 635;  // 22 inches
long PictureEmu(double points);
class MediaParts {
  public:
    struct Part {
        std::string name;   // "word/media/image1.png"
        std::string relId;  // "rIdImage1"
        const InlinePicture* picture;
    };
    // The document's pictures, in order of first appearance; names that carried parts take
    // are skipped. Throws SaveError for a picture that is neither PNG nor JPEG.
    explicit MediaParts(const Document& doc);
    const std::vector<Part>& Parts() const { return parts_; }
    // The part that holds the picture's bytes.
    const Part& Of(const InlinePicture& picture) const;
    // Default elements for [Content_Types].xml and relationships for the main document.
    std::string ContentTypeDefaults() const;
    std::string Relationships() const;

  private:
    void Add(const InlinePicture& picture, const Document& doc);
    void AddIn(const Content& content, const Document& doc);
    std::vector<Part> parts_;
    std::unordered_map<const InlinePicture*, size_t> byPicture_;  // into parts_
};

// document.xml is streamed out in pieces, so the package can deflate it as it is made.
using XmlSink = std::function<void(std::string_view)>;
// Returns the fonts the body names, in order of first use, for the font table.
std::vector<std::string> WriteDocumentXml(const Document& doc, const XmlSink& put);
std::string DocumentXml(const Document& doc);
std::string StylesXml(const Document& doc);
// The same, given the document's CellParagraphFormat, which a package computes once for both.
std::vector<std::string> WriteDocumentXml(const Document& doc,
                                          const std::optional<ParagraphFormat>& cellFormat,
                                          const XmlSink& put);
// The same, with the media parts the package holds for the document's pictures.
std::vector<std::string> WriteDocumentXml(const Document& doc,
                                          const std::optional<ParagraphFormat>& cellFormat,
                                          const MediaParts& media, const XmlSink& put);
std::string StylesXml(const Document& doc, const std::optional<ParagraphFormat>& cellFormat);
std::string SettingsXml(const Document& doc);
// Given an embedded font, its entry also points to the font part and carries the key.
std::string FontTableXml(const Document& doc, const std::vector<std::string>& bodyFonts,
                         const EmbeddedFont* embedded);
std::string FontTableRelsXml();

// The format most paragraphs of Normal style in table cells share (grid snapping off), which
// styles.xml gives as the default paragraph style kCellStyleId, based on Normal; none when
// no cell holds one.
std::optional<ParagraphFormat> CellParagraphFormat(const Document& doc);
inline constexpr const char* kCellStyleId = "Cell";

// The trailing body paragraph after the page grid must not push a blank page: this is
// the format it is written with. Its line is a little under 1 pt: LibreOffice fits only
// whole grid lines on a page, which on B5 leaves 18 twips below the grid's 54 rows.
ParagraphFormat TrailingParagraphFormat();
inline constexpr double kTrailingFontSize = 1;
inline constexpr double kTrailingLineSpacing = 0.75;

// The document grid's pitch in twips: the text height over the lines per page, rounded
// down, so that LinesPage whole lines fit (LibreOffice drops a line that does not).
long TextHeightTwips(const PageSetup& ps);
long LinePitch(const PageSetup& ps);

// Line spacing as w:spacing's w:line and w:lineRule.
struct LineValue {
    long line;
    const char* rule;
};
LineValue LineSpacingValue(const ParagraphFormat& f);
// The inverse: rule and points from w:line and w:lineRule.
void ParseLineSpacing(long line, std::string_view rule, ParagraphFormat& f);

}  // namespace varelo::host::docx
