// What a soak test measures of its process, before and after thousands of
// cycles: the heap in use and the open file descriptors.
#ifndef TOLMEK_HOST_TESTS_PROCESS_RESOURCES_H
#define TOLMEK_HOST_TESTS_PROCESS_RESOURCES_H

#include <dirent.h>
#include <malloc.h>
#include <stddef.h>

extern "C" size_t __sanitizer_get_current_allocated_bytes();

// Bytes allocated and not freed yet. The C library counts the blocks of its
// per-thread cache as in use, so a program comparing these runs without
// that cache (GLIBC_TUNABLES=glibc.malloc.tcache_count=0).
inline size_t heap_in_use() {
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

inline int open_descriptors() {
    DIR *dir = opendir("/proc/self/fd");
    if (!dir) return -1;
    int count = 0;
    while (dirent *entry = readdir(dir)) count += entry->d_name[0] != '.';
    closedir(dir);
    return count - 1; // the directory stream's own
}

#endif
