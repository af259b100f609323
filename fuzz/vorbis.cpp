// The Ogg Vorbis decoder over the reference host: a file of the input's
// bytes after the six that steer the walk, opened and walked
// (stream_walk.h).
#include "stream_walk.h"

// Tremor itself leaks when it opens a chained stream whose later link is
// broken (ov_open fails after finding that link: the link's list of serial
// numbers and its headers stay allocated), out of reach of its caller.
// Allocations made inside Tremor are therefore not counted as leaks here;
// the decoder's own ones are, and a stream that close forgets to clear
// still shows as a descriptor left open.
extern "C" const char *__lsan_default_suppressions() { return "leak:libvorbisidec.so\n"; }

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  fuzz::check(audio_init() == 0, "audio_init");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  int channels = fuzz::open_and_walk(decoder_vorbis, data, size);
  fuzz::check(channels >= 0 && channels <= 255, "Vorbis carries 1 to 255 channels");
  return 0;
}
