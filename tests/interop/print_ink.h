#pragma once

// Ink on a printed page, as pdftoppm or the renderer draw it, located in millimetres.
#include <QImage>
#include <optional>
#include <utility>

#include "omr/omr_template.h"

namespace varelo::interop {

// Where a printed positioning mark lies: the centre of the ink around the template's
// rectangle, in millimetres.
inline std::optional<std::pair<double, double>> MarkCentre(const QImage& image,
                                                           const layout::OmrRect& r,
                                                           double pxPerMm) {
    constexpr double kAround = 1.5;
    double sx = 0, sy = 0;
    int n = 0;
    for (int y = static_cast<int>((r.y - kAround) * pxPerMm);
         y <= static_cast<int>((r.y + r.height + kAround) * pxPerMm); ++y)
        for (int x = static_cast<int>((r.x - kAround) * pxPerMm);
             x <= static_cast<int>((r.x + r.width + kAround) * pxPerMm); ++x)
            if (x >= 0 && y >= 0 && x < image.width() && y < image.height() &&
                qGray(image.pixel(x, y)) < 128) {
                sx += x + 0.5;
                sy += y + 0.5;
                ++n;
            }
    if (n == 0) return std::nullopt;
    return std::make_pair(sx / n / pxPerMm, sy / n / pxPerMm);
}

// The page's shift against the template: the mean offset of its three corner marks, in
// millimetres; nothing when a corner mark is missing.
inline std::optional<std::pair<double, double>> PageShift(const QImage& image,
                                                          const layout::OmrPage& page,
                                                          double pxPerMm) {
    double dx = 0, dy = 0;
    int n = 0;
    for (const layout::OmrMark& mark : page.marks) {
        if (!mark.corner) continue;
        const auto centre = MarkCentre(image, mark.rect, pxPerMm);
        if (!centre) return std::nullopt;
        dx += centre->first - mark.rect.CenterX();
        dy += centre->second - mark.rect.CenterY();
        ++n;
    }
    if (n == 0) return std::nullopt;
    return std::make_pair(dx / n, dy / n);
}

}  // namespace varelo::interop
