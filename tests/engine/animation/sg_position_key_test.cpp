// Position keys: linear and Hermite segments, shaped tangents, derivatives, the path frame and
// the largest curvature.

#include <gtest/gtest.h>

#include <cmath>

#include "tests/engine/animation/key_test_util.h"

namespace {

void ExpectNear(const SgVec3& a, const SgVec3& b, float tolerance = 1e-5f) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

SgVec3 At(const SgKeyArray<SgPositionKey>& keys, uint32_t i, float u) {
    SgPositionKey out;
    keys[i]->Interpolate(&out, u, keys[i + 1]);
    EXPECT_EQ(out.time, u) << "the plain form's time holds u";
    return out.position;
}

TEST(PositionKeys, Linear) {
    auto keys = MakeKeys<SgPositionKey>(new SgPositionKeyLinear(0, {4, 0, -2}), new SgPositionKeyLinear(1, {8, 4, 2}));
    ExpectNear(At(keys, 0, 0.25f), {5, 1, -1});
    SgVec3 d;
    keys[0]->FirstDerivative(d, 0.5f, keys[1]);
    ExpectNear(d, {4, 4, 4});
    keys[0]->SecondDerivative(d, 0.5f, keys[1]);
    ExpectNear(d, {0, 0, 0});
    EXPECT_EQ(keys[0]->MaxCurvature(keys.Data(), 2), 0.0f);
}

TEST(PositionKeys, TangentSegmentsMeetTheirKeys) {
    auto* a = new SgPositionKeyTangent(0, {1, 2, 3});
    a->outgoingTangent = {5, -3, 2};
    auto* b = new SgPositionKeyTangent(1, {-4, 0, 7});
    b->incomingTangent = {0, 6, 1};
    auto keys = MakeKeys<SgPositionKey>(a, b);
    keys[0]->PrepareSequence(keys.Data(), 2);
    ExpectNear(At(keys, 0, 0), {1, 2, 3});
    ExpectNear(At(keys, 0, 1), {-4, 0, 7});
    SgVec3 d;
    keys[0]->FirstDerivative(d, 0, keys[1]);
    ExpectNear(d, {5, -3, 2});
    keys[0]->FirstDerivative(d, 1, keys[1]);
    ExpectNear(d, {0, 6, 1}, 1e-4f);
    // D = (-5, -2, 4): c2 = 3 D - (T1 + 2 T0) = (-25, -6, 7), c3 = T0 + T1 - 2 D = (15, 7, -5); the
    // second derivative is 6 c3 u + 2 c2.
    keys[0]->SecondDerivative(d, 0, keys[1]);
    ExpectNear(d, {-50, -12, 14}, 1e-4f);
    keys[0]->SecondDerivative(d, 0.5f, keys[1]);
    ExpectNear(d, {-5, 9, -1}, 1e-4f);
}

TEST(PositionKeys, TwoShapedKeysMakeAStraightLineAtConstantSpeed) {
    // The keys' times do not matter: both tangents are p1 - p0.
    auto keys = MakeKeys<SgPositionKey>(new SgPositionKeyShaped(3, {1, 1, 1}), new SgPositionKeyShaped(17, {5, -3, 9}));
    keys[1]->PrepareSequence(keys.Data(), 2);
    for (uint32_t i = 0; i < 2; ++i) {
        auto* k = static_cast<SgPositionKeyShaped*>(keys[i]);
        ExpectNear(k->incomingTangent, {4, -4, 8});
        ExpectNear(k->outgoingTangent, {4, -4, 8});
    }
    for (float u : {0.0f, 0.2f, 0.5f, 0.9f, 1.0f}) {
        ExpectNear(At(keys, 0, u), SgVec3(1, 1, 1) + SgVec3(4, -4, 8) * u, 1e-4f);
        SgVec3 d;
        keys[0]->FirstDerivative(d, u, keys[1]);
        ExpectNear(d, {4, -4, 8}, 1e-4f);
    }
    EXPECT_NEAR(keys[0]->MaxCurvature(keys.Data(), 2), 0.0f, 1e-6f);
}

TEST(PositionKeys, ShapedMiddleKeyWeighsItsIntervals) {
    // A middle key with tension, continuity and bias 0 between a short and a long interval.
    auto keys = MakeKeys<SgPositionKey>(new SgPositionKeyShaped(0, {0, 0, 0}), new SgPositionKeyShaped(1, {1, 0, 0}),
                                        new SgPositionKeyShaped(4, {3, 0, 0}));
    keys[0]->PrepareSequence(keys.Data(), 3);
    auto* middle = static_cast<SgPositionKeyShaped*>(keys[1]);
    // Din 1, Dout 2: 1.5 scaled by 2 x 1/4 incoming and 2 x 3/4 outgoing.
    ExpectNear(middle->incomingTangent, {0.75f, 0, 0});
    ExpectNear(middle->outgoingTangent, {2.25f, 0, 0});
    ExpectNear(At(keys, 1, 0), {1, 0, 0});
    ExpectNear(At(keys, 1, 1), {3, 0, 0}, 1e-5f);
}

TEST(PositionKeys, ShapedContinuityAndBiasBetweenUnequalIntervals) {
    // Middle key: continuity 0.5, bias -0.5, intervals 1 and 3, differences 1 and 2 along x.
    // Incoming: (0.5 x 0.5 / 2) x 1 + (1.5 x 1.5 / 2) x 2, scaled by 2 x 1/4: 0.1875... = 1.1875;
    // outgoing: (1.5 x 0.5 / 2) x 1 + (0.5 x 1.5 / 2) x 2, scaled by 2 x 3/4: 1.6875.
    auto* middle = new SgPositionKeyShaped(1, {1, 0, 0});
    middle->continuity = 0.5f;
    middle->bias = -0.5f;
    auto keys = MakeKeys<SgPositionKey>(new SgPositionKeyShaped(0, {0, 0, 0}), middle,
                                        new SgPositionKeyShaped(4, {3, 0, 0}));
    keys[0]->PrepareSequence(keys.Data(), 3);
    ExpectNear(middle->incomingTangent, {1.1875f, 0, 0});
    ExpectNear(middle->outgoingTangent, {1.6875f, 0, 0});
    // Halfway to the last key (incoming tangent 2): 0.5 x 1 + 0.125 x 1.6875 + 0.5 x 3 - 0.125 x 2.
    ExpectNear(At(keys, 1, 0.5f), {1.9609375f, 0, 0});
}

TEST(PositionKeys, EqualNeighbourTimesStayFinite) {
    auto keys = MakeKeys<SgPositionKey>(new SgPositionKeyShaped(2, {0, 0, 0}), new SgPositionKeyShaped(2, {1, 0, 0}),
                                        new SgPositionKeyShaped(2, {3, 0, 0}));
    keys[0]->PrepareSequence(keys.Data(), 3);
    auto* middle = static_cast<SgPositionKeyShaped*>(keys[1]);
    EXPECT_TRUE(std::isfinite(middle->incomingTangent.x));
    EXPECT_TRUE(std::isfinite(middle->outgoingTangent.x));
    EXPECT_FLOAT_EQ(middle->outgoingTangent.x, 1.5f);
}

TEST(PositionKeys, SingleKeyIsNotPrepared) {
    auto keys = MakeKeys<SgPositionKey>(new SgPositionKeyShaped(0, {1, 2, 3}));
    auto* k = static_cast<SgPositionKeyShaped*>(keys[0]);
    k->c2 = {9, 9, 9};
    keys[0]->PrepareSequence(keys.Data(), 1);
    ExpectNear(k->c2, {9, 9, 9});
    ExpectNear(k->incomingTangent, {0, 0, 0});
    EXPECT_EQ(keys[0]->MaxCurvature(keys.Data(), 1), 0.0f);
}

TEST(PositionKeys, PathFrameOfStraightPaths) {
    SgVec3 t, n, b;
    float k = -1;
    SgPositionKeyLinear x0(0, {0, 0, 0}), x1(1, {2, 0, 0});
    x0.PathFrame(0.5f, &x1, t, n, b, k);
    ExpectNear(t, {1, 0, 0});
    ExpectNear(n, {0, -1, 0});
    ExpectNear(b, {0, 0, -1});
    EXPECT_EQ(k, 0.0f);

    SgPositionKeyLinear z0(0, {0, 0, 0}), z1(1, {0, 0, 3});
    z0.PathFrame(0.5f, &z1, t, n, b, k);
    ExpectNear(t, {0, 0, 1});
    ExpectNear(n, {0, -1, 0});

    // Coincident keys: no direction, and every output zero rather than a division by zero.
    SgPositionKeyLinear c0(0, {1, 1, 1}), c1(1, {1, 1, 1});
    c0.PathFrame(0.5f, &c1, t, n, b, k);
    ExpectNear(t, {0, 0, 0});
    ExpectNear(n, {0, 0, 0});
    ExpectNear(b, {0, 0, 0});
    EXPECT_EQ(k, 0.0f);
}

TEST(PositionKeys, PathFrameAndCurvatureOfACurve) {
    // A Hermite quarter-turn from (1, 0, 0) to (0, 1, 0): curvature near that of the unit circle.
    auto* a = new SgPositionKeyTangent(0, {1, 0, 0});
    a->outgoingTangent = {0, 1.5708f, 0};
    auto* b = new SgPositionKeyTangent(1, {0, 1, 0});
    b->incomingTangent = {-1.5708f, 0, 0};
    auto keys = MakeKeys<SgPositionKey>(a, b);
    keys[0]->PrepareSequence(keys.Data(), 2);
    SgVec3 t, n, bn;
    float k = 0;
    keys[0]->PathFrame(0, keys[1], t, n, bn, k);
    ExpectNear(t, {0, 1, 0});
    EXPECT_NEAR(n.x, -1, 1e-4f) << "the normal points into the turn";
    ExpectNear(bn, t.Cross(n));
    EXPECT_GT(k, 0.5f);
    EXPECT_LT(k, 2.0f);
    float most = keys[0]->MaxCurvature(keys.Data(), 2);
    EXPECT_GE(most, k);
    EXPECT_LT(most, 3.0f);
}

TEST(PositionKeys, MaxCurvatureSkipsStandstills) {
    // Zero tangents at coincident positions: no sample has a direction, none divides by zero.
    auto keys = MakeKeys<SgPositionKey>(new SgPositionKeyTangent(0, {1, 1, 1}), new SgPositionKeyTangent(1, {1, 1, 1}));
    keys[0]->PrepareSequence(keys.Data(), 2);
    EXPECT_EQ(keys[0]->MaxCurvature(keys.Data(), 2), 0.0f);
}

}  // namespace
