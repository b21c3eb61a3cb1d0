#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "client/arena/game_input.h"
#include "client/arena/player_effects.h"
#include "client/arena/player_status.h"
#include "client/arena/spell.h"
#include "client/arena/world_object.h"
#include "client/core/game_clock.h"
#include "client/net/net_catalogue.h"
#include "client/net/net_rings.h"
#include "client/screens/screen_surface.h"
#include "tests/client/arena/arena_fixture.h"
#include "tests/client/sound_log.h"
#include "tests/support/sent_frames.h"

namespace {

std::vector<std::string> g_hooks;

class CountingSpell : public CSpell {
public:
    int Cast(LocalPlayer&) override {
        g_hooks.push_back("Cast");
        return 1;
    }
};

class PlayerStatus : public ArenaFixture {
protected:
    PlayerStatus() {
        g_hooks.clear();
        ClearActionState();
        for (int32_t& p : NexusPower)
            p = 0;
        for (EarthnodeDef& e : g_level.earthnodes)
            for (int32_t& l : e.link)
                l = -1;
        for (ShrineDef& s : g_level.shrines)
            for (int32_t& l : s.link)
                l = -1;
        SetGameValue(108, 1000);
        SetGameValue(107, 1000);
    }
    ~PlayerStatus() override {
        FreeSpells();
        FrameDelta = 0;
    }

