// Tags of every format: ID3v2 texts in each encoding, first lines, legacy
// code pages re-decoded, the fall-back to ID3v1; Vorbis comments in Ogg and
// FLAC files; and every text well-formed UTF-8.
#include <gtest/gtest.h>

#include "fixtures.h"
#include "reference_host.h"

namespace {

using namespace audio_test;

const std::string korean = "한글 노래";
const std::string korean_cp949 = "\xC7\xD1\xB1\xDB \xB3\xEB\xB7\xA1";
const std::string korean_as_latin1 = "ÇÑ±Û ³ë·¡"; // the CP949 bytes read as ISO-8859-1
const std::string bad = "\xEF\xBF\xBD";           // U+FFFD, for each ill-formed part

// An ID3v2.3 tag of one text frame in ISO-8859-1 and a comment.
std::string v2_with(const char *frame, const std::string &text) {
    return id3::v2_tag(3, {id3::text(frame, id3::latin1, text), id3::comment("a comment")});
}

TEST(Mp3Tags, ReadsWhatTheTagsHoldAsUtf8) {
    const std::string v1_old = id3::v1_tag({.title = "Old title", .year = "1987"});
    const struct {
        const char *native_encoding;
        std::string v2, v1, tags;
    } cases[] = {
        // Only ISO-8859-1 texts are re-decoded (UTF-16 never); a character
        // of CP949 cut short ends the text, what came before it is kept.
        {"CP949",
         id3::v2_tag(4, {id3::text("TIT2", id3::latin1, korean_cp949),
                         id3::text("TPE1", id3::utf16_bom, id3::utf16_with_bom(u"아이유")),
                         id3::text("TALB", id3::latin1, "Caf\xE9"), id3::comment("Live")}),
         "", "title=" + korean + "|artist=아이유|album=Caf|description=Live"},
        {nullptr, v2_with("TIT2", korean_cp949 + "\xE9"), "",
         "title=" + korean_as_latin1 + "é|description=a comment"},
        {"iso-8859-1", v2_with("TIT2", korean_cp949), "",
         "title=" + korean_as_latin1 + "|description=a comment"},
        // Texts that grow threefold in conversion lose nothing.
        {"CP1252", v2_with("TIT2", std::string(10, '\x80')), "",
         "title=€€€€€€€€€€|description=a comment"},
        {"CP1252", "", id3::v1_tag({.title = std::string(10, '\x80')}), "title=€€€€€€€€€€"},
        // The first line of each text; a terminator in the first byte does
        // not end it; an empty text is none, a leading NUL an empty one.
        {nullptr,
         id3::v2_tag(4, {id3::text("TIT2", id3::utf8, "첫 줄\n둘째 줄"),
                         id3::text("TPE1", id3::latin1, "Artist\r\nMore"),
                         id3::text("TALB", id3::utf16_bom, id3::utf16_with_bom(u"앨범\nB")),
                         id3::text("TYER", id3::latin1, "\n1999"),
                         id3::text("TCON", id3::latin1, std::string("Rock\0Pop", 8))}),
         "", "title=첫 줄|artist=Artist|album=앨범|year=\n1999|genre=Rock"},
        {nullptr,
         id3::v2_tag(3, {id3::text("TIT2", id3::latin1, ""), id3::text("TPE1", id3::latin1, {'\0'}),
                         id3::text("TALB", id3::utf8, "A")}),
         "", "artist=|album=A"},
        // Only an ID3v2 tag naming a title, an artist or an album is taken.
        {nullptr, v2_with("TYER", "2001"), v1_old, "title=Old title|year=1987"},
        {nullptr, v2_with("TYER", "2001"), "", "no record"},
        {nullptr, v2_with("TIT2", "New"), v1_old, "title=New|description=a comment"},
        {nullptr, v2_with("TPE1", "Band"), v1_old, "artist=Band|description=a comment"},
        {nullptr, v2_with("TALB", "Album"), v1_old, "album=Album|description=a comment"},
        {nullptr, "", id3::v1_tag({}), ""},
        // ID3v1: full widths, trailing spaces cut, the genre number left out.
        {nullptr, "",
         id3::v1_tag({.title = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123",
                      .artist = "Artist" + std::string(24, ' '),
                      .album = std::string(30, ' '),
                      .year = "1999",
                      .comment = " Two  words" + std::string(19, ' '),
                      .genre = 17}),
         "title=ABCDEFGHIJKLMNOPQRSTUVWXYZ0123|artist=Artist|year=1999|description= Two  words"},
        {"CP949", "", id3::v1_tag({.title = korean_cp949, .artist = "Caf\xE9"}),
         "title=" + korean + "|artist=Caf"},
        {"ISO-8859-1", "", id3::v1_tag({.title = korean_cp949}), "title=" + korean_as_latin1},
        // Ill-formed parts become U+FFFD: UTF-8 frames, lone UTF-16
        // surrogates, ID3v1 bytes without a native encoding.
        {nullptr,
         id3::v2_tag(4, {id3::text("TIT2", id3::utf8,
                                   "A\xFF"
                                   "B\xE2\x82"
                                   "C\xE0\x80\xAF\xF0\x9F\x8E\xB5")}),
         "", "title=A" + bad + "B" + bad + "C" + bad + bad + bad + "\xF0\x9F\x8E\xB5"},
        {nullptr,
         id3::v2_tag(3, {id3::text("TIT2", id3::utf16_bom,
                                   id3::utf16_with_bom(std::u16string{u'A', 0xDC00, u'B'}))}),
         "", "title=A" + bad + bad + bad + "B"},
        {nullptr, "", id3::v1_tag({.title = "Caf\xE9", .artist = "Café"}),
         "title=Caf" + bad + "|artist=Café"},
    };
    const std::string audio = read_file(fixture("short_mono_16000.mp3"));
    reference_sound_reset(16000, 1);
    for (const auto &c : cases) {
        ASSERT_EQ(decoder_mp3_set_tag_native_encoding(c.native_encoding), 0);
        DecoderStream stream(decoder_mp3, scratch_file("tags.mp3", c.v2 + audio + c.v1));
        ASSERT_TRUE(stream) << c.tags;
        EXPECT_EQ(describe_tags(stream->tags), c.tags);
    }
    EXPECT_EQ(decoder_mp3_set_tag_native_encoding(nullptr), 0);
}

TEST(VorbisCommentTags, TakeUpperCaseKeysOfTheFirstBlockTheLaterWinning) {
    const struct {
        const audio_decoder *decoder;
        const char *file, *tags;
    } cases[] = {{&decoder_flac, "tagged.flac", "title=Second|artist=Tolmek|album=A\uFFFDB"},
                 {&decoder_vorbis, "mono_22050.ogg", "title=Second|artist=Tolmek|album=A\uFFFDB"},
                 {&decoder_flac, "stereo_44100.flac", ""}, // comments without tags
                 {&decoder_vorbis, "stereo_44100.ogg", ""}};
    reference_sound_reset(44100, 2);
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
