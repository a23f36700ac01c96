#include "main_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <optional>

#include "app/desk/addin/registration.h"
#include "cell_editor.h"
#include "chinese_reasons.h"
#include "compose/driver.h"
#include "compose/sheet_exam.h"
#include "compose/sheet_settings_part.h"
#include "compose/template_reading.h"
#include "doc/errors.h"
#include "docx/reader.h"
#include "docx/writer.h"
#include "edit/active_cells.h"
#include "edit/tools.h"
#include "format_bar.h"
#include "page_view.h"
#include "render/export.h"
#include "render/fonts.h"
#include "render/page_renderer.h"
#include "settings_dialog.h"

namespace varelo::desk {

namespace {

bool StartsWithTable(const host::Document& doc) {
    return !doc.body.empty() && doc.body.front().IsTable();
}

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// A button face and its mask as one icon: the mask's black is the face, its white is clear.
QIcon ButtonIcon(const host::Picture& picture, const host::Picture& mask) {
    if (picture.Empty()) return {};
    QImage face = QImage::fromData(QByteArray::fromStdString(picture.bytes), "BMP");
    if (face.isNull()) return {};
    face = face.convertToFormat(QImage::Format_ARGB32);
    const QImage m = QImage::fromData(QByteArray::fromStdString(mask.bytes), "BMP");
    if (!m.isNull() && m.size() == face.size())
        for (int y = 0; y < face.height(); ++y)
            for (int x = 0; x < face.width(); ++x)
                if (qGray(m.pixel(x, y)) >= 128) face.setPixel(x, y, qRgba(0, 0, 0, 0));
    return QIcon(QPixmap::fromImage(face));
}

// msoButtonCaption and msoButtonIconAndCaption; anything else shows the icon if there is one.
Qt::ToolButtonStyle ButtonStyle(int style) {
    switch (style) {
        case host::kButtonCaption:
            return Qt::ToolButtonTextOnly;
        case host::kButtonIconAndCaption:
            return Qt::ToolButtonTextBesideIcon;
        default:
            return Qt::ToolButtonFollowStyle;
    }
}

// msoBarLeft 0, msoBarTop 1, msoBarRight 2, msoBarBottom 3.
Qt::ToolBarArea ToolBarArea(int position) {
    switch (position) {
        case 0:
            return Qt::LeftToolBarArea;
        case 2:
            return Qt::RightToolBarArea;
        case 3:
            return Qt::BottomToolBarArea;
        default:
            return Qt::TopToolBarArea;
    }
}

Qt::Alignment QtAlignment(host::Alignment a) {
    switch (a) {
        case host::Alignment::Center:
            return Qt::AlignHCenter;
        case host::Alignment::Right:
            return Qt::AlignRight;
        case host::Alignment::Justify:
            return Qt::AlignJustify;
        default:
            return Qt::AlignLeft;
    }
}

// Whether two paths name one file; a file that is gone is compared by its absolute path.
bool SameFile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return false;
    std::error_code ec;
    if (std::filesystem::equivalent(a, b, ec)) return true;
    const auto absoluteA = std::filesystem::weakly_canonical(a, ec);
    if (ec) return false;
    const auto absoluteB = std::filesystem::weakly_canonical(b, ec);
    return !ec && absoluteA == absoluteB;
}

}  // namespace

