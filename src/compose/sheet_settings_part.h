#pragma once

// The sheet's settings inside its .docx, as a custom XML part (docs/sheet-settings.md):
// what the dialog held when the sheet was made, so a reopened sheet can prefill a new one
// and export its scanner template.

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "doc/document.h"
#include "exam/dialog_defaults.h"
#include "exam/exam.h"

namespace varelo::settings {

inline constexpr const char* kSheetSettingsNamespace = "urn:varelo:sheet-settings";
inline constexpr int kSheetSettingsVersion = 1;
// The item id of the part's properties; fixed, so equal settings give equal files.
inline constexpr const char* kSheetSettingsItemId = "{6F1C2A4E-9B3D-4C57-8E21-5A7D0B9C3F14}";

// Settings XML that cannot be read back; what() says why.
class SheetSettingsError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// What a sheet's settings part holds: the exam's texts, and the dialog's entry fields.
struct SavedSettings {
    exam::ExamDraft draft{exam::kDialogLayout,
                          exam::kDefaultTitle,
                          exam::kDefaultSubtitle,
                          exam::kDefaultSetter,
                          exam::kDefaultDigits,
                          {},
                          {},
                          {},
                          exam::PageCodeChoice::ByContent,
                          {}};
    exam::GroupEntry entry;
};

// The part's XML for an exam, with the dialog's entry fields beside it.
std::string SheetSettingsXml(const exam::Exam& exam, const exam::GroupEntry& entry);

// The settings the XML describes, over the dialog's defaults for anything left out. Elements
// and attributes it does not know are skipped, so later additions of the same version stay
// readable. Throws SheetSettingsError for XML that is not sheet settings of this version.
SavedSettings ParseSheetSettings(std::string_view xml);

// Stores the exam's settings part in the document, replacing the one it had.
void AttachSheetSettings(host::Document& doc, const exam::Exam& exam,
                         const exam::GroupEntry& entry);

// The settings the document carries, or nothing when it has no settings part. Throws
// SheetSettingsError when it has one that cannot be read.
std::optional<SavedSettings> SheetSettingsOf(const host::Document& doc);

}  // namespace varelo::settings
