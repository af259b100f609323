// What a soak test compares before and after its cycles: heap in use, open descriptors.
#pragma once

#include <gtest/gtest.h>
#include <malloc.h>

#include <filesystem>
#include <iterator>

extern "C" size_t __sanitizer_get_current_allocated_bytes();

// Run without glibc's per-thread cache, which counts as in use (glibc.malloc.tcache_count=0).
inline size_t heap_in_use() {
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks + mallinfo2().hblkhd;
#endif
}

inline int open_descriptors() { // less the listing's own
    return (int)std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}) - 1;
}

// Runs cycle once, which may fill lasting caches, then rounds times more while no check fails:
// the heap in use and the open descriptors must then be as after the first.
template <typename Cycle>
void expect_nothing_left_behind(int rounds, Cycle cycle) {
    cycle();
    const int descriptors = open_descriptors();
    const size_t heap = heap_in_use();
    for (int round = 0; round < rounds && !testing::Test::HasFailure(); round++) cycle();
    EXPECT_EQ(open_descriptors(), descriptors) << "descriptors left open";
    EXPECT_EQ(heap_in_use(), heap) << "bytes left allocated";
}
