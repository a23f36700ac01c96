#include "doc/geometry.h"

#include <algorithm>

namespace varelo::host {

std::vector<double> ResolveColumnWidths(const Table& table, double availableWidth) {
    double tableWidth = availableWidth;
    if (table.preferredWidth.type == PreferredWidthType::Percent)
        tableWidth = availableWidth * table.preferredWidth.value / 100.0;
    else if (table.preferredWidth.type == PreferredWidthType::Points)
        tableWidth = table.preferredWidth.value;

    const int n = table.Columns();
    std::vector<double> widths(static_cast<size_t>(n), 0.0);
    double listed = 0;
    int unlisted = 0;
    for (int c = 1; c <= n; ++c) {
        const PreferredWidth& w = table.ColumnWidth(c);
        double& out = widths[static_cast<size_t>(c - 1)];
        if (w.type == PreferredWidthType::Percent) {
            out = tableWidth * w.value / 100.0;
        } else if (w.type == PreferredWidthType::Points) {
            out = w.value;
        } else {
            ++unlisted;
            continue;
        }
        listed += out;
    }
    if (unlisted > 0) {
        const double share = std::max(0.0, tableWidth - listed) / unlisted;
        for (int c = 1; c <= n; ++c)
            if (table.ColumnWidth(c).type == PreferredWidthType::Auto)
                widths[static_cast<size_t>(c - 1)] = share;
    }
    return widths;
}

double CellWidth(const Table& table, const std::vector<double>& columnWidths, int r, int c) {
    const CellRect a = table.CellArea(r, c);
    double w = 0;
    for (int i = a.left; i <= a.right; ++i) w += columnWidths[static_cast<size_t>(i - 1)];
    return w;
}

std::vector<double> ResolveRowHeights(const Table& table) {
    std::vector<double> heights(static_cast<size_t>(table.Rows()));
    for (int r = 1; r <= table.Rows(); ++r) {
        const RowFormat& f = table.Row(r);
        heights[static_cast<size_t>(r - 1)] =
            f.heightRule == RowHeightRule::Exactly ? f.height : std::max(f.height, 15.6);
    }
    return heights;
}

}  // namespace varelo::host
