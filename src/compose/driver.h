#pragma once

#include "compose/exam_validation.h"
#include "doc/application.h"
#include "exam/dialog_defaults.h"

namespace varelo::settings {

// Makes the sheet of a checked exam: closes open documents, creates the sheet document, sets up
// its page, runs the generators in order and puts the exam (and the dialog's entry fields) into
// the sheet's settings part. Returns the sheet.
host::Document& MakeSheet(host::Application& app, const ValidExam& valid,
                          const exam::GroupEntry& entry);

}  // namespace varelo::settings
