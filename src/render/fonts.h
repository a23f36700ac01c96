#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QString>
#include <string>

namespace varelo::render {

// Fonts are used at one reference pixel size and scaled by the painter, so that text
// measures the same on screen, in a PDF and in a PNG.
inline constexpr double kReferencePixelSize = 100.0;

// The installed family that draws a document font name: the Chinese font names through
// the one mapping table, "Block HX" from the font built into the program, other names as
// they are when installed. A family that is missing is replaced by the fallback family,
// with one warning on stderr naming it.
QString SystemFamily(const std::string& documentFont);

// The family used for anything that cannot be drawn in the font asked for.
QString FallbackFamily();

// A resolved font at the reference size, with its metrics. The line metrics (ascent,
// descent, leading at the reference size) are those of the font the document names, where
// its stand-in has a taller line box, so lines break and sit as the document expects.
struct FontFace {
    QFont font;
    QFontMetricsF metrics;
    double ascent = 0, descent = 0, leading = 0;
};

// Cached per (document font name, bold). Needs a QGuiApplication.
const FontFace& Face(const std::string& documentFont, bool bold);

}  // namespace varelo::render
