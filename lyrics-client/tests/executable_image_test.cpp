// The check of a downloaded build: what passes for a complete i386 GUI
// program, and the ways a download can fail to be one.
#include "executable_image.h"
#include "test_files.h"

#include <gtest/gtest.h>

namespace {

using Fields = std::vector<std::pair<std::size_t, std::uint32_t>>;

// A program as a linker lays it out: PE headers at 0x80, one section whose
// raw data ends at 0x600, then 3 symbols of 18 bytes and a string table of
// 40 bytes; `changes` are written last, each field in its low bytes.
std::string image(const Fields &changes = {}) {
  std::string bytes(0x600 + 3 * 18 + 40, '\0');
  Fields fields = {{0, 'M' | 'Z' << 8}, {0x3C, 0x80}, {0x80, 'P' | 'E' << 8}, {0x84, 0x14C},
                   {0x86, 1},           {0x8C, 0x600}, {0x90, 3},  // machine, sections, symbols
                   {0x94, 224}, {0x96, 0x102}, {0x98, 0x10B}, {0x98 + 60, 0x200}, {0x98 + 68, 2},
                   {0x178 + 16, 0x400}, {0x178 + 20, 0x200}, {0x636, 40}};  // section; strings
  fields.insert(fields.end(), changes.begin(), changes.end());
  for (const auto &[offset, value] : fields)
    for (int i = 0; i < (value > 0xFFFF ? 4 : 2); ++i) bytes[offset + i] = static_cast<char>(value >> 8 * i);
  return bytes;
}

TEST(ExecutableImage, AcceptsCompleteI386GuiProgramsOnly) {
  const std::pair<std::string, bool> cases[] = {
      {image(), true},
      {image() + "trailing bytes", true},
      {image({{0x8C, 0}}).substr(0, 0x600), true},   // no symbols
      {image({{0x8C, 0}}).substr(0, 0x5FF), false},  // cut in the section
      {image().substr(0, 0x65D), false},             // cut in the string table
      {image().substr(0, 0x636), false},             // cut before it
      {image().substr(0, 0x100), false},             // cut within the headers
      {"<html><body>404 Not Found</body></html>\n", false},
      {image({{0x80, 'N'}}), false},            // no PE signature
      {image({{0x3C, 0x7FFFFFF0}}), false},     // headers far past the end
      {image({{0x84, 0x8664}}), false},         // x86-64
      {image({{0x96, 0x2102}}), false},         // a library
      {image({{0x96, 0x0100}}), false},         // not marked executable
      {image({{0x98, 0x20B}}), false},          // PE32+
      {image({{0x98 + 68, 3}}), false},         // console
  };
  TemporaryDirectory directory;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    write_file(directory / "carvelo.exe.new", cases[i].first);
    EXPECT_EQ(is_complete_i386_gui_program((directory / "carvelo.exe.new").c_str()), cases[i].second) << i;
  }
  EXPECT_FALSE(is_complete_i386_gui_program((directory / "missing.exe").c_str()));
}

}  // namespace
