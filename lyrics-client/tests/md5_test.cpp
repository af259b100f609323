#include "md5.h"

#include "test_files.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// The test suite of RFC 1321, appendix A.5, then inputs around the padding
// limit: 55 bytes still fit the length into the last block, 56 need a
// further block, 64 end exactly on a block.
TEST(Md5, MatchesKnownDigests) {
  const struct {
    std::string input;
    const char *digest;
  } known[] = {
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
      {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
      {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
      {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
  };
  for (const auto &row : known) EXPECT_EQ(md5_hex(row.input), row.digest) << row.input;
}

TEST(Md5, GivesTheSameDigestHoweverTheInputIsSplit) {
  std::string input;
  for (int i = 0; i < 1024; ++i) input += static_cast<char>(i);
  for (std::size_t piece : {1u, 3u, 63u, 64u, 65u, 200u, 1024u})
    EXPECT_EQ(md5_hex(input, piece), "b2ea9f7fcea831a4a63b213f41a8855b") << "pieces of " << piece;
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
  EXPECT_EQ(context.bit_count_low, 0u);
  EXPECT_EQ(context.bit_count_high, 1u);
}

}  // namespace
