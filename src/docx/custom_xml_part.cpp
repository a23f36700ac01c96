// Custom XML items: the item part, its properties part and the relationship between them.

#include <string>

#include "docx/parts.h"
#include "docx/xml.h"

namespace varelo::host::docx {

std::string CustomXmlItemPart(size_t n) {
    return "customXml/item" + std::to_string(n) + ".xml";
}

std::string CustomXmlPropsPart(size_t n) {
    return "customXml/itemProps" + std::to_string(n) + ".xml";
}

std::string CustomXmlItemRelsPart(size_t n) {
    return "customXml/_rels/item" + std::to_string(n) + ".xml.rels";
}

// After the main document's three fixed relationships.
std::string CustomXmlRelId(size_t n) {
    return "rId" + std::to_string(n + 3);
}

std::string CustomXmlPropsXml(const CustomXmlPart& part) {
    std::string xml = kXmlDeclaration;
    xml += "<ds:datastoreItem ds:itemID=\"";
    AppendEscaped(xml, part.itemId, true);
    xml += "\" xmlns:ds=\"";
    xml += kNsCustomXml;
    xml += "\"><ds:schemaRefs>";
    if (!part.schemaUri.empty()) {
        xml += "<ds:schemaRef ds:uri=\"";
        AppendEscaped(xml, part.schemaUri, true);
        xml += "\"/>";
    }
    xml += "</ds:schemaRefs></ds:datastoreItem>";
    return xml;
}

std::string CustomXmlItemRelsXml(size_t n) {
    return std::string(kXmlDeclaration) +
           "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
           "<Relationship Id=\"rId1\" Type=\"" +
           kRelCustomXmlProps + "\" Target=\"itemProps" + std::to_string(n) +
           ".xml\"/></Relationships>";
}

}  // namespace varelo::host::docx
