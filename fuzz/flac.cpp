// The FLAC decoder over the reference host: a file of the input's bytes
// after the six that steer the walk, opened and walked (stream_walk.h).
#include "stream_walk.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  fuzz::check(audio_init() == 0, "audio_init");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  int channels = fuzz::open_and_walk(decoder_flac, data, size);
  fuzz::check(channels == 0 || channels == 2, "always delivered as two channels");
  return 0;
}
