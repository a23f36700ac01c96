#include "compose/composition.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "doc/geometry.h"

namespace varelo::tools {

namespace {

// Int() into a 16-bit integer: rounds towards minus infinity.
int IntDown(double v) {
    if (std::isnan(v)) return 0;
    return static_cast<int>(std::clamp(std::floor(v), -32768.0, 32767.0));
}

}  // namespace

std::unique_ptr<host::Table> MakeCompositionGrid(const CompositionSize& size) {
    const int rows = 2 * size.squareRows + 1;
    const int columns = size.squaresPerRow;
    auto grid = std::make_unique<host::Table>(rows, columns, host::TableBehavior::Word9);
    grid->preferredWidth = {host::PreferredWidthType::Points,
                            host::CentimetersToPoints(columns * kSquareSide)};
    grid->autoFit = host::AutoFit::Fixed;
    grid->SetAllRows(host::RowHeightRule::Exactly, host::CentimetersToPoints(kGap));
    for (int r = 1; r <= rows; r += 2)
        for (int c = 2; c <= columns; ++c)
            grid->VerticalEdge(r, c).lineStyle = host::kLineStyleNone;
    for (int r = 2; r < rows; r += 2)
        grid->Row(r) = {host::CentimetersToPoints(kSquareSide), host::RowHeightRule::Exactly};
    for (int c = 1; c <= columns; ++c) {
        grid->HorizontalEdge(1, c).lineWidth = host::kLineWidth150pt;
        grid->HorizontalEdge(rows + 1, c).lineWidth = host::kLineWidth150pt;
    }
    for (int r = 1; r <= rows; ++r) {
        grid->VerticalEdge(r, 1).lineWidth = host::kLineWidth150pt;
        grid->VerticalEdge(r, columns + 1).lineWidth = host::kLineWidth150pt;
    }
    return grid;
}

CompositionSize ComputeCompositionSize(int rows, int columns, double firstCellWidth) {
    const float height = static_cast<float>(rows * kRowHeightCounted);
    const float cellWidth =
        static_cast<float>(host::PointsToCentimeters(static_cast<float>(firstCellWidth)));
    const float width = cellWidth * static_cast<float>(columns);
    return {IntDown((height - kGap) / kSquareWithGap), IntDown(width / kSquareSide)};
}

}  // namespace varelo::tools
