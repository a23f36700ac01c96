#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/desk/addin/form_handlers.h"
#include "app/desk/addin/sheet_form.h"
#include "doc/application.h"

using namespace varelo;
using settings::cmdAdd_Click;
using settings::cmdDel_Click;
using settings::QuestionGrid;

namespace {

std::vector<std::string> Column(const settings::SheetForm& form, int column) {
    std::vector<std::string> out;
    for (const QuestionGrid::Row& row : form.mfgQuestion.Groups()) out.push_back(row[column]);
    return out;
}

class FormHandlers : public ::testing::Test {
  protected:
    void SetUp() override { settings::Form_Load(form); }
    host::Application app;
    settings::SheetForm form;
};

}  // namespace

TEST_F(FormHandlers, LoadShowsTheHeaderRowAndAnEmptyList) {
    ASSERT_EQ(form.mfgQuestion.Rows(), 1);
    EXPECT_EQ(form.mfgQuestion.GetRow(0),
              (QuestionGrid::Row{"题序", "题名", "小题数", "选项数", "选项类型", "小题分值"}));
    EXPECT_TRUE(form.loaded);
}

TEST_F(FormHandlers, ReopeningStartsFromTheDefaultsWhateverTheLastOpeningDid) {
    form.txtTitle = "期末";
    form.cmbPage = "A4单栏";
    form.chkO_Count = true;
    settings::chkO_Count_Click(form);
    form.txtO_Count = "5";
    cmdAdd_Click(app, form);
    settings::cmdCancel_Click(form);
    EXPECT_FALSE(form.loaded);

    settings::Form_Load(form);
    const settings::SheetForm defaults;
    EXPECT_EQ(form.mfgQuestion.Rows(), 1);
    EXPECT_EQ(form.txtTitle, defaults.txtTitle);
    EXPECT_EQ(form.cmbPage, "8开三栏");
    EXPECT_EQ(form.txtO_Count, "4");
    EXPECT_FALSE(form.chkO_Count);
    EXPECT_FALSE(form.txtO_CountEnabled);
}

TEST_F(FormHandlers, GroupNumbersFollowTheLastRowAndKeepGapsAfterDeletion) {
    for (int i = 0; i < 3; ++i) cmdAdd_Click(app, form);
    EXPECT_EQ(Column(form, QuestionGrid::kNumber), (std::vector<std::string>{"1", "2", "3"}));

    form.selectedRow = 2;
    cmdDel_Click(form);
    cmdAdd_Click(app, form);
    EXPECT_EQ(Column(form, QuestionGrid::kNumber), (std::vector<std::string>{"1", "3", "4"}));

    // Deleting the last group lets the next one take its number again.
    form.selectedRow = 3;
    cmdDel_Click(form);
    cmdAdd_Click(app, form);
    EXPECT_EQ(Column(form, QuestionGrid::kNumber), (std::vector<std::string>{"1", "3", "4"}));
    EXPECT_TRUE(app.messages.empty());
}

TEST_F(FormHandlers, AddedRowCarriesTheEntryFieldsAndLeavesThemAsTheyAre) {
    form.txtQuestion = "听力";
    form.txtQ_Count = "10";
    form.txtXiaofen = "1.5";
    cmdAdd_Click(app, form);
    form.optOption = 1;
    form.txtXiaofen = "";
    cmdAdd_Click(app, form);

    EXPECT_EQ(form.mfgQuestion.GetRow(1),
              (QuestionGrid::Row{"1", "听力", "10", "4", "字母", "1.5"}));
    EXPECT_EQ(form.mfgQuestion.GetRow(2), (QuestionGrid::Row{"2", "听力", "10", "4", "数字", ""}));
    EXPECT_EQ(form.txtQuestion, "听力");
}

TEST_F(FormHandlers, TabsInAnEntryFieldDoNotShiftTheColumns) {
    form.txtQuestion = "阅读\t理解";
    cmdAdd_Click(app, form);
    EXPECT_EQ(form.mfgQuestion.GetRow(1),
              (QuestionGrid::Row{"1", "阅读 理解", "30", "4", "字母", "1"}));
}

TEST_F(FormHandlers, OptionCountBoxUnlocksAndClearingRestoresFour) {
    form.chkO_Count = true;
    settings::chkO_Count_Click(form);
    EXPECT_TRUE(form.txtO_CountEnabled);
    form.txtO_Count = "5";
    cmdAdd_Click(app, form);

    form.chkO_Count = false;
    settings::chkO_Count_Click(form);
    EXPECT_FALSE(form.txtO_CountEnabled);
    EXPECT_EQ(form.txtO_Count, "4");
    cmdAdd_Click(app, form);
    EXPECT_EQ(Column(form, QuestionGrid::kOptions), (std::vector<std::string>{"5", "4"}));
}

TEST_F(FormHandlers, EmptyNameOrItemCountIsRefusedWithItsMessage) {
    form.txtQuestion = "";
    form.txtQ_Count = "";
    cmdAdd_Click(app, form);
    form.txtQuestion = "选择题";
    cmdAdd_Click(app, form);
    EXPECT_EQ(app.messages, (std::vector<std::string>{"请输入客观题题名", "请输入客观题小题数"}));
    EXPECT_EQ(form.mfgQuestion.Rows(), 1);
}

TEST_F(FormHandlers, UnreadableOrExhaustedGroupNumbersAreHandledSanely) {
    cmdAdd_Click(app, form);
    cmdAdd_Click(app, form);
    // A last number that is no number: continue after the largest readable one.
    form.mfgQuestion.SetRow(2, {"x", "选择题", "30", "4", "字母", "1"});
    cmdAdd_Click(app, form);
    EXPECT_EQ(form.mfgQuestion.TextMatrix(3, QuestionGrid::kNumber), "2");

    // No number beyond the 16-bit range: refused, the list unchanged.
    form.mfgQuestion.SetRow(3, {"32767", "选择题", "30", "4", "字母", "1"});
    cmdAdd_Click(app, form);
    EXPECT_EQ(form.mfgQuestion.Rows(), 4);
    EXPECT_EQ(app.messages, (std::vector<std::string>{"客观题太多，答题卡中放不下"}));
}

TEST_F(FormHandlers, DeleteNeverRemovesTheHeaderAndIgnoresInvalidSelections) {
    for (int selected : {-1, 0, 1}) {
        form.selectedRow = selected;
        cmdDel_Click(form);
    }
    EXPECT_EQ(form.mfgQuestion.Rows(), 1);

    cmdAdd_Click(app, form);
    cmdAdd_Click(app, form);
    for (int selected : {-1, 0, 3}) {
        form.selectedRow = selected;
        cmdDel_Click(form);
    }
    EXPECT_EQ(form.mfgQuestion.Rows(), 3);

    // The selection moves to the row that took the removed one's place, then runs out.
    form.selectedRow = 1;
    cmdDel_Click(form);
    EXPECT_EQ(Column(form, QuestionGrid::kNumber), (std::vector<std::string>{"2"}));
    EXPECT_EQ(form.selectedRow, 1);
    cmdDel_Click(form);
    EXPECT_EQ(form.mfgQuestion.Rows(), 1);
    EXPECT_EQ(form.selectedRow, -1);
}
