#include "client/screens/character_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "client/arena/local_player.h"
#include "client/arena/spell.h"
#include "client/core/game_values.h"
#include "client/core/numeric.h"
#include "client/screens/character_file.h"
#include "client/screens/character_state.h"
#include "tests/support/temp_dir.h"

namespace {

class CharacterRulesTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.Enter();
        ResetGameValues();
        ResetCharacterState();
        ClearSpellData();
        g_playMode = 1;
        g_currentSlot = 0;
        // Lists 3 and 7 belong to the Magician; list 3 offers spells 31, 32 at positions 1, 2 and
        // 35 at 5; list 7 offers 71 at 1.
        ProfessionListTable[0][0] = 3;
        ProfessionListTable[0][1] = 7;
        SpellListTable[3].spells[0] = 31;
        SpellListTable[3].spells[1] = 32;
        SpellListTable[3].spells[4] = 35;
        SpellListTable[7].spells[0] = 71;
    }
    void TearDown() override { ClearSpellData(); }
    void Stats(int all) {
        for (int n = 0; n < 10; ++n)
            SetGameValue(5 + n, all);
    }
    TempDir dir;
    LocalPlayer player{};
};

TEST_F(CharacterRulesTest, HitPointsAndPowerFollowProfessionLevelAndStatistics) {
    struct Row {
        const char* what;
        int profession, level, constitution, powerStat, powerStatValue;
        int hits, power;
    } rows[] = {
        {"Magician 1, all 50", 0, 1, 50, 10, 50, 1900, 2600},
        {"level 0 counts as 1", 0, 0, 50, 10, 50, 1900, 2600},
        {"Magician 10", 0, 10, 70, 10, 80, 6000 + 6000 * 20 * 10 / 5000, 8000 + 8000 * 30 * 10 / 5000},
        {"Runemage 10", 1, 10, 50, 10, 30, 7000, 7000 - 7000 * 20 * 10 / 5000},
        {"Mystic 10", 2, 10, 40, 12, 90, 6500 - 6500 * 10 * 10 / 5000, 7500 + 7500 * 40 * 10 / 5000},
        {"Healer 10", 3, 10, 150, 11, 200, 7500 + 7500 * 100 * 10 / 5000, 6500 + 6500 * 100 * 10 / 5000},
        {"Healer 11, odd level", 3, 11, 50, 11, 50, 8100, (11 * 9 / 2 + 20) * 100},
    };
    for (const Row& r : rows) {
        ResetGameValues();
        Stats(50);
        SetGameValue(0, r.level);
        SetGameValue(6, r.constitution);
        SetGameValue(r.powerStat, r.powerStatValue);
        SetProfessionStats(player, r.profession);
        EXPECT_EQ(GetGameValue(107), r.hits) << r.what;
        EXPECT_EQ(GetGameValue(108), r.hits) << r.what;
        EXPECT_EQ(GetGameValue(109), r.power) << r.what;
        EXPECT_EQ(GetGameValue(110), r.power) << r.what;
        EXPECT_EQ(GetGameValue(114), r.profession) << r.what;
        EXPECT_GE(GetGameValue(0), 1) << r.what;
    }
}

TEST_F(CharacterRulesTest, PickLevelsFollowTheLevelButKeepResearch) {
    SetGameValue(0, 6);
    SetGameValue(134, 3);
    SetGameValue(144, 2);
    SetGameValue(135, 7);
    SetGameValue(145, 12);  // researched above the level
    SetGameValue(146, 4);   // no list
    SetProfessionStats(player, 0);
    EXPECT_EQ(GetGameValue(144), 6);
    EXPECT_EQ(GetGameValue(145), 12);
    EXPECT_EQ(GetGameValue(146), 4);
}

TEST_F(CharacterRulesTest, BaseStatisticsRaiseEachProfessionsThree) {
    // Agility, Constitution, Memory, Reasoning, Discipline, Empathy, Intuition, Presence, Quickness, Strength.
    const int expected[4][10] = {
        {70, 50, 50, 50, 50, 70, 50, 50, 70, 50},
        {50, 70, 50, 50, 50, 50, 50, 70, 70, 50},
        {70, 50, 50, 50, 50, 50, 50, 70, 50, 70},
        {50, 70, 50, 50, 50, 50, 70, 50, 50, 70},
    };
    for (int p = 0; p < 4; ++p) {
        Stats(0);
        SetBaseStatistics(player, p);
        for (int n = 0; n < 10; ++n)
            EXPECT_EQ(GetGameValue(5 + n), expected[p][n]) << p << " " << n;
    }
}

