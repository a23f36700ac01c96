// The package's bytes, and saving them atomically.

#include <optional>
#include <string>
#include <vector>

#include "base/atomic_file.h"
#include "base/printable.h"
#include "docx/parts.h"
#include "docx/reader.h"
#include "docx/writer.h"
#include "docx/xml.h"
#include "docx/zip.h"

namespace varelo::host {

std::string DocxBytes(const Document& doc) {
    // Known before anything is written: the content types, first in the package, declare it.
    const docx::EmbeddedFont* embedded = docx::FontToEmbed(doc);
    const docx::MediaParts media(doc);
    docx::ZipWriter zip(docx::kDeflateLevel);
    zip.Add(docx::kContentTypesPart,
            docx::ContentTypesXml(embedded != nullptr, doc.customXml.size(),
                                  docx::CarriedContentTypesXml(doc), media.ContentTypeDefaults()));
    zip.Add(docx::kRootRelsPart, docx::RootRelsXml(docx::CarriedRelationshipsXml(doc, "")));
    zip.Add(docx::kAppPart, docx::AppXml());
    const std::optional<ParagraphFormat> cellFormat = docx::CellParagraphFormat(doc);
    zip.Begin(docx::kDocumentPart);
    const std::vector<std::string> fonts = docx::WriteDocumentXml(
        doc, cellFormat, media, [&](std::string_view piece) { zip.Write(piece); });
    zip.End();
    zip.Add(docx::kDocumentRelsPart,
            docx::DocumentRelsXml(
                doc.customXml.size(),
                media.Relationships() + docx::CarriedRelationshipsXml(doc, docx::kDocumentPart)));
    zip.Add(docx::kStylesPart, docx::StylesXml(doc, cellFormat));
    zip.Add(docx::kSettingsPart, docx::SettingsXml(doc));
    zip.Add(docx::kFontTablePart, docx::FontTableXml(doc, fonts, embedded));
    if (embedded) {
        zip.Add(docx::kFontTableRelsPart, docx::FontTableRelsXml());
        zip.Add(docx::kEmbeddedFontPart, embedded->part);
    }
    for (size_t n = 1; n <= doc.customXml.size(); ++n) {
        const CustomXmlPart& part = doc.customXml[n - 1];
        zip.Add(docx::CustomXmlItemPart(n), part.xml);
        zip.Add(docx::CustomXmlItemRelsPart(n), docx::CustomXmlItemRelsXml(n));
        zip.Add(docx::CustomXmlPropsPart(n), docx::CustomXmlPropsXml(part));
    }
    // Pictures are compressed already: deflating them again would gain nothing.
    for (const docx::MediaParts::Part& part : media.Parts())
        zip.AddStored(part.name, part.picture->data);
    for (const CarriedPart& part : doc.carriedParts)
        if (!docx::IsWrittenPart(part.name)) zip.Add(part.name, part.data);
    return zip.Finish();
}

void SaveDocx(const Document& doc, const std::string& path) {
    // Saving never drops content silently.
    if (doc.ReadOnly())
        throw SaveError("Cannot save " + Quoted(path) + ": " + UnmodelledMessage(doc));
    SaveFileAtomically(path, DocxBytes(doc));
}

}  // namespace varelo::host
