#include "tables/marks_table.h"

#include <array>
#include <string_view>

#include "base/printable.h"

namespace varelo::tables {

namespace {

enum Field { kCandidate, kItem, kScore, kScan, kFields };

struct Heading {
    std::string_view text;
    Field field;
};
constexpr std::array<Heading, 9> kHeadings = {{{"考号", kCandidate},
                                               {"准考证号", kCandidate},
                                               {"题号", kItem},
                                               {"得分", kScore},
                                               {"扫描", kScan},
                                               {"candidate", kCandidate},
                                               {"item", kItem},
                                               {"score", kScore},
                                               {"scan", kScan}}};

}  // namespace

std::vector<MarkRow> ReadMarksTable(const Table& table) {
    const std::vector<Row>& rows = table.rows;
    size_t first = 0;
    while (first < rows.size() && rows[first].Blank()) ++first;
    if (first == rows.size())
        throw TableError(table.file, 0, 0,
                         "the scores are empty: the table has no header row and no scores");
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
    for (const auto& [field, name] :
         {std::pair{kCandidate, "考号"}, {kItem, "题号"}, {kScore, "得分"}})
        if (!column[field])
            throw TableError(table.file, header.number, 0,
                             std::string("the header row has no ") + name + " column");

    std::vector<MarkRow> out;
    for (size_t i = first + 1; i < rows.size(); ++i) {
        const Row& row = rows[i];
        if (row.Blank()) continue;
        const auto at = [&](Field f) { return column[f] ? Trimmed(row.Cell(column[f])) : ""; };
        MarkRow m{row.number, at(kCandidate), at(kItem), {}, at(kScan)};
        if (m.item.empty())
            throw TableError(table.file, row.number, column[kItem],
                             std::string(heading[kItem]) + " is empty");
        if (m.candidate.empty() && m.scan.empty())
            throw TableError(
                table.file, row.number, column[kCandidate],
                std::string(heading[kCandidate]) + " is empty" +
                    (column[kScan] ? " and so is " + std::string(heading[kScan]) : std::string()));
        const std::string score = at(kScore);
        const auto parsed = host::Score::Parse(score);
        if (!parsed)
            throw TableError(table.file, row.number, column[kScore],
                             std::string(heading[kScore]) + " " +
                                 host::Quoted(host::Shortened(score)) +
                                 " is not a score: a number from 0 with at most two decimals");
        m.score = *parsed;
        out.push_back(std::move(m));
    }
    if (out.empty())
        throw TableError(table.file, header.number, 0, "the table has a header row but no scores");
    return out;
}

}  // namespace varelo::tables
