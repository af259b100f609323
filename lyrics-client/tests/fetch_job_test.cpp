#include "fetch_job.h"

#include "loopback_server.h"
#include "test_files.h"

#include <gtest/gtest.h>

namespace {

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

path_string song(const path_string &path) {
  write_file(path, "\xFF\xFB audio");
  return path;
}

// A batch of jobs against servers that know the lyrics or do not: every
// outcome of a job, each reported with one line and one path entry.
TEST(FetchLyrics, ReportsEveryJobWithOneLineAndOnePathEntry) {
  TemporaryDirectory directory;
  LoopbackServer knows({{"HTTP/1.0 200 OK\r\n\r\n[00:01.00]첫 줄\n[00:02.00]second\n"}});
  LoopbackServer knows_not({{"HTTP/1.0 404 Not Found\r\n\r\n"}});
  const fs::path folder = directory / "my.music";
  fs::create_directories(folder);
  auto in_folder = [&](const path_string &name) { return (folder / name).native(); };
  write_file(in_folder(PATH_TEXT(".hidden.lrc")), "kept");
  write_file(in_folder(PATH_TEXT("bad.mp3")), std::string("ID3\x04\0\0\0\0\0\x80 audio", 16));
  // Paths at the platform's limit: the one that just fits has a lyrics path
  // that fits as well; the other one's (".lrc" appended) does not.
  const path_string fitting = path_string(40, PATH_TEXT('f')) + PATH_TEXT(".mp3");
  const path_string fits = song(path_of_length(directory.path, path_capacity - 1, fitting));
  const path_string no_extension(40, PATH_TEXT('L'));
  // A name too long for a line is cut before a whole character.
  path_string overlong;
  while (overlong.size() < 3000) overlong += PATH_TEXT("긴");
  const std::size_t unit = sizeof(path_char) == 1 ? 3 : 1;  // per character
  const std::size_t room = (result_line_capacity - std::size(PATH_TEXT("실패: "))) / unit;
  const struct {
    path_string input, line, path_entry;
    bool lyrics_known = true;
  } jobs[] = {
      {song(in_folder(PATH_TEXT("봄.노래.mp3"))), PATH_TEXT("성공: 봄.노래.mp3"),
       in_folder(PATH_TEXT("봄.노래.lrc"))},
      {song(in_folder(PATH_TEXT(".hidden"))), PATH_TEXT("실패: .hidden"),
       in_folder(PATH_TEXT(".hidden.lrc")), false},
      {in_folder(PATH_TEXT("bad.mp3")), PATH_TEXT("실패: bad.mp3"), PATH_TEXT("")},
      {fits, PATH_TEXT("성공: ") + fitting, fits.substr(0, fits.size() - 3) + PATH_TEXT("lrc")},
      {song(path_of_length(directory.path, path_capacity - 1, no_extension)),
       PATH_TEXT("실패: ") + no_extension, PATH_TEXT("")},
#ifdef _WIN32
      // Over the limit, though the system opens it and its lyrics path would fit.
      {song(path_of_length(directory.path, path_capacity, PATH_TEXT("over.mpeg-audio"))),
       PATH_TEXT("실패: over.mpeg-audio"), PATH_TEXT("")},
#endif
      {in_folder(overlong), PATH_TEXT("실패: ") + overlong.substr(0, room * unit), PATH_TEXT("")},
  };
  RecordingLists lists, expected;
  lists.first_index = 7;  // lines of an earlier batch are still there
  for (const auto &job : jobs) {
    int port = (job.lyrics_known ? knows : knows_not).port();
    fetch_lyrics(job.input.c_str(), LyricsServer{"127.0.0.1", port}, lists);
    expected.lines.push_back(job.line);
    expected.paths.push_back(job.path_entry);
    expected.selected.push_back(7 + static_cast<int>(expected.selected.size()));
  }
  EXPECT_EQ(lists.lines, expected.lines);
  EXPECT_EQ(lists.paths, expected.paths);
  EXPECT_EQ(lists.selected, expected.selected);
  EXPECT_EQ(read_file(in_folder(PATH_TEXT("봄.노래.lrc"))), "[00:01.00]첫 줄\r\n[00:02.00]second\r\n");
  EXPECT_EQ(read_file(in_folder(PATH_TEXT(".hidden.lrc"))), "kept");
}

}  // namespace
