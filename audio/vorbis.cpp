// The Vorbis decoder: Ogg Vorbis through Tremor's vorbisfile interface,
// whose ov_read already delivers interleaved 16-bit PCM in host byte order.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <memory>

#include <tremor/ivorbisfile.h>

#include "host_services.h"
#include "pcm_format.h"
#include "tags.h"
#include "utf8_text.h"

namespace audio {
namespace {

constexpr size_t staging_bytes = 8192; // more than a frame of the most channels Vorbis carries

// A stream's state. The file state comes first, so that the stream's handle
// is a pointer to it as well. Every read decodes into the staging buffer:
// ov_read answers a request for less than one frame of the link it enters
// with 0, which the host would take for the end of the stream, and PCM of a
// link in another format must wait there until that format is announced.
struct VorbisState {
    OggVorbis_File file;
    audio_tags repaired; // owned well-formed copies of ill-formed tag texts
    unsigned char staged[staging_bytes];
    uint32_t staged_fill;                 // bytes decoded into staged
    uint32_t staged_offset;               // bytes of them delivered; staged_fill when none wait
    int32_t staged_rate, staged_channels; // the format of the staged PCM
    bool read_failed;                     // a decoding error came after a read had delivered bytes
};

// A state whose file state was never opened, or was cleared by a failed
// ov_open: nothing in it to clear.
struct StateFree {
    void operator()(VorbisState *state) const { free(state); }
};
// A state that ov_open opened: clearing it also closes its file.
struct StateClear {
    void operator()(VorbisState *state) const {
        ov_clear(&state->file);
        tags_free_texts(&state->repaired);
        free(state);
    }
};
using OpenedState = std::unique_ptr<VorbisState, StateClear>;

VorbisState *state_of(audio_stream *stream) { return static_cast<VorbisState *>(stream->handle); }

// Opens path as an Ogg Vorbis file, or null with the file closed.
OpenedState open_file(const char *path) {
    FILE *file = file_fopen(path, "rb");
    if (!file) return nullptr;
    std::unique_ptr<VorbisState, StateFree> state{
        static_cast<VorbisState *>(calloc(1, sizeof(VorbisState)))};
    // ov_open takes the file only when it succeeds; on failure it has cleared
    // the state itself and leaves the file to its caller.
    if (!state || ov_open(file, &state->file, nullptr, 0) != 0) {
        fclose(file);
        return nullptr;
    }
    // Tremor's open passes over the first link of a chained file when that link fits in one
    // page: such a file is taken back to its first frame.
    if (ov_pcm_tell(&state->file) > 0) ov_pcm_seek(&state->file, 0);
    return OpenedState{state.release()};
}

// Texts that are not well-formed UTF-8 are replaced by repaired copies that
// the state owns; the others keep pointing into the comment storage.
bool repair_tags(VorbisState *state, audio_tags *tags) {
    for (char *audio_tags::*field : tag_fields) {
        if (is_well_formed_utf8(tags->*field)) continue;
        char *copy = strdup(tags->*field);
        if (!copy || !make_well_formed_utf8(&copy)) return false;
        tags->*field = state->repaired.*field = copy;
    }
    return true;
}

// The tag record of an open file: every comment that names a tag, texts
// pointing into the file state's comment storage. Null when the file has no
// comment structure; false when memory runs out.
bool read_tags(VorbisState *state, audio_tags **tags) {
    *tags = nullptr;
    vorbis_comment *comments = ov_comment(&state->file, -1);
    if (!comments) return true;
    *tags = tags_new();
    if (!*tags) return false;
    for (int i = 0; comments->user_comments && comments->user_comments[i]; ++i)
        decoder_vorbis_parse_tag(comments->user_comments[i], *tags, 0);
    if (repair_tags(state, *tags)) return true;
    free(*tags); // its texts belong to the file state
    *tags = nullptr;
    return false;
}

int vorbis_nothing_to_do() { return 0; }

audio_stream *vorbis_open(const char *path) {
    OpenedState state = open_file(path);
    if (!state) return nullptr;
    vorbis_info *info = ov_info(&state->file, -1);
    if (!info || !announce_pcm_format(info->channels, (int)info->rate)) return nullptr;
    audio_tags *tags;
    if (!read_tags(state.get(), &tags)) return nullptr;
    auto *stream = static_cast<audio_stream *>(calloc(1, sizeof(audio_stream)));
    if (!stream) {
        free(tags); // its texts belong to the file state
        return nullptr;
    }
    stream->length = ov_pcm_total(&state->file, -1);
    stream->rate = (int32_t)info->rate;
    stream->channels = info->channels;
    stream->tags = tags;
    stream->fd = -1;
    stream->handle = state.release();
    return stream;
}

int vorbis_close(audio_stream *stream) {
    StateClear{}(state_of(stream));
    free(stream->tags); // its texts went with the file state
    free(stream);
    return 0;
}

// Decodes the next piece of PCM into the empty staging buffer, noting its
// format. The bytes decoded, 0 at the end, -1 on an error.
int stage(VorbisState *state) {
    int section;
    long n =
        ov_read(&state->file, reinterpret_cast<char *>(state->staged), staging_bytes, &section);
    if (n <= 0) return n < 0 ? -1 : 0;
    const vorbis_info *info = ov_info(&state->file, -1);
    state->staged_fill = (uint32_t)n;
    state->staged_offset = 0;
    state->staged_rate = (int32_t)info->rate;
    state->staged_channels = info->channels;
    return (int)n;
}

bool format_changes(const audio_stream &stream, const VorbisState &state) {
    return state.staged_rate != stream.rate || state.staged_channels != stream.channels;
}

// Announces the format of the staged PCM as at open and makes it the
// stream's. False when the host refuses it; the PCM stays staged, to be
// announced again by the next read.
bool take_staged_format(audio_stream *stream, const VorbisState &state) {
    if (!announce_pcm_format(state.staged_channels, state.staged_rate)) return false;
    stream->rate = state.staged_rate;
    stream->channels = state.staged_channels;
    return true;
}

// Fills the request from the staging buffer, decoding whenever it runs dry,
// until the stream ends or the next PCM is in another format: that PCM
// starts the next read, once announced.
int vorbis_read(audio_stream *stream, void *buffer, size_t length) {
    VorbisState *state = state_of(stream);
    int result;
    if (!(length = read_request(length, &state->read_failed, &result))) return result;
    auto *out = static_cast<unsigned char *>(buffer);
    size_t delivered = 0;
    while (delivered < length) {
        if (state->staged_offset == state->staged_fill) {
            int n = stage(state);
            if (n == 0) break;
            if (n < 0) {
                if (delivered == 0) return -1;
                state->read_failed = true;
                break;
            }
        }
        if (format_changes(*stream, *state)) {
            if (delivered > 0) break;
            if (!take_staged_format(stream, *state)) return -1;
        }
        size_t n =
            std::min((size_t)(state->staged_fill - state->staged_offset), length - delivered);
        memcpy(out + delivered, state->staged + state->staged_offset, n);
        state->staged_offset += (uint32_t)n;
        delivered += n;
    }
    return (int)delivered;
}

int vorbis_seek(audio_stream *stream, int64_t position) {
    VorbisState *state = state_of(stream);
    if (ov_pcm_seek(&state->file, position) < 0) return -1;
    state->staged_fill = state->staged_offset = 0;
    state->read_failed = false;
    return 0;
}

// A frame partly delivered from the staging buffer still counts as not yet
// read.
int64_t vorbis_tell(audio_stream *stream) {
    VorbisState *state = state_of(stream);
    int64_t position = ov_pcm_tell(&state->file);
    uint32_t waiting = state->staged_fill - state->staged_offset;
    if (position < 0 || waiting == 0) return position;
    const uint32_t frame_bytes = 2 * (uint32_t)state->staged_channels;
    return position - (waiting + frame_bytes - 1) / frame_bytes;
}

constexpr const char *vorbis_extensions[] = {".ogg", nullptr};

} // namespace
} // namespace audio

// C linkage and export come from the declaration in the public header.
const audio_decoder decoder_vorbis = {
    audio::vorbis_extensions,    // exts
    1,                           // ext_count
    audio::vorbis_nothing_to_do, // init: no library-wide state
    audio::vorbis_nothing_to_do, // exit
    audio::vorbis_open,
    audio::vorbis_close,
    audio::vorbis_read,
    audio::vorbis_seek,
    audio::vorbis_tell,
};
