// tolmek text --font FILE -o OUT.png [options] (TEXT | --file TEXTFILE):
// draws UTF-8 text through libtolmek-font, as the device would show it, and
// writes the target as a PNG file. Prints "result: Y", the layout's result
// (the y just below the last line laid out).
//
//   --size PX            pixel size (16)
//   --canvas WxH         target size (320x240)
//   --box X,Y,W,H        layout box (the whole canvas)
//   --align left|center|right, --valign top|middle|bottom, --clip
//   --wrap glyphs|words  lines break before the glyph that does not fit
//                        (glyphs), or between words where they can (words)
//   --colour RRGGBB      text colour (ffffff); --background RRGGBB (000000)
//   --target image|fb    a 32-bit image, bytes R, G, B, A in memory order
//                        (opaque; colours as little-endian words), or an
//                        RGB565 framebuffer (image)
//
// The text is taken as it is: line feeds break lines, and a carriage return
// is a character like any other (drawn as "?" when the font lacks it). A
// text file may start with a UTF-8 byte-order mark, which is not drawn.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <string_view>
#include <vector>

#include <png.h>

#include "commands.h"
#include "input_file.h"
#include "tolmek_font.h"

namespace {

constexpr uint32_t max_canvas_side = 16384;

struct TextArguments {
    const char *font = nullptr;
    const char *output = nullptr;
    const char *text = nullptr;
    const char *file = nullptr;
    int32_t size = 16;
    uint32_t width = 320, height = 240;
    int32_t box[4] = {};
    bool has_box = false;
    int32_t flags = 0;
    uint32_t colour = 0xFFFFFF, background = 0; // 0xRRGGBB
    bool framebuffer = false;
};

bool parse_int(const char *text, long low, long high, char stop, const char **end, int32_t *value) {
    char *after;
    long number = strtol(text, &after, 10);
    if (after == text || *after != stop || number < low || number > high) return false;
    *value = static_cast<int32_t>(number);
    *end = after + (stop ? 1 : 0);
    return true;
}

// "N": a whole number in [low, high].
bool parse_number(const char *text, long low, long high, int32_t *value) {
    return parse_int(text, low, high, '\0', &text, value);
}

bool parse_canvas(const char *text, TextArguments *arguments) {
    int32_t width, height;
    if (!parse_int(text, 1, max_canvas_side, 'x', &text, &width) ||
        !parse_number(text, 1, max_canvas_side, &height))
        return false;
    arguments->width = static_cast<uint32_t>(width);
    arguments->height = static_cast<uint32_t>(height);
    return true;
}

bool parse_box(const char *text, int32_t box[4]) {
    for (int i = 0; i < 3; i++)
        if (!parse_int(text, INT32_MIN, INT32_MAX, ',', &text, &box[i])) return false;
    return parse_number(text, INT32_MIN, INT32_MAX, &box[3]);
}

bool parse_colour(const char *text, uint32_t *colour) {
    if (*text == '#') text++;
    char *end;
    unsigned long value = strtoul(text, &end, 16);
    if (strlen(text) != 6 || *end) return false;
    *colour = static_cast<uint32_t>(value);
    return true;
}

// One of words, whose index times step goes into the flags.
bool parse_choice(std::string_view text, std::initializer_list<std::string_view> words,
                  int32_t step, int32_t *flags) {
    int32_t index = 0;
    for (std::string_view word : words) {
        if (text == word) {
            *flags |= index * step;
            return true;
        }
        index++;
    }
    return false;
}

bool parse_option(std::string_view option, const char *value, TextArguments *a) {
    if (option == "--font") return (a->font = value) != nullptr;
    if (option == "-o") return (a->output = value) != nullptr;
    if (option == "--file") return (a->file = value) != nullptr;
    if (option == "--size") return parse_number(value, INT32_MIN, INT32_MAX, &a->size);
    if (option == "--canvas") return parse_canvas(value, a);
    if (option == "--box") return (a->has_box = parse_box(value, a->box));
    if (option == "--align") return parse_choice(value, {"left", "center", "right"}, 1, &a->flags);
    if (option == "--valign")
        return parse_choice(value, {"top", "middle", "bottom"}, 0x10, &a->flags);
    if (option == "--wrap")
        return parse_choice(value, {"glyphs", "words"}, TEXT_WRAP_WORDS, &a->flags);
    if (option == "--colour") return parse_colour(value, &a->colour);
    if (option == "--background") return parse_colour(value, &a->background);
    if (option == "--target") {
        int32_t target = 0;
        if (!parse_choice(value, {"image", "fb"}, 1, &target)) return false;
        a->framebuffer = target == 1;
        return true;
    }
    return false;
}

bool parse(int argc, char **argv, TextArguments *arguments) {
    for (int i = 0; i < argc; ++i) {
        if (strcmp(argv[i], "--clip") == 0)
            arguments->flags |= TEXT_CLIP;
        else if (argv[i][0] == '-' && argv[i][1]) {
            if (i + 1 == argc || !parse_option(argv[i], argv[i + 1], arguments)) return false;
            ++i;
        } else if (!arguments->text)
            arguments->text = argv[i];
        else
            return false;
    }
    return arguments->font && arguments->output && (!arguments->text != !arguments->file);
}

// The text of a file, without the byte-order mark that some editors put
// before UTF-8.
bool read_file(const char *path, std::string *text) {
    FILE *in = fopen(path, "rb");
    if (!in) return false;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, in)) > 0;) text->append(buffer, n);
    bool read = !ferror(in);
    fclose(in);
    if (text->starts_with("\xEF\xBB\xBF")) text->erase(0, 3);
    return read;
}

