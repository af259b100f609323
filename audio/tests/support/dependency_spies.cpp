#include "dependency_spies.h"

#include <dlfcn.h>
#include <errno.h>
#include <iconv.h>
#include <stdlib.h>

#include <mpg123.h>

namespace audio_test {

Spies spies;

void reset_spies() {
    int open_converters = spies.open_converters;
    spies = Spies{};
    spies.open_converters = open_converters;
}

namespace {

template <typename Function> Function real(const char *name) {
    void *function = dlsym(RTLD_NEXT, name);
    if (!function) abort();
    return reinterpret_cast<Function>(function);
}

} // namespace
} // namespace audio_test

using audio_test::real;
using audio_test::spies;

extern "C" int mpg123_init(void) {
    spies.calls.push_back("mpg123_init");
    if (spies.fail_mpg123_init) return MPG123_ERR;
    return real<int (*)()>("mpg123_init")();
}

extern "C" void mpg123_exit(void) {
    spies.calls.push_back("mpg123_exit");
    real<void (*)()>("mpg123_exit")();
}

extern "C" iconv_t iconv_open(const char *to, const char *from) {
    spies.calls.push_back(std::string("iconv_open ") + to + "<-" + from);
    if (!spies.fail_iconv_open_to.empty() && spies.fail_iconv_open_to == to) {
        errno = EINVAL;
        return (iconv_t)-1;
    }
    iconv_t cd = real<iconv_t (*)(const char *, const char *)>("iconv_open")(to, from);
    if (cd != (iconv_t)-1) spies.open_converters++;
    return cd;
}

extern "C" int iconv_close(iconv_t cd) {
    spies.calls.push_back("iconv_close");
    if (spies.fail_next_iconv_close) {
        spies.fail_next_iconv_close = false;
        errno = EBADF;
        return -1;
    }
    int result = real<int (*)(iconv_t)>("iconv_close")(cd);
    if (result == 0) spies.open_converters--;
    return result;
}
