// The process-wide font context: one FreeType library, one cache manager
// that owns the face, and the caches the layout reads glyphs through.
//
// The face is opened lazily by the manager, through font_request_face,
// from the copy of the path kept here; font_open only proves once that the
// file opens as a font.
//
// FreeType allocates through a record of our own that zero-fills every
// block: the cache manager of FreeType 2.12 leaves its count of cached bytes
// uninitialised, and with a leftover value in the memory it got, believes
// the cache over budget and drops every glyph straight after its lookup.
//
// Glyphs come from the small-bitmap cache, which keeps them compactly but
// only while their sizes, offsets and advances fit its 8-bit fields. It
// reports a larger glyph as a success with an empty marker bitmap, so such
// glyphs are fetched again through the image cache, which has no limits.
// The small-bitmap cache renders such a glyph again on every lookup, so
// sizes at which glyphs hardly ever fit go to the image cache directly; it
// returns the same bitmaps and advances.
#include <stdlib.h>
#include <string.h>

#include "font_context.h"
#include "tolmek_font.h"

#include FT_MODULE_H

namespace font {
namespace {

constexpr FT_ULong cache_budget = 0x100000; // bytes of cached glyphs and charmap nodes
constexpr FT_UInt max_faces = 1;
constexpr FT_UInt max_sizes = 1; // a call at another size replaces the size object
constexpr uint32_t question_mark = 63;
// Above this the advance of most glyphs passes the small-bitmap cache's
// limit of 127 pixels.
constexpr FT_UInt small_bitmap_max_size = 127;

void *zeroed_block(FT_Memory, long size) { return calloc(1, static_cast<size_t>(size)); }
void free_block(FT_Memory, void *block) { free(block); }
void *resize_block(FT_Memory, long, long size, void *block) {
    return realloc(block, static_cast<size_t>(size));
}
FT_MemoryRec_ zero_filling_memory{nullptr, zeroed_block, free_block, resize_block};

struct Context {
    char *path; // malloc copy of the font path: the manager's request data
    FT_Library library;
    FTC_Manager manager;
    FTC_CMapCache charmaps;
    FTC_SBitCache small_bitmaps;
    FTC_ImageCache images;
};

Context context; // all null while closed

// The manager's face requester: face 0 of the file at request_data. Code
// points are Unicode, so the face keeps the Unicode character map that
// FreeType selects when the font has one, and takes its first one
// otherwise. (Many TrueType fonts list a Mac Roman map first.)
FT_Error font_request_face(FTC_FaceID, FT_Library library, FT_Pointer request_data, FT_Face *face) {
    FT_Error error = FT_New_Face(library, static_cast<const char *>(request_data), 0, face);
    if (error == 0 && !(*face)->charmap && (*face)->num_charmaps > 0)
        FT_Set_Charmap(*face, (*face)->charmaps[0]);
    return error;
}

bool keep_path(const char *path) {
    size_t size = strlen(path) + 1;
    context.path = static_cast<char *>(malloc(size));
    if (!context.path) return false;
    memcpy(context.path, path, size);
    return true;
}

bool create_library() {
    if (FT_New_Library(&zero_filling_memory, &context.library) != 0) return false;
    FT_Add_Default_Modules(context.library);
    return true;
}

// Opens and closes the face once, so that a bad file fails font_open.
bool font_file_opens() {
    FT_Face face = nullptr;
    if (FT_New_Face(context.library, context.path, 0, &face) != 0) return false;
    FT_Done_Face(face);
    return true;
}

bool create_caches() {
    return FTC_Manager_New(context.library, max_faces, max_sizes, cache_budget, font_request_face,
                           context.path, &context.manager) == 0 &&
           FTC_CMapCache_New(context.manager, &context.charmaps) == 0 &&
           FTC_SBitCache_New(context.manager, &context.small_bitmaps) == 0 &&
           FTC_ImageCache_New(context.manager, &context.images) == 0;
}

// The glyph index of code_point in the face's selected map (index -1), or
// of "?"; 0 when the font has neither.
FT_UInt glyph_index(uint32_t code_point) {
    FT_UInt index = FTC_CMapCache_Lookup(context.charmaps, nullptr, -1, code_point);
    if (index == 0) index = FTC_CMapCache_Lookup(context.charmaps, nullptr, -1, question_mark);
    return index;
}

// The small-bitmap cache's mark for a glyph it could not keep.
bool is_too_large_mark(const FTC_SBitRec &sbit) { return !sbit.buffer && sbit.width == 255; }

// A row of the bitmap must fit in its pitch, or reading it would overrun.
void refuse_inconsistent_bitmap(Glyph *glyph) {
    int32_t row_bytes = glyph->format == glyph_mono ? (glyph->width + 7) / 8 : glyph->width;
    if (glyph->pitch < row_bytes || !glyph->buffer) glyph->format = 0;
}

void take_small_bitmap(const FTC_SBitRec &sbit, Glyph *glyph) {
    glyph->width = sbit.width;
    glyph->height = sbit.height;
    glyph->left = sbit.left;
    glyph->top = sbit.top;
    glyph->pitch = sbit.pitch;
    glyph->format = sbit.format;
    glyph->xadvance = sbit.xadvance;
    glyph->yadvance = sbit.yadvance;
    glyph->buffer = sbit.buffer;
}

// The image cache's glyph, a bitmap since the request renders; its advance
// is in 16.16 fixed point, rounded as the small-bitmap cache rounds.
void take_image(FT_Glyph image, Glyph *glyph) {
    glyph->xadvance = static_cast<int32_t>((image->advance.x + 0x8000) >> 16);
    glyph->yadvance = static_cast<int32_t>((image->advance.y + 0x8000) >> 16);
    if (image->format != FT_GLYPH_FORMAT_BITMAP) return; // takes room, draws nothing
    const auto *bitmap_glyph = reinterpret_cast<FT_BitmapGlyph>(image);
    const FT_Bitmap &bitmap = bitmap_glyph->bitmap;
    glyph->width = static_cast<int32_t>(bitmap.width);
    glyph->height = static_cast<int32_t>(bitmap.rows);
    glyph->left = bitmap_glyph->left;
    glyph->top = bitmap_glyph->top;
    glyph->pitch = bitmap.pitch;
    glyph->format = bitmap.pixel_mode;
    glyph->buffer = bitmap.buffer;
}

void release_node(Glyph *glyph) {
    if (glyph->node) FTC_Node_Unref(glyph->node, context.manager);
    glyph->node = nullptr;
}

enum class Fetch { done, failed, too_large };

Fetch fetch_small(FTC_ImageTypeRec &request, FT_UInt index, Glyph *glyph) {
    if (request.height > small_bitmap_max_size) return Fetch::too_large;
    FTC_SBit sbit = nullptr;
    if (FTC_SBitCache_Lookup(context.small_bitmaps, &request, index, &sbit, &glyph->node) != 0) {
        release_node(glyph);
        return Fetch::failed;
    }
    if (is_too_large_mark(*sbit)) {
        release_node(glyph);
        return Fetch::too_large;
    }
    take_small_bitmap(*sbit, glyph);
    return Fetch::done;
}

bool fetch_large(FTC_ImageTypeRec &request, FT_UInt index, Glyph *glyph) {
    FT_Glyph image = nullptr;
    if (FTC_ImageCache_Lookup(context.images, &request, index, &image, &glyph->node) != 0) {
        release_node(glyph);
        return false;
    }
    take_image(image, glyph);
    return true;
}

} // namespace

bool context_is_open() { return context.manager != nullptr; }

FTC_ImageTypeRec glyph_request(int32_t size) {
    return FTC_ImageTypeRec{nullptr, 0, static_cast<FT_UInt>(size), FT_LOAD_RENDER};
}

bool glyph_fetch(FTC_ImageTypeRec &request, uint32_t code_point, Glyph *glyph) {
    FT_UInt index = glyph_index(code_point);
    if (index == 0) return false;
    *glyph = Glyph{};
    Fetch small = fetch_small(request, index, glyph);
    if (small == Fetch::failed) return false;
    if (small == Fetch::too_large && !fetch_large(request, index, glyph)) return false;
    refuse_inconsistent_bitmap(glyph);
    return true;
}

void glyph_release(const Glyph &glyph) { FTC_Node_Unref(glyph.node, context.manager); }

} // namespace font

using font::context;

extern "C" {

int font_open(const char *path) {
    if (context.library) return -1; // open, or a failed close still to be repeated
    if (!path || !font::keep_path(path) || !font::create_library() || !font::font_file_opens() ||
        !font::create_caches()) {
        font_close();
        return -1;
    }
    return 0;
}

int font_close(void) {
    if (context.manager) FTC_Manager_Done(context.manager); // the caches and the face with it
    context.manager = nullptr;
    context.charmaps = nullptr;
    context.small_bitmaps = nullptr;
    context.images = nullptr;
    free(context.path);
    context.path = nullptr;
    if (context.library) {
        if (FT_Done_Library(context.library) != 0) return -1;
        context.library = nullptr;
    }
    return 0;
}

} // extern "C"
