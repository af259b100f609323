// The text layout shared by both drawing targets: line breaking, alignment,
// the bottom limit and clipping, written once over a glyph painter.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "font_context.h"

namespace font {

// The part of a placed glyph that lands inside the target (and the box,
// when clipping): bitmap rows [first_row, end_row) and columns
// [first_column, end_column), whose first pixel is target pixel
// (target_x, target_y). Never empty.
struct GlyphSpan {
    int32_t first_row, end_row;
    int32_t first_column, end_column;
    uint32_t target_x, target_y;
};

// One pixel format's painter: blends the covered pixels of a span with the
// colour it carries.
struct Painter {
    uint32_t width, height; // of the target
    void *target;           // the painter's own record; null: no target
    uint32_t colour;
    void (*paint)(const Painter &painter, const Glyph &glyph, const GlyphSpan &span);
};

// Whether every pixel of a target of width x height pixels, pixel_bytes
// each, has an offset the address space holds. A target that does not fit
// is one no host can have: nothing is laid out in it.
constexpr bool fits_address_space(uint32_t width, uint32_t height, size_t pixel_bytes) {
    return height == 0 || width <= SIZE_MAX / pixel_bytes / height;
}

// The box of a drawing call, in target pixels.
struct TextBox {
    int32_t x, y, w, h;
};

// Lays text (code points ended by 0) out in box at size, with the flags of
// tolmek_font.h, painting through painter. Returns the y just below the
// last line laid out; y when nothing can be laid out (no open context, no
// target, a size below 1). A null text lays out as an empty one. Allocates
// nothing.
int32_t layout_text(const Painter &painter, const uint32_t *text, TextBox box, int32_t size,
                    int32_t flags);

// layout_text for NUL-terminated UTF-8 text, which the host's utf8_decode
// turns into code points; they are freed before the call returns. A null
// text or decoding result lays out as an empty text.
int32_t layout_utf8(const Painter &painter, const char *text, TextBox box, int32_t size,
                    int32_t flags);

} // namespace font
