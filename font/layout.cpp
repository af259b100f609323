// The text layout, in three layers: the glyph step (fetch, bottom test,
// break test, place), the line (a walk of glyph steps, then a new line for
// the glyph that broke it) and the block (the passes: a vertical measure
// where the vertical alignment needs one, then drawing, for centred and
// right-aligned text one measured line at a time).
//
// Worked example at size 10 (half 5, line height 15, first baseline y + 9)
// with a glyph of advance 4: "aaa" in a box x 0, w 10 puts two glyphs on
// the first line; the third breaks it and starts the second line at x 0,
// baseline y + 24; the result is y + 24 + 5 + 1 = y + 30. Centred, the two
// lines start at 0 + (10 - 8) / 2 = 1 and 0 + (10 - 4) / 2 = 3.
//
// Every step moves forward: each glyph step consumes a code point, and a
// glyph wider than the box, which would break again on every new line, is
// sent to the bottom limit at once.
//
// With TEXT_WRAP_WORDS a line that a glyph breaks ends at the last space
// placed on it instead, unless that glyph is a space itself, and the next
// line starts with the word after it: "a aaa" in a box of w 14 puts "a" on
// the first line and "aaa" on the second. The spaces where a line breaks
// are not drawn and take no room. Lines are then measured before they are
// drawn, whatever their alignment, since a word is drawn only once it is
// known to stay on its line.
#include <limits.h>

#include <algorithm>

#include "layout.h"
#include "tolmek_font.h"

namespace font {
namespace {

constexpr uint32_t line_feed = 10;
constexpr uint32_t space = 32;
constexpr int32_t horizontal_bits = 0x0F;
constexpr int32_t vertical_bits = 0xF0;
constexpr uint32_t empty_text[1] = {0};

enum class LineEnd { text_end, breaks, stops };

// The last space placed on the current line, with the pen before it and its
// advances: where the line ends when a word does not fit.
struct WrapPoint {
    const uint32_t *at = nullptr;
    int64_t pen_x = 0;
    int32_t xadvance = 0, yadvance = 0;
};

// One drawing call. Coordinates are 64-bit, so that boxes near the ends of
// the 32-bit range reach past them instead of wrapping around.
struct Layout {
    Layout(const Painter &painter, TextBox box, int32_t size, int32_t flags)
        : painter(painter),
          request(glyph_request(size)),
          x(box.x),
          right(x + box.w),
          bottom(int64_t{box.y} + box.h),
          half(size / 2),
          line_height(size + half),
          first_baseline(int64_t{box.y} + size - 1),
          limit(flags & TEXT_CLIP ? bottom + line_height : bottom),
          wrap_words(flags & TEXT_WRAP_WORDS) {
        bool clip = flags & TEXT_CLIP;
        window_left = clip ? std::max<int64_t>(0, x) : 0;
        window_top = clip ? std::max<int64_t>(0, box.y) : 0;
        window_right = clip ? std::min<int64_t>(painter.width, right) : painter.width;
        window_bottom = clip ? std::min<int64_t>(painter.height, bottom) : painter.height;
    }

