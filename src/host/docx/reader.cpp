// Opening a .docx that Varelo wrote: the package, its application mark, the styles and
// settings; the body is read by read_body.cpp.

#include "host/docx/reader.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "host/docx/package_reader.h"
#include "host/docx/parts.h"
#include "host/docx/read_body.h"
#include "host/docx/xml.h"
#include "host/errors.h"

namespace varelo::host {

namespace {

using docx::PackageReader;
using docx::ParsePart;

void ReadStyles(pugi::xml_node styles, Document& doc) {
    for (pugi::xml_node s = styles.child("w:style"); s; s = s.next_sibling("w:style")) {
        const auto id = docx::ParseStyleId(s.attribute("w:styleId").value());
        if (!id || std::string_view(s.attribute("w:type").value()) != "paragraph") continue;
        Style& style = doc.GetStyle(*id);
        if (std::string name = docx::CleanText(s.child("w:name").attribute("w:val").value());
            !name.empty())
            style.name = std::move(name);
        docx::ReadParagraphFormat(s.child("w:pPr"), style.paragraph);
        const CharFormat f = docx::ReadCharFormat(s.child("w:rPr"));
        if (f.font) style.font = *f.font;
        if (f.size) style.size = *f.size;
        if (f.bold) style.bold = *f.bold;
    }
}

void ReadSettings(pugi::xml_node settings, Document& doc) {
    doc.embedTrueTypeFonts = docx::OnOff(settings.child("w:embedTrueTypeFonts"));
    doc.doNotEmbedSystemFonts = !docx::OnOff(settings.child("w:embedSystemFonts"));
    if (docx::OnOff(settings.child("w:gutterAtTop"))) doc.pageSetup.gutterPos = docx::kGutterPosTop;
}

// The custom XML items the main document points to, each with the item id and schema its
// properties part declares. Their content is carried, not interpreted.
void ReadCustomXml(PackageReader& package, Document& doc) {
    for (const docx::Relationship& rel : package.RelationshipsOf(docx::kDocumentPart)) {
        if (rel.type != docx::kRelCustomXml) continue;
        std::optional<std::string> item = package.Read(rel.target);
        if (!item) continue;  // a dangling relationship holds nothing to keep
        if (doc.customXml.size() >= kMaxDocxCustomXmlItems)
            throw OpenError("The document holds more than " +
                            std::to_string(kMaxDocxCustomXmlItems) + " custom XML parts.");
        CustomXmlPart part{std::move(*item), {}, {}};
        for (const docx::Relationship& props : package.RelationshipsOf(rel.target)) {
            if (props.type != docx::kRelCustomXmlProps) continue;
            const std::optional<std::string> bytes = package.Read(props.target);
            if (!bytes) continue;
            const pugi::xml_document xml = ParsePart(*bytes, props.target);
            const pugi::xml_node root = xml.document_element();
            for (pugi::xml_attribute a : root.attributes())
                if (docx::LocalName(a.name()) == "itemID") part.itemId = docx::CleanText(a.value());
            for (pugi::xml_node refs : root.children())
                for (pugi::xml_node ref : refs.children())
                    for (pugi::xml_attribute a : ref.attributes())
                        if (part.schemaUri.empty() && docx::LocalName(a.name()) == "uri")
                            part.schemaUri = docx::CleanText(a.value());
            break;
        }
        doc.customXml.push_back(std::move(part));
    }
}

void ReadParts(PackageReader& package, const std::string& body, Document& doc) {
    if (const auto styles = package.Read(docx::kStylesPart))
        ReadStyles(ParsePart(*styles, docx::kStylesPart).child("w:styles"), doc);
    {
        const pugi::xml_document xml = ParsePart(body, docx::kDocumentPart);
        docx::ReadDocumentXml(xml.child("w:document"), doc);
    }
    if (const auto settings = package.Read(docx::kSettingsPart))
        ReadSettings(ParsePart(*settings, docx::kSettingsPart).child("w:settings"), doc);
    ReadCustomXml(package, doc);
}

}  // namespace

std::unique_ptr<Document> OpenDocxBytes(std::string_view bytes) {
    if (bytes.size() > kMaxDocxFileSize) throw OpenError("The file is too large for a sheet.");
    PackageReader package(bytes);

    // Only sheets this program wrote are opened: their application properties say so.
    const std::optional<std::string> app = package.Read(docx::kAppPart);
    const pugi::xml_document appXml = app ? ParsePart(*app, docx::kAppPart) : pugi::xml_document();
    if (std::string_view(appXml.child("Properties").child_value("Application")) !=
        docx::kApplicationName)
        throw OpenError("The document was not made by Varelo and cannot be opened.");

    const std::optional<std::string> body = package.Read(docx::kDocumentPart);
    if (!body) throw OpenError("The document is damaged: it has no word/document.xml.");

    auto doc = std::make_unique<Document>();
    try {
        ReadParts(package, *body, *doc);
    } catch (const HostError& e) {
        // The surface refused what the file asked of it (a merge, a size).
        throw OpenError(std::string("The document is damaged: ") + e.what());
    }
    doc->saved = true;
    return doc;
}

std::unique_ptr<Document> OpenDocx(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw OpenError("Cannot open \"" + path + "\" (" + std::strerror(errno) + ").");
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        throw OpenError("Cannot open \"" + path + "\": it is a folder.");
    if (st.st_size > static_cast<off_t>(kMaxDocxFileSize))
        throw OpenError("Cannot open \"" + path + "\": the file is too large for a sheet.");
    std::string bytes;
    bytes.resize(static_cast<size_t>(st.st_size));
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.gcount() != static_cast<std::streamsize>(bytes.size()))
        throw OpenError("Cannot open \"" + path + "\": the file could not be read.");
    std::unique_ptr<Document> doc;
    try {
        doc = OpenDocxBytes(bytes);
    } catch (const OpenError& e) {
        throw OpenError("Cannot open \"" + path + "\": " + e.what());
    }
    doc->path = path;
    const size_t slash = path.find_last_of('/');
    doc->name = slash == std::string::npos ? path : path.substr(slash + 1);
    return doc;
}

}  // namespace varelo::host
