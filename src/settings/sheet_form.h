#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

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
    std::string txtTitle = "中考试卷";
    std::string txtVice_Title = "英语";
    std::string txtName = "王老师";
    std::string cmbPage = "8开三栏";
    std::string txtExam_NO = "9";

    // Entry fields for one objective question group.
    std::string txtQuestion = "选择题";
    std::string txtQ_Count = "30";
    std::string txtXiaofen = "1";
    bool chkO_Count = false;
    std::string txtO_Count = "4";
    bool txtO_CountEnabled = false;
    int optOption = 0;  // 0 "字母", 1 "数字", 2 "判断"

    QuestionGrid mfgQuestion;
    int selectedRow = -1;                        // the list row the user selected, -1 none
    std::vector<exam::WrittenSection> sections;  // laid out after the objective groups

    bool loaded = false;
    bool visible = false;
};

// The dialog's entry fields: the group last typed, kept in the sheet's settings part so that
// the dialog reopened on a sheet shows it again.
struct GroupEntry {
    std::string name = "选择题";
    std::string items = "30";
    std::string points = "1";
    bool fixedOptions = false;  // chkO_Count
    std::string options = "4";
    int labels = 0;  // the option button: 0 "字母", 1 "数字", 2 "判断"
};

GroupEntry EntryOf(const SheetForm& form);
void SetEntry(SheetForm& form, const GroupEntry& entry);

// The exam as the form's texts give it, before it is checked.
exam::ExamDraft DraftOf(const SheetForm& form);

}  // namespace varelo::settings
