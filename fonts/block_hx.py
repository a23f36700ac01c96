#!/usr/bin/env python3
"""The bubble font "Block HX": the one definition of its glyph outlines, and the build step
that turns them into a TrueType font and a C++ source holding the font's bytes.

    block_hx.py OUT.ttf OUT.cpp

Units are font units, 1000 to the em. The font's line box runs from 200 below the baseline
to 800 above it, so at 12 pt with exactly 12 pt line spacing the bubble's centre (300 above
the baseline) sits in the middle of the line, and so in the middle of a page-grid row.
"""
import sys

from fontTools.fontBuilder import FontBuilder
from fontTools.misc.timeTools import timestampSinceEpoch
from fontTools.pens.ttGlyphPen import TTGlyphPen

EM = 1000
ASCENT, DESCENT = 800, 200
FONT_DATE = 1767225600  # 2026-01-01, seconds since 1970
ADVANCE = 1000          # every bubble, mark and fill sample: one em wide
SPACE_ADVANCE = 300

# The bubble: a rounded rectangle centred on (500, 300).
BOX_LEFT, BOX_RIGHT = 90, 910
BOX_BOTTOM, BOX_TOP = -20, 620
BOX_RADIUS = 200
RING = 50               # width of the bubble's outline

# Labels inside the bubble: strokes on a 4 x 6 grid, scaled and centred in the bubble.
GRID_SCALE = 58
GRID_LEFT = 500 - 2 * GRID_SCALE
GRID_BOTTOM = 300 - 3 * GRID_SCALE
STROKE = 52

