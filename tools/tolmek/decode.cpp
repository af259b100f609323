// tolmek decode FILE -o OUT.wav [--rate HZ] [--channels N] [--read-size
// BYTES]: decodes an audio file with the decoder the registry picks for it
// and writes exactly the PCM delivered into a WAV file, in the format
// announced to the host, reading BYTES at a time (4096 unless given). The
// rate and channel count are what MP3 output is forced to: without --rate an
// MP3 keeps its own rate; channels are 2 unless given. OUT.wav may be "-"
// for standard output. When anything fails, an earlier OUT.wav is kept.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "audio_file.h"
#include "commands.h"
#include "wav_output.h"

namespace {

struct DecodeArguments {
    const char *file = nullptr;
    const char *output = nullptr;
    int rate = 0;
    int channels = 2;
    int read_size = 4096; // bytes asked for by each read
};

constexpr int max_read_size = 64 << 20;

bool parse_count(const char *text, int *value, long limit = 1000000) {
    char *end;
    long number = strtol(text, &end, 10);
    if (end == text || *end || number < 0 || number > limit) return false;
    *value = (int)number;
    return true;
}

bool parse(int argc, char **argv, DecodeArguments *arguments) {
    for (int i = 0; i < argc; ++i) {
        bool has_value = i + 1 < argc;
        if (strcmp(argv[i], "-o") == 0 && has_value)
            arguments->output = argv[++i];
        else if (strcmp(argv[i], "--rate") == 0 && has_value) {
            if (!parse_count(argv[++i], &arguments->rate)) return false;
        } else if (strcmp(argv[i], "--channels") == 0 && has_value) {
            if (!parse_count(argv[++i], &arguments->channels)) return false;
            if (arguments->channels != 1 && arguments->channels != 2) return false;
        } else if (strcmp(argv[i], "--read-size") == 0 && has_value) {
            if (!parse_count(argv[++i], &arguments->read_size, max_read_size)) return false;
            if (arguments->read_size == 0) return false;
        } else if (argv[i][0] != '-' && !arguments->file)
            arguments->file = argv[i];
        else
            return false;
    }
    return arguments->file && arguments->output;
}

bool format_unchanged(int channels, int rate) {
    return reference_sound_accepted(SOUND_CHANNELS) == channels &&
           reference_sound_accepted(SOUND_RATE) == rate;
}

// Copies every byte the stream delivers into the WAV file. 0 or 1.
int decode_into(const AudioFile &file, const DecodeArguments &arguments, WavOutput *wav) {
    std::vector<char> pcm((size_t)arguments.read_size);
    const char *path = arguments.file;
    const int channels = reference_sound_accepted(SOUND_CHANNELS);
    const int rate = reference_sound_accepted(SOUND_RATE);
    for (;;) {
        int bytes = file.decoder->read(file.stream, pcm.data(), pcm.size());
        if (bytes == 0) return 0;
        if (bytes < 0) {
            fprintf(stderr, "tolmek: %s: decoding failed\n", path);
            return 1;
        }
        if (!format_unchanged(channels, rate)) {
            // MP3 output can be forced to one format; the links of a chained
            // Ogg Vorbis file keep theirs.
            const char *advice = file.decoder == &decoder_mp3 ? " (choose one with --rate)" : "";
            fprintf(stderr,
                    "tolmek: %s: the format changes within the stream; a WAV file holds one%s\n",
                    path, advice);
            return 1;
        }
        if (!wav->write(pcm.data(), (size_t)bytes)) {
            fprintf(stderr, "tolmek: %s: cannot be written\n", arguments.output);
            return 1;
        }
    }
}

int decode(const DecodeArguments &arguments, const AudioFile &file) {
    WavOutput wav;
    if (!wav.begin(arguments.output, reference_sound_accepted(SOUND_CHANNELS),
                   reference_sound_accepted(SOUND_RATE))) {
        fprintf(stderr, "tolmek: %s: cannot be written\n", arguments.output);
        return 1;
    }
    if (int code = decode_into(file, arguments, &wav)) return code;
    if (wav.finish()) return 0;
    fprintf(stderr, "tolmek: %s: cannot be written\n", arguments.output);
    return 1;
}

int run_decode(int argc, char **argv) {
    DecodeArguments arguments;
    if (!parse(argc, argv, &arguments)) return usage_error;
    AudioFile file;
    if (int code = start_audio()) return code;
    int code = open_audio_file(arguments.file, arguments.rate, arguments.channels, &file);
    if (code == 0) code = decode(arguments, file);
    return finish_audio(&file, code);
}

} // namespace

const Command decode_command = {
    "decode",
    "decode FILE -o OUT.wav [--rate HZ] [--channels N] [--read-size BYTES]\n"
    "  FILE: an MP3 (.mp3), Ogg Vorbis (.ogg) or FLAC (.flac) file\n"
    "  OUT.wav: a file, or - for standard output\n"
    "  HZ: MP3 output rate, the file's own when not given\n"
    "  N: 1 or 2 MP3 output channels, 2 when not given\n"
    "  BYTES: PCM bytes asked for by each read, 4096 when not given\n",
    run_decode,
};
