// File services of the reference host: plain POSIX files.
#include <fcntl.h>
#include <string.h>

#include "host_services.h"

extern "C" const char *file_get_ext(const char *name) {
    const char *slash = strrchr(name, '/');
    const char *base = slash ? slash + 1 : name;
    const char *dot = strrchr(base, '.');
    // A leading dot names a hidden file; it does not start an extension.
    if (!dot || dot == base) return "";
    return dot;
}

extern "C" int file_open(const char *name, int flags) { return open(name, flags); }

extern "C" FILE *file_fopen(const char *name, const char *mode) { return fopen(name, mode); }