TEST_F(CharacterRulesTest, LevelsAndExperience) {
    struct Row {
        int level, experience;
    } rows[] = {{1, 0}, {2, 500}, {10, 330000}, {40, 22000000}, {50, 22000000}, {0, 0}};
    Stats(50);
    for (const Row& r : rows) {
        SetLevel(player, r.level);
        EXPECT_EQ(GetGameValue(0), std::max(r.level, 1)) << "a level below 1 becomes 1";
        EXPECT_EQ(GetGameValue(1), r.experience) << r.level;
    }
    // The experience needed to leave each level, in hundreds.
    const int table[40] = {0,     5,     50,    150,   300,   600,   1000,   1500,   2100,   3300,
                           4100,  5100,  6300,  7700,  10000, 11700, 13700,  16000,  18600,  23600,
                           26700, 30100, 33900, 38100, 50000, 55000, 60000,  65000,  70000,  85000,
                           92500, 100000, 107500, 115000, 140000, 150000, 160000, 170000, 180000, 220000};
    for (int level = 0; level < 40; ++level)
        EXPECT_EQ(ExperienceForLevel(level), table[level]) << level;
    EXPECT_EQ(ExperienceForLevel(-3), 0);
    EXPECT_EQ(ExperienceForLevel(39), 220000);
    EXPECT_EQ(ExperienceForLevel(49), 220000);

    SetGameValue(0, 5);
    SetGameValue(1, 59999);
    SetGameValue(113, 2);
    EXPECT_EQ(CheckLevelUp(player), 0);
    SetGameValue(1, 60000);
    EXPECT_EQ(CheckLevelUp(player), 1);
    EXPECT_EQ(GetGameValue(0), 6);
    EXPECT_EQ(GetGameValue(113), 12);
    EXPECT_EQ(GetGameValue(107), (6 * 9 / 2 + 15) * 100);
    // Level 30 stays, whatever the experience; above it comes back to 30.
    SetGameValue(0, 30);
    SetGameValue(1, 100000000);
    EXPECT_EQ(CheckLevelUp(player), 0);
    EXPECT_EQ(GetGameValue(0), 30);
    SetGameValue(0, 44);
    EXPECT_EQ(CheckLevelUp(player), 0);
    EXPECT_EQ(GetGameValue(0), 30);
}

TEST_F(CharacterRulesTest, RaisingCostsByValueAndLoweringRefunds) {
    struct Row {
        int from, cost;
    } rows[] = {{50, 1}, {89, 1}, {90, 2}, {99, 2}, {100, 3}, {109, 3}, {110, 5}, {119, 5}, {120, 10}, {126, 10}};
    for (const Row& r : rows) {
        SetGameValue(14, r.from);  // Strength is raisable statistic 0
        SetGameValue(24, r.from);
        SetGameValue(113, 20);
        EXPECT_EQ(RaiseStatistic(0), 1) << r.from;
        EXPECT_EQ(GetGameValue(14), r.from + 1);
        EXPECT_EQ(GetGameValue(113), 20 - r.cost) << r.from;
        EXPECT_EQ(LowerStatistic(0), 1);
        EXPECT_EQ(GetGameValue(113), 20) << r.from;
        EXPECT_EQ(LowerStatistic(0), 0) << "not below its value when raising began";
        EXPECT_EQ(GetGameValue(14), r.from);
    }
    // Not enough points, and the signed-byte top.
    SetGameValue(14, 95);
    SetGameValue(113, 1);
    EXPECT_EQ(RaiseStatistic(0), 0);
    SetGameValue(113, 2);  // just enough
    EXPECT_EQ(RaiseStatistic(0), 1);
    EXPECT_EQ(GetGameValue(113), 0);
    SetGameValue(14, 127);
    SetGameValue(113, 50);
    EXPECT_EQ(RaiseStatistic(0), 0);
    EXPECT_EQ(GetGameValue(14), 127);
    // The order of the raisable statistics.
    const int order[7] = {14, 13, 5, 6, 10, 11, 12};
    for (int n = 0; n < 7; ++n) {
        SetGameValue(order[n], 60 + n);
        EXPECT_EQ(RaisableStatValue(n), 60 + n);
    }
    EXPECT_EQ(RaisableStatValue(7), 66) << "an index past the last reads the last";
    // A refund never takes the points above 127.
    SetGameValue(14, 121);
    SetGameValue(24, 100);
    SetGameValue(113, 125);
    LowerStatistic(0);
    EXPECT_EQ(GetGameValue(113), 127);
}

