// The main window of carvelo: an about label, the download button, the
// result list, a hint, and a hidden path list whose entry k belongs to
// result line k. The button starts a batch worker that shows the file-open
// dialog and runs the lyrics job for each chosen file; double-clicking a
// "성공: " line opens its lyrics file in Notepad.
//
// Threads: the window thread runs the message loop and carries out every
// list operation; workers (the batch worker, the self-update worker) reach
// the window only through SendMessageW and read the handles below, which
// the window thread writes before it starts any worker.
#pragma once

#include "fetch_job.h"

#include <windows.h>

// The version text of this build, shown in the about label and named in
// the update request. Defined once per program (carvelo_main.cpp), so the
// same sources build under another version text.
extern const char PROGRAM_VERSION[];

// The window entry: registers the class, creates and shows the main window
// with `show` (a ShowWindow value) and runs the message loop until the
// window is destroyed. Returns the process exit code: 0 after the window
// closed, 1 when it could not be created.
int run_main_window(HINSTANCE instance, int show);

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// One batch: the file-open dialog, then one lyrics job per chosen file and
// the closing line "완료.". The parameter is unused; the worker reads the
// process-wide handles. Returns 0.
DWORD WINAPI batch_worker(void *unused);

// The main window, or null before it exists. Safe to read from a worker.
HWND program_main_window();

// Starts a program and lets it run on its own: no waiting, no report of
// the outcome. `application` null lets the system find the program named
// first on `command_line` (a writable buffer, as CreateProcessW wants).
void start_process(const wchar_t *application, wchar_t *command_line);

// The result and path lists of the main window, as the lyrics job uses
// them: every operation is a synchronous message to the window thread.
class ListBoxLists final : public ResultLists {
public:
    ListBoxLists(HWND result_list, HWND path_list)
        : result_list_(result_list), path_list_(path_list) {}
    int add_result_line(const wchar_t *line) override;
    void select_result_line(int index) override;
    void add_path_entry(const wchar_t *path) override;

private:
    HWND result_list_;
    HWND path_list_;
};

// The command line that opens a lyrics file in Notepad: notepad "PATH",
// quoted because paths hold spaces. Returns false when it does not fit
// `capacity` characters with its terminator; then nothing is to be started.
bool make_notepad_command(const wchar_t *lyrics_path, wchar_t *command, int capacity);

// Runs the lyrics job for each file of a file-open dialog's selection, in
// the dialog's order. `selection` holds NUL-terminated strings ended by an
// empty one: either one full path, or a folder followed by names, each
// joined as folder "\" name. A path that does not fit a path buffer with
// its terminator gets the failure line with its display name and an empty
// path entry instead of a job, so both lists stay in step.
void fetch_selection(const wchar_t *selection, const LyricsServer &server, ResultLists &lists);
