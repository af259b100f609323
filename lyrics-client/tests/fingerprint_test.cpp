#include "fingerprint.h"

#include "test_files.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace std::string_literals;

constexpr std::size_t hashed_limit = 160 * 1024;

// An ID3v2 header: "ID3", version 4.0, flags, the size as four 7-bit groups.
std::string id3_header(unsigned long size, unsigned char flags = 0) {
  std::string header = "ID3\x04\0"s + static_cast<char>(flags);
  for (int shift : {21, 14, 7, 0}) header += static_cast<char>((size >> shift) & 0x7F);
  return header;
}

// A whole tag: header and `size` bytes of frame data (never zero, so that a
// wrongly skipped tag would be hashed).
std::string id3_tag(unsigned long size, unsigned char flags = 0) {
  return id3_header(size, flags) + std::string(size, 'T');
}

// A header whose size byte at `position` (6 to 9) has its top bit set.
std::string bad_size_header(int position) {
  std::string header = id3_header(0);
  header[position] = static_cast<char>(0x80);
  return header;
}

// Audio-like bytes that start with a frame sync and contain zero bytes.
std::string audio(std::size_t length) {
  std::string bytes(length, '\0');
  unsigned seed = static_cast<unsigned>(length);
  for (char &byte : bytes) {
    seed = seed * 1103515245u + 12345u;
    byte = static_cast<char>(seed >> 16);
  }
  if (length > 0) bytes[0] = '\xFF';
  return bytes;
}

// Fingerprints a file with these bytes; the text, or "error N".
std::string fingerprint_of(const TemporaryDirectory &directory, const std::string &bytes) {
  auto path = directory / "file.mp3";
  write_file(path, bytes);
  unsigned char digest[16];
  std::memset(digest, 0xEE, sizeof digest);
  int result = fingerprint_file(path.c_str(), digest);
  if (result == FP_OK) return hex_text(digest);
  for (unsigned char byte : digest)
    if (byte != 0xEE) return "digest written on error";
  return "error " + std::to_string(result);
}

// Each file, and the bytes of it that its fingerprint covers (at most 160
// blocks of 1024 bytes), or its error.
TEST(Fingerprint, HashesWhatFollowsTheTagsAndTheirZeroPadding) {
  const std::string data = audio(2000);
  const std::string late_tag = id3_tag(20);
  const std::string footer = "3DI\x04\0\x10\0\0\0\x20"s;
  const std::string zeros_inside = "\x01\0\0\x02\0"s;
  const std::string longer = audio(hashed_limit + 5000);
  const std::string limit = longer.substr(0, hashed_limit);
  const std::string one_short = limit.substr(0, hashed_limit - 1);
  const std::string bad_size = "error 2";
  const struct {
    const char *name;
    std::string file;
    std::string fingerprint;
  } cases[] = {
      {"an empty file", "", md5_hex("")},
      {"tags and zero bytes only", id3_tag(100) + std::string(3000, '\0'), md5_hex("")},
      {"a tag reaching past the end", id3_header(100000) + data, md5_hex("")},
      {"too short for a header", "ID3\x04", md5_hex("ID3\x04")},
      {"leading zeros of a short file", "\0\0abc"s, md5_hex("abc")},
      {"several tags in a row", id3_tag(10) + id3_tag(0) + id3_tag(2048) + data, md5_hex(data)},
      {"a tag after zero padding is audio", id3_tag(50) + std::string(64, '\0') + late_tag + data,
       md5_hex(late_tag + data)},
      {"a tag with a footer", id3_tag(32, 0x10) + footer + data, md5_hex(data)},
      {"only the footer flag adds a footer", id3_tag(32, 0xEF) + footer + data,
       md5_hex(footer + data)},
      {"\"ID3\" in another letter case is audio", "id3" + id3_tag(8).substr(3) + data,
       md5_hex("id3" + id3_tag(8).substr(3) + data)},
      {"zeros after the first non-zero byte", id3_tag(5) + std::string(7, '\0') + zeros_inside,
       md5_hex(zeros_inside)},
      {"exactly 160 blocks", id3_tag(77) + limit, md5_hex(limit)},
      {"more than 160 blocks", longer, md5_hex(limit)},
      {"one byte short of 160 blocks", one_short, md5_hex(one_short)},
      {"a size byte with its top bit set", bad_size_header(6) + data, bad_size},
      {"the last size byte with its top bit set", bad_size_header(9) + data, bad_size},
      {"a bad size in a second tag", id3_tag(4) + bad_size_header(8) + data, bad_size},
  };
  TemporaryDirectory directory;
  for (const auto &row : cases)
    EXPECT_EQ(fingerprint_of(directory, row.file), row.fingerprint) << row.name;
}

}  // namespace
