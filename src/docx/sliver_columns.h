#pragma once

// Grid columns an office program splits off when it rounds cell edges to whole twips.
// Internal to the host library.

#include <optional>
#include <utility>
#include <vector>

namespace varelo::host::docx {

// Narrower than this many twips, a grid column is a rounding sliver: a quarter point, under
// the tolerance of a scanner template, so folding one moves no bubble that matters.
inline constexpr long kSliverTwips = 5;

// Where each of a grid's n+1 column edges lands once its slivers are folded into their
// neighbours: result[e] is the edge's index in the folded grid. widths holds the n grid
// columns' widths where the file gives them; cells holds each cell's left and right edge
// (0 <= left < right <= n). A sliver gives up whichever of its edges fewer cells use, and
// the cells on that edge move onto its other edge. If that would leave a cell no width,
// nothing is folded: the result is then, as without slivers, the identity.
// Whether a grid has a sliver to fold; without one, FoldSliverColumns gives the identity
// whatever the cells.
bool HasSliverColumn(const std::vector<std::optional<long>>& widths);

std::vector<int> FoldSliverColumns(const std::vector<std::optional<long>>& widths,
                                   const std::vector<std::pair<int, int>>& cells);

}  // namespace varelo::host::docx
