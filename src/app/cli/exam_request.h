#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "compose/exam_validation.h"
#include "compose/sheet_settings_part.h"
#include "exam/dialog_defaults.h"
#include "exam/exam.h"
#include "options.h"

namespace varelo::cli {

// An exam as a command line or a job gives it: a missing text takes the dialog's default, and
// no groups at all (not even an empty list) the dialog's own group.
struct ExamRequest {
    std::string layout = kDefaultLayout;
    std::optional<std::string> title, subtitle, setter, digits;
    std::optional<std::vector<GroupEntry>> groups;
    std::vector<exam::WrittenSection> sections;
    exam::SheetMarks marks;
    std::optional<exam::PageCodeChoice> pageCode;
    std::optional<std::string> examId;
};

// The checked exam, with the entry fields the dialog would show after its groups were added.
struct RequestedExam {
    settings::ValidExam valid;
    exam::GroupEntry entry;
};

// Checks the request as the dialog checks what is typed into it: each group as 添加 does, in
// order, then the titles and the settings as OK does. The exam, or the first refusal.
std::variant<RequestedExam, std::string> CheckRequest(const ExamRequest& request);

// The same over the exam a saved sheet was made from: what the request gives replaces the
// sheet's (its layout only when layoutGiven, its sections only when it has some), the rest
// stays, the exam id with it.
std::variant<RequestedExam, std::string> CheckRequestOver(const settings::SavedSettings& sheet,
                                                          const ExamRequest& request,
                                                          bool layoutGiven);

// The dialog's default group, which a command line without groups uses.
GroupEntry DefaultGroup();

}  // namespace varelo::cli
