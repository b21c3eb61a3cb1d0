// The moving triangle test: when two moving triangles first touch, where, and the yes-or-no form.

#include <gtest/gtest.h>

#include "engine/geometry/sg_moving_triangle.h"

namespace {

struct Triangle {
    SgVec3 v[3];
    SgVec3 motion;
};

struct Contact {
    uint8_t hit = 0;
    float time = -1.0f;
    SgVec3 point{-99, -99, -99};
    SgVec3 normalA{-99, -99, -99}, normalB{-99, -99, -99};
    uint8_t within = 0;
    uint32_t axis = 0;
};

Contact Sweep(const Triangle& a, const Triangle& b, float step, bool wantNormals = true) {
    Contact c;
    SgMovingTriangleTest test(&a.v[0], &a.v[1], &a.v[2], &a.motion, &b.v[0], &b.v[1], &b.v[2], &b.motion);
    c.hit = test.FindFirstContact(step, c.time, c.point, wantNormals, c.normalA, c.normalB);
    c.axis = test.ContactAxis();
    SgMovingTriangleTest again(&a.v[0], &a.v[1], &a.v[2], &a.motion, &b.v[0], &b.v[1], &b.v[2], &b.motion);
    c.within = again.TestWithinStep(step);
    return c;
}

void ExpectNear(const SgVec3& got, const SgVec3& want, float tolerance = 1e-5f) {
    EXPECT_NEAR(got.x, want.x, tolerance);
    EXPECT_NEAR(got.y, want.y, tolerance);
    EXPECT_NEAR(got.z, want.z, tolerance);
}

// A in the plane z = 0 with its right angle at the origin.
const Triangle kFloor{{{0, 0, 0}, {2, 0, 0}, {0, 2, 0}}, {}};
const Triangle kWideFloor{{{-5, -5, 0}, {5, -5, 0}, {0, 5, 0}}, {}};

TEST(SgMovingTriangleTest, SortProjectionsKeepsTheFixedOrderOfTies) {
    struct Case {
        float p[3];
        uint32_t order[3];
    };
    const Case cases[] = {
        {{1, 2, 3}, {0, 1, 2}}, {{2, 1, 3}, {1, 0, 2}}, {{3, 1, 2}, {1, 2, 0}}, {{1, 3, 2}, {0, 2, 1}},
        {{2, 3, 1}, {2, 0, 1}}, {{3, 2, 1}, {2, 1, 0}}, {{5, 5, 5}, {0, 1, 2}}, {{0, 0, -4}, {2, 0, 1}},
        {{1, 1, 0}, {2, 0, 1}}, {{0, 1, 1}, {0, 1, 2}},
    };
    for (const Case& c : cases) {
        float sorted[3];
        uint32_t order[3];
        SgMovingTriangleTest::SortProjections(c.p[0], c.p[1], c.p[2], sorted, order);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(order[i], c.order[i]) << c.p[0] << " " << c.p[1] << " " << c.p[2];
            EXPECT_EQ(sorted[i], c.p[c.order[i]]);
        }
        EXPECT_LE(sorted[0], sorted[1]);
        EXPECT_LE(sorted[1], sorted[2]);
    }
}

TEST(SgMovingTriangleTest, TrianglesThatCrossAtTheStartTouchAtTimeZero) {
    // B stands upright through A's face at (0.5, 0.5).
    Triangle b{{{0.5f, 0.5f, -1}, {0.5f, 0.5f, 1}, {0.6f, 0.2f, 0}}, {}};
    Contact c = Sweep(kFloor, b, 1.0f);
    ASSERT_EQ(c.hit, 1);
    EXPECT_EQ(c.within, 1);
    EXPECT_EQ(c.time, 0.0f);
    ExpectNear(c.point, {0.5f, 0.5f, 0});
}

TEST(SgMovingTriangleTest, TrianglesMovingApartOrTooSlowlyNeverTouch) {
    Triangle above{{{0.2f, 0.2f, 1}, {1, 0.2f, 1}, {0.2f, 1, 2}}, {0, 0, 1}};
    Contact c = Sweep(kFloor, above, 1.0f);
    EXPECT_EQ(c.hit, 0);
    EXPECT_EQ(c.within, 0);
    EXPECT_EQ(c.time, -1.0f) << "outputs stay untouched";
    EXPECT_EQ(c.normalA, SgVec3(-99, -99, -99));

    above.motion = {0, 0, -0.5f};  // closes half the gap
    c = Sweep(kFloor, above, 1.0f);
    EXPECT_EQ(c.hit, 0);
    EXPECT_EQ(c.within, 0);
    // A longer step closes it.
    c = Sweep(kFloor, above, 2.5f);
    EXPECT_EQ(c.hit, 1);
    EXPECT_EQ(c.within, 1);
    EXPECT_NEAR(c.time, 2.0f, 1e-5f) << "the contact time lies within the step";
}

