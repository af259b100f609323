#include "http_client.h"

#include "loopback_server.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

const std::string ok_head = "HTTP/1.0 200 OK\r\nServer: test\r\nContent-Type: text/plain\r\n\r\n";
constexpr int short_timeout_ms = 300;

class HttpDownload : public ::testing::Test {
 protected:
  void SetUp() override { http_set_timeout(10000); }
  void TearDown() override { http_set_timeout(30000); }

  int download(const LoopbackServer &server, const path_char *mode = PATH_TEXT("wb"),
               const char *request_path = "/sevrin/fetch/0123") {
    return http_download("127.0.0.1", server.port(), request_path, output_.c_str(), mode);
  }
  int download(ScriptedAnswer answer, const path_char *mode = PATH_TEXT("wb")) {
    LoopbackServer server(std::move(answer));
    return download(server, mode);
  }
  std::optional<std::string> stored() const { return read_file(output_); }
  // What the directory holds besides the output: no temporary may remain.
  std::string listing() const { return directory_.listing(); }

  TemporaryDirectory directory_;
  const std::filesystem::path output_ = directory_ / "out.lrc";
};

TEST_F(HttpDownload, SendsExactlyTheRequestBytes) {
  LoopbackServer server(answer_in_one(ok_head + "x"));
  ASSERT_EQ(download(server, PATH_TEXT("wb"), "/sevrin/fetch/00ff"), DL_OK);
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_EQ(server.requests()[0],
            "GET /sevrin/fetch/00ff HTTP/1.0\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
            "Accept-Encoding: \r\n\r\n");
}

TEST_F(HttpDownload, CutsAnOverlongRequestToItsBuffer) {
  http_set_timeout(short_timeout_ms);  // the cut request never ends, so no answer comes
  LoopbackServer server(answer_in_one(""));
  std::string path = "/" + std::string(2000, 'p');
  EXPECT_NE(download(server, PATH_TEXT("wb"), path.c_str()), DL_OK);
  server.stop();
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_EQ(server.requests()[0], "GET " + path.substr(0, 1023 - 4));
}

TEST_F(HttpDownload, AcceptsA200OkStatusLine) {
  for (const char *status : {"HTTP/1.0 200 OK", "HTTP/1.1 200 OK", "HTTP/1.0 200 OKAY",
                             "HTTP/2 200 OK whatever"}) {
    EXPECT_EQ(download(answer_in_one(status + "\r\n\r\nlyrics"s)), DL_OK) << status;
    EXPECT_EQ(stored(), "lyrics") << status;
  }
}

TEST_F(HttpDownload, RejectsEveryOtherStatusLineWithoutCreatingAFile) {
  for (std::string status : {"HTTP/1.0 404 Not Found"s, "HTTP/1.1 200 Ok"s, "http/1.0 200 OK"s,
                             "HTTX/1.0 200 OK"s, "HTTP/1.0  200 OK"s, "HTTP/1.0\n200 OK"s,
                             "HTTP/1.\0 200 OK"s, "ICY 200 OK"s}) {
    EXPECT_EQ(download(answer_in_one(status + "\r\n\r\nbody")), DL_BAD_STATUS) << status;
    EXPECT_EQ(listing(), "") << status;
  }
}

TEST_F(HttpDownload, ReportsAServerThatClosesWithoutAnswering) {
  EXPECT_EQ(download(answer_in_one("")), DL_BAD_STATUS);
  EXPECT_EQ(download(answer_in_one("HTTP/1.0 20")), DL_BAD_STATUS) << "a status line cut short";
  EXPECT_EQ(listing(), "");
}

TEST_F(HttpDownload, ReportsAnAnswerWithoutHeaderEndOrBody) {
  EXPECT_EQ(download(answer_in_one("HTTP/1.0 200 OK\r\nServer: test\r\n")), DL_NO_BODY);
  EXPECT_EQ(download(answer_in_one(ok_head)), DL_NO_BODY) << "empty body";
  EXPECT_EQ(download(answer_cut_at(ok_head + "", {5})), DL_NO_BODY);
  EXPECT_EQ(download(answer_in_one("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n")), DL_NO_BODY);
  EXPECT_EQ(listing(), "");
}

// However the answer is cut into segments, the same body is stored.
TEST_F(HttpDownload, RecognisesStatusAndHeaderEndAcrossEveryCut) {
  const std::string body = "[00:01.00]one\n[00:02.00]two";
  const std::string answer = ok_head + body;
  LoopbackServer server([&](const std::string &request) {  // request path: "/<cut>"
    return answer_cut_at(answer, {std::stoul(request_path_of(request).substr(1))});
  });
  for (std::size_t cut = 1; cut < answer.size(); ++cut) {
    std::string path = "/" + std::to_string(cut);
    ASSERT_EQ(download(server, PATH_TEXT("wb"), path.c_str()), DL_OK) << "cut at " << cut;
    ASSERT_EQ(stored(), body) << "cut at " << cut;
    std::filesystem::remove(output_);
  }
}

TEST_F(HttpDownload, RecognisesAnAnswerSentByteByByte) {
  const std::string answer = "HTTP/1.1 200 OK\r\nA: b\r\n\r\nbody\r\n\r\nmore";
  std::vector<std::size_t> cuts;
  for (std::size_t i = 1; i < answer.size(); ++i) cuts.push_back(i);
  ScriptedAnswer script = answer_cut_at(answer, cuts);
  script.pause_ms = 2;
  EXPECT_EQ(download(script), DL_OK);
  EXPECT_EQ(stored(), "body\r\n\r\nmore");
}

