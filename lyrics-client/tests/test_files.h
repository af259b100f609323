// Files for the lyrics core tests: a fresh directory per test and whole-file
// reads and writes through the same path type the core uses.
#pragma once

#include "platform.h"

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
  // Names of the entries in the directory, sorted.
  std::string listing() const;

 private:
  std::filesystem::path path_;
};

void write_file(const std::filesystem::path &path, const std::string &bytes);
// The file's bytes, or nothing when it cannot be opened.
std::optional<std::string> read_file(const std::filesystem::path &path);
