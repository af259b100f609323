// The tag record as the decoders that own its texts build and release it.
#pragma once

#include <stddef.h>

#include <iterator>
#include <memory>

#include "tolmek_audio.h"

namespace audio {

// The six texts of a tag record, in the record's order. Every list of the
// fields, whatever the format, is kept in this order.
constexpr char *audio_tags::*tag_fields[] = {
    &audio_tags::title, &audio_tags::artist, &audio_tags::album,
    &audio_tags::year,  &audio_tags::genre,  &audio_tags::description,
};
constexpr size_t tag_field_count = std::size(tag_fields);

// A new record with all six texts null, or null when memory runs out.
audio_tags *tags_new();

// Releases each present text with free and makes it null.
void tags_free_texts(audio_tags *tags);

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
