// Tags as well-formed UTF-8: ID3v2 in each encoding, first lines, legacy code
// pages, the fall-back to ID3v1; Vorbis comments in Ogg and FLAC files.
#include <gtest/gtest.h>

#include "fixtures.h"
#include "reference_host.h"

namespace {

using namespace audio_test;
using id3::text, id3::latin1, id3::utf8;

const std::string korean = "한글 노래", cp949 = "\xC7\xD1\xB1\xDB \xB3\xEB\xB7\xA1";
const std::string bad = "\xEF\xBF\xBD"; // U+FFFD, for each ill-formed part

TEST(Mp3Tags, ReadsWhatTheTagsHoldAsUtf8) {
    const std::string v1_old = id3::v1_tag({.title = "Old", .year = "1987"});
    const std::string surrogate = id3::utf16_with_bom(std::u16string{u'A', 0xDC00, u'\n'});
    const struct {
        const char *native_encoding;
        std::string v2, v1, tags;
    } cases[] = {
        // Only ISO-8859-1 texts are re-decoded; a cut character ends the text;
        // a text may grow threefold.
        {"CP949", id3::v2_tag(4, {text("TIT2", latin1, cp949), text("TALB", latin1, "Caf\xE9")}),
         "", "title=" + korean + "|album=Caf"},
        {"CP1252", id3::v2_tag(3, {text("TIT2", latin1, "\x80\x80\x80"), id3::comment("C")}), "",
         "title=€€€|description=C"},
        {nullptr, id3::v2_tag(3, {text("TPE1", latin1, "\xC7\xD1")}), "", "artist=ÇÑ"},
        // First lines; a terminator in the first byte does not end one; an
        // empty text is none, a leading NUL an empty one.
        {nullptr,
         id3::v2_tag(4, {text("TIT2", utf8, "첫 줄\n둘째"), text("TPE1", latin1, {'\0'}),
                         text("TALB", id3::utf16_bom, id3::utf16_with_bom(u"앨범\rB")),
                         text("TYER", latin1, "\n1999"), text("TCON", latin1, "")}),
         "", "title=첫 줄|artist=|album=앨범|year=\n1999"},
        // ID3v2 wins with a title, an artist or an album only.
        {nullptr, id3::v2_tag(3, {text("TYER", latin1, "2001")}), v1_old, "title=Old|year=1987"},
        {nullptr, id3::v2_tag(3, {text("TIT2", latin1, "T")}), v1_old, "title=T"},
        {nullptr, id3::v2_tag(3, {text("TPE1", latin1, "A")}), v1_old, "artist=A"},
        {nullptr, id3::v2_tag(3, {text("TALB", latin1, "B")}), v1_old, "album=B"},
        {"CP949", "",
         id3::v1_tag({.title = std::string(30, 'T'),
                      .artist = cp949 + std::string(21, ' '),
                      .album = std::string(30, ' '),
                      .comment = " Two  words" + std::string(19, ' '),
                      .genre = 17}),
         "title=" + std::string(30, 'T') + "|artist=" + korean + "|description= Two  words"},
        // Ill-formed: UTF-8 frames, lone UTF-16 surrogates, bytes without an encoding.
        {nullptr, id3::v2_tag(4, {text("TIT2", utf8, "A\xFF" "B\xE2\x82" "C\xE0\x80")}), "",
         "title=A" + bad + "B" + bad + "C" + bad + bad},
        {nullptr, id3::v2_tag(3, {text("TIT2", id3::utf16_bom, surrogate)}), "",
         "title=A" + bad + bad + bad},
        {nullptr, "", id3::v1_tag({.title = "Caf\xE9"}), "title=Caf" + bad},
    };
    const std::string audio = read_file(fixture("short_mono_16000.mp3"));
    reference_sound_reset(16000, 1);
    for (const auto &c : cases) {
        ASSERT_EQ(decoder_mp3_set_tag_native_encoding(c.native_encoding), 0);
        DecoderStream stream(decoder_mp3, scratch_file("tags.mp3", c.v2 + audio + c.v1));
        EXPECT_EQ(describe_tags(stream->tags), c.tags);
    }
    EXPECT_EQ(decoder_mp3_set_tag_native_encoding(nullptr), 0);
}

// Upper-case keys of the first comment block, the later winning.
TEST(VorbisCommentTags, TakeTheFirstBlockMadeWellFormed) {
    reference_sound_reset(44100, 2);
    for (const char *file : {"tagged.flac", "mono_22050.ogg", "stereo_44100.flac"}) {
        DecoderStream stream(*audio_get_decoder(file), fixture(file));
        EXPECT_EQ(describe_tags(stream->tags),
                  file[0] == 's' ? "" : "title=Second|artist=Tolmek|album=A\uFFFDB") << file;
    }
}

} // namespace
