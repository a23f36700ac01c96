#include "compose/written_flow.h"

#include <algorithm>
#include <cmath>

#include "base/units.h"
#include "compose/composition.h"

namespace varelo::layout {

namespace {

constexpr double kGridRowCm = 0.42324;

// Rows a fill-in item or an answer box takes.
int ItemRows(const exam::WrittenSection& s, int blanksPerLine) {
    if (s.kind == exam::SectionKind::Answer) return s.rows;
    const int lines = (s.blanks + blanksPerLine - 1) / blanksPerLine;
    return lines * kFillLineRows;
}

class Flow {
  public:
    Flow(std::vector<PageColumn> columns, const WrittenStart& start)
        : columns_(std::move(columns)),
          ci_(static_cast<size_t>(start.pageColumn)),
          row_(start.row) {}

    const PageColumn& Column() const { return columns_[ci_]; }
    int Index() const { return static_cast<int>(ci_); }
    int Row() const { return row_; }
    void SetRow(int row) { row_ = row; }
    // Rows left in the page column from the current row on.
    int RowsLeft() const { return Column().lastRow - row_ + 1; }
    // On to the top of the next page column, leaving rowsAbove free; false after the last.
    bool NextColumn(int rowsAbove) {
        if (ci_ + 1 >= columns_.size()) return false;
        ++ci_;
        row_ = Column().firstRow + rowsAbove;
        return true;
    }
    // Whether a page column at its full height holds what needs that many rows in it.
    template <typename Needs>
    bool FitsSomeColumn(Needs&& rowsNeeded) const {
        return std::any_of(columns_.begin(), columns_.end(), [&](const PageColumn& c) {
            return rowsNeeded(c) <= c.lastRow - c.firstRow + 1;
        });
    }

