#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "client/arena/trigger.h"
#include "client/core/config_file.h"
#include "client/core/game_values.h"
#include "client/screens/notice_lines.h"
#include "client/screens/screen_surface.h"
#include "client/net/net_catalogue.h"
#include "client/net/net_rings.h"
#include "tests/client/arena/level_fixture.h"
#include "tests/support/sent_frames.h"

namespace {

// Runs work that a broken guard would keep looping; should it not end within the seconds, the
// test program stops with a message instead of hanging until its time limit.
template <typename Work>
void WithinSeconds(int seconds, const char* what, Work work) {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> lock(mutex);
        if (!ended.wait_for(lock, std::chrono::seconds(seconds), [&] { return done; })) {
            std::fprintf(stderr, "%s did not end within %d s\n", what, seconds);
            std::fflush(stderr);
            std::_Exit(1);
        }
    });
    work();
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
    }
    ended.notify_one();
    watchdog.join();
}

class Triggers : public LevelFixture {
protected:
    void Load(std::string text) {
        TextStream stream(std::move(text));
        World::LoadTriggers(stream.f);
    }
    // A level thin of kind 1 linked to trigger n.
    int DoorThin(int n, int x1, int y1, int x2, int y2) {
        int slot = MakeThin(x1, y1, x2, y2, THIN_MOVED, 96, 6);
        ThinTable[slot].trigger = n;
        ThinTable[slot].length = x2 - x1 + y2 - y1;
        return slot;
    }
};

TEST_F(Triggers, TypeWordsChooseTheClassByTheirFirstLetters) {
    struct Case {
        const char* word;
        int type;
    } cases[] = {
        {"Door", TRIGGER_DOOR},         {"delete", TRIGGER_DELETE},   {"DEL", TRIGGER_DELETE},
        {"de", TRIGGER_DELETE},         {"Destroy", TRIGGER_DELETE},  {"dx", TRIGGER_DOOR},
        {"d", TRIGGER_DOOR},            {"Endgame", TRIGGER_ENDGAME}, {"END", TRIGGER_ENDGAME},
        {"enable", TRIGGER_ENABLE},     {"en", TRIGGER_ENABLE},       {"elevator", TRIGGER_ELEVATOR},
        {"e", TRIGGER_ELEVATOR},        {"null", TRIGGER_NULL},       {"Score", TRIGGER_SCORE},
        {"teleporter", TRIGGER_TELEPORTER}, {"Clone", TRIGGER_CLONE},
    };
    for (const Case& c : cases) {
        auto t = MakeTrigger(c.word);
        ASSERT_TRUE(t) << c.word;
        EXPECT_EQ(t->type, c.type) << c.word;
    }
    EXPECT_FALSE(MakeTrigger("xylophone"));
    EXPECT_FALSE(MakeTrigger(""));
}

TEST_F(Triggers, LoadingStopsAtAMissingOrUnknownType) {
    Load("[triggerdefs]\nnumtriggers=4\n"
         "[trigger01]\ntype=door\nstart_angle=90\nend_angle=-90\nmax_angle_rate=45\nslide_amount=5\n"
         "on_text=" + std::string(80, 'o') + "\n"
         "[trigger02]\ntype=score\nscore_text=Well done\n"
         "[trigger03]\ntype=banana\n"
         "[trigger04]\ntype=null\n");
    auto* door = static_cast<DoorTrigger*>(GetTrigger(1));
    ASSERT_TRUE(door);
    EXPECT_EQ(door->number, 1);
    EXPECT_EQ(door->start_angle, 3072);
    EXPECT_EQ(door->end_angle, 1024);
    EXPECT_EQ(door->angle, 3072);
    EXPECT_EQ(door->max_angle_rate, 512);
    EXPECT_EQ(std::string(door->on_text).size(), 60u);
    EXPECT_STREQ(static_cast<ScoreTrigger*>(GetTrigger(2))->score_text, "Well done");
    EXPECT_FALSE(GetTrigger(3));
    EXPECT_FALSE(GetTrigger(4)) << "an unknown type stops the loading";

    Load("[triggerdefs]\nnumtriggers=500\n[trigger01]\ntype=null\n");
    EXPECT_TRUE(GetTrigger(1));
    EXPECT_FALSE(GetTrigger(2)) << "a second load starts from an empty table";
    EXPECT_FALSE(GetTrigger(0));
    EXPECT_FALSE(GetTrigger(100));
    EXPECT_EQ(ToggleTrigger(100, 1, 0), 0);
    EXPECT_EQ(ToggleTrigger(-3, 1, 0), 0);
}