    const Painter &painter;
    FTC_ImageTypeRec request;
    int64_t x, right, bottom; // right and bottom: first column and row outside the box
    int64_t half, line_height, first_baseline;
    int64_t limit; // no glyph is laid out on a baseline at or below it
    bool wrap_words;
    WrapPoint wrap;                                               // none while wrap_words is off
    int64_t window_left, window_top, window_right, window_bottom; // pixels that may change
    int64_t pen_x = 0, pen_y = 0;                       // pen y is the baseline of the current line
    int32_t breaker_xadvance = 0, breaker_yadvance = 0; // of the glyph that broke the line
};

// Hands the part of the glyph at the pen that lies inside the window to the
// painter.
void draw_glyph(const Layout &l, const Glyph &glyph) {
    int64_t left = l.pen_x + glyph.left;
    int64_t top = l.pen_y - glyph.top;
    int64_t first_column = std::max<int64_t>(0, l.window_left - left);
    int64_t end_column = std::min<int64_t>(glyph.width, l.window_right - left);
    int64_t first_row = std::max<int64_t>(0, l.window_top - top);
    int64_t end_row = std::min<int64_t>(glyph.height, l.window_bottom - top);
    if (first_column >= end_column || first_row >= end_row) return;
    GlyphSpan span{static_cast<int32_t>(first_row),
                   static_cast<int32_t>(end_row),
                   static_cast<int32_t>(first_column),
                   static_cast<int32_t>(end_column),
                   static_cast<uint32_t>(left + first_column),
                   static_cast<uint32_t>(top + first_row)};
    l.painter.paint(l.painter, glyph, span);
}

void advance_pen(Layout &l, const Glyph &glyph) {
    l.pen_x += glyph.xadvance;
    l.pen_y -= glyph.yadvance;
}

LineEnd stop_at_bottom(Layout &l) {
    l.pen_y -= l.line_height; // back to the last line laid out
    return LineEnd::stops;
}

LineEnd break_line(Layout &l, int32_t xadvance, int32_t yadvance) {
    l.breaker_xadvance = xadvance;
    l.breaker_yadvance = yadvance;
    return LineEnd::breaks;
}

// The glyph at p breaks the line: with wrap_words at the line's last space
// instead, unless that glyph is a space itself. p is then on that space.
LineEnd break_before(Layout &l, const uint32_t *&p, const Glyph &glyph) {
    if (!l.wrap.at || *p == space) return break_line(l, glyph.xadvance, glyph.yadvance);
    p = l.wrap.at;
    l.pen_x = l.wrap.pen_x;
    return break_line(l, l.wrap.xadvance, l.wrap.yadvance);
}

// Glyph steps along the current line from p, each glyph that fits placed
// (and drawn, with draw). Ends at the end of the text; at a glyph that
// breaks the line, with p on it; or when the baseline reached the bottom
// limit. fed: p is a line feed whose new line has already been started.
// A line feed breaks the line and then takes no room on the new one.
LineEnd walk_line(Layout &l, const uint32_t *&p, bool fed, bool draw) {
    l.wrap = WrapPoint{};
    for (; *p; ++p, fed = false) {
        if (*p == line_feed) {
            if (fed) continue;
            if (l.pen_y >= l.limit) return stop_at_bottom(l);
            return break_line(l, 0, 0);
        }
        HeldGlyph glyph(l.request, *p);
        if (!glyph) continue; // no glyph and no "?": no room
        if (l.pen_y - glyph->yadvance >= l.limit) return stop_at_bottom(l);
        if (l.pen_x + glyph->xadvance > l.right) return break_before(l, p, *glyph);
        if (*p == space && l.wrap_words)
            l.wrap = WrapPoint{p, l.pen_x, glyph->xadvance, glyph->yadvance};
        if (draw) draw_glyph(l, *glyph);
        advance_pen(l, *glyph);
    }
    return LineEnd::text_end;
}

// Where the next line starts after a break: the line feed that broke the
// line, which its walk passes over; with wrap_words past the spaces where
// it broke. True when p is on such a line feed.
bool start_next_line(const Layout &l, const uint32_t *&p) {
    if (*p == line_feed) return true;
    if (l.wrap_words)
        while (*p == space) ++p;
    return false;
}

// Starts the next line for the glyph that broke the current one. False when
// that line's baseline would reach the bottom limit: the pass stops, on the
// last baseline reached. A glyph wider than the box breaks again on every
// new line until then, so it goes to that last baseline at once.
bool new_line(Layout &l) {
    int64_t room = l.limit + l.breaker_yadvance - l.pen_y; // new line allowed while > line height
    if (l.x + l.breaker_xadvance > l.right) {
        if (room > l.line_height) l.pen_y += (room - 1) / l.line_height * l.line_height;
        return false;
    }
    if (room <= l.line_height) return false;
    l.pen_y += l.line_height;
    l.pen_x = l.x;
    return true;
}

// Left-aligned lines from the pen, to the end of the text or the bottom
// limit: the drawing pass, or without draw the vertical measure.
void run_lines(Layout &l, const uint32_t *text, bool draw) {
    const uint32_t *p = text;
    for (bool fed = false;; fed = start_next_line(l, p))
        if (walk_line(l, p, fed, draw) != LineEnd::breaks || !new_line(l)) return;
}

// Draws the glyphs [from, to) of a measured line from the pen.
void draw_line(Layout &l, const uint32_t *from, const uint32_t *to) {
    for (const uint32_t *p = from; p != to; ++p) {
        if (*p == line_feed) continue; // only the one that started this line
        HeldGlyph glyph(l.request, *p);
        if (!glyph) continue;
        draw_glyph(l, *glyph);
        advance_pen(l, *glyph);
    }
}

// Where a line of measured width end starts.
int64_t line_start(const Layout &l, int32_t alignment, int64_t end) {
    int64_t room = l.right - end;
    if (alignment == TEXT_ALIGN_CENTER) return l.x + room / 2;
    return alignment == TEXT_ALIGN_RIGHT ? l.x + room : l.x;
}

// Lines that are each measured from x, then drawn from where their end
// meets the alignment.
void run_measured_lines(Layout &l, const uint32_t *text, int32_t alignment) {
    const uint32_t *p = text;
    for (bool fed = false;; fed = start_next_line(l, p)) {
        const uint32_t *line = p;
        int64_t baseline = l.pen_y;
        LineEnd end = walk_line(l, p, fed, false);
        if (end == LineEnd::stops) return;
        l.pen_x = line_start(l, alignment, l.pen_x);
        l.pen_y = baseline;
        draw_line(l, line, p);
        if (end == LineEnd::text_end || !new_line(l)) return;
    }
}

// The first baseline of the drawing pass. Middle and bottom alignment
// measure the block first; a block taller than the box starts at the top.
int64_t start_baseline(Layout &l, const uint32_t *text, int32_t vertical) {
    if (vertical != TEXT_VALIGN_MIDDLE && vertical != TEXT_VALIGN_BOTTOM) return l.first_baseline;
    l.pen_x = l.x;
    l.pen_y = l.first_baseline;
    run_lines(l, text, false);
    int64_t space = l.bottom - 1 - std::min(l.pen_y, l.bottom - 1);
    return l.first_baseline + (vertical == TEXT_VALIGN_MIDDLE ? space / 2 : space);
}

int32_t saturate(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

} // namespace

int32_t layout_text(const Painter &painter, const uint32_t *text, TextBox box, int32_t size,
                    int32_t flags) {
    // Below size 1 the line height is not positive: no line would ever
    // reach the bottom limit.
    if (!painter.target || size < 1 || !context_is_open()) return box.y;
    if (!text) text = empty_text;
    Layout l(painter, box, size, flags);
    int32_t horizontal = flags & horizontal_bits;
    l.pen_y = start_baseline(l, text, flags & vertical_bits);
    l.pen_x = l.x;
    if (horizontal == TEXT_ALIGN_CENTER || horizontal == TEXT_ALIGN_RIGHT || l.wrap_words)
        run_measured_lines(l, text, horizontal);
    else
        run_lines(l, text, true);
    return saturate(l.pen_y + l.half + 1);
}

} // namespace font
