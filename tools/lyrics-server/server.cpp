// The sample server's network side: accept, read one request, answer, close.
#include "server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string_view>
#include <thread>

namespace {

constexpr std::string_view lyrics_prefix = "/sevrin/fetch/";
constexpr std::string_view update_prefix = "/ovra-player/carvelo/update/carvelo/";
constexpr int request_limit = 8192;
constexpr int receive_timeout_s = 10;

std::mutex log_mutex;
std::FILE *request_log = nullptr;

void log_request(std::string_view path) {
    if (request_log == nullptr) return;
    std::lock_guard lock(log_mutex);
    std::fprintf(request_log, "%.*s\n", static_cast<int>(path.size()), path.data());
    std::fflush(request_log);
}

bool is_fingerprint_text(std::string_view text) {
    if (text.size() != 32) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

// A version names a file in the builds directory: no separators, no dot first.
bool is_version_text(std::string_view text) {
    if (text.empty() || text.size() > 64 || text[0] == '.') return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
              c == '.' || c == '-' || c == '_'))
            return false;
    return true;
}

// The file that answers a request path, or "" when there is none.
std::string file_for(std::string_view path, const ServerSettings &settings) {
    if (path.starts_with(lyrics_prefix) && !settings.lyrics_directory.empty()) {
        std::string_view name = path.substr(lyrics_prefix.size());
        if (is_fingerprint_text(name)) return settings.lyrics_directory + "/" + std::string(name);
    }
    if (path.starts_with(update_prefix) && !settings.builds_directory.empty()) {
        std::string_view name = path.substr(update_prefix.size());
        if (is_version_text(name)) return settings.builds_directory + "/" + std::string(name);
    }
    return "";
}

bool send_all(int socket, const char *bytes, std::size_t count) {
    while (count > 0) {
        ssize_t sent = send(socket, bytes, count, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        bytes += sent;
        count -= static_cast<std::size_t>(sent);
    }
    return true;
}

void send_status(int socket, const char *status) {
    char answer[256];
    int length = std::snprintf(answer, sizeof answer,
                               "HTTP/1.0 %s\r\nContent-Type: text/plain\r\nContent-Length: %zu\r\n"
                               "Connection: close\r\n\r\n%s\n",
                               status, std::strlen(status) + 1, status);
    send_all(socket, answer, static_cast<std::size_t>(length));
}

// Sends the file with a 200 answer, or a 404 when it is not a readable file. A stall holds the
// answer after the head and the body's first byte: a client has begun storing it.
void send_file(int socket, const std::string &path, int stall_ms) {
    int file = path.empty() ? -1 : open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status;
    if (file < 0 || fstat(file, &status) != 0 || !S_ISREG(status.st_mode)) {
        if (file >= 0) close(file);
        send_status(socket, "404 Not Found");
        return;
    }
    char header[256];
    int length = std::snprintf(header, sizeof header,
                               "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n"
                               "Content-Length: %lld\r\nConnection: close\r\n\r\n",
                               static_cast<long long>(status.st_size));
    bool sending = send_all(socket, header, static_cast<std::size_t>(length));
    char buffer[65536];
    ssize_t got;
    std::size_t ask = stall_ms > 0 ? 1 : sizeof buffer;
    while (sending && (got = read(file, buffer, ask)) > 0) {
        sending = send_all(socket, buffer, static_cast<std::size_t>(got));
        if (ask == 1) std::this_thread::sleep_for(std::chrono::milliseconds(stall_ms));
        ask = sizeof buffer;
    }
    close(file);
}

// Reads until the blank line that ends the request head. False on a
// timeout, a close, or a head that does not fit.
bool read_request_head(int socket, std::string &head) {
    char buffer[1024];
    while (head.find("\r\n\r\n") == std::string::npos && head.find("\n\n") == std::string::npos) {
        if (head.size() > request_limit) return false;
        ssize_t got = recv(socket, buffer, sizeof buffer, 0);
        if (got <= 0) return false;
        head.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
}

void serve_connection(int socket, const ServerSettings &settings) {
    timeval limit{receive_timeout_s, 0};
    setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    std::string head;
    if (read_request_head(socket, head)) {
        std::string_view line(head.data(), head.find_first_of("\r\n"));
        std::size_t path_start = line.find(' ') + 1;
        std::size_t path_end = line.find(' ', path_start);
        if (!line.starts_with("GET ") || path_end == std::string_view::npos) {
            send_status(socket, "400 Bad Request");
        } else {
            std::string_view path = line.substr(path_start, path_end - path_start);
            log_request(path);
            if (settings.delay_ms > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(settings.delay_ms));
            send_file(socket, file_for(path, settings), settings.stall_ms);
        }
    }
    shutdown(socket, SHUT_WR);
    close(socket);
}

int open_listener(const ServerSettings &settings, sockaddr_in &bound) {
    bound = sockaddr_in{};
    bound.sin_family = AF_INET;
    bound.sin_port = htons(static_cast<std::uint16_t>(settings.port));
    if (inet_pton(AF_INET, settings.address.c_str(), &bound.sin_addr) != 1 ||
        (ntohl(bound.sin_addr.s_addr) >> 24) != 127) {
        std::fprintf(stderr, "lyrics-server: %s is not a loopback IPv4 address\n",
                     settings.address.c_str());
        return -1;
    }
    int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int reuse = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    socklen_t length = sizeof bound;
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr *>(&bound), sizeof bound) != 0 ||
        listen(listener, 64) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr *>(&bound), &length) != 0) {
        std::fprintf(stderr, "lyrics-server: cannot listen on %s:%d: %s\n",
                     settings.address.c_str(), settings.port, std::strerror(errno));
        if (listener >= 0) close(listener);
        return -1;
    }
    return listener;
}

} // namespace

int run_server(const ServerSettings &settings) {
    std::signal(SIGPIPE, SIG_IGN);
    if (!settings.log_path.empty()) {
        request_log = std::fopen(settings.log_path.c_str(), "a");
        if (request_log == nullptr) {
            std::fprintf(stderr, "lyrics-server: %s: cannot write\n", settings.log_path.c_str());
            return 1;
        }
    }
    sockaddr_in bound;
    int listener = open_listener(settings, bound);
    if (listener < 0) return 1;
    std::printf("listening on %s:%d\n", settings.address.c_str(), ntohs(bound.sin_port));
    std::fflush(stdout);
    for (;;) {
        int connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        std::thread(serve_connection, connection, std::cref(settings)).detach();
    }
}
