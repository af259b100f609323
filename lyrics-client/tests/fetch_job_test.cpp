#include "fetch_job.h"

#include "loopback_server.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using namespace std::literals;

// A generic path ("/" between names) in this platform's form.
path_string native(const std::string &generic) { return fs::path(generic).make_preferred().native(); }

TEST(LyricsPath, ReplacesTheExtensionOfTheFinalComponent) {
  for (const auto &[input, lyrics] : std::initializer_list<std::pair<const char *, const char *>>{
           {"/music/song.final.mp3", "/music/song.final.lrc"}, {"/my.music/track", "/my.music/track.lrc"},
           {"/music/song.", "/music/song.lrc"}, {"/music/.hidden", "/music/.hidden.lrc"}, {"", ".lrc"}}) {
    path_char derived[path_capacity];
    ASSERT_TRUE(derive_lyrics_path(native(input).c_str(), derived, path_capacity)) << input;
    EXPECT_EQ(path_string(derived), native(lyrics)) << input;
  }
}

// The path of `name` in new folders under `base`, `length` characters in
// all; no folder name is empty or longer than a name may be.
path_string path_of_length(const fs::path &base, std::size_t length, const path_string &name) {
  fs::path folder = base;
  for (std::size_t missing; (missing = length - folder.native().size() - 1 - name.size()) > 0;) {
    std::size_t part = std::min<std::size_t>(200, missing - 1);
    folder /= path_string(part - (missing - 1 - part == 1), PATH_TEXT('d'));
  }
  fs::create_directories(folder);
  return (folder / name).native();
}

// A batch against a lyrics server that knows the lyrics of some
// fingerprints: every outcome of a job, one after another.
TEST(FetchLyrics, ReportsEveryJobWithOneLineAndOnePathEntry) {
  TemporaryDirectory directory;
  std::map<std::string, std::string> lyrics_by_request;
  int requests = 0;
  LoopbackServer server([&](const std::string &request) {
    ++requests;
    auto found = lyrics_by_request.find(request.substr(4, request.find(' ', 4) - 4));
    if (found == lyrics_by_request.end()) return ScriptedAnswer{{"HTTP/1.0 404 Not Found\r\n\r\n"}};
    return ScriptedAnswer{{"HTTP/1.0 200 OK\r\n\r\n" + found->second}};
  });
  auto in_directory = [&](const path_string &name) { return (directory / name).native(); };
  char seed = 'a';  // each song its own fingerprint
  auto song = [&](const path_string &path, const char *lyrics = nullptr) {
    write_file(path, "\xFF\xFB" + std::string(3000, seed++));
    unsigned char digest[16];
    char text[33];
    EXPECT_EQ(fingerprint_file(path.c_str(), digest), FP_OK);
    fingerprint_to_hex(digest, text);
    if (lyrics != nullptr) lyrics_by_request["/sevrin/fetch/"s + text] = lyrics;
    return path;
  };
  auto success = [](const path_string &name) { return success_line_prefix + name; };
  auto failure = [](const path_string &name) { return failure_line_prefix + name; };
  write_file(directory / "unknown.lrc", "kept");
  write_file(directory / "bad.mp3", "ID3\x04\0\0\0\0\0\x80 audio"s);
  // Paths at the platform's limit: the one that just fits has a lyrics path
  // that fits as well; the other one's (".lrc" appended) does not.
  // (The name is longer than the download's temporary's name.)
  const path_string fitting = path_string(40, PATH_TEXT('f')) + PATH_TEXT(".mp3");
  const path_string fits = path_of_length(directory.path, path_capacity - 1, fitting);
  const path_string no_extension(40, PATH_TEXT('L'));
  // A name too long for a line is cut before a whole character.
  path_string overlong;
  while (overlong.size() < 3000) overlong += PATH_TEXT("긴");
  const std::size_t unit = sizeof(path_char) == 1 ? 3 : 1;  // per character
  const std::size_t room = (result_line_capacity - 1 - path_string(failure_line_prefix).size()) / unit;
  const struct {
    path_string input, line, path_entry;
  } jobs[] = {
      {song(in_directory(PATH_TEXT("봄 노래.mp3")), "[00:01.00]첫 줄\n[00:02.00]second\n"),
       success(PATH_TEXT("봄 노래.mp3")), in_directory(PATH_TEXT("봄 노래.lrc"))},
      {song(in_directory(PATH_TEXT("unknown.mp3"))), failure(PATH_TEXT("unknown.mp3")),
       in_directory(PATH_TEXT("unknown.lrc"))},
      {in_directory(PATH_TEXT("missing.mp3")), failure(PATH_TEXT("missing.mp3")), PATH_TEXT("")},
      {in_directory(PATH_TEXT("bad.mp3")), failure(PATH_TEXT("bad.mp3")), PATH_TEXT("")},
      {directory.path.native() + path_separator, failure(PATH_TEXT("")), PATH_TEXT("")},
      {song(fits, "fits\n"), success(fitting), fits.substr(0, fits.size() - 3) + PATH_TEXT("lrc")},
      {song(path_of_length(directory.path, path_capacity - 1, no_extension)), failure(no_extension), PATH_TEXT("")},
#ifdef _WIN32
      // Over the limit, though the system opens it and its lyrics path would fit.
      {song(path_of_length(directory.path, path_capacity, PATH_TEXT("over.mpeg-audio")), "over\n"),
       failure(PATH_TEXT("over.mpeg-audio")), PATH_TEXT("")},
#endif
      {native("/music/") + overlong, failure(overlong.substr(0, room * unit)), PATH_TEXT("")},
  };
  RecordingLists lists, expected;
  lists.first_index = 7;  // lines of an earlier batch are still there
  for (const auto &job : jobs) {
    fetch_lyrics(job.input.c_str(), LyricsServer{"127.0.0.1", server.port()}, lists);
    expected.lines.push_back(job.line);
    expected.paths.push_back(job.path_entry);
    expected.selected.push_back(7 + static_cast<int>(expected.selected.size()));
  }
  EXPECT_EQ(lists.lines, expected.lines);
  EXPECT_EQ(lists.paths, expected.paths);
  EXPECT_EQ(lists.selected, expected.selected);
  EXPECT_EQ(read_file(directory / PATH_TEXT("봄 노래.lrc")), "[00:01.00]첫 줄\r\n[00:02.00]second\r\n");
  EXPECT_EQ(read_file(directory / "unknown.lrc"), "kept");
  EXPECT_EQ(requests, 3) << "a request for each job that got a lyrics path";
}

}  // namespace
