// Collision between triangle geometries by their collision modes: bounds only, every triangle
// pair, and the per-state triangle colliders.

#include <gtest/gtest.h>

#include <vector>

#include "engine/core/sg_node.h"
#include "engine/geometry/sg_tri_based_geom.h"
#include "engine/geometry/sg_triangle_collider.h"
#include "tests/engine/special/special_fixture.h"

namespace {

struct Heard {
    int calls = 0;
    float time = -1.0f;
    SgVec3 point;
    int32_t triangles[2] = {-2, -2};
};

bool Listen(const SgCollisionPair& pair, void* context) {
    auto* h = static_cast<Heard*>(context);
    ++h->calls;
    h->time = pair.time;
    h->point = pair.point;
    h->triangles[0] = pair.sides[0].triangle;
    h->triangles[1] = pair.sides[1].triangle;
    return true;
}

class TriCollisionTest : public testing::Test {
protected:
    TriCollisionTest() {
        a = MakeCentredTriangle();
        b = MakeCentredTriangle();
    }

    // b placed by translation and turned upright (in the plane x = const) when asked.
    void Place(const SgVec3& where, bool upright, const SgVec3& velocity = {}) {
        b->localTranslation = where;
        b->localRotation = upright ? SgMat3{{0, 0, 1, 0, 1, 0, -1, 0, 0}} : SgIdentityMat3;
        b->localVelocity = velocity;
        a->UpdateAllStates();
        b->UpdateAllStates();
    }

    void Modes(uint32_t ma, uint32_t mb) {
        a->collisionMode = ma;
        b->collisionMode = mb;
    }

    bool Test(float time = 0.0f) {
        SgCollisionPair pair = Pair();
        return a->TestCollision(time, b.Get(), pair);
    }

    int Find(Heard& heard, float time = 0.0f) {
        SgCollisionPair pair = Pair();
        pair.sides[0].callback = Listen;
        pair.sides[0].context = &heard;
        return a->FindCollisions(time, b.Get(), pair);
    }

    SgCollisionPair Pair() const {
        SgCollisionPair pair;
        pair.sides[0].object = a.Get();
        pair.sides[0].state = a->CurrentState();
        pair.sides[1].object = b.Get();
        pair.sides[1].state = b->CurrentState();
        return pair;
    }