    EarthnodeDef& Node(int n, int owner, int bias, int weight) {
        EarthnodeDef& e = g_level.earthnodes[n];
        e.found = 1;
        e.owner = owner;
        e.bias = bias;
        e.weight = weight;
        return e;
    }
    ShrineDef& Nexus(int n, int team, int power, int x = 0, int y = 0) {
        ShrineDef& s = g_level.shrines[n];
        s.found = 1;
        s.alignment = team;
        s.bias = power;
        s.x = x;
        s.y = y;
        return s;
    }
    // The player stands on a cell of that code.
    void StandOnCode(int code) { g_level.cellIndex[CellIndex(view.x >> 6, view.y >> 6)] = static_cast<uint8_t>(code); }
    void Frame(int ms) {
        FrameDelta = ms * 10;
        TickActionTimers(player);
    }
};

TEST_F(PlayerStatus, NexusPowerFollowsOwnLinksOnceEach) {
    ShrineDef& nexus = Nexus(1, 1, 100);
    nexus.link[0] = 0;
    nexus.link[1] = 150;  // no such node
    nexus.link[2] = 0;    // twice: still counted once
    Node(0, 1, 100, 50).link[0] = 1;
    EarthnodeDef& n1 = Node(1, 1, 50, 20);
    n1.link[0] = 2;
    n1.link[1] = 100;  // 100 would be past the table
    n1.link[2] = 0;    // back to the start: a cycle
    n1.link[3] = 3;
    Node(2, 2, 100, 100).link[0] = 3;  // another team's: not entered
    Node(3, 1, 10, 10).link[0] = 1;
    EXPECT_EQ(ComputeNexusPower(1), (5000 + 1000 + 100) / 100);
    EXPECT_EQ(NexusPower[1], 61);
    EXPECT_EQ(g_level.earthnodes[0].connected_team, 1);
    EXPECT_EQ(g_level.earthnodes[3].connected_team, 1);
    EXPECT_EQ(g_level.earthnodes[2].connected_team, 0);
    EXPECT_EQ(ComputeNexusPower(1), 61) << "marks are the call's own";

    // Without a powered nexus among the first three nothing is stored.
    NexusPower[2] = 33;
    Nexus(4, 2, 100).link[0] = 2;
    EXPECT_EQ(ComputeNexusPower(2), 0);
    EXPECT_EQ(NexusPower[2], 33);
    nexus.bias = 0;
    EXPECT_EQ(ComputeNexusPower(1), 0);
    EXPECT_EQ(NexusPower[1], 61);
    EXPECT_EQ(ComputeNexusPower(25), 0);
}

TEST_F(PlayerStatus, GaugeModes) {
    SetGameValue(4, 1);
    NexusPower[1] = 40;
    Node(0, 1, 100, 100).connected_team = 1;
    g_level.earthnodes[0].x = 4000;
    g_level.earthnodes[0].y = 4000 + 64 * 2 + 512;  // 512 beyond its radius of 2 cells
    g_level.earthnodes[0].radius = 2;
    struct Case {
        int mode, gauge, expect;
    } cases[] = {
        {0, 0, (1024 - 512) * 40 / 1024},
        {1, 2345, 23},
        {1, 9000, 50},
        {1, 0, 0},
        {2, 0, 40 / 2 + 13},
        {7, 0, 0},
    };
    for (const Case& c : cases) {
        SetGameValue(114, c.mode);
        player.gauge = c.gauge;
        EXPECT_EQ(SelectHudGauge(player), c.expect) << c.mode;
    }
    // Mode 0 measures from the edge of the node's radius (64 a cell); standing within it reads the
    // whole power. Another team's nexus does not count.
    SetGameValue(114, 0);
    g_level.earthnodes[0].y = 4000 + 64 * 2 + 1000;
    EXPECT_EQ(SelectHudGauge(player), (1024 - 1000) * 40 / 1024);
    Nexus(5, 2, 100, 4000, 4000);
    EXPECT_EQ(SelectHudGauge(player), (1024 - 1000) * 40 / 1024) << "another team's nexus";
    g_level.earthnodes[0].y = 4000 + 64 * 2;
    EXPECT_EQ(SelectHudGauge(player), 40);
    g_level.shrines[5] = {};

    SetGameValue(114, 2);
    NexusPower[1] = 90;
    EXPECT_EQ(SelectHudGauge(player), 38);

    // Mode 3: the nearest powered nexus, own or not.
    SetGameValue(114, 3);
    EXPECT_EQ(SelectHudGauge(player), 0);
    ShrineDef& other = Nexus(0, 2, 80, 4000 + 1024 + 640, 4000);
    EXPECT_EQ(SelectHudGauge(player), (1280 - 640) * (-80 * 25 / 100) / 1280);
    other.alignment = 1;
    other.x = 4100;
    EXPECT_EQ(SelectHudGauge(player), 50);  // 80 x 115 / 100, held to 50
    EXPECT_EQ(NearestNexusDistance(1, 1024), 100);
    EXPECT_EQ(NearestNexusDistance(2, 1024), -100);
    EXPECT_EQ(NearestNexusDistance(1, 99), 0);
}

// Gauge mode 3 reads the nexus nearest the player, whichever record holds it; of two as near, the
// first. The player stands at (4000, 4000); team 1's nexus power is 20.
TEST_F(PlayerStatus, GaugeMode3ReadsTheNearestPoweredNexus) {
    SetGameValue(4, 1);
    SetGameValue(114, 3);
    NexusPower[1] = 20;
    struct Record {
        int team, power, x;
    };
    struct Case {
        const char* what;
        Record first, second;
        int gauge;
    } cases[] = {
        {"standing on the own, the other's far off", {2, 100, 4000 + 3000}, {1, 100, 4000}, 100 * (20 + 25) / 100},
        {"the other's nearer than the own", {1, 100, 4000 + 3000}, {2, 80, 4000 + 1024 + 640},
         (1280 - 640) * (-80 * 25 / 100) / 1280},
        {"the first is the nearer", {2, 80, 4000 + 1024 + 640}, {1, 100, 4000 + 3000},
         (1280 - 640) * (-80 * 25 / 100) / 1280},
        {"an unpowered one is passed", {1, 0, 4000}, {2, 80, 4000 + 1024 + 640},
         (1280 - 640) * (-80 * 25 / 100) / 1280},
        {"as near: the first", {2, 80, 4000 + 500}, {1, 100, 4000 - 500}, -80 * 25 / 100},
    };
    for (const Case& c : cases) {
        Nexus(0, c.first.team, c.first.power, c.first.x, 4000);
        Nexus(1, c.second.team, c.second.power, c.second.x, 4000);
        EXPECT_EQ(SelectHudGauge(player), c.gauge) << c.what;
    }
}

TEST_F(PlayerStatus, RegenerationCarriesItsThousandths) {
    SetGameValue(110, 5699);  // thousandths left over each frame
    SetGameValue(112, 3000);
    SetGameValue(14, 50);  // stat 9 at 50 changes nothing
    SetGameValue(114, 2);
    NexusPower[0] = 0;  // gauge frame 13
    auto run = [&](int frames, int ms) {
        SetGameValue(109, 0);
        SetGameValue(111, 0);
        PowerRemainder = 0;
        for (int i = 0; i < frames; ++i)
            RegeneratePlayer(player, ms);
        return std::make_pair(GetGameValue(109), GetGameValue(111));
    };
    const auto whole = run(1, 1000);
    EXPECT_EQ(whole.first, 1000 * 5699 * 2 / (70 - 13) / 1000);
    EXPECT_EQ(whole.second, 1000);
    const auto tenths = run(10, 100);
    EXPECT_EQ(tenths.first, whole.first);
    EXPECT_EQ(tenths.second, whole.second);

    // A frame too short to earn a point still earns one.
    SetGameValue(110, 10);
    SetGameValue(109, 0);
    RegeneratePlayer(player, 1);
    EXPECT_EQ(GetGameValue(109), 1);
    SetGameValue(110, 5699);

    // Running (111 and up) drains fatigue, except under effect 16; effect 11 at 100 slows without
    // dividing by 0.
    view.speed = 111;
    SetGameValue(111, 900);
    RegeneratePlayer(player, 300);
    EXPECT_EQ(GetGameValue(111), 800);
    player.effects[16].active = 1;
    RegeneratePlayer(player, 300);
    EXPECT_EQ(GetGameValue(111), 800);
    view.speed = 0;
    player.effects[11].active = 1;
    player.effects[11].level = 100;
    SetGameValue(111, 0);
    RegeneratePlayer(player, 1000);
    EXPECT_EQ(GetGameValue(111), 3000 * 1000 / (3000 * 100 / 1));

    // In gauge mode 3 a powered nexus near by rests faster when it is ours, slower when not.
    player.effects[11].active = 0;
    SetGameValue(114, 3);
    SetGameValue(4, 1);
    ShrineDef& near = Nexus(0, 1, 50, view.x + 500, view.y);
    const int teams[][2] = {{1, 3000 * 1000 / 2250}, {2, 3000 * 1000 / 3750}};
    for (const auto& t : teams) {
        near.alignment = t[0];
        SetGameValue(111, 0);
        RegeneratePlayer(player, 1000);
        EXPECT_EQ(GetGameValue(111), t[1]) << t[0];
    }
}

TEST_F(PlayerStatus, TheGaugeChargesOnOwnGroundAndJumpsPastHalf) {
    SetGameValue(114, 1);
    SetGameValue(4, 1);
    NexusPower[1] = 35;
    Nexus(2, 1, 60);
    Nexus(0, 1, 60);
    Nexus(1, 1, 0);
    Node(3, 1, 50, 10).connected_team = 1;
    Node(4, 1, 50, 10);
    Node(5, 1, 50, 10).connected_team = 1;
    g_level.earthnodes[5].found = 0;
    constexpr int kCharged = 1000 + 1000 * 35 / 1750 + 1000 / 35, kFallen = 1000 - 1000 / 60;
    struct Case {
        const char* what;
        int code, gauge, frame, after;
    } cases[] = {
        {"charging", 52, 1000, 1000, kCharged},
        {"the first nexus", 50, 1000, 1000, kCharged},
        {"an unpowered nexus", 51, 1000, 1000, kFallen},
        {"a connected own node", 23, 1000, 1000, kCharged},
        {"an own node not connected", 24, 1000, 1000, kFallen},
        {"a node not in use", 25, 1000, 1000, kFallen},
        {"to exactly 5000 stays", 52, 5000 - 48, 1000, 5000},
        {"past 5000 jumps", 52, 5000 - 47, 1000, 7500},
        {"elsewhere it falls", 0, 1000, 1200, 1000 - 1200 / 60},
        {"never below 0", 0, 5, 1200, 0},
    };
    for (const Case& c : cases) {
        StandOnCode(c.code);
        player.gauge = c.gauge;
        FrameDelta = c.frame;
        UpdateNexusGauge(player);
        EXPECT_EQ(player.gauge, c.after) << c.what;
    }
    // Only in gauge mode 1, and only for the living.
    StandOnCode(52);
    FrameDelta = 1000;
    player.gauge = 1000;
    player.dead = 1;
    UpdateNexusGauge(player);
    EXPECT_EQ(player.gauge, 1000) << "dead";
    player.dead = 0;
    SetGameValue(114, 0);
    UpdateNexusGauge(player);
    EXPECT_EQ(player.gauge, 1000) << "mode 0";
    FrameDelta = 0;
}

// A bias ends the concealing effects (17, 12, 13) and 16, and shows the bias overlay in the team's
// colour facing back from the view.
TEST_F(PlayerStatus, ABiasBreaksConcealmentAndShowsTheTeamOverlay) {
    SetGameValue(4, 2);
    player.own_object = Live(OBJ_PLAYER, 4000, 4000);
    WorldObjectTable[player.own_object].figure = 4;
    view.facing = 300;
    for (int n : {11, 12, 13, 16, 17})
        player.effects[n].active = 1;
    BeginBias();
    for (int n : {12, 13, 16, 17})
        EXPECT_EQ(player.effects[n].active, 0) << n;
    EXPECT_EQ(player.effects[11].active, 1);
    EXPECT_EQ(present.Named("CreateFigureOverlayModel"),
              std::vector<std::string>{"CreateFigureOverlayModel(4, 62, 64, 3, 2348, -45)"});
    EXPECT_EQ(present.Named("SetFigureOverlayColor"), std::vector<std::string>{"SetFigureOverlayColor(4, 255, 255, 0)"});
}

TEST_F(PlayerStatus, ReadiedGroupsCycleWithinTheirFiveSlots) {
    for (int slot : {5, 7, 8})
        SetGameValue(25 + slot, 100 + slot);
    SetGameValue(65 + 7, 4);
    CycleReadiedSpell(player, 1);
    EXPECT_EQ(GetGameValue(117), 5);
    EXPECT_EQ(GetGameValue(115), 105);
    EXPECT_EQ(g_actionState.target_flash, 1500);
    EXPECT_EQ(player.cast_delay, 500);
    CycleReadiedSpell(player, 1);  // the flash runs: the next filled slot
    EXPECT_EQ(GetGameValue(117), 7);
    EXPECT_EQ(GetGameValue(116), 4);
    CycleReadiedSpell(player, 1);
    EXPECT_EQ(GetGameValue(117), 8);
    CycleReadiedSpell(player, 1);  // wraps within the group
    EXPECT_EQ(GetGameValue(117), 5);
    g_actionState.target_flash = 0;
    CycleReadiedSpell(player, 1);
    EXPECT_EQ(GetGameValue(117), 5);
    for (int bad : {8, 9, -1}) {
        CycleReadiedSpell(player, bad);
        EXPECT_EQ(GetGameValue(117), 5) << bad;
    }
}

TEST_F(PlayerStatus, ABiasEndsByAskingAgainUnlessTheNodeIsFull) {
    SetGameValue(4, 1);
    struct Case {
        int code, owner, bias;
        int sent, which;  // the message asking again, 0 none
        int mode = 0;
        int dead = 0;
    } cases[] = {
        {23, 2, 100, F_BIAS_EARTHBLOOD, 3}, {23, 1, 60, F_BIAS_EARTHBLOOD, 3}, {23, 1, 100, 0, 0},
        {52, 0, 0, F_BIAS_SHRINE, 2},       {52, 1, 100, 0, 0},                {0, 0, 0, 0, 0},
        {23, 2, 100, 0, 0, 6},              {52, 0, 0, 0, 0, 6},  // mode 6 refuses biasing
        {23, 2, 100, F_BIAS_EARTHBLOOD, 3, 2},
        {52, 0, 0, 0, 0, 0, 1},  // nor do the dead bias
    };
    for (const Case& c : cases) {
        OnlineSends online;
        ClearActionState();
        player.mode = c.mode;
        player.dead = c.dead;
        StandOnCode(c.code);
        if (c.code >= 20 && c.code < 50)
            Node(c.code - 20, c.owner, c.bias, 10);
        else if (c.code >= 50)
            Nexus(c.code - 50, c.owner, c.bias);
        BeginBias();
        EXPECT_EQ(g_actionState.bias_timer, 3000);
        Frame(2000);
        EXPECT_TRUE(SentFrames().empty());
        EXPECT_EQ(IsBiasing(), 2001);
        Frame(1000);
        const std::vector<SentFrame> sent = SentFrames();
        if (c.sent) {
            ASSERT_EQ(sent.size(), 1u) << c.code;
            EXPECT_EQ(sent[0].code, c.sent);
            EXPECT_EQ(sent[0].body.at(0), c.which);
            EXPECT_EQ(g_actionState.bias_timer, 3000) << "and it starts again";
        } else {
            EXPECT_TRUE(sent.empty()) << c.code << " " << c.owner << " mode " << c.mode << " dead " << c.dead;
            EXPECT_EQ(IsBiasing(), 0);
        }
    }
    player.mode = 0;
    player.dead = 0;
}

TEST_F(PlayerStatus, APendingCastFiresWhenItsChargeRunsOut) {
    SetSpell(5, std::make_unique<CountingSpell>());
    SetGameValue(115, 5);
    SetGameValue(109, 10000);
    SetGameValue(111, 10000);
    g_actionState.cast_result = 1500;
    Frame(1000);
    EXPECT_TRUE(g_hooks.empty());
    Frame(600);
    ASSERT_EQ(g_hooks.size(), 1u);
    EXPECT_EQ(g_actionState.cast_result, 0);
    EXPECT_EQ(IsCasting(), 2000);

    // A refused cast clears itself after a second.
    CancelPendingCast();
    EXPECT_EQ(g_actionState.cast_result, 0) << "nothing pending, nothing refused";
    g_actionState.cast_result = 700;
    CancelPendingCast();
    EXPECT_EQ(g_actionState.cast_result, -1);
    Frame(998);
    EXPECT_EQ(g_actionState.cast_result, -999);
    Frame(1);
    EXPECT_EQ(g_actionState.cast_result, 0);
}

TEST_F(PlayerStatus, CastingWaitsForStillnessAndAllowedCells) {
    SetGameValue(115, 5);
    player.eye_height = player.normal_eye_height = 48;
    struct Case {
        int code, speed, delay, eye;
        bool dead, biasing, can;
    } cases[] = {
        {0, 0, 0, 48, false, false, true},   {0, 110, 0, 48, false, false, true}, {0, 111, 0, 48, false, false, false},
        {10, 0, 0, 48, false, false, false}, {80, 0, 0, 48, false, false, false}, {89, 0, 0, 48, false, false, false},
        {90, 0, 0, 48, false, false, true},  {0, 0, 1, 48, false, false, false},  {0, 0, 0, 24, false, false, false},
        {0, 0, 0, 48, true, false, false},   {0, 0, 0, 48, false, true, false},
    };
    for (const Case& c : cases) {
        StandOnCode(c.code);
        view.speed = c.speed;
        player.cast_delay = c.delay;
        player.eye_height = c.eye;
        player.dead = c.dead;
        g_actionState.biasing = c.biasing;
        EXPECT_EQ(CanCastNow() != 0, c.can) << c.code << " " << c.speed << " " << c.delay << " " << c.eye;
    }
    player.eye_height = 48;
    player.dead = 0;
    g_actionState.biasing = 0;
    player.cast_delay = 0;
    view.speed = 0;
    StandOnCode(10);
    view.z += 97;  // high above the cell, its code does not count
    EXPECT_TRUE(CanCastNow());
}

TEST_F(PlayerStatus, DeathClearsEffectsAndTurnsToAGhostAfterFiveSeconds) {
    int own = Live(OBJ_MOVING, 4000, 4000);
    player.own_object = own;
    WorldObjectTable[own].figure = 4;
    player.effects[3].active = 1;
    g_actionState.cast_result = 900;
    player.carried_flag = 3;
    g_screen.ClearNoticeLines();
    {
        OnlineSends online;
        g_playMode = 2;
        OnLocalPlayerDeath(player, 42);
        g_playMode = 1;
        EXPECT_EQ(SentCodes(), std::vector<int>{SEND_DROP_FLAG}) << "online the carried flag is dropped";
    }
    EXPECT_EQ(player.carried_flag, 0);
    EXPECT_STREQ(g_screen.noticeLines[1], "You were killed");
    EXPECT_STREQ(g_screen.noticeLines[0], "You dropped the flag");
    EXPECT_EQ(player.deaths, 1);
    EXPECT_EQ(player.dead, 1);
    EXPECT_EQ(player.effects[3].active, 0);
    EXPECT_EQ(g_actionState.death_timer, 5000);
    EXPECT_EQ(g_actionState.cast_result, -1);
    EXPECT_EQ(WorldObjectTable[own].dead, 1);
    EXPECT_EQ(WorldObjectTable[own].fade, 255);
    present.calls.clear();
    Frame(4999);
    EXPECT_EQ(present.Count("SetWorldFog"), 0u);
    Frame(1);
    EXPECT_EQ(present.Named("SetWorldFog"), std::vector<std::string>{"SetWorldFog(150, 640, 150, 150, 150)"});
    EXPECT_EQ(present.Named("SetFigureTint"), std::vector<std::string>{"SetFigureTint(4, 50, 1, 0, 255, 255, 255)"});

    player.mode = 7;
    RevivePlayer(player);
    EXPECT_EQ(player.dead, 0);
    EXPECT_EQ(player.mode, 0);
    EXPECT_EQ(TintKind, 1);
    EXPECT_EQ(WorldObjectTable[own].dead, 0);
    EXPECT_EQ(present.Named("SetWorldFog").back(), "SetWorldFog(0, 0, 0, 0, 0)");
}

TEST_F(PlayerStatus, TheArrivalViewKeepsTheFacingOfArrivalAndRunsOut) {
    view.facing = 3000;
    BeginArrivalView(player);
    EXPECT_EQ(g_actionState.arrival_timer, kArrivalViewTime);
    view.facing = 100;  // turning during the sequence does not turn it
    Frame(kArrivalViewTime - 1);
    EXPECT_EQ(g_actionState.arrival_timer, 1);
    EXPECT_EQ(g_actionState.arrival_facing, 3000);
    Frame(40);
    EXPECT_EQ(g_actionState.arrival_timer, 0) << "never below 0";

    // The dead arrive as ghosts, through their eyes.
    ClearActionState();
    player.dead = 1;
    BeginArrivalView(player);
    EXPECT_EQ(g_actionState.arrival_timer, 0);
}

// The hit's sound tells what is left: below a quarter of the maximum 53, below half 52, else 3.
TEST_F(PlayerStatus, AHitSoundsByWhatIsLeftOfTheHitPoints) {
    HeadlessWindowing windowing;
    SoundLog sounds(54);
    ASSERT_TRUE(sounds.Started());
    struct Case {
        int hits, maximum, sound;
    } cases[] = {
        {1000, 1000, 3}, {500, 1000, 3}, {499, 1000, 52}, {300, 1000, 52}, {250, 1000, 52},
        {249, 1000, 53}, {0, 1000, 53},  {75, 300, 52},   {74, 300, 53},
    };
    for (const Case& c : cases) {
        SetGameValue(107, c.hits);
        SetGameValue(108, c.maximum);
        OnPlayerHit(player, 0, 0);
        EXPECT_EQ(sounds.TakePlayed(), std::vector<int>{c.sound}) << c.hits << " of " << c.maximum;
    }
    // A death sounds 4 for the heavy figure (202), else 2.
    player.own_object = Live(OBJ_PLAYER, 4000, 4000);
    for (const auto& [imagenum, sound] : {std::pair{202, 4}, std::pair{201, 2}}) {
        WorldObjectTable[player.own_object].imagenum = static_cast<uint16_t>(imagenum);
        OnLocalPlayerDeath(player, 0);
        EXPECT_EQ(sounds.TakePlayed(), std::vector<int>{sound}) << imagenum;
    }
}

TEST_F(PlayerStatus, HitsAndDrainsTintTheScreen) {
    TintKind = TintTime = 0;
    SetGameValue(109, 250);
    DrainPlayerPower(player, 2);
    EXPECT_EQ(GetGameValue(109), 50);
    EXPECT_EQ(TintKind, 5);
    EXPECT_EQ(TintTime, 500);
    DrainPlayerPower(player, 2);
    EXPECT_EQ(GetGameValue(109), 0);
    TintTime = 0;
    DrainPlayerPower(player, 2);
    EXPECT_EQ(TintTime, 0) << "nothing left to drain";

    player.effects[12].active = 1;
    g_actionState.cast_result = 300;
    TintKind = TintTime = 0;
    OnPlayerHit(player, 10, 0);
    EXPECT_EQ(TintKind, 5);
    EXPECT_EQ(TintTime, 500);
    EXPECT_EQ(player.effects[12].active, 1);
    EXPECT_EQ(g_actionState.cast_result, 300);
    OnPlayerHit(player, 10, 1);
    EXPECT_EQ(player.effects[12].active, 0);
    EXPECT_EQ(g_actionState.cast_result, -1);
    EXPECT_EQ(GetGameValue(107), 1000) << "the damage comes with the message";

    // Effects 26 and 27 raise the maxima of hit points and power by 100 a level.
    SetGameValue(110, 700);
    player.effects[26].active = 1;
    player.effects[26].level = 3;
    EXPECT_EQ(GetMaxHitPoints(), 1300);
    EXPECT_EQ(GetMaxPower(), 700);
    player.effects[26].active = 0;
    player.effects[27].active = 1;
    player.effects[27].level = 2;
    EXPECT_EQ(GetMaxHitPoints(), 1000);
    EXPECT_EQ(GetMaxPower(), 900);

    // Levels of the spell file past what x 100 holds give the ends of the int range.
    const struct {
        int base, level, want;
    } wide[] = {
        {1000, 21474837, INT32_MAX},
        {1000, INT32_MAX, INT32_MAX},
        {INT32_MAX, 1, INT32_MAX},
        {0, -21474837, INT32_MIN},
        {INT32_MIN, -1, INT32_MIN},
        {1000, -5, 500},
    };
    for (const auto& c : wide) {
        for (int effect : {26, 27}) {
            player.effects[26].active = player.effects[27].active = 0;
            player.effects[effect].active = 1;
            player.effects[effect].level = c.level;
            SetGameValue(effect == 26 ? 108 : 110, c.base);
            EXPECT_EQ(effect == 26 ? GetMaxHitPoints() : GetMaxPower(), c.want) << effect << " " << c.level;
        }
    }
    player.effects[27].active = 0;
}

}  // namespace

