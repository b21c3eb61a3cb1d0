// Rooms, walls and portals of the arena, the lookups of the room holding a point in both modes,
// lights around a point, the sky node, the debug lists and the counting walks; the room extra
// data in a saved scene.

#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "client/present/room_extra.h"
#include "client/present/rooms.h"
#include "engine/geometry/sg_tri_shape.h"
#include "tests/engine/support/sg_stream_cases.h"

namespace {

using present::RoomPortalDefs;
using present::World;
using present::WorldTables;

// The nodes a light was given, in the order it was given them (its list puts each at the head).
std::vector<SgNode*> LitInOrder(SgLight* light) {
    std::vector<SgNode*> lit;
    for (SgNode* node : light->LitNodes())
        lit.insert(lit.begin(), node);
    return lit;
}

// A point's engine coordinates from game units.
SgVec3 Engine(float x, float y, float z) { return SgVec3(x * 0.01f, y * 0.01f, -z * 0.01f); }

class RoomsTest : public testing::Test {
protected:
    void SetUp() override { defs = std::make_unique<RoomPortalDefs>(); }
    void TearDown() override {
        present::ReleaseWorldRooms();
        World() = WorldTables{};
    }

    void Room(int i, int minx, int maxx, int miny, int maxy, int minz, int maxz) {
        defs->rooms[i] = present::RoomDef{1, minx, miny, minz, maxx, maxy, maxz};
    }
    // Corners in game units, as portal.dat's reader leaves them.
    void Portal(int j, int x1, int y1, int z1, int x2, int y2, int z2, int room1, int room2, int dir) {
        defs->portals[j] = present::PortalDef{1, x1, y1, z1, x2, y2, z2, room1, room2, dir};
    }

    // Rooms, outside room and portals of the definitions in the world builder's order.
    void Build() {
        WorldTables& w = World();
        w.portalMode = 1;
        w.worldRoot = SgRef<SgNode>(new SgNode);
        w.roomGroup = SgRef<SgRoomGroup>(new SgRoomGroup);
        w.worldRoot->InsertChild(w.roomGroup.Get(), false);
        for (int i = 0; i < present::kMaxRoomDefs; ++i) {
            if (!defs->rooms[i].valid)
                continue;
            ASSERT_NE(present::CreateGroupRoom(w.roomTable[i], false), nullptr);
            present::BuildRoomWalls(*defs, i);
        }
        ASSERT_NE(present::BuildOutsideRoom(), nullptr);
        for (int j = 0; j < present::kMaxPortalDefs; ++j)
            if (defs->portals[j].valid)
                present::BuildRoomPortals(*defs, j);
        w.worldRoot->UpdateAllStates();
    }

    static SgRoomExtraData* Data(SgRoom* room) { return present::RoomDataOf(room); }
    static SgNode* ObjectNode(SgRoom* room) { return Data(room) ? Data(room)->objectNode : nullptr; }
    SgNode* Find(float x, float y, float z, SgNode* hint = nullptr) {
        SgVec3 p = Engine(x, y, z);
        return present::FindRoomAtPoint(p.x, p.y, p.z, hint);
    }

