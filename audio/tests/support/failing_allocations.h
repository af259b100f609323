// Allocation functions that fail on request, for the programs that link the
// library's sources with -Wl,--wrap=malloc,--wrap=calloc,--wrap=realloc
// (and --wrap=strdup): include this in exactly one file of such a program.
#ifndef TOLMEK_AUDIO_TESTS_FAILING_ALLOCATIONS_H
#define TOLMEK_AUDIO_TESTS_FAILING_ALLOCATIONS_H

#include <malloc.h>
#include <stddef.h>

#include <optional>

// Counts the wrapped allocations while armed and fails number fail_at.
inline struct {
    bool armed = false;
    int count = 0;
    int fail_at = -1;
} allocations;

inline bool allocation_fails() {
    if (!allocations.armed) return false;
    return allocations.count++ == allocations.fail_at;
}

extern "C" {
void *__real_malloc(size_t size);
void *__real_calloc(size_t count, size_t size);
void *__real_realloc(void *block, size_t size);
char *__real_strdup(const char *text);

void *__wrap_malloc(size_t size) { return allocation_fails() ? nullptr : __real_malloc(size); }
void *__wrap_calloc(size_t count, size_t size) {
    return allocation_fails() ? nullptr : __real_calloc(count, size);
}
void *__wrap_realloc(void *block, size_t size) {
    return allocation_fails() ? nullptr : __real_realloc(block, size);
}
char *__wrap_strdup(const char *text) { return allocation_fails() ? nullptr : __real_strdup(text); }
}

// Bytes allocated from the heap and not yet released. AddressSanitizer's
// allocator keeps no such count; its leak check at exit does the work then.
inline std::optional<size_t> heap_in_use() {
#if defined(__SANITIZE_ADDRESS__)
    return std::nullopt;
#else
    return mallinfo2().uordblks;
#endif
}

#endif
