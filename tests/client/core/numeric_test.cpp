#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "client/core/game_values.h"
#include "client/core/numeric.h"

TEST(DataChecksum, GoldenValuesAndSensitivity) {
    EXPECT_EQ(DataChecksum("", 0), 0x047E);
    EXPECT_EQ(DataChecksum("abc", 3), 0x1A42);
    unsigned char block[64];
    for (int i = 0; i < 64; ++i)
        block[i] = static_cast<unsigned char>(i * 7);
    uint16_t base = DataChecksum(block, sizeof block);
    for (int i = 0; i < 64; ++i) {
        block[i] ^= 0x10;
        EXPECT_NE(DataChecksum(block, sizeof block), base) << "byte " << i;
        block[i] ^= 0x10;
    }
}

TEST(FixedPoint, ProductsAndQuotientsWithSigns) {
    struct Case {
        int32_t a, b, mul, div;
    };
    const Case cases[] = {
        {0x00018000, 0x00020000, 0x00030000, 0x0000C000},  // 1.5 * 2 = 3, 1.5 / 2 = 0.75
        {-0x00018000, 0x00020000, -0x00030000, -0x0000C000},
        {-0x00018000, -0x00020000, 0x00030000, 0x0000C000},
        {-1, 1, -1, -65536},  // the product shifts arithmetically: -1 >> 16 stays -1
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FixedMul(c.a, c.b), c.mul) << c.a << " * " << c.b;
        EXPECT_EQ(FixedDiv(c.a, c.b), c.div) << c.a << " / " << c.b;
    }
    EXPECT_EQ(FixedDiv(3, 2), 0x00018000);
    EXPECT_EQ(FixedDiv(-3, 2), -0x00018000);
    EXPECT_EQ(FixedDiv(-1, 0x30000), 0);  // towards zero, not towards minus infinity
    EXPECT_EQ(MulDiv32(-7, 3, 2), -10);
    EXPECT_EQ(MulDiv32(100000, 100000, 1000), 10000000);  // needs the 64-bit product
    EXPECT_EQ(FixedMul3(0x20000, 0x20000, 0x8000), 0x20000);
    EXPECT_EQ(FixedDiv(5, 0), 0);
    EXPECT_EQ(MulDiv32(5, 5, 0), 0);
}

TEST(Scrambling, NibbleSwapAndXorAreTheirOwnInverses) {
    char one[] = "A";
    EXPECT_STREQ(SwapOddNibbles(one), "A");
    char two[] = "AB";  // 'B' = 0x42 becomes 0x24 '$'
    EXPECT_STREQ(SwapOddNibbles(two), "A$");
    char empty[] = "";
    EXPECT_EQ(SwapOddNibbles(empty), empty);

    char name[] = "Wanderer of the Vale";
    SwapOddNibbles(name);
    EXPECT_STRNE(name, "Wanderer of the Vale");
    EXPECT_STREQ(SwapOddNibblesCopy(name), "Wanderer of the Vale");
    EXPECT_STRNE(name, "Wanderer of the Vale") << "the copy leaves its input alone";
    EXPECT_STREQ(SwapOddNibbles(name), "Wanderer of the Vale");
    EXPECT_STREQ(SwapOddNibblesCopy(""), "");
    std::string huge(5000, 'q');
    EXPECT_EQ(std::strlen(SwapOddNibblesCopy(huge.c_str())), kSwapCopySize - 1);

    unsigned char buf[4] = {0x00, 0x6B, 0xFF, 0x10};
    XorBuffer(buf, 0);
    EXPECT_EQ(buf[0], 0x00);
    XorBuffer(buf, -3);
    EXPECT_EQ(buf[0], 0x00);
    XorBuffer(buf, 4);
    EXPECT_EQ(buf[0], 0x6B);
    EXPECT_EQ(buf[1], 0x00);
    EXPECT_EQ(buf[2], 0x94);
    XorBuffer(buf, 4);
    EXPECT_EQ(buf[3], 0x10);
}

TEST(GameValues, ResetReadWriteAndRange) {
    ResetGameValues();
    SetGameValue(118, -1);
    SetGameValue(199, 5);
    SetGameValue(200, 9);
    SetGameValue(-1, 9);
    EXPECT_EQ(GetGameValue(118), -1);
    EXPECT_EQ(GetGameValue(199), 5);
    EXPECT_EQ(GetGameValue(200), 0);
    EXPECT_EQ(GetGameValue(-1), 0);
    ResetGameValues();
    EXPECT_EQ(GetGameValue(118), 0);
}

TEST(CycleTimers, ElapsedGrows) {
    StartCycleTimerA();
    volatile unsigned sink = 0;
    for (int i = 0; i < 100000; ++i)
        sink = sink + static_cast<unsigned>(i);
    EXPECT_GT(ElapsedCycleTimerA(), 0u);
}