QString MenuText(const std::string& caption) {
    const QString text = Q(caption);
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'&' && i + 1 < text.size()) {
            const QChar key = text[i + 1];
            if (key == u'&') {
                out += QStringLiteral("&&");
                ++i;
                continue;
            }
            const bool afterWide = i > 0 && text[i - 1].unicode() > 0x7f;
            if (afterWide && key.unicode() < 0x80 && key.isLetterOrNumber()) {
                out += u'(';
                out += u'&';
                out += key;
                out += u')';
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

MainWindow::MainWindow(std::string addinFolder, QString stateFile, QWidget* parent)
    : QMainWindow(parent), addinFolder_(std::move(addinFolder)) {
    state_.file = std::move(stateFile);
    setObjectName(QStringLiteral("mainWindow"));
    view_ = new PageView(app_, this);
    setCentralWidget(view_);
    editor_ = new CellEditor(view_->viewport());
    connect(editor_, &CellEditor::committed, this, &MainWindow::CommitCellText);
    connect(editor_, &CellEditor::cancelled, this, [this] { view_->setFocus(); });
    formatBar_ = new FormatBar(this);
    formatBar_->fontPicked = [this](const host::CharFormat& f) { ApplyFont(f); };
    formatBar_->alignmentPicked = [this](host::Alignment a) { ApplyAlignment(a); };
    addToolBar(Qt::TopToolBarArea, formatBar_);
    BuildMenus();
    BuildStatusBar();
    resize(1280, 860);
    connect(view_, &PageView::editRequested, this,
            [this](const QString& typed) { BeginCellEdit(typed); });
    connect(view_, &PageView::selectionChanged, this, [this] {
        UpdateStatus();
        UpdateFormatBar();
    });
    connect(view_, &PageView::scrolled, this, [this] {
        PlaceEditor();
        UpdateStatus();
    });
    connect(view_, &PageView::pointerMoved, this,
            [this](int page, const host::Table* table, int row, int column) {
                pointer_.clear();
                const host::Document* doc = app_.ActiveDocument();
                if (page >= 0 && table && doc && doc->TableCount() > 0) {
                    pointer_ = QStringLiteral("行 %1，列 %2").arg(row).arg(column);
                    if (table != &doc->Tables(1)) pointer_ += QStringLiteral("（表中表）");
                }
                pointerLabel_->setText(pointer_);
            });

    app_.messageSink = [this](const std::string& text) { ShowMessage(text); };
    app_.askToSave = [this](host::Document& doc) { return AskToSave(doc); };
    // Typing not yet ended belongs to the document: it is kept before a close looks for
    // changes to save, whatever closes it (Ctrl+W, the window, a new sheet being made).
    app_.documentBeforeClose.push_back([this](host::Document&, bool&) { EndCellEdit(true); });
    app_.askToConfirm = [this](const std::string& question) { return AskToConfirm(question); };
    app_.processPendingEvents = [this] {
        view_->Invalidate();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    app_.documentsChanged = [this] { DocumentsChanged(); };
    app_.commandBars.observers.push_back([this] { SyncCommandBars(); });
    DocumentsChanged();
}

MainWindow::~MainWindow() {
    DisconnectAddIn();
    app_.messageSink = nullptr;
    app_.askToSave = nullptr;
    app_.askToConfirm = nullptr;
    app_.processPendingEvents = nullptr;
    app_.documentsChanged = nullptr;
    app_.documentBeforeClose.clear();
    app_.commandBars.observers.clear();
}

void MainWindow::BuildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("文件(&F)"));
    file->addAction(QStringLiteral("新建(&N)"), this, [this] { New(); })
        ->setShortcut(QKeySequence::New);
    file->addAction(QStringLiteral("打开(&O)..."), this, [this] { Open(); })
        ->setShortcut(QKeySequence::Open);
    recentMenu_ = file->addMenu(QStringLiteral("最近的文件(&R)"));
    recentMenu_->setObjectName(QStringLiteral("recentMenu"));
    RebuildRecentMenu();
    saveAction_ = file->addAction(QStringLiteral("保存(&S)"), this, [this] { Save(); });
    saveAction_->setShortcut(QKeySequence::Save);
    saveAsAction_ = file->addAction(QStringLiteral("另存为(&A)..."), this, [this] { SaveAs(); });
    saveAsAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    exportPdfAction_ =
        file->addAction(QStringLiteral("导出 PDF(&E)..."), this, [this] { ExportPdf(); });
    newFromSettingsAction_ = file->addAction(QStringLiteral("按此卡设置新建(&D)..."), this,
                                             [this] { NewFromSheetSettings(); });
    newFromSettingsAction_->setObjectName(QStringLiteral("newFromSettingsAction"));
    exportOmrAction_ = file->addAction(QStringLiteral("导出答题卡模板(&M)..."), this,
                                       [this] { ExportOmrTemplate(); });
    previewAction_ =
        file->addAction(QStringLiteral("打印预览(&V)..."), this, [this] { PrintPreview(); });
    printAction_ = file->addAction(QStringLiteral("打印(&P)..."), this, [this] { Print(); });
    printAction_->setShortcut(QKeySequence::Print);
    file->addSeparator();
    closeAction_ = file->addAction(QStringLiteral("关闭(&C)"), this, [this] { CloseDocument(); });
    closeAction_->setShortcut(QKeySequence::Close);
    file->addAction(QStringLiteral("退出(&X)"), this, &QWidget::close)
        ->setShortcut(QKeySequence::Quit);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("编辑(&E)"));
    undoAction_ = edit->addAction(QStringLiteral("撤销(&U)"), this, [this] { Undo(); });
    undoAction_->setObjectName(QStringLiteral("undoAction"));
    undoAction_->setShortcut(QKeySequence::Undo);
    redoAction_ = edit->addAction(QStringLiteral("重做(&R)"), this, [this] { Redo(); });
    redoAction_->setObjectName(QStringLiteral("redoAction"));
    redoAction_->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    edit->addSeparator();
    edit->addAction(QStringLiteral("编辑单元格文字(&T)"), this, [this] { BeginCellEdit(); })
        ->setShortcut(Qt::Key_F2);
    edit->addAction(QStringLiteral("选定单元格(&G)..."), this, [this] { AskForCells(); })
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));

    QMenu* view = menuBar()->addMenu(QStringLiteral("视图(&V)"));
    view->addAction(QStringLiteral("放大(&I)"), this, [this] { view_->ZoomBy(1.25); })
        ->setShortcut(QKeySequence::ZoomIn);
    view->addAction(QStringLiteral("缩小(&O)"), this, [this] { view_->ZoomBy(0.8); })
        ->setShortcut(QKeySequence::ZoomOut);
    view->addAction(QStringLiteral("实际大小(&A)"), this, [this] { view_->SetZoom(96.0 / 72.0); });
    view->addAction(QStringLiteral("适合宽度(&W)"), this, [this] { view_->FitWidth(); });
    view->addAction(QStringLiteral("整页(&P)"), this, [this] { view_->FitPage(); });
    view->addSeparator();
    const struct {
        const char* text;
        QKeySequence key;
        std::function<int()> page;
    } moves[] = {
        {"第一页(&F)", QKeySequence(Qt::CTRL | Qt::Key_Home), [] { return 0; }},
        {"上一页(&R)", QKeySequence(Qt::CTRL | Qt::Key_PageUp),
         [this] { return view_->CurrentPage() - 1; }},
        {"下一页(&N)", QKeySequence(Qt::CTRL | Qt::Key_PageDown),
         [this] { return view_->CurrentPage() + 1; }},
        {"最后一页(&L)", QKeySequence(Qt::CTRL | Qt::Key_End),
         [this] { return view_->PageCount() - 1; }},
    };
    for (const auto& m : moves)
        view->addAction(QString::fromUtf8(m.text), this,
                        [this, page = m.page] { view_->ShowPage(page()); })
            ->setShortcut(m.key);
}

