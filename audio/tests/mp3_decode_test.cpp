// Decoding MP3 streams: the PCM equals what mpg123 itself delivers for the
// same forced output, the format is announced to the host, and seek, tell,
// the end and broken files behave.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "fixtures.h"
#include "process_usage.h"
#include "reference_decoder.h"
#include "reference_host.h"
#include "tolmek_audio.h"

namespace {

using namespace audio_test;

struct StreamCloser {
    void operator()(audio_stream *stream) const { decoder_mp3.close(stream); }
};
using Stream = std::unique_ptr<audio_stream, StreamCloser>;

Stream open_stream(const std::string &path) { return Stream(decoder_mp3.open(path.c_str())); }

// Reads to the end in pieces of chunk bytes; a -1 ends the reading too.
std::string read_all(audio_stream *stream, size_t chunk, int *last_result = nullptr) {
    std::string pcm;
    std::vector<char> buffer(chunk);
    int n;
    while ((n = decoder_mp3.read(stream, buffer.data(), chunk)) > 0) pcm.append(buffer.data(), n);
    if (last_result) *last_result = n;
    return pcm;
}

int64_t frames_in(const std::string &pcm, int channels) {
    return (int64_t)pcm.size() / (2 * channels);
}

std::string announced(int channels, long rate) {
    return "format 16, channels " + std::to_string(channels) + ", rate " + std::to_string(rate);
}

struct DecodeCase {
    const char *file;
    int rate;     // forced output rate
    int channels; // forced output channels
    size_t chunk; // bytes per read
};

void PrintTo(const DecodeCase &c, std::ostream *out) {
    *out << c.file << " at " << c.rate << " Hz, " << c.channels << " channels, reads of "
         << c.chunk << " bytes";
}

class Mp3Decode : public testing::TestWithParam<DecodeCase> {};

TEST_P(Mp3Decode, DeliversExactlyWhatMpg123DeliversInTheAnnouncedFormat) {
    const DecodeCase &c = GetParam();
    reference_sound_reset(c.rate, c.channels);
    Stream stream = open_stream(fixture(c.file));
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->rate, c.rate);
    EXPECT_EQ(stream->channels, c.channels);
    EXPECT_GE(stream->fd, 0);
    EXPECT_STREQ(reference_sound_log(), announced(c.channels, c.rate).c_str());

    std::string pcm = read_all(stream.get(), c.chunk);
    ReferencePcm reference = reference_decode(fixture(c.file), c.rate, c.channels);
    ASSERT_GT(reference.pcm.size(), 0u);
    EXPECT_EQ(pcm.size(), reference.pcm.size());
    EXPECT_TRUE(pcm == reference.pcm) << "PCM differs";
    EXPECT_EQ(stream->length, frames_in(pcm, c.channels)) << "the length is exact";
    EXPECT_EQ(decoder_mp3.tell(stream.get()), stream->length);
}

INSTANTIATE_TEST_SUITE_P(
    RatesAndChannels, Mp3Decode,
    testing::Values(DecodeCase{"stereo_44100.mp3", 44100, 2, 4096},
                    DecodeCase{"stereo_44100.mp3", 22050, 1, 1000},
                    DecodeCase{"mono_22050.mp3", 22050, 2, 4608},
                    DecodeCase{"mono_22050.mp3", 44100, 1, 777},
                    DecodeCase{"stereo_48000.mp3", 48000, 2, 65536},
                    DecodeCase{"stereo_32000.mp3", 48000, 2, 3},
                    DecodeCase{"mono_8000.mp3", 8000, 1, 512}));

class Mp3Stream : public testing::Test {
protected:
    void SetUp() override {
        reference_sound_reset(44100, 2);
        descriptors = open_descriptors();
    }
    void TearDown() override {
        decoder_mp3_use_scan = 0;
        EXPECT_EQ(open_descriptors(), descriptors) << "a file was left open";
    }
    int descriptors = 0;
};

