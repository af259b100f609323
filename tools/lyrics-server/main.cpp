// lyrics-server: the sample lyrics and update server, and its helper to put
// lyrics into its directory under an MP3 file's fingerprint.
//
//   lyrics-server [--address A] --port N --lyrics DIR [--builds DIR]
//                 [--delay-ms N] [--stall-ms N] [--log FILE]
//   lyrics-server add-lyrics DIR MP3 LRC    store LRC as the lyrics of MP3
//   lyrics-server fingerprint FILE...       print each file's fingerprint
//   lyrics-server --help | --version
//
// Help goes to standard output with exit 0; a usage error prints the usage
// on standard error and exits with 2; a server that cannot start exits 1.
#include "server.h"

#include "fingerprint.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr char usage[] =
    "usage: lyrics-server [--address A] --port N --lyrics DIR [--builds DIR]\n"
    "                     [--delay-ms N] [--stall-ms N] [--log FILE]\n"
    "       lyrics-server add-lyrics DIR MP3 LRC\n"
    "       lyrics-server fingerprint FILE...\n"
    "       lyrics-server --help | --version\n";

int usage_error(const char *problem) {
    std::fprintf(stderr, "lyrics-server: %s\n%s", problem, usage);
    return 2;
}

bool parse_number(const char *text, int low, int high, int *value) {
    char *end;
    errno = 0;
    long number = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || number < low || number > high) return false;
    *value = static_cast<int>(number);
    return true;
}

// The fingerprint text of a file, or false with a message on stderr.
bool fingerprint_text(const char *path, char text[fingerprint_text_capacity]) {
    unsigned char digest[fingerprint_size];
    int result = fingerprint_file(path, digest);
    if (result != FP_OK) {
        std::fprintf(stderr, "lyrics-server: %s: %s\n", path,
                     result == FP_CANNOT_OPEN ? "cannot open" : "malformed ID3v2 tag size");
        return false;
    }
    fingerprint_to_hex(digest, text);
    return true;
}

bool copy_file(const char *from, const std::string &to) {
    std::FILE *source = std::fopen(from, "rb");
    if (source == nullptr) return false;
    std::string partial = to + ".part";
    std::FILE *target = std::fopen(partial.c_str(), "wb");
    bool copied = target != nullptr;
    char buffer[65536];
    while (copied) {
        std::size_t got = std::fread(buffer, 1, sizeof buffer, source);
        if (got == 0) break;
        copied = std::fwrite(buffer, 1, got, target) == got;
    }
    copied = copied && !std::ferror(source);
    std::fclose(source);
    if (target != nullptr) copied = std::fclose(target) == 0 && copied;
    copied = copied && std::rename(partial.c_str(), to.c_str()) == 0;
    if (!copied) std::remove(partial.c_str());
    return copied;
}

int add_lyrics(int argc, char **argv) {
    if (argc != 5) return usage_error("add-lyrics needs DIR MP3 LRC");
    char text[fingerprint_text_capacity];
    if (!fingerprint_text(argv[3], text)) return 1;
    std::string target = std::string(argv[2]) + "/" + text;
    if (!copy_file(argv[4], target)) {
        std::fprintf(stderr, "lyrics-server: %s: cannot copy to %s\n", argv[4], target.c_str());
        return 1;
    }
    std::printf("%s\n", text);
    return 0;
}

int print_fingerprints(int argc, char **argv) {
    if (argc < 3) return usage_error("fingerprint needs FILE...");
    int status = 0;
    for (int i = 2; i < argc; ++i) {
        char text[fingerprint_text_capacity];
        if (fingerprint_text(argv[i], text))
            std::printf("%s  %s\n", text, argv[i]);
        else
            status = 1;
    }
    return status;
}

int serve(int argc, char **argv) {
    ServerSettings settings;
    bool port_given = false;
    for (int i = 1; i < argc; i += 2) {
        std::string_view option = argv[i];
        if (i + 1 >= argc) return usage_error("an option lacks its value");
        const char *value = argv[i + 1];
        if (option == "--address")
            settings.address = value;
        else if (option == "--port" && parse_number(value, 0, 65535, &settings.port))
            port_given = true;
        else if (option == "--lyrics")
            settings.lyrics_directory = value;
        else if (option == "--builds")
            settings.builds_directory = value;
        else if (option == "--delay-ms" && parse_number(value, 0, 600000, &settings.delay_ms))
            continue;
        else if (option == "--stall-ms" && parse_number(value, 0, 600000, &settings.stall_ms))
            continue;
        else if (option == "--log")
            settings.log_path = value;
        else
            return usage_error("unknown option or bad value");
    }
    if (!port_given || settings.lyrics_directory.empty())
        return usage_error("--port and --lyrics are required");
    return run_server(settings);
}

} // namespace

int main(int argc, char **argv) {
    std::string_view command = argc > 1 ? argv[1] : "";
    if (command == "add-lyrics") return add_lyrics(argc, argv);
    if (command == "fingerprint") return print_fingerprints(argc, argv);
    if (command == "-h" || command == "--help") {
        std::fputs(usage, stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (command == "--version") {
        std::printf("lyrics-server %s\n", TOLMEK_VERSION);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    return serve(argc, argv);
}
