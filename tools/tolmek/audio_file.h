// One audio file opened through libtolmek-audio's registry over the
// reference host, as the audio subcommands of tolmek need it. Each step
// prints why it failed, naming the file, and gives the exit code.
#pragma once

#include <stdio.h>

#include "input_file.h"
#include "reference_host.h"
#include "tolmek_audio.h"

struct AudioFile {
    const audio_decoder *decoder = nullptr;
    audio_stream *stream = nullptr;
};

// Starts the library. 0, or 1 when a decoder cannot start.
inline int start_audio() {
    if (audio_init() == 0) return 0;
    fprintf(stderr, "tolmek: the audio decoders cannot start\n");
    return 1;
}

// Why a decoder refuses a file it can read: the reference host takes every
// format, so the file does not hold that decoder's kind of stream.
inline const char *refusal(const audio_decoder *decoder) {
    if (decoder == &decoder_mp3) return "not an MP3 stream";
    if (decoder == &decoder_vorbis) return "not an Ogg Vorbis stream";
    if (decoder == &decoder_flac) return "not a FLAC stream";
    return "cannot be decoded";
}

// Opens path for decoding into rate Hz (0: the file's own rate) and
// channels channels. 0; or 2 when no decoder takes the file or it cannot be
// opened, with nothing left open.
inline int open_audio_file(const char *path, int rate, int channels, AudioFile *file) {
    file->decoder = audio_get_decoder(path);
    if (!file->decoder) {
        fprintf(stderr, "tolmek: %s: no decoder takes files of this kind\n", path);
        return 2;
    }
    if (report_unreadable(path)) return 2;
    reference_sound_reset(rate, channels);
    file->stream = file->decoder->open(path);
    if (!file->stream) {
        fprintf(stderr, "tolmek: %s: %s\n", path, refusal(file->decoder));
        return 2;
    }
    return 0;
}

// Closes the file if it was opened and stops the library. Returns code, or
// 1 when it was 0 and the library did not stop cleanly.
inline int finish_audio(AudioFile *file, int code) {
    if (file->stream) file->decoder->close(file->stream);
    file->stream = nullptr;
    if (audio_exit() != 0 && code == 0) {
        fprintf(stderr, "tolmek: the audio decoders did not stop cleanly\n");
        return 1;
    }
    return code;
}
