// When memory runs out at any allocation of an MP3 open, the open fails
// and gives back everything it had taken; it never crashes. The library's
// sources are linked into this program with malloc, calloc and realloc
// wrapped (-Wl,--wrap), so a test can make any one of them fail.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "fixtures.h"
#include "id3.h"
#include "process_usage.h"
#include "reference_host.h"
#include "tolmek_audio.h"

namespace {

// Counts the wrapped allocations while armed and fails number fail_at.
struct {
    bool armed = false;
    int count = 0;
    int fail_at = -1;
} allocations;

bool allocation_fails() {
    if (!allocations.armed) return false;
    return allocations.count++ == allocations.fail_at;
}

} // namespace

extern "C" {
void *__real_malloc(size_t size);
void *__real_calloc(size_t count, size_t size);
void *__real_realloc(void *block, size_t size);

void *__wrap_malloc(size_t size) { return allocation_fails() ? nullptr : __real_malloc(size); }
void *__wrap_calloc(size_t count, size_t size) {
    return allocation_fails() ? nullptr : __real_calloc(count, size);
}
void *__wrap_realloc(void *block, size_t size) {
    return allocation_fails() ? nullptr : __real_realloc(block, size);
}
}

namespace {

using namespace audio_test;

// A file that makes open allocate as much as it can: an ID3v2 tag whose
// texts need re-decoding, and an ID3v1 tag behind it.
std::string richly_tagged_file(ScratchDir &scratch) {
    std::string title(40, '\x80'); // grows threefold from code page 1252
    std::string v2 = id3::v2_tag(3, {id3::text("TIT2", id3::latin1, title),
                                     id3::text("TPE1", id3::latin1, "Artist"),
                                     id3::text("TALB", id3::utf8, "Album"),
                                     id3::text("TYER", id3::latin1, "2020"),
                                     id3::text("TCON", id3::latin1, "Genre"),
                                     id3::comment(id3::latin1, "", "Comment")});
    std::string v1 = id3::v1_tag({.title = "T", .artist = "A", .album = "B", .year = "1"});
    return scratch.file("rich.mp3", v2 + read_file(fixture("short_mono_16000.mp3")) + v1);
}

TEST(Mp3AllocationFailure, EveryFailingAllocationFailsTheOpenCleanly) {
    ASSERT_EQ(decoder_mp3_set_tag_native_encoding("CP1252"), 0);
    reference_sound_reset(16000, 1);
    ScratchDir scratch;
    const std::string path = richly_tagged_file(scratch);
    const int descriptors = open_descriptors();
    int failures = 0;
    for (int fail_at = 0;; ++fail_at) {
        allocations = {true, 0, fail_at};
        audio_stream *stream = decoder_mp3.open(path.c_str());
        bool failure_happened = allocations.count > fail_at;
        allocations.armed = false;
        if (!failure_happened) {
            ASSERT_NE(stream, nullptr);
            ASSERT_NE(stream->tags, nullptr);
            EXPECT_NE(stream->tags->title, nullptr);
            decoder_mp3.close(stream);
            break;
        }
        EXPECT_EQ(stream, nullptr) << "allocation " << fail_at;
        if (stream) decoder_mp3.close(stream);
        EXPECT_EQ(open_descriptors(), descriptors) << "allocation " << fail_at;
        failures++;
    }
    EXPECT_GE(failures, 10) << "every tag text, the converter buffers and the records";
    decoder_mp3_set_tag_native_encoding(nullptr);
}

} // namespace
