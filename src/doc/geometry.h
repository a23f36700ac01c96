#pragma once

#include <vector>

#include "doc/document.h"
#include "doc/table.h"

namespace varelo::host {

// Resolved column widths in points. The table's percentage refers to the available width;
// listed columns take their percent of the table, the others share the rest equally.
// Point widths are taken as they are; a table without a preferred width fills the available width.
std::vector<double> ResolveColumnWidths(const Table& table, double availableWidth);

// Width of the cell at slot (r, c) in points, over all columns it spans.
double CellWidth(const Table& table, const std::vector<double>& columnWidths, int r, int c);

// Row heights in points (exact rows as set; other rows the height of one 12 pt line at least).
std::vector<double> ResolveRowHeights(const Table& table);

}  // namespace varelo::host
