#include "doc/clipboard.h"

namespace varelo::host {

void Clipboard::CopyFrom(const Table& table, const CellRect& rect) {
    rows = rect.Rows();
    columns = rect.Columns();
    cells.clear();
    cells.reserve(static_cast<size_t>(rows) * static_cast<size_t>(columns));
    for (int r = rect.top; r <= rect.bottom; ++r)
        for (int c = rect.left; c <= rect.right; ++c) cells.push_back(table.At(r, c).content);
}

void Clipboard::PasteInto(Table& table, int r, int c) const {
    // Check the whole target first, so a paste past the grid changes nothing.
    table.At(r + rows - 1, c + columns - 1);
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j)
            table.At(r + i, c + j).content =
                cells[static_cast<size_t>(i) * static_cast<size_t>(columns) +
                      static_cast<size_t>(j)];
}

}  // namespace varelo::host
