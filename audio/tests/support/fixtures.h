// What the audio tests share: the generated fixtures, streams that close
// themselves, tag records as text and ID3 tags built byte by byte.
#ifndef TOLMEK_AUDIO_TESTS_FIXTURES_H
#define TOLMEK_AUDIO_TESTS_FIXTURES_H

#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "process_resources.h"
#include "tolmek_audio.h"

namespace audio_test {

inline std::string fixture(const std::string &name) {
    const char *dir = getenv("TOLMEK_AUDIO_FIXTURES");
    return std::string(dir ? dir : "fixtures") + "/" + name;
}

inline std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A file beside the fixtures; names must differ between test programs.
inline std::string scratch_file(const std::string &name, const std::string &bytes) {
    std::ofstream(fixture("scratch_" + name), std::ios::binary) << bytes;
    return fixture("scratch_" + name);
}

struct DecoderStream {
    DecoderStream(const audio_decoder &decoder, const std::string &path)
        : decoder(decoder), stream(decoder.open(path.c_str())) {}
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
        int n;
        while ((n = read(buffer.data(), chunk)) > 0) pcm.append(buffer.data(), (size_t)n);
        if (last) *last = n;
        return pcm;
    }

    const audio_decoder &decoder;
    audio_stream *stream;
};

// "title=…|artist=…" for the texts present; "no record" for null.
inline std::string describe_tags(const audio_tags *tags) {
    if (!tags) return "no record";
    std::string text;
    for (auto [name, value] : {std::pair{"title", tags->title}, {"artist", tags->artist},
                               {"album", tags->album}, {"year", tags->year},
                               {"genre", tags->genre}, {"description", tags->description}})
        if (value) text += (text.empty() ? "" : "|") + std::string(name) + "=" + value;
    return text;
}

namespace id3 {

constexpr char latin1 = 0, utf16_bom = 1, utf8 = 3; // text encoding bytes
using Frame = std::pair<std::string, std::string>;  // id ("TIT2"), body

inline Frame text(std::string id, char encoding, const std::string &bytes) {
    return {std::move(id), encoding + bytes};
}

inline Frame comment(const std::string &text) { return {"COMM", std::string("\0eng\0", 5) + text}; }

inline std::string utf16_with_bom(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) bytes += {(char)(unit & 0xFF), (char)(unit >> 8)};
    return bytes;
}

// Frame sizes are plain numbers in version 3, syncsafe (7 bits a byte) in 4.
inline std::string v2_tag(int version, const std::vector<Frame> &frames) {
    auto big_endian = [](uint32_t value, int bits) {
        std::string bytes(4, '\0');
        for (int i = 3; i >= 0; --i, value >>= bits) bytes[i] = (char)(value & ((1u << bits) - 1));
        return bytes;
    };
    std::string body;
    for (const auto &[id, data] : frames)
        body += id + big_endian((uint32_t)data.size(), version == 4 ? 7 : 8) + '\0' + '\0' + data;
    return "ID3" + std::string{(char)version, 0, 0} + big_endian((uint32_t)body.size(), 7) + body;
}

struct V1Fields {
    std::string title = {}, artist = {}, album = {}, year = {}, comment = {};
    char genre = -1;
};

inline std::string v1_tag(const V1Fields &f) {
    auto padded = [](std::string field, size_t width) { return field.resize(width, '\0'), field; };
    return "TAG" + padded(f.title, 30) + padded(f.artist, 30) + padded(f.album, 30) +
           padded(f.year, 4) + padded(f.comment, 30) + f.genre;
}

} // namespace id3
} // namespace audio_test

#endif
