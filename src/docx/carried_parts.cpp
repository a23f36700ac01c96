// Parts of an opened package that Varelo does not interpret, written back as they came.

#include <cctype>
#include <string>

#include "docx/parts.h"
#include "docx/xml.h"

namespace varelo::host::docx {

bool CaseInsensitiveEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool IsWrittenPart(std::string_view name) {
    for (const char* part :
         {kContentTypesPart, kRootRelsPart, kAppPart, kDocumentPart, kDocumentRelsPart, kStylesPart,
          kSettingsPart, kFontTablePart, kFontTableRelsPart, kEmbeddedFontPart})
        if (CaseInsensitiveEqual(name, part)) return true;
    // Custom XML items are numbered afresh on every save.
    constexpr std::string_view kCustomXml = "customxml/";
    return name.size() >= kCustomXml.size() &&
           CaseInsensitiveEqual(name.substr(0, kCustomXml.size()), kCustomXml);
}

std::string CarriedRelationshipsXml(const Document& doc, std::string_view source) {
    std::string xml;
    size_t n = 0;
    for (const CarriedPart& part : doc.carriedParts) {
        ++n;
        if (part.source != source || IsWrittenPart(part.name)) continue;
        // Ids of their own kind, clear of the writer's rIdN; targets absolute, so they hold
        // from any source.
        xml += "<Relationship Id=\"rIdCarried" + std::to_string(n) + "\" Type=\"";
        AppendEscaped(xml, part.relationshipType, true);
        xml += "\" Target=\"/";
        AppendEscaped(xml, part.name, true);
        xml += "\"/>";
    }
    return xml;
}

std::string CarriedContentTypesXml(const Document& doc) {
    std::string xml;
    for (const CarriedPart& part : doc.carriedParts) {
        if (IsWrittenPart(part.name)) continue;
        xml += "<Override PartName=\"/";
        AppendEscaped(xml, part.name, true);
        xml += "\" ContentType=\"";
        AppendEscaped(xml, part.contentType, true);
        xml += "\"/>";
    }
    return xml;
}

}  // namespace varelo::host::docx
