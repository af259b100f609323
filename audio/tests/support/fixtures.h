// What the audio tests share: the generated fixtures, scratch files built
// from them, streams that close themselves, a descriptor count and ID3 tags.
#ifndef TOLMEK_AUDIO_TESTS_FIXTURES_H
#define TOLMEK_AUDIO_TESTS_FIXTURES_H

#include <dirent.h>
#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "process_resources.h"
#include "tolmek_audio.h"

namespace audio_test {

// The path of a generated fixture, e.g. fixture("stereo_44100.mp3"), in the
// directory that TOLMEK_AUDIO_FIXTURES names.
inline std::string fixture(const std::string &name) {
    const char *dir = getenv("TOLMEK_AUDIO_FIXTURES");
    return std::string(dir ? dir : "fixtures") + "/" + name;
}

inline std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) abort();
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Writes bytes into a file of that name beside the fixtures and returns its
// path. Names must differ between test programs, which may run at once.
inline std::string scratch_file(const std::string &name, const std::string &bytes) {
    std::string path = fixture("scratch_" + name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// A stream of any decoder, closed by it at the end of its scope.
class DecoderStream {
public:
    DecoderStream(const audio_decoder &decoder, const std::string &path)
        : decoder_(decoder), stream_(decoder.open(path.c_str())) {}
    ~DecoderStream() {
        if (stream_) decoder_.close(stream_);
    }
    explicit operator bool() const { return stream_ != nullptr; }
    audio_stream *operator->() const { return stream_; }
    int read(void *buffer, size_t length) { return decoder_.read(stream_, buffer, length); }
    int seek(int64_t position) { return decoder_.seek(stream_, position); }
    int64_t tell() { return decoder_.tell(stream_); }

    // Reads to the end (or to a -1, kept in *last) in pieces of chunk bytes.
    std::string read_all(size_t chunk, int *last = nullptr) {
        std::string pcm, buffer(chunk, '\0');
        int n;
        while ((n = read(buffer.data(), chunk)) > 0) pcm.append(buffer.data(), (size_t)n);
        if (last) *last = n;
        return pcm;
    }

private:
    const audio_decoder &decoder_;
    audio_stream *stream_;
};

// The present texts of a tag record in record order, "title=…|artist=…";
// "no record" for null.
inline std::string describe_tags(const audio_tags *tags) {
    if (!tags) return "no record";
    const std::pair<const char *, const char *> fields[] = {
        {"title", tags->title}, {"artist", tags->artist}, {"album", tags->album},
        {"year", tags->year},   {"genre", tags->genre},   {"description", tags->description}};
    std::string text;
    for (const auto &[name, value] : fields)
        if (value) text += (text.empty() ? "" : "|") + std::string(name) + "=" + value;
    return text;
}

// ID3 tags built byte by byte, so that each tag case is exact.
namespace id3 {

// ID3v2 text encoding bytes.
constexpr char latin1 = 0, utf16_bom = 1, utf8 = 3;

// A frame: its four-character id ("TIT2") and its body as stored.
using Frame = std::pair<std::string, std::string>;

// A text frame: the encoding byte, then the bytes as given.
inline Frame text(std::string id, char encoding, const std::string &bytes) {
    return {std::move(id), encoding + bytes};
}

// A comment frame in ISO-8859-1 with an empty description.
inline Frame comment(const std::string &text) { return {"COMM", std::string("\0eng\0", 5) + text}; }

// UTF-16 little-endian with its byte order mark.
inline std::string utf16_with_bom(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) bytes += {(char)(unit & 0xFF), (char)(unit >> 8)};
    return bytes;
}

// value as four big-endian bytes of bits bits each.
inline std::string big_endian(uint32_t value, int bits) {
    std::string bytes(4, '\0');
    for (int i = 3; i >= 0; --i, value >>= bits) bytes[i] = (char)(value & ((1u << bits) - 1));
    return bytes;
}

// A whole ID3v2 tag of version 3 or 4 (frame sizes are plain 32-bit
// numbers in version 3 and syncsafe in version 4).
inline std::string v2_tag(int version, const std::vector<Frame> &frames) {
    std::string body;
    for (const auto &[id, data] : frames)
        body += id + big_endian((uint32_t)data.size(), version == 4 ? 7 : 8) +
                std::string(2, '\0') + data;
    return "ID3" + std::string{(char)version, 0, 0} + big_endian((uint32_t)body.size(), 7) + body;
}

struct V1Fields {
    std::string title = {}, artist = {}, album = {}; // up to 30 bytes each
    std::string year = {};                           // up to 4 bytes
    std::string comment = {};                        // up to 30 bytes
    char genre = -1;
};

// A 128-byte ID3v1 tag, each field padded with NULs to its width.
inline std::string v1_tag(const V1Fields &fields) {
    auto padded = [](std::string field, size_t width) {
        field.resize(width, '\0');
        return field;
    };
    return "TAG" + padded(fields.title, 30) + padded(fields.artist, 30) + padded(fields.album, 30) +
           padded(fields.year, 4) + padded(fields.comment, 30) + fields.genre;
}

} // namespace id3

} // namespace audio_test

#endif
