// The registry's pick and the comment parser; every file of the conformance matrix against its
// format's own decoder, the formats announced, seeks, refusals.
#include <gtest/gtest.h>

#include <iterator>
#include <sstream>

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

// A line of matrix.txt: refused with its rate; read in its read sizes, each format announced before
// its first byte; sought: exactly within the length, refused past it, unmoved by a refusal.
void check_row(const std::string &line) {
    std::string name;
    std::istringstream fields(line);
    int host_rate, host_channels, count;
    fields >> name >> host_rate >> host_channels >> count;
    Formats expected(count);
    for (Format &format : expected) fields >> format[0] >> format[1] >> format[2];
    const std::vector<size_t> reads{std::istream_iterator<size_t>(fields), {}};
    SCOPED_TRACE(name);
    std::string log;
    for (auto [rate, channels, bytes] : expected) // as at open, in each format
        log += (log.empty() ? "" : ", ") + ("format 16, channels " + std::to_string(channels) +
                                            ", rate " + std::to_string(rate));
    reference_sound_reset(host_rate, host_channels);
    reference_sound_refuse(SOUND_RATE);
    EXPECT_FALSE(DecoderStream(name.c_str()));
    EXPECT_EQ(reference_sound_log(), log.substr(0, log.find(", format")));
    reference_sound_reset(host_rate, host_channels);
    const audio_decoder *decoder = audio_get_decoder(name.c_str());
    DecoderStream stream(name.c_str());
    ASSERT_EQ(bool(stream), !expected.empty());
    if (!stream) return;
    const int64_t length_at_open = stream->length;
    Formats formats;
    int last;
    const std::string pcm = stream.read_all(reads, &last, &formats);
    // Tremor, an integer decoder, is a little apart from oggdec; the device's mpg123 (the 32-bit
    // build's) rounds a few samples one apart from the reference's.
    const int tolerance =
        decoder == &decoder_vorbis ? 4 : decoder == &decoder_mp3 && sizeof(long) == 4;
    EXPECT_TRUE(same_pcm(pcm, read_file(fixture(name) + ".raw"), tolerance));
    ASSERT_EQ(formats, expected); // never empty after it
    EXPECT_EQ(reference_sound_log(), log);
    EXPECT_EQ((Format{stream->rate, stream->channels, formats.back()[2]}), formats.back());
    EXPECT_EQ(last, 0);
    if (expected.size() > 1) { // from the start in the first format again, once accepted
        EXPECT_EQ(stream->length == length_at_open, decoder == &decoder_vorbis) << "length";
        ASSERT_EQ(stream.seek(0), 0);
        reference_sound_refuse(SOUND_CHANNELS);
        EXPECT_EQ(stream.read(&last, sizeof last), -1);
        reference_sound_reset(host_rate, host_channels);
        EXPECT_GT(stream.read(&last, sizeof last), 0);
        EXPECT_EQ(reference_sound_log(), log.substr(0, log.find(", format")));
        return;
    }
    const int64_t frame = 2 * stream->channels, frames = (int64_t)pcm.size() / frame;
    const int resumed = decoder == &decoder_mp3 ? 1 : tolerance; // mpg123 resamples anew
    const bool unstated = name == "zero_total.flac", cut = name == "cut.flac"; // length 0, more
    EXPECT_EQ(stream->length, unstated ? 0 : cut ? stream->length : frames);
    EXPECT_EQ(stream.tell(), frames);
    for (int64_t position : {frames - 1, (int64_t)4000}) { // FLAC: 96 frames of a block
        ASSERT_EQ(stream.seek(position), 0);
        EXPECT_EQ(stream.tell(), position);
        EXPECT_TRUE(same_pcm(stream.read_all({1000}), pcm.substr(position * frame), resumed));
    }
    std::string buffer(65536, '\0');
    ASSERT_EQ(stream.seek(0), 0);
    ASSERT_EQ(stream.read(buffer.data(), 1), 1);
    EXPECT_TRUE(decoder != &decoder_vorbis || stream.tell() == 0) << "a frame part read";
    const int delivered = 1 + stream.read(buffer.data() + 1, buffer.size() - 1);
    EXPECT_EQ(delivered, std::min<int64_t>(buffer.size(), pcm.size())) << "a full read";
    // libFLAC refuses what lies past the frames of an unstated or cut length.
    const int64_t end = unstated ? frames * 2 : frames + (decoder == &decoder_vorbis);
    for (int64_t refused : {(int64_t)-1, end, INT64_MAX}) // Vorbis may seek to its end
        EXPECT_EQ(stream.seek(refused), -1) << refused;
    EXPECT_EQ(stream.tell(), delivered / frame);
    EXPECT_TRUE(same_pcm(stream.read_all({4096}), pcm.substr(delivered), resumed));
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

// Over a host's own text, then over a text in the comment: nothing the field held is freed.
TEST(Registry, TheCommentParserNeverFrees) {
    char comment[] = "tItLe=Song", host_text[] = "Unknown";
    audio_tags tags{host_text, {}, {}, {}, {}, {}};
    char *copy = decoder_vorbis_parse_tag(comment, &tags, 1);
    EXPECT_EQ(decoder_vorbis_parse_tag(comment, &tags, 0), comment + 6);
    EXPECT_STREQ(copy, "Song");
    free(decoder_vorbis_parse_tag(comment, &tags, 1));
    free(copy);
}

// Every row twice, ID3 tags converted from a native encoding: the second round leaves nothing.
TEST(Decoding, DeliversTheReferencePcmOfEveryFileInTheMatrix) {
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("CP949"), 0);
    int rows = 0;
    expect_nothing_left_behind(1, [&rows] {
        std::ifstream matrix(fixture("matrix.txt"));
        for (std::string line; std::getline(matrix, line); rows++) check_row(line);
    });
    EXPECT_GT(rows, 60) << "two rounds";
    DecoderStream understated("understated.flac"); // blocks larger than its largest stated
    EXPECT_TRUE(understated.read_all({4096}) == read_file(fixture("small_blocks.flac.raw")));
}
