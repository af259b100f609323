// The lyrics job for one music file: fingerprint it, ask the lyrics server
// for the lyrics of that fingerprint, store them beside the file as a ".lrc"
// file, and report the outcome as one result line and one path entry.
#pragma once

#include "http_client.h"
#include "platform.h"

// Where the result of each job goes: a visible list of result lines and a
// hidden list of paths. Entry k of the path list belongs to line k of the
// result list, so every job adds exactly one of each.
class ResultLists {
public:
    // Appends a line to the result list and returns its index.
    virtual int add_result_line(const path_char *line) = 0;
    // Selects (highlights) the line with this index.
    virtual void select_result_line(int index) = 0;
    // Appends an entry to the path list.
    virtual void add_path_entry(const path_char *path) = 0;

protected:
    ~ResultLists() = default;
};

struct LyricsServer {
    const char *host; // resolved and sent in the Host header
    int port;
};

// The server compiled into this build: its configured host name, port 80.
extern const LyricsServer default_lyrics_server;

// The line prefixes of a successful and of a failed job; the file's display
// name (the part after the last path separator) follows them.
inline constexpr path_char success_line_prefix[] = PATH_TEXT("성공: ");
inline constexpr path_char failure_line_prefix[] = PATH_TEXT("실패: ");

// Characters of a result line buffer, terminator included.
inline constexpr int result_line_capacity = 1024;

// True when `line` begins with success_line_prefix: its job stored lyrics.
bool is_success_line(const path_char *line);

// Reports a job on the file at `input_path`: adds "성공: <name>" (`fetched`) or "실패: <name>"
// to the result list and selects it, then adds `path_entry` to the path list. The name is cut to
// fit the line, never inside a character.
void report_job(const path_char *input_path, bool fetched, const path_char *path_entry,
                ResultLists &lists);

// Runs the job for the music file at `input_path`, downloading within
// `limits`. Adds "성공: <name>" or "실패: <name>" to the result list and
// selects it, then adds the lyrics path (empty when no request was made) to
// the path list. A path of path_capacity characters or more fails. The name
// is cut to fit the line, never inside a character. Failures never stop the
// caller's batch: every outcome is a line.
void fetch_lyrics(const path_char *input_path, const LyricsServer &server, ResultLists &lists,
                  const DownloadLimits &limits = lyrics_download_limits);

// The lyrics path for a music file: the path without the extension of its
// last component, followed by ".lrc" ("dir/song.mp3" -> "dir/song.lrc";
// "dir/track" and "dir/.hidden" get ".lrc" appended). Returns false, leaving
// `lyrics_path` empty, when the result does not fit `capacity` characters
// with its terminator.
bool derive_lyrics_path(const path_char *input_path, path_char *lyrics_path, int capacity);
