// What the audio tests share: the generated MP3 fixtures, scratch files
// built from them, streams that close themselves and a descriptor count.
#ifndef TOLMEK_AUDIO_TESTS_FIXTURES_H
#define TOLMEK_AUDIO_TESTS_FIXTURES_H

#include <dirent.h>
#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "tolmek_audio.h"

namespace audio_test {

// The path of a generated fixture, e.g. fixture("stereo_44100.mp3"). The
// directory comes from TOLMEK_AUDIO_FIXTURES, set by the test registration.
inline std::string fixture(const std::string &name) {
    const char *dir = getenv("TOLMEK_AUDIO_FIXTURES");
    return std::string(dir ? dir : "fixtures") + "/" + name;
}

inline std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) abort();
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void write_file(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), (std::streamsize)bytes.size());
    if (!out) abort();
}

// Writes bytes into a file of that name beside the fixtures and returns its
// path. Names must differ between test programs, which may run at once.
inline std::string scratch_file(const std::string &name, const std::string &bytes) {
    std::string path = fixture("scratch_" + name);
    write_file(path, bytes);
    return path;
}

// Open file descriptors of this process.
inline int open_descriptors() {
    DIR *dir = opendir("/proc/self/fd");
    if (!dir) return -1;
    int count = 0;
    while (dirent *entry = readdir(dir))
        if (entry->d_name[0] != '.') count++;
    closedir(dir);
    return count - 1; // the directory stream's own descriptor
}

struct StreamCloser {
    void operator()(audio_stream *stream) const { decoder_mp3.close(stream); }
};
// An MP3 stream closed at the end of its scope; null when the open failed.
using Stream = std::unique_ptr<audio_stream, StreamCloser>;

inline Stream open_mp3(const std::string &path) { return Stream(decoder_mp3.open(path.c_str())); }

} // namespace audio_test

#endif
