#include "doc/selection.h"

#include <algorithm>

#include "doc/errors.h"

namespace varelo::host {

void Selection::SelectCells(Table& table, const CellRect& rect) {
    table.CellArea(rect.top, rect.left);
    table.CellArea(rect.bottom, rect.right);
    rect_ = {std::min(rect.top, rect.bottom), std::min(rect.left, rect.right),
             std::max(rect.top, rect.bottom), std::max(rect.left, rect.right)};
    table_ = &table;
}

int Selection::CellsCount() const {
    return table_ ? table_->CountCells(rect_) : 0;
}

Cell& Selection::FirstCell() const {
    if (!table_) throw HostError(kErrNoSuchMember, "The selection is not in a table.");
    return table_->At(rect_.top, rect_.left);
}

const CellRect Selection::FirstCellArea() const {
    if (!table_) throw HostError(kErrNoSuchMember, "The selection is not in a table.");
    return table_->CellArea(rect_.top, rect_.left);
}

void Selection::Merge() {
    if (!table_) throw HostError(kErrNoSuchMember, "The selection is not in a table.");
    table_->Merge(rect_);
}

}  // namespace varelo::host
