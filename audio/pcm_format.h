// The PCM every decoder delivers, and how it is announced to the host.
#pragma once

#include "host_services.h"

namespace audio {

constexpr int pcm_bits = 16; // signed samples in host byte order

// Announces the format of the next reads to the host: sample width, channel
// count, rate, stopping at the first value refused. True when all were
// accepted.
inline bool announce_pcm_format(int channels, int rate) {
    return sound_set_format(pcm_bits) == 0 && sound_set_channels(channels) == 0 &&
           sound_set_rate(rate) == 0;
}

} // namespace audio
