// The main window of carvelo: an about label, the download button, the
// result list, a hint, and a hidden path list whose entry k belongs to
// result line k. The button starts a batch worker that shows the file-open
// dialog and runs the lyrics job for each chosen file; double-clicking a
// "성공: " line opens its lyrics file in Notepad.
//
// Threads: the window thread runs the message loop and carries out every
// list operation; workers (the batch worker, the self-update worker) reach
// the window only through SendMessageW and read handles that the window
// thread writes before it starts any worker.
#pragma once

#include <windows.h>

// The window entry: registers the class, creates and shows the main window
// with `show` (a ShowWindow value) and runs the message loop until the
// window is destroyed. Returns the process exit code: 0 after the window
// closed, 1 when it could not be created.
int run_main_window(HINSTANCE instance, int show);
