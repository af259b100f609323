/*
 * A host built from the install tree alone: the installed headers, and
 * pkg-config for the flags. Beside the host services it provides GNU
 * libiconv's prefixed names (forwarded to the C library's iconv), links
 * the libraries and their dependencies, and makes a first call into each.
 */
#include <iconv.h>
#include <stdio.h>

#include <tolmek_audio.h>
#include <tolmek_db.h>
#include <tolmek_font.h>

void *libiconv_open(const char *to, const char *from) { return iconv_open(to, from); }
size_t libiconv(void *cd, char **in, size_t *in_left, char **out, size_t *out_left) {
    return iconv(cd, in, in_left, out, out_left);
}
int libiconv_close(void *cd) { return iconv_close(cd); }

int main(void) {
    sqlite3 *db = db_open(":memory:");
    int ok = audio_init() == 0 && audio_get_decoder("song.MP3") == &decoder_mp3 &&
             audio_exit() == 0 && db && db_exec(db, "CREATE TABLE songs(title)", NULL) == 0 &&
             font_open("missing.ttf") == -1;
    db_close(db);
    puts(ok ? "ok: the staged host runs" : "FAIL: a first call into a library failed");
    return !ok;
}
