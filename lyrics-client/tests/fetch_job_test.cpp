#include "fetch_job.h"

#include "fingerprint.h"
#include "http_client.h"
#include "loopback_server.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using path_string = std::basic_string<path_char>;
namespace fs = std::filesystem;

// Records what a job does to the two lists, in order.
class RecordingLists final : public ResultLists {
 public:
  explicit RecordingLists(int lines_before = 0) : lines_before_(lines_before) {}
  int add_result_line(const path_char *line) override {
    lines.push_back(line);
    calls += "line ";
    return lines_before_ + static_cast<int>(lines.size()) - 1;
  }
  void select_result_line(int index) override {
    selected.push_back(index);
    calls += "select ";
  }
  void add_path_entry(const path_char *path) override {
    paths.push_back(path);
    calls += "path ";
  }

  std::vector<path_string> lines;
  std::vector<path_string> paths;
  std::vector<int> selected;
  std::string calls;

 private:
  int lines_before_;
};

// A generic path with "/" written with this platform's separator.
path_string native(const std::string &generic) {
  path_string path;
  for (char c : generic) path += c == '/' ? path_separator : static_cast<path_char>(c);
  return path;
}

path_string success(const path_string &name) { return success_line_prefix + name; }
path_string failure(const path_string &name) { return failure_line_prefix + name; }

TEST(LyricsPath, ReplacesTheExtensionOfTheFinalComponent) {
  const struct {
    const char *input;
    const char *lyrics;
  } table[] = {
      {"/music/song.mp3", "/music/song.lrc"},
      {"/music/song.final.mp3", "/music/song.final.lrc"},
      {"/music/song.MP3", "/music/song.lrc"},
      {"/music/track", "/music/track.lrc"},
      {"/my.music/track", "/my.music/track.lrc"},
      {"/music/song.", "/music/song.lrc"},
      {"/music/.hidden", "/music/.hidden.lrc"},
      {"/music/.hidden.mp3", "/music/.hidden.lrc"},
      {"song.mp3", "song.lrc"},
      {".mp3", ".mp3.lrc"},
      {"/music/", "/music/.lrc"},
      {"", ".lrc"},
  };
  for (const auto &row : table) {
    path_char lyrics[path_capacity];
    ASSERT_TRUE(derive_lyrics_path(native(row.input).c_str(), lyrics, path_capacity)) << row.input;
    EXPECT_EQ(path_string(lyrics), native(row.lyrics)) << row.input;
  }
}

TEST(LyricsPath, RefusesAPathThatDoesNotFitItsBuffer) {
  path_char lyrics[path_capacity + 1];
  lyrics[path_capacity] = PATH_TEXT('#');
  path_string fits = native("/m/") + path_string(path_capacity - 1 - 7, PATH_TEXT('x')) + PATH_TEXT(".mp3");
  ASSERT_TRUE(derive_lyrics_path(fits.c_str(), lyrics, path_capacity));
  EXPECT_EQ(path_string(lyrics).size(), std::size_t{path_capacity - 1});

  path_string too_long = native("/m/") + path_string(path_capacity - 1 - 6, PATH_TEXT('x')) + PATH_TEXT(".a");
  EXPECT_FALSE(derive_lyrics_path(too_long.c_str(), lyrics, path_capacity));
  EXPECT_EQ(lyrics[0], path_char{});
  EXPECT_EQ(lyrics[path_capacity], PATH_TEXT('#')) << "written past the buffer";
}

