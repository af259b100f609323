// The blend arithmetic of both pixel formats, alone and through a grey
// glyph ("h": a full column, then one at coverage 128).
#include <gtest/gtest.h>

#include "pixel_blend.h"
#include "text_canvas.h"

using namespace font_test;

namespace {

TEST(Blend, ExamplesAloneAndThroughAGreyGlyph) {
    struct {
        uint32_t colour;
        unsigned coverage;
        uint32_t result;
    } image_cases[] = {{0x11223344, 255, 0x11223344}, {0x11223344, 128, 0x7F808081},
                       {0x11223344, 1, 0xEFDFCFBF}, {0x00FFFFFF, 128, 0x77EFE7DF}};
    for (const auto &c : image_cases) {
        uint8_t bytes[4] = {0xC0, 0xD0, 0xE0, 0xF0}; // the pixel word 0xF0E0D0C0
        font::blend_image_pixel(bytes, c.colour, c.coverage);
        EXPECT_EQ(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | uint32_t(bytes[3]) << 24, c.result);
    }
    for (auto [coverage, result] : {std::pair{255u, 0xF81F}, {128u, 0xB9F7}, {4u, 0x7BCF}, {3u, 0x7BEF}})
        EXPECT_EQ(font::blend_fb_pixel(0x7BEF, 0xF81F, coverage), result) << coverage;

    ASSERT_EQ(font_open(fixture("layout.ttf").c_str()), 0);
    Canvas<uint32_t> image(4, 10, 0xF0E0D0C0); // bytes C0 D0 E0 F0 on little-endian targets
    draw(image, "h", {0, 0, 4, 10}, 10, 0x11223344, 0);
    Canvas<uint16_t> fb(4, 10, 0x7BEF);
    draw(fb, "h", {0, 0, 4, 10}, 10, 0xABCDF81F, 0); // only the low 16 bits count
    EXPECT_EQ(std::pair(image.at(0, 5), image.at(1, 5)), std::pair(0x11223344u, 0x7F808081u));
    EXPECT_EQ(fb.at(0, 5) << 16 | fb.at(1, 5), 0xF81FB9F7);
    EXPECT_EQ(font_close(), 0);
}

} // namespace
