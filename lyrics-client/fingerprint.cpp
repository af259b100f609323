// Fingerprint: skip the leading ID3v2 tags and zero bytes, hash the rest up
// to a fixed number of blocks.
//
// The reads and seeks below follow the stream exactly as the server's own
// fingerprints were made: a seek past the end is not an error (the next read
// simply returns nothing), and a read error counts as the end of the file.
#include "fingerprint.h"

#include "md5.h"

#include <cstring>

namespace {

constexpr int header_length = 10;
constexpr int footer_length = 10;
constexpr int block_size = 1024;
constexpr int block_limit = 160;
constexpr unsigned char footer_flag = 0x10;

enum class TagStep { skipped, no_tag, bad_size };

// The tag size: four 7-bit groups, most significant first. False when a
// byte has its top bit set.
bool decode_tag_size(const unsigned char *bytes, long *size) {
    *size = 0;
    for (int i = 0; i < 4; ++i) {
        if (bytes[i] & 0x80) return false;
        *size = (*size << 7) | bytes[i];
    }
    return true;
}

// Skips one ID3v2 tag at the current position, or leaves the stream where
// it stood when there is none.
TagStep skip_one_tag(std::FILE *stream, unsigned char *buffer) {
    long read = static_cast<long>(std::fread(buffer, 1, header_length, stream));
    if (read < header_length || std::memcmp(buffer, "ID3", 3) != 0) {
        std::fseek(stream, -read, SEEK_CUR);
        return TagStep::no_tag;
    }
    long size;
    if (!decode_tag_size(buffer + 6, &size)) return TagStep::bad_size;
    if (buffer[5] & footer_flag) size += footer_length;
    std::fseek(stream, size, SEEK_CUR);
    return TagStep::skipped;
}

// Leaves the stream at the first non-zero byte, or at the end.
void skip_zero_bytes(std::FILE *stream) {
    int byte;
    do {
        byte = std::fgetc(stream);
    } while (byte == 0);
    if (byte != EOF) std::ungetc(byte, stream);
}

void hash_blocks(std::FILE *stream, unsigned char *buffer, unsigned char digest[fingerprint_size]) {
    Md5Context context;
    md5_init(&context);
    for (int blocks = 0; blocks < block_limit;) {
        std::size_t read = std::fread(buffer, 1, block_size, stream);
        if (read == 0) break;
        ++blocks;
        md5_update(&context, buffer, static_cast<long>(read));
    }
    md5_final(&context, digest);
}

} // namespace

int fingerprint_file(const path_char *path, unsigned char digest[fingerprint_size]) {
    InputFile stream(open_file_for_reading(path, PATH_TEXT("rb")));
    if (!stream) return FP_CANNOT_OPEN;
    unsigned char buffer[block_size];
    for (;;) {
        TagStep step = skip_one_tag(stream.get(), buffer);
        if (step == TagStep::bad_size) return FP_BAD_TAG_SIZE;
        if (step == TagStep::no_tag) break;
    }
    skip_zero_bytes(stream.get());
    hash_blocks(stream.get(), buffer, digest);
    return FP_OK;
}

void fingerprint_to_hex(const unsigned char digest[fingerprint_size],
                        char text[fingerprint_text_capacity]) {
    static constexpr char digits[] = "0123456789abcdef";
    for (int i = 0; i < fingerprint_size; ++i) {
        text[2 * i] = digits[digest[i] >> 4];
        text[2 * i + 1] = digits[digest[i] & 15];
    }
    text[2 * fingerprint_size] = '\0';
}
