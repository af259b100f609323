// What the harnesses share. A failed check aborts, so that libFuzzer keeps the input.
#pragma once

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fuzz {

inline void check(bool holds, const char *what) {
    if (holds) return;
    std::fprintf(stderr, "check failed: %s\n", what);
    std::abort();
}

// Reads every byte of a text, so that the sanitizer sees one that is not terminated or already
// freed.
inline void touch(const char *text) {
    volatile std::size_t length = text ? std::strlen(text) : 0;
    (void)length;
}

// A value stored least significant byte first (the fuzz build is x86_64).
template <typename T>
T little_endian(const std::uint8_t *bytes) {
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

// A file in memory holding the current input, named by a path that open(2) and fopen take.
class MemoryFile {
public:
    MemoryFile() : fd_(memfd_create("fuzz-input", 0)) {
        check(fd_ >= 0, "memfd_create");
        std::snprintf(path_, sizeof path_, "/proc/self/fd/%d", fd_);
    }
    const char *hold(const std::uint8_t *bytes, std::size_t size) {
        check(ftruncate(fd_, 0) == 0 && (size == 0 || pwrite(fd_, bytes, size, 0) == ssize_t(size)),
              "writing the input file");
        return path_;
    }

private:
    int fd_;
    char path_[32];
};

// The lowest free descriptor number is the same at the end of an input unless the code under test
// left a descriptor open.
class DescriptorWatch {
public:
    void check_nothing_left_open() const {
        check(lowest_free() == before_, "a descriptor left open");
    }
    static int lowest_free() {
        int fd = open("/dev/null", O_RDONLY);
        close(fd);
        return fd;
    }

private:
    int before_ = lowest_free();
};

} // namespace fuzz
