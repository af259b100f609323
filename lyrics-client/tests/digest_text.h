// Digests as 32 hexadecimal digits, for comparisons.
#pragma once

#include "fingerprint.h"
#include "md5.h"

#include <algorithm>
#include <string>

inline std::string hex_text(const unsigned char digest[16]) {
  char text[33];
  fingerprint_to_hex(digest, text);
  return text;
}

// Feeds `bytes` in pieces of `piece` bytes (all at once by default).
inline std::string md5_hex(const std::string &bytes, std::size_t piece = std::string::npos) {
  Md5Context context;
  md5_init(&context);
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    std::size_t count = std::min(piece, bytes.size() - at);
    md5_update(&context, bytes.data() + at, static_cast<long>(count));
  }
  unsigned char digest[16];
  md5_final(&context, digest);
  return hex_text(digest);
}
