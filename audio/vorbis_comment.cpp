// The comment parser that the Vorbis decoder exports and the FLAC decoder
// shares: both formats carry their tags as Vorbis comments.
#include "vorbis_comment.h"

#include <string.h>

#include <string_view>

#include "tags.h"

namespace audio {
namespace {

// The key of each field of tag_fields, in its order, with its "=".
constexpr std::string_view key_prefixes[] = {
    "TITLE=", "ARTIST=", "ALBUM=", "YEAR=", "GENRE=", "DESCRIPTION=",
};
static_assert(std::size(key_prefixes) == tag_field_count);

constexpr char ascii_upper(char c) { return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c; }

// Vorbis comment field names are ASCII and case-insensitive: "title=" and
// "Title=" name the title as "TITLE=" does. Whatever the locale, no other
// byte folds.
bool starts_with_key(const char *comment, std::string_view upper_key) {
    for (char k : upper_key)
        if (ascii_upper(*comment++) != k) return false;
    return true;
}

} // namespace

char **vorbis_comment_field(const char *comment, audio_tags *tags, size_t *value_offset) {
    for (size_t i = 0; i < tag_field_count; ++i) {
        std::string_view prefix = key_prefixes[i];
        if (!starts_with_key(comment, prefix)) continue;
        *value_offset = prefix.size();
        return &(tags->*tag_fields[i]);
    }
    return nullptr;
}

} // namespace audio

// C linkage and export come from the declaration in the public header.
char *decoder_vorbis_parse_tag(char *comment, audio_tags *tags, uint8_t copy) {
    size_t value_offset;
    char **field = audio::vorbis_comment_field(comment, tags, &value_offset);
    if (!field) return nullptr;
    char *value = comment + value_offset;
    if (copy && !(value = strdup(value))) return nullptr;
    *field = value;
    return value;
}
