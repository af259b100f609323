// ID3 tags built byte by byte, so that each tag case is exact.
#ifndef TOLMEK_AUDIO_TESTS_ID3_H
#define TOLMEK_AUDIO_TESTS_ID3_H

#include <stdint.h>
#include <stdlib.h>

#include <string>
#include <string_view>
#include <vector>

namespace audio_test::id3 {

// ID3v2 text encoding bytes.
constexpr uint8_t latin1 = 0, utf16_bom = 1, utf8 = 3;

struct Frame {
    std::string id;   // four characters, "TIT2"
    std::string data; // the frame body as stored
};

// A text frame: the encoding byte, then the bytes as given.
inline Frame text(std::string id, uint8_t encoding, std::string_view bytes) {
    return {std::move(id), std::string(1, (char)encoding) + std::string(bytes)};
}

// A comment frame in ISO-8859-1 with an empty description.
inline Frame comment(std::string_view text) {
    return {"COMM", std::string("\0eng\0", 5) + std::string(text)};
}

// UTF-16 little-endian with its byte order mark, from UTF-16 code units.
inline std::string utf16_with_bom(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) {
        bytes += (char)(unit & 0xFF);
        bytes += (char)(unit >> 8);
    }
    return bytes;
}

// value as four big-endian bytes of bits_per_byte bits each.
inline std::string big_endian(uint32_t value, int bits_per_byte) {
    std::string bytes(4, '\0');
    for (int i = 3; i >= 0; --i) {
        bytes[i] = (char)(value & ((1u << bits_per_byte) - 1));
        value >>= bits_per_byte;
    }
    return bytes;
}

// A whole ID3v2 tag of version 3 or 4 (frame sizes are plain 32-bit
// numbers in version 3 and syncsafe in version 4).
inline std::string v2_tag(int version, const std::vector<Frame> &frames) {
    std::string body;
    for (const Frame &frame : frames) {
        body += frame.id;
        body += big_endian((uint32_t)frame.data.size(), version == 4 ? 7 : 8);
        body += std::string(2, '\0'); // flags
        body += frame.data;
    }
    return std::string("ID3") + (char)version + '\0' + '\0' +
           big_endian((uint32_t)body.size(), 7) + body;
}

struct V1Fields {
    std::string title = {}, artist = {}, album = {}; // up to 30 bytes each
    std::string year = {};                           // up to 4 bytes
    std::string comment = {};                        // up to 30 bytes
    uint8_t genre = 255;
};

// field padded with NULs to its width.
inline std::string padded(const std::string &field, size_t width) {
    if (field.size() > width) abort();
    return field + std::string(width - field.size(), '\0');
}

// A 128-byte ID3v1 tag.
inline std::string v1_tag(const V1Fields &fields) {
    return "TAG" + padded(fields.title, 30) + padded(fields.artist, 30) +
           padded(fields.album, 30) + padded(fields.year, 4) + padded(fields.comment, 30) +
           (char)fields.genre;
}

} // namespace audio_test::id3

#endif
