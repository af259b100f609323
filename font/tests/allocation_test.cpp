// The library loaded as the player loads it (dlopen, every name bound at
// once) draws with warm caches without allocating, but for the host's code
// points of a UTF-8 call, and draws a host out of memory as an empty text.
#include <dlfcn.h>

#include <gtest/gtest.h>

#include "failing_malloc.h"
#include "text_canvas.h"

namespace {

template <auto &function> auto *symbol(void *library, const char *name) {
    return reinterpret_cast<decltype(&function)>(dlsym(library, name));
}

TEST(FontLoad, DrawsWithoutAllocating) {
    void *library = dlopen(TOLMEK_FONT_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto *open = symbol<font_open>(library, "font_open");
    auto *close = symbol<font_close>(library, "font_close");
    auto *draw = symbol<fb_draw_text>(library, "fb_draw_text");
    auto *draw_unicode = symbol<fb_draw_text_unicode>(library, "fb_draw_text_unicode");
    ASSERT_TRUE(open && close && draw && draw_unicode);
    ASSERT_EQ(open(font_test::fixture("layout.ttf").c_str()), 0);

    const char text[] = "ahaz\naWa ha";
    uint32_t *code_points = utf8_decode(text);
    font_test::Canvas<uint16_t> canvas(64, 48, 0), blank = canvas;
    tolmek_framebuffer fb{64, 48, canvas.pixels()};
    int32_t flags = TEXT_ALIGN_CENTER | TEXT_VALIGN_MIDDLE | TEXT_CLIP;
    draw_unicode(&fb, code_points, 0, 0, 64, 48, 10, 0xFFFF, flags);
    EXPECT_FALSE(canvas == blank);
    start_counting();
    for (int i = 0; i < 10; i++) draw_unicode(&fb, code_points, 0, 0, 64, 48, 10, 0xFFFF, flags);
    long warm = allocations();
    draw(&fb, text, 0, 0, 64, 48, 10, 0xFFFF, flags);
    long utf8 = allocations() - warm;
    stop_counting();
    EXPECT_EQ(warm, 0);
    EXPECT_EQ(utf8, 1) << "the host's code points";

    tolmek_framebuffer empty{64, 48, blank.pixels()};
    start_counting(1); // the host has no memory for the code points
    int32_t result = draw(&empty, text, 0, 0, 64, 48, 10, 0xFFFF, flags);
    stop_counting();
    EXPECT_EQ(result, draw(&empty, "", 0, 0, 64, 48, 10, 0xFFFF, flags));
    EXPECT_TRUE(blank == font_test::Canvas<uint16_t>(64, 48, 0));
    free(code_points);
    EXPECT_EQ(close(), 0);
    EXPECT_EQ(dlclose(library), 0);
}

} // namespace