    std::unique_ptr<RoomPortalDefs> defs;
};

struct WallCase {
    int32_t overlap;
    float constants[6];
};

TEST_F(RoomsTest, WallsFaceIntoTheRoomAndOverlapShrinksXAndY) {
    const WallCase cases[] = {
        {0, {1.28f, -3.84f, 0.64f, -2.56f, 0.32f, -2.56f}},
        {1, {1.60f, -3.52f, 0.96f, -2.24f, 0.32f, -2.56f}},
    };
    const SgVec3 normals[6] = {SgVec3(1, 0, 0), SgVec3(-1, 0, 0), SgVec3(0, 1, 0),
                               SgVec3(0, -1, 0), SgVec3(0, 0, -1), SgVec3(0, 0, 1)};
    for (const WallCase& c : cases) {
        *defs = RoomPortalDefs{};
        defs->overlapRooms = c.overlap;
        Room(0, 2, 5, 1, 3, 32, 256);
        Build();
        SgRoom* room = World().roomTable[0].Get();
        ASSERT_NE(room, nullptr);
        ASSERT_EQ(room->walls.Count(), 6u);
        int k = 0;
        for (auto* n = room->walls.Head(); n; n = n->next) {
            SgWall* wall = n->item.Get();
            EXPECT_EQ(wall->modelPlane.normal, normals[k]) << "overlap " << c.overlap << " wall " << k;
            EXPECT_NEAR(wall->modelPlane.constant, c.constants[k], 1e-6) << "overlap " << c.overlap << " wall " << k;
            ++k;
        }
        // The box never shrinks; z low is the floor's engine z, the larger number.
        const float* b = Data(room)->bounds;
        const float box[6] = {1.28f, 3.84f, 0.64f, 2.56f, -0.32f, -2.56f};
        for (int i = 0; i < 6; ++i)
            EXPECT_NEAR(b[i], box[i], 1e-6) << i;
        // Children: walls, then the contents node (no portals here).
        ASSERT_EQ(room->ChildCount(), 7u);
        EXPECT_EQ(room->ChildAt(0), room->walls.Head()->item.Get());
        EXPECT_EQ(room->ChildAt(6), Data(room)->contentsNode);
        present::ReleaseWorldRooms();
    }
}

TEST_F(RoomsTest, RoomNodesCarryTheirRoom) {
    Room(3, 0, 1, 0, 1, 0, 128);
    Build();
    SgRoom* room = World().roomTable[3].Get();
    SgRoomExtraData* data = Data(room);
    ASSERT_NE(data, nullptr);
    for (SgNode* node : {data->objectNode, data->staticNode, data->contentsNode}) {
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(present::RoomPointerOf(node), room);
    }
    EXPECT_EQ(data->contentsNode->ChildAt(0), data->staticNode);
    EXPECT_EQ(data->contentsNode->ChildAt(1), data->objectNode);
    EXPECT_EQ(data->contentsNode->deferralMode, 0u);
    SgRoomExtraData* outside = Data(World().outsideRoom.Get());
    ASSERT_NE(outside, nullptr);
    EXPECT_EQ(outside->contentsNode, nullptr);
    EXPECT_NE(outside->staticNode, nullptr);
}

TEST_F(RoomsTest, PointsFindTheirRoomsInGroupOrder) {
    Room(0, 0, 3, 0, 3, 0, 256);  // x, y 0..255 units
    Room(1, 2, 5, 0, 3, 0, 256);  // overlaps 0 on cells 2..3; made later, found first
    Build();
    SgNode* a = ObjectNode(World().roomTable[0].Get());
    SgNode* b = ObjectNode(World().roomTable[1].Get());
    SgNode* outside = ObjectNode(World().outsideRoom.Get());
    struct PointCase {
        float x, y, z;
        SgNode* expected;
        const char* what;
    };
    const PointCase cases[] = {
        {32, 32, 64, a, "inside the first room"},
        {0, 0, 0, a, "on its corner walls and floor"},
        {256, 10, 10, b, "on the first room's far wall but inside the second"},
        {150, 10, 10, b, "in both: the later room"},
        {380, 10, 10, b, "in the second only"},
        {32, 32, 768, outside, "at 768"},
        {32, 32, 5000, outside, "far above"},
        {32, 32, 600, World().worldRoot.Get(), "between the rooms' ceiling and 768"},
        {1000, 1000, 10, World().worldRoot.Get(), "in no room"},
    };
    for (const PointCase& c : cases)
        EXPECT_EQ(Find(c.x, c.y, c.z), c.expected) << c.what;
    // The hint's room is asked first.
    EXPECT_EQ(Find(150, 10, 10, a), a);
    EXPECT_EQ(Find(380, 10, 10, a), b);
    SgRef<SgNode> stranger(new SgNode);
    EXPECT_EQ(Find(150, 10, 10, stranger.Get()), b);
}

TEST_F(RoomsTest, ARoomWhoseFirstExtraDataIsAnotherKindIsNoRoom) {
    Room(0, 0, 3, 0, 3, 0, 256);
    Build();
    SgRoom* room = World().roomTable[0].Get();
    room->PrependExtra(new SgStringExtraData("label"));
    EXPECT_EQ(Find(32, 32, 64), World().worldRoot.Get());
    char text[64] = "";
    present::ListRoomsAtPoint(32, 32, 64, text, sizeof text);
    EXPECT_STREQ(text, "");
}

// Whichever side names the outside room, the outside room only ever receives portals: the room
// draws the way out, the outside room has no portals of its own to draw.
TEST_F(RoomsTest, TheOutsideRoomHoldsNoOutgoingPortalWhicheverSideItIs) {
    for (bool outsideFirst : {true, false}) {
        SCOPED_TRACE(outsideFirst);
        Room(0, 0, 3, 0, 3, 0, 256);
        if (outsideFirst)
            Portal(0, 64, 64, 256, 128, 128, 256, present::kOutsideRoomNumber, 0, 2);
        else
            Portal(0, 64, 64, 256, 128, 128, 256, 0, present::kOutsideRoomNumber, 2);
        Build();
        SgRoom* room = World().roomTable[0].Get();
        SgRoom* outside = World().outsideRoom.Get();
        EXPECT_EQ(outside->outgoingPortals.Count(), 0u);
        ASSERT_EQ(outside->incomingPortals.Count(), 1u);
        ASSERT_EQ(room->outgoingPortals.Count(), 1u);
        ASSERT_EQ(room->incomingPortals.Count(), 1u);
        SgPortal* way = room->outgoingPortals.Head()->item.Get();
        EXPECT_EQ(way->AdjoiningRoom(), outside);
        EXPECT_EQ(outside->incomingPortals.Head()->item.Get(), way);
        present::ReleaseWorldRooms();
        World() = WorldTables{};
        defs = std::make_unique<RoomPortalDefs>();
    }
}

TEST_F(RoomsTest, EachPortalStandsInBothRoomsFacingItsOwn) {
    Room(0, 0, 3, 0, 3, 0, 256);
    Room(1, 4, 7, 0, 3, 0, 256);
    Portal(0, 256, 64, 0, 256, 128, 128, 0, 1, 1);  // along y at x 256
    Portal(1, 64, 0, 0, 128, 0, 128, 0, present::kOutsideRoomNumber, 0);
    Portal(2, 64, 64, 256, 128, 128, 256, 600, 1, 2);  // no room 600: nothing
    Portal(3, 64, 64, 256, 128, 128, 256, 0, 9, 2);    // room 9 not built: nothing
    Build();
    SgRoom* a = World().roomTable[0].Get();
    SgRoom* b = World().roomTable[1].Get();
    SgRoom* outside = World().outsideRoom.Get();
    ASSERT_EQ(a->outgoingPortals.Count(), 2u);
    // The portal outside comes back in: its outline toward the room also stands in it.
    ASSERT_EQ(a->incomingPortals.Count(), 2u);
    ASSERT_EQ(b->outgoingPortals.Count(), 1u);
    ASSERT_EQ(b->incomingPortals.Count(), 1u);
    EXPECT_EQ(outside->outgoingPortals.Count(), 0u);
    ASSERT_EQ(outside->incomingPortals.Count(), 1u);

    SgPortal* p1 = a->outgoingPortals.Head()->item.Get();
    SgPortal* p2 = b->outgoingPortals.Head()->item.Get();
    EXPECT_EQ(p1->AdjoiningRoom(), b);
    EXPECT_EQ(p2->AdjoiningRoom(), a);
    EXPECT_EQ(b->incomingPortals.Head()->item.Get(), p1);
    EXPECT_EQ(a->incomingPortals.Head()->item.Get(), p2);
    const SgVec3 towardB[4] = {SgVec3(2.56f, 0.64f, 0), SgVec3(2.56f, 1.28f, 0), SgVec3(2.56f, 1.28f, -1.28f),
                               SgVec3(2.56f, 0.64f, -1.28f)};
    const SgVec3 towardA[4] = {SgVec3(2.56f, 0.64f, 0), SgVec3(2.56f, 0.64f, -1.28f), SgVec3(2.56f, 1.28f, -1.28f),
                               SgVec3(2.56f, 1.28f, 0)};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(p1->ModelVertices()[k], towardB[k]) << k;
        EXPECT_EQ(p2->ModelVertices()[k], towardA[k]) << k;
    }
    // The portal outside: drawn from its room with the outside room as target.
    SgPortal* out = a->outgoingPortals.Head()->next->item.Get();
    EXPECT_EQ(out->AdjoiningRoom(), outside);
    EXPECT_EQ(outside->incomingPortals.Head()->item.Get(), out);
    // Children: outgoing portals first, then walls, then contents.
    EXPECT_EQ(a->ChildAt(0), p1);
    EXPECT_EQ(a->ChildAt(1), out);
    EXPECT_EQ(a->ChildAt(2), a->walls.Head()->item.Get());
}

