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

#include <string>
#include <vector>

extern const char PROGRAM_VERSION[] = "0.0.0-test";

namespace {

// A dialog answer: the strings, each with its terminator, then an empty one.
std::wstring selection(const std::vector<std::wstring> &strings) {
  std::wstring buffer;
  for (const auto &text : strings) buffer += text + L'\0';
  return buffer + L'\0';
}

class BatchSelection : public ::testing::Test {
 protected:
  BatchSelection() : server_(answer_in_one("HTTP/1.0 200 OK\r\n\r\n[00:00.00]가사\n")) {}

  // A music file at `folder`\`name`; returns the folder as the dialog gives it.
  std::wstring song(const std::wstring &folder_name, const std::wstring &name) {
    std::filesystem::path folder = directory_ / folder_name;
    std::filesystem::create_directories(folder);
    write_file(folder / name, "\xFF\xFB tune " + std::to_string(++songs_));
    return folder.native();
  }

  void run(const std::vector<std::wstring> &strings) {
    fetch_selection(selection(strings).c_str(), LyricsServer{"127.0.0.1", server_.port()}, lists_);
  }

  TemporaryDirectory directory_;
  LoopbackServer server_;
  RecordingLists lists_;
  int songs_ = 0;
};

// A folder that ends in a backslash (a drive's root) is joined as it is.
TEST_F(BatchSelection, JoinsTheFolderWithEachNameInDialogOrder) {
  std::wstring folder = song(L"가요", L"봄.mp3") + L"\\";
  run({folder, L"없는 곡.mp3", L"봄.mp3"});
  EXPECT_EQ(lists_.lines, (std::vector<std::wstring>{L"실패: 없는 곡.mp3", L"성공: 봄.mp3"}));
  EXPECT_EQ(lists_.paths, (std::vector<std::wstring>{L"", folder + L"\\봄.lrc"}));
}

TEST_F(BatchSelection, ReportsPathsThatDoNotFitAndGoesOn) {
  // A folder name that makes folder\name exactly 259 characters, the most
  // a path buffer holds with its terminator.
  std::wstring name = L"곡.mp3";
  std::size_t room = 259 - directory_.path().native().size() - 1 - 1 - name.size();
  std::wstring long_folder_name(room, L'f');
  std::wstring folder = song(long_folder_name, name);
  song(long_folder_name, L"곡2.mp3");  // one character too long when joined
  ASSERT_EQ(folder.size() + 1 + name.size(), 259u);

  run({folder, L"곡2.mp3", name, L"곡2.mp3"});
  run({folder + L"\\곡2.mp3"});  // one full path, too long
  EXPECT_EQ(lists_.lines, (std::vector<std::wstring>{L"실패: 곡2.mp3", L"성공: 곡.mp3",
                                                     L"실패: 곡2.mp3", L"실패: 곡2.mp3"}));
  EXPECT_EQ(lists_.paths, (std::vector<std::wstring>{L"", folder + L"\\곡.lrc", L"", L""}));
  EXPECT_EQ(server_.requests().size(), 1u);
}

TEST(NotepadCommand, QuotesThePathOrStartsNothing) {
  wchar_t command[path_capacity];
  ASSERT_TRUE(make_notepad_command(L"C:\\my music\\봄날.lrc", command, path_capacity));
  EXPECT_STREQ(command, L"notepad \"C:\\my music\\봄날.lrc\"");

  std::wstring longest = L"C:\\" + std::wstring(242, L'p') + L".lrc";  // 249 + 10 = 259
  EXPECT_TRUE(make_notepad_command(longest.c_str(), command, path_capacity));
  EXPECT_FALSE(make_notepad_command((longest + L"x").c_str(), command, path_capacity));
}

TEST(RestartCommand, NamesTheProgramAndQuotesItsPath) {
  const wchar_t executable[] = L"C:\\Program Files\\carvelo\\carvelo.exe";
  RestartCommand restart;
  ASSERT_TRUE(make_restart_command(executable, restart));
  EXPECT_STREQ(restart.application, executable);
  EXPECT_STREQ(restart.command_line, L"\"C:\\Program Files\\carvelo\\carvelo.exe\"");
}

TEST(UpdatePaths, RefuseAnExecutablePathWithNoRoomForTheSuffix) {
  UpdatePaths paths;
  std::wstring longest = L"C:\\" + std::wstring(248, L'p') + L".exe";  // 255 characters
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