TEST(SgMovingTriangleTest, VertexReachingAFaceReportsThatVertexAtTheContactTime) {
    Triangle b{{{0, 0, 2}, {1, 0, 3}, {0, 1, 3}}, {0, 0, -4}};
    Contact c = Sweep(kWideFloor, b, 1.0f);
    ASSERT_EQ(c.hit, 1);
    EXPECT_EQ(c.within, 1);
    EXPECT_NEAR(c.time, 0.5f, 1e-6f);
    ExpectNear(c.point, {0, 0, 0});
    // The normals, not normalised; the second is turned to face the first.
    EXPECT_EQ(c.normalA, SgVec3(0, 0, 100));
    EXPECT_EQ(c.normalB, SgVec3(1, 1, -1));
}

TEST(SgMovingTriangleTest, NormalsAreWrittenOnlyWhenWanted) {
    Triangle b{{{0, 0, 2}, {1, 0, 3}, {0, 1, 3}}, {0, 0, -4}};
    Contact c = Sweep(kWideFloor, b, 1.0f, false);
    ASSERT_EQ(c.hit, 1);
    EXPECT_EQ(c.normalA, SgVec3(-99, -99, -99));
    EXPECT_EQ(c.normalB, SgVec3(-99, -99, -99));
}

TEST(SgMovingTriangleTest, ParallelPlanesAreTestedWhereThePlanesMeet) {
    Triangle b{{{0.5f, 0.5f, 1}, {1.5f, 0.5f, 1}, {0.5f, 1.5f, 1}}, {0, 0, -2}};
    Contact c = Sweep(kFloor, b, 1.0f);
    ASSERT_EQ(c.hit, 1);
    EXPECT_EQ(c.within, 1);
    EXPECT_NEAR(c.time, 0.5f, 1e-6f);
    // Face on face: a point of both at that time.
    ExpectNear(c.point, {0.5f, 0.5f, 0});
    EXPECT_EQ(c.axis, uint32_t(SgMovingTriangleTest::kAxisNormalA));

    // The same fall beside A: the planes meet, the triangles do not.
    Triangle beside = b;
    for (SgVec3& v : beside.v)
        v.x += 10;
    c = Sweep(kFloor, beside, 1.0f);
    EXPECT_EQ(c.hit, 0);
    EXPECT_EQ(c.within, 0);

    // Parallel planes that do not meet within the step.
    b.motion = {0, 0, -0.5f};
    EXPECT_EQ(Sweep(kFloor, b, 1.0f).hit, 0);
}

TEST(SgMovingTriangleTest, EdgeMeetingEdgeReportsWhereTheyCross) {
    // A upright in y = 0 with its top edge on the x axis; B upright in x = 0 with its bottom edge
    // along y at height 1, falling.
    Triangle a{{{-1, 0, 0}, {1, 0, 0}, {0, 0, -1}}, {}};
    Triangle b{{{0, -1, 1}, {0, 1, 1}, {0, 0, 2}}, {0, 0, -2}};
    Contact c = Sweep(a, b, 1.0f);
    ASSERT_EQ(c.hit, 1);
    EXPECT_EQ(c.within, 1);
    EXPECT_NEAR(c.time, 0.5f, 1e-6f);
    EXPECT_EQ(c.axis, uint32_t(SgMovingTriangleTest::kAxisE0F0));
    ExpectNear(c.point, {0, 0, 0});

    // Moved along x, the crossing moves with it, though still on A's edge line.
    for (SgVec3& v : b.v)
        v.x += 0.5f;
    c = Sweep(a, b, 1.0f);
    ASSERT_EQ(c.hit, 1);
    ExpectNear(c.point, {0.5f, 0, 0});

    // B's edge slanting across A's: the crossing is where A's edge line meets B's plane
    // (x = 0.4), not the middle of the stretch the edges share along A's (x = 0.5).
    Triangle slanted{{{0.3f, -1, 1}, {0.7f, 3, 1}, {0.5f, 1, 2}}, {0, 0, -2}};
    c = Sweep(a, slanted, 1.0f);
    ASSERT_EQ(c.hit, 1);
    EXPECT_NEAR(c.time, 0.5f, 1e-6f);
    EXPECT_EQ(c.axis, uint32_t(SgMovingTriangleTest::kAxisE0F0));
    ExpectNear(c.point, {0.4f, 0, 0});

    // The same meeting a hundred times smaller: the planes are judged parallel by the angle
    // between the normals, not by their lengths, so it is still an edge-edge contact.
    const float s = 0.01f;
    Triangle small{{{-s, 0, 0}, {s, 0, 0}, {0, 0, -s}}, {}};
    Triangle fallingSmall{{{0, -s, s}, {0, s, s}, {0, 0, 2 * s}}, {0, 0, -2 * s}};
    c = Sweep(small, fallingSmall, 1.0f);
    ASSERT_EQ(c.hit, 1);
    EXPECT_NEAR(c.time, 0.5f, 1e-5f);
    EXPECT_EQ(c.axis, uint32_t(SgMovingTriangleTest::kAxisE0F0));
    ExpectNear(c.point, {0, 0, 0}, 1e-7f);
}