TEST_F(HttpDownload, StoresABlankLineInsideTheBodyAsBody) {
  const std::string body = "first\r\n\r\nsecond\r\n\r\n";
  EXPECT_EQ(download(answer_cut_at(ok_head + body, {ok_head.size()})), DL_OK);
  EXPECT_EQ(stored(), body);
}

TEST_F(HttpDownload, FindsTheHeaderEndPastNulBytesInTheHeaders) {
  EXPECT_EQ(download(answer_in_one("HTTP/1.0 200 OK\r\nX-Odd: a\0b\r\n\r\nbody"s)), DL_OK);
  EXPECT_EQ(stored(), "body");
}

TEST_F(HttpDownload, RefusesAHeaderLongerThanItsBuffer) {
  std::string head = "HTTP/1.0 200 OK\r\n";
  while (head.size() < 5000) head += "X-Filler: " + std::string(60, 'f') + "\r\n";
  EXPECT_EQ(download(answer_in_one(head + "\r\nbody")), DL_HEADER_TOO_LONG);
  EXPECT_EQ(listing(), "");
}

TEST_F(HttpDownload, StoresBodiesOfManyReceivesAndNulBytesUnchanged) {
  std::string body;
  for (int i = 0; i < 100000; ++i) body += static_cast<char>(i * 7);
  EXPECT_EQ(download(answer_cut_at(ok_head + body, {100, 3000, 50000})), DL_OK);
  EXPECT_EQ(stored(), body);
}

TEST_F(HttpDownload, ExpandsNewlinesInTextModeOnly) {
  const std::string body = "a\nb\r\nc\0\n"s;
  EXPECT_EQ(download(answer_in_one(ok_head + body), PATH_TEXT("w")), DL_OK);
  EXPECT_EQ(stored(), "a\r\nb\r\r\nc\0\r\n"s);
  EXPECT_EQ(download(answer_in_one(ok_head + body), PATH_TEXT("wb")), DL_OK);
  EXPECT_EQ(stored(), body);
}

TEST_F(HttpDownload, ChecksTheBodyAgainstItsContentLength) {
  auto with_length = [](const char *length, const std::string &body) {
    return answer_in_one("HTTP/1.0 200 OK\r\nconTent-LENGTH: "s + length + "\r\n\r\n" + body);
  };
  EXPECT_EQ(download(with_length("5", "12345")), DL_OK);
  EXPECT_EQ(stored(), "12345");
  EXPECT_EQ(download(with_length(" 6 ", "12")), DL_LENGTH_MISMATCH) << "closed early";
  EXPECT_EQ(download(with_length("2", "12345")), DL_LENGTH_MISMATCH) << "too long";
  EXPECT_EQ(stored(), "12345") << "the earlier file stays";
  EXPECT_EQ(download(with_length("many", "12")), DL_OK) << "an unreadable length is ignored";
  EXPECT_EQ(listing(), "out.lrc");
}

TEST_F(HttpDownload, KeepsWhatArrivedWhenAServerWithoutLengthClosesEarly) {
  EXPECT_EQ(download(answer_in_one(ok_head + "half of the")), DL_OK);
  EXPECT_EQ(stored(), "half of the");
}

TEST_F(HttpDownload, GivesUpOnASilentServer) {
  write_file(output_, "earlier lyrics");
  http_set_timeout(short_timeout_ms);
  for (const std::string &said : {""s, "HTTP/1.0 2"s, ok_head, ok_head + "the first line\n"}) {
    ScriptedAnswer silent = answer_in_one(said);
    silent.fall_silent = true;
    EXPECT_EQ(download(silent), DL_RECEIVE_FAILED) << said;
    EXPECT_EQ(stored(), "earlier lyrics") << said;
    EXPECT_EQ(listing(), "out.lrc") << said;
  }
}

TEST_F(HttpDownload, LeavesAnExistingFileUntouchedOnFailure) {
  write_file(output_, "earlier lyrics");
  EXPECT_EQ(download(answer_in_one("HTTP/1.0 404 Not Found\r\n\r\nno")), DL_BAD_STATUS);
  EXPECT_EQ(download(answer_in_one(ok_head)), DL_NO_BODY);
  EXPECT_EQ(stored(), "earlier lyrics");
  EXPECT_EQ(download(answer_in_one(ok_head + "new lyrics")), DL_OK);
  EXPECT_EQ(stored(), "new lyrics");
  EXPECT_EQ(listing(), "out.lrc");
}

TEST_F(HttpDownload, ReportsAnOutputFileThatCannotBeCreated) {
  LoopbackServer server(answer_in_one(ok_head + "lyrics"));
  auto unreachable = directory_ / "no-such-folder" / "out.lrc";
  EXPECT_EQ(http_download("127.0.0.1", server.port(), "/", unreachable.c_str(), PATH_TEXT("w")),
            DL_CANNOT_WRITE);
  EXPECT_EQ(listing(), "");
}

TEST_F(HttpDownload, ReportsARefusedConnection) {
  int port;
  {
    LoopbackServer gone(answer_in_one(""));
    port = gone.port();
  }
  EXPECT_EQ(http_download("127.0.0.1", port, "/", output_.c_str(), PATH_TEXT("wb")),
            DL_CONNECT_FAILED);
}

}  // namespace
