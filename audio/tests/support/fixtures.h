// Media fixtures of the audio tests: the generated MP3 files and scratch
// files built from them.
#ifndef TOLMEK_AUDIO_TESTS_FIXTURES_H
#define TOLMEK_AUDIO_TESTS_FIXTURES_H

#include <string>
#include <vector>

namespace audio_test {

// The path of a generated fixture, e.g. fixture("stereo_44100.mp3"). The
// directory comes from TOLMEK_AUDIO_FIXTURES, set by the test registration.
std::string fixture(const std::string &name);

std::string read_file(const std::string &path);
void write_file(const std::string &path, const std::string &bytes);

// A directory of its own for one test's files, removed with its contents.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;
    // Writes bytes into a file of that name here and returns its path.
    std::string file(const std::string &name, const std::string &bytes);

private:
    std::string path_;
    std::vector<std::string> files_;
};

} // namespace audio_test

#endif
