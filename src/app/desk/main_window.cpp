#include "main_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QImage>
#include <QInputDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <optional>

#include "host/docx/reader.h"
#include "host/docx/writer.h"
#include "host/errors.h"
#include "host/registration.h"
#include "page_view.h"
#include "render/export.h"
#include "render/page_renderer.h"
#include "settings/driver.h"
#include "settings_dialog.h"
#include "tools/tools.h"

namespace varelo::desk {

namespace {

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

MainWindow::MainWindow(std::string addinFolder, QWidget* parent)
    : QMainWindow(parent), addinFolder_(std::move(addinFolder)) {
    setObjectName(QStringLiteral("mainWindow"));
    view_ = new PageView(app_, this);
    setCentralWidget(view_);
    BuildMenus();
    resize(1280, 860);

    app_.messageSink = [this](const std::string& text) { ShowMessage(text); };
    app_.askToSave = [this](host::Document& doc) { return AskToSave(doc); };
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
    app_.processPendingEvents = nullptr;
    app_.documentsChanged = nullptr;
    app_.commandBars.observers.clear();
}

void MainWindow::BuildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("文件(&F)"));
    file->addAction(QStringLiteral("打开(&O)..."), this, [this] { Open(); })
        ->setShortcut(QKeySequence::Open);
    saveAsAction_ = file->addAction(QStringLiteral("另存为(&A)..."), this, [this] { SaveAs(); });
    saveAsAction_->setShortcut(QKeySequence::SaveAs);
    exportPdfAction_ =
        file->addAction(QStringLiteral("导出 PDF(&E)..."), this, [this] { ExportPdf(); });
    exportOmrAction_ = file->addAction(QStringLiteral("导出答题卡模板(&M)..."), this,
                                       [this] { ExportOmrTemplate(); });
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

    QMenu* view = menuBar()->addMenu(QStringLiteral("视图(&V)"));
    view->addAction(QStringLiteral("放大(&I)"), this, [this] { view_->ZoomBy(1.25); })
        ->setShortcut(QKeySequence::ZoomIn);
    view->addAction(QStringLiteral("缩小(&O)"), this, [this] { view_->ZoomBy(0.8); })
        ->setShortcut(QKeySequence::ZoomOut);
    view->addAction(QStringLiteral("实际大小(&A)"), this, [this] { view_->SetZoom(96.0 / 72.0); });
    view->addAction(QStringLiteral("适合宽度(&W)"), this, [this] { view_->FitWidth(); });
    view->addAction(QStringLiteral("整页(&P)"), this, [this] { view_->FitPage(); });
}

