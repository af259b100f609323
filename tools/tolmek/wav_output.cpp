// The WAV output of tolmek decode.
#include "wav_output.h"

#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uint32_t unknown_size = 0xFFFFFFFFu;
constexpr uint64_t max_data_bytes = unknown_size - 1 - 36; // RIFF size must fit too

void put16(unsigned char *at, uint32_t value) {
    at[0] = (unsigned char)value;
    at[1] = (unsigned char)(value >> 8);
}

void put32(unsigned char *at, uint32_t value) {
    put16(at, value & 0xFFFF);
    put16(at + 2, value >> 16);
}

// The mode a file newly created at a path gets.
mode_t new_file_mode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

} // namespace

WavOutput::~WavOutput() {
    close_output();
    if (!temporary_.empty()) unlink(temporary_.c_str());
}

bool WavOutput::begin(const char *path, int channels, int rate) {
    channels_ = channels;
    rate_ = rate;
    struct stat status;
    if (strcmp(path, "-") == 0)
        out_ = stdout;
    else if (stat(path, &status) == 0 && !S_ISREG(status.st_mode))
        out_ = fopen(path, "wb"); // a pipe or a device: there is nothing to keep
    else if (!open_temporary(path))
        return false;
    return out_ && write_header(unknown_size);
}

// The temporary goes beside the file a path names, through any symbolic
// link, and takes over the mode of a file it will replace. A file that may
// not be written is not replaced either.
bool WavOutput::open_temporary(const char *path) {
    mode_t mode = new_file_mode();
    struct stat status;
    target_ = path;
    if (char *resolved = realpath(path, nullptr)) {
        target_ = resolved;
        free(resolved);
        if (access(target_.c_str(), W_OK) != 0 || stat(target_.c_str(), &status) != 0) return false;
        mode = status.st_mode & 07777;
    }
    temporary_ = target_ + ".XXXXXX";
    int fd = mkstemp(temporary_.data());
    if (fd < 0) {
        temporary_.clear();
        return false;
    }
    if (fchmod(fd, mode) != 0 || !(out_ = fdopen(fd, "wb"))) {
        close(fd);
        return false;
    }
    return true;
}

bool WavOutput::write(const void *pcm, size_t bytes) {
    data_bytes_ += bytes;
    return data_bytes_ <= max_data_bytes && fwrite(pcm, 1, bytes, out_) == bytes;
}

bool WavOutput::finish() {
    bool written = fflush(out_) == 0;
    // Pipes cannot seek back: their header keeps the unknown sizes.
    if (written && fseek(out_, 0, SEEK_SET) == 0)
        written = write_header((uint32_t)data_bytes_) && fflush(out_) == 0;
    written = written && !ferror(out_);
    FILE *out = out_;
    out_ = nullptr;
    if (out != stdout) written = fclose(out) == 0 && written;
    if (!written || temporary_.empty()) return written;
    if (rename(temporary_.c_str(), target_.c_str()) != 0) return false;
    temporary_.clear();
    return true;
}

bool WavOutput::write_header(uint32_t data_bytes) {
    unsigned char header[44];
    const uint32_t frame_bytes = 2 * (uint32_t)channels_;
    const uint32_t riff_bytes = data_bytes == unknown_size ? unknown_size : 36 + data_bytes;
    memcpy(header, "RIFF", 4);
    put32(header + 4, riff_bytes);
    memcpy(header + 8, "WAVEfmt ", 8);
    put32(header + 16, 16); // size of the format chunk
    put16(header + 20, 1);  // integer PCM
    put16(header + 22, (uint32_t)channels_);
    put32(header + 24, (uint32_t)rate_);
    put32(header + 28, (uint32_t)rate_ * frame_bytes); // bytes per second
    put16(header + 32, frame_bytes);
    put16(header + 34, 16); // bits per sample
    memcpy(header + 36, "data", 4);
    put32(header + 40, data_bytes);
    return fwrite(header, 1, sizeof header, out_) == sizeof header;
}

void WavOutput::close_output() {
    if (out_ && out_ != stdout) fclose(out_);
    out_ = nullptr;
}
