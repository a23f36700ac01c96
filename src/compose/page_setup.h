#pragma once

#include <optional>

#include "doc/document.h"
#include "exam/exam.h"

namespace varelo::settings {

// The sheet's page for its paper layout: size, orientation, margins, lines per page, and the
// settings every layout shares. Without a layout only the shared settings are made.
void SetUpPage(host::PageSetup& page, std::optional<exam::Layout> layout);

// The width of the page's text, in points: what the page grid spans.
double TextWidth(exam::Layout layout);

}  // namespace varelo::settings
