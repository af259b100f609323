// Windows only: wide paths with Hangul names, the runtime's text mode, and
// the lyrics job with backslash paths, all through Winsock.
#include "fetch_job.h"
#include "fingerprint.h"
#include "http_client.h"
#include "loopback_server.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

class WindowsPaths : public ::testing::Test {
 protected:
  TemporaryDirectory directory_;
  const fs::path folder_ = directory_ / L"가요 모음";
  void SetUp() override { fs::create_directory(folder_); }
};

struct LastLine final : ResultLists {
  int add_result_line(const wchar_t *text) override {
    line = text;
    return 0;
  }
  void select_result_line(int) override {}
  void add_path_entry(const wchar_t *text) override { path = text; }
  std::wstring line, path;
};

TEST_F(WindowsPaths, FingerprintsAFileWithAHangulName) {
  fs::path song = folder_ / L"봄날.mp3";
  write_file(song, std::string("ID3\x04\x00\x00\x00\x00\x00\x02" "TT" "abc", 15));
  unsigned char digest[16];
  ASSERT_EQ(fingerprint_file(song.c_str(), digest), FP_OK);
  char text[33];
  fingerprint_to_hex(digest, text);
  EXPECT_STREQ(text, "900150983cd24fb0d6963f7d28e17f72");  // MD5 of "abc"
}

TEST_F(WindowsPaths, StoresTextModeDownloadsWithCrLfUnderAHangulName) {
  LoopbackServer server(answer_in_one("HTTP/1.0 200 OK\r\n\r\n첫 줄\n둘째 줄\n"));
  fs::path lyrics = folder_ / L"봄날.lrc";
  ASSERT_EQ(http_download("127.0.0.1", server.port(), "/", lyrics.c_str(), L"w"), DL_OK);
  EXPECT_EQ(read_file(lyrics), "첫 줄\r\n둘째 줄\r\n");
  EXPECT_EQ(directory_.listing(), "가요 모음");
}

TEST_F(WindowsPaths, StoresALyricsFileWhosePathIsNearTheLimit) {
  // The temporary file beside it has a name past the 260-character limit.
  std::wstring output = (folder_ / L"").native();
  fs::path deep = folder_ / std::wstring(240 - output.size(), L'd');
  fs::create_directory(deep);
  fs::path lyrics = deep / L"노래 가사.lrc";
  ASSERT_GE(lyrics.native().size(), 250u);
  ASSERT_LT(lyrics.native().size(), 260u);
  LoopbackServer server(answer_in_one("HTTP/1.0 200 OK\r\n\r\nlong\n"));

  ASSERT_EQ(http_download("127.0.0.1", server.port(), "/", lyrics.c_str(), L"w"), DL_OK);
  EXPECT_EQ(read_file(lyrics), "long\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(deep), fs::directory_iterator()), 1);
}

TEST_F(WindowsPaths, RunsTheJobOnABackslashPath) {
  fs::path song = folder_ / L"my.songs" / L"노래";
  fs::create_directory(song.parent_path());
  write_file(song, "\xFF\xFB tune");
  LoopbackServer server(answer_in_one("HTTP/1.1 200 OK\r\n\r\n[00:00.00]가사\n"));
  LastLine lists;
  fetch_lyrics(song.c_str(), LyricsServer{"127.0.0.1", server.port()}, lists);

  EXPECT_EQ(lists.line, L"성공: 노래");
  EXPECT_EQ(lists.path, song.native() + L".lrc");
  EXPECT_EQ(read_file(song.native() + L".lrc"), "[00:00.00]가사\r\n");
}

}  // namespace
