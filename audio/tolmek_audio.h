/*
 * libtolmek-audio: one decoder per audio format behind one interface.
 *
 * Calling order: audio_init once; then per file audio_get_decoder and the
 * returned descriptor's open, any number of read, seek and tell, and close;
 * audio_exit once at the end. audio_init, audio_exit and
 * decoder_mp3_set_tag_native_encoding change library-wide state: no other
 * call into the library may run meanwhile. The library starts no threads
 * and takes no locks.
 *
 * Every decoder delivers PCM as signed 16-bit samples in host byte order,
 * interleaved by channel, first (left) channel first. Positions and lengths
 * count sample frames (one sample per channel); read sizes count bytes.
 * Before open returns a stream, the decoder has announced the format to the
 * host with sound_set_format(16), sound_set_channels(n), sound_set_rate(hz).
 */
#pragma once

#include <stddef.h>
#include <stdint.h>

#define TOLMEK_AUDIO_EXPORT __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* The tags of one stream. Each text is NUL-terminated UTF-8, or null when
 * the file does not provide it. The record and its texts belong to the
 * stream and stay valid until the stream's close. */
typedef struct audio_tags {
    char *title;
    char *artist;
    char *album;
    char *year;
    char *genre;
    char *description;
} audio_tags;

/* One open stream, from a successful open to its close. The host reads
 * length, rate, channels and tags; it must not change any field. */
typedef struct audio_stream {
    void *handle;                               /* the decoder's own per-stream state */
    int64_t length __attribute__((aligned(8))); /* frames; see each decoder
                                                   for an unknown length */
    int32_t rate;                               /* Hz of the delivered PCM */
    int32_t channels;                           /* interleaved channels of the delivered PCM */
    audio_tags *tags;                           /* null when the file has no usable tag */
    int32_t fd;                                 /* descriptor the stream reads from, or -1 */
} audio_stream;

/* A decoder: a constant record the host reads directly. Its operations are
 * only called with streams that the same descriptor opened. */
typedef struct audio_decoder {
    /* Accepted extensions with their leading dot (".mp3"), ended by null. */
    const char *const *exts;
    /* Entries of exts before the null; matching uses this count. */
    uint32_t ext_count;
    /* Starts the decoder's library-wide state. 0, or -1 on failure. Called
     * only by audio_init. */
    int (*init)(void);
    /* Stops it again. 0, or -1 on failure. Called by audio_exit and by the
     * roll-back of a failed audio_init. */
    int (*exit)(void);
    /* Opens path for decoding and announces its PCM format to the host.
     * Returns a new stream that the caller hands back to close, or null when
     * the file cannot be decoded, the host refuses the format or memory runs
     * out; everything acquired is then released and the file closed. */
    audio_stream *(*open)(const char *path);
    /* Releases the stream, its tags and its file. Returns 0. */
    int (*close)(audio_stream *stream);
    /* Writes up to length bytes of PCM into buffer. Returns the bytes
     * written, 0 at the end of the stream, -1 on a decoding error (the
     * stream stays open and may be closed normally). */
    int (*read)(audio_stream *stream, void *buffer, size_t length);
    /* Moves to position (frames from the start). 0, or -1 when refused. */
    int (*seek)(audio_stream *stream, int64_t position);
    /* The current position in frames; negative on a decoder error. */
    int64_t (*tell)(audio_stream *stream);
} audio_decoder;

/* Initialises every decoder in registry order. Returns 0; or -1 when one
 * fails, after shutting down those initialised before it: the library is
 * then not initialised and must not be used. */
TOLMEK_AUDIO_EXPORT int audio_init(void);

/* Shuts every decoder down in registry order. Returns 0; or -1 at the first
 * decoder that fails, whose successors stay initialised. */
TOLMEK_AUDIO_EXPORT int audio_exit(void);

/* The decoder whose extensions include the extension of path (compared
 * ignoring ASCII letter case; the file is not opened), or null. The result
 * is constant: never free it. */
TOLMEK_AUDIO_EXPORT const audio_decoder *audio_get_decoder(const char *path);

/* MPEG audio, ".mp3". init starts the MP3 decoding library; exit stops it
 * and releases the tag converters. A stream's length is -1 when it is not
 * known, and then every seek is refused. */
TOLMEK_AUDIO_EXPORT extern const audio_decoder decoder_mp3;

/* Non-zero: every later MP3 open scans the whole file first, so that the
 * length is exact. Initially 0; the host writes it directly. */
TOLMEK_AUDIO_EXPORT extern uint8_t decoder_mp3_use_scan;

/* The name of the native tag encoding in force, at most 29 characters; empty
 * when none is set. Only read it. */
TOLMEK_AUDIO_EXPORT extern char decoder_mp3_tag_native_encoding[30];

/* Sets the legacy encoding that ID3v1 fields and ID3v2 texts marked as
 * ISO-8859-1 are really written in (a name the converter library knows,
 * such as "CP949"), or clears it when name is null. Affects streams opened
 * afterwards. Returns 0; or -1 when the name is unknown or a converter
 * cannot be opened or closed, and the previous setting stays in force. */
TOLMEK_AUDIO_EXPORT int decoder_mp3_set_tag_native_encoding(const char *name);

