// Finishing a sheet in the window: typing into cells, the format bar, undo and redo, saving
// with the title and recent files following, printing to a file, and the Chinese of Qt's own
// dialogs.
#include <QComboBox>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>
#include <memory>

#include "cell_editor.h"
#include "desk_harness.h"
#include "docx/reader.h"
#include "format_bar.h"
#include "page_view.h"
#include "translations.h"

using namespace desk_harness;
namespace host = varelo::host;

namespace {

// Selects a block of the page grid and merges it with the command bar's tool.
host::Cell& MergedBox(Desk& desk, host::Document& sheet, const host::CellRect& block) {
    desk.app().selection.SelectCells(sheet.Tables(1), block);
    desk.action(5)->trigger();  // 合并单元格
    EXPECT_EQ(sheet.Tables(1).CellArea(block.top, block.left), block);
    return sheet.Tables(1).At(block.top, block.left);
}

void Key(QWidget* w, Qt::Key key, Qt::KeyboardModifiers mods = {}) {
    QTest::keyClick(w, key, mods);
}

}  // namespace

TEST(DeskText, TypingIntoAMergedBoxWritesParagraphsInTheCellsFontAndUndoRedoCoverIt) {
    Desk desk;
    host::Document* sheet = desk.window->GenerateExampleSheet();
    ASSERT_NE(sheet, nullptr);
    const host::CellRect box{95, 3, 98, 21};
    MergedBox(desk, *sheet, box);
    const host::Document merged = *sheet;

    // Typing on the selected cell opens the editor with what was typed.
    auto* view = desk.window->View();
    view->setFocus();
    QTest::keyClick(view, 'P');
    auto* editor = desk.window->Editor();
    ASSERT_TRUE(editor->Editing());
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("P"));
    QTest::keyClicks(editor, "art 1");
    Key(editor, Qt::Key_Return);  // a new paragraph, not the end of typing
    editor->insertPlainText(QStringLiteral("听力"));
    Key(editor, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_FALSE(editor->Editing());

    host::Cell& cell = sheet->Tables(1).At(box.top, box.left);
    EXPECT_EQ(cell.Text(), "Part 1\r听力");
    ASSERT_EQ(cell.content.size(), 2u);
    const host::Paragraph& first = merged.Tables(1).At(box.top, box.left).content.front().paragraph;
    for (const host::Block& b : cell.content) {
        EXPECT_EQ(b.paragraph.format, first.format);
        EXPECT_EQ(b.paragraph.runs.front().format, first.markFormat);
    }
    const host::Document typed = *sheet;

    // The format bar: 黑体 and right-aligned on the selected box (grid cells start centred).
    auto* font = Child<QComboBox>(*desk.window->Format(), "fontBox");
    font->setCurrentText(QStringLiteral("黑体"));
    emit font->activated(font->currentIndex());
    desk.window->findChild<QAction*>(QStringLiteral("alignRight"))->trigger();
    host::Cell& formatted = sheet->Tables(1).At(box.top, box.left);
    EXPECT_EQ(formatted.content.back().paragraph.runs.front().format.font, "黑体");
    EXPECT_EQ(formatted.content.back().paragraph.format.alignment, host::Alignment::Right);

    // Esc throws typing away.
    QTest::keyClick(view, Qt::Key_X);
    Key(editor, Qt::Key_Escape);
    EXPECT_EQ(sheet->Tables(1).At(box.top, box.left).Text(), "Part 1\r听力");

    desk.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(desk.window.get()));
    for (int i = 0; i < 2; ++i) QTest::keyClick(desk.window.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(*sheet == typed);
    QTest::keyClick(desk.window.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(*sheet == merged);
    for (int i = 0; i < 3; ++i) QTest::keyClick(desk.window.get(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(sheet->Tables(1).At(box.top, box.left).content.back().paragraph.format.alignment,
              host::Alignment::Right);
    EXPECT_FALSE(desk.window->CanRedo());
    // A new change after an undo forgets what could be redone.
    ASSERT_TRUE(desk.window->Undo());
    ASSERT_TRUE(desk.window->CanRedo());
    desk.window->findChild<QAction*>(QStringLiteral("alignLeft"))->trigger();
    EXPECT_FALSE(desk.window->CanRedo());
    EXPECT_TRUE(desk.messages.empty());
}

TEST(DeskText, EditingACellThatHoldsAPictureKeepsItWhereItsMarkStands) {
    Desk desk;
    host::Document* sheet = desk.window->GenerateExampleSheet();
    ASSERT_NE(sheet, nullptr);
    const host::CellRect box{95, 3, 98, 21};
    host::Cell& cell = MergedBox(desk, *sheet, box);
    host::Run logo;
    logo.picture = std::make_shared<const host::InlinePicture>(
        host::InlinePicture{"\x89PNG\r\n\x1a\n", "image/png", 20, 10, "校徽"});
    cell.FirstParagraph().Append("某");
    cell.FirstParagraph().runs.push_back(logo);
    cell.FirstParagraph().Append("中学");
    const host::Document withLogo = *sheet;

    // The editor shows the picture as one character; text typed around it keeps it in place.
    auto* view = desk.window->View();
    view->setFocus();
    QTest::keyClick(view, Qt::Key_F2);
    auto* editor = desk.window->Editor();
    ASSERT_TRUE(editor->Editing());
    EXPECT_EQ(editor->toPlainText(), QString::fromUtf8("某\uFFFC中学"));
    editor->insertPlainText(QStringLiteral("考试"));
    Key(editor, Qt::Key_Return, Qt::ControlModifier);
    const host::Paragraph& edited = sheet->Tables(1).At(box.top, box.left).content[0].paragraph;
    ASSERT_EQ(edited.runs.size(), 3u);
    EXPECT_EQ(edited.runs[0].text, "某");
    EXPECT_EQ(edited.runs[1], logo);
    EXPECT_EQ(edited.runs[2].text, "中学考试");

    // Its character deleted, the picture goes, as typed; undo brings it back.
    QTest::keyClick(view, Qt::Key_F2);
    editor->setPlainText(QStringLiteral("某中学"));
    Key(editor, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(sheet->Tables(1).At(box.top, box.left).EditableText(), "某中学");
    ASSERT_TRUE(desk.window->Undo());
    ASSERT_TRUE(desk.window->Undo());
    EXPECT_TRUE(*sheet == withLogo);
    EXPECT_TRUE(desk.messages.empty());
}

// Typing not yet ended is part of the sheet: closing it, or the window, asks to save it
// rather than dropping it.
TEST(DeskText, ClosingWhileTypingAsksToSaveWhatWasTyped) {
    QTemporaryDir folder;
    for (const bool wholeWindow : {false, true}) {
        Desk desk;
        host::Document* sheet = desk.window->GenerateExampleSheet();
        ASSERT_NE(sheet, nullptr);
        ASSERT_TRUE(desk.window->SaveDocument(*sheet, folder.filePath(QStringLiteral("卷.docx"))));
        desk.app().selection.SelectCells(sheet->Tables(1), {95, 3, 95, 3});
        ASSERT_TRUE(desk.window->BeginCellEdit(QStringLiteral("姓名")));
        desk.answer = host::SaveChoice::Cancel;
        EXPECT_FALSE(wholeWindow ? desk.window->close() : desk.window->CloseDocument());
        EXPECT_EQ(desk.askedToSave, std::vector<std::string>{"卷.docx"}) << wholeWindow;
        ASSERT_EQ(desk.app().DocumentCount(), 1);
        EXPECT_EQ(sheet->Tables(1).At(95, 3).Text(), "姓名");
    }
}

TEST(DeskSaving, SaveAsksForANameOnceAndTheTitleAndRecentFilesFollow) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("期中.docx"));
    Desk desk;
    host::Document* sheet = desk.window->GenerateExampleSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(desk.window->isWindowModified());
    EXPECT_EQ(desk.window->windowTitle(), QStringLiteral("文档1[*] - Varelo"));

    // The first save asks for a name.
    int asked = 0;
    WhenModalOpens<QFileDialog>([&](QFileDialog& d) {
        ++asked;
        d.selectFile(path);
        static_cast<QDialog&>(d).accept();
    });
    ASSERT_TRUE(desk.window->Save());
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(desk.window->windowTitle(), QStringLiteral("期中.docx[*] - Varelo"));
    EXPECT_FALSE(desk.window->isWindowModified());
    EXPECT_EQ(desk.window->State().LastFolder(), QFileInfo(path).absolutePath());
    QMenu* recent = desk.window->RecentMenu();
    ASSERT_EQ(recent->actions().size(), 1);
    EXPECT_EQ(recent->actions().front()->data().toString(), QFileInfo(path).absoluteFilePath());

    // A change marks the title; Ctrl+S saves to the same file without asking.
    desk.app().selection.SelectCells(sheet->Tables(1), {95, 3, 95, 3});
    ASSERT_TRUE(desk.window->BeginCellEdit(QStringLiteral("姓名")));
    desk.window->EndCellEdit(true);
    EXPECT_TRUE(desk.window->isWindowModified());
    desk.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(desk.window.get()));
    QTest::keyClick(desk.window.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(desk.window->isWindowModified());
    EXPECT_EQ(host::OpenDocx(path.toStdString())->Tables(1).At(95, 3).Text(), "姓名");

    // 新建 gives a blank document; the recent file opens the sheet again.
    ASSERT_TRUE(desk.window->CloseDocument());
    ASSERT_TRUE(desk.window->New());
    EXPECT_EQ(desk.app().DocumentCount(), 1);
    recent->actions().front()->trigger();
    ASSERT_EQ(desk.app().DocumentCount(), 2);
    EXPECT_EQ(desk.app().ActiveDocument()->name, "期中.docx");
    EXPECT_TRUE(desk.messages.empty());
}

// Saving over the file of another open document would lose that document's work at its next
// save, whatever name the path is given by.
TEST(DeskSaving, AFileThatAnotherOpenDocumentHoldsIsRefused) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("卷.docx"));
    Desk desk;
    host::Document* sheet = desk.window->GenerateExampleSheet();
    ASSERT_NE(sheet, nullptr);
    ASSERT_TRUE(desk.window->SaveDocument(*sheet, path));
    host::Document& blank = desk.app().AddDocument();
    for (const QString& same : {path, folder.filePath(QStringLiteral("./sub/../卷.docx"))})
        EXPECT_FALSE(desk.window->SaveDocument(blank, same)) << same.toStdString();
    EXPECT_EQ(desk.messages,
              std::vector<std::string>(2,
                                       "无法保存文件：“卷.docx”已在本窗口中打开。请另选文件名，或先"
                                       "关闭那份文档。"));
    EXPECT_TRUE(blank.path.empty());
    EXPECT_GT(host::OpenDocx(path.toStdString())->TableCount(), 0);
    EXPECT_TRUE(desk.window->SaveDocument(*sheet, path));
}

