// carvelo-driver: drives a running carvelo.exe the way a user would and
// reports what the windows show, for the end-to-end test scripts.
//
//   carvelo-driver STEP [ARGUMENTS] STEP [ARGUMENTS] ...
//
// The steps run in order; each prints what it saw as UTF-8 lines on stdout.
// A step whose awaited state does not arrive in time, or that finds the
// windows in another state than it needs, ends the run with a message on
// stderr and exit status 1.
//
//   window             wait for a carvelo main window (of a process not closed
//                      earlier in this run) and make it the current one
//   about              print the about label's text
//   controls           print the window class, the main window's controls and the
//                      hidden path list
//   frame              print the outer size and what the frame lets a user do
//   geometry           print the outer rectangle on the screen as WxH+X+Y
//   click              click the download button (BM_CLICK, as a user's click)
//   button             print whether the download button is enabled
//   choose DIR NAMES   in the file-open dialog, go to folder DIR (unless it is
//                      empty), then confirm NAMES as typed into the file name box
//   filters            print the file types the file-open dialog offers
//   cancel             cancel the file-open dialog
//   dialogs            print how many dialogs the main window owns
//   done               wait until the batch is over (the button is enabled again)
//   lists              print the result lines, the selection and the path entries
//   double-click N     double-click result line N, then print how many Notepad
//                      processes run
//   notepad NAME       wait for a Notepad window whose caption names NAME, print
//                      its caption and text, close it
//   message-box        wait for the update message box, print caption, text and
//                      buttons
//   confirm            press the message box's OK button
//   exited             wait until the current window's process has ended
//   close              close the main window and wait until its process ends
//   resources EXE      print the icon group and the version of a program file
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr DWORD appear_timeout_ms = 90000;  // a program starting under emulation
constexpr DWORD batch_timeout_ms = 180000;
constexpr DWORD exit_timeout_ms = 60000;
constexpr UINT message_timeout_ms = 20000;
constexpr int download_button_id = 1;
constexpr int result_list_id = 2;
constexpr int file_name_box_id = 0x47C;
constexpr int file_type_box_id = 0x470;

// --- Output and failure ------------------------------------------------------

std::string utf8(const std::wstring &text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                 0, nullptr, nullptr);
  std::string bytes(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                      nullptr, nullptr);
  return bytes;
}

// Line breaks inside a text are shown as \r and \n, so every output line is
// one fact.
void print(const std::wstring &line) {
  std::wstring shown;
  for (wchar_t c : line)
    shown += c == L'\n' ? std::wstring(L"\\n") : c == L'\r' ? std::wstring(L"\\r") : std::wstring(1, c);
  std::string bytes = utf8(shown) + "\n";
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
}

[[noreturn]] void fail(const std::wstring &why) {
  std::string bytes = "carvelo-driver: " + utf8(why) + "\n";
  std::fwrite(bytes.data(), 1, bytes.size(), stderr);
  std::exit(1);
}

std::wstring hex(unsigned long value) {
  wchar_t text[16];
  std::swprintf(text, 16, L"%08lx", value);
  return text;
}

// Polls until `ready` holds; fails with `what` when the time runs out.
void wait_for(const std::function<bool()> &ready, DWORD timeout_ms, const std::wstring &what) {
  DWORD start = GetTickCount();
  while (!ready()) {
    if (GetTickCount() - start > timeout_ms) fail(L"timed out waiting for " + what);
    Sleep(50);
  }
}

// --- Windows of other processes ----------------------------------------------

std::wstring class_of(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

LRESULT send(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wparam, lparam, SMTO_NORMAL, message_timeout_ms, &result))
    fail(L"no answer to message " + hex(message) + L" from window " + class_of(window));
  return static_cast<LRESULT>(result);
}

std::wstring text_of(HWND window) {
  LRESULT length = send(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(length + 1, L'\0');
  length = send(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()));
  text.resize(length);
  return text;
}

DWORD process_of(HWND window) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return process;
}

BOOL CALLBACK collect_window(HWND window, LPARAM windows) {
  reinterpret_cast<std::vector<HWND> *>(windows)->push_back(window);
  return TRUE;
}

