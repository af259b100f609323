// Tag texts as the host reads them: UTF-8 that its decoder takes as it is.
#pragma once

namespace audio {

// Makes the malloc'd NUL-terminated *text well-formed UTF-8: each maximal
// ill-formed part (a stray byte, a sequence cut short, an overlong form, an
// encoded surrogate, a code point past U+10FFFF) becomes one U+FFFD, as the
// host's own decoder reads it. A text that needs no repair is left as it
// is; otherwise it is replaced by a new malloc block. Null is allowed.
// Returns false when memory runs out; *text is then freed and null.
bool make_well_formed_utf8(char **text);

// True when the NUL-terminated text is well-formed UTF-8. Null is allowed.
bool is_well_formed_utf8(const char *text);

} // namespace audio
