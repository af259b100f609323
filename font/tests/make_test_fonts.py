#!/usr/bin/python3
# make_test_fonts.py OUT_DIR: layout.ttf, no_question.ttf (without "?") and mono.bdf (1-bit, 10 px).
# 1000 units per em: at size 10 every edge lies on a pixel border ("h": in the middle of one).
import os
import sys

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen

OUTLINES = {  # glyph name: code point, advance, box (x0, y0, x1, y1) in units
    "a": (0x61, 400, (0, 0, 300, 400)),
    "W": (0x57, 3000, (0, 0, 300, 400)),
    "question": (0x3F, 400, (0, 0, 200, 400)),
    "h": (0x68, 400, (0, 0, 150, 400)),
    "B": (0x42, 900, (0, 0, 800, 900)),
    "j": (0x6A, 400, (-100, -100, 200, 1100)),  # past the pen, the em and the baseline
    "f": (0x66, 200, (0, 0, 300, 400)),  # past its advance
    "space": (0x20, 400, (0, 0, 0, 0)),  # no area, so nothing covered
}
BITMAPS = {  # glyph name: code point, advance, rows (top first)
    "a": (0x61, 4, ["101", "010", "111", "101"]),
    "question": (0x3F, 4, ["11", "01", "00", "01"]),
    "m": (0x6D, 11, ["1000000001", "0110000110"]),
}


def box(x0, y0, x1, y1):
    pen = TTGlyphPen(None)
    pen.moveTo((x0, y0))
    for point in [(x0, y1), (x1, y1), (x1, y0)]:
        pen.lineTo(point)
    pen.closePath()
    return pen.glyph()


def outline_font(path, names):
    builder = FontBuilder(1000, isTTF=True)
    builder.setupGlyphOrder([".notdef"] + names)
    builder.setupCharacterMap({OUTLINES[n][0]: n for n in names})
    glyphs = {n: box(*OUTLINES[n][2]) for n in names}
    builder.setupGlyf({".notdef": TTGlyphPen(None).glyph(), **glyphs})
    metrics = {n: (OUTLINES[n][1], OUTLINES[n][2][0]) for n in names}  # advance, left bearing
    builder.setupHorizontalMetrics({".notdef": (400, 0), **metrics})
    builder.setupHorizontalHeader(ascent=900, descent=-100)
    builder.save(path)


def bitmap_font(path):
    lines = ["STARTFONT 2.1", "FONT -tolmek-test-medium-r-normal--10-100-75-75-c-40-iso10646-1",
             "SIZE 10 75 75", "FONTBOUNDINGBOX 10 8 0 -2", "STARTPROPERTIES 5", "PIXEL_SIZE 10",
             "FONT_ASCENT 8", "FONT_DESCENT 2", 'CHARSET_REGISTRY "ISO10646"',
             'CHARSET_ENCODING "1"', "ENDPROPERTIES", "CHARS %d" % len(BITMAPS)]
    for name, (code, advance, rows) in BITMAPS.items():
        lines += ["STARTCHAR " + name, "ENCODING %d" % code, "SWIDTH %d 0" % (advance * 100),
                  "DWIDTH %d 0" % advance, "BBX %d %d 0 0" % (len(rows[0]), len(rows)), "BITMAP"]
        lines += ["%04X" % int(row.ljust(16, "0"), 2) for row in rows] + ["ENDCHAR"]
    with open(path, "w") as out:
        out.write("\n".join(lines + ["ENDFONT", ""]))


out = sys.argv[1]
os.makedirs(out, exist_ok=True)
outline_font(os.path.join(out, "layout.ttf"), list(OUTLINES))
outline_font(os.path.join(out, "no_question.ttf"), [n for n in OUTLINES if n != "question"])
bitmap_font(os.path.join(out, "mono.bdf"))
