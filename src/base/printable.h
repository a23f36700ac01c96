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

// text cut to its first `most` characters, with "..." after it when cut: a value echoed in a
// message, which may be megabytes long. Never splits a UTF-8 sequence.
std::string Shortened(std::string_view text, size_t most = 40);

// A cell for a spreadsheet (CSV, xlsx) that it shows as the text given: a cell beginning with
// =, +, -, @, tab or carriage return would be taken as a formula, so it gets a leading ' (the
// usual guard against formula injection); any other text is returned as it is.
std::string SpreadsheetText(std::string_view cell);

}  // namespace varelo::host
