#pragma once

// Shared pieces of the .docx writer and reader: a small streaming XML writer for the
// large document part, text sanitising, unit conversions and the word processor's
// constants as WordprocessingML names. Internal to the host library.

#include <cstddef>
#include <iterator>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <utility>

#include "doc/constants.h"

namespace varelo::host::docx {

inline constexpr const char* kXmlDeclaration =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
inline constexpr const char* kNsW = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
inline constexpr const char* kNsR =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
inline constexpr const char* kNsCustomXml =
    "http://schemas.openxmlformats.org/officeDocument/2006/customXml";
inline constexpr const char* kRelCustomXml =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/customXml";
inline constexpr const char* kRelCustomXmlProps =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/customXmlProps";
#define VARELO_REL "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
inline constexpr const char* kRelOfficeDocument = VARELO_REL "officeDocument";
inline constexpr const char* kRelExtendedProperties = VARELO_REL "extended-properties";
inline constexpr const char* kRelStyles = VARELO_REL "styles";
inline constexpr const char* kRelSettings = VARELO_REL "settings";
inline constexpr const char* kRelFontTable = VARELO_REL "fontTable";
inline constexpr const char* kRelImage = VARELO_REL "image";
#undef VARELO_REL
inline constexpr const char* kApplicationName = "Varelo";

// Gutter positions beside kGutterPosLeft.
inline constexpr int kGutterPosTop = 1;
inline constexpr int kGutterPosRight = 2;

// Word refuses font names of 32 characters or more.
inline constexpr size_t kMaxFontNameChars = 31;

// Appends s as XML text (or as an attribute value in double quotes): markup characters
// escaped, characters XML 1.0 forbids and malformed UTF-8 dropped, so any input stays
// well-formed.
void AppendEscaped(std::string& out, std::string_view s, bool attribute = false);

// The same filtering without escaping, for text handed to pugixml (which escapes).
std::string CleanText(std::string_view s);
void AppendCleanText(std::string& out, std::string_view s);

// A font name as the file may carry it: cleaned and cut to Word's limit.
std::string CleanFontName(std::string_view name);

long Twips(double points);
long HalfPoints(double points);
long FiftiethsOfPercent(double percent);

// Word constants <-> WordprocessingML attribute values.
const char* JcName(Alignment a);
std::optional<Alignment> ParseJc(std::string_view v);
const char* RowJcName(RowAlignment a);
std::optional<RowAlignment> ParseRowJc(std::string_view v);
const char* CellVAlignName(CellVAlign a);
std::optional<CellVAlign> ParseCellVAlign(std::string_view v);
const char* PageVAlignName(int wdVerticalAlignment);
std::optional<int> ParsePageVAlign(std::string_view v);
const char* SectionTypeName(int wdSectionStart);
std::optional<int> ParseSectionType(std::string_view v);
// Empty for the default layout mode, which writes no w:type.
const char* DocGridTypeName(int wdLayoutMode);
std::optional<int> ParseDocGridType(std::string_view v);
const char* BorderValName(int wdLineStyle);
int ParseBorderVal(std::string_view v);  // kLineStyleNone for "nil"/"none"/unknown-empty
// Word colours are 0x00BBGGRR; automatic becomes "auto".
std::string ColorName(int wdColor);
int ParseColor(std::string_view v);

// Paragraph style ids of styles.xml.
const char* StyleIdName(StyleId id);
std::optional<StyleId> ParseStyleId(std::string_view v);
// Word paper sizes that have an OOXML paper code; 0 for none (custom).
int PaperCode(int wdPaperSize);
int PaperSizeFromCode(int code);

// A null node to copy: pugixml's constructors are calls into the library, copying a node is
// not, and the reader starts from several null nodes for every cell.
inline const pugi::xml_node kNoNode;

// Whether a qualified name is exactly `name`, compared inline: the reader dispatches on
// element names millions of times a second. The comparison with a literal is unrolled and
// stops at the first differing character, so it never reads past the end of `qualified`.
// Names are compared exactly, prefix and all.
template <size_t N>
bool Named(const char* qualified, const char (&name)[N]) {
    return [&]<size_t... I>(std::index_sequence<I...>) {
        return ((qualified[I] == name[I]) && ...);
    }
    (std::make_index_sequence<N>{});
}
template <size_t N>
bool Named(pugi::xml_node n, const char (&name)[N]) {
    return Named(n.name(), name);
}

// A node's children in order: one call into pugixml a step for the link and one for the
// null test, where pugixml's own range makes three.
class Children {
  public:
    explicit Children(pugi::xml_node parent) : first_(parent.first_child()) {}

    struct Iterator {
        pugi::xml_node node;
        pugi::xml_node operator*() const { return node; }
        Iterator& operator++() {
            node = node.next_sibling();
            return *this;
        }
        bool operator!=(std::default_sentinel_t) const { return !node.empty(); }
    };
    Iterator begin() const { return {first_}; }
    std::default_sentinel_t end() const { return {}; }

  private:
    pugi::xml_node first_;
};

// An on/off property: absent is off; present without w:val, or with any value but
// "0", "false" or "off", is on.
bool OnOff(pugi::xml_node element);

// Renders a pugixml document with the standard declaration, no indentation.
std::string ToXmlString(const pugi::xml_document& doc);
// A new pugixml document with the standalone declaration already in place.
void AddDeclaration(pugi::xml_document& doc);

}  // namespace varelo::host::docx
