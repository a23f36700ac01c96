#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tables/table.h"

namespace varelo::tables {

struct Student {
    std::string number;     // 考号: the sheet's digits, a shorter one padded with leading zeros
    std::string name;       // 姓名, every character kept, outer white space trimmed
    std::string className;  // 班级; empty when the roster has no such column
    std::string room;       // 考场
    std::string seat;       // 座位号
    size_t row = 0;         // the table's row it came from
};

struct Roster {
    std::vector<Student> students;  // in the table's order
    // Which of the optional columns the header names.
    bool hasClass = false, hasRoom = false, hasSeat = false;
};

// The students of a table whose first row that is not blank names its columns: 考号 (or
// 准考证号, or 学号) and 姓名, and optionally 班级, 考场 and 座位号, in any order, among
// others that are ignored. Blank rows are skipped. A 考号 is digits only, at most `digits` of
// them; a shorter one gets leading zeros, as the sheet's boxes read it (a spreadsheet cell
// formatted 000000 stores 000123 as 123).
// Throws TableError naming the row and column for a missing or doubled column, a 考号 that
// is missing, not digits, too long or given twice (naming both rows), and a roster with no
// students.
Roster ReadRoster(const Table& table, int digits);

}  // namespace varelo::tables
