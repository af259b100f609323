// The platform layer on Windows: UTF-16 paths through _wfopen, whose text
// mode expands LF to CR LF, and Winsock 2.2.
#include "platform.h"

#include <winsock2.h>
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <ntsecapi.h> // RtlGenRandom

#include <cstring>
#include <cwchar>

namespace {

// A path as the file functions take it. A temporary name beside an output
// path near the 260-character limit is longer than the plain form allows;
// such a path, when it is a full path from a drive, is handed on in the
// extended-length form ("\\?\C:\...") instead.
class FilePath {
public:
    explicit FilePath(const wchar_t *path) : text_(path) {
        std::size_t length = std::wcslen(path);
        bool from_drive = length >= 3 && path[1] == L':' && path[2] == L'\\';
        if (length < MAX_PATH || !from_drive || length + 4 >= capacity) return;
        std::wcscpy(extended_, L"\\\\?\\");
        std::wcscat(extended_, path);
        text_ = extended_;
    }
    const wchar_t *get() const { return text_; }

private:
    static constexpr std::size_t capacity = 2 * path_capacity;
    const wchar_t *text_;
    wchar_t extended_[capacity];
};

// The runtime's stream over a file handle, which it then owns; on failure the handle is closed.
std::FILE *stream_over(HANDLE handle, int text_or_binary, const wchar_t *mode) {
    int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), text_or_binary);
    if (descriptor == -1) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE *stream = _wfdopen(descriptor, mode);
    if (stream == nullptr) _close(descriptor);
    return stream;
}

} // namespace

std::FILE *open_file_for_reading(const path_char *path, const path_char *mode) {
    HANDLE handle = CreateFileW(FilePath(path).get(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    // Pipes and character devices (a serial port, the console, NUL) are no files to hash.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return nullptr;
    }
    return stream_over(handle, _O_RDONLY | _O_BINARY, mode);
}

Creation file_create_new(OutputFile &file, const path_char *path, const path_char *mode) {
    file = OutputFile{};
    bool text = std::wcscmp(mode, L"w") == 0;
    if (!text && std::wcscmp(mode, L"wb") != 0) return Creation::failed;
    // CREATE_NEW refuses any existing name, a link too; nobody else may open the file meanwhile.
    HANDLE handle = CreateFileW(FilePath(path).get(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        bool taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
        return taken ? Creation::name_taken : Creation::failed;
    }
    // Text mode stores each LF as CR LF.
    file.stream = stream_over(handle, text ? _O_TEXT : _O_BINARY, mode);
    if (file.stream != nullptr) return Creation::created;
    DeleteFileW(FilePath(path).get());
    return Creation::failed;
}

bool file_take_permissions(OutputFile &, const path_char *target) {
    DWORD attributes = GetFileAttributesW(FilePath(target).get());
    if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND;
    return (attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

bool file_replace(const path_char *from, const path_char *to) {
    return MoveFileExW(FilePath(from).get(), FilePath(to).get(), MOVEFILE_REPLACE_EXISTING) != 0;
}

void file_remove(const path_char *path) { DeleteFileW(FilePath(path).get()); }

unsigned long current_process_id() { return GetCurrentProcessId(); }

bool random_bits(std::uint64_t &bits) { return RtlGenRandom(&bits, sizeof bits); }

namespace {

DWORD WINAPI run_detached(void *work) {
    static_cast<DetachedWork *>(work)->run();
    return 0;
}

} // namespace

bool start_detached(DetachedWork &work) {
    HANDLE thread = CreateThread(nullptr, 0, run_detached, &work, 0, nullptr);
    if (thread == nullptr) return false;
    CloseHandle(thread);
    return true;
}

void start_process(const wchar_t *application, wchar_t *command_line) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(application, command_line, nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS,
                       nullptr, nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

bool network_start() {
    WSADATA details;
    return WSAStartup(MAKEWORD(2, 2), &details) == 0;
}

void network_stop() { WSACleanup(); }

socket_handle tcp_socket_open() { return socket(AF_INET, SOCK_STREAM, IPPROTO_TCP); }

void socket_close(socket_handle socket) { closesocket(socket); }

bool resolve_ipv4(const char *host, std::uint32_t *address) {
    // Winsock keeps the answer per thread, so concurrent callers do not clash.
    const hostent *entry = gethostbyname(host);
    if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_addr_list[0] == nullptr)
        return false;
    std::memcpy(address, entry->h_addr_list[0], sizeof *address);
    return true;
}

namespace {

bool set_blocking(socket_handle socket, bool blocking) {
    u_long non_blocking = blocking ? 0 : 1;
    return ioctlsocket(socket, FIONBIO, &non_blocking) == 0;
}

timeval to_timeval(int timeout_ms) {
    return timeval{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
}

} // namespace

bool socket_connect(socket_handle socket, std::uint32_t address, std::uint16_t port,
                    int timeout_ms) {
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = address;
    if (!set_blocking(socket, false)) return false;
    bool connected = connect(socket, reinterpret_cast<sockaddr *>(&target), sizeof target) == 0;
    if (!connected && WSAGetLastError() == WSAEWOULDBLOCK) {
        // A refused connection shows in the exception set, a made one as writable.
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(socket, &writable);
        FD_SET(socket, &failed);
        timeval limit = to_timeval(timeout_ms);
        connected = select(0, nullptr, &writable, &failed, &limit) > 0 &&
                    FD_ISSET(socket, &writable) && !FD_ISSET(socket, &failed);
    }
    return set_blocking(socket, true) && connected;
}

int socket_send(socket_handle socket, const char *bytes, int count) {
    return send(socket, bytes, count, 0);
}

int socket_receive(socket_handle socket, char *bytes, int capacity, int timeout_ms) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    timeval limit = to_timeval(timeout_ms);
    if (select(0, &readable, nullptr, nullptr, &limit) <= 0) return -1;
    return recv(socket, bytes, capacity, 0);
}
