#pragma once

#include <string>

#include "omr/omr_template.h"

namespace varelo::read {

// The scanner template from its JSON text (docs/omr-template.md). Fields this reader does not
// know are ignored, as the format allows; another format or version is refused. Throws
// ReadError naming what is wrong.
layout::OmrTemplate ParseTemplate(const std::string& text);

// The same from a file.
layout::OmrTemplate LoadTemplate(const std::string& path);

}  // namespace varelo::read
