#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "client/arena/game_input.h"
#include "client/arena/line_tests.h"
#include "client/arena/player_effects.h"
#include "client/arena/spell.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/net/client_tables.h"
#include "client/net/net_catalogue.h"
#include "client/screens/screen_surface.h"
#include "common/random.h"
#include "tests/client/arena/arena_fixture.h"
#include "tests/support/sent_frames.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The local player (id 7, team 2) in the open level with its own figure; a team mate (id 20)
// and an enemy (id 30) known to the player table and standing as type-4 figures.
class Effects : public ArenaFixture {
protected:
    static constexpr int kMate = 20, kEnemy = 30;

    Effects() {
        SetGameValue(4, 2);
        SetGameValue(118, 7);
        player.eye_height = 48;
        own = Live(OBJ_PLAYER, 4000, 4000, 0, 7);
        WorldObjectTable[own].team = 2;
        WorldObjectTable[own].figure = 50;
        player.own_object = own;
        ClearPlayerTable();
        mateEntry = UpdatePlayerTable(kMate, 0, 2, "Mate");
        enemyEntry = UpdatePlayerTable(kEnemy, 0, 1, "Enemy");
        mate = Figure(kMate, 2, 4000, 4100);
        enemy = Figure(kEnemy, 1, 4000, 4200);
        std::memset(g_screen.noticeLines, 0, sizeof g_screen.noticeLines);
        ResetEffectTicker();
        present.calls.clear();
    }
    ~Effects() override {
        FreeSpells();
        ClearPlayerTable();
        TargetPlayerId = 0;
        GameClock = 0;
    }

    int Figure(int id, int team, int x, int y) {
        const int s = Live(OBJ_PLAYER, x, y, 0, static_cast<uint32_t>(id));
        WorldObjectTable[s].team = static_cast<int16_t>(team);
        WorldObjectTable[s].width = 16;
        WorldObjectTable[s].tall = 64;
        WorldObjectTable[s].figure = static_cast<int16_t>(50 + id);
        return s;
    }

    CSpellEffect& Effect(int number, int effect, int level, int duration) {
        CSpellEffect& s = MakeSpell<CSpellEffect>(number, SPELL_EFFECT);
        s.effect = effect;
        s.level = level;
        s.duration = duration;
        std::strcpy(s.name, "Spell");
        return s;
    }

    int own = 0, mate = 0, enemy = 0, mateEntry = 0, enemyEntry = 0;
};

TEST_F(Effects, ImmediateEffectsActAsTheyAreTaken) {
    SetGameValue(107, 500);
    SetGameValue(111, 9000);
    SetGameValue(112, 10000);
    view.speed = 10;
    view.facing = 4000;

    // Effect 21 only comes to a player low enough on hit points.
    EXPECT_EQ(Effect(1, 21, 4, 0).AffectPlayer(player, 7, 0), 0);
    EXPECT_EQ(player.effects[21].active, 0);
    EXPECT_EQ(player.effects[21].spell_number, 0) << "a refused effect leaves a cleared slot";
    EXPECT_EQ(Effect(1, 21, 5, 0).AffectPlayer(player, 7, 0), 1);
    EXPECT_EQ(player.effects[21].level, 5);

    Effect(2, 22, 30, 0).AffectPlayer(player, 7, 0);
    EXPECT_EQ(GetGameValue(111), 6000) << "fatigue less 30% of the maximum";
    Effect(2, 22, 200, 0).AffectPlayer(player, 7, 0);
    EXPECT_EQ(GetGameValue(111), 0) << "not below 0";

    Effect(3, 23, 4, 0).AffectPlayer(player, 7, 0);
    EXPECT_EQ(view.speed, 6);
    Effect(3, 23, 40, 0).AffectPlayer(player, 7, 0);
    EXPECT_EQ(view.speed, 0);

    // r = 10 x 4096 / 360 = 113: a turn of 57 .. 169, the facing kept in 0..4095.
    Effect(4, 24, 10, 0).AffectPlayer(player, 7, 0);
    const int turned = (view.facing - 4000 + 4096) & 4095;
    EXPECT_GE(turned, 57);
    EXPECT_LE(turned, 169);
    EXPECT_LT(view.facing, 4096);
    const int before = view.facing;
    Effect(4, 24, 0, 0).AffectPlayer(player, 7, 0);
    EXPECT_EQ(view.facing, before) << "level 0 turns nothing";

    // Blindness fogs the view nearer each level, 1 to 3; other levels leave the view clear.
    const struct {
        int level;
        std::vector<std::string> fog;
    } blind[] = {
        {1, {"SetWorldFog(100, 640, 0, 0, 0)"}}, {2, {"SetWorldFog(100, 480, 0, 0, 0)"}},
        {3, {"SetWorldFog(100, 320, 0, 0, 0)"}}, {0, {}}, {4, {}},
    };
    for (const auto& b : blind) {
        present.calls.clear();
        Effect(5, 29, b.level, 0).AffectPlayer(player, 7, 0);
        EXPECT_EQ(present.Named("SetWorldFog"), b.fog) << b.level;
        RemovePlayerEffect(player, 29, 0);
        EXPECT_EQ(present.Named("SetWorldFog").back(), "SetWorldFog(0, 0, 0, 0, 0)");
    }
}