std::vector<HWND> top_level_windows() {
  std::vector<HWND> windows;
  EnumWindows(collect_window, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

std::vector<HWND> children_of(HWND parent) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    children.push_back(child);
  return children;
}

// Visible top-level windows of a class owned by `owner`.
std::vector<HWND> owned_windows(HWND owner, const wchar_t *class_name, bool visible_only = true) {
  std::vector<HWND> found;
  for (HWND window : top_level_windows())
    if (GetWindow(window, GW_OWNER) == owner && class_of(window) == class_name &&
        (!visible_only || IsWindowVisible(window)))
      found.push_back(window);
  return found;
}

// Waits until the process ends; fails if it does not.
void wait_for_exit(DWORD process_id, const std::wstring &what) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, process_id);
  if (process == nullptr) return;  // already gone
  DWORD waited = WaitForSingleObject(process, exit_timeout_ms);
  CloseHandle(process);
  if (waited != WAIT_OBJECT_0) fail(L"timed out waiting for " + what + L" to end");
}

int processes_named(const wchar_t *name) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) fail(L"cannot list processes");
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  int count = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    if (_wcsicmp(entry.szExeFile, name) == 0) ++count;
  CloseHandle(snapshot);
  return count;
}

// --- The program under test ---------------------------------------------------

struct Session {
  HWND main_window = nullptr;
  std::set<DWORD> ended_processes;  // closed earlier; their windows do not count

  HWND main() const {
    if (main_window == nullptr) fail(L"no main window yet: run the step window first");
    return main_window;
  }
  HWND control(int id) const {
    HWND found = GetDlgItem(main(), id);
    if (found == nullptr) fail(L"the main window has no control " + std::to_wstring(id));
    return found;
  }
  HWND path_list() const {
    std::vector<HWND> lists = owned_windows(main(), L"ListBox", false);
    if (lists.size() != 1) fail(L"expected one path list owned by the main window");
    return lists[0];
  }
  HWND file_dialog() const {
    HWND dialog = nullptr;
    wait_for(
        [&] {
          std::vector<HWND> dialogs = owned_windows(main(), L"#32770");
          if (dialogs.size() == 1 && GetDlgItem(dialogs[0], file_name_box_id)) dialog = dialogs[0];
          return dialog != nullptr;
        },
        appear_timeout_ms, L"the file-open dialog");
    return dialog;
  }
};

std::vector<std::wstring> list_entries(HWND list) {
  std::vector<std::wstring> entries;
  LRESULT count = send(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    std::wstring text(send(list, LB_GETTEXTLEN, i, 0) + 1, L'\0');
    text.resize(send(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data())));
    entries.push_back(text);
  }
  return entries;
}

POINT client_origin(HWND window) {
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  return origin;
}

// --- Steps ---------------------------------------------------------------------

void find_window(Session &session) {
  wait_for(
      [&] {
        for (HWND window : top_level_windows())
          if (class_of(window) == L"carvelo" && IsWindowVisible(window) &&
              !session.ended_processes.count(process_of(window))) {
            session.main_window = window;
            return true;
          }
        return false;
      },
      appear_timeout_ms, L"the carvelo window");
  print(L"window: " + text_of(session.main_window));
}

void print_about(Session &session) {
  std::vector<HWND> controls = children_of(session.main());
  if (controls.empty()) fail(L"the main window has no controls");
  print(L"about: " + text_of(controls[0]));  // the first control created
}

void print_control(HWND control, HWND parent) {
  RECT place;
  GetWindowRect(control, &place);
  POINT origin = client_origin(parent);
  DWORD style = static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE));
  std::wstring line = L"control " + class_of(control) + L" id " +
                      std::to_wstring(GetDlgCtrlID(control)) + L" style " + hex(style) + L" at " +
                      std::to_wstring(place.left - origin.x) + L"," +
                      std::to_wstring(place.top - origin.y) + L" size " +
                      std::to_wstring(place.right - place.left) + L"x" +
                      std::to_wstring(place.bottom - place.top);
  if (class_of(control) != L"ListBox") line += L" text \"" + text_of(control) + L"\"";
  print(line);
}

