#pragma once

#include <map>
#include <string>

#include "omr/omr_template.h"

namespace varelo::read {

// The right answers by item number: the labels of the options to fill, in template order
// ("BD"). An item scores its points when its filled set equals the key's; an item the key
// leaves out scores nothing.
using AnswerKey = std::map<int, std::string>;

// {"1": "A", "2": "BD", ...} checked against the template's items and option labels. Throws
// ReadError.
AnswerKey ParseAnswerKey(const std::string& text, const layout::OmrTemplate& t);
AnswerKey LoadAnswerKey(const std::string& path, const layout::OmrTemplate& t);

}  // namespace varelo::read
