// The program entry of carvelo.exe. The start-up code passes the show value
// of the start-up information (SW_SHOWDEFAULT when it names none); the
// command line is not used.
#include "main_window.h"
#include "program_version.h"

#ifndef CARVELO_PROGRAM_VERSION
#error "CARVELO_PROGRAM_VERSION is the version text of this build"
#endif

extern const char PROGRAM_VERSION[] = CARVELO_PROGRAM_VERSION;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    return run_main_window(instance, show);
}
