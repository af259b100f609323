// Vorbis comments ("KEY=value") as tags, for the Vorbis and FLAC decoders.
#pragma once

#include <stddef.h>

#include "tolmek_audio.h"

namespace audio {

// The field of tags that comment sets, with *value_offset the length of its
// key and "="; null when its key is none that tags carry.
char **vorbis_comment_field(const char *comment, audio_tags *tags, size_t *value_offset);

} // namespace audio
