// Path controllers: the segment finders by key time and by arc length, the ends, the orientation
// steps (plain and smoothed frames, the closed seam, flip and axis modes, banking), and the
// guards on short paths and segments of no length.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/animation/sg_3ds_path_controller.h"

namespace {

void ExpectVec(const SgVec3& got, const SgVec3& want, float tolerance, const std::string& what) {
    EXPECT_NEAR(got.x, want.x, tolerance) << what;
    EXPECT_NEAR(got.y, want.y, tolerance) << what;
    EXPECT_NEAR(got.z, want.z, tolerance) << what;
}

SgVec3 Column(const SgMat3& m, int c) { return {m.m[c], m.m[3 + c], m.m[6 + c]}; }

// Owned keys handed to the setters as plain arrays.
template <class K>
struct Keys {
    std::vector<K*> keys;
    ~Keys() {
        for (K* k : keys)
            delete k;
    }
    Keys& Add(K* k) {
        keys.push_back(k);
        return *this;
    }
    const K* const* Data() const { return keys.data(); }
    uint32_t Count() const { return static_cast<uint32_t>(keys.size()); }
};

// Percent from 0 at time 0 to 1 at time 10, linearly.
void SetPercentRamp(Sg3dsPathController* c) {
    Keys<SgFloatKey> percent;
    percent.Add(new SgFloatKeyLinear(0, 0)).Add(new SgFloatKeyLinear(10, 1));
    c->SetPercentKeys(percent.Data(), percent.Count());
}

SgRef<Sg3dsPathController> Controller() {
    SgRef<Sg3dsPathController> c(new Sg3dsPathController);
    c->timeMode = SgAnimationTiming::kTimeApplication;
    c->worldUpdateFlag = 0;
    return c;
}

// A closed square loop of shaped keys at times 0, 0.25, 0.5, 0.75, 1.
void SetLoop(Sg3dsPathController* c, bool closed = true) {
    Keys<SgPositionKey> path;
    const SgVec3 corners[5] = {{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}, {0, closed ? 0.0f : 1.0f, 0}};
    for (int i = 0; i < 5; ++i) {
        auto* k = new SgPositionKeyShaped(0.25f * i, corners[i]);
        k->tension = 0.2f;
        path.Add(k);
    }
    c->SetPathKeys(path.Data(), path.Count());
}

TEST(PathController, ConstantSpeedOnTwoLinearKeysMapsPercentToDistance) {
    SgRef<Sg3dsPathController> c = Controller();
    c->constantSpeed = 1;
    Keys<SgPositionKey> path;
    path.Add(new SgPositionKeyLinear(0, {0, 0, 0})).Add(new SgPositionKeyLinear(1, {10, 0, 0}));
    c->SetPathKeys(path.Data(), path.Count());
    SetPercentRamp(c.Get());
    EXPECT_FALSE(c->ArcTableStale());
    EXPECT_NEAR(c->TotalLength(), 10.0f, 1e-5f);
    for (float t : {0.0f, 2.5f, 7.0f, 10.0f}) {
        c->UpdateAppTime(t);
        ExpectVec(c->localTranslation, {t, 0, 0}, 1e-4f, "t " + std::to_string(t));
    }
    EXPECT_EQ(c->localRotation, SgIdentityMat3) << "not following the path";
}

TEST(PathController, EndsInBothModes) {
    for (uint8_t constant : {0, 1}) {
        SgRef<Sg3dsPathController> c = Controller();
        c->constantSpeed = constant;
        SetLoop(c.Get(), false);
        // Time mode: beyond the key times; constant speed: beyond 0 and 1.
        struct EndCase {
            float p;
            uint32_t i, j;
            float s;
        };
        const EndCase ends[] = {{-0.5f, 0, 1, 0.0f}, {0.0f, 0, 1, 0.0f}, {1.0f, 3, 4, 1.0f}, {3.0f, 3, 4, 1.0f}};
        for (const EndCase& e : ends) {
            Sg3dsPathController::Segment seg = c->FindSegment(e.p);
            EXPECT_EQ(seg.i, e.i) << "p " << e.p << " constant " << int(constant);
            EXPECT_EQ(seg.j, e.j);
            EXPECT_EQ(seg.s, e.s);
        }
        SetPercentRamp(c.Get());
        c->UpdateAppTime(-3);
        ExpectVec(c->localTranslation, {0, 0, 0}, 1e-6f, "first key");
        c->UpdateAppTime(20);
        ExpectVec(c->localTranslation, {0, 1, 0}, 1e-5f, "last key");
    }
}

TEST(PathController, TimeModeFindsTheIntervalOfThePercent) {
    SgRef<Sg3dsPathController> c = Controller();
    SetLoop(c.Get());
    struct TimeCase {
        float p;
        uint32_t i;
        float s;
    };
    const TimeCase cases[] = {{0.25f, 1, 0.0f}, {0.3f, 1, 0.2f}, {0.9f, 3, 0.6f}, {0.1f, 0, 0.4f}};
    for (const TimeCase& tc : cases) {
        Sg3dsPathController::Segment seg = c->FindSegment(tc.p);
        EXPECT_EQ(seg.i, tc.i) << tc.p;
        EXPECT_EQ(seg.j, tc.i + 1) << tc.p;
        EXPECT_NEAR(seg.s, tc.s, 1e-5f) << tc.p;
    }
    EXPECT_EQ(c->pathKeyIndex, 0) << "the cache followed the last search";
}

TEST(PathController, ArcLengthToTheFoundPointOnAShapedCurve) {
    SgRef<Sg3dsPathController> c = Controller();
    c->constantSpeed = 1;
    SetLoop(c.Get());
    // The table against a fine polyline of the curve.
    float polyline = 0;
    for (uint32_t k = 0; k + 1 < c->PathKeys().Count(); ++k) {
        SgPositionKey a;
        SgVec3 last = c->PathKeys()[k]->position;
        for (int n = 1; n <= 2000; ++n) {
            SgVec3 p = c->PathKeys()[k]->Interpolate(&a, n / 2000.0f, c->PathKeys()[k + 1])->position;
            polyline += (p - last).Length();
            last = p;
        }
    }
    EXPECT_NEAR(c->TotalLength(), polyline, 1e-3f * polyline);
    for (float p : {0.05f, 0.3f, 0.5f, 0.61f, 0.97f}) {
        Sg3dsPathController::Segment seg = c->FindSegmentByLength(p);
        float reached = c->ArcLengths()[seg.i] + c->SegmentLength(seg.i, seg.s);
        EXPECT_NEAR(reached, p * c->TotalLength(), 1e-4f) << p;
        EXPECT_GE(seg.s, 0.0f);
        EXPECT_LE(seg.s, 1.0f);
    }
}

TEST(PathController, TheArcTableIsBuiltAtFirstUseWhenConstantSpeedComesLater) {
    SgRef<Sg3dsPathController> c = Controller();
    SetLoop(c.Get());
    EXPECT_TRUE(c->ArcTableStale());
    c->constantSpeed = 1;
    Sg3dsPathController::Segment seg = c->FindSegment(0.5f);
    EXPECT_FALSE(c->ArcTableStale());
    EXPECT_GT(c->TotalLength(), 10.0f);
    SgPositionKey out;
    SgVec3 half = c->PathKeys()[seg.i]->Interpolate(&out, seg.s, c->PathKeys()[seg.j])->position;
    ExpectVec(half, {4, 4, 0}, 1e-3f, "halfway round the symmetric loop");
}

TEST(PathController, SegmentsOfNoLengthAndShortPathsStayPut) {
    SgRef<Sg3dsPathController> c = Controller();
    c->constantSpeed = 1;
    Keys<SgPositionKey> path;
    path.Add(new SgPositionKeyLinear(0, {0, 0, 0}))
        .Add(new SgPositionKeyLinear(0.5f, {0, 0, 0}))
        .Add(new SgPositionKeyLinear(1, {6, 0, 0}));
    c->SetPathKeys(path.Data(), path.Count());
    Sg3dsPathController::Segment seg = c->FindSegmentByLength(0.5f);
    EXPECT_EQ(seg.i, 1u) << "the segment of no length is passed over";
    EXPECT_NEAR(seg.s, 0.5f, 1e-4f);
    EXPECT_FALSE(std::isnan(seg.s));

    // Every segment of no length: s is 0 and nothing divides by zero.
    SgRef<Sg3dsPathController> still = Controller();
    still->constantSpeed = 1;
    Keys<SgPositionKey> point;
    point.Add(new SgPositionKeyLinear(0, {1, 1, 1})).Add(new SgPositionKeyLinear(1, {1, 1, 1}));
    still->SetPathKeys(point.Data(), point.Count());
    seg = still->FindSegmentByLength(0.5f);
    EXPECT_EQ(seg.s, 0.0f);

    // One path key: the node does not move.
    SgRef<Sg3dsPathController> single = Controller();
    Keys<SgPositionKey> one;
    one.Add(new SgPositionKeyLinear(0, {3, 3, 3}));
    single->SetPathKeys(one.Data(), one.Count());
    SetPercentRamp(single.Get());
    single->localTranslation = {7, 7, 7};
    single->UpdateAppTime(5);
    EXPECT_EQ(single->localTranslation, SgVec3(7, 7, 7));
    EXPECT_EQ(single->Orientation(0, 1, 0.5f), SgIdentityMat3);
}

TEST(PathController, APercentInNoIntervalTakesTheLastKeyAtOrBefore) {
    SgRef<Sg3dsPathController> c = Controller();
    Keys<SgPositionKey> path;
    path.Add(new SgPositionKeyLinear(0, {0, 0, 0}))
        .Add(new SgPositionKeyLinear(std::nanf(""), {1, 0, 0}))
        .Add(new SgPositionKeyLinear(1, {3, 0, 0}));
    c->SetPathKeys(path.Data(), path.Count());
    Sg3dsPathController::Segment seg = c->FindSegment(0.6f);
    EXPECT_EQ(seg.i, 0u);
    EXPECT_EQ(seg.s, 0.0f);
}

TEST(PathController, PlainAndSmoothedFrames) {
    SgRef<Sg3dsPathController> c = Controller();
    SetLoop(c.Get());
    SgVec3 t, n, b;
    float k = 0;
    c->PathKeys()[1]->PathFrame(0.4f, c->PathKeys()[2], t, n, b, k);

    // Not smoothed: tangent, the horizontal side, their cross product.
    SgMat3 plain = c->Orientation(1, 2, 0.4f);
    SgVec3 side{-t.y, t.x, 0};
    side.Normalize();
    ExpectVec(Column(plain, 0), t, 1e-6f, "tangent");
    ExpectVec(Column(plain, 1), side, 1e-6f, "side");
    ExpectVec(Column(plain, 2), t.Cross(side), 1e-6f, "up");

    // Smoothed with a window of 0: the moving frame everywhere.
    c->smoothFrame = 1;
    SgMat3 moving = c->Orientation(1, 2, 0.4f);
    ExpectVec(Column(moving, 0), t, 1e-6f, "tangent");
    ExpectVec(Column(moving, 1), -n, 1e-6f, "minus the normal");
    ExpectVec(Column(moving, 2), -b, 1e-6f, "minus the binormal");

    // Flip turns the frame half round about its third axis; the axis mode then puts the tangent
    // on local x, y or z. Every column of every combination (axisMode 1 with flip: the local y
    // axis points backwards along the path).
    struct AxesCase {
        uint8_t flip;
        uint16_t axisMode;
        SgVec3 x, y, z;
    };
    const AxesCase cases[] = {
        {0, 0, t, -n, -b}, {0, 1, n, t, -b},   {0, 2, b, -n, t},
        {1, 0, -t, n, -b}, {1, 1, -n, -t, -b}, {1, 2, b, n, -t},
    };
    for (const AxesCase& a : cases) {
        c->flip = a.flip;
        c->axisMode = a.axisMode;
        const SgMat3 m = c->Orientation(1, 2, 0.4f);
        const std::string what = "flip " + std::to_string(a.flip) + ", axis mode " + std::to_string(a.axisMode);
        ExpectVec(Column(m, 0), a.x, 1e-6f, what + ", x");
        ExpectVec(Column(m, 1), a.y, 1e-6f, what + ", y");
        ExpectVec(Column(m, 2), a.z, 1e-6f, what + ", z");
    }
}

// Keys that are not numbers, or so large that interpolating them overflows, give no place on the
// path, nor does a percent that is not a number: the node stays where it was, turned as it was.
TEST(PathController, KeysThatAreNotNumbersLeaveTheNodeWhereItWas) {
    const float nan = std::nanf(""), inf = INFINITY, huge = 3e38f;
    struct BadCase {
        const char* name;
        SgVec3 second;  // the second of three path keys
        float percent;  // at time 10
    };
    const BadCase cases[] = {
        {"NaN position", {nan, 0, 0}, 1},
        {"infinite position", {0, inf, 0}, 1},
        {"overflowing positions", {huge, -huge, huge}, 1},
        {"NaN percent", {2, 1, 0}, nan},
    };
    for (const BadCase& c : cases) {
        for (uint8_t constantSpeed : {0, 1}) {
            SgRef<Sg3dsPathController> p = Controller();
            p->followPath = 1;
            p->constantSpeed = constantSpeed;
            Keys<SgPositionKey> path;
            path.Add(new SgPositionKeyShaped(0, {0, 0, 0}))
                .Add(new SgPositionKeyShaped(0.5f, c.second))
                .Add(new SgPositionKeyShaped(1, {-huge, huge, 0}));
            p->SetPathKeys(path.Data(), path.Count());
            Keys<SgFloatKey> percent;
            percent.Add(new SgFloatKeyLinear(0, 0.5f)).Add(new SgFloatKeyLinear(10, c.percent));
            p->SetPercentKeys(percent.Data(), percent.Count());
            p->localTranslation = {1, 2, 3};
            p->localRotation = SgMat3::Rotation(5, 0.5);
            const SgMat3 before = p->localRotation;
            p->UpdateAppTime(6);
            const std::string what = std::string(c.name) + (constantSpeed ? ", constant speed" : "");
            EXPECT_EQ(p->localTranslation, SgVec3(1, 2, 3)) << what;
            EXPECT_EQ(p->localRotation, before) << what;
        }
    }
    // Sound keys still move it.
    SgRef<Sg3dsPathController> p = Controller();
    Keys<SgPositionKey> path;
    path.Add(new SgPositionKeyLinear(0, {0, 0, 0})).Add(new SgPositionKeyLinear(1, {4, 0, 0}));
    p->SetPathKeys(path.Data(), path.Count());
    SetPercentRamp(p.Get());
    p->UpdateAppTime(5);
    ExpectVec(p->localTranslation, {2, 0, 0}, 1e-6f, "halfway");
}

TEST(PathController, TheClosedSeamIsSmoothedAndTheOpenEndIsNot) {
    SgRef<Sg3dsPathController> c = Controller();
    SetLoop(c.Get());
    ASSERT_EQ(c->openPath, 0) << "first and last key at one place";
    c->smoothFrame = 1;
    c->smoothWindow = 0.2f;
    SgVec3 t, n, b, t1, n1, b1, t2, n2, b2;
    float k = 0, k1 = 0, k2 = 0;
    const auto& keys = c->PathKeys();
    keys[3]->PathFrame(0.9f, keys[4], t, n, b, k);
    keys[3]->PathFrame(0.8f, keys[4], t1, n1, b1, k1);
    keys[0]->PathFrame(0.2f, keys[1], t2, n2, b2, k2);
    float a = (0.2f + 1 - 0.9f) / 0.4f;
    SgVec3 blended = n1 * a + n2 * (1 - a);
    blended.Normalize();
    ExpectVec(Column(c->Orientation(3, 4, 0.9f), 1), -blended, 1e-5f, "closed: blended across the seam");
    // At a key both frames weigh one half.
    SgMat3 atKeyEnd = c->Orientation(0, 1, 1.0f);
    SgMat3 atKeyStart = c->Orientation(1, 2, 0.0f);
    ExpectVec(Column(atKeyEnd, 1), Column(atKeyStart, 1), 1e-5f, "continuous through a key");

    c->openPath = 1;
    ExpectVec(Column(c->Orientation(3, 4, 0.9f), 1), -n, 1e-6f, "open: the plain moving frame at the end");
    keys[0]->PathFrame(0.1f, keys[1], t, n, b, k);
    ExpectVec(Column(c->Orientation(0, 1, 0.1f), 1), -n, 1e-6f, "open: the plain moving frame at the start");
}

TEST(PathController, BanksByCurvature) {
    SgRef<Sg3dsPathController> c = Controller();
    SetLoop(c.Get());
    c->bankAngle = 0.3f;
    c->bankScale = 2;
    ASSERT_GT(c->MaxCurvature(), 0.0f);
    // The sample where the curvature is largest: the full bank there.
    uint32_t bestSegment = 0;
    float bestS = 0, bestK = -1;
    for (uint32_t seg = 0; seg + 1 < c->PathKeys().Count(); ++seg)
        for (int j = 0; j <= 20; ++j) {
            float s = static_cast<float>(j) * (1.0f / 20);
            SgVec3 t, n, b;
            float k = 0;
            c->PathKeys()[seg]->PathFrame(s, c->PathKeys()[seg + 1], t, n, b, k);
            if (k > bestK) {
                bestK = k;
                bestSegment = seg;
                bestS = s;
            }
        }
    ASSERT_EQ(bestK, c->MaxCurvature());
    auto bankAt = [&](uint32_t seg, float s) {
        c->bank = 0;
        SgMat3 flat = c->Orientation(seg, seg + 1, s);
        c->bank = 1;
        SgMat3 banked = c->Orientation(seg, seg + 1, s);
        float angle = 0, x = 0, y = 0, z = 0;
        (banked * flat.Transpose()).ToAngleAxis(angle, x, y, z);
        return angle;
    };
    EXPECT_NEAR(bankAt(bestSegment, bestS), 0.6f, 1e-4f) << "bankScale x bankAngle";
    // Below the largest curvature the bank grows as the arc tangent of the ratio, reaching the
    // full angle at the sharpest bend.
    SgVec3 t, n, b;
    float k = 0;
    c->PathKeys()[0]->PathFrame(0.5f, c->PathKeys()[1], t, n, b, k);
    ASSERT_LT(k, c->MaxCurvature());
    EXPECT_NEAR(bankAt(0, 0.5f), 0.6f * (4 / SgPi) * std::atan(k / c->MaxCurvature()), 1e-4f);

    // A straight path has no curvature to bank into, linear keys no largest curvature at all.
    SgRef<Sg3dsPathController> straight = Controller();
    Keys<SgPositionKey> line;
    line.Add(new SgPositionKeyLinear(0, {0, 0, 0})).Add(new SgPositionKeyLinear(1, {5, 1, 0}));
    straight->SetPathKeys(line.Data(), line.Count());
    straight->bankAngle = 0.3f;
    straight->bank = 1;
    SgMat3 banked = straight->Orientation(0, 1, 0.5f);
    straight->bank = 0;
    EXPECT_EQ(banked, straight->Orientation(0, 1, 0.5f));
}

TEST(PathController, FollowsThePathAndCopies) {
    SgRef<Sg3dsPathController> c = Controller();
    c->constantSpeed = 1;
    c->followPath = 1;
    c->smoothFrame = 1;
    c->smoothWindow = 0.1f;
    c->bank = 1;
    c->bankAngle = 0.2f;
    SetLoop(c.Get());
    SetPercentRamp(c.Get());
    EXPECT_EQ(c->lowKeyTime, 0.0f);
    EXPECT_EQ(c->highKeyTime, 10.0f);
    c->UpdateAppTime(3);
    SgMat3 turned = c->localRotation;
    EXPECT_NE(turned, SgIdentityMat3);

    SgRef<SgAVObject> copy = c->Duplicate();
    auto* d = SgExactCast<Sg3dsPathController>(copy.Get());
    ASSERT_TRUE(d);
    EXPECT_TRUE(d->IsEqualTo(c.Get()));
    d->UpdateAppTime(3);
    EXPECT_EQ(d->localRotation, turned);
    EXPECT_EQ(d->localTranslation, c->localTranslation);
}

}  // namespace
