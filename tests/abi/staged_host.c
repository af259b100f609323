/*
 * A host built from the install tree alone: the installed headers, and
 * pkg-config for the flags. It provides the host services and GNU
 * libiconv's prefixed names (forwarded to the C library's iconv), links
 * the libraries and their dependencies, and makes a first call into each.
 */
#include <iconv.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <host_services.h>
#include <tolmek_audio.h>
#include <tolmek_db.h>

const char *file_get_ext(const char *name) {
    const char *dot = strrchr(name, '.');
    return dot ? dot : "";
}
int file_open(const char *name, int flags) { return (void)name, (void)flags, -1; }
FILE *file_fopen(const char *name, const char *mode) { return fopen(name, mode); }
int sound_set_format(int bits) { return bits != 16; }
int sound_set_channels(int channels) { return channels < 1; }
int sound_set_rate(int rate) { return rate < 1; }
int32_t sound_rate = 44100;
int32_t sound_chans = 2;
uint32_t *utf8_decode(const char *text) { return calloc(strlen(text) + 1, sizeof(uint32_t)); }

void linked_init(linked_list *list) { memset(list, 0, sizeof *list); }
void linked_add(linked_list *list, void *item) { (void)list, (void)item; }

void *libiconv_open(const char *to, const char *from) { return iconv_open(to, from); }
size_t libiconv(void *cd, char **in, size_t *in_left, char **out, size_t *out_left) {
    return iconv(cd, in, in_left, out, out_left);
}
int libiconv_close(void *cd) { return iconv_close(cd); }

int main(void) {
    if (audio_init() != 0 || audio_get_decoder("song.MP3") != &decoder_mp3 ||
        audio_exit() != 0) {
        puts("FAIL: the audio library");
        return 1;
    }
    sqlite3 *db = db_open(":memory:");
    int ok = db && db_exec(db, "CREATE TABLE songs(title)", NULL) == 0;
    db_close(db);
    puts(ok ? "ok: the staged host runs" : "FAIL: the database library");
    return !ok;
}
