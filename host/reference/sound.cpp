// Sound services of the reference host: nothing is played; every
// announcement is logged, and tests may have the host refuse a setting.
#include <stdio.h>

#include "reference_host.h"

extern "C" {
int32_t sound_rate = 44100;
int32_t sound_chans = 2;
}

namespace {

struct SoundState {
    bool refused[3];
    int accepted[3];
    char log[512];
    size_t log_length;
};

SoundState state;

constexpr const char *setting_names[] = {"format", "channels", "rate"};

void log_call(reference_sound_setting setting, int value) {
    size_t room = sizeof state.log - state.log_length;
    int n = snprintf(state.log + state.log_length, room, "%s%s %d", state.log_length ? ", " : "",
                     setting_names[setting], value);
    if (n > 0) state.log_length += (size_t)n < room ? (size_t)n : room - 1;
}

int announce(reference_sound_setting setting, int value) {
    log_call(setting, value);
    if (state.refused[setting]) return -1;
    state.accepted[setting] = value;
    return 0;
}

} // namespace

extern "C" int sound_set_format(int bits) { return announce(SOUND_FORMAT, bits); }
extern "C" int sound_set_channels(int channels) { return announce(SOUND_CHANNELS, channels); }
extern "C" int sound_set_rate(int rate) { return announce(SOUND_RATE, rate); }

void reference_sound_reset(int rate, int chans) {
    state = SoundState{};
    sound_rate = rate;
    sound_chans = chans;
}

void reference_sound_refuse(reference_sound_setting setting) { state.refused[setting] = true; }

const char *reference_sound_log() { return state.log; }

int reference_sound_accepted(reference_sound_setting setting) { return state.accepted[setting]; }
