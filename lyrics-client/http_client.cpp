// HTTP download: connect, send one GET, check the status line, find the
// header end, and pass the body through a fixed buffer into a temporary file
// that replaces the output file once the transfer is complete.
//
// The answer may be cut into receives anywhere (servers send headers and
// body separately all the time), so the status line and the header end are
// looked for in the bytes gathered so far, not in one receive.
#include "http_client.h"

#include "bounded_text.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string_view>

namespace {

constexpr int request_capacity = 1024;
constexpr int receive_limit = 1023;   // bytes asked of one receive
constexpr int header_capacity = 4096; // the longest header accepted, status line included

std::atomic<unsigned long> temporaries_named{0};

// The socket of one call, closed when the call returns.
class Connection {
public:
    Connection() : socket_(tcp_socket_open()) {}
    ~Connection() {
        if (socket_ != invalid_socket) socket_close(socket_);
    }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    socket_handle get() const { return socket_; }

private:
    socket_handle socket_;
};

// The time one transfer has left, and the socket it runs on.
class Transfer {
    using Clock = std::chrono::steady_clock;

public:
    Transfer(socket_handle socket, const DownloadLimits &limits)
        : socket_(socket),
          limits_(limits),
          end_(Clock::now() + std::chrono::milliseconds(limits.deadline_ms)) {}

    const DownloadLimits &limits() const { return limits_; }

    bool connect(std::uint32_t address, std::uint16_t port) const {
        int wait = next_wait_ms();
        return wait > 0 && socket_connect(socket_, address, port, wait);
    }

    // Receives up to `capacity` bytes: the count, 0 when the server closed,
    // or a negative value on a failure or when the time ran out.
    int receive(char *bytes, int capacity) const {
        int wait = next_wait_ms();
        return wait > 0 ? socket_receive(socket_, bytes, capacity, wait) : -1;
    }

private:
    // How long the next wait may last: the wait limit or what is left before
    // the deadline, whichever is shorter; 0 once the deadline has passed.
    int next_wait_ms() const {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(end_ - Clock::now());
        return static_cast<int>(std::clamp<long long>(left.count(), 0, limits_.wait_ms));
    }

    socket_handle socket_;
    const DownloadLimits &limits_;
    Clock::time_point end_;
};

enum class Status { accepted, rejected, incomplete };

// "HTTP/", a version token, one space and the six bytes "200 OK"; what
// follows them is not examined. A NUL or LF before the space rejects.
Status check_status_line(std::string_view received) {
    constexpr std::string_view prefix = "HTTP/";
    constexpr std::string_view wanted = "200 OK";
    std::size_t prefix_seen = std::min(received.size(), prefix.size());
    if (received.substr(0, prefix_seen) != prefix.substr(0, prefix_seen)) return Status::rejected;
    std::size_t space = received.find_first_of(std::string_view(" \n\0", 3), prefix.size());
    if (space == std::string_view::npos) return Status::incomplete;
    if (received[space] != ' ') return Status::rejected;
    std::string_view status = received.substr(space + 1, wanted.size());
    if (status != wanted.substr(0, status.size())) return Status::rejected;
    return status.size() == wanted.size() ? Status::accepted : Status::incomplete;
}

// The header as received: status line, header lines, header end, and the
// first body bytes that came with them.
struct Header {
    char bytes[header_capacity];
    int length = 0;     // bytes received
    int body_start = 0; // first byte after the header end, once found
};

// Receives until the status line is accepted and the header end is found.
// Returns DL_OK with `header.body_start` set, or the failure.
int receive_header(const Transfer &transfer, Header &header) {
    constexpr std::string_view header_end = "\r\n\r\n";
    bool status_accepted = false;
    for (;;) {
        int room = std::min(receive_limit, header_capacity - header.length);
        if (room == 0) return DL_HEADER_TOO_LONG;
        int received = transfer.receive(header.bytes + header.length, room);
        if (received < 0) return DL_RECEIVE_FAILED;
        if (received == 0) return status_accepted ? DL_NO_BODY : DL_BAD_STATUS;
        header.length += received;

        std::string_view text(header.bytes, header.length);
        if (!status_accepted) {
            Status status = check_status_line(text);
            if (status == Status::rejected) return DL_BAD_STATUS;
            if (status == Status::incomplete) continue;
            status_accepted = true;
        }
        std::size_t end = text.find(header_end);
        if (end != std::string_view::npos) {
            header.body_start = static_cast<int>(end + header_end.size());
            return DL_OK;
        }
    }
}

bool same_ignoring_case(std::string_view text, std::string_view lowercase) {
    return std::equal(text.begin(), text.end(), lowercase.begin(), lowercase.end(),
                      [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a + 32 : a) == b; });
}

