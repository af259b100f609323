// The Windows program's own logic below its window, where the end-to-end
// tests cannot reach: paths that do not fit, a folder that ends in a
// backslash, the restart command (which wine would start even unquoted),
// and a swap whose second move fails.
#include "loopback_server.h"
#include "main_window.h"
#include "self_update.h"
#include "test_files.h"

#include <gtest/gtest.h>

extern const char PROGRAM_VERSION[] = "0.0.0-test";

namespace {

using namespace std::literals;
using Texts = std::vector<std::wstring>;

TEST(BatchSelection, JoinsEachNameInDialogOrderAndReportsPathsThatDoNotFit) {
  TemporaryDirectory directory;
  LoopbackServer server({{"HTTP/1.0 200 OK\r\n\r\n[00:00.00]가사\n"}});
  RecordingLists lists;
  auto run = [&](const Texts &strings) {  // a dialog's answer: strings, then an empty one
    std::wstring selection;
    for (const auto &text : strings) selection += text + L'\0';
    fetch_selection((selection + L'\0').c_str(), LyricsServer{"127.0.0.1", server.port()}, lists);
  };
  // A folder that ends in a backslash (a drive's root) is joined as it is.
  // folder\곡.mp3 is 259 characters, the most a path buffer holds with its
  // terminator; folder\곡2.mp3 is one too many.
  const std::wstring root = directory.path.native() + L"\\";
  const std::wstring folder = root + std::wstring(259 - root.size() - 6, L'f');  // then "\\곡.mp3"
  fs::create_directories(folder);
  for (const auto &path : {root + L"봄.mp3", folder + L"\\곡.mp3", folder + L"\\곡2.mp3"})
    write_file(path, "\xFF\xFB");
  run({root, L"없는 곡.mp3", L"봄.mp3"});
  run({folder, L"곡2.mp3", L"곡.mp3"});
  run({folder + L"\\곡2.mp3"});  // one full path, too long
  EXPECT_EQ(lists.lines, (Texts{L"실패: 없는 곡.mp3", L"성공: 봄.mp3", L"실패: 곡2.mp3",
                                L"성공: 곡.mp3", L"실패: 곡2.mp3"}));
  EXPECT_EQ(lists.paths, (Texts{L"", root + L"\\봄.lrc", L"", folder + L"\\곡.lrc", L""}));
}

// A command or path that does not fit its buffer starts nothing.
TEST(ProgramCommands, QuoteThePathOrRefuseWhatDoesNotFit) {
  wchar_t notepad[path_capacity];
  std::wstring longest = L"C:\\my music\\" + std::wstring(233, L'p') + L".lrc";  // 249 + 10 = 259
  ASSERT_TRUE(make_notepad_command(longest.c_str(), notepad, path_capacity));
  EXPECT_EQ(notepad, L"notepad \"" + longest + L"\"");
  EXPECT_FALSE(make_notepad_command((longest + L"x").c_str(), notepad, path_capacity));
  RestartCommand restart;
  ASSERT_TRUE(make_restart_command(L"C:\\Program Files\\carvelo.exe", restart));
  EXPECT_STREQ(restart.command_line, L"\"C:\\Program Files\\carvelo.exe\"");
  UpdatePaths paths;
  longest = L"C:\\" + std::wstring(248, L'p') + L".exe";  // 255 characters
  ASSERT_TRUE(make_update_paths(longest.c_str(), paths));
  EXPECT_EQ(paths.new_build + L"|"s + paths.old_build, longest + L".new|" + longest + L".old");
  EXPECT_FALSE(make_update_paths((longest + L"x").c_str(), paths));
}

TEST(BuildSwap, PutsTheRunningBuildBackWhenTheNewOneCannotMove) {
  TemporaryDirectory directory;
  UpdatePaths paths;
  ASSERT_TRUE(make_update_paths((directory / L"app.exe").c_str(), paths));
  write_file(paths.executable, "running");  // and no new build to move
  EXPECT_FALSE(swap_in_new_build(paths));
  EXPECT_EQ(read_file(paths.executable), "running");
  EXPECT_EQ(directory.listing(), "app.exe");
}

}  // namespace