void MainWindow::BuildStatusBar() {
    pageLabel_ = new QLabel(this);
    pageLabel_->setObjectName(QStringLiteral("pageStatus"));
    pointerLabel_ = new QLabel(this);
    pointerLabel_->setObjectName(QStringLiteral("pointerStatus"));
    selectionLabel_ = new QLabel(this);
    selectionLabel_->setObjectName(QStringLiteral("selectionStatus"));
    pointerLabel_->setMinimumWidth(160);
    selectionLabel_->setMinimumWidth(200);
    statusBar()->addWidget(pageLabel_);
    statusBar()->addWidget(pointerLabel_);
    statusBar()->addWidget(selectionLabel_);
}

QString MainWindow::PageStatus() const {
    const int pages = view_->PageCount();
    return pages ? QStringLiteral("第 %1 页，共 %2 页").arg(view_->CurrentPage() + 1).arg(pages)
                 : QString();
}

QString MainWindow::PointerStatus() const {
    return pointer_;
}

// The selection as `varelo edit --select` takes it, when it lies in the page grid.
QString MainWindow::SelectionStatus() const {
    const auto cells = tools::FindActiveCells(const_cast<host::Application&>(app_));
    if (!cells) return QString();
    const host::CellRect& r = cells->rect;
    const QString at =
        r.top == r.bottom && r.left == r.right
            ? QStringLiteral("%1,%2").arg(r.top).arg(r.left)
            : QStringLiteral("%1,%2:%3,%4").arg(r.top).arg(r.left).arg(r.bottom).arg(r.right);
    return cells->table == &cells->doc->Tables(1) ? QStringLiteral("选定 %1").arg(at)
                                                  : QStringLiteral("选定 %1（表中表）").arg(at);
}

bool MainWindow::SelectGridCells(const QString& cells) {
    host::Document* doc = app_.ActiveDocument();
    if (!doc || doc->TableCount() == 0) return false;
    // R1,C1:R2,C2 or R,C, as the status bar shows it and `varelo edit --select` takes it.
    static const QRegularExpression form(
        QStringLiteral("^\\s*(\\d{1,5})\\s*[,，]\\s*(\\d{1,5})\\s*(?:[:：]\\s*(\\d{1,5})\\s*[,，]"
                       "\\s*(\\d{1,5})\\s*)?$"));
    const QRegularExpressionMatch m = form.match(cells);
    if (!m.hasMatch()) return false;
    const int r1 = m.captured(1).toInt(), c1 = m.captured(2).toInt();
    const int r2 = m.captured(3).isEmpty() ? r1 : m.captured(3).toInt();
    const int c2 = m.captured(4).isEmpty() ? c1 : m.captured(4).toInt();
    host::Table& grid = doc->Tables(1);
    try {
        app_.selection.SelectCells(grid, {r1, c1, r2, c2});
    } catch (const host::HostError&) {
        return false;
    }
    view_->Invalidate();
    if (const auto rect =
            view_->CellOnScreen(grid, grid.CellArea(std::min(r1, r2), std::min(c1, c2))))
        view_->verticalScrollBar()->setValue(view_->verticalScrollBar()->value() + rect->top() -
                                             view_->viewport()->height() / 3);
    UpdateStatus();
    UpdateFormatBar();
    return true;
}

void MainWindow::AskForCells() {
    host::Document* doc = app_.ActiveDocument();
    if (!doc || doc->TableCount() == 0) return;
    bool ok = false;
    const QString cells =
        QInputDialog::getText(this, QStringLiteral("选定单元格"),
                              QStringLiteral("页面网格的行和列（如 95,3:98,21，共 %1 行 %2 列）：")
                                  .arg(doc->Tables(1).Rows())
                                  .arg(doc->Tables(1).Columns()),
                              QLineEdit::Normal, QString(), &ok);
    if (ok && !SelectGridCells(cells)) app_.ShowMessage("请输入页面网格中的单元格，如 95,3:98,21");
}

void MainWindow::UpdateStatus() {
    pageLabel_->setText(PageStatus());
    selectionLabel_->setText(SelectionStatus());
}

void MainWindow::UpdateFormatBar() {
    const auto cells = tools::FindActiveCells(app_);
    if (!cells) {
        formatBar_->Show(nullptr, nullptr);
        return;
    }
    host::Cell& cell = cells->table->At(cells->rect.top, cells->rect.left);
    const host::Paragraph& p = cell.FirstParagraph();
    const host::CharFormat font =
        cells->doc->Resolve(p, p.runs.empty() ? p.markFormat : p.runs.front().format);
    const host::Alignment alignment = p.format.alignment;
    formatBar_->Show(&font, &alignment);
}

void MainWindow::RebuildRecentMenu() {
    recentMenu_->clear();
    const QStringList files = state_.RecentFiles();
    for (int i = 0; i < files.size(); ++i) {
        QAction* a = recentMenu_->addAction(
            QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(files[i]).fileName()), this,
            [this, path = files[i]] { OpenFile(path); });
        a->setToolTip(files[i]);
        a->setData(files[i]);
    }
    recentMenu_->setEnabled(!files.isEmpty());
}