/* Ogg Vorbis, ".ogg". init and exit do nothing. A read fills the request
 * until the stream ends or its format changes; when a decoding error comes
 * after some bytes of a read, the read returns those and the next read
 * reports the error with -1. A chained file may change rate or channels from
 * one link to the next, and so may a seek into another link: the new format
 * is announced to the host as at open, and rate and channels of the stream
 * change, before the read that delivers its first PCM (a read never mixes
 * two formats). When the host refuses it, that read returns -1 and the next
 * one announces it again. A stream's length is that of all links together,
 * negative when the file cannot be searched (a pipe). Its tag texts, from the
 * first link, point into the decoder's comment storage. */
TOLMEK_AUDIO_EXPORT extern const audio_decoder decoder_vorbis;

/* FLAC, ".flac", 16-bit files only, always delivered as two channels: a mono
 * file on both, a file of more channels by its first two. init and exit do
 * nothing. A read returns exactly the bytes asked for until the stream ends;
 * when a block fails after some bytes of a read were delivered, the read
 * returns those and the next read reports the failure with -1. A seek that
 * fails leaves the stream where it was. A stream's length is 0 when the file
 * does not state it. */
TOLMEK_AUDIO_EXPORT extern const audio_decoder decoder_flac;

/* Takes one Vorbis comment ("KEY=value", NUL-terminated) into tags when its
 * key, compared ignoring ASCII letter case, is TITLE, ARTIST, ALBUM, YEAR,
 * GENRE or DESCRIPTION; a later comment for the same field replaces the
 * earlier one, whatever its case. With copy 0 the field points into comment
 * itself, just past the "=", and lives as long as comment. With copy
 * non-zero it holds a new malloc copy, which belongs to the record's owner.
 * The value a field held before is never freed. Returns the value stored;
 * null for any other comment, and when the copy cannot be made (the field
 * then keeps its value). */
TOLMEK_AUDIO_EXPORT char *decoder_vorbis_parse_tag(char *comment, audio_tags *tags, uint8_t copy);

#ifdef __cplusplus
}
#endif

/* The host reads these records field by field: each field at its width and
 * natural alignment, in this order, with the 64-bit length at offset 8
 * (on the 32-bit device: audio_tags 24 bytes, audio_stream 32 with length at
 * 8, audio_decoder 36). Checked in every build, whatever the pointer width. */
#ifdef __cplusplus
#define TOLMEK_AUDIO_ASSERT static_assert
#else
#define TOLMEK_AUDIO_ASSERT _Static_assert
#endif
#define TOLMEK_P sizeof(void *)
TOLMEK_AUDIO_ASSERT(offsetof(audio_tags, artist) == TOLMEK_P, "audio_tags.artist");
TOLMEK_AUDIO_ASSERT(offsetof(audio_tags, album) == 2 * TOLMEK_P, "audio_tags.album");
TOLMEK_AUDIO_ASSERT(offsetof(audio_tags, year) == 3 * TOLMEK_P, "audio_tags.year");
TOLMEK_AUDIO_ASSERT(offsetof(audio_tags, genre) == 4 * TOLMEK_P, "audio_tags.genre");
TOLMEK_AUDIO_ASSERT(offsetof(audio_tags, description) == 5 * TOLMEK_P, "audio_tags.description");
TOLMEK_AUDIO_ASSERT(sizeof(audio_tags) == 6 * TOLMEK_P, "audio_tags size");
TOLMEK_AUDIO_ASSERT(offsetof(audio_stream, length) == 8, "audio_stream.length");
TOLMEK_AUDIO_ASSERT(offsetof(audio_stream, rate) == 16, "audio_stream.rate");
TOLMEK_AUDIO_ASSERT(offsetof(audio_stream, channels) == 20, "audio_stream.channels");
TOLMEK_AUDIO_ASSERT(offsetof(audio_stream, tags) == 24, "audio_stream.tags");
TOLMEK_AUDIO_ASSERT(offsetof(audio_stream, fd) == 24 + TOLMEK_P, "audio_stream.fd");
TOLMEK_AUDIO_ASSERT(sizeof(audio_stream) == (24 + TOLMEK_P + 4 + 7) / 8 * 8, "audio_stream size");
TOLMEK_AUDIO_ASSERT(offsetof(audio_decoder, ext_count) == TOLMEK_P, "audio_decoder.ext_count");
TOLMEK_AUDIO_ASSERT(offsetof(audio_decoder, init) == 2 * TOLMEK_P, "audio_decoder.init");
TOLMEK_AUDIO_ASSERT(offsetof(audio_decoder, exit) == 3 * TOLMEK_P, "audio_decoder.exit");
TOLMEK_AUDIO_ASSERT(offsetof(audio_decoder, open) == 4 * TOLMEK_P, "audio_decoder.open");
TOLMEK_AUDIO_ASSERT(offsetof(audio_decoder, close) == 5 * TOLMEK_P, "audio_decoder.close");
TOLMEK_AUDIO_ASSERT(offsetof(audio_decoder, read) == 6 * TOLMEK_P, "audio_decoder.read");
TOLMEK_AUDIO_ASSERT(offsetof(audio_decoder, seek) == 7 * TOLMEK_P, "audio_decoder.seek");
TOLMEK_AUDIO_ASSERT(offsetof(audio_decoder, tell) == 8 * TOLMEK_P, "audio_decoder.tell");
TOLMEK_AUDIO_ASSERT(sizeof(audio_decoder) == 9 * TOLMEK_P, "audio_decoder size");
#undef TOLMEK_P
#undef TOLMEK_AUDIO_ASSERT
