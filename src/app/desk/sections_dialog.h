#pragma once

#include <QDialog>
#include <optional>
#include <vector>

#include "app/desk/addin/sheet_form.h"
#include "doc/application.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace varelo::desk {

// The written-answer sections of a sheet, edited as a list: the entry fields describe one
// section, the buttons add it, replace the selected one with it, delete or move the selected
// one. Refusals go through the host's message box, in the settings dialog's words.
class SectionsDialog : public QDialog {
    Q_OBJECT
  public:
    SectionsDialog(host::Application& app, std::vector<exam::WrittenSection> sections,
                   QWidget* parent = nullptr);

    // The list as it stands; the caller takes it when the dialog was accepted.
    const std::vector<exam::WrittenSection>& Sections() const { return sections_; }

    void cmdAdd_Click();
    void cmdChange_Click();
    void cmdDel_Click();
    void cmdUp_Click();
    void cmdDown_Click();
    void cmbKind_Change();
    void lstSections_Click();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Build();
    // The entry fields as a section, or nothing after saying what is wrong.
    std::optional<exam::WrittenSection> EntrySection();
    void ShowEntry(const exam::WrittenSection& s);
    void ShowList(int selected);
    int SelectedRow() const;

    host::Application& app_;
    std::vector<exam::WrittenSection> sections_;

    QComboBox* cmbKind_;
    QLineEdit *txtName_, *txtItems_, *txtCount_, *txtPoints_;
    QLabel *lblCount_, *lblPoints_;
    QPushButton *cmdAdd_, *cmdChange_, *cmdDel_, *cmdUp_, *cmdDown_, *OKButton_, *cmdCancel_;
    QTableWidget* lstSections_;
};

// One line telling what the list holds, for the settings dialog: "无", or
// "填空题10题、解答题4题、作文600字".
QString SectionsSummary(const std::vector<exam::WrittenSection>& sections);

}  // namespace varelo::desk
