#include "docx/package_reader.h"

#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "docx/reader.h"

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

PartBytes::PartBytes(size_t size)
    : data_(static_cast<char*>(pugi::get_memory_allocation_function()(size + 1))), size_(size) {
    if (!data_) throw std::bad_alloc();
    data_[size] = '\0';
}

PartBytes::~PartBytes() {
    if (data_) pugi::get_memory_deallocation_function()(data_);
}

PartBytes::PartBytes(PartBytes&& other) noexcept : data_(other.data_), size_(other.size_) {
    other.data_ = nullptr;
}

char* PartBytes::Release() {
    char* data = data_;
    data_ = nullptr;
    return data;
}

std::optional<std::string> PackageReader::Read(std::string_view name) {
    std::string data;
    if (!Inflate(std::string(name), [&](size_t size) {
            data.resize(size);
            return data.data();
        }))
        return std::nullopt;
    return data;
}

std::optional<PartBytes> PackageReader::ReadToParse(std::string_view name) {
    std::optional<PartBytes> bytes;
    if (!Inflate(std::string(name), [&](size_t size) { return bytes.emplace(size).data(); }))
        return std::nullopt;
    return bytes;
}

bool PackageReader::Inflate(const std::string& name, const std::function<char*(size_t)>& allocate) {
    const zip_int64_t index = zip_name_locate(archive_, name.c_str(), 0);
    if (index < 0) return false;
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &st) != 0 ||
        !(st.valid & ZIP_STAT_SIZE))
        Damaged(name, zip_strerror(archive_));
    if (st.size > kMaxDocxPartSize)
        throw OpenError("The part " + name + " is larger than " +
                        std::to_string(kMaxDocxPartSize >> 20) + " MB, the most Varelo opens.");
    const std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> file(
        zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0), zip_fclose);
    if (!file) Damaged(name, zip_strerror(archive_));
    const auto size = static_cast<zip_int64_t>(st.size);
    char* const data = allocate(static_cast<size_t>(size));
    zip_int64_t got = 0;
    while (got < size) {
        const zip_int64_t n =
            zip_fread(file.get(), data + got, static_cast<zip_uint64_t>(size - got));
        if (n <= 0) break;
        got += n;
    }
    // Reading on to the end is what makes libzip check the crc.
    char extra;
    const bool whole = got == size && zip_fread(file.get(), &extra, 1) == 0;
    if (!whole) {
        const zip_error_t* error = zip_file_get_error(file.get());
        // A part longer or shorter than its entry declares reads with "no error".
        Damaged(name, zip_error_code_zip(error) != ZIP_ER_OK ? zip_file_strerror(file.get())
                      : got < size ? "it is shorter than the " + std::to_string(size) +
                                         " bytes its entry declares"
                                   : "it is longer than the " + std::to_string(size) +
                                         " bytes its entry declares");
    }
    // libzip checks the crc of an entry read to its end, as this one was, but not of an entry
    // that stores no bytes at all (the crc of nothing is 0).
    if ((st.valid & ZIP_STAT_CRC) && size == 0 && st.crc != 0)
        Damaged(name, "its checksum does not match");
    return true;
}

std::vector<Relationship> PackageReader::RelationshipsOf(std::string_view part) {
    const std::string relsPart = RelationshipsPartOf(part);
    std::optional<PartBytes> rels = ReadToParse(relsPart);
    std::vector<Relationship> out;
    if (!rels) return out;
    const pugi::xml_document xml = ParsePart(std::move(*rels), relsPart);
    for (pugi::xml_node r : xml.document_element().children()) {
        if (LocalName(r.name()) != "Relationship") continue;
        if (std::string_view(r.attribute("TargetMode").value()) == "External") continue;
        out.push_back({r.attribute("Id").value(), r.attribute("Type").value(),
                       ResolveTarget(part, r.attribute("Target").value())});
    }
    return out;
}

namespace {

// Whether pugixml reads the bytes as UTF-8, which it parses where they lie; other encodings
// it converts into a copy anyway. This follows its own detection (byte order marks, the
// shape of the first characters, a declaration naming Latin-1) and errs towards no: the
// copying parse reads everything the same way.
bool ReadAsUtf8(const char* data, size_t size) {
    if (size < 4) return false;
    for (size_t i = 0; i < 4; ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        if (b == 0x00 || b == 0xFE || b == 0xFF) return false;
    }
    if (std::memcmp(data, "<?xm", 4) != 0) return true;
    // pugixml looks for the encoding in the declaration, up to its first '?'.
    const std::string_view bytes(data, size);
    const size_t end = bytes.find('?', 6);
    if (end == std::string_view::npos) return false;
    std::string declaration(bytes.substr(0, end));
    for (char& c : declaration) c = static_cast<char>(c | 0x20);
    return declaration.find("latin1") == std::string::npos &&
           declaration.find("iso-8859-1") == std::string::npos;
}

}  // namespace

pugi::xml_document ParsePart(PartBytes bytes, std::string_view part) {
    pugi::xml_document doc;
    // Whitespace-only text matters: a run may hold nothing but blanks.
    constexpr unsigned kOptions = pugi::parse_default | pugi::parse_ws_pcdata;
    const size_t size = bytes.size();
    // In place, the buffer is given with its final NUL, just as pugixml terminates a copy:
    // without it pugixml would put the NUL over the part's last byte, and report an error at
    // the end of the part one byte early.
    const pugi::xml_parse_result r =
        ReadAsUtf8(bytes.data(), size)
            ? doc.load_buffer_inplace_own(bytes.Release(), size + 1, kOptions)
            : doc.load_buffer(bytes.data(), size, kOptions);
    if (!r)
        throw OpenError("The document is damaged: " + std::string(part) + " is not well-formed (" +
                        r.description() + " at byte " + std::to_string(r.offset) + ").");
    return doc;
}

pugi::xml_document ParsePart(std::string_view xml, std::string_view part) {
    PartBytes bytes(xml.size());
    std::memcpy(bytes.data(), xml.data(), xml.size());
    return ParsePart(std::move(bytes), part);
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
