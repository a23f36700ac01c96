// File > Open reads a saved sheet back into the window, refusing anything else without changing
// what is open; Ctrl+Z takes back the editing tools one click at a time.
#include <QAction>
#include <QTest>
#include <filesystem>
#include <map>
#include <string>

#include "desk_harness.h"
#include "dialog_sheet.h"
#include "docx/writer.h"
#include "docx/xml.h"
#include "docx/zip.h"
#include "page_view.h"
#include "temp_dir.h"

using namespace desk_harness;
namespace fs = std::filesystem;
namespace host = varelo::host;
using varelo::testing::TempDir;

namespace {

const std::vector<bool> kOn(5, true), kOff(5, false);

// A file of these bytes in the folder, by the path the window's File > Open is given.
QString Written(const TempDir& tmp, const std::string& name, const std::string& bytes) {
    return QString::fromStdString(tmp.Write(name, bytes).string());
}

// The bytes of an A3三栏 sheet made by the settings dialog's OK path.
std::string SheetBytes() {
    const varelo::fixture::DialogSheet sheet("A3三栏");
    return sheet.doc ? host::DocxBytes(*sheet.doc) : std::string();
}

void PressCtrlZ(varelo::desk::MainWindow& window) {
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier);
}

}  // namespace

TEST(DeskOpen, DamagedOrForeignFilesAreRefusedWithOneMessageAndNothingChanges) {
    const TempDir tmp("varelo-open");
    const std::string good = SheetBytes();
    ASSERT_FALSE(good.empty());
    host::docx::ZipWriter foreign(1);
    foreign.Add("docProps/app.xml",
                "<Properties><Application>Microsoft Office Word</Application></Properties>");
    foreign.Add("word/document.xml", "<w:document/>");
    const std::map<std::string, QString> files = {
        {"truncated zip", Written(tmp, "truncated.docx", good.substr(0, good.size() / 2))},
        {"another program's .docx", Written(tmp, "foreign.docx", foreign.Finish())},
        {"random bytes", Written(tmp, "random.docx", std::string(5000, '\xa7'))},
        {"missing file", QString::fromStdString((tmp.path() / "missing.docx").string())},
        {"a folder", QString::fromStdString(tmp.path().string())},
    };

    Desk desk;
    for (bool withSheet : {false, true}) {
        if (withSheet) {
            ASSERT_NE(desk.window->GenerateExampleSheet(), nullptr);
        }
        const host::Document* active = desk.app().ActiveDocument();
        const int count = desk.app().DocumentCount();
        const std::vector<bool> tools = desk.toolsEnabled();
        const QString title = desk.window->windowTitle();
        for (const auto& [what, path] : files) {
            SCOPED_TRACE(what);
            desk.messages.clear();
            EXPECT_FALSE(desk.window->OpenFile(path));
            ASSERT_EQ(desk.messages.size(), 1u);
            EXPECT_EQ(desk.messages[0].rfind("无法打开文件：", 0), 0u) << desk.messages[0];
            EXPECT_EQ(desk.app().DocumentCount(), count);
            EXPECT_EQ(desk.app().ActiveDocument(), active);
            EXPECT_EQ(desk.toolsEnabled(), tools);
            EXPECT_EQ(desk.window->windowTitle(), title);
        }
    }
}

TEST(DeskOpen, ADocumentWithWhatCannotBeKeptOpensReadOnlyAndSaysWhatAtOnce) {
    const TempDir tmp("varelo-open");
    const std::string w = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
    host::docx::ZipWriter zip(1);
    zip.Add("_rels/.rels",
            "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
            "relationships\"><Relationship Id=\"r\" Type=\"" +
                std::string(host::docx::kRelOfficeDocument) +
                "\" Target=\"word/document.xml\"/></Relationships>");
    zip.Add("word/document.xml", "<w:document xmlns:w=\"" + w +
                                     "\"><w:body><w:p><w:r><w:drawing/><w:t>x</w:t></w:r></w:p>"
                                     "<w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/></w:sectPr>"
                                     "</w:body></w:document>");
    Desk desk;
    ASSERT_TRUE(desk.window->OpenFile(Written(tmp, "picture.docx", zip.Finish())));
    ASSERT_EQ(desk.messages.size(), 1u);
    EXPECT_NE(desk.messages[0].find("以只读方式打开"), std::string::npos) << desk.messages[0];
    EXPECT_NE(desk.messages[0].find("（图片或文本框）"), std::string::npos);
    EXPECT_TRUE(desk.app().ActiveDocument()->ReadOnly());
}

