// A malloc replacing the C library's, to count allocations and fail one; its blocks come
// filled with junk, as recycled memory may be. Under AddressSanitizer, which owns malloc, nothing
// is replaced and nothing counted: counts_allocations tells.
#pragma once

#include <string.h>

namespace failing_malloc {
inline struct {
    bool counting, failed;
    long allocations, countdown; // countdown: allocations until the failing one
} state;
// Counts an allocation while counting; true for the one to fail.
inline bool fails_now() {
    if (!state.counting) return false;
    state.allocations++;
    if (state.countdown <= 0 || --state.countdown > 0) return false;
    state.failed = true;
    return true;
}
} // namespace failing_malloc

// Counts allocations from now; number failing (1: the next) fails, 0: none.
inline void start_counting(long failing = 0) { failing_malloc::state = {true, false, 0, failing}; }
// Stops counting; whether the failing allocation came.
inline bool stop_counting() {
    failing_malloc::state.counting = false;
    return failing_malloc::state.failed;
}
inline long allocations() { return failing_malloc::state.allocations; }

#ifdef __SANITIZE_ADDRESS__
constexpr bool counts_allocations = false;
#else
constexpr bool counts_allocations = true;

extern "C" void *__libc_malloc(size_t), *__libc_calloc(size_t, size_t),
    *__libc_realloc(void *, size_t);

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
