#include "docx/sliver_columns.h"

#include <numeric>

namespace varelo::host::docx {

bool HasSliverColumn(const std::vector<std::optional<long>>& widths) {
    // Edges are placed only as far as every width before them is known.
    for (const std::optional<long>& w : widths) {
        if (!w) return false;
        if (*w < kSliverTwips) return true;
    }
    return false;
}

std::vector<int> FoldSliverColumns(const std::vector<std::optional<long>>& widths,
                                   const std::vector<std::pair<int, int>>& cells) {
    const size_t n = widths.size();
    std::vector<int> identity(n + 1);
    std::iota(identity.begin(), identity.end(), 0);

    std::vector<long> uses(n + 1, 0);
    for (const auto& [left, right] : cells) {
        ++uses[static_cast<size_t>(left)];
        ++uses[static_cast<size_t>(right)];
    }
    // Edge positions where every width before them is known.
    std::vector<std::optional<long>> at(n + 1);
    at[0] = 0;
    for (size_t c = 0; c < n; ++c)
        if (at[c] && widths[c]) at[c + 1] = *at[c] + *widths[c];

    std::vector<int> onto = identity;  // the edge each edge moves to; a kept edge, itself
    std::vector<int> kept = identity;  // edges still standing, left to right
    for (size_t i = 0; i + 1 < kept.size();) {
        const int a = kept[i], b = kept[i + 1];
        const auto& xa = at[static_cast<size_t>(a)];
        const auto& xb = at[static_cast<size_t>(b)];
        const bool sliver = xa && xb && *xb - *xa < kSliverTwips;
        const bool canDropA = a != 0, canDropB = static_cast<size_t>(b) != n;
        if (!sliver || (!canDropA && !canDropB)) {
            ++i;
            continue;
        }
        const bool dropA =
            canDropA && (!canDropB || uses[static_cast<size_t>(a)] <= uses[static_cast<size_t>(b)]);
        const int gone = dropA ? a : b, stays = dropA ? b : a;
        onto[static_cast<size_t>(gone)] = stays;
        uses[static_cast<size_t>(stays)] += uses[static_cast<size_t>(gone)];
        kept.erase(kept.begin() + static_cast<long>(dropA ? i : i + 1));
        // The merged column is looked at again: it may still be a sliver.
        if (dropA && i > 0) --i;
    }
    if (kept.size() == n + 1) return identity;

    std::vector<int> index(n + 1, -1);
    for (size_t k = 0; k < kept.size(); ++k)
        index[static_cast<size_t>(kept[k])] = static_cast<int>(k);
    std::vector<int> result(n + 1);
    for (size_t e = 0; e <= n; ++e) {
        int to = static_cast<int>(e);
        while (onto[static_cast<size_t>(to)] != to) to = onto[static_cast<size_t>(to)];
        result[e] = index[static_cast<size_t>(to)];
    }
    for (const auto& [left, right] : cells)
        if (result[static_cast<size_t>(left)] >= result[static_cast<size_t>(right)])
            return identity;
    return result;
}

}  // namespace varelo::host::docx
