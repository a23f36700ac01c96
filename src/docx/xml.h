#pragma once

// Shared pieces of the .docx writer and reader: a small streaming XML writer for the
// large document part, text sanitising, unit conversions and the word processor's
// constants as WordprocessingML names. Internal to the host library.

#include <bit>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <type_traits>
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

// pugixml's accessors are calls into its archive, made millions of times a second while a
// sheet is read, and none can be inlined. The reader reads a node's name, links and
// attributes from pugixml's own records instead: the record layout below is checked against
// the accessors once, at start-up, and where a build of the library lays them out otherwise
// the accessors are used. Fields are counted in pointers from the record's start.
namespace record {
inline constexpr size_t kNodeName = 1, kNodeFirstChild = 4, kNodeNextSibling = 6,
                        kNodeFirstAttribute = 7;
inline constexpr size_t kAttributeName = 1, kAttributeValue = 2, kAttributeNext = 4;
// Whether the layout above is the library's.
extern const bool kReadable;

template <typename T>
T Field(const void* record, size_t index) {
    T value;
    std::memcpy(&value, static_cast<const char*>(record) + index * sizeof(void*), sizeof value);
    return value;
}
template <typename Handle>
const void* Of(Handle h) {
    static_assert(sizeof(Handle) == sizeof(void*) && std::is_trivially_copyable_v<Handle>);
    return std::bit_cast<const void*>(h);
}
template <typename Handle>
Handle Make(const void* record) {
    return std::bit_cast<Handle>(record);
}
}  // namespace record

// A null node to copy. pugixml's constructors are not inline, copying a node is, and the
// reader starts from several null nodes for every cell.
inline const pugi::xml_node kNoNode;

// Whether a node is null. pugixml's test is a call; a node is one pointer, tested inline.
inline bool IsNull(pugi::xml_node n) {
    return record::Of(n) == nullptr;
}

// n.name(), n.first_child() and n.next_sibling(), inline.
inline const char* Name(pugi::xml_node n) {
    if (!record::kReadable) return n.name();
    if (IsNull(n)) return "";
    const char* name = record::Field<const char*>(record::Of(n), record::kNodeName);
    return name ? name : "";
}
inline pugi::xml_node FirstChild(pugi::xml_node n) {
    if (!record::kReadable) return n.first_child();
    if (IsNull(n)) return kNoNode;
    return record::Make<pugi::xml_node>(
        record::Field<const void*>(record::Of(n), record::kNodeFirstChild));
}
inline pugi::xml_node NextSibling(pugi::xml_node n) {
    if (!record::kReadable) return n.next_sibling();
    if (IsNull(n)) return kNoNode;
    return record::Make<pugi::xml_node>(
        record::Field<const void*>(record::Of(n), record::kNodeNextSibling));
}

// Whether a qualified name is exactly `name`, compared inline: the reader dispatches on
// element and attribute names millions of times a second. The comparison with a literal is
// unrolled and stops at the first differing character, so it never reads past the end of
// `qualified`. Names are compared exactly, prefix and all.
template <size_t N>
bool Named(const char* qualified, const char (&name)[N]) {
    return [&]<size_t... I>(std::index_sequence<I...>) {
        return ((qualified[I] == name[I]) && ...);
    }
    (std::make_index_sequence<N>{});
}
inline bool Named(const char* qualified, std::string_view name) {
    for (const char c : name)
        if (*qualified++ != c) return false;
    return *qualified == '\0';
}
template <typename Text>
bool Named(pugi::xml_node n, const Text& name) {
    return Named(Name(n), name);
}

namespace record {
// The node's first attribute whose name matches, as n.attribute(name) finds it.
template <typename Matches>
pugi::xml_attribute FindAttribute(pugi::xml_node n, Matches&& matches) {
    if (!kReadable) {
        for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute())
            if (matches(a.name())) return a;
        return {};
    }
    if (IsNull(n)) return {};
    for (const void* a = Field<const void*>(Of(n), kNodeFirstAttribute); a;
         a = Field<const void*>(a, kAttributeNext)) {
        const char* qualified = Field<const char*>(a, kAttributeName);
        if (qualified && matches(qualified)) return Make<pugi::xml_attribute>(a);
    }
    return {};
}
// a.value(): empty for a null attribute.
inline const char* ValueOf(pugi::xml_attribute a) {
    if (!kReadable) return a.value();
    if (Of(a) == nullptr) return "";
    const char* value = Field<const char*>(Of(a), kAttributeValue);
    return value ? value : "";
}
}  // namespace record

// The node's first attribute of that name, as n.attribute(name) finds it; null when none.
template <typename Text>
pugi::xml_attribute Attribute(pugi::xml_node n, const Text& name) {
    return record::FindAttribute(n, [&](const char* qualified) { return Named(qualified, name); });
}
// Its value, as n.attribute(name).value() gives it: empty when there is none.
template <typename Text>
const char* AttributeValue(pugi::xml_node n, const Text& name) {
    return record::ValueOf(Attribute(n, name));
}

// A node's children in order, for a range-for that tests each node inline.
class Children {
  public:
    explicit Children(pugi::xml_node parent) : first_(FirstChild(parent)) {}

    struct Iterator {
        pugi::xml_node node;
        pugi::xml_node operator*() const { return node; }
        Iterator& operator++() {
            node = NextSibling(node);
            return *this;
        }
        bool operator!=(std::default_sentinel_t) const { return !IsNull(node); }
    };
    Iterator begin() const { return {first_}; }
    std::default_sentinel_t end() const { return {}; }

  private:
    pugi::xml_node first_;
};

// The first child element of n of that name, as pugixml's child(name) finds it.
template <typename Text>
pugi::xml_node Child(pugi::xml_node n, const Text& name) {
    for (const pugi::xml_node c : Children(n))
        if (Named(c, name)) return c;
    return kNoNode;
}

// An on/off property: absent is off; present without w:val, or with any value but
// "0", "false" or "off", is on.
bool OnOff(pugi::xml_node element);

// Renders a pugixml document with the standard declaration, no indentation.
std::string ToXmlString(const pugi::xml_document& doc);
// A new pugixml document with the standalone declaration already in place.
void AddDeclaration(pugi::xml_document& doc);

}  // namespace varelo::host::docx
