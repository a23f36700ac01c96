#pragma once

#include "host/application.h"
#include "settings/sheet_form.h"

// The settings dialog's handlers on its controls' data. The desktop dialog binds its
// widgets to a SheetForm and calls these.
namespace varelo::settings {

void Form_Load(SheetForm& form);
void chkO_Count_Click(SheetForm& form);
void optOption_Click(SheetForm& form);
void cmdAdd_Click(host::Application& app, SheetForm& form);
void cmdDel_Click(SheetForm& form);
void cmdCancel_Click(SheetForm& form);

}  // namespace varelo::settings
