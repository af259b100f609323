// The library as the host player loads it: dlopen with every symbol bound
// at once, from a process that provides the host services and links the
// dependencies, then used only through what dlsym finds: the registry picks
// a decoder by extension in any letter case, and the MP3 one decodes.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "fixtures.h"
#include "reference_host.h"

TEST(AudioLoad, BindsEverythingAtLoadTimeAndDecodes) {
    void *library = dlopen(TOLMEK_AUDIO_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto *init = reinterpret_cast<int (*)()>(dlsym(library, "audio_init"));
    auto *exit = reinterpret_cast<int (*)()>(dlsym(library, "audio_exit"));
    auto *get_decoder = reinterpret_cast<const audio_decoder *(*)(const char *)>(
        dlsym(library, "audio_get_decoder"));
    auto *mp3 = static_cast<const audio_decoder *>(dlsym(library, "decoder_mp3"));
    ASSERT_TRUE(init && exit && get_decoder && mp3);

    ASSERT_EQ(init(), 0);
    const std::pair<const char *, const char *> decoders[] = {
        {"a.MP3", "decoder_mp3"}, {"b.Ogg", "decoder_vorbis"}, {"c.flac", "decoder_flac"}};
    for (const auto &[path, decoder] : decoders)
        EXPECT_EQ(get_decoder(path), dlsym(library, decoder)) << path;
    for (const char *path : {"d.wav", "mp3", "e.mp3.txt"}) EXPECT_EQ(get_decoder(path), nullptr);
    reference_sound_reset(16000, 1);
    audio_stream *stream = mp3->open(audio_test::fixture("tagged_cp949.mp3").c_str());
    ASSERT_NE(stream, nullptr);
    char pcm[4096];
    EXPECT_GT(mp3->read(stream, pcm, sizeof pcm), 0);
    mp3->close(stream);
    EXPECT_EQ(exit(), 0);
    EXPECT_EQ(dlclose(library), 0);
}
