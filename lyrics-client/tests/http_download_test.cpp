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
  // What the directory holds: no temporary may remain.
  std::string listing() const { return directory_.listing(); }

  TemporaryDirectory directory_;
  const std::filesystem::path output_ = directory_ / "out.lrc";
};

// The request bytes, and a request cut to its buffer, which thus never
// ends, so no answer comes.
TEST_F(HttpDownload, SendsExactlyTheRequestBytesWithinItsBuffer) {
  LoopbackServer server(answer_in_one(ok_head + "x"));
  std::string overlong = "/" + std::string(2000, 'p');
  EXPECT_EQ(download(server, PATH_TEXT("wb"), "/sevrin/fetch/00ff"), DL_OK);
  http_set_timeout(short_timeout_ms);
  EXPECT_NE(download(server, PATH_TEXT("wb"), overlong.c_str()), DL_OK);
  server.stop();
  EXPECT_EQ(server.requests(),
            (std::vector<std::string>{"GET /sevrin/fetch/00ff HTTP/1.0\r\nHost: 127.0.0.1\r\n"
                                      "Connection: close\r\nAccept-Encoding: \r\n\r\n",
                                      "GET " + overlong.substr(0, 1023 - 4)}));
}

// Each answer replaces the file the one before stored.
TEST_F(HttpDownload, StoresTheBodyOfEveryAcceptedAnswer) {
  const struct {
    std::string answer;
    std::string body;
  } accepted[] = {
      {"HTTP/1.0 200 OK\r\n\r\nlyrics", "lyrics"},
      {"HTTP/1.1 200 OK\r\n\r\nlyrics 1.1", "lyrics 1.1"},
      {"HTTP/1.0 200 OKAY\r\n\r\nonly six bytes count", "only six bytes count"},
      {"HTTP/2 200 OK whatever\r\n\r\nany version", "any version"},
      {"HTTP/1.0 200 OK\r\nX-Odd: a\0b\r\n\r\npast a NUL"s, "past a NUL"},
      {"HTTP/1.0 200 OK\r\nconTent-LENGTH:  5 \r\n\r\n12345", "12345"},
      {"HTTP/1.0 200 OK\r\nContent-Length: many\r\n\r\nunreadable length", "unreadable length"},
  };
  for (const auto &row : accepted) {
    EXPECT_EQ(download(answer_in_one(row.answer)), DL_OK) << row.answer;
    EXPECT_EQ(stored(), row.body) << row.answer;
  }
  EXPECT_EQ(listing(), "out.lrc");
}

TEST_F(HttpDownload, FailsWithoutTouchingAnExistingFile) {
  std::string long_head = "HTTP/1.0 200 OK\r\n";
  while (long_head.size() < 5000) long_head += "X-Filler: " + std::string(60, 'f') + "\r\n";
  const struct {
    std::string answer;
    int result;
  } failures[] = {
      {"HTTP/1.0 404 Not Found\r\n\r\nbody", DL_BAD_STATUS},
      {"HTTP/1.1 200 Ok\r\n\r\nbody", DL_BAD_STATUS},
      {"http/1.0 200 OK\r\n\r\nbody", DL_BAD_STATUS},
      {"HTTP/1.0  200 OK\r\n\r\nbody", DL_BAD_STATUS},
      {"HTTP/1.0\n200 OK\r\n\r\nbody", DL_BAD_STATUS},
      {"HTTP/1.\0 200 OK\r\n\r\nbody"s, DL_BAD_STATUS},
      {"", DL_BAD_STATUS},
      {"HTTP/1.0 20", DL_BAD_STATUS},
      {"HTTP/1.0 200 OK\r\nServer: test\r\n", DL_NO_BODY},
      {ok_head, DL_NO_BODY},
      {long_head + "\r\nbody", DL_HEADER_TOO_LONG},
      {"HTTP/1.0 200 OK\r\nContent-Length: 6\r\n\r\n12", DL_LENGTH_MISMATCH},
      {"HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\n12345", DL_LENGTH_MISMATCH},
  };
  for (const auto &row : failures) {
    write_file(output_, "earlier lyrics");
    EXPECT_EQ(download(answer_in_one(row.answer)), row.result) << row.answer;
    EXPECT_EQ(stored(), "earlier lyrics"s) << row.answer;
    EXPECT_EQ(listing(), "out.lrc") << row.answer;
  }
}

TEST_F(HttpDownload, GivesUpOnASilentServer) {
  write_file(output_, "earlier lyrics");
  http_set_timeout(short_timeout_ms);
  for (const std::string &said : {""s, "HTTP/1.0 2"s, ok_head, ok_head + "the first line\n"}) {
    ScriptedAnswer silent = answer_in_one(said);
    silent.fall_silent = true;
    EXPECT_EQ(download(silent), DL_RECEIVE_FAILED) << said;
    EXPECT_EQ(stored(), "earlier lyrics"s) << said;
    EXPECT_EQ(listing(), "out.lrc") << said;
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
    std::string path = "/" + std::to_string(cut);
    ASSERT_EQ(download(server, PATH_TEXT("wb"), path.c_str()), DL_OK) << "cut at " << cut;
    ASSERT_EQ(stored(), body) << "cut at " << cut;
    std::filesystem::remove(output_);
  }
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
