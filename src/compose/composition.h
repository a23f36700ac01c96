#pragma once

#include <memory>

#include "base/units.h"
#include "doc/table.h"

namespace varelo::tools {

// Figures of the composition grid, in centimetres.
inline constexpr double kRowHeightCounted = 0.4234;  // per selected row (the page grid has 0.42324)
inline constexpr double kSquareSide = 0.75;
inline constexpr double kGap = 0.3;
inline constexpr double kSquareWithGap = 1.05;  // a square row with its gap
inline constexpr int kMinimumBlock = 10;        // rows and columns must both exceed this
// The host's widest table; more squares than this cannot be built.
inline constexpr int kMaxSquaresPerRow = 63;

inline constexpr const char* kUnsuitableBlock = "请先选定合适的区域";

struct CompositionSize {
    int squareRows = 0;     // n: the grid has 2n + 1 rows
    int squaresPerRow = 0;  // m
    // Whether the grid can be built: at least one square row and one square, and no
    // more squares than a table may have columns.
    bool Fits() const {
        return squareRows >= 1 && squaresPerRow >= 1 && squaresPerRow <= kMaxSquaresPerRow;
    }
};

// The grid that fills a block of `rows` x `columns` cells whose first cell is
// `firstCellWidth` points wide. Block height and width are held in single precision as the
// tool always has, so squares that "just fit" on paper may be one fewer; the divisions are
// done in double precision. Counts are rounded down to 16-bit integers.
CompositionSize ComputeCompositionSize(int rows, int columns, double firstCellWidth);

// The table of squares for a size: 2n + 1 rows, gap rows without inner lines between rows of
// squares, m columns of squares, framed by a 1.5 pt line.
std::unique_ptr<host::Table> MakeCompositionGrid(const CompositionSize& size);

}  // namespace varelo::tools
