#include "reference_decoder.h"

#include <stdlib.h>

#include <mpg123.h>

namespace audio_test {

ReferencePcm reference_decode(const std::string &path, long rate, int channels) {
    mpg123_init();
    mpg123_handle *handle = mpg123_new(nullptr, nullptr);
    if (!handle) abort();
    mpg123_param(handle, MPG123_FORCE_RATE, rate, 0.0);
    mpg123_param(handle, MPG123_ADD_FLAGS, channels == 1 ? MPG123_FORCE_MONO : MPG123_FORCE_STEREO,
                 0.0);
    mpg123_param(handle, MPG123_RESYNC_LIMIT, 10240, 0.0);
    if (mpg123_open(handle, path.c_str()) != MPG123_OK) abort();
    ReferencePcm result{};
    unsigned char buffer[4096];
    for (;;) {
        size_t done = 0;
        int status = mpg123_read(handle, buffer, sizeof buffer, &done);
        result.pcm.append(reinterpret_cast<char *>(buffer), done);
        if (status != MPG123_OK && status != MPG123_NEW_FORMAT) break;
    }
    int encoding;
    mpg123_getformat(handle, &result.rate, &result.channels, &encoding);
    mpg123_close(handle);
    mpg123_delete(handle);
    return result;
}

} // namespace audio_test
