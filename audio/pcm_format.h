// The PCM every decoder delivers, how it is announced to the host, how reads hand it out.
#pragma once

#include <limits.h>
#include <stddef.h>

#include <algorithm>

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

// The start of a read that fills its request in pieces and, when decoding fails after some bytes
// were delivered, returns those and keeps the failure for the next read. Returns the bytes the read
// may fill, so many that its result fits an int; or 0 when the read is to return *result at once:
// 0 for a request of none, -1 for a kept failure, which that reports.
inline size_t read_request(size_t length, bool *failure_kept, int *result) {
    *result = 0;
    if (length == 0) return 0;
    if (*failure_kept) {
        *failure_kept = false;
        *result = -1;
        return 0;
    }
    return std::min(length, (size_t)INT_MAX);
}

} // namespace audio
