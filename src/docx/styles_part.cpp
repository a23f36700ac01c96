// word/styles.xml: document defaults and the three paragraph styles the sheet uses.

#include "docx/parts.h"
#include "docx/xml.h"

namespace varelo::host::docx {

namespace {

void SetVal(pugi::xml_node parent, const char* name, const char* value) {
    parent.append_child(name).append_attribute("w:val") = value;
}

void SetVal(pugi::xml_node parent, const char* name, long value) {
    parent.append_child(name).append_attribute("w:val") = value;
}

// A stock default style the word processor keeps out of sight (semi-hidden until used).
pugi::xml_node AppendHiddenDefaultStyle(pugi::xml_node styles, const char* type, const char* id,
                                        const char* name, int priority) {
    pugi::xml_node style = styles.append_child("w:style");
    style.append_attribute("w:type") = type;
    style.append_attribute("w:default") = "1";
    style.append_attribute("w:styleId") = id;
    SetVal(style, "w:name", name);
    SetVal(style, "w:uiPriority", priority);
    style.append_child("w:semiHidden");
    style.append_child("w:unhideWhenUsed");
    return style;
}

void AppendFonts(pugi::xml_node rPr, const std::string& font) {
    const std::string name = CleanFontName(font);
    pugi::xml_node f = rPr.append_child("w:rFonts");
    f.append_attribute("w:ascii") = name.c_str();
    f.append_attribute("w:eastAsia") = name.c_str();
    f.append_attribute("w:hAnsi") = name.c_str();
}

void AppendSize(pugi::xml_node rPr, double size) {
    SetVal(rPr, "w:sz", HalfPoints(size));
    SetVal(rPr, "w:szCs", HalfPoints(size));
}

void AppendParagraphFormat(pugi::xml_node pPr, const ParagraphFormat& f) {
    if (!f.snapToGrid) SetVal(pPr, "w:snapToGrid", "0");
    pugi::xml_node spacing = pPr.append_child("w:spacing");
    const LineValue line = LineSpacingValue(f);
    spacing.append_attribute("w:before") = Twips(f.spaceBefore);
    spacing.append_attribute("w:after") = Twips(f.spaceAfter);
    spacing.append_attribute("w:line") = line.line;
    spacing.append_attribute("w:lineRule") = line.rule;
    SetVal(pPr, "w:jc", JcName(f.alignment));
}

void AppendStyle(pugi::xml_node styles, const Style& s, StyleId id, bool isDefault) {
    pugi::xml_node style = styles.append_child("w:style");
    style.append_attribute("w:type") = "paragraph";
    if (isDefault) style.append_attribute("w:default") = "1";
    style.append_attribute("w:styleId") = StyleIdName(id);
    SetVal(style, "w:name", CleanText(s.name).c_str());
    if (id != StyleId::Normal) {
        SetVal(style, "w:basedOn", "Normal");
        SetVal(style, "w:next", "Normal");
        SetVal(style, "w:uiPriority", 9);
    }
    style.append_child("w:qFormat");
    pugi::xml_node pPr = style.append_child("w:pPr");
    AppendParagraphFormat(pPr, s.paragraph);
    if (id != StyleId::Normal) SetVal(pPr, "w:outlineLvl", id == StyleId::Heading1 ? 0 : 1);
    pugi::xml_node rPr = style.append_child("w:rPr");
    if (!s.font.empty()) AppendFonts(rPr, s.font);
    if (s.bold)
        rPr.append_child("w:b");
    else
        SetVal(rPr, "w:b", "0");
    AppendSize(rPr, s.size);
}

}  // namespace

std::string StylesXml(const Document& doc) {
    return StylesXml(doc, CellParagraphFormat(doc));
}

std::string StylesXml(const Document& doc, const std::optional<ParagraphFormat>& cellFormat) {
    pugi::xml_document xml;
    AddDeclaration(xml);
    pugi::xml_node styles = xml.append_child("w:styles");
    styles.append_attribute("xmlns:w") = kNsW;

    const Style& normal = doc.GetStyle(StyleId::Normal);
    pugi::xml_node defaults = styles.append_child("w:docDefaults");
    pugi::xml_node rPr = defaults.append_child("w:rPrDefault").append_child("w:rPr");
    if (!normal.font.empty()) AppendFonts(rPr, normal.font);
    AppendSize(rPr, normal.size);
    pugi::xml_node lang = rPr.append_child("w:lang");
    lang.append_attribute("w:val") = "en-US";
    lang.append_attribute("w:eastAsia") = "zh-CN";
    lang.append_attribute("w:bidi") = "ar-SA";
    defaults.append_child("w:pPrDefault").append_child("w:pPr");

    // Paragraphs that name no style take the default one: the cell style when cells have one,
    // since nearly every paragraph of a sheet is a cell's.
    AppendStyle(styles, normal, StyleId::Normal, !cellFormat);
    AppendStyle(styles, doc.GetStyle(StyleId::Heading1), StyleId::Heading1, false);
    AppendStyle(styles, doc.GetStyle(StyleId::Heading2), StyleId::Heading2, false);

    if (cellFormat) {
        const ParagraphFormat& cell = *cellFormat;
        pugi::xml_node style = styles.append_child("w:style");
        style.append_attribute("w:type") = "paragraph";
        style.append_attribute("w:default") = "1";
        style.append_attribute("w:customStyle") = "1";
        style.append_attribute("w:styleId") = kCellStyleId;
        SetVal(style, "w:name", kCellStyleId);
        SetVal(style, "w:basedOn", "Normal");
        AppendParagraphFormat(style.append_child("w:pPr"), cell);
    }

    AppendHiddenDefaultStyle(styles, "character", "DefaultParagraphFont", "Default Paragraph Font",
                             1);

    // The default table style, with the word processor's stock cell margins.
    pugi::xml_node table =
        AppendHiddenDefaultStyle(styles, "table", "TableNormal", "Normal Table", 99);
    pugi::xml_node tblPr = table.append_child("w:tblPr");
    pugi::xml_node ind = tblPr.append_child("w:tblInd");
    ind.append_attribute("w:w") = 0;
    ind.append_attribute("w:type") = "dxa";
    pugi::xml_node mar = tblPr.append_child("w:tblCellMar");
    for (const char* side : {"w:top", "w:left", "w:bottom", "w:right"}) {
        pugi::xml_node m = mar.append_child(side);
        const bool horizontal = side[2] == 'l' || side[2] == 'r';
        m.append_attribute("w:w") = horizontal ? 108 : 0;
        m.append_attribute("w:type") = "dxa";
    }
    return ToXmlString(xml);
}

}  // namespace varelo::host::docx
