// A scriptable HTTP server on 127.0.0.1 in the test process, also under wine.
#pragma once

#include "platform.h"

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// An answer's segments, sent 15 ms apart so that a test decides where it is cut; an empty
// one stands for silence until the client goes.
using ScriptedAnswer = std::vector<std::string>;

class LoopbackServer {
 public:
  // `respond` gets the request head (up to its blank line) of each connection.
  using Respond = std::function<ScriptedAnswer(const std::string &request)>;
  explicit LoopbackServer(Respond respond);
  explicit LoopbackServer(ScriptedAnswer answer) : LoopbackServer([=](auto &) { return answer; }) {}
  ~LoopbackServer();  // finishes the connection in progress
  int port() const { return port_; }

 private:
  Respond respond_;
  int port_ = 0;
  socket_handle listener_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

// A listener on 127.0.0.1 and the port it got.
socket_handle listen_on_loopback(int backlog, int *port);
