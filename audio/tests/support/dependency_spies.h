// Stand-ins for a few dependency entry points, defined by the test process
// itself. The library binds to a process's own definitions first, so these
// see every call it makes; each forwards to the real function unless told
// to fail. Link this only into tests that want it.
#ifndef TOLMEK_AUDIO_TESTS_DEPENDENCY_SPIES_H
#define TOLMEK_AUDIO_TESTS_DEPENDENCY_SPIES_H

#include <string>
#include <vector>

namespace audio_test {

struct Spies {
    // Calls in order: "mpg123_init", "mpg123_exit",
    // "iconv_open UTF-8<-CP949", "iconv_close".
    std::vector<std::string> calls;
    bool fail_mpg123_init = false;
    // iconv_open fails when it would convert to this code ("" never).
    std::string fail_iconv_open_to;
    // The next iconv_close fails (without closing) when set; one shot.
    bool fail_next_iconv_close = false;
    int open_converters = 0; // opened and not yet closed
};

extern Spies spies;

// Forgets the calls and the failures; keeps the count of open converters.
void reset_spies();

} // namespace audio_test

#endif
