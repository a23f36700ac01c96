// The 作文 tool: the selected block becomes one cell holding a grid of composition squares.
#include <algorithm>
#include <memory>

#include "compose/composition.h"
#include "doc/geometry.h"
#include "edit/active_cells.h"
#include "edit/tools.h"

namespace varelo::tools {

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

void cbbZuwen_Click(host::Application& app, bool& /*cancelDefault*/) {
    const auto cells = FindActiveCells(app);
    if (!cells) return;
    host::Selection& selection = app.selection;
    const int rows = selection.RowsCount();
    const int columns = selection.ColumnsCount();
    if (columns <= kMinimumBlock || rows <= kMinimumBlock) {
        app.Notice(kBlockTooSmall);
        app.ShowMessage(kUnsuitableBlock);
        return;
    }
    host::Table& table = *cells->table;
    const host::CellRect& rect = cells->rect;
    // A block that cuts a merged cell cannot become one cell: refused before anything changes.
    if (table.CutsMergedCell(rect)) {
        app.Notice(kCutsMergedCell);
        app.ShowMessage(kUnsuitableBlock);
        return;
    }
    const std::vector<double> widths = host::ResolveColumnWidths(table, cells->availableWidth);
    const double firstCellWidth = host::CellWidth(table, widths, rect.top, rect.left);
    // Sized before anything changes, so a block too small for one square stays as it was.
    const CompositionSize size = ComputeCompositionSize(rows, columns, firstCellWidth);
    if (!size.Fits()) {
        app.Notice(kBlockTooNarrow);
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
