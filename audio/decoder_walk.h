// The three walks of the registry over a table of decoders, kept apart
// from the table itself so that they can be exercised on any table.
#pragma once

#include <strings.h>

#include <span>

#include "tolmek_audio.h"

namespace audio {

using DecoderTable = std::span<const audio_decoder *const>;

// Initialises the decoders in table order. When one fails, those before it
// are shut down again, in table order and ignoring their results, and the
// result is -1; the failing one and those after it are not touched.
inline int init_all(DecoderTable table) {
    for (size_t failed = 0; failed < table.size(); ++failed) {
        if (table[failed]->init() == 0) continue;
        for (size_t i = 0; i < failed; ++i) table[i]->exit();
        return -1;
    }
    return 0;
}

// Shuts the decoders down in table order, stopping at the first failure.
inline int exit_all(DecoderTable table) {
    for (const audio_decoder *decoder : table)
        if (decoder->exit() != 0) return -1;
    return 0;
}

// The first decoder, in table order, with ext among its first ext_count
// extensions, ignoring ASCII letter case; null when none has it.
inline const audio_decoder *find_by_extension(DecoderTable table, const char *ext) {
    for (const audio_decoder *decoder : table)
        for (uint32_t i = 0; i < decoder->ext_count; ++i)
            if (strcasecmp(ext, decoder->exts[i]) == 0) return decoder;
    return nullptr;
}

} // namespace audio
