#include "tables/table.h"

#include <cstring>

#include "base/input_file.h"
#include "base/printable.h"
#include "base/read_error.h"
#include "base/utf8.h"
#include "tables/formats.h"

namespace varelo::tables {

namespace {

std::string Message(const std::string& file, size_t row, size_t column, const std::string& reason) {
    std::string where = host::Quoted(file);
    if (row) where += ", row " + std::to_string(row);
    if (column) where += ", column " + ColumnName(column);
    return where + ": " + reason;
}

bool StartsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.substr(0, prefix.size()) == prefix;
}

}  // namespace

TableError::TableError(const std::string& file, size_t row, size_t column,
                       const std::string& reason)
    : std::runtime_error(Message(file, row, column, reason)),
      file_(file),
      row_(row),
      column_(column) {}

TableError::TableError(const std::string& file, size_t row, const std::string& message)
    : std::runtime_error(message), file_(file), row_(row), column_(0) {}

TableError TableError::AtLine(const std::string& file, size_t line, const std::string& reason) {
    return TableError(file, line,
                      host::Quoted(file) + ", line " + std::to_string(line) + ": " + reason);
}

namespace {

// White space at either end of a cell: ASCII, no-break space, the ideographic space of
// Chinese input and a stray byte-order mark.
bool IsOuterSpace(char32_t cp) {
    return cp == ' ' || (cp >= '\t' && cp <= '\r') || cp == 0xA0 || cp == 0x3000 || cp == 0xFEFF;
}

}  // namespace

std::string Trimmed(std::string_view text) {
    size_t begin = 0, end = text.size();
    char32_t cp = 0;
    while (begin < end) {
        const size_t n = host::DecodeUtf8(text, begin, cp);
        if (n == 0 || !IsOuterSpace(cp)) break;
        begin += n;
    }
    while (end > begin) {
        size_t start = end - 1;
        while (start > begin && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
        const size_t n = host::DecodeUtf8(text, start, cp);
        if (n != end - start || !IsOuterSpace(cp)) break;
        end = start;
    }
    return std::string(text.substr(begin, end - begin));
}

bool Row::Blank() const {
    for (const std::string& cell : cells)
        if (cell.find_first_not_of(" \t\r\n") != std::string::npos) return false;
    return true;
}

std::string_view Row::Cell(size_t column) const {
    if (column == 0 || column > cells.size()) return {};
    return cells[column - 1];
}

std::string ColumnName(size_t column) {
    std::string name;
    for (; column > 0; column = (column - 1) / 26)
        name.insert(name.begin(), static_cast<char>('A' + (column - 1) % 26));
    return name;
}

Table ReadTableBytes(std::string_view bytes, const std::string& file) {
    Table table{file, {}};
    // Told by the bytes: a roster saved as .xlsx and renamed .csv (or the other way) is common.
    if (StartsWith(bytes, "PK\x03\x04") || StartsWith(bytes, "PK\x05\x06")) {
        table.rows = detail::ReadXlsx(bytes, file);
    } else if (StartsWith(bytes, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) {
        throw TableError(file, 0, 0,
                         "an Excel 97-2003 workbook (.xls) cannot be read: save it as .xlsx or "
                         "as CSV");
    } else {
        table.rows = detail::ParseCsv(detail::DecodeText(bytes, file), file);
    }
    return table;
}

Table ReadTable(const std::string& path) {
    std::string bytes;
    try {
        bytes = read::ReadInputFile(path, "the table");
    } catch (const read::ReadError& e) {
        throw TableError(path, 0, e.what());  // names the file already
    }
    return ReadTableBytes(bytes, path);
}

namespace detail {

void Budget::Cells(size_t row, size_t column, size_t added) {
    if (column > kMaxColumns)
        throw TableError(file_, row, 0,
                         "the row has more than " + std::to_string(kMaxColumns) + " columns");
    cells_ += added;
    if (cells_ > kMaxCells)
        throw TableError(file_, row, 0,
                         "the table has more than " + std::to_string(kMaxCells) + " cells");
}

void Budget::Text(size_t row, size_t column, std::string_view text) const {
    if (text.size() <= kMaxCellCharacters) return;
    size_t characters = 0;
    for (const char c : text) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    if (characters > kMaxCellCharacters)
        throw TableError(
            file_, row, column,
            "the cell holds more than " + std::to_string(kMaxCellCharacters) + " characters");
}

void Budget::RowNumber(size_t row) const {
    if (row > kMaxRowNumber)
        throw TableError(file_, row, 0,
                         "the table has more than " + std::to_string(kMaxRowNumber) + " rows");
}

}  // namespace detail

}  // namespace varelo::tables
