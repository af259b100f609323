// The lyrics jobs of a song list on a pool of threads, with the result lines in song order.
#pragma once

#include "fetch_job.h"
#include "song_list.h"

inline constexpr int most_jobs = 16;

struct RunSettings {
    LyricsServer server;
    DownloadLimits limits; // per song
    int jobs;              // songs fetched at once, one connection each: 1 to most_jobs
    bool skip_existing;    // a song whose lyrics path names anything already is not asked for
    bool show_progress;    // keep a progress line on standard error, rewritten in place
};

struct RunCounts {
    int succeeded = 0;
    int failed = 0;
    int skipped = 0;
};

// The line prefix of a song that was skipped; its display name follows.
inline constexpr char skipped_line_prefix[] = "건너뜀: ";

// Runs the lyrics job of every song and returns how the songs ended. Each song's result line
// ("성공: ", "실패: " or skipped_line_prefix, then its name; control characters escaped) goes to
// standard output in the order of the list, as soon as it and every line before it are known, so
// the output is the same whatever `jobs` is. The progress line (songs done of all, succeeded,
// failed) is taken off before each result line and at the end. The threads that fetch block every
// signal, so that a handler, one that calls remove_live_temporaries, runs on the calling thread.
// Fewer threads than `jobs` fetch when no more can be started; when none can, the program ends
// with status 1 and a message on standard error before any song is fetched.
RunCounts fetch_songs(const SongList &songs, const RunSettings &settings);

// Prints `line` and a line feed with its control characters escaped ("\n", "\t", "\x1b"), so
// that a file name holding them still makes one line, and one that a terminal does not obey.
void print_line(const char *line);
