#pragma once

#include <cstdint>

#include "doc/document.h"
#include "doc/page_layout.h"
#include "exam/exam.h"

// The settings of a sheet read back from its page grid, for a sheet whose settings part an
// office program dropped.
namespace varelo::layout {

// The exam a generated sheet was made from, as far as its scanner template needs it: the
// paper layout, title and subtitle, the candidate number's digit count and the objective
// groups (number, name, items, options, option labels, points), read from the marks, the
// candidate digits, the group headings, the item numbers and the option bubbles. The exam is
// checked by building the template from it. Throws OmrError, saying why, when the grid does
// not tell them, or tells more than one layout, or holds written-answer sections (their
// regions cannot be read from the grid).
exam::Exam InferExam(const host::Document& doc);

// Refuses (OmrError) a page grid that no longer lies on the pages as the layout prints it:
// two pages, the second beginning at the layout's first row of page 2. An office program that
// changed row heights moves every bubble below the change, which the cells alone do not show.
void CheckGridPages(const host::PageLayout& pages, exam::Layout layout);

}  // namespace varelo::layout