TEST_F(Triggers, ChainsVisitEachTriggerOnce) {
    Load("[triggerdefs]\nnumtriggers=5\n"
         "[trigger01]\ntype=null\nenabled=1\nnext_trigger=2\n"
         "[trigger02]\ntype=null\nenabled=1\nnext_trigger=1\n"
         "[trigger03]\ntype=null\nenabled=1\nnext_trigger=4\n"
         "[trigger04]\ntype=null\nenabled=1\nnext_trigger=5\n"
         "[trigger05]\ntype=null\nenabled=1\nnext_trigger=3\n");
    WithinSeconds(10, "a chain round a ring", [] {
        EXPECT_EQ(ToggleTrigger(1, 1, 0), 1);
        EXPECT_EQ(GetTrigger(1)->state, 1);
        EXPECT_EQ(GetTrigger(2)->state, 1);
        EXPECT_EQ(ToggleTrigger(3, 1, 0), 1);  // 3 -> 4 -> 5 -> 3 ends
        EXPECT_EQ(GetTrigger(4)->state, 1);
        EXPECT_EQ(GetTrigger(5)->state, 1);
        EXPECT_EQ(ToggleTrigger(4, 0, 0), 1);
        EXPECT_EQ(GetTrigger(3)->state, 0);
        EXPECT_EQ(GetTrigger(5)->state, 0);
        ChainTrigger(150, 1, 0);  // no such trigger: nothing
    });
}

TEST_F(Triggers, DisabledTriggersOnlyShowTheirText) {
    Load("[triggerdefs]\nnumtriggers=3\n"
         "[trigger01]\ntype=null\nenabled=0\ndisabled_text=Locked.\nnext_trigger=2\n"
         "[trigger02]\ntype=null\nenabled=1\non_text=Opened.\n"
         "[trigger03]\ntype=enable\nenabled=1\nwhich=1\n");
    g_screen.ClearNoticeLines();
    EXPECT_EQ(ToggleTrigger(1, 1, 1), 1);
    EXPECT_EQ(GetTrigger(1)->state, 0);
    EXPECT_EQ(GetTrigger(2)->state, 0) << "a disabled trigger does not chain";
    EXPECT_STREQ(g_screen.noticeLines[0], "Locked.");
    ToggleTrigger(3, 1, 0);
    EXPECT_EQ(GetTrigger(1)->enabled, 1);
    EXPECT_EQ(ToggleTrigger(1, 1, 0), 1);
    EXPECT_EQ(GetTrigger(1)->state, 1);
    EXPECT_EQ(GetTrigger(2)->state, 1);
    EXPECT_STREQ(g_screen.noticeLines[0], "Locked.") << "without show no text";
    ToggleTrigger(2, 0, 1);
    ToggleTrigger(2, 1, 1);
    EXPECT_STREQ(g_screen.noticeLines[0], "Opened.");
}

TEST_F(Triggers, ResetTimersRunOnlyOffline) {
    Load("[triggerdefs]\nnumtriggers=1\n[trigger01]\ntype=null\nenabled=1\nreset_timer=300\ntexture_on=8\ntexture_off=7\n");
    int panel = MakeThin(100, 100, 200, 100, THIN_TEXTURED);
    ThinTable[panel].trigger = 1;
    ToggleTrigger(1, 1, 0);
    EXPECT_EQ(ThinTable[panel].texture, 8);
    g_linkState = 2;
    UpdateDoors(10000);
    EXPECT_EQ(GetTrigger(1)->state, 1) << "online the service runs the timers";
    g_linkState = 1;
    UpdateDoors(2000);
    EXPECT_EQ(GetTrigger(1)->countdown, 100);
    UpdateDoors(1000);
    EXPECT_EQ(GetTrigger(1)->state, 0);
    EXPECT_EQ(ThinTable[panel].texture, 7);
}

