#include "loopback_server.h"

#include "platform.h"

#include <chrono>
#include <cstdlib>
#include <cstdio>

#ifdef _WIN32
#include <winsock2.h>
using socket_length = int;
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/select.h>
#include <sys/socket.h>
using socket_length = socklen_t;
#endif

namespace {

constexpr int poll_ms = 10;  // how often the accept loop looks for the stop flag
constexpr int unanswered_connect_ms = 200;

[[noreturn]] void fail(const char *what) {
  std::fprintf(stderr, "loopback server: %s\n", what);
  std::abort();
}

bool readable_within(std::uintptr_t socket, int timeout_ms) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(static_cast<socket_handle>(socket), &readable);
  timeval limit{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
  return select(static_cast<int>(socket) + 1, &readable, nullptr, nullptr, &limit) > 0;
}

// False when the client has gone; its result tells the test.
bool send_all(socket_handle socket, const std::string &bytes) {
  for (std::size_t sent = 0; sent < bytes.size();) {
    int count = socket_send(socket, bytes.data() + sent, static_cast<int>(bytes.size() - sent));
    if (count <= 0) return false;
    sent += static_cast<std::size_t>(count);
  }
  return true;
}

// A listening socket on 127.0.0.1 with a port of its own.
socket_handle listen_on_loopback(int backlog, int *port) {
  if (!network_start()) fail("no network");
  socket_handle listener = tcp_socket_open();
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socket_length length = sizeof address;
  auto *generic = reinterpret_cast<sockaddr *>(&address);
  if (listener == invalid_socket || bind(listener, generic, sizeof address) != 0 ||
      listen(listener, backlog) != 0 || getsockname(listener, generic, &length) != 0)
    fail("cannot listen on 127.0.0.1");
  *port = ntohs(address.sin_port);
  return listener;
}

}  // namespace

ScriptedAnswer answer_in_one(const std::string &bytes) { return answer_cut_at(bytes, {}); }

ScriptedAnswer answer_cut_at(const std::string &bytes, const std::vector<std::size_t> &cuts) {
  ScriptedAnswer answer;
  std::size_t start = 0;
  for (std::size_t cut : cuts) {
    answer.segments.push_back(bytes.substr(start, cut - start));
    start = cut;
  }
  answer.segments.push_back(bytes.substr(start));
  return answer;
}

std::string request_path_of(const std::string &request) {
  std::size_t start = request.find(' ') + 1;
  return request.substr(start, request.find(' ', start) - start);
}

LoopbackServer::LoopbackServer(ScriptedAnswer answer)
    : LoopbackServer([answer](const std::string &) { return answer; }) {}

LoopbackServer::LoopbackServer(Responder respond) : respond_(std::move(respond)) {
  listener_ = static_cast<std::uintptr_t>(listen_on_loopback(16, &port_));
  thread_ = std::thread(&LoopbackServer::serve, this);
}

void LoopbackServer::stop() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
}

LoopbackServer::~LoopbackServer() {
  stop();
  socket_close(static_cast<socket_handle>(listener_));
  network_stop();
}

std::vector<std::string> LoopbackServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void LoopbackServer::serve() {
  while (!stopping_) {
    if (!readable_within(listener_, poll_ms)) continue;
    socket_handle connection = accept(static_cast<socket_handle>(listener_), nullptr, nullptr);
    if (connection == invalid_socket) continue;
    answer(static_cast<std::uintptr_t>(connection));
    socket_close(connection);
  }
}

void LoopbackServer::answer(std::uintptr_t handle) {
  auto connection = static_cast<socket_handle>(handle);
  int no_delay = 1;  // every segment leaves as its own packet
  setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&no_delay),
             sizeof no_delay);
  std::string request;
  char buffer[1024];
  while (request.find("\r\n\r\n") == std::string::npos) {
    int count = socket_receive(connection, buffer, sizeof buffer, 10000);
    if (count <= 0) break;
    request.append(buffer, static_cast<std::size_t>(count));
  }
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
  }
  ScriptedAnswer script = respond_(request);
  bool client_there = true;
  for (std::size_t i = 0; i < script.segments.size() && client_there && !stopping_; ++i) {
    if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(script.pause_ms));
    client_there = send_all(connection, script.segments[i]);
  }
  while (!script.endless.empty() && client_there && !stopping_)
    client_there = send_all(connection, script.endless);
  // Silent: hold the connection until the client gives up and closes it.
  while (script.fall_silent && !stopping_) {
    if (readable_within(handle, poll_ms) &&
        socket_receive(connection, buffer, sizeof buffer, 0) <= 0)
      break;
  }
}

// A listener with the shortest queue, filled by connections that are never
// accepted: once the queue is full the system drops further attempts
// unanswered. A connection attempt that times out shows it is full.
UnansweredPort::UnansweredPort() {
  sockets_.push_back(static_cast<std::uintptr_t>(listen_on_loopback(0, &port_)));
  std::uint32_t loopback = htonl(INADDR_LOOPBACK);
  for (int attempt = 0; attempt < 16; ++attempt) {
    socket_handle queued = tcp_socket_open();
    sockets_.push_back(static_cast<std::uintptr_t>(queued));
    if (!socket_connect(queued, loopback, static_cast<std::uint16_t>(port_), unanswered_connect_ms))
      return;
  }
  fail("the listener's queue never filled");
}

UnansweredPort::~UnansweredPort() {
  for (std::uintptr_t socket : sockets_) socket_close(static_cast<socket_handle>(socket));
  network_stop();
}
