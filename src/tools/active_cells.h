#pragma once

#include <optional>

#include "host/application.h"

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

// Tells a window that follows the application that something changed.
void NotifyChanged(host::Application& app);

}  // namespace varelo::tools