TEST_F(Triggers, ASwingingDoorTurnsAtLeastOneUnitAFrameAndChainsWhenItStops) {
    Load("[triggerdefs]\nnumtriggers=2\n"
         "[trigger01]\ntype=door\nenabled=1\nstart_angle=0\nend_angle=1\nmax_angle_rate=1\n"
         "next_trigger=2\nnext_trigger_timing=1\n"
         "[trigger02]\ntype=null\nenabled=1\n");
    int thin = DoorThin(1, 1000, 1000, 1000, 1064);
    InitTriggers();
    auto* door = static_cast<DoorTrigger*>(GetTrigger(1));
    EXPECT_EQ(door->angle, 2048);
    ToggleTrigger(1, 1, 0);
    EXPECT_EQ(door->moving, 1);
    EXPECT_EQ(door->angle_to_go, 11);
    EXPECT_EQ(GetTrigger(2)->state, 0) << "timing 1 waits for the motion";
    for (int frame = 0; frame < 10; ++frame) {
        UpdateDoors(100);  // 11 units a second: nothing a frame but for the minimum step
        EXPECT_EQ(door->angle, 2048 + frame + 1);
        EXPECT_EQ(GetTrigger(2)->state, 0);
    }
    UpdateDoors(100);
    EXPECT_EQ(door->moving, 0);
    EXPECT_EQ(door->angle, 2059);
    EXPECT_EQ(GetTrigger(2)->state, 1) << "chained as the motion ended";
    EXPECT_EQ(ThinTable[thin].angle, 2059);
}

TEST_F(Triggers, DoorBoxesMoveTogether) {
    Load("[triggerdefs]\nnumtriggers=1\n"
         "[trigger01]\ntype=door\nenabled=1\nstart_angle=-90\nend_angle=0\nmax_angle_rate=900\n");
    int door = DoorThin(1, 1000, 1000, 1064, 1000);
    ThinTable[door].thickness = 8;
    ThinTable[door].swing_step = -1024;
    int sides[3];
    for (int k = 0; k < 3; ++k)
        sides[k] = MakeThin(2000 + k * 10, 2000, 2000 + k * 10, 2050, THIN_BOX_SIDE, 96, 6);
    int group[4] = {ThinTable[door].id, ThinTable[sides[0]].id, ThinTable[sides[1]].id, ThinTable[sides[2]].id};
    for (int s : {door, sides[0], sides[1], sides[2]})
        std::copy(group, group + 4, ThinTable[s].group);
    InitTriggers();
    // Closed: start angle -90 + 180 degrees = 1024, so the door runs from (1000, 1000) towards -x.
    const Thin& d = ThinTable[door];
    EXPECT_EQ(d.angle, 1024);
    EXPECT_EQ(d.x2, 936);
    EXPECT_EQ(d.y2, 1000);
    // The box lies across the door: angle 1024 - 1024 = 0, x minus 8 cos 0.
    EXPECT_EQ(ThinTable[sides[0]].x1, 1000);
    EXPECT_EQ(ThinTable[sides[0]].x2, 992);
    EXPECT_EQ(ThinTable[sides[1]].x1, 936);
    EXPECT_EQ(ThinTable[sides[1]].x2, 928);
    EXPECT_EQ(ThinTable[sides[2]].x1, 992);
    EXPECT_EQ(ThinTable[sides[2]].x2, 928);
    present.calls.clear();
    ToggleTrigger(1, 1, 0);
    UpdateDoors(100000);
    EXPECT_EQ(d.angle, 2048);
    EXPECT_EQ(d.x2, 1000);
    EXPECT_EQ(d.y2, 936);
    // Every member with a wall model has its corners rewritten, ends swapped for this swing side.
    std::vector<std::string> corners = present.Named("SetThinModelCorners");
    ASSERT_EQ(corners.size(), 4u);
    EXPECT_EQ(corners[0], "SetThinModelCorners(" + std::to_string(d.model) + ", 1000, 936, 0, 1000, 1000, 96)");
}

TEST_F(Triggers, SlidingDoorsRunBetweenTheirPositions) {
    Load("[triggerdefs]\nnumtriggers=1\n"
         "[trigger01]\ntype=door\nenabled=1\nslide_axis=2\nslide_amount=48\nmax_rate=64\ninitial_state=0\n");
    int thin = DoorThin(1, 1000, 1000, 1064, 1000);
    InitTriggers();
    auto* door = static_cast<DoorTrigger*>(GetTrigger(1));
    EXPECT_EQ(door->closed, 1000);
    EXPECT_EQ(door->open, 1048);
    ToggleTrigger(1, 1, 0);
    UpdateDoors(5000);
    EXPECT_EQ(ThinTable[thin].y1, 1032);
    UpdateDoors(5000);
    EXPECT_EQ(ThinTable[thin].y1, 1048);
    EXPECT_EQ(door->moving, 0);
    ToggleTrigger(1, 0, 0);
    UpdateDoors(20000);
    EXPECT_EQ(ThinTable[thin].y1, 1000);
}

