// Builds that pass the self-update's checks (complete i386 GUI programs) but do not run: one
// imports a function from a DLL that is never shipped beside it, one ends at once with exit code 3.
#include <windows.h>

#if defined(ABSENT_LIBRARY)
extern "C" __declspec(dllexport) int absent_function() { return 0; }
#elif defined(NEEDS_ABSENT_LIBRARY)
extern "C" __declspec(dllimport) int absent_function();
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return absent_function(); }
#else
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 3; }
#endif
