#pragma once

// Reading back what the .docx writer made, with libzip and pugixml, for the tests.

#include <zip.h>
#include <zlib.h>

#include <map>
#include <pugixml.hpp>
#include <stdexcept>
#include <string>

namespace varelo::testing {

// Every entry of a zip held in memory, by name, each checked against its crc.
inline std::map<std::string, std::string> Unzip(const std::string& bytes) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* src = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    zip_t* archive = src ? zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &error) : nullptr;
    if (!archive) {
        if (src) zip_source_free(src);
        throw std::runtime_error(std::string("not a zip: ") + zip_error_strerror(&error));
    }
    std::map<std::string, std::string> parts;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t st;
        zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &st);
        zip_file_t* f = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        std::string data(st.size, '\0');
        const zip_int64_t n = f ? zip_fread(f, data.data(), data.size()) : -1;
        char extra;
        const bool clean =
            f && n == static_cast<zip_int64_t>(st.size) && zip_fread(f, &extra, 1) == 0;
        if (f) zip_fclose(f);
        if (!clean) {
            zip_close(archive);
            throw std::runtime_error(std::string("bad entry ") + st.name);
        }
        if (crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())) !=
            st.crc) {
            zip_close(archive);
            throw std::runtime_error(std::string("crc mismatch in ") + st.name);
        }
        parts[st.name] = std::move(data);
    }
    zip_close(archive);
    return parts;
}

inline pugi::xml_document ParseXml(const std::string& xml) {
    pugi::xml_document doc;
    const pugi::xml_parse_result r = doc.load_buffer(xml.data(), xml.size());
    if (!r) throw std::runtime_error(std::string("not well-formed: ") + r.description());
    return doc;
}

// The text of the first element named `name` (with its tags), or empty.
inline std::string Fragment(const std::string& xml, const std::string& name) {
    const size_t start = xml.find("<" + name + ">");
    if (start == std::string::npos) return {};
    const std::string close = "</" + name + ">";
    const size_t end = xml.find(close, start);
    return end == std::string::npos ? std::string() : xml.substr(start, end + close.size() - start);
}

}  // namespace varelo::testing
