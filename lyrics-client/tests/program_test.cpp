// The Windows program's own logic below its window, where the end-to-end
// tests cannot reach: selections with paths that do not fit, a folder that
// ends in a backslash, a Notepad command too long, the restart command
// (which wine would start even unquoted), update paths too long, and a swap
// whose second move fails.
#include "loopback_server.h"
#include "main_window.h"
#include "recording_lists.h"
#include "self_update.h"
#include "test_files.h"

#include <gtest/gtest.h>

extern const char PROGRAM_VERSION[] = "0.0.0-test";

namespace {

using Texts = std::vector<std::wstring>;

// A dialog answer: the strings, each with its terminator, then an empty one.
std::wstring selection(const Texts &strings) {
  std::wstring buffer;
  for (const auto &text : strings) buffer += text + L'\0';
  return buffer + L'\0';
}

TEST(BatchSelection, JoinsEachNameInDialogOrderAndReportsPathsThatDoNotFit) {
  TemporaryDirectory directory;
  LoopbackServer server(answer_in_one("HTTP/1.0 200 OK\r\n\r\n[00:00.00]가사\n"));
  RecordingLists lists;
  auto run = [&](const Texts &strings) {
    fetch_selection(selection(strings).c_str(), LyricsServer{"127.0.0.1", server.port()}, lists);
  };
  // A folder that ends in a backslash (a drive's root) is joined as it is.
  const std::wstring root = directory.path().native() + L"\\";
  write_file(root + L"봄.mp3", "\xFF\xFB spring");
  // folder\곡.mp3 is 259 characters, the most a path buffer holds with its
  // terminator; folder\곡2.mp3 is one too many.
  const std::wstring name = L"곡.mp3";
  const std::wstring folder = root + std::wstring(259 - root.size() - 1 - name.size(), L'f');
  std::filesystem::create_directories(folder);
  ASSERT_EQ(folder.size() + 1 + name.size(), 259u);
  for (const auto &song : {name, std::wstring(L"곡2.mp3")})
    write_file(folder + L"\\" + song, "\xFF\xFB");

  run({root, L"없는 곡.mp3", L"봄.mp3"});
  run({folder, L"곡2.mp3", name});
  run({folder + L"\\곡2.mp3"});  // one full path, too long
  EXPECT_EQ(lists.lines, (Texts{L"실패: 없는 곡.mp3", L"성공: 봄.mp3", L"실패: 곡2.mp3",
                                L"성공: 곡.mp3", L"실패: 곡2.mp3"}));
  EXPECT_EQ(lists.paths, (Texts{L"", root + L"\\봄.lrc", L"", folder + L"\\곡.lrc", L""}));
  EXPECT_EQ(server.requests().size(), 2u);
}

// A command or path that does not fit its buffer starts nothing.
TEST(ProgramCommands, QuoteThePathOrRefuseWhatDoesNotFit) {
  wchar_t notepad[path_capacity];
  ASSERT_TRUE(make_notepad_command(L"C:\\my music\\봄날.lrc", notepad, path_capacity));
  EXPECT_STREQ(notepad, L"notepad \"C:\\my music\\봄날.lrc\"");
  std::wstring longest = L"C:\\" + std::wstring(242, L'p') + L".lrc";  // 249 + 10 = 259
  EXPECT_TRUE(make_notepad_command(longest.c_str(), notepad, path_capacity));
  EXPECT_FALSE(make_notepad_command((longest + L"x").c_str(), notepad, path_capacity));

  const wchar_t executable[] = L"C:\\Program Files\\carvelo\\carvelo.exe";
  RestartCommand restart;
  ASSERT_TRUE(make_restart_command(executable, restart));
  EXPECT_STREQ(restart.application, executable);
  EXPECT_STREQ(restart.command_line, L"\"C:\\Program Files\\carvelo\\carvelo.exe\"");

  UpdatePaths paths;
  longest = L"C:\\" + std::wstring(248, L'p') + L".exe";  // 255 characters
  ASSERT_TRUE(make_update_paths(longest.c_str(), paths));
  EXPECT_EQ(std::wstring(paths.new_build), longest + L".new");
  EXPECT_EQ(std::wstring(paths.old_build), longest + L".old");
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
