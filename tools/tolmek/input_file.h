// The check tolmek makes of an input file before a library reads it, so
// that a missing or unreadable file is reported as such rather than as a
// file of the wrong kind.
#pragma once

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host_services.h"

// True, after "tolmek: PATH: cannot open: REASON" on standard error, when
// the host cannot open path for reading or it names a folder. O_NONBLOCK
// keeps a FIFO without a writer from holding the check.
inline bool report_unreadable(const char *path) {
    int fd = file_open(path, O_RDONLY | O_NONBLOCK);
    int error = errno;
    if (fd >= 0) {
        struct stat status;
        error = fstat(fd, &status) != 0 ? errno : S_ISDIR(status.st_mode) ? EISDIR : 0;
        close(fd);
    }
    if (error == 0) return false;
    fprintf(stderr, "tolmek: %s: cannot open: %s\n", path, strerror(error));
    return true;
}
