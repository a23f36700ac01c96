#pragma once

#include "host/application.h"
#include "settings/exam_validation.h"
#include "settings/sheet_form.h"

namespace varelo::settings {

// Makes the sheet of a checked exam: closes open documents, creates the sheet document, sets up
// its page, runs the generators in order, puts the exam (and the dialog's entry fields) into the
// sheet's settings part, and enables the tools of every "Varelo" bar. Returns the sheet.
host::Document& MakeSheet(host::Application& app, const ValidExam& valid, const GroupEntry& entry);

// The dialog's OK handler: checks the titles and settings (showing the message and leaving the
// dialog open on refusal), hides the dialog, makes the sheet and unloads the dialog. Returns
// the sheet document, or nullptr when refused.
host::Document* OKButton_Click(host::Application& app, SheetForm& form);

}  // namespace varelo::settings
