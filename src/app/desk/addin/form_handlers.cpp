#include "app/desk/addin/form_handlers.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/numbers.h"
#include "compose/driver.h"
#include "compose/exam_validation.h"
#include "doc/errors.h"

namespace varelo::settings {

namespace {

constexpr char kTab = '\t';
constexpr const char* kOptionTypes[] = {"字母", "数字", "判断"};
const QuestionGrid::Row kHeaders = {"题序", "题名", "小题数", "选项数", "选项类型", "小题分值"};

// A tab typed or pasted into an entry field would shift every later column when the row
// text is split at tabs; a blank keeps the six columns in place.
std::string WithoutTabs(std::string text) {
    std::replace(text.begin(), text.end(), kTab, ' ');
    return text;
}

std::vector<std::string> SplitAtTabs(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t tab = text.find(kTab, start);
        parts.push_back(
            text.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) return parts;
        start = tab + 1;
    }
}

// The number of the next group: the last row's number plus one. Should that number be
// unreadable (the list was changed by other means than this dialog), the largest readable
// number takes its place, and failing that the new row's position. Empty when the next
// number would pass the 16-bit range.
std::optional<int16_t> NextGroupNumber(const QuestionGrid& grid) {
    const int last = grid.Rows() - 1;
    if (last < 1) return 1;
    const auto numberAt = [&](int row) {
        return host::ToInt16(grid.TextMatrix(row, QuestionGrid::kNumber));
    };
    int base = last;
    if (const auto n = numberAt(last)) {
        base = *n;
    } else {
        int best = -1;
        for (int row = 1; row < last; ++row)
            if (const auto n = numberAt(row)) best = std::max(best, static_cast<int>(*n));
        if (best >= 0) base = best;
    }
    if (base >= INT16_MAX) return std::nullopt;
    return static_cast<int16_t>(base + 1);
}

}  // namespace

void Form_Load(SheetForm& form) {
    // Nothing is kept between openings: every opening starts from the defaults.
    form = SheetForm{};
    form.mfgQuestion.SetRows(1);
    form.mfgQuestion.SetRow(0, kHeaders);
    form.loaded = true;
}

void chkO_Count_Click(SheetForm& form) {
    if (form.chkO_Count) {
        form.txtO_CountEnabled = true;
    } else {
        form.txtO_Count = "4";
        form.txtO_CountEnabled = false;
    }
}

void optOption_Click(SheetForm& form) {
    // A true-or-false item has its two bubbles; leaving that type, a locked count is 4 again.
    if (form.optOption == 2)
        form.txtO_Count = "2";
    else if (!form.chkO_Count)
        form.txtO_Count = "4";
}

void cmdAdd_Click(host::Application& app, SheetForm& form) {
    if (const std::optional<std::string> refusal =
            RefuseGroupEntry(form.txtQuestion, form.txtQ_Count)) {
        app.ShowMessage(*refusal);
        return;
    }
    const std::optional<int16_t> number = NextGroupNumber(form.mfgQuestion);
    if (!number) {
        // Tens of thousands of groups can never be laid out on one sheet.
        app.ShowMessage("客观题太多，答题卡中放不下");
        return;
    }
    const std::string text =
        std::to_string(*number) + kTab + WithoutTabs(form.txtQuestion) + kTab +
        WithoutTabs(form.txtQ_Count) + kTab + WithoutTabs(form.txtO_Count) + kTab +
        kOptionTypes[form.optOption == 1 || form.optOption == 2 ? form.optOption : 0] + kTab +
        WithoutTabs(form.txtXiaofen);
    const std::vector<std::string> parts = SplitAtTabs(text);
    QuestionGrid::Row row;
    for (size_t c = 0; c < row.size() && c < parts.size(); ++c) row[c] = parts[c];
    if (form.mfgQuestion.Rows() == 0) form.mfgQuestion.AddRow(kHeaders);  // never loaded
    form.mfgQuestion.AddRow(row);
}

void cmdDel_Click(SheetForm& form) {
    const int row = form.selectedRow;
    if (row < 1 || row >= form.mfgQuestion.Rows()) return;  // the header row always stays
    form.mfgQuestion.RemoveRow(row);
    // The selection stays on the row that moved up, so each click removes one more.
    if (form.selectedRow >= form.mfgQuestion.Rows()) form.selectedRow = -1;
}

void cmdCancel_Click(SheetForm& form) {
    form.loaded = false;
    form.visible = false;
}

host::Document* OKButton_Click(host::Application& app, SheetForm& form) {
    // Checked before anything is closed or made, so a refusal changes nothing.
    std::variant<ValidExam, std::string> checked = ValidateExam(DraftOf(form));
    if (const std::string* refusal = std::get_if<std::string>(&checked)) {
        app.ShowMessage(*refusal);
        return nullptr;
    }
    form.visible = false;  // hidden but loaded, as the dialog stays until the sheet is made
    const ValidExam& valid = std::get<ValidExam>(checked);
    host::Document& doc = MakeSheet(app, valid, EntryOf(form));
    // The form now says what the sheet's settings say: the id only where codes print it.
    form.examId = valid.plan.pageCodes ? valid.exam.examId : std::string();
    for (auto& bar : app.commandBars.All()) {
        if (bar->name != "Varelo") continue;
        for (int i = 2; i <= 6; ++i) {
            try {
                bar->Control(i).enabled = true;
            } catch (const host::HostError&) {  // a bar short of tools: enable what is there
            }
        }
    }
    app.commandBars.NotifyChanged();
    form.loaded = false;
    return &doc;
}

}  // namespace varelo::settings