TEST_F(Triggers, ElevatorsMoveTheirCellsAndWhatStandsThere) {
    Load("[triggerdefs]\nnumtriggers=2\n"
         "[trigger01]\ntype=elevator\nenabled=1\nx1=10\ny1=10\nx2=11\ny2=10\noff_height=0\non_height=64\n"
         "speed=32\nmove_ceiling=1\n"
         "[trigger02]\ntype=elevator\nenabled=1\nx1=20\ny1=20\nx2=20\ny2=20\noff_height=100\non_height=132\n"
         "speed=64\nmove_floor=0\nmove_rooftop=1\n");
    for (int cx : {10, 11, 20}) {
        g_level.plane[kPlaneCeiling][CellIndex(cx, 10)] = 200;
        g_level.plane[kPlaneStoreySplit][CellIndex(cx, 10)] = 1024;
    }
    g_level.plane[kPlaneFloor][CellIndex(20, 20)] = 0;
    g_level.plane[kPlaneStoreySplit][CellIndex(20, 20)] = 90;
    g_level.plane[kPlaneCeiling][CellIndex(20, 20)] = 80;
    InitTriggers();
    EXPECT_EQ(g_level.plane[kPlaneStoreySplit][CellIndex(20, 20)], 100);
    int standing = Live(OBJ_MOVING, 20 * 64 + 5, 20 * 64 + 5, 1);
    int rider = Live(OBJ_MOVING, 10 * 64 + 5, 10 * 64 + 5, 1);
    view.x = 11 * 64 + 3;
    view.y = 10 * 64 + 3;
    view.z = 48;
    ToggleTrigger(1, 1, 0);
    ToggleTrigger(2, 1, 0);
    UpdateDoors(10000);
    auto* e = static_cast<ElevatorTrigger*>(GetTrigger(1));
    EXPECT_EQ(e->current, 32);
    EXPECT_EQ(g_level.plane[kPlaneFloor][CellIndex(10, 10)], 32);
    EXPECT_EQ(g_level.plane[kPlaneCeiling][CellIndex(11, 10)], 232);
    EXPECT_EQ(g_level.plane[kPlaneWallBase][CellIndex(11, 10)], 32);
    EXPECT_EQ(WorldObjectTable[rider].z, 32);
    EXPECT_EQ(view.z, 80) << "the player standing on the floor rides along";
    UpdateDoors(30000);
    EXPECT_EQ(e->current, 64);
    EXPECT_EQ(e->moving, 0);
    // Rooftop only: the split moves, the floor and what stands on it do not.
    EXPECT_EQ(g_level.plane[kPlaneStoreySplit][CellIndex(20, 20)], 132);
    EXPECT_EQ(g_level.plane[kPlaneFloor][CellIndex(20, 20)], 0);
    EXPECT_EQ(g_level.plane[kPlaneCeiling][CellIndex(20, 20)], 80);
    EXPECT_EQ(g_level.plane[kPlaneWallBase][CellIndex(20, 20)], 42) << "the wall base follows the split";
    EXPECT_EQ(WorldObjectTable[standing].z, 0);
}

