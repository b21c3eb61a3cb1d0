// The stored forms of room groups, rooms, walls and portals: the table test with fuzz seeds,
// hand-written bytes of each class's own fields, damaged records and a whole level.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/core/sg_stream.h"
#include "engine/render/portal/sg_portal.h"
#include "engine/render/portal/sg_room.h"
#include "tests/engine/special/special_fixture.h"
#include "tests/engine/support/sg_stream_cases.h"
#include "tools/writers/room_model.h"

namespace {

using Bytes = std::vector<uint8_t>;

void AddU32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void AddU16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void AddF32(Bytes& b, float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    AddU32(b, v);
}
void AddString(Bytes& b, const char* text) {
    AddU32(b, static_cast<uint32_t>(std::strlen(text)));
    b.insert(b.end(), text, text + std::strlen(text));
}

// Where the pattern starts in the bytes, or npos.
size_t Find(const Bytes& bytes, const Bytes& pattern) {
    auto at = std::search(bytes.begin(), bytes.end(), pattern.begin(), pattern.end());
    return at == bytes.end() ? std::string::npos : static_cast<size_t>(at - bytes.begin());
}

SgRef<SgWall> MakeWall(const SgVec3& n, float c) {
    SgRef<SgWall> wall(new SgWall);
    wall->modelPlane = SgPlaneEq(n, c);
    return wall;
}

SgRef<SgPortal> MakeTriangularPortal(SgRoom* room) {
    const SgVec3 corners[3] = {{1, 0, 0}, {0, 2, 0}, {0, 0, -1}};
    return SgRef<SgPortal>(new SgPortal(3, corners, room, 1));
}

// A room with one item on each list: a wall, an incoming portal, an outgoing portal, a shape.
SgRef<SgRoom> MakeListedRoom() {
    SgRef<SgRoom> room(new SgRoom);
    room->walls.Append(MakeWall({0, 1, 0}, -1).Get());
    room->incomingPortals.Append(MakeTriangularPortal(room.Get()).Get());
    room->outgoingPortals.Append(MakeTriangularPortal(nullptr).Get());
    room->contents.Append(MakeCentredTriangle(0.5f).Get());
    room->RebuildChildren();
    room->UpdateAllStates();
    return room;
}

const SgStreamCase kCases[] = {
    {"SgRoomGroup", [] { return SgRef<SgObject>(BuildRoomModel().group.Get()); }},
    {"SgRoom", [] { return SgRef<SgObject>(MakeListedRoom().Get()); }},
    {"SgWall",
     [] {
         SgRef<SgWall> wall = MakeWall({0, 0.6f, 0.8f}, 1.5f);
         wall->InsertChild(MakeCentredTriangle().Get(), false);
         return SgRef<SgObject>(wall.Get());
     }},
    {"SgPortal",
     [] {
         // The room behind is linked only when something else holds it: the golden test below.
         SgRef<SgPortal> portal = MakeTriangularPortal(nullptr);
         portal->enabled = 0;
         portal->localTranslation = {1, 2, 3};
         return SgRef<SgObject>(portal.Get());
     }},
};

TEST_P(SgStreamCaseTest, RoundTrip) { CheckStreamRoundTrip(GetParam()); }
TEST_P(SgStreamCaseTest, MatchesSeed) { CheckStreamSeed(GetParam()); }
INSTANTIATE_TEST_SUITE_P(Portal, SgStreamCaseTest, testing::ValuesIn(kCases), SgStreamCaseName);

TEST(SgPortalStreamTest, PortalFieldsAtTheirPlaces) {
    SgRef<SgRoom> room(new SgRoom);
    SgRef<SgPortal> portal = MakeTriangularPortal(room.Get());
    Bytes bytes = SaveAsTopLevel(portal.Get());
    // Plane count, vertex count, the corners, enabled, the room's link id (the portal is 1).
    Bytes tail;
    AddU16(tail, 3);
    AddU16(tail, 3);
    for (float f : {1.0f, 0.0f, 0.0f, 0.0f, 2.0f, 0.0f, 0.0f, 0.0f, -1.0f})
        AddF32(tail, f);
    tail.push_back(1);
    AddU32(tail, 2);
    size_t at = Find(bytes, tail);
    ASSERT_NE(at, std::string::npos);

    {
        auto stream = std::make_unique<SgSceneStream>();
        ASSERT_TRUE(stream->Load(bytes.data(), bytes.size()));
        SgRef<SgPortal> loaded(SgExactCast<SgPortal>(stream->TopLevelObject(0)));
        ASSERT_NE(loaded.Get(), nullptr);
        EXPECT_TRUE(loaded->IsEqualTo(portal.Get()));
        ASSERT_NE(loaded->AdjoiningRoom(), nullptr);
        EXPECT_EQ(loaded->ModelVertices()[1].y, 2.0f);
        // Nothing but the stream holds the room: when it goes the portal forgets it.
        stream.reset();
        EXPECT_EQ(loaded->AdjoiningRoom(), nullptr);
    }

    // A plane count that differs from the vertex count is damaged, one way or the other.
    for (uint16_t planes : {2, 4}) {
        Bytes damaged = bytes;
        damaged[at] = static_cast<uint8_t>(planes);
        uint32_t live = SgObject::LiveCount();
        SgSceneStream stream;
        EXPECT_FALSE(stream.Load(damaged.data(), damaged.size()));
        EXPECT_EQ(SgSceneStream::ErrorCode(), SG_STREAM_DAMAGED);
        EXPECT_EQ(SgObject::LiveCount(), live);
    }
    // A huge vertex count with both counts equal is refused before anything is allocated.
    Bytes huge = bytes;
    huge[at] = huge[at + 1] = huge[at + 2] = huge[at + 3] = 0xFF;
    SgSceneStream stream;
    EXPECT_FALSE(stream.Load(huge.data(), huge.size()));
}

TEST(SgPortalStreamTest, DefaultPortalRoundTrips) {
    SgRef<SgPortal> portal(new SgPortal);
    Bytes bytes = SaveAsTopLevel(portal.Get());
    Bytes tail = {0, 0, 0, 0, 0};  // no planes, no corners, disabled
    AddU32(tail, 0);               // no room
    AddString(tail, SgSceneStream::kEndMarker);
    ASSERT_GE(bytes.size(), tail.size());
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), bytes.end() - static_cast<long>(tail.size())));
    SgRef<SgObject> back = LoadSingleTopLevel(bytes);
    auto* loaded = SgExactCast<SgPortal>(back.Get());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->VertexCount(), 0u);
    EXPECT_EQ(loaded->PlaneCount(), 0u);
    EXPECT_TRUE(loaded->IsEqualTo(portal.Get()));
}

