#include "compose/objective_flow.h"

#include <algorithm>
#include <array>
#include <numeric>

#include "compose/generators.h"

namespace varelo::layout {

namespace {

// One page column: its box, the heading's first cell, the first item column and the items of
// a block. The same columns repeat on page 2.
struct ColumnSpan {
    int boxLeft = 0;  // 0: unused entry
    int boxRight = 0, headingColumn = 0, firstItemColumn = 0, itemsPerBlock = 0;
};

struct ObjectiveLayout {
    int markColumn;
    int page1Rows;  // rows of page 1; page 2 holds the rest of the grid
    std::array<ColumnSpan, 3> columns;
};

// Indexed by layout code - 1. The first page column of each layout is where the section
// always stood; the narrower later columns of 8开三栏 hold two five-groups, centred.
// clang-format off
constexpr std::array<ObjectiveLayout, kLayoutCount> kLayouts{{
    {1, 65, {{{3, 21, 3, 4, 15}, {23, 41, 23, 24, 15}, {43, 61, 43, 44, 15}}}},
    {1, 65, {{{3, 31, 3, 3, 25}, {33, 61, 33, 33, 25}, {}}}},
    {1, 58, {{{3, 20, 3, 3, 15}, {22, 37, 22, 24, 10}, {39, 53, 39, 41, 10}}}},
    {1, 58, {{{3, 27, 3, 4, 20}, {29, 53, 29, 30, 20}, {}}}},
    {28, 63, {{{2, 26, 3, 3, 20}, {}, {}}}},
    {26, 54, {{{2, 24, 2, 2, 20}, {}, {}}}},
}};
// clang-format on

constexpr int kHeadingCells = 11;
constexpr int kPageNumberRows = 2, kPageNumberColumns = 3;

// Decodes one UTF-8 character at i and moves past it; a broken byte counts as one character.
char32_t NextCodePoint(const std::string& s, size_t& i) {
    const auto lead = static_cast<unsigned char>(s[i++]);
    int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    char32_t cp = extra == 3   ? lead & 0x07u
                  : extra == 2 ? lead & 0x0Fu
                  : extra == 1 ? lead & 0x1Fu
                               : lead;
    for (; extra > 0 && i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80; --extra)
        cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3Fu);
    return cp;
}

// Ideographs, kana, hangul, CJK punctuation and the full-width forms take a whole em.
bool FullWidth(char32_t cp) {
    if (cp >= 0x1100 && cp <= 0x115F) return true;
    if (cp >= 0xFF61 && cp <= 0xFFDC) return false;  // half-width forms
    if (cp >= 0xFFE8 && cp <= 0xFFEE) return false;
    return (cp >= 0x2E80 && cp <= 0xA4CF) || (cp >= 0xAC00 && cp <= 0xD7A3) ||
           (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0xFE30 && cp <= 0xFE4F) ||
           (cp >= 0xFF00 && cp <= 0xFFEE) || (cp >= 0x20000 && cp <= 0x3FFFD);
}

}  // namespace

std::vector<PageColumn> ObjectivePageColumns(exam::Layout layout, int startRow, bool pageCodes) {
    const int16_t layoutCode = exam::Code(layout);
    if (layoutCode < 1 || layoutCode > kLayoutCount) return {};
    const ObjectiveLayout& table = kLayouts[static_cast<size_t>(layoutCode - 1)];
    std::vector<PageColumn> out;
    for (int page = 1; page <= 2; ++page) {
        const int top = page == 1 ? 1 : table.page1Rows + 1;
        const int bottom = page == 1 ? table.page1Rows : GridRows(layout);
        // The page's last row holds corner marks in the mark columns: no option row beside them.
        int lastRow = bottom - 1;
        const auto [numberRow, numberColumn] = PageNumberBlock(layout, page);
        for (const ColumnSpan& span : table.columns) {
            if (span.boxLeft == 0) continue;
            PageColumn c{page,
                         out.empty() ? startRow - 1 : top,
                         lastRow,
                         span.boxLeft,
                         span.boxRight,
                         span.headingColumn,
                         span.firstItemColumn,
                         span.itemsPerBlock};
            // Keep clear of the page-number block where it stands in this column's box.
            const host::CellRect numbers{numberRow, numberColumn, numberRow + kPageNumberRows - 1,
                                         numberColumn + kPageNumberColumns - 1};
            if (numbers.Intersects({c.firstRow, c.boxLeft, c.lastRow, c.boxRight}))
                c.lastRow = numberRow - 1;
            // An empty row between the code and the frame above keeps the code's quiet zone.
            const host::CellRect code = PageCodeArea(layout, page);
            if (pageCodes && code.Intersects({c.firstRow, c.boxLeft, c.lastRow, c.boxRight}))
                c.lastRow = std::min(c.lastRow, code.top - 2);
            out.push_back(c);
        }
    }
    return out;
}

