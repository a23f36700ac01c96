// word/fontTable.xml: every font the document names, with what a reader needs to find a
// substitute when the font is missing, and the embedded font's part and key.

#include <algorithm>
#include <string>
#include <vector>

#include "docx/parts.h"
#include "docx/xml.h"

namespace varelo::host::docx {

namespace {

struct FontInfo {
    const char* name;
    const char* altName;
    const char* charset;
    const char* family;
    const char* pitch;
};

// The Chinese fonts of the sheet (GB 2312 character set, 0x86).
constexpr FontInfo kKnownFonts[] = {
    {kFontSong, "SimSun", "86", "auto", "variable"},
    {kFontHei, "SimHei", "86", "modern", "fixed"},
    {kFontKai, "KaiTi_GB2312", "86", "modern", "fixed"},
};

}  // namespace

std::string FontTableXml(const Document& doc, const std::vector<std::string>& bodyFonts,
                         const EmbeddedFont* embedded) {
    std::vector<std::string> fonts;
    auto add = [&](const std::string& name) {
        if (!name.empty() && std::find(fonts.begin(), fonts.end(), name) == fonts.end())
            fonts.push_back(name);
    };
    for (StyleId id : {StyleId::Normal, StyleId::Heading1, StyleId::Heading2})
        add(CleanFontName(doc.GetStyle(id).font));
    for (const std::string& name : bodyFonts) add(name);
    if (embedded) add(embedded->name);

    pugi::xml_document xml;
    AddDeclaration(xml);
    pugi::xml_node table = xml.append_child("w:fonts");
    table.append_attribute("xmlns:w") = kNsW;
    if (embedded) table.append_attribute("xmlns:r") = kNsR;
    for (const std::string& name : fonts) {
        pugi::xml_node font = table.append_child("w:font");
        font.append_attribute("w:name") = name.c_str();
        const FontInfo* info = nullptr;
        for (const FontInfo& k : kKnownFonts)
            if (name == k.name) info = &k;
        if (info) {
            font.append_child("w:altName").append_attribute("w:val") = info->altName;
            font.append_child("w:charset").append_attribute("w:val") = info->charset;
        }
        font.append_child("w:family").append_attribute("w:val") = info ? info->family : "auto";
        font.append_child("w:pitch").append_attribute("w:val") = info ? info->pitch : "variable";
        // Last among the font's children, as the schema orders them.
        if (embedded && name == embedded->name) {
            pugi::xml_node embed = font.append_child("w:embedRegular");
            embed.append_attribute("r:id") = kFontTableRelId;
            embed.append_attribute("w:fontKey") = embedded->fontKey.c_str();
        }
    }
    return ToXmlString(xml);
}

std::string FontTableRelsXml() {
    return std::string(kXmlDeclaration) +
           "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
           "<Relationship Id=\"" +
           kFontTableRelId +
           "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/font\" "
           "Target=\"" +
           kEmbeddedFontTarget + "\"/></Relationships>";
}

}  // namespace varelo::host::docx
