/* A host built on the install tree and the reference host's services calls into each library. */
#include <stdio.h>

#include <tolmek_audio.h>
#include <tolmek_db.h>
#include <tolmek_font.h>

int main(void) {
    sqlite3 *db = db_open(":memory:");
    int ok = audio_init() == 0 && audio_get_decoder("song.MP3") == &decoder_mp3 &&
             audio_exit() == 0 && db && db_exec(db, "CREATE TABLE songs(title)", NULL) == 0 &&
             font_open("missing.ttf") == -1;
    db_close(db);
    puts(ok ? "ok: the staged host runs" : "FAIL: a first call into a library failed");
    return !ok;
}
