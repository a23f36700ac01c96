#pragma once

#include <cstdint>
#include <memory>

#include "compose/generators.h"
#include "compose/page_setup.h"
#include "compose/sheet_plan.h"
#include "doc/application.h"
#include "doc/document.h"
#include "doc/table.h"
#include "exam/exam.h"

namespace varelo::fixture {

// The dialog's example exam: its texts and digit count, one group 选择题 of 30 four-option items
// at 1 point.
inline exam::Exam ExampleExam(exam::Layout layout = exam::Layout::A3Three) {
    exam::Exam e;
    e.layout = layout;
    e.title = "中考试卷";
    e.subtitle = "英语";
    e.setter = "王老师";
    e.digits = {9, "9"};
    e.groups = {{"1", "选择题", {30, "30"}, {4, "4"}, exam::OptionLabels::Letters, {1, "1"}}};
    return e;
}

// An application with one new document and the example exam, ready for the region generators.
struct SheetFixture {
    enum Upto { kPageGrid = 1, kTitleBlock, kCandidateInfo, kObjectiveSection };

    host::Application app;
    exam::Exam exam = ExampleExam();
    host::Document& doc = app.AddDocument();
    layout::SheetPlan plan;
    std::unique_ptr<layout::SheetJob> job;

    // Plans the exam for the layout code and runs the generators in the driver's order, from
    // the page grid up to `last`. A code outside 1..6 runs them with the plan left empty.
    void Build(int16_t code, Upto last = kCandidateInfo) {
        Prepare(code);
        const auto layout = static_cast<exam::Layout>(code);  // codes outside 1..6 too
        if (last >= kPageGrid) layout::BuildPageGrid(*job, layout);
        if (last >= kTitleBlock) layout::BuildTitleBlock(*job, layout);
        if (last >= kCandidateInfo) layout::BuildCandidateInfo(*job, layout);
        if (last >= kObjectiveSection) layout::BuildObjectiveSection(*job, layout);
    }

    // The job for the exam as it now stands, planned for the layout code.
    layout::SheetJob& Prepare(int16_t code) {
        if (code >= 1 && code <= exam::kLayoutCount) {
            exam.layout = static_cast<exam::Layout>(code);
            plan = layout::PlanSheet(exam, settings::TextWidth(exam.layout));
        }
        const int16_t curRow = job ? job->curRow : 0, itemNo = job ? job->itemNo : 0;
        job = std::make_unique<layout::SheetJob>(layout::SheetJob{app, doc, exam, plan});
        job->curRow = curRow;
        job->itemNo = itemNo;
        return *job;
    }

    host::Table& Grid() { return doc.Tables(1); }
};

}  // namespace varelo::fixture
