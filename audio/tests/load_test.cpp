// The library as the host player loads it, binding every symbol at once; the
// registry picks a decoder by extension in any letter case.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "fixtures.h"
#include "reference_host.h"

TEST(AudioLoad, BindsEverythingAtLoadTimeAndDecodes) {
    void *library = dlopen(TOLMEK_AUDIO_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto *get = reinterpret_cast<const audio_decoder *(*)(const char *)>(
        dlsym(library, "audio_get_decoder"));
    auto *init = reinterpret_cast<int (*)()>(dlsym(library, "audio_init"));
    ASSERT_TRUE(get && init && init() == 0);
    for (auto [path, decoder] : {std::pair{"a.MP3", "decoder_mp3"},
                                 {"b.Ogg", "decoder_vorbis"},
                                 {"c.flac", "decoder_flac"},
                                 {"d.wav", ""},
                                 {"e.mp3.txt", ""}})
        EXPECT_EQ(get(path), *decoder ? dlsym(library, decoder) : nullptr) << path;
    reference_sound_reset(16000, 1);
    EXPECT_NE(DecoderStream("short_mono_16000.mp3", *get("a.mp3")).read_all(4096), "");
    EXPECT_EQ(reinterpret_cast<int (*)()>(dlsym(library, "audio_exit"))(), 0);
    EXPECT_EQ(dlclose(library), 0);
}
