#pragma once

#include <QDialog>
#include <functional>

#include "app/desk/addin/sheet_form.h"
#include "doc/application.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace varelo::desk {

// The settings dialog frmAddIn. Its widgets are bound to a SheetForm: before each handler
// runs the widgets are read into the form, afterwards the form is written back, so the
// handlers in src/settings stay the only place where the dialog's behaviour lives.
class SettingsDialog : public QDialog {
    Q_OBJECT
  public:
    // Starts from the defaults with an empty question list (Form_Load).
    explicit SettingsDialog(host::Application& app, QWidget* parent = nullptr);

    settings::SheetForm& Form() { return form_; }
    // Shows the values and question list of a sheet made earlier instead of the defaults.
    void Prefill(const settings::SheetForm& form);
    // The sheet the OK button made, or nullptr.
    host::Document* Sheet() const { return sheet_; }

    // The handlers, as the buttons run them.
    void OKButton_Click();
    void cmdCancel_Click();
    void cmdAdd_Click();
    void cmdDel_Click();
    void chkO_Count_Click();
    void optOption_Click();
    void cmdSections_Click();

    void reject() override;  // closing the window is cancelling

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Build();
    void ReadWidgets();
    void WriteWidgets();

    host::Application& app_;
    settings::SheetForm form_;
    host::Document* sheet_ = nullptr;

    QLineEdit *txtTitle_, *txtVice_Title_, *txtName_, *txtExam_NO_;
    QComboBox* cmbPage_;
    QLineEdit *txtQuestion_, *txtQ_Count_, *txtXiaofen_, *txtO_Count_;
    QCheckBox* chkO_Count_;
    QRadioButton *optOption0_, *optOption1_, *optOption2_;
    QPushButton *cmdAdd_, *cmdDel_, *OKButton_, *cmdCancel_;
    QTableWidget* mfgQuestion_;
    QPushButton* cmdSections_;
    QLabel* lblSections_;
    QCheckBox* chkPageCode_;
};

// Opens a fresh dialog modally and returns the sheet it made (nullptr when cancelled).
// `prepare` runs once the dialog is built, before it is shown (tests, screenshots).
host::Document* ShowSettingsDialog(host::Application& app, QWidget* parent,
                                   const std::function<void(SettingsDialog&)>& prepare = {});

}  // namespace varelo::desk
