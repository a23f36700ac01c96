#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>

#include "desk_harness.h"

using namespace desk_harness;
using varelo::desk::SettingsDialog;

namespace {

std::vector<std::vector<std::string>> ListRows(SettingsDialog& d) {
    auto* grid = Child<QTableWidget>(d, "mfgQuestion");
    std::vector<std::vector<std::string>> rows;
    for (int r = 0; r < grid->rowCount(); ++r) {
        rows.emplace_back();
        for (int c = 0; c < grid->columnCount(); ++c)
            rows.back().push_back(grid->item(r, c)->text().toStdString());
    }
    return rows;
}

void Click(SettingsDialog& d, const char* button) {
    Child<QAbstractButton>(d, button)->click();
}
void Type(SettingsDialog& d, const char* box, const char* text) {
    Child<QLineEdit>(d, box)->setText(QString::fromUtf8(text));
}

void ExpectDefaults(SettingsDialog& d) {
    EXPECT_EQ(d.windowTitle(), QStringLiteral("设置答题卡格式"));
    EXPECT_EQ(Child<QLineEdit>(d, "txtTitle")->text(), QStringLiteral("中考试卷"));
    EXPECT_EQ(Child<QLineEdit>(d, "txtVice_Title")->text(), QStringLiteral("英语"));
    EXPECT_FALSE(Child<QLineEdit>(d, "txtName")->text().isEmpty());
    auto* page = Child<QComboBox>(d, "cmbPage");
    EXPECT_TRUE(page->isEditable());
    EXPECT_EQ(page->currentText(), QStringLiteral("8开三栏"));
    QStringList items;
    for (int i = 0; i < page->count(); ++i) items << page->itemText(i);
    EXPECT_EQ(items, (QStringList{"A3三栏", "A3双栏", "8开三栏", "8开双栏", "A4单栏", "B5单栏"}));
    EXPECT_EQ(Child<QLineEdit>(d, "txtExam_NO")->text(), QStringLiteral("9"));
    EXPECT_EQ(Child<QLineEdit>(d, "txtQuestion")->text(), QStringLiteral("选择题"));
    EXPECT_EQ(Child<QLineEdit>(d, "txtQ_Count")->text(), QStringLiteral("30"));
    EXPECT_EQ(Child<QLineEdit>(d, "txtXiaofen")->text(), QStringLiteral("1"));
    EXPECT_FALSE(Child<QCheckBox>(d, "chkO_Count")->isChecked());
    EXPECT_EQ(Child<QLineEdit>(d, "txtO_Count")->text(), QStringLiteral("4"));
    EXPECT_FALSE(Child<QLineEdit>(d, "txtO_Count")->isEnabled());
    EXPECT_TRUE(Child<QRadioButton>(d, "optOption0")->isChecked());
    auto* grid = Child<QTableWidget>(d, "mfgQuestion");
    EXPECT_EQ(grid->rowCount(), 0);
    QStringList headers;
    for (int c = 0; c < grid->columnCount(); ++c) headers << grid->horizontalHeaderItem(c)->text();
    EXPECT_EQ(headers, (QStringList{"题序", "题名", "小题数", "选项数", "选项类型", "小题分值"}));
}

}  // namespace

