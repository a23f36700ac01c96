#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The host's conversions between dialog texts and numbers.
namespace varelo::host {

// The whole text as a number: optional blanks around, an optional sign, digits with an
// optional decimal part and exponent. Empty when the text is not a number.
std::optional<double> ParseNumber(std::string_view text);

// The text as a 16-bit integer, rounding to the nearest whole number with halves to the
// even neighbour. Empty when the text is not a number or the value is out of range.
std::optional<int16_t> ToInt16(std::string_view text);

// The numeric value of the text's leading number, 0 when there is none.
// Blanks inside the number are skipped, as the host's Val does.
double LeadingValue(std::string_view text);

// The host's default number-to-text form: up to 15 significant digits, no trailing zeros
// (30 -> "30", 15.0 -> "15", 1.5 -> "1.5", 0.1 * 3 -> "0.3"), exponent form for very large
// or very small values ("1E+15").
std::string NumberToText(double value);

}  // namespace varelo::host
