#pragma once

// Probes that read a page image through a scanner template: the darkness inside a bubble and
// the printed ink around a rectangle. Images are at kDpi, rectangles in millimetres.

#include <gtest/gtest.h>

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <algorithm>
#include <cmath>
#include <vector>

#include "layout/omr_template.h"

namespace varelo::omrprobe {

constexpr int kDpi = 200;
constexpr double kPixelsPerMm = kDpi / 25.4;
// How far printed ink may lie from where the template puts it.
constexpr double kToleranceMm = 0.2;

inline bool Dark(QRgb p) {
    return qGray(p) < 128;
}

inline QRectF Pixels(const layout::OmrRect& r) {
    return {r.x * kPixelsPerMm, r.y * kPixelsPerMm, r.width * kPixelsPerMm,
            r.height * kPixelsPerMm};
}

// Mean darkness (0 white .. 1 black) of the middle of a bubble, where a fill shows and the
// empty bubble has only its thin label.
inline double Darkness(const QImage& image, const layout::OmrRect& rect) {
    const QRectF r = Pixels(rect);
    const QRect inner =
        r.adjusted(r.width() * 0.2, r.height() * 0.2, -r.width() * 0.2, -r.height() * 0.2)
            .toAlignedRect() &
        image.rect();
    double sum = 0;
    for (int y = inner.top(); y <= inner.bottom(); ++y)
        for (int x = inner.left(); x <= inner.right(); ++x)
            sum += 1.0 - qGray(image.pixel(x, y)) / 255.0;
    return inner.isEmpty() ? 0 : sum / (inner.width() * inner.height());
}

// A fill covers the middle; an empty bubble's densest label darkens it to about a third.
inline bool Filled(const QImage& image, const layout::OmrBubble& b) {
    return Darkness(image, b.rect) > 0.65;
}

// The printed ink around a template rectangle: the dark pixels connected to those inside the
// rectangle, within the rectangle grown by margin millimetres. Bounding box and centroid in
// millimetres.
struct Ink {
    QRectF box;
    QPointF centre;
    int pixels = 0;
};
inline Ink InkAround(const QImage& image, const layout::OmrRect& rect, double marginMm) {
    const QRect window = Pixels({rect.page, rect.x - marginMm, rect.y - marginMm,
                                 rect.width + 2 * marginMm, rect.height + 2 * marginMm})
                             .toAlignedRect() &
                         image.rect();
    std::vector<char> seen(static_cast<size_t>(window.width() * window.height()), 0);
    const auto index = [&](int x, int y) {
        return static_cast<size_t>((y - window.top()) * window.width() + x - window.left());
    };
    std::vector<QPoint> stack;
    // Start from every dark pixel of the rectangle itself: a bubble's ring does not cover its
    // centre.
    const QRect seeds = Pixels(rect).toAlignedRect() & window;
    for (int y = seeds.top(); y <= seeds.bottom(); ++y)
        for (int x = seeds.left(); x <= seeds.right(); ++x)
            if (Dark(image.pixel(x, y))) stack.emplace_back(x, y);
    Ink ink;
    int minX = window.right(), minY = window.bottom(), maxX = window.left(), maxY = window.top();
    double sx = 0, sy = 0;
    while (!stack.empty()) {
        const QPoint p = stack.back();
        stack.pop_back();
        if (!window.contains(p) || seen[index(p.x(), p.y())] || !Dark(image.pixel(p))) continue;
        seen[index(p.x(), p.y())] = 1;
        ++ink.pixels;
        sx += p.x() + 0.5;
        sy += p.y() + 0.5;
        minX = std::min(minX, p.x()), maxX = std::max(maxX, p.x());
        minY = std::min(minY, p.y()), maxY = std::max(maxY, p.y());
        for (const QPoint d : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)})
            stack.push_back(p + d);
    }
    if (ink.pixels == 0) return ink;
    ink.centre = QPointF(sx / ink.pixels, sy / ink.pixels) / kPixelsPerMm;
    ink.box =
        QRectF(QPointF(minX, minY) / kPixelsPerMm, QPointF(maxX + 1, maxY + 1) / kPixelsPerMm);
    return ink;
}

// Every bubble of the template: the candidate-number digits, then the items' options.
inline std::vector<const layout::OmrBubble*> AllBubbles(const layout::OmrTemplate& t) {
    std::vector<const layout::OmrBubble*> bubbles;
    for (const auto& column : t.candidateColumns)
        for (const layout::OmrBubble& b : column) bubbles.push_back(&b);
    for (const layout::OmrItem& item : t.items)
        for (const layout::OmrBubble& b : item.options) bubbles.push_back(&b);
    return bubbles;
}

// Checks that every mark's printed ink centres on its rectangle; returns the marks checked.
inline size_t ExpectMarksInPlace(const std::vector<QImage>& pages, const layout::OmrTemplate& t) {
    size_t marks = 0;
    for (size_t p = 0; p < t.pages.size() && p < pages.size(); ++p)
        for (const layout::OmrMark& m : t.pages[p].marks) {
            ++marks;
            const Ink ink = InkAround(pages[p], m.rect, 0.5);
            EXPECT_GT(ink.pixels, 0) << "no mark printed at page " << p + 1 << " y " << m.rect.y;
            EXPECT_LE(
                std::hypot(ink.centre.x() - m.rect.CenterX(), ink.centre.y() - m.rect.CenterY()),
                kToleranceMm)
                << "page " << p + 1 << " mark at (" << m.rect.x << ", " << m.rect.y << ")";
        }
    return marks;
}

// Checks that every empty bubble prints its outline along its rectangle and reads as empty;
// returns the bubbles checked.
inline size_t ExpectBubblesInPlace(const std::vector<QImage>& pages, const layout::OmrTemplate& t) {
    const std::vector<const layout::OmrBubble*> bubbles = AllBubbles(t);
    for (const layout::OmrBubble* b : bubbles) {
        const QImage& page = pages.at(static_cast<size_t>(b->rect.page - 1));
        const Ink ink = InkAround(page, b->rect, 0.5);
        const QRectF want(b->rect.x, b->rect.y, b->rect.width, b->rect.height);
        const auto where = [&] {
            return b->value + " at (" + std::to_string(want.left()) + ", " +
                   std::to_string(want.top()) + ")";
        };
        EXPECT_NEAR(ink.box.left(), want.left(), kToleranceMm) << where();
        EXPECT_NEAR(ink.box.right(), want.right(), kToleranceMm) << where();
        EXPECT_NEAR(ink.box.top(), want.top(), kToleranceMm) << where();
        EXPECT_NEAR(ink.box.bottom(), want.bottom(), kToleranceMm) << where();
        EXPECT_LT(Darkness(page, b->rect), 0.5) << where() << " reads as filled";
    }
    return bubbles.size();
}

}  // namespace varelo::omrprobe
