// Rooms, walls and portals: which rooms a camera sees, the planes portals push, the room lookup,
// the lists and rebuilds, and the guards against cycles, deep paths and rooms that are gone.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/core/sg_camera.h"
#include "engine/render/portal/sg_portal.h"
#include "engine/render/portal/sg_room.h"
#include "tests/engine/special/special_fixture.h"
#include "tools/writers/room_model.h"

namespace {

// A leaf that records what the camera looked like while it was drawn.
class Probe : public SgAVObject {
public:
    struct Seen {
        uint32_t planes;
        bool nearOff, farOff;
        uint8_t deferral;
    };

    void RefreshWorldBound(SgWorldState* state) override {
        if (state) {
            state->worldBound.centre = state->worldTranslation;
            state->worldBound.radius = radius;
            state->worldBound.unset = 0;
        }
    }
    void Draw(SgCamera* camera, SgWorldState*) override {
        seen.push_back({camera->ActivePlaneCount(), camera->PlaneDisabled(0), camera->PlaneDisabled(1),
                        camera->deferralFlag});
    }
    void DrawOrDefer(SgCamera* camera, SgDeferredCollector*, SgWorldState* state) override { Draw(camera, state); }

    std::vector<Seen> seen;
    float radius = 0.25f;
};

class RoomTest : public SpecialSceneTest {
protected:
    RoomTest() : m(BuildRoomModel()) {}

    void PlaceCamera(const SgVec3& at, bool lookWest = false) {
        camera->localTranslation = at;
        // Half a turn about y looks along -x.
        camera->localRotation = lookWest ? SgMat3{{-1, 0, 0, 0, 1, 0, 0, 0, -1}} : SgIdentityMat3;
        camera->UpdateAllStates();
    }

    // Which markers (0-2) and the outside object (3) the last frame drew, in order.
    std::vector<int> Markers() const {
        std::vector<int> order = DrawnOrder(
            {m.markers[0].Get(), m.markers[1].Get(), m.markers[2].Get(), m.outside.Get()});
        order.erase(std::remove(order.begin(), order.end(), -1), order.end());
        return order;
    }

    void ExpectCameraRestored() {
        EXPECT_EQ(camera->ActivePlaneCount(), SgCamera::kOwnPlanes);
        EXPECT_TRUE(MaskClear());
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(m.forward[i]->enabled, 1);
            EXPECT_EQ(m.backward[i]->enabled, 1);
            EXPECT_EQ(m.forward[i]->InDisplay(), 0);
        }
    }

    RoomModel m;
};

