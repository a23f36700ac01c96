#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "base/score.h"
#include "tables/table.h"

namespace varelo::tables {

// One item of an answer key kept as a table, its cells trimmed; checked against the template
// by the scores library.
struct KeyRow {
    size_t row = 0;                              // the table's row it came from
    std::string item;                            // 题号
    std::string answer;                          // 答案
    std::optional<host::Score> points, partial;  // 分值, 部分分: empty when the cell is
    std::string rule;                            // 规则: all, partial or perOption; or empty
};

// The items of a table whose first row that is not blank names its columns: 题号 and 答案, and
// optionally 分值, 部分分 and 规则 (or, as in a JSON key, item, answer, points, partial and
// rule), in any order, among others that are ignored. Blank rows are skipped.
// Throws TableError naming the row and column for a missing or doubled column, a row without
// its 题号, points that are not a number with at most two decimals, and a key with no items.
std::vector<KeyRow> ReadKeyTable(const Table& table);

}  // namespace varelo::tables
