// The reference host where the libraries' tests cannot reach it.
#include <gtest/gtest.h>

#include <vector>

#include "reference_host.h"

TEST(ReferenceHost, FileGetExtTakesTheLastComponentsExtension) {
    for (auto [name, ext] : {std::pair{"a/b.tar.flac", ".flac"}, {"/my.music/track", ""},
                             {"/music/.hidden", ""}, {"trailing.", "."}})
        EXPECT_STREQ(file_get_ext(name), ext) << name;
}

TEST(ReferenceHost, Utf8DecodeReplacesEachIllFormedSubpart) {
    constexpr uint32_t bad = 0xFFFD; // overlong, surrogate, past U+10FFFF, cut short, stray:
    const std::pair<const char *, std::vector<uint32_t>> cases[] = {
        {"A\xC3\xA9\xED\x95\x9C\xF0\x9F\x8E\xB5", {0x41, 0xE9, 0xD55C, 0x1F3B5}},
        {"\xC0\xAF\xE0\x80\xED\xA0\xF4\x90\xE2\x82x\x80",
         {bad, bad, bad, bad, bad, bad, bad, bad, bad, 'x', bad}},
        {"a\xF0\x9F", {'a', bad}}, // the terminator inside a sequence
    };
    for (const auto &[text, code_points] : cases) {
        char *copy = strdup(text); // exact size: reading past the NUL is caught
        uint32_t *points = utf8_decode(copy), *end = points;
        while (*end) ++end;
        EXPECT_EQ(std::vector<uint32_t>(points, end), code_points) << text;
        free(points);
        free(copy);
    }
}