std::string_view trim_blanks(std::string_view text) {
    constexpr std::string_view blanks = " \t\r";
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// What the header says of the body's length.
struct ContentLength {
    bool stated = false;          // a Content-Length line is present
    bool malformed = false;       // one is unreadable, or two disagree
    unsigned long long bytes = 0; // the stated length, held at 10^18 at most
};

// Takes one header line: a Content-Length line must hold decimal digits
// alone, with no blank before its colon, and agree with any before it.
void read_length_line(std::string_view line, ContentLength &length) {
    constexpr std::string_view name = "content-length";
    constexpr unsigned long long most = 1'000'000'000'000'000'000ULL;
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return;
    std::string_view field = line.substr(0, colon);
    if (!same_ignoring_case(trim_blanks(field), name)) return;
    std::string_view digits = trim_blanks(line.substr(colon + 1));
    bool readable = field.size() == name.size() && !digits.empty();
    unsigned long long value = 0;
    for (char digit : digits) {
        readable = readable && digit >= '0' && digit <= '9';
        value = std::min(most, value * 10 + static_cast<unsigned>(digit - '0'));
    }
    if (!readable || (length.stated && value != length.bytes)) length.malformed = true;
    length.stated = true;
    length.bytes = value;
}

// The Content-Length lines of a header, which begins with its status line.
ContentLength find_content_length(std::string_view header) {
    ContentLength length;
    for (std::size_t start = header.find('\n'); start != std::string_view::npos;
         start = header.find('\n', start)) {
        ++start;
        read_length_line(header.substr(start, header.find('\n', start) - start), length);
    }
    return length;
}

// The number of characters of `path` up to and including its last separator.
int directory_length(const path_char *path) {
    int length = 0;
    for (int i = 0; path[i] != path_char{}; ++i)
        if (path[i] == path_separator) length = i + 1;
    return length;
}

// The body on its way to the output path. It is written to a temporary file
// beside the output, created with the first byte, and moved over the output
// path by commit; a body that is not committed leaves no trace.
class BodyFile {
public:
    // The temporary's name is short and does not grow with the output's, so
    // that an output name near the file system's limit still has one.
    BodyFile(const path_char *output_path, const path_char *mode)
        : output_path_(output_path), mode_(mode) {
        BoundedText<path_char> name(temporary_, sizeof temporary_ / sizeof *temporary_);
        name.append(output_path, directory_length(output_path)).append(PATH_TEXT(".carvelo-"));
        name.append_hex(current_process_id())
            .append(PATH_TEXT("-"))
            .append_hex(++temporaries_named);
        named_ = name.append(PATH_TEXT(".part")).complete();
    }
    ~BodyFile() {
        if (created_ && !committed_) {
            file_close(file_);
            file_remove(temporary_);
        }
    }
    BodyFile(const BodyFile &) = delete;
    BodyFile &operator=(const BodyFile &) = delete;

    bool add(const char *bytes, int count) {
        if (count == 0) return true;
        if (!created_) {
            if (!named_ || !file_create(file_, temporary_, mode_)) return false;
            created_ = true;
        }
        size_ += static_cast<unsigned long long>(count);
        return file_write(file_, bytes, static_cast<std::size_t>(count));
    }

    // Closes the temporary and moves it over the output path; false when that
    // fails, and then the temporary is removed.
    bool commit() {
        bool stored = file_close(file_) && file_replace(temporary_, output_path_);
        if (!stored) file_remove(temporary_);
        committed_ = true; // the temporary is gone either way
        return stored;
    }

    unsigned long long size() const { return size_; }

private:
    const path_char *output_path_;
    const path_char *mode_;
    path_char temporary_[path_capacity + 32];
    bool named_ = false;
    bool created_ = false;
    bool committed_ = false;
    OutputFile file_;
    unsigned long long size_ = 0; // body bytes received, before any newline expansion
};

// Receives the answer and stores its body. The header's buffer is reused for
// the body's receives, so the whole transfer runs in one fixed buffer.
int receive_answer(const Transfer &transfer, const path_char *output_path, const path_char *mode) {
    Header header;
    int result = receive_header(transfer, header);
    if (result != DL_OK) return result;
    ContentLength expected = find_content_length(std::string_view(header.bytes, header.body_start));
    const unsigned long long bound = transfer.limits().body_bytes;
    if (expected.malformed) return DL_BAD_LENGTH;
    if (expected.stated && expected.bytes > bound) return DL_TOO_LARGE;

    BodyFile body(output_path, mode);
    const char *bytes = header.bytes + header.body_start;
    int received = header.length - header.body_start;
    for (;;) {
        if (body.size() + static_cast<unsigned long long>(received) > bound) return DL_TOO_LARGE;
        if (!body.add(bytes, received)) return DL_CANNOT_WRITE;
        // More than the stated length ends the transfer now, not at the close.
        if (expected.stated && body.size() > expected.bytes) return DL_LENGTH_MISMATCH;
        bytes = header.bytes;
        received = transfer.receive(header.bytes, receive_limit);
        if (received < 0) return DL_RECEIVE_FAILED;
        if (received == 0) break;
    }
    if (body.size() == 0) return DL_NO_BODY;
    if (expected.stated && body.size() != expected.bytes) return DL_LENGTH_MISMATCH;
    return body.commit() ? DL_OK : DL_CANNOT_WRITE;
}

void send_request(socket_handle socket, const char *host, const char *request_path) {
    char request[request_capacity];
    int length = std::snprintf(request, sizeof request,
                               "GET %s HTTP/1.0\r\nHost: %s\r\nConnection: close\r\n"
                               "Accept-Encoding: \r\n\r\n",
                               request_path, host);
    length = std::clamp(length, 0, request_capacity - 1);
    // A request that did not go out shows as a failed or empty answer.
    socket_send(socket, request, length);
}

int download_with_network(const char *host, int port, const char *request_path,
                          const path_char *output_path, const path_char *mode,
                          const DownloadLimits &limits) {
    Connection connection;
    if (connection.get() == invalid_socket) return DL_SOCKET_FAILED;
    std::uint32_t address;
    if (!resolve_ipv4(host, &address)) return DL_RESOLVE_FAILED;
    Transfer transfer(connection.get(), limits);
    if (!transfer.connect(address, static_cast<std::uint16_t>(port))) return DL_CONNECT_FAILED;
    send_request(connection.get(), host, request_path);
    return receive_answer(transfer, output_path, mode);
}

} // namespace

int http_download(const char *host, int port, const char *request_path,
                  const path_char *output_path, const path_char *mode,
                  const DownloadLimits &limits) {
    if (!network_start()) return DL_NET_STARTUP_FAILED;
    int result = download_with_network(host, port, request_path, output_path, mode, limits);
    network_stop();
    return result;
}
