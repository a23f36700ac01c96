#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "base/score.h"
#include "tables/table.h"

namespace varelo::tables {

// One written answer's score as a marking program exports it, its cells trimmed; matched to
// the sheets and the template's items by the reader.
struct MarkRow {
    size_t row = 0;         // the table's row it came from
    std::string candidate;  // 考号, as the sheet read it ("12?456" included)
    std::string item;       // 题号
    host::Score score;      // 得分
    std::string scan;       // 扫描: the sheet's scan, or its scans joined by " + "; or empty
};

// The scores of a table whose first row that is not blank names its columns: 考号, 题号 and
// 得分, and optionally 扫描 (or candidate, item, score and scan), in any order, among others
// that are ignored. Blank rows are skipped.
// Throws TableError naming the row and column for a missing or doubled column, a row without
// its 题号, or without both 考号 and 扫描, a score that is not a number of points with at most
// two decimals (a negative one included), and a table with no scores.
std::vector<MarkRow> ReadMarksTable(const Table& table);

}  // namespace varelo::tables