int ObjectiveMarkColumn(exam::Layout layout) {
    const int16_t layoutCode = exam::Code(layout);
    return layoutCode >= 1 && layoutCode <= kLayoutCount
               ? kLayouts[static_cast<size_t>(layoutCode - 1)].markColumn
               : 0;
}

ObjectivePlan PlanObjectiveSection(exam::Layout layout, int startRow,
                                   const std::vector<GroupShape>& groups, bool pageCodes) {
    const std::vector<PageColumn> columns = ObjectivePageColumns(layout, startRow, pageCodes);
    ObjectivePlan plan;
    plan.nextRow = startRow;
    if (columns.empty()) {
        plan.fits = groups.empty();
        return plan;
    }
    size_t ci = 0;
    int row = startRow;
    // A block of o option rows fits where its number row and option rows stay in the column.
    const auto fitsHere = [&](int o) { return row + o <= columns[ci].lastRow; };
    const auto nextColumn = [&](int rowsAbove) {
        if (++ci == columns.size()) return false;
        row = columns[ci].firstRow + rowsAbove;
        return true;
    };

    for (const GroupShape& g : groups) {
        GroupPlacement placed;
        // The heading stands in the row above the first block, so it moves along with it.
        while (row - 1 < columns[ci].firstRow || !fitsHere(g.options))
            if (!nextColumn(1)) {
                plan.fits = false;
                return plan;
            }
        placed.pageColumn = static_cast<int>(ci);
        placed.headingRow = row - 1;
        int item = 0;
        do {
            if (!fitsHere(g.options) && !nextColumn(0)) {
                plan.fits = false;
                return plan;
            }
            const int count = std::min(columns[ci].itemsPerBlock, g.items - item);
            const PageColumn& c = columns[ci];
            if (placed.blocks.empty() || placed.blocks.back().pageColumn != static_cast<int>(ci))
                placed.frames.push_back({row, c.boxLeft, row + g.options, c.boxRight});
            placed.frames.back().bottom = row + g.options;
            placed.blocks.push_back({row, static_cast<int>(ci), item, count});
            item += count;
            row += g.options + 2;
        } while (item < g.items);
        plan.groups.push_back(std::move(placed));
    }
    plan.nextRow = row;
    plan.nextPageColumn = static_cast<int>(ci);
    return plan;
}

double HeadingWidth(const std::string& text) {
    constexpr double kFull = 10.5, kHalf = 5.25;
    double width = 0;
    for (size_t i = 0; i < text.size();) width += FullWidth(NextCodePoint(text, i)) ? kFull : kHalf;
    return width;
}

std::optional<host::CellRect> HeadingCells(const PageColumn& column, int headingRow, double width,
                                           const std::vector<double>& columnWidths) {
    const auto span = [&](int from, int to) {
        if (from < 1 || to > static_cast<int>(columnWidths.size())) return 0.0;
        return std::accumulate(columnWidths.begin() + from - 1, columnWidths.begin() + to, 0.0);
    };
    constexpr double kTolerance = 1e-6;
    const host::CellRect eleven{headingRow, column.headingColumn, headingRow,
                                column.headingColumn + kHeadingCells - 1};
    if (width <= span(eleven.left, eleven.right) + kTolerance) return eleven;
    const host::CellRect box{headingRow, column.boxLeft, headingRow, column.boxRight};
    if (width <= span(box.left, box.right) + kTolerance) return box;
    return std::nullopt;
}

}  // namespace varelo::layout
