// Typing in cells, the format bar's picks on the selection, and selecting grid cells by number.

#include <QInputDialog>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <algorithm>

#include "cell_editor.h"
#include "doc/errors.h"
#include "edit/active_cells.h"
#include "edit/tools.h"
#include "format_bar.h"
#include "main_window.h"
#include "page_view.h"
#include "render/fonts.h"
#include "render/text_layout.h"
#include "window_text.h"

namespace varelo::desk {

namespace {

Qt::Alignment QtAlignment(host::Alignment a) {
    switch (a) {
        case host::Alignment::Center:
            return Qt::AlignHCenter;
        case host::Alignment::Right:
            return Qt::AlignRight;
        case host::Alignment::Justify:
            return Qt::AlignJustify;
        default:
            return Qt::AlignLeft;
    }
}

}  // namespace

bool MainWindow::SelectGridCells(const QString& cells) {
    host::Document* doc = app_.ActiveDocument();
    if (!doc || doc->TableCount() == 0) return false;
    // R1,C1:R2,C2 or R,C, as the status bar shows it and `varelo edit --select` takes it.
    static const QRegularExpression form(
        QStringLiteral("^\\s*(\\d{1,5})\\s*[,，]\\s*(\\d{1,5})\\s*(?:[:：]\\s*(\\d{1,5})\\s*[,，]"
                       "\\s*(\\d{1,5})\\s*)?$"));
    const QRegularExpressionMatch m = form.match(cells);
    if (!m.hasMatch()) return false;
    const int r1 = m.captured(1).toInt(), c1 = m.captured(2).toInt();
    const int r2 = m.captured(3).isEmpty() ? r1 : m.captured(3).toInt();
    const int c2 = m.captured(4).isEmpty() ? c1 : m.captured(4).toInt();
    host::Table& grid = doc->Tables(1);
    try {
        app_.selection.SelectCells(grid, {r1, c1, r2, c2});
    } catch (const host::HostError&) {
        return false;
    }
    view_->Invalidate();
    if (const auto rect =
            view_->CellOnScreen(grid, grid.CellArea(std::min(r1, r2), std::min(c1, c2))))
        view_->verticalScrollBar()->setValue(view_->verticalScrollBar()->value() + rect->top() -
                                             view_->viewport()->height() / 3);
    UpdateStatus();
    UpdateFormatBar();
    return true;
}

void MainWindow::AskForCells() {
    host::Document* doc = app_.ActiveDocument();
    if (!doc || doc->TableCount() == 0) return;
    bool ok = false;
    const QString cells =
        QInputDialog::getText(this, QStringLiteral("选定单元格"),
                              QStringLiteral("页面网格的行和列（如 95,3:98,21，共 %1 行 %2 列）：")
                                  .arg(doc->Tables(1).Rows())
                                  .arg(doc->Tables(1).Columns()),
                              QLineEdit::Normal, QString(), &ok);
    if (ok && !SelectGridCells(cells)) app_.ShowMessage("请输入页面网格中的单元格，如 95,3:98,21");
}

void MainWindow::UpdateFormatBar() {
    const auto cells = tools::FindActiveCells(app_);
    if (!cells) {
        formatBar_->Show(nullptr, nullptr);
        return;
    }
    host::Cell& cell = cells->table->At(cells->rect.top, cells->rect.left);
    const host::Paragraph& p = cell.FirstParagraph();
    const host::CharFormat font =
        cells->doc->Resolve(p, p.runs.empty() ? p.markFormat : p.runs.front().format);
    const host::Alignment alignment = p.format.alignment;
    formatBar_->Show(&font, &alignment);
}

bool MainWindow::BeginCellEdit(const QString& typed) {
    EndCellEdit(true);
    const auto cells = tools::FindActiveCells(app_);
    if (!cells) return false;
    const host::CellRect area = cells->table->CellArea(cells->rect.top, cells->rect.left);
    host::Cell& cell = cells->table->At(area.top, area.left);
    // Composition paper is a table of squares, written on by hand, not typed into.
    for (const host::Block& b : cell.content)
        if (b.IsTable()) return false;
    const std::optional<QRect> rect = view_->CellOnScreen(*cells->table, area);
    if (!rect) return false;
    const host::Paragraph& p = cell.FirstParagraph();
    const host::CharFormat format =
        cells->doc->Resolve(p, p.runs.empty() ? p.markFormat : p.runs.front().format);
    QFont font = render::Face(format.font.value_or(""), format.bold.value_or(false)).font;
    font.setPixelSize(std::max(1, static_cast<int>(format.size.value_or(10.5) * view_->Zoom())));
    // A picture in the cell stands in the editor as one character, U+FFFC, and stays where
    // its character stays.
    QString text = Q(cell.EditableText());
    text.replace(u'\r', u'\n');
    editTarget_ = {cells->doc, cells->table, area};
    editor_->Begin(*rect, typed.isEmpty() ? text : typed, font, QtAlignment(p.format.alignment));
    return true;
}

void MainWindow::EndCellEdit(bool keep) {
    if (editor_ && editor_->Editing()) editor_->Finish(keep);
}

void MainWindow::PlaceEditor() {
    if (!editor_->Editing()) return;
    if (const auto rect = view_->CellOnScreen(*editTarget_.table, editTarget_.area))
        editor_->MoveTo(rect->topLeft());
}

void MainWindow::CommitCellText(const QString& text) {
    view_->setFocus();
    const EditTarget target = std::exchange(editTarget_, {});
    host::Document* doc = app_.ActiveDocument();
    // The cell must still be the one typed into: same document, same table, same cell.
    const auto cells = tools::FindActiveCells(app_);
    if (!doc || doc != target.doc || !cells || cells->table != target.table) return;
    host::Table& table = *cells->table;
    if (target.area.bottom > table.Rows() || target.area.right > table.Columns() ||
        table.CellArea(target.area.top, target.area.left) != target.area)
        return;
    const bool changed = history_.Record(app_, [&] {
        table.At(target.area.top, target.area.left).SetTextKeepingPictures(text.toStdString());
    });
    if (!changed) return;
    doc->saved = false;
    DocumentsChanged();
}

bool MainWindow::ChangeSelectedCells(
    const std::function<void(const host::Document&, host::Cell&, const host::CellRect&,
                             bool holdsBubbles)>& change) {
    EndCellEdit(true);
    const auto cells = tools::FindActiveCells(app_);
    if (!cells) return false;
    const bool changed = history_.Record(app_, [&] {
        for (const host::CellRect& a : cells->table->CellsIn(cells->rect))
            change(*cells->doc, cells->table->At(a.top, a.left), a,
                   tools::HoldsBubblesOrMarks(*cells->table, a));
    });
    if (!changed) return false;
    cells->doc->saved = false;
    DocumentsChanged();
    return true;
}

bool MainWindow::ApplyFont(const host::CharFormat& format) {
    return ChangeSelectedCells([&](const host::Document& doc, host::Cell& cell,
                                   const host::CellRect& area, bool holdsBubbles) {
        if (holdsBubbles) return;
        cell.ApplyCharFormat(format);
        // A size larger than its exact line would overlap the lines around it; a merge of
        // several rows has the room to give it a taller line. The rows themselves never
        // change: the bubbles and marks stay where the template says.
        if (!format.size || area.bottom == area.top) return;
        for (host::Block& b : cell.content) {
            if (b.IsTable()) continue;
            host::ParagraphFormat& f = b.paragraph.format;
            if (f.lineSpacingRule != host::LineSpacingRule::Exactly ||
                *format.size <= f.lineSpacing)
                continue;
            f.lineSpacing = std::max(f.lineSpacing, render::ExactPitchToHold(doc, b.paragraph));
        }
    });
}

bool MainWindow::ApplyAlignment(host::Alignment alignment) {
    return ChangeSelectedCells([&](const host::Document&, host::Cell& cell, const host::CellRect&,
                                   bool) { cell.SetAlignment(alignment); });
}

}  // namespace varelo::desk