// A lyrics server in the test process that knows the lyrics of some fingerprints.
class FetchLyrics : public ::testing::Test {
 protected:
  FetchLyrics()
      : server_([this](const std::string &request) {
          auto found = lyrics_by_request_.find(request_path_of(request));
          if (found == lyrics_by_request_.end())
            return answer_in_one("HTTP/1.0 404 Not Found\r\n\r\nnot found\n");
          return answer_in_one("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + found->second);
        }),
        lyrics_server_{"127.0.0.1", server_.port()} {
    http_set_timeout(10000);
  }
  ~FetchLyrics() override { http_set_timeout(30000); }

  // A music file whose lyrics the server knows; returns its path.
  fs::path known_song(const fs::path &name, const std::string &lyrics, char seed = 'k') {
    fs::path path = song(name, seed);
    unsigned char digest[16];
    EXPECT_EQ(fingerprint_file(path.c_str(), digest), FP_OK);
    char text[33];
    fingerprint_to_hex(digest, text);
    lyrics_by_request_[std::string("/sevrin/fetch/") + text] = lyrics;
    return path;
  }
  fs::path song(const fs::path &name, char seed = 'u') {
    fs::path path = directory_ / name;
    write_file(path, std::string("\xFF\xFB") + std::string(3000, seed));
    return path;
  }
  std::size_t requests_made() const { return server_.requests().size(); }

  TemporaryDirectory directory_;
  std::map<std::string, std::string> lyrics_by_request_;
  LoopbackServer server_;
  LyricsServer lyrics_server_;
  RecordingLists lists_;
};

TEST_F(FetchLyrics, StoresTheLyricsBesideTheSongAndReportsSuccess) {
  fs::path song = known_song("song.mp3", "[00:01.00]first\n[00:02.00]second\n");
  fetch_lyrics(song.c_str(), lyrics_server_, lists_);

  EXPECT_EQ(lists_.calls, "line select path ");
  EXPECT_EQ(lists_.lines, std::vector{success(PATH_TEXT("song.mp3"))});
  EXPECT_EQ(lists_.selected, std::vector{0});
  fs::path lyrics = directory_ / "song.lrc";
  EXPECT_EQ(lists_.paths, std::vector{lyrics.native()});
  EXPECT_EQ(read_file(lyrics), "[00:01.00]first\r\n[00:02.00]second\r\n");
  EXPECT_EQ(requests_made(), 1u);
}

TEST_F(FetchLyrics, MakesNoRequestForAFileThatCannotBeFingerprinted) {
  fs::path bad_tag = directory_ / "bad.mp3";
  write_file(bad_tag, std::string("ID3\x04\x00\x00\x00\x00\x00\x80 audio", 16));
  fetch_lyrics(bad_tag.c_str(), lyrics_server_, lists_);
  fetch_lyrics((directory_ / "missing.mp3").c_str(), lyrics_server_, lists_);

  EXPECT_EQ(lists_.lines, (std::vector{failure(PATH_TEXT("bad.mp3")), failure(PATH_TEXT("missing.mp3"))}));
  EXPECT_EQ(lists_.paths, (std::vector<path_string>{PATH_TEXT(""), PATH_TEXT("")}));
  EXPECT_EQ(requests_made(), 0u);
  EXPECT_EQ(directory_.listing(), "bad.mp3");
}

TEST_F(FetchLyrics, LeavesExistingLyricsAloneWhenTheServerHasNone) {
  fs::path unknown = song("unknown.mp3");
  write_file(directory_ / "unknown.lrc", "kept");
  fetch_lyrics(unknown.c_str(), lyrics_server_, lists_);

  EXPECT_EQ(lists_.lines, std::vector{failure(PATH_TEXT("unknown.mp3"))});
  EXPECT_EQ(lists_.paths, std::vector{(directory_ / "unknown.lrc").native()});
  EXPECT_EQ(read_file(directory_ / "unknown.lrc"), "kept");
  EXPECT_EQ(requests_made(), 1u);
  EXPECT_EQ(directory_.listing(), "unknown.lrc unknown.mp3");
}

TEST_F(FetchLyrics, KeepsBothListsInStepOverABatch) {
  RecordingLists lists(7);  // lines of an earlier batch are still there
  std::vector<fs::path> batch = {known_song("a.mp3", "a\n", 'a'), song("b.mp3", 'b'),
                                 directory_ / "c.mp3", known_song("d.mp3", "d\n", 'd'),
                                 song("e.mp3", 'e')};
  for (const fs::path &path : batch) fetch_lyrics(path.c_str(), lyrics_server_, lists);

  ASSERT_EQ(lists.lines.size(), batch.size());
  EXPECT_EQ(lists.paths.size(), batch.size());
  EXPECT_EQ(lists.selected, (std::vector{7, 8, 9, 10, 11}));
  EXPECT_EQ(lists.lines[0], success(PATH_TEXT("a.mp3")));
  EXPECT_EQ(lists.lines[1], failure(PATH_TEXT("b.mp3")));
  EXPECT_EQ(lists.lines[2], failure(PATH_TEXT("c.mp3")));
  EXPECT_EQ(lists.paths[2], PATH_TEXT(""));
  EXPECT_EQ(lists.lines[3], success(PATH_TEXT("d.mp3")));
  EXPECT_EQ(lists.paths[3], (directory_ / "d.lrc").native());
  EXPECT_EQ(requests_made(), 4u);
}

TEST_F(FetchLyrics, ReportsAFileWhoseLyricsPathWouldNotFit) {
  // The song's own path just fits; with ".lrc" appended the lyrics path would not.
  std::size_t room = path_capacity - 1 - directory_.path().native().size() - 1;
  ASSERT_LE(room, 255u) << "temporary directory path too short for this test";
  fs::path long_song = song(path_string(room, PATH_TEXT('n')), 'L');
  lyrics_by_request_.clear();
  fetch_lyrics(long_song.c_str(), lyrics_server_, lists_);

  EXPECT_EQ(lists_.lines, std::vector{failure(path_string(room, PATH_TEXT('n')))});
  EXPECT_EQ(lists_.paths, std::vector<path_string>{PATH_TEXT("")});
  EXPECT_EQ(requests_made(), 0u);
}

TEST_F(FetchLyrics, ReportsAnOverlongInputPathWithinItsLineBuffer) {
  path_string name(3000, PATH_TEXT('x'));
  path_string input = native("/music/") + name;
  fetch_lyrics(input.c_str(), lyrics_server_, lists_);

  ASSERT_EQ(lists_.lines.size(), 1u);
  EXPECT_EQ(lists_.lines[0].size(), std::size_t{result_line_capacity - 1});
  EXPECT_TRUE(lists_.lines[0].starts_with(failure_line_prefix));
  EXPECT_EQ(lists_.paths, std::vector<path_string>{PATH_TEXT("")});
  EXPECT_EQ(requests_made(), 0u);
}

TEST_F(FetchLyrics, NamesTheFileByWhatFollowsTheLastSeparator) {
  fetch_lyrics(native("/music/").c_str(), lyrics_server_, lists_);
  fetch_lyrics(PATH_TEXT("bare-name.mp3"), lyrics_server_, lists_);
  EXPECT_EQ(lists_.lines, (std::vector{failure(PATH_TEXT("")), failure(PATH_TEXT("bare-name.mp3"))}));
}

}  // namespace
