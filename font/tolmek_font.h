/*
 * libtolmek-font: text in one FreeType font, drawn into the host's 32-bit
 * images and onto its 16-bit 5-6-5 framebuffer memory.
 *
 * Calling order: font_open once, any number of drawing calls, font_close.
 * The font context is process-wide and has no lock: every call into the
 * library, drawing included, must be made by one thread at a time.
 *
 * Drawing: the text is laid out in the box x, y, w, h (target pixels, y
 * growing downward) at a pixel size (the em is size pixels high and wide).
 * Lines break where the next glyph would pass the right edge x + w (or
 * between words, with TEXT_WRAP_WORDS) and at each line feed (code point
 * 10, which takes no room itself). The first
 * baseline lies size - 1 below y, the next ones size + size / 2 further
 * down each. A line whose baseline would reach the bottom limit is not laid
 * out, nor anything after it: the bottom limit is y + h, or y + h plus one
 * line height with TEXT_CLIP. Pixels outside the target are never written;
 * with TEXT_CLIP neither are pixels outside the box.
 *
 * Every drawing call returns the y just below the last line laid out: its
 * baseline + size / 2 + 1, or y itself when no line fits; an empty text
 * still counts one line. The result saturates at the ends of the 32-bit
 * range. A drawing call returns y and draws nothing when no context is
 * open, when size is below 1, when the target record is null, or when its
 * width x height pixels would not fit the address space. A null text, or
 * a null from the host's utf8_decode, draws nothing and returns as for an
 * empty text.
 *
 * Glyphs come from the font's Unicode character map, or its first one when
 * it has none. A code point the font lacks is drawn as "?"; without a "?"
 * it takes no room, and so does a glyph FreeType fails to render. Glyphs of
 * any size are drawn, in grey (8-bit coverage) or in one bit per pixel
 * where the font supplies such bitmaps.
 *
 * The library binds at load time to FreeType and to the host's
 * utf8_decode (host_services.h) in the loading process.
 */
#pragma once

#include <stddef.h>
#include <stdint.h>

#define TOLMEK_FONT_EXPORT __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* The flags word of the drawing calls: one horizontal and one vertical
 * alignment, plus TEXT_CLIP and TEXT_WRAP_WORDS. Bits 10 to 31 are
 * ignored; alignment values other than those below place as
 * TEXT_ALIGN_LEFT and TEXT_VALIGN_TOP. */
enum {
    TEXT_ALIGN_LEFT = 0x00,    /* every line starts at x */
    TEXT_ALIGN_CENTER = 0x01,  /* each line centred between x and x + w */
    TEXT_ALIGN_RIGHT = 0x02,   /* each line ends at x + w */
    TEXT_VALIGN_TOP = 0x00,    /* the first baseline is y + size - 1 */
    TEXT_VALIGN_MIDDLE = 0x10, /* the block of lines centred in the box */
    TEXT_VALIGN_BOTTOM = 0x20, /* the block of lines ends at y + h */
    TEXT_CLIP = 0x100,         /* nothing drawn outside the box; one more
                                  line may start below it, clipped */
    /* Lines break between words: a line that the next glyph would pass
     * the right edge with ends at the last space (U+0020) that fitted on
     * it, and the next line starts with the word after that space. The
     * spaces where a line breaks are neither drawn nor counted in its
     * width, at its end or at the start of the next line. A line without
     * such a space, one word wider than the box, still breaks before the
     * glyph that does not fit. Line feeds, alignment, the bottom limit,
     * clipping and the result are as without the flag. */
    TEXT_WRAP_WORDS = 0x200
};

/* A 32-bit image of the host; the host may keep more fields after these.
 * Pixel (px, py) is the 4 bytes at pixels + (py * width + px) * 4. */
typedef struct tolmek_image {
    uint32_t width;  /* pixels per row */
    uint32_t height; /* rows */
    uint8_t *pixels; /* top row first, rows without gaps */
} tolmek_image;

/* Framebuffer memory of the host, 16 bits per pixel in three fields: bits
 * 15-11, 10-5 and 4-0 (red, green, blue on most displays). The host may
 * keep more fields after these. */
