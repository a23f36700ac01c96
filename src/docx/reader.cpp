// Opening a .docx: the package and its relationships, the styles and settings, custom XML
// and carried parts; the body is read by read_body.cpp.

#include "docx/reader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "base/file_kind.h"
#include "doc/errors.h"
#include "docx/package_reader.h"
#include "docx/parts.h"
#include "docx/read_body.h"
#include "docx/style_sheet.h"
#include "docx/xml.h"

namespace varelo::host {

namespace {

using docx::PackageReader;
using docx::ParsePart;

void ReadSettings(pugi::xml_node settings, Document& doc) {
    doc.embedTrueTypeFonts = docx::OnOff(settings.child("w:embedTrueTypeFonts"));
    doc.doNotEmbedSystemFonts = !docx::OnOff(settings.child("w:embedSystemFonts"));
    if (docx::OnOff(settings.child("w:gutterAtTop"))) doc.pageSetup.gutterPos = docx::kGutterPosTop;
}

// The custom XML items the main document points to, each with the item id and schema its
// properties part declares. Their content is carried, not interpreted.
void ReadCustomXml(PackageReader& package, const std::vector<docx::Relationship>& mainRels,
                   Document& doc) {
    for (const docx::Relationship& rel : mainRels) {
        if (rel.type != docx::kRelCustomXml) continue;
        std::optional<std::string> item = package.Read(rel.target);
        if (!item) continue;  // a dangling relationship holds nothing to keep
        if (doc.customXml.size() >= kMaxDocxCustomXmlItems)
            throw OpenError("The document holds more than " +
                            std::to_string(kMaxDocxCustomXmlItems) + " custom XML parts.");
        CustomXmlPart part{std::move(*item), {}, {}};
        for (const docx::Relationship& props : package.RelationshipsOf(rel.target)) {
            if (props.type != docx::kRelCustomXmlProps) continue;
            std::optional<docx::PartBytes> bytes = package.ReadToParse(props.target);
            if (!bytes) continue;
            const pugi::xml_document xml = ParsePart(std::move(*bytes), props.target);
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

// The content type the package declares for a part: its override, else its extension's default.
std::string ContentTypeOf(const pugi::xml_document& types, const std::string& part) {
    const pugi::xml_node root = types.document_element();
    const std::string name = "/" + part;
    for (pugi::xml_node o : root.children())
        if (docx::LocalName(o.name()) == "Override" &&
            docx::CaseInsensitiveEqual(o.attribute("PartName").value(), name))
            return o.attribute("ContentType").value();
    const size_t dot = part.rfind('.');
    const std::string ext = dot == std::string::npos ? std::string() : part.substr(dot + 1);
    for (pugi::xml_node d : root.children())
        if (docx::LocalName(d.name()) == "Default" &&
            docx::CaseInsensitiveEqual(d.attribute("Extension").value(), ext))
            return d.attribute("ContentType").value();
    return "application/octet-stream";
}

// The image parts the main document's pictures embed, each read once, and which
// relationships reached them.
class Images {
  public:
    Images(PackageReader& package, const std::vector<docx::Relationship>& mainRels)
        : package_(package), mainRels_(mainRels) {}

    const docx::ImagePart* Find(const std::string& relId) {
        const auto rel = std::find_if(mainRels_.begin(), mainRels_.end(),
                                      [&](const docx::Relationship& r) { return r.id == relId; });
        if (rel == mainRels_.end() || rel->type != docx::kRelImage) return nullptr;
        auto [at, added] = parts_.try_emplace(rel->target);
        if (added) {
            std::optional<std::string> data = package_.Read(rel->target);
            if (data) {
                read_ += data->size();
                if (read_ > kMaxDocxPictureBytes)
                    throw OpenError("The document has more than " +
                                    std::to_string(kMaxDocxPictureBytes >> 20) +
                                    " MB of pictures, the most Varelo opens.");
                // Known by their bytes, whatever the part's name or declared type says.
                const std::string_view bytes = *data;
                const char* type = bytes.starts_with("\x89PNG\r\n\x1a\n") ? "image/png"
                                   : bytes.starts_with("\xff\xd8\xff")    ? "image/jpeg"
                                                                          : nullptr;
                if (type) at->second = docx::ImagePart{std::move(*data), type};
            }
        }
        if (!at->second) return nullptr;
        used_.push_back(relId);
        return &*at->second;
    }

    // Whether a picture the document keeps reaches its image by this relationship.
    bool Used(const std::string& relId) const {
        return std::find(used_.begin(), used_.end(), relId) != used_.end();
    }

  private:
    PackageReader& package_;
    const std::vector<docx::Relationship>& mainRels_;
    std::map<std::string, std::optional<docx::ImagePart>> parts_;  // by part name
    std::vector<std::string> used_;
    size_t read_ = 0;
};

// Parts reached from the package or the main document by relationships Varelo does not
// write itself are carried through a save untouched; the images of the pictures it keeps
// are written as its own.
void ReadCarriedParts(PackageReader& package, const std::string& mainPart,
                      const std::vector<docx::Relationship>& rootRels,
                      const std::vector<docx::Relationship>& mainRels, const Images& images,
                      Document& doc) {
    std::optional<docx::PartBytes> typesXml = package.ReadToParse(docx::kContentTypesPart);
    pugi::xml_document types;
    if (typesXml) types = ParsePart(std::move(*typesXml), docx::kContentTypesPart);
    auto carry = [&](const docx::Relationship& rel, const std::string& source) {
        if (docx::IsWrittenPart(rel.target)) {
            // A part by one of the names the writer uses, under another meaning.
            doc.unmodelled.push_back("other parts of the package");
            return;
        }
        std::optional<std::string> data = package.Read(rel.target);
        if (!data) return;
        if (doc.carriedParts.size() >= kMaxDocxCarriedParts)
            throw OpenError("The document holds more than " + std::to_string(kMaxDocxCarriedParts) +
                            " parts.");
        // A part with relationships of its own (a header with a picture) cannot be carried
        // alone; the content that uses it makes the document read-only anyway.
        if (package.Read(docx::RelationshipsPartOf(rel.target)))
            doc.unmodelled.push_back("other parts of the package");
        doc.carriedParts.push_back(
            {rel.target, ContentTypeOf(types, rel.target), std::move(*data), source, rel.type});
    };
    for (const docx::Relationship& rel : rootRels)
        if (rel.type != docx::kRelOfficeDocument && rel.type != docx::kRelExtendedProperties &&
            rel.target != mainPart)
            carry(rel, "");
    for (const docx::Relationship& rel : mainRels)
        if (rel.type != docx::kRelStyles && rel.type != docx::kRelSettings &&
            rel.type != docx::kRelFontTable && rel.type != docx::kRelCustomXml &&
            !(rel.type == docx::kRelImage && images.Used(rel.id)))
            carry(rel, docx::kDocumentPart);
    // Listed once, in order of first appearance.
    std::vector<std::string> unique;
    for (std::string& what : doc.unmodelled)
        if (std::find(unique.begin(), unique.end(), what) == unique.end())
            unique.push_back(std::move(what));
    doc.unmodelled = std::move(unique);
}

// Anything opened must save to a file that opens again: the document part it would write
// must stay within kMaxDocxPartSize. Generous bounds per element of the body as it was read
// settle it for every sheet without writing; only a document near the limit is written out
// to be measured.
void CheckSavable(const Document& doc, const docx::BodyExtent& e) {
    const double bound =
        1200.0 * static_cast<double>(e.cells + e.paragraphs) + 800.0 * static_cast<double>(e.runs) +
        2400.0 * static_cast<double>(e.pictures) + 24.0 * static_cast<double>(e.text);
    if (bound <= static_cast<double>(kMaxDocxPartSize)) return;
    size_t size = 0;
    docx::WriteDocumentXml(doc, [&](std::string_view piece) { size += piece.size(); });
    if (size > kMaxDocxPartSize)
        throw OpenError("The document is too large: saved, it would pass the limit of " +
                        std::to_string(kMaxDocxPartSize >> 20) + " MB for a part.");
}

// The part a relationship of the given type reaches from source, else the conventional name
// (files made without relationships, as some tools do).
std::string PartOfType(const std::vector<docx::Relationship>& rels, const char* type,
                       const char* fallback) {
    for (const docx::Relationship& rel : rels)
        if (rel.type == type) return rel.target;
    return fallback;
}

}  // namespace

std::unique_ptr<Document> OpenDocxBytes(std::string_view bytes) {
    if (bytes.size() > kMaxDocxFileSize)
        throw OpenError("The file is larger than " + std::to_string(kMaxDocxFileSize >> 20) +
                        " MB, the most Varelo opens.");
    PackageReader package(bytes);

    const std::vector<docx::Relationship> rootRels = package.RelationshipsOf("");
    const std::string mainPart =
        PartOfType(rootRels, docx::kRelOfficeDocument, docx::kDocumentPart);
    std::optional<docx::PartBytes> body = package.ReadToParse(mainPart);
    if (!body) throw OpenError("The document is damaged: it has no " + mainPart + ".");
    const std::vector<docx::Relationship> mainRels = package.RelationshipsOf(mainPart);

    auto doc = std::make_unique<Document>();
    docx::BodyExtent extent;
    Images images(package, mainRels);
    try {
        pugi::xml_document stylesXml;
        const std::string stylesPart = PartOfType(mainRels, docx::kRelStyles, docx::kStylesPart);
        if (auto styles = package.ReadToParse(stylesPart))
            stylesXml = ParsePart(std::move(*styles), stylesPart);
        const docx::StyleSheet styles(stylesXml.child("w:styles"));
        styles.ApplyTo(*doc);
        {
            const pugi::xml_document xml = ParsePart(std::move(*body), mainPart);
            extent =
                docx::ReadDocumentXml(xml.child("w:document"), styles, *doc,
                                      [&](const std::string& relId) { return images.Find(relId); });
        }
        const std::string settingsPart =
            PartOfType(mainRels, docx::kRelSettings, docx::kSettingsPart);
        if (auto settings = package.ReadToParse(settingsPart))
            ReadSettings(ParsePart(std::move(*settings), settingsPart).child("w:settings"), *doc);
        ReadCustomXml(package, mainRels, *doc);
        ReadCarriedParts(package, mainPart, rootRels, mainRels, images, *doc);
    } catch (const HostError& e) {
        // The surface refused what the file asked of it (a merge, a size).
        throw OpenError(std::string("The document is damaged: ") + e.what());
    }
    CheckSavable(*doc, extent);
    doc->saved = true;
    return doc;
}
std::string UnmodelledMessage(const Document& doc) {
    std::string list;
    for (const std::string& what : doc.unmodelled) list += (list.empty() ? "" : ", ") + what;
    return "The document holds what Varelo cannot keep (" + list +
           "); it is read-only, as saving would lose it.";
}

std::unique_ptr<Document> OpenDocx(const std::string& path) {
    // Before opening: opening a FIFO would wait for a writer.
    if (const std::string kind = SpecialFileKind(path); !kind.empty())
        throw OpenError("Cannot open \"" + path + "\": it is " + kind + ", not a file.");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw OpenError("Cannot open \"" + path + "\" (" + std::strerror(errno) + ").");
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        throw OpenError("Cannot open \"" + path + "\": it is a folder.");
    if (st.st_size > static_cast<off_t>(kMaxDocxFileSize))
        throw OpenError("Cannot open \"" + path + "\": the file is larger than " +
                        std::to_string(kMaxDocxFileSize >> 20) + " MB, the most Varelo opens.");
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
