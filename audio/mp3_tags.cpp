// Tag text of MP3 files. ID3v2 texts arrive raw from mpg123 (their ID3
// encoding byte first) and are converted to UTF-8 here; texts that claim
// ISO-8859-1 are re-decoded from the native encoding when one is set, since
// legacy taggers wrote local code pages into such frames. ID3v1 fields carry
// no encoding at all and are read in the native encoding. Whatever a frame
// holds, every text leaves as well-formed UTF-8: frames marked UTF-8 may
// hold any bytes, mpg123 passes lone UTF-16 surrogates on encoded, and
// ID3v1 fields without a native encoding are copied as they are.
#include "mp3_tags.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include <array>
#include <string_view>

#include "mp3_tag_encoding.h"
#include "tags.h"
#include "utf8_text.h"

namespace audio {
namespace {

// Each conversion below stores a new text or null in *text and returns
// false only when memory ran out.

char *copy_text(std::string_view bytes) {
    auto *text = static_cast<char *>(malloc(bytes.size() + 1));
    if (!text) return nullptr;
    memcpy(text, bytes.data(), bytes.size());
    text[bytes.size()] = '\0';
    return text;
}

// Converts bytes with cd into a new NUL-terminated text of *length bytes.
// The buffer grows until the output fits: one input byte may need three
// UTF-8 bytes or more, so no fixed ratio is safe. An invalid or incomplete
// sequence ends the conversion and what came before it is kept. Null when
// memory runs out.
char *convert_text(libiconv_t cd, std::string_view bytes, size_t *length) {
    libiconv(cd, nullptr, nullptr, nullptr, nullptr); // back to the initial state
    char *in = const_cast<char *>(bytes.data());
    size_t in_left = bytes.size();
    size_t used = 0;
    size_t room = 2 * bytes.size() + 1; // bytes before the terminator
    char *text = nullptr;
    for (;;) {
        auto *grown = static_cast<char *>(realloc(text, room + 1));
        if (!grown) {
            free(text);
            return nullptr;
        }
        text = grown;
        char *out = text + used;
        size_t out_left = room - used;
        size_t result = libiconv(cd, &in, &in_left, &out, &out_left);
        used = (size_t)(out - text);
        if (result != (size_t)-1 || errno != E2BIG) break;
        room *= 2;
    }
    text[used] = '\0';
    *length = used;
    return text;
}

// Gives back the bytes that were in the tag (UTF-8 to ISO-8859-1) and reads
// them in the native encoding.
char *redecode_from_native(const TagConverters &converters, std::string_view utf8) {
    size_t length;
    char *tag_bytes = convert_text(converters.to_latin1, utf8, &length);
    if (!tag_bytes) return nullptr;
    char *text = convert_text(converters.from_native, {tag_bytes, length}, &length);
    free(tag_bytes);
    return text;
}

// Replaces the raw text by its UTF-8 conversion, which mpg123 then owns and
// frees like the raw one. Returns the text's encoding.
int convert_in_place(mpg123_string *raw) {
    mpg123_text_encoding encoding = mpg123_enc_from_id3((unsigned char)raw->p[0]);
    mpg123_string utf8;
    mpg123_init_string(&utf8);
    mpg123_store_utf8(&utf8, encoding, reinterpret_cast<unsigned char *>(raw->p) + 1,
                      raw->fill - 1);
    mpg123_free_string(raw);
    *raw = utf8;
    return encoding;
}

// The first line: the bytes before the first NUL, LF or CR after the first
// byte (a terminator in the first byte does not end the line), and before
// any NUL. False when no terminator follows.
bool first_line(const mpg123_string &text, std::string_view *line) {
    for (size_t i = 1; i < text.fill; ++i) {
        char c = text.p[i];
        if (c == '\0' || c == '\n' || c == '\r') {
            *line = std::string_view(text.p, strnlen(text.p, i));
            return true;
        }
    }
    return false;
}

bool id3v2_text(mpg123_string *raw, const TagConverters &converters, char **text) {
    *text = nullptr;
    if (!raw || raw->fill == 0) return true;
    int encoding = convert_in_place(raw);
    std::string_view line;
    if (raw->fill == 0 || !first_line(*raw, &line)) return true;
    bool redecode =
        encoding == mpg123_text_latin1 && converters.from_native && converters.to_latin1;
    *text = redecode ? redecode_from_native(converters, line) : copy_text(line);
    return *text != nullptr && make_well_formed_utf8(text);
}

// A fixed-width ID3v1 field without its trailing spaces, up to its first NUL.
template <size_t width>
std::string_view id3v1_field(const char (&field)[width]) {
    size_t end = width;
    while (end > 0 && field[end - 1] == ' ') end--;
    return {field, strnlen(field, end)};
}

bool id3v1_text(std::string_view bytes, libiconv_t from_native, char **text) {
    *text = nullptr;
    if (bytes.empty()) return true;
    size_t length;
    *text = from_native ? convert_text(from_native, bytes, &length) : copy_text(bytes);
    return *text != nullptr && make_well_formed_utf8(text);
}

// The frame texts of an ID3v2 tag in the order of tag_fields.
std::array<mpg123_string *, tag_field_count> id3v2_texts(const mpg123_id3v2 &v2) {
    return {v2.title, v2.artist, v2.album, v2.year, v2.genre, v2.comment};
}

// The fields of an ID3v1 tag in the order of tag_fields. Its genre is a
// number and stays unconverted: empty, so the text is null.
std::array<std::string_view, tag_field_count> id3v1_texts(const mpg123_id3v1 &v1) {
    return {id3v1_field(v1.title), id3v1_field(v1.artist), id3v1_field(v1.album),
            id3v1_field(v1.year),  std::string_view(),     id3v1_field(v1.comment)};
}

bool fill_from_id3v2(const mpg123_id3v2 &v2, const TagConverters &converters, audio_tags *tags) {
    const auto texts = id3v2_texts(v2);
    for (size_t i = 0; i < tag_field_count; ++i)
        if (!id3v2_text(texts[i], converters, &(tags->*tag_fields[i]))) return false;
    return true;
}

bool fill_from_id3v1(const mpg123_id3v1 &v1, libiconv_t from_native, audio_tags *tags) {
    const auto texts = id3v1_texts(v1);
    for (size_t i = 0; i < tag_field_count; ++i)
        if (!id3v1_text(texts[i], from_native, &(tags->*tag_fields[i]))) return false;
    return true;
}

} // namespace

bool mp3_read_tags(mpg123_handle *handle, audio_tags **result) {
    *result = nullptr;
    mpg123_id3v1 *v1 = nullptr;
    mpg123_id3v2 *v2 = nullptr;
    if (!(mpg123_meta_check(handle) & MPG123_ID3)) return true;
    if (mpg123_id3(handle, &v1, &v2) != MPG123_OK) return true;
    TagConverters converters = mp3_tag_converters();
    if (v2) {
        OwnedTags tags{tags_new()};
        if (!tags || !fill_from_id3v2(*v2, converters, tags.get())) return false;
        if (tags_have_title_artist_or_album(*tags)) {
            *result = tags.release();
            return true;
        }
    }
    if (v1) {
        OwnedTags tags{tags_new()};
        if (!tags || !fill_from_id3v1(*v1, converters.from_native, tags.get())) return false;
        *result = tags.release();
    }
    return true;
}

} // namespace audio
