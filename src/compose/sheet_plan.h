#pragma once

#include <vector>

#include "compose/objective_flow.h"
#include "compose/written_flow.h"
#include "exam/exam.h"

namespace varelo::layout {

// Where everything of an exam goes on its sheet: planned once, while the exam is checked, and
// then used by the generators and the scanner template.
struct SheetPlan {
    std::vector<double> columnWidths;  // the page grid's resolved widths in points, column 1 first
    int objectiveStartRow = 0;         // the first group's number row
    ObjectivePlan objective;
    WrittenStart writtenStart;
    WrittenPlan written;
    bool pageCodes = false;  // each page prints its code; the flow keeps clear of them
};

// The shapes the flow places, one per group.
std::vector<GroupShape> GroupShapes(const exam::Exam& exam);

// The objective groups' part of the plan, on a page whose text is textWidth points wide, with or
// without page codes.
SheetPlan PlanObjectiveGroups(const exam::Exam& exam, double textWidth, bool pageCodes = false);

// Adds the written sections, once the groups fit: they start where the groups end.
void PlanSections(const exam::Exam& exam, SheetPlan& plan);

// Both, for an exam known to be valid, with page codes where its choice asks for them: always
// when on; by its content when page 2 has something to read and the codes leave it room.
SheetPlan PlanSheet(const exam::Exam& exam, double textWidth);

// Whether page 2 of the plan holds bubbles or written-answer regions.
bool SecondPageHasContent(const exam::Exam& exam, const SheetPlan& plan);
// Whether everything planned fits.
bool PlanFits(const exam::Exam& exam, const SheetPlan& plan);

}  // namespace varelo::layout