typedef struct tolmek_framebuffer {
    uint32_t width;   /* pixels per row */
    uint32_t height;  /* rows */
    uint16_t *pixels; /* top row first, rows without gaps */
} tolmek_framebuffer;

/* Opens the context with face 0 of the font file at path (any format
 * FreeType reads). The path is copied: the caller's text may change
 * afterwards. Returns 0; -1 when the file does not open as a font, memory
 * runs out, or a context is already open (that context then stays as it
 * was). After -1 nothing of the new context stays open. */
TOLMEK_FONT_EXPORT int font_open(const char *path);

/* Closes the context and releases the face and its caches. Returns 0, also
 * when nothing is open; -1 when FreeType fails to release its library
 * instance: the caches are gone all the same, and a later font_close
 * retries that release (font_open fails until it succeeded). */
TOLMEK_FONT_EXPORT int font_close(void);

/* Draws text into image; the box and the result as described above.
 * text is code points ended by a 0 word. Each covered pixel's four bytes
 * mix with the colour's bytes, least significant byte with the first in
 * memory: new = old * (255 - a) / 255 + colour * a / 255, each quotient
 * truncated, for a coverage a from 1 to 255. No byte is an opacity. */
TOLMEK_FONT_EXPORT int32_t image_draw_text_unicode(tolmek_image *image, const uint32_t *text,
                                                   int32_t x, int32_t y, int32_t w, int32_t h,
                                                   int32_t size, uint32_t colour, int32_t flags);

/* The same for NUL-terminated UTF-8 text, decoded by the host's
 * utf8_decode; the code points are freed before the call returns. */
TOLMEK_FONT_EXPORT int32_t image_draw_text(tolmek_image *image, const char *text, int32_t x,
                                           int32_t y, int32_t w, int32_t h, int32_t size,
                                           uint32_t colour, int32_t flags);

/* Draws text onto framebuffer memory, laid out exactly as the image calls
 * do. Only the low 16 bits of colour count. Each field of a covered pixel
 * mixes with the colour's at the coverage cut to the field's width:
 * a5 = a >> 3 for the 5-bit fields, a6 = a >> 2 for the 6-bit one, and
 * new = old * (31 - a5) / 31 + colour * a5 / 31 (63 and a6 for the middle
 * field), each quotient truncated. Coverage below 4 leaves a pixel as is. */
TOLMEK_FONT_EXPORT int32_t fb_draw_text_unicode(tolmek_framebuffer *fb, const uint32_t *text,
                                                int32_t x, int32_t y, int32_t w, int32_t h,
                                                int32_t size, uint32_t colour, int32_t flags);

/* The same for NUL-terminated UTF-8 text, as image_draw_text. */
TOLMEK_FONT_EXPORT int32_t fb_draw_text(tolmek_framebuffer *fb, const char *text, int32_t x,
                                        int32_t y, int32_t w, int32_t h, int32_t size,
                                        uint32_t colour, int32_t flags);

#ifdef __cplusplus
}
#endif

/* The host's records, read field by field: width and height, then the
 * pixels pointer (12 bytes on the device). Checked in every build. */
#ifdef __cplusplus
#define TOLMEK_FONT_ASSERT static_assert
#else
#define TOLMEK_FONT_ASSERT _Static_assert
#endif
TOLMEK_FONT_ASSERT(offsetof(tolmek_image, height) == 4, "tolmek_image.height");
TOLMEK_FONT_ASSERT(offsetof(tolmek_image, pixels) == 8, "tolmek_image.pixels");
TOLMEK_FONT_ASSERT(sizeof(tolmek_image) == 8 + sizeof(void *), "tolmek_image size");
TOLMEK_FONT_ASSERT(offsetof(tolmek_framebuffer, height) == 4, "tolmek_framebuffer.height");
TOLMEK_FONT_ASSERT(offsetof(tolmek_framebuffer, pixels) == 8, "tolmek_framebuffer.pixels");
TOLMEK_FONT_ASSERT(sizeof(tolmek_framebuffer) == 8 + sizeof(void *), "tolmek_framebuffer size");
#undef TOLMEK_FONT_ASSERT
