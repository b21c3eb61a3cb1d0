#include "client/arena/object_frame.h"

#include <cstdio>
#include <map>
#include <string>

#include "client/arena/monster_think.h"
#include "client/arena/object_update.h"
#include "client/core/game_values.h"
#include "common/random.h"
#include "tests/client/arena/room_fixture.h"

namespace {

// A room of cells 0..31 on each axis: floor 0, ceiling 1000, nothing above.
class Frames : public RoomFixture {
protected:
    Frames() {
        Room(32, 1000, 2000);
        view.x = 1500;
        view.y = 1500;
        view.z = 48;
        SetGameValue(118, 7);
        GameSrand(3);
    }
    // Monster generator n, active, making kind 3 at (900, 900): up to maximum of them, with the
    // percent chance, its timer and reload.
    static Generator& MonsterGenerator(int n, int maximum, int chance, int timer, int reload) {
        Generator& g = g_level.monsterGens[n];
        g = Generator{};
        g.active = 1;
        g.kind = 3;
        g.maximum = maximum;
        g.chance = chance;
        g.timer = timer;
        g.reload = reload;
        g.x = g.y = 900;
        return g;
    }
};

TEST_F(Frames, AFrameIsWalkedInPiecesOfEight) {
    // Facing 0 walks up y; 2000 for 10 ms is 20 units: pieces end at 108, 116 and 120.
    const int free = Object(OBJ_PLAYER, 100, 100, 0, 4, 40);
    O(free).speed = 2000;
    BuildCollisionLists();
    MoveWorldObject(player, free, 100);
    EXPECT_EQ(O(free).y, 120);
    EXPECT_EQ(O(free).pos_y, 120 << 16);
    EXPECT_EQ(O(free).x, 100);

    const int walker = Object(OBJ_PLAYER, 300, 100, 0, 8, 40);
    Object(OBJ_STATIC, 300, 131, 0, 8, 40);
    O(walker).speed = 2000;
    BuildCollisionLists();
    MoveWorldObject(player, walker, 100);
    EXPECT_EQ(O(walker).y, 108) << "the piece to 116 met the static and the walk ended";
    EXPECT_EQ(O(walker).speed, 0);
}

TEST_F(Frames, ObjectsLeavingTheWorldAreFreed) {
    const int high = Object(OBJ_SPELL, 500, 500, 760, 2, 2);
    g_level.plane[kPlaneCeiling][CellIndex(500 >> 6, 500 >> 6)] = 1200;
    O(high).z_speed = 1000;
    BuildCollisionLists();
    MoveWorldObject(player, high, 100);
    EXPECT_NE(O(high).active, 1) << "above 768";

    const int low = Object(OBJ_SPELL, 10, 500, 10, 0, 2);
    O(low).facing = 1024;  // towards -x
    O(low).speed = 3000;
    BuildCollisionLists();
    MoveWorldObject(player, low, 100);
    EXPECT_NE(O(low).active, 1) << "below 0";
}

TEST_F(Frames, GravityPullsAndTheFloorCatches) {
    const int s = Object(OBJ_MOVING, 600, 600, 10, 4, 20);
    O(s).gravity = 1;
    O(s).max_step = 32;
    O(s).z_speed = 0;
    O(s).state_bits = 0;
    BuildCollisionLists();
    MoveWorldObject(player, s, 1000);  // 100 ms: loses 30 of z_speed, falls 3
    EXPECT_EQ(O(s).z_speed, -30);
    EXPECT_EQ(O(s).z, 7);
    for (int i = 0; i < 5; ++i)
        MoveWorldObject(player, s, 1000);
    EXPECT_EQ(O(s).z, 0) << "put back on the floor";
    EXPECT_EQ(O(s).z_speed, 0);
}

TEST_F(Frames, LifetimesRunOut) {
    const int endless = Object(OBJ_SPELL, 700, 700, 10, 2, 2);
    O(endless).duration_timer = 268435455;
    TickObjectLifetime(player, endless, 100);
    EXPECT_EQ(O(endless).active, 1);
    EXPECT_EQ(O(endless).duration_timer, 268435454);
    TickObjectLifetime(player, endless, 100);
    EXPECT_NE(O(endless).active, 1) << "ends on the second update";

    const int timed = Object(OBJ_SPELL, 700, 710, 10, 2, 2);
    O(timed).duration_timer = 100;
    TickObjectLifetime(player, timed, 500);
    EXPECT_EQ(O(timed).duration_timer, 50);
    TickObjectLifetime(player, timed, 489);
    EXPECT_EQ(O(timed).duration_timer, 2);
    EXPECT_EQ(O(timed).active, 1);
    TickObjectLifetime(player, timed, 10);
    EXPECT_NE(O(timed).active, 1) << "1 or below ends it";

    const int lowest = Object(OBJ_SPELL, 700, 720, 10, 2, 2);
    O(lowest).duration_timer = INT32_MIN;  // from spell data
    TickObjectLifetime(player, lowest, 100);
    EXPECT_NE(O(lowest).active, 1);
}

TEST_F(Frames, DyingImagesEndAfterOnePeriodUnlessTheyHaveNone) {
    const int dying = Object(OBJ_DYING, 800, 800, 0, 2, 2);
    O(dying).image_cycles = -1;
    O(dying).image_timer_max = 100;
    AdvanceObjectImage(dying, 990);
    EXPECT_EQ(O(dying).active, 1);
    AdvanceObjectImage(dying, 10);
    EXPECT_NE(O(dying).active, 1);

    const int stuck = Object(OBJ_DYING, 800, 810, 0, 2, 2);
    O(stuck).image_cycles = -1;
    O(stuck).image_timer_max = 0;
    for (int i = 0; i < 10; ++i)
        AdvanceObjectImage(stuck, 10000);
    EXPECT_EQ(O(stuck).active, 1) << "no image clock, no end";
}

TEST_F(Frames, GeneratorsFireOnTheirTimerAndChance) {
    Generator& g = MonsterGenerator(0, 1, 100, 50, 1000);
    UpdateObjects(player, 500);
    EXPECT_EQ(LiveMonsterCount[3], 0);
    UpdateObjects(player, 10);
    EXPECT_EQ(LiveMonsterCount[3], 1);
    EXPECT_EQ(g.timer, 1000);
    g_linkState = 2;
    g.maximum = 5;
    g.timer = -1;
    UpdateObjects(player, 10);
    EXPECT_EQ(LiveMonsterCount[3], 1) << "online the service makes monsters";
}

// Step 4's death rule over a standing figure of each sort: the living, and the newly dead while
// their death timer runs, see every figure but dead players; a ghost sees only those. Whatever
// stands still is hidden and shown again as the rule changes.
TEST_F(Frames, TheDeadSeeOnlyTheDeadOnceTheirTimerRunsOut) {
    auto figure = [&](int type, int x, int dead) {
        const int s = Object(type, x, 1000, 0, 8, 40);
        O(s).figure = static_cast<int16_t>(100 + s);
        O(s).dead = static_cast<uint16_t>(dead);
        return 100 + s;
    };
    const int live = figure(OBJ_PLAYER, 1000, 0), dead = figure(OBJ_PLAYER, 1100, 1),
              monster = figure(OBJ_MOVING, 1200, 0), fixture = figure(OBJ_STATIC, 1300, 0);
    const struct {
        const char* what;
        int playerDead, timer;
        bool live, dead, monster, fixture;  // shown
    } rows[] = {
        {"alive", 0, 0, true, false, true, true},
        {"dead, the timer running", 1, 3000, true, false, true, true},
        {"dead, the timer over", 1, 0, false, true, false, false},
        {"raised", 0, 0, true, false, true, true},
    };
    std::map<int, bool> shown;
    for (const auto& r : rows) {
        player.dead = r.playerDead;
        g_actionState.death_timer = r.timer;
        for (int i = 0; i < 4; ++i)
            present.Script("IsFigureOnScreen", 1);
        present.calls.clear();
        UpdateObjects(player, 100);
        for (const std::string& call : present.calls) {
            int f = 0, flag = 0;
            if (std::sscanf(call.c_str(), "ShowObjectFigure(%d)", &f) == 1)
                shown[f] = true;
            else if (std::sscanf(call.c_str(), "SetFigureFirstPersonVisibility(%d, %d)", &f, &flag) == 2 && !flag)
                shown[f] = false;
        }
        EXPECT_EQ(shown[live], r.live) << r.what;
        EXPECT_EQ(shown[dead], r.dead) << r.what;
        EXPECT_EQ(shown[monster], r.monster) << r.what;
        EXPECT_EQ(shown[fixture], r.fixture) << r.what;
    }
    player.dead = 0;
}

// The update turns what has a turn rate, and moves other players' figures sideways while they
// strafe: 110 a second standing, 73 crawling (pose 1), bit 4 to one side and bit 5 to the other.
TEST_F(Frames, TheUpdateTurnsAndStrafes) {
    const int spinner = Object(OBJ_STATIC, 400, 400, 0, 4, 10);
    O(spinner).turn_rate = 2000;
    O(spinner).facing = 4000;
    const struct {
        int bits, pose, side;
    } cases[] = {
        {1 | 16, 0, -110}, {1 | 32, 0, 110}, {1 | 16, 1, -73}, {1 | 32, 1, 73}, {16, 0, 0}, {1, 0, 0},
    };
    int x = 600;
    for (const auto& c : cases) {
        const int s = Object(OBJ_PLAYER, x, 600, 0, 8, 40);
        O(s).state_bits = static_cast<uint16_t>(c.bits);
        O(s).pose = static_cast<uint16_t>(c.pose);
        x += 200;
    }
    UpdateObjects(player, 1000);
    EXPECT_EQ(O(spinner).facing, (4000 + 200) & 4095);
    x = 600;
    for (int k = 0; k < 6; ++k, x += 200) {
        const int s = spinner + 1 + k;
        // A tenth of a second of the side speed, in 16.16.
        EXPECT_EQ(O(s).pos_x, (x << 16) + cases[k].side * 65536 / 10) << cases[k].bits << " pose " << cases[k].pose;
        EXPECT_EQ(O(s).pos_y, 600 << 16);
    }
}

// Offline every live monster with a decision interval thinks in the update; online the service
// decides for them, and a figure without an interval never does.
TEST_F(Frames, MonstersThinkInTheUpdateOnlyOffline) {
    for (int link : {1, 2}) {
        ClearWorldObjects();
        g_linkState = link;
        const int m = Object(OBJ_MOVING, 700, 700, 0, 8, 40);
        O(m).command = CMD_STAND;
        O(m).max_action_timer = 1000;
        O(m).action_timer = 5;
        const int still = Object(OBJ_MOVING, 900, 700, 0, 8, 40);
        O(still).command = CMD_STAND;
        O(still).action_timer = 5;
        UpdateObjects(player, 100);
        EXPECT_EQ(O(m).action_timer, link == 1 ? 1000 : 5) << link;
        EXPECT_EQ(O(still).action_timer, 5) << link;
    }
    g_linkState = 1;
}

// A generator's percent chance is a strict bound on the roll: a roll equal to it does not fire.
TEST_F(Frames, AGeneratorFiresOnARollBelowItsChance) {
    GameSrand(11);
    const int roll = GameRand() % 100;
    for (int chance : {roll, roll + 1}) {
        ClearWorldObjects();
        MonsterGenerator(0, 5, chance, 0, 1000);
        GameSrand(11);
        UpdateObjects(player, 10);
        EXPECT_EQ(LiveMonsterCount[3], chance > roll ? 1 : 0) << "roll " << roll << ", chance " << chance;
    }
}

// Every monster generator rolls before the first effect generator: the random sequence, and with
// it a new monster's facing, follows that order.
TEST_F(Frames, MonsterGeneratorsRollBeforeEffectGenerators) {
    ClearWorldObjects();
    const Generator& monsters = MonsterGenerator(1, 5, 100, 0, 1000);
    Generator& effects = g_level.effectGens[0];
    effects = Generator{};
    effects.active = 1;
    effects.chance = 100;
    effects.reload = 1000;
    effects.x = effects.y = 100;  // beyond the player's 512: it rolls and makes nothing
    GameSrand(5);
    GameRand();                                // the monster generator's roll
    const int facing = GameRand() & 4095;      // the new monster's facing
    GameSrand(5);
    UpdateObjects(player, 10);
    ASSERT_EQ(LiveMonsterCount[3], 1);
    EXPECT_EQ(O(monsters.object).facing, facing);
    effects.active = 0;
}

// world.dat's timers may be anything an int holds: the lowest fires every frame, without wrapping.
TEST_F(Frames, GeneratorTimersOfAnySizeFireOrWait) {
    struct Case {
        int timer, reload, frames, made;
    } cases[] = {
        {INT32_MIN, INT32_MIN, 3, 3},
        {INT32_MAX, INT32_MAX, 3, 0},
        {0, INT32_MIN, 3, 3},
    };
    for (const Case& c : cases) {
        ClearWorldObjects();
        MonsterGenerator(0, 5, 100, c.timer, c.reload);
        for (int f = 0; f < c.frames; ++f)
            UpdateObjects(player, 10);
        EXPECT_EQ(LiveMonsterCount[3], c.made) << c.timer << " " << c.reload;
    }
}

}  // namespace
