// The three decoders over the reference host: a file of the input's bytes opened under host
// settings from the input, its tags read, read with sizes that vary from read to read, sought once,
// closed. Checked: the results of every call, the stream's format, no descriptor left open.
//
// The first 8 bytes steer the run, the rest is the file:
//   0    bits 0-1 the decoder; bit 2 MP3 scan first; bits 3-4 the native tag encoding;
//        bits 5-6 the channels the host wants
//   1    bits 0-2 the host's rate; bits 3-4 a setting the host refuses
//   2    the seed of the read sizes; 3 the read before which to seek
//   4-7  the seek position (int32)
#include <iterator>

#include "reference_host.h"
#include "support.h"
#include "tolmek_audio.h"

namespace {

const audio_decoder *const decoders[] = {&decoder_mp3, &decoder_vorbis, &decoder_flac};
// Not 1 Hz: mpg123's resampler steps by rate / 44100 in fixed point, which is 0 there, and its seek
// then loops forever.
constexpr int rates[] = {44100, 22050, 48000, 8000, 11025, 96000, 4000, 1000000};
constexpr const char *native_encodings[] = {nullptr, "CP949", "ISO-8859-1", "UTF-8"};
constexpr int wanted_channels[] = {2, 1, 3, 0};
constexpr std::size_t setup_size = 8, decoded_limit = 128 * 1024;

void set_up_host(const std::uint8_t *setup) {
    reference_sound_reset(rates[setup[1] & 7], wanted_channels[setup[0] >> 5 & 3]);
    if (int refused = setup[1] >> 3 & 3)
        reference_sound_refuse(static_cast<reference_sound_setting>(refused - 1));
    decoder_mp3_use_scan = setup[0] >> 2 & 1;
    static const char *encoding = nullptr; // converters are made only on a change
    if (native_encodings[setup[0] >> 3 & 3] == encoding) return;
    encoding = native_encodings[setup[0] >> 3 & 3];
    fuzz::check(decoder_mp3_set_tag_native_encoding(encoding) == 0, "the tag encoding");
}

void walk(const audio_decoder &decoder, audio_stream *stream, const std::uint8_t *steer) {
    if (const audio_tags *tags = stream->tags)
        for (const char *text :
             {tags->title, tags->artist, tags->album, tags->year, tags->genre, tags->description})
            fuzz::touch(text);
    static unsigned char buffer[16384];
    std::size_t decoded = 0;
    for (unsigned i = 0; decoded < decoded_limit; ++i) {
        if (i == steer[1]) {
            std::int64_t position = fuzz::little_endian<std::int32_t>(steer + 2);
            if (position >= 0 && stream->length > 0) position %= stream->length + 1;
            int result = decoder.seek(stream, position);
            fuzz::check(result == 0 || result == -1, "seek's result");
            decoder.tell(stream);
        }
        std::size_t wanted = 1 + (steer[0] * 7919u + i * 4099u) % sizeof buffer;
        int result = decoder.read(stream, buffer, wanted);
        fuzz::check(result >= -1 && result <= static_cast<int>(wanted), "read's result");
        if (result <= 0) break;
        decoded += static_cast<std::size_t>(result);
    }
}

} // namespace

// Tremor itself leaks when ov_open fails on a chained stream with a broken later link, out of
// its caller's reach: its allocations are not counted. A stream left open shows as a descriptor.
extern "C" const char *__lsan_default_suppressions() { return "leak:libvorbisidec.so\n"; }

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::check(audio_init() == 0, "audio_init");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static fuzz::MemoryFile file;
    if (size < setup_size || (data[0] & 3) == 3) return 0;
    const audio_decoder &decoder = *decoders[data[0] & 3];
    set_up_host(data);
    fuzz::DescriptorWatch descriptors; // after the file, which stays open
    audio_stream *stream = decoder.open(file.hold(data + setup_size, size - setup_size));
    if (stream) {
        fuzz::check(stream->channels > 0 && stream->rate > 0, "the stream's format");
        walk(decoder, stream, data + 2);
        fuzz::check(decoder.close(stream) == 0, "close's result");
    }
    descriptors.check_nothing_left_open();
    return 0;
}
