/* The device test host: the reference host's services, the libraries loaded with dlopen(RTLD_NOW)
 * as the player loads them, and a session printed a line a check, to compare runs on two C
 * libraries. Facts are checked here too (tags, PCM sizes, drawn pixels, error texts): two equally
 * broken runs fail. Usage: device_host MEDIA TTF BDF HANGUL_TTF NEW_DATABASE AUDIO FONT DB, the
 * files by absolute path (the audio part works in MEDIA), the libraries as dlopen takes them. */
#include <dlfcn.h>
#include <glob.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "reference_host.h"
#include "tolmek_audio.h"
#include "tolmek_db.h"
#include "tolmek_font.h"

static int failures;

static void check(int ok, const char *what, const char *name) {
    if (ok) return;
    printf("FAIL: %s: %s\n", name, what);
    failures++;
}

static uint32_t fnv1a(const void *data, size_t size, uint32_t hash) {
    for (const unsigned char *byte = data; size--; byte++) hash = (hash ^ *byte) * 16777619u;
    return hash;
}
#define FNV_START 2166136261u

enum { AUDIO, FONT, DB };
static void *library[3];

static void *bound(int which, const char *name) {
    void *address = dlsym(library[which], name);
    if (address) return address;
    printf("FAIL: %s unbound\n", name);
    exit(1);
}
#define CALL(which, name) ((__typeof__(&name))bound(which, #name))

/* Reads to the end in the sizes given, in turn: the bytes, their checksum and the last result. */
static long read_all(const audio_decoder *decoder, audio_stream *stream, const long *sizes,
                     long size_count, uint32_t *hash, int *last) {
    static unsigned char pcm[1 << 20];
    long total = 0;
    *hash = FNV_START;
    for (long i = 0; (*last = decoder->read(stream, pcm, sizes[i % size_count])) > 0; i++) {
        *hash = fnv1a(pcm, (size_t)*last, *hash);
        total += *last;
    }
    return total;
}

/* A line of matrix.txt: NAME HOST_RATE HOST_CHANNELS COUNT, then RATE CHANNELS BYTES of each
 * format, then the read sizes. Decoded whole, then from the middle. */
static void decode(char *line) {
    const char *name = strtok(line, " \n");
    long field[64], fields = 0, bytes = 0;
    for (char *word; fields < 64 && (word = strtok(NULL, " \n"));) field[fields++] = atol(word);
    long formats = field[2], *sizes = field + 3 + 3 * formats;
    for (long i = 0; i < formats; i++) bytes += field[5 + 3 * i];
    reference_sound_reset((int)field[0], (int)field[1]);
    const audio_decoder *decoder = CALL(AUDIO, audio_get_decoder)(name);
    audio_stream *stream = decoder ? decoder->open(name) : NULL;
    check(!stream == !formats, "opened as no decoder should or refused", name);
    if (!stream) return;
    uint32_t hash;
    int last;
    long total = read_all(decoder, stream, sizes, field + fields - sizes, &hash, &last);
    check(total == bytes, "not as many bytes as its format's own decoder", name);
    printf("%s: %s; length %lld, %ld bytes, pcm %08x, then %d\n", name, reference_sound_log(),
           (long long)stream->length, total, hash, last);
    int sought = decoder->seek(stream, stream->length / 2);
    long at = (long)decoder->tell(stream);
    total = read_all(decoder, stream, (long[]){4096}, 1, &hash, &last);
    printf("%s: seek %d, at %ld, %ld bytes, pcm %08x\n", name, sought, at, total, hash);
    decoder->close(stream);
}

/* NAME.tags: the native encoding to set, then the tags the decoder gives, a line each. */
static void read_tags(const char *tags_file) {
    char expected[1024] = "", got[1024] = "", name[256];
    FILE *in = fopen(tags_file, "r");
    expected[fread(expected, 1, sizeof expected - 1, in)] = 0;
    fclose(in);
    char *encoding = expected, *lines = strchr(expected, '\n');
    *lines++ = 0;
    snprintf(name, sizeof name, "%.*s", (int)(strlen(tags_file) - 5), tags_file);
    check(CALL(AUDIO, decoder_mp3_set_tag_native_encoding)(*encoding ? encoding : NULL) == 0,
          "native encoding refused", name);
    const audio_decoder *decoder = CALL(AUDIO, audio_get_decoder)(name);
    audio_stream *stream = decoder ? decoder->open(name) : NULL;
    audio_tags none = {0}, *tags = stream && stream->tags ? stream->tags : &none;
    const char *keys[] = {"title", "artist", "album", "year", "genre", "description"};
    const char *values[] = {tags->title, tags->artist, tags->album,
                            tags->year,  tags->genre,  tags->description};
    for (size_t i = 0, length = 0; i < 6; i++, length = strlen(got))
        if (values[i]) snprintf(got + length, sizeof got - length, "%s: %s\n", keys[i], values[i]);
    printf("%s [%s] tags:\n%s", name, encoding, got);
    check(strcmp(got, lines) == 0, "tags not as written", name);
    if (stream) decoder->close(stream);
}

/* In the media folder, by relative names: under qemu's -L, a glob that starts from "/" lists the
 * emulated root's own "/". */
static void run_audio(const char *media) {
    check(CALL(AUDIO, audio_init)() == 0 && chdir(media) == 0, "audio_init failed", media);
    char line[1024];
    FILE *matrix = fopen("matrix.txt", "r");
    while (matrix && fgets(line, sizeof line, matrix)) decode(line);
    glob_t tag_files = {0};
    check(matrix && glob("*.tags", 0, NULL, &tag_files) == 0, "no matrix or tags", media);
    for (size_t i = 0; i < tag_files.gl_pathc; i++) read_tags(tag_files.gl_pathv[i]);
    globfree(&tag_files);
    if (matrix) fclose(matrix);
    check(CALL(AUDIO, audio_exit)() == 0, "audio_exit failed", "audio");
}

