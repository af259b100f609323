#include "fingerprint.h"

#include "digest_text.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

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

class Fingerprint : public ::testing::Test {
 protected:
  // Fingerprints a file with these bytes; the text, or "error N".
  std::string of(const std::string &bytes) {
    auto path = directory_ / ("file" + std::to_string(++files_) + ".mp3");
    write_file(path, bytes);
    unsigned char digest[16];
    std::memset(digest, 0xEE, sizeof digest);
    int result = fingerprint_file(path.c_str(), digest);
    if (result == FP_OK) return hex_text(digest);
    for (unsigned char byte : digest)
      if (byte != 0xEE) return "digest written on error";
    return "error " + std::to_string(result);
  }

  TemporaryDirectory directory_;
  int files_ = 0;
};

// Each file, and the bytes of it that its fingerprint covers: at most 160
// blocks of 1024 bytes.
TEST_F(Fingerprint, HashesWhatFollowsTheTagsAndTheirZeroPadding) {
  const std::string data = audio(2000);
  const std::string late_tag = id3_tag(20);
  const std::string footer = "3DI\x04\0\x10\0\0\0\x20"s;
  const std::string zeros_inside = "\x01\0\0\x02\0"s;
  const std::string longer = audio(hashed_limit + 5000);
  const std::string limit = longer.substr(0, hashed_limit);
  const std::string one_short = limit.substr(0, hashed_limit - 1);
  const struct {
    const char *name;
    std::string file;
    std::string hashed;
  } cases[] = {
      {"an empty file", "", ""},
      {"tags and zero bytes only", id3_tag(100) + std::string(3000, '\0'), ""},
      {"a tag reaching past the end", id3_header(100000) + data, ""},
      {"too short for a header", "ID3\x04", "ID3\x04"},
      {"leading zeros of a short file", "\0\0abc"s, "abc"},
      {"several tags in a row", id3_tag(10) + id3_tag(0) + id3_tag(2048) + data, data},
      {"a tag after zero padding is audio", id3_tag(50) + std::string(64, '\0') + late_tag + data,
       late_tag + data},
      {"a tag with a footer", id3_tag(32, 0x10) + footer + data, data},
      {"only the footer flag adds a footer", id3_tag(32, 0xEF) + footer + data, footer + data},
      {"\"ID3\" in another letter case is audio", "id3" + id3_tag(8).substr(3) + data,
       "id3" + id3_tag(8).substr(3) + data},
      {"zeros after the first non-zero byte", id3_tag(5) + std::string(7, '\0') + zeros_inside,
       zeros_inside},
      {"exactly 160 blocks", id3_tag(77) + limit, limit},
      {"more than 160 blocks", longer, limit},
      {"one byte short of 160 blocks", one_short, one_short},
  };
  for (const auto &row : cases) EXPECT_EQ(of(row.file), md5_hex(row.hashed)) << row.name;
}

TEST_F(Fingerprint, RefusesASizeByteWithItsTopBitSet) {
  for (int position = 6; position <= 9; ++position) {
    std::string header = id3_header(1);
    header[position] = static_cast<char>(0x80);
    EXPECT_EQ(of(header + audio(100)), "error 2") << "size byte " << position;
  }
  std::string second = id3_header(0);
  second[9] = static_cast<char>(0xFF);
  EXPECT_EQ(of(id3_tag(4) + second + audio(100)), "error 2") << "in a second tag";
}

}  // namespace
