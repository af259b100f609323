// What the audio tests share: the media make_fixtures.sh generates, streams that close.
#pragma once

#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <string>

#include "process_resources.h"
#include "tolmek_audio.h"

inline std::string fixture(const std::string &name) {
    const char *dir = getenv("TOLMEK_AUDIO_FIXTURES");
    return std::string(dir ? dir : "fixtures") + "/" + name;
}

inline std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

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

    // Reads to the end, or to a -1 (kept in *last), chunk bytes at a time.
    std::string read_all(size_t chunk, int *last = nullptr) {
        std::string pcm, buffer(chunk, '\0');
        int result;
        while ((result = read(buffer.data(), chunk)) > 0) pcm.append(buffer.data(), (size_t)result);
        if (last) *last = result;
        return pcm;
    }

    const audio_decoder &decoder;
    audio_stream *stream;
};
