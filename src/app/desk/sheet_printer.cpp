#include "sheet_printer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

#include "base/units.h"
#include "render/page_renderer.h"

namespace varelo::desk {

namespace {

constexpr const char* kNoAnswer = "打印服务没有响应，请检查打印机和打印服务（CUPS）后再试。";

struct BusyCursor {
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

SheetPrinter::Answer SheetPrinter::AskPrintSystem(std::chrono::milliseconds wait) {
    // The question outlives a wait that gives up on it: its thread cannot be stopped inside
    // the print system, so it is left to finish on its own.
    static std::shared_ptr<std::atomic<bool>> asked;
    static bool waiting = false;
    if (waiting) return Answer::Busy;  // a second click while the first still waits
    if (!asked || *asked) {
        asked = std::make_shared<std::atomic<bool>>(false);
        std::thread([answered = asked] {
            QPrinterInfo::availablePrinterNames();
            QPrinterInfo::defaultPrinterName();
            *answered = true;
        }).detach();
    }
    const std::shared_ptr<std::atomic<bool>> answered = asked;
    if (*answered) return Answer::Answered;

    waiting = true;
    const BusyCursor busy;
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (*answered || clock.elapsed() >= wait.count()) loop.quit();
    });
    poll.start(20);
    loop.exec();
    waiting = false;
    return *answered ? Answer::Answered : Answer::Silent;
}

bool SheetPrinter::Ready() const {
    const Answer answer = AskPrintSystem(answerWait);
    if (answer == Answer::Silent) tell_(kNoAnswer);
    return answer == Answer::Answered;
}

SheetPrinter::SheetPrinter(QWidget* parent, std::function<void(const std::string&)> tell)
    : parent_(parent), tell_(std::move(tell)) {}

void SheetPrinter::SetUp(QPrinter& printer, const host::Document& doc) {
    const host::PageSetup& ps = doc.pageSetup;
    const bool landscape = ps.pageWidth > ps.pageHeight;
    printer.setPageSize(QPageSize(
        landscape ? QSizeF(ps.pageHeight, ps.pageWidth) : QSizeF(ps.pageWidth, ps.pageHeight),
        QPageSize::Point));
    printer.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer.setFullPage(true);
    printer.setDocName(QString::fromStdString(doc.name));
}

void SheetPrinter::PaintPages(QPrinter& printer, const host::Document& doc) const {
    // A print dialog (also the preview's) knows only standard papers and puts its default in
    // place of the sheet's own (8开 is none of them); pages are drawn at their true size, so
    // any other paper cuts them.
    SetUp(printer, doc);
    const BusyCursor busy;
    const render::PageRenderer renderer(doc);
    QPainter painter;
    if (!painter.begin(&printer)) {
        tell_("无法打印。");
        return;
    }
    const double scale = host::PixelsPerPoint(printer.resolution());
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

bool SheetPrinter::Print(const host::Document& doc) const {
    if (!Ready()) return false;
    QPrinter printer(QPrinter::HighResolution);
    SetUp(printer, doc);
    QPrintDialog dialog(&printer, parent_);
    if (dialog.exec() != QDialog::Accepted) return false;
    PaintPages(printer, doc);
    return true;
}

bool SheetPrinter::Preview(const host::Document& doc) const {
    if (!Ready()) return false;
    QPrinter printer(QPrinter::HighResolution);
    SetUp(printer, doc);
    QPrintPreviewDialog dialog(&printer, parent_);
    dialog.setObjectName(QStringLiteral("printPreview"));
    dialog.setWindowTitle(QStringLiteral("打印预览 - %1").arg(QString::fromStdString(doc.name)));
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [this, &doc](QPrinter* p) { PaintPages(*p, doc); });
    dialog.resize(1000, 760);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace varelo::desk
