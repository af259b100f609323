// Decoding MP3 streams: the PCM equals what mpg123 itself delivers for the
// same forced output, the format is announced to the host, and seek, tell,
// the end and broken files behave.
#include <gtest/gtest.h>
#include <mpg123.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <thread>

#include "fixtures.h"
#include "reference_host.h"

namespace {

using namespace audio_test;

// What mpg123 itself delivers for a file, with the output forced as the
// decoder forces it: every byte mpg123_read reports, in order.
std::string reference_decode(const std::string &path, long rate, int channels) {
    mpg123_init();
    mpg123_handle *handle = mpg123_new(nullptr, nullptr);
    if (!handle) abort();
    mpg123_param(handle, MPG123_FORCE_RATE, rate, 0.0);
    long channel_flag = channels == 1 ? MPG123_FORCE_MONO : MPG123_FORCE_STEREO;
    mpg123_param(handle, MPG123_ADD_FLAGS, channel_flag, 0.0);
    mpg123_param(handle, MPG123_RESYNC_LIMIT, 10240, 0.0);
    if (mpg123_open(handle, path.c_str()) != MPG123_OK) abort();
    std::string pcm;
    unsigned char buffer[4096];
    for (int status = MPG123_OK; status == MPG123_OK || status == MPG123_NEW_FORMAT;) {
        size_t done = 0;
        status = mpg123_read(handle, buffer, sizeof buffer, &done);
        pcm.append(reinterpret_cast<char *>(buffer), done);
    }
    mpg123_close(handle);
    mpg123_delete(handle);
    return pcm;
}

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

// Every test leaves as many file descriptors open as it found.
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

TEST_F(Mp3Stream, DeliversExactlyWhatMpg123DeliversInTheAnnouncedFormat) {
    struct Case {
        const char *file;
        int rate, channels; // the forced output
        size_t chunk;       // bytes per read
    } cases[] = {
        {"stereo_44100.mp3", 44100, 2, 65536}, {"stereo_44100.mp3", 22050, 1, 1000},
        {"mono_22050.mp3", 22050, 2, 4608},    {"mono_22050.mp3", 44100, 1, 777},
        {"stereo_32000.mp3", 48000, 2, 3},     {"mono_8000.mp3", 8000, 1, 512},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.file << " at " << c.rate << " Hz, " << c.channels
                                        << " channels, reads of " << c.chunk);
        reference_sound_reset(c.rate, c.channels);
        Stream stream = open_mp3(fixture(c.file));
        ASSERT_NE(stream, nullptr);
        EXPECT_EQ(stream->rate, c.rate);
        EXPECT_EQ(stream->channels, c.channels);
        EXPECT_STREQ(reference_sound_log(), announced(c.channels, c.rate).c_str());

        int last;
        std::string pcm = read_all(stream.get(), c.chunk, &last);
        std::string reference = reference_decode(fixture(c.file), c.rate, c.channels);
        EXPECT_TRUE(pcm == reference) << pcm.size() << " bytes against " << reference.size();
        EXPECT_EQ(stream->length, frames_in(pcm, c.channels)) << "the length is exact";
        EXPECT_EQ(decoder_mp3.tell(stream.get()), stream->length);
        EXPECT_EQ(last, 0) << "the end";
        char buffer[64];
        EXPECT_EQ(decoder_mp3.read(stream.get(), buffer, sizeof buffer), 0) << "the end again";
    }
}

TEST_F(Mp3Stream, AnnouncesTheFormatUntilTheHostRefuses) {
    struct Case {
        int rate, chans; // the output the host wants
        std::optional<reference_sound_setting> refused;
        const char *log; // the announcements made
        bool opens;
    } cases[] = {
        // Three channels are refused before anything is announced, unless
        // mpg123 cannot force the rate: then the file's rate in stereo.
        {44100, 3, std::nullopt, "", false},
        {192000, 3, std::nullopt, "format 16, channels 2, rate 22050", true},
        {44100, 2, SOUND_RATE, "format 16, channels 2, rate 44100", false},
        {44100, 2, SOUND_CHANNELS, "format 16, channels 2", false},
    };
    for (const Case &c : cases) {
        reference_sound_reset(c.rate, c.chans);
        if (c.refused) reference_sound_refuse(*c.refused);
        Stream stream = open_mp3(fixture("mono_22050.mp3"));
        EXPECT_STREQ(reference_sound_log(), c.log);
        EXPECT_EQ(stream != nullptr, c.opens) << c.log;
        if (stream) {
            EXPECT_EQ(announced(stream->channels, stream->rate), c.log);
        }
    }
}

