// ID3 tags built byte by byte, so that each tag case is exact.
#ifndef TOLMEK_AUDIO_TESTS_ID3_H
#define TOLMEK_AUDIO_TESTS_ID3_H

#include <stdint.h>

#include <string>
#include <string_view>
#include <vector>

namespace audio_test::id3 {

// ID3v2 text encoding bytes.
constexpr uint8_t latin1 = 0, utf16_bom = 1, utf16be = 2, utf8 = 3;

struct Frame {
    std::string id;   // four characters, "TIT2"
    std::string data; // the frame body as stored
};

// A text frame body: the encoding byte, then the bytes as given.
Frame text(std::string id, uint8_t encoding, std::string_view bytes);

// A comment frame body: encoding, language, description and its
// terminator (two NULs in UTF-16), then the text.
Frame comment(uint8_t encoding, std::string_view description, std::string_view text);

// UTF-16 little-endian with its byte order mark, from UTF-16 code units.
std::string utf16_with_bom(std::u16string_view text);

// A whole ID3v2 tag of version 3 or 4 (frame sizes are plain 32-bit
// numbers in version 3 and syncsafe in version 4).
std::string v2_tag(int version, const std::vector<Frame> &frames);

struct V1Fields {
    std::string title = {}, artist = {}, album = {}; // up to 30 bytes each
    std::string year = {};                           // up to 4 bytes
    std::string comment = {};                        // up to 30 bytes
    uint8_t genre = 255;
};

// A 128-byte ID3v1 tag; each field is padded with NULs to its width.
std::string v1_tag(const V1Fields &fields);

} // namespace audio_test::id3

#endif
