// The audio fingerprint: the MD5 digest of the start of a music file's audio
// data, after its leading ID3v2 tags and the zero bytes that follow them. The
// lyrics server indexes lyrics by its text form, so every byte that goes into
// the digest is part of the contract with the server.
#pragma once

#include "platform.h"

// Bytes of a fingerprint (an MD5 digest), and characters of its text: two hexadecimal digits a
// byte and a terminator.
inline constexpr int fingerprint_size = 16;
inline constexpr int fingerprint_text_capacity = 2 * fingerprint_size + 1;

enum {
    FP_OK = 0,           // digest written
    FP_CANNOT_OPEN = 1,  // the file cannot be opened for reading
    FP_BAD_TAG_SIZE = 2, // an ID3v2 tag size byte has its top bit set
};

// Computes the fingerprint of the file at `path` into `digest`. Returns one
// of the FP_ codes; `digest` is written only for FP_OK. At most 160 blocks of
// 1024 bytes are hashed, so every file costs about the same.
int fingerprint_file(const path_char *path, unsigned char digest[fingerprint_size]);

// Writes the 32 lowercase hexadecimal digits of `digest` and a terminator.
void fingerprint_to_hex(const unsigned char digest[fingerprint_size],
                        char text[fingerprint_text_capacity]);
