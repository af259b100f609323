// Decoding throughput of the MP3 and Vorbis decoders against mpg123 and Tremor used directly, of
// FLAC in small and large reads, and the cost of opening a tagged file. Run the fixture script
// first (ctest -R audio_fixtures) and point TOLMEK_AUDIO_FIXTURES at its output; TOLMEK_BENCH_OGG
// may name a longer Ogg Vorbis file for the Vorbis pair.
#include <benchmark/benchmark.h>
#include <stdio.h>

#include <mpg123.h>
#include <tremor/ivorbisfile.h>

#include "fixtures.h"
#include "reference_host.h"
#include "tolmek_audio.h"

namespace {

constexpr size_t read_size = 64 * 1024;

// The file opened with decoder and read to its end in reads of size bytes, once an iteration.
void decode_with(benchmark::State &state, const audio_decoder &decoder, const std::string &path,
                 size_t size) {
    std::string pcm(size, '\0');
    int64_t bytes = 0;
    for (auto _ : state) {
        audio_stream *stream = decoder.open(path.c_str());
        if (!stream) return state.SkipWithError("cannot open the file");
        for (int n; (n = decoder.read(stream, pcm.data(), size)) > 0;) bytes += n;
        decoder.close(stream);
    }
    state.SetBytesProcessed(bytes);
}

void decode_through_library(benchmark::State &state) {
    audio_init();
    reference_sound_reset(44100, 2);
    decode_with(state, decoder_mp3, fixture("stereo_44100.mp3"), read_size);
    audio_exit();
}
BENCHMARK(decode_through_library)->Unit(benchmark::kMillisecond);

void decode_with_mpg123_directly(benchmark::State &state) {
    mpg123_init();
    const std::string path = fixture("stereo_44100.mp3");
    static unsigned char pcm[read_size];
    int64_t bytes = 0;
    for (auto _ : state) {
        mpg123_handle *handle = mpg123_new(nullptr, nullptr);
        mpg123_param(handle, MPG123_FORCE_RATE, 44100, 0.0);
        mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_FORCE_STEREO, 0.0);
        if (mpg123_open(handle, path.c_str()) != MPG123_OK)
            return state.SkipWithError("cannot open the fixture");
        for (int status = MPG123_OK; status == MPG123_OK || status == MPG123_NEW_FORMAT;) {
            size_t done = 0;
            status = mpg123_read(handle, pcm, read_size, &done);
            bytes += (int64_t)done;
        }
        mpg123_close(handle);
        mpg123_delete(handle);
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(decode_with_mpg123_directly)->Unit(benchmark::kMillisecond);

std::string vorbis_file() {
    const char *path = getenv("TOLMEK_BENCH_OGG");
    return path ? path : fixture("stereo_44100.ogg");
}

void vorbis_through_library(benchmark::State &state) {
    reference_sound_reset(44100, 2);
    decode_with(state, decoder_vorbis, vorbis_file(), read_size);
}
BENCHMARK(vorbis_through_library)->Unit(benchmark::kMillisecond);

// A bare ov_read loop, as a player calling Tremor itself would run it.
void vorbis_with_tremor_directly(benchmark::State &state) {
    const std::string path = vorbis_file();
    static char pcm[read_size];
    int64_t bytes = 0;
    for (auto _ : state) {
        FILE *file = fopen(path.c_str(), "rb");
        OggVorbis_File vorbis;
        if (!file || ov_open(file, &vorbis, nullptr, 0) != 0)
            return state.SkipWithError("cannot open the Ogg Vorbis file");
        int section;
        for (long n; (n = ov_read(&vorbis, pcm, read_size, &section)) > 0;) bytes += n;
        ov_clear(&vorbis);
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(vorbis_with_tremor_directly)->Unit(benchmark::kMillisecond);

// FLAC pulled in reads of range(0) bytes: each block is decoded once and
// each byte copied once, so small reads should cost little more than large.
void flac_reads_of(benchmark::State &state) {
    decode_with(state, decoder_flac, fixture("stereo_44100.flac"), (size_t)state.range(0));
}
BENCHMARK(flac_reads_of)->Arg(1024)->Arg(64 * 1024)->Unit(benchmark::kMillisecond);

// Open with both tag texts re-decoded from the native encoding, then close.
void open_tagged_and_close(benchmark::State &state) {
    audio_init();
    decoder_mp3_set_tag_native_encoding("CP949");
    reference_sound_reset(16000, 1);
    const std::string path = fixture("id3_cp949.mp3");
    for (auto _ : state) {
        audio_stream *stream = decoder_mp3.open(path.c_str());
        if (!stream) return state.SkipWithError("cannot open the fixture");
        benchmark::DoNotOptimize(stream->tags);
        decoder_mp3.close(stream);
    }
    audio_exit();
}
BENCHMARK(open_tagged_and_close)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