TEST_F(CharacterRulesTest, ResearchRaisesAPickByTwoUpTo30) {
    struct Row {
        int level, points, levelAfter, pointsAfter;
    } rows[] = {{5, 3, 7, 2}, {28, 1, 30, 0}, {29, 4, 30, 4}, {30, 4, 30, 4}, {5, 0, 5, 0}};
    for (const Row& r : rows) {
        SetGameValue(146, r.level);
        SetGameValue(113, r.points);
        ResearchList(2);
        EXPECT_EQ(GetGameValue(146), r.levelAfter) << r.level;
        EXPECT_EQ(GetGameValue(113), r.pointsAfter) << r.level;
    }
}

TEST_F(CharacterRulesTest, ReadiedSpellsAreKnownOnlyUpToTheLevel) {
    SetGameValue(0, 4);
    SetGameValue(134, 3);
    SetGameValue(144, 4);
    SetGameValue(135, 7);
    SetGameValue(145, 4);
    SetGameValue(25, 32);  // list 3 position 2
    SetGameValue(26, 35);  // position 5: above the level
    SetGameValue(27, 71);  // list 7 position 1
    SetGameValue(28, 99);  // in no list
    SpellListTable[3].spells[3] = 34;
    SetGameValue(29, 34);  // position 4: just at the level
    SetGameValue(64, 31);
    SetGameValue(65 + 3, 9);
    CheckKnownSpells();
    EXPECT_EQ(GetGameValue(25), 32);
    EXPECT_EQ(GetGameValue(65), 2);
    EXPECT_EQ(GetGameValue(26), 0);
    EXPECT_EQ(GetGameValue(66), 0);
    EXPECT_EQ(GetGameValue(27), 71);
    EXPECT_EQ(GetGameValue(67), 1);
    EXPECT_EQ(GetGameValue(28), 0);
    EXPECT_EQ(GetGameValue(68), 0);
    EXPECT_EQ(GetGameValue(29), 34);
    EXPECT_EQ(GetGameValue(69), 4);
    EXPECT_EQ(GetGameValue(64), 31);
    EXPECT_EQ(GetGameValue(104), 1);

    ReadySpell(5, 0, 2);
    EXPECT_EQ(GetGameValue(30), 32);
    EXPECT_EQ(GetGameValue(70), 2);
    ClearReadiedSpell(5);
    EXPECT_EQ(GetGameValue(30), 0);
    EXPECT_EQ(GetGameValue(70), 0);
    ReadySpell(40, 0, 2);  // no such slot
    EXPECT_EQ(GetGameValue(65 + 40), 0);
    // The first and the last readied slot.
    ReadySpell(0, 0, 4);
    ReadySpell(39, 1, 1);
    EXPECT_EQ(GetGameValue(25), 34);
    EXPECT_EQ(GetGameValue(65), 4);
    EXPECT_EQ(GetGameValue(64), 71);
    ClearReadiedSpell(0);
    ClearReadiedSpell(39);
    EXPECT_EQ(GetGameValue(25), 0);
    EXPECT_EQ(GetGameValue(65), 0);
    EXPECT_EQ(GetGameValue(64), 0);
    EXPECT_EQ(GetGameValue(104), 0);
    // Positions run 1 to 30 and picks 0 to 9; outside them there is no spell.
    SpellListTable[3].spells[29] = 60;
    std::memset(SpellListTable[3].name, 'A', sizeof SpellListTable[3].name - 1);  // just before position 1
    SpellListTable[1].spells[0] = 11;
    SpellListTable[49].spells[0] = 491;
    SetGameValue(136, 1);
    SetGameValue(137, 49);
    EXPECT_EQ(SpellAtPosition(2, 1), 11);
    EXPECT_EQ(SpellAtPosition(3, 1), 491);
    EXPECT_EQ(SpellAtPosition(0, 30), 60);
    EXPECT_EQ(SpellAtPosition(0, 1), 31);
    for (const auto& [pick, position] : {std::pair{0, 0}, {0, 31}, {-1, 1}, {10, 1}})
        EXPECT_EQ(SpellAtPosition(pick, position), 0) << pick << " " << position;
}

