// A malloc replacing the C library's in the whole test program, to count
// allocations and fail one on purpose; its blocks come filled with junk, as
// recycled memory may be. Include it in one file of a program, never under
// AddressSanitizer, which owns malloc.
#ifndef TOLMEK_HOST_TESTS_FAILING_MALLOC_H
#define TOLMEK_HOST_TESTS_FAILING_MALLOC_H

#include <string.h>

extern "C" void *__libc_malloc(size_t size);
extern "C" void *__libc_calloc(size_t count, size_t size);
extern "C" void *__libc_realloc(void *block, size_t size);

namespace failing_malloc {
inline bool counting, failed;
inline long allocations, countdown; // allocations until the failing one
inline bool fails_now() {
    if (!counting) return false;
    allocations++;
    return countdown > 0 && --countdown == 0 && (failed = true);
}
} // namespace failing_malloc

// Counts allocations from now; number failing (1: the next) fails, 0: none.
inline void start_counting(long failing = 0) {
    failing_malloc::allocations = 0;
    failing_malloc::countdown = failing;
    failing_malloc::failed = false;
    failing_malloc::counting = true;
}

// Stops counting; whether the failing allocation came.
inline bool stop_counting() {
    failing_malloc::counting = false;
    return failing_malloc::failed;
}
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
