// The sample installation's arenas: every level choice that Setup offers offline names a level the
// installation holds, and so does "grid00", where Play goes when no choice applies.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "client/core/error_log.h"
#include "client/level/level_loader.h"
#include "client/level/level_textures.h"
#include "tests/support/recording_present.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// Setup's "arena" list offers ten level choices; each takes the arena list entry of its index.
constexpr int kSetupLevelChoices = 10;

TEST(SampleArenas, EverySetupChoiceAndGrid00HaveALevelThatLoads) {
    TempDir dir;
    dir.Enter();
    const fs::path install = SAMPLE_INSTALL_DIR;
    for (const char* item : {"arena.dat", "textures", "grids", "pattern.dat", "monster.dat", "system.dat",
                             "loadbar1.pcx", "loadbar2.pcx", "loadbarb.pcx"})
        fs::copy(install / item, fs::path(dir.Path()) / item, fs::copy_options::recursive);
    LoadArenaList("arena.dat");
    ASSERT_EQ(g_arenaCount, kSetupLevelChoices) << "every choice names an arena";

    std::vector<std::string> levels = {"grid00"};
    std::set<std::string> names;
    for (int n = 0; n < g_arenaCount; ++n) {
        EXPECT_EQ(g_arenaList[n].used, 1) << n;
        EXPECT_TRUE(names.insert(g_arenaList[n].name).second) << "two arenas named " << g_arenaList[n].name;
        levels.push_back(g_arenaList[n].grid);
    }
    for (const std::string& level : levels) {
        SCOPED_TRACE(level);
        ASSERT_TRUE(fs::is_directory(install / level)) << "the installation has no level " << level;
        if (!fs::exists(level))
            fs::copy(install / level, fs::path(dir.Path()) / level, fs::copy_options::recursive);
        ASSERT_TRUE(OpenErrorLog("error.log"));
        RecordingPresent recording;
        EXPECT_EQ(LoadGrid(level.c_str()), 1) << dir.Read("error.log");
        EXPECT_EQ(recording.Named("SgxCreateWorld").size(), 1u);
        CloseErrorLog();
    }
}

}  // namespace
