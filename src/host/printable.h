#pragma once

#include <string>
#include <string_view>

namespace varelo::host {

// text as it may be shown on a terminal: control characters (C0, DEL, C1) and the bidirectional
// overrides that could rewrite the line on screen are spelt as \n, \t, \r, \xHH or \u{HHHH},
// and bytes that are not UTF-8 as \xHH; everything else is kept. With keepNewlines, "\n" stays
// a line break (for whole messages of several lines).
std::string Printable(std::string_view text, bool keepNewlines = false);

// A file name or value for a message: Printable, in double quotes.
std::string Quoted(std::string_view name);

}  // namespace varelo::host
