#include "tools/composition.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "host/geometry.h"
#include "tools/active_cells.h"
#include "tools/tools.h"

namespace varelo::tools {

namespace {

// Int() into a 16-bit integer: rounds towards minus infinity.
int IntDown(double v) {
    if (std::isnan(v)) return 0;
    return static_cast<int>(std::clamp(std::floor(v), -32768.0, 32767.0));
}

}  // namespace

std::unique_ptr<host::Table> MakeCompositionGrid(const CompositionSize& size) {
    const int rows = 2 * size.squareRows + 1;
    const int columns = size.squaresPerRow;
    auto grid = std::make_unique<host::Table>(rows, columns, host::TableBehavior::Word9);
    grid->preferredWidth = {host::PreferredWidthType::Points,
                            host::CentimetersToPoints(columns * kSquareSide)};
    grid->autoFit = host::AutoFit::Fixed;
    grid->SetAllRows(host::RowHeightRule::Exactly, host::CentimetersToPoints(kGap));
    for (int r = 1; r <= rows; r += 2)
        for (int c = 2; c <= columns; ++c)
            grid->VerticalEdge(r, c).lineStyle = host::kLineStyleNone;
    for (int r = 2; r < rows; r += 2)
        grid->Row(r) = {host::CentimetersToPoints(kSquareSide), host::RowHeightRule::Exactly};
    for (int c = 1; c <= columns; ++c) {
        grid->HorizontalEdge(1, c).lineWidth = host::kLineWidth150pt;
        grid->HorizontalEdge(rows + 1, c).lineWidth = host::kLineWidth150pt;
    }
    for (int r = 1; r <= rows; ++r) {
        grid->VerticalEdge(r, 1).lineWidth = host::kLineWidth150pt;
        grid->VerticalEdge(r, columns + 1).lineWidth = host::kLineWidth150pt;
    }
    return grid;
}

namespace {

// A table added at the end of the cell's first line: an empty paragraph gives the table its
// place and follows it; after a paragraph with text the table comes next. A paragraph always
// follows the table, so the cell's story still ends with one.
void PlaceInCell(host::Cell& cell, std::unique_ptr<host::Table> grid) {
    host::Content& story = cell.content;
    auto first =
        std::find_if(story.begin(), story.end(), [](const host::Block& b) { return !b.IsTable(); });
    if (first == story.end()) first = story.insert(story.end(), host::Block{});
    const host::Paragraph format = first->paragraph;
    const auto at = first->paragraph.Empty() ? first : first + 1;
    const auto placed = story.insert(at, host::Block{std::move(grid)});
    if (placed + 1 == story.end()) {
        host::Paragraph after = format;
        after.runs.clear();
        story.emplace_back(std::move(after));
    }
}

}  // namespace

CompositionSize ComputeCompositionSize(int rows, int columns, double firstCellWidth) {
    const float height = static_cast<float>(rows * kRowHeightCounted);
    const float cellWidth =
        static_cast<float>(host::PointsToCentimeters(static_cast<float>(firstCellWidth)));
    const float width = cellWidth * static_cast<float>(columns);
    return {IntDown((height - kGap) / kSquareWithGap), IntDown(width / kSquareSide)};
}

void cbbZuwen_Click(host::Application& app, bool& /*cancelDefault*/) {
    const auto cells = FindActiveCells(app);
    if (!cells) return;
    host::Selection& selection = app.selection;
    const int rows = selection.RowsCount();
    const int columns = selection.ColumnsCount();
    if (columns <= kMinimumBlock || rows <= kMinimumBlock) {
        app.ShowMessage(kUnsuitableBlock);
        return;
    }
    host::Table& table = *cells->table;
    const host::CellRect& rect = cells->rect;
    // A block that cuts a merged cell cannot become one cell: refused before anything changes.
    if (table.CutsMergedCell(rect)) {
        app.ShowMessage(kUnsuitableBlock);
        return;
    }
    const std::vector<double> widths = host::ResolveColumnWidths(table, cells->availableWidth);
    const double firstCellWidth = host::CellWidth(table, widths, rect.top, rect.left);
    // Sized before anything changes, so a block too small for one square stays as it was.
    const CompositionSize size = ComputeCompositionSize(rows, columns, firstCellWidth);
    if (!size.Fits()) {
        app.ShowMessage(kUnsuitableBlock);
        return;
    }

    if (!ConfirmLosingBubbles(app, table, rect)) return;
    selection.Merge();
    const host::CellRect merged = table.CellArea(rect.top, rect.left);
    host::Cell& cell = table.At(merged.top, merged.left);
    cell.verticalAlignment = host::CellVAlign::Center;
    PlaceInCell(cell, MakeCompositionGrid(size));
    selection.SelectCells(table, merged);
    cells->doc->saved = false;
    NotifyChanged(app);
}

}  // namespace varelo::tools
