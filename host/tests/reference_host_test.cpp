// The reference host where the libraries' tests cannot reach it.
#include <gtest/gtest.h>

#include <vector>

#include "reference_host.h"

TEST(ReferenceHost, FileGetExtTakesTheLastComponentsExtension) {
    for (auto [name, ext] : {std::pair{"a/b.tar.flac", ".flac"},
                             {"/my.music/track", ""},
                             {"/music/.hidden", ""},
                             {"trailing.", "."}})
        EXPECT_STREQ(file_get_ext(name), ext) << name;
}

// Overlong, surrogate, past U+10FFFF, cut short, stray, cut by the terminator.
TEST(ReferenceHost, Utf8DecodeReplacesEachIllFormedSubpart) {
    const char *text =
        "A\xC3\xA9\xED\x95\x9C\xF0\x9F\x8E\xB5"
        "\xC0\xAF\xE0\x80\xED\xA0\xF4\x90\xE2\x82x\x80\xF0\x9F";
    constexpr uint32_t bad = 0xFFFD;
    const std::vector<uint32_t> expected = {'A', 0xE9, 0xD55C, 0x1F3B5, bad, bad, bad, bad,
                                            bad, bad,  bad,    bad,     bad, 'x', bad, bad};
    char *copy = strdup(text); // exact size: reading past the NUL is caught
    uint32_t *points = utf8_decode(copy), *end = points;
    while (*end) ++end;
    EXPECT_EQ(std::vector<uint32_t>(points, end), expected);
    free(points);
    free(copy);
}
