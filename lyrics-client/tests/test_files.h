// Helpers of the lyrics core tests: a fresh directory per test, whole-file
// reads and writes, MD5 digests as text, and result lists that record.
#pragma once

#include "fetch_job.h"
#include "fingerprint.h"
#include "md5.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using path_string = std::basic_string<path_char>;

struct TemporaryDirectory {
  TemporaryDirectory() {
    fs::remove_all(path);  // left by an earlier process with the same id
    fs::create_directories(path);
  }
  ~TemporaryDirectory() { fs::remove_all(path); }
  fs::path operator/(const fs::path &name) const { return path / name; }
  // The names of its entries, sorted, separated by spaces.
  std::string listing() const {
    std::set<std::u8string> names;
    for (const auto &entry : fs::directory_iterator(path))
      names.insert(entry.path().filename().u8string());
    std::string text;
    for (const auto &name : names)
      text += (text.empty() ? "" : " ") + std::string(name.begin(), name.end());
    return text;
  }
  inline static int made = 0;
  const fs::path path = fs::temp_directory_path() / ("carvelo-test-" + std::to_string(++made) +
                                                      "-" + std::to_string(current_process_id()));
};

inline void write_file(const fs::path &path, const std::string &bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// The file's bytes; empty when it cannot be opened.
inline std::string read_file(const fs::path &path) {
  std::ifstream stream(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(stream), {});
}

// The MD5 digest of `bytes` fed in pieces of `piece` bytes, as text.
inline std::string md5_hex(const std::string &bytes, std::size_t piece = std::string::npos) {
  Md5Context context;
  md5_init(&context);
  for (std::size_t at = 0; at < bytes.size(); at += piece)
    md5_update(&context, bytes.data() + at, static_cast<long>(std::min(piece, bytes.size() - at)));
  unsigned char digest[16];
  char text[33];
  md5_final(&context, digest);
  fingerprint_to_hex(digest, text);
  return text;
}

struct RecordingLists final : ResultLists {
  int add_result_line(const path_char *line) override {
    lines.push_back(line);
    return first_index + static_cast<int>(lines.size()) - 1;
  }
  void select_result_line(int index) override { selected.push_back(index); }
  void add_path_entry(const path_char *path) override { paths.push_back(path); }
  int first_index = 0;  // lines of an earlier batch still in the list
  std::vector<path_string> lines, paths;
  std::vector<int> selected;
};
