// Tags of MP3 files: ID3v2 texts in every encoding, the first line only,
// re-decoding of legacy code pages, the fall-back to ID3v1 and its fields.
#include <gtest/gtest.h>

#include "fixtures.h"
#include "id3.h"
#include "reference_host.h"

namespace {

using namespace audio_test;

// The tags of path as the MP3 decoder reads them: "title=…|artist=…", the
// present texts in record order; "no record" when the stream has none.
std::string tags_of(const std::string &path) {
    Stream stream = open_mp3(path);
    EXPECT_NE(stream, nullptr) << path;
    if (!stream || !stream->tags) return "no record";
    const audio_tags &tags = *stream->tags;
    const std::pair<const char *, const char *> fields[] = {
        {"title", tags.title}, {"artist", tags.artist}, {"album", tags.album},
        {"year", tags.year},   {"genre", tags.genre},   {"description", tags.description}};
    std::string text;
    for (const auto &[name, value] : fields)
        if (value) text += (text.empty() ? "" : "|") + std::string(name) + "=" + value;
    return text;
}

// A short tone between an ID3v2 and an ID3v1 tag, either of them optional.
std::string with_tags(const std::string &v2, const std::string &v1 = "") {
    static const std::string audio = read_file(fixture("short_mono_16000.mp3"));
    return scratch_file("tags.mp3", v2 + audio + v1);
}

const std::string korean_title = "한글 노래";
const std::string korean_cp949 = "\xC7\xD1\xB1\xDB \xB3\xEB\xB7\xA1"; // in code page 949
const std::string korean_as_latin1 = "ÇÑ±Û ³ë·¡"; // those bytes read as ISO-8859-1

class Mp3Tags : public testing::Test {
protected:
    void SetUp() override { reference_sound_reset(16000, 1); }
    void TearDown() override { EXPECT_EQ(decoder_mp3_set_tag_native_encoding(nullptr), 0); }
};

std::string legacy_korean_tag(int version) {
    return id3::v2_tag(version, {
                                    id3::text("TIT2", id3::latin1, korean_cp949),
                                    id3::text("TPE1", id3::utf16_bom, id3::utf16_with_bom(u"아이유")),
                                    id3::text("TALB", id3::latin1, "Caf\xE9"),
                                    id3::text("TYER", id3::latin1, "2024"),
                                    id3::text("TCON", id3::latin1, "Ballad"),
                                    id3::comment("Recorded live"),
                                });
}

TEST_F(Mp3Tags, ReadsId3v23AndId3v24TagsReDecodingLatin1TextsFromTheNativeEncoding) {
    struct Case {
        const char *native_encoding;
        std::string title, album; // from the frames marked ISO-8859-1
    } cases[] = {
        {nullptr, korean_as_latin1, "Café"},
        // 0xE9 starts a character of code page 949 that the text cuts short:
        // what came before it is kept.
        {"CP949", korean_title, "Caf"},
        {"iso-8859-1", korean_as_latin1, "Café"},
    };
    for (const Case &c : cases) {
        ASSERT_EQ(decoder_mp3_set_tag_native_encoding(c.native_encoding), 0);
        for (int version : {3, 4}) {
            // The artist is UTF-16, which is never re-decoded.
            EXPECT_EQ(tags_of(with_tags(legacy_korean_tag(version))),
                      "title=" + c.title + "|artist=아이유|album=" + c.album +
                          "|year=2024|genre=Ballad|description=Recorded live")
                << (c.native_encoding ? c.native_encoding : "no native encoding") << ", ID3v2."
                << version;
        }
    }
}

TEST_F(Mp3Tags, KeepsNoCharacterOutWhenTheTextGrowsInConversion) {
    // Every byte 0x80 of code page 1252 is the euro sign, three bytes in UTF-8.
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("CP1252"), 0);
    const std::string thirty(30, '\x80');
    std::string euros;
    for (int i = 0; i < 30; ++i) euros += "€";
    EXPECT_EQ(tags_of(with_tags(id3::v2_tag(3, {id3::text("TIT2", id3::latin1, thirty)}))),
              "title=" + euros);
    EXPECT_EQ(tags_of(with_tags("", id3::v1_tag({.title = thirty}))), "title=" + euros);
}

