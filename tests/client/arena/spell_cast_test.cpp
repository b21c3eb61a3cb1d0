#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "client/arena/player_effects.h"
#include "client/arena/spell.h"
#include "client/arena/spell_cast.h"
#include "client/driver/display_helpers.h"
#include "tests/client/arena/arena_fixture.h"
#include "tests/client/sound_log.h"
#include "tests/support/sent_frames.h"

namespace {

class ScriptedSpell : public CSpell {
public:
    int Cast(LocalPlayer&) override {
        ++casts;
        return answer;
    }
    int answer = 1;
    int casts = 0;
};

class SpellCasting : public ArenaFixture {
protected:
    SpellCasting() {
        auto s = std::make_unique<ScriptedSpell>();
        spell = s.get();
        SetSpell(12, std::move(s));
        SetGameValue(115, 12);
        SetGameValue(0, 10);
        SetGameValue(116, 10);
        SetGameValue(109, 5000);
        SetGameValue(111, 10000);
        HandMidSequence();
    }
    ~SpellCasting() override {
        FreeSpells();
        g_handOverlay.current = -1;
    }
    // A hand sequence running, on a later frame.
    static void HandMidSequence() {
        g_handOverlay.current = 1;
        g_handOverlay.frameValue = 5;
        g_handOverlay.changed = 0;
    }
    ScriptedSpell* spell;
};

TEST_F(SpellCasting, FatigueCostFollowsTheLevelGap) {
    struct Case {
        int fatigue, minFatigue, character, spellLevel, cost;
    } cases[] = {
        {40, 10, 10, 10, 40},    // same level: the whole cost
        {5, 1, 10, 10, 10},      // clamped up to 10
        {150, 10, 10, 10, 100},  // and down to 100
        {300, 10, 21, 1, 75},    // f(21) = 240, f(1) = 15: 300 - 225
        {200, 10, 21, 1, 10},    // 200 - 225 below min_fatigue, then the clamp
        {200, 60, 21, 1, 60},    // raised to min_fatigue
        {200, 150, 21, 1, 100},  // a min_fatigue above 100 still gives 100
        {80, 10, 15, 11, 40},    // f(15) = 200, f(11) = 160
        {50, 10, 20, 16, 22},    // f(20) = 235, f(16) = 207
        // Across the bands each constant counts: f(16) = 207 against f(15) = 200 and f(10) = 150,
        // f(21) = 240 against f(20) = 235.
        {50, 10, 16, 15, 43},
        {100, 10, 16, 10, 43},
        {50, 10, 21, 20, 45},
        {50, 10, 15, 16, 57},    // a spell above the character costs more
        {50, 10, 11, 10, 40},    // f(11) = 160 against f(10) = 150
        {50, 10, 1, 10, 100},    // a low character pays more, up to the clamp
    };
    for (const Case& c : cases)
        EXPECT_EQ(SpellFatigueCost(c.fatigue, c.minFatigue, c.character, c.spellLevel), c.cost)
            << c.fatigue << " " << c.minFatigue << " " << c.character << " " << c.spellLevel;
}

TEST_F(SpellCasting, ACastPaysAndSetsTheDelay) {
    struct Case {
        int character, spellLevel, fatigue, power, fireTimer, fatigueLeft, powerLeft, delay;
    } cases[] = {
        {10, 10, 40, 3, 800, 10000 - 4000, 5000 - 300, 800},
        {21, 1, 100, 0, 200, 10000 - 1000, 5000, 500},  // at least 10 points; delay at least 500
        {10, 10, 10, 50, 0, 9000, 0, 500},              // power exactly enough leaves 0
        {10, 10, 100, 0, 0, 0, 5000, 500},              // and so does fatigue exactly enough
    };
    for (const Case& c : cases) {
        SetGameValue(0, c.character);
        SetGameValue(116, c.spellLevel);
        SetGameValue(109, 5000);
        SetGameValue(111, 10000);
        spell->fatigue = c.fatigue;
        spell->power = c.power;
        spell->fire_timer = c.fireTimer;
        HandMidSequence();
        EXPECT_EQ(CastSpell(player, 0), 1);
        EXPECT_EQ(GetGameValue(111), c.fatigueLeft);
        EXPECT_EQ(GetGameValue(109), c.powerLeft);
        EXPECT_EQ(player.cast_delay, c.delay);
        EXPECT_EQ(g_handOverlay.frameValue, 0) << "the hand starts its cast from its first frame";
        EXPECT_EQ(g_handOverlay.changed, 1);
    }
}

TEST_F(SpellCasting, RefusalsCostNothing) {
    spell->fatigue = 40;
    spell->power = 2;
    struct Case {
        int power, fatigue, answer, spellNumber;
        int result, delay, casts;
    } cases[] = {
        {199, 10000, 1, 12, 0, 500, 0},  // too little power
        {200, 3999, 1, 12, 0, 500, 0},   // too little fatigue
        {200, 4000, 0, 12, 0, 500, 1},   // the class refuses
        {200, 4000, 1, 13, 0, 0, 0},     // no such spell: no delay either
        {200, 4000, 1, 400, 0, 0, 0},
        {200, 4000, 1, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SetGameValue(109, c.power);
        SetGameValue(111, c.fatigue);
        SetGameValue(115, c.spellNumber);
        spell->answer = c.answer;
        spell->casts = 0;
        player.cast_delay = 0;
        EXPECT_EQ(CastSpell(player, 1), c.result);
        EXPECT_EQ(player.cast_delay, c.delay) << c.power << " " << c.fatigue << " " << c.spellNumber;
        EXPECT_EQ(spell->casts, c.casts);
        EXPECT_EQ(GetGameValue(109), c.power);
        EXPECT_EQ(GetGameValue(111), c.fatigue);
    }
}

// Powers and levels of the spell file and the character of any size: a power past what x 100
// holds still costs more than the player has; a negative one costs nothing and gives nothing.
TEST_F(SpellCasting, CostsOfAnySizeNeverWrapToAFreeCast) {
    struct Case {
        int power, level, spellLevel, have;
        int result, left;
    } cases[] = {
        {1 << 30, 10, 10, INT32_MAX, 0, INT32_MAX},
        {INT32_MAX, 10, 10, INT32_MAX, 0, INT32_MAX},
        {21474837, 10, 10, INT32_MAX, 0, INT32_MAX},
        {INT32_MIN, 10, 10, 5000, 1, 5000},
        {-1, 10, 10, 5000, 1, 5000},
        {2, INT32_MAX, INT32_MIN, 5000, 1, 4800},  // the widest level gap: the least fatigue
        {2, INT32_MIN, INT32_MAX, 5000, 1, 4800},
    };
    for (const Case& c : cases) {
        spell->power = c.power;
        spell->fatigue = 40;
        spell->min_fatigue = 10;
        SetGameValue(0, c.level);
        SetGameValue(116, c.spellLevel);
        SetGameValue(109, c.have);
        SetGameValue(111, 20000);
        EXPECT_EQ(CastSpell(player, 1), c.result) << c.power << " " << c.level;
        EXPECT_EQ(GetGameValue(109), c.left) << c.power << " " << c.level;
        EXPECT_GE(GetGameValue(111), 10000) << "fatigue costs 10 to 100 points";
    }
}

// A refusal sounds 36; a cast sounds the spell's own cast sound, when it has one.
TEST_F(SpellCasting, CastsAndRefusalsAreHeard) {
    HeadlessWindowing windowing;
    SoundLog sounds(40);
    ASSERT_TRUE(sounds.Started());
    spell->fatigue = 40;
    spell->power = 2;
    const struct {
        int power, answer, castSound;
        std::vector<int> heard;
    } cases[] = {
        {199, 1, 7, {36}}, {200, 0, 7, {36}}, {200, 1, 7, {7}}, {200, 1, 0, {}},
    };
    for (const auto& c : cases) {
        SetGameValue(109, c.power);
        SetGameValue(111, 10000);
        spell->answer = c.answer;
        spell->cast_sound = c.castSound;
        CastSpell(player, 1);
        EXPECT_EQ(sounds.TakePlayed(), c.heard) << c.power << " " << c.answer << " " << c.castSound;
    }
}

TEST_F(SpellCasting, AChargedSpellReportsItsTimeFirst) {
    spell->cast_timer = 1500;
    spell->fatigue = 40;
    EXPECT_EQ(CastSpell(player, 0), 1500);
    EXPECT_EQ(player.cast_delay, 500);
    EXPECT_EQ(spell->casts, 0);
    EXPECT_EQ(GetGameValue(111), 10000);
    EXPECT_EQ(GetGameValue(109), 5000);
    EXPECT_EQ(CastSpell(player, 1), 1);
    EXPECT_EQ(spell->casts, 1);
    EXPECT_EQ(GetGameValue(111), 6000);
}

TEST_F(SpellCasting, EffectsAreLookedUpByNumberAndElement) {
    player.effects[11] = PlayerEffect{};
    player.effects[11].active = 1;
    player.effects[11].level = 30;
    player.effects[11].element = 3;
    EXPECT_EQ(GetActiveEffect(player, 11, 0), 30);
    EXPECT_EQ(GetActiveEffect(player, 11, 3), 30);
    EXPECT_EQ(GetActiveEffect(player, 11, 2), 0);
    for (int bad : {-1, 40, 1000})
        EXPECT_EQ(GetActiveEffect(player, bad, 0), 0);
    player.effects[11].active = 0;
    EXPECT_EQ(GetActiveEffect(player, 11, 0), 0);
}

TEST_F(SpellCasting, RemovingEffectsUndoesTheirHoldAndTellsTheService) {
    int own = Live(OBJ_PLAYER, 4000, 4000);
    player.own_object = own;
    WorldObjectTable[own].figure = 9;
    WorldObjectTable[own].effects[2].effect = 27;
    WorldObjectTable[own].effects[3].effect = 12;
    WorldObjectTable[own].effects[3].remaining = 4999;
    for (int n : {27, 29, 12, 17}) {
        player.effects[n].active = 1;
        player.effects[n].level = 2;
        player.effects[n].time_left = 1000;
        player.effects[n].name[0] = 'x';
    }
    EXPECT_EQ(GetObjectEffect(own, 12, 0), 5000);
    SetGameValue(109, 9000);
    SetGameValue(110, 6000);
    present.calls.clear();
    OnlineSends online;
    RemovePlayerEffect(player, 27, 1);
    EXPECT_EQ(GetGameValue(109), 6000);
    EXPECT_EQ(player.effects[27].active, 0);
    EXPECT_EQ(player.effects[27].level, 0);
    EXPECT_EQ(player.effects[27].name[0], 0);
    EXPECT_EQ(WorldObjectTable[own].effects[2].effect, 0);
    EXPECT_EQ(RemovedEffects(), std::vector<int>{27});

    BreakConcealment();  // 12 and 17 are on; 13 is not
    EXPECT_EQ(RemovedEffects(), (std::vector<int>{27, 17, 12}));
    EXPECT_EQ(WorldObjectTable[own].effects[3].effect, 0);
    EXPECT_EQ(present.Count("SetFigureTint"), 1u) << "effect 12's tint is taken off the figure";
    EXPECT_EQ(GetObjectEffect(own, 12, 0), 0);

    ClearPlayerEffects(player);  // 29 is still on: the fog lifts, without a message
    EXPECT_EQ(present.Named("SetWorldFog").back(), "SetWorldFog(0, 0, 0, 0, 0)");
    EXPECT_EQ(RemovedEffects().size(), 3u);
    for (const PlayerEffect& e : player.effects)
        EXPECT_EQ(e.active, 0);
}

}  // namespace