TEST_F(RoomsTest, HorizontalPortalOutlines) {
    Room(0, 0, 3, 0, 3, 0, 256);
    Room(1, 0, 3, 0, 3, 256, 512);
    Portal(0, 128, 256, 256, 256, 320, 256, 0, 1, 2);
    Build();
    SgPortal* p1 = World().roomTable[0]->outgoingPortals.Head()->item.Get();
    SgPortal* p2 = World().roomTable[1]->outgoingPortals.Head()->item.Get();
    const SgVec3 towardB[4] = {SgVec3(1.28f, 2.56f, -2.56f), SgVec3(1.28f, 3.2f, -2.56f),
                               SgVec3(2.56f, 3.2f, -2.56f), SgVec3(2.56f, 2.56f, -2.56f)};
    const SgVec3 towardA[4] = {SgVec3(1.28f, 2.56f, -2.56f), SgVec3(2.56f, 2.56f, -2.56f),
                               SgVec3(2.56f, 3.2f, -2.56f), SgVec3(1.28f, 3.2f, -2.56f)};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(p1->ModelVertices()[k], towardB[k]) << k;
        EXPECT_EQ(p2->ModelVertices()[k], towardA[k]) << k;
    }
}

TEST_F(RoomsTest, PortalLightsReachTheRoomAndTheRoomsItSees) {
    Room(0, 0, 3, 0, 3, 0, 256);
    Room(1, 4, 7, 0, 3, 0, 256);
    Room(2, 8, 9, 0, 3, 0, 256);
    Portal(0, 256, 64, 0, 256, 128, 128, 0, 1, 1);
    Portal(1, 512, 64, 0, 512, 128, 128, 1, 2, 1);
    Build();
    SgRef<SgLight> light(new SgLight);
    SgRoomExtraData* a = Data(World().roomTable[0].Get());
    SgRoomExtraData* b = Data(World().roomTable[1].Get());
    present::LightRoomsNearPoint(light.Get(), 0.3f, 0.3f, a->objectNode);
    EXPECT_EQ(LitInOrder(light.Get()), (std::vector<SgNode*>{a->objectNode, a->staticNode, b->objectNode, b->staticNode}));
    light->ForgetAllLitNodes();
    SgRef<SgNode> stranger(new SgNode);
    present::LightRoomsNearPoint(light.Get(), 0.3f, 0.3f, stranger.Get());
    present::LightRoomsNearPoint(light.Get(), 0.3f, 0.3f, nullptr);
    EXPECT_EQ(light->LitNodes().Count(), 0u);
}

