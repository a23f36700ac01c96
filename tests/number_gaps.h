#pragma once

// How far apart neighbouring item numbers print: the blank run across the boundary of their
// two cells, measured in a page image.
#include <QImage>
#include <algorithm>
#include <string>
#include <vector>

#include "doc/page_layout.h"
#include "doc/table.h"

namespace varelo::testing {

// The cells (row, column) of item numbers of three digits and more whose right-hand neighbour
// cell holds an item number too, on page `page` (0-based) of the sheet's page grid.
inline std::vector<std::pair<int, int>> NeighbouringLongNumbers(const host::PlacedTable& grid,
                                                                int page) {
    const host::Table& t = *grid.table;
    const auto isNumber = [&](int r, int c) {
        const std::string s = t.At(r, c).Text();
        return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos &&
               t.CellArea(r, c).Columns() == 1 && t.CellArea(r, c).Rows() == 1;
    };
    std::vector<std::pair<int, int>> out;
    for (int r = 1; r <= t.Rows(); ++r)
        for (int c = 1; c < t.Columns(); ++c)
            if (grid.RowPage(r) == page && isNumber(r, c) && isNumber(r, c + 1) &&
                t.At(r, c).Text().size() >= 3)
                out.emplace_back(r, c);
    return out;
}

// The narrowest blank run, in millimetres, that holds the boundary between cell (r, c) and
// (r, c + 1) in the row's band, over all given pairs; 0 when ink crosses a boundary.
// pxPerPt is the image's scale; the image shows the whole page from its top-left corner.
inline double NarrowestGapMm(const QImage& image, double pxPerPt, const host::PlacedTable& grid,
                             const std::vector<std::pair<int, int>>& pairs) {
    constexpr double kMmPerPt = 25.4 / 72;
    double narrowest = 1e9;
    for (const auto& [r, c] : pairs) {
        // The middle of the row, where the digits stand: clear of frame lines on its edges even
        // where an office program places the rows a point lower.
        const int top = static_cast<int>((grid.RowTop(r) + 0.3 * grid.RowHeight(r)) * pxPerPt);
        const int bottom = static_cast<int>((grid.RowTop(r) + 0.75 * grid.RowHeight(r)) * pxPerPt);
        const auto blank = [&](int x) {
            if (x < 0 || x >= image.width()) return false;
            for (int y = std::max(0, top); y <= bottom && y < image.height(); ++y)
                if (qGray(image.pixel(x, y)) < 128) return false;
            return true;
        };
        const int boundary = static_cast<int>(grid.ColumnLeft(c + 1) * pxPerPt);
        int left = boundary, right = boundary;
        if (!blank(boundary)) return 0;
        while (blank(left - 1)) --left;
        while (blank(right + 1)) ++right;
        narrowest = std::min(narrowest, (right - left + 1) / pxPerPt * kMmPerPt);
    }
    return narrowest;
}

}  // namespace varelo::testing
