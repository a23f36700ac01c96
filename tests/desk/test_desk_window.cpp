#include <QAbstractButton>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QToolBar>
#include <filesystem>

#include "app/desk/addin/registration.h"
#include "desk_harness.h"
#include "page_view.h"
#include "render/page_renderer.h"
#include "temp_dir.h"

using namespace desk_harness;
using varelo::desk::SettingsDialog;
namespace host = varelo::host;
using varelo::testing::TempDir;

namespace {

const std::vector<bool> kOn(5, true), kOff(5, false);

// The centre of a cell of the page grid, in the view's viewport.
QPoint CellPoint(varelo::desk::PageView& view, const host::Document& doc, int row, int column) {
    const varelo::render::PageRenderer renderer(doc);
    for (int page = 0; page < renderer.PageCount(); ++page) {
        const auto rects = renderer.CellRects(page, doc.Tables(1), {row, column, row, column});
        if (!rects.empty())
            return (view.PageRect(page).topLeft() + rects.front().center() * view.Zoom()).toPoint();
    }
    ADD_FAILURE() << "cell " << row << "," << column << " is on no page";
    return {};
}

void Mouse(QWidget* target, QEvent::Type type, QPoint at, Qt::KeyboardModifiers mods = {}) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, at, target->mapToGlobal(at), button, held, mods);
    QApplication::sendEvent(target, &e);
}

}  // namespace

TEST(DeskWindow, FreshStartRegistersTheAddInAndShowsItsBar) {
    App();
    const TempDir tmp("varelo-desk-window");
    const std::string record = (tmp.path() / "varelo" / "addins.json").string();  // no folder yet

    varelo::desk::MainWindow window(VARELO_RESOURCES_DIR);
    window.LoadAddIns(record);
    ASSERT_NE(window.AddIn(), nullptr);
    EXPECT_EQ(host::FindAddIn(host::ReadAddIns(record), "VekoTest.Connect")->loadBehavior, 3);

    host::CommandBar& bar = window.App().commandBars.Named("Varelo");
    QToolBar* toolbar = window.ToolBarFor(bar);
    ASSERT_NE(toolbar, nullptr);
    EXPECT_EQ(window.toolBarArea(toolbar), Qt::TopToolBarArea);
    EXPECT_FALSE(toolbar->isHidden());
    const char* texts[] = {"设置(&S)", "方框(&B)",       "直线(&L)",
                           "作文(&C)", "合并单元格(&M)", "网格(&G)"};
    for (int i = 1; i <= 6; ++i) {
        SCOPED_TRACE(i);
        QAction* a = window.ActionFor(bar.Control(i));
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->text(), QString::fromUtf8(texts[i - 1]));
        EXPECT_EQ(a->toolTip().toStdString(), bar.Control(i).tooltipText);
        EXPECT_EQ(a->isEnabled(), i == 1);
        EXPECT_EQ(a->icon().isNull(), i != 1);
    }
    EXPECT_EQ(window.ActionFor(bar.Control(1))->shortcut(), QKeySequence(Qt::ALT | Qt::Key_S));
    // The mask makes the icon's corners transparent.
    const QImage icon = window.ActionFor(bar.Control(1))->icon().pixmap(16, 16).toImage();
    EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(icon.pixel(8, 8)), 255);

    // Unregistered, the add-in no longer loads.
    window.DisconnectAddIn();
    EXPECT_EQ(window.ToolBarFor(bar), nullptr);  // the bar went with the add-in
    host::AddInRecord off = host::VareloAddIn();
    off.loadBehavior = host::kLoadNever;
    host::WriteAddIn(record, off);
    varelo::desk::MainWindow second(VARELO_RESOURCES_DIR);
    second.LoadAddIns(record);
    EXPECT_EQ(second.AddIn(), nullptr);
    EXPECT_EQ(second.App().commandBars.Count(), 0);
}

// An add-in folder without its mask: the start-up shows the error number and description on
// two lines, and the add-in is still connected with its bar left hidden as far as it was built.
TEST(DeskWindow, MissingMaskIsReportedAtStartUpAndTheAddInStillConnects) {
    App();
    const TempDir tmp("varelo-desk-no-mask");
    const std::filesystem::path& dir = tmp.path();
    std::filesystem::copy_file(std::filesystem::path(VARELO_RESOURCES_DIR) / "vko.bmp",
                               dir / "vko.bmp");

    varelo::desk::MainWindow window(dir.string());
    std::vector<std::string> shown;
    window.App().messageSink = [&](const std::string& m) { shown.push_back(m); };
    window.LoadAddIns((dir / "addins.json").string());
    ASSERT_NE(window.AddIn(), nullptr);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].rfind("53\r\n", 0), 0u) << shown[0];
    EXPECT_NE(shown[0].find("mask.bmp"), std::string::npos);
    const host::CommandBar* bar = window.App().commandBars.Find("Varelo");
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(bar->visible);
    EXPECT_EQ(bar->controls.size(), 1u);
}