// Levels come from spell data: a negative slowing level never speeds the player up (a speed
// pushed towards the int's top would have every frame walk billions of pieces).
TEST_F(Effects, ASlowingLevelBelowZeroLeavesTheSpeed) {
    for (int speed : {0, 110, 2000000000}) {
        view.speed = speed;
        Effect(3, 23, -2000000000, 0).AffectPlayer(player, 7, 0);
        EXPECT_EQ(view.speed, speed);
        Effect(3, 23, -1, 0).AffectPlayer(player, 7, 0);
        EXPECT_EQ(view.speed, speed);
    }
}

TEST_F(Effects, EffectNumbersOutsideTheTableAreRefused) {
    for (int n : {-1, 40, 255}) {
        CSpellEffect& s = Effect(1, n, 1, 1000);
        EXPECT_EQ(s.AffectPlayer(player, 7, 1), 0) << n;
        EXPECT_EQ(s.ObjectCast(enemy, 0), 0) << n;
    }
    for (const ObjectEffectSlot& e : WorldObjectTable[enemy].effects)
        EXPECT_EQ(e.effect, 0);
}

TEST_F(Effects, CleansingRemovesItsFiveEffectsInOrderAnnounced) {
    for (int n : {22, 11, 34, 30, 5, 6})
        player.effects[n].active = 1;
    OnlineSends online;
    Effect(1, 25, 1, 0).AffectPlayer(player, 7, 0);
    EXPECT_EQ(RemovedEffects(), (std::vector<int>{5, 30, 34, 11, 22}));
    EXPECT_EQ(player.effects[6].active, 1);
}

TEST_F(Effects, ACastIsAnnouncedOnlineAndShownOnTheOwnFigure) {
    CSpellEffect& s = Effect(1, 8, 3, 5000);
    s.creation_effect = 2;
    Effect(2, 9, 1, 700);
    OnlineSends online;
    g_linkState = 1;
    s.Cast(player);
    EXPECT_TRUE(SentFrames().empty()) << "offline nothing is sent";
    EXPECT_EQ(player.effects[8].source_id, 7);
    EXPECT_EQ(player.effects[9].active, 1) << "the creation effect comes too";
    EXPECT_EQ(player.effects[9].source_id, 0);
    EXPECT_EQ(GetObjectEffect(own, 8, 0), 5000);
    EXPECT_EQ(GetObjectEffect(own, 9, 0), 700);

    g_linkState = 2;
    s.Cast(player);
    const std::vector<SentFrame> sent = SentFrames();
    ASSERT_EQ(sent.size(), 1u) << "the creation effect is not announced";
    EXPECT_EQ(sent[0].code, F_PLAYER_EFFECT);
    EXPECT_EQ(sent[0].destination, kDestinationAll);
    EXPECT_EQ(sent[0].body, (Bytes{0x00, 0x01, 0, 0, 0x00, 0x00, 0x13, 0x88})) << "spell 1 for 5000 ms";
}

TEST_F(Effects, ObjectSlotsAreReusedByEffectAndRefusedWhenFull) {
    for (int n = 1; n <= 5; ++n)
        EXPECT_EQ(Effect(n, n, n, 1000 * n).ObjectCast(enemy, 0), 1);
    EXPECT_EQ(Effect(9, 3, 9, 9000).ObjectCast(enemy, 0), 1) << "effect 3 takes its own slot again";
    EXPECT_EQ(WorldObjectTable[enemy].effects[2].level, 9);
    EXPECT_EQ(WorldObjectTable[enemy].effects[2].remaining, 8999);
    EXPECT_EQ(Effect(10, 6, 1, 1000).ObjectCast(enemy, 0), 0) << "five effects already";
}

