#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "compose/generators.h"
#include "compose/objective_flow.h"

namespace varelo::layout {

// The positioning marks and the frame of one group's part in a page column: a "!" in the mark
// column beside every option row of the blocks inside box (each block its number row, the
// option rows and a spacer row), and an outer frame around box.
void FrameObjectiveGroup(SheetJob& job, const host::CellRect& box, int markColumn, int optionCount);

// What the cell of option j (from 1) holds, and what the scanner template calls it.
std::string OptionLabel(exam::OptionLabels type, int option);
std::string OptionValue(exam::OptionLabels type, int option);

// The heading of a group: numeral, "、", name and points. An unreadable group number shows
// its message through the application and leaves the numeral out.
std::string ObjectiveHeading(const exam::ObjectiveGroup& group, host::Application& app);

// The font size of an item number: numbers of three digits and more are set smaller, so they
// keep clear of their neighbours in the narrow item columns.
double ItemNumberSize(int itemNo);

}  // namespace varelo::layout
