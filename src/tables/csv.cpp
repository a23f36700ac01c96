// CSV as Excel and WPS write it: UTF-8 (with a byte-order mark when saved as "CSV UTF-8") or,
// on Chinese Windows, GB18030 (GBK in practice) without any mark; cells quoted per RFC 4180.
#include <errno.h>
#include <iconv.h>

#include <algorithm>
#include <memory>

#include "base/utf8.h"
#include "tables/formats.h"

namespace varelo::tables::detail {

namespace {

constexpr size_t kNone = std::string_view::npos;

// Where the bytes stop being UTF-8, or kNone.
size_t FirstNonUtf8(std::string_view bytes) {
    char32_t cp = 0;
    for (size_t i = 0; i < bytes.size();) {
        // ASCII runs are most of a file.
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        const size_t length = host::DecodeUtf8(bytes, i, cp);
        if (length == 0) return i;
        i += length;
    }
    return kNone;
}

// The bytes as GB18030 converted to UTF-8 by glibc's iconv; stopsAt is where they stop being
// GB18030 (kNone when they all are).
std::string FromGb18030(std::string_view bytes, size_t& stopsAt) {
    stopsAt = kNone;
    const iconv_t cd = iconv_open("UTF-8", "GB18030");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        stopsAt = 0;  // a C library without the converter reads no GB18030 at all
        return {};
    }
    const std::unique_ptr<void, int (*)(iconv_t)> close(cd, iconv_close);
    // Two bytes become at most three, four at most four.
    std::string out(bytes.size() + bytes.size() / 2 + 4, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* to = out.data();
    size_t toLeft = out.size();
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &to, &toLeft) != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            const size_t used = static_cast<size_t>(to - out.data());
            out.resize(out.size() * 2);
            to = out.data() + used;
            toLeft = out.size() - used;
            continue;
        }
        stopsAt = static_cast<size_t>(in - bytes.data());  // EILSEQ, or EINVAL: cut short
        break;
    }
    out.resize(static_cast<size_t>(to - out.data()));
    return out;
}

size_t LineAt(std::string_view bytes, size_t offset) {
    return 1 + static_cast<size_t>(std::count(bytes.begin(), bytes.begin() + offset, '\n'));
}

}  // namespace

std::string DecodeText(std::string_view bytes, const std::string& file) {
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF"))
        throw TableError(file, 0, 0,
                         "the file is UTF-16 text (Excel's \"Unicode text\"): save it as CSV");
    // A byte-order mark says UTF-8: there is nothing to guess.
    const bool marked = bytes.starts_with("\xEF\xBB\xBF");
    if (marked) bytes.remove_prefix(3);
    const size_t notUtf8 = FirstNonUtf8(bytes);
    if (notUtf8 == kNone) return std::string(bytes);
    if (marked)
        throw TableError::AtLine(file, LineAt(bytes, notUtf8),
                                 "the file says it is UTF-8, but this line is not UTF-8 text");
    size_t notGb = kNone;
    std::string text = FromGb18030(bytes, notGb);
    if (notGb == kNone) {
        // GB18030's own byte-order mark.
        if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
        return text;
    }
    // The encoding the file was written in reads further than the other one.
    throw TableError::AtLine(file, LineAt(bytes, std::max(notUtf8, notGb)),
                             "this line is neither UTF-8 nor GB18030 text: save the file as CSV "
                             "(UTF-8) again");
}

std::vector<Row> ParseCsv(std::string_view text, const std::string& file) {
    std::vector<Row> rows;
    Budget budget(file);
    size_t i = 0;
    const size_t n = text.size();
    for (size_t record = 1; i < n; ++record) {
        budget.RowNumber(record);
        Row row{record, {}};
        for (;;) {
            const size_t column = row.cells.size() + 1;
            budget.Cells(record, column, 1);
            std::string cell;
            if (i < n && text[i] == '"') {
                for (++i;;) {
                    const size_t quote = text.find('"', i);
                    if (quote == kNone)
                        throw TableError(file, record, column,
                                         "the cell opens a quote (\") that is never closed");
                    cell.append(text.substr(i, quote - i));
                    i = quote + 1;
                    if (i < n && text[i] == '"') {
                        cell += '"';
                        ++i;
                        continue;
                    }
                    break;
                }
            }
            // Unquoted text, or what follows a closing quote (kept, as Excel keeps it).
            const size_t end = std::min(text.find_first_of(",\r\n", i), n);
            cell.append(text.substr(i, end - i));
            i = end;
            budget.Text(record, column, cell);
            row.cells.push_back(std::move(cell));
            if (i < n && text[i] == ',') {
                ++i;
                continue;  // a comma at the end of the text ends with one more empty cell
            }
            if (i < n) i += text[i] == '\r' && i + 1 < n && text[i + 1] == '\n' ? 2 : 1;
            break;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace varelo::tables::detail
