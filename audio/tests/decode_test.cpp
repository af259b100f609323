// The registry's pick; each decoder against a reference decoder's PCM, the format announced,
// seeks, refusals.
#include <gtest/gtest.h>

#include "fixtures.h"
#include "reference_host.h"

namespace {

int16_t sample(const std::string &pcm, size_t index) {
    int16_t value;
    memcpy(&value, &pcm[2 * index], sizeof value);
    return value;
}

// As many samples, none apart by more than tolerance.
bool same_pcm(const std::string &actual, const std::string &expected, int tolerance) {
    if (actual.size() != expected.size()) return false;
    for (size_t i = 0; i < actual.size() / 2; ++i)
        if (std::abs(sample(actual, i) - sample(expected, i)) > tolerance) return false;
    return true;
}

std::string announced(int channels, int rate) {
    return "format 16, channels " + std::to_string(channels) + ", rate " + std::to_string(rate);
}

} // namespace

// The extension of the last path component picks the decoder, in any letter case.
TEST(Registry, PicksTheDecoderByExtension) {
    const std::pair<const char *, const audio_decoder *> picks[] = {
        {"a.MP3", &decoder_mp3}, {"b.Ogg", &decoder_vorbis}, {"c.flac", &decoder_flac},
        {"d.wav", nullptr},      {"e.mp3.txt", nullptr},
    };
    for (auto [path, decoder] : picks) EXPECT_EQ(audio_get_decoder(path), decoder) << path;
}

// Read to the end in any size, then sought: exactly within the length, refused past it.
TEST(Decoding, DeliversTheReferencePcmInAnyReadSizeAndSeeks) {
    // The rate and channels delivered (MP3 is forced to them), the size of each read.
    const struct {
        const char *name;
        int rate, channels;
        size_t chunk;
    } files[] = {
        {"stereo_44100.mp3", 22050, 1, 3},      {"mono_22050.mp3", 48000, 2, 4608},
        {"stereo_44100.flac", 44100, 2, 1},     {"small_blocks.flac", 44100, 2, 4099},
        {"mono_22050.flac", 22050, 2, 1 << 20}, {"six_channels.flac", 48000, 2, 777},
        {"zero_total.flac", 44100, 2, 4096},    {"stereo_44100.ogg", 44100, 2, 1},
        {"mono_22050.ogg", 22050, 1, 1 << 20},
    };
    for (const auto &file : files) {
        SCOPED_TRACE(testing::Message()
                     << file.name << " at " << file.rate << ", reads of " << file.chunk);
        const audio_decoder *decoder = audio_get_decoder(file.name);
        const bool mp3 = decoder == &decoder_mp3, unstated = strstr(file.name, "zero_total");
        reference_sound_reset(mp3 ? file.rate : 8000, mp3 ? file.channels : 1);
        DecoderStream stream(file.name);
        ASSERT_TRUE(stream);
        EXPECT_EQ(announced(stream->channels, stream->rate), announced(file.channels, file.rate));
        EXPECT_EQ(reference_sound_log(), announced(file.channels, file.rate));
        int last;
        const std::string pcm = stream.read_all(file.chunk, &last);
        // Tremor, an integer decoder, is at most 1 apart from oggdec; the device's mpg123 dithers.
        const int tolerance = decoder != &decoder_flac;
        EXPECT_TRUE(same_pcm(pcm, read_file(fixture(file.name) + ".raw"), tolerance));
        const int64_t frame = 2 * file.channels, frames = (int64_t)pcm.size() / frame;
        EXPECT_EQ(stream->length, unstated ? 0 : frames);
        EXPECT_EQ(stream.tell(), frames);
        EXPECT_EQ(last, 0);
        ASSERT_EQ(stream.seek(frames - 1), 0);
        EXPECT_TRUE(same_pcm(stream.read_all(4096), pcm.substr(pcm.size() - frame), tolerance));
        ASSERT_EQ(stream.seek(4000), 0); // FLAC's first block: the last 96 frames of one
        EXPECT_EQ(stream.tell(), 4000);
        EXPECT_TRUE(same_pcm(stream.read_all(1000), pcm.substr(4000 * frame), tolerance));
        char buffer[1000];
        ASSERT_EQ(stream.seek(0), 0);
        ASSERT_EQ(stream.read(buffer, 1), 1);
        EXPECT_TRUE(decoder != &decoder_vorbis || stream.tell() == 0) << "a frame part read";
        const int delivered = 1 + stream.read(buffer + 1, sizeof buffer - 1);
        EXPECT_EQ(stream.tell(), delivered / frame);
        const int64_t end = unstated ? frames * 2 : frames + (decoder == &decoder_vorbis);
        for (int64_t refused : {(int64_t)-1, end, INT64_MAX}) // Vorbis may seek to its end
            EXPECT_EQ(stream.seek(refused), -1) << refused;
        const std::string rest = stream.read_all(4096); // unstated, a failed seek loses the block
        EXPECT_TRUE(unstated || same_pcm(rest, pcm.substr(delivered), tolerance)) << "unmoved";
    }
    DecoderStream understated("understated.flac"); // blocks larger than its largest stated
    EXPECT_TRUE(understated.read_all(4096) == read_file(fixture("small_blocks.flac.raw")));
}

// Nothing is announced for a refused file; a good one fails if the host refuses its rate.
TEST(Decoding, RefusesWhatItCannotDecode) {
    for (const char *file : {"stereo_44100.mp3", "stereo_44100.flac", "stereo_44100.ogg"}) {
        const audio_decoder &decoder = *audio_get_decoder(file);
        const char *other = &decoder == &decoder_flac ? "stereo_44100.ogg" : "stereo_44100.flac";
        const std::string head = "head" + std::string(strrchr(file, '.')); // its first 100 bytes
        for (const char *name : {"not_audio.mp3", "missing", other, "bits8.flac", "bits24.flac",
                                 "zero_rate.flac", head.c_str(), file}) {
            reference_sound_reset(44100, 2);
            if (name == file) reference_sound_refuse(SOUND_RATE);
            EXPECT_FALSE(DecoderStream(name, decoder)) << file << " " << name;
            EXPECT_EQ(reference_sound_log(), name == file ? announced(2, 44100) : "") << name;
        }
    }
}

TEST(Decoding, Mp3FollowsAFormatChangeWithoutLosingSamples) {
    reference_sound_reset(192000, 2); // not forced: each part keeps its rate
    DecoderStream stream("rate_change.mp3");
    const int64_t length_before = stream->length;
    EXPECT_TRUE(same_pcm(stream.read_all(1000), read_file(fixture("rate_change.mp3.raw")), 1));
    EXPECT_EQ(stream->rate, 22050);
    EXPECT_NE(stream->length, length_before) << "estimated anew";
    EXPECT_EQ(reference_sound_log(), announced(2, 44100) + ", " + announced(2, 22050));
}
