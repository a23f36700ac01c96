#pragma once

#include <vector>

#include "doc/table.h"

namespace varelo::host {

// Cell contents copied from a rectangle of a table, pasted cell for cell.
struct Clipboard {
    int rows = 0, columns = 0;
    std::vector<Content> cells;  // row-major, one per slot of the copied rectangle

    bool Empty() const { return cells.empty(); }
    void CopyFrom(const Table& table, const CellRect& rect);
    // Replaces the content of the cells from (r, c) on; throws HostError past the grid.
    void PasteInto(Table& table, int r, int c) const;
};

}  // namespace varelo::host
