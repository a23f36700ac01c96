#pragma once

#include "compose/exam_validation.h"
#include "doc/document.h"

// The exam a saved sheet was made from, for its scanner template.
namespace varelo::settings {

// The exam a sheet's settings part describes, checked and planned as the sheet was printed:
// with page codes when the settings hold its id. Throws layout::OmrError saying why when it
// cannot make a sheet.
ValidExam ExamOfSettings(const exam::ExamDraft& draft);

// The exam read off the sheet's page grid, where an office program dropped its settings part,
// with its plan. Throws layout::OmrError when the grid does not tell it.
ValidExam ExamOfGrid(const host::Document& doc);

}  // namespace varelo::settings
