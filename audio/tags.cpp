// The tag record shared by the decoders.
#include "tags.h"

#include <stdlib.h>

namespace audio {

audio_tags *tags_new() { return static_cast<audio_tags *>(calloc(1, sizeof(audio_tags))); }

void tags_free(audio_tags *tags) {
    if (!tags) return;
    for (char *text : {tags->title, tags->artist, tags->album, tags->year, tags->genre,
                       tags->description})
        free(text);
    free(tags);
}

bool tags_have_title_artist_or_album(const audio_tags &tags) {
    return tags.title || tags.artist || tags.album;
}

} // namespace audio
