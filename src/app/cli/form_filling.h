#pragma once

#include "host/application.h"
#include "layout/sheet_form.h"
#include "options.h"

namespace varelo::cli {

// Fills the dialog's entry fields with one group and presses "添加"; false when the dialog
// refused (its message is in app.messages).
bool AddGroup(host::Application& app, layout::SheetForm& form, const GroupEntry& group);

// The dialog's default group, which a command line without groups uses.
GroupEntry DefaultGroup(const layout::SheetForm& form);

}  // namespace varelo::cli
