// The sample installation's level built as world creation builds it: from its directory and from
// its pack the same world.log and light.log (goldens), rooms and portals from its portal.dat, the
// tile model baked, the g-named texture found at the root; sample16 has no portal.dat and is built
// in blocks. Released, no engine object stays.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "client/core/error_log.h"
#include "client/core/level_defs.h"
#include "client/core/level_loader.h"
#include "client/present/camera_set.h"
#include "client/present/room_extra.h"
#include "client/present/rooms.h"
#include "client/present/tiles.h"
#include "client/present/world_tables.h"
#include "tests/support/recording_present.h"
#include "tests/support/recording_render.h"
#include "tests/support/temp_dir.h"
#include "tests/support/world_fixture.h"

namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Compares with the golden file, or writes it with QUORRIN_UPDATE_GOLDEN=1.
void ExpectGolden(const std::string& name, const std::string& text) {
    const fs::path golden = fs::path(PRESENT_GOLDEN_DIR) / name;
    const char* update = std::getenv("QUORRIN_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        std::ofstream(golden, std::ios::binary) << text;
        return;
    }
    EXPECT_EQ(text, ReadText(golden)) << name;
}

class SampleWorldTest : public testing::Test {
protected:
    void SetUp() override {
        dir.Enter();
        const fs::path install = SAMPLE_INSTALL_DIR;
        for (const char* item : {"sample", "sample16", "textures", "grids", "pattern.dat", "monster.dat", "system.dat",
                                 "glow.bmp", "loadbar1.pcx", "loadbar2.pcx", "loadbarb.pcx"})
            fs::copy(install / item, fs::path(dir.Path()) / item, fs::copy_options::recursive);
        OpenErrorLog("error.log");
        images = std::make_unique<RecordingImageFactory>();
        SgImage::FormatIfReadable(nullptr);  // makes the reader's shared buffer before the count
        before = SgObject::LiveCount();
        render = SgRef<RecordingRender>(new RecordingRender);
        worldtest::StartRecordingDisplay(render.Get());
    }
    void TearDown() override {
        worldtest::ReleaseTestWorld();
        present::DestroySceneAndRenderer();
        present::Cameras() = present::CameraSet{};
        render = nullptr;
        EXPECT_EQ(SgObject::LiveCount(), before);
        images.reset();
        CloseErrorLog();
    }

    // Loads the level (its world creation recorded, not run) and builds the world from it.
    void Build(const char* level, bool pack) {
        RecordingPresent recording;
        if (pack)
            ASSERT_EQ(Vorn::LoadGridFromPack("grids/sample.zpk"), 1);
        else
            ASSERT_EQ(LoadGrid(level), 1);
        worldtest::BuildTestWorld(level, present::LevelGridLayers(g_level), 0);
    }

    TempDir dir;
    std::unique_ptr<RecordingImageFactory> images;
    SgRef<RecordingRender> render;
    uint32_t before = 0;
};

TEST_F(SampleWorldTest, DirectoryAndPackBuildTheSameWorld) {
    Build("sample", false);
    const std::string worldLog = ReadText(fs::path(dir.Path()) / "world.log");
    const std::string lightLog = ReadText(fs::path(dir.Path()) / "light.log");
    ExpectGolden("sample_world.log", worldLog);
    ExpectGolden("sample_light.log", lightLog);
    EXPECT_EQ(present::World().portalMode, 1);
    for (int room : {0, 1, 2, 10, 100})
        EXPECT_TRUE(present::World().roomTable[room]) << room;
    // The g-named texture comes from the installation's root, the others from the level.
    EXPECT_NE(present::TextureMap(2), nullptr);
    EXPECT_NE(present::Textures().tiles[0], nullptr);
    EXPECT_STREQ(present::Textures().tiles[0]->GetName(), "tile1.sgf");
    // The yard's portal leads outside; the corridor's room stands past room 1.
    EXPECT_EQ(present::World().outsideRoom->incomingPortals.Count(), 1u);
    EXPECT_EQ(present::FindRoomAtPoint(32 * 0.64f, 12.5f * 0.64f, -0.2f, nullptr),
              present::RoomDataOf(present::World().roomTable[100].Get())->objectNode);

    worldtest::ReleaseTestWorld();
    fs::remove(fs::path(dir.Path()) / "light.log");
    Build("sample", true);
    EXPECT_EQ(ReadText(fs::path(dir.Path()) / "world.log"), worldLog);
    EXPECT_EQ(ReadText(fs::path(dir.Path()) / "light.log"), lightLog);
}

TEST_F(SampleWorldTest, Sample16IsBuiltInBlocks) {
    Build("sample16", false);
    EXPECT_EQ(ReadText(fs::path(dir.Path()) / "world.log"), "TOTALS: geom=0 tri=0 vert=0\n");
    EXPECT_EQ(present::World().portalMode, 0);
    // The rooms' cells have faces; rock has none.
    EXPECT_GT(present::CountGeometries(present::World().gridBlockNodes[9].Get()), 0);
    EXPECT_EQ(present::CountGeometries(present::World().gridBlockNodes[63].Get()), 0);
}

}  // namespace