TEST_F(Effects, ConcealmentTintsTheFigureForItsTeam) {
    Effect(1, 12, 2, 1000).ObjectCast(mate, 0);
    Effect(2, 13, 2, 1000).ObjectCast(enemy, 0);
    const std::vector<std::string> tints = present.Named("SetFigureTint");
    ASSERT_EQ(tints.size(), 2u);
    EXPECT_EQ(tints[0], "SetFigureTint(" + std::to_string(WorldObjectTable[mate].figure) + ", 15, 2, 1, 255, 255, 255)");
    EXPECT_EQ(tints[1], "SetFigureTint(" + std::to_string(WorldObjectTable[enemy].figure) + ", 15, 3, 0, 255, 255, 255)");
}

TEST_F(Effects, TheOverlayFacesWhereTheEffectCameFrom) {
    view.facing = 100;
    WorldObjectTable[mate].facing = 300;
    WorldObjectTable[enemy].facing = 500;
    const int bolt = Live(OBJ_SPELL, 4000, 4150);
    WorldObjectTable[bolt].facing = 3000;
    struct Case {
        const char* what;
        int target, source, direction;
    } cases[] = {
        {"the player on another", enemy, 7, 2148},
        {"the player on himself", own, 7, 100},
        {"a spell object", enemy, -bolt, 952},
        {"a player's figure", enemy, kMate, 2348},
        {"a player on his own figure", mate, kMate, 300},
        {"a player without a figure", enemy, 99, 0},
        {"nothing", enemy, 0, 0},
        {"a spell object slot past the table", enemy, -5000, 0},
    };
    CSpellEffect& s = Effect(1, 6, 1, 1000);
    s.overlay_imagenum = 9;
    s.overlay_dur_type = 1;
    for (const Case& c : cases) {
        WorldObjectTable[c.target].overlay_direction = -1;
        EXPECT_EQ(s.ObjectCast(c.target, c.source), 1) << c.what;
        EXPECT_EQ(WorldObjectTable[c.target].overlay_direction, c.direction) << c.what;
        EXPECT_EQ(WorldObjectTable[c.target].overlay_figure, 9) << c.what;
    }
}

TEST_F(Effects, AnInitialOverlayIsShownOnceWithItsOwnValues) {
    CSpellEffect& s = Effect(1, 6, 1, 1000);
    s.overlay_imagenum = 9;
    s.overlay_dur_type = 0;
    s.initial_overlay_imagenum = 12;
    s.initial_overlay_duration = 700;
    s.initial_overlay_color = 11;
    s.ObjectCast(enemy, 0);
    EXPECT_EQ(WorldObjectTable[enemy].overlay_figure, 12);
    EXPECT_EQ(WorldObjectTable[enemy].overlay_timer, 700);
    EXPECT_EQ(present.Count("SetFigureOverlayColor"), 1u);
}

// ---- The tick ------------------------------------------------------------------------------------

TEST_F(Effects, AnElapsedTimeOfZeroEndsEveryEffectSilently) {
    for (int n : {3, 12, 27, 39})
        Effect(n + 1, n, 2, 0).AffectPlayer(player, 7, 0);
    OnlineSends online;
    UpdatePlayerEffects(player, 0);
    for (int n = 0; n < kPlayerEffects; ++n)
        EXPECT_EQ(player.effects[n].active, 0) << n;
    EXPECT_TRUE(SentFrames().empty());
    EXPECT_EQ(GetObjectEffect(own, 3, 0), 0) << "the own figure's slots go too";
}

TEST_F(Effects, EffectsRunOutAndPulseAtTheirPeriods) {
    Effect(1, 8, 1, 600).AffectPlayer(player, 7, 0);
    Effect(2, 9, 1, 0).AffectPlayer(player, 7, 0);  // lasts until removed
    CSpellEffect& slow = Effect(3, 23, 5, 1900);
    slow.period = 500;
    view.speed = 100;
    slow.AffectPlayer(player, 7, 0);
    EXPECT_EQ(view.speed, 95);
    OnlineSends online;

    UpdatePlayerEffects(player, 250);
    EXPECT_EQ(view.speed, 95) << "1900 to 1650 crosses no multiple of 500";
    EXPECT_EQ(player.effects[8].time_left, 350);
    UpdatePlayerEffects(player, 250);
    EXPECT_EQ(view.speed, 90) << "1650 to 1400 crosses 1500";
    UpdatePlayerEffects(player, 250);
    EXPECT_EQ(view.speed, 90) << "1400 to 1150 crosses none";
    EXPECT_EQ(player.effects[8].active, 0) << "600 ms ran out";
    EXPECT_EQ(player.effects[9].active, 1) << "a duration of 0 stays";
    UpdatePlayerEffects(player, 2000);
    EXPECT_EQ(player.effects[23].active, 0);
    EXPECT_EQ(view.speed, 90) << "an effect that runs out does not pulse";
    EXPECT_TRUE(SentFrames().empty()) << "running out is not announced";
}

