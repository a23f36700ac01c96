#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "compose/sheet_settings_part.h"
#include "desk_harness.h"
#include "sections_dialog.h"

using namespace desk_harness;
using varelo::desk::SectionsDialog;
using varelo::desk::SettingsDialog;
using varelo::exam::SectionKind;
using varelo::exam::WrittenSection;

namespace {

struct Entry {
    int kind;  // index in the kind box: 填空, 解答, 作文
    const char *name, *items, *count, *points;
};

void Enter(SectionsDialog& d, const Entry& e) {
    auto* kind = Child<QComboBox>(d, "cmbKind");
    kind->setCurrentIndex(e.kind);
    d.cmbKind_Change();
    Child<QLineEdit>(d, "txtName")->setText(QString::fromUtf8(e.name));
    Child<QLineEdit>(d, "txtItems")->setText(QString::fromUtf8(e.items));
    Child<QLineEdit>(d, "txtCount")->setText(QString::fromUtf8(e.count));
    Child<QLineEdit>(d, "txtPoints")->setText(QString::fromUtf8(e.points));
}

void Click(QWidget& d, const char* button) {
    Child<QPushButton>(d, button)->click();
}

std::vector<std::string> Names(const std::vector<WrittenSection>& sections) {
    std::vector<std::string> names;
    for (const WrittenSection& s : sections) names.push_back(s.name);
    return names;
}

}  // namespace

// The settings dialog opens the sections dialog; OK hands its list back, Cancel leaves the
// form's list as it was, and the sheet made carries the sections in its settings.
TEST(SectionsDialog, EditsTheFormsSectionsAndTheSheetCarriesThem) {
    Desk desk;
    WhenDialogOpens([&](SettingsDialog& d) {
        Child<QComboBox>(d, "cmbPage")->setCurrentText(QStringLiteral("A3三栏"));
        Click(d, "cmdAdd");
        // The button's frame lies below every control the form places.
        EXPECT_GE(Child<QWidget>(d, "cmdSections")->parentWidget()->geometry().top(),
                  Child<QWidget>(d, "optOption2")->parentWidget()->geometry().bottom());
        EXPECT_EQ(Child<QLabel>(d, "lblSections")->text(), QStringLiteral("无"));

        WhenModalOpens<SectionsDialog>([](SectionsDialog& s) {
            Enter(s, {0, "填空题", "10", "2", "2"});
            Click(s, "cmdAdd");
            Enter(s, {1, "解答题", "4", "12", "10"});
            Click(s, "cmdAdd");
            Enter(s, {2, "作文", "", "600", "50"});
            EXPECT_FALSE(Child<QLineEdit>(s, "txtItems")->isEnabled());  // one item
            Click(s, "cmdAdd");
            Enter(s, {0, "补充", "1", "1", "1"});
            Click(s, "cmdAdd");
            auto* list = Child<QTableWidget>(s, "lstSections");
            list->selectRow(3);
            Click(s, "cmdUp");  // before the composition
            EXPECT_EQ(Names(s.Sections()),
                      (std::vector<std::string>{"填空题", "解答题", "补充", "作文"}));
            Click(s, "cmdDel");  // the moved one stays selected
            list->selectRow(1);
            EXPECT_EQ(Child<QLineEdit>(s, "txtCount")->text(), QStringLiteral("12"));
            Child<QLineEdit>(s, "txtCount")->setText(QStringLiteral("14"));
            Click(s, "cmdChange");
            Click(s, "OKButton");
        });
        Click(d, "cmdSections");
        ASSERT_EQ(d.Form().sections.size(), 3u);
        const WrittenSection& fill = d.Form().sections[0];
        EXPECT_EQ(fill.kind, SectionKind::Fill);
        EXPECT_EQ(fill.items, 10);
        EXPECT_EQ(fill.blanks, 2);
        EXPECT_EQ(fill.points, 2);
        EXPECT_EQ(d.Form().sections[1].kind, SectionKind::Answer);
        EXPECT_EQ(d.Form().sections[1].rows, 14);
        EXPECT_EQ(d.Form().sections[2].kind, SectionKind::Essay);
        EXPECT_EQ(d.Form().sections[2].chars, 600);
        EXPECT_EQ(d.Form().sections[2].points, 50);
        EXPECT_EQ(Child<QLabel>(d, "lblSections")->text(),
                  QStringLiteral("填空题10题、解答题4题、作文600字"));

        WhenModalOpens<SectionsDialog>([](SectionsDialog& s) {
            EXPECT_EQ(Child<QTableWidget>(s, "lstSections")->rowCount(), 3);
            Child<QTableWidget>(s, "lstSections")->selectRow(0);
            Click(s, "cmdDel");
            Click(s, "cmdCancel");
        });
        Click(d, "cmdSections");
        EXPECT_EQ(Names(d.Form().sections), (std::vector<std::string>{"填空题", "解答题", "作文"}));
        Click(d, "OKButton");
    });
    desk.action(1)->trigger();
    ASSERT_EQ(desk.app().DocumentCount(), 1);
    EXPECT_TRUE(desk.messages.empty());
    const auto settings = varelo::settings::SheetSettingsOf(*desk.app().ActiveDocument());
    ASSERT_TRUE(settings.has_value());
    EXPECT_EQ(Names(settings->draft.sections),
              (std::vector<std::string>{"填空题", "解答题", "作文"}));
}

TEST(SectionsDialog, RefusesEntriesNoSheetCanPrintWithTheReason) {
    Desk desk;
    const struct {
        Entry entry;
        const char* message;
    } cases[] = {
        {{0, "  ", "10", "2", "2"}, "请输入主观题题名"},
        {{0, "填空题", "0", "2", "2"}, "小题数必须是1到32767之间的整数"},
        {{1, "解答题", "2.5", "12", "10"}, "小题数必须是1到32767之间的整数"},
        {{0, "填空题", "10", "40000", "2"}, "每题空数必须是1到32767之间的整数"},
        {{1, "解答题", "4", "x", "10"}, "答题框行数必须是1到32767之间的整数"},
        {{2, "作文", "", "-600", "50"}, "字数必须是1到32767之间的整数"},
        {{2, "作文", "", "600", "-1"}, "分值必须是不小于0的数"},
        {{1, "解答题", "4", "12", ""}, "分值必须是不小于0的数"},
    };
    SectionsDialog d(desk.app(), {});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        desk.messages.clear();
        Enter(d, c.entry);
        Click(d, "cmdAdd");
        EXPECT_EQ(desk.messages, std::vector<std::string>{c.message});
        EXPECT_TRUE(d.Sections().empty());
    }
}
