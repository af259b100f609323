// With warm caches a drawing call allocates nothing but, for UTF-8 text, the
// host's code points; a host out of memory for them draws an empty text.
#include <gtest/gtest.h>

#include "failing_malloc.h"
#include "text_canvas.h"

namespace {

TEST(FontAllocation, WarmDrawsAllocateOnlyTheHostsCodePoints) {
    ASSERT_EQ(font_open(font_test::fixture("layout.ttf").c_str()), 0);
    const char text[] = "ahaz\naWa ha";
    uint32_t *code_points = utf8_decode(text);
    font_test::Canvas<uint16_t> canvas(64, 48, 0), blank = canvas;
    tolmek_framebuffer fb{64, 48, canvas.pixels()}, untouched{64, 48, blank.pixels()};
    int32_t flags = TEXT_ALIGN_CENTER | TEXT_VALIGN_MIDDLE | TEXT_CLIP;
    fb_draw_text_unicode(&fb, code_points, 0, 0, 64, 48, 10, 0xFFFF, flags);
    EXPECT_FALSE(canvas == blank);
    start_counting();
    for (int i = 0; i < 10; i++) fb_draw_text_unicode(&fb, code_points, 0, 0, 64, 48, 10, 0xFFFF, flags);
    long warm = allocations();
    fb_draw_text(&fb, text, 0, 0, 64, 48, 10, 0xFFFF, flags);
    EXPECT_EQ(std::pair(warm, allocations() - warm), std::pair(0L, 1L)) << "warm, then UTF-8";
    start_counting(1); // the host has no memory for the code points
    int32_t result = fb_draw_text(&untouched, text, 0, 0, 64, 48, 10, 0xFFFF, flags);
    stop_counting();
    EXPECT_EQ(result, fb_draw_text(&untouched, "", 0, 0, 64, 48, 10, 0xFFFF, flags));
    EXPECT_TRUE(blank == font_test::Canvas<uint16_t>(64, 48, 0));
    free(code_points);
    EXPECT_EQ(font_close(), 0);
}

} // namespace