void print_controls(Session &session) {
  print(L"class " + class_of(session.main()) + L" style " +
        hex(GetClassLongW(session.main(), GCL_STYLE)));
  for (HWND control : children_of(session.main())) print_control(control, session.main());
  HWND paths = session.path_list();
  print(L"path list: class " + class_of(paths) + L", visible " +
        (IsWindowVisible(paths) ? L"yes" : L"no") + L", child " +
        ((GetWindowLongPtrW(paths, GWL_STYLE) & WS_CHILD) ? L"yes" : L"no"));
}

std::wstring outer_size(HWND window) {
  RECT place;
  GetWindowRect(window, &place);
  return std::to_wstring(place.right - place.left) + L"x" + std::to_wstring(place.bottom - place.top);
}

// What a press on each edge and corner of the frame would do.
void print_frame_hits(HWND window) {
  RECT place;
  GetWindowRect(window, &place);
  LONG middle_x = (place.left + place.right) / 2, middle_y = (place.top + place.bottom) / 2;
  POINT points[] = {{place.left, middle_y},     {place.right - 1, middle_y},
                    {middle_x, place.top},      {middle_x, place.bottom - 1},
                    {place.left, place.top},    {place.right - 1, place.top},
                    {place.left, place.bottom - 1}, {place.right - 1, place.bottom - 1}};
  bool sizing = false;
  for (POINT point : points) {
    LRESULT hit = send(window, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y));
    sizing = sizing || (hit >= HTLEFT && hit <= HTBOTTOMRIGHT) || hit == HTSIZE;
  }
  print(std::wstring(L"frame edges resize: ") + (sizing ? L"yes" : L"no"));
}

void print_frame(Session &session) {
  HWND window = session.main();
  DWORD style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
  print(L"outer size: " + outer_size(window));
  print(std::wstring(L"sizing border: ") + ((style & WS_THICKFRAME) ? L"yes" : L"no"));
  print(std::wstring(L"maximize box: ") + ((style & WS_MAXIMIZEBOX) ? L"yes" : L"no"));
  print(std::wstring(L"minimize box: ") + ((style & WS_MINIMIZEBOX) ? L"yes" : L"no"));
  print_frame_hits(window);
  // A double click on the caption maximises a window that allows it.
  RECT place;
  GetWindowRect(window, &place);
  POINT caption{(place.left + place.right) / 2, place.top + GetSystemMetrics(SM_CYFRAME) + 4};
  send(window, WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(caption.x, caption.y));
  print(L"after a caption double-click: " + outer_size(window) +
        (IsZoomed(window) ? L", maximised" : L", not maximised"));
}

void print_geometry(Session &session) {
  RECT place;
  GetWindowRect(session.main(), &place);
  print(L"geometry: " + outer_size(session.main()) + L"+" + std::to_wstring(place.left) + L"+" +
        std::to_wstring(place.top));
}

void click_button(Session &session) { send(session.control(download_button_id), BM_CLICK, 0, 0); }

void print_button(Session &session) {
  print(std::wstring(L"button: ") +
        (IsWindowEnabled(session.control(download_button_id)) ? L"enabled" : L"disabled"));
}

