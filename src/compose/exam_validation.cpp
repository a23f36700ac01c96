#include "compose/exam_validation.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>

#include "base/numbers.h"
#include "codes/page_code.h"
#include "compose/objective_section.h"
#include "compose/page_setup.h"
#include "compose/written_section.h"
#include "doc/application.h"

namespace varelo::settings {

namespace {

// A group's texts as numbers, or the refusal.
std::variant<exam::ObjectiveGroup, std::string> TypedGroup(const exam::GroupDraft& g) {
    const std::optional<int16_t> items = host::ToInt16(g.items);
    if (!items || *items < 0) return "客观题小题数必须是不小于0的整数";
    const std::optional<int16_t> options = host::ToInt16(g.options);
    if (!options || *options < 1 || *options > 26) return "客观题选项数必须是1到26之间的整数";
    const exam::OptionLabels labels = exam::ParseOptionLabels(g.labels);
    // The bubble font has digits 1 to 9 only; a true-or-false item has exactly two bubbles.
    if (labels == exam::OptionLabels::Digits && *options > 9)
        return "选项类型为数字时，选项数不能超过9";
    if (labels == exam::OptionLabels::TrueFalse && *options != 2) return "判断题的选项数必须是2";
    // The heading prints points x items; a total past what a number can hold would print as
    // nonsense, so such points are refused rather than written.
    const double points = host::LeadingValue(g.points);
    if (!std::isfinite(points * host::LeadingValue(g.items)))
        return "客观题小题分值太大，无法计算总分";
    return exam::ObjectiveGroup{
        g.number, g.name, {*items, g.items}, {*options, g.options}, labels, {points, g.points}};
}

// Counts of a written section that a sheet can print: whole numbers a 16-bit count holds.
std::optional<std::string> RefuseSectionValues(const exam::WrittenSection& s) {
    const std::string name = "“" + s.name + "”";
    const auto outside = [](int n) { return n < 1 || n > INT16_MAX; };
    if (s.kind != exam::SectionKind::Essay && outside(s.items))
        return name + "的小题数必须是1到32767之间的整数";
    if (s.kind == exam::SectionKind::Fill && outside(s.blanks))
        return name + "的每题空数必须是1到32767之间的整数";
    if (s.kind == exam::SectionKind::Answer && outside(s.rows))
        return name + "的答题框行数必须是1到32767之间的整数";
    if (s.kind == exam::SectionKind::Essay && outside(s.chars))
        return name + "的字数必须是1到32767之间的整数";
    if (!std::isfinite(s.points) || s.points < 0) return name + "的分值必须是不小于0的数";
    // The heading prints the section's total, which must be a number too.
    if (!std::isfinite(s.points * s.items * s.blanks)) return name + "的分值太大，无法计算总分";
    return std::nullopt;
}

// Whether a heading of this text fits in row `row` of page column `pageColumn`.
bool HeadingFits(const exam::Exam& e, const layout::SheetPlan& plan, int pageColumn, int row,
                 const std::string& heading) {
    const std::vector<layout::PageColumn> columns =
        layout::ObjectivePageColumns(e.layout, plan.objectiveStartRow);
    return layout::HeadingCells(columns[static_cast<size_t>(pageColumn)], row,
                                layout::HeadingWidth(heading), plan.columnWidths)
        .has_value();
}

// Two to four versions of the paper, each an upper-case letter once: the bubble font has the
// letters, and more versions than four is no exam given out in one room.
bool PaperTypesValid(const std::string& types) {
    if (types.empty()) return true;
    if (types.size() < 2 || types.size() > 4) return false;
    for (size_t i = 0; i < types.size(); ++i)
        if (types[i] < 'A' || types[i] > 'Z' || types.find(types[i]) != i) return false;
    return true;
}

// The plan of a typed exam with or without page codes, or the first refusal: whether the groups
// fit, their headings, the sections' values, whether they fit, their headings.
std::variant<layout::SheetPlan, std::string> CheckedPlan(const exam::Exam& e, bool pageCodes) {
    layout::SheetPlan plan = layout::PlanObjectiveGroups(e, TextWidth(e.layout), pageCodes);
    if (!plan.objective.fits) return "客观题太多，答题卡中放不下";
    host::Application quiet;  // an unreadable group number is the generator's to report
    for (size_t g = 0; g < e.groups.size(); ++g) {
        const layout::GroupPlacement& placed = plan.objective.groups[g];
        if (!HeadingFits(e, plan, placed.pageColumn, placed.headingRow,
                         layout::ObjectiveHeading(e.groups[g], quiet)))
            return "客观题“" + e.groups[g].name + "”的标题太长，答题卡中放不下";
    }

    if (e.sections.empty()) return plan;
    for (const exam::WrittenSection& s : e.sections)
        if (std::optional<std::string> refusal = RefuseSectionValues(s)) return *refusal;
    layout::PlanSections(e, plan);
    if (!plan.written.fits) return layout::WrittenRefusalMessage(e, plan.written.refusal);
    for (size_t i = 0; i < plan.written.sections.size(); ++i) {
        const layout::SectionPlacement& placed = plan.written.sections[i];
        if (!HeadingFits(e, plan, placed.pageColumn, placed.headingRow,
                         layout::WrittenHeading(e, i, quiet)))
            return "“" + e.sections[i].name + "”的标题太长，答题卡中放不下";
    }
    return plan;
}

}  // namespace

std::optional<std::string> RefuseGroupEntry(const std::string& name, const std::string& items) {
    if (name.empty()) return "请输入客观题题名";
    if (items.empty()) return "请输入客观题小题数";
    return std::nullopt;
}

std::optional<std::string> RefuseTitles(const exam::ExamDraft& draft) {
    if (draft.subtitle.empty()) return "请输入试卷副标题";
    if (draft.title.empty()) return "请输入试卷标题";
    return std::nullopt;
}

std::variant<ValidExam, std::string> ValidateSettings(const exam::ExamDraft& draft) {
    ValidExam v;
    exam::Exam& e = v.exam;
    const std::optional<exam::Layout> layout = exam::ParseLayout(draft.layout);
    if (!layout) return "请从列表中选择纸张规格";
    e.layout = *layout;
    e.title = draft.title;
    e.subtitle = draft.subtitle;
    e.setter = draft.setter;

    const std::optional<int16_t> digits = host::ToInt16(draft.digits);
    if (!digits || *digits < 1 || *digits > 12) return "准考证号位数必须是1到12之间的整数";
    e.digits = {*digits, draft.digits};

    for (const exam::GroupDraft& g : draft.groups) {
        auto typed = TypedGroup(g);
        if (auto* refusal = std::get_if<std::string>(&typed)) return std::move(*refusal);
        e.groups.push_back(std::move(std::get<exam::ObjectiveGroup>(typed)));
    }
    e.sections = draft.sections;
    if (!PaperTypesValid(draft.marks.paperTypes)) return "试卷类型须为两到四个不同的大写字母，如AB";
    e.marks = draft.marks;
    e.pageCode = draft.pageCode;
    if (!draft.examId.empty() && !codes::IsExamId(draft.examId))
        return "试卷编号必须是16位十六进制数字";
    e.examId = draft.examId;
    std::transform(e.examId.begin(), e.examId.end(), e.examId.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });

    const bool on = e.pageCode == exam::PageCodeChoice::On;
    std::variant<layout::SheetPlan, std::string> planned = CheckedPlan(e, on);
    if (std::string* refusal = std::get_if<std::string>(&planned)) return std::move(*refusal);
    v.plan = std::move(std::get<layout::SheetPlan>(planned));
    // Codes the content asks for are left out where they would leave it no room: the sheet
    // is then what it was before codes existed.
    if (e.pageCode == exam::PageCodeChoice::ByContent && layout::SecondPageHasContent(e, v.plan))
        if (auto coded = CheckedPlan(e, true); std::holds_alternative<layout::SheetPlan>(coded))
            v.plan = std::move(std::get<layout::SheetPlan>(coded));
    if (v.plan.pageCodes && e.examId.empty()) e.examId = codes::NewExamId();
    return v;
}

std::variant<ValidExam, std::string> ValidateExam(const exam::ExamDraft& draft) {
    if (std::optional<std::string> refusal = RefuseTitles(draft)) return *refusal;
    return ValidateSettings(draft);
}

}  // namespace varelo::settings
