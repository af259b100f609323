#include "fingerprint.h"

#include "digest_text.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

constexpr std::size_t hashed_limit = 160 * 1024;

std::string hex_of(const unsigned char digest[16]) {
  char text[33];
  fingerprint_to_hex(digest, text);
  return text;
}

// An ID3v2 header: "ID3", version 4.0, flags, the size as four 7-bit groups.
std::string id3_header(unsigned long size, unsigned char flags = 0) {
  std::string header = "ID3\x04";
  header += '\0';
  header += static_cast<char>(flags);
  for (int shift : {21, 14, 7, 0}) header += static_cast<char>((size >> shift) & 0x7F);
  return header;
}

// A whole tag: header and `size` bytes of frame data (never zero, so that a
// wrongly skipped tag would be hashed).
std::string id3_tag(unsigned long size, unsigned char flags = 0) {
  return id3_header(size, flags) + std::string(size, 'T');
}

// Audio-like bytes that start with a frame sync and contain zero bytes.
std::string audio(std::size_t length, unsigned seed = 1) {
  std::string bytes(length, '\0');
  for (std::size_t i = 0; i < length; ++i) {
    seed = seed * 1103515245u + 12345u;
    bytes[i] = static_cast<char>(seed >> 16);
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
    return at(path);
  }
  std::string at(const std::filesystem::path &path) {
    unsigned char digest[16];
    std::memset(digest, 0xEE, sizeof digest);
    int result = fingerprint_file(path.c_str(), digest);
    if (result == FP_OK) return hex_of(digest);
    for (unsigned char byte : digest)
      if (byte != 0xEE) return "digest written on error";
    return "error " + std::to_string(result);
  }

  TemporaryDirectory directory_;
  int files_ = 0;
  const std::string empty_digest = md5_hex("");
};

TEST_F(Fingerprint, OfAFileWithoutTagsHashesItsBytes) {
  std::string data = audio(5000);
  EXPECT_EQ(of(data), md5_hex(data));
}

TEST_F(Fingerprint, OfEmptyOrTagOnlyFilesIsTheDigestOfNothing) {
  EXPECT_EQ(of(""), empty_digest);
  EXPECT_EQ(of(id3_tag(100)), empty_digest);
  EXPECT_EQ(of(id3_tag(100) + std::string(3000, '\0')), empty_digest);
}

TEST_F(Fingerprint, OfAShortFileSkipsOnlyLeadingZeros) {
  EXPECT_EQ(of(std::string("\0\0abc", 5)), md5_hex("abc"));
  // Too short for a header even though it begins like one.
  EXPECT_EQ(of("ID3\x04"), md5_hex("ID3\x04"));
}

TEST_F(Fingerprint, IgnoresTheTagsContents) {
  std::string data = audio(4000);
  std::string tagged = id3_tag(300) + data;
  std::string retagged = id3_header(700) + std::string(700, 'Q') + data;
  EXPECT_EQ(of(tagged), md5_hex(data));
  EXPECT_EQ(of(retagged), md5_hex(data));
}

TEST_F(Fingerprint, SkipsSeveralTagsInARow) {
  std::string data = audio(2000);
  EXPECT_EQ(of(id3_tag(10) + id3_tag(0) + id3_tag(2048) + data), md5_hex(data));
}

TEST_F(Fingerprint, HashesATagThatFollowsZeroPaddingAsAudio) {
  std::string data = audio(1500);
  std::string late_tag = id3_tag(20);
  EXPECT_EQ(of(id3_tag(50) + std::string(64, '\0') + late_tag + data), md5_hex(late_tag + data));
}

TEST_F(Fingerprint, SkipsTheFooterOfATagThatAnnouncesOne) {
  std::string data = audio(1200);
  std::string footer = std::string("3DI\x04\x00\x10\x00\x00\x00\x20", 10);
  EXPECT_EQ(of(id3_tag(32, 0x10) + footer + data), md5_hex(data));
  // Without the flag the same footer bytes are audio.
  EXPECT_EQ(of(id3_tag(32) + footer + data), md5_hex(footer + data));
}

TEST_F(Fingerprint, HashesZerosAfterTheFirstNonZeroByte) {
  std::string data = std::string("\x01\0\0\x02\0", 5);
  EXPECT_EQ(of(id3_tag(5) + std::string(7, '\0') + data), md5_hex(data));
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

TEST_F(Fingerprint, OfATagReachingPastTheEndIsTheDigestOfNothing) {
  EXPECT_EQ(of(id3_header(100000) + audio(500)), empty_digest);
}

TEST_F(Fingerprint, HashesAtMost160BlocksOfData) {
  std::string exact = audio(hashed_limit);
  EXPECT_EQ(of(id3_tag(77) + exact), md5_hex(exact));

  std::string longer = audio(hashed_limit + 5000, 7);
  std::string changed_tail = longer;
  changed_tail[hashed_limit] ^= 0x55;
  changed_tail.back() ^= 0x55;
  std::string expected = md5_hex(longer.substr(0, hashed_limit));
  EXPECT_EQ(of(longer), expected);
  EXPECT_EQ(of(changed_tail), expected);

  std::string one_short = audio(hashed_limit - 1, 9);
  EXPECT_EQ(of(one_short), md5_hex(one_short));
}

TEST_F(Fingerprint, ReportsAFileThatCannotBeOpened) {
  EXPECT_EQ(at(directory_ / "missing.mp3"), "error 1");
  EXPECT_EQ(at(directory_.path()), "error 1") << "a directory is not a music file";
}

}  // namespace
