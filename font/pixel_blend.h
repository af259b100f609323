// How one pixel takes the colour at a coverage from 1 to 255, per pixel
// format. Integer arithmetic only; each quotient is truncated on its own,
// so coverage 255 stores the colour exactly and no sum overflows its field.
#pragma once

#include <stdint.h>

namespace font {

// A 32-bit image pixel: each of its four bytes, in memory order, mixes with
// the colour's byte of the same rank from the least significant up.
// Example: coverage 128 over the bytes C0 D0 E0 F0 with colour 0x11223344
// gives 81 80 80 7F.
inline void blend_image_pixel(uint8_t *pixel, uint32_t colour, unsigned coverage) {
    if (coverage == 255) { // what the mix gives, and most covered pixels
        for (int i = 0; i < 4; ++i) pixel[i] = static_cast<uint8_t>(colour >> (8 * i));
        return;
    }
    unsigned keep = 255 - coverage;
    for (int i = 0; i < 4; ++i) {
        unsigned source = (colour >> (8 * i)) & 0xFF;
        pixel[i] = static_cast<uint8_t>(pixel[i] * keep / 255 + source * coverage / 255);
    }
}

// One field of a 5-6-5 pixel, at a coverage already cut to the field.
constexpr unsigned blend_field(unsigned old, unsigned colour, unsigned coverage, unsigned full) {
    return old * (full - coverage) / full + colour * coverage / full;
}

// A 5-6-5 pixel: the coverage cut to 5 bits for the outer fields and to 6
// for the middle one, so coverage 1 to 3 leaves the pixel unchanged.
// Example: coverage 128 over 0x7BEF with colour 0xF81F gives 0xB9F7.
inline uint16_t blend_fb_pixel(uint16_t pixel, uint16_t colour, unsigned coverage) {
    unsigned a5 = coverage >> 3, a6 = coverage >> 2;
    unsigned high = blend_field(pixel >> 11, colour >> 11, a5, 31);
    unsigned middle = blend_field((pixel >> 5) & 0x3F, (colour >> 5) & 0x3F, a6, 63);
    unsigned low = blend_field(pixel & 0x1F, colour & 0x1F, a5, 31);
    return static_cast<uint16_t>(high << 11 | middle << 5 | low);
}

} // namespace font
