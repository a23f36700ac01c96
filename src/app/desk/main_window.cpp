#include "main_window.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <iostream>

#include "app/desk/addin/registration.h"
#include "base/units.h"
#include "cell_editor.h"
#include "doc/errors.h"
#include "edit/active_cells.h"
#include "edit/tools.h"
#include "format_bar.h"
#include "page_view.h"
#include "window_text.h"

namespace varelo::desk {

namespace {

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
    app_.noticeSink = [this](const std::string& text) {
        statusBar()->showMessage(Q(text), kNoticeMilliseconds);
    };
    app_.askToSave = [this](host::Document& doc) { return AskToSave(doc); };
    // Typing not yet ended belongs to the document: it is kept before a close looks for
    // changes to save, whatever closes it (Ctrl+W, the window, a new sheet being made).
    app_.documentBeforeClose.push_back([this](host::Document&, bool& cancel) {
        EndCellEdit(true);
        if (keepDocumentsOpen_) cancel = true;
    });
    app_.askToConfirm = [this](const std::string& question) { return AskToConfirm(question); };
    app_.processPendingEvents = [this] {
        view_->Invalidate();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    app_.documentsChanged = [this] { DocumentsChanged(); };
    app_.commandBars.observers.push_back([this] { SyncCommandBars(); });
    DocumentsChanged();
    qApp->installEventFilter(this);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ShortcutOverride) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    // The cell editor keeps its own undo while typing; other windows are not ours.
    if (!widget || widget == editor_ || widget->window() != this ||
        !(qobject_cast<QLineEdit*>(widget) || qobject_cast<QComboBox*>(widget) ||
          qobject_cast<QAbstractSpinBox*>(widget)))
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    // What a box needs of the keyboard stays with it.
    for (const auto kept :
         {QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Paste, QKeySequence::SelectAll})
        if (key->matches(kept)) return false;
    const QKeySequence pressed(key->keyCombination());
    for (const QAction* a : findChildren<QAction*>())
        if (a->isEnabled() && a->shortcuts().contains(pressed)) {
            event->ignore();  // not overridden: the shortcut runs
            return true;
        }
    return false;
}

MainWindow::~MainWindow() {
    DisconnectAddIn();
    app_.messageSink = nullptr;
    app_.noticeSink = nullptr;
    app_.askToSave = nullptr;
    app_.askToConfirm = nullptr;
    app_.processPendingEvents = nullptr;
    app_.documentsChanged = nullptr;
    app_.documentBeforeClose.clear();
    app_.commandBars.observers.clear();
    qApp->removeEventFilter(this);
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
    view->addAction(QStringLiteral("实际大小(&A)"), this,
                    [this] { view_->SetZoom(host::PixelsPerPoint(96)); });
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

    windowMenu_ = menuBar()->addMenu(QStringLiteral("窗口(&W)"));
    windowMenu_->setObjectName(QStringLiteral("windowMenu"));
    nextDocumentAction_ = new QAction(QStringLiteral("下一个文档(&N)"), this);
    nextDocumentAction_->setObjectName(QStringLiteral("nextDocumentAction"));
    nextDocumentAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab));
    connect(nextDocumentAction_, &QAction::triggered, this, [this] { ShowNextDocument(); });
    addAction(nextDocumentAction_);  // its key works with the menu closed
}

void MainWindow::RebuildWindowMenu() {
    // Later, not now: the entry clicked may be the one running this.
    for (QAction* a : windowMenu_->actions()) {
        windowMenu_->removeAction(a);
        if (a != nextDocumentAction_) a->deleteLater();
    }
    windowMenu_->addAction(nextDocumentAction_);
    windowMenu_->addSeparator();
    const host::Document* active = app_.ActiveDocument();
    for (int i = 1; i <= app_.DocumentCount(); ++i) {
        host::Document& doc = app_.Documents(i);
        QAction* a = windowMenu_->addAction(QStringLiteral("&%1 %2").arg(i).arg(Q(doc.name)), this,
                                            [this, &doc] {
                                                for (int j = 1; j <= app_.DocumentCount(); ++j)
                                                    if (&app_.Documents(j) == &doc) {
                                                        EndCellEdit(true);
                                                        app_.Activate(doc);
                                                        return;
                                                    }
                                            });
        a->setCheckable(true);
        a->setChecked(&doc == active);
    }
    nextDocumentAction_->setEnabled(app_.DocumentCount() > 1);
}