# Each label is a list of strokes; each stroke a polyline of grid points (x 0..4, y 0..6).
LABELS = {
    "0": [[(1, 0), (3, 0), (3.8, 1), (3.8, 5), (3, 6), (1, 6), (0.2, 5), (0.2, 1), (1, 0)], [(1, 1.5), (3, 4.5)]],
    "1": [[(1, 5), (2, 6), (2, 0)], [(1, 0), (3, 0)]],
    "2": [[(0, 5), (1, 6), (3, 6), (4, 5), (4, 4), (0, 0), (4, 0)]],
    "3": [[(0, 6), (4, 6), (2, 3.5), (3, 3.5), (4, 2.5), (4, 1), (3, 0), (1, 0), (0, 1)]],
    "4": [[(3, 0), (3, 6), (0, 2), (4, 2)]],
    "5": [[(4, 6), (0, 6), (0, 3.5), (3, 3.5), (4, 2.5), (4, 1), (3, 0), (0, 0)]],
    "6": [[(3.5, 6), (1, 6), (0, 5), (0, 1), (1, 0), (3, 0), (4, 1), (4, 2.5), (3, 3.5), (0, 3.5)]],
    "7": [[(0, 6), (4, 6), (1.5, 0)]],
    "8": [[(1, 3), (0, 4), (0, 5), (1, 6), (3, 6), (4, 5), (4, 4), (3, 3), (1, 3), (0, 2), (0, 1), (1, 0),
           (3, 0), (4, 1), (4, 2), (3, 3)]],
    "9": [[(0.5, 0), (3, 0), (4, 1), (4, 5), (3, 6), (1, 6), (0, 5), (0, 3.5), (1, 2.5), (4, 2.5)]],
    "A": [[(0, 0), (2, 6), (4, 0)], [(0.7, 2), (3.3, 2)]],
    "B": [[(0, 3), (3, 3), (4, 4), (4, 5), (3, 6), (0, 6), (0, 0), (3, 0), (4, 1), (4, 2), (3, 3)]],
    "C": [[(4, 5), (3, 6), (1, 6), (0, 5), (0, 1), (1, 0), (3, 0), (4, 1)]],
    "D": [[(0, 0), (0, 6), (2.5, 6), (4, 4.5), (4, 1.5), (2.5, 0), (0, 0)]],
    "E": [[(4, 6), (0, 6), (0, 0), (4, 0)], [(0, 3), (3, 3)]],
    "F": [[(4, 6), (0, 6), (0, 0)], [(0, 3), (3, 3)]],
    "G": [[(4, 5), (3, 6), (1, 6), (0, 5), (0, 1), (1, 0), (3, 0), (4, 1), (4, 3), (2, 3)]],
    "H": [[(0, 0), (0, 6)], [(4, 0), (4, 6)], [(0, 3), (4, 3)]],
    "I": [[(1, 6), (3, 6)], [(2, 6), (2, 0)], [(1, 0), (3, 0)]],
    "J": [[(1, 6), (4, 6)], [(3, 6), (3, 1), (2, 0), (1, 0), (0, 1)]],
    "K": [[(0, 0), (0, 6)], [(4, 6), (0, 2)], [(1.3, 3.3), (4, 0)]],
    "L": [[(0, 6), (0, 0), (4, 0)]],
    "M": [[(0, 0), (0, 6), (2, 3), (4, 6), (4, 0)]],
    "N": [[(0, 0), (0, 6), (4, 0), (4, 6)]],
    "O": [[(1, 0), (3, 0), (4, 1), (4, 5), (3, 6), (1, 6), (0, 5), (0, 1), (1, 0)]],
    "P": [[(0, 0), (0, 6), (3, 6), (4, 5), (4, 4), (3, 3), (0, 3)]],
    "Q": [[(1, 0), (3, 0), (4, 1), (4, 5), (3, 6), (1, 6), (0, 5), (0, 1), (1, 0)], [(2.5, 1.5), (4, 0)]],
    "R": [[(0, 0), (0, 6), (3, 6), (4, 5), (4, 4), (3, 3), (0, 3)], [(2, 3), (4, 0)]],
    "S": [[(4, 5), (3, 6), (1, 6), (0, 5), (0, 4), (1, 3), (3, 3), (4, 2), (4, 1), (3, 0), (1, 0), (0, 1)]],
    "T": [[(0, 6), (4, 6)], [(2, 6), (2, 0)]],
    "U": [[(0, 6), (0, 1), (1, 0), (3, 0), (4, 1), (4, 6)]],
    "V": [[(0, 6), (2, 0), (4, 6)]],
    "W": [[(0, 6), (1, 0), (2, 4), (3, 0), (4, 6)]],
    "X": [[(0, 0), (4, 6)], [(0, 6), (4, 0)]],
    "Y": [[(0, 6), (2, 3), (4, 6)], [(2, 3), (2, 0)]],
    "Z": [[(0, 6), (4, 6), (0, 0), (4, 0)]],
    # The true-or-false pair: a check mark and a cross.
    "\u221a": [[(0, 3), (1.5, 0.5), (4, 6)]],
    "\u00d7": [[(0.5, 1), (3.5, 5)], [(0.5, 5), (3.5, 1)]],
}

# Glyph names of the labels that are neither letters nor digits.
SYMBOL_NAMES = {"\u221a": "radical", "\u00d7": "multiply"}

# Bubbles beyond the characters above sit in the private use area, so no text the sheet writes
# turns into one: an empty bubble (the 缺考 mark) and the item numbers 10 to 99 of optional
# questions. Appended after the first glyphs, which stay as they were.
MARK_BASE = 0xE000
EMPTY_BUBBLE = chr(MARK_BASE)


def two_digit_bubble(n):
    return chr(MARK_BASE + n)


# The wrong fills drawn inside an empty bubble, in font units.
TICK = [[(300, 320), (450, 140), (720, 520)]]
CROSS = [[(300, 110), (700, 490)], [(300, 490), (700, 110)]]


def area(contour):
    return sum(x0 * y1 - x1 * y0 for (x0, y0), (x1, y1) in zip(contour, contour[1:] + contour[:1])) / 2


def clockwise(contour):
    """TrueType fills clockwise contours; holes run the other way."""
    return contour if area(contour) < 0 else list(reversed(contour))


