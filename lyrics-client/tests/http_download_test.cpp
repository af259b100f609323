#include "http_client.h"

#include "loopback_server.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <future>
#include <regex>

namespace {

using namespace std::literals;

const std::string ok_head = "HTTP/1.0 200 OK\r\nServer: test\r\n\r\n";
constexpr DownloadLimits quick_limits = {64 * 1024, 2000, 300};  // so that failures come quickly

class HttpDownload : public ::testing::Test {
 protected:
  int download(int port, const char *path = "/", const path_char *mode = PATH_TEXT("wb")) {
    return http_download("127.0.0.1", port, path, output_.c_str(), mode, quick_limits);
  }
  TemporaryDirectory directory_;
  fs::path output_ = directory_ / "out.lrc";
};

ScriptedAnswer after(ScriptedAnswer answer, std::string endless, bool fall_silent = false) {
  answer.endless = std::move(endless);
  answer.fall_silent = fall_silent;
  return answer;
}

// What each answer leaves in an output that held earlier lyrics: a body
// replaces them; a failure leaves them and nothing else behind. A server
// that answers without end fills no disk; one that trickles or falls silent
// holds nobody; a length it cannot state is not trusted.
TEST_F(HttpDownload, StoresTheBodyOfAnAcceptedAnswerOnly) {
  const std::string ok = "HTTP/1.0 200 OK\r\n", earlier = "earlier lyrics";
  std::string large(60000, '\0'), long_head = ok;
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i * 7);
  while (long_head.size() < 5000) long_head += "X-Filler: " + std::string(60, 'f') + "\r\n";
  ScriptedAnswer trickle{std::vector<std::string>(100, "t"), 50};  // a byte every 50 ms: 5 s
  trickle.segments[0] = ok_head;
  const struct {
    ScriptedAnswer answer;
    int result;
    std::string stored;
    const path_char *mode = PATH_TEXT("wb");
  } cases[] = {
      {{{"HTTP/2 200 OKAY, only six bytes count\r\n\r\nany version"}}, DL_OK, "any version"},
      {{{ok_head + "a\nb\r\nc\0\n"s}}, DL_OK, "a\r\nb\r\r\nc\0\r\n"s, PATH_TEXT("w")},
      {{{ok + "X-Odd: a\0b\r\n\r\npast a NUL"s}}, DL_OK, "past a NUL"},
      {{{ok + "conTent-LENGTH:  5 \r\nContent-Length: 5\r\n\r\n12345"}}, DL_OK, "12345"},
      {{{ok + "X-Content-Length: many\r\n\r\nother header"}}, DL_OK, "other header"},
      {{{ok_head + large.substr(0, 3000), large.substr(3000)}}, DL_OK, large},
      {{{"HTTP/1.0 404 Not Found\r\n\r\nbody"}}, DL_BAD_STATUS, earlier},
      {{{"HTTP/1.1 200 Ok\r\n\r\nbody"}}, DL_BAD_STATUS, earlier},
      {{{"http/1.0 200 OK\r\n\r\nbody"}}, DL_BAD_STATUS, earlier},
      {{{"HTTP/1.0  200 OK\r\n\r\nbody"}}, DL_BAD_STATUS, earlier},
      {{{"HTTP/1.0\n200 OK\r\n\r\nbody"}}, DL_BAD_STATUS, earlier},
      {{{"HTTP/1.0 20"}}, DL_BAD_STATUS, earlier},
      {{{ok + "Server: test\r\n"}}, DL_NO_BODY, earlier},
      {{{ok_head}}, DL_NO_BODY, earlier},
      {{{long_head + "\r\nbody"}}, DL_HEADER_TOO_LONG, earlier},
      {after({{"HTTP/1.0 2"}}, "", true), DL_RECEIVE_FAILED, earlier},
      {after({{ok_head}}, std::string(4000, 'e')), DL_TOO_LARGE, earlier},
      {trickle, DL_RECEIVE_FAILED, earlier},
      {{{ok + "Content-Length: 65537\r\n\r\n12345"}}, DL_TOO_LARGE, earlier},
      {after({{ok + "Content-Length: 4\r\n\r\n12345"}}, "", true), DL_LENGTH_MISMATCH, earlier},
      {{{ok + "Content-Length: 5\r\n\r\n1234"}}, DL_LENGTH_MISMATCH, earlier},
      {{{ok + "Content-Length: 5\r\nContent-Length: 6\r\n\r\n12345"}}, DL_BAD_LENGTH, earlier},
      {{{ok + "Content-Length : 5\r\n\r\n12345"}}, DL_BAD_LENGTH, earlier},
      {{{ok + "Content-Length: -5\r\n\r\n12345"}}, DL_BAD_LENGTH, earlier},
      {{{ok + "Content-Length:\r\n\r\n12345"}}, DL_BAD_LENGTH, earlier},
  };
  for (const auto &row : cases) {
    write_file(output_, earlier);
    EXPECT_EQ(download(LoopbackServer(row.answer).port(), "/", row.mode), row.result) << row.answer.segments[0];
    EXPECT_EQ(read_file(output_), row.stored) << row.answer.segments[0];
    EXPECT_EQ(directory_.listing(), "out.lrc");
  }
}

// However the answer is cut into segments, the request goes out whole and
// the same body is stored; a blank line inside the body is body. A request
// too long for its buffer is cut, and thus never ends.
TEST_F(HttpDownload, SendsItsRequestAndFindsStatusAndHeaderEndAcrossEveryCut) {
  const std::string body = "[00:01.00]one\r\n\r\n[00:02.00]two", answer = ok_head + body;
  const std::string overlong = "/" + std::string(2000, '9');
  std::vector<std::string> requests;
  {
    LoopbackServer server([&](const std::string &request) {  // request path: "/<cut>"
      requests.push_back(request);
      std::size_t cut = std::min<std::size_t>(std::strtoul(request.c_str() + 5, nullptr, 10), answer.size());
      return ScriptedAnswer{{answer.substr(0, cut), answer.substr(cut)}};
    });
    for (std::size_t cut = 1; cut < answer.size(); ++cut) {
      ASSERT_EQ(download(server.port(), ("/" + std::to_string(cut)).c_str()), DL_OK) << cut;
      ASSERT_EQ(read_file(output_), body) << "cut at " << cut;
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
  LoopbackServer server(after({{ok_head + "part of the body"}}, "", true));
  auto result = std::async(std::launch::async, [&] { return download(server.port()); });
  std::string name;
  while ((name = directory_.listing()).empty() && result.wait_for(1ms) != std::future_status::ready) {
  }
  char pid[24];
  std::snprintf(pid, sizeof pid, "%lx", current_process_id());
  EXPECT_TRUE(std::regex_match(name, std::regex("\\.carvelo-"s + pid + "-[0-9a-f]+\\.part"))) << name;
  EXPECT_EQ(result.get(), DL_RECEIVE_FAILED);
}

// A refused connection fails at once; one that is never answered fails
// when its wait runs out (a blocking connect would take minutes).
TEST_F(HttpDownload, ReportsAConnectionRefusedOrNotMadeInTime) {
  int refused = LoopbackServer(ScriptedAnswer{}).port();
  UnansweredPort unanswered;
  for (int port : {refused, unanswered.port}) {
    auto result = std::async(std::launch::async, [&] { return download(port); });
    ASSERT_EQ(result.wait_for(10s), std::future_status::ready) << port;
    EXPECT_EQ(result.get(), DL_CONNECT_FAILED) << port;
  }
}

}  // namespace