class BlockModeTest : public RoomsTest {
protected:
    void SetUp() override {
        RoomsTest::SetUp();
        WorldTables& w = World();
        w.portalMode = 0;
        w.worldRoot = SgRef<SgNode>(new SgNode);
        for (int i = 0; i < present::kBlockCount; ++i)
            w.blockTable[i] = SgRef<SgNode>(new SgNode);
    }
    // A point in block b: its low corner plus a little, in engine units.
    static SgVec3 InBlock(int b) { return Engine((b / 32) * 256 + 10.0f, (b % 32) * 256 + 20.0f, 0); }
};

TEST_F(BlockModeTest, BlocksByArithmeticAndTheGridEdge) {
    WorldTables& w = World();
    for (int b : {0, 31, 32, 33, 500, 991, 992, 1023}) {
        SgVec3 p = InBlock(b);
        EXPECT_EQ(present::FindRoomAtPoint(p.x, p.y, 99.0f, nullptr), w.blockTable[b].Get()) << b;
    }
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const SgVec3 off[] = {Engine(-2, 10, 0), Engine(10, -64, 0), Engine(8200, 10, 0), Engine(10, 9000, 0),
                          SgVec3(nan, 0.1f, 0), SgVec3(0.1f, nan, 0)};
    for (const SgVec3& p : off)
        EXPECT_EQ(present::FindRoomAtPoint(p.x, p.y, 0, nullptr), w.worldRoot.Get()) << p.x << ", " << p.y;
    // The last unit of the grid still finds the last block.
    EXPECT_EQ(present::FindRoomAtPoint(81.91f, 81.91f, 0, nullptr), w.blockTable[1023].Get());
}

