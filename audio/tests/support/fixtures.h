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
#include <utility>

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

// A stream of any decoder, closed by it at the end of its scope.
class DecoderStream {
public:
    DecoderStream(const audio_decoder &decoder, const std::string &path)
        : decoder_(decoder), stream_(decoder.open(path.c_str())) {}
    ~DecoderStream() {
        if (stream_) decoder_.close(stream_);
    }
    explicit operator bool() const { return stream_ != nullptr; }
    audio_stream *operator->() const { return stream_; }
    int read(void *buffer, size_t length) { return decoder_.read(stream_, buffer, length); }
    int seek(int64_t position) { return decoder_.seek(stream_, position); }
    int64_t tell() { return decoder_.tell(stream_); }

    // Reads to the end (or to a -1, kept in *last) in pieces of chunk bytes.
    std::string read_all(size_t chunk, int *last = nullptr) {
        std::string pcm, buffer(chunk, '\0');
        int n;
        while ((n = read(buffer.data(), chunk)) > 0) pcm.append(buffer.data(), (size_t)n);
        if (last) *last = n;
        return pcm;
    }

private:
    const audio_decoder &decoder_;
    audio_stream *stream_;
};

// The present texts of a tag record in record order, "title=…|artist=…";
// "no record" for null.
inline std::string describe_tags(const audio_tags *tags) {
    if (!tags) return "no record";
    const std::pair<const char *, const char *> fields[] = {
        {"title", tags->title}, {"artist", tags->artist}, {"album", tags->album},
        {"year", tags->year},   {"genre", tags->genre},   {"description", tags->description}};
    std::string text;
    for (const auto &[name, value] : fields)
        if (value) text += (text.empty() ? "" : "|") + std::string(name) + "=" + value;
    return text;
}

} // namespace audio_test

#endif
