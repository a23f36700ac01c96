#pragma once

// .xlsx packages made with libzip for the table reader's tests, benchmark and fuzzer: parts laid
// out as Excel lays them out, with the sheet's rows and shared strings given as XML.
#include <zip.h>

#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>

namespace varelo::testing {

using Parts = std::map<std::string, std::string>;

inline std::string ZipBytes(const Parts& parts, bool deflate = true) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t* archive = buffer ? zip_open_from_source(buffer, ZIP_TRUNCATE, &error) : nullptr;
    if (!archive) throw std::runtime_error("cannot make a zip");
    zip_source_keep(buffer);
    for (const auto& [name, data] : parts) {
        zip_source_t* s = zip_source_buffer(archive, data.data(), data.size(), 0);
        const zip_int64_t index = zip_file_add(archive, name.c_str(), s, ZIP_FL_ENC_UTF_8);
        if (index < 0) throw std::runtime_error("cannot add " + name);
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                                 deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE, deflate ? 1 : 0);
    }
    if (zip_close(archive) != 0) throw std::runtime_error("cannot write the zip");
    std::string bytes;
    zip_source_open(buffer);
    zip_source_seek(buffer, 0, SEEK_END);
    bytes.resize(static_cast<size_t>(zip_source_tell(buffer)));
    zip_source_seek(buffer, 0, SEEK_SET);
    zip_source_read(buffer, bytes.data(), bytes.size());
    zip_source_close(buffer);
    zip_source_free(buffer);
    return bytes;
}

// A workbook of one sheet: rows are the <row> elements of its sheetData, shared the <si>
// elements of its shared strings (no such part when empty).
inline Parts Workbook(const std::string& rows, const std::string& shared = "") {
    const std::string main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    Parts parts;
    parts["[Content_Types].xml"] =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" "
        "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>";
    parts["_rels/.rels"] =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"" +
        rel +
        "/officeDocument\" Target=\"xl/workbook.xml\"/>"
        "</Relationships>";
    parts["xl/workbook.xml"] =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<workbook xmlns=\"" +
        main + "\" xmlns:r=\"" + rel +
        "\"><sheets>"
        "<sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
    parts["xl/_rels/workbook.xml.rels"] =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"" +
        rel +
        "/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
        "<Relationship Id=\"rId2\" Type=\"" +
        rel +
        "/sharedStrings\" Target=\"sharedStrings.xml\"/>"
        "</Relationships>";
    parts["xl/worksheets/sheet1.xml"] =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<worksheet xmlns=\"" +
        main + "\"><sheetData>" + rows + "</sheetData></worksheet>";
    if (!shared.empty())
        parts["xl/sharedStrings.xml"] =
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
            "<sst xmlns=\"" +
            main + "\">" + shared + "</sst>";
    return parts;
}

}  // namespace varelo::testing
