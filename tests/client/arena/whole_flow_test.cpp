// The local player in the sample level, frame by frame as the arena loop drives it: placed at its
// team's start, walking, running, crawling, climbing a step, jumping, on the ladder to its landing,
// opening a door by use and standing in a nexus.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "client/arena/game_input.h"
#include "client/arena/grid_queries.h"
#include "client/arena/player_control.h"
#include "client/arena/player_move.h"
#include "client/arena/player_start.h"
#include "client/arena/player_status.h"
#include "client/arena/spell.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/level/level_loader.h"
#include "client/net/net_catalogue.h"
#include "client/screens/screen_surface.h"
#include "common/random.h"
#include "tests/client/arena/level_fixture.h"
#include "tests/support/sent_frames.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

class WholeFlow : public LevelFixture {
protected:
    WholeFlow() {
        dir.Enter();
        const fs::path install = SAMPLE_INSTALL_DIR;
        for (const char* item : {"sample", "textures", "pattern.dat", "monster.dat", "system.dat"})
            fs::copy(install / item, fs::path(dir.Path()) / item, fs::copy_options::recursive);
        GameSrand(7);
        ResetGameValues();
        player = LocalPlayer{};
        view = PlayerView{};
        ResetFrameState();
        SetGameValue(4, 2);
        player.eye_height = player.normal_eye_height = 48;
        player.crawl_eye_height = 24;
        GameClock = 100000;
        FrameDelta = 500;  // 50 ms frames
    }
    ~WholeFlow() override {
        FreeSpells();
        FrameDelta = 0;
        g_playMode = 1;
        g_linkState = 1;
    }

    void Frames(int n) {
        for (int i = 0; i < n; ++i) {
            GameClock += static_cast<uint32_t>(FrameDelta);
            HandleGameInput(player, control, 4);
            ASSERT_TRUE(view.x > 0 && view.x < kWorldLimit && view.y > 0 && view.y < kWorldLimit);
        }
    }
    // Frames with the controls held, then let go and settle.
    void Hold(PlayerControl c, int n) {
        control = c;
        Frames(n);
        control = Idle();
        Frames(20);
    }
    static PlayerControl Idle() {
        PlayerControl c{};
        c.yaw = c.pitch = -1;
        return c;
    }
    static PlayerControl Forward(int held = 500) {
        PlayerControl c = Idle();
        c.forward = held;
        return c;
    }
    void Place(int x, int y, int facing) {
        view.speed = view.strafe_speed = view.z_speed = 0;
        player.mode = 0;
        player.eye_height = player.normal_eye_height;
        StandAt(x, y, facing);
    }
    int Floor() const { return GetFloorHeight(view.x, view.y, view.z - player.eye_height + 38, 1); }
    // Walking on the floor of that height, the eye at standing height.
    void ExpectStandingOn(int floor) {
        EXPECT_EQ(Floor(), floor);
        EXPECT_EQ(view.z, floor + player.eye_height);
        EXPECT_EQ(player.mode, 0);
    }

    TempDir dir;
    PlayerControl control = Idle();
};

// Facings: 0 walks towards +y, 1024 towards -x, 2048 towards -y, 3072 towards +x.
constexpr int kPlusY = 0, kMinusX = 1024, kPlusX = 3072;

