// MD5 message digest, as RFC 1321 defines it.
#pragma once

#include <cstdint>

struct Md5Context {
    std::uint32_t bit_count_low;  // input length in bits, modulo 2^32
    std::uint32_t bit_count_high; // input length in bits, divided by 2^32
    std::uint32_t state[4];       // the chaining words A, B, C, D
    unsigned char buffer[64];     // pending input, bit count / 8 modulo 64 bytes used
};

// Starts a digest.
void md5_init(Md5Context *context);
// Feeds `length` bytes. A length of zero or less leaves the context unchanged.
void md5_update(Md5Context *context, const void *bytes, long length);
// Pads, finishes and writes the 16-byte digest (A, B, C, D, each least
// significant byte first). The context must be initialised again before reuse.
void md5_final(Md5Context *context, unsigned char digest[16]);
