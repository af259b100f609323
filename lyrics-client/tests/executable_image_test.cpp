// The check of a downloaded build: what passes for a complete i386 program
// and the ways a download can fail to be one.
#include "executable_image.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

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
  std::uint32_t subsystem = 2;  // Windows GUI
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
  put(bytes, pe + 24 + 68, layout.subsystem, 2);
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
    return is_complete_i386_gui_program(file_.c_str());
  }
  TemporaryDirectory directory_;
  std::filesystem::path file_ = directory_ / "carvelo.exe.new";
};

TEST_F(ExecutableImage, AcceptsCompleteI386ProgramsOnly) {
  const std::string plain = image({});
  const std::string with_symbols = image({.symbol_table = 0x600, .symbols = 3, .strings_size = 40});
  std::string no_signature = plain;
  no_signature[0x80] = 'N';
  std::string far_headers = "MZ";
  put(far_headers, 0x3C, 0x7FFFFFF0, 4);  // PE headers far beyond the file's end
  const struct {
    const char *name;
    std::string bytes;
    bool accepted;
  } cases[] = {
      {"a complete program", plain, true},
      {"with a symbol table", with_symbols, true},
      {"with bytes after the last section", plain + "trailing bytes", true},
      {"an error page", "<html><body>404 Not Found</body></html>\n", false},
      {"a bare MZ", "MZ", false},
      {"no PE signature", no_signature, false},
      {"headers past the end", far_headers, false},
      {"for x86-64", image({.machine = 0x8664}), false},
      {"PE32+", image({.magic = 0x20B}), false},
      {"a library", image({.flags = 0x2102}), false},
      {"a console program", image({.subsystem = 3}), false},
      {"not marked executable", image({.flags = 0x0100}), false},
      {"cut in the last section", plain.substr(0, plain.size() - 1), false},
      {"cut within the headers", plain.substr(0, 0x100), false},
      {"cut in the symbol strings", with_symbols.substr(0, with_symbols.size() - 1), false},
      {"cut before the symbol strings", with_symbols.substr(0, 0x600 + 3 * 18), false},
  };
  for (const auto &row : cases) EXPECT_EQ(accepts(row.bytes), row.accepted) << row.name;
  EXPECT_FALSE(is_complete_i386_gui_program((directory_ / "missing.exe").c_str()));
}

}  // namespace
