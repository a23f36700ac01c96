#pragma once

#include <string>
#include <string_view>

#include "doc/table.h"

namespace varelo::layout {

// The four numbered notes to candidates, one per line, lines separated by CR LF.
std::string BuildNotesText();

// Appends text to the end of the cell; every line break (CR LF, CR or LF) begins a new
// paragraph that takes the format of the one before it.
void InsertLines(host::Cell& cell, std::string_view text);

}  // namespace varelo::layout