TEST(DeskWindow, OkGeneratesTheExampleSheetAndTheToolsFollowTheActiveSheet) {
    Desk desk;
    host::Document* sheet = desk.window->GenerateExampleSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(desk.app().ActiveDocument(), sheet);
    EXPECT_EQ(desk.window->View()->PageCount(), 2);
    EXPECT_GT(sheet->pageSetup.pageWidth, sheet->pageSetup.pageHeight);
    EXPECT_EQ(desk.toolsEnabled(), kOn);
    EXPECT_TRUE(desk.messages.empty());

    // An unrelated document closes: the sheet shows again, with its tools.
    desk.app().AddDocument();
    EXPECT_EQ(desk.toolsEnabled(), kOff);
    EXPECT_TRUE(desk.window->CloseDocument());
    EXPECT_EQ(desk.toolsEnabled(), kOn);
    EXPECT_TRUE(desk.action(1)->isEnabled());

    // Generating again closes the modified sheet, asking about it first.
    sheet->saved = false;
    const std::string name = sheet->name;
    ASSERT_NE(desk.window->GenerateExampleSheet(), nullptr);
    EXPECT_EQ(desk.askedToSave, (std::vector<std::string>{name}));
    EXPECT_EQ(desk.app().DocumentCount(), 1);
    EXPECT_EQ(desk.toolsEnabled(), kOn);

    // Keeping a modified sheet open keeps its tools; closing the last sheet turns them off.
    desk.app().ActiveDocument()->saved = false;
    desk.answer = host::SaveChoice::Cancel;
    EXPECT_FALSE(desk.window->CloseDocument());
    EXPECT_EQ(desk.app().DocumentCount(), 1);
    EXPECT_EQ(desk.toolsEnabled(), kOn);
    desk.answer = host::SaveChoice::DontSave;
    EXPECT_TRUE(desk.window->CloseDocument());
    EXPECT_EQ(desk.toolsEnabled(), kOff);
}

TEST(DeskWindow, EightKaiThreeColumnsHidesTheDialogAndRepaintsBetweenGenerators) {
    Desk desk;
    int yields = 0;
    bool dialogHidden = true;
    const auto windowYield = desk.app().processPendingEvents;
    desk.app().processPendingEvents = [&] {
        ++yields;
        if (auto* d = desk.window->findChild<SettingsDialog*>()) dialogHidden &= !d->isVisible();
        windowYield();
    };
    WhenDialogOpens([](SettingsDialog& d) {  // the defaults: "8开三栏"
        Child<QAbstractButton>(d, "cmdAdd")->click();
        Child<QAbstractButton>(d, "OKButton")->click();
    });
    desk.action(1)->trigger();
    EXPECT_EQ(yields, 3);
    EXPECT_TRUE(dialogHidden);
    ASSERT_EQ(desk.app().DocumentCount(), 1);
    EXPECT_EQ(desk.window->View()->PageCount(), 2);
    EXPECT_EQ(desk.toolsEnabled(), kOn);
}

TEST(DeskWindow, MouseSelectsCellRectanglesThatTheToolsActOn) {
    Desk desk;
    host::Document* sheet = desk.window->GenerateExampleSheet();
    ASSERT_NE(sheet, nullptr);
    auto& view = *desk.window->View();
    QWidget* viewport = view.viewport();
    host::Table& grid = sheet->Tables(1);
    const auto& selection = desk.app().selection;

    // Drag from (60, 30) to (62, 34).
    Mouse(viewport, QEvent::MouseButtonPress, CellPoint(view, *sheet, 60, 30));
    Mouse(viewport, QEvent::MouseMove, CellPoint(view, *sheet, 61, 32));
    Mouse(viewport, QEvent::MouseMove, CellPoint(view, *sheet, 62, 34));
    Mouse(viewport, QEvent::MouseButtonRelease, CellPoint(view, *sheet, 62, 34));
    ASSERT_EQ(selection.GetTable(), &grid);
    EXPECT_EQ(selection.Rect(), (host::CellRect{60, 30, 62, 34}));

    // Shift-click extends from where the selection started, also upwards and leftwards.
    Mouse(viewport, QEvent::MouseButtonPress, CellPoint(view, *sheet, 58, 28), Qt::ShiftModifier);
    Mouse(viewport, QEvent::MouseButtonRelease, CellPoint(view, *sheet, 58, 28), Qt::ShiftModifier);
    EXPECT_EQ(selection.Rect(), (host::CellRect{58, 28, 60, 30}));

    // The box tool frames exactly the selected block.
    desk.action(2)->trigger();
    EXPECT_TRUE(grid.HorizontalEdge(58, 29).Visible());
    EXPECT_TRUE(grid.HorizontalEdge(61, 29).Visible());
    EXPECT_FALSE(grid.HorizontalEdge(59, 29).Visible());
    EXPECT_TRUE(grid.VerticalEdge(59, 28).Visible());
    EXPECT_TRUE(grid.VerticalEdge(59, 31).Visible());
    view.grab();  // the changed sheet paints

    // A plain click selects one cell, which the merge tool refuses with its message.
    Mouse(viewport, QEvent::MouseButtonPress, CellPoint(view, *sheet, 70, 40));
    EXPECT_EQ(selection.Rect(), (host::CellRect{70, 40, 70, 40}));
    desk.action(5)->trigger();
    EXPECT_EQ(desk.messages, (std::vector<std::string>{"请先选择要合并的区域"}));

    // A click on no cell drops the selection.
    Mouse(viewport, QEvent::MouseButtonPress, QPoint(2, 2));
    EXPECT_FALSE(selection.InTable());
}

