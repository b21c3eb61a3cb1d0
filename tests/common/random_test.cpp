#include <gtest/gtest.h>

#include <vector>

#include "common/random.h"

TEST(GameRandom, SameSeedSameDrawsInRange) {
    GameSrand(12345);
    std::vector<int> first;
    for (int i = 0; i < 1000; ++i) {
        int v = GameRand();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, GAME_RAND_MAX);
        first.push_back(v);
    }
    GameSrand(12345);
    for (int v : first)
        ASSERT_EQ(GameRand(), v);
}

TEST(GameRandom, KnownSequenceAndFullRange) {
    // The generator's sequence is part of the game's behaviour (draw order decides ids and
    // monster choices), so pin it.
    GameSrand(1);
    EXPECT_EQ(GameRand(), 41);
    EXPECT_EQ(GameRand(), 18467);
    EXPECT_EQ(GameRand(), 6334);
    bool sawHigh = false, sawLow = false;
    for (int i = 0; i < 200000; ++i) {
        int v = GameRand();
        sawHigh = sawHigh || v > 32000;
        sawLow = sawLow || v < 700;
    }
    EXPECT_TRUE(sawHigh);
    EXPECT_TRUE(sawLow);
}
