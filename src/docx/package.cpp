// The fixed parts of the package: content types, relationships, application properties.

#include <string>

#include "docx/parts.h"
#include "docx/xml.h"

namespace varelo::host::docx {

#define VARELO_OXML "application/vnd.openxmlformats-officedocument."
#define VARELO_RELS "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"

std::string ContentTypesXml(bool embedsFont, size_t customXmlItems, std::string_view extra,
                            std::string_view defaults) {
    std::string xml =
        std::string(kXmlDeclaration) +
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" "
        "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>" +
        (embedsFont ? "<Default Extension=\"odttf\" ContentType=\"" VARELO_OXML "obfuscatedFont\"/>"
                    : "") +
        std::string(defaults) +
        "<Override PartName=\"/word/document.xml\" "
        "ContentType=\"" VARELO_OXML
        "wordprocessingml.document.main+xml\"/>"
        "<Override PartName=\"/word/styles.xml\" "
        "ContentType=\"" VARELO_OXML
        "wordprocessingml.styles+xml\"/>"
        "<Override PartName=\"/word/settings.xml\" "
        "ContentType=\"" VARELO_OXML
        "wordprocessingml.settings+xml\"/>"
        "<Override PartName=\"/word/fontTable.xml\" "
        "ContentType=\"" VARELO_OXML
        "wordprocessingml.fontTable+xml\"/>"
        "<Override PartName=\"/docProps/app.xml\" "
        "ContentType=\"" VARELO_OXML "extended-properties+xml\"/>";
    for (size_t n = 1; n <= customXmlItems; ++n)
        xml += "<Override PartName=\"/" + CustomXmlPropsPart(n) +
               "\" ContentType=\"" VARELO_OXML "customXmlProperties+xml\"/>";
    xml += extra;
    return xml + "</Types>";
}

std::string RootRelsXml(std::string_view extra) {
    return std::string(kXmlDeclaration) +
           "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
           "<Relationship Id=\"rId1\" Type=\"" VARELO_RELS
           "officeDocument\" "
           "Target=\"word/document.xml\"/>"
           "<Relationship Id=\"rId2\" Type=\"" VARELO_RELS
           "extended-properties\" "
           "Target=\"docProps/app.xml\"/>" +
           std::string(extra) + "</Relationships>";
}

std::string DocumentRelsXml(size_t customXmlItems, std::string_view extra) {
    std::string xml =
        std::string(kXmlDeclaration) +
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"" VARELO_RELS
        "styles\" Target=\"styles.xml\"/>"
        "<Relationship Id=\"rId2\" Type=\"" VARELO_RELS
        "settings\" Target=\"settings.xml\"/>"
        "<Relationship Id=\"rId3\" Type=\"" VARELO_RELS
        "fontTable\" "
        "Target=\"fontTable.xml\"/>";
    for (size_t n = 1; n <= customXmlItems; ++n)
        xml += "<Relationship Id=\"" + CustomXmlRelId(n) +
               "\" Type=\"" VARELO_RELS "customXml\" Target=\"../" + CustomXmlItemPart(n) + "\"/>";
    xml += extra;
    return xml + "</Relationships>";
}

std::string AppXml() {
    return std::string(kXmlDeclaration) +
           "<Properties "
           "xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\">"
           "<Application>" +
           kApplicationName + "</Application><DocSecurity>0</DocSecurity></Properties>";
}

#undef VARELO_OXML
#undef VARELO_RELS

}  // namespace varelo::host::docx