void MainWindow::LoadAddIns(const std::string& recordFile) {
    std::string warning;
    const auto records = host::StartupAddIns(recordFile, &warning);
    if (!warning.empty()) std::cerr << "varelo-desk: " << warning << "\n";
    for (const host::AddInRecord& r : records) {
        if (r.progId == host::VareloAddIn().progId)
            ConnectAddIn();
        else
            std::cerr << "varelo-desk：登记的插件 " << r.progId << " 无法在此加载\n";
    }
}

void MainWindow::ConnectAddIn() {
    if (addIn_) return;
    addIn_ = std::make_unique<host::Connect>(addinFolder_);
    addIn_->showSettings = [this](host::Application&) {
        RunSettingsDialog();
        view_->Invalidate();
    };
    addIn_->boxTool = Undoable(&tools::cbbBox_Click);
    addIn_->lineTool = Undoable(&tools::cbbLine_Click);
    addIn_->zuwenTool = Undoable(&tools::cbbZuwen_Click);
    addIn_->hebingTool = Undoable(&tools::cbbHebing_Click);
    addIn_->gridTool = &tools::cbbGrid_Click;  // a view setting: nothing to undo
    addIn_->OnConnection(app_);
    addIn_->OnStartupComplete();
}

void MainWindow::DisconnectAddIn() {
    if (!addIn_) return;
    addIn_->OnBeginShutdown();
    addIn_->OnDisconnection();
    addIn_.reset();
    SyncCommandBars();
}

QToolBar* MainWindow::ToolBarFor(const host::CommandBar& bar) const {
    auto it = bars_.find(&bar);
    return it == bars_.end() ? nullptr : it->second.toolbar;
}

QAction* MainWindow::ActionFor(const host::CommandBarControl& control) const {
    auto it = actions_.find(&control);
    return it == actions_.end() ? nullptr : it->second;
}

// Brings the toolbars in line with the host's bars. Called whenever the model reports a change
// and after every click, so the window never shows a state the model does not have.
void MainWindow::SyncCommandBars() {
    std::map<const host::CommandBar*, MirroredBar> kept;
    for (auto& barPtr : app_.commandBars.All()) {
        const host::CommandBar& bar = *barPtr;
        std::vector<const host::CommandBarControl*> controls;
        for (auto& c : bar.controls) controls.push_back(c.get());

        MirroredBar mirror{nullptr, {}};
        if (auto it = bars_.find(&bar); it != bars_.end()) {
            mirror = it->second;
            bars_.erase(it);
        } else {
            mirror.toolbar = new QToolBar(Q(bar.name), this);
            mirror.toolbar->setObjectName(Q(bar.name));
            mirror.toolbar->setIconSize(QSize(16, 16));
        }
        if (mirror.controls != controls) {
            for (const host::CommandBarControl* old : mirror.controls)
                if (auto a = actions_.find(old); a != actions_.end()) {
                    mirror.toolbar->removeAction(a->second);
                    a->second->deleteLater();
                    actions_.erase(a);
                }
            for (const host::CommandBarControl* c : controls) {
                if (c->beginGroup && !mirror.toolbar->actions().isEmpty())
                    mirror.toolbar->addSeparator();
                QAction* action = mirror.toolbar->addAction(QString());
                connect(action, &QAction::triggered, this, [this, c] { ClickControl(c); });
                actions_[c] = action;
            }
            mirror.controls = controls;
        }
        for (const host::CommandBarControl* c : controls) {
            QAction* action = actions_.at(c);
            const QString text = MenuText(c->caption);
            action->setText(text);
            action->setShortcut(QKeySequence::mnemonic(text));
            action->setToolTip(Q(c->tooltipText));
            action->setIcon(ButtonIcon(c->picture, c->mask));
            action->setEnabled(c->enabled);
            action->setData(Q(c->parameter));
            if (auto* button =
                    qobject_cast<QToolButton*>(mirror.toolbar->widgetForAction(action))) {
                button->setToolButtonStyle(ButtonStyle(c->style));
                button->setMinimumWidth(c->width > 0 ? c->width : 0);
                button->setObjectName(Q(c->parameter));
            }
        }
        if (toolBarArea(mirror.toolbar) != ToolBarArea(bar.position))
            addToolBar(ToolBarArea(bar.position), mirror.toolbar);
        mirror.toolbar->setVisible(bar.visible);
        kept[&bar] = mirror;
    }
    // Bars that are gone; their toolbars may be running the click that removed them.
    for (auto& [bar, mirror] : bars_) {
        for (const host::CommandBarControl* c : mirror.controls) actions_.erase(c);
        mirror.toolbar->hide();
        mirror.toolbar->deleteLater();
    }
    bars_ = std::move(kept);
}

void MainWindow::ClickControl(const host::CommandBarControl* control) {
    // The control may have gone with its bar since the toolbar was built.
    for (auto& bar : app_.commandBars.All())
        for (auto& c : bar->controls)
            if (c.get() == control) {
                c->Click();
                view_->Invalidate();
                SyncCommandBars();
                return;
            }
}

