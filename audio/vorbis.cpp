// The Vorbis decoder: Ogg Vorbis through Tremor's vorbisfile interface,
// whose ov_read already delivers interleaved 16-bit PCM in host byte order.
#include <limits.h>
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

constexpr size_t max_frame_bytes = 255 * 2; // the most channels Vorbis carries

// A stream's state. The file state comes first, so that the stream's handle
// is a pointer to it as well. ov_read delivers whole frames only and answers
// a request for less than one frame with 0, which the host would take for
// the end of the stream; such requests are served from one whole frame
// decoded into the carry.
struct VorbisState {
    OggVorbis_File file;
    unsigned char carry[max_frame_bytes];
    uint32_t carry_fill;   // bytes of the frame in carry
    uint32_t carry_offset; // bytes of it delivered; carry_fill when none wait
    audio_tags repaired;   // owned well-formed copies of ill-formed tag texts
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

// Delivers what is left of the frame in the carry.
int read_carry(VorbisState *state, void *buffer, size_t length) {
    size_t n = std::min(length, (size_t)(state->carry_fill - state->carry_offset));
    memcpy(buffer, state->carry + state->carry_offset, n);
    state->carry_offset += (uint32_t)n;
    return (int)n;
}

// One ov_read into buffer: the bytes written, 0 at the end, -1 on an error.
int read_once(VorbisState *state, void *buffer, size_t length) {
    int section;
    long n = ov_read(&state->file, static_cast<char *>(buffer), (int)length, &section);
    return n < 0 ? -1 : (int)n;
}

int vorbis_read(audio_stream *stream, void *buffer, size_t length) {
    VorbisState *state = state_of(stream);
    length = std::min(length, (size_t)INT_MAX); // the result must fit
    if (state->carry_offset < state->carry_fill) return read_carry(state, buffer, length);
    vorbis_info *info = ov_info(&state->file, -1);
    const size_t frame_bytes = info ? 2 * (size_t)info->channels : 1;
    if (length == 0 || length >= frame_bytes) return read_once(state, buffer, length);
    int n = read_once(state, state->carry, frame_bytes);
    if (n <= 0) return n;
    state->carry_fill = (uint32_t)n;
    state->carry_offset = 0;
    return read_carry(state, buffer, length);
}

int vorbis_seek(audio_stream *stream, int64_t position) {
    VorbisState *state = state_of(stream);
    if (ov_pcm_seek(&state->file, position) < 0) return -1;
    state->carry_fill = state->carry_offset = 0;
    return 0;
}

// A frame partly delivered from the carry still counts as not yet read.
int64_t vorbis_tell(audio_stream *stream) {
    VorbisState *state = state_of(stream);
    int64_t position = ov_pcm_tell(&state->file);
    return state->carry_offset < state->carry_fill ? position - 1 : position;
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