TEST_F(Effects, ConcealmentBreaksOnlyWhenTheSpeedChangesPastItsLimit) {
    OnlineSends online;
    Effect(1, 12, 2, 0).AffectPlayer(player, 7, 0);
    const int figure = WorldObjectTable[own].figure;
    present.calls.clear();

    view.speed = 73;
    UpdatePlayerEffects(player, 250);
    EXPECT_EQ(player.effects[12].active, 1);
    EXPECT_EQ(present.Named("SetFigureTint"),
              std::vector<std::string>{"SetFigureTint(" + std::to_string(figure) + ", 40, 2, 1, 255, 255, 255)"});
    present.calls.clear();
    view.strafe_speed = -50;
    UpdatePlayerEffects(player, 250);
    EXPECT_EQ(present.Count("SetFigureTint"), 0u) << "the largest speed is still 73";

    view.z_speed = -74;
    UpdatePlayerEffects(player, 250);
    EXPECT_EQ(player.effects[12].active, 0);
    EXPECT_EQ(RemovedEffects(), std::vector<int>{12});

    // A speed that was already too fast when the effect came does not break it until it changes.
    Effect(2, 17, 2, 0).AffectPlayer(player, 7, 0);
    UpdatePlayerEffects(player, 250);
    EXPECT_EQ(player.effects[17].active, 1);
    view.z_speed = 0;
    view.speed = 20;
    UpdatePlayerEffects(player, 250);
    EXPECT_EQ(player.effects[17].active, 1) << "under the limit";
    view.speed = 120;
    UpdatePlayerEffects(player, 250);
    EXPECT_EQ(player.effects[17].active, 0);
}

// Each level's speed limit holds at the limit and breaks one above it.
TEST_F(Effects, ConcealmentLimitsByLevel) {
    struct Case {
        int effect, level, limit;
    } cases[] = {
        {12, 1, 0}, {12, 2, 73}, {12, 3, 110}, {13, 3, 110}, {17, 3, 110}, {12, 4, 192}, {13, 4, 192}, {17, 5, 0},
    };
    for (const Case& c : cases) {
        Effect(1, c.effect, c.level, 0).AffectPlayer(player, 7, 0);
        ResetEffectTicker();
        view.speed = c.limit;
        UpdatePlayerEffects(player, 250);
        EXPECT_EQ(player.effects[c.effect].active, 1) << c.effect << " at level " << c.level << ", speed " << c.limit;
        view.speed = c.limit + 1;
        UpdatePlayerEffects(player, 250);
        EXPECT_EQ(player.effects[c.effect].active, 0) << c.effect << " at level " << c.level << ", speed "
                                                      << c.limit + 1;
    }
}

// Durations come from spell data: one at the bottom of the int range runs out at the first tick
// and one at the top lasts, whatever the elapsed time.
TEST_F(Effects, DurationsAtTheEndsOfTheIntRangeRunOutOrLast) {
    const struct {
        int duration, elapsed;
        bool on;
    } cases[] = {
        {INT32_MIN, 250, false}, {INT32_MIN + 1, INT32_MAX, false}, {INT32_MAX, 250, true}, {-1, 250, false},
        {INT32_MAX, INT32_MAX, false}, {251, 250, true}, {250, 250, false},
    };
    for (const auto& c : cases) {
        Effect(1, 9, 1, c.duration).AffectPlayer(player, 7, 0);
        UpdatePlayerEffects(player, c.elapsed);
        EXPECT_EQ(player.effects[9].active, c.on ? 1 : 0) << c.duration << " - " << c.elapsed;
    }
}

