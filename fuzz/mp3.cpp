// The MP3 decoder over the reference host: open a file of the input's
// bytes, read it with varying sizes, seek to a position from the input,
// read the tags, close.
//
// The first 8 bytes set up the run, the rest is the file:
//   0    bit 0 scan first; bits 1-2 native tag encoding; bits 3-4 channels
//        wanted
//   1    output rate, an index into output_rates
//   2    the seed of the read sizes
//   3    the read before which to seek
//   4-7  the seek position (int32, little-endian)
#include <initializer_list>
#include <iterator>

#include "reference_host.h"
#include "support.h"
#include "tolmek_audio.h"

namespace {

constexpr std::size_t setup_size = 8;
// Bytes of PCM decoded per input at most, so that one input takes
// milliseconds rather than seconds.
constexpr std::size_t decoded_limit = 128 * 1024;
// Rates a host may want, and one mpg123 refuses (stereo is forced then).
// Not 1 Hz: mpg123's resampler steps by rate / 44100 in fixed point, which
// is 0 there, and its seek then loops forever.
constexpr std::int32_t output_rates[] = {44100, 22050, 48000, 8000, 11025, 96000, 4000, 1000000};
constexpr const char *native_encodings[] = {nullptr, "CP949", "ISO-8859-1", "UTF-8"};
constexpr int wanted_channels[] = {2, 1, 3, 0};

struct Setup {
  explicit Setup(const std::uint8_t *b)
      : scan(b[0] & 1), encoding(native_encodings[(b[0] >> 1) & 3]),
        channels(wanted_channels[(b[0] >> 3) & 3]),
        rate(output_rates[b[1] % std::size(output_rates)]), read_seed(b[2]), seek_before(b[3]),
        position(static_cast<std::int32_t>(b[4] | b[5] << 8 | b[6] << 16 |
                                           std::uint32_t{b[7]} << 24)) {}
  bool scan;
  const char *encoding;
  int channels;
  std::int32_t rate;
  unsigned read_seed, seek_before;
  std::int64_t position;
};

// Converters are set up only when the encoding changes between inputs.
void use_native_encoding(const char *name) {
  static const char *current = nullptr;
  if (name == current) return;
  fuzz::check(decoder_mp3_set_tag_native_encoding(name) == 0, "setting the tag encoding");
  current = name;
}

void set_up_host(const Setup &setup) {
  reference_sound_reset(setup.rate, setup.channels);
  decoder_mp3_use_scan = setup.scan;
  use_native_encoding(setup.encoding);
}

void seek(audio_stream *stream, std::int64_t position) {
  if (position >= 0 && stream->length > 0) position %= stream->length + 1;
  int result = decoder_mp3.seek(stream, position);
  fuzz::check(result == 0 || result == -1, "seek's result");
  decoder_mp3.tell(stream);
}

void decode(audio_stream *stream, const Setup &setup) {
  static unsigned char buffer[16384];
  std::size_t decoded = 0;
  for (unsigned i = 0; decoded < decoded_limit; ++i) {
    if (i == setup.seek_before) seek(stream, setup.position);
    std::size_t wanted = 1 + (setup.read_seed * 7919u + i * 4099u) % sizeof buffer;
    int result = decoder_mp3.read(stream, buffer, wanted);
    fuzz::check(result >= -1 && result <= static_cast<int>(wanted), "read's result");
    if (result <= 0) break;
    decoded += static_cast<std::size_t>(result);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  fuzz::check(audio_init() == 0, "audio_init");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  static fuzz::MemoryFile file;
  fuzz::DescriptorWatch descriptors;  // after the file, which stays open
  if (size < setup_size) return 0;
  Setup setup(data);
  set_up_host(setup);
  audio_stream *stream = decoder_mp3.open(file.hold(data + setup_size, size - setup_size));
  if (stream) {
    fuzz::check(stream->channels == 1 || stream->channels == 2, "channel count");
    if (const audio_tags *tags = stream->tags)
      for (const char *text : {tags->title, tags->artist, tags->album, tags->year, tags->genre,
                               tags->description})
        fuzz::touch(text);
    decode(stream, setup);
    fuzz::check(decoder_mp3.close(stream) == 0, "close's result");
  }
  descriptors.check_nothing_left_open();
  return 0;
}
