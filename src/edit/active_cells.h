#pragma once

#include <optional>

#include "doc/application.h"

namespace varelo::tools {

// The selection as the tools see it: cells of a table that belongs to the active document.
struct ActiveCells {
    host::Document* doc = nullptr;
    host::Table* table = nullptr;
    host::CellRect rect;
    double availableWidth = 0;  // points: what the table's percentages refer to
};

// Nothing when there is no active document, the selection is not in a table, or the table
// is no longer part of the active document.
std::optional<ActiveCells> FindActiveCells(host::Application& app);

// Whether a cell that rect touches holds a bubble or a positioning mark (text in the bubble
// font), which merging would turn into loose characters.
bool HoldsBubblesOrMarks(const host::Table& table, const host::CellRect& rect);

// Before a merge of rect: true when nothing would be lost, or the user agreed to lose it.
bool ConfirmLosingBubbles(host::Application& app, const host::Table& table,
                          const host::CellRect& rect);

inline constexpr const char* kLosesBubbles =
    "选定区域中有填涂框或定位标记，合并后它们将无法识别。仍要继续吗？";

// Why the merge and 作文 tools refused a selection (a notice, beside their own message).
inline constexpr const char* kCutsMergedCell = "所选区域跨过了已合并的单元格";
inline constexpr const char* kBlockTooSmall = "所选区域太小：行数和列数都要超过 10";
inline constexpr const char* kBlockTooNarrow = "所选区域的宽度或高度排不出作文方格";

// Tells a window that follows the application that something changed.
void NotifyChanged(host::Application& app);

}  // namespace varelo::tools
