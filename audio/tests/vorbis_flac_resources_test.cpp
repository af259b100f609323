// Vorbis and FLAC streams give back everything they take: ten thousand
// leave no memory and no descriptor behind; a failing allocation, or a
// libFLAC set-up that fails before or after it took the file, fails the open
// with the file closed exactly once; a block that fails in the middle of a
// read loses none of the PCM already delivered. The library's sources are
// linked in with the allocation functions wrapped, and two libFLAC entry
// points have stand-ins here that fail on request.
#include <FLAC/stream_decoder.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "failing_allocations.h"
#include "fixtures.h"
#include "reference_host.h"

namespace {

struct {
    bool init_fails_untaken = false; // fails as libFLAC does before it takes the file
    bool init_fails_taken = false;   // fails once libFLAC has taken the file
    int failing_block = -1;          // process_single call that fails, counted from 0
} faults;

template <typename Function> Function real(Function, const char *name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" FLAC__StreamDecoderInitStatus FLAC__stream_decoder_init_FILE(
    FLAC__StreamDecoder *decoder, FILE *file, FLAC__StreamDecoderWriteCallback write,
    FLAC__StreamDecoderMetadataCallback metadata, FLAC__StreamDecoderErrorCallback error,
    void *client) {
    if (faults.init_fails_untaken) return FLAC__STREAM_DECODER_INIT_STATUS_INVALID_CALLBACKS;
    auto status = real(&FLAC__stream_decoder_init_FILE, "FLAC__stream_decoder_init_FILE")(
        decoder, file, write, metadata, error, client);
    return faults.init_fails_taken ? FLAC__STREAM_DECODER_INIT_STATUS_MEMORY_ALLOCATION_ERROR
                                   : status;
}

extern "C" FLAC__bool FLAC__stream_decoder_process_single(FLAC__StreamDecoder *decoder) {
    if (faults.failing_block >= 0 && faults.failing_block-- == 0) return false;
    return real(&FLAC__stream_decoder_process_single, "FLAC__stream_decoder_process_single")(
        decoder);
}

namespace {

using namespace audio_test;

const std::pair<const audio_decoder *, const char *> tagged_files[] = {
    {&decoder_flac, "tagged.flac"}, {&decoder_vorbis, "mono_22050.ogg"}};

TEST(Resources, TenThousandStreamsLeaveNothingBehind) {
    reference_sound_reset(44100, 2);
    for (const auto &[decoder, file] : tagged_files) {
        auto open_and_close = [&] { // open, tags, a little PCM, a seek, close
            DecoderStream stream(*decoder, fixture(file));
            char pcm[1000];
            ASSERT_GT(stream.read(pcm, sizeof pcm), 0);
            ASSERT_EQ(stream.seek(stream->length / 2), 0);
        };
        open_and_close(); // the first round fills lasting caches
        const int descriptors = open_descriptors();
        const std::optional<size_t> heap_before = heap_in_use();
        for (int i = 0; i < 10000; ++i) open_and_close();
        EXPECT_EQ(heap_in_use(), heap_before) << file << ": bytes still held";
        EXPECT_EQ(open_descriptors(), descriptors) << file;
    }
}

TEST(Resources, EveryFailingAllocationFailsTheOpenCleanly) {
    const int descriptors = open_descriptors();
    for (const auto &[decoder, file] : tagged_files) {
        for (int fail_at = 0;; ++fail_at) {
            allocations = {true, 0, fail_at};
            DecoderStream stream(*decoder, fixture(file));
            allocations.armed = false;
            if (allocations.count <= fail_at) { // none failed
                ASSERT_NE(describe_tags(stream->tags), "") << file;
                break;
            }
            EXPECT_FALSE(stream) << file << ", allocation " << fail_at;
            EXPECT_EQ(open_descriptors(), descriptors) << file << ", allocation " << fail_at;
        }
    }
}

TEST(Resources, AFailedFlacSetUpClosesTheFileOnce) {
    const int descriptors = open_descriptors();
    for (bool taken : {false, true}) {
        faults = {!taken, taken, -1};
        EXPECT_FALSE(DecoderStream(decoder_flac, fixture("stereo_44100.flac")));
        EXPECT_EQ(open_descriptors(), descriptors) << (taken ? "taken" : "not taken");
    }
    faults = {};
}

TEST(Resources, AFailedBlockLosesNoPcmAlreadyDelivered) {
    const std::string path = fixture("stereo_44100.flac"); // 4096 frames a block
    const std::string whole = DecoderStream(decoder_flac, path).read_all(65536);
    DecoderStream stream(decoder_flac, path);
    std::string pcm(40000, '\0');
    faults.failing_block = 1;
    ASSERT_EQ(stream.read(pcm.data(), pcm.size()), 4096 * 4) << "the first block";
    EXPECT_TRUE(pcm.substr(0, 4096 * 4) == whole.substr(0, 4096 * 4));
    EXPECT_EQ(stream.read(pcm.data(), pcm.size()), -1) << "the failure, reported next";
    ASSERT_EQ(stream.seek(0), 0);
    EXPECT_TRUE(stream.read_all(4096) == whole) << "and the stream goes on";
}

} // namespace
