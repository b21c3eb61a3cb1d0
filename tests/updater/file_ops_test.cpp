// Whole-file copies, times, permissions and program starts.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>
#include <vector>

#include "platform/fs/file_ops.h"
#include "platform/process/process.h"
#include "tests/support/child_processes.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_for_file.h"

namespace {

mode_t ModeOf(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

TEST(FileOps, CopyReplacesInOneStepAndKeepsPermissions) {
    TempDir dir;
    dir.Write("prog", "#!/bin/sh\n");
    ::chmod(dir.File("prog").c_str(), 0750);
    dir.Write("copy", "old");
    ASSERT_TRUE(platform::CopyFileTo(dir.File("prog"), dir.File("copy")));
    EXPECT_EQ(dir.Read("copy"), "#!/bin/sh\n");
    EXPECT_EQ(ModeOf(dir.File("copy")), 0750u);
    // A missing source or a directory in the way changes nothing and leaves no stray file.
    EXPECT_FALSE(platform::CopyFileTo(dir.File("missing"), dir.File("copy")));
    dir.Write("blocked/inner", "x");
    EXPECT_FALSE(platform::CopyFileTo(dir.File("prog"), dir.File("blocked")));
    EXPECT_EQ(dir.Read("copy"), "#!/bin/sh\n");
    int entries = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.Path()))
        entries += e.path().filename().string().rfind(".copy", 0) == 0;
    EXPECT_EQ(entries, 0);
}

TEST(FileOps, TimesStatusAndReplacementModes) {
    TempDir dir;
    dir.Write("f", "12345");
    ASSERT_TRUE(platform::SetFileTimes(dir.File("f"), 946684800, 946684800));
    platform::FileStatus st;
    ASSERT_TRUE(platform::GetFileStatus(dir.File("f"), &st));
    EXPECT_EQ(st.size, 5u);
    EXPECT_EQ(st.modifiedTime, 946684800);
    EXPECT_TRUE(st.isRegular);
    EXPECT_FALSE(platform::GetFileStatus(dir.File("none"), &st));

    EXPECT_TRUE(platform::MakeDirectory(dir.File("d")));
    EXPECT_FALSE(platform::MakeDirectory(dir.File("d")));
    ASSERT_TRUE(platform::GetFileStatus(dir.File("d"), &st));
    EXPECT_TRUE(st.isDirectory);

    ::chmod(dir.File("f").c_str(), 0755);
    dir.Write("new", "x");
    ASSERT_TRUE(platform::SetReplacementMode(dir.File("new"), dir.File("f"), false));
    EXPECT_EQ(ModeOf(dir.File("new")), 0755u);  // the replaced file's own
    ASSERT_TRUE(platform::SetReplacementMode(dir.File("new"), dir.File("absent"), true));
    EXPECT_TRUE(ModeOf(dir.File("new")) & 0100);
    ASSERT_TRUE(platform::SetReplacementMode(dir.File("new"), dir.File("absent"), false));
    EXPECT_FALSE(ModeOf(dir.File("new")) & 0111);
}

TEST(Process, StartsProgramsWithoutWaitingAndLetsTestsWatchStarts) {
    TempDir dir;
    dir.Enter();
    dir.Write("stand-in", "#!/bin/sh\necho \"$0 $#\" > started.txt\n");
    ::chmod(dir.File("stand-in").c_str(), 0755);
    ASSERT_TRUE(platform::StartProgram("stand-in", {"stand-in"}));
    std::vector<EndedProcess> ended = EndChildren(20);
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_TRUE(WIFEXITED(ended[0].status) && WEXITSTATUS(ended[0].status) == 0);
    ASSERT_TRUE(WaitForFile(dir.File("started.txt"), 20));
    EXPECT_EQ(dir.Read("started.txt"), "stand-in 0\n");
    EXPECT_FALSE(platform::StartProgram("absent", {"absent"}));
    EXPECT_FALSE(platform::ReplaceProgram(dir.File("absent"), {"absent"}));

    std::vector<std::string> seen;
    platform::SetProgramStartHandler([&](const std::string& path, const std::vector<std::string>& args, bool replace) {
        seen.push_back(path + "|" + args.at(0) + "|" + (replace ? "replace" : "start"));
        return true;
    });
    EXPECT_TRUE(platform::StartProgram("game.dll", {"game.dll"}));
    EXPECT_TRUE(platform::ReplaceProgram("/x/patch.bin", {"patch.bin"}));
    platform::SetProgramStartHandler(nullptr);
    EXPECT_EQ(seen, (std::vector<std::string>{"game.dll|game.dll|start", "/x/patch.bin|patch.bin|replace"}));
    EXPECT_EQ(platform::ProgramPath().substr(platform::ProgramPath().rfind('/') + 1), "updater_tests");
}

}  // namespace
