// Decoding Ogg Vorbis and FLAC: the PCM of the encoders' own decoders in any
// read size (FLAC exactly, on two channels; Vorbis, an integer decoder
// against a floating-point one, within a step), seek and tell, what is
// refused, and the tags.
#include <gtest/gtest.h>

#include "fixtures.h"
#include "reference_host.h"

namespace {

using namespace audio_test;

// The raw PCM an encoder's decoder wrote for a fixture, with the first two
// channels of each frame kept, or a single one on both.
std::string reference_pcm(const std::string &name, int in_channels, int out_channels) {
    const std::string raw = read_file(fixture(name + ".raw"));
    std::string pcm;
    for (size_t at = 0; at < raw.size(); at += 2 * in_channels)
        for (int c = 0; c < out_channels; ++c) pcm.append(raw, at + 2 * (c % in_channels), 2);
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

// Tremor against oggdec on these tones: the largest difference measured is 1.
constexpr int vorbis_tolerance = 1;

const char *fixture_of(const audio_decoder *decoder) {
    return decoder == &decoder_flac ? "stereo_44100.flac" : "stereo_44100.ogg";
}

class Decoding : public testing::Test {
protected:
    void SetUp() override {
        reference_sound_reset(8000, 1); // forces MP3 output only
        descriptors = open_descriptors();
    }
    void TearDown() override { EXPECT_EQ(open_descriptors(), descriptors) << "a file was left open"; }
    int descriptors = 0;
};

TEST_F(Decoding, DeliversTheEncodersPcmInAnyReadSize) {
    struct Case {
        const audio_decoder *decoder;
        const char *file, *reference;
        int rate, file_channels, channels;
        size_t chunk; // bytes per read
        bool length_stated = true;
    } cases[] = {
        {&decoder_flac, "stereo_44100.flac", "stereo_44100.flac", 44100, 2, 2, 1},
        {&decoder_flac, "stereo_44100.flac", "stereo_44100.flac", 44100, 2, 2, 1000},
        {&decoder_flac, "stereo_44100.flac", "stereo_44100.flac", 44100, 2, 2, 1 << 20},
        {&decoder_flac, "small_blocks.flac", "small_blocks.flac", 44100, 2, 2, 4099},
        {&decoder_flac, "mono_22050.flac", "mono_22050.flac", 22050, 1, 2, 777},
        {&decoder_flac, "six_channels.flac", "six_channels.flac", 48000, 6, 2, 65536},
        {&decoder_flac, "zero_total.flac", "small_blocks.flac", 44100, 2, 2, 4096, false},
        {&decoder_vorbis, "stereo_44100.ogg", "stereo_44100.ogg", 44100, 2, 2, 1},
        {&decoder_vorbis, "stereo_44100.ogg", "stereo_44100.ogg", 44100, 2, 2, 4099},
        {&decoder_vorbis, "mono_22050.ogg", "mono_22050.ogg", 22050, 1, 1, 1 << 20},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.file << ", reads of " << c.chunk);
        reference_sound_reset(8000, 1);
        DecoderStream stream(*c.decoder, fixture(c.file));
        ASSERT_TRUE(stream);
        EXPECT_EQ(stream->rate, c.rate);
        EXPECT_EQ(stream->channels, c.channels);
        EXPECT_EQ(reference_sound_log(), "format 16, channels " + std::to_string(c.channels) +
                                             ", rate " + std::to_string(c.rate));
        int last;
        const std::string pcm = stream.read_all(c.chunk, &last);
        const std::string reference = reference_pcm(c.reference, c.file_channels, c.channels);
        ASSERT_EQ(pcm.size(), reference.size());
        EXPECT_LE(largest_difference(pcm, reference),
                  c.decoder == &decoder_flac ? 0 : vorbis_tolerance);
        const int64_t frames = (int64_t)pcm.size() / (2 * c.channels);
        EXPECT_EQ(stream->length, c.length_stated ? frames : 0);
        EXPECT_EQ(stream.tell(), frames);
        EXPECT_EQ(last, 0) << "the end";
        EXPECT_EQ(stream.read(&last, 1), 0) << "the end again";
    }
}

TEST_F(Decoding, SeeksToAFrameAndTellsIt) {
    for (const audio_decoder *decoder : {&decoder_flac, &decoder_vorbis}) {
        const std::string path = fixture(fixture_of(decoder));
        const std::string whole = DecoderStream(*decoder, path).read_all(65536);
        DecoderStream stream(*decoder, path);
        ASSERT_TRUE(stream) << path;
        // Right after open: FLAC's first block is the last 96 frames of one.
        ASSERT_EQ(stream.seek(4000), 0);
        EXPECT_EQ(stream.tell(), 4000);
        EXPECT_TRUE(stream.read_all(1000) == whole.substr(4000 * 4)) << path;

        ASSERT_EQ(stream.seek(0), 0);
        char pcm[1000];
        const int n = stream.read(pcm, sizeof pcm);
        EXPECT_EQ(stream.tell(), n / 4) << path << ", the rest of the block buffered";
        for (int64_t refused : {(int64_t)-1, stream->length + 1})
            EXPECT_EQ(stream.seek(refused), -1) << path << " to " << refused;
        EXPECT_TRUE(stream.read_all(4096) == whole.substr(n)) << path << ": nothing moved";

        ASSERT_EQ(stream.seek(100000), 0);
        EXPECT_EQ(stream.tell(), 100000);
        EXPECT_TRUE(stream.read_all(4096) == whole.substr(100000 * 4)) << path;
    }
}

TEST_F(Decoding, RefusesFilesItCannotDecodeAndFormatsTheHostRefuses) {
    const std::string not_audio = read_file(fixture("not_audio.mp3"));
    for (const audio_decoder *decoder : {&decoder_flac, &decoder_vorbis}) {
        const std::string audio = read_file(fixture(fixture_of(decoder)));
        std::vector<std::string> paths = {
            scratch_file("not_audio", not_audio), scratch_file("empty", ""),
            scratch_file("head", audio.substr(0, 100)), "/nonexistent/song",
            fixture(fixture_of(decoder == &decoder_flac ? &decoder_vorbis : &decoder_flac))};
        if (decoder == &decoder_flac) paths.insert(paths.end(), {fixture("bits8.flac"), fixture("bits24.flac")});
        for (const std::string &path : paths) {
            reference_sound_reset(44100, 2);
            EXPECT_FALSE(DecoderStream(*decoder, path)) << path;
            EXPECT_STREQ(reference_sound_log(), "") << path;
        }
        DecoderStream half(*decoder, scratch_file("half", audio.substr(0, audio.size() / 2)));
        ASSERT_TRUE(half);
        int last;
        half.read_all(4096, &last);
        EXPECT_LE(last, 0) << "a file cut short in the audio ends cleanly";

        reference_sound_reset(44100, 2);
        reference_sound_refuse(SOUND_RATE);
        EXPECT_FALSE(DecoderStream(*decoder, fixture(fixture_of(decoder))));
        EXPECT_STREQ(reference_sound_log(), "format 16, channels 2, rate 44100");
    }
}

TEST_F(Decoding, TakesTagsFromUpperCaseCommentsTheLaterWinning) {
    const struct {
        const audio_decoder *decoder;
        const char *file, *tags;
    } cases[] = {// the first block; a stray byte read as U+FFFD
                 {&decoder_flac, "tagged.flac", "title=Second|artist=Tolmek|album=A\uFFFDB"},
                 {&decoder_vorbis, "mono_22050.ogg", "title=Second|artist=Tolmek|album=A\uFFFDB"},
                 {&decoder_flac, "stereo_44100.flac", ""}, // a record without texts
                 {&decoder_vorbis, "stereo_44100.ogg", ""}};
    for (const auto &c : cases) {
        DecoderStream stream(*c.decoder, fixture(c.file));
        ASSERT_TRUE(stream) << c.file;
        EXPECT_EQ(describe_tags(stream->tags), c.tags) << c.file;
    }
}

TEST(VorbisParseTag, PointsIntoTheCommentOrKeepsACopy) {
    audio_tags tags{};
    char artist[] = "ARTIST=Tolmek", date[] = "DATE=2024";
    EXPECT_EQ(decoder_vorbis_parse_tag(artist, &tags, 0), artist + 7);
    EXPECT_EQ(decoder_vorbis_parse_tag(date, &tags, 0), nullptr);
    for (std::string comment : {"TITLE=First", "TITLE=Second"}) {
        EXPECT_EQ(decoder_vorbis_parse_tag(comment.data(), &tags, 1), tags.title);
        comment.assign(comment.size(), 'x'); // the comment text is gone
    }
    EXPECT_EQ(describe_tags(&tags), "title=Second|artist=Tolmek");
    free(tags.title); // the first copy was freed when the second replaced it
}

} // namespace
