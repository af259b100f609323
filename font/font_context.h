// The font context's glyph service for the layout: code point in, rendered
// bitmap with its metrics out, served from FreeType's caches.
#pragma once

#include <stdint.h>

#include <ft2build.h>
#include FT_CACHE_H

namespace font {

enum GlyphFormat : int32_t { glyph_mono = 1, glyph_grey = 2 };

// A rendered glyph. Whatever the cache it came from, the fields mean the
// same; buffer stays valid until the glyph is released.
struct Glyph {
    int32_t width, height;      // bitmap columns and rows, 0 for an empty glyph
    int32_t left;               // from the pen x to the first column
    int32_t top;                // from the baseline up to the first row
    int32_t pitch;              // bytes from one row to the next
    int32_t format;             // glyph_mono (MSB first), glyph_grey; others draw nothing
    int32_t xadvance, yadvance; // pen movement in pixels; yadvance is subtracted
    const uint8_t *buffer;      // first byte of the top row
    FTC_Node node;              // the cache's reference, given back by glyph_release
};

// True between a successful font_open and the next font_close.
bool context_is_open();

// The request record of one drawing call: the cache lookups' key.
FTC_ImageTypeRec glyph_request(int32_t size);

// Fetches the glyph of code_point, or of "?" when the font lacks it. False
// when neither exists or FreeType fails: the code point then takes no room
// and nothing is held. On true the caller gives the glyph back with
// glyph_release once it is measured or drawn.
bool glyph_fetch(FTC_ImageTypeRec &request, uint32_t code_point, Glyph *glyph);
void glyph_release(const Glyph &glyph);

// A fetched glyph for the length of a scope.
class HeldGlyph {
public:
    HeldGlyph(FTC_ImageTypeRec &request, uint32_t code_point)
        : held_(glyph_fetch(request, code_point, &glyph_)) {}
    HeldGlyph(const HeldGlyph &) = delete;
    HeldGlyph &operator=(const HeldGlyph &) = delete;
    ~HeldGlyph() {
        if (held_) glyph_release(glyph_);
    }
    explicit operator bool() const { return held_; }
    const Glyph &operator*() const { return glyph_; }
    const Glyph *operator->() const { return &glyph_; }

private:
    Glyph glyph_;
    bool held_;
};

} // namespace font
