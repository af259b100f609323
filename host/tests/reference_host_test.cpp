// The reference host: what the device libraries rely on it for. The list
// of services it must export is compiled in as TOLMEK_SERVICES_LIST.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <fstream>
#include <string>
#include <vector>

#include "reference_host.h"

namespace {

TEST(FileGetExt, TakesTheExtensionOfTheLastComponentOnly) {
    struct Case {
        const char *name, *ext;
    } cases[] = {
        {"/music/song.mp3", ".mp3"}, {"song.MP3", ".MP3"},   {"a/b.tar.flac", ".flac"},
        {"/my.music/track", ""},     {"/music/.hidden", ""}, {"noext", ""},
        {"trailing.", "."},          {"", ""},
    };
    for (const Case &c : cases) EXPECT_STREQ(file_get_ext(c.name), c.ext) << c.name;
}

std::vector<uint32_t> decode(const char *bytes) {
    // An exact-size copy, so reading past the terminator is caught.
    char *text = strdup(bytes);
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

TEST(LinkedList, KeepsItemsInTheOrderAdded) {
    linked_list list;
    memset(&list, 0xAB, sizeof list); // linked_init must not trust old contents
    linked_init(&list);
    EXPECT_EQ(list.count, 0u);
    EXPECT_EQ(list.first, nullptr);
    int items[5];
    for (int &item : items) linked_add(&list, &item);
    ASSERT_EQ(list.count, 5u);
    int walked = 0;
    for (linked_node *node = list.first; node; node = node->next) {
        EXPECT_EQ(node->item, &items[walked]);
        walked++;
    }
    EXPECT_EQ(walked, 5);
    reference_list_release(&list);
    EXPECT_EQ(list.count, 0u);
}

TEST(Sound, LogsAnnouncementsAndRefusesOnRequest) {
    reference_sound_reset(22050, 1);
    reference_sound_refuse(SOUND_RATE);
    EXPECT_EQ(sound_set_format(16), 0);
    EXPECT_EQ(sound_set_channels(2), 0);
    EXPECT_NE(sound_set_rate(44100), 0);
    EXPECT_STREQ(reference_sound_log(), "format 16, channels 2, rate 44100");
    EXPECT_EQ(reference_sound_accepted(SOUND_CHANNELS), 2);
    EXPECT_EQ(reference_sound_accepted(SOUND_RATE), 0);
}

TEST(Sound, CutsALongLogWithoutOverrunning) {
    reference_sound_reset(44100, 2);
    for (int i = 0; i < 200; ++i) sound_set_rate(1000000 + i);
    EXPECT_EQ(strlen(reference_sound_log()), 511u);
}

TEST(Exports, EveryServiceIsVisibleToLoadedLibraries) {
    std::ifstream list(TOLMEK_SERVICES_LIST);
    ASSERT_TRUE(list) << TOLMEK_SERVICES_LIST;
    int names = 0;
    for (std::string name; std::getline(list, name);) {
        if (name.empty()) continue;
        EXPECT_NE(dlsym(RTLD_DEFAULT, name.c_str()), nullptr) << name;
        names++;
    }
    EXPECT_GT(names, 10);
}

} // namespace
