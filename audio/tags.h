// The tag record as the decoders that own its texts build and release it.
#pragma once

#include <memory>

#include "tolmek_audio.h"

namespace audio {

// A new record with all six texts null, or null when memory runs out.
audio_tags *tags_new();

// Releases each present text with free, then the record. Null is allowed.
void tags_free(audio_tags *tags);

// Makes every text of a record that owns its texts well-formed UTF-8 (see
// make_well_formed_utf8). False when memory runs out; the texts that could
// not be repaired are then null.
bool tags_make_well_formed(audio_tags *tags);

// True when the record holds a title, an artist or an album.
bool tags_have_title_artist_or_album(const audio_tags &tags);

struct TagsDeleter {
    void operator()(audio_tags *tags) const { tags_free(tags); }
};
using OwnedTags = std::unique_ptr<audio_tags, TagsDeleter>;

} // namespace audio