def counter_clockwise(contour):
    return list(reversed(clockwise(contour)))


def rounded_rect(left, bottom, right, top, radius, steps=6):
    import math
    corners = [(right - radius, top - radius, 0), (left + radius, top - radius, 90),
               (left + radius, bottom + radius, 180), (right - radius, bottom + radius, 270)]
    points = []
    for cx, cy, start in corners:
        for i in range(steps + 1):
            a = math.radians(start + 90 * i / steps)
            points.append((round(cx + radius * math.cos(a)), round(cy + radius * math.sin(a))))
    return points


def stroke_polyline(points, width):
    """Outlines of a polyline of given width: one quad per segment and a square at each joint.
    Overlapping clockwise contours fill as one shape."""
    import math
    half = width / 2
    contours = []
    for (x0, y0), (x1, y1) in zip(points, points[1:]):
        dx, dy = x1 - x0, y1 - y0
        length = math.hypot(dx, dy)
        nx, ny = -dy / length * half, dx / length * half
        ex, ey = dx / length * half * 0.4, dy / length * half * 0.4  # slight overlap at joints
        quad = [(x0 - ex + nx, y0 - ey + ny), (x1 + ex + nx, y1 + ey + ny),
                (x1 + ex - nx, y1 + ey - ny), (x0 - ex - nx, y0 - ey - ny)]
        contours.append(clockwise([(round(x), round(y)) for x, y in quad]))
    for x, y in points[1:-1]:
        contours.append(clockwise([(round(x - half), round(y - half)), (round(x - half), round(y + half)),
                                   (round(x + half), round(y + half)), (round(x + half), round(y - half))]))
    return contours


def bubble_ring():
    outer = rounded_rect(BOX_LEFT, BOX_BOTTOM, BOX_RIGHT, BOX_TOP, BOX_RADIUS)
    inner = rounded_rect(BOX_LEFT + RING, BOX_BOTTOM + RING, BOX_RIGHT - RING, BOX_TOP - RING, BOX_RADIUS - RING)
    return [clockwise(outer), counter_clockwise(inner)]


def label_strokes(strokes):
    contours = []
    for stroke in strokes:
        pts = [(GRID_LEFT + x * GRID_SCALE, GRID_BOTTOM + y * GRID_SCALE) for x, y in stroke]
        contours += stroke_polyline(pts, STROKE)
    return contours


def pair_strokes(first, second):
    """Two digits side by side in one bubble, each at two thirds of a lone label's size."""
    contours = []
    scale = GRID_SCALE * 2 / 3
    bottom = 300 - 3 * scale
    for strokes, left in ((first, 500 - 9 * scale / 2 + 0), (second, 500 + scale / 2)):
        for stroke in strokes:
            pts = [(round(left + x * scale), round(bottom + y * scale)) for x, y in stroke]
            contours += stroke_polyline(pts, STROKE * 0.8)
    return contours


