// Throughput of the lyrics core: the fingerprint of a file (whose work is
// bounded by its block limit), a 10 MB download over loopback, and a
// lyrics-sized one, whose cost is mostly the connection and the name lookup.
#include "fingerprint.h"
#include "http_client.h"
#include "test_support.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr long hashed_bytes = 160 * 1024;
constexpr std::size_t body_size = 10 * 1024 * 1024;

// A 4 MB file behind a 4 KB tag: the fingerprint reads 160 KB of it.
void FingerprintFile(benchmark::State &state) {
    TemporaryDirectory directory;
    auto path = directory / "song.mp3";
    std::string tag = std::string("ID3\x04\0\0\0\0\x20\0", 10) + std::string(4096, 't');
    write_file(path, tag + std::string(4 << 20, '\x5A'));
    for (auto _ : state) {
        unsigned char digest[16];
        if (fingerprint_file(path.c_str(), digest) != FP_OK)
            state.SkipWithError("fingerprint failed");
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(state.iterations() * hashed_bytes);
}
BENCHMARK(FingerprintFile);

// Downloads a 10 MB body of 40-byte lines; the argument is 1 for text mode.
void Download10MB(benchmark::State &state) {
    std::string body;
    while (body.size() < body_size) body += "[00:00.00] a line of lyrics, forty b\n";
    body.resize(body_size);
    LoopbackServer server(ScriptedAnswer{
        {"HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body}});
    TemporaryDirectory directory;
    auto output = directory / "body.bin";
    const path_char *mode = state.range(0) ? PATH_TEXT("w") : PATH_TEXT("wb");
    for (auto _ : state) {
        if (http_download("127.0.0.1", server.port(), "/", output.c_str(), mode,
                          update_download_limits) != DL_OK)
            state.SkipWithError("download failed");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long>(body.size()));
}
BENCHMARK(Download10MB)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Downloads 2 KB of lyrics, the host named by address (0) or by name (1).
void DownloadLyrics(benchmark::State &state) {
    const std::string body(2048, 'l');
    LoopbackServer server(ScriptedAnswer{
        {"HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body}});
    TemporaryDirectory directory;
    auto output = directory / "song.lrc";
    const char *host = state.range(0) ? "localhost" : "127.0.0.1";
    for (auto _ : state) {
        if (http_download(host, server.port(), "/", output.c_str(), PATH_TEXT("w"),
                          lyrics_download_limits) != DL_OK)
            state.SkipWithError("download failed");
    }
}
BENCHMARK(DownloadLyrics)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
