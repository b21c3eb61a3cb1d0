// Engine math against reference values, and the bounding spheres.

#include <gtest/gtest.h>

#include <cmath>

#include "engine/core/sg_bound.h"
#include "engine/core/sg_math.h"
#include "engine/core/sg_stream.h"

namespace {

void ExpectNear(const SgVec3& a, const SgVec3& b, float tolerance = 1e-5f) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

void ExpectNear(const SgMat3& a, const SgMat3& b, float tolerance = 1e-5f) {
    for (int i = 0; i < 9; ++i)
        EXPECT_NEAR(a.m[i], b.m[i], tolerance) << "entry " << i;
}

void ExpectNear(const SgQuat& a, const SgQuat& b, float tolerance = 1e-5f) {
    EXPECT_NEAR(a.w, b.w, tolerance);
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

TEST(EngineMath, ConstantsAreSetBeforeMain) {
    EXPECT_EQ(SgPi, static_cast<float>(4.0 * std::atan2(1.0, 1.0)));
    EXPECT_EQ(SgHalfPi, SgPi * 0.5f);
    EXPECT_EQ(SgTwoPi, SgPi + SgPi);
    EXPECT_EQ(SgIdentityMat3, SgMat3::Rotation(1));
    EXPECT_EQ(SgZeroMat3, SgMat3::Rotation(0));
    EXPECT_EQ(SgIdentityQuat, SgQuat(1, 0, 0, 0));
    EXPECT_EQ(SgBlack, SgRgba(0, 0, 0, 1));
}

TEST(EngineMath, MakeRotationKinds) {
    const float c = std::cos(0.5f), s = std::sin(0.5f);
    struct Case {
        int kind;
        double p1, p2, p3, p4;
        SgMat3 expected;
    };
    const Case cases[] = {
        {0, 1, 2, 3, 4, SgZeroMat3},
        {7, 1, 2, 3, 4, SgZeroMat3},
        {-1, 1, 2, 3, 4, SgZeroMat3},
        {1, 9, 9, 9, 9, SgIdentityMat3},
        {2, 2, 3, 4, 0, SgMat3{{2, 0, 0, 0, 3, 0, 0, 0, 4}}},
        {3, 0.5, 0, 0, 0, SgMat3{{1, 0, 0, 0, c, s, 0, -s, c}}},
        {4, 0.5, 0, 0, 0, SgMat3{{c, 0, -s, 0, 1, 0, s, 0, c}}},
        {5, 0.5, 0, 0, 0, SgMat3{{c, s, 0, -s, c, 0, 0, 0, 1}}},
        // About a unit axis, kind 6 agrees with the axis kinds.
        {6, 0.5, 1, 0, 0, SgMat3{{1, 0, 0, 0, c, s, 0, -s, c}}},
        {6, 0.5, 0, 1, 0, SgMat3{{c, 0, -s, 0, 1, 0, s, 0, c}}},
        {6, 0.5, 0, 0, 1, SgMat3{{c, s, 0, -s, c, 0, 0, 0, 1}}},
        // The axis is not normalised: (0, 0, 2) at a zero angle gives t = 0, so only c remains.
        {6, 0, 0, 0, 2, SgIdentityMat3},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.kind);
        ExpectNear(SgMat3::Rotation(k.kind, k.p1, k.p2, k.p3, k.p4), k.expected);
    }
    // Applied as M x p: kind 5 by a quarter turn takes X to -Y.
    ExpectNear(SgMat3::Rotation(5, SgHalfPi) * SgAxisX, SgVec3(0, -1, 0));
}

TEST(EngineMath, InvertAtTheThreshold) {
    SgMat3 out;
    SgMat3 atLimit{{1e-6f, 0, 0, 0, 1, 0, 0, 0, 1}};
    EXPECT_FALSE(atLimit.Invert(out));
    EXPECT_EQ(out, SgMat3({{1, 0, 0, 0, 1e-6f, 0, 0, 0, 1e-6f}})) << "out holds the adjugate";
    EXPECT_EQ(atLimit.Inverse(), SgZeroMat3);

    SgMat3 above{{2e-6f, 0, 0, 0, 1, 0, 0, 0, 1}};
    EXPECT_TRUE(above.Invert(out));
    EXPECT_NEAR(out.m[0], 5e5f, 1.0f);

    SgMat3 nan{{NAN, 0, 0, 0, 1, 0, 0, 0, 1}};
    EXPECT_FALSE(nan.Invert(out));

    SgMat3 m{{2, 1, 0, 0, 3, 1, 1, 0, 4}};
    ExpectNear(m * m.Inverse(), SgIdentityMat3);
    ExpectNear(m.Inverse() * m, SgIdentityMat3);
}

TEST(EngineMath, MatrixAngleAxis) {
    float angle, x, y, z;
    SgIdentityMat3.ToAngleAxis(angle, x, y, z);
    EXPECT_EQ(angle, 0.0f);
    EXPECT_EQ(SgVec3(x, y, z), SgAxisX);

    SgVec3 axis{1, 2, 2};
    axis.Normalize();
    SgMat3::Rotation(6, 1.2, axis.x, axis.y, axis.z).ToAngleAxis(angle, x, y, z);
    EXPECT_NEAR(angle, 1.2f, 1e-5f);
    ExpectNear(SgVec3(x, y, z), axis);

    // Half turns: the axis is the vector the matrix leaves unchanged (up to its sign).
    const SgVec3 halfTurnAxes[] = {{0, 1, 0}, {0.6f, -0.8f, 0}, {0.6f, 0, -0.8f}, {0, 0.6f, -0.8f}};
    for (SgVec3 a : halfTurnAxes) {
        SgMat3 m = SgMat3::Rotation(6, SgPi, a.x, a.y, a.z);
        m.ToAngleAxis(angle, x, y, z);
        EXPECT_NEAR(angle, SgPi, 1e-3f);  // acos is steep at -1
        SgVec3 got{x, y, z};
        EXPECT_NEAR(std::fabs(got.Dot(a)), 1.0f, 1e-3f) << a.x << " " << a.y << " " << a.z;
    }
}

TEST(EngineMath, QuaternionBasics) {
    SgQuat a{0.5f, 0.5f, 0.5f, 0.5f};
    EXPECT_EQ(a.Multiply(SgIdentityQuat), a);
    ExpectNear(a.Multiply(a.Conjugate()), SgIdentityQuat);
    EXPECT_EQ(a.Dot(a), 1.0f);
    EXPECT_EQ(a.Add(a).Subtract(a), a);
    EXPECT_EQ(a.Negate(), SgQuat(-0.5f, -0.5f, -0.5f, -0.5f));
    EXPECT_EQ(a.Scale(2), SgQuat(1, 1, 1, 1));
    // i x j = k
    EXPECT_EQ(SgQuat(0, 1, 0, 0).Multiply(SgQuat(0, 0, 1, 0)), SgQuat(0, 0, 0, 1));

    float angle;
    SgVec3 axis;
    SgIdentityQuat.ToAngleAxis(angle, axis);
    EXPECT_EQ(angle, 0.0f);
    EXPECT_EQ(axis, SgZeroVec3);
    SgQuat::FromAngleAxis(2.0f, SgAxisY).ToAngleAxis(angle, axis);
    EXPECT_NEAR(angle, 2.0f, 1e-5f);
    ExpectNear(axis, SgAxisY);

    // Exp undoes Log on a unit quaternion.
    SgQuat q = SgQuat::FromAngleAxis(1.0f, SgVec3(0.6f, 0.8f, 0));
    ExpectNear(q.Log().Exp(), q);
    EXPECT_EQ(SgIdentityQuat.Log(), SgQuat(0, 0, 0, 0));
}

TEST(EngineMath, QuaternionRotationIsTheTransposeOfKind6) {
    SgVec3 axis{0, 0.6f, 0.8f};
    SgMat3 fromQuat;
    SgQuat::FromAngleAxis(0.7f, axis).ToRotation(fromQuat);
    ExpectNear(fromQuat, SgMat3::Rotation(6, 0.7, axis.x, axis.y, axis.z).Transpose());
}

TEST(EngineMath, SlerpAndSquad) {
    SgQuat p = SgIdentityQuat;
    SgQuat q = SgQuat::FromAngleAxis(SgHalfPi, SgAxisZ);
    ExpectNear(SgQuat::Slerp(0.5f, p, q), SgQuat::FromAngleAxis(SgHalfPi / 2, SgAxisZ));
    EXPECT_EQ(SgQuat::Slerp(0, p, q), p);
    ExpectNear(SgQuat::Slerp(1, p, q), q);

    // Closer than about 0.001 radians: the first, unchanged.
    SgQuat near = SgQuat::FromAngleAxis(0.0015f, SgAxisX);
    EXPECT_EQ(SgQuat::Slerp(0.7f, near, p), near);
    // Opposite quaternions are not flipped: d = -1 gives theta = pi, sin below the limit.
    EXPECT_EQ(SgQuat::Slerp(0.5f, p, p.Negate()), p);

    // One extra spin passes through the far side.
    ExpectNear(SgQuat::SlerpSpin(0.5f, p, q, 0), SgQuat::Slerp(0.5f, p, q));
    SgQuat spun = SgQuat::SlerpSpin(0.5f, p, q, 1);
    EXPECT_NEAR(spun.Dot(spun), 1.0f, 1e-4f);
    EXPECT_NEAR(spun.Dot(SgQuat::Slerp(0.5f, p, q)), 0.0f, 1e-4f);  // half a spin in quaternion space

    SgQuat r = SgQuat::FromAngleAxis(SgPi, SgAxisZ);
    SgQuat a = SgQuat::SquadControl(p, q, r), b = SgQuat::SquadControl(q, r, r);
    ExpectNear(SgQuat::Squad(0, q, a, b, r), q);
    ExpectNear(SgQuat::Squad(1, q, a, b, r), r);
    // Keys evenly spaced about one axis: the control points lie on the same great arc.
    ExpectNear(a, q, 1e-4f);
    ExpectNear(SgQuat::SquadSpin(0.5f, q, a, b, r, 0), SgQuat::Squad(0.5f, q, a, b, r));
}

TEST(EngineMath, EigenSolve) {
    float values[3];
    SgMat3 vectors;
    SgMat3 diagonal{{3, 0, 0, 0, 1, 0, 0, 0, 2}};
    diagonal.EigenSolve(values, vectors);
    EXPECT_FLOAT_EQ(values[0], 3);
    EXPECT_FLOAT_EQ(values[1], 1);
    EXPECT_FLOAT_EQ(values[2], 2);
    ExpectNear(vectors, SgIdentityMat3);

    // R D R^T for a general rotation: each column v with value l satisfies A v = l v.
    SgVec3 axis{1, 2, 3};
    axis.Normalize();
    SgMat3 r = SgMat3::Rotation(6, 0.9, axis.x, axis.y, axis.z);
    SgMat3 a = r * SgMat3{{5, 0, 0, 0, -2, 0, 0, 0, 0.5f}} * r.Transpose();
    a.EigenSolve(values, vectors);
    float sum = 0;
    for (int i = 0; i < 3; ++i) {
        SgVec3 v{vectors.m[i], vectors.m[3 + i], vectors.m[6 + i]};
        EXPECT_NEAR(v.Length(), 1.0f, 1e-5f);
        ExpectNear(a * v, v * values[i], 1e-4f);
        sum += values[i];
    }
    EXPECT_NEAR(sum, 3.5f, 1e-4f);
    SgVec3 c0{vectors.m[0], vectors.m[3], vectors.m[6]}, c1{vectors.m[1], vectors.m[4], vectors.m[7]},
        c2{vectors.m[2], vectors.m[5], vectors.m[8]};
    EXPECT_NEAR(c0.Cross(c1).Dot(c2), 1.0f, 1e-4f) << "a right-handed frame";
}

TEST(EngineMath, VectorNormalising) {
    SgVec3 v{3, 0, 4};
    EXPECT_EQ(v.Normalize(), 5.0f);
    EXPECT_EQ(v, SgVec3(0.6f, 0, 0.8f));
    SgVec3 tiny{1e-7f, 0, 0};
    EXPECT_EQ(tiny.Normalize(), 0.0f);
    EXPECT_EQ(tiny, SgZeroVec3);

    SgVec3 many[] = {{3, 0, 4}, {0, 0, 0}, {1e-10f, 2e-10f, 0}, {1e20f, -1e20f, 3e19f}, {0.1f, 0.2f, 0.3f}};
    for (SgVec3 v : many) {
        double length = std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
        SgVec3 exact = length > 0 ? SgVec3(float(v.x / length), float(v.y / length), float(v.z / length)) : v;
        SgVec3::NormalizeArrayFast(&v, 1);
        ExpectNear(v, exact, 0.005f);
    }
    SgVec3::NormalizeArrayFast(many, 5);
    EXPECT_EQ(many[1], SgZeroVec3);
}

TEST(EngineMath, PlanesAndStreamForms) {
    SgPlaneEq plane(SgAxisY, SgVec3(5, 2, 7));
    EXPECT_EQ(plane.constant, 2.0f);
    EXPECT_EQ(plane.Distance(SgVec3(0, 5, 0)), 3.0f);
    EXPECT_TRUE(plane.IsEqualTo(SgPlaneEq(SgAxisY, 2.0f)));
    EXPECT_FALSE(plane.IsEqualTo(SgPlaneEq(SgAxisY, 2.5f)));
}

// ---- Bounding spheres ----

SgBoundSphere Sphere(SgVec3 c, float r) {
    SgBoundSphere s;
    s.centre = c;
    s.radius = r;
    return s;
}

TEST(BoundSphere, FitAndTransform) {
    SgBoundSphere s;
    EXPECT_EQ(s.unset, 1u);
    SgVec3 one{2, 3, 4};
    s.FitToPoints(1, &one);
    EXPECT_EQ(s.centre, one);
    EXPECT_EQ(s.radius, 0.0f);
    EXPECT_EQ(s.unset, 0u);

    SgBoundSphere none;
    none.FitToPoints(0, nullptr);
    EXPECT_EQ(none.unset, 1u);
    // No points, even with an array given: the zero sphere, still unset.
    SgBoundSphere empty = Sphere({5, 5, 5}, 3);
    empty.FitToPoints(0, &one);
    EXPECT_EQ(empty.centre, SgVec3());
    EXPECT_EQ(empty.radius, 0.0f);
    EXPECT_EQ(empty.unset, 1u);

    // The first point is the farthest from the centre.
    SgVec3 corner[] = {{0, 0, 0}, {2, 1, 0}, {1, 2, 0}};
    s.FitToPoints(3, corner);
    EXPECT_EQ(s.centre, SgVec3(1, 1, 0));
    EXPECT_NEAR(s.radius, std::sqrt(2.0f), 1e-6f);

    SgVec3 box[] = {{-1, 0, 0}, {3, 0, 0}, {0, 2, 0}, {0, -2, 1}};
    s.FitToPoints(4, box);
    EXPECT_EQ(s.centre, SgVec3(1, 0, 0.5f));
    EXPECT_NEAR(s.radius, std::sqrt(1.0f + 4.0f + 0.25f), 1e-6f);  // to (0, 2, 0)

    SgBoundSphere moved;
    moved.TransformBy(Sphere({1, 0, 0}, 2), SgMat3::Rotation(5, SgHalfPi), {0, 0, 10}, 3);
    ExpectNear(moved.centre, {0, -3, 10});
    EXPECT_EQ(moved.radius, 6.0f);
    EXPECT_EQ(moved.unset, 0u);
}

TEST(BoundSphere, Enclose) {
    struct Case {
        const char* what;
        SgBoundSphere self, other, expected;
    };
    const Case cases[] = {
        {"other inside", Sphere({0, 0, 0}, 5), Sphere({1, 0, 0}, 1), Sphere({0, 0, 0}, 5)},
        {"other contains", Sphere({1, 0, 0}, 1), Sphere({0, 0, 0}, 5), Sphere({0, 0, 0}, 5)},
        {"other contains, barely larger", Sphere({0, 0, 0}, 1), Sphere({0.2f, 0, 0}, 1.5f),
         Sphere({0.2f, 0, 0}, 1.5f)},
        {"concentric larger", Sphere({1, 1, 1}, 1), Sphere({1, 1, 1}, 2), Sphere({1, 1, 1}, 2)},
        {"concentric equal", Sphere({1, 1, 1}, 2), Sphere({1, 1, 1}, 2), Sphere({1, 1, 1}, 2)},
        {"apart", Sphere({0, 0, 0}, 1), Sphere({10, 0, 0}, 1), Sphere({5, 0, 0}, 6)},
        {"overlapping", Sphere({0, 0, 0}, 2), Sphere({2, 0, 0}, 1), Sphere({0.5f, 0, 0}, 2.5f)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SgBoundSphere s = c.self;
        s.Enclose(c.other);
        ExpectNear(s.centre, c.expected.centre);
        EXPECT_NEAR(s.radius, c.expected.radius, 1e-5f);
    }
}

TEST(BoundSphere, EqualMeansSameCentreAndRadius) {
    SgBoundSphere s = Sphere({1, 2, 3}, 4);
    EXPECT_TRUE(s.IsEqualTo(Sphere({1, 2, 3}, 4)));
    EXPECT_FALSE(s.IsEqualTo(Sphere({1, 2, 3.5f}, 4)));
    EXPECT_FALSE(s.IsEqualTo(Sphere({1, 2, 3}, 4.5f)));
    EXPECT_FALSE(s.IsEqualTo(Sphere({0, 2, 3}, 5)));
}

TEST(BoundSphere, WhichSide) {
    SgPlaneEq floor(SgAxisY, 0.0f);
    EXPECT_EQ(Sphere({0, -1, 0}, 1).WhichSide(floor), 2);  // touching from behind counts as behind
    EXPECT_EQ(Sphere({0, 1, 0}, 1).WhichSide(floor), 1);
    EXPECT_EQ(Sphere({0, 0.5f, 0}, 1).WhichSide(floor), 0);
}

TEST(BoundSphere, MovingTests) {
    SgBoundSphere a = Sphere({0, 0, 0}, 1), b = Sphere({10, 0, 0}, 1);
    SgVec3 still, left{-1, 0, 0}, up{0, 1, 0};
    EXPECT_TRUE(SgBoundSphere::MovingOverlap(20, a, still, b, left));
    EXPECT_FALSE(SgBoundSphere::MovingOverlap(7, a, still, b, left));   // 8 units away at the end
    EXPECT_TRUE(SgBoundSphere::MovingOverlap(8, a, still, b, left));    // just touching at t
    EXPECT_FALSE(SgBoundSphere::MovingOverlap(20, a, still, b, up));    // moving apart sideways
    EXPECT_FALSE(SgBoundSphere::MovingOverlap(20, a, still, b, -left)); // leaving
    EXPECT_TRUE(SgBoundSphere::MovingOverlap(1, a, still, Sphere({1, 0, 0}, 1), -left));  // overlap at start
    // Leaving slowly: they were close once, but not within the span.
    EXPECT_FALSE(SgBoundSphere::MovingOverlap(20, a, still, Sphere({2.5f, 0, 0}, 1), {0.1f, 0, 0}));

    float time = -1;
    SgVec3 point, na, nb;
    ASSERT_TRUE(SgBoundSphere::MovingContact(20, a, still, b, left, time, point, true, na, nb));
    EXPECT_NEAR(time, 8.0f, 1e-5f);
    ExpectNear(point, {1, 0, 0});
    ExpectNear(na, SgAxisX);
    ExpectNear(nb, -SgAxisX);
    EXPECT_FALSE(SgBoundSphere::MovingContact(5, a, still, b, left, time, point, true, na, nb));

    // Already touching: time 0 at the midpoint.
    ASSERT_TRUE(SgBoundSphere::MovingContact(5, a, still, Sphere({1, 0, 0}, 1), left, time, point, false, na, nb));
    EXPECT_EQ(time, 0.0f);
    ExpectNear(point, {0.5f, 0, 0});
    // Unequal radii: the point divides the line at radius A.
    ASSERT_TRUE(SgBoundSphere::MovingContact(20, Sphere({0, 0, 0}, 3), still, Sphere({10, 0, 0}, 1), left, time,
                                             point, false, na, nb));
    EXPECT_NEAR(time, 6.0f, 1e-5f);
    ExpectNear(point, {3, 0, 0});
    // Radii that sum below 1 divide the line the same way.
    ASSERT_TRUE(SgBoundSphere::MovingContact(20, Sphere({0, 0, 0}, 0.25f), still, Sphere({10, 0, 0}, 0.5f), left,
                                             time, point, false, na, nb));
    EXPECT_NEAR(time, 9.25f, 1e-5f);
    ExpectNear(point, {0.25f, 0, 0});
    // Grazing: the closest approach is exactly the sum of the radii.
    ASSERT_TRUE(SgBoundSphere::MovingContact(20, a, still, Sphere({10, 2, 0}, 1), left, time, point, false, na, nb));
    EXPECT_NEAR(time, 10.0f, 1e-5f);
    ExpectNear(point, {0, 1, 0});
    // Exactly touching and approaching: time 0 at the midpoint, whatever the radii.
    ASSERT_TRUE(SgBoundSphere::MovingContact(5, Sphere({0, 0, 0}, 3), still, Sphere({4, 0, 0}, 1), left, time, point,
                                             false, na, nb));
    EXPECT_EQ(time, 0.0f);
    ExpectNear(point, {2, 0, 0});
    // Exactly touching and not approaching: contact at time 0.
    ASSERT_TRUE(SgBoundSphere::MovingContact(5, a, still, Sphere({2, 0, 0}, 1), still, time, point, true, na, nb));
    EXPECT_EQ(time, 0.0f);
    ExpectNear(point, {1, 0, 0});
    ExpectNear(na, SgAxisX);
    EXPECT_TRUE(SgBoundSphere::MovingOverlap(5, a, still, Sphere({2, 0, 0}, 1), still));
}

TEST(BoundSphere, NoVolumeKindsExist) {
    EXPECT_FALSE(SgBoundIntersect(1, nullptr, nullptr, nullptr, nullptr));
    EXPECT_FALSE(SgBoundIntersectMoving(1, nullptr, {}, nullptr, {}));
    EXPECT_EQ(MakeVolumeFromSphere(Sphere({}, 1)), nullptr);
}

}  // namespace