// A save that cannot be done says why in the window's language, and the sheet keeps its file.
TEST(DeskSaving, ASaveThatFailsSaysWhyInChinese) {
    QTemporaryDir folder;
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("已有.docx")));
    Desk desk;
    host::Document* sheet = desk.window->GenerateExampleSheet();
    ASSERT_NE(sheet, nullptr);
    const struct {
        QString path;
        std::vector<std::string> unmodelled;
        std::string message;
    } cases[] = {
        {folder.filePath(QStringLiteral("没有/卷.docx")),
         {},
         "无法保存文件：“卷.docx”。所在的文件夹不存在。"},
        {folder.filePath(QStringLiteral("已有.docx")),
         {},
         "无法保存文件：“已有.docx”。这是一个文件夹。"},
        {folder.filePath(QStringLiteral("卷.docx")),
         {"pictures or text boxes", "w:foo"},
         "无法保存文件：“卷.docx”。此文档含有本程序无法保留的内容（图片或文本框、w:foo），"
         "保存会丢失这些内容。"},
    };
    for (const auto& c : cases) {
        desk.messages.clear();
        sheet->unmodelled = c.unmodelled;
        EXPECT_FALSE(desk.window->SaveDocument(*sheet, c.path));
        EXPECT_EQ(desk.messages, std::vector<std::string>{c.message});
        EXPECT_TRUE(sheet->path.empty());
    }
    EXPECT_FALSE(QFileInfo::exists(folder.filePath(QStringLiteral("卷.docx"))));
}

