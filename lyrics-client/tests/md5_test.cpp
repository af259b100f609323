#include "md5.h"

#include "digest_text.h"
#include "fingerprint.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct Vector {
  const char *input;
  const char *digest;
};

// The test suite of RFC 1321, appendix A.5.
constexpr Vector rfc1321_suite[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"1234567890123456789012345678901234567890123456789012345678901234567890"
     "1234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

TEST(Md5, MatchesTheRfc1321TestSuite) {
  for (const Vector &vector : rfc1321_suite) EXPECT_EQ(md5_hex(vector.input), vector.digest) << vector.input;
}

// Inputs around the padding limit: 55 bytes still fit the length into the
// last block, 56 need a further block, 64 end exactly on a block.
TEST(Md5, PadsCorrectlyAroundBlockBoundaries) {
  EXPECT_EQ(md5_hex(std::string(55, 'a')), "ef1772b6dff9a122358552954ad0df65");
  EXPECT_EQ(md5_hex(std::string(56, 'a')), "3b0c8ac703f828b04c6c197006d17218");
  EXPECT_EQ(md5_hex(std::string(64, 'a')), "014842d480b571495a4a0363793f7367");
}

TEST(Md5, GivesTheSameDigestHoweverTheInputIsSplit) {
  std::string input;
  for (int i = 0; i < 1024; ++i) input += static_cast<char>(i);
  const std::string whole = md5_hex(input);
  ASSERT_EQ(whole, "b2ea9f7fcea831a4a63b213f41a8855b");
  for (std::size_t piece : {1u, 3u, 63u, 64u, 65u, 200u}) {
    Md5Context context;
    md5_init(&context);
    for (std::size_t at = 0; at < input.size(); at += piece)
      md5_update(&context, input.data() + at, static_cast<long>(std::min(piece, input.size() - at)));
    unsigned char digest[16];
    md5_final(&context, digest);
    char text[33];
    fingerprint_to_hex(digest, text);
    EXPECT_EQ(text, whole) << "pieces of " << piece;
  }
}

TEST(Md5, IgnoresLengthsOfZeroOrLess) {
  Md5Context context, untouched;
  md5_init(&context);
  md5_update(&context, "abc", 3);
  std::memcpy(&untouched, &context, sizeof context);
  md5_update(&context, "xyz", 0);
  md5_update(&context, "xyz", -5);
  EXPECT_EQ(std::memcmp(&context, &untouched, sizeof context), 0);
}

TEST(Md5, CarriesTheBitCountIntoItsHighWord) {
  Md5Context context;
  md5_init(&context);
  context.bit_count_low = 0xFFFFFFF8u;  // as after 2^29 - 1 bytes
  md5_update(&context, "x", 1);
  EXPECT_EQ(context.bit_count_low, 0u);
  EXPECT_EQ(context.bit_count_high, 1u);
}

TEST(FingerprintText, KeepsLeadingZerosAndUsesLowercase) {
  unsigned char digest[16] = {0x05, 0xAB, 0x00, 0xFF, 0x10, 0x9c};
  char text[34];
  std::memset(text, '#', sizeof text);
  fingerprint_to_hex(digest, text);
  EXPECT_STREQ(text, "05ab00ff109c00000000000000000000");
  EXPECT_EQ(text[33], '#') << "nothing is written after the terminator";
}

}  // namespace
