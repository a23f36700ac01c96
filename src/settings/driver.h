#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "host/application.h"
#include "layout/sheet_form.h"

namespace varelo::settings {

// Layout code (1..6) of a paper layout name, empty when the text names none.
std::optional<int16_t> LayoutCode(const std::string& cmbPage);

// The refusal message for settings that cannot make a sheet, or empty when they can.
// Checked after the title checks and before any document is touched.
std::optional<std::string> ValidateSettings(const layout::SheetForm& form);

// The dialog's OK handler: checks the titles and settings (showing the message and leaving
// the dialog open on refusal), closes open documents, creates the sheet document, sets up
// its page, runs the generators, enables the tools of every "Varelo" bar and unloads the
// dialog. Returns the sheet document, or nullptr when refused.
host::Document* OKButton_Click(host::Application& app, layout::SheetForm& form);

}  // namespace varelo::settings
