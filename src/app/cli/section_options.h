#pragma once

#include <nlohmann/json_fwd.hpp>
#include <string>

#include "exam/exam.h"

namespace varelo::cli {

// One --fill NAME,ITEMS,BLANKS,POINTS, --answer NAME,ITEMS,ROWS,POINTS or
// --essay NAME,CHARS,POINTS value; option is the option's name. Throws UsageError.
exam::WrittenSection ParseSectionOption(const std::string& option, const std::string& value);

// One object of a batch job's "sections" array. Throws JobFileError naming the bad key or value.
exam::WrittenSection ParseSectionObject(const nlohmann::json& object);

}  // namespace varelo::cli
