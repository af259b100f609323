#include "test_support.h"

#include <chrono>
#include <cstdlib>

#ifdef _WIN32
#include <winsock2.h>
using socket_length = int;
#else
#include <arpa/inet.h>
#include <netinet/tcp.h>
using socket_length = socklen_t;
#endif

const std::uint32_t loopback_address = htonl(INADDR_LOOPBACK);

namespace {

// A blocking send sends all its bytes or fails, as when the client has gone.
void answer(socket_handle connection, const ScriptedAnswer &script) {
    int no_delay = 1; // every segment leaves as its own packet
    setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&no_delay),
               sizeof no_delay);
    char ignored[256];
    for (const std::string &segment : script) {
        if (&segment != &script[0]) std::this_thread::sleep_for(std::chrono::milliseconds(15));
        if (segment == reset_connection) {
            linger abort{1, 0}; // the close that follows resets the connection
            setsockopt(connection, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char *>(&abort),
                       sizeof abort);
            return;
        }
        if (segment.empty()) {
            while (socket_receive(connection, ignored, sizeof ignored, 10000) > 0) {
            }
        } else if (socket_send(connection, segment.data(), int(segment.size())) !=
                   int(segment.size())) {
            return;
        }
    }
}

} // namespace

socket_handle listen_on_loopback(int backlog, int *port) {
    socket_handle listener = network_start() ? tcp_socket_open() : invalid_socket;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = loopback_address;
    socket_length length = sizeof address;
    auto *generic = reinterpret_cast<sockaddr *>(&address);
    if (listener == invalid_socket || bind(listener, generic, sizeof address) != 0 ||
        listen(listener, backlog) != 0 || getsockname(listener, generic, &length) != 0)
        std::abort();
    *port = ntohs(address.sin_port);
    return listener;
}

LoopbackServer::LoopbackServer(Respond respond)
    : respond_(std::move(respond)), listener_(listen_on_loopback(16, &port_)) {
    thread_ = std::thread([this] {
        while (!stopping_) {
            socket_handle connection = accept(listener_, nullptr, nullptr);
            std::string request; // up to its blank line, or until the client stops
            char buffer[1024];
            int count = 1;
            while (count > 0 && request.find("\r\n\r\n") == std::string::npos) {
                count = socket_receive(connection, buffer, sizeof buffer, 10000);
                if (count > 0) request.append(buffer, static_cast<std::size_t>(count));
            }
            if (!stopping_ || !request.empty()) answer(connection, respond_(request));
            socket_close(connection);
        }
    });
}

// An empty connection of its own wakes the accept loop to see that it is to stop.
LoopbackServer::~LoopbackServer() {
    stopping_ = true;
    socket_handle waker = tcp_socket_open();
    socket_connect(waker, loopback_address, static_cast<std::uint16_t>(port_), 5000);
    socket_close(waker);
    thread_.join();
    socket_close(listener_);
    network_stop();
}
