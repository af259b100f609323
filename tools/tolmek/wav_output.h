// The WAV file that tolmek decode writes: 16-bit PCM, written as the
// samples arrive. The samples are copied as they come, so host byte order
// must be little-endian, as it is on every target.
//
// A regular file, new or existing, is written under a temporary name in
// its folder and renamed over the path only once complete, so a failed
// decode leaves whatever was there before. "-" (standard output), pipes and
// devices are written in place and never removed; where they cannot seek
// back, the header keeps the sizes that mean "unknown" (all ones).
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <string>

class WavOutput {
public:
    WavOutput() = default;
    WavOutput(const WavOutput &) = delete;
    WavOutput &operator=(const WavOutput &) = delete;
    ~WavOutput(); // abandons an output not finished: removes the temporary only

    // Opens path for a WAV file of channels and rate and writes the header.
    bool begin(const char *path, int channels, int rate);
    bool write(const void *pcm, size_t bytes);
    // Completes the header where the output can seek back, closes it and
    // moves a temporary into place. False when any of it failed.
    bool finish();

private:
    bool open_temporary(const char *path);
    bool write_header(uint32_t data_bytes);
    void close_output();

    FILE *out_ = nullptr;
    std::string temporary_, target_; // both empty when written in place
    int channels_ = 0, rate_ = 0;
    uint64_t data_bytes_ = 0;
};
