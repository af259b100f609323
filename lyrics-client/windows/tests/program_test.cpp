// The self-update below the window: the restart command, which wine would start even unquoted.
#include "self_update.h"
#include "test_support.h"

#include <gtest/gtest.h>

extern const char PROGRAM_VERSION[] = "0.0.0-test";

namespace {

// A swap whose new build cannot move puts the running build back.
TEST(SelfUpdate, StartsTheNewBuildQuotedAndPutsTheRunningOneBack) {
    RestartCommand restart;
    ASSERT_TRUE(make_restart_command(L"C:\\Program Files\\carvelo.exe", restart));
    EXPECT_STREQ(restart.command_line, L"\"C:\\Program Files\\carvelo.exe\"");
    TemporaryDirectory directory;
    UpdatePaths paths;
    const std::wstring longest = L"C:\\" + std::wstring(248, L'p') + L".exe"; // 255 and ".new"
    EXPECT_TRUE(make_update_paths(longest.c_str(), paths));
    EXPECT_FALSE(make_update_paths((longest + L"x").c_str(), paths));
    ASSERT_TRUE(make_update_paths((directory / L"app.exe").c_str(), paths));
    write_file(paths.executable, "running"); // and no new build to move
    EXPECT_FALSE(swap_in_new_build(paths));
    EXPECT_EQ(read_file(paths.executable), "running");
    EXPECT_EQ(directory.listing(), "app.exe ");
}

} // namespace
