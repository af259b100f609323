// The check of a downloaded build: what passes for a complete i386 program
// and the ways a download can fail to be one.
#include "executable_image.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

void put(std::string &bytes, std::size_t offset, std::uint32_t value, int count) {
  if (bytes.size() < offset + count) bytes.resize(offset + count, '\0');
  for (int i = 0; i < count; ++i) bytes[offset + i] = static_cast<char>(value >> (8 * i) & 0xFF);
}

// A small program image as a linker lays it out: DOS header, PE headers at
// 0x80, one section header, and the section's raw data at 0x200.
struct ImageLayout {
  std::uint32_t pe_offset = 0x80;
  std::uint32_t machine = 0x14C;
  std::uint32_t flags = 0x0102;  // executable image, 32-bit machine
  std::uint32_t magic = 0x10B;
  std::uint32_t section_start = 0x200;
  std::uint32_t section_size = 0x400;
  std::uint32_t symbol_table = 0;  // file offset, 0 for none
  std::uint32_t symbols = 0;
  std::uint32_t strings_size = 4;
};

std::string image(const ImageLayout &layout) {
  std::string bytes = "MZ";
  put(bytes, 0x3C, layout.pe_offset, 4);
  std::size_t pe = layout.pe_offset;
  bytes.resize(pe, '\0');
  bytes += std::string("PE\0\0", 4);
  put(bytes, pe + 4, layout.machine, 2);
  put(bytes, pe + 6, 1, 2);  // one section
  put(bytes, pe + 12, layout.symbol_table, 4);
  put(bytes, pe + 16, layout.symbols, 4);
  put(bytes, pe + 20, 224, 2);  // the usual PE32 optional header
  put(bytes, pe + 22, layout.flags, 2);
  put(bytes, pe + 24, layout.magic, 2);
  put(bytes, pe + 24 + 60, 0x200, 4);  // size of headers
  std::size_t section = pe + 24 + 224;
  bytes.resize(section + 40, '\0');
  bytes.replace(section, 5, ".text");
  put(bytes, section + 16, layout.section_size, 4);
  put(bytes, section + 20, layout.section_start, 4);
  put(bytes, layout.section_start + layout.section_size - 1, 0xC3, 1);
  if (layout.symbol_table != 0) {
    std::size_t strings = layout.symbol_table + layout.symbols * 18;
    put(bytes, strings, layout.strings_size, 4);
    put(bytes, strings + layout.strings_size - 1, 0, 1);
  }
  return bytes;
}

class ExecutableImage : public ::testing::Test {
 protected:
  bool accepts(const std::string &bytes) {
    write_file(file_, bytes);
    return is_complete_i386_program(file_.c_str());
  }
  TemporaryDirectory directory_;
  std::filesystem::path file_ = directory_ / "carvelo.exe.new";
};

TEST_F(ExecutableImage, AcceptsACompleteProgram) {
  EXPECT_TRUE(accepts(image({})));
  EXPECT_TRUE(accepts(image({.symbol_table = 0x600, .symbols = 3, .strings_size = 40})));
  EXPECT_TRUE(accepts(image({}) + "trailing bytes after the last section"));
}

TEST_F(ExecutableImage, RefusesWhatIsNoProgram) {
  EXPECT_FALSE(accepts("<html><body>404 Not Found</body></html>\n"));
  EXPECT_FALSE(accepts("MZ"));
  EXPECT_FALSE(accepts(""));
  EXPECT_FALSE(is_complete_i386_program((directory_ / "missing.exe").c_str()));
  std::string no_signature = image({});
  no_signature[0x80] = 'N';
  EXPECT_FALSE(accepts(no_signature));
  std::string far_headers = "MZ";
  put(far_headers, 0x3C, 0x7FFFFFF0, 4);  // PE headers far beyond the file's end
  EXPECT_FALSE(accepts(far_headers));
}

TEST_F(ExecutableImage, RefusesOtherMachinesLibrariesAndObjects) {
  EXPECT_FALSE(accepts(image({.machine = 0x8664})));
  EXPECT_FALSE(accepts(image({.magic = 0x20B})));          // PE32+
  EXPECT_FALSE(accepts(image({.flags = 0x2102})));         // a library
  EXPECT_FALSE(accepts(image({.flags = 0x0100})));         // not marked executable
}

TEST_F(ExecutableImage, RefusesACutOffDownload) {
  std::string whole = image({});
  EXPECT_FALSE(accepts(whole.substr(0, whole.size() - 1)));
  EXPECT_FALSE(accepts(whole.substr(0, 0x100)));  // within the headers

  std::string with_symbols = image({.symbol_table = 0x600, .symbols = 3, .strings_size = 40});
  EXPECT_FALSE(accepts(with_symbols.substr(0, with_symbols.size() - 1)));  // in the strings
  EXPECT_FALSE(accepts(with_symbols.substr(0, 0x600 + 3 * 18)));          // before them
}

#ifdef _WIN32
// This test program is itself a complete i386 program; cut copies are not.
TEST_F(ExecutableImage, JudgesARealProgramAndItsCutCopies) {
  wchar_t self[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  EXPECT_TRUE(is_complete_i386_program(self));
  std::string bytes = read_file(self).value();
  EXPECT_TRUE(accepts(bytes));
  EXPECT_FALSE(accepts(bytes.substr(0, bytes.size() - 1)));
  EXPECT_FALSE(accepts(bytes.substr(0, bytes.size() / 2)));
}
#endif

}  // namespace
