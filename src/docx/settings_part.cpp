// word/settings.xml: font embedding, gutter position, and the compatibility mode.

#include "docx/parts.h"
#include "docx/xml.h"

namespace varelo::host::docx {

std::string SettingsXml(const Document& doc) {
    pugi::xml_document xml;
    AddDeclaration(xml);
    pugi::xml_node settings = xml.append_child("w:settings");
    settings.append_attribute("xmlns:w") = kNsW;
    settings.append_child("w:zoom").append_attribute("w:percent") = 100;
    // saveSubsetFonts stays unset: the package carries the whole font, so text typed into
    // the sheet later still finds its glyphs.
    if (doc.embedTrueTypeFonts) settings.append_child("w:embedTrueTypeFonts");
    // The file's flag is the positive one: present means "embed the system fonts too".
    if (!doc.doNotEmbedSystemFonts) settings.append_child("w:embedSystemFonts");
    if (doc.pageSetup.gutterPos == kGutterPosTop) settings.append_child("w:gutterAtTop");
    settings.append_child("w:defaultTabStop").append_attribute("w:val") = 420;
    settings.append_child("w:characterSpacingControl").append_attribute("w:val") =
        "compressPunctuation";
    // adjustLineHeightInTable stays unset: lines in table cells must ignore the page's grid.
    pugi::xml_node mode = settings.append_child("w:compat").append_child("w:compatSetting");
    mode.append_attribute("w:name") = "compatibilityMode";
    mode.append_attribute("w:uri") = "http://schemas.microsoft.com/office/word";
    mode.append_attribute("w:val") = 15;
    return ToXmlString(xml);
}

}  // namespace varelo::host::docx
