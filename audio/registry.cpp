// The decoder registry: the table of every decoder this library carries.
#include "decoder_walk.h"
#include "host_services.h"

namespace {

// The order decides initialisation, roll-back, shutdown and which decoder
// wins when two list the same extension.
constexpr const audio_decoder *audio_decoders[] = {
    &decoder_mp3,
    &decoder_vorbis,
    &decoder_flac,
};

} // namespace

extern "C" int audio_init(void) { return audio::init_all(audio_decoders); }

extern "C" int audio_exit(void) { return audio::exit_all(audio_decoders); }

extern "C" const audio_decoder *audio_get_decoder(const char *path) {
    return audio::find_by_extension(audio_decoders, file_get_ext(path));
}
