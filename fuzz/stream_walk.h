// What every decoder harness does with a file of the input's bytes: open
// it, read the tags, read with sizes that vary from read to read, seek once
// to a position taken from the input, close. Six bytes of the input steer
// it.
#pragma once

#include <initializer_list>

#include "support.h"
#include "tolmek_audio.h"

namespace fuzz {

// Bytes of PCM decoded per input at most, so that one input takes
// milliseconds rather than seconds.
constexpr std::size_t decoded_limit = 128 * 1024;

struct StreamWalk {
  // From 6 bytes: the seed of the read sizes, the read before which to
  // seek, the seek position (int32, little-endian).
  explicit StreamWalk(const std::uint8_t *b)
      : read_seed(b[0]), seek_before(b[1]), position(little_endian<std::int32_t>(b + 2)) {}
  unsigned read_seed, seek_before;
  std::int64_t position;
};

inline void seek(const audio_decoder &decoder, audio_stream *stream, std::int64_t position) {
  if (position >= 0 && stream->length > 0) position %= stream->length + 1;
  int result = decoder.seek(stream, position);
  check(result == 0 || result == -1, "seek's result");
  decoder.tell(stream);
}

inline void walk_stream(const audio_decoder &decoder, audio_stream *stream,
                        const StreamWalk &walk) {
  check(stream->channels > 0 && stream->rate > 0, "the stream's format");
  if (const audio_tags *tags = stream->tags)
    for (const char *text : {tags->title, tags->artist, tags->album, tags->year, tags->genre,
                             tags->description})
      touch(text);
  static unsigned char buffer[16384];
  std::size_t decoded = 0;
  for (unsigned i = 0; decoded < decoded_limit; ++i) {
    if (i == walk.seek_before) seek(decoder, stream, walk.position);
    std::size_t wanted = 1 + (walk.read_seed * 7919u + i * 4099u) % sizeof buffer;
    int result = decoder.read(stream, buffer, wanted);
    check(result >= -1 && result <= static_cast<int>(wanted), "read's result");
    if (result <= 0) break;
    decoded += static_cast<std::size_t>(result);
  }
  check(decoder.close(stream) == 0, "close's result");
}

// Opens a file of the bytes after the input's first six, which steer the
// walk, and walks the stream. Returns the stream's channel count, 0 when
// the decoder refused the file.
inline int open_and_walk(const audio_decoder &decoder, const std::uint8_t *data,
                         std::size_t size) {
  constexpr std::size_t steering_size = 6;
  static MemoryFile file;
  DescriptorWatch descriptors;  // after the file, which stays open
  if (size < steering_size) return 0;
  audio_stream *stream = decoder.open(file.hold(data + steering_size, size - steering_size));
  int channels = stream ? stream->channels : 0;
  if (stream) walk_stream(decoder, stream, StreamWalk(data));
  descriptors.check_nothing_left_open();
  return channels;
}

}  // namespace fuzz
