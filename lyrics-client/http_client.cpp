// HTTP download: connect, send one GET, and pass each receive through the answer's checks, its
// body bytes through a fixed buffer into a temporary file that replaces the output file once the
// transfer is complete.
#include "http_client.h"

#include "output_file.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

constexpr int receive_limit = 1023; // bytes asked of one receive

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

// Receives the answer and stores its body as the answer lets it through.
int receive_answer(const Transfer &transfer, const path_char *output_path, const path_char *mode) {
    HttpAnswer answer(transfer.limits().body_bytes);
    BodyFile body(output_path, mode);
    char bytes[receive_limit];
    for (;;) {
        int received = transfer.receive(bytes, receive_limit);
        if (received < 0) return DL_RECEIVE_FAILED;
        if (received == 0) break;
        AnswerStep step = answer.feed(bytes, received);
        if (step.action == AnswerStep::reject) return step.failure;
        if (step.action == AnswerStep::store_body &&
            !body.add(bytes + step.body_offset, received - step.body_offset))
            return DL_CANNOT_WRITE;
        if (answer.complete()) break;
    }
    int result = answer.finish();
    if (result != DL_OK) return result;
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
