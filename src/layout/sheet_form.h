#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace varelo::layout {

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

// A written-answer section after the objective groups, in the order the list gives them.
enum class SectionKind { Fill, Answer, Essay };  // "填空", "解答", "作文"

struct WrittenSection {
    SectionKind kind = SectionKind::Fill;
    std::string name;   // heading text after the numeral, e.g. "填空题"
    int items = 1;      // fill-in and answer sections; a composition is one item
    int blanks = 1;     // fill-in: answer spaces per item
    int rows = 1;       // answer: page-grid rows per item's box
    int chars = 0;      // composition: at least this many squares
    double points = 0;  // per blank (fill-in), per item (answer), in all (composition)
};

// The settings dialog's controls as the driver and the generators read them, and the
// form-level state they share. Texts are UTF-8, exactly as typed.
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
    int selectedRow = -1;                  // the list row the user selected, -1 none
    std::vector<WrittenSection> sections;  // laid out after the objective groups

    bool loaded = false;
    bool visible = false;

    int16_t curRow = 0;     // grid row where the next objective group begins
    int16_t curColumn = 0;  // the page column of curRow, counted from 0 in filling order
    int16_t itemNo = 0;     // running item number
};

}  // namespace varelo::layout
