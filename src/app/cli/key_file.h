#pragma once

#include <string>

#include "omr/omr_template.h"
#include "scores/answer_key.h"

namespace varelo::cli {

// The answer key in path: JSON (docs/answer-key.md) or a table, CSV or .xlsx, with the columns
// 题号, 答案, 分值, 部分分, 规则, told apart by the bytes. The table is read here so the scores
// library stays clear of the spreadsheet formats. Throws read::ReadError naming the file.
read::AnswerKey LoadKeyFile(const std::string& path, const layout::OmrTemplate& t,
                            read::KeyOptions options);

}  // namespace varelo::cli
