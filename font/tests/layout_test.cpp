// The layout's worked examples (size 10: glyph "a" has advance 4 and a
// 3 x 4 box on the baseline) and its edges, pixel for pixel on both targets
// from both text forms, nothing written outside the target.
#include <limits.h>

#include <gtest/gtest.h>

#include "text_canvas.h"

using namespace font_test;

namespace {

const Shape mono_a{"#.#", ".#.", "###", "#.#"}, mono_question{"##", ".#", "..", ".#"},
    mono_m{"#........#", ".##....##."}, box_j(12, "###"), // "j": from 1 left of the pen, 1 below the baseline
    box_w50(20, std::string(15, '#')), box_b200(180, std::string(160, '#'));
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
    {"aaa", {0, 2, 10, 48}, 0, 32, {{&box_a, 0, 11}, {&box_a, 4, 11}, {&box_a, 0, 26}}},
    {"aaa", {0, 2, 10, 48}, TEXT_ALIGN_CENTER, 32, {{&box_a, 1, 11}, {&box_a, 5, 11}, {&box_a, 3, 26}}},
    {"aa", {0, 0, 8, 48}, 0, 15, {{&box_a, 0, 9}, {&box_a, 4, 9}}},
    {"aa", {0, 0, 11, 48}, TEXT_ALIGN_CENTER, 15, {{&box_a, 1, 9}, {&box_a, 5, 9}}},
    {"aaa", {0, 0, 10, 24}, 0, 15, {{&box_a, 0, 9}, {&box_a, 4, 9}}}, // next baseline on the limit
    {"a", {0, 0, 64, 9}, 0, 0, {}}, // the first baseline on the limit
    {"a", {0, 0, 64, 5}, TEXT_CLIP, 15, {{&box_a, 0, 9}}},
    {"aaa", {0, 0, 10, 12}, TEXT_CLIP, 30, {{&box_a, 0, 9}, {&box_a, 4, 9}, {&box_a, 0, 24}}},
    {"aaa", {0, 0, 10, 48}, TEXT_VALIGN_MIDDLE, 41, {{&box_a, 0, 20}, {&box_a, 4, 20}, {&box_a, 0, 35}}},
    {"aa", {0, 0, 64, 48}, TEXT_VALIGN_BOTTOM, 53, {{&box_a, 0, 47}, {&box_a, 4, 47}}},
    {"aWa", {0, 0, 20, 48}, TEXT_ALIGN_CENTER, 45, {{&box_a, 8, 9}}},
    {"W", {0, 0, 20, 54}, 0, 45, {}},
    {"j", {2, 2, 20, 40}, TEXT_CLIP, 17, {{&box_j, 1, 12}}},
    {"j", {-1, -5, 20, 40}, TEXT_CLIP, 10, {{&box_j, -2, 5}}}, // past the target's left and top
    {"a", {78, 52, 10, 48}, 0, 67, {{&box_a, 78, 61}}},        // past its right and bottom
    {"a\n\na", {0, 0, 64, 48}, 0, 45, {{&box_a, 0, 9}, {&box_a, 0, 39}}},
    {"a\naa", {0, 0, 64, 48}, TEXT_ALIGN_RIGHT, 30, {{&box_a, 60, 9}, {&box_a, 56, 24}, {&box_a, 60, 24}}},
    {"aza", {0, 0, 64, 48}, 0, 15, {{&box_a, 0, 9}, {&box_question, 4, 9}, {&box_a, 8, 9}}},
    {"aa", {0, 0, 64, 48}, 0x03 | 0x30, 15, {{&box_a, 0, 9}, {&box_a, 4, 9}}}, // no placement rule
    {"aza", {0, 0, 64, 48}, 0, 15, {{&box_a, 0, 9}, {&box_a, 4, 9}}, "no_question.ttf"},
    {"amz", {0, 0, 64, 48}, 0, 15, {{&mono_a, 0, 9}, {&mono_m, 4, 9}, {&mono_question, 15, 9}}, "mono.bdf"},
    {"amz", {0, 0, 64, 48}, 0, 18, {}, "mono.bdf", 12}, // no strike at 12 px: nothing renders
    // Past the small-bitmap cache's limits: an advance of 150 px, a 160 x 180 px glyph.
    {"WW", {0, 0, 300, 200}, 0, 75, {{&box_w50, 0, 49}}, "layout.ttf", 50},
    {"BB", {0, 0, 360, 400}, 0, 300, {{&box_b200, 0, 199}}, "layout.ttf", 200},
    // The ends of the 32-bit range: boxes reach past them instead of wrapping.
    {"aa", {0, INT_MAX - 20, 64, 100}, 0, INT_MAX - 5, {}},
    {"aa", {0, INT_MAX - 3, 64, 10}, 0, INT_MAX, {}},
    {"aa", {INT_MAX - 2, 0, 100, 48}, 0, 15, {}},
    {"aa", {INT_MIN, INT_MIN, 8, INT_MAX}, 0, INT_MIN + 15, {}},
    {"aa", {INT_MAX - 2, 0, INT_MIN, 48}, 0, 45, {}},
    {"aa", {0, 0, 2, INT_MAX}, 0, INT_MAX - 7, {}}, // a new line after another to the limit
    {"aa", {0, 7, 64, 48}, 0, 7, {}, "layout.ttf", 0},
};

template <typename Pixel> void expect_example(const Example &e, bool as_utf8, Pixel background, Pixel colour) {
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
            SCOPED_TRACE(testing::Message() << "example " << &e - examples << " \"" << e.text << "\" " << as_utf8);
            expect_example<uint32_t>(e, as_utf8, 0x10203040, 0xFFFFFFFF);
            expect_example<uint16_t>(e, as_utf8, 0x1234, 0xFFFF);
        }
        EXPECT_EQ(font_close(), 0);
    }
}

} // namespace