TEST_F(Effects, TheHudShowsTheFirstEightIconsAndBlinksTheLastTenSeconds) {
    for (int n = 0; n < 9; ++n) {
        CSpellEffect& s = Effect(n + 1, 2 * n + 1, 1, 60000);
        s.imagenum = 10 + n;
        s.AffectPlayer(player, 7, 0);
    }
    present.calls.clear();
    UpdatePlayerEffects(player, 250);
    std::vector<std::string> want;
    for (int i = 0; i < 8; ++i)
        want.push_back("SetHudItemIcon(" + std::to_string(i) + ", " + std::to_string(10 + i) + ")");
    EXPECT_EQ(present.Named("SetHudItemIcon"), want) << "the ninth by effect number is not shown";

    // 9750 left: 9750 / 500 = 19, odd, so the first icon is off for this tick.
    player.effects[1].time_left = 10000;
    present.calls.clear();
    UpdatePlayerEffects(player, 250);
    EXPECT_EQ(present.Named("SetHudItemIcon")[0], "SetHudItemIcon(0, -1)");
    UpdatePlayerEffects(player, 250);  // 9500: still off
    present.calls.clear();
    UpdatePlayerEffects(player, 250);  // 9250: on again
    EXPECT_EQ(present.Named("SetHudItemIcon")[0], "SetHudItemIcon(0, 10)");

    // When the last goes the items are emptied once, then left alone.
    present.calls.clear();
    UpdatePlayerEffects(player, 0);
    EXPECT_EQ(present.Count("SetHudItemIcon"), 8u);
    EXPECT_EQ(present.Named("SetHudItemIcon")[7], "SetHudItemIcon(7, -1)");
    present.calls.clear();
    UpdatePlayerEffects(player, 250);
    EXPECT_EQ(present.Count("SetHudItemIcon"), 0u);
}

// ---- Heal, target, dispell, teleport ----------------------------------------------------------

TEST_F(Effects, AHealOfNarrowSpreadStillHealsOneOfTwoAmounts) {
    const struct {
        int min, max, low, high;
    } cases[] = {{10, 11, 10, 11}, {10, 10, 10, 11}, {10, 20, 10, 19}};
    for (const auto& c : cases) {
        CSpellHeal& h = MakeSpell<CSpellHeal>(1, SPELL_HEAL);
        h.min = c.min;
        h.max = c.max;
        bool seen[2] = {};
        for (int i = 0; i < 40; ++i) {
            WorldObjectTable[enemy].hit_points = 100;
            WorldObjectTable[enemy].max_hits = 1000;
            EXPECT_EQ(h.ObjectCast(enemy, 0), 1);
            const int healed = WorldObjectTable[enemy].hit_points - 100;
            EXPECT_GE(healed, c.low);
            EXPECT_LE(healed, c.high);
            seen[healed == c.low ? 0 : 1] = true;
        }
        EXPECT_TRUE(seen[0] && seen[1]) << c.min << " " << c.max;
    }
    WorldObjectTable[enemy].hit_points = 995;
    MakeSpell<CSpellHeal>(1, SPELL_HEAL).min = 30;
    static_cast<CSpellHeal*>(GetSpell(1))->ObjectCast(enemy, 0);
    EXPECT_EQ(WorldObjectTable[enemy].hit_points, 1000) << "not above the maximum";
}

TEST_F(Effects, ATargetSpellCarriesItsEffectToTheChosenPlayer) {
    Effect(5, 6, 3, 40000);
    CSpellTarget& t = MakeSpell<CSpellTarget>(1, SPELL_TARGET);
    t.target_spell_effect = 5;
    t.effect_sound = 4;
    t.range = 300;
    SetGameValue(115, 1);
    OnlineSends online;

    EXPECT_EQ(t.Cast(player), 0) << "no target chosen";
    TargetPlayerId = kEnemy;
    EXPECT_EQ(t.Cast(player), 1);
    EXPECT_EQ(GetObjectEffect(enemy, 6, 0), 40000);
    EXPECT_STREQ(g_screen.noticeLines[0], "Your spell affects Enemy");
    const std::vector<SentFrame> sent = SentFrames();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].code, F_TARGETTED);
    // Spell 1 of reach 300 from player 7 at player 30, no caster effect, target effect 5, no resist.
    EXPECT_EQ(sent[0].body, (Bytes{0, 1, 0x01, 0x2C, 0, 7, 0, kEnemy, 0, 0, 0, 5, 0, 0, 0, 0}));

    // Still more than 30000 ms at the same level: told, paid, nothing changed.
    ResetSendRing();
    WorldObjectTable[enemy].effects[0].remaining = 30001;
    EXPECT_EQ(t.Cast(player), 1);
    EXPECT_STREQ(g_screen.noticeLines[0], "That player already has this effect!");
    EXPECT_EQ(GetObjectEffect(enemy, 6, 0), 30002);
    EXPECT_TRUE(SentFrames().empty());
    WorldObjectTable[enemy].effects[0].remaining = 29999;
    EXPECT_EQ(t.Cast(player), 1);
    EXPECT_EQ(GetObjectEffect(enemy, 6, 0), 40000) << "at 30000 or less it is renewed";
    WorldObjectTable[enemy].effects[0].level = 2;
    WorldObjectTable[enemy].effects[0].remaining = 35000;
    t.Cast(player);
    EXPECT_EQ(WorldObjectTable[enemy].effects[0].level, 3) << "a weaker effect is replaced";

    WorldObjectTable[enemy].dead = 1;
    EXPECT_EQ(t.Cast(player), 0) << "not on a ghost";
}

