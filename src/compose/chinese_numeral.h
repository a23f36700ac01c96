#pragma once

#include <string>

#include "doc/application.h"

namespace varelo::layout {

// A whole number written as decimal text, turned into Chinese numerals: "105" -> "一百零五".
// Accepted text is digits with surrounding blanks and at most one leading '+', of at most
// sixteen significant digits; it is normalised in place to the plain digits of its value
// ("+007" -> "7"). Any other text gives "" and is left unchanged; unless it is blank, the
// message "无效的数字" is shown first.
std::string ToChineseNumeral(std::string& text, host::Application& app);

}  // namespace varelo::layout