void MainWindow::DocumentsChanged() {
    if (editor_->Editing() && app_.ActiveDocument() != editTarget_.doc) EndCellEdit(false);
    view_->Invalidate();
    host::Document* doc = app_.ActiveDocument();
    setWindowTitle(doc ? Q(doc->name) + QStringLiteral("[*] - Varelo") : QStringLiteral("Varelo"));
    setWindowModified(doc && !doc->saved);
    for (QAction* a :
         {saveAction_, saveAsAction_, exportPdfAction_, printAction_, previewAction_, closeAction_})
        a->setEnabled(doc != nullptr);
    // Forget the settings of sheets that are gone; their addresses may come back.
    for (auto it = sheetForms_.begin(); it != sheetForms_.end();) {
        bool open = false;
        for (int i = 1; i <= app_.DocumentCount(); ++i)
            open = open || &app_.Documents(i) == it->first;
        it = open ? std::next(it) : sheetForms_.erase(it);
    }
    const bool hasSettings = doc && FormOf(*doc);
    // A sheet whose settings an office program dropped still has its page grid to read.
    exportOmrAction_->setEnabled(hasSettings || (doc && StartsWithTable(*doc)));
    newFromSettingsAction_->setEnabled(hasSettings);
    history_.ForgetClosed(app_);
    UpdateUndoAction();
    // The grid under the pointer went with the last document.
    if (!doc) pointer_.clear();
    pointerLabel_->setText(pointer_);
    UpdateStatus();
    UpdateFormatBar();
}

host::Connect::ToolHandler MainWindow::Undoable(void (*tool)(host::Application&, bool&)) {
    return [this, tool](host::Application& app, bool& cancelDefault) {
        EndCellEdit(true);
        history_.Record(app, [&] {
            try {
                tool(app, cancelDefault);
            } catch (const host::HostError& e) {
                // The tool has no error handling of its own; the click ends there, like any
                // failing host call, and what it changed so far can be undone.
                std::cerr << "varelo-desk：工具中途停止：" << e.what() << "\n";
            }
        });
        UpdateUndoAction();
    };
}

bool MainWindow::CanUndo() {
    return history_.CanUndo(app_.ActiveDocument());
}

bool MainWindow::CanRedo() {
    return history_.CanRedo(app_.ActiveDocument());
}

void MainWindow::UpdateUndoAction() {
    undoAction_->setEnabled(CanUndo());
    redoAction_->setEnabled(CanRedo());
}

bool MainWindow::Undo() {
    EndCellEdit(true);
    if (!history_.Undo(app_)) return false;
    DocumentsChanged();
    return true;
}

bool MainWindow::Redo() {
    EndCellEdit(true);
    if (!history_.Redo(app_)) return false;
    DocumentsChanged();
    return true;
}

bool MainWindow::BeginCellEdit(const QString& typed) {
    EndCellEdit(true);
    const auto cells = tools::FindActiveCells(app_);
    if (!cells) return false;
    const host::CellRect area = cells->table->CellArea(cells->rect.top, cells->rect.left);
    host::Cell& cell = cells->table->At(area.top, area.left);
    // Composition paper is a table of squares, written on by hand, not typed into.
    for (const host::Block& b : cell.content)
        if (b.IsTable()) return false;
    const std::optional<QRect> rect = view_->CellOnScreen(*cells->table, area);
    if (!rect) return false;
    const host::Paragraph& p = cell.FirstParagraph();
    const host::CharFormat format =
        cells->doc->Resolve(p, p.runs.empty() ? p.markFormat : p.runs.front().format);
    QFont font = render::Face(format.font.value_or(""), format.bold.value_or(false)).font;
    font.setPixelSize(std::max(1, static_cast<int>(format.size.value_or(10.5) * view_->Zoom())));
    QString text = Q(cell.Text());
    text.replace(u'\r', u'\n');
    editTarget_ = {cells->doc, cells->table, area};
    editor_->Begin(*rect, typed.isEmpty() ? text : typed, font, QtAlignment(p.format.alignment));
    return true;
}

void MainWindow::EndCellEdit(bool keep) {
    if (editor_ && editor_->Editing()) editor_->Finish(keep);
}

void MainWindow::PlaceEditor() {
    if (!editor_->Editing()) return;
    if (const auto rect = view_->CellOnScreen(*editTarget_.table, editTarget_.area))
        editor_->move(rect->topLeft());
}

void MainWindow::CommitCellText(const QString& text) {
    view_->setFocus();
    const EditTarget target = std::exchange(editTarget_, {});
    host::Document* doc = app_.ActiveDocument();
    // The cell must still be the one typed into: same document, same table, same cell.
    const auto cells = tools::FindActiveCells(app_);
    if (!doc || doc != target.doc || !cells || cells->table != target.table) return;
    host::Table& table = *cells->table;
    if (target.area.bottom > table.Rows() || target.area.right > table.Columns() ||
        table.CellArea(target.area.top, target.area.left) != target.area)
        return;
    const bool changed = history_.Record(
        app_, [&] { table.At(target.area.top, target.area.left).SetText(text.toStdString()); });
    if (!changed) return;
    doc->saved = false;
    DocumentsChanged();
}

bool MainWindow::ChangeSelectedCells(
    const std::function<void(host::Cell&, bool holdsBubbles)>& change) {
    EndCellEdit(true);
    const auto cells = tools::FindActiveCells(app_);
    if (!cells) return false;
    const bool changed = history_.Record(app_, [&] {
        for (const host::CellRect& a : cells->table->CellsIn(cells->rect))
            change(cells->table->At(a.top, a.left), tools::HoldsBubblesOrMarks(*cells->table, a));
    });
    if (!changed) return false;
    cells->doc->saved = false;
    DocumentsChanged();
    return true;
}