// Column 2 is one cell 130 rows high: a drag that takes in rows 70-80 of it is not grown to
// the whole page, and the box leaves rows 1-69 as they were.
TEST(DeskWindow, ADragAcrossATallCellIsNotGrownAndMergingMarksAsksFirst) {
    Desk desk;
    host::Document* sheet = desk.window->GenerateExampleSheet();
    ASSERT_NE(sheet, nullptr);
    auto& view = *desk.window->View();
    QWidget* viewport = view.viewport();
    host::Table& grid = sheet->Tables(1);
    const host::Table before = grid;
    // A slot of the tall cell: its column's x, the row's y taken from the cell beside it.
    const auto slot = [&](int row, int column, int beside) {
        return QPoint(CellPoint(view, *sheet, row, column).x(),
                      CellPoint(view, *sheet, row, beside).y());
    };
    Mouse(viewport, QEvent::MouseButtonPress, slot(70, 2, 3));
    Mouse(viewport, QEvent::MouseMove, CellPoint(view, *sheet, 80, 21));
    Mouse(viewport, QEvent::MouseButtonRelease, CellPoint(view, *sheet, 80, 21));
    EXPECT_EQ(desk.app().selection.Rect(), (host::CellRect{70, 2, 80, 21}));
    desk.action(2)->trigger();  // 方框
    for (int r = 2; r <= 69; ++r)
        for (int c = 3; c <= 21; ++c)
            ASSERT_EQ(grid.HorizontalEdge(r, c), before.HorizontalEdge(r, c)) << r << "," << c;
    EXPECT_TRUE(grid.HorizontalEdge(81, 10).Visible());
    EXPECT_FALSE(grid.HorizontalEdge(75, 10).Visible());

    // Rows 1-2 of column 1 hold a positioning mark: merging them asks, and No keeps them.
    Mouse(viewport, QEvent::MouseButtonPress, CellPoint(view, *sheet, 1, 1));
    Mouse(viewport, QEvent::MouseButtonPress, CellPoint(view, *sheet, 2, 1), Qt::ShiftModifier);
    EXPECT_EQ(desk.app().selection.Rect(), (host::CellRect{1, 1, 2, 1}));
    const host::Document boxed = *sheet;
    desk.action(5)->trigger();  // 合并单元格
    EXPECT_EQ(desk.asked.size(), 1u);
    EXPECT_TRUE(*sheet == boxed);
    desk.yes = true;
    desk.action(5)->trigger();
    EXPECT_EQ(grid.CellArea(2, 1), (host::CellRect{1, 1, 2, 1}));
    EXPECT_TRUE(desk.messages.empty());
}

TEST(DeskWindow, MessagesAreOkOnlyBoxesWithoutATitle) {
    App();
    varelo::desk::MainWindow window(VARELO_RESOURCES_DIR);
    window.show();
    QString title = QStringLiteral("unset"), text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon = QMessageBox::Information;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            icon = box->icon();
            title = box->windowTitle();
            text = box->text();
            buttons = box->standardButtons();
            box->accept();
        }
    });
    window.App().ShowMessage("53\r\nFile not found: /x/mask.bmp");
    EXPECT_EQ(title, QString());
    EXPECT_EQ(text, QStringLiteral("53\nFile not found: /x/mask.bmp"));
    EXPECT_EQ(buttons, QMessageBox::Ok);
    EXPECT_EQ(icon, QMessageBox::NoIcon);
}
