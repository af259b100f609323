// The Windows program's own logic below its window: turning a file-open
// dialog's selection into jobs, and the paths of an update.
#include "fetch_job.h"
#include "loopback_server.h"
#include "main_window.h"
#include "self_update.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

extern const char PROGRAM_VERSION[] = "0.0.0-test";

namespace {

struct RecordedLists final : ResultLists {
  int add_result_line(const wchar_t *line) override {
    lines.emplace_back(line);
    return static_cast<int>(lines.size()) - 1;
  }
  void select_result_line(int index) override { selected = index; }
  void add_path_entry(const wchar_t *path) override { paths.emplace_back(path); }
  std::vector<std::wstring> lines, paths;
  int selected = -1;
};

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
  RecordedLists lists_;
  int songs_ = 0;
};

TEST_F(BatchSelection, JoinsFolderAndNamesInDialogOrder) {
  std::wstring folder = song(L"가요", L"봄.mp3");
  song(L"가요", L"a b.mp3");
  run({folder, L"봄.mp3", L"없는 곡.mp3", L"a b.mp3"});

  EXPECT_EQ(lists_.lines, (std::vector<std::wstring>{L"성공: 봄.mp3", L"실패: 없는 곡.mp3",
                                                     L"성공: a b.mp3"}));
  EXPECT_EQ(lists_.paths, (std::vector<std::wstring>{folder + L"\\봄.lrc", L"",
                                                     folder + L"\\a b.lrc"}));
  EXPECT_EQ(lists_.selected, 2);
  EXPECT_EQ(read_file(folder + L"\\a b.lrc"), "[00:00.00]가사\r\n");
}

TEST_F(BatchSelection, TakesASingleStringAsTheWholePath) {
  std::wstring folder = song(L"가요", L"봄.mp3");
  run({folder + L"\\봄.mp3"});
  EXPECT_EQ(lists_.lines, std::vector<std::wstring>{L"성공: 봄.mp3"});
  EXPECT_EQ(lists_.paths, std::vector<std::wstring>{folder + L"\\봄.lrc"});
}

TEST_F(BatchSelection, PassesAFolderEndingInABackslashOnUnchanged) {
  std::wstring folder = song(L"가요", L"봄.mp3") + L"\\";
  run({folder, L"봄.mp3"});
  EXPECT_EQ(lists_.lines, std::vector<std::wstring>{L"성공: 봄.mp3"});
  EXPECT_EQ(lists_.paths, std::vector<std::wstring>{folder + L"\\봄.lrc"});
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
  EXPECT_EQ(lists_.lines, (std::vector<std::wstring>{L"실패: 곡2.mp3", L"성공: 곡.mp3",
                                                     L"실패: 곡2.mp3"}));
  EXPECT_EQ(lists_.paths, (std::vector<std::wstring>{L"", folder + L"\\곡.lrc", L""}));
  EXPECT_EQ(server_.requests().size(), 1u);

  run({folder + L"\\곡2.mp3"});  // one full path, too long
  EXPECT_EQ(lists_.lines.back(), L"실패: 곡2.mp3");
  EXPECT_EQ(lists_.paths.back(), L"");
  EXPECT_EQ(lists_.lines.size(), lists_.paths.size());
}

TEST(NotepadCommand, QuotesThePathOrStartsNothing) {
  wchar_t command[path_capacity];
  ASSERT_TRUE(make_notepad_command(L"C:\\my music\\봄날.lrc", command, path_capacity));
  EXPECT_STREQ(command, L"notepad \"C:\\my music\\봄날.lrc\"");

  std::wstring longest = L"C:\\" + std::wstring(242, L'p') + L".lrc";  // 249 + 10 = 259
  EXPECT_TRUE(make_notepad_command(longest.c_str(), command, path_capacity));
  EXPECT_FALSE(make_notepad_command((longest + L"x").c_str(), command, path_capacity));
}

TEST(UpdatePaths, AppendsNewAndOldToTheExecutablePath) {
  UpdatePaths paths;
  ASSERT_TRUE(make_update_paths(L"C:\\tools\\app.exe", paths));
  EXPECT_STREQ(paths.executable, L"C:\\tools\\app.exe");
  EXPECT_STREQ(paths.new_build, L"C:\\tools\\app.exe.new");
  EXPECT_STREQ(paths.old_build, L"C:\\tools\\app.exe.old");
}

TEST(UpdatePaths, RefusesAnExecutablePathWithNoRoomForTheSuffix) {
  UpdatePaths paths;
  std::wstring longest = L"C:\\" + std::wstring(248, L'p') + L".exe";  // 255 characters
  ASSERT_TRUE(make_update_paths(longest.c_str(), paths));
  EXPECT_EQ(std::wstring(paths.old_build), longest + L".old");
  EXPECT_FALSE(make_update_paths((longest + L"x").c_str(), paths));
}

class BuildSwap : public ::testing::Test {
 protected:
  BuildSwap() { make_update_paths((directory_ / L"app.exe").c_str(), paths_); }
  std::string listing() const { return directory_.listing(); }
  TemporaryDirectory directory_;
  UpdatePaths paths_;
};

TEST_F(BuildSwap, PutsTheNewBuildInPlaceAndKeepsTheRunningOneAside) {
  write_file(paths_.executable, "running");
  write_file(paths_.new_build, "new");
  EXPECT_TRUE(swap_in_new_build(paths_));
  EXPECT_EQ(read_file(paths_.executable), "new");
  EXPECT_EQ(read_file(paths_.old_build), "running");
  EXPECT_EQ(listing(), "app.exe app.exe.old");
}

TEST_F(BuildSwap, ALeftoverPreviousBuildBlocksTheSwap) {
  write_file(paths_.executable, "running");
  write_file(paths_.new_build, "new");
  write_file(paths_.old_build, "previous");
  EXPECT_FALSE(swap_in_new_build(paths_));
  EXPECT_EQ(read_file(paths_.executable), "running");
  EXPECT_EQ(read_file(paths_.new_build), "new");
  EXPECT_EQ(read_file(paths_.old_build), "previous");
}

TEST_F(BuildSwap, PutsTheRunningBuildBackWhenTheNewOneCannotMove) {
  write_file(paths_.executable, "running");  // and no new build to move
  EXPECT_FALSE(swap_in_new_build(paths_));
  EXPECT_EQ(read_file(paths_.executable), "running");
  EXPECT_EQ(listing(), "app.exe");
}

}  // namespace