// trigger.dat's heights and speeds may be anything an int holds; the height planes hold 16 bits.
// An elevator then runs between the ends of that range, and the planes it carries along stop there.
TEST_F(Triggers, ElevatorsOfAnyHeightStopAtTheEndsOfThePlanes) {
    Load("[triggerdefs]\nnumtriggers=2\n"
         "[trigger01]\ntype=elevator\nenabled=1\nx1=10\ny1=10\nx2=10\ny2=10\noff_height=-2147483648\n"
         "on_height=2147483647\nspeed=2147483647\nmove_ceiling=1\nmove_rooftop=1\n"
         "[trigger02]\ntype=elevator\nenabled=1\nx1=2147483647\ny1=2147483647\nx2=2147483647\n"
         "y2=2147483647\noff_height=0\non_height=10\nspeed=-2147483648\n");
    const int cell = CellIndex(10, 10);
    g_level.plane[kPlaneCeiling][cell] = 200;
    g_level.plane[kPlaneStoreySplit][cell] = 1024;
    InitTriggers();
    auto* e = static_cast<ElevatorTrigger*>(GetTrigger(1));
    EXPECT_EQ(e->current, -32768);
    EXPECT_EQ(g_level.plane[kPlaneFloor][cell], -32768);
    EXPECT_EQ(g_level.plane[kPlaneCeiling][cell], -32568) << "carried down by 32768";
    EXPECT_EQ(g_level.plane[kPlaneStoreySplit][cell], -31744);
    EXPECT_EQ(g_level.plane[kPlaneWallBase][cell], -32768) << "held at the end of the range";
    ToggleTrigger(1, 1, 0);
    UpdateDoors(10000);
    EXPECT_EQ(e->current, 32767);
    EXPECT_EQ(e->moving, 0) << "stopped at the top of the planes";
    EXPECT_EQ(g_level.plane[kPlaneFloor][cell], 32767);
    EXPECT_EQ(g_level.plane[kPlaneCeiling][cell], 32767);
    EXPECT_EQ(g_level.plane[kPlaneStoreySplit][cell], 32767);
    ToggleTrigger(1, 0, 0);
    UpdateDoors(10000);
    EXPECT_EQ(e->current, -32768);
    EXPECT_EQ(g_level.plane[kPlaneFloor][cell], -32768);
    // Asked directly for a height past the planes, the cells stop at their end.
    MoveTriggerCells(*e, INT32_MAX);
    EXPECT_EQ(g_level.plane[kPlaneFloor][cell], 32767);
    MoveTriggerCells(*e, INT32_MIN);
    EXPECT_EQ(g_level.plane[kPlaneFloor][cell], -32768);

    // A rectangle past the grid moves the edge cell; a speed of the lowest int runs it the wrong
    // way, down to the bottom of the planes and no further.
    auto* wild = static_cast<ElevatorTrigger*>(GetTrigger(2));
    ToggleTrigger(2, 1, 0);
    UpdateDoors(1000);
    UpdateDoors(1000);
    EXPECT_EQ(wild->current, -32768);
    EXPECT_EQ(g_level.plane[kPlaneFloor][CellIndex(127, 127)], -32768);
    wild->Off();
    EXPECT_EQ(wild->speed_in_use, INT32_MAX);
}

// trigger.dat's door keys and a deleter's cells may be anything an int holds: a door still runs
// between its stops and settles, and a deleter's square ends at the ends of the range.
TEST_F(Triggers, DoorsAndDeletersOfAnySizeSettle) {
    struct Case {
        const char* keys;
        int axis;
    } cases[] = {
        {"slide_axis=1\nslide_amount=2147483647\nmax_rate=2147483647\n", 1},
        {"slide_axis=2\nslide_amount=-2147483648\nmax_rate=-2147483648\n", 2},
        {"slide_axis=3\nslide_amount=2147483647\nmax_rate=-2147483648\n", 3},
        {"slide_axis=1\nslide_amount=-2147483648\nmax_rate=1\n", 1},
        {"start_angle=-2147483648\nend_angle=2147483647\nmax_angle_rate=-2147483648\n", 0},
        {"start_angle=2147483647\nend_angle=-2147483648\nmax_angle_rate=2147483647\n", 0},
    };
    for (const Case& c : cases) {
        FreeTriggers();
        ClearThins();
        Load(std::string("[triggerdefs]\nnumtriggers=1\n[trigger01]\ntype=door\nenabled=1\n") + c.keys);
        DoorThin(1, 1000, 1000, 1064, 1000);
        InitTriggers();
        auto* door = static_cast<DoorTrigger*>(GetTrigger(1));
        for (int on : {1, 0, 1}) {
            ToggleTrigger(1, on, 0);
            // A rate of one unit crosses an int's range only in years: the others settle at once.
            for (int frame = 0; frame < 4 && door->moving; ++frame)
                UpdateDoors(20000);
            if (c.axis == 1 && door->max_rate == 1)
                continue;
            EXPECT_EQ(door->moving, 0) << c.keys << " on " << on;
            if (c.axis)
                EXPECT_EQ(door->position, on ? door->open : door->closed) << c.keys;
            else
                EXPECT_EQ(door->angle, on ? door->end_angle : door->start_angle) << c.keys;
        }
    }

    Load("[triggerdefs]\nnumtriggers=2\n"
         "[trigger01]\ntype=delete\nenabled=1\nwhich_object=3\nradius=2147483647\nx=2147483647\ny=5\n"
         "[trigger02]\ntype=delete\nenabled=1\nwhich_object=3\nradius=-2147483648\nx=-2147483648\n"
         "y=-2147483648\n");
    const int kept = Live(OBJ_STATIC, 3000, 3000, 3);
    ToggleTrigger(2, 1, 0);
    EXPECT_EQ(WorldObjectTable[kept].active, 1) << "a negative radius holds nothing";
    ToggleTrigger(1, 1, 0);
    EXPECT_NE(WorldObjectTable[kept].active, 1) << "a square as wide as the range holds every cell";
}