TEST_F(Mp3Tags, TakesTheFirstLineOfEveryText) {
    // A terminator in the first byte does not end the line (the year); the
    // genre holds several strings.
    std::string v2 = id3::v2_tag(4, {
                                        id3::text("TIT2", id3::utf8, "첫 줄\n둘째 줄"),
                                        id3::text("TPE1", id3::latin1, "Artist\r\nMore"),
                                        id3::text("TALB", id3::utf16_bom, id3::utf16_with_bom(u"앨범\nB")),
                                        id3::text("TYER", id3::latin1, "\n1999"),
                                        id3::text("TCON", id3::latin1, std::string("Rock\0Pop", 8)),
                                    });
    EXPECT_EQ(tags_of(with_tags(v2)), "title=첫 줄|artist=Artist|album=앨범|year=\n1999|genre=Rock");
}

TEST_F(Mp3Tags, AnEmptyTextIsNoTextButALeadingNulGivesAnEmptyOne) {
    std::string v2 = id3::v2_tag(3, {id3::text("TIT2", id3::latin1, ""),
                                     id3::text("TPE1", id3::latin1, std::string(1, '\0')),
                                     id3::text("TALB", id3::utf8, "A")});
    EXPECT_EQ(tags_of(with_tags(v2)), "artist=|album=A");
}

// Only an ID3v2 tag with a title, an artist or an album is taken.
TEST_F(Mp3Tags, AnId3v2TagThatNamesNoWorkGivesWayToId3v1) {
    const std::string v1 = id3::v1_tag({.title = "Old title", .year = "1987"});
    auto v2_with = [](const char *frame, const char *text) {
        return id3::v2_tag(3, {id3::text(frame, id3::latin1, text), id3::comment("a comment")});
    };
    struct Case {
        std::string v2, v1, tags;
    } cases[] = {
        {v2_with("TYER", "2001"), v1, "title=Old title|year=1987"},
        {v2_with("TYER", "2001"), "", "no record"},
        {v2_with("TIT2", "New"), v1, "title=New|description=a comment"},
        {v2_with("TPE1", "Band"), v1, "artist=Band|description=a comment"},
        {v2_with("TALB", "Album"), v1, "album=Album|description=a comment"},
        {"", id3::v1_tag({}), ""}, // an empty ID3v1 tag gives a record
    };
    for (const Case &c : cases) EXPECT_EQ(tags_of(with_tags(c.v2, c.v1)), c.tags) << c.tags;
    EXPECT_EQ(tags_of(fixture("short_mono_16000.mp3")), "no record");
}

// The host reads every text as UTF-8: each maximal ill-formed part becomes
// one U+FFFD, as the host's decoder counts them.
TEST_F(Mp3Tags, EveryTextIsWellFormedUtf8) {
    const std::string bad = "\xEF\xBF\xBD";
    const std::u16string lone_surrogate{u'A', char16_t(0xDC00), u'B'};
    struct Case {
        std::string v2, v1, tags;
    } cases[] = {
        {id3::v2_tag(4, {id3::text("TIT2", id3::utf8, "A\xFF" "B\xE2\x82" "C\xF0\x9F\x8E\xB5")}),
         "", "title=A" + bad + "B" + bad + "C\xF0\x9F\x8E\xB5"},
        {id3::v2_tag(3, {id3::text("TIT2", id3::utf16_bom, id3::utf16_with_bom(lone_surrogate))}),
         "", "title=A" + bad + bad + bad + "B"},
        {"", id3::v1_tag({.title = "Caf\xE9", .artist = "Café"}),
         "title=Caf" + bad + "|artist=Café"},
    };
    for (const Case &c : cases) EXPECT_EQ(tags_of(with_tags(c.v2, c.v1)), c.tags) << c.tags;
}

// An ID3v1 field padded with spaces to its full width, as many taggers do.
std::string space_padded(const std::string &text) { return text + std::string(30 - text.size(), ' '); }

TEST_F(Mp3Tags, ReadsId3v1FieldsToTheirFullWidthWithoutTrailingSpaces) {
    // The album is spaces only; the genre number is not converted.
    std::string v1 = id3::v1_tag({.title = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123",
                                  .artist = space_padded("Artist"),
                                  .album = space_padded(""),
                                  .year = "1999",
                                  .comment = space_padded(" Two  words"),
                                  .genre = 17});
    EXPECT_EQ(tags_of(with_tags("", v1)),
              "title=ABCDEFGHIJKLMNOPQRSTUVWXYZ0123|artist=Artist|year=1999|description= Two  words");
}

TEST_F(Mp3Tags, ConvertsId3v1FieldsFromTheNativeEncoding) {
    std::string path = with_tags("", id3::v1_tag({.title = korean_cp949, .artist = "Caf\xE9"}));
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("CP949"), 0);
    EXPECT_EQ(tags_of(path), "title=" + korean_title + "|artist=Caf");
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("ISO-8859-1"), 0);
    EXPECT_EQ(tags_of(path), "title=" + korean_as_latin1 + "|artist=Café");
}

} // namespace
