// Triangle colliders: the tree's shape, the descent with its depths, the contacts reported, and
// that the tree never misses a contact that the all-pairs triangle test finds.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/geometry/sg_moving_triangle.h"
#include "engine/geometry/sg_triangle_collider.h"

namespace {

// A triangle mesh with its own world copy (identity placement).
struct Mesh {
    std::vector<SgVec3> model;
    std::vector<SgVec3> world;
    std::vector<uint16_t> indices;

    void Add(const SgVec3& a, const SgVec3& b, const SgVec3& c) {
        for (const SgVec3& v : {a, b, c}) {
            indices.push_back(static_cast<uint16_t>(model.size()));
            model.push_back(v);
        }
        world = model;
    }
    uint16_t Triangles() const { return static_cast<uint16_t>(indices.size() / 3); }
    SgTriangleCollider* Make(int32_t leafThreshold = 1) const {
        return new SgTriangleCollider(Triangles(), indices.data(), static_cast<uint32_t>(model.size()), model.data(),
                                      world.data(), leafThreshold);
    }
    // A strip of n triangles along x from x0, in the plane z.
    static Mesh Strip(int n, float x0, float z) {
        Mesh m;
        for (int i = 0; i < n; ++i) {
            float x = x0 + i;
            m.Add({x, 0, z}, {x + 1, 0, z}, {x, 1, z});
        }
        return m;
    }
};

struct Recorder : SgTriangleContactSink {
    std::vector<SgTriangleContact> contacts;
    void Report(const SgTriangleContact& c) override { contacts.push_back(c); }
};

int CountNodes(const SgTriangleVolume* v, int* leaves) {
    if (!v)
        return 0;
    if (v->IsLeaf())
        ++*leaves;
    return 1 + CountNodes(v->Child(0), leaves) + CountNodes(v->Child(1), leaves);
}

TEST(SgTriangleColliderTest, OneTriangleIsALeafAndTwoMakeATree) {
    Mesh one = Mesh::Strip(1, 0, 0);
    std::unique_ptr<SgTriangleCollider> a(one.Make());
    ASSERT_NE(a->Root(), nullptr);
    EXPECT_TRUE(a->Root()->IsLeaf());
    EXPECT_TRUE(a->Root()->HasNoChildren());

    Mesh two = Mesh::Strip(2, 0, 0);
    std::unique_ptr<SgTriangleCollider> b(two.Make());
    const SgTriangleVolume* root = b->Root();
    ASSERT_FALSE(root->IsLeaf());
    ASSERT_TRUE(root->Child(0) && root->Child(1));
    EXPECT_TRUE(root->Child(0)->IsLeaf());
    EXPECT_TRUE(root->Child(1)->IsLeaf());
    // The split follows the box's long axis: the leaves are the two triangles, one each side.
    EXPECT_NE(root->Child(0)->box.modelCentre.x < 1.0f, root->Child(1)->box.modelCentre.x < 1.0f);

    // The root box holds every corner.
    const SgOrientedBox& box = root->box;
    for (const SgVec3& v : two.model)
        for (int k = 0; k < 3; ++k)
            EXPECT_LE(std::fabs((v - box.modelCentre).Dot(box.modelAxes[k])), box.modelExtents[k] + 1e-5f);

    Mesh many = Mesh::Strip(37, 0, 0);
    std::unique_ptr<SgTriangleCollider> c(many.Make());
    int leaves = 0;
    int nodes = CountNodes(c->Root(), &leaves);
    EXPECT_EQ(leaves, 37);
    EXPECT_EQ(nodes, 2 * 37 - 1);
}

TEST(SgTriangleColliderTest, NoTrianglesOrBadIndicesMakeNoVolumes) {
    Mesh none;
    std::unique_ptr<SgTriangleCollider> a(none.Make());
    EXPECT_EQ(a->Root(), nullptr);

    Mesh bad = Mesh::Strip(2, 0, 0);
    bad.indices[4] = 200;  // past the vertices: that triangle is left out
    std::unique_ptr<SgTriangleCollider> b(bad.Make());
    ASSERT_NE(b->Root(), nullptr);
    EXPECT_TRUE(b->Root()->IsLeaf());

    std::unique_ptr<SgTriangleCollider> c(Mesh::Strip(1, 0, 0).Make());
    EXPECT_FALSE(a->Test(c.get(), -1, -1));
    EXPECT_FALSE(c->Test(a.get(), -1, -1));
}

TEST(SgTriangleColliderTest, DegenerateTrianglesStillGetFiniteBoxes) {
    Mesh m;
    for (int i = 0; i < 4; ++i)
        m.Add({float(i), 0, 0}, {float(i), 0, 0}, {float(i) + 1, 0, 0});  // no area at all
    std::unique_ptr<SgTriangleCollider> c(m.Make());
    const SgOrientedBox& box = c->Root()->box;
    for (int k = 0; k < 3; ++k) {
        EXPECT_TRUE(std::isfinite(box.modelExtents[k]));
        EXPECT_TRUE(std::isfinite(box.modelAxes[k].x));
    }
    EXPECT_NEAR(box.modelCentre.x, 2.0f, 1e-5f);
}

TEST(SgTriangleColliderTest, AColliderNeverCollidesWithItself) {
    std::unique_ptr<SgTriangleCollider> a(Mesh::Strip(4, 0, 0).Make());
    Recorder sink;
    EXPECT_FALSE(a->Test(a.get(), -1, -1));
    EXPECT_FALSE(a->FindContact(a.get(), sink, -1, -1));
    EXPECT_TRUE(sink.contacts.empty());
}

// Two triangles far apart along x and a probe between them: the roots' boxes overlap, no leaf
// does.
struct Gap {
    Mesh ends;
    Mesh probe;
    Gap() {
        ends.Add({0, 0, 0}, {1, 0, 0}, {0, 1, 0});
        ends.Add({10, 0, 0}, {11, 0, 0}, {10, 1, 0});
        probe.Add({5, 0.2f, -0.5f}, {5.5f, 0.2f, 0.5f}, {5, 0.8f, 0.5f});
    }
};

TEST(SgTriangleColliderTest, DepthZeroStopsAtTheRootBoxes) {
    Gap g;
    std::unique_ptr<SgTriangleCollider> ends(g.ends.Make()), probe(g.probe.Make());
    EXPECT_TRUE(ends->Test(probe.get(), 0, -1));
    EXPECT_TRUE(probe->Test(ends.get(), -1, 0));
    EXPECT_FALSE(ends->Test(probe.get(), -1, -1));
    EXPECT_FALSE(ends->Test(probe.get(), 1, -1));
    EXPECT_FALSE(probe->Test(ends.get(), 5, 5));

    // A leaf threshold past the triangle count leaves the root unsplit: the root box decides.
    std::unique_ptr<SgTriangleCollider> whole(g.ends.Make(5));
    EXPECT_TRUE(whole->Root()->HasNoChildren());
    EXPECT_TRUE(whole->Test(probe.get(), -1, -1));
    EXPECT_TRUE(probe->Test(whole.get(), -1, -1));

    // The placement moves the world boxes at the next test: lifted clear of the probe's root box.
    whole->SetTransform(SgIdentityMat3, {0, 0, 5}, 1.0f);
    EXPECT_EQ(whole->changed, 1);
    EXPECT_FALSE(whole->Test(probe.get(), -1, -1));
    EXPECT_EQ(whole->changed, 0);
    EXPECT_NEAR(whole->Root()->box.worldCentre.z, 5.0f, 1e-5f);
}

TEST(SgTriangleColliderTest, RestingCollidersTouchAtTimeZeroMidwayBetweenTheBoxes) {
    Gap g;
    std::unique_ptr<SgTriangleCollider> ends(g.ends.Make(5)), probe(g.probe.Make());
    Recorder sink;
    ASSERT_TRUE(ends->FindContact(probe.get(), sink, -1, -1));
    ASSERT_EQ(sink.contacts.size(), 1u);
    const SgTriangleContact& c = sink.contacts[0];
    EXPECT_EQ(c.time, 0.0f);
    SgVec3 mid = (ends->Root()->box.worldCentre + probe->Root()->box.worldCentre) * 0.5f;
    EXPECT_EQ(c.point, mid);
    EXPECT_EQ(c.volumes[0], ends->Root());
    EXPECT_EQ(c.volumes[1], probe->Root());
    // The point in each box's own frame.
    SgVec3 local = c.localPoints[1];
    const SgOrientedBox& pb = probe->Root()->box;
    SgVec3 back = pb.worldCentre + pb.worldAxes[0] * local.x + pb.worldAxes[1] * local.y + pb.worldAxes[2] * local.z;
    EXPECT_NEAR(back.x, mid.x, 1e-4f);
    EXPECT_NEAR(back.y, mid.y, 1e-4f);
    EXPECT_NEAR(back.z, mid.z, 1e-4f);
}

TEST(SgTriangleColliderTest, FallingTriangleContactsTheFloorAtTheRightTime) {
    Mesh floor = Mesh::Strip(8, -4, 0);
    Mesh piece;
    piece.Add({0.2f, 0.2f, 2}, {0.6f, 0.2f, 3}, {0.2f, 0.6f, 3});
    std::unique_ptr<SgTriangleCollider> f(floor.Make()), p(piece.Make());
    p->velocity = {0, 0, -4};
    p->timeStep = 1.0f;
    f->timeStep = 1.0f;

    // Down to the triangles: the corner lands at t = 0.5 on the floor.
    Recorder exact;
    ASSERT_TRUE(p->FindContact(f.get(), exact, -1, -1));
    ASSERT_EQ(exact.contacts.size(), 1u);
    EXPECT_NEAR(exact.contacts[0].time, 0.5f, 1e-5f);
    EXPECT_NEAR(exact.contacts[0].point.x, 0.2f, 1e-5f);
    EXPECT_NEAR(exact.contacts[0].point.y, 0.2f, 1e-5f);
    EXPECT_NEAR(exact.contacts[0].point.z, 0.0f, 1e-5f);
    EXPECT_TRUE(exact.contacts[0].volumes[0]->IsLeaf());
    EXPECT_TRUE(exact.contacts[0].volumes[1]->IsLeaf());

    // From the other side the contact is the same.
    Recorder other;
    ASSERT_TRUE(f->FindContact(p.get(), other, -1, -1));
    EXPECT_NEAR(other.contacts[0].time, 0.5f, 1e-5f);
    EXPECT_NEAR(other.contacts[0].point.z, 0.0f, 1e-5f);

    // Stopping at the boxes: the moving boxes first touch when the piece's box reaches the
    // floor's flat box, at the same time here.
    Recorder boxes;
    ASSERT_TRUE(p->FindContact(f.get(), boxes, 0, 0));
    const SgTriangleContact& bc = boxes.contacts[0];
    EXPECT_NEAR(bc.time, 0.5f, 1e-4f);
    // The point lies on both boxes then (to within the rounding of the tilted box's corners).
    for (int side = 0; side < 2; ++side)
        for (int k = 0; k < 3; ++k) {
            const float* e = bc.volumes[side]->box.worldExtents;
            EXPECT_LE(std::fabs((&bc.localPoints[side].x)[k]), e[k] + 0.01f) << side << " " << k;
        }

    // Too slow to arrive.
    p->velocity = {0, 0, -1};
    Recorder none;
    EXPECT_FALSE(p->FindContact(f.get(), none, -1, -1));
    EXPECT_FALSE(p->Test(f.get(), -1, -1));
    EXPECT_TRUE(none.contacts.empty());
}

TEST(SgMovingBoxContactTest, FirstTouchOfTwoSweptBoxes) {
    SgOrientedBox a, b;
    for (int k = 0; k < 3; ++k) {
        a.worldExtents[k] = 1;
        b.worldExtents[k] = 1;
    }
    b.worldCentre = {6, 0, 0};
    float time;
    SgVec3 point;
    // Closing 8 units over the step: the 4-unit gap closes half way.
    ASSERT_TRUE(SgMovingBoxContact(a, {}, b, {-8, 0, 0}, 1.0f, time, point));
    EXPECT_NEAR(time, 0.5f, 1e-6f);
    EXPECT_NEAR(point.x, 1.0f, 1e-5f);
    // Passing wide of it.
    EXPECT_FALSE(SgMovingBoxContact(a, {}, b, {-8, 0, 0}, 0.4f, time, point));
    b.worldCentre = {6, 3, 0};
    EXPECT_FALSE(SgMovingBoxContact(a, {}, b, {-8, 0, 0}, 1.0f, time, point));
    // Passing a corner diagonally: apart on x while they meet on y and the other way round.
    b.worldCentre = {3, -3, 0};
    EXPECT_FALSE(SgMovingBoxContact(a, {}, b, {3, 3, 0}, 1.0f, time, point));
    // Overlapping from the start.
    b.worldCentre = {1, 0, 0};
    ASSERT_TRUE(SgMovingBoxContact(a, {}, b, {}, 1.0f, time, point));
    EXPECT_EQ(time, 0.0f);
}

// A small deterministic generator for the sweep below.
struct Lcg {
    uint32_t state;
    float Next(float lo, float hi) {
        state = state * 1664525u + 1013904223u;
        return lo + (hi - lo) * float(state >> 8) / float(1u << 24);
    }
};

TEST(SgTriangleColliderTest, TheTreeNeverMissesAContactTheTriangleTestFinds) {
    Lcg rng{12345};
    Mesh terrain;
    for (int i = 0; i < 60; ++i) {
        SgVec3 c{rng.Next(-5, 5), rng.Next(-5, 5), rng.Next(-1, 1)};
        terrain.Add(c, c + SgVec3{rng.Next(0.2f, 1.5f), rng.Next(-0.5f, 0.5f), rng.Next(-0.5f, 0.5f)},
                    c + SgVec3{rng.Next(-0.5f, 0.5f), rng.Next(0.2f, 1.5f), rng.Next(-0.5f, 0.5f)});
    }
    std::unique_ptr<SgTriangleCollider> t(terrain.Make(1));
    int hits = 0;
    for (int trial = 0; trial < 150; ++trial) {
        SgVec3 c{rng.Next(-6, 6), rng.Next(-6, 6), rng.Next(-3, 3)};
        Mesh probe;
        probe.Add(c, c + SgVec3{rng.Next(-1, 1), rng.Next(-1, 1), rng.Next(-1, 1)},
                  c + SgVec3{rng.Next(-1, 1), rng.Next(-1, 1), rng.Next(-1, 1)});
        SgVec3 velocity{rng.Next(-2, 2), rng.Next(-2, 2), rng.Next(-2, 2)};
        std::unique_ptr<SgTriangleCollider> p(probe.Make());
        p->velocity = velocity;
        p->timeStep = 1.0f;
        t->timeStep = 1.0f;

        bool brute = false;
        SgVec3 still;
        for (uint16_t i = 0; i < terrain.Triangles() && !brute; ++i) {
            const SgVec3* tv = &terrain.world[i * 3];
            SgMovingTriangleTest test(&probe.world[0], &probe.world[1], &probe.world[2], &velocity, &tv[0], &tv[1],
                                      &tv[2], &still);
            brute = test.TestWithinStep(1.0f) != 0;
        }
        bool tree = p->Test(t.get(), -1, -1);
        hits += brute;
        if (brute) {
            EXPECT_TRUE(tree) << "trial " << trial;
        }
    }
    EXPECT_GT(hits, 5) << "the sweep should include real contacts";
}

}  // namespace