// A lift carries what stands on its cells: players' and monsters' figures and dead bodies alike,
// never a static.
TEST_F(Triggers, ElevatorsLiftFiguresAndBodies) {
    Load("[triggerdefs]\nnumtriggers=1\n"
         "[trigger01]\ntype=elevator\nenabled=1\nx1=10\ny1=10\nx2=10\ny2=10\noff_height=0\non_height=64\n"
         "speed=640\n");
    g_level.plane[kPlaneCeiling][CellIndex(10, 10)] = 400;
    g_level.plane[kPlaneStoreySplit][CellIndex(10, 10)] = 1024;
    InitTriggers();
    struct Case {
        int type;
        int lifted;
    } cases[] = {{OBJ_MOVING, 64}, {OBJ_PLAYER, 64}, {OBJ_BODY, 64}, {OBJ_STATIC, 0}, {OBJ_SPELL, 0}};
    int slots[std::size(cases)];
    for (size_t i = 0; i < std::size(cases); ++i)
        slots[i] = Live(cases[i].type, 10 * 64 + 5 + static_cast<int>(i) * 8, 10 * 64 + 30);
    ToggleTrigger(1, 1, 0);
    UpdateDoors(10000);
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(WorldObjectTable[slots[i]].z, cases[i].lifted) << "type " << cases[i].type;
}

// With random n, a teleporter picks any of its first n destinations, the last one too.
TEST_F(Triggers, ARandomTeleporterReachesEachOfItsDestinations) {
    Load("[triggerdefs]\nnumtriggers=1\n"
         "[trigger01]\ntype=teleport\nenabled=1\nrandom=5\nx0=10\ny0=10\nx1=20\ny1=20\nx2=30\ny2=30\n"
         "x3=40\ny3=40\nx4=50\ny4=50\n");
    std::set<int> reached;
    for (int n = 0; n < 200; ++n) {
        ToggleTrigger(1, 1, 0);
        reached.insert(view.x >> 6);
    }
    EXPECT_EQ(reached, (std::set<int>{10, 20, 30, 40, 50}));
}

TEST_F(Triggers, TeleportersDeletersAndTheEnd) {
    Load("[triggerdefs]\nnumtriggers=4\n"
         "[trigger01]\ntype=teleport\nenabled=1\nteam=1\nx0=5\ny0=5\nx2=30\ny2=31\n"
         "[trigger02]\ntype=teleport\nenabled=1\nteam=1\nx0=5\ny0=5\n"
         "[trigger03]\ntype=delete\nenabled=1\nwhich_object=3\nradius=1\nx=10\ny=10\n"
         "[trigger04]\ntype=endgame\nenabled=1\n");
    auto online = std::make_unique<OnlineSends>();
    SetGameValue(4, 2);
    ToggleTrigger(1, 1, 0);
    EXPECT_EQ(view.x >> 6, 30);
    EXPECT_EQ(view.y >> 6, 31);
    EXPECT_EQ(GetTrigger(1)->state, 0) << "a teleporter stays off";
    EXPECT_EQ(SentCodes(), std::vector<int>{F_PLAYER_STATE}) << "the others learn where the player went";
    online.reset();
    SetGameValue(4, 7);
    view.x = 1;
    ToggleTrigger(2, 1, 0);
    EXPECT_EQ(view.x, 1) << "destination 7 is out of range: nothing happens";

    int near = Live(OBJ_STATIC, 10 * 64 + 10, 10 * 64 + 10, 3);
    int other = Live(OBJ_STATIC, 10 * 64 + 10, 10 * 64 + 10, 4);
    int edge = Live(OBJ_STATIC, 9 * 64, 10 * 64, 3);
    ToggleTrigger(3, 1, 0);
    EXPECT_NE(WorldObjectTable[near].active, 1);
    EXPECT_EQ(WorldObjectTable[other].active, 1);
    EXPECT_EQ(WorldObjectTable[edge].active, 1) << "strictly inside only";

    g_matchEndFlag = 0;
    ToggleTrigger(4, 1, 0);
    EXPECT_EQ(g_matchEndFlag, 1);
    g_matchEndFlag = 0;
}

}  // namespace
