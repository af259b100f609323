#include "http_client.h"

#include "loopback_server.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <future>

namespace {

using namespace std::string_literals;

const std::string ok_head = "HTTP/1.0 200 OK\r\nServer: test\r\n\r\n";
// Waits short enough that the failures come quickly.
constexpr DownloadLimits quick_limits = {64 * 1024, 2000, 300};

class HttpDownload : public ::testing::Test {
 protected:
  int download(const LoopbackServer &server, const char *request_path = "/",
               const path_char *mode = PATH_TEXT("wb"),
               const DownloadLimits &limits = lyrics_download_limits) {
    return http_download("127.0.0.1", server.port(), request_path, output_.c_str(), mode, limits);
  }
  int download(ScriptedAnswer answer, const DownloadLimits &limits = lyrics_download_limits) {
    return download(LoopbackServer(std::move(answer)), "/", PATH_TEXT("wb"), limits);
  }
  std::optional<std::string> stored() const { return read_file(output_); }

  TemporaryDirectory directory_;
  const std::filesystem::path output_ = directory_ / "out.lrc";
};

// The request bytes, and a request cut to its buffer, which thus never
// ends, so no answer comes.
TEST_F(HttpDownload, SendsExactlyTheRequestBytesWithinItsBuffer) {
  LoopbackServer server(answer_in_one(ok_head + "x"));
  std::string overlong = "/" + std::string(2000, 'p');
  EXPECT_EQ(download(server, "/sevrin/fetch/00ff"), DL_OK);
  EXPECT_NE(download(server, overlong.c_str(), PATH_TEXT("wb"), quick_limits), DL_OK);
  server.stop();
  EXPECT_EQ(server.requests(),
            (std::vector<std::string>{"GET /sevrin/fetch/00ff HTTP/1.0\r\nHost: 127.0.0.1\r\n"
                                      "Connection: close\r\nAccept-Encoding: \r\n\r\n",
                                      "GET " + overlong.substr(0, 1023 - 4)}));
}

// Each answer replaces the file the one before stored.
TEST_F(HttpDownload, StoresTheBodyOfEveryAcceptedAnswer) {
  std::string large;
  for (int i = 0; i < 100000; ++i) large += static_cast<char>(i * 7);  // NUL bytes included
  const struct {
    ScriptedAnswer answer;
    std::string body;
  } accepted[] = {
      {answer_in_one("HTTP/1.1 200 OK\r\n\r\nlyrics 1.1"), "lyrics 1.1"},
      {answer_in_one("HTTP/1.0 200 OKAY\r\n\r\nonly six bytes count"), "only six bytes count"},
      {answer_in_one("HTTP/2 200 OK whatever\r\n\r\nany version"), "any version"},
      {answer_in_one("HTTP/1.0 200 OK\r\nX-Odd: a\0b\r\n\r\npast a NUL"s), "past a NUL"},
      {answer_in_one("HTTP/1.0 200 OK\r\nconTent-LENGTH:  5 \r\nContent-Length: 5\r\n\r\n12345"),
       "12345"},
      {answer_in_one("HTTP/1.0 200 OK\r\nX-Content-Length: many\r\n\r\nother header"),
       "other header"},
      {answer_cut_at(ok_head + large, {100, 3000, 50000}), large},
  };
  for (const auto &row : accepted) {
    EXPECT_EQ(download(row.answer), DL_OK) << row.body.substr(0, 20);
    EXPECT_EQ(stored(), row.body) << row.body.substr(0, 20);
  }
  EXPECT_EQ(directory_.listing(), "out.lrc");
}

// A server that answers without end fills no disk; one that trickles or
// falls silent holds nobody; a length it cannot state is not trusted.
TEST_F(HttpDownload, FailsWithoutTouchingAnExistingFile) {
  std::string long_head = "HTTP/1.0 200 OK\r\n";
  while (long_head.size() < 5000) long_head += "X-Filler: " + std::string(60, 'f') + "\r\n";
  auto silent_after = [](const std::string &said) {
    ScriptedAnswer silent = answer_in_one(said);
    silent.fall_silent = true;
    return silent;
  };
  ScriptedAnswer endless = answer_in_one(ok_head);
  endless.endless = std::string(4000, 'e');
  ScriptedAnswer trickle = answer_in_one(ok_head);
  trickle.segments.resize(100, "t");  // one byte every 50 ms: 5 s in all
  trickle.pause_ms = 50;
  auto stated = [](const std::string &length_line) {
    return answer_in_one("HTTP/1.0 200 OK\r\n" + length_line + "\r\n\r\n12345");
  };
  const struct {
    std::string name;
    ScriptedAnswer answer;
    int result;
  } failures[] = {
      {"404", answer_in_one("HTTP/1.0 404 Not Found\r\n\r\nbody"), DL_BAD_STATUS},
      {"lowercase k", answer_in_one("HTTP/1.1 200 Ok\r\n\r\nbody"), DL_BAD_STATUS},
      {"lowercase http", answer_in_one("http/1.0 200 OK\r\n\r\nbody"), DL_BAD_STATUS},
      {"two spaces", answer_in_one("HTTP/1.0  200 OK\r\n\r\nbody"), DL_BAD_STATUS},
      {"LF before the space", answer_in_one("HTTP/1.0\n200 OK\r\n\r\nbody"), DL_BAD_STATUS},
      {"NUL before the space", answer_in_one("HTTP/1.\0 200 OK\r\n\r\nbody"s), DL_BAD_STATUS},
      {"nothing", answer_in_one(""), DL_BAD_STATUS},
      {"cut status", answer_in_one("HTTP/1.0 20"), DL_BAD_STATUS},
      {"no header end", answer_in_one("HTTP/1.0 200 OK\r\nServer: test\r\n"), DL_NO_BODY},
      {"no body", answer_in_one(ok_head), DL_NO_BODY},
      {"long header", answer_in_one(long_head + "\r\nbody"), DL_HEADER_TOO_LONG},
      {"silent in the status", silent_after("HTTP/1.0 2"), DL_RECEIVE_FAILED},
      {"silent in the body", silent_after(ok_head + "the first line\n"), DL_RECEIVE_FAILED},
      {"endless body", endless, DL_TOO_LARGE},
      {"trickle past the deadline", trickle, DL_RECEIVE_FAILED},
      {"stated beyond the bound", stated("Content-Length: 65537"), DL_TOO_LARGE},
      {"more than stated, then silent",
       silent_after("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\n12345"), DL_LENGTH_MISMATCH},
      {"less than stated", stated("Content-Length: 6"), DL_LENGTH_MISMATCH},
      {"negative length", stated("Content-Length: -1"), DL_BAD_LENGTH},
      {"blank before the colon", stated("Content-Length : 5"), DL_BAD_LENGTH},
      {"no value", stated("Content-Length:"), DL_BAD_LENGTH},
      {"two values", stated("Content-Length: 5\r\nContent-Length: 6"), DL_BAD_LENGTH},
  };
  for (const auto &row : failures) {
    write_file(output_, "earlier lyrics");
    EXPECT_EQ(download(row.answer, quick_limits), row.result) << row.name;
    EXPECT_EQ(stored(), "earlier lyrics") << row.name;
    EXPECT_EQ(directory_.listing(), "out.lrc") << row.name;
  }
}

// However the answer is cut into segments, the same body is stored; a blank
// line inside the body is body.
TEST_F(HttpDownload, RecognisesStatusAndHeaderEndAcrossEveryCut) {
  const std::string body = "[00:01.00]one\r\n\r\n[00:02.00]two";
  const std::string answer = ok_head + body;
  LoopbackServer server([&](const std::string &request) {  // request path: "/<cut>"
    return answer_cut_at(answer, {std::stoul(request_path_of(request).substr(1))});
  });
  for (std::size_t cut = 1; cut < answer.size(); ++cut) {
    ASSERT_EQ(download(server, ("/" + std::to_string(cut)).c_str()), DL_OK) << "cut at " << cut;
    ASSERT_EQ(stored(), body) << "cut at " << cut;
    std::filesystem::remove(output_);
  }
}

// Text mode stores every LF as CR LF, binary mode keeps the bytes; an
// output that cannot be created is reported as such.
TEST_F(HttpDownload, StoresTextWithCrLfAndReportsAnUnwritableOutput) {
  const std::string body = "a\nb\r\nc\0\n"s;
  LoopbackServer server(answer_in_one(ok_head + body));
  EXPECT_EQ(download(server, "/", PATH_TEXT("w")), DL_OK);
  EXPECT_EQ(stored(), "a\r\nb\r\r\nc\0\r\n"s);
  auto unreachable = directory_ / "no-such-folder" / "out.lrc";
  EXPECT_EQ(http_download("127.0.0.1", server.port(), "/", unreachable.c_str(), PATH_TEXT("w"),
                          lyrics_download_limits),
            DL_CANNOT_WRITE);
  EXPECT_EQ(directory_.listing(), "out.lrc");
}

// A refused connection fails at once; one that is never answered fails
// when its wait runs out (a blocking connect would take minutes).
TEST_F(HttpDownload, ReportsAConnectionRefusedOrNotMadeInTime) {
  int refused_port = LoopbackServer(answer_in_one("")).port();
  UnansweredPort unanswered;
  for (int port : {refused_port, unanswered.port()}) {
    auto result = std::async(std::launch::async, [&] {
      return http_download("127.0.0.1", port, "/", output_.c_str(), PATH_TEXT("wb"), quick_limits);
    });
    ASSERT_EQ(result.wait_for(std::chrono::seconds(30)), std::future_status::ready) << port;
    EXPECT_EQ(result.get(), DL_CONNECT_FAILED) << port;
  }
}

}  // namespace
