/*
 * The character-set converter, called through the prefixed entry points of
 * a separately shipped iconv library. The host provides them; where the C
 * library itself carries iconv, the host forwards these names to it.
 */
#pragma once

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void *libiconv_t; /* (libiconv_t)-1 on failure, like iconv_t */

libiconv_t libiconv_open(const char *tocode, const char *fromcode);
size_t libiconv(libiconv_t cd, char **inbuf, size_t *inbytesleft, char **outbuf,
                size_t *outbytesleft);
int libiconv_close(libiconv_t cd);

#ifdef __cplusplus
}
#endif
