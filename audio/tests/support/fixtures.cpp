#include "fixtures.h"

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace audio_test {

std::string fixture(const std::string &name) {
    const char *dir = getenv("TOLMEK_AUDIO_FIXTURES");
    return std::string(dir ? dir : "fixtures") + "/" + name;
}

std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) abort();
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void write_file(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), (std::streamsize)bytes.size());
    if (!out) abort();
}

ScratchDir::ScratchDir() {
    const char *tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp ? tmp : "/tmp") + "/tolmek-audio-XXXXXX";
    if (!mkdtemp(pattern.data())) abort();
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
    for (const std::string &file : files_) unlink(file.c_str());
    rmdir(path_.c_str());
}

std::string ScratchDir::file(const std::string &name, const std::string &bytes) {
    std::string path = path_ + "/" + name;
    write_file(path, bytes);
    files_.push_back(path);
    return path;
}

} // namespace audio_test
