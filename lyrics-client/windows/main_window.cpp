// The main window: class, controls, message handling, the batch worker and
// the Notepad start.
#include "main_window.h"

#include "batch.h"
#include "bounded_text.h"
#include "program_version.h"
#include "self_update.h"

#include <commdlg.h>

#include <cstddef>

namespace {

enum ControlId : int {
    unnamed_control_id = 0, // the labels and the path list
    download_button_id = 1,
    result_list_id = 2,
};

// Sent by a batch worker when its batch is over; the window thread then
// lets the button start the next one.
constexpr UINT batch_ended_message = WM_APP + 1;

// Where a control stands in its parent's client area.
struct Placement {
    int x, y, width, height;
};

constexpr wchar_t program_title[] = L"carvelo";
constexpr wchar_t icon_name[] = L"ID_PROGRAM_ICON";
constexpr wchar_t author_credit[] = L"만든 사람: ovra 플레이어 팀";
constexpr wchar_t closing_line[] = L"완료.";
// Four NUL-terminated strings; the literal's own NUL ends the list.
constexpr wchar_t dialog_filter[] = L"MP3 파일 (*.mp3)\0*.mp3\0모든 파일 (*.*)\0*.*\0";

constexpr DWORD main_window_style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX; // fixed size
constexpr int main_window_width = 230;
constexpr int main_window_height = 280;
constexpr DWORD result_list_style = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | LBS_NOTIFY;
// The controls' places in the client area, and their texts.
constexpr Placement about_place = {10, 10, 200, 50};
constexpr Placement button_place = {10, 70, 200, 20};
constexpr Placement result_list_place = {10, 100, 200, 120};
constexpr Placement hint_place = {10, 220, 200, 15};
constexpr Placement hidden_place = {0, 0, 0, 0};
constexpr wchar_t button_text[] = L"가사 다운로드";
constexpr wchar_t hint_text[] = L"더블클릭하면 가사가 열립니다.";
constexpr int font_height = 12; // in logical units
constexpr wchar_t font_face[] = L"굴림";
constexpr int about_text_capacity = 1024;
constexpr int selection_capacity = 10240; // wide characters of the dialog's answer

// The dialog structure without the trailing reserved fields and extended
// flags, as every version of the dialog accepts it.
constexpr DWORD open_file_name_size = 76;
static_assert(offsetof(OPENFILENAMEW, lpTemplateName) + sizeof(LPCWSTR) == open_file_name_size);
static_assert(sizeof(WNDCLASSEXW) == 48);
static_assert(main_window_style == 0x00CA0000 && result_list_style == 0x50A00001);

// Written once on the window thread before any worker starts.
struct ProgramHandles {
    HINSTANCE instance = nullptr;
    HWND main_window = nullptr;
    HWND result_list = nullptr; // visible: one line per job, then the closing line
    HWND path_list = nullptr;   // hidden: entry k is the lyrics path of line k
    HFONT font = nullptr;
};
ProgramHandles handles;

// The result and path lists of the main window, as the lyrics job uses
// them: every operation is a synchronous message to the window thread.
class ListBoxLists final : public ResultLists {
public:
    int add_result_line(const wchar_t *line) override {
        return static_cast<int>(
            SendMessageW(handles.result_list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line)));
    }
    void select_result_line(int index) override {
        SendMessageW(handles.result_list, LB_SETCURSEL, index, 0);
    }
    void add_path_entry(const wchar_t *path) override {
        SendMessageW(handles.path_list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(path));
    }
};

bool start_thread(LPTHREAD_START_ROUTINE routine, HWND window) {
    HANDLE thread = CreateThread(nullptr, 0, routine, window, 0, nullptr);
    if (thread == nullptr) return false;
    CloseHandle(thread); // nobody waits for it
    return true;
}

bool choose_files(wchar_t (&selection)[selection_capacity]) {
    selection[0] = L'\0';
    OPENFILENAMEW dialog{};
    dialog.lStructSize = open_file_name_size;
    dialog.hwndOwner = handles.main_window;
    dialog.lpstrFilter = dialog_filter;
    dialog.lpstrFile = selection;
    dialog.nMaxFile = selection_capacity;
    dialog.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT;
    return GetOpenFileNameW(&dialog) != 0;
}

// One batch: the file-open dialog, then one lyrics job per chosen file and
// the closing line. The parameter is unused; the worker reads the handles.
DWORD WINAPI batch_worker(void *) {
    wchar_t selection[selection_capacity];
    if (choose_files(selection)) {
        SendMessageW(handles.result_list, LB_RESETCONTENT, 0, 0);
        SendMessageW(handles.path_list, LB_RESETCONTENT, 0, 0);
        ListBoxLists lists;
        fetch_selection(selection, default_lyrics_server, lists);
        lists.select_result_line(lists.add_result_line(closing_line));
    }
    SendMessageW(handles.main_window, batch_ended_message, 0, 0);
    return 0;
}

