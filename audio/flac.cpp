// The FLAC decoder: libFLAC's stream decoder pushes decoded blocks into a
// callback, and the host pulls PCM with read. Each block is converted into
// a buffer of 16-bit stereo frames, which reads then hand out in whatever
// pieces the host asks for.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <memory>

#include <FLAC/stream_decoder.h>

#include "host_services.h"
#include "pcm_format.h"
#include "tags.h"
#include "vorbis_comment.h"

namespace audio {
namespace {

constexpr int output_channels = 2;
constexpr uint32_t frame_bytes = output_channels * sizeof(int16_t);
constexpr uint64_t no_stream_info = UINT64_MAX;

struct FlacState {
    FLAC__StreamDecoder *decoder; // owned; owns the file once initialised
    int16_t *buf;                 // PCM of the block being delivered; owned
    uint32_t fill;                // bytes of PCM in buf
    uint32_t offset;              // bytes of buf already delivered, at most fill
    uint32_t cap;                 // bytes buf holds: the largest block seen
    uint64_t total_samples;       // frames, from STREAMINFO; 0 when unstated
    int32_t sample_rate;          // Hz, from STREAMINFO; -1 until seen
    int32_t channels;             // from STREAMINFO; -1 until seen
    int32_t bits_per_sample;      // from STREAMINFO; -1 until seen
    uint32_t max_blocksize;       // frames, from STREAMINFO
    uint64_t next_sample;         // frame number just past the last block written
    audio_tags *tags;             // from the first comment block; owned copies
    bool read_failed;             // a block failed after a read delivered bytes
    bool out_of_memory;           // a tag could not be kept while opening
};

struct StateDeleter {
    void operator()(FlacState *state) const {
        if (state->decoder) {
            FLAC__stream_decoder_finish(state->decoder); // closes the file
            FLAC__stream_decoder_delete(state->decoder);
        }
        free(state->buf);
        tags_free(state->tags);
        free(state);
    }
};
using OwnedState = std::unique_ptr<FlacState, StateDeleter>;

FlacState *state_of(audio_stream *stream) { return static_cast<FlacState *>(stream->handle); }
FlacState *state_of(void *client_data) { return static_cast<FlacState *>(client_data); }

FlacState *state_new() {
    auto *state = static_cast<FlacState *>(calloc(1, sizeof(FlacState)));
    if (!state) return nullptr;
    state->total_samples = no_stream_info;
    state->sample_rate = state->channels = state->bits_per_sample = -1;
    return state;
}

// Makes buf hold bytes more bytes after those it holds. Sized once from
// STREAMINFO, it grows only for a block larger than the stream declared.
bool make_room(FlacState *state, uint64_t bytes) {
    const uint64_t needed = state->fill + bytes;
    if (needed <= state->cap) return true;
    if (needed > UINT32_MAX) return false;
    void *grown = realloc(state->buf, (size_t)needed);
    if (!grown) return false;
    state->buf = static_cast<int16_t *>(grown);
    state->cap = (uint32_t)needed;
    return true;
}

// Appends a block to buf as 16-bit stereo: a mono block on both channels,
// channels beyond the second dropped. The samples fit in 16 bits, since
// only 16-bit streams are accepted.
FLAC__StreamDecoderWriteStatus write_block(const FLAC__StreamDecoder *, const FLAC__Frame *frame,
                                           const FLAC__int32 *const channel[], void *client) {
    FlacState *state = state_of(client);
    const uint32_t frames = frame->header.blocksize;
    if (!make_room(state, (uint64_t)frames * frame_bytes))
        return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    const FLAC__int32 *left = channel[0];
    const FLAC__int32 *right = frame->header.channels > 1 ? channel[1] : channel[0];
    int16_t *out = state->buf + state->fill / sizeof(int16_t);
    for (uint32_t i = 0; i < frames; ++i) {
        out[2 * i] = (int16_t)left[i];
        out[2 * i + 1] = (int16_t)right[i];
    }
    state->fill += frames * frame_bytes;
    // libFLAC numbers every block by its first sample, in fixed-size streams too.
    state->next_sample = frame->header.number.sample_number + frames;
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void take_stream_info(FlacState *state, const FLAC__StreamMetadata_StreamInfo &info) {
    state->total_samples = info.total_samples;
    state->sample_rate = (int32_t)info.sample_rate;
    state->channels = (int32_t)info.channels;
    state->bits_per_sample = (int32_t)info.bits_per_sample;
    state->max_blocksize = info.max_blocksize;
}

// The parser stores each copy over the field's previous value, which is a
// copy of this decoder's too: it is released here once replaced.
void take_comments(FlacState *state, const FLAC__StreamMetadata_VorbisComment &block) {
    state->tags = tags_new();
    if (!state->tags) {
        state->out_of_memory = true;
        return;
    }
    for (uint32_t i = 0; i < block.num_comments; ++i) {
        auto *comment = reinterpret_cast<char *>(block.comments[i].entry);
        size_t value_offset;
        char **field =
            comment ? vorbis_comment_field(comment, state->tags, &value_offset) : nullptr;
        if (!field) continue;
        char *replaced = *field;
        if (decoder_vorbis_parse_tag(comment, state->tags, 1))
            free(replaced);
        else
            state->out_of_memory = true;
    }
    if (!tags_make_well_formed(state->tags)) state->out_of_memory = true;
}

void read_metadata(const FLAC__StreamDecoder *, const FLAC__StreamMetadata *block, void *client) {
    FlacState *state = state_of(client);
    if (block->type == FLAC__METADATA_TYPE_STREAMINFO)
        take_stream_info(state, block->data.stream_info);
    else if (block->type == FLAC__METADATA_TYPE_VORBIS_COMMENT && !state->tags)
        take_comments(state, block->data.vorbis_comment); // the first block only
}

// Only the results of the processing calls count.
void ignore_error(const FLAC__StreamDecoder *, FLAC__StreamDecoderErrorStatus, void *) {}

// Hands file to the decoder. libFLAC closes a file it has taken when the
// decoder is finished; an init that fails while the decoder is still
// uninitialised has not taken it, so it is closed here: every file is closed
// exactly once.
bool start_decoding(FlacState *state, FILE *file) {
    FLAC__stream_decoder_set_metadata_respond(state->decoder, FLAC__METADATA_TYPE_VORBIS_COMMENT);
    if (FLAC__stream_decoder_init_FILE(state->decoder, file, write_block, read_metadata,
                                       ignore_error, state) == FLAC__STREAM_DECODER_INIT_STATUS_OK)
        return true;
    if (FLAC__stream_decoder_get_state(state->decoder) == FLAC__STREAM_DECODER_UNINITIALIZED)
        fclose(file);
    return false;
}

// A STREAMINFO rate of 0 is invalid in FLAC, and a stream at 0 Hz would
// only make the host divide by zero: such a file is refused like one
// without a rate.
bool acceptable(const FlacState &state) {
    return state.total_samples != no_stream_info && state.sample_rate > 0 && state.channels != -1 &&
           state.bits_per_sample == 16 && !state.out_of_memory;
}

// The buffer for one block of the largest size the stream declares.
bool allocate_buffer(FlacState *state) {
    state->cap = std::max<uint32_t>(state->max_blocksize, 1) * frame_bytes;
    state->buf = static_cast<int16_t *>(malloc(state->cap));
    return state->buf != nullptr;
}

int flac_nothing_to_do() { return 0; }

audio_stream *flac_open(const char *path) {
    OwnedState state{state_new()};
    if (!state || !(state->decoder = FLAC__stream_decoder_new())) return nullptr;
    FILE *file = file_fopen(path, "rb");
    if (!file || !start_decoding(state.get(), file)) return nullptr;
    if (!FLAC__stream_decoder_process_until_end_of_metadata(state->decoder) ||
        !acceptable(*state) || !announce_pcm_format(output_channels, state->sample_rate) ||
        !allocate_buffer(state.get()))
        return nullptr;
    auto *stream = static_cast<audio_stream *>(calloc(1, sizeof(audio_stream)));
    if (!stream) return nullptr;
    stream->length = (int64_t)state->total_samples;
    stream->rate = state->sample_rate;
    stream->channels = output_channels;
    stream->tags = state->tags;
    stream->fd = -1;
    stream->handle = state.release();
    return stream;
}

int flac_close(audio_stream *stream) {
    StateDeleter{}(state_of(stream)); // the tags go with the state
    free(stream);
    return 0;
}

// Decodes the next block into the drained buffer, which stays empty at the
// end of the stream. False when libFLAC fails.
bool decode_block(FlacState *state) {
    state->fill = state->offset = 0;
    return FLAC__stream_decoder_process_single(state->decoder);
}

// Fills the request from the buffer, decoding a block whenever it runs dry,
// so that each byte is copied once.
int flac_read(audio_stream *stream, void *buffer, size_t length) {
    FlacState *state = state_of(stream);
    int result;
    if (!(length = read_request(length, &state->read_failed, &result))) return result;
    auto *out = static_cast<unsigned char *>(buffer);
    size_t delivered = 0;
    while (delivered < length) {
        if (state->offset == state->fill && !decode_block(state)) {
            if (delivered == 0) return -1;
            state->read_failed = true;
            break;
        }
        if (state->fill == 0) break; // the end
        size_t n = std::min((size_t)(state->fill - state->offset), length - delivered);
        memcpy(out + delivered, reinterpret_cast<unsigned char *>(state->buf) + state->offset, n);
        state->offset += (uint32_t)n;
        delivered += n;
    }
    return (int)delivered;
}

int64_t flac_tell(audio_stream *stream) {
    const FlacState *state = state_of(stream);
    return (int64_t)state->next_sample - (int64_t)((state->fill - state->offset) / frame_bytes);
}

// After a seek libFLAC delivers the block holding the target from the
// target on, so the buffer then starts exactly at position.
bool seek_decoder(FlacState *state, uint64_t position) {
    state->fill = state->offset = 0;
    return FLAC__stream_decoder_seek_absolute(state->decoder, position);
}

// Puts the decoder back at position after libFLAC failed a seek (which it
// decodes again from only after a flush). The frame before position is
// sought and passed over, since the end of the stream cannot be sought.
// When even that fails, the stream goes on from the next block libFLAC
// finds, decoded at once so that tell knows where that is.
void restore_position(FlacState *state, uint64_t position) {
    FLAC__stream_decoder_flush(state->decoder);
    const uint64_t before = position > 0 ? position - 1 : 0;
    if (seek_decoder(state, before)) {
        state->offset = (uint32_t)(position - before) * frame_bytes;
        return;
    }
    FLAC__stream_decoder_flush(state->decoder);
    decode_block(state);
}

// A position outside the stated length is refused before anything buffered
// is lost; one that libFLAC cannot reach leaves the stream where it was.
int flac_seek(audio_stream *stream, int64_t position) {
    FlacState *state = state_of(stream);
    if (position < 0 || (stream->length > 0 && position >= stream->length)) return -1;
    const int64_t before = flac_tell(stream);
    state->read_failed = false;
    if (seek_decoder(state, (uint64_t)position)) return 0;
    restore_position(state, (uint64_t)before);
    return -1;
}

constexpr const char *flac_extensions[] = {".flac", nullptr};

} // namespace
} // namespace audio

// C linkage and export come from the declaration in the public header.
const audio_decoder decoder_flac = {
    audio::flac_extensions,    // exts
    1,                         // ext_count
    audio::flac_nothing_to_do, // init: no library-wide state
    audio::flac_nothing_to_do, // exit
    audio::flac_open,
    audio::flac_close,
    audio::flac_read,
    audio::flac_seek,
    audio::flac_tell,
};
