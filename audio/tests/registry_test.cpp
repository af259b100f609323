// The registry of the library as the host meets it: which decoder a path
// selects, and what audio_init and audio_exit start and stop.
#include <gtest/gtest.h>

#include "dependency_spies.h"
#include "tolmek_audio.h"

namespace {

using audio_test::reset_spies;
using audio_test::spies;
using Calls = std::vector<std::string>;

TEST(AudioGetDecoder, SelectsByTheExtensionInAnyLetterCase) {
    for (const char *path : {"song.mp3", "/music/SONG.MP3", "a.Mp3", "dir.ogg/x.mP3"})
        EXPECT_EQ(audio_get_decoder(path), &decoder_mp3) << path;
}

TEST(AudioGetDecoder, SelectsNothingForOtherOrMissingExtensions) {
    for (const char *path : {"song.mp2", "song.oga", "song.mp3.part", "song", "dir.mp3/song",
                             "/music/.mp3", "song.", ""})
        EXPECT_EQ(audio_get_decoder(path), nullptr) << path;
}

TEST(AudioInit, StartsAndStopsTheMp3Library) {
    reset_spies();
    EXPECT_EQ(audio_init(), 0);
    EXPECT_EQ(spies.calls, Calls{"mpg123_init"});
    EXPECT_EQ(audio_exit(), 0);
    EXPECT_EQ(spies.calls, (Calls{"mpg123_init", "mpg123_exit"}));
}

TEST(AudioInit, AFailingMp3StartCallsNothingElse) {
    reset_spies();
    spies.fail_mpg123_init = true;
    EXPECT_EQ(audio_init(), -1);
    EXPECT_EQ(spies.calls, Calls{"mpg123_init"}) << "no roll-back of the decoder that failed";
}

TEST(AudioExit, ReleasesTheTagConvertersButKeepsTheName) {
    reset_spies();
    ASSERT_EQ(audio_init(), 0);
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("CP949"), 0);
    EXPECT_EQ(spies.open_converters, 2);
    EXPECT_EQ(audio_exit(), 0);
    EXPECT_EQ(spies.open_converters, 0);
    EXPECT_STREQ(decoder_mp3_tag_native_encoding, "CP949");
}

TEST(AudioExit, FailsWhenAConverterCannotBeClosed) {
    reset_spies();
    ASSERT_EQ(audio_init(), 0);
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("CP949"), 0);
    spies.fail_next_iconv_close = true;
    EXPECT_EQ(audio_exit(), -1);
    EXPECT_EQ(spies.open_converters, 2) << "neither converter was closed";
    EXPECT_EQ(audio_exit(), 0) << "a second exit closes both";
    EXPECT_EQ(spies.open_converters, 0);
}

} // namespace
