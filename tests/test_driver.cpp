#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/units.h"
#include "compose/generators.h"
#include "dialog_sheet.h"

using namespace varelo;
using host::CentimetersToPoints;
using host::Orientation;

namespace {

class Driver : public ::testing::Test {
  public:
    void SetUp() override { Open(); }

    // The dialog as the settings button shows it.
    void Open() { fixture::OpenSettings(form); }
    void AddGroup(const std::string& items, const std::string& options) {
        form.txtQ_Count = items;
        form.chkO_Count = true;
        settings::chkO_Count_Click(form);
        form.txtO_Count = options;
        settings::cmdAdd_Click(app, form);
    }
    host::CommandBar& AddBar(const std::string& name) {
        host::CommandBar& bar = app.commandBars.Add(name, true);
        for (int i = 1; i <= 6; ++i) bar.AddControl(host::kControlButton).enabled = i == 1;
        return bar;
    }
    // Whether a cell of the page grid holds exactly this text, as item numbers are printed.
    static bool GridHolds(const host::Document& doc, const std::string& text) {
        const host::Table& t = doc.Tables(1);
        for (int r = 1; r <= t.Rows(); ++r)
            for (int c = 1; c <= t.Columns(); ++c)
                if (t.IsAnchor(r, c) && t.At(r, c).Text() == text) return true;
        return false;
    }
    std::vector<bool> Enabled(const host::CommandBar& bar) {
        std::vector<bool> out;
        for (const auto& c : bar.controls) out.push_back(c->enabled);
        return out;
    }
    // Runs the handler and checks that a refusal shows exactly `message` and touches nothing.
    void ExpectRefused(const std::string& message) {
        app.CloseAllDocuments();
        host::Document& before = app.AddDocument();
        before.saved = false;
        app.messages.clear();
        EXPECT_EQ(settings::OKButton_Click(app, form), nullptr);
        EXPECT_EQ(app.messages, std::vector<std::string>{message});
        ASSERT_EQ(app.DocumentCount(), 1);
        EXPECT_EQ(&app.Documents(1), &before);
        EXPECT_TRUE(form.loaded);
        EXPECT_TRUE(form.visible);
        app.CloseAllDocuments();
    }
    void ExpectAccepted() {
        app.messages.clear();
        EXPECT_NE(settings::OKButton_Click(app, form), nullptr);
        EXPECT_TRUE(app.messages.empty()) << app.messages.front();
        EXPECT_FALSE(form.loaded);
    }

    host::Application app;
    settings::SheetForm form;
};

}  // namespace

TEST_F(Driver, SubtitleIsCheckedFirstThenTitle) {
    form.txtTitle = "";
    form.txtVice_Title = "";
    ExpectRefused("请输入试卷副标题");
    form.txtVice_Title = "英语";
    ExpectRefused("请输入试卷标题");
}

