// The formats read byte by byte: MD5, ID3v2 tags and a downloaded build's PE headers.
#include "executable_image.h"
#include "fingerprint.h"
#include "md5.h"
#include "test_support.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

using namespace std::string_literals;

template <typename Check>
auto on_file(const std::string &bytes, Check check) {
    TemporaryDirectory directory;
    write_file(directory / "file", bytes);
    return check((directory / "file").c_str());
}

// The MD5 digest of `bytes` fed one byte at a time, where the fingerprint feeds whole blocks.
std::string md5_hex(const std::string &bytes) {
    Md5Context context;
    md5_init(&context);
    for (char byte : bytes) md5_update(&context, &byte, 1);
    unsigned char digest[16];
    char text[33];
    md5_final(&context, digest);
    fingerprint_to_hex(digest, text);
    return text;
}

// An ID3v2 tag of `size` bytes of 'T'; the size byte at `bad` (6 to 9) has its top bit set.
std::string id3_tag(unsigned long size, unsigned char flags = 0, int bad = 0) {
    std::string header = "ID3\x04\0"s + static_cast<char>(flags);
    for (int shift : {21, 14, 7, 0}) header += static_cast<char>((size >> shift) & 0x7F);
    if (bad != 0) header[bad] = '\x80';
    return header + std::string(size, 'T');
}

// What a fingerprint covers (160 blocks of 1024 at most), or its error, leaving the digest
// alone; files without tags give RFC 1321's digests (56 bytes need a block more for padding),
// and MD5's bit count carries into its high word (as after 2^29 bytes, which no test could feed).
TEST(Fingerprint, HashesWhatFollowsTheTagsAndTheirZeroPadding) {
    std::string longer; // zeros among other bytes
    for (int i = 1; longer.size() < 170000; ++i) longer += std::to_string(i) + '\0';
    const std::string data = longer.substr(0, 2000), footer = "3DI\x04\0\x10\0\0\0\x20"s;
    const std::string late_tag = id3_tag(20) + data,
                      lower_case = "id3" + id3_tag(8).substr(3) + data;
    const std::pair<std::string, std::string> cases[] = {
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
        {id3_tag(100) + std::string(3000, '\0'), md5_hex("")},
        {id3_tag(100000).substr(0, 10) + data, md5_hex("")}, // a tag reaching past the end
        {id3_tag(10) + id3_tag(0) + id3_tag(2048) + data, md5_hex(data)},
        {id3_tag(50) + std::string(64, '\0') + late_tag, md5_hex(late_tag)},
        {id3_tag(32, 0x10) + footer + data, md5_hex(data)},
        {id3_tag(32, 0xEF) + footer + data, md5_hex(footer + data)}, // all flags but the footer's
        {lower_case, md5_hex(lower_case)},
        {longer, md5_hex(longer.substr(0, 160 * 1024))},
        {id3_tag(4) + id3_tag(0, 0, 9) + data, "error 2: " + std::string(32, '0')},
    };
    for (const auto &[file, fingerprint] : cases) {
        unsigned char digest[fingerprint_size] = {};
        char text[fingerprint_text_capacity];
        int result = on_file(file, [&](auto path) { return fingerprint_file(path, digest); });
        fingerprint_to_hex(digest, text);
        EXPECT_EQ((result ? "error " + std::to_string(result) + ": " : "") + text, fingerprint);
    }
    Md5Context context = {0xFFFFFFF8u, 0, {}, {}}; // a bit count about to carry
    md5_update(&context, "x", 1);
    EXPECT_EQ(context.bit_count_high * 10 + context.bit_count_low, 10u);
}

// Only regular files are read: no open waits (a FIFO without a writer), and no device is read,
// whose data may never end (zeros) or never come.
TEST(Fingerprint, ReadsRegularFilesOnly) {
    TemporaryDirectory directory;
    fs::create_directory(directory / "folder");
#ifdef _WIN32
    const path_string others[] = {L"NUL", (directory / "folder").native()};
#else
    fs::create_symlink("/dev/zero", directory / "zeros");
    ASSERT_EQ(mkfifo((directory / "fifo").c_str(), 0600), 0);
    const path_string others[] = {"/dev/null", directory / "zeros", directory / "fifo",
                                  directory / "folder"};
#endif
    for (const path_string &other : others) {
        unsigned char digest[fingerprint_size];
        EXPECT_EQ(fingerprint_file(other.c_str(), digest), FP_CANNOT_OPEN) << other;
    }
}

// A program as a linker lays it out: PE headers at 0x80, a section ending at 0x600, 3 symbols of
// 18 bytes and a string table of 40. `changes` are written last, each field in its low bytes.
std::string program_image(const std::vector<std::pair<std::size_t, std::uint32_t>> &changes = {}) {
    // Offset, value: "MZ", the PE headers' place, "PE", i386, 1 section, 3 symbols at 0x600, 224
    // bytes of optional header, an executable, PE32, 0x200 bytes of headers, the GUI subsystem,
    // the section's 0x400 bytes at 0x200, the string table's 40 bytes.
    const std::uint32_t layout[] = {0x00,  0x5A4D, 0x3C,  0x80,  0x80,  0x4550, 0x84, 0x14C,
                                    0x86,  1,      0x8C,  0x600, 0x90,  3,      0x94, 224,
                                    0x96,  0x102,  0x98,  0x10B, 0xD4,  0x200,  0xDC, 2,
                                    0x188, 0x400,  0x18C, 0x200, 0x636, 40};
    std::string bytes(0x600 + 3 * 18 + 40, '\0');
    auto write = [&](std::size_t offset, std::uint32_t value) {
        for (int i = 0; i < (value > 0xFFFF ? 4 : 2); ++i)
            bytes[offset + i] = static_cast<char>(value >> 8 * i);
    };
    for (std::size_t i = 0; i < std::size(layout); i += 2) write(layout[i], layout[i + 1]);
    for (const auto &[offset, value] : changes) write(offset, value);
    return bytes;
}

TEST(ExecutableImage, AcceptsCompleteI386GuiProgramsOnly) {
    const std::pair<std::string, bool> cases[] = {
        {program_image() + "trailing bytes", true},
        {program_image({{0x8C, 0}}).substr(0, 0x600), true},  // no symbols
        {program_image({{0x8C, 0}}).substr(0, 0x5FF), false}, // cut in the section
        {program_image().substr(0, 0x65D), false},            // cut in the string table
        {"<html><body>404 Not Found</body></html>\n", false},
        {program_image({{0x84, 0x8664}}), false}, // x86-64
        {program_image({{0xDC, 3}}), false},      // console
        {program_image({{0x96, 0x2102}}), false}, // a DLL
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(on_file(cases[i].first, is_complete_i386_gui_program), cases[i].second) << i;
}

} // namespace