bool MainWindow::ApplyFont(const host::CharFormat& format) {
    return ChangeSelectedCells([&](host::Cell& cell, bool holdsBubbles) {
        if (!holdsBubbles) cell.ApplyCharFormat(format);
    });
}

bool MainWindow::ApplyAlignment(host::Alignment alignment) {
    return ChangeSelectedCells([&](host::Cell& cell, bool) { cell.SetAlignment(alignment); });
}

void MainWindow::EnableTools() {
    for (auto& bar : app_.commandBars.All()) {
        if (bar->name != host::kBarName) continue;
        const int last = std::min<int>(6, static_cast<int>(bar->controls.size()));
        for (int i = 2; i <= last; ++i) bar->Control(i).enabled = true;
    }
    app_.commandBars.NotifyChanged();
}

bool MainWindow::Open() {
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("打开"), state_.LastFolder(), QStringLiteral("Word 文档 (*.docx)"));
    return !path.isEmpty() && OpenFile(path);
}

bool MainWindow::OpenFile(const QString& path) {
    const std::string file = path.toStdString();
    // A sheet that is open already is shown rather than loaded twice, so two copies can never
    // be saved over each other.
    for (int i = 1; i <= app_.DocumentCount(); ++i) {
        host::Document& open = app_.Documents(i);
        if (SameFile(open.path, file)) {
            app_.Activate(open);
            EnableTools();
            return true;
        }
    }
    EndCellEdit(true);
    std::unique_ptr<host::Document> doc;
    try {
        doc = host::OpenDocx(file);
    } catch (const host::OpenError& e) {
        std::cerr << "varelo-desk: " << e.what() << "\n";
        if (!QFileInfo::exists(path)) {
            state_.Forget(QFileInfo(path).absoluteFilePath());
            RebuildRecentMenu();
        }
        app_.ShowMessage("无法打开文件：" + QFileInfo(path).fileName().toStdString() + "。" +
                         ChineseOpenReason(e.what()));
        return false;
    }
    state_.Used(path);
    RebuildRecentMenu();
    const bool readOnly = doc->ReadOnly();
    const std::string lost = ChineseUnmodelled(doc->unmodelled);
    app_.AdoptDocument(std::move(doc));
    // Tools are normally enabled by generating a sheet; a sheet read back is finished with
    // the same tools, so opening one enables them too.
    EnableTools();
    // Said now rather than at the first save, so no work is done on a sheet that cannot keep it.
    if (readOnly)
        app_.ShowMessage("此文档含有本程序无法保留的内容（" + lost +
                         "），以只读方式打开：可以查看、导出 PDF 和扫描模板，但保存会丢失这些内容，"
                         "因此不能保存。");
    return true;
}