TEST_F(Driver, SettingsThatCannotMakeASheetAreRefusedBeforeAnythingChanges) {
    struct Case {
        std::function<void(Driver&)> change;
        std::string message;
    };
    const std::vector<Case> cases = {
        {[](Driver& d) { d.form.cmbPage = "A5单栏"; }, "请从列表中选择纸张规格"},
        {[](Driver& d) { d.form.cmbPage = "a3三栏"; }, "请从列表中选择纸张规格"},
        {[](Driver& d) { d.form.cmbPage = ""; }, "请从列表中选择纸张规格"},
        {[](Driver& d) { d.form.txtExam_NO = "0"; }, "准考证号位数必须是1到12之间的整数"},
        {[](Driver& d) { d.form.txtExam_NO = "12.6"; }, "准考证号位数必须是1到12之间的整数"},
        {[](Driver& d) { d.form.txtExam_NO = "0.5"; }, "准考证号位数必须是1到12之间的整数"},
        {[](Driver& d) { d.form.txtExam_NO = "九"; }, "准考证号位数必须是1到12之间的整数"},
        {[](Driver& d) { d.form.txtExam_NO = ""; }, "准考证号位数必须是1到12之间的整数"},
        {[](Driver& d) { d.AddGroup("-1", "4"); }, "客观题小题数必须是不小于0的整数"},
        {[](Driver& d) { d.AddGroup("三十", "4"); }, "客观题小题数必须是不小于0的整数"},
        {[](Driver& d) { d.AddGroup("40000", "4"); }, "客观题小题数必须是不小于0的整数"},
        {[](Driver& d) { d.AddGroup("10", "0"); }, "客观题选项数必须是1到26之间的整数"},
        {[](Driver& d) { d.AddGroup("10", "27"); }, "客观题选项数必须是1到26之间的整数"},
        {[](Driver& d) { d.AddGroup("10", ""); }, "客观题选项数必须是1到26之间的整数"},
        // The bad group after one that fits still refuses the whole list.
        {[](Driver& d) { d.AddGroup("10", "4"), d.AddGroup("10", "A"); },
         "客观题选项数必须是1到26之间的整数"},
        {[](Driver& d) { d.AddGroup("5000", "4"); }, "客观题太多，答题卡中放不下"},
        {[](Driver& d) {
             d.form.txtXiaofen = "1e308";
             d.AddGroup("10", "4");
         },
         "客观题小题分值太大，无法计算总分"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        Open();
        host::CommandBar& bar = AddBar("Varelo");
        c.change(*this);
        ExpectRefused(c.message);
        EXPECT_EQ(Enabled(bar), (std::vector<bool>{true, false, false, false, false, false}));
        app.commandBars.Delete("Varelo");
    }
}

TEST_F(Driver, BoundaryValuesThatCanMakeASheetAreAccepted) {
    const std::vector<std::function<void(Driver&)>> cases = {
        [](Driver& d) { d.form.txtExam_NO = "1"; },    [](Driver& d) { d.form.txtExam_NO = "12"; },
        [](Driver& d) { d.form.txtExam_NO = "12.5"; },  // halves to even: 12
        [](Driver& d) { d.form.txtExam_NO = " 9 "; },  [](Driver& d) { d.AddGroup("0", "1"); },
        [](Driver& d) { d.AddGroup("2", "26"); },
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        Open();
        cases[i](*this);
        ExpectAccepted();
    }
}

TEST_F(Driver, EachLayoutGetsItsPageAndTheCommonSettings) {
    struct Case {
        std::string layout;
        Orientation orientation;
        double width, height, top;
        int lines;
    };
    const std::vector<Case> cases = {
        {"A3三栏", Orientation::Landscape, 42, 29.7, 1, 48},
        {"A3双栏", Orientation::Landscape, 42, 29.7, 1, 48},
        {"8开三栏", Orientation::Landscape, 38.8, 26.8, 1, 45},
        {"8开双栏", Orientation::Landscape, 38.8, 26.8, 1, 45},
        {"A4单栏", Orientation::Portrait, 21, 29.7, 1.8, 48},
        {"B5单栏", Orientation::Portrait, 18.2, 25.7, 1.8, 42},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layout);
        Open();
        form.cmbPage = c.layout;
        app.view.showParagraphs = true;
        host::Document* doc = settings::OKButton_Click(app, form);
        ASSERT_NE(doc, nullptr);
        const host::PageSetup& p = doc->pageSetup;
        EXPECT_EQ(p.orientation, c.orientation);
        EXPECT_DOUBLE_EQ(p.pageWidth, CentimetersToPoints(c.width));
        EXPECT_DOUBLE_EQ(p.pageHeight, CentimetersToPoints(c.height));
        EXPECT_DOUBLE_EQ(p.topMargin, CentimetersToPoints(c.top));
        EXPECT_EQ(p.linesPage, c.lines);

        EXPECT_DOUBLE_EQ(p.bottomMargin, CentimetersToPoints(1));
        EXPECT_DOUBLE_EQ(p.leftMargin, CentimetersToPoints(1));
        EXPECT_DOUBLE_EQ(p.rightMargin, CentimetersToPoints(1));
        EXPECT_EQ(p.gutter, 0);
        EXPECT_EQ(p.gutterPos, 0);
        EXPECT_EQ(p.paperSize, 41);
        EXPECT_EQ(p.layoutMode, 2);
        EXPECT_EQ(p.sectionStart, 2);
        EXPECT_FALSE(p.differentFirstPageHeaderFooter);
        EXPECT_EQ(p.headerDistance, 0);
        EXPECT_EQ(p.footerDistance, 0);
        EXPECT_EQ(p.verticalAlignment, 0);
        EXPECT_EQ(p.textColumns, 1);
        EXPECT_TRUE(doc->embedTrueTypeFonts);
        EXPECT_TRUE(doc->doNotEmbedSystemFonts);
        EXPECT_FALSE(doc->saved);
        EXPECT_FALSE(app.view.showParagraphs);
        EXPECT_EQ(app.ActiveDocument(), doc);
    }
}