TEST_F(Mp3Stream, ReadingAtTheEndKeepsGivingZero) {
    Stream stream = open_stream(fixture("mono_8000.mp3"));
    ASSERT_NE(stream, nullptr);
    int last;
    read_all(stream.get(), 4096, &last);
    EXPECT_EQ(last, 0);
    char buffer[64];
    EXPECT_EQ(decoder_mp3.read(stream.get(), buffer, sizeof buffer), 0);
    EXPECT_EQ(decoder_mp3.read(stream.get(), buffer, 0), 0);
}

TEST_F(Mp3Stream, ThreeChannelsAreRefusedBeforeAnythingIsAnnounced) {
    reference_sound_reset(44100, 3);
    EXPECT_EQ(open_stream(fixture("stereo_44100.mp3")), nullptr);
    EXPECT_STREQ(reference_sound_log(), "");
}

TEST_F(Mp3Stream, ARateMpg123CannotForceLeavesTheFileRateInStereo) {
    reference_sound_reset(192000, 3);
    Stream stream = open_stream(fixture("mono_22050.mp3"));
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->rate, 22050);
    EXPECT_EQ(stream->channels, 2);
    EXPECT_STREQ(reference_sound_log(), announced(2, 22050).c_str());
}

TEST_F(Mp3Stream, AHostRefusalFailsTheOpenAfterTheEarlierAnnouncements) {
    reference_sound_refuse(SOUND_RATE);
    EXPECT_EQ(open_stream(fixture("stereo_44100.mp3")), nullptr);
    EXPECT_STREQ(reference_sound_log(), announced(2, 44100).c_str());
    reference_sound_reset(44100, 2);
    reference_sound_refuse(SOUND_CHANNELS);
    EXPECT_EQ(open_stream(fixture("stereo_44100.mp3")), nullptr);
    EXPECT_STREQ(reference_sound_log(), "format 16, channels 2");
}

TEST_F(Mp3Stream, SeeksWithinTheLengthOnly) {
    Stream stream = open_stream(fixture("stereo_44100.mp3"));
    ASSERT_NE(stream, nullptr);
    const int64_t length = stream->length;
    ASSERT_GT(length, 44100);
    EXPECT_EQ(decoder_mp3.seek(stream.get(), -1), -1);
    EXPECT_EQ(decoder_mp3.seek(stream.get(), length), -1);
    EXPECT_EQ(decoder_mp3.seek(stream.get(), INT64_MAX), -1);
    EXPECT_EQ(decoder_mp3.tell(stream.get()), 0) << "refused seeks leave the position";

    EXPECT_EQ(decoder_mp3.seek(stream.get(), length - 1), 0);
    EXPECT_EQ(decoder_mp3.tell(stream.get()), length - 1);
    EXPECT_EQ(read_all(stream.get(), 4096).size(), 4u) << "one stereo frame remains";

    EXPECT_EQ(decoder_mp3.seek(stream.get(), 0), 0);
    EXPECT_EQ(decoder_mp3.tell(stream.get()), 0);
}

TEST_F(Mp3Stream, ASeekLandsOnTheSameSamplesAsDecodingThrough) {
    ReferencePcm reference = reference_decode(fixture("stereo_44100.mp3"), 44100, 2);
    Stream stream = open_stream(fixture("stereo_44100.mp3"));
    ASSERT_NE(stream, nullptr);
    const int64_t target = 30000;
    ASSERT_EQ(decoder_mp3.seek(stream.get(), target), 0);
    EXPECT_EQ(decoder_mp3.tell(stream.get()), target);
    std::string pcm = read_all(stream.get(), 4096);
    EXPECT_EQ(frames_in(pcm, 2), stream->length - target);
    // Decoding resumes a few frames early to refill its state, so the
    // samples come out as when decoding through, give or take rounding.
    const std::string expected = reference.pcm.substr(target * 4);
    ASSERT_EQ(pcm.size(), expected.size());
    int worst = 0;
    for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
        int16_t a, b;
        memcpy(&a, &pcm[i], 2);
        memcpy(&b, &expected[i], 2);
        worst = std::max(worst, std::abs(a - b));
    }
    EXPECT_LE(worst, 2);
}

