// Decoding with each decoder: an independent decoder's PCM in any read size,
// the format announced to the host, seek and tell, and what is refused.
#include <gtest/gtest.h>
#include <mpg123.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "fixtures.h"
#include "reference_host.h"

namespace {

using namespace audio_test;

// What mpg123 itself delivers with the output forced as the MP3 decoder
// forces it: every byte mpg123_read reports, in order.
std::string mpg123_pcm(const std::string &path, long rate, int channels) {
    mpg123_handle *handle = mpg123_new(nullptr, nullptr);
    mpg123_param(handle, MPG123_FORCE_RATE, rate, 0.0);
    mpg123_param(handle, MPG123_ADD_FLAGS, channels == 1 ? MPG123_FORCE_MONO : MPG123_FORCE_STEREO,
                 0.0);
    mpg123_open(handle, path.c_str());
    std::string pcm;
    char buffer[4096];
    size_t done;
    for (int status = MPG123_NEW_FORMAT; status == MPG123_OK || status == MPG123_NEW_FORMAT;
         pcm.append(buffer, done))
        status = mpg123_read(handle, buffer, sizeof buffer, &done);
    mpg123_delete(handle);
    return pcm;
}

int largest_difference(const std::string &a, const std::string &b) {
    int largest = 0;
    for (size_t at = 0; at + 1 < std::min(a.size(), b.size()); at += 2) {
        int16_t x, y;
        memcpy(&x, &a[at], 2);
        memcpy(&y, &b[at], 2);
        largest = std::max(largest, std::abs(x - y));
    }
    return largest;
}

// Whether a and b hold as many samples, none apart by more than tolerance.
bool same_pcm(const std::string &a, const std::string &b, int tolerance) {
    return a.size() == b.size() && largest_difference(a, b) <= tolerance;
}

std::string announced(int channels, int rate) {
    return "format 16, channels " + std::to_string(channels) + ", rate " + std::to_string(rate);
}

TEST(Decoding, DeliversTheReferencePcmInAnyReadSize) {
    struct Case {
        const char *file;
        int rate, channels; // delivered, and what MP3 output is forced to
        size_t chunk;       // bytes per read
        bool length_stated = true;
    } cases[] = {
        {"stereo_44100.mp3", 44100, 2, 65536},      {"stereo_44100.mp3", 22050, 1, 1000},
        {"mono_22050.mp3", 22050, 2, 4608},         {"mono_22050.mp3", 44100, 1, 777},
        {"stereo_32000.mp3", 48000, 2, 3},          {"stereo_44100.flac", 44100, 2, 1},
        {"stereo_44100.flac", 44100, 2, 1 << 20},   {"small_blocks.flac", 44100, 2, 4099},
        {"mono_22050.flac", 22050, 2, 777},         {"six_channels.flac", 48000, 2, 65536},
        {"zero_total.flac", 44100, 2, 4096, false}, {"stereo_44100.ogg", 44100, 2, 1},
        {"mono_22050.ogg", 22050, 1, 1 << 20},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.file << " at " << c.rate << " Hz, " << c.channels
                                        << " channels, reads of " << c.chunk);
        // Only MP3 output is forced: the others keep their own format.
        const audio_decoder *decoder = audio_get_decoder(c.file);
        const bool mp3 = decoder == &decoder_mp3;
        reference_sound_reset(mp3 ? c.rate : 8000, mp3 ? c.channels : 1);
        DecoderStream stream(*decoder, fixture(c.file));
        ASSERT_TRUE(stream);
        EXPECT_EQ(announced(stream->channels, stream->rate), announced(c.channels, c.rate));
        EXPECT_EQ(reference_sound_log(), announced(c.channels, c.rate));
        int last;
        const std::string pcm = stream.read_all(c.chunk, &last);
        // The PCM of flac -d and oggdec lies beside the file. Tremor, an
        // integer decoder, against oggdec: the largest difference measured is 1.
        const std::string reference = mp3 ? mpg123_pcm(fixture(c.file), c.rate, c.channels)
                                          : read_file(fixture(c.file) + ".raw");
        EXPECT_TRUE(same_pcm(pcm, reference, decoder == &decoder_vorbis));
        const int64_t frames = (int64_t)pcm.size() / (2 * c.channels);
        EXPECT_EQ(stream->length, c.length_stated ? frames : 0);
        EXPECT_EQ(stream.tell(), frames);
        EXPECT_EQ(last, 0) << "the end";
        EXPECT_EQ(stream.read(&last, 1), 0) << "the end again";
        if (!c.length_stated) { // no bound to seeks; one that fails leaves the stream usable
            EXPECT_EQ(stream.seek(frames * 2), -1);
            EXPECT_EQ(stream.seek(frames / 2), 0);
        }
    }
}

