// Replaces malloc, calloc, realloc and free for the whole process and
// forwards them to the C library's own allocator. Nothing here allocates:
// the live blocks are kept in a fixed open-addressing set.
#include "failing_malloc.h"

#include <stdint.h>
#include <stdlib.h>

extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *block, size_t size);
void __libc_free(void *block);
}

namespace {

long countdown;      // allocations until the failing one; 0 when none
bool failed;
bool counting;
long counted;

// Live blocks: linear probing, deletion by shifting back.
constexpr size_t capacity = size_t(1) << 18;
void *live[capacity];
long live_count;

size_t home_of(void *block) {
    return (uintptr_t(block) >> 3) * 2654435761u & (capacity - 1);
}

void remember(void *block) {
    if (!counting || !block) return;
    counted++;
    size_t slot = home_of(block);
    while (live[slot]) slot = (slot + 1) & (capacity - 1);
    live[slot] = block;
    live_count++;
}

// Whether home lies cyclically in (from, to].
bool between(size_t from, size_t home, size_t to) {
    return from <= to ? from < home && home <= to : from < home || home <= to;
}

void forget(void *block) {
    if (!block || live_count == 0) return;
    size_t slot = home_of(block);
    while (live[slot] && live[slot] != block) slot = (slot + 1) & (capacity - 1);
    if (!live[slot]) return; // allocated before counting started
    live[slot] = nullptr;
    live_count--;
    // Close the gap so that later entries of the same probe stay reachable.
    for (size_t next = (slot + 1) & (capacity - 1); live[next]; next = (next + 1) & (capacity - 1)) {
        if (between(slot, home_of(live[next]), next)) continue;
        live[slot] = live[next];
        live[next] = nullptr;
        slot = next;
    }
}

// Whether this allocation is the one chosen to fail.
bool fails_now() {
    if (countdown == 0 || --countdown > 0) return false;
    failed = true;
    return true;
}

} // namespace

void fail_allocation(long which) {
    countdown = which;
    failed = false;
}

bool allocation_failed() { return failed; }

void start_counting_blocks() {
    for (void *&slot : live) slot = nullptr;
    live_count = 0;
    counted = 0;
    counting = true;
}

void stop_counting_blocks() { counting = false; }

long live_blocks() { return live_count; }
long allocations_counted() { return counted; }

extern "C" {

void *malloc(size_t size) noexcept {
    if (fails_now()) return nullptr;
    void *block = __libc_malloc(size);
    remember(block);
    return block;
}

void *calloc(size_t count, size_t size) noexcept {
    if (fails_now()) return nullptr;
    void *block = __libc_calloc(count, size);
    remember(block);
    return block;
}

void *realloc(void *block, size_t size) noexcept {
    if (block && size == 0) { // frees the block
        forget(block);
        return __libc_realloc(block, size);
    }
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