// A name typed without its suffix names the file that has it: every save dialog asks before
// replacing that file.
TEST(DeskSaving, ANameTypedWithoutItsSuffixAsksBeforeReplacingTheFile) {
    using varelo::desk::MainWindow;
    const std::pair<const char*, bool (MainWindow::*)()> saves[] = {
        {"docx", &MainWindow::SaveAs},
        {"pdf", &MainWindow::ExportPdf},
        {"json", &MainWindow::ExportOmrTemplate},
    };
    QTemporaryDir folder;
    Desk desk;
    ASSERT_NE(desk.window->GenerateExampleSheet(), nullptr);
    for (const auto& [suffix, save] : saves) {
        QFile existing(folder.filePath(QStringLiteral("old.") + QString::fromLatin1(suffix)));
        ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
        existing.write("keep");
        existing.close();
        int asked = 0;
        WhenModalOpens<QFileDialog>([&](QFileDialog& d) {
            WhenModalOpens<QMessageBox>([&](QMessageBox& replace) {
                ++asked;
                replace.button(QMessageBox::No)->click();
            });
            d.selectFile(folder.filePath(QStringLiteral("old")));
            static_cast<QDialog&>(d).accept();
        });
        EXPECT_FALSE((desk.window.get()->*save)()) << suffix;
        EXPECT_EQ(asked, 1) << suffix;
        ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
        EXPECT_EQ(existing.readAll(), QByteArray("keep")) << suffix;
        existing.close();
    }
}

