// An MP3 open gives back everything it takes: thousands of streams leave no
// memory and no descriptor behind, and when memory runs out at any
// allocation the open fails cleanly instead of crashing. The library's
// sources are linked into this program with malloc, calloc and realloc
// wrapped (-Wl,--wrap), so that a test can make any one of them fail.
#include <gtest/gtest.h>

#include "failing_allocations.h"
#include "fixtures.h"
#include "id3.h"
#include "reference_host.h"

namespace {

using namespace audio_test;

// One stream's whole life: open, tags, a little PCM, a seek, close.
void open_and_close(const std::string &path) {
    Stream stream = open_mp3(path);
    ASSERT_NE(stream, nullptr);
    char pcm[1152];
    ASSERT_GT(decoder_mp3.read(stream.get(), pcm, sizeof pcm), 0);
    decoder_mp3.seek(stream.get(), stream->length / 2);
}

TEST(Mp3Resources, ThousandsOfStreamsLeaveNothingBehind) {
    ASSERT_EQ(audio_init(), 0);
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("CP949"), 0);
    reference_sound_reset(16000, 1);
    const std::string path = fixture("tagged_cp949.mp3");
    open_and_close(path); // the first round fills lasting caches of the libraries

    const int descriptors = open_descriptors();
    const std::optional<size_t> heap_before = heap_in_use();
    for (int i = 0; i < 2000; ++i) open_and_close(path);
    const std::optional<size_t> heap_after = heap_in_use();
    EXPECT_EQ(heap_after, heap_before) << "bytes still held";
    EXPECT_EQ(open_descriptors(), descriptors);
    EXPECT_EQ(audio_exit(), 0);
}

TEST(Mp3Resources, EveryFailingAllocationFailsTheOpenCleanly) {
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("CP1252"), 0);
    reference_sound_reset(16000, 1);
    // Tags that make open allocate all it can: ID3v2 texts to re-decode,
    // one growing threefold from code page 1252; ID3v1 fields to convert.
    const std::string v2 = id3::v2_tag(3, {id3::text("TIT2", id3::latin1, std::string(40, '\x80')),
                                           id3::text("TPE1", id3::latin1, "Artist"),
                                           id3::text("TALB", id3::utf8, "Album"),
                                           id3::text("TYER", id3::latin1, "2020"),
                                           id3::text("TCON", id3::latin1, "Genre"),
                                           id3::comment("Comment")});
    const std::string v1 = id3::v1_tag(
        {.title = std::string(30, '\x80'), .artist = "A", .album = "B", .year = "1", .comment = "C"});
    const std::string audio = read_file(fixture("short_mono_16000.mp3"));
    for (const std::string &path : {scratch_file("resources_v2.mp3", v2 + audio),
                                    scratch_file("resources_v1.mp3", audio + v1)}) {
        const int descriptors = open_descriptors();
        for (int fail_at = 0;; ++fail_at) {
            allocations = {true, 0, fail_at};
            Stream stream = open_mp3(path);
            allocations.armed = false;
            if (allocations.count <= fail_at) { // no allocation failed
                ASSERT_NE(stream, nullptr);
                ASSERT_NE(stream->tags, nullptr);
                EXPECT_NE(stream->tags->title, nullptr);
                break;
            }
            EXPECT_EQ(stream, nullptr) << path << ", allocation " << fail_at;
            EXPECT_EQ(open_descriptors(), descriptors) << path << ", allocation " << fail_at;
        }
        // Every tag text, the converter buffers and the records.
        EXPECT_GE(allocations.count, 7) << path;
    }
    EXPECT_EQ(decoder_mp3_set_tag_native_encoding(nullptr), 0);
}

} // namespace
