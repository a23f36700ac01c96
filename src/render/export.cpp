#include "render/export.h"

#include <QBuffer>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "base/atomic_file.h"
#include "base/units.h"
#include "render/gui_app.h"
#include "render/page_renderer.h"

namespace varelo::render {

namespace {

// Fine enough that rules of 0.5 pt keep their width in the PDF's device units.
constexpr int kPdfResolution = 1200;
constexpr int kMaxDpi = 2400;
constexpr double kMaxImagePixels = 400e6;  // beyond this a page image would not fit in memory

void CheckPageSize(const host::PageSetup& ps) {
    if (!(ps.pageWidth > 0 && ps.pageHeight > 0 && std::isfinite(ps.pageWidth) &&
          std::isfinite(ps.pageHeight)))
        throw std::runtime_error("the document's page size is not valid");
}

QPageLayout PageLayoutFor(const host::PageSetup& ps) {
    // QPageSize is always portrait; a wider page is the same paper turned.
    const QSizeF portrait(std::min(ps.pageWidth, ps.pageHeight),
                          std::max(ps.pageWidth, ps.pageHeight));
    const QPageSize size(portrait, QPageSize::Point, QString(), QPageSize::ExactMatch);
    const auto orientation =
        ps.pageWidth > ps.pageHeight ? QPageLayout::Landscape : QPageLayout::Portrait;
    return QPageLayout(size, orientation, QMarginsF(0, 0, 0, 0), QPageLayout::Point);
}

// Every file goes through the one atomic save, so a failure leaves no partial file.
void Save(const std::string& path, const QByteArray& bytes) {
    try {
        host::SaveFileAtomically(path, {bytes.constData(), static_cast<size_t>(bytes.size())});
    } catch (const host::SaveError& e) {
        throw std::runtime_error(e.what());
    }
}

// A colour page in the smallest form that keeps every pixel: an 8-bit palette when it has at
// most 256 colours (antialiased lines of one colour usually do), full colour otherwise.
QImage Compact(const QImage& page) {
    QSet<QRgb> colours;
    QRgb last = qRgb(255, 255, 255);
    colours.insert(last);
    for (int y = 0; y < page.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(page.constScanLine(y));
        for (int x = 0; x < page.width(); ++x) {
            if (line[x] == last) continue;  // mostly runs of white
            last = line[x];
            colours.insert(last);
            if (colours.size() > 256) return page;
        }
    }
    return page.convertToFormat(QImage::Format_Indexed8,
                                QList<QRgb>(colours.begin(), colours.end()),
                                Qt::ThresholdDither | Qt::AvoidDither);
}

}  // namespace

void ExportPdf(const host::Document& doc, const std::string& path) {
    ExportPdfCopies(doc, 1, {}, path);
}

void ExportPdfCopies(const host::Document& doc, int count, const std::function<void(int)>& prepare,
                     const std::string& path, const std::function<void(size_t, size_t)>& progress) {
    EnsureGuiApplication();
    CheckPageSize(doc.pageSetup);
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(kPdfResolution);
        writer.setCreator(QStringLiteral("Varelo"));
        writer.setTitle(QString::fromStdString(doc.name));
        if (!writer.setPageLayout(PageLayoutFor(doc.pageSetup)))
            throw std::runtime_error("cannot write " + path + ": the page size is not supported");
        QPainter painter;
        if (!painter.begin(&writer))
            throw std::runtime_error("cannot write " + path + ": the PDF could not be started");
        const double scale = host::PixelsPerPoint(kPdfResolution);
        bool first = true;
        for (int copy = 1; copy <= count; ++copy) {
            // Laid out afresh for each copy: the renderer holds on to what it draws.
            if (prepare) prepare(copy);
            const PageRenderer renderer(doc);
            for (int i = 0; i < renderer.PageCount(); ++i) {
                if (!first && !writer.newPage())
                    throw std::runtime_error("cannot write " + path +
                                             ": a page could not be added");
                first = false;
                painter.save();
                painter.scale(scale, scale);
                renderer.Draw(painter, i);
                painter.restore();
            }
            if (progress) progress(static_cast<size_t>(copy), static_cast<size_t>(count));
        }
        painter.end();
    }
    Save(path, bytes);
}

std::vector<std::string> ExportPng(const host::Document& doc, const std::string& prefix, int dpi) {
    EnsureGuiApplication();
    CheckPageSize(doc.pageSetup);
    if (dpi < 1 || dpi > kMaxDpi)
        throw std::runtime_error("the resolution must be between 1 and " + std::to_string(kMaxDpi) +
                                 " dpi");
    const double scale = host::PixelsPerPoint(dpi);
    const double w = std::round(doc.pageSetup.pageWidth * scale),
                 h = std::round(doc.pageSetup.pageHeight * scale);
    if (w > 32767 || h > 32767 || w * h > kMaxImagePixels)
        throw std::runtime_error("the page is too large for an image at " + std::to_string(dpi) +
                                 " dpi");

    const PageRenderer renderer(doc);
    std::vector<std::string> paths;
    // A page without colour is drawn in 8-bit grey: a quarter of the memory to fill and to
    // encode, and a PNG about half the size. One canvas serves every page: a fresh one would
    // fault in its megabytes again.
    const bool colour = DrawsInColour(doc);
    QImage image(static_cast<int>(std::max(1.0, w)), static_cast<int>(std::max(1.0, h)),
                 colour ? QImage::Format_RGB32 : QImage::Format_Grayscale8);
    if (image.isNull()) throw std::runtime_error("not enough memory for a page image");
    const int dotsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    for (int i = 0; i < renderer.PageCount(); ++i) {
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.scale(scale, scale);
            renderer.Draw(painter, i);
        }
        const std::string path = prefix + "-" + std::to_string(i + 1) + ".png";
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!(colour ? Compact(image) : image).save(&buffer, "PNG"))
            throw std::runtime_error("cannot write " + path + ": the image could not be encoded");
        Save(path, bytes);
        paths.push_back(path);
    }
    return paths;
}

void Print(const host::Document& doc, QPrinter& printer) {
    CheckPageSize(doc.pageSetup);
    const PageRenderer renderer(doc);
    QPainter painter;
    if (!painter.begin(&printer)) throw std::runtime_error("the printer could not be started");
    const int count = renderer.PageCount();
    const int from = std::max(1, printer.fromPage());
    const int to = printer.toPage() < 1 ? count : std::min(printer.toPage(), count);
    // The printer's page as set up (by the print dialog); a page of the document's own size
    // prints 1:1, any other is fitted, keeping the proportions.
    const QRectF target = printer.pageRect(QPrinter::DevicePixel);
    const QSizeF page = renderer.PageSize();
    const double scale = std::min(target.width() / page.width(), target.height() / page.height());
    for (int i = from; i <= to; ++i) {
        if (i > from && !printer.newPage())
            throw std::runtime_error("the printer refused a new page");
        painter.save();
        painter.scale(scale, scale);
        renderer.Draw(painter, i - 1);
        painter.restore();
    }
    if (!painter.end()) throw std::runtime_error("printing failed");
}

}  // namespace varelo::render
