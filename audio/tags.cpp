// The tag record shared by the decoders.
#include "tags.h"

#include <stdlib.h>

#include "utf8_text.h"

namespace audio {

audio_tags *tags_new() { return static_cast<audio_tags *>(calloc(1, sizeof(audio_tags))); }

void tags_free_texts(audio_tags *tags) {
    for (char *audio_tags::*field : tag_fields) {
        free(tags->*field);
        tags->*field = nullptr;
    }
}

void tags_free(audio_tags *tags) {
    if (!tags) return;
    tags_free_texts(tags);
    free(tags);
}

bool tags_make_well_formed(audio_tags *tags) {
    bool enough_memory = true;
    for (char *audio_tags::*field : tag_fields)
        enough_memory = make_well_formed_utf8(&(tags->*field)) && enough_memory;
    return enough_memory;
}

bool tags_have_title_artist_or_album(const audio_tags &tags) {
    return tags.title || tags.artist || tags.album;
}

} // namespace audio
