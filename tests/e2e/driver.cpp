// carvelo-driver STEP [ARGUMENT]...: drives the windows of carvelo.exe as a user would and prints
// what they show. `find` makes a window current; the other steps (the table at the end) act on it.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace {

using Text = std::wstring;

// Line breaks inside a text show as \r and \n, so that every line is one fact.
void print(const Text &line, FILE *stream = stdout) {
    Text shown;
    for (wchar_t c : line) shown += c == L'\n' ? L"\\n" : c == L'\r' ? L"\\r" : Text(1, c);
    std::string bytes(shown.size() * 3 + 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, shown.c_str(), -1, bytes.data(), bytes.size(), nullptr,
                        nullptr);
    std::fprintf(stream, "%s\n", bytes.c_str());
    std::fflush(stream);
}

[[noreturn]] void fail(const Text &why) {
    print(L"carvelo-driver: " + why, stderr);
    std::exit(1);
}

// Waits up to 3 minutes: a batch, or a program starting under emulation.
void wait_for(const std::function<bool()> &ready, const Text &what) {
    for (DWORD start = GetTickCount(); !ready(); Sleep(50))
        if (GetTickCount() - start > 180000) fail(L"timed out waiting for " + what);
}

Text class_of(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

// A window that does not answer holds the run until the test's time runs out.
LRESULT send(HWND window, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
    return SendMessageW(window, message, wparam, lparam);
}

Text text_of(HWND window) {
    Text text(send(window, WM_GETTEXTLENGTH) + 1, L'\0');
    text.resize(send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
    return text;
}

// A line per window (class, text, id, style, place or class style, size, state) and list entry.
void dump(HWND window, HWND parent, const Text &indent) {
    RECT frame;
    GetWindowRect(window, &frame);
    POINT origin{};
    ClientToScreen(parent, &origin);
    int id = GetDlgCtrlID(window);
    unsigned long style = GetWindowLongPtrW(window, GWL_STYLE), width = frame.right - frame.left,
                  height = frame.bottom - frame.top;
    wchar_t line[128];
    if (parent)
        std::swprintf(line, 128, L" id %d style %08lx at %ld,%ld size %lux%lu", id, style,
                      frame.left - origin.x, frame.top - origin.y, width, height);
    else
        std::swprintf(line, 128, L" id %d style %08lx class %08lx size %lux%lu", id, style,
                      GetClassLongW(window, GCL_STYLE), width, height);
    print(indent + class_of(window) + L" \"" + text_of(window) + L"\"" + line +
          (IsWindowVisible(window) ? L"" : L" hidden") +
          (IsWindowEnabled(window) ? L"" : L" disabled"));
    bool list = class_of(window) == L"ListBox", combo = class_of(window) == L"ComboBox";
    LRESULT count = list || combo ? send(window, list ? LB_GETCOUNT : CB_GETCOUNT) : 0;
    for (LRESULT i = 0; i < count; ++i) {
        Text entry(send(window, list ? LB_GETTEXTLEN : CB_GETLBTEXTLEN, i) + 1, L'\0');
        entry.resize(send(window, list ? LB_GETTEXT : CB_GETLBTEXT, i,
                          reinterpret_cast<LPARAM>(entry.data())));
        bool selected = send(window, list ? LB_GETCURSEL : CB_GETCURSEL) == i;
        print(indent + L"  entry " + std::to_wstring(GetDlgCtrlID(window)) + L": " + entry +
              (selected ? L" (selected)" : L""));
    }
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        dump(child, window, indent + L"  ");
}

HWND current; // the window found last
Text wanted;  // the class find looks for

// Makes a visible window of the wanted class current; the first one ends the search.
BOOL CALLBACK test_window(HWND window, LPARAM) {
    bool found = class_of(window) == wanted && IsWindowVisible(window);
    if (found) current = window;
    return !found;
}

bool find_wanted_window() {
    current = nullptr;
    EnumWindows(test_window, 0);
    return current != nullptr;
}

HWND control(const wchar_t *id) { return GetDlgItem(current, std::wcstol(id, nullptr, 0)); }

// As a double click arrives at a list; the program starts any Notepad before the messages return.
void double_click(const wchar_t *id, const wchar_t *line) {
    HWND list = control(id);
    LRESULT height = send(list, LB_GETITEMHEIGHT);
    LRESULT row = std::wcstol(line, nullptr, 10) - send(list, LB_GETTOPINDEX);
    LPARAM point = MAKELPARAM(20, row * height + height / 2);
    for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
        send(list, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, point);
}

const struct {
    const wchar_t *name;
    int arguments;
    void (*run)(wchar_t **arguments);
} steps[] = {
    {L"find", 1,
     [](wchar_t **args) { // CLASS: wait for a visible top-level window of that class
         wanted = args[0];
         wait_for(find_wanted_window, wanted);
     }},
    {L"show", 0,
     [](wchar_t **) { // the current window and the windows it owns
         dump(current, nullptr, L"");
         for (HWND owned = GetTopWindow(nullptr); owned; owned = GetWindow(owned, GW_HWNDNEXT))
             if (GetWindow(owned, GW_OWNER) == current) dump(owned, nullptr, L"");
     }},
    {L"set", 2,
     [](wchar_t **args) { // ID TEXT: the text of a control
         send(control(args[0]), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(args[1]));
     }},
    {L"press", 1, [](wchar_t **args) { send(control(args[0]), BM_CLICK); }}, // ID: a button
    {L"enabled", 1,
     [](wchar_t **args) { // ID: wait until that control is enabled
         wait_for([&] { return IsWindowEnabled(control(args[0])) != FALSE; },
                  L"an enabled control");
     }},
    {L"double-click", 2,
     [](wchar_t **args) { double_click(args[0], args[1]); }}, // ID N: line N of a list
    {L"close", 0, [](wchar_t **) { PostMessageW(current, WM_CLOSE, 0, 0); }},
    {L"hold", 1,
     [](wchar_t **args) { // FILE: keep it open, not to be deleted, until the driver ends
         if (CreateFileW(args[0], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr) == INVALID_HANDLE_VALUE)
             fail(L"cannot open " + Text(args[0]));
         print(L"held");
     }},
    {L"pause", 1, [](wchar_t **args) { Sleep(std::wcstol(args[0], nullptr, 10)); }}, // MS
    {L"gone", 0,
     [](wchar_t **) { // wait until the current window has closed
         wait_for([] { return !IsWindow(current); }, L"the end of a " + wanted);
     }},
    {L"exits", 0,
     [](wchar_t **) { // wait until the process of the current window has ended
         DWORD id = 0;
         GetWindowThreadProcessId(current, &id);
         if (HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id))
             WaitForSingleObject(process, INFINITE);
         print(L"exited");
     }},
};

} // namespace

int wmain(int argc, wchar_t **argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    for (int i = 1; i < argc; ++i) {
        auto step = std::ranges::find_if(
            steps, [&](const auto &known) { return argv[i] == Text(known.name); });
        if (step == std::end(steps) || i + step->arguments >= argc)
            fail(Text(L"cannot run the step ") + argv[i]);
        step->run(argv + i + 1);
        i += step->arguments;
    }
    return 0;
}
