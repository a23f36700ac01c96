#pragma once

#include <optional>
#include <string>
#include <variant>

#include "compose/sheet_plan.h"
#include "exam/exam.h"

namespace varelo::settings {

// An exam that can make a sheet, with the plan of that sheet.
struct ValidExam {
    exam::Exam exam;
    layout::SheetPlan plan;
};

// What 添加 refuses of a group being entered: an empty name, then an empty item count.
std::optional<std::string> RefuseGroupEntry(const std::string& name, const std::string& items);

// The title checks OK makes first: the subtitle, then the title.
std::optional<std::string> RefuseTitles(const exam::ExamDraft& draft);

// Every other check, in the dialog's order: the paper, the digit count, each group's counts,
// the exam id, whether the groups fit, their headings, the sections' values, whether they fit,
// their headings. The exam and its plan, or the first refusal message. An exam whose sheet
// prints page codes and that has no id gets a fresh one.
std::variant<ValidExam, std::string> ValidateSettings(const exam::ExamDraft& draft);

// Both, titles first: what OK refuses, or the exam it makes a sheet of.
std::variant<ValidExam, std::string> ValidateExam(const exam::ExamDraft& draft);

}  // namespace varelo::settings
