// Files for the lyrics core tests: a fresh directory per test, whole-file
// reads and writes, and digests as text.
#pragma once

#include "fingerprint.h"

#include <filesystem>
#include <optional>
#include <string>

class TemporaryDirectory {
 public:
  TemporaryDirectory();
  ~TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory &) = delete;
  TemporaryDirectory &operator=(const TemporaryDirectory &) = delete;

  const std::filesystem::path &path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path &name) const { return path_ / name; }
  // The names of its entries, sorted, separated by spaces.
  std::string listing() const;

 private:
  std::filesystem::path path_;
};

void write_file(const std::filesystem::path &path, const std::string &bytes);
// The file's bytes, or nothing when it cannot be opened.
std::optional<std::string> read_file(const std::filesystem::path &path);

// 32 lowercase hexadecimal digits.
inline std::string hex_text(const unsigned char digest[16]) {
  char text[33];
  fingerprint_to_hex(digest, text);
  return text;
}

// The MD5 digest of `bytes` fed in pieces of `piece` bytes (all at once by default).
std::string md5_hex(const std::string &bytes, std::size_t piece = std::string::npos);
