// UTF-8 decoding of the reference host. Malformed input follows the
// Unicode recommendation: each maximal ill-formed subpart becomes one
// U+FFFD, so overlong forms, surrogates and code points past U+10FFFF
// never come out, and a NUL always ends the text.
#include <stdlib.h>
#include <string.h>

#include "host_services.h"

namespace {

constexpr uint32_t replacement_character = 0xFFFD;

// What a lead byte announces: the sequence length, the range its second
// byte must lie in (this is what excludes overlongs and surrogates), and
// the payload bits of the lead byte itself. length 0: not a lead byte.
struct Lead {
    int length;
    unsigned char second_low, second_high;
    uint32_t bits;
};

constexpr Lead classify(unsigned char b) {
    if (b < 0x80) return {1, 0, 0, b};
    if (b >= 0xC2 && b <= 0xDF) return {2, 0x80, 0xBF, b & 0x1Fu};
    if (b == 0xE0) return {3, 0xA0, 0xBF, b & 0x0Fu};
    if (b == 0xED) return {3, 0x80, 0x9F, b & 0x0Fu};
    if (b >= 0xE1 && b <= 0xEF) return {3, 0x80, 0xBF, b & 0x0Fu};
    if (b == 0xF0) return {4, 0x90, 0xBF, b & 0x07u};
    if (b >= 0xF1 && b <= 0xF3) return {4, 0x80, 0xBF, b & 0x07u};
    if (b == 0xF4) return {4, 0x80, 0x8F, b & 0x07u};
    return {0, 0, 0, 0};
}

bool is_continuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Decodes the sequence at s into *code_point and returns the bytes it
// took, at least 1. A NUL is never accepted as a continuation byte, so the
// scan stops in front of the terminator.
size_t decode_one(const unsigned char *s, uint32_t *code_point) {
    Lead lead = classify(s[0]);
    if (lead.length == 0) {
        *code_point = replacement_character;
        return 1;
    }
    uint32_t value = lead.bits;
    for (int i = 1; i < lead.length; ++i) {
        unsigned char b = s[i];
        bool fits = i == 1 ? b >= lead.second_low && b <= lead.second_high : is_continuation(b);
        if (!fits) {
            *code_point = replacement_character;
            return (size_t)i;
        }
        value = (value << 6) | (b & 0x3Fu);
    }
    *code_point = value;
    return (size_t)lead.length;
}

} // namespace

extern "C" uint32_t *utf8_decode(const char *text) {
    // No sequence yields more code points than it has bytes.
    size_t length = strlen(text);
    auto *out = static_cast<uint32_t *>(malloc((length + 1) * sizeof(uint32_t)));
    if (!out) return nullptr;
    const auto *s = reinterpret_cast<const unsigned char *>(text);
    size_t count = 0;
    while (*s) s += decode_one(s, &out[count++]);
    out[count] = 0;
    return out;
}