TEST_F(Effects, ATargetSpellOnTheCasterOrLinkedWronglyCastsNothingElse) {
    Effect(5, 6, 3, 40000);
    CSpellTarget& t = MakeSpell<CSpellTarget>(1, SPELL_TARGET);
    t.target_spell_effect = 5;
    TargetPlayerId = 7;
    EXPECT_EQ(t.Cast(player), 1);
    EXPECT_EQ(player.effects[6].active, 1) << "the own player takes the effect himself";

    // A caster effect that names the target spell itself is skipped, not recursed into.
    TargetPlayerId = kEnemy;
    t.caster_spell_effect = 1;
    EXPECT_EQ(t.Cast(player), 1);
    EXPECT_EQ(GetObjectEffect(enemy, 6, 0), 40000);

    CSpellEffect& refused = Effect(6, 21, 1, 1000);  // the caster has too many hit points
    (void)refused;
    SetGameValue(107, 5000);
    t.caster_spell_effect = 6;
    RemoveObjectEffect(enemy, 6);
    EXPECT_EQ(t.Cast(player), 1) << "an effect spell's Cast always succeeds";

    t.target_spell_effect = 1;  // not an effect spell
    EXPECT_EQ(t.Cast(player), 0);
    TargetPlayerId = 7;
    EXPECT_EQ(t.Cast(player), 0) << "on the caster, too, nothing to carry is no cast";
}

TEST_F(Effects, AGroupTargetTakesTheTeamMateAheadOrFallsBackOnTheCaster) {
    Effect(5, 6, 3, 40000);
    CSpellTarget& t = MakeSpell<CSpellTarget>(1, SPELL_TARGET);
    t.target_spell_effect = 5;
    t.group = 1;
    Place(4000, 4000, 0);  // the mate stands 100 ahead, the enemy behind him
    EXPECT_EQ(t.Cast(player), 1);
    EXPECT_EQ(GetObjectEffect(mate, 6, 0), 40000);
    EXPECT_STREQ(g_screen.noticeLines[0], "Your spell affects Mate");

    Place(4000, 4000, 2048);  // nobody ahead
    EXPECT_EQ(t.Cast(player), 0);
    EXPECT_EQ(player.effects[6].active, 0);
    t.group = 2;
    EXPECT_EQ(t.Cast(player), 1);
    EXPECT_EQ(player.effects[6].active, 1);
    t.target_spell_effect = 1;  // not an effect spell: the fall-back has nothing to cast
    EXPECT_EQ(t.Cast(player), 0);
}

