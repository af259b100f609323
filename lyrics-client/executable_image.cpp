// The checks of a downloaded program, field by field as the PE format
// places them; every number is read byte by byte as little-endian.
#include "executable_image.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr std::uint16_t machine_i386 = 0x14C;
constexpr std::uint16_t optional_header_pe32 = 0x10B;
constexpr std::uint16_t flag_executable_image = 0x0002;
constexpr std::uint16_t flag_library = 0x2000;
constexpr std::uint16_t subsystem_windows_gui = 2;
constexpr int dos_header_size = 64;
constexpr int pe_offset_field = 0x3C;
constexpr int file_header_size = 24;         // "PE\0\0" and the COFF file header
constexpr int pe32_optional_header_min = 96; // up to the data directory count
constexpr int size_of_headers_field = 60;    // in the optional header
constexpr int subsystem_field = 68;          // in the optional header
constexpr int section_header_size = 40;
constexpr int most_sections = 96;
constexpr int symbol_size = 18;

std::uint32_t little_endian(const unsigned char *bytes, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
    return value;
}

bool read_at(std::FILE *stream, std::uint64_t offset, unsigned char *bytes, int count) {
    return offset <= 0x7FFFFFFF && std::fseek(stream, static_cast<long>(offset), SEEK_SET) == 0 &&
           std::fread(bytes, 1, count, stream) == static_cast<std::size_t>(count);
}

// The file's size in bytes, or -1.
long long file_size(std::FILE *stream) {
    if (std::fseek(stream, 0, SEEK_END) != 0) return -1;
    return std::ftell(stream);
}

// What the PE headers tell of the file's layout.
struct Layout {
    std::uint64_t headers_end;   // past the section table, or the headers' stated size if further
    std::uint64_t section_table; // where the first section header is
    std::uint32_t sections;
    std::uint64_t symbol_table; // where the symbols are; 0 when there are none
    std::uint64_t symbols;
};

// Reads the headers into `layout`; false when they are not those of an i386 GUI program.
bool read_layout(std::FILE *stream, Layout &layout) {
    unsigned char dos[dos_header_size];
    if (!read_at(stream, 0, dos, dos_header_size) || dos[0] != 'M' || dos[1] != 'Z') return false;
    std::uint64_t pe_offset = little_endian(dos + pe_offset_field, 4);

    unsigned char header[file_header_size + pe32_optional_header_min];
    if (!read_at(stream, pe_offset, header, sizeof header)) return false;
    if (header[0] != 'P' || header[1] != 'E' || header[2] != 0 || header[3] != 0) return false;
    const unsigned char *file_header = header + 4;
    const unsigned char *optional = header + file_header_size;
    std::uint32_t optional_size = little_endian(file_header + 16, 2);
    std::uint32_t flags = little_endian(file_header + 18, 2);
    layout.sections = little_endian(file_header + 2, 2);
    layout.symbol_table = little_endian(file_header + 8, 4);
    layout.symbols = little_endian(file_header + 12, 4);
    layout.section_table = pe_offset + file_header_size + optional_size;
    layout.headers_end = std::max<std::uint64_t>(
        layout.section_table + std::uint64_t{layout.sections} * section_header_size,
        little_endian(optional + size_of_headers_field, 4));
    return little_endian(file_header, 2) == machine_i386 && layout.sections != 0 &&
           layout.sections <= most_sections && optional_size >= pe32_optional_header_min &&
           (flags & flag_executable_image) != 0 && (flags & flag_library) == 0 &&
           little_endian(optional, 2) == optional_header_pe32 &&
           little_endian(optional + subsystem_field, 2) == subsystem_windows_gui;
}

// Moves `end` past the raw data of every section; false when a section header cannot be read.
bool reach_sections(std::FILE *stream, const Layout &layout, std::uint64_t &end) {
    for (std::uint32_t i = 0; i < layout.sections; ++i) {
        unsigned char section[section_header_size];
        std::uint64_t place = layout.section_table + std::uint64_t{i} * section_header_size;
        if (!read_at(stream, place, section, section_header_size)) return false;
        std::uint64_t raw_size = little_endian(section + 16, 4);
        std::uint64_t raw_start = little_endian(section + 20, 4);
        if (raw_size != 0) end = std::max(end, raw_start + raw_size);
    }
    return true;
}

// Moves `end` past the string table that follows the symbols, if there are any; its first four
// bytes give its size, themselves included. False when that size cannot be read.
bool reach_strings(std::FILE *stream, const Layout &layout, std::uint64_t &end) {
    if (layout.symbol_table == 0) return true;
    std::uint64_t strings = layout.symbol_table + layout.symbols * symbol_size;
    unsigned char strings_size[4];
    if (!read_at(stream, strings, strings_size, 4)) return false;
    end = std::max<std::uint64_t>(
        end, strings + std::max<std::uint32_t>(4, little_endian(strings_size, 4)));
    return true;
}

// Where the PE headers say the file ends: the furthest of the headers, the raw data of every
// section, and the symbol table with its string table. 0 when the headers are not those of an
// i386 GUI program, or when a part they place cannot be read.
std::uint64_t required_size(std::FILE *stream) {
    Layout layout;
    if (!read_layout(stream, layout)) return 0;
    std::uint64_t end = layout.headers_end;
    if (!reach_sections(stream, layout, end) || !reach_strings(stream, layout, end)) return 0;
    return end;
}

} // namespace

bool is_complete_i386_gui_program(const path_char *path) {
    InputFile stream(open_file_for_reading(path, PATH_TEXT("rb")));
    if (!stream) return false;
    std::uint64_t needed = required_size(stream.get());
    long long size = file_size(stream.get());
    return needed != 0 && size >= 0 && static_cast<std::uint64_t>(size) >= needed;
}
