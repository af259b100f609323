// A malloc for test programs that replaces the C library's in the whole
// process, so that the allocations of a library under test, of the host and
// of the dependencies can be counted and made to fail on purpose. Blocks
// from malloc come filled with junk, as recycled memory may be. Include it
// in exactly one file of a program; not in the sanitizer build, where
// AddressSanitizer owns malloc.
#ifndef TOLMEK_HOST_TESTS_FAILING_MALLOC_H
#define TOLMEK_HOST_TESTS_FAILING_MALLOC_H

#include <string.h>

extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *block, size_t size);
}

namespace failing_malloc {

inline bool counting, failed;
inline long allocations, countdown; // countdown: allocations until the failing one

// Whether this allocation is the one chosen to fail.
inline bool fails_now() {
    if (!counting) return false;
    allocations++;
    return countdown > 0 && --countdown == 0 && (failed = true);
}

} // namespace failing_malloc

// From now allocations are counted; number `failing` (1 for the next one)
// returns null, 0 for none.
inline void start_counting(long failing = 0) {
    failing_malloc::allocations = 0;
    failing_malloc::countdown = failing;
    failing_malloc::failed = false;
    failing_malloc::counting = true;
}

// Stops counting and failing; returns whether the failing allocation came.
inline bool stop_counting() {
    failing_malloc::counting = false;
    return failing_malloc::failed;
}

// Allocations since start_counting, the failing one included.
inline long allocations() { return failing_malloc::allocations; }

extern "C" void *malloc(size_t size) noexcept {
    void *block = failing_malloc::fails_now() ? nullptr : __libc_malloc(size);
    return block ? memset(block, 0xA5, size) : nullptr;
}

extern "C" void *calloc(size_t count, size_t size) noexcept {
    return failing_malloc::fails_now() ? nullptr : __libc_calloc(count, size);
}

extern "C" void *realloc(void *block, size_t size) noexcept {
    return failing_malloc::fails_now() ? nullptr : __libc_realloc(block, size);
}

#endif
