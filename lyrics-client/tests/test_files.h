// The lyrics core tests' fresh directories, whole files and recording result lists.
#pragma once

#include "fetch_job.h"

#include <filesystem>
#include <fstream>
#include <iterator>
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
  std::string listing() const {  // the names of its entries, each followed by a space
    std::string names;
    for (const auto &entry : fs::directory_iterator(path))
      names += entry.path().filename().string() + " ";
    return names;
  }
  inline static int made = 0;
  const fs::path path = fs::temp_directory_path() / ("carvelo-test-" + std::to_string(++made) +
                                                      "-" + std::to_string(current_process_id()));
};

inline void write_file(const fs::path &path, const std::string &bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string read_file(const fs::path &path) {
  std::ifstream stream(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(stream), {});
}

struct RecordingLists final : ResultLists {
  int add_result_line(const path_char *line) override {
    lines.push_back(line);
    return static_cast<int>(lines.size()) - 1;
  }
  void select_result_line(int index) override { selected.push_back(index); }
  void add_path_entry(const path_char *path) override { paths.push_back(path); }
  std::vector<path_string> lines, paths;
  std::vector<int> selected;
};
