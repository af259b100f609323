// Drawing text: layout examples pixel for pixel (soaked, allocations counted), blends, the context.
#include <limits.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "failing_malloc.h"
#include "host_services.h"
#include "pixel_blend.h"
#include "process_resources.h"
#include "tolmek_font.h"

namespace {

const std::string fixtures = TOLMEK_FONT_FIXTURES "/";

struct Box {
    int32_t x, y, w, h;
    bool holds(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
};

// Every target: width x height pixels between guards that no drawing may change.
constexpr int32_t width = 80, height = 60, guard = 64, guarded = width * height + 2 * guard;

using Shape = std::vector<std::string>; // rows of a glyph, top first, '#' set

// Paints shape in white standing on the baseline at x, where the target and clip hold it.
template <typename Pixel>
void paint(std::vector<Pixel> &pixels, const Shape &shape, int32_t x, int32_t baseline, Box clip) {
    const int32_t top = baseline - int32_t(shape.size());
    const Box target{0, 0, width, height};
    for (int32_t row = 0; row < int32_t(shape.size()); row++) {
        for (int32_t column = 0; column < int32_t(shape[row].size()); column++) {
            const int32_t px = x + column, py = top + row;
            if (shape[row][column] == '#' && clip.holds(px, py) && target.holds(px, py))
                pixels[guard + py * width + px] = Pixel(~0u);
        }
    }
}

// Into an image or onto a framebuffer by the pixel size, as UTF-8 or as code points.
template <typename Pixel>
int32_t draw(std::vector<Pixel> &pixels, const char *text, Box box, int32_t size, uint32_t colour,
             int32_t flags, bool as_utf8 = true) {
    tolmek_image image{width, height, reinterpret_cast<uint8_t *>(pixels.data() + guard)};
    tolmek_framebuffer fb{width, height, reinterpret_cast<uint16_t *>(pixels.data() + guard)};
    const auto [x, y, w, h] = box;
    if (as_utf8)
        return sizeof(Pixel) == 4 ? image_draw_text(&image, text, x, y, w, h, size, colour, flags)
                                  : fb_draw_text(&fb, text, x, y, w, h, size, colour, flags);
    std::unique_ptr<uint32_t, decltype(&free)> decoded(utf8_decode(text), free);
    const uint32_t *code_points = decoded.get();
    return sizeof(Pixel) == 4
               ? image_draw_text_unicode(&image, code_points, x, y, w, h, size, colour, flags)
               : fb_draw_text_unicode(&fb, code_points, x, y, w, h, size, colour, flags);
}

// The glyphs the examples place, by font and character. At size 10 in layout.ttf "a" has advance
// 4 and a 3 x 4 box on the baseline, "W" advance 30; "W" is placed at size 50, "B" at 200.
const std::map<std::string, Shape> shapes = {
    {"layout.ttf a", Shape(4, "###")},
    {"no_question.ttf a", Shape(4, "###")},
    {"layout.ttf ?", Shape(4, "##")},
    {"layout.ttf j", Shape(12, "###")},
    {"layout.ttf f", Shape(4, "###")},
    {"layout.ttf W", Shape(20, std::string(15, '#'))},
    {"layout.ttf B", Shape(180, std::string(160, '#'))},
    {"mono.bdf a", {"#.#", ".#.", "###", "#.#"}},
    {"mono.bdf ?", {"##", ".#", "..", ".#"}},
    {"mono.bdf m", {"#........#", ".##....##."}},
};

struct Example {
    const char *text;
    Box box;
    int32_t flags, result;
    std::vector<std::tuple<char, int32_t, int32_t>> glyphs; // the character, x, baseline
    std::string font = "layout.ttf"; // among the fixtures, unless a full path
    int32_t size = 10;
    bool cached = true; // warm draws allocate only the host's code points
};

const Example examples[] = {
    {"", {0, 0, 64, 48}, 0, 15, {}},
    {"aaa", {0, 2, 11, 48}, TEXT_ALIGN_CENTER, 32, {{'a', 1, 11}, {'a', 5, 11}, {'a', 3, 26}}},
    // A full line, the next baseline on the limit; the first baseline on the limit.
    {"aaa", {0, 0, 8, 24}, 0, 15, {{'a', 0, 9}, {'a', 4, 9}}},
    {"a", {0, 0, 64, 9}, 0, 0, {}},
    {"aaa", {0, 0, 10, 12}, TEXT_CLIP, 30, {{'a', 0, 9}, {'a', 4, 9}, {'a', 0, 24}}},
    {"aaa", {0, 0, 10, 48}, TEXT_VALIGN_MIDDLE, 41, {{'a', 0, 20}, {'a', 4, 20}, {'a', 0, 35}}},
    // 0x0C: no horizontal alignment.
    {"aa", {0, 0, 64, 48}, TEXT_VALIGN_BOTTOM | 0x0C, 53, {{'a', 0, 47}, {'a', 4, 47}}},
    {"aWa", {0, 0, 20, 48}, TEXT_ALIGN_CENTER, 45, {{'a', 8, 9}}},
    // "j" reaches 1 past the pen's left and below the baseline; then past the target's left and
    // top; "a" past its right and bottom.
    {"j", {2, 2, 20, 40}, TEXT_CLIP, 17, {{'j', 1, 12}}},
    {"j", {-1, -5, 20, 40}, TEXT_CLIP, 10, {{'j', -2, 5}}},
    {"a", {78, 52, 10, 48}, 0, 67, {{'a', 78, 61}}},
    {"a\n\naa", {0, 0, 64, 48}, TEXT_ALIGN_RIGHT, 45, {{'a', 60, 9}, {'a', 56, 39}, {'a', 60, 39}}},
    {"f", {0, 0, 2, 48}, TEXT_CLIP, 15, {{'f', 0, 9}}}, // past its advance and the right edge
    // Lines break at spaces, which take no room there; a word wider than the box glyph by glyph.
    {"a aa aaa",
     {0, 0, 10, 60},
     TEXT_ALIGN_RIGHT | TEXT_WRAP_WORDS,
     60,
     {{'a', 6, 9}, {'a', 2, 24}, {'a', 6, 24}, {'a', 2, 39}, {'a', 6, 39}, {'a', 6, 54}}},
    {"aza", {0, 0, 64, 48}, 0, 15, {{'a', 0, 9}, {'?', 4, 9}, {'a', 8, 9}}},
    {"aza", {0, 0, 64, 48}, 0, 15, {{'a', 0, 9}, {'a', 4, 9}}, "no_question.ttf"},
    // A bitmap font, which has no strike at 12 px (FreeType fails again on every draw).
    {"amz", {0, 0, 64, 48}, 0, 15, {{'a', 0, 9}, {'m', 4, 9}, {'?', 15, 9}}, "mono.bdf"},
    {"amz", {0, 0, 64, 48}, 0, 18, {}, "mono.bdf", 12, false},
    // Past the small-bitmap cache's limits: an advance of 150 px (which that cache renders again
    // on every draw, before the image cache serves it), a 160 x 180 px glyph.
    {"WW", {0, 0, 300, 200}, 0, 75, {{'W', 0, 49}}, "layout.ttf", 50, false},
    {"BB", {0, 0, 360, 400}, 0, 300, {{'B', 0, 199}}, "layout.ttf", 200},
    // NanumGothic lists a Mac Roman map first; "가" (advance 15) wraps where "?" (9) would not.
    {"가가", {100, 0, 20, 60}, 0, 48, {}, TOLMEK_NANUM_GOTHIC, 16},
    // The ends of the 32-bit range: boxes reach past them instead of wrapping; the fourth
    // starts a new line after another to the limit.
    {"aa", {0, INT_MAX - 3, 64, 10}, 0, INT_MAX, {}},
    {"aa", {INT_MAX - 2, 0, 100, 48}, 0, 15, {}},
    {"aa", {INT_MAX - 2, 0, INT_MIN, 48}, 0, 45, {}},
    {"aa", {0, 0, 2, INT_MAX}, 0, INT_MAX - 7, {}},
    {"aa", {0, 7, 64, 48}, 0, 7, {}, "layout.ttf", 0},
};

// A warm draw, in caches the context has filled, allocates only the host's code points.
template <typename Pixel>
void expect_example(const Example &example, bool as_utf8, bool warm) {
    std::vector<Pixel> drawn(guarded, Pixel(0x10203040)), expected = drawn;
    uint32_t white = sizeof(Pixel) == 4 ? ~0u : 0xABCDFFFF; // the framebuffer takes the low 16 bits
    start_counting();
    const int32_t result =
        draw(drawn, example.text, example.box, example.size, white, example.flags, as_utf8);
    stop_counting();
    EXPECT_EQ(result, example.result);
    if (counts_allocations && warm && example.cached) {
        EXPECT_EQ(allocations(), 1);
    }
    const Box clip = example.flags & TEXT_CLIP ? example.box : Box{-99, -99, 999, 999};
    for (auto [glyph, x, baseline] : example.glyphs)
        paint(expected, shapes.at(example.font + " " + glyph), x, baseline, clip);
    EXPECT_TRUE(drawn == expected);
}

// Twenty rounds more of the examples, each in a context of its own, leave nothing behind.
TEST(Layout, ExamplesOnBothTargetsFromBothTextForms) {
    expect_nothing_left_behind(20, [] {
        for (const Example &example : examples) {
            const std::string font =
                example.font[0] == '/' ? example.font : fixtures + example.font;
            ASSERT_EQ(font_open(font.c_str()), 0);
            for (bool as_utf8 : {true, false}) {
                SCOPED_TRACE(testing::Message()
                             << "example " << &example - examples << " UTF-8 " << as_utf8);
                expect_example<uint32_t>(example, as_utf8, !as_utf8); // the first fills caches
                expect_example<uint16_t>(example, as_utf8, true);
            }
            EXPECT_EQ(font_close(), 0);
        }
    });
}

// Alone, and through a grey glyph ("h": a full column, then one at coverage 128).
TEST(Blend, ExamplesAloneAndThroughAGreyGlyph) {
    // A coverage, the image pixel and the framebuffer pixel it gives.
    std::tuple<unsigned, uint32_t, uint16_t> cases[] = {
        {255, 0x11223344, 0xF81F}, {128, 0x7F808081, 0xB9F7}, {4, 0xECDCCCBD, 0x7BCF},
        {3, 0xEDDDCDBD, 0x7BEF},   {1, 0xEFDFCFBF, 0x7BEF},
    };
    for (auto [coverage, image, fb] : cases) {
        uint32_t pixel = 0xF0E0D0C0; // bytes C0 D0 E0 F0 on the little-endian targets
        font::blend_image_pixel(reinterpret_cast<uint8_t *>(&pixel), 0x11223344, coverage);
        EXPECT_EQ(pixel, image);
        EXPECT_EQ(font::blend_fb_pixel(0x7BEF, 0xF81F, coverage), fb) << coverage;
    }
    ASSERT_EQ(font_open((fixtures + "layout.ttf").c_str()), 0);
    std::vector<uint32_t> image(guarded, 0xF0E0D0C0);
    draw(image, "h", {0, 0, 4, 10}, 10, 0x11223344, 0);
    const uint32_t *row5 = &image[guard + 5 * width];
    EXPECT_EQ(std::pair(row5[0], row5[1]), std::pair(0x11223344u, 0x7F808081u));
    EXPECT_EQ(font_close(), 0);
}

// The face opens when first drawn, from a copy of the whole path (its first 511
// bytes name a folder); a refused open leaves the open context.
TEST(FontContext, OpensOnlyFontsAndOnlyOnceFromACopyOfThePath) {
    std::vector<uint32_t> image(guarded), blank = image;
    EXPECT_EQ(draw(image, "a", {0, 3, 16, 16}, 10, ~0u, 0), 3); // nothing open
    EXPECT_EQ(font_open(fixtures.c_str()), -1);
    EXPECT_EQ(font_open(nullptr), -1);
    std::string path = fixtures;
    while (path.size() < 600) path += "./";
    ASSERT_EQ(font_open((path += "layout.ttf").c_str()), 0);
    std::fill(path.begin(), path.end(), 'x');
    EXPECT_EQ(font_open((fixtures + "no_question.ttf").c_str()), -1);
    EXPECT_EQ(draw(image, "a", {0, 0, 16, 16}, 10, ~0u, 0), 15);
    EXPECT_NE(image, blank);
    EXPECT_EQ(fb_draw_text(nullptr, "a", 0, 3, 16, 16, 10, 0xFFFF, 0), 3); // no target
    tolmek_image huge{UINT32_MAX, UINT32_MAX, reinterpret_cast<uint8_t *>(image.data())};
    tolmek_framebuffer huge_fb{UINT32_MAX, UINT32_MAX, reinterpret_cast<uint16_t *>(image.data())};
    EXPECT_EQ(image_draw_text(&huge, "a", 0, 3, 16, 16, 10, ~0u, 0), 3) << "beyond any address";
    EXPECT_EQ(fb_draw_text(&huge_fb, "a", 0, 3, 16, 16, 10, 0xFFFF, 0), 3);
    EXPECT_EQ(font_close(), 0);
    EXPECT_EQ(font_close(), 0);
}

} // namespace
