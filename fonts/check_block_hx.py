#!/usr/bin/env python3
"""Reads the built "Block HX" back with fontTools and checks what the sheet relies on:
every character the sheet writes is mapped to a glyph with an outline, the advances are
as designed, the line box is one em, and embedding is allowed."""
import hashlib
import sys

from fontTools.ttLib import TTFont

sys.path.insert(0, __file__.rsplit("/", 1)[0])
import block_hx  # noqa: E402

font = TTFont(sys.argv[1])
cmap = font.getBestCmap()
glyf, hmtx = font["glyf"], font["hmtx"]
errors = []

needed = "!#$% 0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ\u221a\u00d7" + block_hx.EMPTY_BUBBLE
needed += "".join(block_hx.two_digit_bubble(n) for n in range(10, 100))
for ch in needed:
    name = cmap.get(ord(ch))
    if name is None:
        errors.append(f"{ch!r} is not mapped")
        continue
    glyph = glyf[name]
    if ch != " " and glyph.numberOfContours <= 0:
        errors.append(f"{ch!r} has no outline")
    want = block_hx.SPACE_ADVANCE if ch == " " else block_hx.ADVANCE
    if hmtx[name][0] != want:
        errors.append(f"{ch!r} advance {hmtx[name][0]}, want {want}")
    if ch != " ":
        glyph.recalcBounds(glyf)
        centre = (glyph.yMin + glyph.yMax) / 2
        if abs(centre - (block_hx.ASCENT - block_hx.DESCENT) / 2) > 5:
            errors.append(f"{ch!r} not centred in the line box: centre {centre}")

# The glyphs printed sheets already hold keep their place, metrics and outline to the byte.
order = font.getGlyphOrder()
with open(__file__.rsplit("/", 1)[0] + "/block_hx_glyphs.txt") as recorded:
    for index, line in enumerate(l for l in recorded if not l.startswith("#")):
        name, advance, lsb, digest = line.split()
        if index >= len(order) or order[index] != name:
            errors.append(f"glyph {index} is not {name}")
            continue
        if hmtx[name] != (int(advance), int(lsb)):
            errors.append(f"{name} metrics changed")
        if hashlib.sha256(glyf[name].compile(glyf)).hexdigest() != digest:
            errors.append(f"{name} outline changed")

if font["name"].getDebugName(1) != "Block HX":
    errors.append("family name is not 'Block HX'")
if font["head"].unitsPerEm != block_hx.EM:
    errors.append("units per em")
if font["hhea"].ascent - font["hhea"].descent != block_hx.EM:
    errors.append("line box is not one em")
if font["OS/2"].fsType & 0x000E not in (0, 0x8):
    errors.append("embedding restricted")

for e in errors:
    print("FAIL:", e)
print("checked", len(needed), "characters;", "ok" if not errors else f"{len(errors)} problems")
sys.exit(1 if errors else 0)
