// The world builder over a small in-memory grid: rooms with merged floor and ceiling planes and
// world.log, block mode with portals off, preburned light objects and light.log, and a release
// that leaves no engine object behind.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "client/present/camera_set.h"
#include "client/present/preburn_lights.h"
#include "client/present/room_extra.h"
#include "client/present/rooms.h"
#include "client/present/world_lighting.h"
#include "client/present/world_create.h"
#include "client/present/world_rooms.h"
#include "tests/client/present/cell_grid.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace celltest;
using present::World;

class WorldRoomsTest : public testing::Test {
protected:
    void SetUp() override {
        dir.Enter();
        before = SgObject::LiveCount();
        present::Cameras().sceneRoot = SgRef<SgNode>(new SgNode);
        FillTextureSlots({1, 2, 3, 4, 5, 6});
        defs = std::make_unique<present::RoomPortalDefs>();
    }
    void TearDown() override {
        present::ResetHudAndFigures();
        present::Cameras() = present::CameraSet{};
        EXPECT_EQ(SgObject::LiveCount(), before);
    }
    void Room(int i, int minx, int maxx, int miny, int maxy, int minz, int maxz) {
        defs->rooms[i] = present::RoomDef{1, minx, miny, minz, maxx, maxy, maxz};
    }
    void Build() { present::BuildWorldRooms(*defs, grid.Layers(), dir.Path().c_str()); }
    // The quads of a built room's geometry node (the static node's holder holds it).
    static std::vector<std::string> RoomQuads(int room) {
        SgNode* statics = present::RoomDataOf(World().roomTable[room].Get())->staticNode;
        auto* holder = SgKindCast<SgNode>(statics->ChildAt(1));
        EXPECT_NE(holder, nullptr);
        auto* geometry = holder ? SgKindCast<SgNode>(holder->ChildAt(0)) : nullptr;
        EXPECT_NE(geometry, nullptr);
        return geometry ? Quads(geometry) : std::vector<std::string>{};
    }

    TempDir dir;
    uint32_t before = 0;
    CellGrid grid;
    std::unique_ptr<present::RoomPortalDefs> defs;
};

TEST_F(WorldRoomsTest, RoomsMergeTheirPlanesAndLogTheirSizes) {
    defs->portalsOn = 1;
    Room(0, 2, 4, 2, 3, 0, 256);  // odd width: the last column merges in pairs only
    Room(1, 6, 6, 2, 2, 0, 256);  // one cell: single quads
    Room(2, 9, 9, 9, 9, 0, 256);
    defs->rooms[2].valid = 0;     // not valid: no room, no line
    Build();
    EXPECT_EQ(dir.Read("world.log"),
              "Room #0 (3x2): geom=4 tri=8 vert=16\n"
              "Room #1 (1x1): geom=2 tri=4 vert=8\n"
              "TOTALS: geom=6 tri=12 vert=24\n");
    ASSERT_TRUE(World().roomTable[0]);
    EXPECT_FALSE(World().roomTable[2]);
    EXPECT_EQ(World().portalMode, 1);
    EXPECT_EQ(World().sceneActive, 1);
    // The first room's floor: a 2 x 2 quad and a 1 x 2 quad.
    const auto quads = RoomQuads(0);
    ASSERT_EQ(quads.size(), 4u);
    EXPECT_EQ(quads[0], "1: (128 128 0) (128 256 0) (256 128 0) (256 256 0)");
    EXPECT_EQ(quads[1], "1: (256 128 0) (256 256 0) (320 128 0) (320 256 0)");
    // Rooms are found; above 768 the outside room.
    EXPECT_EQ(present::FindRoomAtPoint(2.0f, 1.5f, -1.0f, nullptr),
              present::RoomDataOf(World().roomTable[0].Get())->objectNode);
    EXPECT_EQ(present::FindRoomAtPoint(2.0f, 1.5f, -8.0f, nullptr),
              present::RoomDataOf(World().outsideRoom.Get())->objectNode);
}

// A pool whose bed lies on the room's floor plane: the plane pass builds the bed, with the wall
// texture and the cell's slope, while the cell itself builds only the water's surface.
TEST_F(WorldRoomsTest, ALiquidBedOnTheFloorPlaneIsBuiltByThePlanePass) {
    defs->portalsOn = 1;
    Room(0, 2, 3, 2, 2, 0, 256);
    grid.Set(kPlaneFloor, 2, 2, 40);
    grid.Set(kPlaneLiquidDepth, 2, 2, 40);
    grid.Set(kPlaneSlope, 2, 2, 2);
    grid.level->slopes[2] = SlopeDef{0, 16, 0, 0};
    Build();
    const auto quads = RoomQuads(0);
    const std::string bed = "2: (128 128 0) (128 192 16) (192 128 0) (192 192 16)";
    EXPECT_EQ(std::count(quads.begin(), quads.end(), bed), 1) << testing::PrintToString(quads);
    EXPECT_EQ(std::count(quads.begin(), quads.end(), "1: (128 128 40) (128 192 40) (192 128 40) (192 192 40)"), 1)
        << "the surface, by the cell";
}

