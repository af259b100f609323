// The prefixed converter entry points, forwarded to the C library's iconv.
#include <iconv.h>

#include "libiconv.h"

extern "C" libiconv_t libiconv_open(const char *tocode, const char *fromcode) {
    return iconv_open(tocode, fromcode);
}

extern "C" size_t libiconv(libiconv_t cd, char **inbuf, size_t *inbytesleft, char **outbuf,
                           size_t *outbytesleft) {
    return iconv(static_cast<iconv_t>(cd), inbuf, inbytesleft, outbuf, outbytesleft);
}

extern "C" int libiconv_close(libiconv_t cd) { return iconv_close(static_cast<iconv_t>(cd)); }
