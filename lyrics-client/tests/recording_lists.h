// Result lists that record what the lyrics job does to them, in order.
#pragma once

#include "fetch_job.h"

#include <string>
#include <vector>

using path_string = std::basic_string<path_char>;

class RecordingLists final : public ResultLists {
 public:
  // `lines_before`: lines of an earlier batch still in the result list.
  explicit RecordingLists(int lines_before = 0) : lines_before_(lines_before) {}
  int add_result_line(const path_char *line) override {
    lines.push_back(line);
    calls += "line ";
    return lines_before_ + static_cast<int>(lines.size()) - 1;
  }
  void select_result_line(int index) override {
    selected.push_back(index);
    calls += "select ";
  }
  void add_path_entry(const path_char *path) override {
    paths.push_back(path);
    calls += "path ";
  }

  std::vector<path_string> lines;
  std::vector<path_string> paths;
  std::vector<int> selected;
  std::string calls;

 private:
  int lines_before_;
};
