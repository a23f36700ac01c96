#include "compose/sheet_plan.h"

#include "compose/generators.h"

namespace varelo::layout {

std::vector<GroupShape> GroupShapes(const exam::Exam& exam) {
    std::vector<GroupShape> shapes;
    for (const exam::ObjectiveGroup& g : exam.groups)
        shapes.push_back({g.items.value, g.options.value});
    return shapes;
}

SheetPlan PlanObjectiveGroups(const exam::Exam& exam, double textWidth, bool pageCodes) {
    SheetPlan plan;
    plan.pageCodes = pageCodes;
    plan.columnWidths = PageGridColumnWidths(exam.layout, textWidth);
    plan.objectiveStartRow = ObjectiveStartRow(exam.layout);
    const std::vector<GroupShape> shapes = GroupShapes(exam);
    plan.objective = PlanObjectiveSection(exam.layout, plan.objectiveStartRow, shapes, pageCodes);
    // Without groups the sections start where the first group would stand.
    plan.writtenStart = {0, plan.objectiveStartRow, 1};
    if (!shapes.empty()) {
        int items = 0;
        for (const GroupShape& g : shapes) items += g.items;
        plan.writtenStart = {plan.objective.nextPageColumn, plan.objective.nextRow, items + 1};
    }
    return plan;
}

void PlanSections(const exam::Exam& exam, SheetPlan& plan) {
    plan.written = PlanWrittenSections(exam.layout, plan.objectiveStartRow, plan.writtenStart,
                                       exam.sections, plan.columnWidths, plan.pageCodes);
}

namespace {

SheetPlan PlanWith(const exam::Exam& exam, double textWidth, bool pageCodes) {
    SheetPlan plan = PlanObjectiveGroups(exam, textWidth, pageCodes);
    if (!exam.sections.empty()) PlanSections(exam, plan);
    return plan;
}

}  // namespace

SheetPlan PlanSheet(const exam::Exam& exam, double textWidth) {
    SheetPlan plan = PlanWith(exam, textWidth, exam.pageCode == exam::PageCodeChoice::On);
    if (exam.pageCode == exam::PageCodeChoice::ByContent && PlanFits(exam, plan) &&
        SecondPageHasContent(exam, plan)) {
        SheetPlan coded = PlanWith(exam, textWidth, true);
        if (PlanFits(exam, coded)) plan = std::move(coded);
    }
    return plan;
}

bool SecondPageHasContent(const exam::Exam& exam, const SheetPlan& plan) {
    const std::vector<PageColumn> columns =
        ObjectivePageColumns(exam.layout, plan.objectiveStartRow, plan.pageCodes);
    const auto onPage2 = [&](int pageColumn) {
        return pageColumn >= 0 && static_cast<size_t>(pageColumn) < columns.size() &&
               columns[static_cast<size_t>(pageColumn)].page == 2;
    };
    for (const GroupPlacement& g : plan.objective.groups)
        for (const ObjectiveBlock& b : g.blocks)
            if (onPage2(b.pageColumn) && b.itemCount > 0) return true;
    for (const SectionPlacement& s : plan.written.sections)
        for (const WrittenItem& item : s.items)
            if (onPage2(item.pageColumn)) return true;
    return false;
}

bool PlanFits(const exam::Exam& exam, const SheetPlan& plan) {
    return plan.objective.fits && (exam.sections.empty() || plan.written.fits);
}

}  // namespace varelo::layout
