// A scriptable HTTP server on 127.0.0.1 inside the test process: it answers
// each connection with segments sent one by one with a pause between them,
// so a test decides where the answer is cut, and can fall silent, trickle,
// send without end or close early. Works on Linux and under wine (Winsock).
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct ScriptedAnswer {
  std::vector<std::string> segments;  // sent in order, each with its own send
  int pause_ms = 15;                  // between two segments
  std::string endless;                // afterwards sent again and again until the client goes
  bool fall_silent = false;           // afterwards keep the connection open, send nothing
};

// The whole answer in one segment.
ScriptedAnswer answer_in_one(const std::string &bytes);
// The answer cut before each of the given offsets.
ScriptedAnswer answer_cut_at(const std::string &bytes, const std::vector<std::size_t> &cuts);

class LoopbackServer {
 public:
  // `respond` gets the request head (up to its blank line) of each connection.
  using Responder = std::function<ScriptedAnswer(const std::string &request)>;
  explicit LoopbackServer(Responder respond);
  explicit LoopbackServer(ScriptedAnswer answer);  // the same answer every time
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer &) = delete;
  LoopbackServer &operator=(const LoopbackServer &) = delete;

  int port() const { return port_; }
  // Finishes the connection in progress and stops accepting. The destructor
  // does this too; call it to read requests() of a connection that is
  // still being served.
  void stop();
  // Request heads received so far, in order.
  std::vector<std::string> requests() const;

 private:
  void serve();
  void answer(std::uintptr_t connection);

  Responder respond_;
  std::uintptr_t listener_;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

// A port on 127.0.0.1 whose listener never accepts and whose queue is
// full, so that a connection attempt gets no answer at all.
class UnansweredPort {
 public:
  UnansweredPort();
  ~UnansweredPort();
  UnansweredPort(const UnansweredPort &) = delete;
  UnansweredPort &operator=(const UnansweredPort &) = delete;
  int port() const { return port_; }

 private:
  std::vector<std::uintptr_t> sockets_;  // the listener, then the queued connections
  int port_ = 0;
};

// The request path of a request head ("GET /path HTTP/1.0...").
std::string request_path_of(const std::string &request);
