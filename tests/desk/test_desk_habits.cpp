// The window's everyday habits while a sheet is finished: tools that follow the active sheet,
// an in-place editor that shows what is typed, a larger size that keeps its lines apart,
// refusals that say why, the keyboard reaching
// the window's shortcuts from any box, quitting with several changed sheets, tools on a
// document that is not a sheet, a narrow window's toolbars, and a print server that does not
// answer.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <filesystem>

#include "cell_editor.h"
#include "desk_harness.h"
#include "doc/geometry.h"
#include "doc/page_layout.h"
#include "docx/writer.h"
#include "format_bar.h"
#include "page_view.h"
#include "render/page_renderer.h"
#include "sheet_printer.h"
#include "temp_dir.h"

using namespace desk_harness;
namespace host = varelo::host;
using varelo::testing::TempDir;

namespace {

const std::vector<bool> kOn(5, true), kOff(5, false);

void Activate(QWidget& window) {
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

}  // namespace

TEST(DeskHabits, TheToolsAreOnExactlyWhileASheetIsTheActiveDocument) {
    Desk desk;
    host::Document* sheet = desk.window->GenerateExampleSheet();
    ASSERT_NE(sheet, nullptr);
    sheet->saved = false;

    // 取消 on the close question: the sheet stays, and so do its tools.
    desk.answer = host::SaveChoice::Cancel;
    EXPECT_FALSE(desk.window->CloseDocument());
    EXPECT_EQ(desk.toolsEnabled(), kOn);
    // 取消 while quitting: the same.
    EXPECT_FALSE(desk.window->close());
    EXPECT_EQ(desk.toolsEnabled(), kOn);

    // A blank document is no sheet; closing it leaves the sheet showing with its tools.
    ASSERT_TRUE(desk.window->New());
    EXPECT_EQ(desk.toolsEnabled(), kOff);
    EXPECT_TRUE(desk.action(1)->isEnabled());
    desk.answer = host::SaveChoice::DontSave;
    EXPECT_TRUE(desk.window->CloseDocument());
    EXPECT_EQ(desk.app().ActiveDocument(), sheet);
    EXPECT_EQ(desk.toolsEnabled(), kOn);

    // Saved, closed and with nothing left: off; opened again: on.
    const TempDir tmp("varelo-habits");
    const QString path = QString::fromStdString((tmp.path() / "sheet.docx").string());
    ASSERT_TRUE(desk.window->SaveDocument(*sheet, path));
    EXPECT_EQ(desk.toolsEnabled(), kOn);
    ASSERT_TRUE(desk.window->CloseDocument());
    EXPECT_EQ(desk.toolsEnabled(), kOff);
    ASSERT_TRUE(desk.window->OpenFile(path));
    EXPECT_EQ(desk.toolsEnabled(), kOn);

    // 按此卡设置新建 keeps the sheet it starts from, reachable from 窗口 and by Ctrl+Tab.
    host::Document* first = desk.app().ActiveDocument();
    WhenDialogOpens(
        [](varelo::desk::SettingsDialog& d) { Child<QAbstractButton>(d, "OKButton")->click(); });
    host::Document* second = desk.window->NewFromSheetSettings();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(desk.app().DocumentCount(), 2);
    EXPECT_EQ(desk.toolsEnabled(), kOn);
    QStringList entries;
    for (QAction* a : desk.window->WindowMenu()->actions())
        if (a->isCheckable()) entries << a->text() + (a->isChecked() ? "*" : "");
    EXPECT_EQ(entries,
              (QStringList{"&1 sheet.docx", "&2 " + QString::fromStdString(second->name) + "*"}));
    Activate(*desk.window);
    QTest::keyClick(desk.window.get(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(desk.app().ActiveDocument(), first);
    EXPECT_EQ(desk.toolsEnabled(), kOn);
}

TEST(DeskHabits, TypingIntoAOneRowCellShowsEveryLineAndACellHidingTextIsMarked) {
    Desk desk;
    host::Document* sheet = desk.window->GenerateExampleSheet();
    ASSERT_NE(sheet, nullptr);
    host::Table& grid = sheet->Tables(1);
    ASSERT_TRUE(desk.window->SelectGridCells(QStringLiteral("95,3:95,21")));  // scrolled to
    desk.action(5)->trigger();                                                // a one-row merge
    ASSERT_TRUE(desk.window->BeginCellEdit(QStringLiteral("第一行\n第二行\n第三行\n第四行")));
    auto* editor = desk.window->Editor();
    const QRect at = *desk.window->View()->CellOnScreen(grid, grid.CellArea(95, 3));
    const int line = QFontMetrics(editor->font()).lineSpacing();
    // Four lines, all shown: no scrolling needed inside the editor.
    EXPECT_GE(editor->height(), 4 * line) << at.height();
    EXPECT_EQ(editor->geometry().topLeft(), at.topLeft());
    QCoreApplication::processEvents();
    EXPECT_FALSE(editor->verticalScrollBar()->isVisible())
        << editor->height() << " " << editor->viewport()->height() << " " << line << " "
        << editor->verticalScrollBar()->maximum();
    desk.window->EndCellEdit(true);

    // The committed cell holds more than its row shows: a red mark in its corner says so.
    auto* view = desk.window->View();
    ASSERT_TRUE(desk.window->SelectGridCells(QStringLiteral("95,3")));
    const QImage shown = view->viewport()->grab().toImage();
    const QRect cell = *desk.window->View()->CellOnScreen(grid, grid.CellArea(95, 3));
    const QPoint corner = cell.bottomRight() - QPoint(1, 1);
    const QColor mark = shown.pixelColor(corner);
    EXPECT_GT(mark.red(), 150);
    EXPECT_LT(mark.green(), 100);
    // A cell whose text fits has none.
    const QRect other = *view->CellOnScreen(grid, grid.CellArea(97, 3));
    const QColor plain = shown.pixelColor(other.bottomRight() - QPoint(1, 1));
    EXPECT_FALSE(plain.red() > 150 && plain.green() < 100) << plain.name().toStdString();
}

// Rows of ink in the cell's box drawn at 300 dpi, as bands of consecutive rows.
int InkBands(const host::Document& doc, const host::Table& table, const host::CellRect& area) {
    std::optional<host::PageRect> rect;
    for (const host::PlacedTable& pt : host::LayOutPages(doc).tables)
        if (pt.table == &table) rect = pt.CellRect(area.top, area.left);
    if (!rect) return -1;
    constexpr double kScale = 300 / 72.0;
    QImage image(qRound(rect->width * kScale), qRound(rect->height * kScale),
                 QImage::Format_Grayscale8);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.scale(kScale, kScale);
    painter.translate(-rect->x, -rect->y);
    varelo::render::PageRenderer(doc).Draw(painter, rect->page);
    painter.end();
    int bands = 0;
    bool last = false;
    for (int y = 0; y < image.height(); ++y) {
        bool ink = false;
        for (int x = 0; x < image.width() && !ink; ++x) ink = image.constScanLine(y)[x] < 128;
        bands += ink && !last;
        last = ink;
    }
    return bands;
}

TEST(DeskHabits, ALargerSizeInAMergeOfSeveralRowsGetsALineThatHoldsItAndTheRowsStay) {
    Desk desk;
    host::Document* sheet = desk.window->GenerateExampleSheet();
    ASSERT_NE(sheet, nullptr);
    host::Table& grid = sheet->Tables(1);
    const std::vector<double> rows = host::ResolveRowHeights(grid);
    const host::CellRect note{100, 3, 102, 21}, heading{105, 3, 105, 21};
    for (const host::CellRect& r : {note, heading}) {
        grid.Merge(r);
        grid.At(r.top, r.left).SetText("注意：请用黑色签字笔\r超出答题区域无效");
        for (host::Block& b : grid.At(r.top, r.left).content)
            b.paragraph.format.alignment = host::Alignment::Left;
    }
    auto* size = Child<QComboBox>(*desk.window->Format(), "sizeBox");
    const auto setSize = [&](const host::CellRect& r) {
        ASSERT_TRUE(desk.window->SelectGridCells(
            QStringLiteral("%1,%2:%3,%4").arg(r.top).arg(r.left).arg(r.bottom).arg(r.right)));
        size->lineEdit()->setText(QStringLiteral("四号"));  // 14 pt
        QTest::keyClick(size->lineEdit(), Qt::Key_Return);
    };

    // Three rows: the two lines of 14 pt come apart, each whole.
    setSize(note);
    host::Cell& cell = sheet->Tables(1).At(note.top, note.left);
    EXPECT_EQ(cell.FirstParagraph().markFormat.size, 14);
    EXPECT_EQ(InkBands(*sheet, sheet->Tables(1), note), 2);
    EXPECT_GT(cell.FirstParagraph().format.lineSpacing, 12);
    EXPECT_EQ(cell.FirstParagraph().format.lineSpacingRule, host::LineSpacingRule::Exactly);
    // One row has no room for a taller line: it keeps the grid's.
    setSize(heading);
    EXPECT_EQ(sheet->Tables(1).At(heading.top, heading.left).FirstParagraph().format.lineSpacing,
              12);
    // The page grid is as the template says.
    EXPECT_EQ(host::ResolveRowHeights(sheet->Tables(1)), rows);
    // One step each.
    desk.window->Undo();
    desk.window->Undo();
    EXPECT_EQ(sheet->Tables(1).At(note.top, note.left).FirstParagraph().format.lineSpacing, 12);
}

TEST(DeskHabits, ARefusedMergeSaysWhyAndIsAChangeOnlyIfItCentredTheCell) {
    Desk desk;
    host::Document* sheet = desk.window->GenerateExampleSheet();
    ASSERT_NE(sheet, nullptr);
    host::Table& grid = sheet->Tables(1);
    grid.Merge({95, 3, 96, 6});
    sheet->saved = true;
    ASSERT_FALSE(desk.window->CanUndo());

    // Cutting the merged cell: refused with the reason; the first cell is centred, once.
    desk.app().selection.SelectCells(grid, {95, 5, 97, 8});
    const host::CellVAlign before = grid.At(95, 5).verticalAlignment;
    desk.action(5)->trigger();
    EXPECT_EQ(desk.window->statusBar()->currentMessage(),
              QStringLiteral("所选区域跨过了已合并的单元格"));
    EXPECT_TRUE(desk.messages.empty());
    EXPECT_EQ(grid.CellArea(95, 3), (host::CellRect{95, 3, 96, 6}));
    EXPECT_EQ(grid.At(95, 5).verticalAlignment, host::CellVAlign::Center);
    EXPECT_EQ(sheet->saved, before == host::CellVAlign::Center);
    EXPECT_EQ(desk.window->CanUndo(), before != host::CellVAlign::Center);
    // Again: nothing left to change, so no undo step and nothing to save.
    const bool couldUndo = desk.window->CanUndo();
    sheet->saved = true;
    desk.window->statusBar()->clearMessage();
    desk.action(5)->trigger();
    EXPECT_TRUE(sheet->saved);
    if (couldUndo) {
        ASSERT_TRUE(desk.window->Undo());
        EXPECT_FALSE(desk.window->CanUndo());  // the second click left no step of its own
    } else {
        EXPECT_FALSE(desk.window->CanUndo());
    }
    EXPECT_EQ(desk.window->statusBar()->currentMessage(),
              QStringLiteral("所选区域跨过了已合并的单元格"));

    // 作文 keeps its message and gives the reason beside it.
    desk.app().selection.SelectCells(sheet->Tables(1), {90, 2, 110, 20});
    desk.action(4)->trigger();
    EXPECT_EQ(desk.messages, (std::vector<std::string>{"请先选定合适的区域"}));
    EXPECT_EQ(desk.window->statusBar()->currentMessage(),
              QStringLiteral("所选区域跨过了已合并的单元格"));
}

TEST(DeskHabits, UndoAlignmentAndToolKeysWorkWhileTheSizeBoxHasTheKeyboard) {
    Desk desk;
    host::Document* sheet = desk.window->GenerateExampleSheet();
    ASSERT_NE(sheet, nullptr);
    desk.app().selection.SelectCells(sheet->Tables(1), {95, 3, 95, 21});
    // Undo puts back a copy of the table: look it up each time.
    const auto box = [&]() -> host::Cell& { return sheet->Tables(1).At(95, 3); };
    desk.action(5)->trigger();
    ASSERT_TRUE(desk.window->CanUndo());
    Activate(*desk.window);

    // A size by its Chinese name, typed into the box and taken with Enter.
    auto* size = Child<QComboBox>(*desk.window->Format(), "sizeBox");
    size->setFocus();
    ASSERT_TRUE(size->lineEdit()->hasFocus());
    size->lineEdit()->setText(QStringLiteral("小四"));
    QTest::keyClick(size->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(box().FirstParagraph().markFormat.size, 12);
    EXPECT_EQ(size->currentText(), QStringLiteral("小四"));

    // Ctrl+E centres, Ctrl+R goes right, with the keyboard still in the box.
    size->setFocus();
    QTest::keyClick(size->lineEdit(), Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(box().FirstParagraph().format.alignment, host::Alignment::Right);
    QTest::keyClick(size->lineEdit(), Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(box().FirstParagraph().format.alignment, host::Alignment::Center);
    // Ctrl+Z takes back the window's steps, not the box's typing.
    QTest::keyClick(size->lineEdit(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(box().FirstParagraph().format.alignment, host::Alignment::Right);
    QTest::keyClick(size->lineEdit(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(box().FirstParagraph().format.alignment, host::Alignment::Center);
    // A tool's key: Alt+B boxes the selection.
    QTest::keyClick(size->lineEdit(), Qt::Key_B, Qt::AltModifier);
    EXPECT_TRUE(sheet->Tables(1).HorizontalEdge(95, 3).Visible());
}

TEST(DeskHabits, QuittingStopsAtTheFirst取消AndAsksAboutEachSheetWithItShown) {
    Desk desk;
    host::Document* a = desk.window->GenerateExampleSheet();
    ASSERT_NE(a, nullptr);
    host::Document& b = desk.app().AddDocument();
    a->saved = b.saved = false;
    std::vector<std::pair<std::string, const host::Document*>> asked;
    desk.app().askToSave = [&](host::Document& d) {
        asked.emplace_back(d.name, desk.app().ActiveDocument());
        return host::SaveChoice::Cancel;
    };
    EXPECT_FALSE(desk.window->close());
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].first, b.name);
    EXPECT_EQ(desk.app().DocumentCount(), 2);

    asked.clear();
    desk.app().askToSave = [&](host::Document& d) {
        asked.emplace_back(d.name, desk.app().ActiveDocument());
        return host::SaveChoice::DontSave;
    };
    const std::string aName = a->name, bName = b.name;
    EXPECT_TRUE(desk.window->close());
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].first, bName);
    EXPECT_EQ(asked[1].first, aName);
    EXPECT_EQ(asked[1].second, a);  // the sheet asked about is the one on screen
}

TEST(DeskHabits, ToolsOnADocumentThatIsNotASheetActOnItsTableOrSaySoAndNotAsAnError) {
    const TempDir tmp("varelo-plain");
    const auto plain = [&](bool withTable) {
        host::Application maker;
        host::Document& doc = maker.AddDocument();
        doc.body.front().paragraph.runs.push_back({"一份普通的文档", {}, {}});
        if (withTable)
            doc.body.insert(doc.body.begin(), host::Block{std::make_unique<host::Table>(3, 4)});
        const auto path = tmp.path() / (withTable ? "table.docx" : "text.docx");
        host::SaveDocx(doc, path.string());
        return QString::fromStdString(path.string());
    };
    Desk desk;
    ASSERT_TRUE(desk.window->OpenFile(plain(false)));
    desk.action(2)->trigger();
    EXPECT_EQ(desk.messages,
              (std::vector<std::string>{"此文档中没有表格：这些工具只作用于表格中的单元格。"}));

    desk.messages.clear();
    ASSERT_TRUE(desk.window->OpenFile(plain(true)));
    host::Table& table = desk.app().ActiveDocument()->Tables(1);
    desk.action(2)->trigger();  // nothing selected yet
    EXPECT_EQ(desk.messages, (std::vector<std::string>{"请先在表格中选定单元格。"}));
    desk.messages.clear();
    desk.app().selection.SelectCells(table, {1, 1, 2, 2});
    desk.action(2)->trigger();
    EXPECT_TRUE(desk.messages.empty());
    EXPECT_TRUE(table.HorizontalEdge(1, 1).Visible());
    EXPECT_FALSE(desk.app().ActiveDocument()->saved);
}

// At 480 px the command bar no longer fits beside the format bar: what its overflow shows must
// be whole buttons, each caption as wide as it needs.
TEST(DeskHabits, ANarrowWindowsToolbarOverflowShowsWholeCaptions) {
    Desk desk;
    ASSERT_NE(desk.window->GenerateExampleSheet(), nullptr);
    desk.window->resize(480, 600);
    QToolBar* bar = desk.window->ToolBarFor(desk.bar());
    ASSERT_NE(bar, nullptr);
    auto* more = bar->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"));
    ASSERT_NE(more, nullptr);
    QTRY_VERIFY(more->isVisible());
    more->click();
    std::vector<QToolButton*> buttons;
    for (int i = 1; i <= 6; ++i)
        buttons.push_back(qobject_cast<QToolButton*>(bar->widgetForAction(desk.action(i))));
    QTRY_VERIFY(std::all_of(buttons.begin(), buttons.end(),
                            [](QToolButton* b) { return b && b->isVisible(); }));
    for (QToolButton* b : buttons)
        EXPECT_GE(b->width(), b->sizeHint().width()) << b->text().toStdString();
}

// A print server on loopback that takes connections and never answers: printing and the
// preview give up with a reason while the window goes on, under a busy cursor.
TEST(DeskHabits, PrintingAndThePreviewKeepTheWindowGoingWhileThePrintServerIsSilent) {
    using varelo::desk::SheetPrinter;
    Desk desk;
    ASSERT_NE(desk.window->GenerateExampleSheet(), nullptr);
    const int server = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(server, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(server, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(listen(server, 8), 0);  // the kernel takes the connections; nothing answers
    ASSERT_EQ(getsockname(server, reinterpret_cast<sockaddr*>(&address), &length), 0);
    setenv("CUPS_SERVER", ("127.0.0.1:" + std::to_string(ntohs(address.sin_port))).c_str(), 1);
    const auto wait = std::exchange(SheetPrinter::answerWait, std::chrono::milliseconds(400));

    int ticks = 0;
    bool busy = false;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        ++ticks;
        busy |= QApplication::overrideCursor() &&
                QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    });
    tick.start(20);
    for (bool (varelo::desk::MainWindow::*act)() :
         {&varelo::desk::MainWindow::Print, &varelo::desk::MainWindow::PrintPreview}) {
        ticks = 0;
        busy = false;
        desk.messages.clear();
        QElapsedTimer clock;
        clock.start();
        EXPECT_FALSE((desk.window.get()->*act)());
        EXPECT_LT(clock.elapsed(), 5000);
        EXPECT_GE(ticks, 5);  // the window's events went on meanwhile
        EXPECT_TRUE(busy);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(
            desk.messages,
            (std::vector<std::string>{"打印服务没有响应，请检查打印机和打印服务（CUPS）后再试。"}));
    }

    // With the server gone the question left behind ends, and the next one is asked afresh.
    unsetenv("CUPS_SERVER");
    close(server);
    SheetPrinter::answerWait = wait;
    QTRY_VERIFY_WITH_TIMEOUT(SheetPrinter::AskPrintSystem(std::chrono::milliseconds(200)) ==
                                 SheetPrinter::Answer::Answered,
                             20000);
}
