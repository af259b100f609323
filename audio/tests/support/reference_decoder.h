// What libmpg123 itself delivers for a file, decoded directly with the
// same forced output as the MP3 decoder asks for: the reference PCM.
#ifndef TOLMEK_AUDIO_TESTS_REFERENCE_DECODER_H
#define TOLMEK_AUDIO_TESTS_REFERENCE_DECODER_H

#include <string>

namespace audio_test {

struct ReferencePcm {
    std::string pcm; // every byte mpg123_read reported, in order
    long rate;       // the output format after the last change
    int channels;
};

// channels: 2 forces stereo, 1 forces mono. A rate mpg123 refuses to
// force leaves the file's own rate, as in the decoder.
ReferencePcm reference_decode(const std::string &path, long rate, int channels);

} // namespace audio_test

#endif
