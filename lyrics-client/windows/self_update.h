// The self-update: at every start, ask the lyrics server for a build newer
// than this one; when one comes, put it in place of the running executable,
// tell the user, start it, and once its window is ready for input close this
// one. A new build that cannot start, or ends before its window is ready, is
// moved back under "<exe>.new" and the running build back into place, and a
// second message tells the user that the update was undone. Without an
// update, remove the previous build left beside the executable by an earlier
// one.
//
// Files beside the executable (the only state): "<exe>.new", a downloaded
// build that could not be put in place or did not run, and "<exe>.old", the
// build that an update replaced, removed by the next start.
#pragma once

#include "platform.h"

#include <windows.h>

// The three paths of an update, each in a path buffer with its terminator.
struct UpdatePaths {
    wchar_t executable[path_capacity];
    wchar_t new_build[path_capacity]; // executable + ".new"
    wchar_t old_build[path_capacity]; // executable + ".old"
};

// Fills `paths` from the executable path. Returns false, with `paths`
// unusable, when ".new" or ".old" does not fit after it.
bool make_update_paths(const wchar_t *executable, UpdatePaths &paths);

// Moves the running build to the old path and the new build into its place.
// Returns false when either move fails; then the running build is (again)
// at the executable path, moved back as long as that takes (up to about ten
// seconds), and the download stays under the new path.
// MoveFileW does not overwrite, so a build left under the old path blocks
// the update.
bool swap_in_new_build(const UpdatePaths &paths);

// How the updated build is started: by the executable path as the
// application name, and on the command line that path in quotes, so that a
// path with spaces ("C:\Program Files\...") names no other program.
inline constexpr int restart_command_capacity = path_capacity + 2;
struct RestartCommand {
    const wchar_t *application;                     // the executable path itself
    wchar_t command_line[restart_command_capacity]; // "<executable path>"
};
// Fills `command` for the executable path; false when the path does not
// fit a path buffer, and then nothing is to be started.
bool make_restart_command(const wchar_t *executable, RestartCommand &command);

// The thread routine started when the main window is created, with that
// window as its parameter: the owner of its message box and the target of
// its close request. Returns 0.
DWORD WINAPI update_worker(void *main_window);
