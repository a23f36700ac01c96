#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "compose/sheet_plan.h"
#include "doc/application.h"
#include "doc/document.h"
#include "exam/exam.h"

namespace varelo::layout {

// What a region generator works on: the application (selection, options, clipboard,
// messages), the sheet document, the exam and its plan; and the generators' running state.
struct SheetJob {
    host::Application& app;
    host::Document& doc;
    const exam::Exam& exam;
    const SheetPlan& plan;

    int16_t curRow = 0;     // grid row where the next objective group begins
    int16_t curColumn = 0;  // the page column of curRow, counted from 0 in filling order
    int16_t itemNo = 0;     // running item number
};

// Text added to a cell after its font is set, so an empty cell's mark carries the font too.
inline void PutText(host::Cell& cell, const host::CharFormat& format, const std::string& text) {
    cell.ApplyCharFormat(format);
    cell.InsertAfter(text);
}

// Layout codes 1..6: "A3三栏", "A3双栏", "8开三栏", "8开双栏", "A4单栏", "B5单栏".
inline constexpr int kLayoutCount = exam::kLayoutCount;

void BuildPageGrid(SheetJob& job, exam::Layout layout);
void BuildTitleBlock(SheetJob& job, exam::Layout layout);
void BuildCandidateInfo(SheetJob& job, exam::Layout layout);
void BuildObjectiveSection(SheetJob& job, exam::Layout layout);
// The exam's written-answer sections after the objective section; refuses (before writing
// anything) a list that does not fit.
void BuildWrittenSections(SheetJob& job, exam::Layout layout);

// The page codes (codes/page_code.h) of the exam's id, one per page, where PageCodeArea says.
void BuildPageCodes(SheetJob& job, exam::Layout layout);

// Makes the codes of a sheet made by BuildPageCodes those of its numbered copy serial (1..), or
// without a serial again. Returns how many it changed: 2, or 0 for a sheet without codes.
int NumberPageCodes(host::Document& doc, exam::Layout layout, const std::string& examId,
                    std::optional<long> serial);

// The side of a page code's square with its quiet zone: 37 modules of 0.43 mm.
inline constexpr double kPageCodeMillimetres = 16;
double PageCodeSide();  // in points
// The merged cell of page 1 or 2 that holds its code, the same on every sheet of the layout;
// all zero outside 1..6.
host::CellRect PageCodeArea(exam::Layout layout, int page);

// Per-layout figures the driver's fit check needs; 0 for a code outside 1..6.
int GridRows(exam::Layout layout);               // rows of the page grid
int16_t ObjectiveStartRow(exam::Layout layout);  // curRow after the candidate information
// Top-left slot (row, column) of the 2 x 3 page-number block of page 1 or 2; {0, 0} outside 1..6.
std::pair<int, int> PageNumberBlock(exam::Layout layout, int page);
// The page grid's column widths in points for a text width in points; empty outside 1..6.
std::vector<double> PageGridColumnWidths(exam::Layout layout, double textWidth);
// The bubble area of the candidate-number grid for a digit count: the digit d of every column
// stands in row top + d. Empty (all zero) outside codes 1..6 and digit counts 1..12.
host::CellRect CandidateBubbleArea(exam::Layout layout, int digits);
// The cell of the bubble of the index-th paper type (0-based) beside the title; empty outside
// codes 1..6.
host::CellRect PaperTypeBubble(exam::Layout layout, int index);
// The cell of the 缺考 bubble in the candidate band; empty outside codes 1..6.
host::CellRect AbsentBubbleCell(exam::Layout layout);

}  // namespace varelo::layout
