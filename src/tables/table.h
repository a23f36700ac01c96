#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace varelo::tables {

struct Table;

// A table that cannot be used, or a row of it; what() names the file, the row and, where it
// applies, the column, fit to show the teacher who keeps the file.
class TableError : public std::runtime_error {
  public:
    // row and column count from 1; 0 when the fault is not in one.
    TableError(const std::string& file, size_t row, size_t column, const std::string& reason);
    // A fault in the bytes of a text file, found before its rows are: row() is the line.
    static TableError AtLine(const std::string& file, size_t line, const std::string& reason);
    const std::string& file() const { return file_; }
    size_t row() const { return row_; }
    size_t column() const { return column_; }

  private:
    friend Table ReadTable(const std::string& path);
    TableError(const std::string& file, size_t row, const std::string& message);
    std::string file_;
    size_t row_, column_;
};

struct Row {
    // As the spreadsheet program numbers it: a CSV's record (its line, unless a quoted cell
    // spans lines), a worksheet's row. Rows a worksheet leaves out are not in the table.
    size_t number = 0;
    // UTF-8. A CSV's cells exactly as written ("007", "1.50"); a worksheet's as the workbook
    // stores them: text as typed, a number as its digits (1.5 for a cell shown as 1.50, a
    // date's serial number), TRUE or FALSE, a formula's last result.
    std::vector<std::string> cells;

    // Whether every cell is empty or white space.
    bool Blank() const;
    // The cell in column (from 1), empty past the row's end.
    std::string_view Cell(size_t column) const;
};

struct Table {
    std::string file;  // what names it in messages
    std::vector<Row> rows;
};

// What a table may hold, whatever its format: beyond them it is refused, so a hostile file
// costs bounded time and memory. Excel's own limits for rows, columns and a cell's text.
inline constexpr size_t kMaxRowNumber = 1048576;
inline constexpr size_t kMaxColumns = 16384;
inline constexpr size_t kMaxCellCharacters = 32767;
// Cells held in all, the empty ones filling a worksheet's gaps included.
inline constexpr size_t kMaxCells = 4000000;
// Any one part of an .xlsx, unpacked (as for a .docx): parsed whole, a part costs about ten
// times its size.
inline constexpr size_t kMaxXlsxPartBytes = 32 << 20;

// A CSV file (UTF-8 with or without byte-order mark, or GB18030; RFC 4180 quoting; CRLF, LF
// or CR line ends) or the first visible worksheet of an .xlsx workbook, told apart by the
// bytes, not the name. The file is read through the bounded input reader (64 MB).
// Throws TableError.
Table ReadTable(const std::string& path);

// The same from bytes in memory; file names them in messages.
Table ReadTableBytes(std::string_view bytes, const std::string& file);

// The text without white space at either end: ASCII, no-break space, the ideographic space of
// Chinese input and a stray byte-order mark.
std::string Trimmed(std::string_view text);

// "A", "B", ..., "Z", "AA", ...: a column as spreadsheets name it (column from 1).
std::string ColumnName(size_t column);

}  // namespace varelo::tables
