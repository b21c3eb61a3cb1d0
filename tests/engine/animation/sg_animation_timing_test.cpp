// The timing base: mapping clock time into the key-time range, the clock modes, the live list,
// and the 32-byte record.

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/animation/sg_animation_timing.h"
#include "engine/core/sg_stream.h"
#include "tests/engine/animation/field_stream.h"

namespace {

struct Probe : SgAnimationTiming {
    void Update(float t) override { updates.push_back(t); }
    std::vector<float> updates;
};

struct MapCase {
    const char* name;
    uint32_t cycle;
    float frequency, phase, low, high, t, expected;
};

const MapCase kMapCases[] = {
    {"loop past the end wraps", 0, 1, 0, 0, 10, 25, 5},
    {"loop at the end is the start", 0, 1, 0, 0, 10, 10, 0},
    {"loop of a negative time clamps to low", 0, 1, 0, 0, 10, -3, 0},
    {"loop takes the remainder of s itself", 0, 1, 0, 2, 6, 5, 3},
    {"reverse, odd cycle reflects", 1, 1, 0, 0, 10, 15, 5},
    {"reverse, even cycle does not", 1, 1, 0, 0, 10, 25, 5},
    {"reverse, first reflection", 1, 1, 0, 0, 10, 12, 8},
    {"reverse with a raised low key, odd cycle", 1, 1, 0, 2, 6, 5, 5},
    {"reverse with a raised low key, reflected", 1, 1, 0, 2, 6, 7, 3},
    {"reverse of a negative odd cycle clamps", 1, 1, 0, 0, 1, -1.5f, 1},
    {"loop with low equal to high", 0, 1, 0, 3, 3, 7, 3},
    {"reverse with low equal to high", 1, 1, 0, 3, 3, 7, 3},
    {"clamp below", 2, 1, 0, 2, 6, 1, 2},
    {"clamp above", 2, 1, 0, 2, 6, 9, 6},
    {"clamp inside", 2, 1, 0, 2, 6, 4.5f, 4.5f},
    {"frequency and phase", 2, 2, 1, 0, 10, 2, 5},
    {"unknown cycle types clamp", 7, 1, 0, 2, 6, 9, 6},
    {"default range, loop", 0, 1, 0, FLT_MAX, -FLT_MAX, 5, -FLT_MAX},
    {"default range, reverse", 1, 1, 0, FLT_MAX, -FLT_MAX, -5, -FLT_MAX},
    {"default range, clamp", 2, 1, 0, FLT_MAX, -FLT_MAX, 0, -FLT_MAX},
    {"huge reverse cycle counts keep their parity", 1, 1, 0, 0, 1, 3e12f, 0},
};

TEST(AnimationTiming, MapTimeTable) {
    for (const MapCase& c : kMapCases) {
        Probe p;
        p.cycleType = c.cycle;
        p.frequency = c.frequency;
        p.phase = c.phase;
        p.lowKeyTime = c.low;
        p.highKeyTime = c.high;
        EXPECT_EQ(p.MapTime(c.t), c.expected) << c.name;
    }
}

TEST(AnimationTiming, Defaults) {
    Probe p;
    EXPECT_EQ(p.timeMode, 0u);
    EXPECT_EQ(p.reservedFlag, 1);
    EXPECT_EQ(p.startedFlag, 1);
    EXPECT_EQ(p.rephaseFlag, 0);
    EXPECT_EQ(p.worldUpdateFlag, 1);
    EXPECT_EQ(p.cycleType, 2u);
    EXPECT_EQ(p.reservedValue, 0.0f);
    EXPECT_EQ(p.frequency, 1.0f);
    EXPECT_EQ(p.phase, 0.0f);
    EXPECT_EQ(p.lowKeyTime, FLT_MAX);
    EXPECT_EQ(p.highKeyTime, -FLT_MAX);
    p.WidenKeyRange(2, 5);
    p.WidenKeyRange(3, 4);
    EXPECT_EQ(p.lowKeyTime, 2.0f);
    EXPECT_EQ(p.highKeyTime, 5.0f);
}

TEST(AnimationTiming, ModeNoneIgnoresEveryClock) {
    Probe p;
    p.rephaseFlag = 0;
    p.UpdateAppTime(1.0f);
    p.StartRealTime();
    p.StopRealTime();
    EXPECT_TRUE(p.updates.empty());
    EXPECT_EQ(p.startedFlag, 1);
    EXPECT_EQ(p.rephaseFlag, 0);
}

TEST(AnimationTiming, ApplicationTime) {
    Probe p;
    p.timeMode = SgAnimationTiming::kTimeApplication;
    p.StartRealTime();
    p.StopRealTime();
    EXPECT_TRUE(p.updates.empty()) << "the real-time calls do nothing in application time";
    EXPECT_EQ(p.startedFlag, 1);
    p.UpdateAppTime(2.5f);
    EXPECT_EQ(p.updates, std::vector<float>{2.5f});
    EXPECT_EQ(p.startedFlag, 0);
}

uint64_t g_counter = 0;
uint64_t Counter() { return g_counter; }
uint64_t Nanos() { return 1000000000ull; }
uint64_t NoFrequency() { return 0; }

class RealTime : public testing::Test {
protected:
    void SetUp() override { SgSetRealTimeSource(Counter, Nanos); }
    void TearDown() override { SgSetRealTimeSource(nullptr, nullptr); }
};

TEST_F(RealTime, UsesTheWholeCount) {
    // Past 2^32 nanoseconds: the low 32 bits alone would read about a microsecond.
    g_counter = (uint64_t(1) << 32) + 1000;
    EXPECT_DOUBLE_EQ(SgRealTimeSeconds(), 4.294968296);
    g_counter = 86400ull * 1000000000ull * 30;  // a month of uptime
    EXPECT_DOUBLE_EQ(SgRealTimeSeconds(), 86400.0 * 30);
}

TEST_F(RealTime, StartRephasesToTheLowKeyTime) {
    Probe p;
    p.timeMode = SgAnimationTiming::kTimeReal;
    p.lowKeyTime = 1;
    p.highKeyTime = 9;
    p.frequency = 2;
    p.startedFlag = 0;
    g_counter = 7500000000ull;
    p.StartRealTime();
    ASSERT_EQ(p.updates.size(), 1u);
    EXPECT_EQ(p.updates[0], 7.5f);
    EXPECT_EQ(p.startedFlag, 1);
    EXPECT_EQ(p.rephaseFlag, 1);
    EXPECT_EQ(p.MapTime(p.updates[0]), 1.0f) << "the first mapping after a start is the low key time";
    EXPECT_EQ(p.rephaseFlag, 0);
    EXPECT_EQ(p.phase, 1.0f - 2.0f * 7.5f);
    EXPECT_EQ(p.MapTime(8.5f), 3.0f) << "later times run on from there";

    // Every start re-phases again.
    p.StartRealTime();
    EXPECT_EQ(p.MapTime(100.0f), 1.0f);
    p.StopRealTime();
    EXPECT_EQ(p.startedFlag, 0);

    // Application time does not re-phase.
    p.timeMode = SgAnimationTiming::kTimeApplication;
    p.rephaseFlag = 1;
    p.phase = 0;
    EXPECT_EQ(p.MapTime(4.0f), 8.0f);
    EXPECT_EQ(p.rephaseFlag, 1);
}

TEST_F(RealTime, ZeroFrequencyReadsZero) {
    SgSetRealTimeSource(Counter, NoFrequency);
    g_counter = 5;
    EXPECT_EQ(SgRealTimeSeconds(), 0.0);
}

TEST(AnimationTiming, DefaultRealTimeSourceAdvances) {
    double a = SgRealTimeSeconds();
    double b = SgRealTimeSeconds();
    EXPECT_GT(a, 0.0);
    EXPECT_GE(b, a);
}

TEST(AnimationTiming, LiveList) {
    uint32_t before = SgAnimationTiming::LiveCount();
    std::vector<const SgAnimationTiming*> seen;
    {
        Probe a, b, c;
        EXPECT_EQ(SgAnimationTiming::LiveCount(), before + 3);
        {
            Probe d;
            EXPECT_EQ(SgAnimationTiming::LiveCount(), before + 4);
        }
        SgAnimationTiming::ForEachLive([&](SgAnimationTiming* t) { seen.push_back(t); });
        ASSERT_EQ(seen.size(), before + 3);
        EXPECT_EQ(seen[before], &a);
        EXPECT_EQ(seen[before + 1], &b);
        EXPECT_EQ(seen[before + 2], &c);
    }
    EXPECT_EQ(SgAnimationTiming::LiveCount(), before);
}

void Fill(SgAnimationTiming& t) {
    t.timeMode = 1;
    t.reservedFlag = 2;
    t.startedFlag = 3;
    t.rephaseFlag = 4;
    t.worldUpdateFlag = 5;
    t.cycleType = 6;
    t.reservedValue = 7.5f;
    t.frequency = 8.5f;
    t.phase = 9.5f;
    t.lowKeyTime = 10.5f;
    t.highKeyTime = 11.5f;
}

TEST(AnimationTiming, RecordLayout) {
    Probe p;
    Fill(p);
    std::vector<uint8_t> bytes = WriteFields([&](SgSceneStream& s) { p.SaveToStream(s); });
    ASSERT_EQ(bytes.size(), SgAnimationTiming::kStreamBytes);
    const uint8_t head[12] = {1, 0, 0, 0, 2, 3, 4, 5, 6, 0, 0, 0};
    EXPECT_EQ(std::memcmp(bytes.data(), head, sizeof head), 0);
    float floats[5];
    std::memcpy(floats, bytes.data() + 12, sizeof floats);
    EXPECT_EQ(floats[0], 7.5f);
    EXPECT_EQ(floats[1], 8.5f);
    EXPECT_EQ(floats[2], 9.5f);
    EXPECT_EQ(floats[3], 10.5f);
    EXPECT_EQ(floats[4], 11.5f);

    Probe loaded;
    ASSERT_TRUE(ReadFields(bytes, [&](SgSceneStream& s) { return loaded.LoadFromStream(s); }));
    EXPECT_TRUE(loaded.IsEqualTo(p));
    bytes.pop_back();
    Probe cut;
    EXPECT_FALSE(ReadFields(bytes, [&](SgSceneStream& s) { return cut.LoadFromStream(s); }));
}

TEST(AnimationTiming, CopyAndCompare) {
    Probe a, b;
    Fill(a);
    EXPECT_FALSE(a.IsEqualTo(b));
    a.CopyInto(b);
    EXPECT_TRUE(a.IsEqualTo(b));
    EXPECT_TRUE(b.IsEqualTo(a));

    // Each field on its own makes a difference.
    void (*changes[])(SgAnimationTiming&) = {
        [](SgAnimationTiming& t) { t.timeMode = 2; },     [](SgAnimationTiming& t) { t.reservedFlag = 0; },
        [](SgAnimationTiming& t) { t.startedFlag = 0; },  [](SgAnimationTiming& t) { t.rephaseFlag = 0; },
        [](SgAnimationTiming& t) { t.worldUpdateFlag = 0; }, [](SgAnimationTiming& t) { t.cycleType = 0; },
        [](SgAnimationTiming& t) { t.reservedValue = 0; }, [](SgAnimationTiming& t) { t.frequency = 0; },
        [](SgAnimationTiming& t) { t.phase = 0; },        [](SgAnimationTiming& t) { t.lowKeyTime = 0; },
        [](SgAnimationTiming& t) { t.highKeyTime = 0; },
    };
    for (auto change : changes) {
        Probe c;
        a.CopyInto(c);
        change(c);
        EXPECT_FALSE(a.IsEqualTo(c));
    }
    // Floats are equal unless one is less than the other.
    Probe n;
    a.CopyInto(n);
    n.phase = NAN;
    EXPECT_TRUE(a.IsEqualTo(n));
}

}  // namespace
