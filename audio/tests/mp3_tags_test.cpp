// Tags of MP3 files: ID3v2 texts in every encoding, the first line only,
// re-decoding of legacy code pages, the fall-back to ID3v1 and its fields.
#include <gtest/gtest.h>
#include <iconv.h>

#include <optional>

#include "fixtures.h"
#include "id3.h"
#include "reference_host.h"
#include "tolmek_audio.h"

namespace {

using namespace audio_test;
using Text = std::optional<std::string>;

struct Tags {
    bool present = false;
    Text title, artist, album, year, genre, description;
};

Text text_of(const char *text) { return text ? Text(text) : std::nullopt; }

// Opens path with the MP3 decoder and takes a copy of its tags.
Tags tags_of(const std::string &path) {
    audio_stream *stream = decoder_mp3.open(path.c_str());
    if (!stream) ADD_FAILURE() << "cannot open " << path;
    if (!stream) return {};
    Tags tags;
    if (const audio_tags *t = stream->tags) {
        tags = {true,          text_of(t->title), text_of(t->artist),     text_of(t->album),
                text_of(t->year), text_of(t->genre), text_of(t->description)};
    }
    decoder_mp3.close(stream);
    return tags;
}

std::string convert(const std::string &text, const char *to, const char *from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == (iconv_t)-1) abort();
    std::string out(text.size() * 4 + 4, '\0');
    char *in = const_cast<char *>(text.data()), *outp = out.data();
    size_t in_left = text.size(), out_left = out.size();
    if (iconv(cd, &in, &in_left, &outp, &out_left) == (size_t)-1) abort();
    iconv_close(cd);
    out.resize(out.size() - out_left);
    return out;
}
std::string cp949(const std::string &utf8) { return convert(utf8, "CP949", "UTF-8"); }
std::string latin1_reading(const std::string &bytes) {
    return convert(bytes, "UTF-8", "ISO-8859-1");
}

class Mp3Tags : public testing::Test {
protected:
    void SetUp() override {
        reference_sound_reset(16000, 1);
        ASSERT_EQ(decoder_mp3_set_tag_native_encoding(nullptr), 0);
        audio = read_file(fixture("short_mono_16000.mp3"));
    }
    void TearDown() override { decoder_mp3_set_tag_native_encoding(nullptr); }

    std::string with_tags(const std::string &v2, const std::string &v1 = "") {
        return scratch.file("tagged" + std::to_string(files++) + ".mp3", v2 + audio + v1);
    }

    ScratchDir scratch;
    std::string audio;
    int files = 0;
};

const std::string korean_title = "한글 노래";

std::string legacy_korean_tag(int version) {
    return id3::v2_tag(version, {
                              id3::text("TIT2", id3::latin1, cp949(korean_title)),
                              id3::text("TPE1", id3::utf16_bom, id3::utf16_with_bom(u"아이유")),
                              id3::text("TALB", id3::latin1, "Caf\xE9"),
                              id3::text("TYER", id3::latin1, "2024"),
                              id3::text("TCON", id3::latin1, "Ballad"),
                              id3::comment(id3::latin1, "", "Recorded live"),
                          });
}

TEST_F(Mp3Tags, ReadsEveryFieldOfId3v23AndId3v24Tags) {
    for (int version : {3, 4}) {
        Tags tags = tags_of(with_tags(legacy_korean_tag(version)));
        ASSERT_TRUE(tags.present) << version;
        EXPECT_EQ(tags.title, latin1_reading(cp949(korean_title))) << "no native encoding set";
        EXPECT_EQ(tags.artist, "아이유") << version;
        EXPECT_EQ(tags.album, "Café") << version;
        EXPECT_EQ(tags.year, "2024") << version;
        EXPECT_EQ(tags.genre, "Ballad") << version;
        EXPECT_EQ(tags.description, "Recorded live") << version;
    }
}

TEST_F(Mp3Tags, ReDecodesLatin1TextsFromTheNativeEncoding) {
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("CP949"), 0);
    for (int version : {3, 4}) {
        Tags tags = tags_of(with_tags(legacy_korean_tag(version)));
        EXPECT_EQ(tags.title, korean_title) << version;
        EXPECT_EQ(tags.artist, "아이유") << "UTF-16 is never re-decoded";
    }
}

TEST_F(Mp3Tags, Latin1AsNativeEncodingLeavesLatin1TextsAlone) {
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("iso-8859-1"), 0);
    Tags tags = tags_of(with_tags(legacy_korean_tag(3)));
    EXPECT_EQ(tags.title, latin1_reading(cp949(korean_title)));
    EXPECT_EQ(tags.album, "Café");
}

TEST_F(Mp3Tags, ASettingAppliesToStreamsOpenedAfterIt) {
    std::string path = with_tags(legacy_korean_tag(3));
    audio_stream *before = decoder_mp3.open(path.c_str());
    ASSERT_NE(before, nullptr);
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("CP949"), 0);
    EXPECT_EQ(std::string(before->tags->title), latin1_reading(cp949(korean_title)));
    EXPECT_EQ(tags_of(path).title, korean_title);
    decoder_mp3.close(before);
}

