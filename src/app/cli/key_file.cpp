#include "key_file.h"

#include "base/input_file.h"
#include "base/read_error.h"
#include "tables/key_table.h"
#include "tables/table.h"

namespace varelo::cli {

namespace {

// Whether the bytes are JSON rather than a table: after a byte-order mark and white space, an
// object or an array (refused as not a key) begins, where a table's header cannot.
bool LooksLikeJson(const std::string& bytes) {
    size_t at = bytes.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    while (at < bytes.size() &&
           (bytes[at] == ' ' || bytes[at] == '\t' || bytes[at] == '\r' || bytes[at] == '\n'))
        ++at;
    return at < bytes.size() && (bytes[at] == '{' || bytes[at] == '[');
}

}  // namespace

read::AnswerKey LoadKeyFile(const std::string& path, const layout::OmrTemplate& t,
                            read::KeyOptions options) {
    const std::string bytes = read::ReadInputFile(path, "the key");
    try {
        if (LooksLikeJson(bytes)) return read::ParseAnswerKey(bytes, t, options);
        std::vector<read::KeyEntry> entries;
        for (tables::KeyRow& row : tables::ReadKeyTable(tables::ReadTableBytes(bytes, path)))
            entries.push_back({"row " + std::to_string(row.row) + ": ", std::move(row.item),
                               std::move(row.answer), row.points, row.partial,
                               std::move(row.rule)});
        return read::MakeAnswerKey(entries, t, options);
    } catch (const tables::TableError& e) {
        throw read::ReadError(e.what());  // names the file already
    } catch (const read::ReadError& e) {
        throw read::ReadError(path + ": " + e.what());
    }
}

}  // namespace varelo::cli
