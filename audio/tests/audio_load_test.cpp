// The library as the host player loads it: dlopen with every symbol bound
// at once, from a process that provides the host services and links the
// dependencies, then used only through what dlsym finds. The library's
// path is compiled in as TOLMEK_AUDIO_LIBRARY.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "fixtures.h"
#include "reference_host.h"

namespace {

TEST(AudioLoad, BindsEverythingAtLoadTimeAndDecodes) {
    void *library = dlopen(TOLMEK_AUDIO_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();

    auto *init = reinterpret_cast<int (*)()>(dlsym(library, "audio_init"));
    auto *exit = reinterpret_cast<int (*)()>(dlsym(library, "audio_exit"));
    auto *get_decoder =
        reinterpret_cast<const audio_decoder *(*)(const char *)>(dlsym(library, "audio_get_decoder"));
    auto *set_encoding =
        reinterpret_cast<int (*)(const char *)>(dlsym(library, "decoder_mp3_set_tag_native_encoding"));
    auto *mp3 = static_cast<const audio_decoder *>(dlsym(library, "decoder_mp3"));
    auto *use_scan = static_cast<uint8_t *>(dlsym(library, "decoder_mp3_use_scan"));
    auto *encoding = static_cast<const char *>(dlsym(library, "decoder_mp3_tag_native_encoding"));
    ASSERT_TRUE(init && exit && get_decoder && set_encoding && mp3 && use_scan && encoding);

    ASSERT_EQ(init(), 0);
    EXPECT_EQ(get_decoder("/music/tone.MP3"), mp3);
    *use_scan = 1;

    reference_sound_reset(16000, 1);
    const std::string path = audio_test::fixture("tagged_cp949.mp3");
    audio_stream *stream = mp3->open(path.c_str());
    ASSERT_NE(stream, nullptr);
    int64_t frames = 0;
    char pcm[4096];
    for (int n; (n = mp3->read(stream, pcm, sizeof pcm)) > 0;) frames += n / 2;
    EXPECT_EQ(frames, stream->length);
    mp3->close(stream);

    EXPECT_EQ(exit(), 0);
    EXPECT_EQ(dlclose(library), 0);
}

} // namespace
