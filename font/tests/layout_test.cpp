// The layout's worked examples (size 10: glyph "a" has advance 4 and a
// 3 x 4 box on the baseline) and its edges, pixel for pixel on both targets
// from both text forms; large glyphs; nothing written outside the target.
#include <limits.h>

#include <gtest/gtest.h>

#include "text_canvas.h"

using namespace font_test;

namespace {

const Shape mono_a{"#.#", ".#.", "###", "#.#"}, mono_question{"##", ".#", "..", ".#"},
    mono_m{"#........#", ".##....##."}, box_j(12, "###"); // "j": from 1 left of the pen, 1 below the baseline
constexpr Box everywhere{-(1 << 20), -(1 << 20), 1 << 21, 1 << 21};

struct Placed {
    const Shape *shape;
    int32_t x, baseline;
};

struct Example {
    const char *text;
    Box box;
    int32_t flags, result;
    std::vector<Placed> glyphs;
    const char *font = "layout.ttf";
    int32_t size = 10;
};

const Example examples[] = {
    {"", {0, 0, 64, 48}, 0, 15, {}},
    {"", {0, 0, 64, 48}, TEXT_VALIGN_MIDDLE, 34, {}},
    {"aa", {0, 0, 64, 48}, TEXT_ALIGN_CENTER, 15, {{&box_a, 28, 9}, {&box_a, 32, 9}}},
    {"aa", {0, 0, 64, 48}, TEXT_ALIGN_RIGHT, 15, {{&box_a, 56, 9}, {&box_a, 60, 9}}},
    {"aaa", {0, 2, 10, 48}, 0, 32, {{&box_a, 0, 11}, {&box_a, 4, 11}, {&box_a, 0, 26}}},
    {"aaa", {0, 2, 10, 48}, TEXT_ALIGN_CENTER, 32, {{&box_a, 1, 11}, {&box_a, 5, 11}, {&box_a, 3, 26}}},
    {"aa", {0, 0, 8, 48}, 0, 15, {{&box_a, 0, 9}, {&box_a, 4, 9}}},
    {"aa", {0, 0, 11, 48}, TEXT_ALIGN_CENTER, 15, {{&box_a, 1, 9}, {&box_a, 5, 9}}},
    {"aaa", {0, 0, 10, 24}, 0, 15, {{&box_a, 0, 9}, {&box_a, 4, 9}}}, // next baseline on the limit
    {"a", {0, 0, 64, 5}, 0, 0, {}},
    {"a", {0, 0, 64, 9}, 0, 0, {}}, // the first baseline on the limit
    {"a", {0, 0, 64, 5}, TEXT_CLIP, 15, {{&box_a, 0, 9}}},
    {"aaa", {0, 0, 10, 12}, 0, 15, {{&box_a, 0, 9}, {&box_a, 4, 9}}},
    {"aaa", {0, 0, 10, 12}, TEXT_CLIP, 30, {{&box_a, 0, 9}, {&box_a, 4, 9}, {&box_a, 0, 24}}},
    {"aaa", {0, 0, 10, 48}, TEXT_VALIGN_MIDDLE, 41, {{&box_a, 0, 20}, {&box_a, 4, 20}, {&box_a, 0, 35}}},
    {"aa", {0, 0, 64, 48}, TEXT_VALIGN_BOTTOM, 53, {{&box_a, 0, 47}, {&box_a, 4, 47}}},
    {"aWa", {0, 0, 20, 48}, 0, 45, {{&box_a, 0, 9}}},
    {"aWa", {0, 0, 20, 48}, TEXT_ALIGN_CENTER, 45, {{&box_a, 8, 9}}},
    {"W", {0, 0, 20, 54}, 0, 45, {}},
    {"j", {2, 2, 20, 40}, 0, 17, {{&box_j, 1, 12}}},
    {"j", {2, 2, 20, 40}, TEXT_CLIP, 17, {{&box_j, 1, 12}}},
    {"a\n\na", {0, 0, 64, 48}, 0, 45, {{&box_a, 0, 9}, {&box_a, 0, 39}}},
    {"a\naa", {0, 0, 64, 48}, TEXT_ALIGN_RIGHT, 30, {{&box_a, 60, 9}, {&box_a, 56, 24}, {&box_a, 60, 24}}},
    {"aza", {0, 0, 64, 48}, 0, 15, {{&box_a, 0, 9}, {&box_question, 4, 9}, {&box_a, 8, 9}}},
    {"aa", {0, 0, 64, 48}, 0x03 | 0x30, 15, {{&box_a, 0, 9}, {&box_a, 4, 9}}}, // no placement rule
    {"aza", {0, 0, 64, 48}, 0, 15, {{&box_a, 0, 9}, {&box_a, 4, 9}}, "no_question.ttf"},
    {"amz", {0, 0, 64, 48}, 0, 15, {{&mono_a, 0, 9}, {&mono_m, 4, 9}, {&mono_question, 15, 9}}, "mono.bdf"},
    {"amz", {0, 0, 64, 48}, 0, 18, {}, "mono.bdf", 12}, // no strike at 12 px: nothing renders
    // The ends of the 32-bit range: boxes reach past them instead of wrapping.
    {"aa", {0, INT_MAX - 20, 64, 100}, 0, INT_MAX - 5, {}},
    {"aa", {0, INT_MAX - 3, 64, 10}, 0, INT_MAX, {}},
    {"aa", {INT_MAX - 2, 0, 100, 48}, 0, 15, {}},
    {"aa", {INT_MIN, INT_MIN, 8, INT_MAX}, 0, INT_MIN + 15, {}},
    {"aa", {INT_MAX - 2, 0, INT_MIN, 48}, 0, 45, {}},
    {"aa", {0, 0, 2, INT_MAX}, 0, INT_MAX - 7, {}}, // a new line after another to the limit
    {"aa", {0, 7, 64, 48}, 0, 7, {}, "layout.ttf", 0},
    {"aa", {0, 7, 64, 48}, 0, 7, {}, "layout.ttf", INT_MIN},
};

template <typename Pixel>
void expect_example(const Example &e, bool as_utf8, Pixel background, Pixel colour) {
    Canvas<Pixel> canvas(80, 60, background), expected = canvas;
    EXPECT_EQ(draw(canvas, e.text, e.box, e.size, colour, e.flags, as_utf8), e.result);
    for (const Placed &g : e.glyphs)
        expected.paint(*g.shape, g.x, g.baseline, colour, e.flags & TEXT_CLIP ? e.box : everywhere);
    EXPECT_TRUE(canvas == expected);
}

TEST(Layout, ExamplesOnBothTargetsFromBothTextForms) {
    for (const Example &e : examples) {
        ASSERT_EQ(font_open(fixture(e.font).c_str()), 0);
        for (bool as_utf8 : {true, false}) {
            SCOPED_TRACE(testing::Message() << '"' << e.text << "\" in " << e.box.x << ',' << e.box.y
                                            << ' ' << e.box.w << 'x' << e.box.h << " flags " << e.flags
                                            << " size " << e.size << ' ' << e.font << ' ' << as_utf8);
            expect_example<uint32_t>(e, as_utf8, 0x10203040, 0xFFFFFFFF);
            expect_example<uint16_t>(e, as_utf8, 0x1234, 0xFFFF);
        }
        EXPECT_EQ(font_close(), 0);
    }
}

// "W" passes the small-bitmap cache's advance limit of 127 pixels at 50 px,
// "B" (0.8 x 0.9 em, advance 0.9 em) is too large for it at 200 px.
TEST(Layout, LargeGlyphsAreDrawnAndAdvance) {
    struct {
        int32_t size;
        const char *text;
        int32_t first_width, first_height, second_x;
    } cases[] = {{50, "WB", 15, 20, 150}, {200, "BB", 160, 180, 180}, {1000, "BB", 800, 900, 900}};
    ASSERT_EQ(font_open(fixture("layout.ttf").c_str()), 0);
    for (const auto &c : cases) {
        int32_t width = c.second_x + c.size * 8 / 10, baseline = c.size - 1;
        Canvas<uint32_t> image(width, c.size * 11 / 10, 0), expected = image;
        EXPECT_EQ(draw(image, c.text, {0, 0, 2 * width, 2 * c.size}, c.size, ~0u, 0), c.size * 3 / 2);
        expected.fill(0, baseline - c.first_height, c.first_width, c.first_height, ~0u);
        expected.fill(c.second_x, baseline - c.size * 9 / 10, c.size * 8 / 10, c.size * 9 / 10, ~0u);
        EXPECT_TRUE(image == expected) << c.size;
    }
    EXPECT_EQ(font_close(), 0);
}

// A 16 x 12 target shows exactly the window of a large target drawn with
// the box moved by the window's offset, whatever lies off the small one.
template <typename Pixel>
void expect_window_of_large_target(Box box, int32_t flags) {
    constexpr int32_t offset = 40;
    Canvas<Pixel> small(16, 12, 0), large(96, 92, 0), window = small;
    int32_t result = draw(small, "ahaW\na?h", box, 10, 0xFFFFFFFF, flags);
    Box moved{box.x + offset, box.y + offset, box.w, box.h};
    EXPECT_EQ(draw(large, "ahaW\na?h", moved, 10, 0xFFFFFFFF, flags), result + offset);
    for (int32_t y = 0; y < 12; y++)
        for (int32_t x = 0; x < 16; x++) window.at(x, y) = large.at(x + offset, y + offset);
    EXPECT_TRUE(small == window);
}

TEST(Layout, NothingOutsideTheTargetChanges) {
    ASSERT_EQ(font_open(fixture("layout.ttf").c_str()), 0);
    for (Box box : {Box{-6, -3, 30, 30}, Box{10, 5, 30, 30}, Box{-20, -20, 10, 10}, Box{20, 0, 10, 10},
                    Box{0, 14, 16, 10}, Box{3, -9, 9, 30}, Box{-2, 2, 18, 8}, Box{0, 0, 16, 12}})
        for (int32_t flags : {0, int(TEXT_CLIP), TEXT_ALIGN_CENTER | TEXT_VALIGN_MIDDLE | TEXT_CLIP,
                              TEXT_ALIGN_RIGHT | TEXT_VALIGN_BOTTOM}) {
            SCOPED_TRACE(testing::Message() << box.x << ',' << box.y << ' ' << box.w << 'x' << box.h
                                            << " flags " << flags);
            expect_window_of_large_target<uint32_t>(box, flags);
            expect_window_of_large_target<uint16_t>(box, flags);
        }
    EXPECT_EQ(font_close(), 0);
}

} // namespace
