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

// Tells a window that follows the application that something changed.
void NotifyChanged(host::Application& app);

}  // namespace varelo::tools
