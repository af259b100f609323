// What the end-to-end tests of the Windows program cannot reach: paths that
// do not fit, the restart command (which wine would start even unquoted), a failed swap.
#include "loopback_server.h"
#include "main_window.h"
#include "self_update.h"
#include "test_files.h"

#include <gtest/gtest.h>

extern const char PROGRAM_VERSION[] = "0.0.0-test";

namespace {

using Texts = std::vector<std::wstring>;

// folder\곡.mp3 is 259 characters, the most a path buffer holds; folder\곡2.mp3 is too long.
TEST(BatchSelection, JoinsEachNameInDialogOrderAndReportsPathsThatDoNotFit) {
  TemporaryDirectory directory;
  LoopbackServer server({"HTTP/1.0 200 OK\r\n\r\n[00:00.00]가사\n"});
  RecordingLists lists;
  const std::wstring root = directory.path.native();
  const std::wstring folder = root + L'\\' + std::wstring(259 - root.size() - 7, L'f');
  fs::create_directories(folder);
  write_file(folder + L"\\곡.mp3", "\xFF\xFB");
  std::wstring selection;  // a dialog's answer: the folder, then the names, then an empty string
  for (const auto &text : Texts{folder, L"곡2.mp3", L"곡.mp3", L""}) selection += text + L'\0';
  fetch_selection(selection.c_str(), LyricsServer{"127.0.0.1", server.port()}, lists);
  EXPECT_EQ(lists.lines, (Texts{L"실패: 곡2.mp3", L"성공: 곡.mp3"}));
  EXPECT_EQ(lists.paths, (Texts{L"", folder + L"\\곡.lrc"}));
}

// A swap whose new build cannot move puts the running build back.
TEST(SelfUpdate, StartsTheNewBuildQuotedAndPutsTheRunningOneBack) {
  RestartCommand restart;
  ASSERT_TRUE(make_restart_command(L"C:\\Program Files\\carvelo.exe", restart));
  EXPECT_STREQ(restart.command_line, L"\"C:\\Program Files\\carvelo.exe\"");
  TemporaryDirectory directory;
  UpdatePaths paths;
  const std::wstring longest = L"C:\\" + std::wstring(248, L'p') + L".exe";  // 255 and ".new"
  EXPECT_TRUE(make_update_paths(longest.c_str(), paths));
  EXPECT_FALSE(make_update_paths((longest + L"x").c_str(), paths));
  ASSERT_TRUE(make_update_paths((directory / L"app.exe").c_str(), paths));
  write_file(paths.executable, "running");  // and no new build to move
  EXPECT_FALSE(swap_in_new_build(paths));
  EXPECT_EQ(read_file(paths.executable), "running");
  EXPECT_EQ(directory.listing(), "app.exe ");
}

}  // namespace
