// The sample installation's level built as world creation builds it: from its directory and from
// its pack the same world.log and light.log (goldens), rooms and portals from its portal.dat, the
// tile model baked, the g-named texture found at the root; sample16 has no portal.dat and is built
// in blocks; the hall level's tall walls, roof, tile height meshes and preburned lamps. Released,
// no engine object stays.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "client/core/error_log.h"
#include "client/core/level_defs.h"
#include "client/level/level_loader.h"
#include "client/level/level_textures.h"
#include "client/present/camera_set.h"
#include "client/present/cell_faces.h"
#include "client/present/grid_layers.h"
#include "client/present/room_extra.h"
#include "client/present/rooms.h"
#include "client/present/tiles.h"
#include "client/present/world_lighting.h"
#include "client/present/world_tables.h"
#include "tests/client/present/cell_grid.h"
#include "tests/client/present/text_golden.h"
#include "tests/support/recording_present.h"
#include "tests/support/recording_render.h"
#include "tests/support/temp_dir.h"
#include "tests/support/world_fixture.h"

namespace {

namespace fs = std::filesystem;

using presenttest::ExpectGolden;
using presenttest::ReadText;

class SampleWorldTest : public testing::Test {
protected:
    void SetUp() override {
        dir.Enter();
        const fs::path install = SAMPLE_INSTALL_DIR;
        for (const char* item : {"sample", "sample16", "hall", "textures", "grids", "pattern.dat", "monster.dat", "system.dat",
                                 "glow.bmp", "loadbar1.pcx", "loadbar2.pcx", "loadbarb.pcx"})
            fs::copy(install / item, fs::path(dir.Path()) / item, fs::copy_options::recursive);
        OpenErrorLog("error.log");
        images = std::make_unique<RecordingImageFactory>();
        SgImage::FormatIfReadable(nullptr);  // makes the reader's shared buffer before the count
        before = SgObject::LiveCount();
        render = SgRef<RecordingRender>(new RecordingRender);
        worldtest::StartDisplayOver(render.Get());
    }
    void TearDown() override {
        worldtest::StopDisplay();
        render = nullptr;
        EXPECT_EQ(SgObject::LiveCount(), before);
        images.reset();
        CloseErrorLog();
    }

