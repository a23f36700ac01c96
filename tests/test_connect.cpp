#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "app/desk/addin/connect.h"
#include "dialog_sheet.h"

using namespace varelo;
using host::Application;
using host::CommandBar;
using host::Connect;

namespace {

const std::string kResources = VARELO_SOURCE_DIR "/resources";

CommandBar& AddPlainBar(Application& app, int controls, bool enabled) {
    CommandBar& bar = app.commandBars.Add("Varelo", true);
    for (int i = 0; i < controls; ++i) bar.AddControl(host::kControlButton).enabled = enabled;
    return bar;
}

std::vector<bool> ToolStates(CommandBar& bar) {
    std::vector<bool> states;
    for (int i = 2; i <= 6; ++i) states.push_back(bar.Control(i).enabled);
    return states;
}

const std::vector<bool> kAllOn(5, true), kAllOff(5, false);

// An add-in folder holding only the files asked for.
struct AddinFolder {
    std::filesystem::path path;
    explicit AddinFolder(std::initializer_list<const char*> files) {
        path = std::filesystem::temp_directory_path() /
               ("varelo-connect-" + std::to_string(reinterpret_cast<uintptr_t>(this)));
        std::filesystem::create_directories(path);
        for (const char* f : files) std::filesystem::copy_file(kResources + "/" + f, path / f);
    }
    ~AddinFolder() { std::filesystem::remove_all(path); }
};

}  // namespace

TEST(Connect, FreshConnectionBuildsTheBarWithSettingsEnabledAndToolsDisabled) {
    Application app;
    Connect connect(kResources);
    connect.OnConnection(app);

    ASSERT_EQ(app.commandBars.Count(), 1);
    CommandBar& bar = app.commandBars.Item(1);
    EXPECT_EQ(bar.name, "Varelo");
    EXPECT_TRUE(bar.temporary);
    EXPECT_EQ(bar.position, host::kBarTop);
    EXPECT_TRUE(bar.visible);
    EXPECT_TRUE(app.messages.empty());

    struct Expected {
        host::CommandBarControl* member;
        const char *parameter, *caption, *tooltip;
        int style, width;
        bool enabled;
    };
    const Expected expected[] = {
        {connect.cbbButton, "设置", "设置&S", "对要生成的答题卡进行设置", 3, 24, true},
        {connect.cbbBox, "方框", "方框&B", "画出选定区域的边框", 2, 24, false},
        {connect.cbbLine, "直线", "直线&L", "画出选定区域的下边框", 2, 24, false},
        {connect.cbbZuwen, "作文稿纸", "作文&C", "制作作文稿纸", 2, 0, false},
        {connect.cbbHebing, "合并单元格", "合并单元格&M", "将选中区域合并为单元格", 2, 0, false},
        {connect.cbbGrid, "显示（隐藏）线框", "网格&G", "显示或隐藏虚线框", 2, 0, false},
    };
    ASSERT_EQ(bar.controls.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i + 1);
        const auto& c = bar.Control(i + 1);
        EXPECT_EQ(expected[i].member, &c);
        EXPECT_EQ(c.type, host::kControlButton);
        EXPECT_EQ(c.parameter, expected[i].parameter);
        EXPECT_EQ(c.caption, expected[i].caption);
        EXPECT_EQ(c.tooltipText, expected[i].tooltip);
        EXPECT_EQ(c.style, expected[i].style);
        EXPECT_EQ(c.width, expected[i].width);
        EXPECT_EQ(c.enabled, expected[i].enabled);
        EXPECT_EQ(c.beginGroup, i == 0);
        EXPECT_EQ(c.picture.Empty(), i != 0);
        EXPECT_EQ(c.mask.Empty(), i != 0);
    }
}

TEST(Connect, ButtonsRunTheirHandlersOnlyWhileEnabledAndConnected) {
    Application app;
    int settings = 0, box = 0, grid = 0;
    auto connect = std::make_unique<Connect>(kResources);
    connect->showSettings = [&](Application& a) {
        EXPECT_EQ(&a, &app);
        ++settings;
    };
    connect->boxTool = [&](Application&, bool&) { ++box; };
    connect->gridTool = [&](Application&, bool&) { ++grid; };
    connect->OnConnection(app);
    CommandBar& bar = app.commandBars.Named("Varelo");

    bar.Control(1).Click();
    bar.Control(2).Click();  // disabled: nothing runs
    EXPECT_EQ(settings, 1);
    EXPECT_EQ(box, 0);
    bar.Control(2).enabled = bar.Control(6).enabled = true;
    bar.Control(2).Click();
    bar.Control(6).Click();
    bar.Control(3).enabled = true;
    bar.Control(3).Click();  // no line tool supplied: nothing happens
    EXPECT_EQ(box, 1);
    EXPECT_EQ(grid, 1);

    // An add-in that is gone while its bar stays must not be reached through the bar.
    connect.reset();
    bar.Control(1).Click();
    bar.Control(2).Click();
    EXPECT_EQ(settings, 1);
    EXPECT_EQ(box, 1);
    // The close handler it registered is inert too.
    app.CloseDocument(app.AddDocument());
}