TEST_F(WholeFlow, ThePlayerWalksTheSampleLevel) {
    ASSERT_EQ(LoadGrid("sample"), 1);

    // Team 2 starts at the centre of cell (21, 15) facing +y, standing on the floor.
    PlacePlayerAtStart(player, 2, 0);
    EXPECT_EQ(view.x, 21 * 64 + 32);
    EXPECT_EQ(view.y, 15 * 64 + 32);
    EXPECT_EQ(view.facing, kPlusY);
    EXPECT_EQ(view.z, 48);
    const int own = CreateOwnPlayerObject(player, 3);
    ASSERT_GT(own, 0);

    // Walking: speed rises to 110 and the own figure follows the view.
    const int y0 = view.y;
    control = Forward();
    Frames(20);
    EXPECT_EQ(view.speed, 110);
    EXPECT_EQ(view.max_speed, 110);
    EXPECT_GT(view.y, y0 + 80);
    EXPECT_EQ(WorldObjectTable[own].y, view.y);
    EXPECT_EQ(player.mode, 0);

    // Running with the fast key at stat 50: 192.
    control.fast = 500;
    Frames(20);
    EXPECT_EQ(view.max_speed, 192);
    EXPECT_EQ(view.speed, 192);
    control = Idle();
    Frames(20);
    EXPECT_EQ(view.speed, 0) << "letting go stops the player";

    // Crawling: the corridor at cells (30..34, 12) has a ceiling of 48. Walking into it is
    // stopped at its mouth; crawling goes in, and inside the player keeps crawling.
    Place(1850, 800, kPlusX);
    Hold(Forward(), 30);
    EXPECT_LT(view.x, 30 * 64 - 20) << "standing, the low ceiling stops the player";
    PlayerControl crawl = Forward();
    crawl.crawl = 500;
    Hold(crawl, 40);
    EXPECT_GT(view.x, 30 * 64 + 32);
    EXPECT_EQ(player.mode, 1);
    EXPECT_EQ(player.eye_height, 24);
    EXPECT_EQ(view.max_speed, 73);
    // The corridor at (30..34, 16) is too low even for crawling.
    Place(1850, 16 * 64 + 32, kPlusX);
    Hold(crawl, 40);
    EXPECT_LT(view.x, 30 * 64);

    // Climbing: a step of 38 onto x 22 is walked up; the next one of 39 is not.
    Place(21 * 64 + 10, 11 * 64 + 32, kPlusX);
    Hold(Forward(), 40);
    EXPECT_EQ(view.x >> 6, 22);
    ExpectStandingOn(38);
    // Jumping onto it from a run-up.
    control = Forward();
    Frames(5);
    control.jump = 500;
    Frames(1);
    Hold(Forward(), 20);
    EXPECT_GE(view.x >> 6, 23);
    ExpectStandingOn(77);

    // The ladder at y 900 in front of cell (26, 13): used, climbed, left at its top onto the
    // landing of 240 behind it.
    Place(1716, 860, kPlusY);
    PlayerControl use = Idle();
    use.use = 1;
    control = use;
    Frames(1);
    ASSERT_EQ(player.mode, 7) << "the use key puts the player on the ladder";
    control = Idle();
    control.jump = 500;  // climbing; at the top the jump key steps off forwards
    int top = 0;
    for (int i = 0; i < 80 && player.mode == 7; ++i) {
        Frames(1);
        top = std::max(top, view.z);
    }
    EXPECT_EQ(player.mode, 0) << "the player leaves the ladder at its top";
    EXPECT_EQ(top, 77 + 171 + 48 + 8);
    Hold(Forward(), 10);
    EXPECT_GE(view.y >> 6, 14);
    ExpectStandingOn(240);

    // The curtain at y 1500 in room 3 is passed at its capped speed of 40.
    Place(1760, 1440, kPlusY);
    control = Forward();
    int atCurtain = 1000;
    for (int i = 0; i < 40 && view.y < 1530; ++i) {
        Frames(1);
        if (view.y >= 1480)
            atCurtain = std::min(atCurtain, view.speed);
    }
    EXPECT_GE(view.y, 1500) << "the curtain lets the player through";
    EXPECT_LE(atCurtain, 40 + 12) << "slowed to 40 (then speeding up again)";
    control = Idle();
    Frames(20);

    // Wading in the pool (depth 40, slowing 30) halves the speed.
    Place(13 * 64 + 32, 22 * 64 + 8, kPlusY);
    EXPECT_EQ(view.z, 16) << "the eye stays 16 above the pool's floor";
    control = Forward();
    Frames(20);
    EXPECT_EQ(view.max_speed, 55);
    EXPECT_EQ(view.speed, 55);
    control = Idle();
    Frames(20);

    // Flying in the open yard stops one unit under its ceiling limit of 200.
    Place(17 * 64 + 32, 27 * 64 + 32, kPlusY);
    DebugToggle = 1;
    PlayerControl up = Idle();
    up.jump = 500;
    Hold(up, 40);
    EXPECT_EQ(player.mode, 3);
    EXPECT_EQ(view.z, 199);
    DebugToggle = 0;
    Frames(60);
    EXPECT_EQ(view.z, 48) << "back on the ground";

    // A door by use, online: the swinging door at x 1280 (y 832..896) chains to trigger 2, which
    // the others are told about.
    {
        OnlineSends online;
        g_playMode = 2;
        Place(1320, 864, kMinusX);
        const int before = GetTrigger(2)->state;
        control = use;
        Frames(1);
        control = Idle();
        EXPECT_EQ(GetTrigger(2)->state, !before);
        EXPECT_EQ(SentCodes(), std::vector<int>{F_OPEN_DOOR});
        g_playMode = 1;
    }

    // The nexus of the Dragon at (23, 17): its notice once on stepping in, and the status line.
    Place(23 * 64 + 32, 16 * 64 + 56, kPlusY);
    g_screen.ClearNoticeLines();
    Hold(Forward(), 6);
    EXPECT_EQ(view.y >> 6, 17);
    EXPECT_STREQ(g_screen.noticeLines[0], "The Dragon Nexus is fully powered.");
    EXPECT_STREQ(g_screen.noticeLines[1], "");
    DrawStatusLine(player, 0);
    EXPECT_STREQ(g_screen.statusText, "In Nexus");
}

}  // namespace
