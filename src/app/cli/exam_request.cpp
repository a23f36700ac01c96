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

std::variant<RequestedExam, std::string> CheckRequest(const ExamRequest& r) {
    exam::ExamDraft draft{r.layout,
                          r.title.value_or(exam::kDefaultTitle),
                          r.subtitle.value_or(exam::kDefaultSubtitle),
                          r.setter.value_or(exam::kDefaultSetter),
                          r.digits.value_or(exam::kDefaultDigits),
                          {},
                          r.sections,
                          r.marks};
    exam::GroupEntry entry;
    const std::vector<GroupEntry> groups = r.groups.value_or(std::vector{DefaultGroup()});
    for (const GroupEntry& g : groups) {
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

}  // namespace varelo::cli
