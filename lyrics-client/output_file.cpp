// Writing an OutputFile, the same on every platform: where the runtime has
// no text mode of its own, file_create asked for the newline expansion here.
#include "platform.h"

#include <cstring>

namespace {

// Stores each LF as CR LF, passing the runs between them through unchanged.
bool write_expanding_newlines(std::FILE *stream, const char *bytes, std::size_t count) {
    while (count > 0) {
        const void *newline = std::memchr(bytes, '\n', count);
        std::size_t run = newline ? static_cast<const char *>(newline) - bytes : count;
        if (std::fwrite(bytes, 1, run, stream) != run) return false;
        if (newline == nullptr) return true;
        if (std::fwrite("\r\n", 1, 2, stream) != 2) return false;
        bytes += run + 1;
        count -= run + 1;
    }
    return true;
}

} // namespace

bool file_write(OutputFile &file, const char *bytes, std::size_t count) {
    if (file.expand_newlines) return write_expanding_newlines(file.stream, bytes, count);
    return std::fwrite(bytes, 1, count, file.stream) == count;
}

bool file_close(OutputFile &file) {
    if (file.stream == nullptr) return true;
    bool stored = std::fclose(file.stream) == 0;
    file.stream = nullptr;
    return stored;
}
