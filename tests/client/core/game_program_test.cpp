// The game program itself, run headless in a copy of the sample installation.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"

namespace {

int RunGame(const TempDir& dir, const std::string& script) {
    dir.Write("input.txt", script);
    std::string cmd = "cd '" + dir.Path() + "' && GAME_HEADLESS=1 GAME_DIR='" + dir.Path() + "' GAME_INPUT='" +
                      dir.File("input.txt") + "' timeout 60 '" + GAME_PROGRAM + "' >game.out 2>&1";
    int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(GameProgram, StartsLogsAndEndsWhenTheWindowCloses) {
    TempDir dir;
    std::filesystem::copy(SAMPLE_INSTALL_DIR, dir.Path(),
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
    EXPECT_EQ(RunGame(dir, "# close after a moment\n100 key 1 down\n150 key 1 up\n200 close\n"), 0)
        << dir.Read("game.out");
    EXPECT_EQ(dir.Read("error.log"), "Log File Started.\n");
}

TEST(GameProgram, SampleInstallationHoldsTheSettings) {
    EXPECT_TRUE(std::filesystem::exists(std::string(SAMPLE_INSTALL_DIR) + "/main.dat"));
    EXPECT_TRUE(std::filesystem::exists(std::string(SAMPLE_INSTALL_DIR) + "/user.dat"));
}