void MainWindow::LoadAddIns(const std::string& recordFile) {
    std::string warning;
    const auto records = host::StartupAddIns(recordFile, &warning);
    if (!warning.empty()) std::cerr << "varelo-desk: " << warning << "\n";
    for (const host::AddInRecord& r : records) {
        if (r.progId == host::VareloAddIn().progId)
            ConnectAddIn();
        else
            std::cerr << "varelo-desk: add-in " << r.progId << " is registered but unknown here\n";
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
    view_->Invalidate();
    host::Document* doc = app_.ActiveDocument();
    setWindowTitle(doc ? Q(doc->name) + QStringLiteral(" - Varelo") : QStringLiteral("Varelo"));
    for (QAction* a : {saveAsAction_, exportPdfAction_, printAction_, closeAction_})
        a->setEnabled(doc != nullptr);
    // Forget the settings of sheets that are gone; their addresses may come back.
    for (auto it = sheetForms_.begin(); it != sheetForms_.end();) {
        bool open = false;
        for (int i = 1; i <= app_.DocumentCount(); ++i)
            open = open || &app_.Documents(i) == it->first;
        it = open ? std::next(it) : sheetForms_.erase(it);
    }
    exportOmrAction_->setEnabled(doc != nullptr && sheetForms_.count(doc) > 0);
    for (auto it = undo_.begin(); it != undo_.end();) {
        bool open = false;
        for (int i = 1; i <= app_.DocumentCount(); ++i)
            open = open || &app_.Documents(i) == it->first;
        it = open ? std::next(it) : undo_.erase(it);
    }
    UpdateUndoAction();
}

host::Connect::ToolHandler MainWindow::Undoable(void (*tool)(host::Application&, bool&)) {
    return [this, tool](host::Application& app, bool& cancelDefault) {
        host::Document* doc = app.ActiveDocument();
        if (!doc) {
            tool(app, cancelDefault);
            return;
        }
        UndoLevel level{*doc, 0, app.selection.Rect()};
        for (int i = 1; i <= doc->TableCount(); ++i)
            if (app.selection.GetTable() == &doc->Tables(i)) level.table = i;
        try {
            tool(app, cancelDefault);
        } catch (const host::HostError& e) {
            // The tool has no error handling of its own; the click ends there, like any failing
            // host call, and what it changed so far can be undone.
            std::cerr << "varelo-desk: the tool stopped: " << e.what() << "\n";
        }
        // A refused tool (its message shown) or a block left as it was costs no undo level.
        if (app.ActiveDocument() != doc || level.before == *doc) return;
        std::deque<UndoLevel>& levels = undo_[doc];
        levels.push_back(std::move(level));
        if (levels.size() > kUndoLevels) levels.pop_front();
        UpdateUndoAction();
    };
}

bool MainWindow::CanUndo() {
    const auto it = undo_.find(app_.ActiveDocument());
    return it != undo_.end() && !it->second.empty();
}

void MainWindow::UpdateUndoAction() {
    undoAction_->setEnabled(CanUndo());
}

bool MainWindow::Undo() {
    host::Document* doc = app_.ActiveDocument();
    if (!CanUndo()) return false;
    std::deque<UndoLevel>& levels = undo_[doc];
    UndoLevel level = std::move(levels.back());
    levels.pop_back();
    // Nothing may keep pointing into the tables that are about to go; the view lays the
    // document out again in DocumentsChanged below.
    app_.selection.Clear();
    const std::string path = doc->path, name = doc->name;
    *doc = std::move(level.before);
    doc->path = path;
    doc->name = name;
    doc->saved = false;
    if (level.table >= 1 && level.table <= doc->TableCount()) {
        try {
            app_.selection.SelectCells(doc->Tables(level.table), level.cells);
        } catch (const host::HostError&) {
        }
    }
    DocumentsChanged();
    return true;
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
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("打开"), QString(),
                                                      QStringLiteral("Word 文档 (*.docx)"));
    return !path.isEmpty() && OpenFile(path);
}

bool MainWindow::OpenFile(const QString& path) {
    const std::string file = path.toStdString();
    // A sheet that is open already is shown rather than loaded twice, so two copies can never
    // be saved over each other.
    for (int i = 1; i <= app_.DocumentCount(); ++i) {
        host::Document& open = app_.Documents(i);
        std::error_code ec;
        if (!open.path.empty() && std::filesystem::equivalent(open.path, file, ec)) {
            app_.Activate(open);
            EnableTools();
            return true;
        }
    }
    std::unique_ptr<host::Document> doc;
    try {
        doc = host::OpenDocx(file);
    } catch (const host::OpenError& e) {
        app_.ShowMessage(std::string("无法打开文件：") + e.what());
        return false;
    }
    app_.AdoptDocument(std::move(doc));
    // Tools are normally enabled by generating a sheet; a sheet read back is finished with
    // the same tools, so opening one enables them too.
    EnableTools();
    return true;
}

