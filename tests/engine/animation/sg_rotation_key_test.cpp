// Rotation keys: the segment modes chosen by preparation, slerp, squad and spins, the shaped and
// squad controls, and the per-axis tracks.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "tests/engine/animation/key_test_util.h"

namespace {

constexpr SgVec3 kZ{0, 0, 1};
constexpr SgVec3 kX{1, 0, 0};

template <class K = SgRotationKeyPlain>
K* Key(float time, float angle, SgVec3 axis) {
    return new K(time, angle, axis);
}

void ExpectQuat(const SgQuat& a, const SgQuat& b, float tolerance = 1e-5f) {
    EXPECT_NEAR(a.w, b.w, tolerance);
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

// The same rotation: q or -q.
void ExpectRotation(const SgQuat& a, const SgQuat& b, float tolerance = 1e-5f) {
    SgQuat c = a.Dot(b) < 0 ? b.Negate() : b;
    ExpectQuat(a, c, tolerance);
}

// The plain key that segment i gives at u.
std::unique_ptr<SgRotationKey> Half(const SgKeyArray<SgRotationKey>& keys, float u = 0.5f, uint32_t i = 0) {
    auto out = std::make_unique<SgRotationKey>();
    keys[i]->Interpolate(out.get(), u, keys[i + 1]);
    return out;
}

struct ModeCase {
    const char* name;
    float angle0, angle1;
    SgVec3 axis1;
    int32_t spins, mode;
};

TEST(RotationKeys, PreparationChoosesTheModes) {
    const SgVec3 other{0, 1, 0};
    const ModeCase cases[] = {
        {"same axis, a whole turn more", 0, 7, kZ, 1, 1},
        {"same axis, backwards", 0, -7, kZ, -1, 1},
        {"less than a turn", 0, 1, other, 0, 0},
        {"other axis from a non-zero angle", 1, 8, other, 1, 2},
        {"other axis from angle 0", 0, 8, other, 1, 3},
        {"two whole turns", 0, 13, kZ, 2, 1},
    };
    for (const ModeCase& c : cases) {
        auto keys = MakeKeys<SgRotationKey>(Key(0, c.angle0, kZ), Key(1, c.angle1, c.axis1));
        keys[0]->PrepareSequence(keys.Data(), 2);
        EXPECT_EQ(keys[0]->spinCount, c.spins) << c.name;
        EXPECT_EQ(keys[0]->mode, c.mode) << c.name;
    }
}

TEST(RotationKeys, SegmentsByMode) {
    // Mode 1: the angle about the shared axis.
    auto spin = MakeKeys<SgRotationKey>(Key(0, 0, kZ), Key(1, 7, kZ));
    spin[0]->PrepareSequence(spin.Data(), 2);
    auto r = Half(spin);
    EXPECT_FLOAT_EQ(r->angle, 3.5f);
    EXPECT_EQ(r->axis, kZ);
    ExpectQuat(r->quaternion, SgQuat::FromAngleAxis(3.5f, kZ));
    EXPECT_EQ(r->time, 0.5f);
    EXPECT_EQ(r->spinCount, 0);
    EXPECT_EQ(r->mode, 0);

    // Mode 0: a slerp of the quaternions; angle and axis stay zero.
    auto slerp = MakeKeys<SgRotationKey>(Key(0, 0, kZ), Key(1, 1, kX));
    slerp[0]->PrepareSequence(slerp.Data(), 2);
    r = Half(slerp, 0.25f);
    ExpectQuat(r->quaternion, SgQuat::Slerp(0.25f, slerp[0]->quaternion, slerp[1]->quaternion));
    EXPECT_EQ(r->angle, 0.0f);
    EXPECT_EQ(r->axis, SgZeroVec3);

    // Mode 2: a slerp with a whole extra turn.
    auto spins = MakeKeys<SgRotationKey>(Key(0, 1, kZ), Key(1, 8, kX));
    spins[0]->PrepareSequence(spins.Data(), 2);
    r = Half(spins, 0.3f);
    ExpectQuat(r->quaternion, SgQuat::SlerpSpin(0.3f, spins[0]->quaternion, spins[1]->quaternion, 1));

    // Mode 3: the angle about an axis slerped from z to x.
    auto axes = MakeKeys<SgRotationKey>(Key(0, 0, kZ), Key(1, 8, kX));
    axes[0]->PrepareSequence(axes.Data(), 2);
    r = Half(axes);
    EXPECT_FLOAT_EQ(r->angle, 4.0f);
    EXPECT_NEAR(r->axis.x, std::sqrt(0.5f), 1e-6f);
    EXPECT_NEAR(r->axis.z, std::sqrt(0.5f), 1e-6f);
    ExpectQuat(r->quaternion, SgQuat::FromAngleAxis(4.0f, r->axis));
}

TEST(RotationKeys, OppositeAxesKeepTheFirstAxis) {
    // Mode 3 between opposite axes has no plane to turn in.
    auto keys = MakeKeys<SgRotationKey>(Key(0, 0, kZ), Key(1, 8, SgVec3(0, 0, -1)));
    keys[0]->PrepareSequence(keys.Data(), 2);
    ASSERT_EQ(keys[0]->mode, 3);
    auto r = Half(keys);
    EXPECT_EQ(r->axis, kZ);
    EXPECT_TRUE(std::isfinite(r->quaternion.w));
}

TEST(RotationKeys, HugeAngleDifferencesKeepASpinCount) {
    auto keys = MakeKeys<SgRotationKey>(Key(0, 0, kZ), Key(1, 1e30f, kZ));
    keys[0]->PrepareSequence(keys.Data(), 2);
    EXPECT_EQ(keys[0]->spinCount, 2147483647);
    EXPECT_EQ(keys[0]->mode, 1);
}

TEST(RotationKeys, SignsFollowTheFirstKeyAndWIsClamped) {
    SgQuat q = SgQuat::FromAngleAxis(0.3f, kZ);
    auto keys = MakeKeys<SgRotationKey>(Key(0, 0, kZ), Key(1, 0, kZ), Key(2, 0, kZ), Key(3, 0, kZ));
    keys[0]->quaternion = {1.0000002f, 0, 0, 0};
    keys[1]->quaternion = q.Negate();
    keys[2]->quaternion = q;
    keys[3]->quaternion = q.Negate();
    keys[0]->PrepareSequence(keys.Data(), 4);
    EXPECT_EQ(keys[0]->quaternion.w, 1.0f);
    for (uint32_t i = 1; i < 4; ++i)
        ExpectQuat(keys[i]->quaternion, q);
}

TEST(RotationKeys, CloneCopiesTheSpinsAndClearsTheMode) {
    auto* k = Key<SgRotationKeyModal>(1, 2, kX);
    k->spinCount = 4;
    k->mode = 2;
    k->control = {0, 1, 0, 0};
    SgRotationKey* copy = k->Clone();
    EXPECT_EQ(copy->KeyType(), 2u);
    EXPECT_EQ(copy->spinCount, 4);
    EXPECT_EQ(copy->mode, 0);
    EXPECT_TRUE(copy->IsEqualTo(k)) << "the mode is not compared";
    delete copy;
    delete k;
}

TEST(RotationKeys, SquadMeetsItsKeys) {
    for (int type : {2, 3}) {
        auto make = [type](float t, float a, SgVec3 axis) -> SgRotationKey* {
            if (type == 2)
                return Key<SgRotationKeyModal>(t, a, axis);
            return Key<SgRotationKeyShaped>(t, a, axis);
        };
        auto keys = MakeKeys<SgRotationKey>(make(0, 0, kZ), make(1, 1, kX), make(2, 2, SgVec3(0, 1, 0)),
                                            make(4, 0.5f, kZ));
        keys[0]->PrepareSequence(keys.Data(), 4);
        for (uint32_t i = 0; i < 3; ++i) {
            ExpectRotation(Half(keys, 0, i)->quaternion, keys[i]->quaternion);
            ExpectRotation(Half(keys, 1, i)->quaternion, keys[i + 1]->quaternion, 1e-4f);
            SgQuat mid = Half(keys, 0.5f, i)->quaternion;
            EXPECT_NEAR(mid.Dot(mid), 1.0f, 1e-4f) << "type " << type;
        }
    }
}

TEST(RotationKeys, SquadAngleControlsOfASteadySpin) {
    // Steady whole turns about one axis: inner angle controls sit on the line, so inner segments
    // are straight; the ends see themselves as their missing neighbour.
    auto keys = MakeKeys<SgRotationKey>(Key<SgRotationKeyModal>(0, 0, kZ), Key<SgRotationKeyModal>(1, 7, kZ),
                                        Key<SgRotationKeyModal>(2, 14, kZ), Key<SgRotationKeyModal>(3, 21, kZ));
    keys[0]->PrepareSequence(keys.Data(), 4);
    auto control = [&](uint32_t i) { return static_cast<SgRotationKeyModal*>(keys[i])->angleControl; };
    EXPECT_EQ(keys[0]->mode, 1);
    EXPECT_FLOAT_EQ(control(0), -1.75f);
    EXPECT_FLOAT_EQ(control(1), 7.0f);
    EXPECT_FLOAT_EQ(control(2), 14.0f);
    EXPECT_FLOAT_EQ(control(3), 22.75f) << "the last key's control follows the mode of the segment it ends";
    EXPECT_FLOAT_EQ(Half(keys, 0.5f, 1)->angle, 10.5f);
    EXPECT_FLOAT_EQ(Half(keys, 0.25f, 1)->angle, 8.75f);
    EXPECT_FLOAT_EQ(Half(keys, 0.5f, 0)->angle, 3.0625f);

    // A segment of less than a turn: the control is the angle of the squad control quaternion.
    auto slow = MakeKeys<SgRotationKey>(Key<SgRotationKeyModal>(0, 0, kZ), Key<SgRotationKeyModal>(1, 1, kX));
    slow[0]->PrepareSequence(slow.Data(), 2);
    auto* first = static_cast<SgRotationKeyModal*>(slow[0]);
    float angle;
    SgVec3 axis;
    first->control.ToAngleAxis(angle, axis);
    EXPECT_EQ(first->angleControl, angle);
}

TEST(RotationKeys, ShapedControlsOfEquallySpacedKeys) {
    // With tension, continuity and bias 0 and equal spacing the middle key's controls are the
    // squad control of its neighbours.
    auto keys = MakeKeys<SgRotationKey>(Key<SgRotationKeyShaped>(0, 0, kZ), Key<SgRotationKeyShaped>(1, 1, kX),
                                        Key<SgRotationKeyShaped>(2, 2, kZ));
    keys[0]->PrepareSequence(keys.Data(), 3);
    auto* middle = static_cast<SgRotationKeyShaped*>(keys[1]);
    SgQuat expected = SgQuat::SquadControl(keys[0]->quaternion, keys[1]->quaternion, keys[2]->quaternion);
    ExpectQuat(middle->outgoingControl, expected, 1e-5f);
    ExpectQuat(middle->incomingControl, expected, 1e-5f);
}

TEST(RotationKeys, ShapedControlsWithContinuityAndBiasBetweenUnequalIntervals) {
    // Angles 0, 1, 3 about z at times 0, 1, 4; the middle key with continuity 0.5, bias -0.5.
    // Along one axis the logs are half the angle differences (0.5 and 1), r1 = 1/4, r2 = 3/4:
    // w1 = w2 = w3 = 0.1875, w4 = 1.6875. Outgoing: 1 + (0.1875 x 1 - 0.8125 x 2) / 2 = 0.28125;
    // incoming: 1 - (1.6875 x 2 - 0.8125 x 1) / 2 = -0.28125 (as angles about z).
    auto* middle = Key<SgRotationKeyShaped>(1, 1, kZ);
    middle->continuity = 0.5f;
    middle->bias = -0.5f;
    auto keys = MakeKeys<SgRotationKey>(Key<SgRotationKeyShaped>(0, 0, kZ), middle, Key<SgRotationKeyShaped>(4, 3, kZ));
    keys[0]->PrepareSequence(keys.Data(), 3);
    EXPECT_NEAR(middle->outgoingAngleControl, 0.28125f, 1e-6f);
    EXPECT_NEAR(middle->incomingAngleControl, -0.28125f, 1e-6f);
    ExpectRotation(middle->outgoingControl, SgQuat::FromAngleAxis(0.28125f, kZ));
    ExpectRotation(middle->incomingControl, SgQuat::FromAngleAxis(-0.28125f, kZ));
}

TEST(RotationKeys, EqualNeighbourTimesStayFinite) {
    auto keys = MakeKeys<SgRotationKey>(Key<SgRotationKeyShaped>(1, 0, kZ), Key<SgRotationKeyShaped>(1, 1, kX));
    keys[0]->PrepareSequence(keys.Data(), 2);
    for (uint32_t i = 0; i < 2; ++i) {
        auto* k = static_cast<SgRotationKeyShaped*>(keys[i]);
        EXPECT_TRUE(std::isfinite(k->outgoingControl.w) && std::isfinite(k->incomingControl.w));
        EXPECT_TRUE(std::isfinite(k->outgoingAngleControl) && std::isfinite(k->incomingAngleControl));
    }
}

// An axes key: x from 0 to 2 over [0, 2] (linear), y empty, z shaped from 1 to 3 over [1, 3].
SgRotationKeyAxes* AxesKey() {
    auto* k = new SgRotationKeyAxes;
    auto x = MakeKeys<SgFloatKey>(new SgFloatKeyLinear(0, 0), new SgFloatKeyLinear(1, 0.5f), new SgFloatKeyLinear(2, 2));
    auto z = MakeKeys<SgFloatKey>(new SgFloatKeyShaped(1, 1, 0, 0, 0), new SgFloatKeyShaped(3, 3, 0, 0, 0));
    k->SetTrack(0, x.Data(), x.Count());
    k->SetTrack(2, z.Data(), z.Count());
    k->PrepareTracks();
    return k;
}

TEST(RotationKeys, AxisTracks) {
    std::unique_ptr<SgRotationKeyAxes> k(AxesKey());
    float angles[3];
    k->Evaluate(-1, angles);
    EXPECT_EQ(angles[0], 0.0f);
    EXPECT_EQ(angles[1], 0.0f) << "an empty track is 0";
    EXPECT_EQ(angles[2], 1.0f);
    k->Evaluate(1.5f, angles);
    EXPECT_FLOAT_EQ(angles[0], 1.25f);
    EXPECT_EQ(angles[1], 0.0f);
    EXPECT_FLOAT_EQ(angles[2], 1.5f) << "two shaped keys of zero shape: a straight line";
    EXPECT_EQ(k->cursors[0], 1);
    k->Evaluate(1.0f, angles);
    EXPECT_EQ(angles[0], 0.5f) << "a key's own time gives its value";
    k->Evaluate(0.5f, angles);
    EXPECT_FLOAT_EQ(angles[0], 0.25f) << "backwards";
    EXPECT_EQ(k->cursors[0], 0);
    k->Evaluate(9, angles);
    EXPECT_EQ(angles[0], 2.0f);
    EXPECT_EQ(angles[2], 3.0f);

    // The pairwise operations do not apply to this type.
    SgRotationKey out(5, 5, kX);
    out.spinCount = 2;
    k->Interpolate(&out, 0.5f, k.get());
    EXPECT_EQ(out.time, 0.0f);
    EXPECT_EQ(out.angle, 0.0f);
    EXPECT_EQ(out.quaternion, SgQuat(0, 0, 0, 0));
    EXPECT_EQ(out.spinCount, 0);
}

TEST(RotationKeys, AxisKeyCloneAndEquality) {
    std::unique_ptr<SgRotationKeyAxes> k(AxesKey());
    k->time = 3;
    k->angle = 1;
    k->axisOrder = 4;
    k->cursors[0] = 1;
    std::unique_ptr<SgRotationKey> copy(k->Clone());
    auto* c = static_cast<SgRotationKeyAxes*>(copy.get());
    EXPECT_EQ(c->time, 0.0f) << "a clone's base fields are zero";
    EXPECT_EQ(c->angle, 0.0f);
    EXPECT_EQ(c->cursors[0], 0);
    EXPECT_EQ(c->axisOrder, 4);
    ASSERT_EQ(c->TrackCount(0), 3);
    EXPECT_EQ(c->TrackCount(1), 0);
    EXPECT_NE(c->tracks[0][0], k->tracks[0][0]) << "the tracks are copied";
    c->time = 3;
    c->angle = 1;
    EXPECT_TRUE(c->IsEqualTo(k.get()));
    c->tracks[2][1]->value = 7;
    EXPECT_FALSE(c->IsEqualTo(k.get()));
    c->tracks[2][1]->value = 3;
    c->axisOrder = 0;
    EXPECT_FALSE(c->IsEqualTo(k.get()));
}

TEST(RotationKeys, AxisKeysCompareEachTrackToItsOwnCount) {
    std::unique_ptr<SgRotationKeyAxes> a(AxesKey()), b(AxesKey());
    // y gets one key, x keeps three: y is compared up to one key only.
    SgFloatKeyLinear y(0, 1);
    const SgFloatKey* ys[] = {&y};
    a->SetTrack(1, ys, 1);
    b->SetTrack(1, ys, 1);
    EXPECT_TRUE(a->IsEqualTo(b.get()));
    b->tracks[1][0]->value = 2;
    EXPECT_FALSE(a->IsEqualTo(b.get()));
    b->SetTrack(1, nullptr, 0);
    EXPECT_FALSE(a->IsEqualTo(b.get())) << "different counts";
}

}  // namespace
