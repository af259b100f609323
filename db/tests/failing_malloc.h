// A malloc for tests that replaces the C library's in the whole process,
// so that allocations of the library under test, of the host's list and of
// SQLite can be made to fail on purpose and their blocks can be counted.
// Not for the sanitizer build, where AddressSanitizer owns malloc.
#ifndef TOLMEK_DB_TESTS_FAILING_MALLOC_H
#define TOLMEK_DB_TESTS_FAILING_MALLOC_H

// From now, the allocation number `which` (1 for the next one) returns null;
// every other allocation succeeds. 0 makes none fail.
void fail_allocation(long which);

// Whether the allocation chosen with fail_allocation has failed since.
bool allocation_failed();

// Counting starts anew: every block allocated from now until
// stop_counting_blocks is counted, and stays live until it is freed.
void start_counting_blocks();
void stop_counting_blocks();
long live_blocks();

// Allocations counted since start_counting_blocks, freed or not.
long allocations_counted();

#endif