TEST_F(Driver, ToolsAreEnabledOnEveryBarNamedVareloAndTheDialogUnloads) {
    host::CommandBar& first = AddBar("Varelo");
    host::CommandBar& other = AddBar("Standard");
    host::CommandBar& second = AddBar("Varelo");
    first.Control(1).enabled = false;  // the settings button is not the driver's to touch
    host::CommandBar& shortBar = app.commandBars.Add("Varelo", true);
    shortBar.AddControl(host::kControlButton);
    shortBar.AddControl(host::kControlButton).enabled = false;
    int notified = 0;
    app.commandBars.observers.push_back([&] { ++notified; });

    ExpectAccepted();
    EXPECT_EQ(Enabled(first), (std::vector<bool>{false, true, true, true, true, true}));
    EXPECT_EQ(Enabled(second), (std::vector<bool>(6, true)));
    EXPECT_EQ(Enabled(other), (std::vector<bool>{true, false, false, false, false, false}));
    EXPECT_EQ(Enabled(shortBar), (std::vector<bool>{true, true}));
    EXPECT_GE(notified, 1);
    EXPECT_FALSE(form.visible);
}

TEST_F(Driver, GeneratingAgainClosesTheFirstSheetAndRestartsItemNumbers) {
    std::vector<std::string> closed;
    app.documentBeforeClose.push_back([&](host::Document& d, bool&) { closed.push_back(d.name); });
    ExpectAccepted();
    const std::string firstName = app.ActiveDocument()->name;

    Open();
    ExpectAccepted();
    EXPECT_EQ(closed, std::vector<std::string>{firstName});
    ASSERT_EQ(app.DocumentCount(), 1);
    EXPECT_NE(app.Documents(1).name, firstName);
}

TEST_F(Driver, ADocumentKeptOpenDoesNotStopTheNewSheet) {
    app.AddDocument().saved = false;
    app.askToSave = [](host::Document&) { return host::SaveChoice::Cancel; };
    ExpectAccepted();
    EXPECT_EQ(app.DocumentCount(), 2);
}

TEST_F(Driver, OnlyEightKaiThreeColumnsLetsTheHostProcessEvents) {
    int events = 0;
    app.processPendingEvents = [&] { ++events; };
    for (const char* layout : {"A3三栏", "A3双栏", "8开三栏", "8开双栏", "A4单栏", "B5单栏"}) {
        SCOPED_TRACE(layout);
        Open();
        form.cmbPage = layout;
        events = 0;
        ExpectAccepted();
        EXPECT_EQ(events, std::string(layout) == "8开三栏" ? 3 : 0);
    }
}

// The largest single group of four-option items that fits each layout, and one more item:
// the blocks fill every page column of both pages, and the page numbers survive.
TEST_F(Driver, ObjectiveSectionMustFitBothPages) {
    struct Case {
        std::string layout;
        int largest;
    };
    const std::vector<Case> cases = {
        {"A3三栏", 840},  {"A3双栏", 925}, {"8开三栏", 555},
        {"8开双栏", 660}, {"A4单栏", 320}, {"B5单栏", 240},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layout);
        Open();
        form.cmbPage = c.layout;
        AddGroup(std::to_string(c.largest), "4");
        app.messages.clear();
        host::Document* doc = settings::OKButton_Click(app, form);
        ASSERT_NE(doc, nullptr);
        EXPECT_TRUE(app.messages.empty());
        EXPECT_TRUE(GridHolds(*doc, std::to_string(c.largest)));
        EXPECT_FALSE(GridHolds(*doc, std::to_string(c.largest + 1)));
        const exam::Layout paper = *exam::ParseLayout(c.layout);
        for (int page = 1; page <= 2; ++page) {
            const auto [row, column] = layout::PageNumberBlock(paper, page);
            EXPECT_EQ(doc->Tables(1).At(row, column).Text(), std::to_string(page));
        }

        Open();
        form.cmbPage = c.layout;
        AddGroup(std::to_string(c.largest + 1), "4");
        ExpectRefused("客观题太多，答题卡中放不下");
    }
}

