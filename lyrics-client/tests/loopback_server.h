// A scriptable HTTP server on 127.0.0.1 inside the test process, on Linux
// and under wine: each connection gets segments sent one by one with a
// pause between them, so a test decides where the answer is cut; then,
// optionally, the same bytes without end, or silence until the client goes.
#pragma once

#include "platform.h"

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

struct ScriptedAnswer {
  ScriptedAnswer(std::vector<std::string> segments = {}, int pause_ms = 15)
      : segments(std::move(segments)), pause_ms(pause_ms) {}
  std::vector<std::string> segments;
  int pause_ms;
  std::string endless;
  bool fall_silent = false;
};

class LoopbackServer {
 public:
  // `respond` gets the request head (up to its blank line) of each connection.
  explicit LoopbackServer(std::function<ScriptedAnswer(const std::string &request)> respond);
  explicit LoopbackServer(const ScriptedAnswer &answer)
      : LoopbackServer([answer](const std::string &) { return answer; }) {}
  ~LoopbackServer();  // finishes the connection in progress
  int port() const { return port_; }

 private:
  std::function<ScriptedAnswer(const std::string &)> respond_;
  int port_ = 0;
  socket_handle listener_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

// A port on 127.0.0.1 whose listener never accepts and whose queue is full,
// so that a connection attempt gets no answer at all.
struct UnansweredPort {
  UnansweredPort();
  ~UnansweredPort();
  std::vector<socket_handle> sockets;  // the listener, then the queued connections
  int port = 0;
};
