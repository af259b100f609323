#include "test_files.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <set>
#include <stdexcept>

namespace fs = std::filesystem;

TemporaryDirectory::TemporaryDirectory() {
  static std::atomic<int> made{0};
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  path_ = fs::temp_directory_path() /
          ("carvelo-test-" + std::to_string(current_process_id()) + "-" +
           std::to_string(stamp % 1000000007) + "-" + std::to_string(++made));
  fs::create_directories(path_);
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

static std::string utf8_name(const fs::path &path) {
  std::u8string name = path.filename().u8string();
  return std::string(reinterpret_cast<const char *>(name.data()), name.size());
}

std::string TemporaryDirectory::listing() const {
  std::set<std::string> names;
  for (const auto &entry : fs::directory_iterator(path_)) names.insert(utf8_name(entry.path()));
  std::string text;
  for (const auto &name : names) text += (text.empty() ? "" : " ") + name;
  return text;
}

void write_file(const fs::path &path, const std::string &bytes) {
  OutputFile file;
  if (!file_create(file, path.c_str(), PATH_TEXT("wb")) ||
      !file_write(file, bytes.data(), bytes.size()) || !file_close(file))
    throw std::runtime_error("cannot write " + utf8_name(path));
}

std::optional<std::string> read_file(const fs::path &path) {
  std::FILE *stream = open_file_for_reading(path.c_str(), PATH_TEXT("rb"));
  if (stream == nullptr) return std::nullopt;
  std::string bytes;
  char buffer[65536];
  std::size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, stream)) > 0) bytes.append(buffer, count);
  std::fclose(stream);
  return bytes;
}
