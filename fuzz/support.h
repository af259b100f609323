// What the harnesses share: the input as a file that the code under test
// opens by path, a check for descriptors left open, a directory of their
// own, and property checks that stop the run so that libFuzzer keeps the
// input.
#pragma once

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <type_traits>

namespace fuzz {

inline void check(bool holds, const char *what) {
  if (holds) return;
  std::fprintf(stderr, "check failed: %s\n", what);
  std::abort();
}

// Reads every byte of a text, so that the sanitizer sees one that is not
// terminated or already freed.
inline void touch(const char *text) {
  volatile std::size_t length = text ? std::strlen(text) : 0;
  (void)length;
}

// A value of the input, stored least significant byte first.
template <typename T>
T little_endian(const std::uint8_t *bytes) {
  std::make_unsigned_t<T> value = 0;
  for (std::size_t i = sizeof value; i-- > 0;)
    value = static_cast<decltype(value)>(value << 8 | bytes[i]);
  return static_cast<T>(value);
}

// The bytes of a file; none when there is no file.
inline std::string contents(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// A file in memory holding the current input, named by a path that
// open(2) and fopen take; each open gets a position of its own.
class MemoryFile {
 public:
  MemoryFile() : fd_(memfd_create("fuzz-input", 0)) {
    check(fd_ >= 0, "memfd_create");
    std::snprintf(path_, sizeof path_, "/proc/self/fd/%d", fd_);
  }
  // Replaces the contents and returns the path.
  const char *hold(const std::uint8_t *bytes, std::size_t size) {
    check(ftruncate(fd_, 0) == 0, "emptying the input file");
    check(size == 0 || pwrite(fd_, bytes, size, 0) == static_cast<ssize_t>(size),
          "writing the input file");
    return path_;
  }

 private:
  int fd_;
  char path_[32];
};

// Made at the start of an input: the lowest free descriptor number is the
// same at its end unless the code under test left a descriptor open.
class DescriptorWatch {
 public:
  DescriptorWatch() : before_(lowest_free()) {}
  void check_nothing_left_open() const {
    check(lowest_free() == before_, "a descriptor was left open");
  }
  // The number the next descriptor opened gets.
  static int lowest_free() {
    int fd = open("/dev/null", O_RDONLY);
    close(fd);
    return fd;
  }

 private:
  int before_;
};

// An empty directory of the process's own, removed with what it holds at
// the end; in memory where there is a file system for that (several times
// faster).
class TemporaryDirectory {
 public:
  TemporaryDirectory() {
    std::filesystem::path parent = "/dev/shm";
    if (!std::filesystem::is_directory(parent)) parent = std::filesystem::temp_directory_path();
    std::string name = parent / "fuzz-XXXXXX";
    check(mkdtemp(name.data()) != nullptr, "making a directory");
    path_ = name;
  }
  ~TemporaryDirectory() { std::filesystem::remove_all(path_); }
  const std::filesystem::path &path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace fuzz