    SgRef<SgTriShape> a, b;
};

TEST_F(TriCollisionTest, EveryModePairOnCrossingAndOnParallelTriangles) {
    struct Case {
        uint32_t ma, mb;
        bool crossing, parallel;
    };
    // b upright through a's face, or level half a unit above it (the bounds meet either way).
    const Case cases[] = {
        {0, 0, true, true},    // bounds only
        {1, 1, true, false},   // every triangle pair
        {2, 2, true, false},   // the colliders
        {1, 0, false, false},  // triangles against a collision volume b does not have
        {0, 1, false, false},
        {2, 1, true, true},    // no test for the pair: the bounds decide
        {0, 2, true, true},
    };
    for (const Case& c : cases) {
        Modes(c.ma, c.mb);
        Place({0.2f, 0, 0}, true);
        EXPECT_EQ(Test(), c.crossing) << c.ma << "," << c.mb << " crossing";
        Place({0, 0, 0.5f}, false);
        EXPECT_EQ(Test(), c.parallel) << c.ma << "," << c.mb << " parallel";
    }
    // Far apart nothing meets whatever the modes.
    Modes(0, 0);
    Place({10, 0, 0}, true);
    EXPECT_FALSE(Test());
}

TEST_F(TriCollisionTest, CollidersAreMadePerStateAndMovingContactsReported) {
    Modes(2, 2);
    Place({0, 0, 0.5f}, false, {0, 0, -1});
    EXPECT_EQ(a->ColliderOf(a->CurrentState()), nullptr);
    EXPECT_FALSE(Test(0.25f)) << "not yet down within a quarter";
    SgTriangleCollider* made = a->ColliderOf(a->CurrentState());
    ASSERT_NE(made, nullptr);
    EXPECT_TRUE(made->Root()->IsLeaf());
    EXPECT_TRUE(Test(1.0f));
    EXPECT_EQ(a->ColliderOf(a->CurrentState()), made) << "made once per state";

    // Down to the triangles: b's face reaches a's at half the step.
    Heard heard;
    EXPECT_EQ(Find(heard, 1.0f), 1);
    EXPECT_EQ(heard.calls, 1);
    EXPECT_NEAR(heard.time, 0.5f, 1e-5f);
    EXPECT_NEAR(heard.point.z, 0.0f, 1e-5f);
    EXPECT_EQ(heard.triangles[0], 0);
    EXPECT_EQ(heard.triangles[1], 0);

    a->ReleaseState(nullptr);
    EXPECT_EQ(a->ColliderOf(a->CurrentState()), nullptr);
}

// Without a state both reach every place the geometry hangs.
TEST_F(TriCollisionTest, PrepareAndReleaseWithoutAStateCoverEveryState) {
    SgRef<SgNode> left(new SgNode), right(new SgNode);
    left->InsertChild(a.Get(), false);
    right->InsertChild(a.Get(), false);
    left->UpdateAllStates();
    right->UpdateAllStates();
    std::vector<SgWorldState*> states;
    for (uint32_t i = 0; i < a->WorldStates().UsedSize(); ++i)
        if (SgWorldState* state = a->WorldStates().At(i))
            states.push_back(state);
    ASSERT_GE(states.size(), 2u);
    a->PrepareState(nullptr, 4);
    for (SgWorldState* state : states)
        EXPECT_NE(a->ColliderOf(state), nullptr);
    a->ReleaseState(nullptr);
    for (SgWorldState* state : states)
        EXPECT_EQ(a->ColliderOf(state), nullptr);
}

TEST_F(TriCollisionTest, EveryTrianglePairReportsTheFirstContact) {
    Modes(1, 1);
    Place({0, 0, 2}, false, {0, 0, -4});
    Heard heard;
    EXPECT_EQ(Find(heard, 1.0f), 1);
    EXPECT_NEAR(heard.time, 0.5f, 1e-5f);
    EXPECT_EQ(heard.triangles[0], 0);
    EXPECT_EQ(heard.triangles[1], 0);
    Heard none;
    EXPECT_EQ(Find(none, 0.4f), 0);
    EXPECT_EQ(none.calls, 0);
}

TEST_F(TriCollisionTest, ABigMeshAgainstASmallOneThroughTheirColliders) {
    // A strip of 40 triangles along x; a probe falling onto its far end.
    std::vector<SgVec3> v;
    std::vector<uint16_t> idx;
    for (int i = 0; i < 40; ++i) {
        uint16_t base = static_cast<uint16_t>(v.size());
        v.push_back({float(i), 0, 0});
        v.push_back({float(i) + 1, 0, 0});
        v.push_back({float(i), 1, 0});
        idx.insert(idx.end(), {base, uint16_t(base + 1), uint16_t(base + 2)});
    }
    a = SgRef<SgTriShape>(new SgTriShape(static_cast<uint16_t>(v.size()), v.data(), nullptr, 40, idx.data(), nullptr,
                                         nullptr));
    Modes(2, 2);
    Place({37.2f, 0.2f, 1}, false, {0, 0, -2});
    Heard heard;
    EXPECT_EQ(Find(heard, 1.0f), 1);
    EXPECT_EQ(heard.calls, 1);
    EXPECT_NEAR(heard.time, 0.5f, 1e-5f);
    EXPECT_GE(heard.triangles[0], 0);
    // Beside the strip the trees find nothing.
    Place({20, 5, 1}, false, {0, 0, -2});
    EXPECT_FALSE(Test(1.0f));
}

TEST_F(TriCollisionTest, AMode1GeometryAgainstANodeOfMode0NeedsAVolume) {
    SgRef<SgNode> node(new SgNode);
    node->collisionMode = 0;
    node->InsertChild(b.Get(), false);
    a->collisionMode = 1;
    a->UpdateAllStates();
    node->UpdateAllStates();
    SgCollisionPair pair;
    pair.sides[0].object = a.Get();
    pair.sides[1].object = node.Get();
    EXPECT_FALSE(a->TestCollision(0.0f, node.Get(), pair));
    a->collisionMode = 2;
    EXPECT_TRUE(a->TestCollision(0.0f, node.Get(), pair)) << "other modes: the bounds decide";
}

}  // namespace
