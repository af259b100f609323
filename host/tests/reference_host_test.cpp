// The reference host: what the device libraries rely on it for.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <fstream>
#include <string>
#include <vector>

#include "reference_host.h"

namespace {

const char *services_list_path;

TEST(FileGetExt, TakesTheExtensionOfTheLastComponentOnly) {
    struct Case {
        const char *name, *ext;
    } cases[] = {
        {"/music/song.mp3", ".mp3"}, {"song.MP3", ".MP3"},   {"a/b.tar.flac", ".flac"},
        {"/my.music/track", ""},     {"/music/.hidden", ""}, {"noext", ""},
        {"trailing.", "."},          {"", ""},
    };
    for (const Case &c : cases) {
        const char *ext = file_get_ext(c.name);
        ASSERT_NE(ext, nullptr) << c.name;
        EXPECT_STREQ(ext, c.ext) << c.name;
    }
}

std::vector<uint32_t> decode(const std::string &bytes) {
    // An exact-size copy, so reading past the terminator is caught.
    char *text = static_cast<char *>(malloc(bytes.size() + 1));
    memcpy(text, bytes.c_str(), bytes.size() + 1);
    uint32_t *points = utf8_decode(text);
    free(text);
    std::vector<uint32_t> result;
    for (uint32_t *p = points; *p; ++p) result.push_back(*p);
    free(points);
    return result;
}

constexpr uint32_t bad = 0xFFFD;

TEST(Utf8Decode, DecodesEveryLength) {
    EXPECT_EQ(decode("A\xC3\xA9\xED\x95\x9C\xF0\x9F\x8E\xB5"),
              (std::vector<uint32_t>{0x41, 0xE9, 0xD55C, 0x1F3B5}));
    EXPECT_EQ(decode(""), std::vector<uint32_t>{});
}

TEST(Utf8Decode, ReplacesEachIllFormedSubpart) {
    EXPECT_EQ(decode("\xC0\xAF"), (std::vector<uint32_t>{bad, bad})) << "overlong";
    EXPECT_EQ(decode("\xE0\x80\x80"), (std::vector<uint32_t>{bad, bad, bad})) << "overlong";
    EXPECT_EQ(decode("\xED\xA0\x80"), (std::vector<uint32_t>{bad, bad, bad})) << "surrogate";
    EXPECT_EQ(decode("\xF4\x90\x80\x80"), (std::vector<uint32_t>{bad, bad, bad, bad}))
        << "past U+10FFFF";
    EXPECT_EQ(decode("\xE2\x82x"), (std::vector<uint32_t>{bad, 'x'})) << "cut short";
    EXPECT_EQ(decode("\x80" "a\xFF"), (std::vector<uint32_t>{bad, 'a', bad}));
}

TEST(Utf8Decode, StopsAtTheTerminatorInsideASequence) {
    EXPECT_EQ(decode("a\xF0\x9F"), (std::vector<uint32_t>{'a', bad}));
    EXPECT_EQ(decode("\xE2"), (std::vector<uint32_t>{bad}));
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
    EXPECT_EQ(sound_rate, 22050);
    EXPECT_EQ(sound_chans, 1);
    reference_sound_refuse(SOUND_RATE);
    EXPECT_EQ(sound_set_format(16), 0);
    EXPECT_EQ(sound_set_channels(2), 0);
    EXPECT_NE(sound_set_rate(44100), 0);
    EXPECT_STREQ(reference_sound_log(), "format 16, channels 2, rate 44100");
    EXPECT_EQ(reference_sound_accepted(SOUND_CHANNELS), 2);
    EXPECT_EQ(reference_sound_accepted(SOUND_RATE), 0);
    reference_sound_reset(44100, 2);
    EXPECT_STREQ(reference_sound_log(), "");
    EXPECT_EQ(sound_set_rate(48000), 0);
}

TEST(Sound, CutsALongLogWithoutOverrunning) {
    reference_sound_reset(44100, 2);
    for (int i = 0; i < 200; ++i) sound_set_rate(1000000 + i);
    EXPECT_EQ(strlen(reference_sound_log()), 511u);
}

TEST(Exports, EveryServiceIsVisibleToLoadedLibraries) {
    std::ifstream list(services_list_path);
    ASSERT_TRUE(list) << services_list_path;
    int names = 0;
    for (std::string name; std::getline(list, name);) {
        if (name.empty()) continue;
        EXPECT_NE(dlsym(RTLD_DEFAULT, name.c_str()), nullptr) << name;
        names++;
    }
    EXPECT_GT(names, 10);
}

} // namespace

int main(int argc, char **argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc != 2) {
        fprintf(stderr, "usage: %s SERVICES_LIST\n", argv[0]);
        return 2;
    }
    services_list_path = argv[1];
    return RUN_ALL_TESTS();
}