// Types `text` into the dialog's file name box and confirms it, as Enter
// would; the dialog handles it before the message returns.
void type_and_confirm(HWND dialog, const std::wstring &text) {
  HWND box = GetDlgItem(dialog, file_name_box_id);
  send(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  send(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

void choose(Session &session, const std::wstring &folder, const std::wstring &names) {
  HWND dialog = session.file_dialog();
  if (!folder.empty()) type_and_confirm(dialog, folder);
  if (!IsWindow(dialog)) fail(L"the dialog closed on the folder " + folder);
  type_and_confirm(dialog, names);
  wait_for([&] { return !IsWindow(dialog); }, appear_timeout_ms, L"the dialog to close");
}

void print_filters(Session &session) {
  HWND types = GetDlgItem(session.file_dialog(), file_type_box_id);
  LRESULT count = send(types, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    std::wstring text(send(types, CB_GETLBTEXTLEN, i, 0) + 1, L'\0');
    text.resize(send(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data())));
    print(L"file type: " + text);
  }
  print(L"chosen file type: " + std::to_wstring(send(types, CB_GETCURSEL, 0, 0)));
}

void cancel(Session &session) {
  HWND dialog = session.file_dialog();
  send(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
  wait_for([&] { return !IsWindow(dialog); }, appear_timeout_ms, L"the dialog to close");
}

void print_dialogs(Session &session) {
  print(L"dialogs: " + std::to_wstring(owned_windows(session.main(), L"#32770").size()));
}

void wait_until_done(Session &session) {
  HWND button = session.control(download_button_id);
  wait_for([&] { return IsWindowEnabled(button) != FALSE; }, batch_timeout_ms, L"the batch to end");
}

void print_lists(Session &session) {
  HWND results = session.control(result_list_id);
  for (const std::wstring &line : list_entries(results)) print(L"line: " + line);
  print(L"selected: " + std::to_wstring(send(results, LB_GETCURSEL, 0, 0)));
  for (const std::wstring &entry : list_entries(session.path_list())) print(L"path: " + entry);
}

// Presses the mouse twice on the line, as a double click arrives at a list.
void double_click(Session &session, int line) {
  HWND results = session.control(result_list_id);
  LRESULT top = send(results, LB_GETTOPINDEX, 0, 0);
  LRESULT height = send(results, LB_GETITEMHEIGHT, 0, 0);
  LPARAM point = MAKELPARAM(20, (line - top) * height + height / 2);
  send(results, WM_LBUTTONDOWN, MK_LBUTTON, point);
  send(results, WM_LBUTTONUP, 0, point);
  send(results, WM_LBUTTONDBLCLK, MK_LBUTTON, point);
  send(results, WM_LBUTTONUP, 0, point);
  // The window thread started any Notepad before the messages returned.
  print(L"notepad processes: " + std::to_wstring(processes_named(L"notepad.exe")));
}

void notepad(const std::wstring &name) {
  HWND found = nullptr;
  wait_for(
      [&] {
        for (HWND window : top_level_windows())
          if (class_of(window) == L"Notepad" && IsWindowVisible(window) &&
              text_of(window).find(name) != std::wstring::npos)
            found = window;
        return found != nullptr;
      },
      appear_timeout_ms, L"a Notepad window showing " + name);
  print(L"notepad: " + text_of(found));
  if (HWND text = FindWindowExW(found, nullptr, L"Edit", nullptr)) print(L"notepad text: " + text_of(text));
  DWORD process = process_of(found);
  PostMessageW(found, WM_CLOSE, 0, 0);
  wait_for_exit(process, L"Notepad");
}

HWND message_box(Session &session) {
  HWND box = nullptr;
  wait_for(
      [&] {
        std::vector<HWND> dialogs = owned_windows(session.main(), L"#32770");
        if (dialogs.size() == 1 && GetDlgItem(dialogs[0], IDOK)) box = dialogs[0];
        return box != nullptr;
      },
      appear_timeout_ms, L"the message box");
  return box;
}

void print_message_box(Session &session) {
  HWND box = message_box(session);
  print(L"caption: " + text_of(box));
  for (HWND control : children_of(box))
    if (class_of(control) == L"Static" && !text_of(control).empty()) print(L"text: " + text_of(control));
  for (HWND control : children_of(box))
    if (class_of(control) == L"Button" && IsWindowVisible(control)) print(L"button: " + text_of(control));
}

void confirm(Session &session) {
  HWND box = message_box(session);
  send(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
}

void wait_until_exited(Session &session) {
  DWORD process = process_of(session.main());
  wait_for_exit(process, L"the carvelo process");
  session.ended_processes.insert(process);
  session.main_window = nullptr;
  print(L"exited");
}

void close(Session &session) {
  PostMessageW(session.main(), WM_CLOSE, 0, 0);
  wait_until_exited(session);
}

void print_icon_group(HMODULE module) {
  HRSRC found = FindResourceW(module, L"ID_PROGRAM_ICON", MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
  if (found == nullptr) fail(L"no icon group ID_PROGRAM_ICON");
  const BYTE *group = static_cast<const BYTE *>(LockResource(LoadResource(module, found)));
  int count = group[4] | group[5] << 8;
  print(L"icon group ID_PROGRAM_ICON: " + std::to_wstring(count) + L" image(s)");
  for (int i = 0; i < count; ++i) {
    const BYTE *entry = group + 6 + 14 * i;  // width, height, colours, reserved, planes, bits
    int width = entry[0] ? entry[0] : 256, height = entry[1] ? entry[1] : 256;
    print(L"icon image: " + std::to_wstring(width) + L"x" + std::to_wstring(height) + L", " +
          std::to_wstring(entry[6] | entry[7] << 8) + L" bits per pixel");
  }
}

void print_version(const std::wstring &file) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
  std::vector<BYTE> info(size);
  if (size == 0 || !GetFileVersionInfoW(file.c_str(), 0, size, info.data()))
    fail(L"no version resource in " + file);
  VS_FIXEDFILEINFO *fixed = nullptr;
  UINT length = 0;
  if (VerQueryValueW(info.data(), L"\\", reinterpret_cast<void **>(&fixed), &length))
    print(L"file version numbers: " + std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." +
          std::to_wstring(LOWORD(fixed->dwFileVersionMS)) + L"." +
          std::to_wstring(HIWORD(fixed->dwFileVersionLS)) + L"." +
          std::to_wstring(LOWORD(fixed->dwFileVersionLS)));
  for (const wchar_t *name : {L"FileVersion", L"ProductVersion", L"ProductName"}) {
    wchar_t *value = nullptr;
    std::wstring query = std::wstring(L"\\StringFileInfo\\041204B0\\") + name;
    if (VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void **>(&value), &length))
      print(std::wstring(name) + L": " + value);
  }
}

void print_resources(const std::wstring &file) {
  HMODULE module = LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) fail(L"cannot load " + file);
  print_icon_group(module);
  FreeLibrary(module);
  print_version(file);
}

// The steps by name, with the count of arguments each takes.
struct Step {
  const wchar_t *name;
  int arguments;
  void (*run)(Session &session, const std::vector<std::wstring> &arguments);
};

const Step steps[] = {
    {L"window", 0, [](Session &s, const auto &) { find_window(s); }},
    {L"about", 0, [](Session &s, const auto &) { print_about(s); }},
    {L"controls", 0, [](Session &s, const auto &) { print_controls(s); }},
    {L"frame", 0, [](Session &s, const auto &) { print_frame(s); }},
    {L"geometry", 0, [](Session &s, const auto &) { print_geometry(s); }},
    {L"click", 0, [](Session &s, const auto &) { click_button(s); }},
    {L"button", 0, [](Session &s, const auto &) { print_button(s); }},
    {L"choose", 2, [](Session &s, const auto &a) { choose(s, a[0], a[1]); }},
    {L"filters", 0, [](Session &s, const auto &) { print_filters(s); }},
    {L"cancel", 0, [](Session &s, const auto &) { cancel(s); }},
    {L"dialogs", 0, [](Session &s, const auto &) { print_dialogs(s); }},
    {L"done", 0, [](Session &s, const auto &) { wait_until_done(s); }},
    {L"lists", 0, [](Session &s, const auto &) { print_lists(s); }},
    {L"double-click", 1, [](Session &s, const auto &a) { double_click(s, std::stoi(a[0])); }},
    {L"notepad", 1, [](Session &, const auto &a) { notepad(a[0]); }},
    {L"message-box", 0, [](Session &s, const auto &) { print_message_box(s); }},
    {L"confirm", 0, [](Session &s, const auto &) { confirm(s); }},
    {L"exited", 0, [](Session &s, const auto &) { wait_until_exited(s); }},
    {L"close", 0, [](Session &s, const auto &) { close(s); }},
    {L"resources", 1, [](Session &, const auto &a) { print_resources(a[0]); }},
};

const Step &step_named(const std::wstring &name) {
  for (const Step &step : steps)
    if (name == step.name) return step;
  fail(L"unknown step " + name);
}

}  // namespace

int wmain(int argc, wchar_t **argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  Session session;
  for (int i = 1; i < argc;) {
    const Step &step = step_named(argv[i++]);
    if (i + step.arguments > argc) fail(std::wstring(L"the step ") + step.name + L" needs arguments");
    std::vector<std::wstring> arguments(argv + i, argv + i + step.arguments);
    i += step.arguments;
    step.run(session, arguments);
  }
  return 0;
}
