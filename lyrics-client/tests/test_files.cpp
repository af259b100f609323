#include "test_files.h"

#include "md5.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>

namespace fs = std::filesystem;

TemporaryDirectory::TemporaryDirectory() {
  static int made = 0;
  path_ = fs::temp_directory_path() /
          ("carvelo-test-" + std::to_string(current_process_id()) + "-" + std::to_string(++made));
  fs::remove_all(path_);  // left by an earlier process with the same id
  fs::create_directories(path_);
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string TemporaryDirectory::listing() const {
  std::set<std::u8string> names;
  for (const auto &entry : fs::directory_iterator(path_))
    names.insert(entry.path().filename().u8string());
  std::string text;
  for (const auto &name : names)
    text += (text.empty() ? "" : " ") + std::string(name.begin(), name.end());
  return text;
}

void write_file(const fs::path &path, const std::string &bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::optional<std::string> read_file(const fs::path &path) {
  std::ifstream stream(path, std::ios::binary);
  if (!stream) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(stream), {});
}

std::string md5_hex(const std::string &bytes, std::size_t piece) {
  Md5Context context;
  md5_init(&context);
  for (std::size_t at = 0; at < bytes.size(); at += piece)
    md5_update(&context, bytes.data() + at, static_cast<long>(std::min(piece, bytes.size() - at)));
  unsigned char digest[16];
  md5_final(&context, digest);
  return hex_text(digest);
}
