// The comment parser that the Vorbis decoder exports and the FLAC decoder
// shares: both formats carry their tags as Vorbis comments.
#include "vorbis_comment.h"

#include <stdlib.h>
#include <string.h>

#include <string_view>

namespace audio {
namespace {

struct Key {
    std::string_view prefix; // the key and its "=", matched with letter case
    char *audio_tags::*field;
};

constexpr Key keys[] = {
    {"TITLE=", &audio_tags::title}, {"ARTIST=", &audio_tags::artist},
    {"ALBUM=", &audio_tags::album}, {"YEAR=", &audio_tags::year},
    {"GENRE=", &audio_tags::genre}, {"DESCRIPTION=", &audio_tags::description},
};

} // namespace

char **vorbis_comment_field(const char *comment, audio_tags *tags, size_t *value_offset) {
    for (const Key &key : keys) {
        if (strncmp(comment, key.prefix.data(), key.prefix.size()) != 0) continue;
        *value_offset = key.prefix.size();
        return &(tags->*key.field);
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
    if (copy) {
        value = strdup(value);
        if (!value) return nullptr;
        free(*field); // a record filled with copies owns each of its texts
    }
    *field = value;
    return value;
}
