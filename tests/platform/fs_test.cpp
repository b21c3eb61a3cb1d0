#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "platform/fs/fs.h"
#include "tests/support/temp_dir.h"

TEST(GameFiles, BackslashPathsResolveWithoutRegardToCase) {
    TempDir dir;
    dir.Write("grids/level.zpk", "pack");
    dir.Write("Light/SysPal.pcx", "pal");
    dir.Enter();

    FILE* f = platform::OpenGameFile("grids\\Level.ZPK", "rb");
    ASSERT_NE(f, nullptr);
    char buf[8] = {};
    EXPECT_EQ(std::fread(buf, 1, 4, f), 4u);
    EXPECT_STREQ(buf, "pack");
    std::fclose(f);

    EXPECT_EQ(platform::ResolveGamePath("light\\syspal.pcx"), "Light/SysPal.pcx");
    EXPECT_TRUE(platform::GameFileExists("LIGHT/SYSPAL.PCX"));
    EXPECT_FALSE(platform::GameFileExists("grids\\other.zpk"));
    // A new file keeps its given name inside the directory found without regard to case.
    EXPECT_EQ(platform::ResolveGamePath("GRIDS\\New.dat"), "grids/New.dat");
    // An absolute path resolves the same way.
    EXPECT_EQ(platform::ResolveGamePath(dir.Path() + "/LIGHT/syspal.PCX"), dir.Path() + "/Light/SysPal.pcx");
}

TEST(GameFiles, ADirectoryIsNoFile) {
    TempDir dir;
    dir.Write("Spell.bin/inside", "x");
    dir.Enter();
    for (const char* path : {"spell.bin", "SPELL.BIN", "."})
        for (const char* mode : {"rb", "r", "a+", "r+b"}) {
            SCOPED_TRACE(std::string(path) + " " + mode);
            errno = 0;
            EXPECT_EQ(platform::OpenGameFile(path, mode), nullptr);
            EXPECT_EQ(errno, EISDIR);
        }
    FILE* f = platform::OpenGameFile("spell.bin/INSIDE", "rb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
}

TEST(GameFiles, TempFileBesideAndReplace) {
    TempDir dir;
    dir.Write("data/user.dat", "old");
    std::string temp;
    FILE* f = platform::CreateTempFileBeside(dir.File("data/user.dat"), &temp);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(temp.rfind(dir.File("data/"), 0), 0u) << temp;
    std::fputs("new", f);
    std::fclose(f);
    ASSERT_TRUE(platform::ReplaceFile(temp, dir.File("data/user.dat")));
    EXPECT_EQ(dir.Read("data/user.dat"), "new");
    EXPECT_EQ(platform::CreateTempFileBeside(dir.File("missing/x.dat"), &temp), nullptr);
}

TEST(GameFiles, FollowLinksEndsAtTheFileNamed) {
    TempDir dir;
    dir.Write("real/user.dat", "x");
    std::filesystem::create_symlink("real/user.dat", dir.File("rel"));
    std::filesystem::create_symlink(dir.File("rel"), dir.File("abs"));
    std::filesystem::create_symlink("real/none.dat", dir.File("dangling"));
    std::filesystem::create_symlink("loop2", dir.File("loop1"));
    std::filesystem::create_symlink("loop1", dir.File("loop2"));
    EXPECT_EQ(platform::FollowLinks(dir.File("real/user.dat")), dir.File("real/user.dat"));
    EXPECT_EQ(platform::FollowLinks(dir.File("rel")), dir.File("real/user.dat"));
    EXPECT_EQ(platform::FollowLinks(dir.File("abs")), dir.File("real/user.dat"));
    EXPECT_EQ(platform::FollowLinks(dir.File("dangling")), dir.File("real/none.dat"));
    EXPECT_EQ(platform::FollowLinks(dir.File("missing")), dir.File("missing"));
    // A loop of links ends instead of running for ever.
    std::string end = platform::FollowLinks(dir.File("loop1"));
    EXPECT_TRUE(end == dir.File("loop1") || end == dir.File("loop2")) << end;
}
