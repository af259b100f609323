#include "fingerprint.h"

#include "md5.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace std::string_literals;

// RFC 1321's digests and lengths around the padding limit (55 bytes still
// fit the bit count into the last block, 56 need another), fed whole and in
// pieces that end inside, at and past a block's end.
TEST(Md5, MatchesKnownDigestsHoweverTheInputIsSplit) {
  const std::pair<std::string, const char *> known[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
      {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
      {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto &[input, digest] : known)
    for (std::size_t piece : {1u, 63u, 64u, 65u, 1000u}) EXPECT_EQ(md5_hex(input, piece), digest) << input;
}

// Lengths of zero or less change nothing; the bit count carries into its
// high word (as after 2^29 - 1 bytes, which no test could feed).
TEST(Md5, IgnoresEmptyInputAndCarriesTheBitCount) {
  Md5Context context, untouched;
  md5_init(&context);
  md5_update(&context, "abc", 3);
  std::memcpy(&untouched, &context, sizeof context);
  md5_update(&context, "xyz", 0);
  md5_update(&context, "xyz", -5);
  EXPECT_EQ(std::memcmp(&context, &untouched, sizeof context), 0);
  context.bit_count_low = 0xFFFFFFF8u;
  md5_update(&context, "x", 1);
  EXPECT_EQ(context.bit_count_high * 10 + context.bit_count_low, 10u);
}

// An ID3v2 tag with `size` bytes of frame data (never zero, so that a tag
// wrongly hashed shows); the size byte at `bad` (6 to 9) has its top bit set.
std::string id3_tag(unsigned long size, unsigned char flags = 0, int bad = 0) {
  std::string header = "ID3\x04\0"s + static_cast<char>(flags);
  for (int shift : {21, 14, 7, 0}) header += static_cast<char>((size >> shift) & 0x7F);
  if (bad != 0) header[bad] = '\x80';
  return header + std::string(size, 'T');
}

// Each file, and the bytes of it that its fingerprint covers (at most 160
// blocks of 1024 bytes), or its error, which leaves the digest alone.
TEST(Fingerprint, HashesWhatFollowsTheTagsAndTheirZeroPadding) {
  std::string longer(160 * 1024 + 5000, '\xFF');  // a frame sync, then zeros among other bytes
  for (std::size_t i = 1; i < longer.size(); ++i) longer[i] = static_cast<char>(i * 2654435761u >> 20);
  const std::string data = longer.substr(0, 2000), limit = longer.substr(0, 160 * 1024);
  const std::string late_tag = id3_tag(20), footer = "3DI\x04\0\x10\0\0\0\x20"s;
  const std::string lower_case = "id3" + id3_tag(8).substr(3) + data, zeros_inside = "\x01\0\0\x02\0"s;
  const std::pair<std::string, std::string> cases[] = {
      {"", md5_hex("")},
      {id3_tag(100) + std::string(3000, '\0'), md5_hex("")},
      {id3_tag(100000).substr(0, 10) + data, md5_hex("")},  // a tag reaching past the end
      {"ID3\x04", md5_hex("ID3\x04")},
      {id3_tag(10) + id3_tag(0) + id3_tag(2048) + data, md5_hex(data)},
      {id3_tag(50) + std::string(64, '\0') + late_tag + data, md5_hex(late_tag + data)},
      {id3_tag(32, 0x10) + footer + data, md5_hex(data)},
      {id3_tag(32, 0xEF) + footer + data, md5_hex(footer + data)},  // all flags but the footer's
      {lower_case, md5_hex(lower_case)},
      {id3_tag(5) + std::string(7, '\0') + zeros_inside, md5_hex(zeros_inside)},
      {id3_tag(77) + limit, md5_hex(limit)},
      {longer, md5_hex(limit)},
      {limit.substr(0, limit.size() - 1), md5_hex(limit.substr(0, limit.size() - 1))},
      {id3_tag(0, 0, 6) + data, "error 2"},
      {id3_tag(0, 0, 9) + data, "error 2"},
      {id3_tag(4) + id3_tag(0, 0, 8) + data, "error 2"},
  };
  TemporaryDirectory directory;
  for (const auto &[file, fingerprint] : cases) {
    write_file(directory / "file.mp3", file);
    unsigned char digest[16] = {}, untouched[16] = {};
    char text[33];
    int result = fingerprint_file((directory / "file.mp3").c_str(), digest);
    fingerprint_to_hex(digest, text);
    EXPECT_EQ(result == FP_OK ? text : "error " + std::to_string(result), fingerprint);
    EXPECT_TRUE(result == FP_OK || std::memcmp(digest, untouched, 16) == 0);
  }
}

}  // namespace
