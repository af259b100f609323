// The native tag encoding setting: which converters it keeps open, the
// name it shows, and what stays in force when a change fails.
#include <gtest/gtest.h>
#include <string.h>

#include "dependency_spies.h"
#include "tolmek_audio.h"

namespace {

using audio_test::reset_spies;
using audio_test::spies;
using Calls = std::vector<std::string>;

class NativeEncoding : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(decoder_mp3_set_tag_native_encoding(nullptr), 0);
        ASSERT_EQ(spies.open_converters, 0);
        reset_spies();
    }
    void TearDown() override { decoder_mp3_set_tag_native_encoding(nullptr); }
};

TEST_F(NativeEncoding, ALegacyEncodingOpensBothConverters) {
    EXPECT_EQ(decoder_mp3_set_tag_native_encoding("CP949"), 0);
    EXPECT_STREQ(decoder_mp3_tag_native_encoding, "CP949");
    EXPECT_EQ(spies.calls, (Calls{"iconv_open UTF-8<-CP949", "iconv_open ISO-8859-1<-UTF-8"}));
    EXPECT_EQ(spies.open_converters, 2);
}

TEST_F(NativeEncoding, ChangingKeepsTheLatin1ConverterAndReplacesTheOther) {
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("CP949"), 0);
    reset_spies();
    EXPECT_EQ(decoder_mp3_set_tag_native_encoding("EUC-KR"), 0);
    EXPECT_STREQ(decoder_mp3_tag_native_encoding, "EUC-KR");
    EXPECT_EQ(spies.calls, (Calls{"iconv_open UTF-8<-EUC-KR", "iconv_close"}));
    EXPECT_EQ(spies.open_converters, 2);
}

TEST_F(NativeEncoding, Latin1ItselfNeedsNoLatin1ConverterInAnyLetterCase) {
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("CP949"), 0);
    for (const char *name : {"iso-8859-1", "ISO-8859-1", "Iso-8859-1"}) {
        EXPECT_EQ(decoder_mp3_set_tag_native_encoding(name), 0) << name;
        EXPECT_STREQ(decoder_mp3_tag_native_encoding, name);
        EXPECT_EQ(spies.open_converters, 1) << name;
    }
    EXPECT_EQ(decoder_mp3_set_tag_native_encoding("CP949"), 0);
    EXPECT_EQ(spies.open_converters, 2) << "leaving ISO-8859-1 brings it back";
}

TEST_F(NativeEncoding, ClearingClosesBothAndEmptiesTheName) {
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("CP949"), 0);
    reset_spies();
    EXPECT_EQ(decoder_mp3_set_tag_native_encoding(nullptr), 0);
    EXPECT_STREQ(decoder_mp3_tag_native_encoding, "");
    EXPECT_EQ(spies.calls, (Calls{"iconv_close", "iconv_close"}));
    EXPECT_EQ(spies.open_converters, 0);
    EXPECT_EQ(decoder_mp3_set_tag_native_encoding(nullptr), 0) << "clearing twice";
}

TEST_F(NativeEncoding, AnUnknownNameLeavesThePreviousSetting) {
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("CP949"), 0);
    EXPECT_EQ(decoder_mp3_set_tag_native_encoding("NO-SUCH-ENCODING"), -1);
    EXPECT_STREQ(decoder_mp3_tag_native_encoding, "CP949");
    EXPECT_EQ(spies.open_converters, 2);
}

TEST_F(NativeEncoding, ALongNameIsKeptToItsFirst29Characters) {
    const char *name = "CP949//TRANSLIT,IGNORE,TRANSLIT,IGNORE"; // 38 characters
    EXPECT_EQ(decoder_mp3_set_tag_native_encoding(name), 0);
    EXPECT_EQ(strlen(decoder_mp3_tag_native_encoding), 29u);
    EXPECT_EQ(strncmp(decoder_mp3_tag_native_encoding, name, 29), 0);
}

TEST_F(NativeEncoding, NoLatin1ConverterMeansNoChange) {
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("EUC-KR"), 0);
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("ISO-8859-1"), 0);
    spies.fail_iconv_open_to = "ISO-8859-1";
    EXPECT_EQ(decoder_mp3_set_tag_native_encoding("CP949"), -1);
    EXPECT_STREQ(decoder_mp3_tag_native_encoding, "ISO-8859-1");
    EXPECT_EQ(spies.open_converters, 1) << "the new converter was released";
}

TEST_F(NativeEncoding, APreviousConverterThatWillNotCloseMeansNoChange) {
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("CP949"), 0);
    spies.fail_next_iconv_close = true;
    EXPECT_EQ(decoder_mp3_set_tag_native_encoding("EUC-KR"), -1);
    EXPECT_STREQ(decoder_mp3_tag_native_encoding, "CP949");
    EXPECT_EQ(spies.open_converters, 2) << "the new converter was released";
}

TEST_F(NativeEncoding, AConverterThatWillNotCloseStopsClearing) {
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("CP949"), 0);
    spies.fail_next_iconv_close = true;
    EXPECT_EQ(decoder_mp3_set_tag_native_encoding(nullptr), -1);
    EXPECT_STREQ(decoder_mp3_tag_native_encoding, "CP949");
}

} // namespace
