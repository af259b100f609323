#include "http_client.h"

#include "loopback_server.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <future>
#include <regex>

namespace {

using namespace std::literals;

const std::string ok = "HTTP/1.0 200 OK\r\n", ok_head = ok + "\r\n", earlier = "earlier lyrics";
constexpr DownloadLimits quick_limits = {64 * 1024, 2000, 300};  // so that failures come quickly

class HttpDownload : public ::testing::Test {
 protected:
  int download(int port, const char *path = "/", const path_char *mode = PATH_TEXT("wb")) {
    return http_download("127.0.0.1", port, path, output_.c_str(), mode, quick_limits);
  }
  TemporaryDirectory directory_;
  fs::path output_ = directory_ / "out.lrc";
};

// What each answer leaves in an output that held earlier lyrics: a failure
// leaves them and nothing else behind, so that a server that sends too much,
// trickles or falls silent costs neither the disk nor the lyrics.
TEST_F(HttpDownload, StoresTheBodyOfAnAcceptedAnswerOnly) {
  const std::string large = std::string(30000, '\0') + std::string(30000, '\xFF');
  std::vector<std::string> trickle(150, "t");  // a byte every 15 ms, past the deadline
  trickle[0] = ok_head;
  const std::tuple<ScriptedAnswer, int, std::string> cases[] = {
      {{{"HTTP/2 200 OKAY, only six bytes count\r\n\r\nany version"}}, DL_OK, "any version"},
      {{{ok + "X-Content-Length: x\r\nconTent-LENGTH:  5 \r\nContent-Length: 5\r\n\r\n12345"}},
       DL_OK, "12345"},
      {{{ok_head + large}}, DL_OK, large},
      {{{"HTTP/1.0 404 Not Found\r\n\r\nbody"}}, DL_BAD_STATUS, earlier},
      {{{"HTTP/1.0\n200 OK\r\n\r\nbody"}}, DL_BAD_STATUS, earlier},
      {{{ok_head}}, DL_NO_BODY, earlier},
      {{{ok + "X-Long: " + std::string(5000, 'f') + "\r\n\r\nbody"}}, DL_HEADER_TOO_LONG, earlier},
      {{{"HTTP/1.0 2"}, true}, DL_RECEIVE_FAILED, earlier},
      {{trickle}, DL_RECEIVE_FAILED, earlier},
      {{{ok_head + large + large}}, DL_TOO_LARGE, earlier},
      {{{ok + "Content-Length: 65537\r\n\r\n12345"}}, DL_TOO_LARGE, earlier},
      {{{ok + "Content-Length: 4\r\n\r\n12345"}, true}, DL_LENGTH_MISMATCH, earlier},
      {{{ok + "Content-Length: 5\r\nContent-Length: 6\r\n\r\n12345"}}, DL_BAD_LENGTH, earlier},
      {{{ok + "Content-Length : 5\r\n\r\n12345"}}, DL_BAD_LENGTH, earlier},
  };
  for (const auto &[answer, result, stored] : cases) {
    write_file(output_, earlier);
    const std::string start = answer.segments[0].substr(0, 80);
    EXPECT_EQ(download(LoopbackServer(answer).port()), result) << start;
    EXPECT_EQ(read_file(output_), stored) << start;
    EXPECT_EQ(directory_.listing(), "out.lrc ") << start;
  }
}

// However the answer is cut, the same text is stored, each LF as CR LF (a
// blank line in it is body); a request too long for its buffer is cut, and
// thus never ends.
TEST_F(HttpDownload, SendsItsRequestAndFindsStatusAndHeaderEndAcrossEveryCut) {
  const std::string body = "[00:01.00]one\r\n\r\n[00:02.00]two\n", answer = ok_head + body;
  const std::string overlong = "/" + std::string(2000, '9');
  std::vector<std::string> requests;
  {
    LoopbackServer server([&](const std::string &request) {  // request path: "/<cut>"
      requests.push_back(request);
      std::size_t cut = std::min<std::size_t>(std::strtoul(&request[5], nullptr, 10), answer.size());
      return ScriptedAnswer{{answer.substr(0, cut), answer.substr(cut)}};
    });
    for (std::size_t cut = 1; cut < answer.size(); ++cut) {
      const std::string path = "/" + std::to_string(cut);
      ASSERT_EQ(download(server.port(), path.c_str(), PATH_TEXT("w")), DL_OK) << path;
      ASSERT_EQ(read_file(output_), "[00:01.00]one\r\r\n\r\r\n[00:02.00]two\r\n") << path;
    }
    EXPECT_EQ(download(server.port(), overlong.c_str()), DL_RECEIVE_FAILED);
    output_ = directory_ / "no-such-folder" / "out.lrc";
    EXPECT_EQ(download(server.port(), "/9"), DL_CANNOT_WRITE);
  }
  EXPECT_EQ(requests[0], "GET /1 HTTP/1.0\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                         "Accept-Encoding: \r\n\r\n");
  EXPECT_EQ(requests.at(answer.size() - 1), "GET " + overlong.substr(0, 1023 - 4));
}

// While the body arrives it is held in a temporary beside the output.
TEST_F(HttpDownload, KeepsTheBodyInATemporaryNamedAfterTheProcess) {
  LoopbackServer server({{ok_head + "part of the body"}, true});
  auto job = std::async(std::launch::async, [&] { return download(server.port()); });
  std::string name;
  while ((name = directory_.listing()).empty() && job.wait_for(1ms) != std::future_status::ready) {
  }
  char pid[24];
  std::snprintf(pid, sizeof pid, "%lx", current_process_id());
  EXPECT_TRUE(std::regex_match(name, std::regex("\\.carvelo-"s + pid + "-[0-9a-f]+\\.part ")))
      << name;
  EXPECT_EQ(job.get(), DL_RECEIVE_FAILED);
}

// A listener whose queue is full leaves further connections unanswered: the
// download gives up when its wait runs out, not after minutes as a blocking connect.
TEST_F(HttpDownload, GivesUpAConnectionNotMadeInTime) {
  int port;
  std::uint32_t loopback;
  std::vector<socket_handle> queue = {listen_on_loopback(0, &port)};
  ASSERT_TRUE(resolve_ipv4("127.0.0.1", &loopback));
  do queue.push_back(tcp_socket_open());
  while (queue.size() < 64 && socket_connect(queue.back(), loopback, std::uint16_t(port), 200));
  auto result = std::async(std::launch::async, [&] { return download(port); });
  ASSERT_EQ(result.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(result.get(), DL_CONNECT_FAILED);
  for (socket_handle socket : queue) socket_close(socket);
}

}  // namespace
