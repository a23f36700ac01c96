#pragma once

#include "doc/content.h"
#include "doc/document.h"
#include "doc/table.h"

namespace varelo::host {

// The application's selection: a rectangle of grid slots of one table, or nothing.
// The tools act on it; the desktop sets it from the mouse.
class Selection {
  public:
    // The rectangle as given (any two opposite corners), never widened: it may cut a merged
    // cell, which the tools then take whole while the host refuses to merge it. Throws
    // HostError when a corner lies outside the grid.
    void SelectCells(Table& table, const CellRect& rect);
    void SelectCell(Table& table, int r, int c) { SelectCells(table, {r, c, r, c}); }
    void Clear() { table_ = nullptr; }

    bool InTable() const { return table_ != nullptr; }
    Table* GetTable() const { return table_; }
    const CellRect& Rect() const { return rect_; }

    int CellsCount() const;
    int RowsCount() const { return table_ ? rect_.Rows() : 0; }
    int ColumnsCount() const { return table_ ? rect_.Columns() : 0; }
    // Cells(1): the first cell of the selection.
    Cell& FirstCell() const;
    const CellRect FirstCellArea() const;

    // Cells.Merge; afterwards the selection is the merged cell. Throws HostError when refused.
    void Merge();

  private:
    Table* table_ = nullptr;
    CellRect rect_;
};

}  // namespace varelo::host
