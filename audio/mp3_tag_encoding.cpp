// The native tag encoding setting of the MP3 decoder.
#include "mp3_tag_encoding.h"

#include <stdio.h>
#include <strings.h>

#include "tolmek_audio.h"

// C linkage and export come from the declaration in the public header.
char decoder_mp3_tag_native_encoding[30] = "";

namespace audio {
namespace {

TagConverters converters; // both absent after load

// A converter, or null when the converter library cannot make it.
libiconv_t open_converter(const char *to, const char *from) {
    libiconv_t cd = libiconv_open(to, from);
    return cd == reinterpret_cast<libiconv_t>(-1) ? nullptr : cd;
}

// Closes a present converter and marks it absent; false when it cannot be
// closed, and it then stays present.
bool close_converter(libiconv_t *cd) {
    if (!*cd) return true;
    if (libiconv_close(*cd) != 0) return false;
    *cd = nullptr;
    return true;
}

int clear_setting() {
    if (!close_converter(&converters.to_latin1)) return -1;
    if (!close_converter(&converters.from_native)) return -1;
    decoder_mp3_tag_native_encoding[0] = '\0';
    return 0;
}

// Brings to_latin1 in line with a new native encoding: not needed when the
// native encoding is ISO-8859-1 itself, needed otherwise.
bool settle_to_latin1(const char *name) {
    if (strcasecmp(name, "ISO-8859-1") == 0) return close_converter(&converters.to_latin1);
    if (!converters.to_latin1) converters.to_latin1 = open_converter("ISO-8859-1", "UTF-8");
    return converters.to_latin1 != nullptr;
}

int change_setting(const char *name) {
    libiconv_t from_native = open_converter("UTF-8", name);
    if (!from_native) return -1;
    if (!settle_to_latin1(name) || !close_converter(&converters.from_native)) {
        libiconv_close(from_native);
        return -1;
    }
    converters.from_native = from_native;
    snprintf(decoder_mp3_tag_native_encoding, sizeof decoder_mp3_tag_native_encoding, "%s", name);
    return 0;
}

} // namespace

TagConverters mp3_tag_converters() { return converters; }

int mp3_release_tag_converters() {
    if (!close_converter(&converters.from_native)) return -1;
    if (!close_converter(&converters.to_latin1)) return -1;
    return 0;
}

} // namespace audio

extern "C" int decoder_mp3_set_tag_native_encoding(const char *name) {
    return name ? audio::change_setting(name) : audio::clear_setting();
}
