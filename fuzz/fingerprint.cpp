// The fingerprint of a file holding the input: ID3v2 chains, tag sizes, footers, zero padding and
// short files.
#include <cstring>

#include "fingerprint.h"
#include "support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static fuzz::MemoryFile file;
    fuzz::DescriptorWatch descriptors; // after the file, which stays open
    unsigned char digest[16];
    std::memset(digest, 0xA5, sizeof digest);
    int result = fingerprint_file(file.hold(data, size), digest);
    fuzz::check(result == FP_OK || result == FP_BAD_TAG_SIZE, "an unknown result");
    if (result == FP_OK) {
        char text[33];
        fingerprint_to_hex(digest, text);
        fuzz::check(std::strspn(text, "0123456789abcdef") == 32, "the text form");
    } else {
        for (unsigned char byte : digest) fuzz::check(byte == 0xA5, "digest written on failure");
    }
    descriptors.check_nothing_left_open();
    return 0;
}