TEST_F(RoomTest, EachRoomSeesOnlyWhatItsPortalsShow) {
    struct Case {
        SgVec3 at;
        bool lookWest;
        int room;  // -1: outside
        std::vector<int> markers;
    };
    // Each room's outgoing portals are its first children, so the rooms behind come first.
    const Case cases[] = {
        {{-2, 0, 0}, false, 0, {2, 1, 0}},
        {{8, 0, 0}, false, 1, {2, 1}},
        {{18, 0, 0}, true, 2, {0, 1}},  // marker 2 is behind the camera
        {{12, 0, 0}, true, 1, {0}},     // marker 1 too
        {{-20, 0, 0}, false, -1, {3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "camera at x = " << c.at.x);
        PlaceCamera(c.at, c.lookWest);
        Frame(m.group.Get());
        EXPECT_EQ(m.group->lastRoom.Get(), c.room < 0 ? nullptr : m.rooms[c.room].Get());
        EXPECT_EQ(Markers(), c.markers);
        ExpectCameraRestored();
    }
    // With no outside object, outside draws nothing at all.
    m.group->outside = nullptr;
    Frame(m.group.Get());
    EXPECT_EQ(render->Count("DrawTriShape"), 0u);
}

TEST_F(RoomTest, WhatTheOpeningHidesIsCulled) {
    // A probe in room 1 seen from room 0 beside the opening (z 3 at x 13: through x = 5 at z 1.2)
    // and one outside it (z 4.5 at x 8: through x = 5 at z 2.8, past the half width 2).
    SgRef<Probe> through(new Probe), hidden(new Probe);
    through->localTranslation = {13, 0, 3};
    hidden->localTranslation = {8, 0, 4.5f};
    m.rooms[1]->contents.Append(through.Get());
    m.rooms[1]->contents.Append(hidden.Get());
    m.rooms[1]->RebuildChildren();
    m.group->UpdateAllStates();
    PlaceCamera({0, 0, 0});
    Frame(m.group.Get());
    ASSERT_EQ(through->seen.size(), 1u);
    EXPECT_TRUE(hidden->seen.empty()) << "inside the camera's own frustum, outside the opening";
    EXPECT_EQ(through->seen[0].planes, SgCamera::kOwnPlanes + 4);
    // From inside room 1 both are seen, with the camera's own planes only.
    PlaceCamera({6, 0, 4});
    Frame(m.group.Get());
    ASSERT_EQ(through->seen.size(), 2u);
    ASSERT_EQ(hidden->seen.size(), 1u);
    EXPECT_EQ(hidden->seen[0].planes, SgCamera::kOwnPlanes);

    // Two openings deep: eight pushed planes, and the deferral pass draws the same at once.
    SgRef<Probe> far(new Probe);
    far->localTranslation = {23, 0, 0};
    m.rooms[2]->contents.Append(far.Get());
    m.rooms[2]->RebuildChildren();
    m.group->UpdateAllStates();
    PlaceCamera({0, 0, 0});
    camera->useDeferralPass = 1;
    Frame(m.group.Get());
    ASSERT_EQ(far->seen.size(), 1u);
    EXPECT_EQ(far->seen[0].planes, SgCamera::kOwnPlanes + 8);
    EXPECT_EQ(far->seen[0].deferral, 0) << "rooms draw what they hold at once";
    EXPECT_EQ(Markers(), (std::vector<int>{2, 1, 0}));
    ExpectCameraRestored();
}

TEST_F(RoomTest, DisabledPortalsAndRoomlessPortalsDrawNothingBehind) {
    PlaceCamera({0, 0, 0});
    m.forward[1]->enabled = 0;
    Frame(m.group.Get());
    EXPECT_EQ(Markers(), (std::vector<int>{1, 0}));
    EXPECT_EQ(m.forward[1]->enabled, 0) << "a portal the application switched off stays off";
    // One leading into a room that is drawn has its flag saved and put back: off as it was.
    m.forward[1]->enabled = 1;
    m.backward[0]->enabled = 0;
    m.backward[1]->enabled = 0;
    Frame(m.group.Get());
    EXPECT_EQ(Markers(), (std::vector<int>{2, 1, 0}));
    EXPECT_EQ(m.backward[0]->enabled, 0);
    EXPECT_EQ(m.backward[1]->enabled, 0);
    m.backward[0]->enabled = m.backward[1]->enabled = 1;

    m.forward[0]->SetAdjoiningRoom(nullptr);
    Frame(m.group.Get());
    EXPECT_EQ(Markers(), (std::vector<int>{0}));
    EXPECT_EQ(camera->ActivePlaneCount(), SgCamera::kOwnPlanes);
}

TEST_F(RoomTest, TheNearAndFarPlanesComeBackBehindAPortal) {
    // A probe behind the opening reaching past the near and far planes: switched off for the
    // portal's small bound, they must be on again for what lies behind it.
    SgRef<Probe> probe(new Probe);
    probe->localTranslation = {6, 0, 0};
    probe->radius = 200;
    m.rooms[1]->contents.Append(probe.Get());
    m.rooms[1]->RebuildChildren();
    m.group->UpdateAllStates();
    PlaceCamera({0, 0, 0});
    camera->SetPlaneDisabled(0, true);
    camera->SetPlaneDisabled(1, true);
    m.forward[0]->Draw(camera.Get(), m.forward[0]->CurrentState());
    ASSERT_EQ(probe->seen.size(), 1u);
    EXPECT_FALSE(probe->seen[0].nearOff);
    EXPECT_FALSE(probe->seen[0].farOff);
    EXPECT_TRUE(camera->PlaneDisabled(0));
    EXPECT_TRUE(camera->PlaneDisabled(1));
    EXPECT_EQ(camera->ActivePlaneCount(), SgCamera::kOwnPlanes);

    camera->SetPlaneDisabled(0, false);
    camera->SetPlaneDisabled(1, true);
    m.forward[0]->Draw(camera.Get(), m.forward[0]->CurrentState());
    EXPECT_FALSE(camera->PlaneDisabled(0));
    EXPECT_TRUE(camera->PlaneDisabled(1));
}

TEST_F(RoomTest, EdgePlanesPassThroughTheEyeAndEachEdge) {
    PlaceCamera({0, 0, 0});
    SgPortal* p = m.forward[0].Get();
    ASSERT_TRUE(p->PushClipPlanes(camera.Get()));
    EXPECT_EQ(camera->ActivePlaneCount(), SgCamera::kOwnPlanes + 4);
    for (uint32_t i = 0; i < 4; ++i) {
        const SgPlaneEq* plane = camera->PlaneAt(SgCamera::kOwnPlanes + i);
        ASSERT_EQ(plane, &p->ClipPlanes()[i]);
        EXPECT_NEAR(plane->normal.Length(), 1.0f, 1e-5f);
        EXPECT_NEAR(plane->Distance(camera->WorldLocation()), 0.0f, 1e-5f);
        EXPECT_NEAR(plane->Distance(p->WorldVertices()[i]), 0.0f, 1e-4f);
        EXPECT_NEAR(plane->Distance(p->WorldVertices()[(i + 1) % 4]), 0.0f, 1e-4f);
        EXPECT_GT(plane->Distance({10, 0, 0}), 0.0f) << "the middle of the opening passes";
    }
    // Edge 0 runs along y = -3 from z = -2 to z = 2: its normal is (3, 5, 0) / |(3, 5, 0)|.
    const SgPlaneEq& first = p->ClipPlanes()[0];
    EXPECT_NEAR(first.normal.x, 3.0f / std::sqrt(34.0f), 1e-5f);
    EXPECT_NEAR(first.normal.y, 5.0f / std::sqrt(34.0f), 1e-5f);
    EXPECT_NEAR(first.normal.z, 0.0f, 1e-6f);
    p->PopClipPlanes(camera.Get());
    EXPECT_EQ(camera->ActivePlaneCount(), SgCamera::kOwnPlanes);

    // Two equal corners, and an edge pointing straight at the eye, give zero planes.
    const SgVec3 corners[4] = {{5, -1, -1}, {5, -1, -1}, {5, 1, 1}, {0, 0, 0}};
    SgRef<SgPortal> odd(new SgPortal(4, corners, nullptr, 1));
    odd->UpdateAllStates();
    ASSERT_TRUE(odd->PushClipPlanes(camera.Get()));
    EXPECT_TRUE(odd->ClipPlanes()[0].normal == SgVec3{});
    EXPECT_FALSE(odd->ClipPlanes()[1].normal == SgVec3{});
    EXPECT_TRUE(odd->ClipPlanes()[2].normal == SgVec3{});
    EXPECT_TRUE(odd->ClipPlanes()[3].normal == SgVec3{});
    odd->PopClipPlanes(camera.Get());
}

TEST_F(RoomTest, APathPastTheCamerasPlanesShowsNothingMore) {
    SgRef<Probe> probe(new Probe);
    probe->localTranslation = {13, 0, 0};
    m.rooms[1]->contents.Append(probe.Get());
    m.rooms[1]->RebuildChildren();
    m.group->UpdateAllStates();
    PlaceCamera({0, 0, 0});
    // Room for three more planes only: the four-cornered portal does not fit.
    SgPlaneEq open({0, 0, 0}, 0.0f);
    uint32_t filler = SgCamera::kMaxPlanes - SgCamera::kOwnPlanes - 3;
    for (uint32_t i = 0; i < filler; ++i)
        ASSERT_TRUE(camera->PushPlane(&open));
    m.forward[0]->Draw(camera.Get(), m.forward[0]->CurrentState());
    EXPECT_TRUE(probe->seen.empty());
    EXPECT_EQ(camera->ActivePlaneCount(), SgCamera::kMaxPlanes - 3) << "what it pushed is popped";
    EXPECT_EQ(m.forward[0]->InDisplay(), 0);
    camera->PopPlanes(filler);
    // With room for exactly four it is displayed.
    for (uint32_t i = 0; i < filler - 1; ++i)
        camera->PushPlane(&open);
    m.forward[0]->Draw(camera.Get(), m.forward[0]->CurrentState());
    EXPECT_EQ(probe->seen.size(), 1u);
    EXPECT_EQ(camera->ActivePlaneCount(), SgCamera::kMaxPlanes - 4);
    camera->PopPlanes(filler);
}

TEST_F(RoomTest, APortalInDisplayOrDisabledCountsAsHidden) {
    SgPortal* p = m.forward[0].Get();
    EXPECT_EQ(p->IsHidden(), 0);
    p->enabled = 0;
    EXPECT_NE(p->IsHidden(), 0);
    p->enabled = 1;
    p->SetHidden(1);
    EXPECT_NE(p->IsHidden(), 0);
    p->SetHidden(0);
    // While room 1 is drawn through it, its own entry (forward 0) is off and the way back
    // (backward 0, leading into room 0, being drawn) is off too: room 0 is never drawn twice.
    SgRef<Probe> probe(new Probe);
    probe->localTranslation = {2, 0, 0};
    m.rooms[0]->contents.Append(probe.Get());
    m.rooms[0]->RebuildChildren();
    m.group->UpdateAllStates();
    PlaceCamera({-4, 0, 0});
    Frame(m.group.Get());
    EXPECT_EQ(probe->seen.size(), 1u);
}

TEST_F(RoomTest, ANestedDrawOfTheSameRoomKeepsTheOuterFlags) {
    // A file whose lists disagree: room 1 holds a portal back into itself that is not on its
    // incoming list, so room 1 is drawn inside its own draw.
    SgVec3 corners[4];
    OpeningCorners(12, 1, 1, true, corners);
    SgRef<SgPortal> loop(new SgPortal(4, corners, m.rooms[1].Get(), 1));
    m.rooms[1]->contents.Append(loop.Get());
    m.rooms[1]->RebuildChildren();
    m.group->UpdateAllStates();
    PlaceCamera({8, 0, 0});
    Frame(m.group.Get());
    EXPECT_EQ(m.forward[0]->enabled, 1);
    EXPECT_EQ(m.backward[1]->enabled, 1);
    EXPECT_EQ(loop->enabled, 1);
    EXPECT_EQ(camera->ActivePlaneCount(), SgCamera::kOwnPlanes);
}

TEST_F(RoomTest, ARoomThatGoesLeavesNoPortalPointingAtIt) {
    SgRef<SgRoom> room(new SgRoom);
    SgRef<SgPortal> a(new SgPortal), b(new SgPortal);
    a->SetAdjoiningRoom(room.Get());
    b->SetAdjoiningRoom(room.Get());
    b->SetAdjoiningRoom(m.rooms[0].Get());  // moved on: no longer names the room
    room = nullptr;
    EXPECT_EQ(a->AdjoiningRoom(), nullptr);
    EXPECT_EQ(b->AdjoiningRoom(), m.rooms[0].Get());
    // A portal that goes first leaves nothing behind in the room.
    SgRef<SgRoom> other(new SgRoom);
    SgRef<SgPortal> c(new SgPortal);
    c->SetAdjoiningRoom(other.Get());
    c = nullptr;
    other = nullptr;

    // The whole level released while a portal is still held elsewhere.
    SgRef<SgPortal> kept = m.forward[1];
    m = RoomModel();
    EXPECT_EQ(kept->AdjoiningRoom(), nullptr);
    kept->UpdateAllStates();
    PlaceCamera({0, 0, 0});
    kept->DrawIfVisible(camera.Get(), kept->CurrentState());
    EXPECT_EQ(camera->ActivePlaneCount(), SgCamera::kOwnPlanes);
}

TEST_F(RoomTest, RoomLookup) {
    SgRoom* r0 = m.rooms[0].Get();
    SgRoom* r1 = m.rooms[1].Get();
    struct Case {
        SgVec3 point;
        SgRoom* last;
        SgRoom* want;
    };
    const Case cases[] = {
        {{0, 0, 0}, nullptr, r0},
        {{0, 0, 0}, r1, r0},           // a wrong hint falls back to the search
        {{9, 4, -4}, r0, r1},
        {{5, 0, 0}, nullptr, r0},      // on the shared wall: the first room of the chain
        {{5, 0, 0}, r1, r1},           // ... or the hint, which holds it too
        {{-5, -5, -5}, nullptr, r0},   // a corner is inside
        {{-5.001f, 0, 0}, nullptr, nullptr},
        {{10, 5.5f, 0}, r1, nullptr},
        {{30, 0, 0}, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.point.x << ", " << c.point.y << ", " << c.point.z);
        EXPECT_EQ(m.group->FindRoomFrom(c.point, c.last).Get(), c.want);
    }
    EXPECT_EQ(m.group->FindRoom({15, 0, 0}).Get(), r1);
    // Null walls are skipped; a room without walls holds every point.
    SgRef<SgRoom> open(new SgRoom);
    open->walls.Append(nullptr);
    EXPECT_TRUE(open->Contains({1e6f, 0, 0}));
    m.group->AddRoom(open.Get());
    EXPECT_EQ(m.group->FindRoom({0, 0, 0}).Get(), open.Get()) << "new rooms go to the front";
}

TEST_F(RoomTest, WallPlanesFollowTheWorldPlacement) {
    SgRef<SgWall> wall(new SgWall);
    wall->modelPlane = SgPlaneEq({1, 0, 0}, 2);
    SgRef<SgNode> parent(new SgNode);
    parent->localTranslation = {0, 0, 4};
    parent->localScale = 2;
    parent->localRotation = SgMat3{{0, -1, 0, 1, 0, 0, 0, 0, 1}};  // x -> y
    parent->InsertChild(wall.Get(), false);
    parent->UpdateAllStates();
    // n' = R n = (0, 1, 0); c' = T . n' + S c = 0 + 4.
    ExpectNearVec(wall->WorldPlane().normal, {0, 1, 0});
    EXPECT_FLOAT_EQ(wall->WorldPlane().constant, 4.0f);

    wall->AbsorbTransform(SgIdentityMat3, {3, 0, 0}, 1.0f, 0);
    EXPECT_FLOAT_EQ(wall->modelPlane.constant, 5.0f);
}

TEST_F(RoomTest, PortalCornersAndBoundFollowThePlacement) {
    const SgVec3 corners[3] = {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}};
    SgRef<SgPortal> p(new SgPortal(3, corners, nullptr, 1));
    EXPECT_EQ(p->PlaneCount(), 3u);
    p->localTranslation = {10, 0, 0};
    p->localScale = 3;
    p->localRotation = SgMat3{{0, -1, 0, 1, 0, 0, 0, 0, 1}};
    p->UpdateAllStates();
    ExpectNearVec(p->WorldVertices()[1], {10, 6, 0});
    ExpectNearVec(p->WorldVertices()[2], {4, 0, 0});
    ExpectNearVec(p->CurrentState()->worldBound.centre, {7, 3, 0});
    EXPECT_NEAR(p->CurrentState()->worldBound.radius, 3.0f * std::sqrt(2.0f), 1e-5f);

    p->AbsorbTransform(SgIdentityMat3, {0, 0, 1}, 1.0f, 0);
    ExpectNearVec(p->ModelVertices()[1], {2, 0, 1});
    ExpectNearVec(p->ModelBound().centre, {1, 1, 1});
    // In the parent's frame: the same world move, seen through the portal's own placement.
    p->AbsorbTransform(SgIdentityMat3, {0, 3, 0}, 1.0f, 1);
    p->UpdateAllStates();
    ExpectNearVec(p->WorldVertices()[0], {10, 3, 3});
}