void MainWindow::ShowNextDocument() {
    const int count = app_.DocumentCount();
    if (count < 2) return;
    int at = 0;
    for (int i = 1; i <= count; ++i)
        if (&app_.Documents(i) == app_.ActiveDocument()) at = i;
    EndCellEdit(true);
    app_.Activate(app_.Documents(at % count + 1));
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

    zoomBox_ = new QComboBox(this);
    zoomBox_->setObjectName(QStringLiteral("zoomBox"));
    zoomBox_->setToolTip(QStringLiteral("显示比例"));
    zoomBox_->setEditable(true);
    zoomBox_->setInsertPolicy(QComboBox::NoInsert);
    for (int percent : {50, 75, 100, 125, 150, 200, 300})
        zoomBox_->addItem(QStringLiteral("%1%").arg(percent));
    zoomBox_->addItem(QStringLiteral("适合宽度"));
    zoomBox_->addItem(QStringLiteral("整页"));
    zoomBox_->setMinimumContentsLength(6);
    statusBar()->addPermanentWidget(zoomBox_);
    connect(zoomBox_, &QComboBox::activated, this,
            [this](int index) { SetZoomText(zoomBox_->itemText(index)); });
    connect(zoomBox_->lineEdit(), &QLineEdit::returnPressed, this, [this] {
        zoomBox_->lineEdit()->setModified(false);
        SetZoomText(zoomBox_->currentText());
        UpdateStatus();  // the scale now in use, also after text that is none
        view_->setFocus();
    });
    connect(view_, &PageView::zoomChanged, this, [this] { UpdateStatus(); });
}

bool MainWindow::SetZoomText(const QString& text) {
    const QString t = text.trimmed();
    if (t == QStringLiteral("适合宽度")) {
        view_->FitWidth();
        return true;
    }
    if (t == QStringLiteral("整页")) {
        view_->FitPage();
        return true;
    }
    bool ok = false;
    const double percent = QString(t).remove(u'%').trimmed().toDouble(&ok);
    if (!ok || percent < 10 || percent > 600) return false;
    view_->SetZoom(percent / 100 * host::PixelsPerPoint(96));
    return true;
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

void MainWindow::UpdateStatus() {
    pageLabel_->setText(PageStatus());
    selectionLabel_->setText(SelectionStatus());
    // Not over a percentage being typed.
    if (!zoomBox_->lineEdit()->hasFocus() || !zoomBox_->lineEdit()->isModified()) {
        const QSignalBlocker quiet(zoomBox_);
        zoomBox_->setEditText(
            QStringLiteral("%1%").arg(qRound(view_->Zoom() / host::PixelsPerPoint(96) * 100)));
        zoomBox_->lineEdit()->setModified(false);
    }
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
                // The host's width only widens a button: as a minimum below the caption's own
                // width it lets a crowded toolbar's overflow squeeze the caption to "框(…".
                button->setMinimumWidth(0);
                const int natural = button->sizeHint().width();
                button->setMinimumWidth(c->width > natural ? c->width : 0);
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
    // Forget sheets that are gone; their addresses may come back.
    const auto isOpen = [this](const host::Document* d) {
        for (int i = 1; i <= app_.DocumentCount(); ++i)
            if (&app_.Documents(i) == d) return true;
        return false;
    };
    std::erase_if(sheetForms_, [&](const auto& entry) { return !isOpen(entry.first); });
    std::erase_if(openedSheets_, [&](const host::Document* d) { return !isOpen(d); });
    SyncTools();
    const bool hasSettings = doc && FormOf(*doc);
    // A sheet whose settings an office program dropped still has its page grid to read.
    exportOmrAction_->setEnabled(hasSettings || (doc && StartsWithTable(*doc)));
    newFromSettingsAction_->setEnabled(hasSettings);
    history_.ForgetClosed(app_);
    UpdateUndoAction();
    RebuildWindowMenu();
    // The grid under the pointer went with the last document.
    if (!doc) pointer_.clear();
    pointerLabel_->setText(pointer_);
    UpdateStatus();
    UpdateFormatBar();
}

host::Connect::ToolHandler MainWindow::Undoable(void (*tool)(host::Application&, bool&)) {
    return [this, tool](host::Application& app, bool& cancelDefault) {
        EndCellEdit(true);
        // The tools act on cells of a table; on any other selection they would do nothing
        // without a word.
        if (!tools::FindActiveCells(app)) {
            const host::Document* doc = app.ActiveDocument();
            if (doc && doc->TableCount() == 0)
                app.ShowMessage("此文档中没有表格：这些工具只作用于表格中的单元格。");
            else if (doc)
                app.ShowMessage("请先在表格中选定单元格。");
            return;
        }
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

void MainWindow::SyncTools() {
    const host::Document* doc = app_.ActiveDocument();
    const bool on = doc && (sheetForms_.count(doc) || openedSheets_.count(doc));
    bool changed = false;
    for (auto& bar : app_.commandBars.All()) {
        if (bar->name != host::kBarName) continue;
        const int last = std::min<int>(6, static_cast<int>(bar->controls.size()));
        for (int i = 2; i <= last; ++i)
            if (bar->Control(i).enabled != on) {
                bar->Control(i).enabled = on;
                changed = true;
            }
    }
    if (changed) app_.commandBars.NotifyChanged();
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

}  // namespace varelo::desk