TEST(SettingsDialog, HasTheControlsAndGeometryOfTheForm) {
    App();
    varelo::host::Application app;
    SettingsDialog d(app);
    EXPECT_EQ(d.objectName(), QStringLiteral("frmAddIn"));
    // 7770 x 4305 twips, a strip of 615 below, one more for the written sections and one for
    // the page codes
    EXPECT_EQ(d.size(), QSize(518, 411));
    // The page codes' box: three states, half-checked (as the content asks) when the dialog
    // opens.
    auto* codes = Child<QCheckBox>(d, "chkPageCode");
    EXPECT_TRUE(codes->isTristate());
    EXPECT_EQ(codes->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(codes->parentWidget()->geometry(), QRect(8, 370, 505, 37));
    // The third option type stands in the strip below the form's own controls.
    EXPECT_EQ(Child<QWidget>(d, "optOption2")->parentWidget()->geometry(), QRect(8, 288, 505, 37));
    EXPECT_EQ(d.minimumSize(), d.maximumSize());
    // Positions are the form's twips at 15 per pixel, relative to the enclosing frame.
    EXPECT_EQ(Child<QWidget>(d, "txtTitle")->geometry(), QRect(72, 16, 289, 19));
    EXPECT_EQ(Child<QWidget>(d, "mfgQuestion")->geometry(), QRect(152, 8, 345, 137));
    EXPECT_EQ(Child<QWidget>(d, "OKButton")->geometry(), QRect(88, 256, 81, 25));
    EXPECT_EQ(Child<QAbstractButton>(d, "OKButton")->text(), QStringLiteral("确定(&O)"));
    EXPECT_EQ(Child<QAbstractButton>(d, "cmdCancel")->text(), QStringLiteral("取消(&C)"));
    // Tab order starts at OK.
    d.show();
    EXPECT_EQ(d.focusWidget(), Child<QWidget>(d, "OKButton"));
    EXPECT_EQ(Child<QWidget>(d, "OKButton")->nextInFocusChain(), Child<QWidget>(d, "cmdCancel"));
    d.reject();
}

TEST(SettingsDialog, EveryOpeningStartsFromTheDefaultsWithAnEmptyList) {
    Desk desk;
    for (int opening = 1; opening <= 2; ++opening) {
        SCOPED_TRACE(opening);
        bool seen = false;
        WhenDialogOpens([&](SettingsDialog& d) {
            seen = true;
            ExpectDefaults(d);
            Type(d, "txtTitle", "期末考试");
            Child<QComboBox>(d, "cmbPage")->setCurrentText(QStringLiteral("B5单栏"));
            Click(d, "cmdAdd");
            Click(d, "cmdAdd");
            EXPECT_EQ(ListRows(d).size(), 2u);
            Click(d, "cmdCancel");
        });
        desk.action(1)->trigger();
        EXPECT_TRUE(seen);
    }
    EXPECT_EQ(desk.app().DocumentCount(), 0);
    EXPECT_TRUE(desk.messages.empty());
}

TEST(SettingsDialog, EmptyTitlesAreRefusedAndTheDialogStaysOpen) {
    Desk desk;
    WhenDialogOpens([&](SettingsDialog& d) {
        Type(d, "txtTitle", "");
        Type(d, "txtVice_Title", "");
        Click(d, "OKButton");
        EXPECT_TRUE(d.isVisible());
        Type(d, "txtVice_Title", "数学");
        Click(d, "OKButton");
        EXPECT_TRUE(d.isVisible());
        // What was typed survives a refusal.
        EXPECT_EQ(Child<QLineEdit>(d, "txtVice_Title")->text(), QStringLiteral("数学"));
        Click(d, "cmdCancel");
    });
    desk.action(1)->trigger();
    EXPECT_EQ(desk.messages, (std::vector<std::string>{"请输入试卷副标题", "请输入试卷标题"}));
    EXPECT_EQ(desk.app().DocumentCount(), 0);
    EXPECT_EQ(desk.toolsEnabled(), std::vector<bool>(5, false));
}

TEST(SettingsDialog, ListEditingFollowsTheWidgets) {
    App();
    varelo::host::Application app;
    SettingsDialog d(app);
    auto* grid = Child<QTableWidget>(d, "mfgQuestion");

    for (int i = 0; i < 3; ++i) Click(d, "cmdAdd");
    grid->selectRow(1);  // group 2
    Click(d, "cmdDel");
    // The option count is only editable while the box is checked, and clearing it restores 4.
    Child<QCheckBox>(d, "chkO_Count")->click();
    EXPECT_TRUE(Child<QLineEdit>(d, "txtO_Count")->isEnabled());
    Type(d, "txtO_Count", "5");
    Child<QRadioButton>(d, "optOption1")->click();
    Type(d, "txtXiaofen", "");
    Click(d, "cmdAdd");
    Child<QCheckBox>(d, "chkO_Count")->click();
    EXPECT_EQ(Child<QLineEdit>(d, "txtO_Count")->text(), QStringLiteral("4"));
    EXPECT_FALSE(Child<QLineEdit>(d, "txtO_Count")->isEnabled());

    using Row = std::vector<std::string>;
    EXPECT_EQ(ListRows(d), (std::vector<Row>{{"1", "选择题", "30", "4", "字母", "1"},
                                             {"3", "选择题", "30", "4", "字母", "1"},
                                             {"4", "选择题", "30", "5", "数字", ""}}));
    // Nothing selected: nothing removed.
    grid->clearSelection();
    Click(d, "cmdDel");
    EXPECT_EQ(ListRows(d).size(), 3u);

    // Choosing 判断 gives its two options; another type with the count locked gives 4 again.
    Child<QRadioButton>(d, "optOption2")->click();
    EXPECT_EQ(Child<QLineEdit>(d, "txtO_Count")->text(), QStringLiteral("2"));
    Click(d, "cmdAdd");
    EXPECT_EQ(ListRows(d).back(), (Row{"5", "选择题", "30", "2", "判断", ""}));
    Child<QRadioButton>(d, "optOption0")->click();
    EXPECT_EQ(Child<QLineEdit>(d, "txtO_Count")->text(), QStringLiteral("4"));
}

// Enter in a group field adds the group and never makes the sheet; the paper box's list stands
// on the entry it shows, so Down goes on to the next one.
TEST(SettingsDialog, EnterAddsTheGroupAndOnlyOkMakesTheSheet) {
    Desk desk;
    WhenDialogOpens([&](SettingsDialog& d) {
        auto* page = Child<QComboBox>(d, "cmbPage");
        EXPECT_EQ(page->currentIndex(), 2);  // 8开三栏
        page->setFocus();
        QTest::keyClick(page, Qt::Key_Down);
        EXPECT_EQ(page->currentText(), QStringLiteral("8开双栏"));

        for (const char* field : {"txtQuestion", "txtQ_Count", "txtXiaofen"}) {
            auto* edit = Child<QLineEdit>(d, field);
            edit->setFocus();
            QTest::keyClick(edit, Qt::Key_Return);
        }
        EXPECT_EQ(ListRows(d).size(), 3u);
        auto* title = Child<QLineEdit>(d, "txtTitle");
        title->setFocus();
        QTest::keyClick(title, Qt::Key_Enter);
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(ListRows(d).size(), 3u);
        auto* ok = Child<QPushButton>(d, "OKButton");
        EXPECT_FALSE(ok->isDefault() || ok->autoDefault());
        EXPECT_EQ(ok->text(), QStringLiteral("确定(&O)"));  // Alt+O
        ok->click();
    });
    desk.action(1)->trigger();
    ASSERT_EQ(desk.app().DocumentCount(), 1);
    EXPECT_TRUE(desk.messages.empty());
}
