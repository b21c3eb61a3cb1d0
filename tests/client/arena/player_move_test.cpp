#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/arena/player_control.h"
#include "client/arena/player_effects.h"
#include "client/arena/player_move.h"
#include "client/arena/player_status.h"
#include "client/arena/spell_objects.h"
#include "client/screens/screen_surface.h"
#include "client/core/game_clock.h"
#include "tests/client/arena/arena_fixture.h"
#include "tests/support/sent_frames.h"

namespace {

class PlayerMove : public ArenaFixture {
protected:
    PlayerMove() {
        ClearActionState();
        DebugToggle = 0;
        PendingDoorTrigger = 0;
        SetGameValue(5, 50);   // stat 0
        SetGameValue(13, 50);  // stat 8
        SetGameValue(14, 50);  // stat 9
        SetGameValue(107, 1000);
        SetGameValue(108, 1000);
        player.min_pitch = -90;
        player.max_pitch = 90;
        GameClock = 100000;
        FrameDelta = 1000;  // 100 ms
        control = PlayerControl{};
        control.yaw = control.pitch = -1;
    }
    ~PlayerMove() override { FrameDelta = 0; }

    void Frames(int n) {
        for (int i = 0; i < n; ++i) {
            GameClock += static_cast<uint32_t>(FrameDelta);
            RunPlayerMovement(player, control);
        }
    }
    void Effect(int n, int level) {
        player.effects[n].active = 1;
        player.effects[n].level = level;
    }

