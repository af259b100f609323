// The MD5 digest of some bytes as 32 hexadecimal digits, for comparisons.
#pragma once

#include "fingerprint.h"
#include "md5.h"

#include <string>

inline std::string md5_hex(const std::string &bytes) {
  Md5Context context;
  md5_init(&context);
  md5_update(&context, bytes.data(), static_cast<long>(bytes.size()));
  unsigned char digest[16];
  md5_final(&context, digest);
  char text[33];
  fingerprint_to_hex(digest, text);
  return text;
}
