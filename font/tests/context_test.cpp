// The font context's life: opening, refusing, closing, the copy of the path
// it draws from, its Unicode map, and ten thousand texts over a hundred
// contexts.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "process_resources.h"
#include "text_canvas.h"

using namespace font_test;

namespace {

// Draws "z", which layout.ttf lacks, and tells whether its "?" came out.
bool draws_question_mark() {
    Canvas<uint32_t> canvas(16, 16, 0), expected = canvas;
    expected.paint(box_question, 0, 9, ~0u, {0, 0, 16, 16});
    return draw(canvas, "z", {0, 0, 16, 16}, 10, ~0u, 0) == 15 && canvas == expected;
}

// The face opens when first drawn, from a copy of the whole path, whose
// first 511 bytes name a text file here. A refused open leaves the open
// context as it was.
TEST(FontContext, OpensOnlyFontsAndOnlyOnceFromACopyOfThePath) {
    Canvas<uint32_t> canvas(16, 16, 0), untouched = canvas;
    EXPECT_EQ(draw(canvas, "a", {0, 3, 16, 16}, 10, ~0u, 0), 3); // nothing open
    EXPECT_TRUE(canvas == untouched);
    auto directory = std::filesystem::path(fixture("long")) / std::string(200, 'd') / std::string(200, 'e');
    std::filesystem::create_directories(directory);
    std::string font = (directory / std::string(240, 'f')).string(), words = font.substr(0, 511);
    std::filesystem::copy_file(fixture("layout.ttf"), font, std::filesystem::copy_options::overwrite_existing);
    std::ofstream(words) << "not a font\n";
    EXPECT_EQ(font_open(words.c_str()), -1);
    EXPECT_EQ(font_open(nullptr), -1);
    std::vector<char> path(font.begin(), font.end() + 1);
    ASSERT_EQ(font_open(path.data()), 0);
    std::fill(path.begin(), path.end() - 1, 'x');
    EXPECT_EQ(font_open(fixture("no_question.ttf").c_str()), -1);
    EXPECT_TRUE(draws_question_mark()) << "the first font must stay open";
    EXPECT_EQ(fb_draw_text(nullptr, "a", 0, 3, 16, 16, 10, 0xFFFF, 0), 3); // no target
    EXPECT_EQ(font_close(), 0);
    EXPECT_EQ(font_close(), 0);
}

// NanumGothic lists a Mac Roman map before its Unicode one.
TEST(FontContext, FindsHangulThroughTheUnicodeMap) {
    ASSERT_EQ(font_open(TOLMEK_NANUM_GOTHIC), 0);
    Canvas<uint32_t> hangul(32, 32, 0), question = hangul, blank = hangul;
    draw(hangul, "가", {0, 0, 32, 32}, 16, ~0u, 0);
    draw(question, "?", {0, 0, 32, 32}, 16, ~0u, 0);
    EXPECT_FALSE(hangul == blank || hangul == question);
    EXPECT_EQ(font_close(), 0);
}

// Each context draws fifty UTF-8 texts into an image and fifty onto a
// framebuffer; heap and descriptors end where they started.
TEST(FontSoak, TenThousandTextsLeaveNothingBehind) {
    const char *const texts[] = {"밤편지 가사", "Lyrics 노래\n둘째 줄", "春 🎵 ?"};
    Canvas<uint32_t> image(96, 40, 0);
    Canvas<uint16_t> fb(96, 40, 0);
    int descriptors = open_descriptors();
    size_t heap = heap_in_use();
    int failures = 0;
    for (int context = 0; context < 100; context++) {
        failures += font_open(TOLMEK_NANUM_GOTHIC) != 0;
        for (int text = 0; text < 50; text++) { // a result of 0, y: nothing was laid out
            failures += draw(image, texts[text % 3], {0, 0, 96, 40}, 16, ~0u, TEXT_CLIP) == 0;
            failures += draw(fb, texts[text % 3], {0, 0, 96, 40}, 16, 0xFFFF, TEXT_ALIGN_CENTER) == 0;
        }
        failures += font_close() != 0;
    }
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(open_descriptors(), descriptors);
    EXPECT_EQ(heap_in_use(), heap);
}

} // namespace
