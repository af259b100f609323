// Text drawn onto the host's 16-bit 5-6-5 framebuffer memory.
#include "glyph_blit.h"
#include "layout.h"
#include "pixel_blend.h"
#include "tolmek_font.h"

namespace font {
namespace {

void paint_framebuffer(const Painter &painter, const Glyph &glyph, const GlyphSpan &span) {
    const auto *fb = static_cast<const tolmek_framebuffer *>(painter.target);
    auto colour = static_cast<uint16_t>(painter.colour);
    blit_glyph(glyph, span, [&](uint32_t px, uint32_t py, unsigned coverage) {
        uint16_t &pixel = fb->pixels[static_cast<size_t>(py) * fb->width + px];
        pixel = blend_fb_pixel(pixel, colour, coverage);
    });
}

// Only the low 16 bits of the colour argument count. No target for a null
// record: nothing is laid out.
Painter framebuffer_painter(tolmek_framebuffer *fb, uint32_t colour) {
    if (!fb || !fits_address_space(fb->width, fb->height, sizeof(uint16_t))) return Painter{};
    return Painter{fb->width, fb->height, fb, colour & 0xFFFF, paint_framebuffer};
}

} // namespace
} // namespace font

extern "C" {

int32_t fb_draw_text_unicode(tolmek_framebuffer *fb, const uint32_t *text, int32_t x, int32_t y,
                             int32_t w, int32_t h, int32_t size, uint32_t colour, int32_t flags) {
    return font::layout_text(font::framebuffer_painter(fb, colour), text, {x, y, w, h}, size,
                             flags);
}

int32_t fb_draw_text(tolmek_framebuffer *fb, const char *text, int32_t x, int32_t y, int32_t w,
                     int32_t h, int32_t size, uint32_t colour, int32_t flags) {
    return font::layout_utf8(font::framebuffer_painter(fb, colour), text, {x, y, w, h}, size,
                             flags);
}

} // extern "C"