TEST_F(Mp3Stream, ScanningMakesTheLengthExact) {
    Stream estimated = open_stream(fixture("vbr_no_info_44100.mp3"));
    ASSERT_NE(estimated, nullptr);
    const int64_t exact = frames_in(read_all(estimated.get(), 4096), 2);
    EXPECT_NE(estimated->length, exact) << "without a scan the length is only estimated";
    decoder_mp3_use_scan = 1;
    Stream scanned = open_stream(fixture("vbr_no_info_44100.mp3"));
    ASSERT_NE(scanned, nullptr);
    EXPECT_EQ(scanned->length, exact);
    EXPECT_EQ(frames_in(read_all(scanned.get(), 4096), 2), exact) << "and starts at the start";
}

TEST_F(Mp3Stream, FollowsAFormatChangeWithoutLosingSamples) {
    reference_sound_reset(192000, 2); // nothing forced: each part keeps its rate
    ReferencePcm reference = reference_decode(fixture("rate_change.mp3"), 192000, 2);
    Stream stream = open_stream(fixture("rate_change.mp3"));
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->rate, 44100);
    std::string pcm = read_all(stream.get(), 1000);
    EXPECT_EQ(stream->rate, 22050);
    EXPECT_EQ(stream->channels, 2);
    EXPECT_STREQ(reference_sound_log(),
                 (announced(2, 44100) + ", " + announced(2, 22050)).c_str());
    EXPECT_TRUE(pcm == reference.pcm) << pcm.size() << " bytes against " << reference.pcm.size();
}

TEST_F(Mp3Stream, AFormatChangeTheHostRefusesFailsTheRead) {
    reference_sound_reset(192000, 2);
    Stream stream = open_stream(fixture("rate_change.mp3"));
    ASSERT_NE(stream, nullptr);
    reference_sound_refuse(SOUND_RATE);
    int last;
    std::string pcm = read_all(stream.get(), 4096, &last);
    EXPECT_EQ(last, -1);
    EXPECT_EQ(stream->rate, 44100) << "the record keeps the format still delivered";
    char buffer[16];
    EXPECT_EQ(decoder_mp3.read(stream.get(), buffer, sizeof buffer), -1);
}

TEST_F(Mp3Stream, AnUnknownLengthRefusesEverySeek) {
    ScratchDir scratch;
    std::string pipe = scratch.file("pipe.mp3", "");
    unlink(pipe.c_str());
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::string bytes = read_file(fixture("vbr_no_info_44100.mp3"));
    std::thread writer([&] { write_file(pipe, bytes); });
    Stream stream = open_stream(pipe);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->length, -1);
    EXPECT_EQ(decoder_mp3.seek(stream.get(), 0), -1);
    EXPECT_GT(read_all(stream.get(), 4096).size(), 0u);
    writer.join();
}

TEST_F(Mp3Stream, BrokenFilesFailCleanly) {
    ScratchDir scratch;
    std::string audio = read_file(fixture("stereo_44100.mp3"));
    std::string garbage;
    for (uint32_t i = 0, x = 12345; i < 50000; ++i) garbage += (char)((x = x * 1103515245 + 12345) >> 24);
    for (const std::string &path : {fixture("not_audio.mp3"), scratch.file("garbage.mp3", garbage),
                                    scratch.file("empty.mp3", ""), scratch.file("tiny.mp3", audio.substr(0, 100)),
                                    std::string("/nonexistent/song.mp3")}) {
        reference_sound_reset(44100, 2);
        EXPECT_EQ(open_stream(path), nullptr) << path;
        EXPECT_STREQ(reference_sound_log(), "") << path;
    }
}

TEST_F(Mp3Stream, ATruncatedFileDeliversWhatItHas) {
    ScratchDir scratch;
    std::string audio = read_file(fixture("stereo_44100.mp3"));
    Stream stream = open_stream(scratch.file("cut.mp3", audio.substr(0, audio.size() / 2)));
    ASSERT_NE(stream, nullptr);
    std::string pcm = read_all(stream.get(), 4096);
    EXPECT_GT(frames_in(pcm, 2), stream->length / 3);
    EXPECT_LT(frames_in(pcm, 2), stream->length);
}

} // namespace
