#include "tables/key_table.h"

#include <array>
#include <string_view>

#include "base/printable.h"

namespace varelo::tables {

namespace {

enum Field { kItem, kAnswer, kPoints, kPartial, kRule, kFields };

struct Heading {
    std::string_view text;
    Field field;
};
constexpr std::array<Heading, 10> kHeadings = {{{"题号", kItem},
                                                {"答案", kAnswer},
                                                {"分值", kPoints},
                                                {"部分分", kPartial},
                                                {"规则", kRule},
                                                {"item", kItem},
                                                {"answer", kAnswer},
                                                {"points", kPoints},
                                                {"partial", kPartial},
                                                {"rule", kRule}}};

}  // namespace

std::vector<KeyRow> ReadKeyTable(const Table& table) {
    const std::vector<Row>& rows = table.rows;
    size_t first = 0;
    while (first < rows.size() && rows[first].Blank()) ++first;
    if (first == rows.size())
        throw TableError(table.file, 0, 0, "the key is empty: it has no header row and no items");
    const Row& header = rows[first];

    std::array<size_t, kFields> column{};
    std::array<std::string_view, kFields> heading{};
    for (size_t c = 1; c <= header.cells.size(); ++c) {
        const std::string text = Trimmed(header.cells[c - 1]);
        for (const Heading& h : kHeadings) {
            if (text != h.text) continue;
            if (column[h.field])
                throw TableError(table.file, header.number, c,
                                 "the header names " + std::string(h.text) + " again, after " +
                                     std::string(heading[h.field]) + " in column " +
                                     ColumnName(column[h.field]));
            column[h.field] = c;
            heading[h.field] = h.text;
        }
    }
    if (!column[kItem])
        throw TableError(table.file, header.number, 0, "the header row has no 题号 column");
    if (!column[kAnswer])
        throw TableError(table.file, header.number, 0, "the header row has no 答案 column");

    std::vector<KeyRow> out;
    for (size_t i = first + 1; i < rows.size(); ++i) {
        const Row& row = rows[i];
        if (row.Blank()) continue;
        const auto at = [&](Field f) { return column[f] ? Trimmed(row.Cell(column[f])) : ""; };
        const auto points = [&](Field f) -> std::optional<host::Score> {
            const std::string text = at(f);
            if (text.empty()) return std::nullopt;
            const auto score = host::Score::Parse(text);
            if (!score)
                throw TableError(table.file, row.number, column[f],
                                 std::string(heading[f]) + " " +
                                     host::Quoted(host::Shortened(text)) +
                                     " is not a number of points from 0 to 1000000 with at most "
                                     "two decimals");
            return score;
        };
        KeyRow k{row.number, at(kItem), at(kAnswer), points(kPoints), points(kPartial), at(kRule)};
        if (k.item.empty())
            throw TableError(table.file, row.number, column[kItem],
                             std::string(heading[kItem]) + " is empty");
        out.push_back(std::move(k));
    }
    if (out.empty())
        throw TableError(table.file, header.number, 0, "the key has a header row but no items");
    return out;
}

}  // namespace varelo::tables
