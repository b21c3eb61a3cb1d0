#include "client/core/trig_tables.h"

#include <gtest/gtest.h>

namespace {

TEST(TrigTables, EntriesAreRoundedSixteenSixteenValues) {
    struct Case {
        int k;
        int32_t sine;
        int32_t cosine;
    };
    // 65536 sin(2 pi / 4096) = 100.53; 65536 sin(pi / 4) = 46340.95.
    const Case cases[] = {
        {0, 0, 65536},       {1, 101, 65536},     {512, 46341, 46341},  {1024, 65536, 0},
        {1536, 46341, -46341}, {2047, 101, -65536}, {2048, 0, -65536},    {3072, -65536, 0},
        {4095, -101, 65536},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.k);
        EXPECT_EQ(SineTable[c.k], c.sine);
        EXPECT_EQ(CosineTable[c.k], c.cosine);
    }
}

TEST(TrigTables, CosineIsSineAQuarterTurnOnAndBothAreOdd) {
    for (int k = 0; k < kAngleUnits; ++k) {
        ASSERT_EQ(CosineTable[k], SineTable[(k + 1024) & kAngleMask]) << k;
        ASSERT_EQ(SineTable[(kAngleUnits - k) & kAngleMask], -SineTable[k]) << k;
    }
}

}  // namespace
