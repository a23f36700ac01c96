// The window's file actions: new, open, recent files, save, save as and the question before a
// close, export as PDF or scanner template, and print.

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <filesystem>
#include <iostream>

#include "chinese_reasons.h"
#include "compose/sheet_exam.h"
#include "compose/template_reading.h"
#include "docx/reader.h"
#include "docx/writer.h"
#include "main_window.h"
#include "page_view.h"
#include "render/export.h"
#include "sheet_printer.h"
#include "window_text.h"

namespace varelo::desk {

namespace {

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
    // A sheet read back is finished with the same tools as one made here.
    openedSheets_.insert(doc.get());
    app_.AdoptDocument(std::move(doc));
    // Said now rather than at the first save, so no work is done on a sheet that cannot keep it.
    if (readOnly)
        app_.ShowMessage("此文档含有本程序无法保留的内容（" + lost +
                         "），以只读方式打开：可以查看、导出 PDF 和扫描模板，但保存会丢失这些内容，"
                         "因此不能保存。");
    return true;
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

bool MainWindow::Print() {
    EndCellEdit(true);
    const host::Document* doc = app_.ActiveDocument();
    return doc && Printer().Print(*doc);
}

bool MainWindow::PrintPreview() {
    EndCellEdit(true);
    const host::Document* doc = app_.ActiveDocument();
    return doc && Printer().Preview(*doc);
}

SheetPrinter MainWindow::Printer() {
    return SheetPrinter(this, [this](const std::string& text) { app_.ShowMessage(text); });
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
        // The file system's reasons name the file; the others are about the sheet.
        const std::optional<std::string> reason = ChineseWriteReason(e.what());
        const std::string said =
            reason ? "“" + QFileInfo(path).fileName().toStdString() + "”。" + *reason
                   : ChineseTemplateReason(e.what());
        if (said.find(e.what()) == std::string::npos)
            std::cerr << "varelo-desk: " << e.what() << "\n";
        app_.ShowMessage("无法导出答题卡模板：" + said);
        return false;
    }
    return true;
}

bool MainWindow::CloseDocument() {
    host::Document* doc = app_.ActiveDocument();
    return doc && app_.CloseDocument(*doc);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // One document at a time, each shown while it is asked about; 取消 on any question stops
    // the quit there, leaving the rest open.
    while (app_.DocumentCount() > 0) {
        host::Document& doc = app_.ActiveDocument() ? *app_.ActiveDocument() : app_.Documents(1);
        if (!app_.CloseDocument(doc)) {
            event->ignore();
            return;
        }
    }
    event->accept();
}

}  // namespace varelo::desk
