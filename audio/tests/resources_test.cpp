// What the library holds and gives back: the converters of the native tag
// encoding, started and stopped with the library; every stream's memory
// and descriptors, ten thousand streams per decoder; and everything an open
// took when an allocation or a libFLAC call fails in it. The library's
// sources are linked in with the allocation functions wrapped (-Wl,--wrap);
// stand-ins for a few dependency entry points see the calls the library
// makes and fail on request.
#include <FLAC/stream_decoder.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <iconv.h>
#include <malloc.h>
#include <mpg123.h>

#include "fixtures.h"
#include "reference_host.h"

namespace {

struct {
    int count = 0;      // wrapped allocations since armed
    int fail_at = -1;   // the one that fails; -1: none
    bool armed = false; // counting
} allocations;

bool allocation_fails() { return allocations.armed && allocations.count++ == allocations.fail_at; }

struct {
    bool init_fails_untaken = false; // as libFLAC fails before it takes the file
    bool init_fails_taken = false;   // as it fails once it has taken the file
    int failing_block = -1;          // process_single call that fails, counted from 0
} flac_faults;

struct {
    std::string mpg123_calls; // "init exit "
    bool fail_mpg123_init = false;
    std::string fail_iconv_open_to; // iconv_open fails converting to this
    bool fail_next_iconv_close = false;
    int open_converters = 0;
} spies;

template <typename Function> Function real(Function, const char *name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" {
void *__real_malloc(size_t size);
void *__real_calloc(size_t count, size_t size);
void *__real_realloc(void *block, size_t size);
char *__real_strdup(const char *text);
void *__wrap_malloc(size_t size) { return allocation_fails() ? nullptr : __real_malloc(size); }
void *__wrap_calloc(size_t n, size_t size) {
    return allocation_fails() ? nullptr : __real_calloc(n, size);
}
void *__wrap_realloc(void *block, size_t size) {
    return allocation_fails() ? nullptr : __real_realloc(block, size);
}
char *__wrap_strdup(const char *text) { return allocation_fails() ? nullptr : __real_strdup(text); }

FLAC__StreamDecoderInitStatus
FLAC__stream_decoder_init_FILE(FLAC__StreamDecoder *decoder, FILE *file,
                               FLAC__StreamDecoderWriteCallback write,
                               FLAC__StreamDecoderMetadataCallback metadata,
                               FLAC__StreamDecoderErrorCallback error, void *client) {
    if (flac_faults.init_fails_untaken) return FLAC__STREAM_DECODER_INIT_STATUS_INVALID_CALLBACKS;
    auto status = real(&FLAC__stream_decoder_init_FILE, "FLAC__stream_decoder_init_FILE")(
        decoder, file, write, metadata, error, client);
    return flac_faults.init_fails_taken ? FLAC__STREAM_DECODER_INIT_STATUS_MEMORY_ALLOCATION_ERROR
                                        : status;
}

int mpg123_init(void) {
    spies.mpg123_calls += "init ";
    return spies.fail_mpg123_init ? MPG123_ERR : real(&mpg123_init, "mpg123_init")();
}

void mpg123_exit(void) {
    spies.mpg123_calls += "exit ";
    real(&mpg123_exit, "mpg123_exit")();
}

iconv_t iconv_open(const char *to, const char *from) {
    if (spies.fail_iconv_open_to == to) return (iconv_t)-1;
    iconv_t cd = real(&iconv_open, "iconv_open")(to, from);
    spies.open_converters += cd != (iconv_t)-1;
    return cd;
}

int iconv_close(iconv_t cd) {
    if (std::exchange(spies.fail_next_iconv_close, false)) return -1; // and stays open
    spies.open_converters--;
    return real(&iconv_close, "iconv_close")(cd);
}

FLAC__bool FLAC__stream_decoder_process_single(FLAC__StreamDecoder *decoder) {
    if (flac_faults.failing_block >= 0 && flac_faults.failing_block-- == 0) return false;
    return real(&FLAC__stream_decoder_process_single,
                "FLAC__stream_decoder_process_single")(decoder);
}
}

namespace {

using namespace audio_test;

TEST(Resources, TenThousandStreamsPerDecoderLeaveNothingBehind) {
    reference_sound_reset(44100, 2);
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("CP949"), 0); // converts tags too
    for (const char *file : {"tagged_cp949.mp3", "tagged.flac", "mono_22050.ogg"}) {
        auto use_one_stream = [&] { // open, tags, a little PCM, a seek, close
            DecoderStream stream(*audio_get_decoder(file), fixture(file));
            char pcm[1000];
            ASSERT_NE(stream->tags, nullptr);
            ASSERT_GT(stream.read(pcm, sizeof pcm), 0);
            ASSERT_EQ(stream.seek(stream->length / 2), 0);
        };
        use_one_stream(); // the first fills lasting caches of the libraries
        const int descriptors = open_descriptors();
        const size_t heap = heap_in_use();
        for (int i = 0; i < 10000; ++i) use_one_stream();
        EXPECT_EQ(heap_in_use(), heap) << file << ": bytes still held";
        EXPECT_EQ(open_descriptors(), descriptors) << file;
    }
    EXPECT_EQ(decoder_mp3_set_tag_native_encoding(nullptr), 0);
}

TEST(Resources, EveryFailingAllocationFailsTheOpenCleanly) {
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("CP1252"), 0);
    // MP3 tags that make an open allocate all it can: ID3v2 texts to
    // re-decode, one growing threefold from code page 1252; ID3v1 fields.
    const std::string audio = read_file(fixture("short_mono_16000.mp3"));
    const std::string v2 =
        id3::v2_tag(3, {id3::text("TIT2", id3::latin1, std::string(40, '\x80')),
                        id3::text("TALB", id3::utf8, "Album"), id3::comment("Comment")});
    const std::string v1 = id3::v1_tag({.title = std::string(30, '\x80'), .comment = "C"});
    const int descriptors = open_descriptors();
    for (const std::string &path : {scratch_file("resources_v2.mp3", v2 + audio),
                                    scratch_file("resources_v1.mp3", audio + v1),
                                    fixture("tagged.flac"), fixture("mono_22050.ogg")}) {
        for (int fail_at = 0;; ++fail_at) {
            allocations = {0, fail_at, true};
            DecoderStream stream(*audio_get_decoder(path.c_str()), path);
            allocations.armed = false;
            if (allocations.count <= fail_at) { // none failed
                ASSERT_NE(describe_tags(stream->tags), "") << path;
                break;
            }
            EXPECT_FALSE(stream) << path << ", allocation " << fail_at;
            EXPECT_EQ(open_descriptors(), descriptors) << path << ", allocation " << fail_at;
        }
    }
    EXPECT_EQ(decoder_mp3_set_tag_native_encoding(nullptr), 0);
}

