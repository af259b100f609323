// The pool of lyrics jobs: workers take the next song from a counter and leave its outcome in the
// song's slot; the calling thread prints the slots in order and keeps the progress line.
#include "library_run.h"

#include "bounded_text.h"
#include "platform.h"

#include <signal.h>
#include <sys/stat.h>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

enum class Outcome : unsigned char { pending, succeeded, failed, skipped };

// Takes the outcome of one job from its result line; the path list is the window's, not ours.
class OutcomeOfJob final : public ResultLists {
public:
    int add_result_line(const path_char *line) override {
        fetched = is_success_line(line);
        return 0;
    }
    void select_result_line(int) override {}
    void add_path_entry(const path_char *) override {}
    bool fetched = false;
};

// Prints the line that the job's own report would have given.
class PrintedReport final : public ResultLists {
public:
    int add_result_line(const path_char *line) override {
        print_line(line);
        return 0;
    }
    void select_result_line(int) override {}
    void add_path_entry(const path_char *) override {}
};

bool lyrics_exist(const char *song) {
    path_char lyrics_path[path_capacity];
    struct stat status;
    return derive_lyrics_path(song, lyrics_path, path_capacity) && lstat(lyrics_path, &status) == 0;
}

void print_result(const char *song, Outcome outcome) {
    if (outcome != Outcome::skipped) {
        PrintedReport report;
        return report_job(song, outcome == Outcome::succeeded, PATH_TEXT(""), report);
    }
    char line[result_line_capacity];
    BoundedText<char>(line, result_line_capacity)
        .append(skipped_line_prefix)
        .append(final_component(song));
    print_line(line);
}

// The progress line on standard error: "\r" and the text, erased to the end of the line.
class ProgressLine {
public:
    explicit ProgressLine(bool shown) : shown_(shown) {}
    void draw(int done, int total, const RunCounts &counts) {
        if (!shown_) return;
        std::fprintf(stderr, "\r%d/%d, 성공 %d, 실패 %d\x1b[K", done, total, counts.succeeded,
                     counts.failed);
        std::fflush(stderr);
    }
    void erase() {
        if (shown_) std::fputs("\r\x1b[K", stderr);
    }

private:
    bool shown_;
};

class Run {
public:
    Run(const SongList &songs, const RunSettings &settings)
        : songs_(songs), settings_(settings), outcomes_(songs.size(), Outcome::pending) {}

    RunCounts run() {
        start_workers();
        // The calling thread cannot fetch in their place: a signal's clean-up would wait on a
        // temporary it is creating. Nothing has been fetched yet.
        if (workers_.empty() && songs_.size() > 0) {
            std::fputs("carvelo-fetch: no thread for the downloads could be started\n", stderr);
            std::exit(1);
        }
        print_in_order();
        for (std::thread &worker : workers_) worker.join();
        return counts_;
    }

private:
    // Threads started with every signal blocked inherit that mask.
    void start_workers() {
        sigset_t all, previous;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, &previous);
        int count = std::min(settings_.jobs, songs_.size());
        try {
            for (int i = 0; i < count; ++i) workers_.emplace_back(&Run::work, this);
        } catch (const std::system_error &) { // fewer songs at once, as many as could start
        }
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }

    void work() {
        for (int song; (song = next_song_.fetch_add(1)) < songs_.size();)
            finish(song, fetch(songs_[song]));
    }

    Outcome fetch(const char *song) const {
        if (settings_.skip_existing && lyrics_exist(song)) return Outcome::skipped;
        OutcomeOfJob job;
        fetch_lyrics(song, settings_.server, job, settings_.limits);
        return job.fetched ? Outcome::succeeded : Outcome::failed;
    }

    void finish(int song, Outcome outcome) {
        std::lock_guard lock(mutex_);
        outcomes_[song] = outcome;
        ++(outcome == Outcome::succeeded ? counts_.succeeded
           : outcome == Outcome::failed  ? counts_.failed
                                         : counts_.skipped);
        finished_.notify_one();
    }

    // Prints each line once it and all before it are known; redraws the progress line whenever a
    // song is done.
    void print_in_order() {
        ProgressLine progress(settings_.show_progress);
        int printed = 0, seen_done = 0;
        std::unique_lock lock(mutex_);
        while (printed < songs_.size()) {
            finished_.wait(lock, [&] { return done() != seen_done; });
            seen_done = done();
            RunCounts counts = counts_;
            int ready = printed;
            while (ready < songs_.size() && outcomes_[ready] != Outcome::pending) ++ready;
            lock.unlock(); // the slots up to `ready` are written for good
            if (ready > printed) progress.erase();
            for (; printed < ready; ++printed) print_result(songs_[printed], outcomes_[printed]);
            std::fflush(stdout);
            progress.draw(seen_done, songs_.size(), counts);
            lock.lock();
        }
        progress.erase();
    }

    // The songs with an outcome; call with mutex_ held.
    int done() const { return counts_.succeeded + counts_.failed + counts_.skipped; }

    const SongList &songs_;
    const RunSettings &settings_;
    std::vector<std::thread> workers_;
    std::atomic<int> next_song_{0};
    std::mutex mutex_;
    std::condition_variable finished_;
    std::vector<Outcome> outcomes_; // guarded by mutex_
    RunCounts counts_;              // guarded by mutex_
};

} // namespace

RunCounts fetch_songs(const SongList &songs, const RunSettings &settings) {
    return Run(songs, settings).run();
}

void print_line(const char *line) {
    for (const char *c = line; *c != '\0'; ++c) {
        const auto byte = static_cast<unsigned char>(*c);
        if (byte == '\n' || byte == '\t')
            std::printf("\\%c", byte == '\n' ? 'n' : 't');
        else if (byte < 0x20 || byte == 0x7F)
            std::printf("\\x%02x", byte);
        else
            std::putchar(byte);
    }
    std::putchar('\n');
}
