#include "id3.h"

#include <stdlib.h>

namespace audio_test::id3 {
namespace {

std::string big_endian(uint32_t value, int bits_per_byte) {
    std::string bytes(4, '\0');
    uint32_t mask = (1u << bits_per_byte) - 1;
    for (int i = 3; i >= 0; --i) {
        bytes[i] = (char)(value & mask);
        value >>= bits_per_byte;
    }
    return bytes;
}

std::string padded(const std::string &field, size_t width) {
    if (field.size() > width) abort();
    return field + std::string(width - field.size(), '\0');
}

} // namespace

Frame text(std::string id, uint8_t encoding, std::string_view bytes) {
    return {std::move(id), std::string(1, (char)encoding) + std::string(bytes)};
}

Frame comment(uint8_t encoding, std::string_view description, std::string_view text) {
    bool wide = encoding == utf16_bom || encoding == utf16be;
    std::string data(1, (char)encoding);
    data += "eng";
    data += description;
    data += std::string(wide ? 2 : 1, '\0');
    data += text;
    return {"COMM", data};
}

std::string utf16_with_bom(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) {
        bytes += (char)(unit & 0xFF);
        bytes += (char)(unit >> 8);
    }
    return bytes;
}

std::string v2_tag(int version, const std::vector<Frame> &frames) {
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

std::string v1_tag(const V1Fields &fields) {
    return "TAG" + padded(fields.title, 30) + padded(fields.artist, 30) +
           padded(fields.album, 30) + padded(fields.year, 4) + padded(fields.comment, 30) +
           (char)fields.genre;
}

} // namespace audio_test::id3
