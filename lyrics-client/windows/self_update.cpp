// The self-update worker: download, check, swap, tell, restart, and roll back a build that does
// not run.
#include "self_update.h"

#include "bounded_text.h"
#include "executable_image.h"
#include "fetch_job.h"
#include "http_client.h"
#include "program_version.h"

#include <cstdio>

namespace {

constexpr DWORD pause_before_cleanup_ms = 2000;
// How long a new build may take until its window is ready for input. Under emulation, or on a
// busy machine, a program takes a few seconds to show its window.
constexpr DWORD new_build_ready_ms = 10000;
// A file another program holds for a moment (a virus scanner, the previous build still ending)
// is tried again this often, this far apart.
constexpr int file_attempts = 40;
constexpr DWORD file_retry_pause_ms = 250;
constexpr wchar_t updated_caption[] = L"업데이트 성공";
constexpr wchar_t updated_text[] = L"프로그램을 업데이트했습니다. 지금 재시작합니다.";
constexpr wchar_t rolled_back_caption[] = L"업데이트 취소";
constexpr wchar_t rolled_back_text[] = L"새 버전을 시작하지 못해 이전 버전으로 되돌렸습니다.";

// Tries `attempt` until it succeeds, for about ten seconds; true when it did.
template <typename Attempt>
bool keep_trying(Attempt attempt) {
    for (int i = 0; i < file_attempts; ++i) {
        if (attempt()) return true;
        Sleep(file_retry_pause_ms);
    }
    return false;
}

// Puts a build back where it was: the executable path must not stay empty.
bool move_back(const wchar_t *from, const wchar_t *to) {
    return keep_trying([&] { return MoveFileW(from, to) != 0; });
}

// The previous build may still be ending, and Windows deletes no running program; a leftover
// one would block every later update.
void remove_previous_build(const wchar_t *old_build) {
    keep_trying(
        [&] { return DeleteFileW(old_build) != 0 || GetLastError() == ERROR_FILE_NOT_FOUND; });
}

bool find_update_paths(UpdatePaths &paths) {
    wchar_t executable[path_capacity];
    DWORD length = GetModuleFileNameW(nullptr, executable, path_capacity);
    if (length == 0 || length >= path_capacity) return false; // cut off: no usable path
    return make_update_paths(executable, paths);
}

// Asks the server for the build that follows this version and stores it
// under the new path. True when a complete GUI program for this machine
// came; anything else (an error page, a cut transfer, a console program) is
// removed again.
bool download_new_build(const UpdatePaths &paths) {
    char request_path[request_capacity];
    std::snprintf(request_path, sizeof request_path, "/ovra-player/carvelo/update/carvelo/%s",
                  PROGRAM_VERSION);
    if (http_download(default_lyrics_server.host, default_lyrics_server.port, request_path,
                      paths.new_build, L"wb", update_download_limits) != DL_OK)
        return false;
    if (is_complete_i386_gui_program(paths.new_build)) return true;
    DeleteFileW(paths.new_build);
    return false;
}

// Starts the new build and waits until its window is ready for input. False when it cannot be
// started, ends before (a missing DLL ends it with STATUS_DLL_NOT_FOUND), or is not ready in
// time; then it has been ended.
bool new_build_runs(RestartCommand &restart) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(restart.application, restart.command_line, nullptr, nullptr, TRUE,
                        NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    // Idle is also what a process that has ended reports; only one still running counts.
    bool ready = WaitForInputIdle(process.hProcess, new_build_ready_ms) == 0 &&
                 WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT;
    if (!ready) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    return ready;
}

// Puts the previous build back at the executable path and the one that did not run under the
// new path. True when the previous build is in place again.
bool roll_back(const UpdatePaths &paths) {
    if (!MoveFileW(paths.executable, paths.new_build)) // it cannot step aside: replace it
        return MoveFileExW(paths.old_build, paths.executable, MOVEFILE_REPLACE_EXISTING) != 0;
    if (move_back(paths.old_build, paths.executable)) return true;
    move_back(paths.new_build, paths.executable); // the executable path must not stay empty
    return false;
}

} // namespace

bool make_restart_command(const wchar_t *executable, RestartCommand &command) {
    command.application = executable;
    BoundedText<wchar_t> line(command.command_line, restart_command_capacity);
    return line.append(L"\"").append(executable).append(L"\"").complete();
}

bool swap_in_new_build(const UpdatePaths &paths) {
    if (!MoveFileW(paths.executable, paths.old_build)) return false;
    if (MoveFileW(paths.new_build, paths.executable)) return true;
    move_back(paths.old_build, paths.executable); // the running build
    return false;
}

bool make_update_paths(const wchar_t *executable, UpdatePaths &paths) {
    return BoundedText<wchar_t>(paths.executable, path_capacity).append(executable).complete() &&
           BoundedText<wchar_t>(paths.new_build, path_capacity)
               .append(executable)
               .append(L".new")
               .complete() &&
           BoundedText<wchar_t>(paths.old_build, path_capacity)
               .append(executable)
               .append(L".old")
               .complete();
}

DWORD WINAPI update_worker(void *main_window) {
    const auto window = static_cast<HWND>(main_window);
    UpdatePaths paths;
    if (!find_update_paths(paths)) return 0;
    if (!download_new_build(paths)) {
        // No update: the previous build, if an update left one, is not needed once this one's
        // window is up.
        Sleep(pause_before_cleanup_ms);
        remove_previous_build(paths.old_build);
        return 0;
    }
    if (!swap_in_new_build(paths)) return 0;
    MessageBoxW(window, updated_text, updated_caption, MB_OK);
    RestartCommand restart;
    if (make_restart_command(paths.executable, restart) && new_build_runs(restart)) {
        SendMessageW(window, WM_CLOSE, 0, 0);
        return 0;
    }
    // This build runs on; should even the roll-back fail, it says nothing it cannot stand by.
    if (roll_back(paths)) MessageBoxW(window, rolled_back_text, rolled_back_caption, MB_OK);
    return 0;
}
