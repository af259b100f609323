// HTTP download: look the host up, connect, send one GET, and pass each receive through the
// answer's checks, its body bytes through a fixed buffer into a temporary file that replaces the
// output file once the transfer is complete.
#include "http_client.h"

#include "bounded_text.h"
#include "output_file.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

namespace {

constexpr int receive_limit = 1023; // bytes asked of one receive
constexpr int host_capacity = 256;  // a DNS name has at most 253 characters

// A host written as an IPv4 address: four decimal numbers from 0 to 255 without leading zeros
// (which some resolvers read as octal), joined by dots. It needs no lookup.
bool read_ipv4_address(const char *host, std::uint32_t *address) {
    unsigned char bytes[4];
    int parts = 0;
    for (const char *c = host; parts < 4; ++c) {
        int value = 0, digits = 0;
        for (; *c >= '0' && *c <= '9' && digits < 4; ++c, ++digits) value = value * 10 + *c - '0';
        if (digits == 0 || value > 255 || (digits > 1 && c[-digits] == '0')) return false;
        bytes[parts++] = static_cast<unsigned char>(value);
        if (*c != (parts < 4 ? '.' : '\0')) return false;
    }
    std::memcpy(address, bytes, sizeof bytes); // in network byte order, as written
    return true;
}

// One name lookup on a helper thread. The system's resolver cannot be told to give up, so a
// resolver that never answers would hold the download past its deadline; the download waits
// only as long as its deadline allows and leaves the helper to finish alone. The helper and
// the download both hold the lookup; whichever lets go last deletes it.
class Lookup final : public DetachedWork {
public:
    // The host's first IPv4 address within `timeout_ms`; false when it has none, the lookup
    // cannot start, or the time runs out.
    static bool resolve(const char *host, std::uint32_t *address, int timeout_ms) {
        auto *lookup = new (std::nothrow) Lookup;
        if (lookup == nullptr) return false;
        if (!BoundedText<char>(lookup->host_, host_capacity).append(host).complete() ||
            !start_detached(*lookup)) {
            delete lookup;
            return false;
        }
        bool found = lookup->wait(address, timeout_ms);
        lookup->let_go();
        return found;
    }

private:
    void run() override {
        std::uint32_t address = 0;
        bool found = false;
        if (network_start()) { // the download's own start-up may end before this lookup
            found = resolve_ipv4(host_, &address);
            network_stop();
        }
        {
            std::lock_guard lock(mutex_);
            done_ = true;
            found_ = found;
            address_ = address;
        }
        answered_.notify_one();
        let_go();
    }

    bool wait(std::uint32_t *address, int timeout_ms) {
        std::unique_lock lock(mutex_);
        answered_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return done_; });
        *address = address_;
        return found_;
    }

    void let_go() {
        if (--holders_ == 0) delete this;
    }

    char host_[host_capacity];
    std::mutex mutex_;
    std::condition_variable answered_;
    bool done_ = false;  // the resolver has answered
    bool found_ = false; // ... with an address
    std::uint32_t address_ = 0;
    std::atomic<int> holders_{2}; // the helper and the download
};

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

    bool resolve(const char *host, std::uint32_t *address) const {
        if (read_ipv4_address(host, address)) return true;
        int wait = next_wait_ms();
        return wait > 0 && Lookup::resolve(host, address, wait);
    }

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
    Transfer transfer(connection.get(), limits); // the deadline counts from here
    std::uint32_t address;
    if (!transfer.resolve(host, &address)) return DL_RESOLVE_FAILED;
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
