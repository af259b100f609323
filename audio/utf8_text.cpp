// Repairing ill-formed UTF-8 by the Unicode recommendation that the host's
// decoder follows: each maximal ill-formed subpart becomes one U+FFFD.
#include "utf8_text.h"

#include <stdlib.h>
#include <string.h>

namespace audio {
namespace {

constexpr char replacement[] = "\xEF\xBF\xBD"; // U+FFFD
constexpr size_t replacement_length = sizeof replacement - 1;

// What a lead byte announces: the sequence length and the range its second
// byte must lie in, which is what excludes overlongs, surrogates and code
// points past U+10FFFF. length 0: not a lead byte.
struct Lead {
    int length;
    unsigned char second_low, second_high;
};

constexpr Lead classify(unsigned char b) {
    if (b < 0x80) return {1, 0, 0};
    if (b >= 0xC2 && b <= 0xDF) return {2, 0x80, 0xBF};
    if (b == 0xE0) return {3, 0xA0, 0xBF};
    if (b == 0xED) return {3, 0x80, 0x9F};
    if (b >= 0xE1 && b <= 0xEF) return {3, 0x80, 0xBF};
    if (b == 0xF0) return {4, 0x90, 0xBF};
    if (b >= 0xF1 && b <= 0xF3) return {4, 0x80, 0xBF};
    if (b == 0xF4) return {4, 0x80, 0x8F};
    return {0, 0, 0};
}

// A well-formed character, or a maximal ill-formed subpart.
struct Sequence {
    size_t length; // at least 1
    bool well_formed;
};

// The sequence at s, which is not the terminator. A NUL never continues a
// sequence, so the scan stops in front of the terminator.
Sequence next_sequence(const unsigned char *s) {
    Lead lead = classify(s[0]);
    if (lead.length == 0) return {1, false};
    for (int i = 1; i < lead.length; ++i) {
        bool fits =
            i == 1 ? s[i] >= lead.second_low && s[i] <= lead.second_high : (s[i] & 0xC0) == 0x80;
        if (!fits) return {(size_t)i, false};
    }
    return {(size_t)lead.length, true};
}

// The length of the repaired text; equal to the text's own when it is intact.
size_t repaired_length(const unsigned char *s, bool *intact) {
    size_t length = 0;
    *intact = true;
    while (*s) {
        Sequence sequence = next_sequence(s);
        length += sequence.well_formed ? sequence.length : replacement_length;
        *intact = *intact && sequence.well_formed;
        s += sequence.length;
    }
    return length;
}

void write_repaired(const unsigned char *s, char *out) {
    while (*s) {
        Sequence sequence = next_sequence(s);
        if (sequence.well_formed) {
            memcpy(out, s, sequence.length);
            out += sequence.length;
        } else {
            memcpy(out, replacement, replacement_length);
            out += replacement_length;
        }
        s += sequence.length;
    }
    *out = '\0';
}

} // namespace

bool make_well_formed_utf8(char **text) {
    if (!*text) return true;
    const auto *bytes = reinterpret_cast<const unsigned char *>(*text);
    bool intact;
    size_t length = repaired_length(bytes, &intact);
    if (intact) return true;
    auto *repaired = static_cast<char *>(malloc(length + 1));
    if (repaired) write_repaired(bytes, repaired);
    free(*text);
    *text = repaired;
    return repaired != nullptr;
}

bool is_well_formed_utf8(const char *text) {
    if (!text) return true;
    bool intact;
    repaired_length(reinterpret_cast<const unsigned char *>(text), &intact);
    return intact;
}

} // namespace audio
