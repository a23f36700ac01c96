// The settings dialog run from the window: a new sheet, one made from the active sheet's
// settings, and the settings each sheet was made from.

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QTimer>
#include <iostream>

#include "compose/sheet_settings_part.h"
#include "main_window.h"
#include "page_view.h"
#include "settings_dialog.h"

namespace varelo::desk {

host::Document* MainWindow::GenerateExampleSheet() {
    auto sheet = std::make_shared<host::Document*>(nullptr);
    // The dialog is modal: fill it in once its event loop runs.
    QTimer::singleShot(0, this, [sheet] {
        auto* dialog = qobject_cast<SettingsDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        dialog->findChild<QComboBox*>(QStringLiteral("cmbPage"))
            ->setCurrentText(QStringLiteral("A3三栏"));
        dialog->findChild<QAbstractButton*>(QStringLiteral("cmdAdd"))->click();
        dialog->findChild<QAbstractButton*>(QStringLiteral("OKButton"))->click();
        *sheet = dialog->Sheet();
    });
    if (addIn_ && addIn_->cbbButton)
        ClickControl(addIn_->cbbButton);
    else
        RunSettingsDialog();
    return *sheet;
}

std::optional<settings::SheetForm> MainWindow::FormOf(const host::Document& doc) const {
    if (const auto it = sheetForms_.find(&doc); it != sheetForms_.end()) return it->second;
    try {
        if (const auto saved = settings::SheetSettingsOf(doc)) return settings::FormOf(*saved);
        return std::nullopt;
    } catch (const settings::SheetSettingsError& e) {
        std::cerr << "varelo-desk：答题卡设置无法读取：" << e.what() << "\n";
        return std::nullopt;
    }
}

host::Document* MainWindow::NewFromSheetSettings() {
    host::Document* doc = app_.ActiveDocument();
    const std::optional<settings::SheetForm> form = doc ? FormOf(*doc) : std::nullopt;
    if (!form) {
        app_.ShowMessage("这份文档没有答题卡设置。");
        return nullptr;
    }
    keepDocumentsOpen_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{keepDocumentsOpen_};
    host::Document* sheet = RunSettingsDialog(&*form);
    view_->Invalidate();
    return sheet;
}

host::Document* MainWindow::RunSettingsDialog(const settings::SheetForm* prefill) {
    std::optional<settings::SheetForm> made;
    host::Document* sheet =
        ShowSettingsDialog(app_, this, [&made, prefill](SettingsDialog& dialog) {
            if (prefill) dialog.Prefill(*prefill);
            // Accepted right after the OK handler made the sheet, with the form still filled in.
            connect(&dialog, &QDialog::accepted, &dialog,
                    [&made, &dialog] { made = dialog.Form(); });
        });
    if (sheet && made) sheetForms_[sheet] = *made;
    DocumentsChanged();
    return sheet;
}

}  // namespace varelo::desk
