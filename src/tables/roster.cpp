#include "tables/roster.h"

#include <array>
#include <map>
#include <string_view>

#include "base/printable.h"

namespace varelo::tables {

namespace {

enum Field { kNumber, kName, kClass, kRoom, kSeat, kFields };

// Header texts and the field each names; the first one listed for 考号 wins over the others
// when a roster has several (a school's 学号 beside the exam's 考号).
struct Heading {
    std::string_view text;
    Field field;
};
constexpr std::array<Heading, 7> kHeadings = {{{"考号", kNumber},
                                               {"准考证号", kNumber},
                                               {"学号", kNumber},
                                               {"姓名", kName},
                                               {"班级", kClass},
                                               {"考场", kRoom},
                                               {"座位号", kSeat}}};

}  // namespace

Roster ReadRoster(const Table& table, int digits) {
    const std::vector<Row>& rows = table.rows;
    size_t first = 0;
    while (first < rows.size() && rows[first].Blank()) ++first;
    if (first == rows.size())
        throw TableError(table.file, 0, 0,
                         "the roster is empty: it has no header row and no students");
    const Row& header = rows[first];

    // Where each heading stands (from 1), and where again if the header names it twice.
    std::array<size_t, kHeadings.size()> where{}, again{};
    for (size_t c = 1; c <= header.cells.size(); ++c) {
        const std::string text = Trimmed(header.cells[c - 1]);
        for (size_t h = 0; h < kHeadings.size(); ++h)
            if (text == kHeadings[h].text) {
                if (!where[h])
                    where[h] = c;
                else if (!again[h])
                    again[h] = c;
            }
    }
    // Each field's column: its first heading in kHeadings that the header names.
    std::array<size_t, kFields> column{};
    std::array<std::string_view, kFields> heading{};
    for (size_t h = kHeadings.size(); h-- > 0;) {
        if (!where[h]) continue;
        column[kHeadings[h].field] = where[h];
        heading[kHeadings[h].field] = kHeadings[h].text;
    }
    for (size_t h = 0; h < kHeadings.size(); ++h)
        if (again[h] && column[kHeadings[h].field] == where[h])
            throw TableError(table.file, header.number, again[h],
                             "the header names " + std::string(kHeadings[h].text) +
                                 " twice, in columns " + ColumnName(where[h]) + " and " +
                                 ColumnName(again[h]));
    if (!column[kNumber])
        throw TableError(table.file, header.number, 0,
                         "the header row has no 考号 column (准考证号 and 学号 are read as 考号 "
                         "too)");
    if (!column[kName])
        throw TableError(table.file, header.number, 0, "the header row has no 姓名 column");
    const std::string numberHeading(heading[kNumber]);

    Roster roster;
    roster.hasClass = column[kClass] != 0;
    roster.hasRoom = column[kRoom] != 0;
    roster.hasSeat = column[kSeat] != 0;
    std::map<std::string, size_t> rowOf;  // 考号 → its row
    const size_t width = static_cast<size_t>(digits > 0 ? digits : 0);
    for (size_t i = first + 1; i < rows.size(); ++i) {
        const Row& row = rows[i];
        if (row.Blank()) continue;
        const auto at = [&](Field f) { return column[f] ? Trimmed(row.Cell(column[f])) : ""; };
        const auto fail = [&](const std::string& reason) {
            throw TableError(table.file, row.number, column[kNumber], numberHeading + " " + reason);
        };
        Student s{at(kNumber), at(kName), at(kClass), at(kRoom), at(kSeat), row.number};
        if (s.number.empty()) fail("is empty");
        for (const char c : s.number)
            if (c < '0' || c > '9')
                fail(host::Quoted(host::Shortened(s.number)) + " is not digits only" +
                     (s.number.find("E+") != std::string::npos
                          ? " (a spreadsheet keeps so long a number only roughly: format the "
                            "column as text and type the numbers again)"
                          : ""));
        if (s.number.size() > width)
            fail(host::Quoted(host::Shortened(s.number)) + " has " +
                 std::to_string(s.number.size()) + " digits; the sheet's 考号 has " +
                 std::to_string(width));
        s.number.insert(0, width - s.number.size(), '0');
        const auto [it, added] = rowOf.emplace(s.number, row.number);
        if (!added) fail(s.number + " is also on row " + std::to_string(it->second));
        roster.students.push_back(std::move(s));
    }
    if (roster.students.empty())
        throw TableError(table.file, header.number, 0,
                         "the roster has a header row but no students");
    return roster;
}

}  // namespace varelo::tables
