// A malloc for tests that replaces the C library's in the whole process,
// so that allocations of the library under test, of the host's list and of
// SQLite can be made to fail on purpose and their blocks can be counted.
// Not for the sanitizer build, where AddressSanitizer owns malloc.
#ifndef TOLMEK_DB_TESTS_FAILING_MALLOC_H
#define TOLMEK_DB_TESTS_FAILING_MALLOC_H

// From now every allocation is counted and stays live until it is freed;
// allocation number `failing` (1 for the next one) returns null, 0 for none.
void start_counting(long failing = 0);

// Stops counting and failing; returns whether the failing allocation came.
bool stop_counting();

// Counted blocks not freed yet.
long live_blocks();

#endif