    // Loads the level (its world creation recorded, not run) and builds the world from it.
    void Build(const char* level, bool pack) {
        RecordingPresent recording;
        if (pack)
            ASSERT_EQ(Vorn::LoadGridFromPack(("grids/" + std::string(level) + ".zpk").c_str()), 1);
        else
            ASSERT_EQ(LoadGrid(level), 1);
        worldtest::BuildTestWorld(level, 0);
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
    for (int room : {0, 1, 2, 10, 100, 101})
        EXPECT_TRUE(present::World().roomTable[room]) << room;
    // The g-named texture comes from the installation's root, the others from the level.
    EXPECT_NE(present::TextureMap(2), nullptr);
    EXPECT_NE(present::Textures().tiles[0], nullptr);
    EXPECT_STREQ(present::Textures().tiles[0]->GetName(), "tile1.sgf");
    // The yard's portal leads outside; the corridor's room stands past room 1.
    EXPECT_EQ(present::World().outsideRoom->incomingPortals.Count(), 1u);
    EXPECT_EQ(present::FindRoomAtPoint(32 * 0.64f, 12.5f * 0.64f, -1.0f, nullptr),
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

// Every texture a level's misc.dat or system.dat names is a picture the world's builder reads, in
// every sample level, whatever the level is built from.
TEST_F(SampleWorldTest, EveryTextureASampleLevelNamesIsInstalled) {
    // The levels and how many textures each defines: the hall has no water.
    const struct {
        const char* level;
        int textures;
    } levels[] = {{"sample", 11}, {"sample16", 11}, {"hall", 10}};
    for (const auto& [level, textures] : levels) {
        Build(level, false);
        int used = 0;
        for (int slot = 1; slot < kTextureCount; ++slot) {
            if (!g_textures.entries[slot].used)
                continue;
            ++used;
            EXPECT_NE(present::TextureMap(slot), nullptr) << level << " texture " << slot;
        }
        // Eight wall and floor pictures, the water, two system textures.
        EXPECT_EQ(used, textures) << level;
        worldtest::ReleaseTestWorld();
    }
}

// The keep is closed and lit: every side an open cell turns to rock gets the rock's wall from the
// cell's floor (under its liquid) up to its ceiling, and no such wall is left black by the lamps.
TEST_F(SampleWorldTest, RockWallsCloseTheLitKeep) {
    struct Toward {
        int dx, dy, rockSide;
    };
    const Toward sides[] = {{-1, 0, present::kSideXPlus},
                            {1, 0, present::kSideXMinus},
                            {0, -1, present::kSideYPlus},
                            {0, 1, present::kSideYMinus}};
    for (const char* level : {"sample", "sample16"}) {
        Build(level, false);
        const present::GridLayers g = present::LevelGridLayers(g_level);
        int walls = 0;
        for (int x = 1; x < kGridSide - 1; ++x) {
            for (int y = 1; y < kGridSide - 1; ++y) {
                const int open = CellIndex(x, y);
                if (g_level.cellKind[open] == 1)
                    continue;
                for (const Toward& t : sides) {
                    const int rock = CellIndex(x + t.dx, y + t.dy);
                    if (g_level.cellKind[rock] != 1)
                        continue;
                    SCOPED_TRACE(std::string(level) + " cell " + std::to_string(x) + "," + std::to_string(y) +
                                 " side " + std::to_string(t.rockSide));
                    SgRef<SgNode> faces(new SgNode);
                    present::BuildCellFace(faces.Get(), g, level, x + t.dx, y + t.dy, t.rockSide, -1000, 1000);
                    int bottom = 1 << 20, top = -(1 << 20), dark = 0;
                    for (uint32_t i = 0; i < faces->ChildCount(); ++i) {
                        const auto* shape = SgKindCast<SgTriBasedGeom>(faces->ChildAt(i));
                        ASSERT_NE(shape, nullptr);
                        float light = 0;
                        for (uint16_t v = 0; v < shape->VertexCount(); ++v) {
                            const int h = -celltest::Units(shape->Vertices()[v].z);
                            bottom = std::min(bottom, h);
                            top = std::max(top, h);
                            const SgRgba& c = shape->Colors()[v];
                            light += c.r + c.g + c.b;
                        }
                        dark += light == 0;
                    }
                    ASSERT_GT(faces->ChildCount(), 0u);
                    EXPECT_LE(bottom, g.floorHeight[open] - present::GridLayers::Byte(g.liquidDepth, open));
                    EXPECT_GE(top, std::min(g.ceilingHeight[open], g.ceilingHeight[rock]));
                    // The walls round the keep's four rooms all catch some lamp's light.
                    auto inKeep = [](int cx, int cy) { return cx >= 10 && cx <= 29 && cy >= 10 && cy <= 29; };
                    if (inKeep(x, y) && !inKeep(x + t.dx, y + t.dy))
                        EXPECT_EQ(dark, 0);
                    ++walls;
                }
            }
        }
        // Round the keep's 20 x 20 cells but the two corridors' mouths, along the corridors of five
        // and their ends, round the pillar.
        EXPECT_EQ(walls, 4 * 20 - 2 + 2 * 11 + 4) << level;
        worldtest::ReleaseTestWorld();
    }
}

void CollectQuads(const SgAVObject* object, std::set<std::string>& out) {
    if (const auto* shape = SgKindCast<SgTriBasedGeom>(object))
        out.insert(celltest::Describe(shape));
    if (const auto* node = SgKindCast<SgNode>(object))
        for (uint32_t i = 0; i < node->ChildCount(); ++i)
            CollectQuads(node->ChildAt(i), out);
}

TEST_F(SampleWorldTest, HallBuildsItsFeaturesAndLightsItsRoomsInBothForms) {
    Build("hall", false);
    std::set<std::string> hall, side;
    CollectQuads(present::RoomDataOf(present::World().roomTable[0].Get())->staticNode, hall);
    CollectQuads(present::RoomDataOf(present::World().roomTable[1].Get())->staticNode, side);
    // slot: corners (x y height), as each builder orders them.
    const char* const inHall[] = {
        // The tower's roof, seen from above.
        "6: (1024 704 321) (1024 768 321) (1088 704 321) (1088 768 321)",
        // Rock's wall on the west, 640 high, cut at 192, 384 and 576.
        "1: (640 640 192) (640 704 192) (640 640 0) (640 704 0)",
        "1: (640 640 384) (640 704 384) (640 640 192) (640 704 192)",
        "1: (640 640 576) (640 704 576) (640 640 384) (640 704 384)",
        "1: (640 640 640) (640 704 640) (640 640 576) (640 704 576)",
        // Over the opening into room 1, from its ceiling of 256 up to the hall's 640.
        "4: (1280 768 384) (1280 768 256) (1280 832 384) (1280 832 256)",
        "4: (1280 768 576) (1280 768 384) (1280 832 576) (1280 832 384)",
        "4: (1280 768 640) (1280 768 576) (1280 832 640) (1280 832 576)",
        // Tile profiles: the fine one's top strip, the coarse one's last stair two sub-cells wide
        // and along y, the mostly flat one's raised block (single sub-cells).
        "2: (792 984 14) (792 992 14) (808 984 14) (808 992 14)",
        "2: (944 960 22) (944 1024 22) (960 960 22) (960 1024 22)",
        "2: (776 1096 16) (776 1104 16) (808 1096 16) (808 1104 16)",
    };
    for (const char* quad : inHall)
        EXPECT_EQ(hall.count(quad), 1u) << quad;
    // Room 1's rock walls stop at its ceiling.
    EXPECT_EQ(side.count("1: (1280 768 256) (1280 768 192) (1344 768 256) (1344 768 192)"), 1u);
    EXPECT_EQ(side.count("1: (1280 768 384) (1280 768 256) (1344 768 384) (1344 768 256)"), 0u);
    const std::string worldLog = ReadText(fs::path(dir.Path()) / "world.log");
    const std::string lightLog = ReadText(fs::path(dir.Path()) / "light.log");
    ExpectGolden("hall_world.log", worldLog);
    ExpectGolden("hall_light.log", lightLog);
    // Four lamps; the one beside the shared wall lights both rooms.
    EXPECT_EQ(present::PreburnLights().count, 4);
    EXPECT_EQ(lightLog, "Room #0: numlights=3\nRoom #1: numlights=2\n");
    // Each lamp's line in error.log: object slot, position, height, then its pattern's values.
    const std::string errors = ReadText(fs::path(dir.Path()) / "error.log");
    for (const char* line : {"Light #1: x=832 y=896 h=64 i=400 d=200 r=255 g=255 b=255\n",
                             "Light #2: x=1088 y=896 h=96 i=400 d=200 r=255 g=255 b=255\n",
                             "Light #3: x=1256 y=960 h=192 i=400 d=200 r=255 g=255 b=255\n",
                             "Light #4: x=1472 y=896 h=64 i=400 d=200 r=255 g=255 b=255\n"})
        EXPECT_NE(errors.find(line), std::string::npos) << line;

    worldtest::ReleaseTestWorld();
    fs::remove(fs::path(dir.Path()) / "light.log");
    Build("hall", true);
    EXPECT_EQ(ReadText(fs::path(dir.Path()) / "world.log"), worldLog);
    EXPECT_EQ(ReadText(fs::path(dir.Path()) / "light.log"), lightLog);
}

}  // namespace
