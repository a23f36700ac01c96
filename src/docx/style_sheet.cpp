#include "docx/style_sheet.h"

#include <cctype>

#include "base/units.h"
#include "docx/read_body.h"
#include "docx/xml.h"

namespace varelo::host::docx {

namespace {

// basedOn chains longer than this are a loop or a hostile file; the rest is ignored.
constexpr int kMaxStyleDepth = 32;

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The document's own styles are known by their names, whatever ids a program gives them.
std::optional<StyleId> OwnStyle(pugi::xml_node style) {
    const std::string name = Lower(style.child("w:name").attribute("w:val").value());
    if (name == "normal") return StyleId::Normal;
    if (name == "heading 1") return StyleId::Heading1;
    if (name == "heading 2") return StyleId::Heading2;
    return std::nullopt;
}

void Index(pugi::xml_node styles, const char* type,
           std::map<std::string, pugi::xml_node, std::less<>>& out, std::string& defaultId) {
    for (pugi::xml_node s = styles.child("w:style"); s; s = s.next_sibling("w:style")) {
        if (std::string_view(s.attribute("w:type").value()) != type) continue;
        const std::string id = s.attribute("w:styleId").value();
        out.emplace(id, s);
        const std::string_view isDefault = s.attribute("w:default").value();
        if (defaultId.empty() && (isDefault == "1" || isDefault == "true" || isDefault == "on"))
            defaultId = id;
    }
}

const char* const kSides[] = {"w:top", "w:left", "w:bottom", "w:right", "w:insideH", "w:insideV"};
// Bidirectional-neutral names of the left and right sides, as LibreOffice writes them.
const char* const kLogicalSides[] = {nullptr, "w:start", nullptr, "w:end", nullptr, nullptr};

}  // namespace

StyleSheet::StyleSheet(pugi::xml_node styles) {
    // The markup's defaults: 10 pt, not bold, left aligned, single spacing, nothing before
    // or after.
    base_.paragraph.alignment = Alignment::Left;
    base_.chars = {std::nullopt, 10.0, false};
    if (!styles) return;
    const pugi::xml_node defaults = styles.child("w:docDefaults");
    ReadParagraphFormat(defaults.child("w:pPrDefault").child("w:pPr"), base_.paragraph);
    base_.chars.MergeFrom(ReadCharFormat(defaults.child("w:rPrDefault").child("w:rPr")));
    std::string unusedDefault;
    Index(styles, "paragraph", paragraph_, defaultParagraph_);
    Index(styles, "character", character_, unusedDefault);
    Index(styles, "table", table_, defaultTable_);
    unnamedCharacter_ = ResolveCharacter("", 0);
}

const ParagraphStyle& StyleSheet::ResolveParagraph(const std::string& id, int depth) const {
    if (const auto it = resolved_.find(id); it != resolved_.end()) return it->second;
    const auto style = paragraph_.find(id);
    if (style == paragraph_.end() || depth > kMaxStyleDepth) return base_;
    const pugi::xml_node s = style->second;
    const std::string parent = s.child("w:basedOn").attribute("w:val").value();
    ParagraphStyle out =
        parent.empty() || parent == id ? base_ : ResolveParagraph(parent, depth + 1);
    if (out.own == StyleId::Normal) {
        out.overNormal = true;
        out.added = {};
    }
    ReadParagraphFormat(s.child("w:pPr"), out.paragraph);
    const CharFormat chars = ReadCharFormat(s.child("w:rPr"));
    out.chars.MergeFrom(chars);
    out.added.MergeFrom(chars);
    out.own = OwnStyle(s);
    if (out.own) out.overNormal = false;
    return resolved_.emplace(id, std::move(out)).first->second;
}

const ParagraphStyle& StyleSheet::Paragraph(std::string_view id) const {
    if (last_ && id == lastId_) return *last_;
    const std::string key(id.empty() || !paragraph_.count(id) ? defaultParagraph_ : id);
    last_ = &ResolveParagraph(key, 0);
    lastId_ = id;
    return *last_;
}

CharFormat StyleSheet::ResolveCharacter(const std::string& id, int depth) const {
    const auto style = character_.find(id);
    if (style == character_.end() || depth > kMaxStyleDepth) return {};
    const std::string parent = style->second.child("w:basedOn").attribute("w:val").value();
    CharFormat out = parent == id ? CharFormat{} : ResolveCharacter(parent, depth + 1);
    out.MergeFrom(ReadCharFormat(style->second.child("w:rPr")));
    return out;
}

CharFormat StyleSheet::Character(std::string_view id) const {
    // Nearly every run names no character style.
    if (id.empty()) return unnamedCharacter_;
    return ResolveCharacter(std::string(id), 0);
}

void StyleSheet::ResolveTable(const std::string& id, int depth, TableStyle& out) const {
    const auto style = table_.find(id);
    if (style == table_.end() || depth > kMaxStyleDepth) return;
    const std::string parent = style->second.child("w:basedOn").attribute("w:val").value();
    if (parent != id) ResolveTable(parent, depth + 1, out);
    ReadTableStyle(style->second.child("w:tblPr"), out);
}

TableStyle StyleSheet::Table(std::string_view id) const {
    TableStyle out;
    ResolveTable(std::string(id.empty() || !table_.count(id) ? defaultTable_ : id), 0, out);
    return out;
}

void StyleSheet::ApplyTo(Document& doc) const {
    for (const auto& [id, node] : paragraph_) {
        const std::optional<StyleId> own = OwnStyle(node);
        if (!own) continue;
        const ParagraphStyle& resolved = ResolveParagraph(id, 0);
        Style& style = doc.GetStyle(*own);
        if (std::string name = CleanText(node.child("w:name").attribute("w:val").value());
            !name.empty())
            style.name = std::move(name);
        style.paragraph = resolved.paragraph;
        style.font = resolved.chars.font.value_or(std::string());
        style.size = resolved.chars.size.value_or(10);
        style.bold = resolved.chars.bold.value_or(false);
    }
    // Headings are written based on Normal: one that names no font has Normal's, as it will
    // once saved.
    for (const StyleId heading : {StyleId::Heading1, StyleId::Heading2}) {
        Style& style = doc.GetStyle(heading);
        if (style.font.empty()) style.font = doc.GetStyle(StyleId::Normal).font;
    }
}

void ReadTableStyle(pugi::xml_node tblPr, TableStyle& style) {
    if (!tblPr) return;
    const pugi::xml_node mar = tblPr.child("w:tblCellMar");
    for (int side = 0; side < 4; ++side) {
        pugi::xml_node m = mar.child(kSides[side]);
        if (!m && kLogicalSides[side]) m = mar.child(kLogicalSides[side]);
        if (!m) continue;
        const long long twips = m.attribute("w:w").as_llong(-1);
        if (twips >= 0 && twips <= 31680)
            style.margins[side] = TwipsToPoints(static_cast<long>(twips));
    }
    const pugi::xml_node borders = tblPr.child("w:tblBorders");
    for (int side = 0; side < 6; ++side) {
        pugi::xml_node b = borders.child(kSides[side]);
        if (!b && kLogicalSides[side]) b = borders.child(kLogicalSides[side]);
        if (b) style.borders[side] = b;
    }
}

}  // namespace varelo::host::docx
