// The reference host where the libraries' tests cannot reach it: the rules
// of file_get_ext, utf8_decode on ill-formed input and the sound log's cut.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "reference_host.h"

namespace {

TEST(FileGetExt, TakesTheExtensionOfTheLastComponentOnly) {
    for (auto [name, ext] : {std::pair{"a/b.tar.flac", ".flac"}, {"/my.music/track", ""},
                             {"/music/.hidden", ""}, {"trailing.", "."}, {"", ""}})
        EXPECT_STREQ(file_get_ext(name), ext) << name;
}

std::vector<uint32_t> decode(const char *bytes) {
    char *text = strdup(bytes); // an exact-size copy: reading past the NUL is caught
    uint32_t *points = utf8_decode(text);
    free(text);
    std::vector<uint32_t> result;
    for (uint32_t *p = points; *p; ++p) result.push_back(*p);
    free(points);
    return result;
}

TEST(Utf8Decode, DecodesEveryLengthAndReplacesEachIllFormedSubpart) {
    constexpr uint32_t bad = 0xFFFD;
    struct Case {
        const char *text;
        std::vector<uint32_t> code_points;
    } cases[] = {
        {"A\xC3\xA9\xED\x95\x9C\xF0\x9F\x8E\xB5", {0x41, 0xE9, 0xD55C, 0x1F3B5}},
        {"", {}},
        {"\xC0\xAF", {bad, bad}},                   // overlong
        {"\xE0\x80\x80", {bad, bad, bad}},          // overlong
        {"\xED\xA0\x80", {bad, bad, bad}},          // surrogate
        {"\xF4\x90\x80\x80", {bad, bad, bad, bad}}, // past U+10FFFF
        {"\xE2\x82x", {bad, 'x'}},                  // cut short
        {"\x80" "a\xFF", {bad, 'a', bad}},
        {"a\xF0\x9F", {'a', bad}}, // the terminator inside a sequence
        {"\xE2", {bad}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(decode(c.text), c.code_points) << testing::PrintToString(c.text);
}

TEST(Sound, CutsALongLogWithoutOverrunning) {
    reference_sound_reset(44100, 2);
    for (int i = 0; i < 200; ++i) sound_set_rate(1000000 + i);
    EXPECT_EQ(strlen(reference_sound_log()), 511u);
}

} // namespace
