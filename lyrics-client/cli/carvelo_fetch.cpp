// carvelo-fetch: the lyrics job from the command line.
//
//   carvelo-fetch [--server HOST[:PORT]] [--timeout SECONDS] [--jobs N] [--skip-existing]
//                 PATH...
//   carvelo-fetch --help | --version
//
// Runs the job for each song (a file named, or the songs of a folder named: SongList), up to
// --jobs at once, and prints the result lines in song order, then the counts and "완료.".
// --timeout bounds each file's download as a whole (default 60), name lookup included. Exits 0
// when every song succeeded or was skipped, 1 when any failed, 2 on a usage error, after the
// usage on standard error. SIGINT, SIGTERM and SIGHUP end it as they would any program (status
// 128 + the signal's number), without leaving a temporary.
#include "library_run.h"
#include "output_file.h"

#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

constexpr int exit_all_fetched = 0;
constexpr int exit_some_failed = 1;
constexpr int exit_usage = 2;

constexpr int most_timeout_seconds = 86400;

constexpr char usage[] =
    "usage: carvelo-fetch [--server HOST[:PORT]] [--timeout SECONDS] [--jobs N] [--skip-existing]\n"
    "                     PATH...\n"
    "       carvelo-fetch --help | --version\n"
    "Fetches the lyrics of each music file into a .lrc file beside it. A folder stands for the\n"
    "files named *.mp3 beneath it, at any depth.\n"
    "--timeout: the longest one file's download may take, 1 to 86400 seconds.\n"
    "--jobs: how many files are fetched at once, 1 to 16 (1).\n"
    "--skip-existing: a file whose .lrc exists already is not fetched again.\n";

// A decimal number from 1 to `most`.
bool parse_number(std::string_view digits, int most, int *value) {
    if (digits.empty() || digits.size() > 9) return false;
    *value = 0;
    for (char digit : digits) {
        if (digit < '0' || digit > '9') return false;
        *value = *value * 10 + (digit - '0');
    }
    return *value >= 1 && *value <= most;
}

// "HOST" or "HOST:PORT" (port 1 to 65535) into `server`; `host` holds the name.
bool parse_server(std::string_view text, char (&host)[256], LyricsServer &server) {
    server.port = 80;
    std::size_t colon = text.rfind(':');
    if (colon != std::string_view::npos) {
        if (!parse_number(text.substr(colon + 1), 65535, &server.port)) return false;
        text = text.substr(0, colon);
    }
    if (text.empty() || text.size() >= sizeof host) return false;
    std::memcpy(host, text.data(), text.size());
    host[text.size()] = '\0';
    server.host = host;
    return true;
}

int usage_error(const char *problem, const char *detail = "") {
    std::fprintf(stderr, "carvelo-fetch: %s%s\n%s", problem, detail, usage);
    return exit_usage;
}

// Help and version: exit 0 once the text reached standard output.
int print(const char *text) {
    std::fputs(text, stdout);
    return std::fflush(stdout) == 0 ? exit_all_fetched : exit_some_failed;
}

// What the options before the files ask for.
struct Options {
    RunSettings run = {default_lyrics_server, lyrics_download_limits, 1, false, false};
    char host[256] = {}; // the --server host name, which run.server points to
    int first_file = 1;  // the index of the first path among the arguments
};

// Reads the options into `options`. Returns -1 when files follow them, or else the exit status:
// after the help or the version, or after a usage error.
int read_options(int argc, char **argv, Options &options) {
    int &next = options.first_file;
    for (; next < argc; ++next) {
        std::string_view argument = argv[next];
        if (argument == "--") {
            ++next;
            break;
        }
        if (argument == "-h" || argument == "--help") return print(usage);
        if (argument == "--version") return print("carvelo-fetch " TOLMEK_VERSION "\n");
        if (argument == "--server") {
            if (++next == argc) return usage_error("--server needs HOST[:PORT]");
            if (!parse_server(argv[next], options.host, options.run.server))
                return usage_error("--server needs HOST[:PORT] with a port from 1 to 65535");
            continue;
        }
        if (argument == "--timeout") {
            int seconds;
            if (++next == argc || !parse_number(argv[next], most_timeout_seconds, &seconds))
                return usage_error("--timeout needs SECONDS from 1 to 86400");
            options.run.limits.deadline_ms = seconds * 1000;
            continue;
        }
        if (argument == "--jobs") {
            if (++next == argc || !parse_number(argv[next], most_jobs, &options.run.jobs))
                return usage_error("--jobs needs N from 1 to 16");
            continue;
        }
        if (argument == "--skip-existing") {
            options.run.skip_existing = true;
            continue;
        }
        if (argument.size() > 1 && argument[0] == '-')
            return usage_error("unknown option ", argv[next]);
        break;
    }
    return next < argc ? -1 : usage_error("no paths given");
}

// Removes the download's temporary, then lets the signal end the process as it would have: the
// handler was reset on entry, so the signal raised again takes its default action once the
// handler returns.
void end_by_signal(int signal) {
    remove_live_temporaries();
    std::raise(signal);
}

// A signal ignored from the start (nohup, a background job of a shell) stays ignored.
void remove_temporaries_on_ending_signals() {
    constexpr int ending_signals[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction ending {};
    ending.sa_handler = end_by_signal;
    ending.sa_flags = SA_RESETHAND;
    sigemptyset(&ending.sa_mask);
    for (int signal : ending_signals) sigaddset(&ending.sa_mask, signal);
    for (int signal : ending_signals) {
        struct sigaction current;
        if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_IGN)
            sigaction(signal, &ending, nullptr);
    }
}

} // namespace

int main(int argc, char **argv) {
    Options options;
    if (int status = read_options(argc, argv, options); status >= 0) return status;
    remove_temporaries_on_ending_signals();
    SongList songs;
    for (int i = options.first_file; i < argc; ++i) songs.add(argv[i]);
    options.run.show_progress = isatty(STDERR_FILENO) == 1;
    RunCounts counts = fetch_songs(songs, options.run);
    std::printf("성공 %d, 실패 %d, 건너뜀 %d\n완료.\n", counts.succeeded, counts.failed,
                counts.skipped);
    return counts.failed > 0 ? exit_some_failed : exit_all_fetched;
}
