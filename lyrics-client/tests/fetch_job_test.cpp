#include "fetch_job.h"

#include "digest_text.h"
#include "http_client.h"
#include "loopback_server.h"
#include "recording_lists.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

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

// A batch against a lyrics server in the test process that knows the
// lyrics of some fingerprints: every outcome of a job, one after another.
TEST(FetchLyrics, ReportsEveryJobWithOneLineAndOnePathEntry) {
  TemporaryDirectory directory;
  std::map<std::string, std::string> lyrics_by_request;
  LoopbackServer server([&](const std::string &request) {
    auto found = lyrics_by_request.find(request_path_of(request));
    if (found == lyrics_by_request.end())
      return answer_in_one("HTTP/1.0 404 Not Found\r\n\r\nnot found\n");
    return answer_in_one("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + found->second);
  });
  auto song = [&](const path_string &name, char seed, const char *lyrics = nullptr) {
    fs::path path = directory / name;
    write_file(path, "\xFF\xFB" + std::string(3000, seed));
    unsigned char digest[16];
    EXPECT_EQ(fingerprint_file(path.c_str(), digest), FP_OK);
    if (lyrics != nullptr) lyrics_by_request["/sevrin/fetch/" + hex_text(digest)] = lyrics;
    return path.native();
  };
  auto beside = [&](const path_string &name) { return (directory / name).native(); };

  write_file(directory / "unknown.lrc", "kept");
  write_file(directory / "bad.mp3", std::string("ID3\x04\0\0\0\0\0\x80 audio", 16));
  // Songs whose paths just fit: the lyrics path of the first fits as well
  // (the temporary file beside it has a longer name), that of the second
  // (".lrc" appended) does not.
  path_string long_name(path_capacity - 1 - directory.path().native().size() - 1, PATH_TEXT('n'));
  ASSERT_LE(long_name.size(), 255u) << "temporary directory path too short for this test";
  path_string fitting_stem = long_name.substr(0, long_name.size() - 4);
  path_string overlong_name(1100, PATH_TEXT('x'));
  const struct {
    path_string input;
    path_string line;
    path_string path_entry;
  } jobs[] = {
      {song(PATH_TEXT("봄 노래.mp3"), 'k', "[00:01.00]첫 줄\n[00:02.00]second\n"),
       success(PATH_TEXT("봄 노래.mp3")), beside(PATH_TEXT("봄 노래.lrc"))},
      {song(PATH_TEXT("unknown.mp3"), 'u'), failure(PATH_TEXT("unknown.mp3")),
       beside(PATH_TEXT("unknown.lrc"))},
      {beside(PATH_TEXT("missing.mp3")), failure(PATH_TEXT("missing.mp3")), PATH_TEXT("")},
      {beside(PATH_TEXT("bad.mp3")), failure(PATH_TEXT("bad.mp3")), PATH_TEXT("")},
      {directory.path().native() + path_separator, failure(PATH_TEXT("")), PATH_TEXT("")},
      {song(fitting_stem + PATH_TEXT(".mp3"), 'f', "fits\n"),
       success(fitting_stem + PATH_TEXT(".mp3")), beside(fitting_stem + PATH_TEXT(".lrc"))},
      {song(long_name, 'L'), failure(long_name), PATH_TEXT("")},
      {native("/music/") + overlong_name,
       failure(overlong_name).substr(0, result_line_capacity - 1), PATH_TEXT("")},
  };

  RecordingLists lists(7);  // lines of an earlier batch are still there
  std::vector<path_string> lines, paths;
  std::string calls;
  for (const auto &job : jobs) {
    fetch_lyrics(job.input.c_str(), LyricsServer{"127.0.0.1", server.port()}, lists);
    lines.push_back(job.line);
    paths.push_back(job.path_entry);
    calls += "line select path ";
  }
  EXPECT_EQ(lists.lines, lines);
  EXPECT_EQ(lists.paths, paths);
  EXPECT_EQ(lists.calls, calls);
  EXPECT_EQ(lists.selected, (std::vector{7, 8, 9, 10, 11, 12, 13, 14}));
  EXPECT_EQ(read_file(directory / PATH_TEXT("봄 노래.lrc")), "[00:01.00]첫 줄\r\n[00:02.00]second\r\n");
  EXPECT_EQ(read_file(directory / "unknown.lrc"), "kept");
  EXPECT_EQ(server.requests().size(), 3u) << "a request for each job that got a lyrics path";
}

}  // namespace