HFONT create_program_font() {
    return CreateFontW(font_height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, HANGEUL_CHARSET, 0, 0,
                       0, 0, font_face);
}

HWND create_control(HWND parent, const wchar_t *class_name, const wchar_t *text, DWORD style,
                    Placement place, int id, bool with_font) {
    HWND control =
        CreateWindowExW(0, class_name, text, style, place.x, place.y, place.width, place.height,
                        parent, reinterpret_cast<HMENU>(INT_PTR{id}), handles.instance, nullptr);
    if (with_font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(handles.font), TRUE);
    return control;
}

// "carvelo 0.1.3", an empty line, the author credit.
void format_about_text(wchar_t (&text)[about_text_capacity]) {
    BoundedText<wchar_t> about(text, about_text_capacity);
    about.append(program_title).append(L" ");
    for (const char *c = PROGRAM_VERSION; *c != '\0'; ++c) {
        wchar_t wide = static_cast<unsigned char>(*c); // the version text is ASCII
        about.append(&wide, 1);
    }
    about.append(L"\n\n").append(author_credit);
}

void create_controls(HWND window) {
    wchar_t about[about_text_capacity];
    format_about_text(about);
    constexpr DWORD visible = WS_CHILD | WS_VISIBLE;
    create_control(window, L"static", about, visible, about_place, unnamed_control_id, true);
    create_control(window, L"button", button_text, visible, button_place, download_button_id, true);
    handles.result_list = create_control(window, L"listbox", nullptr, result_list_style,
                                         result_list_place, result_list_id, true);
    // Style 0: an owned window that is never shown, only a store of paths.
    handles.path_list =
        create_control(window, L"listbox", nullptr, 0, hidden_place, unnamed_control_id, false);
    create_control(window, L"static", hint_text, visible, hint_place, unnamed_control_id, true);
}

void on_create(HWND window) {
    handles.main_window = window;
    handles.font = create_program_font();
    create_controls(window);
    start_thread(update_worker, window);
}

// A batch runs from the click until its worker reports the end; meanwhile
// the button is disabled and clicks start nothing, so one batch at a time
// fills the lists and every line keeps the path entry of its own index.
void on_download_clicked(HWND window) {
    HWND button = GetDlgItem(window, download_button_id);
    if (!IsWindowEnabled(button)) return;
    EnableWindow(button, FALSE);
    if (!start_thread(batch_worker, window)) EnableWindow(button, TRUE);
}

// The text of a list entry, when it fits `capacity` characters with its
// terminator.
bool list_text(HWND list, LRESULT index, wchar_t *text, int capacity) {
    LRESULT length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR || length >= capacity) return false;
    return SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text)) != LB_ERR;
}

// Opens the lyrics of the selected line in Notepad, if that line tells of
// a stored lyrics file.
void open_selected_lyrics() {
    LRESULT index = SendMessageW(handles.result_list, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR) return;
    wchar_t line[result_line_capacity];
    if (!list_text(handles.result_list, index, line, result_line_capacity)) return;
    if (!is_success_line(line)) return;
    wchar_t lyrics_path[path_capacity];
    if (!list_text(handles.path_list, index, lyrics_path, path_capacity)) return;

    wchar_t command[path_capacity];
    if (make_notepad_command(lyrics_path, command, path_capacity)) start_process(nullptr, command);
}

void on_command(HWND window, WPARAM wparam) {
    if (LOWORD(wparam) == download_button_id)
        on_download_clicked(window);
    else if (LOWORD(wparam) == result_list_id && HIWORD(wparam) == LBN_DBLCLK)
        open_selected_lyrics();
}

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CREATE:
            on_create(window);
            break;
        case WM_COMMAND:
            on_command(window, wparam);
            break;
        case batch_ended_message:
            EnableWindow(GetDlgItem(window, download_button_id), TRUE);
            break;
        case WM_DESTROY:
            PostQuitMessage(0);
            break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

void register_window_class(HINSTANCE instance) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = main_window_proc;
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconW(instance, icon_name);
    window_class.hIconSm = window_class.hIcon;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    window_class.lpszClassName = program_title;
    RegisterClassExW(&window_class);
}

} // namespace

int run_main_window(HINSTANCE instance, int show) {
    handles.instance = instance;
    register_window_class(instance);
    HWND window = CreateWindowExW(0, program_title, program_title, main_window_style, CW_USEDEFAULT,
                                  CW_USEDEFAULT, main_window_width, main_window_height, nullptr,
                                  nullptr, instance, nullptr);
    if (window == nullptr) return 1; // no window would ever end the loop
    ShowWindow(window, show);
    UpdateWindow(window);

    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