void MainWindow::ShowMessage(const std::string& text) {
    // A message may follow a change to the document; never paint an outdated layout under it.
    view_->Invalidate();
    QString shown = Q(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QWidget* parent = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : this;
    QMessageBox box(QMessageBox::NoIcon, QString(), shown, QMessageBox::Ok, parent);
    box.exec();
}

bool MainWindow::AskToConfirm(const std::string& question) {
    view_->Invalidate();
    QWidget* parent = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : this;
    QMessageBox box(QMessageBox::NoIcon, QString(), Q(question), QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

host::SaveChoice MainWindow::AskToSave(host::Document& doc) {
    view_->Invalidate();
    QWidget* parent = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : this;
    QMessageBox box(QMessageBox::NoIcon, QString(),
                    QStringLiteral("是否保存对“%1”的更改？").arg(Q(doc.name)),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Save);
    // The word processor's wording; Qt's stock button says 丢弃.
    box.button(QMessageBox::Discard)->setText(QStringLiteral("不保存(&N)"));
    switch (box.exec()) {
        case QMessageBox::Save: {
            QString path = Q(doc.path);
            if (path.isEmpty())
                path = AskForPath(QStringLiteral("另存为"),
                                  StartIn(Q(doc.name) + QStringLiteral(".docx")),
                                  QStringLiteral("Word 文档 (*.docx)"), QStringLiteral("docx"));
            if (path.isEmpty() || !SaveDocument(doc, path)) return host::SaveChoice::Cancel;
            return host::SaveChoice::Save;
        }
        case QMessageBox::Discard:
            return host::SaveChoice::DontSave;
        default:
            return host::SaveChoice::Cancel;
    }
}

QString MainWindow::AskForPath(const QString& caption, const QString& suggested,
                               const QString& filters, const QString& suffix, QString* chosen) {
    QFileDialog dialog(this, caption, suggested, filters);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The dialog adds the suffix before it asks about replacing a file: a name typed without
    // it must not replace the file that has it unasked.
    dialog.setDefaultSuffix(suffix);
    if (chosen && !chosen->isEmpty()) dialog.selectNameFilter(*chosen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    if (chosen) *chosen = dialog.selectedNameFilter();
    const QString path = dialog.selectedFiles().front();
    state_.UsedFolder(path);
    return path;
}

QString MainWindow::StartIn(const QString& fileName) const {
    return QDir(state_.LastFolder()).filePath(fileName);
}

bool MainWindow::SaveDocument(host::Document& doc, const QString& path) {
    // Two documents kept in one file would overwrite each other's work at every save.
    for (int i = 1; i <= app_.DocumentCount(); ++i) {
        const host::Document& other = app_.Documents(i);
        if (&other == &doc || !SameFile(other.path, path.toStdString())) continue;
        app_.ShowMessage("无法保存文件：“" + QFileInfo(path).fileName().toStdString() +
                         "”已在本窗口中打开。请另选文件名，或先关闭那份文档。");
        return false;
    }
    const std::string named = "“" + QFileInfo(path).fileName().toStdString() + "”。";
    if (doc.ReadOnly()) {
        app_.ShowMessage("无法保存文件：" + named + "此文档含有本程序无法保留的内容（" +
                         ChineseUnmodelled(doc.unmodelled) + "），保存会丢失这些内容。");
        return false;
    }
    try {
        host::SaveDocx(doc, path.toStdString());
    } catch (const std::exception& e) {
        std::cerr << "varelo-desk: " << e.what() << "\n";
        app_.ShowMessage("无法保存文件：" + named +
                         ChineseWriteReason(e.what()).value_or("无法写入该文件。"));
        return false;
    }
    doc.path = path.toStdString();
    doc.name = QFileInfo(path).fileName().toStdString();
    doc.saved = true;
    state_.Used(path);
    RebuildRecentMenu();
    DocumentsChanged();
    return true;
}

bool MainWindow::New() {
    EndCellEdit(true);
    app_.AddDocument();
    DocumentsChanged();
    return true;
}

bool MainWindow::Save() {
    EndCellEdit(true);
    host::Document* doc = app_.ActiveDocument();
    if (!doc) return false;
    if (doc->path.empty()) return SaveAs();
    return SaveDocument(*doc, Q(doc->path));
}

bool MainWindow::SaveAs() {
    EndCellEdit(true);
    host::Document* doc = app_.ActiveDocument();
    if (!doc) return false;
    const QString suggested =
        doc->path.empty() ? StartIn(Q(doc->name) + QStringLiteral(".docx")) : Q(doc->path);
    QString path = AskForPath(QStringLiteral("另存为"), suggested,
                              QStringLiteral("Word 文档 (*.docx)"), QStringLiteral("docx"));
    if (path.isEmpty()) return false;
    if (!path.endsWith(QStringLiteral(".docx"), Qt::CaseInsensitive))
        path += QStringLiteral(".docx");
    return SaveDocument(*doc, path);
}

bool MainWindow::ExportPdf() {
    host::Document* doc = app_.ActiveDocument();
    if (!doc) return false;
    QString path =
        AskForPath(QStringLiteral("导出 PDF"),
                   StartIn(QFileInfo(Q(doc->name)).completeBaseName() + QStringLiteral(".pdf")),
                   QStringLiteral("PDF (*.pdf)"), QStringLiteral("pdf"));
    if (path.isEmpty()) return false;
    if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) path += QStringLiteral(".pdf");
    try {
        render::ExportPdf(*doc, path.toStdString());
    } catch (const std::exception& e) {
        std::cerr << "varelo-desk: " << e.what() << "\n";
        app_.ShowMessage("无法导出 PDF：“" + QFileInfo(path).fileName().toStdString() + "”。" +
                         ChineseWriteReason(e.what()).value_or("无法写入该文件。"));
        return false;
    }
    return true;
}

void MainWindow::SetUpPrinter(QPrinter& printer, const host::Document& doc) {
    const host::PageSetup& ps = doc.pageSetup;
    const bool landscape = ps.pageWidth > ps.pageHeight;
    printer.setPageSize(QPageSize(
        landscape ? QSizeF(ps.pageHeight, ps.pageWidth) : QSizeF(ps.pageWidth, ps.pageHeight),
        QPageSize::Point));
    printer.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer.setFullPage(true);
    printer.setDocName(Q(doc.name));
}

void MainWindow::PaintPages(QPrinter& printer, const host::Document& doc) {
    // A print dialog (also the preview's) knows only standard papers and puts its default in
    // place of the sheet's own (8开 is none of them); pages are drawn at their true size, so
    // any other paper cuts them.
    SetUpPrinter(printer, doc);
    const render::PageRenderer renderer(doc);
    QPainter painter;
    if (!painter.begin(&printer)) {
        app_.ShowMessage("无法打印。");
        return;
    }
    const double scale = printer.resolution() / 72.0;
    const int from = printer.fromPage() > 0 ? printer.fromPage() - 1 : 0;
    const int to = printer.toPage() > 0 ? std::min(printer.toPage(), renderer.PageCount())
                                        : renderer.PageCount();
    for (int i = from; i < to; ++i) {
        if (i > from) printer.newPage();
        painter.save();
        painter.scale(scale, scale);
        renderer.Draw(painter, i);
        painter.restore();
    }
    painter.end();
}

bool MainWindow::Print() {
    EndCellEdit(true);
    host::Document* doc = app_.ActiveDocument();
    if (!doc) return false;
    QPrinter printer(QPrinter::HighResolution);
    SetUpPrinter(printer, *doc);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted) return false;
    PaintPages(printer, *doc);
    return true;
}

bool MainWindow::PrintPreview() {
    EndCellEdit(true);
    host::Document* doc = app_.ActiveDocument();
    if (!doc) return false;
    QPrinter printer(QPrinter::HighResolution);
    SetUpPrinter(printer, *doc);
    QPrintPreviewDialog dialog(&printer, this);
    dialog.setObjectName(QStringLiteral("printPreview"));
    dialog.setWindowTitle(QStringLiteral("打印预览 - %1").arg(Q(doc->name)));
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
            [this, doc](QPrinter* p) { PaintPages(*p, *doc); });
    dialog.resize(1000, 760);
    return dialog.exec() == QDialog::Accepted;
}

bool MainWindow::CloseDocument() {
    host::Document* doc = app_.ActiveDocument();
    return doc && app_.CloseDocument(*doc);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (app_.DocumentCount() > 0 && !app_.CloseAllDocuments()) {
        event->ignore();
        return;
    }
    event->accept();
}

host::Document* MainWindow::GenerateExampleSheet() {
    auto sheet = std::make_shared<host::Document*>(nullptr);
    // The dialog is modal: fill it in once its event loop runs.
    QTimer::singleShot(0, this, [sheet] {
        auto* dialog = qobject_cast<SettingsDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        dialog->findChild<QComboBox*>(QStringLiteral("cmbPage"))
            ->setCurrentText(QStringLiteral("A3三栏"));
        dialog->findChild<QAbstractButton*>(QStringLiteral("cmdAdd"))->click();
        dialog->findChild<QAbstractButton*>(QStringLiteral("OKButton"))->click();
        *sheet = dialog->Sheet();
    });
    if (addIn_ && addIn_->cbbButton)
        ClickControl(addIn_->cbbButton);
    else
        RunSettingsDialog();
    return *sheet;
}

std::optional<settings::SheetForm> MainWindow::FormOf(const host::Document& doc) const {
    if (const auto it = sheetForms_.find(&doc); it != sheetForms_.end()) return it->second;
    try {
        if (const auto saved = settings::SheetSettingsOf(doc)) return settings::FormOf(*saved);
        return std::nullopt;
    } catch (const settings::SheetSettingsError& e) {
        std::cerr << "varelo-desk：答题卡设置无法读取：" << e.what() << "\n";
        return std::nullopt;
    }
}

host::Document* MainWindow::NewFromSheetSettings() {
    host::Document* doc = app_.ActiveDocument();
    const std::optional<settings::SheetForm> form = doc ? FormOf(*doc) : std::nullopt;
    if (!form) {
        app_.ShowMessage("这份文档没有答题卡设置。");
        return nullptr;
    }
    host::Document* sheet = RunSettingsDialog(&*form);
    view_->Invalidate();
    return sheet;
}

host::Document* MainWindow::RunSettingsDialog(const settings::SheetForm* prefill) {
    std::optional<settings::SheetForm> made;
    host::Document* sheet =
        ShowSettingsDialog(app_, this, [&made, prefill](SettingsDialog& dialog) {
            if (prefill) dialog.Prefill(*prefill);
            // Accepted right after the OK handler made the sheet, with the form still filled in.
            connect(&dialog, &QDialog::accepted, &dialog,
                    [&made, &dialog] { made = dialog.Form(); });
        });
    if (sheet && made) sheetForms_[sheet] = *made;
    DocumentsChanged();
    return sheet;
}

bool MainWindow::ExportOmrTemplate() {
    host::Document* doc = app_.ActiveDocument();
    if (!doc) return false;
    const QString varelo = QStringLiteral("Varelo 答题卡模板 (*.json)");
    const QString omrChecker = QStringLiteral("OMRChecker 模板，每页一个文件 (*.json)");
    QString chosen = varelo;
    QString path = AskForPath(
        QStringLiteral("导出答题卡模板"),
        StartIn(QFileInfo(Q(doc->name)).completeBaseName() + QStringLiteral("-omr.json")),
        varelo + QStringLiteral(";;") + omrChecker, QStringLiteral("json"), &chosen);
    if (path.isEmpty()) return false;
    if (!path.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive))
        path += QStringLiteral(".json");
    int dpi = 150;
    if (chosen == omrChecker) {
        bool ok = false;
        dpi = QInputDialog::getInt(this, QStringLiteral("导出答题卡模板"),
                                   QStringLiteral("扫描分辨率（dpi）："), dpi, 10, 1200, 10, &ok);
        if (!ok) return false;
    }
    return WriteOmrTemplate(
        *doc, path,
        chosen == omrChecker ? layout::OmrFormat::OmrChecker : layout::OmrFormat::Varelo, dpi);
}

