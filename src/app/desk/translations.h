#pragma once

class QCoreApplication;

namespace varelo::desk {

// The window speaks Chinese: installs Qt's own Chinese translations (Debian's
// qt6-translations-l10n), so the file, print and message dialogs and the standard buttons
// (保存 / 不保存 / 取消) match the window's texts, and makes Chinese the default locale.
// Returns false when the translations are not installed; the dialogs then stay in English.
bool InstallChineseTranslations(QCoreApplication& app);

}  // namespace varelo::desk
