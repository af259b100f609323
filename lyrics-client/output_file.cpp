// Writing an OutputFile, the same on every platform: where the runtime has
// no text mode of its own, file_create asked for the newline expansion here.
#include "output_file.h"

#include "bounded_text.h"

#include <atomic>
#include <cstring>

namespace {

std::atomic<unsigned long> temporaries_named{0};

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

BodyFile::BodyFile(const path_char *output_path, const path_char *mode)
    : output_path_(output_path), mode_(mode) {
    BoundedText<path_char> name(temporary_, sizeof temporary_ / sizeof *temporary_);
    const auto directory_length = static_cast<int>(final_component(output_path) - output_path);
    name.append(output_path, directory_length).append(PATH_TEXT(".carvelo-"));
    name.append_hex(current_process_id()).append(PATH_TEXT("-")).append_hex(++temporaries_named);
    named_ = name.append(PATH_TEXT(".part")).complete();
}

BodyFile::~BodyFile() {
    if (created_ && !committed_) {
        file_close(file_);
        file_remove(temporary_);
    }
}

bool BodyFile::add(const char *bytes, int count) {
    if (count == 0) return true;
    if (!created_) {
        if (!named_ || !file_create(file_, temporary_, mode_)) return false;
        created_ = true;
    }
    return file_write(file_, bytes, static_cast<std::size_t>(count));
}

bool BodyFile::commit() {
    bool stored = file_close(file_) && file_replace(temporary_, output_path_);
    if (!stored) file_remove(temporary_);
    committed_ = true; // the temporary is gone either way
    return stored;
}
