// What a process holds, to tell that repeated work gives everything back.
#ifndef TOLMEK_AUDIO_TESTS_PROCESS_USAGE_H
#define TOLMEK_AUDIO_TESTS_PROCESS_USAGE_H

#include <stddef.h>

namespace audio_test {

// Open file descriptors of this process.
int open_descriptors();

// Bytes allocated from the heap and not yet released. Under
// AddressSanitizer the allocator keeps no such count: false, and the leak
// check at exit does the work instead.
bool heap_in_use(size_t *bytes);

} // namespace audio_test

#endif
