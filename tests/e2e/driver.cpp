// carvelo-driver: drives a running carvelo.exe the way a user would and
// reports what the windows show, for the end-to-end test scripts.
//
//   carvelo-driver STEP [ARGUMENTS] STEP [ARGUMENTS] ...
//
// The steps (table at the end) run in order; each prints what it saw as
// UTF-8 lines on stdout. A step whose awaited state does not arrive in
// time, or that finds the windows in another state than it needs, ends the
// run with a message on stderr and exit status 1.
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

using Arguments = std::vector<std::wstring>;

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

std::wstring yes_no(bool yes) { return yes ? L"yes" : L"no"; }

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

void press(HWND dialog, int button) {
  send(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
       reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

std::wstring text_of(HWND window) {
  LRESULT length = send(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(length + 1, L'\0');
  length = send(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()));
  text.resize(length);
  return text;
}

// The entries of a list box (LB_ messages) or a combo box (CB_ messages).
std::vector<std::wstring> entries(HWND box, UINT count, UINT length, UINT text) {
  std::vector<std::wstring> found;
  LRESULT total = send(box, count, 0, 0);
  for (LRESULT i = 0; i < total; ++i) {
    std::wstring entry(send(box, length, i, 0) + 1, L'\0');
    entry.resize(send(box, text, i, reinterpret_cast<LPARAM>(entry.data())));
    found.push_back(entry);
  }
  return found;
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

// Top-level windows of a class owned by `owner`, the visible ones unless
// asked for all.
std::vector<HWND> owned_windows(HWND owner, const wchar_t *class_name, bool visible_only = true) {
  std::vector<HWND> found;
  for (HWND window : top_level_windows())
    if (GetWindow(window, GW_OWNER) == owner && class_of(window) == class_name &&
        (!visible_only || IsWindowVisible(window)))
      found.push_back(window);
  return found;
}

// Waits for a top-level window that `matches`.
HWND wait_for_window(const std::function<bool(HWND)> &matches, const std::wstring &what) {
  HWND found = nullptr;
  wait_for(
      [&] {
        for (HWND window : top_level_windows())
          if (matches(window)) found = window;
        return found != nullptr;
      },
      appear_timeout_ms, what);
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

std::wstring outer_size(HWND window) {
  RECT place;
  GetWindowRect(window, &place);
  return std::to_wstring(place.right - place.left) + L"x" + std::to_wstring(place.bottom - place.top);
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
  // Waits for a dialog of the main window with control `id` (the file name
  // box of the file-open dialog, OK of a message box).
  HWND dialog_with(int id, const wchar_t *what) const {
    return wait_for_window(
        [&](HWND window) {
          return GetWindow(window, GW_OWNER) == main() && class_of(window) == L"#32770" &&
                 IsWindowVisible(window) && GetDlgItem(window, id) != nullptr;
        },
        what);
  }
  HWND file_dialog() const { return dialog_with(file_name_box_id, L"the file-open dialog"); }
};

// --- Steps ---------------------------------------------------------------------

// The windows of processes that ended earlier in this run do not count.
void find_window(Session &session, const Arguments &) {
  session.main_window = wait_for_window(
      [&](HWND window) {
        return class_of(window) == L"carvelo" && IsWindowVisible(window) &&
               !session.ended_processes.count(process_of(window));
      },
      L"the carvelo window");
  print(L"window: " + text_of(session.main_window));
}

void print_control(HWND control, HWND parent) {
  RECT place;
  GetWindowRect(control, &place);
  POINT origin{0, 0};
  ClientToScreen(parent, &origin);
  DWORD style = static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE));
  std::wstring line = L"control " + class_of(control) + L" id " +
                      std::to_wstring(GetDlgCtrlID(control)) + L" style " + hex(style) + L" at " +
                      std::to_wstring(place.left - origin.x) + L"," +
                      std::to_wstring(place.top - origin.y) + L" size " + outer_size(control);
  if (class_of(control) != L"ListBox") line += L" text \"" + text_of(control) + L"\"";
  print(line);
}

void print_controls(Session &session, const Arguments &) {
  print(L"class " + class_of(session.main()) + L" style " +
        hex(GetClassLongW(session.main(), GCL_STYLE)));
  for (HWND control : children_of(session.main())) print_control(control, session.main());
  HWND paths = session.path_list();
  print(L"path list: class " + class_of(paths) + L", visible " + yes_no(IsWindowVisible(paths)) +
        L", child " + yes_no(GetWindowLongPtrW(paths, GWL_STYLE) & WS_CHILD));
}

// The outer size, the style (which decides what the frame lets a user do),
// and whether a double click on the caption maximises the window.
void print_frame(Session &session, const Arguments &) {
  HWND window = session.main();
  print(L"outer size: " + outer_size(window));
  print(L"style: " + hex(static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE))));
  RECT place;
  GetWindowRect(window, &place);
  POINT caption{(place.left + place.right) / 2, place.top + GetSystemMetrics(SM_CYFRAME) + 4};
  send(window, WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(caption.x, caption.y));
  print(L"after a caption double-click: " + outer_size(window) +
        (IsZoomed(window) ? L", maximised" : L", not maximised"));
}

