// Text layout through libtolmek-font in one of four fonts: code points, box, size, flags and colour
// from the input, drawn into an image and onto a framebuffer of a size from the input. Checked: the
// canaries around each target's pixels never change, nor with TEXT_CLIP any pixel outside the box;
// both targets give the same y, never above the box.
//
// Input, little-endian: 0 the font (bits 0-1); 1, 2 the targets' width and height; 3-4 the size,
// 1 + value % 300; 5-6 the flags; 7-22 x, y, w, h (int32); 23-26 the colour; then the text, 32-bit
// code points.
#include <algorithm>
#include <vector>

#include "support.h"
#include "tolmek_font.h"

namespace {

constexpr const char *fonts[] = {TOLMEK_FONT_FIXTURES "/layout.ttf",
                                 TOLMEK_FONT_FIXTURES "/mono.bdf",
                                 TOLMEK_FONT_FIXTURES "/no_question.ttf", TOLMEK_NANUM_GOTHIC};
constexpr std::size_t setup_size = 27, canaries = 256;

struct Call {
    std::int32_t x, y, w, h, size, flags;
    bool may_change(std::int64_t px, std::int64_t py) const {
        return !(flags & TEXT_CLIP) ||
               (px >= x && px < std::int64_t{x} + w && py >= y && py < std::int64_t{y} + h);
    }
};

// Draws into a target of width x height pixels between two runs of
// canaries, all filled alike; returns y, or aborts if a pixel changed that
// the call may not change.
template <typename Target, typename Pixel, typename Draw>
std::int32_t draw(std::uint32_t width, std::uint32_t height, Pixel fill, const Call &call,
                  Draw draw_text) {
    std::vector<Pixel> memory(width * height + 2 * canaries, fill);
    Target target{width, height, reinterpret_cast<decltype(Target::pixels)>(&memory[canaries])};
    std::int32_t y = draw_text(&target);
    for (std::int64_t i = 0; i < std::int64_t(memory.size()); ++i) {
        std::int64_t pixel = i - std::int64_t{canaries};
        bool canary = pixel < 0 || pixel >= std::int64_t{width} * height;
        fuzz::check(memory[i] == fill || (!canary && call.may_change(pixel % width, pixel / width)),
                    "a pixel changed that must not");
    }
    return y;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    constexpr auto int32 = &fuzz::little_endian<std::int32_t>;
    if (size < setup_size) return 0;
    static const char *font = nullptr; // opened again only for another font
    if (font != fonts[data[0] & 3]) {
        font = fonts[data[0] & 3];
        fuzz::check(font_close() == 0 && font_open(font) == 0, "opening the font");
    }
    const Call c{int32(data + 7),
                 int32(data + 11),
                 int32(data + 15),
                 int32(data + 19),
                 1 + fuzz::little_endian<std::uint16_t>(data + 3) % 300,
                 fuzz::little_endian<std::uint16_t>(data + 5)};
    const auto colour = fuzz::little_endian<std::uint32_t>(data + 23);
    std::vector<std::uint32_t> text(1 + (size - setup_size) / 4); // ended by 0
    for (std::size_t i = 0; i + 1 < text.size(); ++i) text[i] = int32(data + setup_size + 4 * i);
    std::int32_t y = draw<tolmek_image>(data[1], data[2], ~colour, c, [&](tolmek_image *t) {
        return image_draw_text_unicode(t, text.data(), c.x, c.y, c.w, c.h, c.size, colour, c.flags);
    });
    std::int32_t fb_y = draw<tolmek_framebuffer>(
        data[1], data[2], std::uint16_t(~colour), c, [&](tolmek_framebuffer *t) {
            return fb_draw_text_unicode(t, text.data(), c.x, c.y, c.w, c.h, c.size, colour,
                                        c.flags);
        });
    fuzz::check(fb_y == y, "both targets lay out alike");
    fuzz::check(y >= c.y, "y above the box");
    return 0;
}
