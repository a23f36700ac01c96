#include "edit/tools.h"

#include "doc/border_pass.h"
#include "doc/errors.h"
#include "doc/geometry.h"
#include "edit/active_cells.h"

namespace varelo::tools {

namespace {

// Searches a story and the cells of its tables; `available` is the width the story's
// tables measure their percentages against.
bool FindTable(const host::Content& story, const host::Table* target, double available,
               double& found) {
    for (const host::Block& block : story) {
        if (!block.IsTable()) continue;
        const host::Table& table = *block.table;
        if (&table == target) {
            found = available;
            return true;
        }
        const std::vector<double> widths = host::ResolveColumnWidths(table, available);
        for (const host::CellRect& a : table.CellsIn({1, 1, table.Rows(), table.Columns()})) {
            const double inner = host::CellWidth(table, widths, a.top, a.left) - table.leftPadding -
                                 table.rightPadding;
            if (FindTable(table.At(a.top, a.left).content, target, inner, found)) return true;
        }
    }
    return false;
}

constexpr const char* kSelectMergeArea = "请先选择要合并的区域";

}  // namespace

std::optional<ActiveCells> FindActiveCells(host::Application& app) {
    host::Document* doc = app.ActiveDocument();
    host::Table* table = app.selection.GetTable();
    if (!doc || !table) return std::nullopt;
    ActiveCells cells{doc, table, app.selection.Rect(), 0};
    // The pointer is compared, never followed, until the table is found in the document.
    if (!FindTable(doc->body, table, doc->pageSetup.TextWidth(), cells.availableWidth))
        return std::nullopt;
    const host::CellRect& r = cells.rect;
    if (r.top < 1 || r.left < 1 || r.top > r.bottom || r.left > r.right ||
        r.bottom > table->Rows() || r.right > table->Columns())
        return std::nullopt;
    return cells;
}

bool HoldsBubblesOrMarks(const host::Table& table, const host::CellRect& rect) {
    for (const host::CellRect& a : table.CellsIn(rect))
        for (const host::Block& b : table.At(a.top, a.left).content) {
            if (b.IsTable()) continue;
            for (const host::Run& run : b.paragraph.runs)
                if (!run.text.empty() && run.format.font == host::kFontBubble) return true;
        }
    return false;
}

bool ConfirmLosingBubbles(host::Application& app, const host::Table& table,
                          const host::CellRect& rect) {
    return !HoldsBubblesOrMarks(table, rect) || app.Confirm(kLosesBubbles);
}

void NotifyChanged(host::Application& app) {
    if (app.documentsChanged) app.documentsChanged();
}

void cbbBox_Click(host::Application& app, bool& /*cancelDefault*/) {
    const auto cells = FindActiveCells(app);
    if (!cells) return;
    host::BorderPass(app, *cells->table, cells->rect, host::BorderSet::Outline());
    cells->doc->saved = false;
    NotifyChanged(app);
}

void cbbLine_Click(host::Application& app, bool& /*cancelDefault*/) {
    const auto cells = FindActiveCells(app);
    if (!cells) return;
    cells->table->SetBorder(cells->rect, host::BorderType::Bottom, host::kSolidBorder);
    host::ResetDefaultBorderOptions(app);
    cells->doc->saved = false;
    NotifyChanged(app);
}

void cbbHebing_Click(host::Application& app, bool& /*cancelDefault*/) {
    const auto cells = FindActiveCells(app);
    if (!cells) return;
    if (app.selection.CellsCount() < 2) {
        app.ShowMessage(kSelectMergeArea);
        return;
    }
    // A merge the host will refuse loses nothing, so it needs no question.
    const bool refused = cells->table->CutsMergedCell(cells->rect);
    if (!refused && !ConfirmLosingBubbles(app, *cells->table, cells->rect)) return;
    if (refused) app.Notice(kCutsMergedCell);
    // Each step that the host refuses is skipped; the user sees no error.
    bool changed = false;
    try {
        app.selection.Merge();
        changed = true;
    } catch (const host::HostError&) {
    }
    try {
        host::CellVAlign& align = app.selection.FirstCell().verticalAlignment;
        changed = changed || align != host::CellVAlign::Center;
        align = host::CellVAlign::Center;
    } catch (const host::HostError&) {
    }
    // A cell already centred by an earlier click is no change to save or undo.
    if (!changed) return;
    cells->doc->saved = false;
    NotifyChanged(app);
}

void cbbGrid_Click(host::Application& app, bool& /*cancelDefault*/) {
    app.view.tableGridlines = !app.view.tableGridlines;
    NotifyChanged(app);
}

}  // namespace varelo::tools
