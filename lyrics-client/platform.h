// The thin layer between the lyrics core and the operating system.
//
// Paths are wide (UTF-16) on Windows and the ordinary narrow strings on Linux;
// everything that differs between the two (opening files by path, the
// runtime's text mode, file permissions, Winsock start-up, sockets with
// timeouts, threads, replacing a file, and on Windows starting a program) is
// declared here and implemented once per platform in platform_win32.cpp and
// platform_posix.cpp; output_file.cpp writes files the same way on both.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

#ifdef _WIN32
using path_char = wchar_t;
#define PATH_TEXT(text) L##text
inline constexpr path_char path_separator = L'\\';
using socket_handle = std::uintptr_t; // Winsock's SOCKET
inline constexpr socket_handle invalid_socket = ~socket_handle{0};
// Characters of a path buffer, terminator included: the platform's limit.
inline constexpr int path_capacity = 260; // MAX_PATH, in UTF-16 units
#else
using path_char = char;
#define PATH_TEXT(text) text
inline constexpr path_char path_separator = '/';
using socket_handle = int;
inline constexpr socket_handle invalid_socket = -1;
inline constexpr int path_capacity = PATH_MAX; // in bytes
#endif

// The characters of a path before its terminator.
inline int path_length(const path_char *path) {
    int length = 0;
    while (path[length] != path_char{}) ++length;
    return length;
}

// The characters after the last path_separator: the whole path when it has none, and empty when
// it ends with one.
inline const path_char *final_component(const path_char *path) {
    const path_char *component = path;
    for (const path_char *c = path; *c != path_char{}; ++c)
        if (*c == path_separator) component = c + 1;
    return component;
}

// --- Files -----------------------------------------------------------------

// Opens the file at `path` for reading with a stdio mode ("rb"). Returns null
// when it cannot be opened, and for anything but a regular file: a directory,
// a FIFO or pipe, a device (which may block a read or never end), a socket.
// Opening never blocks. Close the stream with fclose.
std::FILE *open_file_for_reading(const path_char *path, const path_char *mode);

// A stream from open_file_for_reading, closed when it goes out of scope.
struct StreamCloser {
    void operator()(std::FILE *stream) const { std::fclose(stream); }
};
using InputFile = std::unique_ptr<std::FILE, StreamCloser>;

// A file being written in binary ("wb") or text ("w") mode. In text mode every
// LF is stored as CR LF: on Windows the runtime's text mode does it, elsewhere
// file_write does it itself.
struct OutputFile {
    std::FILE *stream = nullptr;
    bool expand_newlines = false; // true: file_write turns LF into CR LF
};

enum class Creation {
    created,    // a new file, readable and writable by this user alone
    name_taken, // something (a file, a link, anything) already has the name
    failed,     // no file: a missing folder, no permission, a mode neither "w" nor "wb"
};
// Creates a new file at `path`, never opening what is already there and never
// following a link. `file` is open only when the result is `created`.
Creation file_create_new(OutputFile &file, const path_char *path, const path_char *mode);
// Writes `count` bytes. Returns false when the stream reports an error.
bool file_write(OutputFile &file, const char *bytes, std::size_t count);
// Flushes and closes. Returns false when buffered bytes could not be stored.
bool file_close(OutputFile &file);

// Prepares the open `file` to take the place of `target`. Returns false when
// `target` exists and is write-protected: read-only (no write permission at
// all, or the read-only attribute), or not writable by this user; nothing may
// replace it. Otherwise gives `file` the permissions of `target` where the
// system has them, or those of a new file when there is no `target`.
bool file_take_permissions(OutputFile &file, const path_char *target);

// Moves `from` over `to` in one step, replacing an existing `to`.
bool file_replace(const path_char *from, const path_char *to);
// Deletes a file; the result is not worth reporting to callers.
void file_remove(const path_char *path);

// The id of this process.
unsigned long current_process_id();

// Fills `bits` with 64 bits that others cannot guess; false when the system
// has none to give (early at boot).
bool random_bits(std::uint64_t &bits);

// --- Threads ---------------------------------------------------------------

// Work for a thread that nobody waits for.
class DetachedWork {
public:
    virtual void run() = 0;

protected:
    ~DetachedWork() = default;
};
// Runs `work.run()` on a thread of its own. False, with nothing run, when no
// thread can be started.
bool start_detached(DetachedWork &work);

// --- Network ---------------------------------------------------------------

// Starts the socket layer (Winsock 2.2; nothing on Linux). Every successful
// call is paired with one network_stop.
bool network_start();
void network_stop();

// An IPv4 TCP socket, or invalid_socket.
socket_handle tcp_socket_open();
void socket_close(socket_handle socket);

// The host's first IPv4 address in network byte order. Safe to call from
// several threads at once. It waits as long as the system's resolver does,
// which nothing bounds: http_download calls it on a helper thread.
bool resolve_ipv4(const char *host, std::uint32_t *address);

// Connects, giving up after `timeout_ms`. The socket stays blocking.
bool socket_connect(socket_handle socket, std::uint32_t address, std::uint16_t port,
                    int timeout_ms);

// One send call; the count sent, or a negative value on failure.
int socket_send(socket_handle socket, const char *bytes, int count);

// Waits up to `timeout_ms` for data and receives at most `capacity` bytes.
// Returns the count received, 0 when the peer closed the connection, or a
// negative value when the receive failed or the time ran out.
int socket_receive(socket_handle socket, char *bytes, int capacity, int timeout_ms);

#ifdef _WIN32
// --- Processes (Windows only) ---------------------------------------------

// Starts a program and lets it run on its own: no waiting, no report of
// the outcome. `application` null lets the system find the program named
// first on `command_line` (a writable buffer, as CreateProcessW wants).
void start_process(const wchar_t *application, wchar_t *command_line);
#endif