TEST_F(BlockModeTest, LightsTheNineBlocksAroundWithinTheTable) {
    WorldTables& w = World();
    struct LightCase {
        int b;
        std::vector<int> blocks;
    };
    const LightCase cases[] = {
        {32, {}},
        {33, {0, 1, 2, 32, 33, 34, 64, 65, 66}},
        {500, {467, 468, 469, 499, 500, 501, 531, 532, 533}},
        {991, {958, 959, 960, 990, 991, 992, 1022, 1023}},
        {992, {}},
    };
    for (const LightCase& c : cases) {
        SgRef<SgLight> light(new SgLight);
        SgVec3 p = InBlock(c.b);
        present::LightRoomsNearPoint(light.Get(), p.x, p.y, nullptr);
        std::vector<SgNode*> expected;
        for (int n : c.blocks)
            expected.push_back(w.blockTable[n].Get());
        EXPECT_EQ(LitInOrder(light.Get()), expected) << "block " << c.b;
        light->ForgetAllLitNodes();
    }
    SgRef<SgLight> light(new SgLight);
    present::LightRoomsNearPoint(light.Get(), -0.5f, 3.0f, nullptr);
    present::LightRoomsNearPoint(light.Get(), std::numeric_limits<float>::quiet_NaN(), 3.0f, nullptr);
    EXPECT_EQ(light->LitNodes().Count(), 0u);
}

TEST_F(RoomsTest, SkyNodeFollowsTheViewerWithAlmostAHalfTurn) {
    EXPECT_EQ(present::PlaceSkyNode(1, 2, 3), 0);
    SgRef<SgNode> dome(new SgNode);
    EXPECT_EQ(present::AttachToSkyNode(dome.Get()), 0);
    Build();
    SgNode* sky = Data(World().outsideRoom.Get())->staticNode;
    EXPECT_EQ(present::AttachToSkyNode(dome.Get()), 1);
    EXPECT_EQ(sky->ChildAt(0), dome.Get());
    EXPECT_EQ(present::PlaceSkyNode(1.5f, -2.0f, 0.25f), 1);
    const float a = 3.14159012f;
    const float rows[9] = {std::cos(a), 0, -std::sin(a), 0, 1, 0, std::sin(a), 0, std::cos(a)};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(sky->localRotation.m[i], rows[i]) << i;
    EXPECT_GT(sky->localRotation.m[6], 2e-6f);
    EXPECT_EQ(sky->localTranslation, SgVec3(1.5f, -2.0f, 0.25f));
    EXPECT_EQ(dome->CurrentState()->worldTranslation, SgVec3(1.5f, -2.0f, 0.25f));
}

TEST_F(RoomsTest, ListRoomsIsStrictAndStopsAtTheBufferEnd) {
    Room(0, 0, 3, 0, 3, 0, 256);
    Room(7, 2, 5, 0, 3, 0, 256);
    Room(100, 0, 5, 0, 3, 0, 256);
    Build();
    struct ListCase {
        int x, y, z;
        const char* text;
    };
    const ListCase cases[] = {
        {150, 10, 10, "#0 #7 #100 "}, {32, 32, 64, "#0 #100 "}, {256, 10, 10, "#7 #100 "},
        {0, 10, 10, ""},              {32, 32, 0, ""},         {32, 32, 256, ""},
    };
    for (const ListCase& c : cases) {
        char text[64] = "";
        EXPECT_EQ(present::ListRoomsAtPoint(c.x, c.y, c.z, text, sizeof text), 1);
        EXPECT_STREQ(text, c.text) << c.x << ", " << c.y << ", " << c.z;
    }
    char text[8] = "";
    present::ListRoomsAtPoint(150, 10, 10, text, sizeof text);
    EXPECT_STREQ(text, "#0 #7 ");
    char full[9] = "abcdefgh";
    present::ListRoomsAtPoint(150, 10, 10, full, 4);
    EXPECT_EQ(std::string(full, 8), "abcdefgh");
}