// A3三栏: the first page column holds six blocks of 4-option items, the last ending on row 64.
// A seventh block goes to the top of the next column; a next group's heading goes with it.
TEST_F(Driver, ABlockThatDoesNotFitStartsTheNextPageColumnWithItsHeading) {
    form.cmbPage = "A3三栏";
    AddGroup("91", "4");
    ExpectAccepted();
    const host::Table& one = app.ActiveDocument()->Tables(1);
    EXPECT_EQ(one.At(60, 20).Text(), "90");
    EXPECT_EQ(one.At(64, 20).Text(), "D");
    EXPECT_EQ(one.At(1, 24).Text(), "91");
    EXPECT_TRUE(one.HorizontalEdge(65, 3).Visible());  // the frame of each column's part
    EXPECT_TRUE(one.HorizontalEdge(1, 23).Visible());
    EXPECT_EQ(one.At(1, 3).Text(), "");  // no second heading

    Open();
    form.cmbPage = "A3三栏";
    AddGroup("90", "4");
    AddGroup("1", "4");
    ExpectAccepted();
    const host::Table& two = app.ActiveDocument()->Tables(1);
    EXPECT_EQ(two.At(65, 3).Text(), "");
    EXPECT_EQ(two.At(1, 23).Text(), "二、选择题 （每小题1分共1分）");
    EXPECT_EQ(two.At(2, 24).Text(), "91");
}

TEST_F(Driver, OptionTypesAndLongHeadingsAreCheckedBeforeAnythingIsMade) {
    struct Case {
        std::string name, options;
        int type;
        std::string refusal;  // empty: accepted
    };
    const std::vector<Case> cases = {
        {"排序", "9", 1, ""},
        {"排序", "10", 1, "选项类型为数字时，选项数不能超过9"},
        {"判断", "2", 2, ""},
        {"判断", "3", 2, "判断题的选项数必须是2"},
        {"阅读理解选择题第一部分第二节", "4", 0, ""},  // wider than its 11 cells: the box holds it
        {"阅读理解选择题第一部分第二节阅读理解选择题第一部分", "4", 0,
         "客观题“阅读理解选择题第一部分第二节阅读理解选择题第一部分”的标题太长，答题卡中放不下"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + " " + c.options);
        Open();
        form.cmbPage = "A3三栏";
        form.txtQuestion = c.name;
        form.optOption = c.type;
        AddGroup("10", c.options);
        if (c.refusal.empty())
            ExpectAccepted();
        else
            ExpectRefused(c.refusal);
    }
    // The accepted long heading spans the whole box, points and all.
    Open();
    form.cmbPage = "A3三栏";
    form.txtQuestion = "阅读理解选择题第一部分第二节";
    AddGroup("10", "4");
    ExpectAccepted();
    const host::Table& grid = app.ActiveDocument()->Tables(1);
    EXPECT_EQ(grid.CellArea(29, 3), (host::CellRect{29, 3, 29, 21}));
    EXPECT_EQ(grid.At(29, 3).Text(), "一、阅读理解选择题第一部分第二节 （每小题1分共10分）");
}

TEST_F(Driver, ObjectiveSectionIsBuiltOnlyWhenTheListHoldsAGroup) {
    ExpectAccepted();
    EXPECT_FALSE(GridHolds(*app.ActiveDocument(), "30"));

    Open();
    settings::cmdAdd_Click(app, form);
    ExpectAccepted();
    EXPECT_TRUE(GridHolds(*app.ActiveDocument(), "30"));
}