TEST_F(WorldRoomsTest, PortalsOffBuildsSixtyFourBlocks) {
    Room(0, 2, 4, 2, 3, 0, 256);
    Build();
    EXPECT_EQ(dir.Read("world.log"), "TOTALS: geom=0 tri=0 vert=0\n");
    EXPECT_EQ(World().portalMode, 0);
    for (int i = 0; i < present::kGridBlockNodeCount; ++i)
        ASSERT_TRUE(World().gridBlockNodes[i]) << i;
    for (int i = 0; i < present::kBlockCount; ++i)
        ASSERT_TRUE(World().blockTable[i]) << i;
    // Border cells (row and column 0 and 127) stay empty; every other open cell has its floor and
    // ceiling.
    EXPECT_EQ(present::CountGeometries(World().gridBlockNodes[0].Get()), 15 * 15 * 2);
    EXPECT_EQ(present::CountGeometries(World().gridBlockNodes[9].Get()), 16 * 16 * 2);
    EXPECT_EQ(present::CountGeometries(World().gridBlockNodes[7].Get()), 15 * 15 * 2);
    EXPECT_EQ(present::CountGeometries(World().gridBlockNodes[56].Get()), 15 * 15 * 2);
    EXPECT_EQ(present::CountGeometries(World().gridBlockNodes[63].Get()), 15 * 15 * 2);
    EXPECT_EQ(present::CountGeometries(World().gridBlockNodes[15].Get()), 16 * 15 * 2);
    // A group of 16 cell nodes with two quads each.
    EXPECT_EQ(present::CountNodes(World().blockTable[33].Get()), 1 + 16 * 3);
}

TEST_F(WorldRoomsTest, PreburnedLightsReachRoomsWithinAThirdOfTheirRange) {
    defs->portalsOn = 1;
    Room(0, 0, 3, 0, 3, 0, 256);  // x 0 .. 2.56
    Room(1, 4, 7, 0, 3, 0, 256);  // x 2.56 .. 5.12
    Build();
    const float colour[3] = {1, 0.5f, 0.25f};
    // Range 3 reaches a third of it past a room: at exactly that distance the first room is not
    // reached.
    const float third = 3.0f * 0.33f;
    present::CreatePreburnLightObject(0, 2.56f + third, 1.0f, -1.0f, 0.5f, 3.0f, colour);
    present::CreatePreburnLightObject(1, 2.5f, 1.0f, -1.0f, 0.5f, 3.0f, colour);
    SgNode* a = present::RoomDataOf(World().roomTable[0].Get())->objectNode;
    SgNode* b = present::RoomDataOf(World().roomTable[1].Get())->objectNode;
    EXPECT_EQ(a->Lights().Count(), 1u);
    EXPECT_EQ(b->Lights().Count(), 2u);
    SgLight* light = present::PreburnLights().objects[1].Get();
    ASSERT_NE(light, nullptr);
    EXPECT_FLOAT_EQ(light->dimmer, 1.0f);
    EXPECT_FLOAT_EQ(light->range, 3.0f);
    EXPECT_FLOAT_EQ(light->falloff, 1.0f);
    EXPECT_EQ(light->diffuse, SgRgb(1, 0.5f, 0.25f));
    present::WriteLightLog();
    present::WriteLightLog();
    EXPECT_EQ(dir.Read("light.log"),
              "Room #0: numlights=1\nRoom #1: numlights=2\nRoom #0: numlights=1\nRoom #1: numlights=2\n");
}

TEST_F(WorldRoomsTest, ABuildOverALiveWorldReplacesItInTheScene) {
    defs->portalsOn = 1;
    Room(0, 2, 4, 2, 3, 0, 256);
    Build();
    SgRef<SgNode> first = World().worldRoot;
    Build();
    SgNode* scene = present::Cameras().sceneRoot.Get();
    ASSERT_EQ(scene->ChildCount(), 1u);
    EXPECT_EQ(scene->ChildAt(0), World().worldRoot.Get());
    EXPECT_NE(World().worldRoot.Get(), first.Get());
}

}  // namespace