TEST_F(Effects, DispellsWearDownWallsAndFindRunes) {
    const int bare = MakeThin(3900, 4070, 4100, 4070, THIN_SPELL);  // found first: slot order
    const int wall = MakeThin(3900, 4050, 4100, 4050, THIN_SPELL);
    ThinTable[wall].hit_points = 50;
    CSpellDispell& d = MakeSpell<CSpellDispell>(1, SPELL_DISPELL);
    d.dispell_type = 1;
    d.range = 200;
    d.level = 20;
    SetGameValue(115, 1);
    OnlineSends online;
    g_linkState = 1;
    EXPECT_EQ(d.Cast(player), 1);
    EXPECT_EQ(ThinTable[wall].hit_points, 50) << "the first wall found has no hit points";
    DestroyThin(bare);
    EXPECT_EQ(d.Cast(player), 1);
    EXPECT_EQ(ThinTable[wall].hit_points, 30);
    EXPECT_TRUE(SentFrames().empty()) << "offline nothing is sent";
    g_linkState = 2;
    EXPECT_EQ(d.Cast(player), 1);
    EXPECT_EQ(ThinTable[wall].hit_points, 30) << "online the service damages it";
    // From (4000, 4000, 48) facing 0: level 20, range 200, spell 1, type 1.
    EXPECT_EQ(SentCodes(), std::vector<int>{F_DISPELL});
    EXPECT_EQ(SentFrames().at(0).body, (Bytes{0x0F, 0xA0, 0x0F, 0xA0, 0, 48, 0, 0, 0, 20, 0, 200, 0, 1, 1, 0}));
    DestroyThin(wall);

    // The type the service is told, from the one dispell frame sent, else 0.
    auto dispelled = [] {
        const std::vector<SentFrame> sent = SentFrames();
        ResetSendRing();
        EXPECT_LE(sent.size(), 1u);
        return sent.size() == 1 && sent[0].code == F_DISPELL ? sent[0].body.at(14) : 0;
    };
    ResetSendRing();
    d.dispell_type = 3;
    d.range = 384;
    EXPECT_EQ(d.Cast(player), 1);
    EXPECT_EQ(dispelled(), 0) << "no rune ahead";
    const int rune = Live(OBJ_SPELL, 4000, 4060);
    WorldObjectTable[rune].team = 2;
    WorldObjectTable[rune].rune_type = 1;
    WorldObjectTable[rune].width = 16;
    WorldObjectTable[rune].tall = 32;
    WorldObjectTable[mate].active = 0;
    EXPECT_EQ(d.Cast(player), 1);
    EXPECT_EQ(dispelled(), 3);
    WorldObjectTable[rune].rune_type = 2;
    d.Cast(player);
    EXPECT_EQ(dispelled(), 0) << "wards do not count";
    d.dispell_type = 2;
    d.Cast(player);
    EXPECT_EQ(dispelled(), 0);
    d.dispell_type = 6;
    d.Cast(player);
    EXPECT_EQ(dispelled(), 6);
}

TEST_F(Effects, ATeleportReachesARestedTeamMatesGhost) {
    OnlineSends online;
    GameClock = 300000;  // 30 s
    CSpellTeleport& t = MakeSpell<CSpellTeleport>(1, SPELL_TELEPORT);
    t.teleport_type = 1;
    PlayerTable[enemyEntry].dead = 1;
    EXPECT_EQ(t.Cast(player), 0) << "an enemy's ghost is not reached";
    PlayerTable[mateEntry].dead = 1;
    PlayerTable[mateEntry].status_time = 15000;
    EXPECT_EQ(t.Cast(player), 0) << "the ghost changed 15 s ago";
    PlayerTable[mateEntry].status_time = 10000;
    EXPECT_EQ(t.Cast(player), 0) << "20 s to the millisecond is not yet rested";
    PlayerTable[mateEntry].status_time = 9999;
    WorldObjectTable[mate].active = 0;
    EXPECT_EQ(t.Cast(player), 0) << "no figure";
    WorldObjectTable[mate].active = 1;

    EXPECT_EQ(t.Cast(player), 1);
    EXPECT_STREQ(g_screen.noticeLines[0], "You teleport to Mate's Ghost");
    EXPECT_EQ(view.x, 4000);
    EXPECT_EQ(view.y, 4100);
    EXPECT_EQ(view.pos_y, 4100 << 16);
    EXPECT_EQ(view.z, 48);
    // Player 7 to ghost 20, kind 1; then the own state from the ghost's place.
    std::vector<SentFrame> sent = SentFrames();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].code, F_TELEPORT);
    EXPECT_EQ(sent[0].body, (Bytes{0, 7, 0, kMate, 1, 0, 0, 0}));
    EXPECT_EQ(sent[1].code, F_PLAYER_STATE);
    auto place = [&](int at) { return (sent[1].body.at(at) << 8 | sent[1].body.at(at + 1)) & 0x1FFF; };
    EXPECT_EQ(place(4), 4000);
    EXPECT_EQ(place(6), 4100);

    ResetSendRing();
    t.teleport_type = 2;
    EXPECT_EQ(t.Cast(player), 1);
    EXPECT_STREQ(g_screen.noticeLines[0], "You call Mate's Ghost to you");
    EXPECT_EQ(PlayerTable[mateEntry].status_time, 30000u);
    EXPECT_EQ(t.Cast(player), 0) << "rested no more";
    sent = SentFrames();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].code, F_TELEPORT);
    EXPECT_EQ(sent[0].body, (Bytes{0, 7, 0, kMate, 2, 0, 0, 0}));

    // The last entry of the table is searched too.
    const int late = UpdatePlayerTable(40, 0, 2, "Late");
    ASSERT_EQ(late, PlayerTableTop);
    Figure(40, 2, 4100, 4000);
    PlayerTable[late].dead = 1;
    EXPECT_EQ(t.Cast(player), 1);
    EXPECT_STREQ(g_screen.noticeLines[0], "You call Late's Ghost to you");
}

}  // namespace

