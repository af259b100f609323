// The tags of an MP3 stream, read once when it opens.
#pragma once

#include <mpg123.h>

#include "tolmek_audio.h"

namespace audio {

// Builds the tag record of a handle that has read its first frame: from the
// ID3v2 tag when that names a title, an artist or an album, otherwise from
// the ID3v1 tag. *tags becomes the record (owned texts, released with
// tags_free), or null when the file has no usable tag. Returns false when
// memory runs out; nothing is left allocated then. The handle is set up
// with MPG123_PLAIN_ID3TEXT, and mpg123 keeps owning its tag storage, into
// which the ID3v2 texts are converted in place.
bool mp3_read_tags(mpg123_handle *handle, audio_tags **tags);

} // namespace audio
