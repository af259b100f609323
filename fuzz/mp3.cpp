// The MP3 decoder over the reference host: a file of the input's bytes
// under host settings from the input, opened and walked (stream_walk.h).
//
// The first 8 bytes set up the run, the rest is the file:
//   0    bit 0 scan first; bits 1-2 native tag encoding; bits 3-4 channels
//        wanted
//   1    output rate, an index into output_rates
//   2-7  the stream walk
#include <iterator>

#include "reference_host.h"
#include "stream_walk.h"

namespace {

constexpr std::size_t host_setup_size = 2;
// Rates a host may want, and one mpg123 refuses (stereo is forced then).
// Not 1 Hz: mpg123's resampler steps by rate / 44100 in fixed point, which
// is 0 there, and its seek then loops forever.
constexpr std::int32_t output_rates[] = {44100, 22050, 48000, 8000, 11025, 96000, 4000, 1000000};
constexpr const char *native_encodings[] = {nullptr, "CP949", "ISO-8859-1", "UTF-8"};
constexpr int wanted_channels[] = {2, 1, 3, 0};

// Converters are set up only when the encoding changes between inputs.
void use_native_encoding(const char *name) {
  static const char *current = nullptr;
  if (name == current) return;
  fuzz::check(decoder_mp3_set_tag_native_encoding(name) == 0, "setting the tag encoding");
  current = name;
}

void set_up_host(const std::uint8_t *setup) {
  reference_sound_reset(output_rates[setup[1] % std::size(output_rates)],
                        wanted_channels[(setup[0] >> 3) & 3]);
  decoder_mp3_use_scan = setup[0] & 1;
  use_native_encoding(native_encodings[(setup[0] >> 1) & 3]);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  fuzz::check(audio_init() == 0, "audio_init");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < host_setup_size) return 0;
  set_up_host(data);
  int channels = fuzz::open_and_walk(decoder_mp3, data + host_setup_size, size - host_setup_size);
  fuzz::check(channels >= 0 && channels <= 2, "forced to mono or stereo");
  return 0;
}
