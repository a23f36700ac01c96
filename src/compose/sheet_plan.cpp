#include "compose/sheet_plan.h"

#include "compose/generators.h"

namespace varelo::layout {

std::vector<GroupShape> GroupShapes(const exam::Exam& exam) {
    std::vector<GroupShape> shapes;
    for (const exam::ObjectiveGroup& g : exam.groups)
        shapes.push_back({g.items.value, g.options.value});
    return shapes;
}

SheetPlan PlanObjectiveGroups(const exam::Exam& exam, double textWidth) {
    SheetPlan plan;
    plan.columnWidths = PageGridColumnWidths(exam.layout, textWidth);
    plan.objectiveStartRow = ObjectiveStartRow(exam.layout);
    const std::vector<GroupShape> shapes = GroupShapes(exam);
    plan.objective = PlanObjectiveSection(exam.layout, plan.objectiveStartRow, shapes);
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
                                       exam.sections, plan.columnWidths);
}

SheetPlan PlanSheet(const exam::Exam& exam, double textWidth) {
    SheetPlan plan = PlanObjectiveGroups(exam, textWidth);
    if (!exam.sections.empty()) PlanSections(exam, plan);
    return plan;
}

}  // namespace varelo::layout
