// The library loaded as the player loads it (dlopen, every symbol bound at
// once) draws with warm caches without allocating, but for the host's code
// points of a UTF-8 call, and draws a host out of memory as an empty text.
// malloc, calloc and realloc are replaced for the whole process: counted,
// and malloc's blocks filled with junk, as recycled memory may be.
#include <dlfcn.h>
#include <string.h>

#include <gtest/gtest.h>

#include "text_canvas.h"

extern "C" void *__libc_malloc(size_t size);
extern "C" void *__libc_calloc(size_t count, size_t size);
extern "C" void *__libc_realloc(void *block, size_t size);

namespace {
long allocations;
bool out_of_memory;
} // namespace

extern "C" void *malloc(size_t size) noexcept {
    void *block = out_of_memory ? nullptr : (++allocations, __libc_malloc(size));
    return block ? memset(block, 0xA5, size) : nullptr;
}
extern "C" void *calloc(size_t count, size_t size) noexcept {
    return out_of_memory ? nullptr : (++allocations, __libc_calloc(count, size));
}
extern "C" void *realloc(void *block, size_t size) noexcept {
    return out_of_memory ? nullptr : (++allocations, __libc_realloc(block, size));
}

namespace {

TEST(FontLoad, DrawsWithoutAllocating) {
    void *library = dlopen(TOLMEK_FONT_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto *open = reinterpret_cast<decltype(&font_open)>(dlsym(library, "font_open"));
    auto *close = reinterpret_cast<decltype(&font_close)>(dlsym(library, "font_close"));
    auto *draw = reinterpret_cast<decltype(&fb_draw_text)>(dlsym(library, "fb_draw_text"));
    auto *draw_unicode = reinterpret_cast<decltype(&fb_draw_text_unicode)>(dlsym(library, "fb_draw_text_unicode"));
    ASSERT_TRUE(open && close && draw && draw_unicode);
    ASSERT_EQ(open(font_test::fixture("layout.ttf").c_str()), 0);

    const char text[] = "ahaz\naWa ha";
    uint32_t *code_points = utf8_decode(text);
    font_test::Canvas<uint16_t> canvas(64, 48, 0), blank = canvas;
    tolmek_framebuffer fb{64, 48, canvas.pixels()};
    int32_t flags = TEXT_ALIGN_CENTER | TEXT_VALIGN_MIDDLE | TEXT_CLIP;
    draw_unicode(&fb, code_points, 0, 0, 64, 48, 10, 0xFFFF, flags);
    EXPECT_FALSE(canvas == blank);
    allocations = 0;
    for (int i = 0; i < 10; i++) draw_unicode(&fb, code_points, 0, 0, 64, 48, 10, 0xFFFF, flags);
    EXPECT_EQ(allocations, 0);
    draw(&fb, text, 0, 0, 64, 48, 10, 0xFFFF, flags);
    EXPECT_EQ(allocations, 1); // the host's code points

    tolmek_framebuffer empty{64, 48, blank.pixels()};
    out_of_memory = true;
    int32_t result = draw(&empty, text, 0, 0, 64, 48, 10, 0xFFFF, flags);
    out_of_memory = false;
    EXPECT_EQ(result, draw(&empty, "", 0, 0, 64, 48, 10, 0xFFFF, flags));
    EXPECT_TRUE(blank == font_test::Canvas<uint16_t>(64, 48, 0));
    free(code_points);
    EXPECT_EQ(close(), 0);
    EXPECT_EQ(dlclose(library), 0);
}

} // namespace
