#include "loopback_server.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <winsock2.h>
using socket_length = int;
#else
#include <arpa/inet.h>
#include <netinet/tcp.h>
using socket_length = socklen_t;
#endif

namespace {

const std::uint32_t loopback = htonl(INADDR_LOOPBACK);

// False when the client has gone.
bool send_all(socket_handle socket, const std::string &bytes) {
  for (std::size_t sent = 0; sent < bytes.size();) {
    int count = socket_send(socket, bytes.data() + sent, static_cast<int>(bytes.size() - sent));
    if (count <= 0) return false;
    sent += static_cast<std::size_t>(count);
  }
  return true;
}

socket_handle listen_on_loopback(int backlog, int *port) {
  socket_handle listener = network_start() ? tcp_socket_open() : invalid_socket;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = loopback;
  socket_length length = sizeof address;
  auto *generic = reinterpret_cast<sockaddr *>(&address);
  if (listener == invalid_socket || bind(listener, generic, sizeof address) != 0 ||
      listen(listener, backlog) != 0 || getsockname(listener, generic, &length) != 0)
    std::abort();
  *port = ntohs(address.sin_port);
  return listener;
}

void answer(socket_handle connection, const ScriptedAnswer &script) {
  int no_delay = 1;  // every segment leaves as its own packet
  setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&no_delay),
             sizeof no_delay);
  bool client_there = true;
  for (std::size_t i = 0; i < script.segments.size() && client_there; ++i) {
    if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(script.pause_ms));
    client_there = send_all(connection, script.segments[i]);
  }
  while (!script.endless.empty() && client_there) client_there = send_all(connection, script.endless);
  char ignored[256];
  while (script.fall_silent && socket_receive(connection, ignored, sizeof ignored, 10000) > 0) {
  }
}

}  // namespace

LoopbackServer::LoopbackServer(std::function<ScriptedAnswer(const std::string &)> respond)
    : respond_(std::move(respond)), listener_(listen_on_loopback(16, &port_)) {
  thread_ = std::thread([this] {
    while (!stopping_) {
      socket_handle connection = accept(listener_, nullptr, nullptr);
      std::string request;
      char buffer[1024];
      for (int count; request.find("\r\n\r\n") == std::string::npos &&
                      (count = socket_receive(connection, buffer, sizeof buffer, 10000)) > 0;)
        request.append(buffer, static_cast<std::size_t>(count));
      if (!stopping_ || !request.empty()) answer(connection, respond_(request));
      socket_close(connection);
    }
  });
}

// An empty connection of its own wakes the accept loop to see that it is to stop.
LoopbackServer::~LoopbackServer() {
  stopping_ = true;
  socket_handle waker = tcp_socket_open();
  socket_connect(waker, loopback, static_cast<std::uint16_t>(port_), 5000);
  socket_close(waker);
  thread_.join();
  socket_close(listener_);
  network_stop();
}

// A listener with the shortest queue, filled by connections that are never
// accepted: once the queue is full the system drops further attempts
// unanswered. A connection attempt that times out shows it is full.
UnansweredPort::UnansweredPort() {
  sockets.push_back(listen_on_loopback(0, &port));
  while (sockets.size() < 16) {
    sockets.push_back(tcp_socket_open());
    if (!socket_connect(sockets.back(), loopback, static_cast<std::uint16_t>(port), 200)) return;
  }
  std::abort();  // the queue never filled
}

UnansweredPort::~UnansweredPort() {
  for (socket_handle socket : sockets) socket_close(socket);
  network_stop();
}