bool MainWindow::WriteOmrTemplate(host::Document& doc, const QString& path,
                                  layout::OmrFormat format, int dpi) {
    const std::optional<settings::SheetForm> made = FormOf(doc);
    if (!made && !StartsWithTable(doc)) {
        app_.ShowMessage("只有用答题卡设置生成的文档才能导出答题卡模板。");
        return false;
    }
    try {
        // An office program may have dropped the settings: read them off the grid.
        const settings::ValidExam sheet =
            made ? settings::ExamOfSettings(settings::DraftOf(*made)) : settings::ExamOfGrid(doc);
        const layout::OmrTemplate t = layout::BuildOmrTemplate(doc, sheet.exam, sheet.plan);
        layout::WriteOmrTemplate(t, path.toStdString(), format, dpi);
    } catch (const layout::OmrError& e) {
        // A sheet that does not match its settings is said as the template builder says it.
        const std::optional<std::string> reason = ChineseWriteReason(e.what());
        if (reason) std::cerr << "varelo-desk: " << e.what() << "\n";
        app_.ShowMessage("无法导出答题卡模板：" +
                         (reason ? "“" + QFileInfo(path).fileName().toStdString() + "”。" + *reason
                                 : std::string(e.what())));
        return false;
    }
    return true;
}

}  // namespace varelo::desk
