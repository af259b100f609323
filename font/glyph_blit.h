// The pixel walk shared by the painters: every covered pixel of a glyph
// span, with its coverage, handed to the pixel format's blend.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "layout.h"

namespace font {

// Calls blend(px, py, coverage) for each pixel of span that the glyph
// covers: coverage 255 for a set bit of a mono glyph (most significant bit
// first), the grey value of a grey glyph. Uncovered pixels, and every pixel
// of a glyph in another format, are skipped.
template <typename Blend>
inline void blit_glyph(const Glyph &glyph, const GlyphSpan &span, Blend &&blend) {
    for (int32_t r = span.first_row; r < span.end_row; ++r) {
        const uint8_t *row = glyph.buffer + static_cast<ptrdiff_t>(r) * glyph.pitch;
        uint32_t py = span.target_y + static_cast<uint32_t>(r - span.first_row);
        uint32_t px = span.target_x;
        if (glyph.format == glyph_grey) {
            for (int32_t k = span.first_column; k < span.end_column; ++k, ++px)
                if (unsigned coverage = row[k]) blend(px, py, coverage);
        } else if (glyph.format == glyph_mono) {
            for (int32_t k = span.first_column; k < span.end_column; ++k, ++px)
                if (row[k >> 3] & (0x80u >> (k & 7))) blend(px, py, 255u);
        }
    }
}

} // namespace font
