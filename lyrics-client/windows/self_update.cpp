// The self-update worker: download, check, swap, tell, restart.
#include "self_update.h"

#include "bounded_text.h"
#include "executable_image.h"
#include "fetch_job.h"
#include "http_client.h"
#include "program_version.h"

#include <cstdio>

namespace {

constexpr DWORD pause_before_cleanup_ms = 2000;
constexpr wchar_t updated_caption[] = L"업데이트 성공";
constexpr wchar_t updated_text[] = L"프로그램을 업데이트했습니다. 지금 재시작합니다.";

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

} // namespace

bool make_restart_command(const wchar_t *executable, RestartCommand &command) {
    command.application = executable;
    BoundedText<wchar_t> line(command.command_line, restart_command_capacity);
    return line.append(L"\"").append(executable).append(L"\"").complete();
}

bool swap_in_new_build(const UpdatePaths &paths) {
    if (!MoveFileW(paths.executable, paths.old_build)) return false;
    if (MoveFileW(paths.new_build, paths.executable)) return true;
    MoveFileW(paths.old_build, paths.executable); // put the running build back
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
        // No update: the previous build, if an update left one, is not needed.
        Sleep(pause_before_cleanup_ms);
        DeleteFileW(paths.old_build);
        return 0;
    }
    if (!swap_in_new_build(paths)) return 0;
    MessageBoxW(window, updated_text, updated_caption, MB_OK);
    RestartCommand restart;
    if (make_restart_command(paths.executable, restart))
        start_process(restart.application, restart.command_line);
    SendMessageW(window, WM_CLOSE, 0, 0);
    return 0;
}
