#pragma once

#include <cstdint>

#include "layout/generators.h"

namespace varelo::layout {

// The positioning marks and the box of one objective group: a "!" in the mark column
// beside every option row of its blocks, and an outer frame over rows
// firstRow..firstRow + boxDepth - 1 and the layout's box columns.
void FrameObjectiveGroup(SheetJob& job, int16_t firstRow, int16_t markColumn, int16_t boxDepth,
                         int16_t layoutCode, int16_t optionCount, int16_t blockCount);

// Grid column of item t (from 0) of an objective block; 0 outside codes 1..6.
int ObjectiveItemColumn(int16_t layoutCode, int t);

}  // namespace varelo::layout
