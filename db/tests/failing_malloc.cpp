// Replaces malloc, realloc and free for the whole process and forwards
// them to the C library's own allocator (nothing under test calls calloc).
// Nothing here allocates: the live blocks are kept in a fixed array.
#include "failing_malloc.h"

#include <stdlib.h>
#include <unistd.h>

extern "C" {
void *__libc_malloc(size_t size);
void *__libc_realloc(void *block, size_t size);
void __libc_free(void *block);
}

namespace {

long countdown; // allocations until the failing one; 0 when none
bool failed;
bool counting;

// The tests keep about a hundred counted blocks alive at a time, so a
// search of the whole array on each free is quick.
constexpr long capacity = 1 << 16;
void *live[capacity];
long live_count;

void remember(void *block) {
    if (!counting || !block) return;
    if (live_count == capacity) { // far more than any test keeps: a leak
        static const char why[] = "failing_malloc: too many live blocks, something leaks\n";
        write(2, why, sizeof why - 1);
        abort();
    }
    live[live_count++] = block;
}

void forget(void *block) {
    for (long i = live_count - 1; i >= 0; i--) {
        if (live[i] == block) {
            live[i] = live[--live_count];
            return;
        }
    }
}

// Whether this allocation is the one chosen to fail.
bool fails_now() {
    if (countdown == 0 || --countdown > 0) return false;
    failed = true;
    return true;
}

} // namespace

void start_counting(long failing) {
    live_count = 0;
    countdown = failing;
    failed = false;
    counting = true;
}

bool stop_counting() {
    counting = false;
    countdown = 0;
    return failed;
}

long live_blocks() { return live_count; }

extern "C" {

void *malloc(size_t size) noexcept {
    if (fails_now()) return nullptr;
    void *block = __libc_malloc(size);
    remember(block);
    return block;
}

// SQLite, the only caller, frees with free, never with a size of 0.
void *realloc(void *block, size_t size) noexcept {
    if (fails_now()) return nullptr;
    void *moved = __libc_realloc(block, size);
    if (moved) {
        forget(block);
        remember(moved);
    }
    return moved;
}

void free(void *block) noexcept {
    forget(block);
    __libc_free(block);
}

} // extern "C"