// The first /MediaBox of a PDF: the paper, in points.
QSizeF PaperOf(const QString& pdf) {
    QFile file(pdf);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QRegularExpressionMatch box =
        QRegularExpression(QStringLiteral(R"(/MediaBox \[0 0 ([\d.]+) ([\d.]+)\])"))
            .match(QString::fromLatin1(file.readAll()));
    return box.hasMatch() ? QSizeF(box.captured(1).toDouble(), box.captured(2).toDouble())
                          : QSizeF();
}

// A print dialog knows only standard papers; a printout, also one started from the preview,
// must still have the sheet's own.
TEST(DeskPrinting, PrintingToAFileKeepsEachLayoutsPaper) {
    QTemporaryDir folder;
    for (const char* layout : {"8开三栏", "A3双栏", "B5单栏"}) {
        Desk desk;
        WhenDialogOpens([&](varelo::desk::SettingsDialog& d) {
            Child<QComboBox>(d, "cmbPage")->setCurrentText(QString::fromUtf8(layout));
            Child<QAbstractButton>(d, "cmdAdd")->click();
            Child<QAbstractButton>(d, "OKButton")->click();
        });
        desk.action(1)->trigger();
        const host::Document* sheet = desk.app().ActiveDocument();
        ASSERT_NE(sheet, nullptr) << layout;
        const QSizeF paper(sheet->pageSetup.pageWidth, sheet->pageSetup.pageHeight);

        const QString printed = folder.filePath(QString::fromUtf8(layout) + QStringLiteral(".pdf"));
        WhenModalOpens<QPrintDialog>([&](QPrintDialog& d) {
            auto* printers = Child<QComboBox>(d, "printers");
            printers->setCurrentIndex(printers->count() - 1);  // 打印到文件 (PDF)
            Child<QLineEdit>(d, "filename")->setText(printed);
            d.accept();
        });
        ASSERT_TRUE(desk.window->Print()) << layout;

        // The preview prints on its printer as its own print dialog left it.
        const QString previewed =
            folder.filePath(QString::fromUtf8(layout) + QStringLiteral("-preview.pdf"));
        WhenModalOpens<QPrintPreviewDialog>([&](QPrintPreviewDialog& d) {
            QPrinter letter(QPrinter::HighResolution);
            letter.setOutputFormat(QPrinter::PdfFormat);
            letter.setOutputFileName(previewed);
            letter.setPageSize(QPageSize(QPageSize::Letter));
            emit d.paintRequested(&letter);
        });
        desk.window->PrintPreview();

        for (const QString& pdf : {printed, previewed}) {
            const QSizeF got = PaperOf(pdf);
            EXPECT_NEAR(got.width(), paper.width(), 1) << pdf.toStdString();
            EXPECT_NEAR(got.height(), paper.height(), 1) << pdf.toStdString();
        }
    }
}