void MainWindow::ShowMessage(const std::string& text) {
    // A message may follow a change to the document; never paint an outdated layout under it.
    view_->Invalidate();
    QString shown = Q(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QWidget* parent = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : this;
    QMessageBox box(QMessageBox::Information, QString(), shown, QMessageBox::Ok, parent);
    box.exec();
}

host::SaveChoice MainWindow::AskToSave(host::Document& doc) {
    view_->Invalidate();
    QWidget* parent = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : this;
    QMessageBox box(QMessageBox::Question, QString(),
                    QStringLiteral("是否保存对“%1”的更改？").arg(Q(doc.name)),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
        case QMessageBox::Save: {
            QString path = Q(doc.path);
            if (path.isEmpty())
                path = AskForPath(QStringLiteral("另存为"), Q(doc.name) + QStringLiteral(".docx"),
                                  QStringLiteral("Word 文档 (*.docx)"));
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
                               const QString& filter) {
    return QFileDialog::getSaveFileName(this, caption, suggested, filter);
}

bool MainWindow::SaveDocument(host::Document& doc, const QString& path) {
    try {
        host::SaveDocx(doc, path.toStdString());
    } catch (const std::exception& e) {
        QMessageBox::warning(this, QString(), QStringLiteral("无法保存文件：%1").arg(Q(e.what())));
        return false;
    }
    doc.path = path.toStdString();
    doc.saved = true;
    return true;
}

bool MainWindow::SaveAs() {
    host::Document* doc = app_.ActiveDocument();
    if (!doc) return false;
    const QString suggested =
        doc->path.empty() ? Q(doc->name) + QStringLiteral(".docx") : Q(doc->path);
    QString path =
        AskForPath(QStringLiteral("另存为"), suggested, QStringLiteral("Word 文档 (*.docx)"));
    if (path.isEmpty()) return false;
    if (!path.endsWith(QStringLiteral(".docx"), Qt::CaseInsensitive))
        path += QStringLiteral(".docx");
    return SaveDocument(*doc, path);
}

bool MainWindow::ExportPdf() {
    host::Document* doc = app_.ActiveDocument();
    if (!doc) return false;
    QString path = AskForPath(QStringLiteral("导出 PDF"), Q(doc->name) + QStringLiteral(".pdf"),
                              QStringLiteral("PDF (*.pdf)"));
    if (path.isEmpty()) return false;
    if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) path += QStringLiteral(".pdf");
    try {
        render::ExportPdf(*doc, path.toStdString());
    } catch (const std::exception& e) {
        QMessageBox::warning(this, QString(), QStringLiteral("无法导出 PDF：%1").arg(Q(e.what())));
        return false;
    }
    return true;
}

bool MainWindow::Print() {
    host::Document* doc = app_.ActiveDocument();
    if (!doc) return false;
    const host::PageSetup& ps = doc->pageSetup;
    QPrinter printer(QPrinter::HighResolution);
    const bool landscape = ps.pageWidth > ps.pageHeight;
    printer.setPageSize(QPageSize(
        landscape ? QSizeF(ps.pageHeight, ps.pageWidth) : QSizeF(ps.pageWidth, ps.pageHeight),
        QPageSize::Point));
    printer.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer.setFullPage(true);
    printer.setDocName(Q(doc->name));
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted) return false;

    const render::PageRenderer renderer(*doc);
    QPainter painter;
    if (!painter.begin(&printer)) {
        QMessageBox::warning(this, QString(), QStringLiteral("无法打印。"));
        return false;
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
    return true;
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

host::Document* MainWindow::RunSettingsDialog() {
    std::optional<layout::SheetForm> made;
    host::Document* sheet = ShowSettingsDialog(app_, this, [&made](SettingsDialog& dialog) {
        // Accepted right after the OK handler made the sheet, with the form still filled in.
        connect(&dialog, &QDialog::accepted, &dialog, [&made, &dialog] { made = dialog.Form(); });
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
    QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("导出答题卡模板"), Q(doc->name) + QStringLiteral("-omr.json"),
        varelo + QStringLiteral(";;") + omrChecker, &chosen);
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
    const auto it = sheetForms_.find(&doc);
    if (it == sheetForms_.end()) {
        app_.ShowMessage("只有用答题卡设置生成的文档才能导出答题卡模板。");
        return false;
    }
    try {
        const layout::SheetForm& form = it->second;
        const layout::OmrTemplate t =
            layout::BuildOmrTemplate(doc, form, settings::LayoutCode(form.cmbPage).value_or(0));
        layout::WriteOmrTemplate(t, path.toStdString(), format, dpi);
    } catch (const layout::OmrError& e) {
        app_.ShowMessage(std::string("无法导出答题卡模板：") + e.what());
        return false;
    }
    return true;
}

}  // namespace varelo::desk