TEST(Resources, AFailedFlacSetUpClosesTheFileOnce) {
    const int descriptors = open_descriptors();
    for (bool taken : {false, true}) {
        flac_faults = {!taken, taken, -1};
        EXPECT_FALSE(DecoderStream(decoder_flac, fixture("stereo_44100.flac")));
        EXPECT_EQ(open_descriptors(), descriptors) << (taken ? "taken" : "not taken");
    }
    flac_faults = {};
}

TEST(Resources, AFailedFlacBlockLosesNoPcmAlreadyDelivered) {
    const std::string path = fixture("stereo_44100.flac"); // 4096 frames a block
    const std::string whole = DecoderStream(decoder_flac, path).read_all(65536);
    DecoderStream stream(decoder_flac, path);
    std::string pcm(40000, '\0');
    flac_faults.failing_block = 1;
    ASSERT_EQ(stream.read(pcm.data(), pcm.size()), 4096 * 4) << "the first block";
    EXPECT_TRUE(pcm.substr(0, 4096 * 4) == whole.substr(0, 4096 * 4));
    EXPECT_EQ(stream.read(pcm.data(), pcm.size()), -1) << "the failure, reported next";
    EXPECT_GT(stream.read(pcm.data(), pcm.size()), 0) << "once";
    ASSERT_EQ(stream.seek(0), 0);
    EXPECT_TRUE(stream.read_all(4096) == whole) << "and the stream goes on";
}

TEST(Library, InitAndExitStartAndStopTheMp3LibraryAndReleaseTheConverters) {
    ASSERT_EQ(audio_init(), 0);
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("CP949"), 0);
    spies.fail_next_iconv_close = true;
    EXPECT_EQ(audio_exit(), -1) << "a converter that will not close";
    EXPECT_EQ(spies.open_converters, 2) << "stops the release";
    EXPECT_EQ(audio_exit(), 0);
    EXPECT_EQ(spies.open_converters, 0);
    EXPECT_STREQ(decoder_mp3_tag_native_encoding, "CP949") << "the name is kept";
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding(nullptr), 0);
    spies.fail_mpg123_init = true;
    EXPECT_EQ(audio_init(), -1);
    spies.fail_mpg123_init = false;
    EXPECT_EQ(spies.mpg123_calls, "init exit exit init ") << "no roll-back of the failed one";
}

// Each step changes the setting, under a fault or none; a failed one leaves
// the previous setting and its converters in force.
TEST(Library, TheNativeEncodingChangesOnlyWhenItsConvertersOpenAndClose) {
    enum Fault { none, close_fails, latin1_open_fails };
    const struct {
        const char *name; // null: clear
        Fault fault;
        int result;
        const char *in_force;
        int open_converters; // from the native encoding and to ISO-8859-1
    } steps[] = {
        {"CP949", none, 0, "CP949", 2},
        {"iso-8859-1", none, 0, "iso-8859-1", 1}, // needs no ISO-8859-1 converter
        {"CP949", latin1_open_fails, -1, "iso-8859-1", 1},
        {"CP949", none, 0, "CP949", 2},
        {"NO-SUCH-ENCODING", none, -1, "CP949", 2},
        {"EUC-KR", close_fails, -1, "CP949", 2},
        {nullptr, close_fails, -1, "CP949", 2},
        {"CP949//TRANSLIT,IGNORE,TRANSLIT,IGNORE", none, 0, "CP949//TRANSLIT,IGNORE,TRANSL", 2},
        {nullptr, none, 0, "", 0},
        {nullptr, none, 0, "", 0},
    };
    for (const auto &step : steps) {
        spies.fail_next_iconv_close = step.fault == close_fails;
        spies.fail_iconv_open_to = step.fault == latin1_open_fails ? "ISO-8859-1" : "";
        const char *name = step.name ? step.name : "(clear)";
        EXPECT_EQ(decoder_mp3_set_tag_native_encoding(step.name), step.result) << name;
        EXPECT_STREQ(decoder_mp3_tag_native_encoding, step.in_force) << name;
        EXPECT_EQ(spies.open_converters, step.open_converters) << name;
    }
}

} // namespace