TEST(SgPortalStreamTest, WallPlaneAndRoomListsAtTheirPlaces) {
    Bytes wallBytes = SaveAsTopLevel(MakeWall({0, 1, 0}, 2.5f).Get());
    Bytes plane;
    for (float f : {0.0f, 1.0f, 0.0f, 2.5f})
        AddF32(plane, f);
    AddString(plane, SgSceneStream::kEndMarker);
    EXPECT_TRUE(std::equal(plane.begin(), plane.end(), wallBytes.end() - static_cast<long>(plane.size())));

    // Ids by registration: the room 1, its children (outgoing portal 2, wall 3, shape 4), then
    // the incoming portal 5. The node part ends with no lights; then walls, incoming portals,
    // outgoing portals, contents.
    Bytes roomBytes = SaveAsTopLevel(MakeListedRoom().Get());
    Bytes lists;
    AddU32(lists, 0);
    for (uint32_t id : {3u, 5u, 2u, 4u}) {
        AddU32(lists, 1);
        AddU32(lists, id);
    }
    EXPECT_NE(Find(roomBytes, lists), std::string::npos);

    // A group: the outside object's id, the room count and the rooms in chain order.
    SgRef<SgRoomGroup> group(new SgRoomGroup);
    SgRef<SgRoom> second(new SgRoom), first(new SgRoom);
    group->AddRoom(second.Get());
    group->AddRoom(first.Get());
    group->outside = MakeCentredTriangle().Get();
    group->RebuildChildren();
    Bytes groupBytes = SaveAsTopLevel(group.Get());
    Bytes own;
    AddU32(own, 0);  // no lights
    for (uint32_t v : {2u, 2u, 3u, 4u})
        AddU32(own, v);
    EXPECT_NE(Find(groupBytes, own), std::string::npos);

    SgRef<SgObject> back = LoadSingleTopLevel(groupBytes);
    auto* loaded = SgExactCast<SgRoomGroup>(back.Get());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->rooms.Count(), 2u);
    EXPECT_EQ(loaded->rooms.First(), loaded->ChildAt(1)) << "the chain keeps its order";
}

