// Drawing text: layout examples pixel for pixel, blends, the context, a soak, allocations.
#include <limits.h>

#include <gtest/gtest.h>

#include <memory>

#include "host_services.h"
#include "pixel_blend.h"
#include "process_resources.h"
#include "tolmek_font.h"
#ifndef __SANITIZE_ADDRESS__ // AddressSanitizer owns malloc there
#include "failing_malloc.h"
#endif

namespace {

const std::string fixtures = TOLMEK_FONT_FIXTURES "/";

struct Box {
    int32_t x, y, w, h;
    bool holds(int32_t px, int32_t py) const {
        return px >= x && py >= y && px < x + w && py < y + h;
    }
};

// Every target: W x H pixels between 64 guard pixels either side, which no drawing may change.
constexpr int32_t W = 80, H = 60, guarded = W * H + 128;

using Shape = std::vector<std::string>; // rows of a glyph, top first, '#' set

// Paints shape in white standing on the baseline at x, where the target and clip hold it.
template <typename Pixel>
void paint(std::vector<Pixel> &c, const Shape &shape, int32_t x, int32_t baseline, Box clip) {
    int32_t top = baseline - int32_t(shape.size());
    for (int32_t r = 0; r < int32_t(shape.size()); r++)
        for (int32_t k = 0; k < int32_t(shape[r].size()); k++)
            if (shape[r][k] == '#' && clip.holds(x + k, top + r) &&
                Box{0, 0, W, H}.holds(x + k, top + r))
                c[64 + (top + r) * W + x + k] = Pixel(~0u);
}

// Into an image or onto a framebuffer by the pixel size, as UTF-8 or as code points.
template <typename Pixel>
int32_t draw(std::vector<Pixel> &c, const char *text, Box b, int32_t size, uint32_t colour,
             int32_t flags, bool as_utf8 = true) {
    std::unique_ptr<uint32_t, decltype(&free)> code_points(as_utf8 ? nullptr : utf8_decode(text),
                                                           free);
    auto call = [&](auto *target, auto utf8_call, auto unicode_call) {
        return as_utf8 ? utf8_call(target, text, b.x, b.y, b.w, b.h, size, colour, flags)
                       : unicode_call(target, code_points.get(), b.x, b.y, b.w, b.h, size, colour,
                                      flags);
    };
    tolmek_image image{W, H, reinterpret_cast<uint8_t *>(c.data() + 64)};
    tolmek_framebuffer fb{W, H, reinterpret_cast<uint16_t *>(c.data() + 64)};
    return sizeof(Pixel) == 4 ? call(&image, image_draw_text, image_draw_text_unicode)
                              : call(&fb, fb_draw_text, fb_draw_text_unicode);
}

// At size 10 in layout.ttf "a" has advance 4 and a 3 x 4 box on the baseline, "W" advance 30.
const Shape a(4, "###"), question(4, "##"), j(12, "###"), w50(20, std::string(15, '#')),
    b200(180, std::string(160, '#')), mono_a{"#.#", ".#.", "###", "#.#"},
    mono_question{"##", ".#", "..", ".#"}, mono_m{"#........#", ".##....##."};

struct Example {
    const char *text;
    Box box;
    int32_t flags, result;
    std::vector<std::tuple<const Shape *, int32_t, int32_t>> glyphs; // shape, x, baseline
    std::string font = fixtures + "layout.ttf";
    int32_t size = 10;
};

const Example examples[] = {
    {"", {0, 0, 64, 48}, 0, 15, {}},
    {"aaa", {0, 2, 11, 48}, TEXT_ALIGN_CENTER, 32, {{&a, 1, 11}, {&a, 5, 11}, {&a, 3, 26}}},
    {"aaa",
     {0, 0, 8, 24},
     0,
     15,
     {{&a, 0, 9}, {&a, 4, 9}}},     // a full line, the next baseline on the limit
    {"a", {0, 0, 64, 9}, 0, 0, {}}, // the first baseline on the limit
    {"aaa", {0, 0, 10, 12}, TEXT_CLIP, 30, {{&a, 0, 9}, {&a, 4, 9}, {&a, 0, 24}}},
    {"aaa", {0, 0, 10, 48}, TEXT_VALIGN_MIDDLE, 41, {{&a, 0, 20}, {&a, 4, 20}, {&a, 0, 35}}},
    {"aa",
     {0, 0, 64, 48},
     TEXT_VALIGN_BOTTOM | 0x0C,
     53,
     {{&a, 0, 47}, {&a, 4, 47}}}, // 0x0C: no rule
    {"aWa", {0, 0, 20, 48}, TEXT_ALIGN_CENTER, 45, {{&a, 8, 9}}},
    {"j",
     {2, 2, 20, 40},
     TEXT_CLIP,
     17,
     {{&j, 1, 12}}}, // "j": 1 past the pen's left and the baseline
    {"j", {-1, -5, 20, 40}, TEXT_CLIP, 10, {{&j, -2, 5}}}, // past the target's left and top
    {"a", {78, 52, 10, 48}, 0, 67, {{&a, 78, 61}}},        // past its right and bottom
    {"a\n\naa", {0, 0, 64, 48}, TEXT_ALIGN_RIGHT, 45, {{&a, 60, 9}, {&a, 56, 39}, {&a, 60, 39}}},
    {"aza", {0, 0, 64, 48}, 0, 15, {{&a, 0, 9}, {&question, 4, 9}, {&a, 8, 9}}},
    {"aza", {0, 0, 64, 48}, 0, 15, {{&a, 0, 9}, {&a, 4, 9}}, fixtures + "no_question.ttf"},
    {"amz",
     {0, 0, 64, 48},
     0,
     15,
     {{&mono_a, 0, 9}, {&mono_m, 4, 9}, {&mono_question, 15, 9}},
     fixtures + "mono.bdf"},
    {"amz", {0, 0, 64, 48}, 0, 18, {}, fixtures + "mono.bdf", 12}, // no strike at 12 px
    // Past the small-bitmap cache's limits: an advance of 150 px, a 160 x 180 px glyph.
    {"WW", {0, 0, 300, 200}, 0, 75, {{&w50, 0, 49}}, fixtures + "layout.ttf", 50},
    {"BB", {0, 0, 360, 400}, 0, 300, {{&b200, 0, 199}}, fixtures + "layout.ttf", 200},
    // NanumGothic lists a Mac Roman map first; "가" (advance 15) wraps where "?" (9) would not.
    {"가가", {100, 0, 20, 60}, 0, 48, {}, TOLMEK_NANUM_GOTHIC, 16},
    // The ends of the 32-bit range: boxes reach past them instead of wrapping.
    {"aa", {0, INT_MAX - 3, 64, 10}, 0, INT_MAX, {}},
    {"aa", {INT_MAX - 2, 0, 100, 48}, 0, 15, {}},
    {"aa", {INT_MAX - 2, 0, INT_MIN, 48}, 0, 45, {}},
    {"aa", {0, 0, 2, INT_MAX}, 0, INT_MAX - 7, {}}, // a new line after another to the limit
    {"aa", {0, 7, 64, 48}, 0, 7, {}, fixtures + "layout.ttf", 0},
};

template <typename Pixel>
void expect_example(const Example &e, bool as_utf8) {
    std::vector<Pixel> target(guarded, Pixel(0x10203040)), expected = target;
    uint32_t white = sizeof(Pixel) == 4 ? ~0u : 0xABCDFFFF; // the framebuffer takes the low 16 bits
    EXPECT_EQ(draw(target, e.text, e.box, e.size, white, e.flags, as_utf8), e.result);
    for (auto [shape, x, baseline] : e.glyphs)
        paint(expected, *shape, x, baseline, e.flags & TEXT_CLIP ? e.box : Box{-99, -99, 999, 999});
    EXPECT_TRUE(target == expected);
}

TEST(Layout, ExamplesOnBothTargetsFromBothTextForms) {
    for (const Example &e : examples) {
        ASSERT_EQ(font_open(e.font.c_str()), 0);
        for (bool as_utf8 : {true, false}) {
            SCOPED_TRACE(testing::Message() << "example " << &e - examples << " UTF-8 " << as_utf8);
            expect_example<uint32_t>(e, as_utf8);
            expect_example<uint16_t>(e, as_utf8);
        }
        EXPECT_EQ(font_close(), 0);
    }
}

// Alone, and through a grey glyph ("h": a full column, then one at coverage 128).
TEST(Blend, ExamplesAloneAndThroughAGreyGlyph) {
    std::tuple<unsigned, uint32_t, uint16_t> cases[] = {// coverage, image, framebuffer
                                                        {255, 0x11223344, 0xF81F},
                                                        {128, 0x7F808081, 0xB9F7},
                                                        {4, 0xECDCCCBD, 0x7BCF},
                                                        {3, 0xEDDDCDBD, 0x7BEF}};
    for (auto [coverage, image, fb] : cases) {
        uint32_t pixel = 0xF0E0D0C0; // bytes C0 D0 E0 F0 on the little-endian targets
        font::blend_image_pixel(reinterpret_cast<uint8_t *>(&pixel), 0x11223344, coverage);
        EXPECT_EQ(pixel, image);
        EXPECT_EQ(font::blend_fb_pixel(0x7BEF, 0xF81F, coverage), fb) << coverage;
    }
    ASSERT_EQ(font_open((fixtures + "layout.ttf").c_str()), 0);
    std::vector<uint32_t> image(guarded, 0xF0E0D0C0);
    draw(image, "h", {0, 0, 4, 10}, 10, 0x11223344, 0);
    EXPECT_EQ(std::pair(image[64 + 5 * W], image[65 + 5 * W]), std::pair(0x11223344u, 0x7F808081u));
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
    EXPECT_EQ(font_close(), 0);
    EXPECT_EQ(font_close(), 0);
}

// Fifty texts into an image and fifty onto a framebuffer in each context.
TEST(FontSoak, TenThousandTextsLeaveNothingBehind) {
    const char *const texts[] = {"밤편지 가사", "Lyrics 노래\n둘째 줄", "春 🎵 ?"};
    std::vector<uint32_t> image(guarded);
    std::vector<uint16_t> fb(guarded);
    int descriptors = open_descriptors();
    size_t heap = heap_in_use();
    for (int context = 0; context < 100; context++) {
        ASSERT_EQ(font_open(TOLMEK_NANUM_GOTHIC), 0);
        for (int text = 0; text < 50; text++) { // a result of 0, y: nothing was laid out
            ASSERT_NE(draw(image, texts[text % 3], {0, 0, W, H}, 16, ~0u, TEXT_CLIP), 0);
            ASSERT_NE(draw(fb, texts[text % 3], {0, 0, W, H}, 16, 0xFFFF, TEXT_ALIGN_CENTER), 0);
        }
        ASSERT_EQ(font_close(), 0);
    }
    EXPECT_EQ(open_descriptors(), descriptors);
    EXPECT_EQ(heap_in_use(), heap);
}

#ifndef __SANITIZE_ADDRESS__
// Warm draws allocate only the host's code points: one per UTF-8 call, one decoded here.
TEST(FontAllocation, WarmDrawsAllocateOnlyTheHostsCodePoints) {
    ASSERT_EQ(font_open((fixtures + "layout.ttf").c_str()), 0);
    std::vector<uint16_t> fb(guarded);
    auto draw_text = [&](bool utf8) {
        draw(fb, "ahaz\naWa ha", {0, 0, W, H}, 10, ~0u, TEXT_CLIP, utf8);
    };
    draw_text(true);
    start_counting();
    for (int i = 0; i < 10; i++) draw_text(true);
    long warm = allocations();
    draw_text(false);
    stop_counting();
    EXPECT_EQ(std::pair(warm, allocations() - warm), std::pair(10L, 1L));
    EXPECT_EQ(font_close(), 0);
}
#endif

} // namespace