TEST(DeskLanguage, QtsOwnDialogsAndTheSaveQuestionSpeakChinese) {
    ASSERT_TRUE(varelo::desk::InstallChineseTranslations(App()));
    const auto plain = [](QAbstractButton* b) {
        return b->text().remove(u'&').remove(QRegularExpression(QStringLiteral("\\(.*\\)")));
    };
    QMessageBox box(QMessageBox::NoIcon, QString(), QStringLiteral("是否保存？"),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    EXPECT_EQ(plain(box.button(QMessageBox::Save)), QStringLiteral("保存"));
    EXPECT_EQ(plain(box.button(QMessageBox::Cancel)), QStringLiteral("取消"));
    EXPECT_EQ(plain(box.button(QMessageBox::Discard)), QStringLiteral("丢弃"));
    // The file dialog's kind of a folder, which qtbase's Chinese leaves out.
    QTemporaryDir folder;
    EXPECT_EQ(QFileIconProvider().type(QFileInfo(folder.path())), QStringLiteral("文件夹"));

    // The window's own question says 不保存 where Qt's stock button would say 丢弃.
    QTemporaryDir state;
    varelo::desk::MainWindow window(VARELO_RESOURCES_DIR, state.filePath(QStringLiteral("s.ini")));
    window.show();
    window.App().AddDocument().saved = false;
    QStringList buttons;
    WhenModalOpens<QMessageBox>([&](QMessageBox& question) {
        for (QAbstractButton* b : question.buttons()) buttons << plain(b);
        question.button(QMessageBox::Discard)->click();
    });
    EXPECT_TRUE(window.CloseDocument());
    buttons.sort();
    QStringList expected{QStringLiteral("保存"), QStringLiteral("不保存"), QStringLiteral("取消")};
    expected.sort();
    EXPECT_EQ(buttons, expected);
}

// The status bar's zoom box shows the scale against the true size and takes one typed or picked.
TEST(DeskStatus, TheZoomBoxShowsTheScaleAndSetsIt) {
    Desk desk;
    ASSERT_NE(desk.window->GenerateExampleSheet(), nullptr);
    QComboBox* box = desk.window->ZoomBox();
    ASSERT_NE(box, nullptr);
    varelo::desk::PageView& view = *desk.window->View();
    const double trueSize = 96 / 72.0;
    view.SetZoom(trueSize);
    EXPECT_EQ(box->currentText(), QStringLiteral("100%"));
    view.ZoomBy(1.25);
    EXPECT_EQ(box->currentText(), QStringLiteral("125%"));

    const auto type = [&](const char* text) {
        box->lineEdit()->setFocus();
        box->lineEdit()->setText(QString::fromUtf8(text));
        box->lineEdit()->setModified(true);  // as typing leaves it
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    };
    type("150%");
    EXPECT_DOUBLE_EQ(view.Zoom(), 1.5 * trueSize);
    type("80");
    EXPECT_DOUBLE_EQ(view.Zoom(), 0.8 * trueSize);
    EXPECT_EQ(box->currentText(), QStringLiteral("80%"));
    type("大一点");  // not a scale: nothing changes, the box shows the scale again
    EXPECT_DOUBLE_EQ(view.Zoom(), 0.8 * trueSize);
    EXPECT_EQ(box->currentText(), QStringLiteral("80%"));

    // 整页 fits the page in the window, and the box says by how much.
    box->setCurrentIndex(box->findText(QStringLiteral("整页")));
    emit box->activated(box->currentIndex());
    const double fitted = view.Zoom();
    EXPECT_LT(fitted, 0.8 * trueSize);
    EXPECT_EQ(box->currentText(), QStringLiteral("%1%").arg(qRound(fitted / trueSize * 100)));
}

// The status bar says where things are in the numbers `varelo edit --select` takes, and
// 选定单元格 takes the same numbers back.
TEST(DeskStatus, PageAndSelectionInTheNumbersTheCommandLineTakes) {
    Desk desk;
    ASSERT_NE(desk.window->GenerateExampleSheet(), nullptr);
    desk.window->View()->ShowPage(0);
    EXPECT_EQ(desk.window->PageStatus(), QStringLiteral("第 1 页，共 2 页"));
    ASSERT_TRUE(desk.window->SelectGridCells(QStringLiteral("98,21:95,3")));
    EXPECT_EQ(desk.window->SelectionStatus(), QStringLiteral("选定 95,3:98,21"));
    ASSERT_TRUE(desk.window->SelectGridCells(QStringLiteral("70，4")));
    EXPECT_EQ(desk.window->SelectionStatus(), QStringLiteral("选定 70,4"));
    for (const char* wrong : {"0,1", "131,1", "1,64", "1;2", ""})
        EXPECT_FALSE(desk.window->SelectGridCells(QString::fromUtf8(wrong))) << wrong;
    desk.window->View()->ShowPage(1);
    EXPECT_EQ(desk.window->PageStatus(), QStringLiteral("第 2 页，共 2 页"));

    // The row and column under the pointer are not shown once no sheet is open.
    QWidget* page = desk.window->View()->viewport();
    const auto* pointer = desk.window->findChild<QLabel*>(QStringLiteral("pointerStatus"));
    for (int y = 40; y < page->height() && pointer->text().isEmpty(); y += 20)
        QTest::mouseMove(page, QPoint(page->width() / 2, y));
    EXPECT_TRUE(pointer->text().startsWith(QStringLiteral("行 "))) << pointer->text().toStdString();
    desk.app().ActiveDocument()->saved = true;
    ASSERT_TRUE(desk.window->CloseDocument());
    EXPECT_EQ(pointer->text(), QString());
}

// A sheet read back carries its settings: it exports its template, and 按此卡设置新建 opens the
// dialog with them, while 设置 still opens with the defaults.
TEST(DeskReopen, AReopenedSheetExportsItsTemplateAndPrefillsANewOne) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("sheet.docx"));
    {
        Desk maker;
        host::Document* sheet = maker.window->GenerateExampleSheet();
        ASSERT_NE(sheet, nullptr);
        ASSERT_TRUE(maker.window->SaveDocument(*sheet, path));
    }
    Desk desk;
    ASSERT_TRUE(desk.window->OpenFile(path));
    auto* newFromSettings =
        desk.window->findChild<QAction*>(QStringLiteral("newFromSettingsAction"));
    ASSERT_TRUE(newFromSettings->isEnabled());
    const QString omr = folder.filePath(QStringLiteral("omr.json"));
    EXPECT_TRUE(desk.window->WriteOmrTemplate(*desk.app().ActiveDocument(), omr,
                                              varelo::layout::OmrFormat::Varelo, 150));
    EXPECT_TRUE(QFileInfo(omr).size() > 0);

    QString layout;
    int rows = -1;
    WhenDialogOpens([&](varelo::desk::SettingsDialog& d) {
        layout = Child<QComboBox>(d, "cmbPage")->currentText();
        rows = Child<QTableWidget>(d, "mfgQuestion")->rowCount();
        d.reject();
    });
    newFromSettings->trigger();
    EXPECT_EQ(layout, QStringLiteral("A3三栏"));
    EXPECT_EQ(rows, 1);
    WhenDialogOpens([&](varelo::desk::SettingsDialog& d) {
        rows = Child<QTableWidget>(d, "mfgQuestion")->rowCount();
        d.reject();
    });
    desk.action(1)->trigger();  // 设置
    EXPECT_EQ(rows, 0);
    EXPECT_TRUE(desk.messages.empty());
}
