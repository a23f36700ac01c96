// The .docx reader on hostile input. Two kinds of input:
// - a whole package (starts with "PK"), read as it is;
// - "<part name>\n<xml>": that part of a small valid package replaced by the xml
//   (document.xml when the name is not one of the package's parts), so the fuzzer reaches
//   the reader's XML handling instead of failing the zip checks.
// The reader must refuse with OpenError or give a document; a document it gives must
// save, and what was saved must read back into a document that saves to the same bytes.
#include <zip.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "doc/document.h"
#include "doc/table.h"
#include "docx/reader.h"
#include "docx/writer.h"

namespace {

using namespace varelo;

void Check(bool condition) {
    if (!condition) std::abort();
}

using Parts = std::map<std::string, std::string>;

Parts Unzip(const std::string& bytes) {
    Parts parts;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* src = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    Check(src != nullptr);
    zip_t* archive = zip_open_from_source(src, ZIP_RDONLY, &error);
    Check(archive != nullptr);
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t st;
        Check(zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &st) == 0);
        zip_file_t* f = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        Check(f != nullptr);
        std::string data(st.size, '\0');
        Check(zip_fread(f, data.data(), st.size) == static_cast<zip_int64_t>(st.size));
        zip_fclose(f);
        parts[st.name] = std::move(data);
    }
    zip_close(archive);
    return parts;
}

// Stored entries: packing is not what is under test, and it stays fast.
std::string Zip(const Parts& parts) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    Check(buffer != nullptr);
    zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    Check(archive != nullptr);
    zip_source_keep(buffer);
    for (const auto& [name, data] : parts) {
        zip_source_t* s = zip_source_buffer(archive, data.data(), data.size(), 0);
        const zip_int64_t index = zip_file_add(archive, name.c_str(), s, 0);
        Check(index >= 0);
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    }
    Check(zip_close(archive) == 0);
    std::string bytes;
    Check(zip_source_open(buffer) == 0);
    zip_source_seek(buffer, 0, SEEK_END);
    bytes.resize(static_cast<size_t>(zip_source_tell(buffer)));
    zip_source_seek(buffer, 0, SEEK_SET);
    Check(zip_source_read(buffer, bytes.data(), bytes.size()) ==
          static_cast<zip_int64_t>(bytes.size()));
    zip_source_close(buffer);
    zip_source_free(buffer);
    return bytes;
}

// The parts of a small sheet: a merged, bordered 3 x 4 table with a nested one.
const Parts& Template() {
    static const Parts parts = [] {
        host::Document doc;
        host::Table& t = doc.AddTableAtStart(3, 4);
        t.Merge({1, 1, 2, 2});
        t.At(1, 1).InsertAfter("题");
        t.SetBorder({1, 1, 3, 4}, host::BorderType::Top, host::kSolidBorder);
        t.At(3, 4).content.insert(t.At(3, 4).content.begin(),
                                  host::Block{std::make_unique<host::Table>(1, 2)});
        return Unzip(host::DocxBytes(doc));
    }();
    return parts;
}

std::unique_ptr<host::Document> Open(std::string_view bytes) {
    try {
        return host::OpenDocxBytes(bytes);
    } catch (const host::OpenError&) {
        return nullptr;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<host::Document> doc;
    if (input.substr(0, 2) == "PK") {
        doc = Open(input);
    } else {
        Parts parts = Template();
        const size_t newline = input.find('\n');
        std::string name(input.substr(0, newline == std::string_view::npos ? 0 : newline));
        if (!parts.count(name)) name = "word/document.xml";
        parts[name] = newline == std::string_view::npos ? input : input.substr(newline + 1);
        doc = Open(Zip(parts));
    }
    if (!doc) return 0;

    // What the reader accepts, however large within its limits, is a document like any
    // other: it saves, and what it saved reads back into a document that saves the same.
    const std::string saved = host::DocxBytes(*doc);
    const std::unique_ptr<host::Document> again = Open(saved);
    Check(again != nullptr);
    Check(host::DocxBytes(*again) == saved);
    return 0;
}
