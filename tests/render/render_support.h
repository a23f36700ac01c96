#pragma once

// Helpers for render tests: an offscreen GUI application, a small test page, and pixel
// probes in page points.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QRectF>
#include <cstdlib>
#include <string>

#include "doc/document.h"
#include "doc/table.h"
#include "render/gui_app.h"
#include "render/page_renderer.h"

namespace varelo::rendertest {

using render::EnsureGuiApplication;
using render::PageRenderer;
using render::RenderOptions;

inline void StartOffscreen() {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    EnsureGuiApplication();
}

// Pixels per point of the test images: fine enough to tell a 0.5 pt rule from a 1.5 pt one.
inline constexpr double kScale = 4.0;

inline QImage Render(const PageRenderer& renderer, int page, const RenderOptions& options = {}) {
    const QSizeF size = renderer.PageSize() * kScale;
    QImage image(qRound(size.width()), qRound(size.height()), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.scale(kScale, kScale);
    renderer.Draw(painter, page, options);
    return image;
}

inline bool Dark(QRgb p) {
    return qGray(p) < 128;
}

// Share of dark pixels in a rectangle given in points, in an image of scale pixels per point.
inline double DarkShare(const QImage& image, const QRectF& points, double scale = kScale) {
    const QRect px =
        QRectF(points.topLeft() * scale, points.size() * scale).toAlignedRect() & image.rect();
    if (px.isEmpty()) return 0;
    int dark = 0;
    for (int y = px.top(); y <= px.bottom(); ++y)
        for (int x = px.left(); x <= px.right(); ++x) dark += Dark(image.pixel(x, y)) ? 1 : 0;
    return static_cast<double>(dark) / (px.width() * px.height());
}

// How much of a rule a thin probe rectangle finds: the share of its pixel rows (a tall probe,
// for a vertical rule) or columns (a wide probe) that hold a dark pixel.
inline double RuleCoverage(const QImage& image, const QRectF& points, double scale = kScale) {
    const QRect px =
        QRectF(points.topLeft() * scale, points.size() * scale).toAlignedRect() & image.rect();
    if (px.isEmpty()) return 0;
    const bool vertical = px.height() >= px.width();
    const int n = vertical ? px.height() : px.width();
    int hit = 0;
    for (int i = 0; i < n; ++i) {
        bool dark = false;
        for (int j = 0; j < (vertical ? px.width() : px.height()) && !dark; ++j)
            dark = Dark(vertical ? image.pixel(px.left() + j, px.top() + i)
                                 : image.pixel(px.left() + i, px.top() + j));
        hit += dark ? 1 : 0;
    }
    return static_cast<double>(hit) / n;
}

// Dark pixels across a horizontal line at y (points), sampled in the column at x.
inline int DarkRunAcross(const QImage& image, double x, double yFrom, double yTo) {
    int n = 0;
    const int px = qRound(x * kScale);
    for (int y = qRound(yFrom * kScale); y <= qRound(yTo * kScale); ++y)
        n += Dark(image.pixel(px, y)) ? 1 : 0;
    return n;
}

// A 200 x 150 pt page with 10 pt margins holding a 10 x 10 grid of 18 x 12 pt cells
// without borders and without cell padding, like the page grid.
struct GridPage {
    host::Document doc;
    host::Table* table;

    static constexpr double kLeft = 10, kTop = 10, kColumn = 18, kRow = 12;

    explicit GridPage(int rows = 10, int columns = 10) {
        host::PageSetup& ps = doc.pageSetup;
        ps.pageWidth = 200;
        ps.pageHeight = 150;
        ps.topMargin = ps.bottomMargin = ps.leftMargin = ps.rightMargin = kTop;
        table = &doc.AddTableAtStart(rows, columns);
        table->leftPadding = table->rightPadding = 0;
        table->SetAllRows(host::RowHeightRule::Exactly, kRow);
        for (int c = 1; c <= columns; ++c)
            table->ColumnWidth(c) = {host::PreferredWidthType::Points, kColumn};
        table->preferredWidth = {host::PreferredWidthType::Points, kColumn * columns};
        for (int r = 1; r <= rows; ++r)
            for (int c = 1; c <= columns; ++c) {
                table->At(r, c).SetAlignment(host::Alignment::Center);
                table->At(r, c).SetLineSpacing(host::LineSpacingRule::Exactly, 12);
            }
    }

    // The rectangle of slots in points (on the page where row r lies, for a one-page grid).
    static QRectF Cells(int top, int left, int bottom, int right) {
        return QRectF(kLeft + (left - 1) * kColumn, kTop + (top - 1) * kRow,
                      (right - left + 1) * kColumn, (bottom - top + 1) * kRow);
    }
    static QRectF Cell(int r, int c) { return Cells(r, c, r, c); }

    void Write(int r, int c, const std::string& text, const std::string& font, double size,
               host::Alignment alignment = host::Alignment::Center) {
        host::Cell& cell = table->At(r, c);
        cell.ApplyCharFormat({font, size, {}});
        cell.SetAlignment(alignment);
        cell.InsertAfter(text);
    }
};

}  // namespace varelo::rendertest