/* One page on each target: the result and the pixels' checksums, which must differ from a blank
 * page's. */
static void draw_page(const char *font, const char *text, int size, int flags) {
    enum { WIDTH = 96, HEIGHT = 40, PIXELS = WIDTH * HEIGHT };
    static uint8_t image_pixels[PIXELS * 4];
    static uint16_t fb_pixels[PIXELS];
    tolmek_image image = {WIDTH, HEIGHT, image_pixels};
    tolmek_framebuffer fb = {WIDTH, HEIGHT, fb_pixels};
    memset(image_pixels, 0x20, sizeof image_pixels);
    for (int i = 0; i < PIXELS; i++) fb_pixels[i] = 0x1234;
    uint32_t image_blank = fnv1a(image_pixels, sizeof image_pixels, FNV_START),
             fb_blank = fnv1a(fb_pixels, sizeof fb_pixels, FNV_START);
    const char *name = strrchr(font, '/') + 1;
    check(CALL(FONT, font_open)(font) == 0, "font_open failed", name);
    int image_y = CALL(FONT, image_draw_text)(&image, text, 2, 1, 90, 38, size, 0xC0FF4080, flags);
    int fb_y = CALL(FONT, fb_draw_text)(&fb, text, 2, 1, 90, 38, size, 0xF81F, flags);
    check(CALL(FONT, font_close)() == 0, "font_close failed", name);
    uint32_t image_hash = fnv1a(image_pixels, sizeof image_pixels, FNV_START),
             fb_hash = fnv1a(fb_pixels, sizeof fb_pixels, FNV_START);
    check(image_hash != image_blank && fb_hash != fb_blank, "nothing drawn", name);
    printf("text %s \"%s\" at %d, flags %x: y %d and %d, image %08x, framebuffer %08x\n", name,
           text, size, flags, image_y, fb_y, image_hash, fb_hash);
}

static void run_sql(sqlite3 *db, const char *sql) {
    db_res *table;
    check(CALL(DB, db_exec)(db, sql, &table) == 0 && table, "db_exec failed", sql);
    printf("sql %s:", sql);
    for (uint32_t c = 0; table && c < table->col_count; c++) printf(" %s", table->col_names[c]);
    for (uint32_t r = 0; table && r < table->row_count; r++)
        for (uint32_t c = 0; c < table->col_count; c++)
            printf("%s%s", c ? "|" : "; ", table->rows[r][c] ? table->rows[r][c] : "NULL");
    printf("\n");
    CALL(DB, db_free_res)(table);
}

static void run_db(const char *path) {
    remove(path);
    sqlite3 *db = CALL(DB, db_open)(path);
    check(db != NULL, "db_open failed", path);
    if (!db) return;
    char *insert = CALL(DB, db_mprintf)(
        "INSERT INTO songs(title, plays) VALUES (%Q, %d), (%Q, 2.5), (%Q, %lld); -- %w %.3f",
        "it's 봄날", -7, "밤편지", NULL, (long long)1 << 40, "a\"b", 1.0 / 3);
    run_sql(db, "CREATE TABLE songs(id INTEGER PRIMARY KEY, title TEXT, plays REAL)");
    run_sql(db, insert);
    run_sql(db, "SELECT id, title, plays, length(title), upper(title), 1.0 / 3 FROM songs");
    run_sql(db, "SELECT count(*), sum(plays), date(1700000000, 'unixepoch') FROM songs");
    CALL(DB, db_free)(insert);
    const char *err_msg = bound(DB, "db_err_msg");
    db_res *table = &(db_res){0};
    int result = CALL(DB, db_exec)(db, "SELECT 1; SELECT * FROM missing", &table);
    check(result == -1 && !table && *err_msg, "a failure not reported", "db_exec");
    printf("sql failure: %d, \"%s\"\n", result, err_msg);
    check(CALL(DB, db_exec)(db, "SELECT 1", NULL) == 0 && !*err_msg, "error kept", "db_exec");
    check(CALL(DB, db_close)(db) == 0, "db_close failed", path);
}

int main(int argc, char **argv) {
    if (argc != 9) {
        fprintf(stderr, "usage: see device_host.c\n");
        return 2;
    }
    for (int i = AUDIO; i <= DB; i++) {
        if ((library[i] = dlopen(argv[6 + i], RTLD_NOW))) continue;
        printf("FAIL: %s\n", dlerror());
        return 1;
    }
    run_audio(argv[1]);
    draw_page(argv[2], "aWa\nhjf B?", 10, TEXT_ALIGN_CENTER | TEXT_CLIP);
    draw_page(argv[2], "aa aa jh aa B", 10,
              TEXT_WRAP_WORDS | TEXT_VALIGN_MIDDLE | TEXT_ALIGN_RIGHT);
    draw_page(argv[3], "am\xea\xb0\x80ma", 10, TEXT_VALIGN_BOTTOM); /* no "가": "?" */
    draw_page(argv[4], "봄날 한글 노래 밤편지", 14, TEXT_WRAP_WORDS);
    run_db(argv[5]);
    for (int i = DB; i >= AUDIO; i--)
        check(dlclose(library[i]) == 0, "dlclose failed", argv[6 + i]);
    printf("%s\n", failures ? "FAILED" : "done");
    return failures != 0;
}
