// Opening and closing streams over and over gives back every byte of
// memory and every file descriptor.
#include <gtest/gtest.h>

#include "fixtures.h"
#include "process_usage.h"
#include "reference_host.h"
#include "tolmek_audio.h"

namespace {

using namespace audio_test;

constexpr int rounds = 2000;

// One stream's whole life: open, tags, a little PCM, a seek, close.
void open_and_close(const std::string &path) {
    audio_stream *stream = decoder_mp3.open(path.c_str());
    ASSERT_NE(stream, nullptr);
    char pcm[1152];
    ASSERT_GT(decoder_mp3.read(stream, pcm, sizeof pcm), 0);
    decoder_mp3.seek(stream, stream->length / 2);
    decoder_mp3.close(stream);
}

TEST(Mp3Lifetime, ThousandsOfStreamsLeaveNothingBehind) {
    ASSERT_EQ(audio_init(), 0);
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("CP949"), 0);
    reference_sound_reset(16000, 1);
    const std::string path = fixture("tagged_cp949.mp3");
    open_and_close(path); // the first round fills lasting caches of the libraries

    const int descriptors = open_descriptors();
    size_t heap_before = 0, heap_after = 0;
    bool counted = heap_in_use(&heap_before);
    for (int i = 0; i < rounds; ++i) open_and_close(path);
    heap_in_use(&heap_after);

    EXPECT_EQ(open_descriptors(), descriptors);
    if (counted) {
        EXPECT_EQ(heap_after, heap_before) << "bytes still held";
    }
    EXPECT_EQ(audio_exit(), 0);
}

} // namespace