  private:
    std::vector<PageColumn> columns_;
    size_t ci_;
    int row_;
};

// The most rows of squares a block of `rows` page-grid rows holds.
int SquareRowsIn(int rows) {
    int n = 0;
    while (CompositionBlockRows(n + 1) <= rows) ++n;
    return n;
}

}  // namespace

int FillBlanksPerLine(const PageColumn& column) {
    const int room = column.boxRight - column.boxLeft + 1 - kFillNumberCells;
    return std::max(1, (room + 1) / (kFillMinBlankCells + 1));
}

std::vector<host::CellRect> FillBlankCells(const PageColumn& column, int row, int blanks) {
    const int left = column.boxLeft + kFillNumberCells;
    const int room = column.boxRight - left + 1;
    const int width = std::max(1, (room - (blanks - 1)) / std::max(1, blanks));
    std::vector<host::CellRect> out;
    for (int b = 0; b < blanks; ++b) {
        const int from = left + b * (width + 1);
        out.push_back({row, from, row, from + width - 1});
    }
    return out;
}

int CompositionSquaresPerRow(const PageColumn& column, const std::vector<double>& columnWidths) {
    const int columns = column.boxRight - column.boxLeft + 1;
    if (column.boxLeft < 1 || column.boxLeft > static_cast<int>(columnWidths.size())) return 0;
    const double firstCell = columnWidths[static_cast<size_t>(column.boxLeft - 1)];
    return std::min(
        tools::kMaxSquaresPerRow,
        tools::ComputeCompositionSize(tools::kMinimumBlock + 1, columns, firstCell).squaresPerRow);
}

int CompositionBlockRows(int squareRows) {
    const double height =
        host::CentimetersToPoints(squareRows * tools::kSquareWithGap + tools::kGap) +
        kClosingParagraphPt;
    return static_cast<int>(std::ceil(height / host::CentimetersToPoints(kGridRowCm) - 1e-9));
}

WrittenPlan PlanWrittenSections(exam::Layout layout, int startRow, const WrittenStart& start,
                                const std::vector<exam::WrittenSection>& sections,
                                const std::vector<double>& columnWidths, bool pageCodes,
                                int rowsBelowFill) {
    WrittenPlan plan;
    std::vector<PageColumn> columns = ObjectivePageColumns(layout, startRow, pageCodes);
    if (columns.empty() || start.pageColumn < 0 ||
        start.pageColumn >= static_cast<int>(columns.size())) {
        plan.fits = sections.empty();
        return plan;
    }
    Flow flow(std::move(columns), start);
    int number = start.itemNumber;
    const auto refuse = [&](size_t s, int item, bool tall) {
        plan.fits = false;
        plan.refusal = {s, item, tall};
        return plan;
    };

    for (size_t s = 0; s < sections.size(); ++s) {
        const exam::WrittenSection& section = sections[s];
        const bool essay = section.kind == exam::SectionKind::Essay;
        // Rows the first item needs in a page column: a whole fill-in item or answer box, one
        // row of squares of a composition.
        const auto firstNeeds = [&] {
            return essay ? CompositionBlockRows(1)
                         : ItemRows(section, FillBlanksPerLine(flow.Column()));
        };
        // Items of a section are alike: the first, below its heading, fits some page column
        // or none does.
        if (!essay && !flow.FitsSomeColumn([&](const PageColumn& c) {
                return ItemRows(section, FillBlanksPerLine(c)) + 1;
            }))
            return refuse(s, number, true);

        SectionPlacement placed;
        // The heading stands in the row above the first item, so it moves along with it.
        while (flow.Row() - 1 < flow.Column().firstRow || flow.RowsLeft() < firstNeeds())
            if (!flow.NextColumn(1)) return refuse(s, number, false);
        placed.pageColumn = flow.Index();
        placed.headingRow = flow.Row() - 1;

        if (essay) {
            int squaresLeft = std::max(1, section.chars);
            int before = 0, part = 0;
            std::vector<WrittenItem> parts;
            for (;;) {
                const int perRow = CompositionSquaresPerRow(flow.Column(), columnWidths);
                const int fit = perRow > 0 ? SquareRowsIn(flow.RowsLeft()) : 0;
                if (fit > 0) {
                    const int rows = std::min(fit, (squaresLeft + perRow - 1) / perRow);
                    const PageColumn& c = flow.Column();
                    const int blockRows = CompositionBlockRows(rows);
                    parts.push_back(
                        {number,
                         flow.Index(),
                         {flow.Row(), c.boxLeft, flow.Row() + blockRows - 1, c.boxRight},
                         ++part,
                         0,
                         0,
                         rows,
                         perRow,
                         before});
                    before += rows * perRow;
                    squaresLeft -= rows * perRow;
                    flow.SetRow(flow.Row() + blockRows + 1);
                    if (squaresLeft <= 0) break;
                }
                if (!flow.NextColumn(0)) return refuse(s, number, false);
            }
            if (parts.size() == 1) parts.front().part = 0;
            placed.items = std::move(parts);
            ++number;
        } else {
            for (int k = 0; k < section.items; ++k, ++number) {
                const auto rowsHere = [&] {
                    return ItemRows(section, FillBlanksPerLine(flow.Column()));
                };
                while (flow.RowsLeft() < rowsHere())
                    if (!flow.NextColumn(0)) return refuse(s, number, false);
                const int rows = rowsHere();
                const PageColumn& c = flow.Column();
                WrittenItem item{number,
                                 flow.Index(),
                                 {flow.Row(), c.boxLeft, flow.Row() + rows - 1, c.boxRight}};
                if (section.kind == exam::SectionKind::Fill) {
                    item.lines = rows / kFillLineRows;
                    item.blanksPerLine = (section.blanks + item.lines - 1) / item.lines;
                }
                placed.items.push_back(item);
                // Fill-in lines follow each other (a line's free row parts them); a box keeps a
                // spacer row below it.
                flow.SetRow(flow.Row() + rows +
                            (section.kind == exam::SectionKind::Answer ? 1 : 0));
            }
            // The next heading stands clear of the last line: the row below it is the
            // heading's, after the rows kept empty.
            if (section.kind == exam::SectionKind::Fill)
                flow.SetRow(flow.Row() + 1 + rowsBelowFill);
        }
        plan.sections.push_back(std::move(placed));
    }
    return plan;
}

}  // namespace varelo::layout
