#include "host/docx/package_reader.h"

#include <vector>

#include "host/docx/reader.h"

namespace varelo::host::docx {

PackageReader::PackageReader(std::string_view bytes) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* src = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (src) archive_ = zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!archive_) {
        if (src) zip_source_free(src);
        const int code = zip_error_code_zip(&error);
        const std::string reason = zip_error_strerror(&error);
        zip_error_fini(&error);
        // libzip's own words for these say little to someone holding the file.
        if (code == ZIP_ER_EXISTS)
            throw OpenError(
                "The document is damaged: two entries of its package have the same name.");
        if (code == ZIP_ER_INCONS)
            throw OpenError(
                "The document is damaged: its package's directory does not match its entries.");
        throw OpenError("The file is not a .docx document (" + reason + ").");
    }
    if (zip_get_num_entries(archive_, 0) <= 0) {
        zip_discard(archive_);
        throw OpenError("The file is not a .docx document (it is empty).");
    }
}

PackageReader::~PackageReader() {
    zip_discard(archive_);
}

void PackageReader::Damaged(std::string_view part, const std::string& reason) {
    throw OpenError("The document is damaged: the part " + std::string(part) + " cannot be read (" +
                    reason + ").");
}

std::optional<std::string> PackageReader::Read(std::string_view partName) {
    const std::string name(partName);
    const zip_int64_t index = zip_name_locate(archive_, name.c_str(), 0);
    if (index < 0) return std::nullopt;
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &st) != 0 ||
        !(st.valid & ZIP_STAT_SIZE))
        Damaged(name, zip_strerror(archive_));
    if (st.size > kMaxDocxPartSize)
        throw OpenError("The part " + name + " is larger than " +
                        std::to_string(kMaxDocxPartSize >> 20) + " MB, the most Varelo opens.");
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
    std::string reason;
    if (!whole) {
        const zip_error_t* error = zip_file_get_error(file);
        // A part longer or shorter than its entry declares reads with "no error".
        reason = zip_error_code_zip(error) != ZIP_ER_OK ? zip_file_strerror(file)
                 : got < static_cast<zip_int64_t>(data.size())
                     ? "it is shorter than the " + std::to_string(data.size()) +
                           " bytes its entry declares"
                     : "it is longer than the " + std::to_string(data.size()) +
                           " bytes its entry declares";
    }
    zip_fclose(file);
    if (!whole) Damaged(name, reason);
    // libzip checks the crc of an entry read to its end, as this one was, but not of an entry
    // that stores no bytes at all (the crc of nothing is 0).
    if ((st.valid & ZIP_STAT_CRC) && data.empty() && st.crc != 0)
        Damaged(name, "its checksum does not match");
    return data;
}

std::vector<Relationship> PackageReader::RelationshipsOf(std::string_view part) {
    const std::string relsPart = RelationshipsPartOf(part);
    const std::optional<std::string> rels = Read(relsPart);
    std::vector<Relationship> out;
    if (!rels) return out;
    const pugi::xml_document xml = ParsePart(*rels, relsPart);
    for (pugi::xml_node r : xml.document_element().children()) {
        if (LocalName(r.name()) != "Relationship") continue;
        if (std::string_view(r.attribute("TargetMode").value()) == "External") continue;
        out.push_back({r.attribute("Id").value(), r.attribute("Type").value(),
                       ResolveTarget(part, r.attribute("Target").value())});
    }
    return out;
}

pugi::xml_document ParsePart(const std::string& xml, std::string_view part) {
    pugi::xml_document doc;
    // Whitespace-only text matters: a run may hold nothing but blanks.
    const pugi::xml_parse_result r =
        doc.load_buffer(xml.data(), xml.size(), pugi::parse_default | pugi::parse_ws_pcdata);
    if (!r)
        throw OpenError("The document is damaged: " + std::string(part) + " is not well-formed (" +
                        r.description() + " at byte " + std::to_string(r.offset) + ").");
    return doc;
}

std::string RelationshipsPartOf(std::string_view part) {
    const size_t slash = part.rfind('/');
    if (slash == std::string_view::npos) return "_rels/" + std::string(part) + ".rels";
    return std::string(part.substr(0, slash + 1)) + "_rels/" + std::string(part.substr(slash + 1)) +
           ".rels";
}

std::string ResolveTarget(std::string_view sourcePart, std::string_view target) {
    std::vector<std::string_view> segments;
    std::string_view rest = target;
    if (!rest.empty() && rest.front() == '/') {
        rest.remove_prefix(1);
    } else {
        const size_t slash = sourcePart.rfind('/');
        std::string_view folder =
            slash == std::string_view::npos ? std::string_view() : sourcePart.substr(0, slash);
        while (!folder.empty()) {
            const size_t s = folder.find('/');
            segments.push_back(folder.substr(0, s));
            folder = s == std::string_view::npos ? std::string_view() : folder.substr(s + 1);
        }
    }
    while (!rest.empty()) {
        const size_t s = rest.find('/');
        const std::string_view segment = rest.substr(0, s);
        rest = s == std::string_view::npos ? std::string_view() : rest.substr(s + 1);
        if (segment.empty() || segment == ".") continue;
        if (segment == "..") {
            if (!segments.empty()) segments.pop_back();
            continue;
        }
        segments.push_back(segment);
    }
    std::string name;
    for (const std::string_view segment : segments) {
        if (!name.empty()) name += '/';
        name += segment;
    }
    return name;
}

std::string_view LocalName(const char* qualified) {
    const std::string_view name(qualified);
    const size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

}  // namespace varelo::host::docx
