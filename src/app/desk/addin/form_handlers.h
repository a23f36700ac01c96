#pragma once

#include "app/desk/addin/sheet_form.h"
#include "doc/application.h"

// The settings dialog's handlers on its controls' data. The desktop dialog binds its
// widgets to a SheetForm and calls these.
namespace varelo::settings {

void Form_Load(SheetForm& form);
void chkO_Count_Click(SheetForm& form);
void optOption_Click(SheetForm& form);
void cmdAdd_Click(host::Application& app, SheetForm& form);
void cmdDel_Click(SheetForm& form);
void cmdCancel_Click(SheetForm& form);

// The dialog's OK handler: checks the titles and settings (showing the message and leaving the
// dialog open on refusal), hides the dialog, makes the sheet, enables the tools of every
// "Varelo" bar and unloads the dialog. Returns the sheet document, or nullptr when refused.
host::Document* OKButton_Click(host::Application& app, SheetForm& form);

}  // namespace varelo::settings
