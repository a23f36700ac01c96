#pragma once

#include "compose/sheet_plan.h"
#include "doc/document.h"
#include "doc/page_layout.h"
#include "exam/exam.h"
#include "omr/omr_template.h"

// The scanner template read off a generated sheet, by the plan it was laid out by.
namespace varelo::layout {

// Reads the template off a generated sheet: the marks are every cell of the page grid that
// holds the mark character in the bubble font; the candidate field and the items stand where
// the exam's plan puts them, and each cell is checked to hold what the generators write there.
// Throws OmrError when the sheet does not match.
OmrTemplate BuildOmrTemplate(const host::Document& doc, const host::PageLayout& pages,
                             const exam::Exam& exam, const SheetPlan& plan);
// The same with the page layout computed here (without font metrics, which the page grid
// does not need: it is the body's first block).
OmrTemplate BuildOmrTemplate(const host::Document& doc, const exam::Exam& exam,
                             const SheetPlan& plan);

// The picture in the page grid's cell for the code of page 1 or 2, when the sheet prints one.
const host::InlinePicture* PageCodePicture(const host::Table& grid, exam::Layout layout, int page);

}  // namespace varelo::layout
