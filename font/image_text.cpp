// Text drawn into the host's 32-bit images.
#include "glyph_blit.h"
#include "layout.h"
#include "pixel_blend.h"
#include "tolmek_font.h"

namespace font {
namespace {

void paint_image(const Painter &painter, const Glyph &glyph, const GlyphSpan &span) {
    const auto *image = static_cast<const tolmek_image *>(painter.target);
    blit_glyph(glyph, span, [&](uint32_t px, uint32_t py, unsigned coverage) {
        uint8_t *pixel = image->pixels + (static_cast<size_t>(py) * image->width + px) * 4;
        blend_image_pixel(pixel, painter.colour, coverage);
    });
}

// No target for a null record: nothing is laid out.
Painter image_painter(tolmek_image *image, uint32_t colour) {
    if (!image || !fits_address_space(image->width, image->height, 4)) return Painter{};
    return Painter{image->width, image->height, image, colour, paint_image};
}

} // namespace
} // namespace font

extern "C" {

int32_t image_draw_text_unicode(tolmek_image *image, const uint32_t *text, int32_t x, int32_t y,
                                int32_t w, int32_t h, int32_t size, uint32_t colour,
                                int32_t flags) {
    return font::layout_text(font::image_painter(image, colour), text, {x, y, w, h}, size, flags);
}

int32_t image_draw_text(tolmek_image *image, const char *text, int32_t x, int32_t y, int32_t w,
                        int32_t h, int32_t size, uint32_t colour, int32_t flags) {
    return font::layout_utf8(font::image_painter(image, colour), text, {x, y, w, h}, size, flags);
}

} // extern "C"
