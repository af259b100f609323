// MD5 after RFC 1321: 64-byte blocks, four rounds of sixteen steps.
#include "md5.h"

#include <cstring>

namespace {

// Per-step left rotations, four per round.
constexpr int shifts[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

// The sine table T[i] = floor(2^32 * |sin(i + 1)|).
constexpr std::uint32_t sines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

std::uint32_t rotate_left(std::uint32_t value, int count) {
    return (value << count) | (value >> (32 - count));
}

std::uint32_t load_le32(const unsigned char *bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

void store_le32(unsigned char *bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

// Mixes one 64-byte block into the chaining words.
void transform(std::uint32_t state[4], const unsigned char block[64]) {
    std::uint32_t words[16];
    for (int i = 0; i < 16; ++i) words[i] = load_le32(block + 4 * i);
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int step = 0; step < 64; ++step) {
        int round = step / 16;
        std::uint32_t mixed;
        int word;
        switch (round) {
            case 0:
                mixed = (b & c) | (~b & d);
                word = step;
                break;
            case 1:
                mixed = (d & b) | (~d & c);
                word = (5 * step + 1) % 16;
                break;
            case 2:
                mixed = b ^ c ^ d;
                word = (3 * step + 5) % 16;
                break;
            default:
                mixed = c ^ (b | ~d);
                word = (7 * step) % 16;
                break;
        }
        std::uint32_t rotated =
            rotate_left(a + mixed + sines[step] + words[word], shifts[round][step % 4]);
        a = d;
        d = c;
        c = b;
        b += rotated;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

} // namespace

void md5_init(Md5Context *context) {
    context->bit_count_low = 0;
    context->bit_count_high = 0;
    context->state[0] = 0x67452301;
    context->state[1] = 0xefcdab89;
    context->state[2] = 0x98badcfe;
    context->state[3] = 0x10325476;
    std::memset(context->buffer, 0, sizeof context->buffer);
}

void md5_update(Md5Context *context, const void *bytes, long length) {
    if (length <= 0) return;
    const auto *input = static_cast<const unsigned char *>(bytes);
    auto count = static_cast<unsigned long>(length);
    std::size_t pending = (context->bit_count_low >> 3) & 63;

    // The bit count is kept modulo 2^64 across the two words.
    std::uint32_t added_low = static_cast<std::uint32_t>(count << 3);
    context->bit_count_high += static_cast<std::uint32_t>(count >> 29);
    context->bit_count_low += added_low;
    if (context->bit_count_low < added_low) ++context->bit_count_high;

    if (pending > 0) {
        std::size_t take = 64 - pending < count ? 64 - pending : count;
        std::memcpy(context->buffer + pending, input, take);
        input += take;
        count -= take;
        if (pending + take < 64) return;
        transform(context->state, context->buffer);
    }
    for (; count >= 64; input += 64, count -= 64) transform(context->state, input);
    std::memcpy(context->buffer, input, count);
}

void md5_final(Md5Context *context, unsigned char digest[16]) {
    unsigned char length_bytes[8];
    store_le32(length_bytes, context->bit_count_low);
    store_le32(length_bytes + 4, context->bit_count_high);

    // One 0x80 byte, then zeros up to 56 bytes modulo 64, then the bit count.
    static constexpr unsigned char padding[64] = {0x80};
    std::size_t pending = (context->bit_count_low >> 3) & 63;
    long padding_length = static_cast<long>(pending < 56 ? 56 - pending : 120 - pending);
    md5_update(context, padding, padding_length);
    md5_update(context, length_bytes, 8);

    for (int i = 0; i < 4; ++i) store_le32(digest + 4 * i, context->state[i]);
}
