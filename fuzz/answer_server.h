// An HTTP server on 127.0.0.1 inside the harness process: it answers one
// connection at a time with pieces given by the input. A piece is sent only
// once the client has received everything before it, so that each piece
// reaches the client as a receive of its own (or several, when the client
// asks for less), whatever the timing.
#pragma once

#include <arpa/inet.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <condition_variable>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "support.h"

namespace fuzz {

// The answer in pieces: `count` cut off its start, each one byte of
// `lengths` plus one long, and the rest.
inline std::vector<std::string_view> cut(std::string_view answer, const std::uint8_t *lengths,
                                         std::size_t count) {
  std::vector<std::string_view> pieces;
  for (std::size_t i = 0; i < count && !answer.empty(); ++i) {
    pieces.push_back(answer.substr(0, lengths[i] + 1u));
    answer.remove_prefix(pieces.back().size());
  }
  if (!answer.empty()) pieces.push_back(answer);
  return pieces;
}

class AnswerServer {
 public:
  AnswerServer() : listener_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    auto *generic = reinterpret_cast<sockaddr *>(&address);
    check(listener_ >= 0 && bind(listener_, generic, length) == 0 && listen(listener_, 1) == 0 &&
              getsockname(listener_, generic, &length) == 0,
          "listening on 127.0.0.1");
    port_ = ntohs(address.sin_port);
    std::thread([this] { serve(); }).detach();  // waits for calls until the process ends
  }
  int port() const { return port_; }

  // Runs `download`, which makes one connection to port(), while the
  // server answers it with the pieces; returns what `download` returns.
  template <typename Download>
  int answering(const std::vector<std::string_view> &pieces, Download download) {
    std::unique_lock lock(mutex_);
    pieces_ = &pieces;
    client_ = DescriptorWatch::lowest_free();  // where the download's socket will be
    changed_.notify_one();
    lock.unlock();
    int result = download();
    lock.lock();
    changed_.wait(lock, [this] { return pieces_ == nullptr; });
    return result;
  }

 private:
  void serve() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return pieces_ != nullptr; });
      answer(*pieces_, client_);
      pieces_ = nullptr;
      changed_.notify_one();
    }
  }

  // Accepts a connection, reads its request, sends the pieces and closes.
  // `client` is the descriptor of the connection's other end.
  void answer(const std::vector<std::string_view> &pieces, int client) const {
    int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    check(connection >= 0, "accepting the connection");
    int on = 1;
    setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    read_request(connection);
    bool in_step = is_peer(connection, client);
    for (std::string_view piece : pieces) {
      if (send(connection, piece.data(), piece.size(), MSG_NOSIGNAL) < ssize_t(piece.size())) break;
      if (in_step) wait_until_received(connection, client);
    }
    close(connection);
  }

  static void read_request(int connection) {
    char request[2048];
    std::size_t length = 0;
    while (std::string_view(request, length).find("\r\n\r\n") == std::string_view::npos) {
      ssize_t received = recv(connection, request + length, sizeof request - length, 0);
      if (received <= 0) return;
      length += static_cast<std::size_t>(received);
    }
  }

  static bool is_peer(int connection, int client) {
    sockaddr_in peer{}, local{};
    socklen_t peer_length = sizeof peer, local_length = sizeof local;
    return getpeername(connection, reinterpret_cast<sockaddr *>(&peer), &peer_length) == 0 &&
           getsockname(client, reinterpret_cast<sockaddr *>(&local), &local_length) == 0 &&
           peer.sin_port == local.sin_port;
  }

  // Until every byte sent has left this end and none waits unread at the
  // client's. Once the client has closed its end, ioctl fails there.
  static void wait_until_received(int connection, int client) {
    int bytes;
    while (ioctl(connection, SIOCOUTQNSD, &bytes) == 0 && bytes > 0) sched_yield();
    while (ioctl(client, FIONREAD, &bytes) == 0 && bytes > 0) sched_yield();
  }

  int listener_;
  int port_ = 0;
  std::mutex mutex_;
  std::condition_variable changed_;
  const std::vector<std::string_view> *pieces_ = nullptr;  // of the call being answered
  int client_ = -1;
};

}  // namespace fuzz
