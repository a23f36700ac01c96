#pragma once

#include "host/application.h"
#include "layout/sheet_form.h"

// The settings dialog's handlers on its controls' data. The desktop dialog binds its
// widgets to a SheetForm and calls these.
namespace varelo::settings {

void Form_Load(layout::SheetForm& form);
void chkO_Count_Click(layout::SheetForm& form);
void optOption_Click(layout::SheetForm& form);
void cmdAdd_Click(host::Application& app, layout::SheetForm& form);
void cmdDel_Click(layout::SheetForm& form);
void cmdCancel_Click(layout::SheetForm& form);

}  // namespace varelo::settings
