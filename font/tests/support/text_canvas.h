// Targets with guard pixels that no drawing may change, the four drawing
// calls behind one helper, and expected pictures painted from glyph shapes.
#ifndef TOLMEK_FONT_TEST_TEXT_CANVAS_H
#define TOLMEK_FONT_TEST_TEXT_CANVAS_H

#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host_services.h"
#include "tolmek_font.h"

namespace font_test {

inline std::string fixture(const char *name) { return std::string(TOLMEK_FONT_FIXTURES "/") + name; }

struct Box {
    int32_t x, y, w, h;
    bool holds(int32_t px, int32_t py) const { return px >= x && py >= y && px < x + w && py < y + h; }
};

using Shape = std::vector<std::string>; // rows of a glyph, top first, '#' set
inline const Shape box_a(4, "###"), box_question(4, "##"); // "a", "W" and "?" at size 10

template <typename Pixel> struct Canvas {
    static constexpr size_t guard = 64;

    Canvas(uint32_t width, uint32_t height, Pixel background)
        : width(width), height(height), storage(width * height + 2 * guard, background) {
        std::fill_n(storage.begin(), guard, Pixel(0x5A5A5A5A));
        std::fill_n(storage.end() - guard, guard, Pixel(0x5A5A5A5A));
    }
    Pixel *pixels() { return storage.data() + guard; }
    Pixel &at(int32_t x, int32_t y) { return pixels()[y * int32_t(width) + x]; }
    // shape standing on the baseline at x, where the canvas and clip hold it
    void paint(const Shape &shape, int32_t x, int32_t baseline, Pixel colour, Box clip) {
        int32_t top = baseline - int32_t(shape.size());
        Box canvas{0, 0, int32_t(width), int32_t(height)};
        for (int32_t r = 0; r < int32_t(shape.size()); r++)
            for (int32_t k = 0; k < int32_t(shape[r].size()); k++)
                if (shape[r][k] == '#' && clip.holds(x + k, top + r) && canvas.holds(x + k, top + r))
                    at(x + k, top + r) = colour;
    }
    bool operator==(const Canvas &other) const = default;

    uint32_t width, height;
    std::vector<Pixel> storage;
};

// One drawing call, through the image or the framebuffer operation, with
// the text as UTF-8 or as the code points the host decodes it into.
template <typename Pixel>
int32_t draw(Canvas<Pixel> &canvas, const char *text, Box b, int32_t size, uint32_t colour,
             int32_t flags, bool as_utf8 = true) {
    uint32_t *code_points = as_utf8 ? nullptr : utf8_decode(text);
    int32_t result;
    if constexpr (sizeof(Pixel) == 4) {
        tolmek_image image{canvas.width, canvas.height, reinterpret_cast<uint8_t *>(canvas.pixels())};
        result = as_utf8 ? image_draw_text(&image, text, b.x, b.y, b.w, b.h, size, colour, flags)
                         : image_draw_text_unicode(&image, code_points, b.x, b.y, b.w, b.h, size, colour, flags);
    } else {
        tolmek_framebuffer fb{canvas.width, canvas.height, canvas.pixels()};
        result = as_utf8 ? fb_draw_text(&fb, text, b.x, b.y, b.w, b.h, size, colour, flags)
                         : fb_draw_text_unicode(&fb, code_points, b.x, b.y, b.w, b.h, size, colour, flags);
    }
    free(code_points);
    return result;
}

} // namespace font_test

#endif
