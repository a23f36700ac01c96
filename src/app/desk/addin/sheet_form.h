#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "compose/sheet_settings_part.h"
#include "exam/dialog_defaults.h"
#include "exam/exam.h"

namespace varelo::settings {

// The objective-question list: row 0 holds the headers, every further row one group
// of six texts (number, name, item count, option count, option type, points).
class QuestionGrid {
  public:
    using Row = std::array<std::string, 6>;
    static constexpr int kNumber = 0, kName = 1, kItems = 2, kOptions = 3, kType = 4, kPoints = 5;

    int Rows() const { return static_cast<int>(rows_.size()); }
    const std::string& TextMatrix(int row, int column) const {
        return rows_.at(static_cast<size_t>(row)).at(static_cast<size_t>(column));
    }
    const Row& GetRow(int row) const { return rows_.at(static_cast<size_t>(row)); }
    void SetRows(int n) { rows_.resize(static_cast<size_t>(n)); }
    void SetRow(int row, Row values) { rows_.at(static_cast<size_t>(row)) = std::move(values); }
    void AddRow(Row values) { rows_.push_back(std::move(values)); }
    void RemoveRow(int row) { rows_.erase(rows_.begin() + row); }
    // Group rows, without the header.
    std::vector<Row> Groups() const {
        return rows_.empty() ? std::vector<Row>{}
                             : std::vector<Row>(rows_.begin() + 1, rows_.end());
    }

  private:
    std::vector<Row> rows_;
};

// The settings dialog's controls. OK turns their texts into an exam (exam_validation.h); the
// entry fields, the group being typed, travel beside it into the sheet's settings part. Texts
// are UTF-8, exactly as typed.
struct SheetForm {
    std::string txtTitle = exam::kDefaultTitle;
    std::string txtVice_Title = exam::kDefaultSubtitle;
    std::string txtName = exam::kDefaultSetter;
    std::string cmbPage = exam::kDialogLayout;
    std::string txtExam_NO = exam::kDefaultDigits;

    // Entry fields for one objective question group.
    std::string txtQuestion = exam::GroupEntry{}.name;
    std::string txtQ_Count = exam::GroupEntry{}.items;
    std::string txtXiaofen = exam::GroupEntry{}.points;
    bool chkO_Count = false;
    std::string txtO_Count = exam::GroupEntry{}.options;
    bool txtO_CountEnabled = false;
    int optOption = 0;  // 0 "字母", 1 "数字", 2 "判断"

    QuestionGrid mfgQuestion;
    int selectedRow = -1;                        // the list row the user selected, -1 none
    std::vector<exam::WrittenSection> sections;  // laid out after the objective groups
    // The sheet's 缺考 and paper-type marks: the dialog shows no box for them yet, so a sheet
    // reopened and remade keeps those it had.
    exam::SheetMarks marks;
    // Page codes: a check box of three states, as the host's check boxes have.
    static constexpr int kUnchecked = 0, kChecked = 1, kGrayed = 2;
    int chkPageCode = kGrayed;  // grayed: as the sheet's content asks
    std::string examId;         // of the sheet the form was filled from: a new sheet keeps it

    bool loaded = false;
    bool visible = false;
};

exam::GroupEntry EntryOf(const SheetForm& form);
void SetEntry(SheetForm& form, const exam::GroupEntry& entry);

// The exam as the form's texts give it, before it is checked.
exam::ExamDraft DraftOf(const SheetForm& form);

// The dialog, loaded, showing an exam's texts and its entry fields.
SheetForm FormOf(const exam::ExamDraft& draft, const exam::GroupEntry& entry);
SheetForm FormOf(const SavedSettings& saved);

}  // namespace varelo::settings