void click_button(Session &session, const Arguments &) {
  send(session.control(download_button_id), BM_CLICK, 0, 0);
}

void print_button(Session &session, const Arguments &) {
  print(std::wstring(L"button: ") +
        (IsWindowEnabled(session.control(download_button_id)) ? L"enabled" : L"disabled"));
}

// Types `text` into the dialog's file name box and confirms it, as Enter
// would; the dialog handles it before the message returns.
void type_and_confirm(HWND dialog, const std::wstring &text) {
  send(GetDlgItem(dialog, file_name_box_id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  press(dialog, IDOK);
}

// Goes to the folder (unless it is empty), then confirms the names.
void choose(Session &session, const Arguments &folder_and_names) {
  HWND dialog = session.file_dialog();
  if (!folder_and_names[0].empty()) type_and_confirm(dialog, folder_and_names[0]);
  if (!IsWindow(dialog)) fail(L"the dialog closed on the folder " + folder_and_names[0]);
  type_and_confirm(dialog, folder_and_names[1]);
  wait_for([&] { return !IsWindow(dialog); }, appear_timeout_ms, L"the dialog to close");
}

void print_filters(Session &session, const Arguments &) {
  HWND types = GetDlgItem(session.file_dialog(), file_type_box_id);
  for (const std::wstring &type : entries(types, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT))
    print(L"file type: " + type);
  print(L"chosen file type: " + std::to_wstring(send(types, CB_GETCURSEL, 0, 0)));
}

void cancel(Session &session, const Arguments &) {
  HWND dialog = session.file_dialog();
  press(dialog, IDCANCEL);
  wait_for([&] { return !IsWindow(dialog); }, appear_timeout_ms, L"the dialog to close");
}

void print_dialogs(Session &session, const Arguments &) {
  print(L"dialogs: " + std::to_wstring(owned_windows(session.main(), L"#32770").size()));
}

void wait_until_done(Session &session, const Arguments &) {
  HWND button = session.control(download_button_id);
  wait_for([&] { return IsWindowEnabled(button) != FALSE; }, batch_timeout_ms, L"the batch to end");
}

void print_lists(Session &session, const Arguments &) {
  HWND results = session.control(result_list_id);
  for (const std::wstring &line : entries(results, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT))
    print(L"line: " + line);
  print(L"selected: " + std::to_wstring(send(results, LB_GETCURSEL, 0, 0)));
  HWND paths = session.path_list();
  for (const std::wstring &entry : entries(paths, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT))
    print(L"path: " + entry);
}

// Presses the mouse twice on the line, as a double click arrives at a list,
// then counts the Notepad processes.
void double_click(Session &session, const Arguments &line) {
  HWND results = session.control(result_list_id);
  LRESULT top = send(results, LB_GETTOPINDEX, 0, 0);
  LRESULT height = send(results, LB_GETITEMHEIGHT, 0, 0);
  LPARAM point = MAKELPARAM(20, (std::stoi(line[0]) - top) * height + height / 2);
  send(results, WM_LBUTTONDOWN, MK_LBUTTON, point);
  send(results, WM_LBUTTONUP, 0, point);
  send(results, WM_LBUTTONDBLCLK, MK_LBUTTON, point);
  send(results, WM_LBUTTONUP, 0, point);
  // The window thread started any Notepad before the messages returned.
  print(L"notepad processes: " + std::to_wstring(processes_named(L"notepad.exe")));
}

// Waits for a Notepad window whose caption names the file, prints its
// caption and text, and closes it.
void notepad(Session &, const Arguments &name) {
  HWND found = wait_for_window(
      [&](HWND window) {
        return class_of(window) == L"Notepad" && IsWindowVisible(window) &&
               text_of(window).find(name[0]) != std::wstring::npos;
      },
      L"a Notepad window showing " + name[0]);
  print(L"notepad: " + text_of(found));
  if (HWND text = FindWindowExW(found, nullptr, L"Edit", nullptr)) print(L"notepad text: " + text_of(text));
  DWORD process = process_of(found);
  PostMessageW(found, WM_CLOSE, 0, 0);
  wait_for_exit(process, L"Notepad");
}

void print_message_box(Session &session, const Arguments &) {
  HWND box = session.dialog_with(IDOK, L"the message box");
  print(L"caption: " + text_of(box));
  for (HWND control : children_of(box))
    if (class_of(control) == L"Static" && !text_of(control).empty()) print(L"text: " + text_of(control));
  for (HWND control : children_of(box))
    if (class_of(control) == L"Button" && IsWindowVisible(control)) print(L"button: " + text_of(control));
}

void confirm(Session &session, const Arguments &) {
  send(GetDlgItem(session.dialog_with(IDOK, L"the message box"), IDOK), BM_CLICK, 0, 0);
}

void wait_until_exited(Session &session, const Arguments &) {
  DWORD process = process_of(session.main());
  wait_for_exit(process, L"the carvelo process");
  session.ended_processes.insert(process);
  session.main_window = nullptr;
  print(L"exited");
}

void close(Session &session, const Arguments &arguments) {
  PostMessageW(session.main(), WM_CLOSE, 0, 0);
  wait_until_exited(session, arguments);
}

struct Step {
  const wchar_t *name;
  std::size_t arguments;
  void (*run)(Session &session, const Arguments &arguments);
};

const Step steps[] = {
    {L"window", 0, find_window},             // wait for a carvelo window, make it current
    {L"controls", 0, print_controls},        // the class, the controls, the hidden path list
    {L"frame", 0, print_frame},              // what the frame lets a user do
    {L"click", 0, click_button},             // click the download button, as a user does
    {L"button", 0, print_button},            // whether the download button is enabled
    {L"choose", 2, choose},                  // DIR NAMES: in the file-open dialog
    {L"filters", 0, print_filters},          // the file types the file-open dialog offers
    {L"cancel", 0, cancel},                  // cancel the file-open dialog
    {L"dialogs", 0, print_dialogs},          // how many dialogs the main window owns
    {L"done", 0, wait_until_done},           // wait until the button is enabled again
    {L"lists", 0, print_lists},              // result lines, selection, path entries
    {L"double-click", 1, double_click},      // N: result line N
    {L"notepad", 1, notepad},                // NAME: the Notepad window showing NAME
    {L"message-box", 0, print_message_box},  // caption, text and buttons of the update message
    {L"confirm", 0, confirm},                // press the message box's OK button
    {L"exited", 0, wait_until_exited},       // wait until the window's process has ended
    {L"close", 0, close},                    // close the main window, wait for its process to end
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
  Arguments words(argv + 1, argv + argc);
  for (std::size_t i = 0; i < words.size();) {
    const Step &step = step_named(words[i++]);
    if (i + step.arguments > words.size())
      fail(std::wstring(L"the step ") + step.name + L" needs arguments");
    step.run(session, Arguments(words.begin() + i, words.begin() + i + step.arguments));
    i += step.arguments;
  }
  return 0;
}
