// What the audio tests share: the media make_fixtures.sh generates, streams that close.
#pragma once

#include <stdlib.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "process_resources.h"
#include "reference_host.h"
#include "tolmek_audio.h"

inline std::string fixture(const std::string &name) {
    const char *dir = getenv("TOLMEK_AUDIO_FIXTURES");
    return std::string(dir ? dir : "fixtures") + "/" + name;
}

inline std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

using Format = std::array<int64_t, 3>; // rate, channels, bytes of PCM
using Formats = std::vector<Format>;

struct DecoderStream {
    // The fixture of that name, by default with the decoder its extension picks.
    DecoderStream(const char *name, const audio_decoder &decoder)
        : decoder(decoder), stream(decoder.open(fixture(name).c_str())) {}
    explicit DecoderStream(const char *name) : DecoderStream(name, *audio_get_decoder(name)) {}
    ~DecoderStream() {
        if (stream) decoder.close(stream);
    }
    explicit operator bool() const { return stream != nullptr; }
    audio_stream *operator->() const { return stream; }
    int read(void *buffer, size_t length) { return decoder.read(stream, buffer, length); }
    int seek(int64_t position) { return decoder.seek(stream, position); }
    int64_t tell() { return decoder.tell(stream); }

    // Reads to the end or a -1 (in *last), cycling the sizes; *formats counts bytes by host format.
    std::string read_all(std::vector<size_t> sizes, int *last = {}, Formats *formats = {}) {
        std::string pcm, buffer(*std::max_element(sizes.begin(), sizes.end()), '\0');
        int result;
        for (size_t i = 0; (result = read(buffer.data(), sizes[i++ % sizes.size()])) > 0;) {
            pcm.append(buffer.data(), (size_t)result);
            if (!formats) continue;
            const Format format{reference_sound_accepted(SOUND_RATE),
                                reference_sound_accepted(SOUND_CHANNELS), 0};
            if (formats->empty() || !std::equal(&format[0], &format[2], &formats->back()[0]))
                formats->push_back(format);
            formats->back()[2] += result;
        }
        if (last) *last = result;
        return pcm;
    }

    const audio_decoder &decoder;
    audio_stream *stream;
};
