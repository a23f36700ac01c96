// The table reader and the roster on hostile input. Three kinds of input:
// - a whole zip package (starts with "PK"), read as an .xlsx;
// - "<part name>\n<xml>", the name one of a small valid workbook's parts or any under xl/: that
//   part replaced by the xml (the sheet when the name is not one of its parts), so the fuzzer
//   reaches the cells instead of failing the zip checks;
// - anything else, read as CSV.
// The reader must refuse with TableError or give rows within the limits, numbered upwards,
// of UTF-8 cells; a CSV written back from them reads to the same rows. A roster read from
// them is refused with TableError or holds unique 考号 of the sheet's digits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "../tests/xlsx_writer.h"
#include "base/utf8.h"
#include "tables/roster.h"
#include "tables/table.h"

namespace {

using namespace varelo;

void Check(bool condition) {
    if (!condition) std::abort();
}

const testing::Parts& Template() {
    static const testing::Parts parts = testing::Workbook(
        "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"C1\" t=\"inlineStr\"><is><t>姓名"
        "</t></is></c></row><row r=\"3\"><c r=\"A3\"><v>12</v></c><c r=\"C3\" t=\"s\"><v>1</v>"
        "</c><c r=\"D3\" t=\"b\"><v>1</v></c></row>",
        "<si><t>考号</t></si><si><r><t>张</t></r><r><t>三</t></r></si>");
    return parts;
}

// Every cell quoted, quotes doubled: what any cell reads back from.
std::string CsvOf(const tables::Table& table) {
    std::string csv;
    for (const tables::Row& row : table.rows) {
        for (size_t c = 0; c < row.cells.size(); ++c) {
            if (c) csv += ',';
            csv += '"';
            for (const char ch : row.cells[c])
                csv += ch == '"' ? std::string("\"\"") : std::string(1, ch);
            csv += '"';
        }
        csv += "\r\n";
    }
    return csv;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string bytes(input);
    const size_t newline = input.find('\n');
    const std::string first(input.substr(0, newline == std::string_view::npos ? 0 : newline));
    if (!input.starts_with("PK") && (Template().count(first) || first.starts_with("xl/"))) {
        testing::Parts parts = Template();
        parts[parts.count(first) ? first : "xl/worksheets/sheet1.xml"] = input.substr(newline + 1);
        bytes = testing::ZipBytes(parts, false);
    }
    tables::Table table;
    try {
        table = tables::ReadTableBytes(bytes, "fuzz");
    } catch (const tables::TableError&) {
        return 0;
    }
    size_t cells = 0, last = 0;
    for (const tables::Row& row : table.rows) {
        Check(row.number > last && row.number <= tables::kMaxRowNumber);
        last = row.number;
        Check(!row.cells.empty() && row.cells.size() <= tables::kMaxColumns);
        cells += row.cells.size();
        for (const std::string& cell : row.cells) Check(host::IsValidUtf8(cell));
    }
    Check(cells <= tables::kMaxCells);

    // The rows survive being written as CSV and read again, whatever they hold.
    const tables::Table again = tables::ReadTableBytes(CsvOf(table), "again");
    Check(again.rows.size() == table.rows.size());
    for (size_t r = 0; r < table.rows.size(); ++r)
        Check(again.rows[r].cells == table.rows[r].cells);

    try {
        const tables::Roster roster = tables::ReadRoster(table, 10);
        std::set<std::string> numbers;
        for (const tables::Student& s : roster.students) {
            Check(s.number.size() == 10 &&
                  s.number.find_first_not_of("0123456789") == std::string::npos);
            Check(numbers.insert(s.number).second);
        }
        Check(!roster.students.empty());
    } catch (const tables::TableError&) {
    }
    return 0;
}