TEST(SgMovingTriangleTest, EdgeOnFaceReportsTheEdgeEndInsideTheFace) {
    // A upright with a level bottom edge at height 1, falling onto B's wide face.
    Triangle a{{{-0.5f, 0, 1}, {0.5f, 0, 1}, {0, 0, 2}}, {0, 0, -2}};
    Contact c = Sweep(a, kWideFloor, 1.0f);
    ASSERT_EQ(c.hit, 1);
    EXPECT_NEAR(c.time, 0.5f, 1e-6f);
    EXPECT_EQ(c.axis, uint32_t(SgMovingTriangleTest::kAxisNormalB));
    ExpectNear(c.point, {-0.5f, 0, 0});

    // The first end off the face, the second on it: the second is reported.
    Triangle overTheEdge{{{-5.5f, -4, 1}, {-3.5f, -4, 1}, {-4.5f, -4, 2}}, {0, 0, -2}};
    c = Sweep(overTheEdge, kWideFloor, 1.0f);
    ASSERT_EQ(c.hit, 1);
    EXPECT_NEAR(c.time, 0.5f, 1e-6f);
    EXPECT_EQ(c.axis, uint32_t(SgMovingTriangleTest::kAxisNormalB));
    ExpectNear(c.point, {-3.5f, -4, 0});
}

TEST(SgMovingTriangleTest, PassingByACornerIsNoContact) {
    // Coplanar triangles; B's right-angle corner slides diagonally past A's corner at (1, 0).
    // Each axis lets the triangles overlap at some time, but never all at the same time.
    const Triangle a{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {}};
    auto mirrored = [](float x, float y) {
        return Triangle{{{x, y, 0}, {x - 1, y, 0}, {x, y - 1, 0}}, {1.5f, 1.5f, 0}};
    };
    Contact c = Sweep(a, mirrored(1.5f, -1), 1.0f);
    EXPECT_EQ(c.hit, 0);
    EXPECT_EQ(c.within, 0);

    // Half a unit further left the path crosses A: first touch when B's top edge reaches y = 0.
    c = Sweep(a, mirrored(0.5f, -1), 1.0f);
    ASSERT_EQ(c.hit, 1);
    EXPECT_EQ(c.within, 1);
    EXPECT_NEAR(c.time, 2.0f / 3.0f, 1e-5f);
    EXPECT_NEAR(c.point.y, 0.0f, 1e-5f);
    EXPECT_GE(c.point.x, 0.5f - 1e-5f);
    EXPECT_LE(c.point.x, 1.0f + 1e-5f);
}

TEST(SgMovingTriangleTest, TouchingTrianglesMeet) {
    // B's lowest vertex rests exactly on A's face.
    Triangle b{{{0.5f, 0.5f, 0}, {1, 0.5f, 1}, {0.5f, 1, 1}}, {}};
    Contact c = Sweep(kFloor, b, 0.0f);
    EXPECT_EQ(c.hit, 1);
    EXPECT_EQ(c.within, 1);
    EXPECT_EQ(c.time, 0.0f);
}

}  // namespace