    PlayerControl control{};
};

TEST_F(PlayerMove, RunningSpeedFollowsTheStatAndTheWounds) {
    struct Case {
        int stat, hits;
        bool fast;
        int speed;
    } cases[] = {
        {50, 1000, true, 192},
        {150, 1000, true, 211},
        {0, 1000, true, 192 - 192 * 50 * 5 / 5000},
        {50, 1000, false, 110},
        // Below a quarter of the hit points a runner loses a twentieth, then more with the wound.
        {50, 250, true, 192},  // exactly a quarter is not below it
        {50, 200, true, 183 - 183 * 50 / 1000},
        {50, 200, false, 110},
        // Hit points below 0 (as the service may report them) slow no more than none left.
        {50, 0, true, 183 - 183 * 250 / 1000},
        {50, -30000, true, 183 - 183 * 250 / 1000},
    };
    for (const Case& c : cases) {
        SetGameValue(13, c.stat);
        SetGameValue(107, c.hits);
        Place(4000, 2000, 0);
        view.speed = 0;
        control.forward = 1000;
        control.fast = c.fast ? 1000 : 0;
        Frames(12);
        EXPECT_EQ(view.speed, c.speed) << c.stat << " " << c.hits << " " << c.fast;
        EXPECT_EQ(player.mode, 0);
    }
}

TEST_F(PlayerMove, EachDirectionHasItsLimit) {
    struct Case {
        const char* what;
        int forward, backward, left, right, crawl, stat0;
        int speed, strafe, bits;
    } cases[] = {
        {"walking", 1000, 0, 0, 0, 0, 50, 110, 0, 0},
        {"backwards: three quarters", 0, 1000, 0, 0, 0, 50, -82, 0, 0},
        {"sliding left", 0, 0, 1000, 0, 0, 50, 0, 110, 17},
        {"sliding right", 0, 0, 0, 1000, 0, 50, 0, -110, 34},
        {"sliding by stat 0 at 150", 0, 0, 1000, 0, 0, 150, 0, 121, 17},
        {"sliding by stat 0 at 0", 0, 0, 0, 1000, 0, 0, 0, -105, 34},
        {"crawling forward", 1000, 0, 0, 0, 1000, 50, 73, 0, 0},
        {"crawling backwards", 0, 1000, 0, 0, 1000, 50, -54, 0, 0},
        {"crawling sideways: two thirds", 0, 0, 1000, 0, 1000, 50, 0, 73, 17},
    };
    for (const Case& c : cases) {
        SetGameValue(5, c.stat0);
        Place(4000, 4000, 0);
        player.mode = 0;
        player.eye_height = player.normal_eye_height;
        view.speed = view.strafe_speed = 0;
        control.forward = c.forward;
        control.backward = c.backward;
        control.slide_left = c.left;
        control.slide_right = c.right;
        control.crawl = c.crawl;
        Frames(12);
        EXPECT_EQ(view.speed, c.speed) << c.what;
        EXPECT_EQ(view.strafe_speed, c.strafe) << c.what;
        EXPECT_EQ(player.strafe_bits, c.bits) << c.what;
    }
}

TEST_F(PlayerMove, LettingGoSlowsDownAQuarterAsFastInTheAir) {
    struct Case {
        int mode, speed, after, target;
    } cases[] = {
        {0, 100, 75, -110},  // 250 a second on the ground: 25 in 100 ms
        {0, -100, -75, 110},
        {0, 20, 0, 0},       // stops rather than turning round
        {0, 25, 0, 0},       // exactly to a stop
        {0, -25, 0, 0},
        {2, 100, 99, -110},  // in the air 62 a second, a quarter of it
    };
    for (const Case& c : cases) {
        Place(4000, 4000, 0);
        view.z += c.mode == 2 ? 100 : 0;
        player.mode = c.mode;
        control = PlayerControl{};
        control.yaw = control.pitch = -1;
        SetMovementParameters(player, control);
        view.speed = c.speed;
        AccelerateForward(player, control);
        EXPECT_EQ(view.speed, c.after) << c.mode << " " << c.speed;
        EXPECT_EQ(view.target_speed, c.target) << c.mode << " " << c.speed;
    }
    // In the air the keys steer nothing: the speed of the jump is kept.
    const struct {
        int PlayerControl::*key;
        int speed;
    } held[] = {{&PlayerControl::forward, 50}, {&PlayerControl::backward, -50}};
    for (const auto& [key, speed] : held) {
        Place(4000, 4000, 0);
        view.z += 100;
        player.mode = 2;
        control = PlayerControl{};
        control.yaw = control.pitch = -1;
        control.*key = 1000;
        SetMovementParameters(player, control);
        view.speed = view.target_speed = speed;
        AccelerateForward(player, control);
        EXPECT_EQ(view.speed, speed);
        EXPECT_EQ(view.target_speed, speed);
    }
}

TEST_F(PlayerMove, SlowingFactorsNeverTurnBackwards) {
    Place(4000, 4000, 0);
    struct Case {
        int slowLevel, hasteLevel, cellSlowing, maxSpeed, maxTurn;
    } cases[] = {
        {0, 0, 0, 110, 1750},   {50, 0, 0, 55, 875}, {150, 0, 0, 0, 0},
        {0, 50, 0, 165, 2625},  {0, 0, 30, 55, 875}, {0, 0, 90, 0, 0},
    };
    for (const Case& c : cases) {
        ClearPlayerEffects(player);
        if (c.slowLevel)
            Effect(11, c.slowLevel);
        if (c.hasteLevel)
            Effect(16, c.hasteLevel);
        g_level.plane[kPlaneMarker][CellIndex(4000 >> 6, 4000 >> 6)] = static_cast<int16_t>(c.cellSlowing);
        g_level.plane[kPlaneLiquidDepth][CellIndex(4000 >> 6, 4000 >> 6)] = 40;  // the feet are in it
        view.z = GetStandHeight(4000, 4000, 0);
        SetMovementParameters(player, control);
        EXPECT_EQ(view.max_speed, c.maxSpeed) << c.slowLevel << " " << c.hasteLevel << " " << c.cellSlowing;
        EXPECT_EQ(view.max_turn_speed, c.maxTurn);
        EXPECT_GE(view.acceleration, 0);
    }
}

TEST_F(PlayerMove, StepsOf38AreClimbedAnd39AreNot) {
    for (int step : {38, 39}) {
        for (int cx = 60; cx < 66; ++cx)
            SetCell(cx, 4032 >> 6, 0, step, 256);
        Place(4000, 3990, 0);
        view.speed = 0;
        control.forward = 1000;
        Frames(6);
        if (step == 38) {
            EXPECT_GT(view.y, 4032) << step;
            EXPECT_EQ(view.z, 38 + 48);
        } else {
            // Whole pieces are refused: the last one that fitted ends within 8 of the edge.
            EXPECT_LE(view.y, 4032 - 28 - 1) << step;
            EXPECT_GT(view.y, 4032 - 28 - 1 - 8) << step;
            EXPECT_EQ(view.z, 48);
        }
    }
}

TEST_F(PlayerMove, LowCorridorsAreCrawledOrRefused) {
    struct Case {
        int ceiling;
        bool crawl, enters;
    } cases[] = {
        {256, false, true}, {40, false, false}, {40, true, true}, {33, true, false},
    };
    for (const Case& c : cases) {
        for (int cx = 60; cx < 66; ++cx)
            for (int cy = 4032 >> 6; cy < (4032 >> 6) + 3; ++cy)
                SetCell(cx, cy, 0, 0, c.ceiling);
        Place(4000, 3990, 0);
        player.eye_height = 48;
        view.z = 48;
        control.forward = 1000;
        control.crawl = c.crawl ? 1000 : 0;
        Frames(20);
        EXPECT_EQ(view.y > 4032, c.enters) << c.ceiling << " " << c.crawl;
        if (c.enters && c.crawl) {
            EXPECT_EQ(player.mode, 1);
            EXPECT_EQ(view.z, 24);
            // Too low to stand: letting go of the crawl key keeps the player down.
            control.crawl = 0;
            Frames(1);
            EXPECT_EQ(player.mode, 1);
        }
    }
}

// While the death timer runs, to its last unit, the player stands still whatever is held.
TEST_F(PlayerMove, TheDeadDoNotMove) {
    Place(4000, 4000, 0);
    player.eye_height = player.crawl_eye_height;
    view.speed = view.strafe_speed = view.z_speed = 100;
    g_actionState.death_timer = 1;
    control.forward = control.slide_left = control.crawl = 1000;
    SetMovementParameters(player, control);
    EXPECT_EQ(view.speed, 0);
    EXPECT_EQ(view.strafe_speed, 0);
    EXPECT_EQ(view.z_speed, 0);
    EXPECT_EQ(view.max_speed, 0);
    EXPECT_EQ(view.max_turn_speed, 0);
    EXPECT_EQ(player.bob_height, 0);
    EXPECT_EQ(player.eye_height, player.normal_eye_height);
    g_actionState.death_timer = 0;
}

TEST_F(PlayerMove, CrouchingLowersTheEyeAndStandingRaisesItAgain) {
    Place(4000, 4000, 0);
    ASSERT_EQ(view.z, 48);
    const struct {
        int crawl, mode, eye;
    } steps[] = {{1000, 1, 24}, {0, 0, 48}};
    for (const auto& s : steps) {
        control.crawl = s.crawl;
        Frames(1);
        EXPECT_EQ(player.mode, s.mode);
        EXPECT_EQ(player.eye_height, s.eye);
        EXPECT_EQ(view.z, s.eye) << "the feet stay on the floor";
    }
}

TEST_F(PlayerMove, ALongFrameMovesAsTwoHundredMilliseconds) {
    for (int frame : {2000, 5000}) {
        Place(4000, 2000, 0);
        view.speed = 110;
        control.forward = 1;
        FrameDelta = frame;
        const int y0 = view.pos_y;
        RunPlayerMovement(player, control);
        EXPECT_EQ((view.pos_y - y0) >> 16, 22) << frame;
    }
}

TEST_F(PlayerMove, ObjectsBlockButPlayersAndSlowFieldsDoNot) {
    Place(4000, 3900, 0);
    int monster = Live(OBJ_MOVING, 4000, 4000);
    WorldObjectTable[monster].width = 16;
    WorldObjectTable[monster].tall = 64;
    control.forward = 1000;
    Frames(15);
    EXPECT_LE(view.y, 4000 - 16 - 28) << "stopped with the probe at its side";
    EXPECT_GT(view.y, 4000 - 16 - 28 - 8);
    WorldObjectTable[monster].type = OBJ_PLAYER;
    Frames(5);
    EXPECT_GT(view.y, 4000 - 16 - 28);
    DestroyObject(monster);

    Place(4000, 3950, 0);
    int field = Live(OBJ_MOVING, 4000, 4000);
    WorldObjectTable[field].width = 16;
    WorldObjectTable[field].tall = 64;
    WorldObjectTable[field].collision_velocity = 40;
    view.speed = 110;
    Frames(1);
    EXPECT_EQ(view.speed, 40) << "a field slows the player";
    EXPECT_NE(WorldObjectTable[field].last_seen, 0u);
    Frames(15);
    EXPECT_GT(view.y, 4000) << "and lets him through";
}

TEST_F(PlayerMove, WalkingIntoASpiritGateRaisesAGhostAndFreesTheGates) {
    struct Case {
        bool dead;
        const char* notice;
    } cases[] = {
        {true, "You attempt to resurrect at the SpiritGate"},
        {false, ""},  // the living only clear the gates away
    };
    for (const Case& c : cases) {
        g_screen.ClearNoticeLines();
        g_actionState.gate_pending = 1;
        Place(4000, 3800, 0);
        const int gate = AllocObjectSlot(OBJ_GATE);
        InitGateObject(gate, 7);  // 192 ahead of the player
        ASSERT_EQ(ActivateObject(gate), 1);
        const int other = Live(OBJ_GATE, 6000, 6000);
        player.dead = c.dead ? 1 : 0;
        control.forward = 1000;
        Frames(30);
        EXPECT_STREQ(g_screen.noticeLines[0], c.notice) << c.dead;
        EXPECT_NE(WorldObjectTable[gate].active, 1) << c.dead;
        EXPECT_NE(WorldObjectTable[other].active, 1) << "every gate goes " << c.dead;
        EXPECT_EQ(g_actionState.gate_pending, 0) << c.dead;
        EXPECT_GT(view.y, 3992 - 24 - 28) << "the player reached the gate " << c.dead;
    }
    player.dead = 0;
}

TEST_F(PlayerMove, AFrameIsWalkedInPiecesOfEightEachProbed28Ahead) {
    // A 39 step at y 4032 refuses any piece whose probe (y + 28) reaches it.
    for (int cx = 60; cx < 66; ++cx)
        SetCell(cx, 4032 >> 6, 0, 39, 256);
    struct Case {
        int speed, y;
    } cases[] = {
        {200, 4002},  // 8, 8 (refused), 4
        {140, 3998},  // 8, 6 (refused: the probe is at 4032)
        {120, 4002},  // 8, 4
    };
    for (const Case& c : cases) {
        Place(4000, 3990, 0);
        view.speed = c.speed;
        CollideWithThins(player);
        EXPECT_EQ(view.y, c.y) << c.speed;
    }
}

TEST_F(PlayerMove, EachHeadingMovesItsWay) {
    struct Case {
        int facing;
        bool sideways;
        int dx, dy;
    } cases[] = {
        {0, false, 0, 10},    {1024, false, -10, 0}, {2048, false, 0, -10}, {3072, false, 10, 0},
        {0, true, 10, 0},     {1024, true, 0, 10},   {2048, true, -10, 0},  {3072, true, 0, -10},
    };
    for (const Case& c : cases) {
        Place(4000, 4000, c.facing);
        view.speed = c.sideways ? 0 : 100;
        view.strafe_speed = c.sideways ? 100 : 0;
        if (c.sideways)
            MoveSideways(player);
        else
            CollideWithThins(player);
        EXPECT_EQ(view.x - 4000, c.dx) << c.facing << " " << c.sideways;
        EXPECT_EQ(view.y - 4000, c.dy) << c.facing << " " << c.sideways;
    }
}

TEST_F(PlayerMove, AnObjectBlocksOnlyWithinItsSquareAndItsHeight) {
    struct Case {
        const char* what;
        int dx, z, tall;
        bool blocks;
    } cases[] = {
        {"square", 0, 0, 64, true},
        {"side of the square", 16, 0, 64, false},
        {"just inside", 15, 0, 64, true},
        {"top at the feet + 4", 0, 0, 4, false},
        {"top above it", 0, 0, 5, true},
        {"bottom below the eye + 16", 0, 63, 64, true},
        {"bottom at it", 0, 64, 64, false},
    };
    for (const Case& c : cases) {
        for (bool alongX : {false, true}) {
            if (alongX)
                Place(3900, 4000 + c.dx, 3072);
            else
                Place(4000 + c.dx, 3900, 0);
            view.speed = 0;
            const int rock = Live(OBJ_MOVING, 4000, 4000);
            WorldObjectTable[rock].width = 16;
            WorldObjectTable[rock].z = static_cast<int16_t>(c.z);
            WorldObjectTable[rock].tall = static_cast<int16_t>(c.tall);
            control.forward = 1000;
            Frames(15);
            EXPECT_EQ((alongX ? view.x : view.y) <= 4000 - 16 - 28, c.blocks) << c.what << " " << alongX;
            DestroyObject(rock);
        }
    }
}

TEST_F(PlayerMove, ThinsPushBackSlowAndTrigger) {
    Place(4000, 3900, 0);
    int wall = MakeThin(3900, 4000, 4100, 4000, THIN_PLAIN, 128);
    control.forward = 1000;
    Frames(15);
    EXPECT_EQ(view.y, 4000 - 16);
    ThinTable[wall].speed_cap = 30;
    view.speed = 110;
    Frames(1);
    EXPECT_EQ(view.speed, 30);
    Frames(15);
    EXPECT_GT(view.y, 4000) << "a speed-capped thin is walked through slowly";
    Place(4000, 3990, 0);
    view.speed = 20;
    CollideWithThins(player);
    EXPECT_EQ(view.speed, 20) << "a cap never speeds a slower player up";
    DestroyThin(wall);

    Place(4000, 3900, 0);
    int panel = MakeThin(3900, 4000, 4100, 4000, THIN_TOUCH, 128);
    ThinTable[panel].trigger = 7;
    Frames(15);
    EXPECT_EQ(PendingDoorTrigger, 7);
    // Pressed against the panel it answers once a second.
    PendingDoorTrigger = 0;
    Frames(1);
    EXPECT_EQ(PendingDoorTrigger, 0);
    Frames(10);
    EXPECT_EQ(PendingDoorTrigger, 7);
}

// A thin stops a player walking past its end by less than a unit; one more unit passes it.
TEST_F(PlayerMove, AThinReachesOneUnitPastItsEnds) {
    struct Case {
        int32_t x;  // 16.16
        bool stopped;
    } cases[] = {
        {(4100 << 16) + 0x8000, true},   // half a unit past the far end
        {(4101 << 16) + 0x8000, false},  // one and a half
        {(3899 << 16) + 0x8000, true},   // half a unit before the near end
        {(3898 << 16) + 0x8000, false},
    };
    const int wall = MakeThin(3900, 4000, 4100, 4000, THIN_PLAIN, 128);
    for (const Case& c : cases) {
        Place(c.x >> 16, 3900, 0);
        view.pos_x = c.x;
        view.speed = 0;
        control.forward = 1000;
        Frames(15);
        if (c.stopped)
            EXPECT_EQ(view.y, 4000 - 16) << c.x / 65536.0;
        else
            EXPECT_GT(view.y, 4000) << c.x / 65536.0;
    }
    DestroyThin(wall);
}

// A speed word past anything movement sets (the service's, an effect's) walks no further in a frame
// than the largest speed a figure holds, so a frame walks a bounded number of pieces.
TEST_F(PlayerMove, AFrameWalksNoFartherThanTheLargestSpeed) {
    for (int speed : {40000, INT32_MAX, -40000, INT32_MIN + 1}) {
        Place(4000, 500, speed > 0 ? 0 : 2048);
        view.speed = speed;
        CollideWithThins(player);
        EXPECT_EQ(view.y - 500, 32767 * 1000 / 10000) << speed;
    }
}

TEST_F(PlayerMove, AnIllegalCrossingIsPutBack) {
    MakeThin(3900, 4000, 4100, 4000, THIN_PLAIN, 128);
    Place(4000, 3990, 0);
    ResetPlayerPosition(1);
    view.pos_y = 4010 << 16;
    view.y = 4010;
    EXPECT_EQ(ResetPlayerPosition(0), 1);
    EXPECT_EQ(view.y, 3990);
    view.pos_y = 3995 << 16;
    view.y = 3995;
    EXPECT_EQ(ResetPlayerPosition(0), 0);
    EXPECT_EQ(view.y, 3995);
    // Across the line within the thin's length and one unit more.
    const int ends[][2] = {{4101, 1}, {4102, 0}, {3899, 1}, {3898, 0}};
    for (const auto& e : ends) {
        Place(e[0], 3990, 0);
        ResetPlayerPosition(1);
        view.pos_y = 4010 << 16;
        view.y = 4010;
        EXPECT_EQ(ResetPlayerPosition(0), e[1]) << e[0];
    }
    // Feet above the thin's top: no crossing.
    ResetPlayerPosition(1);
    view.z = 48 + 129;
    view.pos_y = 4010 << 16;
    EXPECT_EQ(ResetPlayerPosition(0), 0);
}

TEST_F(PlayerMove, JumpsByStatAndByEffect) {
    struct Case {
        int stat, effect7, zSpeed;
    } cases[] = {
        {50, 0, 150},
        {100, 0, 165},
        {150, 0, 180},
        {50, 40, 210},
    };
    for (const Case& c : cases) {
        ClearPlayerEffects(player);
        SetGameValue(14, c.stat);
        if (c.effect7)
            Effect(7, c.effect7);
        Place(4000, 4000, 0);
        player.mode = 0;
        control.jump = 1000;
        FrameDelta = 0;  // the jump's speed before any of it is spent
        RunPlayerMovement(player, control);
        EXPECT_EQ(player.mode, 2);
        EXPECT_EQ(view.z_speed, c.zSpeed) << c.stat << " " << c.effect7;
        EXPECT_EQ(player.effects[7].active, 0);
    }
    // Up and back down onto the floor.
    FrameDelta = 1000;
    control.jump = 0;
    int top = 0;
    for (int i = 0; i < 30; ++i) {
        Frames(1);
        top = std::max(top, view.z);
    }
    EXPECT_GT(top, 48 + 30);
    EXPECT_EQ(view.z, 48);
    EXPECT_EQ(player.mode, 0);
}

// An effect the player's own move uses up ends for the others too.
TEST_F(PlayerMove, EffectsUsedUpByMovingAreAnnounced) {
    struct Case {
        int effect;
        int PlayerControl::*key;
    } cases[] = {
        {7, &PlayerControl::jump},         // a boosted jump
        {20, &PlayerControl::forward},     // a forced jump
        {8, &PlayerControl::forward},      // levitating, moved
        {8, &PlayerControl::slide_left},
        {32, &PlayerControl::crawl},       // held, struggling free
    };
    for (const Case& c : cases) {
        ClearPlayerEffects(player);
        Place(4000, 4000, 0);
        player.mode = 0;
        Effect(c.effect, 40);
        control = PlayerControl{};
        control.yaw = control.pitch = -1;
        OnlineSends online;
        control.*c.key = 1000;
        Frames(1);
        EXPECT_EQ(player.effects[c.effect].active, 0) << c.effect;
        EXPECT_EQ(RemovedEffects(), std::vector<int>{c.effect}) << c.effect;
    }
}

TEST_F(PlayerMove, FlyingLevitatingAndHeld) {
    Effect(10, 100);
    Place(4000, 4000, 0);
    control.jump = 1000;
    Frames(1);
    EXPECT_EQ(player.mode, 3);
    EXPECT_EQ(view.max_speed, 100);
    EXPECT_EQ(view.acceleration, 200);
    EXPECT_GT(view.z, 48);
    control.jump = 0;
    Frames(20);
    EXPECT_EQ(view.z_speed, 0);
    RemovePlayerEffect(player, 10, 0);

    // Moving any way ends the levitation.
    int PlayerControl::*const moves[] = {&PlayerControl::forward, &PlayerControl::backward,
                                         &PlayerControl::slide_left, &PlayerControl::slide_right};
    for (int PlayerControl::*move : moves) {
        Place(4000, 4000, 0);
        Effect(8, 0);
        Frames(1);
        EXPECT_EQ(player.mode, 4);
        EXPECT_EQ(view.max_speed, 175);
        EXPECT_EQ(player.effects[8].active, 1) << "standing still keeps it";
        control.*move = 1;
        Frames(1);
        EXPECT_EQ(player.effects[8].active, 0) << "moving ends the levitation";
        control.*move = 0;
        RemovePlayerEffect(player, 8, 0);
    }

    Place(4000, 4000, 0);
    Effect(32, 60);
    view.z_speed = 50;
    Frames(1);
    EXPECT_EQ(player.mode, 21);
    EXPECT_EQ(view.z_speed, 0);
    control.crawl = 1;
    Frames(1);
    EXPECT_EQ(player.effects[32].active, 0);

    // A levitation cell.
    control.crawl = 0;
    g_level.cellIndex[CellIndex(4000 >> 6, 4000 >> 6)] = 120;
    Frames(1);
    EXPECT_EQ(player.mode, 4);
}

// Effect levels come from the spell file unbounded: whatever their size, the speeds they give
// stay within a 16-bit speed and never turn negative, so forward stays forward and a frame's walk
// stays short.
TEST_F(PlayerMove, EffectLevelsOfAnySizeGiveBoundedSpeeds) {
    constexpr int kBig = 2000000000;
    const struct {
        int effect, level;
        int maxSpeed, acceleration;
    } cases[] = {
        {10, 100, 100, 200},
        {10, kBig, 32767, 32767},
        {10, 1 << 30, 32767, 32767},  // 2 x level would wrap past the int range
        {10, -kBig, 0, 0},
        {16, kBig, 32767, 250},       // (100 + level) x 110 / 100
        {16, INT32_MAX, 32767, 250},
        {16, 100, 220, 250},
        {16, -kBig, 0, 250},
        {8, kBig, 32767, 250},
        {32, kBig, 32767, 250},
        {32, -kBig, 0, 250},
    };
    for (const auto& c : cases) {
        ClearPlayerEffects(player);
        player.mode = 0;
        Place(4000, 1000, 0);
        Effect(c.effect, c.level);
        control.forward = 1000;
        // Checked before a frame walks at them: unbounded speeds would walk for minutes.
        SetMovementParameters(player, control);
        ASSERT_EQ(view.max_speed, c.maxSpeed) << c.effect << " at " << c.level;
        ASSERT_EQ(view.acceleration, c.acceleration) << c.effect << " at " << c.level;
        Frames(1);
        EXPECT_EQ(view.max_speed, c.maxSpeed) << c.effect << " at " << c.level;
        EXPECT_EQ(view.acceleration, c.acceleration) << c.effect << " at " << c.level;
        EXPECT_GE(view.speed, 0) << c.effect << " at " << c.level;
        EXPECT_GE(view.y, 1000) << "forward never walks backwards: " << c.effect << " at " << c.level;
        EXPECT_LE(view.y, 1000 + 32767 / 10 + 1) << c.effect << " at " << c.level;
        EXPECT_GE(view.max_turn_speed, 0);
        EXPECT_LE(view.max_turn_speed, 32767);
    }
    // A jump of any strength leaves upwards, within the same bound.
    for (int effect : {7, 20}) {
        for (int level : {kBig, -kBig}) {
            ClearPlayerEffects(player);
            player.mode = 0;
            Place(4000, 1000, 0);
            Effect(effect, level);
            control = PlayerControl{};
            control.yaw = control.pitch = -1;
            control.jump = 100;
            Frames(1);
            EXPECT_GE(view.z, 48) << effect << " at " << level;
            EXPECT_LE(view.z_speed, 32767) << effect << " at " << level;
        }
    }
}

TEST_F(PlayerMove, LaddersAreTakenClimbedAndLeft) {
    int ladder = MakeThin(3980, 4030, 4020, 4030, THIN_LADDER, 128);
    Place(4000, 3990, 0);
    control.forward = 1000;
    Frames(5);
    EXPECT_EQ(player.mode, 7) << "by touch";
    EXPECT_EQ(player.ladder_thin, ladder);

    // Climb by looking up, step off at the top.
    player.pitch = -500;
    int steps = 0;
    while (player.mode == 7 && steps++ < 40)
        Frames(1);
    EXPECT_EQ(player.mode, 0);
    EXPECT_EQ(view.speed, 165);

    // By the wall: an open ladder on a rock face is not touched, but found ahead when the wall
    // stops the player.
    for (int cx = 60; cx < 66; ++cx)
        SetCell(cx, 4032 >> 6, 1, 0, 256);
    ThinTable[ladder].open = 1;
    ThinTable[ladder].y1 = ThinTable[ladder].y2 = 4020;  // within reach of a player the wall stopped
    SetThinGeometry(ThinTable[ladder]);
    Place(4000, 3990, 0);
    player.mode = 0;
    player.pitch = 0;
    view.speed = 0;
    Frames(5);
    EXPECT_EQ(player.mode, 7) << "by the wall";

    // Down by looking down, dropped off at the bottom.
    control.forward = 1000;
    player.pitch = 500;
    view.z = 48 + 60;
    steps = 0;
    while (player.mode == 7 && steps++ < 40)
        Frames(1);
    EXPECT_EQ(player.mode, 2) << "dropped off at the bottom";
    EXPECT_EQ(view.z_speed, 75);
    EXPECT_EQ(view.speed, 165);
    EXPECT_EQ(player.ladder_thin, 0);
}

TEST_F(PlayerMove, StepsOffALadderNoLongerAheadTheWayTheyPush) {
    for (int way : {1, -1}) {
        Place(4000, 4000, 0);
        player.mode = 7;
        player.ladder_thin = 5;  // nothing ahead
        control.forward = way > 0 ? 1000 : 0;
        control.backward = way < 0 ? 1000 : 0;
        SetMovementParameters(player, control);
        AccelerateForward(player, control);
        EXPECT_EQ(view.speed, 165 * way) << way;
        EXPECT_EQ(view.z_speed, 55) << way;
        EXPECT_EQ(player.mode, 0) << way;
    }
}

TEST_F(PlayerMove, VerticalSpeedsOnTheLadderAndInTheAir) {
    const int ladder = MakeThin(3980, 4030, 4020, 4030, THIN_LADDER, 256);
    struct Case {
        const char* what;
        int mode, forward, pitch, jump, crawl, zSpeed, zSpeedAfter;
    } cases[] = {
        {"ladder: forward looking up", 7, 1000, -401, 0, 0, 0, 192},
        {"ladder: looking up not enough", 7, 1000, -400, 0, 0, 0, 0},
        {"ladder: forward looking down", 7, 1000, 401, 0, 0, 0, -192},
        {"ladder: looking down not enough", 7, 1000, 400, 0, 0, 0, 0},
        {"ladder: jump climbs", 7, 0, 0, 1000, 0, 0, 192},
        {"ladder: crawl descends", 7, 0, 0, 0, 1000, 0, -192},
        {"ladder: still, slowing at 150 a second", 7, 0, 0, 0, 0, 100, 85},
        {"in the air: gravity 300 a second", 2, 0, 0, 0, 0, 0, -30},
    };
    for (const Case& c : cases) {
        Place(4000, 4000, 0);
        view.z = 150;  // mid-ladder, in the air over the floor
        player.mode = c.mode;
        player.ladder_thin = c.mode == 7 ? ladder : 0;
        player.pitch = c.pitch;
        view.z_speed = c.zSpeed;
        control.forward = c.forward;
        control.jump = c.jump;
        control.crawl = c.crawl;
        UpdateFlying(player, control);
        EXPECT_EQ(view.z_speed, c.zSpeedAfter) << c.what;
    }
}

TEST_F(PlayerMove, AJumpStopsNineUnderALowCeiling) {
    SetCell(4000 >> 6, 4000 >> 6, 0, 0, 70);
    Place(4000, 4000, 0);
    control.jump = 1000;
    Frames(1);  // 15 units up would reach 63
    EXPECT_EQ(view.z, 70 - 9);
    EXPECT_EQ(view.z_speed, 0);
}

TEST_F(PlayerMove, TurningAndLooking) {
    Place(4000, 4000, 4090);
    control.yaw = 4;  // the shorter way is to the right, over 0
    Frames(1);
    EXPECT_EQ(view.facing, 4);
    EXPECT_EQ(player.turning, 1);
    // Half a turn away either way is as short: 2048 and more turn left, below it right.
    for (int yaw : {2047, 2048}) {
        view.facing = 0;
        view.turn_speed = 0;
        control.yaw = yaw;
        UpdateTurnSpeed(player, control);
        EXPECT_EQ(view.turn_speed > 0, yaw < 2048) << yaw;
    }
    view.facing = 4;
    control.yaw = -1;
    control.turn_left = 1;
    view.turn_speed = 0;
    Frames(1);
    EXPECT_EQ(view.turn_speed, -1000);
    EXPECT_EQ(view.facing, (4 - 100) & 4095);

    control.turn_left = 0;
    control.look_up = 1000;
    player.pitch = 0;
    Frames(1);
    EXPECT_EQ(player.pitch, -60);
    player.pitch = -890;
    Frames(1);
    EXPECT_EQ(player.pitch, -900);
    control.look_up = 0;
    control.look_centre = 1;
    Frames(1);
    EXPECT_EQ(player.pitch, 0);
    control.pitch = 1700;
    Frames(1);
    EXPECT_EQ(player.pitch, 800);
}

TEST_F(PlayerMove, OffTheGridIsSolid) {
    Place(130, 4000, 1024);  // facing -x, the rock border then the grid's edge
    for (int cy = 0; cy < kGridSide; ++cy)
        SetCell(0, cy, 0, 0, 256);
    for (int cy = 0; cy < kGridSide; ++cy)
        SetCell(1, cy, 0, 0, 256);
    control.forward = 1000;
    Frames(40);
    EXPECT_GE(view.x, 28);
    EXPECT_EQ(TestMoveX(player, -5, -1), MOVE_WALL);
    EXPECT_EQ(TestStandCell(player, 8192, 10), MOVE_WALL);
}

}  // namespace
