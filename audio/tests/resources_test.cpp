// What the library gives back: all an open took when one of its allocations (wrapped) or libFLAC
// fails, and the PCM before a block that fails.
#include <FLAC/stream_decoder.h>
#include <gtest/gtest.h>

#include "fixtures.h"
#include "reference_host.h"

int allocations, failing_allocation = -1, failing_flac_block = -1; // -1: none fails
int empty_flac_block = -1; // the processing call that succeeds without decoding anything
FLAC__StreamDecoderInitStatus flac_init_failure; // 0: none; with the file taken or not

// The wrapped allocation, or null in its place when it is the one to fail.
template <auto real, typename... Arguments>
auto allocate(Arguments... arguments) {
    bool fails = failing_allocation >= 0 && allocations++ == failing_allocation;
    return fails ? nullptr : real(arguments...);
}

extern "C" {
decltype(malloc) __real_malloc;
decltype(calloc) __real_calloc;
decltype(realloc) __real_realloc;
decltype(strdup) __real_strdup;
decltype(FLAC__stream_decoder_init_FILE) __real_FLAC__stream_decoder_init_FILE;
decltype(FLAC__stream_decoder_process_single) __real_FLAC__stream_decoder_process_single;
void *__wrap_malloc(size_t size) { return allocate<__real_malloc>(size); }
void *__wrap_calloc(size_t count, size_t size) { return allocate<__real_calloc>(count, size); }
void *__wrap_realloc(void *block, size_t size) { return allocate<__real_realloc>(block, size); }
char *__wrap_strdup(const char *text) { return allocate<__real_strdup>(text); }

FLAC__StreamDecoderInitStatus __wrap_FLAC__stream_decoder_init_FILE(
    FLAC__StreamDecoder *decoder, FILE *file, FLAC__StreamDecoderWriteCallback write,
    FLAC__StreamDecoderMetadataCallback metadata, FLAC__StreamDecoderErrorCallback error,
    void *client) {
    if (flac_init_failure == FLAC__STREAM_DECODER_INIT_STATUS_INVALID_CALLBACKS)
        return flac_init_failure; // before taking the file
    auto status =
        __real_FLAC__stream_decoder_init_FILE(decoder, file, write, metadata, error, client);
    return flac_init_failure ? flac_init_failure : status;
}

// The blocks before the failing one are decoded; that one fails.
FLAC__bool __wrap_FLAC__stream_decoder_process_single(FLAC__StreamDecoder *decoder) {
    if (failing_flac_block >= 0 && failing_flac_block-- == 0) return false;
    if (empty_flac_block >= 0 && empty_flac_block-- == 0) return true;
    return __real_FLAC__stream_decoder_process_single(decoder);
}
}

TEST(Resources, EveryFailingAllocationOrFlacSetUpFailsTheOpenCleanly) {
    // ID3v2 and ID3v1 titles growing threefold from code page 1252.
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("CP1252"), 0);
    const int descriptors = open_descriptors();
    for (const char *file : {"id3_grows.mp3", "id3_v1.mp3", "tagged.flac", "mono_22050.ogg"}) {
        for (int fail_at = 0;; ++fail_at) {
            allocations = 0;
            failing_allocation = fail_at;
            DecoderStream stream(file);
            failing_allocation = -1;
            if (allocations <= fail_at) break; // none failed
            EXPECT_FALSE(stream) << file << ", allocation " << fail_at;
            EXPECT_EQ(open_descriptors(), descriptors) << file << ", allocation " << fail_at;
        }
    }
    for (auto failure : {FLAC__STREAM_DECODER_INIT_STATUS_INVALID_CALLBACKS,
                         FLAC__STREAM_DECODER_INIT_STATUS_MEMORY_ALLOCATION_ERROR}) {
        flac_init_failure = failure;
        EXPECT_FALSE(DecoderStream("stereo_44100.flac"));
        EXPECT_EQ(open_descriptors(), descriptors) << failure;
    }
    flac_init_failure = FLAC__STREAM_DECODER_INIT_STATUS_OK;
}

TEST(Resources, AFailedOrEmptyFlacBlockLosesNoPcmAlreadyDelivered) {
    const std::string whole = DecoderStream("stereo_44100.flac").read_all({65536});
    DecoderStream stream("stereo_44100.flac"); // 4096 frames a block
    char pcm[40000];
    for (int *block : {&failing_flac_block, &empty_flac_block}) {
        ASSERT_EQ(stream.seek(0), 0);
        *block = 0; // the block after the one the seek decoded
        EXPECT_EQ(stream.read(pcm, sizeof pcm), 4096 * 4) << "the first block";
        EXPECT_EQ(stream.read(pcm, 0), 0) << "nothing asked for";
        EXPECT_EQ(stream.read(pcm, sizeof pcm), block == &failing_flac_block ? -1 : 40000);
        EXPECT_GT(stream.read(pcm, sizeof pcm), 0) << "once";
    }
    ASSERT_EQ(stream.seek(0), 0);
    EXPECT_TRUE(stream.read_all({4096}) == whole) << "and the stream goes on";
}