TEST_F(CharacterRulesTest, FinishingANewMagicianPicksReadiesAndSaves) {
    std::strcpy(g_currentCharacter.name, "Orla");
    SwapOddNibbles(g_currentCharacter.name);
    g_currentSlot = 1;
    SetGameValue(114, 0);
    SetGameValue(0, 1);
    SetGameValue(113, 9);
    FinishCharacter(player);
    EXPECT_EQ(GetGameValue(134), 3);
    EXPECT_EQ(GetGameValue(135), 7);
    EXPECT_EQ(GetGameValue(136), 0);
    EXPECT_EQ(GetGameValue(144), 1);
    EXPECT_EQ(GetGameValue(146), 0);
    EXPECT_EQ(GetGameValue(113), 0);
    EXPECT_EQ(GetGameValue(25), 31);
    EXPECT_EQ(GetGameValue(26), 71);
    EXPECT_EQ(GetGameValue(27), 0);
    EXPECT_EQ(GetGameValue(13), 70);  // Quickness
    EXPECT_EQ(GetGameValue(107), 1900);
    uint8_t slots[kCharacterSlotBytes];
    ReadCharacterSlots(slots);
    EXPECT_STREQ(reinterpret_cast<char*>(slots + 480), "Orla");
    EXPECT_EQ(slots[480 + 84], 3);

    // At sysop level 3 the profession's picks come at level 1 and the points are the level.
    SetGameValue(3, 3);
    SetGameValue(0, 8);
    SetProfessionPicks(0);
    EXPECT_EQ(GetGameValue(144), 1);
    EXPECT_EQ(GetGameValue(113), 8);
    SetGameValue(3, 2);
    SetGameValue(144, 5);
    SetProfessionPicks(0);
    EXPECT_EQ(GetGameValue(144), 5);
}

TEST(CharacterNames, RefusalsInTheirOrder) {
    struct Row {
        const char* name;
        int code;
    } rows[] = {
        {"", 4},           {"Ab!cd", 1},       {"Abc", 2},  {"A", 2},
        {"Abcd ", 5},      {"Ab  cd", 6},      {"Ab__cd", 6}, {"4bcd", 3},
        {"_abc", 3},       {"Ab cd_e", 0},     {"Orla", 0}, {"ab:", 1},
        {"1 ", 2},  // short comes before the trailing blank
    };
    for (const Row& r : rows)
        EXPECT_EQ(JudgeCharacterName(r.name), r.code) << '"' << r.name << '"';
    EXPECT_STREQ(NameRefusalText(2), "Your name must three or more characters!");
    EXPECT_STREQ(NameRefusalText(6), "Your name cannot have double-spaces or lines!");
    EXPECT_STREQ(NameRefusalText(0), "");
}

TEST(CharacterWords, OrdinalsProfessionsAndModels) {
    const std::pair<int, const char*> ordinals[] = {{0, "0th"}, {1, "1st"}, {2, "2nd"}, {3, "3rd"}, {4, "4th"},
                                                    {11, "11th"}, {12, "12th"}, {13, "13th"}, {21, "21st"},
                                                    {22, "22nd"}, {43, "43rd"}, {51, "51st"}, {60, "51st"}, {-1, "0th"}};
    for (const auto& [n, word] : ordinals)
        EXPECT_STREQ(OrdinalWord(n), word) << n;
    EXPECT_STREQ(ProfessionName(1), "Runemage");
    EXPECT_STREQ(ProfessionName(3), "Healer");
    EXPECT_STREQ(ProfessionName(7), "Magician");
    EXPECT_EQ(ModelOfLooksType(0), 201);
    EXPECT_EQ(ModelOfLooksType(1), 202);
    EXPECT_EQ(ModelOfLooksType(2), 203);
    EXPECT_EQ(ModelOfLooksType(3), 201);
}

// The copies as they are when the program starts, before any test or reset touches them.
uint8_t g_copiesAtStart[kCharacterSlots][kServiceCopySize];
class CopiesAtStart : public ::testing::Environment {
public:
    void SetUp() override { std::memcpy(g_copiesAtStart, ServiceCopies, sizeof g_copiesAtStart); }
};
[[maybe_unused]] const auto* const g_copiesAtStartEnv =
    ::testing::AddGlobalTestEnvironment(new CopiesAtStart);

TEST_F(CharacterRulesTest, ASlotTheServiceNeverSentLoadsOnlineAsANewCharacter) {
    std::memcpy(ServiceCopies, g_copiesAtStart, sizeof g_copiesAtStart);
    for (int slot = 0; slot < kCharacterSlots; ++slot) {
        uint8_t copy[kServiceCopySize];
        ReadServiceCopy(slot, copy);
        EXPECT_EQ(std::string(copy, copy + kServiceCopySize), std::string(kServiceCopySize, '\0'))
            << "slot " << slot << " is empty at start";
    }
    g_playMode = 2;
    SetGameValue(0, 7);
    SetGameValue(1, 12345);
    LoadCharacterFile(player, 2);
    EXPECT_EQ(GetGameValue(1), 0) << "no experience from the scramble key";
    EXPECT_LE(GetGameValue(0), 1);
}

}  // namespace
