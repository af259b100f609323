/*
 * What the device libraries call on the host player.
 *
 * The libraries leave these names undefined and bind to them by name when
 * the host loads them, so the host must export them from its executable (or
 * a library it loads first). Host and libraries share one C library and one
 * heap: memory handed across with malloc is released with free on the other
 * side where noted below.
 *
 * Calls are made on the thread that called into the library; no library
 * calls them concurrently on its own.
 */
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

/* --- files --------------------------------------------------------------- */

/* The extension of name with its leading dot (".mp3"), or "" when the last
 * path component has none. Never null; the text lives in name or is static. */
const char *file_get_ext(const char *name);

/* Opens name with the open(2) flags given (the libraries pass 0, read-only).
 * Returns a file descriptor, or -1. The caller closes it with close(2). */
int file_open(const char *name, int flags);

/* Opens name as a stdio stream with the fopen mode given ("rb"). Returns the
 * stream or null. The caller (or the decoder library it hands the stream
 * to) closes it with fclose. */
FILE *file_fopen(const char *name, const char *mode);

/* --- sound output -------------------------------------------------------- */

/* Announce the PCM format that the next reads deliver, in this order:
 * sample width in bits (always 16), channel count, rate in Hz. Each returns
 * 0 when the host accepts the value and non-zero when it refuses it; the
 * caller stops at the first refusal. */
int sound_set_format(int bits);
int sound_set_channels(int channels);
int sound_set_rate(int rate);

/* The output the host wants MP3 decoding forced to. Only read. */
extern int32_t sound_rate;  /* Hz */
extern int32_t sound_chans; /* 1 mono, 2 stereo */

/* --- text ---------------------------------------------------------------- */

/* Decodes NUL-terminated UTF-8 text into 32-bit code points ended by a 0
 * entry, in a malloc block that the caller releases with free. Malformed
 * input yields U+FFFD per bad sequence. text must not be null. */
uint32_t *utf8_decode(const char *text);

/* --- lists --------------------------------------------------------------- */

typedef struct linked_node {
    void *item;               /* the caller's pointer, never touched */
    struct linked_node *prev; /* host-private: the node before, or null */
    struct linked_node *next; /* the node after, or null at the end */
} linked_node;

/* The header lives in the caller's storage; the host owns its last field. */
typedef struct linked_list {
    uint32_t count;     /* number of nodes */
    linked_node *first; /* null when empty */
    linked_node *last;  /* host-private: null when empty */
} linked_list;

/* Makes list empty. Whatever the header held before is ignored (it may be
 * uninitialised storage), so nodes still linked there are not released. */
void linked_init(linked_list *list);

/* Appends item at the end; count goes up by one. When memory is exhausted
 * nothing is added and count stays as it was, which is how a caller tells.
 * Each node is one malloc block. Whoever owns the list releases its nodes with free once done with
 * it, walking the next links; the host keeps no other reference to them. */
void linked_add(linked_list *list, void *item);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
/* The host and the libraries read these records field by field: each field
 * at its width and natural alignment, in this order (12 bytes each on the
 * 32-bit device). Checked in every build, whatever the pointer width. */
#define TOLMEK_P sizeof(void *)
static_assert(offsetof(linked_node, prev) == TOLMEK_P &&
                  offsetof(linked_node, next) == 2 * TOLMEK_P &&
                  sizeof(linked_node) == 3 * TOLMEK_P,
              "linked_node layout");
static_assert(offsetof(linked_list, first) == TOLMEK_P &&
                  offsetof(linked_list, last) == 2 * TOLMEK_P &&
                  sizeof(linked_list) == 3 * TOLMEK_P,
              "linked_list layout");
#undef TOLMEK_P
#endif
