// The prefixed converter entry points, forwarded to the C library's iconv. Its iconv_t is a
// pointer in one C library and an integer in another (uClibc-ng): reinterpret_cast takes both.
#include <iconv.h>

#include "libiconv.h"

extern "C" libiconv_t libiconv_open(const char *tocode, const char *fromcode) {
    return reinterpret_cast<libiconv_t>(iconv_open(tocode, fromcode));
}

extern "C" size_t libiconv(libiconv_t cd, char **inbuf, size_t *inbytesleft, char **outbuf,
                           size_t *outbytesleft) {
    return iconv(reinterpret_cast<iconv_t>(cd), inbuf, inbytesleft, outbuf, outbytesleft);
}

extern "C" int libiconv_close(libiconv_t cd) { return iconv_close(reinterpret_cast<iconv_t>(cd)); }
