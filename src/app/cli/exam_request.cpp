#include "exam_request.h"

#include <algorithm>
#include <cstdint>

namespace varelo::cli {

namespace {

// The list splits a row's text at tabs, so a tab typed into a field becomes a blank there.
std::string WithoutTabs(std::string text) {
    std::replace(text.begin(), text.end(), '\t', ' ');
    return text;
}

int LabelsButton(const std::string& labels) {
    return labels == "判断" ? 2 : labels == "数字" ? 1 : 0;
}

// The entry fields after the group was typed in: a count left empty stays unfixed, at 4, or at
// 2 for true-or-false items.
exam::GroupEntry EntryFor(const GroupEntry& g) {
    exam::GroupEntry e;
    e.name = g.name;
    e.items = g.items;
    e.points = g.points;
    e.fixedOptions = !g.options.empty();
    e.labels = LabelsButton(g.labels);
    e.options = e.fixedOptions ? g.options : e.labels == 2 ? "2" : "4";
    return e;
}

}  // namespace

GroupEntry DefaultGroup() {
    const exam::GroupEntry dialog;
    return {dialog.name, dialog.items, "", dialog.points};
}

namespace {

// The draft with the request's groups (when given) added as 添加 adds them, and its page code
// choices, checked as OK checks it.
std::variant<RequestedExam, std::string> CheckDraft(exam::ExamDraft draft, exam::GroupEntry entry,
                                                    const ExamRequest& r,
                                                    const std::vector<GroupEntry>* groups) {
    if (r.pageCode) draft.pageCode = *r.pageCode;
    if (r.examId) draft.examId = *r.examId;
    if (groups) draft.groups.clear();
    for (const GroupEntry& g : groups ? *groups : std::vector<GroupEntry>{}) {
        if (std::optional<std::string> refusal = settings::RefuseGroupEntry(g.name, g.items))
            return *refusal;
        // Group numbers run 1, 2, ...; tens of thousands of groups never fit on a sheet.
        if (draft.groups.size() >= static_cast<size_t>(INT16_MAX))
            return std::string("客观题太多，答题卡中放不下");
        entry = EntryFor(g);
        draft.groups.push_back({std::to_string(draft.groups.size() + 1), WithoutTabs(g.name),
                                WithoutTabs(g.items), WithoutTabs(entry.options),
                                exam::OptionLabelsName(exam::ParseOptionLabels(g.labels)),
                                WithoutTabs(g.points)});
    }
    std::variant<settings::ValidExam, std::string> checked = settings::ValidateExam(draft);
    if (std::string* refusal = std::get_if<std::string>(&checked)) return std::move(*refusal);
    return RequestedExam{std::move(std::get<settings::ValidExam>(checked)), entry};
}

}  // namespace

std::variant<RequestedExam, std::string> CheckRequest(const ExamRequest& r) {
    const exam::ExamDraft draft{r.layout,
                                r.title.value_or(exam::kDefaultTitle),
                                r.subtitle.value_or(exam::kDefaultSubtitle),
                                r.setter.value_or(exam::kDefaultSetter),
                                r.digits.value_or(exam::kDefaultDigits),
                                {},
                                r.sections,
                                r.marks,
                                exam::PageCodeChoice::ByContent,
                                {}};
    const std::vector<GroupEntry> groups = r.groups.value_or(std::vector{DefaultGroup()});
    return CheckDraft(draft, exam::GroupEntry{}, r, &groups);
}

std::variant<RequestedExam, std::string> CheckRequestOver(const settings::SavedSettings& sheet,
                                                          const ExamRequest& r, bool layoutGiven) {
    exam::ExamDraft draft = sheet.draft;
    if (layoutGiven) draft.layout = r.layout;
    for (const auto& [given, field] : {std::pair{&r.title, &draft.title},
                                       {&r.subtitle, &draft.subtitle},
                                       {&r.setter, &draft.setter},
                                       {&r.digits, &draft.digits}})
        if (*given) *field = **given;
    if (!r.sections.empty()) draft.sections = r.sections;
    if (r.marks != exam::SheetMarks{}) draft.marks = r.marks;
    return CheckDraft(draft, sheet.entry, r, r.groups ? &*r.groups : nullptr);
}

}  // namespace varelo::cli
