#include <gtest/gtest.h>

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