TEST_F(Mp3Tags, KeepsNoCharacterOutWhenTheTextGrowsInConversion) {
    // Every byte 0x80 of code page 1252 is the euro sign, three bytes in UTF-8.
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("CP1252"), 0);
    std::string euros;
    for (int i = 0; i < 30; ++i) euros += "€";
    Tags v2 = tags_of(with_tags(id3::v2_tag(3, {id3::text("TIT2", id3::latin1, std::string(30, '\x80'))})));
    EXPECT_EQ(v2.title, euros);
    Tags v1 = tags_of(with_tags("", id3::v1_tag({.title = std::string(30, '\x80')})));
    EXPECT_EQ(v1.title, euros);
}

TEST_F(Mp3Tags, TakesTheFirstLineOfEveryText) {
    Tags tags = tags_of(with_tags(id3::v2_tag(
        4, {
               id3::text("TIT2", id3::utf8, "첫 줄\n둘째 줄"),
               id3::text("TPE1", id3::latin1, "Artist\r\nMore"),
               id3::text("TALB", id3::utf16_bom, id3::utf16_with_bom(u"앨범\nB")),
               id3::text("TCON", id3::latin1, std::string("Rock\0Pop", 8)),
               id3::text("TYER", id3::latin1, "\n1999"),
           })));
    EXPECT_EQ(tags.title, "첫 줄");
    EXPECT_EQ(tags.artist, "Artist");
    EXPECT_EQ(tags.album, "앨범");
    EXPECT_EQ(tags.genre, "Rock") << "the first of several strings";
    EXPECT_EQ(tags.year, "\n1999") << "a terminator in the first byte does not end the line";
}

TEST_F(Mp3Tags, AnEmptyTextIsNoTextButALeadingNulGivesAnEmptyOne) {
    Tags tags = tags_of(with_tags(id3::v2_tag(3, {id3::text("TIT2", id3::latin1, ""),
                                                  id3::text("TPE1", id3::latin1, std::string(1, '\0')),
                                                  id3::text("TALB", id3::utf8, "A")})));
    ASSERT_TRUE(tags.present);
    EXPECT_EQ(tags.title, std::nullopt) << "only the terminator";
    EXPECT_EQ(tags.artist, "");
    EXPECT_EQ(tags.album, "A");
}

TEST_F(Mp3Tags, AnId3v2TagThatNamesNoWorkGivesWayToId3v1) {
    std::string v2 = id3::v2_tag(3, {id3::text("TYER", id3::latin1, "2001"),
                                     id3::comment(id3::latin1, "", "only a comment")});
    Tags with_v1 = tags_of(with_tags(v2, id3::v1_tag({.title = "Old title", .year = "1987"})));
    EXPECT_EQ(with_v1.title, "Old title");
    EXPECT_EQ(with_v1.year, "1987");
    EXPECT_EQ(with_v1.description, std::nullopt);
    Tags without_v1 = tags_of(with_tags(v2));
    EXPECT_FALSE(without_v1.present);
}

TEST_F(Mp3Tags, AFileWithoutTagsHasNoTagRecord) {
    EXPECT_FALSE(tags_of(fixture("short_mono_16000.mp3")).present);
}

// An ID3v1 field padded with spaces to its full width, as many taggers do.
std::string space_padded(const std::string &text) { return text + std::string(30 - text.size(), ' '); }

TEST_F(Mp3Tags, ReadsId3v1FieldsToTheirFullWidthWithoutTrailingSpaces) {
    const std::string thirty = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123";
    Tags tags = tags_of(with_tags("", id3::v1_tag({.title = thirty,
                                                   .artist = space_padded("Artist"),
                                                   .album = space_padded(""),
                                                   .year = "1999",
                                                   .comment = space_padded(" Two  words"),
                                                   .genre = 17})));
    ASSERT_TRUE(tags.present);
    EXPECT_EQ(tags.title, thirty);
    EXPECT_EQ(tags.artist, "Artist");
    EXPECT_EQ(tags.album, std::nullopt) << "spaces only";
    EXPECT_EQ(tags.year, "1999");
    EXPECT_EQ(tags.description, " Two  words");
    EXPECT_EQ(tags.genre, std::nullopt) << "the genre number is not converted";
}

TEST_F(Mp3Tags, AnEmptyId3v1TagStillGivesARecord) {
    Tags tags = tags_of(with_tags("", id3::v1_tag({})));
    EXPECT_TRUE(tags.present);
    EXPECT_EQ(tags.title, std::nullopt);
    EXPECT_EQ(tags.year, std::nullopt);
}

TEST_F(Mp3Tags, ConvertsId3v1FieldsFromTheNativeEncodingOnly) {
    std::string path = with_tags("", id3::v1_tag({.title = cp949(korean_title), .artist = "\xE9t\xE9"}));
    Tags raw = tags_of(path);
    EXPECT_EQ(raw.title, cp949(korean_title)) << "copied unconverted";
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("CP949"), 0);
    EXPECT_EQ(tags_of(path).title, korean_title);
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("ISO-8859-1"), 0);
    EXPECT_EQ(tags_of(path).artist, "été");
}

TEST_F(Mp3Tags, KeepsWhatConvertedBeforeAnInvalidSequence) {
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("UTF-8"), 0);
    Tags tags = tags_of(with_tags("", id3::v1_tag({.title = "abc\xFF" "def"})));
    EXPECT_EQ(tags.title, "abc");
}

} // namespace