TEST(Connect, ReconnectingReusesTheBarAsItIs) {
    Application app;
    Connect first(kResources);
    first.OnConnection(app);
    CommandBar& bar = app.commandBars.Named("Varelo");
    bar.visible = false;
    bar.Control(2).enabled = bar.Control(5).enabled = true;

    Connect second(kResources);
    int opened = 0;
    second.showSettings = [&](Application&) { ++opened; };
    second.OnConnection(app);

    EXPECT_EQ(app.commandBars.Count(), 1);
    EXPECT_EQ(bar.controls.size(), 6u);
    EXPECT_TRUE(bar.visible);
    EXPECT_EQ(ToolStates(bar), (std::vector<bool>{true, false, false, true, false}));
    EXPECT_EQ(second.cbbButton, &bar.Control(1));
    EXPECT_EQ(second.cbbGrid, &bar.Control(6));
    bar.Control(1).Click();
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(app.messages.empty());
}

TEST(Connect, MissingBitmapIsReportedOnceAndLeavesThePartBarHidden) {
    for (const char* present : {"vko.bmp", "mask.bmp"}) {
        SCOPED_TRACE(present);
        AddinFolder folder{present};
        const std::string missing = std::string(present) == "vko.bmp" ? "mask.bmp" : "vko.bmp";
        Application app;
        Connect connect(folder.path.string());
        connect.OnConnection(app);

        ASSERT_EQ(app.messages.size(), 1u);
        EXPECT_EQ(app.messages[0], "53\r\nFile not found: " + (folder.path / missing).string());
        EXPECT_EQ(connect.wdApp, &app);
        CommandBar& bar = app.commandBars.Named("Varelo");
        EXPECT_FALSE(bar.visible);
        ASSERT_EQ(bar.controls.size(), 1u);
        EXPECT_EQ(bar.Control(1).parameter, "设置");
        EXPECT_TRUE(bar.Control(1).caption.empty());

        // Closing a document with the short bar in place must still work.
        EXPECT_TRUE(app.CloseDocument(app.AddDocument()));
        connect.OnDisconnection();
        EXPECT_EQ(app.commandBars.Count(), 0);
    }
}

TEST(Connect, ReusedBarWithTooFewControlsIsReportedNotThrown) {
    Application app;
    AddPlainBar(app, 3, true);
    Connect connect(kResources);
    EXPECT_NO_THROW(connect.OnConnection(app));
    ASSERT_EQ(app.messages.size(), 1u);
    EXPECT_EQ(app.messages[0].substr(0, 6), "5941\r\n");
    EXPECT_TRUE(app.commandBars.Item(1).visible);
}

TEST(Connect, DisconnectionAlwaysDropsTheReferences) {
    Application app;
    Connect connect(kResources);
    connect.OnConnection(app);
    connect.OnDisconnection();
    EXPECT_EQ(app.commandBars.Count(), 0);

    // Reconnect, then lose the bar before disconnecting: no error, references still cleared.
    connect.OnConnection(app);
    app.commandBars.Delete("Varelo");
    EXPECT_NO_THROW(connect.OnDisconnection());
    EXPECT_EQ(connect.application, nullptr);
    EXPECT_EQ(connect.wdApp, nullptr);
    for (auto* member : {connect.cbbButton, connect.cbbBox, connect.cbbLine, connect.cbbZuwen,
                         connect.cbbHebing, connect.cbbGrid})
        EXPECT_EQ(member, nullptr);
}

// The host enables the tools while a sheet is its active document; a close, which may be
// cancelled or leave another sheet showing, is not the add-in's to act on.
TEST(Connect, ClosingADocumentLeavesTheToolsAsTheyAre) {
    Application app;
    Connect connect(kResources);
    connect.OnConnection(app);
    CommandBar& first = app.commandBars.Named("Varelo");
    for (int i = 2; i <= 6; ++i) first.Control(i).enabled = true;
    host::Document& unrelated = app.AddDocument();
    app.AddDocument();
    EXPECT_TRUE(app.CloseDocument(unrelated));
    EXPECT_EQ(ToolStates(first), kAllOn);
    EXPECT_TRUE(first.Control(1).enabled);
}

TEST(Connect, GenerationEnablesTheToolsOfEveryVareloBar) {
    Application app;
    Connect connect(kResources);
    connect.OnConnection(app);
    CommandBar& first = app.commandBars.Named("Varelo");
    CommandBar& second = AddPlainBar(app, 6, false);
    second.Control(1).enabled = false;
    app.AddDocument();

    settings::SheetForm form;
    fixture::OpenSettings(form, "A3三栏");
    ASSERT_NE(settings::OKButton_Click(app, form), nullptr);

    EXPECT_EQ(app.DocumentCount(), 1);
    EXPECT_EQ(ToolStates(first), kAllOn);
    EXPECT_EQ(ToolStates(second), kAllOn);
    EXPECT_FALSE(second.Control(1).enabled);  // the driver never touches the settings button
}
