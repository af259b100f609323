// The library-wide state: what audio_init and audio_exit start and stop,
// and the native tag encoding with the converters it keeps open. This
// program defines stand-ins for a few dependency entry points; the library
// binds to a process's own definitions first, so they see every call it
// makes and fail on request.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <iconv.h>
#include <mpg123.h>
#include <string.h>

#include "tolmek_audio.h"

namespace {

using Calls = std::vector<std::string>;

struct Spies {
    Calls calls; // "mpg123_init", "mpg123_exit", "iconv_open UTF-8<-CP949", "iconv_close"
    bool fail_mpg123_init = false;
    std::string fail_iconv_open_to; // iconv_open fails when it would convert to this code
    bool fail_next_iconv_close = false; // one shot; that converter stays open
} spies;

int open_converters = 0; // opened and not yet closed

template <typename Function> Function real(const char *name) {
    void *function = dlsym(RTLD_NEXT, name);
    if (!function) abort();
    return reinterpret_cast<Function>(function);
}

} // namespace

extern "C" int mpg123_init(void) {
    spies.calls.push_back("mpg123_init");
    if (spies.fail_mpg123_init) return MPG123_ERR;
    return real<int (*)()>("mpg123_init")();
}

extern "C" void mpg123_exit(void) {
    spies.calls.push_back("mpg123_exit");
    real<void (*)()>("mpg123_exit")();
}

extern "C" iconv_t iconv_open(const char *to, const char *from) {
    spies.calls.push_back(std::string("iconv_open ") + to + "<-" + from);
    if (spies.fail_iconv_open_to == to) return (iconv_t)-1;
    iconv_t cd = real<iconv_t (*)(const char *, const char *)>("iconv_open")(to, from);
    if (cd != (iconv_t)-1) open_converters++;
    return cd;
}

extern "C" int iconv_close(iconv_t cd) {
    spies.calls.push_back("iconv_close");
    if (spies.fail_next_iconv_close) {
        spies.fail_next_iconv_close = false;
        return -1;
    }
    int result = real<int (*)(iconv_t)>("iconv_close")(cd);
    if (result == 0) open_converters--;
    return result;
}

namespace {

// Every test starts without a native encoding and without spied calls.
class Library : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(decoder_mp3_set_tag_native_encoding(nullptr), 0);
        ASSERT_EQ(open_converters, 0);
        spies = {};
    }
};

TEST_F(Library, InitAndExitStartAndStopTheMp3Library) {
    EXPECT_EQ(audio_init(), 0);
    EXPECT_EQ(audio_exit(), 0);
    EXPECT_EQ(spies.calls, (Calls{"mpg123_init", "mpg123_exit"}));
    spies = {};
    spies.fail_mpg123_init = true;
    EXPECT_EQ(audio_init(), -1);
    EXPECT_EQ(spies.calls, Calls{"mpg123_init"}) << "no roll-back of the decoder that failed";
}

TEST_F(Library, ExitReleasesTheTagConvertersButKeepsTheName) {
    ASSERT_EQ(audio_init(), 0);
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("CP949"), 0);
    spies.fail_next_iconv_close = true;
    EXPECT_EQ(audio_exit(), -1);
    EXPECT_EQ(open_converters, 2) << "a converter that will not close stops the release";
    EXPECT_EQ(audio_exit(), 0);
    EXPECT_EQ(open_converters, 0);
    EXPECT_STREQ(decoder_mp3_tag_native_encoding, "CP949");
}

TEST_F(Library, SettingChangingAndClearingTheNativeEncoding) {
    EXPECT_EQ(decoder_mp3_set_tag_native_encoding("CP949"), 0);
    EXPECT_STREQ(decoder_mp3_tag_native_encoding, "CP949");
    EXPECT_EQ(decoder_mp3_set_tag_native_encoding("EUC-KR"), 0);
    EXPECT_STREQ(decoder_mp3_tag_native_encoding, "EUC-KR");
    EXPECT_EQ(open_converters, 2);
    EXPECT_EQ(decoder_mp3_set_tag_native_encoding(nullptr), 0);
    EXPECT_STREQ(decoder_mp3_tag_native_encoding, "");
    EXPECT_EQ(decoder_mp3_set_tag_native_encoding(nullptr), 0) << "clearing twice";
    EXPECT_EQ(spies.calls, (Calls{"iconv_open UTF-8<-CP949", "iconv_open ISO-8859-1<-UTF-8",
                                  // a change keeps the ISO-8859-1 converter
                                  "iconv_open UTF-8<-EUC-KR", "iconv_close",
                                  "iconv_close", "iconv_close"}));
}

TEST_F(Library, Latin1ItselfNeedsNoLatin1ConverterInAnyLetterCase) {
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("CP949"), 0);
    for (const char *name : {"iso-8859-1", "ISO-8859-1", "Iso-8859-1"}) {
        EXPECT_EQ(decoder_mp3_set_tag_native_encoding(name), 0) << name;
        EXPECT_STREQ(decoder_mp3_tag_native_encoding, name);
        EXPECT_EQ(open_converters, 1) << name;
    }
    EXPECT_EQ(decoder_mp3_set_tag_native_encoding("CP949"), 0);
    EXPECT_EQ(open_converters, 2) << "leaving ISO-8859-1 brings it back";
}

TEST_F(Library, ALongNameIsKeptToItsFirst29Characters) {
    const char *name = "CP949//TRANSLIT,IGNORE,TRANSLIT,IGNORE"; // 38 characters
    EXPECT_EQ(decoder_mp3_set_tag_native_encoding(name), 0);
    EXPECT_EQ(strlen(decoder_mp3_tag_native_encoding), 29u);
    EXPECT_EQ(strncmp(decoder_mp3_tag_native_encoding, name, 29), 0);
}

TEST_F(Library, AFailedChangeLeavesThePreviousSetting) {
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("CP949"), 0);
    auto expect_cp949_in_force = [](const char *change) {
        EXPECT_STREQ(decoder_mp3_tag_native_encoding, "CP949") << change;
        EXPECT_EQ(open_converters, 2) << change;
    };
    EXPECT_EQ(decoder_mp3_set_tag_native_encoding("NO-SUCH-ENCODING"), -1);
    expect_cp949_in_force("an unknown name");
    spies.fail_next_iconv_close = true;
    EXPECT_EQ(decoder_mp3_set_tag_native_encoding("EUC-KR"), -1);
    expect_cp949_in_force("the previous converter will not close");
    spies.fail_next_iconv_close = true;
    EXPECT_EQ(decoder_mp3_set_tag_native_encoding(nullptr), -1);
    expect_cp949_in_force("clearing, a converter will not close");

    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("ISO-8859-1"), 0);
    spies.fail_iconv_open_to = "ISO-8859-1";
    EXPECT_EQ(decoder_mp3_set_tag_native_encoding("CP949"), -1) << "no ISO-8859-1 converter";
    EXPECT_STREQ(decoder_mp3_tag_native_encoding, "ISO-8859-1");
    EXPECT_EQ(open_converters, 1) << "the new converter was released";
}

} // namespace
