// Opening a .docx that Varelo wrote: the package, its application mark, the styles and
// settings; the body is read by read_body.cpp.

#include "host/docx/reader.h"

#include <sys/stat.h>
#include <zip.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "host/docx/parts.h"
#include "host/docx/read_body.h"
#include "host/docx/xml.h"
#include "host/errors.h"

namespace varelo::host {

namespace {

// The package opened from memory; parts are read whole, up to kMaxDocxPartSize.
class Package {
  public:
    explicit Package(std::string_view bytes) {
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* src = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
        if (src) archive_ = zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &error);
        if (!archive_) {
            if (src) zip_source_free(src);
            const std::string reason = zip_error_strerror(&error);
            zip_error_fini(&error);
            throw OpenError("The file is not a .docx document (" + reason + ").");
        }
        if (zip_get_num_entries(archive_, 0) <= 0) {
            zip_discard(archive_);
            throw OpenError("The file is not a .docx document (it is empty).");
        }
    }
    ~Package() { zip_discard(archive_); }
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    // The part's bytes, or nothing when the package has no such part.
    std::optional<std::string> Read(const char* name) {
        const zip_int64_t index = zip_name_locate(archive_, name, 0);
        if (index < 0) return std::nullopt;
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &st) != 0 ||
            !(st.valid & ZIP_STAT_SIZE))
            Damaged(name, zip_strerror(archive_));
        if (st.size > kMaxDocxPartSize)
            throw OpenError(std::string("The part ") + name + " is too large.");
        zip_file_t* file = zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0);
        if (!file) Damaged(name, zip_strerror(archive_));
        std::string data(static_cast<size_t>(st.size), '\0');
        zip_int64_t got = 0;
        while (got < static_cast<zip_int64_t>(data.size())) {
            const zip_int64_t n =
                zip_fread(file, data.data() + got,
                          static_cast<zip_uint64_t>(data.size()) - static_cast<zip_uint64_t>(got));
            if (n <= 0) break;
            got += n;
        }
        // Reading on to the end is what makes libzip check the crc.
        char extra;
        const bool whole =
            got == static_cast<zip_int64_t>(data.size()) && zip_fread(file, &extra, 1) == 0;
        const std::string reason = whole ? std::string() : zip_file_strerror(file);
        zip_fclose(file);
        if (!whole) Damaged(name, reason);
        // libzip does not check the crc of every entry it inflates; a flipped bit must not
        // pass as a sheet.
        if ((st.valid & ZIP_STAT_CRC) && crc32(0, reinterpret_cast<const Bytef*>(data.data()),
                                               static_cast<uInt>(data.size())) != st.crc)
            Damaged(name, "its checksum does not match");
        return data;
    }

  private:
    [[noreturn]] static void Damaged(const char* part, const std::string& reason) {
        throw OpenError(std::string("The document is damaged: the part ") + part +
                        " cannot be read (" + reason + ").");
    }
    zip_t* archive_ = nullptr;
};

pugi::xml_document ParseXml(const std::string& xml, const char* part) {
    pugi::xml_document doc;
    // Whitespace-only text matters: a run may hold nothing but blanks.
    const pugi::xml_parse_result r =
        doc.load_buffer(xml.data(), xml.size(), pugi::parse_default | pugi::parse_ws_pcdata);
    if (!r)
        throw OpenError(std::string("The document is damaged: ") + part + " is not well-formed (" +
                        r.description() + " at byte " + std::to_string(r.offset) + ").");
    return doc;
}

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

void ReadParts(Package& package, const std::string& body, Document& doc) {
    if (const auto styles = package.Read(docx::kStylesPart))
        ReadStyles(ParseXml(*styles, docx::kStylesPart).child("w:styles"), doc);
    {
        const pugi::xml_document xml = ParseXml(body, docx::kDocumentPart);
        docx::ReadDocumentXml(xml.child("w:document"), doc);
    }
    if (const auto settings = package.Read(docx::kSettingsPart))
        ReadSettings(ParseXml(*settings, docx::kSettingsPart).child("w:settings"), doc);
}

}  // namespace

std::unique_ptr<Document> OpenDocxBytes(std::string_view bytes) {
    if (bytes.size() > kMaxDocxFileSize) throw OpenError("The file is too large for a sheet.");
    Package package(bytes);

    // Only sheets this program wrote are opened: their application properties say so.
    const std::optional<std::string> app = package.Read(docx::kAppPart);
    const pugi::xml_document appXml = app ? ParseXml(*app, docx::kAppPart) : pugi::xml_document();
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