TEST_F(RoomsTest, CountingWalks) {
    Room(0, 0, 3, 0, 3, 0, 256);
    Build();
    SgRoomExtraData* data = Data(World().roomTable[0].Get());
    const SgVec3 corners[4] = {SgVec3(0, 0, 0), SgVec3(1, 0, 0), SgVec3(1, 1, 0), SgVec3(0, 1, 0)};
    const uint16_t quad[6] = {0, 1, 2, 0, 2, 3};
    SgRef<SgNode> holder(new SgNode);
    SgRef<SgTriShape> a(new SgTriShape(4, corners, nullptr, 2, quad, nullptr, nullptr));
    SgRef<SgTriShape> b(new SgTriShape(3, corners, nullptr, 1, quad, nullptr, nullptr));
    holder->InsertChild(a.Get(), true);
    holder->InsertChild(b.Get(), true);
    data->objectNode->InsertChild(holder.Get(), true);
    EXPECT_EQ(present::CountGeometries(holder.Get()), 2);
    EXPECT_EQ(present::CountTriangles(holder.Get()), 3);
    EXPECT_EQ(present::CountVertices(holder.Get()), 7);
    EXPECT_EQ(present::CountGeometries(nullptr), 0);
    EXPECT_EQ(present::CountNodes(holder.Get()), 3);
    // The object node, its holder and the two shapes.
    EXPECT_EQ(present::CountNodesInRoomAt(32, 32, 64), 4);
    EXPECT_EQ(present::CountNodesInRoomAt(1000, 1000, 64), present::CountNodes(World().worldRoot.Get()));

    ASSERT_EQ(a->Normals(), nullptr);
    present::PrepareGeometry(holder.Get());
    ASSERT_NE(a->Normals(), nullptr);
    EXPECT_NEAR(std::fabs(a->Normals()[0].z), 1.0f, 1e-6);
}

TEST_F(RoomsTest, ReleaseEmptiesEveryTable) {
    Room(0, 0, 3, 0, 3, 0, 256);
    Build();
    World().blockTable[5] = SgRef<SgNode>(new SgNode);
    World().gridBlockNodes[2] = SgRef<SgNode>(new SgNode);
    SgRef<SgRoom> kept = World().roomTable[0];
    present::ReleaseWorldRooms();
    WorldTables& w = World();
    EXPECT_FALSE(w.worldRoot);
    EXPECT_FALSE(w.roomGroup);
    EXPECT_FALSE(w.outsideRoom);
    EXPECT_FALSE(w.roomTable[0]);
    EXPECT_FALSE(w.blockTable[5]);
    EXPECT_FALSE(w.gridBlockNodes[2]);
    EXPECT_EQ(kept->RefCount(), 1u);
}

TEST(RoomExtraDataTest, SavedRoomsKeepOnlyTheClassNamesOfTheirData) {
    SgRef<SgRoom> room(new SgRoom);
    auto* data = new SgRoomExtraData;
    data->SetBounds(SgVec3(1, 2, 3), SgVec3(4, 5, 6));
    EXPECT_EQ(std::vector<float>(data->bounds, data->bounds + 6), (std::vector<float>{1, 4, 2, 5, 3, 6}));
    room->SetExtraHead(data);
    SgRef<SgNode> node(new SgNode);
    node->SetExtraHead(new SgRoomPointerExtraData(room.Get()));
    room->contents.Append(node.Get());
    room->RebuildChildren();

    std::vector<uint8_t> bytes = SaveAsTopLevel(room.Get());
    for (const char* name : {"SgRoomExtraData", "SgRoomPointerExtraData"}) {
        const size_t n = std::strlen(name);
        auto at = std::search(bytes.begin(), bytes.end(), name, name + n);
        ASSERT_NE(at, bytes.end()) << name;
        // The name's record, then a byte count of 0 and nothing of the fields.
        const size_t after = static_cast<size_t>(at - bytes.begin()) + n;
        ASSERT_GE(bytes.size(), after + 4);
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + after, bytes.begin() + after + 4),
                  (std::vector<uint8_t>{0, 0, 0, 0}))
            << name;
    }
    SgRef<SgObject> loaded = LoadSingleTopLevel(bytes);
    ASSERT_TRUE(loaded);
    ASSERT_NE(loaded->ExtraHead(), nullptr);
    EXPECT_EQ(loaded->ExtraHead()->byteCount, 0u);
    EXPECT_EQ(present::RoomDataOf(loaded.Get()), nullptr);
}

}  // namespace