TEST(SgPortalStreamTest, RoomListsOfForeignClassesAreDropped) {
    // A room whose wall list names a shape: the id resolves to no wall and is left out.
    SgRef<SgRoom> room = MakeListedRoom();
    Bytes bytes = SaveAsTopLevel(room.Get());
    Bytes lists;
    for (uint32_t v : {0u, 1u, 3u, 1u, 5u})  // no lights, one wall (3), one incoming portal (5)
        AddU32(lists, v);
    size_t at = Find(bytes, lists);
    ASSERT_NE(at, std::string::npos);
    bytes[at + 8] = 4;  // the shape's id
    SgRef<SgObject> back = LoadSingleTopLevel(bytes);
    auto* loaded = SgExactCast<SgRoom>(back.Get());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->walls.Count(), 0u);
    EXPECT_EQ(loaded->contents.Count(), 1u);
}

TEST(SgPortalStreamTest, ListsThatReachBackCompareAndRelease) {
    // A room whose contents name itself, and a group whose outside object holds the group: the
    // comparison ends, and breaking the lists lets both go.
    uint32_t live = SgObject::LiveCount();
    {
        SgRef<SgRoom> a(new SgRoom), b(new SgRoom);
        a->contents.Append(a.Get());
        b->contents.Append(b.Get());
        EXPECT_TRUE(a->IsEqualTo(b.Get()));
        SgRef<SgRoomGroup> group(new SgRoomGroup);
        SgRef<SgNode> holder(new SgNode);
        holder->InsertChild(group.Get(), false);
        group->outside = holder.Get();
        group->AddRoom(a.Get());
        EXPECT_TRUE(group->IsEqualTo(group.Get()));
        a->RemoveAllContents();
        b->RemoveAllContents();
        group->RemoveAllRooms();
        group->outside = nullptr;
    }
    EXPECT_EQ(SgObject::LiveCount(), live);
}

class RoomFileTest : public SpecialSceneTest {};

TEST_F(RoomFileTest, TheSavedLevelLoadsAndDrawsAlike) {
    RoomModel m = BuildRoomModel();
    SgRef<SgObject> back = LoadSingleTopLevel(RoomModelBytes());
    auto* group = SgExactCast<SgRoomGroup>(back.Get());
    ASSERT_NE(group, nullptr);
    EXPECT_TRUE(group->IsEqualTo(m.group.Get()));
    auto* forward = SgExactCast<SgPortal>(group->FindByName("forward0"));
    ASSERT_NE(forward, nullptr);
    ASSERT_NE(forward->AdjoiningRoom(), nullptr);
    EXPECT_STREQ(forward->AdjoiningRoom()->GetName(), "room1");
    EXPECT_EQ(forward->AdjoiningRoom()->incomingPortals.Head()->item.Get(), forward);

    group->UpdateAllStates();
    camera->localTranslation = {-2, 0, 0};
    camera->UpdateAllStates();
    Frame(group);
    EXPECT_EQ(render->Count("DrawTriShape"), 7u) << "three floors, three markers and the mural";
    EXPECT_STREQ(group->lastRoom->GetName(), "room0");
}

}  // namespace
