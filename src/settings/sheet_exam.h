#pragma once

#include "host/document.h"
#include "settings/exam_validation.h"
#include "settings/sheet_form.h"

// The exam a saved sheet was made from, for its scanner template.
namespace varelo::settings {

// The exam of the form a sheet carries in its settings part, checked and planned. Throws
// layout::OmrError saying why when the form cannot make a sheet.
ValidExam ExamOfForm(const SheetForm& form);

// The exam read off the sheet's page grid, where an office program dropped its settings part,
// with its plan. Throws layout::OmrError when the grid does not tell it.
ValidExam ExamOfGrid(const host::Document& doc);

}  // namespace varelo::settings