def glyph_contours():
    """Character -> (glyph name, advance, contours)."""
    glyphs = {" ": ("space", SPACE_ADVANCE, [])}
    glyphs["!"] = ("exclam", ADVANCE, [clockwise(rounded_rect(BOX_LEFT, BOX_BOTTOM, BOX_RIGHT, BOX_TOP, 60))])
    glyphs["#"] = ("numbersign", ADVANCE, bubble_ring() + [c for s in TICK for c in stroke_polyline(s, 70)])
    glyphs["$"] = ("dollar", ADVANCE, bubble_ring() + [c for s in CROSS for c in stroke_polyline(s, 70)])
    half = rounded_rect(BOX_LEFT, BOX_BOTTOM, 500, BOX_TOP, 1)
    glyphs["%"] = ("percent", ADVANCE, bubble_ring() + [clockwise(
        [(x, y) for x, y in rounded_rect(BOX_LEFT + 20, BOX_BOTTOM + 20, BOX_RIGHT - 20, BOX_TOP - 20, BOX_RADIUS - 20)
         if x <= 500] + [(500, BOX_BOTTOM + 20), (500, BOX_TOP - 20)])])
    del half
    for ch, strokes in LABELS.items():
        if ch in SYMBOL_NAMES:
            name = SYMBOL_NAMES[ch]
        elif ch.isalpha():
            name = ch
        else:
            name = ["zero", "one", "two", "three", "four", "five", "six", "seven", "eight", "nine"][int(ch)]
        glyphs[ch] = (name, ADVANCE, bubble_ring() + label_strokes(strokes))
    glyphs[EMPTY_BUBBLE] = ("uniE000", ADVANCE, bubble_ring())
    for n in range(10, 100):
        glyphs[two_digit_bubble(n)] = ("uni%04X" % (MARK_BASE + n), ADVANCE,
                                       bubble_ring() + pair_strokes(LABELS[str(n // 10)], LABELS[str(n % 10)]))
    return glyphs


def draw(contours):
    pen = TTGlyphPen(None)
    for contour in contours:
        pen.moveTo(contour[0])
        for point in contour[1:]:
            pen.lineTo(point)
        pen.closePath()
    return pen.glyph()


def build_font():
    glyphs = glyph_contours()
    order = [".notdef"] + [g[0] for g in glyphs.values()]
    fb = FontBuilder(EM, isTTF=True)
    fb.setupGlyphOrder(order)
    fb.setupCharacterMap({ord(ch): g[0] for ch, g in glyphs.items()})
    outlines = {".notdef": draw([clockwise([(100, 0), (100, 700), (600, 700), (600, 0)]),
                                 counter_clockwise([(150, 50), (150, 650), (550, 650), (550, 50)])])}
    metrics = {".notdef": (700, 100)}
    for name, advance, contours in glyphs.values():
        outlines[name] = draw(contours)
    fb.setupGlyf(outlines)
    glyf = fb.font["glyf"]
    for name, advance, _ in glyphs.values():
        g = glyf[name]
        metrics[name] = (advance, getattr(g, "xMin", 0))
    fb.setupHorizontalMetrics(metrics)
    fb.setupHorizontalHeader(ascent=ASCENT, descent=-DESCENT)
    fb.setupNameTable({"familyName": "Block HX", "styleName": "Regular",
                       "uniqueFontIdentifier": "Varelo: Block HX Regular 1.0",
                       "fullName": "Block HX", "psName": "BlockHX-Regular", "version": "Version 1.000"})
    fb.setupOS2(sTypoAscender=ASCENT, sTypoDescender=-DESCENT, sTypoLineGap=0,
                usWinAscent=ASCENT, usWinDescent=DESCENT, fsType=0, achVendID="VRLO",
                ulCodePageRange1=1)
    fb.setupPost()
    fb.setupDummyDSIG() if hasattr(fb, "setupDummyDSIG") else None
    # A fixed date instead of the build's: the sheets' font key is derived from these bytes,
    # so every build must make the same font.
    fb.font["head"].created = fb.font["head"].modified = timestampSinceEpoch(FONT_DATE)
    fb.font.recalcTimestamp = False
    return fb.font


def write_cpp(data, path):
    with open(path, "w") as out:
        out.write("// Generated from fonts/block_hx.py at build time: the bytes of the font \"Block HX\".\n")
        out.write("#include <cstddef>\n\nnamespace varelo::host {\n\n")
        out.write("extern const unsigned char kBlockHxFont[] = {\n")
        for i in range(0, len(data), 20):
            out.write("    " + ", ".join(str(b) for b in data[i:i + 20]) + ",\n")
        out.write("};\nextern const std::size_t kBlockHxFontSize = sizeof(kBlockHxFont);\n\n}  // namespace varelo::host\n")


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: block_hx.py OUT.ttf OUT.cpp")
    font = build_font()
    font.save(sys.argv[1])
    with open(sys.argv[1], "rb") as f:
        write_cpp(f.read(), sys.argv[2])


if __name__ == "__main__":
    main()