TEST_F(RoomTest, ListsEmptyAndChildrenRebuildInOrder) {
    SgRoom* r1 = m.rooms[1].Get();
    // Two outgoing portals, six walls, floor and marker.
    ASSERT_EQ(r1->ChildCount(), 10u);
    EXPECT_EQ(r1->ChildAt(0), m.backward[0].Get());
    EXPECT_EQ(r1->ChildAt(1), m.forward[1].Get()) << "outgoing portals first, in list order";
    EXPECT_EQ(r1->ChildAt(2), r1->walls.Head()->item.Get());
    EXPECT_EQ(r1->ChildAt(9), m.markers[1].Get());
    ASSERT_EQ(m.group->ChildCount(), 4u);
    EXPECT_EQ(m.group->ChildAt(0), m.outside.Get());
    EXPECT_EQ(m.group->ChildAt(1), m.rooms[0].Get());
    EXPECT_EQ(m.group->ChildAt(3), m.rooms[2].Get());

    // A rebuild drops what no list holds any more.
    SgRef<SgTriShape> stray = MakeCentredTriangle();
    r1->InsertChild(stray.Get(), false);
    r1->RebuildChildren();
    EXPECT_EQ(r1->ChildCount(), 10u);

    SgTriShape* floor = m.floors[1].Get();
    r1->RemoveAllContents();
    EXPECT_EQ(r1->ChildCount(), 0u);
    EXPECT_EQ(r1->walls.Count() + r1->incomingPortals.Count() + r1->outgoingPortals.Count() + r1->contents.Count(),
              0u);
    EXPECT_EQ(floor->WorldStates().Find(r1), nullptr) << "the child left the room";

    PlaceCamera({0, 0, 0});
    Frame(m.group.Get());
    m.group->RemoveAllRooms();
    EXPECT_TRUE(m.group->rooms.IsEmpty());
    EXPECT_EQ(m.group->lastRoom.Get(), nullptr);
    EXPECT_EQ(m.group->ChildCount(), 1u);
    PlaceCamera({-20, 0, 0});
    Frame(m.group.Get());
    EXPECT_EQ(Markers(), (std::vector<int>{3})) << "in no room: the outside object";
}

}  // namespace