bool write_png(const char *path, uint32_t width, uint32_t height, uint32_t format,
               const void *pixels) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = width;
    png.height = height;
    png.format = format;
    if (png_image_write_to_file(&png, path, 0, pixels, 0, nullptr)) return true;
    fprintf(stderr, "tolmek: %s: %s\n", path, png.message);
    return false;
}

// The colour as the image stores it: bytes R, G, B and an opaque A.
uint32_t image_colour(uint32_t rgb) {
    return (rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16 | 0xFF000000u;
}

uint16_t rgb565(uint32_t rgb) {
    return static_cast<uint16_t>((rgb >> 19 & 0x1F) << 11 | (rgb >> 10 & 0x3F) << 5 |
                                 (rgb >> 3 & 0x1F));
}

// Each field widened to 8 bits, its top bits repeated below it.
void append_rgb(uint16_t pixel, std::vector<uint8_t> *rgb) {
    unsigned red = pixel >> 11, green = pixel >> 5 & 0x3F, blue = pixel & 0x1F;
    rgb->push_back(static_cast<uint8_t>(red << 3 | red >> 2));
    rgb->push_back(static_cast<uint8_t>(green << 2 | green >> 4));
    rgb->push_back(static_cast<uint8_t>(blue << 3 | blue >> 2));
}

bool render_image(const TextArguments &a, const char *text, const int32_t box[4], int32_t *result) {
    std::vector<uint32_t> words(size_t{a.width} * a.height, image_colour(a.background));
    tolmek_image image{a.width, a.height, reinterpret_cast<uint8_t *>(words.data())};
    *result = image_draw_text(&image, text, box[0], box[1], box[2], box[3], a.size,
                              image_colour(a.colour), a.flags);
    return write_png(a.output, a.width, a.height, PNG_FORMAT_RGBA, words.data());
}

bool render_framebuffer(const TextArguments &a, const char *text, const int32_t box[4],
                        int32_t *result) {
    std::vector<uint16_t> pixels(size_t{a.width} * a.height, rgb565(a.background));
    tolmek_framebuffer fb{a.width, a.height, pixels.data()};
    *result =
        fb_draw_text(&fb, text, box[0], box[1], box[2], box[3], a.size, rgb565(a.colour), a.flags);
    std::vector<uint8_t> rgb;
    rgb.reserve(pixels.size() * 3);
    for (uint16_t pixel : pixels) append_rgb(pixel, &rgb);
    return write_png(a.output, a.width, a.height, PNG_FORMAT_RGB, rgb.data());
}

int run_text(int argc, char **argv) {
    TextArguments a;
    if (!parse(argc, argv, &a)) return usage_error;
    std::string file_text;
    if (a.file && !read_file(a.file, &file_text)) {
        fprintf(stderr, "tolmek: %s: cannot read\n", a.file);
        return 2;
    }
    if (report_unreadable(a.font)) return 2;
    if (font_open(a.font) != 0) {
        fprintf(stderr, "tolmek: %s: not a font FreeType can open\n", a.font);
        return 2;
    }
    const char *text = a.file ? file_text.c_str() : a.text;
    int32_t whole_canvas[4] = {0, 0, static_cast<int32_t>(a.width), static_cast<int32_t>(a.height)};
    const int32_t *box = a.has_box ? a.box : whole_canvas;
    int32_t result = 0;
    bool written = a.framebuffer ? render_framebuffer(a, text, box, &result)
                                 : render_image(a, text, box, &result);
    font_close();
    if (!written) return 1;
    printf("result: %d\n", result);
    return fflush(stdout) == 0 ? 0 : 1;
}

} // namespace

const Command text_command = {
    "text",
    "text --font FILE -o OUT.png [options] (TEXT | --file TEXTFILE)\n"
    "  options: [--size PX] [--canvas WxH] [--box X,Y,W,H]\n"
    "  [--align left|center|right] [--valign top|middle|bottom] [--clip]\n"
    "  [--wrap glyphs|words]\n"
    "  [--colour RRGGBB] [--background RRGGBB] [--target image|fb]\n",
    run_text,
};
