// The lyrics job: fingerprint, request, store, report one line.
#include "fetch_job.h"

#include "bounded_text.h"
#include "fingerprint.h"

#include <cstdio>

#ifndef CARVELO_SERVER_HOST
#error "CARVELO_SERVER_HOST names the lyrics server of this build"
#endif

namespace {

constexpr int lyrics_server_port = 80; // also the update server's

// Where the extension of the final component begins: its last "." unless
// that is the component's first character; otherwise the end of the path.
int extension_start(const path_char *path, int length) {
    const auto component = static_cast<int>(final_component(path) - path);
    for (int i = length - 1; i > component; --i)
        if (path[i] == PATH_TEXT('.')) return i;
    return length;
}

// Downloads the lyrics of a fingerprinted file; true on success.
bool download_lyrics(const unsigned char digest[fingerprint_size], const path_char *lyrics_path,
                     const LyricsServer &server, const DownloadLimits &limits) {
    char fingerprint_text[fingerprint_text_capacity];
    fingerprint_to_hex(digest, fingerprint_text);
    char request_path[request_capacity];
    std::snprintf(request_path, sizeof request_path, "/sevrin/fetch/%s", fingerprint_text);
    return http_download(server.host, server.port, request_path, lyrics_path, PATH_TEXT("w"),
                         limits) == DL_OK;
}

// Fetches the lyrics; on return `lyrics_path` holds the path entry of the
// job (empty when no request was made).
bool run_job(const path_char *input_path, int input_length, const LyricsServer &server,
             const DownloadLimits &limits, path_char lyrics_path[path_capacity]) {
    lyrics_path[0] = path_char{};
    // Beyond the platform's limit: even when such a path can be opened, the
    // program's lists and path buffers hold none.
    if (input_length >= path_capacity) return false;
    unsigned char digest[fingerprint_size];
    if (fingerprint_file(input_path, digest) != FP_OK) return false;
    if (!derive_lyrics_path(input_path, lyrics_path, path_capacity)) return false;
    return download_lyrics(digest, lyrics_path, server, limits);
}

} // namespace

const LyricsServer default_lyrics_server = {CARVELO_SERVER_HOST, lyrics_server_port};

bool is_success_line(const path_char *line) {
    for (const path_char *prefix = success_line_prefix; *prefix != path_char{}; ++prefix, ++line)
        if (*line != *prefix) return false;
    return true;
}

void report_job(const path_char *input_path, bool fetched, const path_char *path_entry,
                ResultLists &lists) {
    path_char line[result_line_capacity];
    BoundedText<path_char>(line, result_line_capacity)
        .append(fetched ? success_line_prefix : failure_line_prefix)
        .append(final_component(input_path));
    lists.select_result_line(lists.add_result_line(line));
    lists.add_path_entry(path_entry);
}

bool derive_lyrics_path(const path_char *input_path, path_char *lyrics_path, int capacity) {
    int length = path_length(input_path);
    BoundedText<path_char> text(lyrics_path, capacity);
    text.append(input_path, extension_start(input_path, length)).append(PATH_TEXT(".lrc"));
    if (text.complete()) return true;
    lyrics_path[0] = path_char{};
    return false;
}

void fetch_lyrics(const path_char *input_path, const LyricsServer &server, ResultLists &lists,
                  const DownloadLimits &limits) {
    path_char lyrics_path[path_capacity];
    bool fetched = run_job(input_path, path_length(input_path), server, limits, lyrics_path);
    report_job(input_path, fetched, lyrics_path, lists);
}
