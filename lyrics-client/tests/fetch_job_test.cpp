#include "fetch_job.h"

#include "loopback_server.h"
#include "recording_lists.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <map>

namespace {

namespace fs = std::filesystem;

// A generic path ("/" between names) in this platform's form.
path_string native(const std::string &generic) {
  return fs::path(generic).make_preferred().native();
}

path_string repeated(const path_string &text, std::size_t times) {
  path_string all;
  while (times-- > 0) all += text;
  return all;
}

// A new folder under `base` such that the folder, a separator and a name of
// `name_length` characters make a path of exactly `length` characters. Its
// own names stay short, since each path component has a limit of its own.
fs::path folder_for_path_length(const fs::path &base, std::size_t length, std::size_t name_length) {
  fs::path folder = base;
  std::size_t missing = length - base.native().size() - 1 - name_length;
  for (int level = 0; missing > 0; ++level) {
    std::size_t name = std::min<std::size_t>(200, missing - 1);
    if (missing - 1 - name == 1) --name;  // leave no room for an empty name
    folder /= path_string(name, static_cast<path_char>('a' + level));
    missing -= 1 + name;
  }
  fs::create_directories(folder);
  return folder;
}

TEST(LyricsPath, ReplacesTheExtensionOfTheFinalComponent) {
  const struct {
    const char *input;
    const char *lyrics;
  } table[] = {
      {"/music/song.final.mp3", "/music/song.final.lrc"},
      {"/my.music/track", "/my.music/track.lrc"},
      {"/music/song.", "/music/song.lrc"},
      {"/music/.hidden", "/music/.hidden.lrc"},
      {"/music/.hidden.mp3", "/music/.hidden.lrc"},
      {"song.mp3", "song.lrc"},
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
    if (found == lyrics_by_request.end()) return answer_in_one("HTTP/1.0 404 Not Found\r\n\r\n");
    return answer_in_one("HTTP/1.0 200 OK\r\n\r\n" + found->second);
  });
  auto beside = [&](const path_string &name) { return (directory / name).native(); };
  auto song = [&](const path_string &name, char seed, const char *lyrics = nullptr) {
    write_file(directory / name, "\xFF\xFB" + std::string(3000, seed));
    unsigned char digest[16];
    EXPECT_EQ(fingerprint_file(beside(name).c_str(), digest), FP_OK);
    if (lyrics != nullptr) lyrics_by_request["/sevrin/fetch/" + hex_text(digest)] = lyrics;
    return beside(name);
  };
  auto success = [](const path_string &name) { return success_line_prefix + name; };
  auto failure = [](const path_string &name) { return failure_line_prefix + name; };

  write_file(directory / "unknown.lrc", "kept");
  write_file(directory / "bad.mp3", std::string("ID3\x04\0\0\0\0\0\x80 audio", 16));
  // Paths at the platform's limit: the one that just fits has a lyrics path
  // that fits as well, the other one (".lrc" appended) does not.
  auto at_length = [&](std::size_t length, const path_string &name) {
    return (folder_for_path_length(directory.path(), length, name.size()) / name).native();
  };
  const path_string fitting = path_string(40, PATH_TEXT('f')) + PATH_TEXT(".mp3");
  const path_string fitting_path = at_length(path_capacity - 1, fitting);
  const path_string no_extension(40, PATH_TEXT('L'));
  // 100 Hangul characters, 300 bytes in UTF-8.
  const path_string hangul =
      repeated(PATH_TEXT("가"), 20) + path_separator + repeated(PATH_TEXT("나"), 80);
  fs::create_directories(directory / repeated(PATH_TEXT("가"), 20));
  // A name too long for a line is cut before a whole character.
  const path_string overlong_name = repeated(PATH_TEXT("긴"), 1100);
  const std::size_t units_per_character = sizeof(path_char) == 1 ? 3 : 1;
  const std::size_t characters_that_fit =
      (result_line_capacity - 1 - path_string(failure_line_prefix).size()) / units_per_character;
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
      {song(fitting_path, 'f', "fits\n"), success(fitting),
       fs::path(fitting_path).replace_extension(".lrc").native()},
      {song(at_length(path_capacity - 1, no_extension), 'L'), failure(no_extension), PATH_TEXT("")},
      {song(hangul + PATH_TEXT(".mp3"), 'h', "한글\n"),
       success(hangul.substr(hangul.find(path_separator) + 1) + PATH_TEXT(".mp3")),
       beside(hangul + PATH_TEXT(".lrc"))},
#ifdef _WIN32
      // Over the limit, though the system opens it and its lyrics path would fit.
      {song(at_length(path_capacity, PATH_TEXT("over.mpeg-audio")), 'o', "over\n"),
       failure(PATH_TEXT("over.mpeg-audio")), PATH_TEXT("")},
#endif
      {native("/music/") + overlong_name,
       failure(overlong_name.substr(0, characters_that_fit * units_per_character)), PATH_TEXT("")},
  };

  RecordingLists lists(7);  // lines of an earlier batch are still there
  std::vector<path_string> lines, paths;
  std::vector<int> selected;
  std::string calls;
  for (const auto &job : jobs) {
    fetch_lyrics(job.input.c_str(), LyricsServer{"127.0.0.1", server.port()}, lists);
    lines.push_back(job.line);
    paths.push_back(job.path_entry);
    selected.push_back(7 + static_cast<int>(selected.size()));
    calls += "line select path ";
  }
  EXPECT_EQ(lists.lines, lines);
  EXPECT_EQ(lists.paths, paths);
  EXPECT_EQ(lists.selected, selected);
  EXPECT_EQ(lists.calls, calls);
  EXPECT_EQ(read_file(directory / PATH_TEXT("봄 노래.lrc")),
            "[00:01.00]첫 줄\r\n[00:02.00]second\r\n");
  EXPECT_EQ(read_file(directory / "unknown.lrc"), "kept");
  EXPECT_EQ(server.requests().size(), 4u) << "a request for each job that got a lyrics path";
}

}  // namespace