TEST(Decoding, SeeksWithinTheLengthAndTellsThePosition) {
    reference_sound_reset(44100, 2);
    for (const char *file : {"stereo_44100.mp3", "stereo_44100.flac", "stereo_44100.ogg"}) {
        SCOPED_TRACE(file);
        const audio_decoder *decoder = audio_get_decoder(file);
        const std::string whole = DecoderStream(*decoder, fixture(file)).read_all(65536);
        const int tolerance = decoder == &decoder_mp3; // the device's mpg123 dithers
        DecoderStream stream(*decoder, fixture(file));
        // Right after open: FLAC's first block is the last 96 frames of one.
        ASSERT_EQ(stream.seek(4000), 0);
        EXPECT_EQ(stream.tell(), 4000);
        EXPECT_TRUE(same_pcm(stream.read_all(1000), whole.substr(4000 * 4), tolerance));

        ASSERT_EQ(stream.seek(0), 0);
        char pcm[1000];
        ASSERT_EQ(stream.read(pcm, 2), 2);
        if (decoder == &decoder_vorbis) EXPECT_EQ(stream.tell(), 0) << "half a frame to come";
        ASSERT_EQ(stream.seek(0), 0) << "and then not";
        const int n = stream.read(pcm, sizeof pcm);
        EXPECT_EQ(stream.tell(), n / 4) << "the rest of the block is still to come";
        // Vorbis takes its end for a place to seek to.
        const int64_t past_end = stream->length + (decoder == &decoder_vorbis);
        for (int64_t refused : {(int64_t)-1, past_end, INT64_MAX})
            EXPECT_EQ(stream.seek(refused), -1) << refused;
        EXPECT_TRUE(same_pcm(stream.read_all(4096), whole.substr(n), tolerance))
            << "refused seeks move nothing";

        ASSERT_EQ(stream.seek(stream->length - 1), 0);
        EXPECT_TRUE(same_pcm(stream.read_all(4096), whole.substr(whole.size() - 4), tolerance))
            << "the last frame";
    }
}