namespace {

// The HUD target of a targeted spell: kept while the other player's figure is in sight, kept for
// the lose time once it is out of sight, the player himself once it is gone; nothing without a
// spell that aims at it.
TEST_F(PlayerStatus, TheSpellTargetIsKeptWhileInSightAndLostAfterItsTime) {
    SetGameValue(118, 7);
    MakeSpell<CSpellTarget>(30, SPELL_TARGET).valid = 1;
    SetGameValue(115, 30);
    const int other = Live(OBJ_PLAYER, 4200, 4000, 0, 40);
    WorldObjectTable[other].figure = 9;
    TargetPlayerId = 40;
    TargetLoseTimer = 0;

    EXPECT_EQ(UpdateSpellTarget(250), 1);
    EXPECT_EQ(TargetPlayerId, 40);
    EXPECT_EQ(TargetLoseTimer, kTargetLoseTime);

    // Out of sight (his cell in no area): kept while the lose timer runs.
    g_level.roomMap[CellIndex(4200 >> 6, 4000 >> 6)] = -1;
    present.calls.clear();
    for (int tick = 0; tick < 7; ++tick) {
        EXPECT_EQ(UpdateSpellTarget(250), 1);
        EXPECT_EQ(TargetPlayerId, 40) << tick;
    }
    EXPECT_EQ(present.Count("SetPanelRedrawFlag"), 0u);
    UpdateSpellTarget(250);  // 2000 ms gone
    EXPECT_EQ(TargetPlayerId, 7);
    EXPECT_EQ(present.Named("SetPanelRedrawFlag"), std::vector<std::string>{"SetPanelRedrawFlag(0, 1)"});

    // Back in sight the timer starts again; a figure that goes is given up at once.
    g_level.roomMap[CellIndex(4200 >> 6, 4000 >> 6)] = 0;
    TargetPlayerId = 40;
    UpdateSpellTarget(250);
    EXPECT_EQ(TargetLoseTimer, kTargetLoseTime);
    WorldObjectTable[other].figure = 0;
    UpdateSpellTarget(250);
    EXPECT_EQ(TargetPlayerId, 7);

    // Spells that do not aim at the HUD's target clear it: another group, another type, unloaded.
    struct Case {
        const char* what;
        int type, group, valid;
    } cases[] = {{"group 1", SPELL_TARGET, 1, 1}, {"an effect", SPELL_EFFECT, 0, 1}, {"not loaded", SPELL_TARGET, 0, 0}};
    for (const Case& c : cases) {
        SetSpell(31, CreateSpell(c.type));
        CSpell& s = *GetSpell(31);
        s.valid = c.valid;
        if (c.type == SPELL_TARGET)
            static_cast<CSpellTarget&>(s).group = c.group;
        SetGameValue(115, 31);
        TargetPlayerId = 40;
        EXPECT_EQ(UpdateSpellTarget(250), 0) << c.what;
        EXPECT_EQ(TargetPlayerId, 0) << c.what;
    }
    SetGameValue(115, 0);
    TargetPlayerId = 7;
    EXPECT_EQ(UpdateSpellTarget(250), 0);
    EXPECT_EQ(TargetPlayerId, 0);
}

}  // namespace
