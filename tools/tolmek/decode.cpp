// tolmek decode FILE -o OUT.wav [--rate HZ] [--channels N]: decodes an audio
// file with the decoder the registry picks for it and writes exactly the
// PCM delivered into a WAV file, in the format announced to the host.
// Without --rate the file keeps its own rate; channels are 2 unless given.
// When anything fails, no output file is left behind.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "audio_file.h"
#include "commands.h"

namespace {

struct DecodeArguments {
    const char *file = nullptr;
    const char *output = nullptr;
    int rate = 0;
    int channels = 2;
};

bool parse_count(const char *text, int *value) {
    char *end;
    long number = strtol(text, &end, 10);
    if (end == text || *end || number < 0 || number > 1000000) return false;
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
        } else if (argv[i][0] != '-' && !arguments->file)
            arguments->file = argv[i];
        else
            return false;
    }
    return arguments->file && arguments->output;
}

// A 16-bit PCM WAV file, written as the samples arrive; the sizes in its
// header are filled in by finish. The samples are copied as they come, so
// host byte order must be little-endian, as it is on every target.
class WavWriter {
public:
    ~WavWriter() { abandon(); }

    bool begin(const char *path, int channels, int rate) {
        path_ = path;
        channels_ = channels;
        rate_ = rate;
        out_ = fopen(path, "wb");
        return out_ && write_header();
    }

    bool write(const void *pcm, size_t bytes) {
        data_bytes_ += bytes;
        return data_bytes_ <= max_data_bytes && fwrite(pcm, 1, bytes, out_) == bytes;
    }

    bool finish() {
        bool written = fseek(out_, 0, SEEK_SET) == 0 && write_header();
        written = fclose(out_) == 0 && written;
        out_ = nullptr;
        if (!written) remove(path_);
        return written;
    }

    void abandon() {
        if (!out_) return;
        fclose(out_);
        out_ = nullptr;
        remove(path_);
    }

private:
    static constexpr uint64_t max_data_bytes = 0xFFFFFFFFu - 36;

    static void put16(unsigned char *at, uint32_t value) {
        at[0] = (unsigned char)value;
        at[1] = (unsigned char)(value >> 8);
    }
    static void put32(unsigned char *at, uint32_t value) {
        put16(at, value & 0xFFFF);
        put16(at + 2, value >> 16);
    }

    bool write_header() {
        unsigned char header[44];
        const uint32_t frame_bytes = 2 * (uint32_t)channels_;
        memcpy(header, "RIFF", 4);
        put32(header + 4, (uint32_t)(36 + data_bytes_));
        memcpy(header + 8, "WAVEfmt ", 8);
        put32(header + 16, 16); // size of the format chunk
        put16(header + 20, 1);  // integer PCM
        put16(header + 22, (uint32_t)channels_);
        put32(header + 24, (uint32_t)rate_);
        put32(header + 28, (uint32_t)rate_ * frame_bytes); // bytes per second
        put16(header + 32, frame_bytes);
        put16(header + 34, 16); // bits per sample
        memcpy(header + 36, "data", 4);
        put32(header + 40, (uint32_t)data_bytes_);
        return fwrite(header, 1, sizeof header, out_) == sizeof header;
    }

    const char *path_ = nullptr;
    FILE *out_ = nullptr;
    int channels_ = 0, rate_ = 0;
    uint64_t data_bytes_ = 0;
};

bool format_unchanged(int channels, int rate) {
    return reference_sound_accepted(SOUND_CHANNELS) == channels &&
           reference_sound_accepted(SOUND_RATE) == rate;
}

// Copies every byte the stream delivers into the WAV file. 0 or 1.
int decode_into(const AudioFile &file, const char *path, WavWriter *wav) {
    static char pcm[64 * 1024];
    const int channels = reference_sound_accepted(SOUND_CHANNELS);
    const int rate = reference_sound_accepted(SOUND_RATE);
    for (;;) {
        int bytes = file.decoder->read(file.stream, pcm, sizeof pcm);
        if (bytes == 0) return 0;
        if (bytes < 0) {
            fprintf(stderr, "tolmek: %s: decoding failed\n", path);
            return 1;
        }
        if (!format_unchanged(channels, rate)) {
            fprintf(stderr, "tolmek: %s: the format changes within the stream; "
                            "a WAV file holds one (choose one with --rate)\n", path);
            return 1;
        }
        if (!wav->write(pcm, (size_t)bytes)) {
            fprintf(stderr, "tolmek: cannot write all of the WAV file\n");
            return 1;
        }
    }
}

int decode(const DecodeArguments &arguments, const AudioFile &file) {
    WavWriter wav;
    if (!wav.begin(arguments.output, reference_sound_accepted(SOUND_CHANNELS),
                   reference_sound_accepted(SOUND_RATE))) {
        fprintf(stderr, "tolmek: %s: cannot be written\n", arguments.output);
        return 1;
    }
    if (int code = decode_into(file, arguments.file, &wav)) return code;
    if (wav.finish()) return 0;
    fprintf(stderr, "tolmek: %s: cannot be written\n", arguments.output);
    return 1;
}

} // namespace

int command_decode(int argc, char **argv) {
    DecodeArguments arguments;
    if (!parse(argc, argv, &arguments)) {
        fprintf(stderr, "usage: tolmek decode FILE -o OUT.wav [--rate HZ] [--channels N]\n"
                        "  HZ: output rate, the file's own when not given\n"
                        "  N: 1 or 2 output channels, 2 when not given\n");
        return 2;
    }
    AudioFile file;
    if (int code = start_audio()) return code;
    int code = open_audio_file(arguments.file, arguments.rate, arguments.channels, &file);
    if (code == 0) code = decode(arguments, file);
    return finish_audio(&file, code);
}