namespace {

// Levels and dice come from spell data: values far past anything a real spell holds give the
// saturated answer, never a wrapped one (the sanitizer build checks for overflow on the way).
TEST_F(Effects, SpellLevelsOfAnySizeGiveSaneResults) {
    constexpr int kMax = INT32_MAX, kMin = INT32_MIN;
    const struct Case {
        int effect, level;
        int hits, fatigue, maxFatigue, speed;
        int taken, wantFatigue, wantSpeed, turnsAtMost;
    } cases[] = {
        // 21 is taken only at or under level x 100 hit points: x 100 must not wrap.
        {21, kMax, 500, 0, 0, 0, 1, 0, 0, 0},
        {21, kMax / 100 + 1, kMax, 0, 0, 0, 1, 0, 0, 0},
        {21, kMin, 0, 0, 0, 0, 0, 0, 0, 0},
        {21, -1, 0, 0, 0, 0, 0, 0, 0, 0},
        // 22 takes level % of the maximum fatigue, never below 0 nor past the int range.
        {22, kMax, 0, 9000, kMax, 0, 1, 0, 0, 0},
        {22, 100, 0, kMax, kMax, 0, 1, 0, 0, 0},
        {22, kMin, 0, 9000, kMax, 0, 1, kMax, 0, 0},
        {22, -100, 0, 9000, 10000, 0, 1, 19000, 0, 0},
        // 23 slows by the level, to 0 at the least.
        {23, kMax, 0, 0, 0, 200, 1, 0, 0, 0},
        {23, kMin, 0, 0, 0, 200, 1, 0, 200, 0},
        // 24 turns by up to a whole turn however large the level; negative levels do not turn.
        {24, kMax, 0, 0, 0, 0, 1, 0, 0, 4096},
        {24, kMin, 0, 0, 0, 0, 1, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "effect " << c.effect << " level " << c.level);
        player.effects[c.effect] = PlayerEffect{};
        SetGameValue(107, c.hits);
        SetGameValue(111, c.fatigue);
        SetGameValue(112, c.maxFatigue);
        view.speed = c.speed;
        view.facing = 100;
        EXPECT_EQ(Effect(1, c.effect, c.level, 0).AffectPlayer(player, 7, 0), c.taken);
        if (c.effect == 22)
            EXPECT_EQ(GetGameValue(111), c.wantFatigue);
        if (c.effect == 23)
            EXPECT_EQ(view.speed, c.wantSpeed);
        if (c.effect == 24) {
            EXPECT_GE(view.facing, 0);
            EXPECT_LT(view.facing, 4096);
            if (!c.turnsAtMost)
                EXPECT_EQ(view.facing, 100);
        }
    }
}

TEST_F(Effects, DiceOfAnySizeRollASaturatedSum) {
    constexpr int kMax = INT32_MAX, kMin = INT32_MIN;
    const struct Case {
        int dice, count, base;
        int64_t atLeast, atMost;
    } cases[] = {
        {1, kMax, 0, 65535, 65535},  // at most 65535 dice are rolled
        {1, 65536, 7, 65542, 65542},
        {kMax, 65535, 0, 65535, int64_t{65535} * 32768},
        {kMax, 65535, kMax - 1000, kMax, kMax},  // the sum stops at the int limit
        {10, 2, kMax, kMax, kMax},
        {6, 3, kMin, int64_t{kMin} + 3, int64_t{kMin} + 18},
        {kMax, 1, -1, 0, kMax - 1},
        {kMin, 5, 3, 0, 0},
        {6, kMin, 3, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dice << " x " << c.count << " + " << c.base);
        const int r = RollDice(c.dice, c.count, c.base);
        EXPECT_GE(r, c.atLeast);
        EXPECT_LE(r, c.atMost);
    }
}

}  // namespace