// Nothing is announced for a file that is refused; damage within the audio
// ends a stream cleanly.
TEST(Decoding, RefusesWhatItCannotDecode) {
    std::string garbage(50000, '\0');
    for (uint32_t i = 0, x = 1; i < garbage.size(); ++i)
        garbage[i] = (char)((x = x * 1103515245 + 12345) >> 24);
    for (const char *file : {"stereo_44100.mp3", "stereo_44100.flac", "stereo_44100.ogg"}) {
        const audio_decoder *decoder = audio_get_decoder(file);
        const std::string audio = read_file(fixture(file));
        std::vector<std::string> refused = {
            fixture("not_audio.mp3"), scratch_file("garbage", garbage), scratch_file("empty", ""),
            scratch_file("head", audio.substr(0, 100)), "/nonexistent/song",
            fixture(decoder == &decoder_flac ? "stereo_44100.ogg" : "stereo_44100.flac")};
        if (decoder == &decoder_flac)
            refused.insert(refused.end(), {fixture("bits8.flac"), fixture("bits24.flac")});
        for (const std::string &path : refused) {
            reference_sound_reset(44100, 2);
            EXPECT_FALSE(DecoderStream(*decoder, path)) << path;
            EXPECT_STREQ(reference_sound_log(), "") << path;
        }
        // Damaged after the first audio pages, and cut short.
        const size_t quarter = audio.size() / 4;
        DecoderStream damaged(*decoder,
                              scratch_file("damaged", audio.substr(0, 3 * quarter) +
                                                          garbage.substr(0, 3000) +
                                                          audio.substr(3 * quarter, quarter / 2)));
        int last;
        EXPECT_GT(damaged.read_all(4096, &last).size(), 0u) << file;
        EXPECT_LE(last, 0) << file;

        reference_sound_reset(44100, 2);
        reference_sound_refuse(SOUND_RATE);
        EXPECT_FALSE(DecoderStream(*decoder, fixture(file))) << file << ", rate refused";
        EXPECT_STREQ(reference_sound_log(), announced(2, 44100).c_str());
    }
    // MP3 output in three channels cannot be forced; a rate mpg123 cannot
    // force leaves the file's rate, in stereo.
    reference_sound_reset(44100, 3);
    EXPECT_FALSE(DecoderStream(decoder_mp3, fixture("mono_22050.mp3")));
    reference_sound_reset(192000, 3);
    EXPECT_TRUE(DecoderStream(decoder_mp3, fixture("mono_22050.mp3")));
    EXPECT_STREQ(reference_sound_log(), announced(2, 22050).c_str());
}

TEST(Decoding, Mp3LengthIsExactAfterAScanAndUnknownInAPipe) {
    reference_sound_reset(44100, 2);
    const std::string path = fixture("vbr_no_info_44100.mp3");
    DecoderStream estimated(decoder_mp3, path);
    const std::string pcm = estimated.read_all(4096);
    EXPECT_NE(estimated->length, (int64_t)pcm.size() / 4) << "estimated without a scan";
    decoder_mp3_use_scan = 1;
    DecoderStream scanned(decoder_mp3, path);
    decoder_mp3_use_scan = 0;
    EXPECT_EQ(scanned->length, (int64_t)pcm.size() / 4);
    EXPECT_TRUE(scanned.read_all(4096) == pcm) << "from the start";

    const std::string pipe = fixture("scratch_decode_pipe.mp3");
    unlink(pipe.c_str());
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::thread writer([&] { std::ofstream(pipe, std::ios::binary) << read_file(path); });
    DecoderStream piped(decoder_mp3, pipe);
    EXPECT_EQ(piped->length, -1);
    EXPECT_EQ(piped.seek(0), -1) << "an unknown length refuses every seek";
    EXPECT_TRUE(piped.read_all(4096) == pcm);
    writer.join();
}

TEST(Decoding, Mp3FollowsAFormatChangeWithoutLosingSamplesUnlessTheHostRefusesIt) {
    reference_sound_reset(192000, 2); // not forced: each part keeps its rate
    const std::string path = fixture("rate_change.mp3");
    DecoderStream stream(decoder_mp3, path);
    const int64_t length_before = stream->length; // estimated at 44100 Hz
    EXPECT_TRUE(stream.read_all(1000) == mpg123_pcm(path, 192000, 2));
    EXPECT_EQ(stream->rate, 22050);
    EXPECT_NE(stream->length, length_before) << "the length is estimated anew";
    EXPECT_EQ(reference_sound_log(), announced(2, 44100) + ", " + announced(2, 22050));

    DecoderStream refused(decoder_mp3, path);
    reference_sound_refuse(SOUND_RATE);
    int last;
    refused.read_all(4096, &last);
    EXPECT_EQ(last, -1);
    EXPECT_EQ(refused->rate, 44100) << "the record keeps the format still delivered";
    EXPECT_EQ(refused.read(&last, 1), -1) << "and the next read fails too";
}

} // namespace
