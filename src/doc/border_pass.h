#pragma once

#include "doc/application.h"
#include "doc/table.h"

namespace varelo::host {

// Which borders a border pass sets; the others it turns off.
struct BorderSet {
    bool left = false, right = false, top = false, bottom = false;
    bool insideHorizontal = false, insideVertical = false;

    static constexpr BorderSet All() { return {true, true, true, true, true, true}; }
    static constexpr BorderSet Outline() { return {true, true, true, true, false, false}; }
    static constexpr BorderSet BottomOnly() { return {false, false, false, true, false, false}; }
};

// The border pass over the cells of rect: left, right, top, bottom, inside horizontal,
// inside vertical get a solid line (single, 0.5 pt, automatic) when set and none otherwise;
// both diagonals none; then the application's default border options become single,
// 0.5 pt, automatic.
void BorderPass(Application& app, Table& table, const CellRect& rect, const BorderSet& set);

// Sets the application's default border options to single, 0.5 pt, automatic.
void ResetDefaultBorderOptions(Application& app);

}  // namespace varelo::host