TEST(DeskOpen, ASavedSheetOpensAsTheActiveDocumentWithItsToolsOn) {
    const TempDir tmp("varelo-open");
    const QString path = Written(tmp, "期末.docx", SheetBytes());
    Desk desk;
    EXPECT_EQ(desk.toolsEnabled(), kOff);
    ASSERT_TRUE(desk.window->OpenFile(path));
    EXPECT_TRUE(desk.messages.empty());
    ASSERT_EQ(desk.app().DocumentCount(), 1);
    host::Document* doc = desk.app().ActiveDocument();
    EXPECT_EQ(doc->name, "期末.docx");
    EXPECT_TRUE(doc->saved);
    EXPECT_EQ(desk.window->View()->PageCount(), 2);
    EXPECT_EQ(desk.toolsEnabled(), kOn);  // the sheet is to be finished: the tools come on
    EXPECT_TRUE(desk.window->windowTitle().startsWith(QStringLiteral("期末.docx")));

    // Opening it again shows the copy that is open rather than a second one.
    desk.app().AddDocument();
    ASSERT_TRUE(desk.window->OpenFile(path));
    EXPECT_EQ(desk.app().DocumentCount(), 2);
    EXPECT_EQ(desk.app().ActiveDocument(), doc);
}

TEST(DeskUndo, CtrlZTakesBackEachToolThatChangedTheSheet) {
    const TempDir tmp("varelo-open");
    Desk desk;
    ASSERT_TRUE(desk.window->OpenFile(Written(tmp, "sheet.docx", SheetBytes())));
    host::Document& doc = *desk.app().ActiveDocument();
    host::Table* grid = &doc.Tables(1);
    auto select = [&](const host::CellRect& r) { desk.app().selection.SelectCells(*grid, r); };
    EXPECT_FALSE(desk.window->CanUndo());

    const host::Document opened = doc;
    const host::CellRect box{70, 3, 75, 10};
    select(box);
    desk.action(2)->trigger();  // 方框
    ASSERT_TRUE(grid->HorizontalEdge(70, 5).Visible());
    const host::Document boxed = doc;
    select({80, 3, 100, 15});
    desk.action(4)->trigger();  // 作文
    ASSERT_TRUE(grid->At(80, 3).content.front().IsTable());
    select({102, 3, 102, 3});
    desk.action(5)->trigger();  // 合并单元格 refuses one cell: nothing to take back
    EXPECT_EQ(desk.messages, std::vector<std::string>{"请先选择要合并的区域"});
    desk.action(6)->trigger();  // 网格 changes the view, not the sheet
    EXPECT_FALSE(desk.app().view.tableGridlines);

    PressCtrlZ(*desk.window);
    EXPECT_TRUE(doc == boxed);
    grid = &doc.Tables(1);
    EXPECT_FALSE(grid->At(80, 3).content.front().IsTable());
    EXPECT_EQ(desk.app().selection.GetTable(), grid);  // the selection before the tool is back
    EXPECT_EQ(desk.app().selection.Rect(), (host::CellRect{80, 3, 100, 15}));
    EXPECT_FALSE(desk.app().view.tableGridlines);
    desk.window->View()->grab();  // the restored sheet paints

    PressCtrlZ(*desk.window);
    EXPECT_TRUE(doc == opened);
    EXPECT_FALSE(doc.Tables(1).HorizontalEdge(70, 5).Visible());
    EXPECT_FALSE(doc.saved);  // as in the word processor, undoing is a change too
    EXPECT_EQ(doc.name, "sheet.docx");
    EXPECT_FALSE(desk.window->CanUndo());
    EXPECT_FALSE(desk.window->Undo());
}

TEST(DeskUndo, KeepsTwentyLevelsPerDocumentAndForgetsThemWhenItCloses) {
    Desk desk;
    host::Document* sheet = desk.window->GenerateExampleSheet();
    ASSERT_NE(sheet, nullptr);
    std::vector<host::Document> states{*sheet};
    for (int i = 0; i < 22; ++i) {
        desk.app().selection.SelectCells(sheet->Tables(1), {70 + i, 3, 70 + i, 10});
        desk.action(3)->trigger();  // 直线 under a new row each time
        states.push_back(*sheet);
    }
    for (int i = 21; i >= 2; --i) {
        ASSERT_TRUE(desk.window->Undo()) << i;
        EXPECT_TRUE(*sheet == states[static_cast<size_t>(i)]) << i;
    }
    EXPECT_FALSE(desk.window->Undo());
    EXPECT_TRUE(*sheet == states[2]);

    desk.action(3)->trigger();
    EXPECT_TRUE(desk.window->CanUndo());
    ASSERT_TRUE(desk.window->CloseDocument());
    EXPECT_FALSE(desk.window->CanUndo());
    EXPECT_FALSE(desk.window->findChild<QAction*>(QStringLiteral("undoAction"))->isEnabled());
}