TEST_F(Mp3Stream, SeeksWithinTheLengthOnly) {
    const std::string reference = reference_decode(fixture("stereo_44100.mp3"), 44100, 2);
    Stream stream = open_mp3(fixture("stereo_44100.mp3"));
    ASSERT_NE(stream, nullptr);
    const int64_t length = stream->length;
    for (int64_t refused : {(int64_t)-1, length, INT64_MAX})
        EXPECT_EQ(decoder_mp3.seek(stream.get(), refused), -1) << refused;
    EXPECT_EQ(decoder_mp3.tell(stream.get()), 0) << "refused seeks leave the position";

    const int64_t target = 30000;
    ASSERT_EQ(decoder_mp3.seek(stream.get(), target), 0);
    EXPECT_EQ(decoder_mp3.tell(stream.get()), target);
    EXPECT_EQ(read_all(stream.get(), 4096).size(), reference.size() - target * 4);

    EXPECT_EQ(decoder_mp3.seek(stream.get(), length - 1), 0);
    EXPECT_EQ(read_all(stream.get(), 4096).size(), 4u) << "one stereo frame remains";
    EXPECT_EQ(decoder_mp3.seek(stream.get(), 0), 0);
    EXPECT_TRUE(read_all(stream.get(), 4096) == reference) << "back at the start";
}

TEST_F(Mp3Stream, ScanningMakesTheLengthExact) {
    Stream estimated = open_mp3(fixture("vbr_no_info_44100.mp3"));
    ASSERT_NE(estimated, nullptr);
    const int64_t exact = frames_in(read_all(estimated.get(), 4096), 2);
    EXPECT_NE(estimated->length, exact) << "without a scan the length is only estimated";
    decoder_mp3_use_scan = 1;
    Stream scanned = open_mp3(fixture("vbr_no_info_44100.mp3"));
    ASSERT_NE(scanned, nullptr);
    EXPECT_EQ(scanned->length, exact);
    EXPECT_EQ(frames_in(read_all(scanned.get(), 4096), 2), exact) << "and starts at the start";
}

TEST_F(Mp3Stream, FollowsAFormatChangeWithoutLosingSamplesUnlessTheHostRefusesIt) {
    reference_sound_reset(192000, 2); // nothing forced: each part keeps its rate
    const std::string path = fixture("rate_change.mp3");
    Stream stream = open_mp3(path);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->rate, 44100);
    EXPECT_TRUE(read_all(stream.get(), 1000) == reference_decode(path, 192000, 2));
    EXPECT_EQ(stream->rate, 22050);
    EXPECT_EQ(stream->channels, 2);
    EXPECT_STREQ(reference_sound_log(),
                 (announced(2, 44100) + ", " + announced(2, 22050)).c_str());

    Stream refused = open_mp3(path);
    ASSERT_NE(refused, nullptr);
    reference_sound_refuse(SOUND_RATE);
    int last;
    read_all(refused.get(), 4096, &last);
    EXPECT_EQ(last, -1);
    EXPECT_EQ(refused->rate, 44100) << "the record keeps the format still delivered";
    char buffer[16];
    EXPECT_EQ(decoder_mp3.read(refused.get(), buffer, sizeof buffer), -1) << "and the next read";
}

TEST_F(Mp3Stream, AnUnknownLengthRefusesEverySeek) {
    const std::string pipe = fixture("scratch_pipe.mp3");
    unlink(pipe.c_str());
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const std::string bytes = read_file(fixture("vbr_no_info_44100.mp3"));
    std::thread writer([&] { write_file(pipe, bytes); });
    Stream stream = open_mp3(pipe);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->length, -1);
    EXPECT_EQ(decoder_mp3.seek(stream.get(), 0), -1);
    EXPECT_GT(read_all(stream.get(), 4096).size(), 0u);
    writer.join();
    unlink(pipe.c_str());
}

TEST_F(Mp3Stream, BrokenFilesFailCleanlyAndQuietly) {
    std::string garbage;
    for (uint32_t i = 0, x = 12345; i < 50000; ++i) {
        x = x * 1103515245 + 12345;
        garbage += (char)(x >> 24);
    }
    const std::string audio = read_file(fixture("stereo_44100.mp3"));
    testing::internal::CaptureStderr(); // the host's, where mpg123 would print notes
    for (const std::string &path :
         {fixture("not_audio.mp3"), scratch_file("garbage.mp3", garbage),
          scratch_file("empty.mp3", ""), scratch_file("tiny.mp3", audio.substr(0, 100)),
          std::string("/nonexistent/song.mp3")}) {
        reference_sound_reset(44100, 2);
        EXPECT_EQ(open_mp3(path), nullptr) << path;
        EXPECT_STREQ(reference_sound_log(), "") << path;
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

} // namespace
