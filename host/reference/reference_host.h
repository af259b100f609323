/*
 * Controls of the reference host, for tests and tools in C or C++. The services
 * themselves are declared in host_services.h.
 */
#pragma once

#include "host_services.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Sets the output that MP3 decoding is forced to (sound_rate, sound_chans),
 * forgets every announcement and refusal. */
void reference_sound_reset(int rate, int chans);

/* What the host refuses from now on until the next reset. */
typedef enum reference_sound_setting {
    SOUND_FORMAT,
    SOUND_CHANNELS,
    SOUND_RATE
} reference_sound_setting;
void reference_sound_refuse(reference_sound_setting setting);

/* Every announcement since the reset, accepted or refused, in call order:
 * "format 16, channels 2, rate 44100". Long logs are cut at 511 bytes. */
const char *reference_sound_log(void);

/* The value last accepted for a setting, or 0 when none was. */
int reference_sound_accepted(reference_sound_setting setting);

/* How many times linked_init has been called in this process. */
unsigned reference_list_inits(void);

#ifdef __cplusplus
}
#endif
