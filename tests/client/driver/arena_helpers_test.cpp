// The arena's bookkeeping: team choice, match points, the damage tint, the entry shrine test, and
// the view rectangle from main.dat [viewport] with the player's border.

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "client/arena/game_input.h"
#include "client/arena/local_player.h"
#include "client/arena/world_object.h"
#include "client/core/config_file.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "client/driver/arena_helpers.h"
#include "client/driver/game_main.h"
#include "client/driver/view_setup.h"
#include "client/net/client_tables.h"
#include "client/screens/input.h"
#include "client/screens/view_windows.h"
#include "tests/support/recording_present.h"
#include "tests/support/temp_dir.h"

namespace {

class ArenaHelpers : public ::testing::Test {
protected:
    void SetUp() override {
        ResetGameValues();
        for (ArenaEntry& a : ArenaTable)
            a = ArenaEntry{};
    }
    void TearDown() override { ResetGameValues(); }
};

// ---- ChooseTeam ---------------------------------------------------------------------------------

TEST_F(ArenaHelpers, ChooseTeamTable) {
    struct Case {
        const char* what;
        int type, open, counts[3], forced, team, v120, expected;
    } cases[] = {
        {"fewest players wins", 1, 7, {3, 1, 2}, 0, 0, 0, 2},
        {"tie goes to the lower number", 1, 7, {2, 1, 1}, 0, 0, 0, 2},
        {"only offered teams count", 1, 5, {4, 0, 3}, 0, 0, 0, 3},
        {"forced team beats the counts", 1, 7, {0, 0, 0}, 3, 0, 0, 3},
        {"forced team beats a chosen one", 1, 7, {0, 0, 0}, 2, 1, 0, 2},
        {"a chosen team stays", 1, 7, {0, 5, 5}, 0, 3, 0, 3},
        {"none below 10 gives team 1", 1, 6, {0, 10, 12}, 0, 0, 0, 1},
        {"nothing offered gives team 1", 1, 0, {0, 0, 0}, 0, 0, 0, 1},
        {"count 9 still matches", 1, 4, {0, 0, 9}, 0, 0, 0, 3},
        {"not a team arena", 0, 7, {0, 1, 2}, 2, 3, 0, 0},
        {"odd #120 plays without teams", 1, 7, {0, 1, 2}, 2, 3, 1, 0},
    };
    for (const Case& c : cases) {
        ArenaEntry& a = ArenaTable[3];
        a = ArenaEntry{};
        a.arena_type = static_cast<uint8_t>(c.type);
        a.match.open_teams = static_cast<uint8_t>(c.open);
        for (int t = 1; t <= 3; ++t)
            a.match.team_counts[t] = static_cast<uint8_t>(c.counts[t - 1]);
        a.match.forced_team = static_cast<uint8_t>(c.forced);
        SetGameValue(4, c.team);
        SetGameValue(120, c.v120);
        ChooseTeam(3);
        EXPECT_EQ(GetGameValue(4), c.expected) << c.what;
    }
}

TEST_F(ArenaHelpers, ChooseTeamWithoutArenaPlaysWithoutTeams) {
    SetGameValue(4, 2);
    ChooseTeam(-1);
    EXPECT_EQ(GetGameValue(4), 0);
    SetGameValue(4, 2);
    ChooseTeam(kArenaTableSize);
    EXPECT_EQ(GetGameValue(4), 0);
}

// ---- SettleMatchPoints --------------------------------------------------------------------------

TEST_F(ArenaHelpers, SettleMatchPointsTable) {
    struct Case {
        const char* what;
        int level, total, a, b, c;            // #0, #1, #106, #132, #133 before
        int totalAfter, aAfter, bAfter, cAfter;
    } cases[] = {
        {"under the cap adds all three", 4, 100, 1000, 500, 300, 1900, 1000, 500, 300},
        {"#132 is held to #106", 4, 0, 200, 900, 0, 400, 200, 200, 0},
        {"a negative #133 counts as 0 but stays", 4, 0, 300, 100, -50, 400, 300, 100, -50},
        // cap 2000, total 4000: each part halved, the rest to #133.
        {"over the cap scales down", 1, 10, 2000, 1000, 1000, 2010, 1000, 500, 500},
        // cap 1000 of 3000: 1/3 each, remainder 334 to #133.
        {"rounding remainder goes to #133", 0, 0, 1000, 1000, 1000, 1000, 333, 333, 334},
        {"exactly the cap is kept", 1, 0, 1000, 500, 500, 2000, 1000, 500, 500},
    };
    for (const Case& c : cases) {
        ResetGameValues();
        SetGameValue(0, c.level);
        SetGameValue(1, c.total);
        SetGameValue(106, c.a);
        SetGameValue(132, c.b);
        SetGameValue(133, c.c);
        SettleMatchPoints();
        EXPECT_EQ(GetGameValue(1), c.totalAfter) << c.what;
        EXPECT_EQ(GetGameValue(106), c.aAfter) << c.what;
        EXPECT_EQ(GetGameValue(132), c.bAfter) << c.what;
        EXPECT_EQ(GetGameValue(133), c.cAfter) << c.what;
    }
}

// Products like cap x #106 pass 32 bits long before the values themselves do.
TEST_F(ArenaHelpers, SettleMatchPointsDoesNotOverflowLargePoints) {
    SetGameValue(0, 100);  // cap 101000
    SetGameValue(106, 2000000000);
    SetGameValue(132, 2000000000);
    SetGameValue(133, 2000000000);
    SettleMatchPoints();
    EXPECT_EQ(GetGameValue(106), 33666);
    EXPECT_EQ(GetGameValue(132), 33666);
    EXPECT_EQ(GetGameValue(133), 101000 - 2 * 33666);
    EXPECT_EQ(GetGameValue(1), 101000);
}

TEST_F(ArenaHelpers, SettleMatchPointsHoldsTheTotalAtItsLimit) {
    SetGameValue(0, INT_MAX);  // cap beyond 32 bits: nothing scales
    SetGameValue(1, INT_MAX - 10);
    SetGameValue(106, 1000);
    SettleMatchPoints();
    EXPECT_EQ(GetGameValue(1), INT_MAX);
    EXPECT_EQ(GetGameValue(106), 1000);
}

TEST_F(ArenaHelpers, ResetMatchScoresClearsTheMatchValuesOnly) {
    LocalPlayer player{};
    player.deaths = player.kills = player.raises = player.biases = 4;
    for (int n = 0; n < kGameValueCount; ++n)
        SetGameValue(n, n + 1);
    ResetMatchScores(player);
    for (int n = 0; n < kGameValueCount; ++n) {
        const bool cleared = n == 105 || n == 106 || (n >= 121 && n <= 133);
        EXPECT_EQ(GetGameValue(n), cleared ? 0 : n + 1) << "#" << n;
    }
    EXPECT_EQ(player.deaths + player.kills + player.raises + player.biases, 0);
}

// A player record fresh from start-up stands with its eye at 48 and crawls at 24: with nothing set
// the eye would sit on the floor.
TEST_F(ArenaHelpers, ResetPlayerStateGivesTheBodyItsHeights) {
    LocalPlayer player{};
    ResetPlayerState(player);
    EXPECT_EQ(player.normal_eye_height, 48);
    EXPECT_EQ(player.eye_height, 48);
    EXPECT_EQ(player.crawl_eye_height, 24);
    EXPECT_EQ(player.bob_height, 38);
}

// ---- Damage tint ----------------------------------------------------------------------------------

TEST_F(ArenaHelpers, DamageTintStrengthTable) {
    struct Case {
        const char* what;
        int most, now, tintMs, expected;
    } cases[] = {
        {"unhurt, full time", 10000, 10000, 500, 35},
        {"half lost, full time", 10000, 5000, 500, 60},
        {"at 0 hit points", 10000, 0, 500, 85},
        {"at 0 hit points, 200 ms left", 10000, 0, 200, 34},
        {"maximum 0 counts as 0 hit points", 0, 0, 500, 85},
        {"negative maximum counts as 0 hit points", -5, 100, 500, 85},
        {"long tint held to 100", 10000, 0, 5000, 100},
        {"more than the maximum held to 0", 100, 10000, 500, 0},
        {"no time left", 10000, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SetGameValue(108, c.most);
        SetGameValue(107, c.now);
        EXPECT_EQ(DamageTintStrength(c.tintMs), c.expected) << c.what;
    }
}

// ---- Entry shrine test ------------------------------------------------------------------------------

TEST_F(ArenaHelpers, TeamShrineLostLooksAtTheFirstShrineOfTheTeam) {
    auto shrine = [](int n, int found, int alignment, int power) {
        g_level.shrines[n] = ShrineDef{};
        g_level.shrines[n].found = found;
        g_level.shrines[n].alignment = alignment;
        g_level.shrines[n].power = power;
    };
    ClearLevelDefs();
    SetGameValue(4, 2);
    EXPECT_EQ(TeamShrineLost(), 0) << "no shrine";
    shrine(1, 1, 1, 0);
    EXPECT_EQ(TeamShrineLost(), 0) << "another team's shrine";
    shrine(4, 1, 2, 0);
    shrine(7, 1, 2, 80);
    EXPECT_EQ(TeamShrineLost(), 1) << "the first of the team is gone";
    shrine(4, 1, 2, 10);
    shrine(7, 1, 2, 0);
    EXPECT_EQ(TeamShrineLost(), 0) << "only the first of the team counts";
    g_level.shrines[4].found = 0;
    EXPECT_EQ(TeamShrineLost(), 1) << "a shrine not in use is skipped";
    ClearLevelDefs();
}

// Only live glowing objects below the high-water mark start their glow again.
TEST_F(ArenaHelpers, ResetObjectGlowRestartsLiveGlowingObjects) {
    ClearWorldObjects();
    struct Case {
        int slot, active, glow, phase;  // the phase afterwards
    } cases[] = {{1, 1, 3, 0}, {2, 1, 0, 40}, {3, 0, 3, 40}, {4, 1, 3, 40}};
    for (const Case& c : cases) {
        WorldObjectTable[c.slot].active = static_cast<uint16_t>(c.active);
        WorldObjectTable[c.slot].light_glow = static_cast<uint16_t>(c.glow);
        WorldObjectTable[c.slot].glow_phase = 40;
    }
    WorldObjectHighWater = 4;  // slot 4 lies at the mark
    ResetObjectGlow();
    for (const Case& c : cases)
        EXPECT_EQ(WorldObjectTable[c.slot].glow_phase, c.phase) << c.slot;
    ClearWorldObjects();
}

// ---- Viewport ---------------------------------------------------------------------------------------

class Viewport : public ::testing::Test {
protected:
    void SetUp() override {
        dir.Enter();
        ViewBorder = 0;
        AllocViewBuffers();
    }
    void TearDown() override {
        GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);  // drop the cached file
        ViewBorder = 0;
    }
    void WriteViewport(const std::string& keys) {
        GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
        dir.Write("main.dat", "[viewport]\n" + keys);
    }
    TempDir dir;
    RecordingPresent present;
};

TEST_F(Viewport, LoadViewportSettingsTable) {
    struct Case {
        const char* file;
        int border;
        ViewRectangle expected;  // left, top, right, bottom, width, height, centre x, y, distance
    } cases[] = {
        {"", 0, {4, 10, 404, 300, 401, 291, 204, 155, 256}},
        {"left=10\nright=410\ntop=20\nbottom=320\ndistance=300\n", 16, {26, 36, 394, 304, 369, 269, 210, 170, 300}},
    };
    for (const Case& c : cases) {
        WriteViewport(c.file);
        ViewBorder = c.border;
        LoadViewportSettings();
        const ViewRectangle& r = g_viewRect;
        const ViewRectangle& e = c.expected;
        const int got[] = {r.left, r.top, r.right, r.bottom, r.width, r.height, r.centreX, r.centreY, r.distance};
        const int want[] = {e.left, e.top, e.right, e.bottom, e.width, e.height, e.centreX, e.centreY, e.distance};
        for (int i = 0; i < 9; ++i)
            EXPECT_EQ(got[i], want[i]) << "field " << i << " of \"" << c.file << "\"";
    }
}

TEST_F(Viewport, ApplyViewSizeTable) {
    struct Case {
        int border;
        int left, right, top, bottom, distance;
    } cases[] = {
        {0, 4, 404, 10, 300, 256},
        {16, 28, 380, 26, 284, 225},
        {32, 52, 356, 42, 268, 195},
        {48, 76, 332, 58, 252, 164},
    };
    WriteViewport("");
    LoadViewportSettings();
    for (const Case& c : cases) {
        ViewBorder = c.border;
        ApplyViewSize();
        const ViewRecord& v = g_views[0];
        EXPECT_EQ(g_viewRect.left, c.left) << c.border;
        EXPECT_EQ(g_viewRect.right, c.right) << c.border;
        EXPECT_EQ(g_viewRect.top, c.top) << c.border;
        EXPECT_EQ(g_viewRect.bottom, c.bottom) << c.border;
        EXPECT_EQ(g_viewRect.distance, c.distance) << c.border;
        // The main view takes the rectangle.
        EXPECT_EQ(v.x, c.left);
        EXPECT_EQ(v.y, c.top);
        EXPECT_EQ(v.width, c.right - c.left + 1);
        EXPECT_EQ(v.height, c.bottom - c.top + 1);
        EXPECT_EQ(v.centreColumn, (c.right - c.left + 1) / 2 + c.left);
        EXPECT_EQ(v.centreRow, (c.bottom - c.top + 1) / 2 + c.top);
        EXPECT_EQ(v.distance, c.distance);
        EXPECT_EQ(v.changed, 1);
    }
}

// Inside 640 x 400 with room in it, and a distance to divide by.
void ExpectInViewArea(int left, int right, int top, int bottom, int distance, const std::string& what) {
    EXPECT_GE(left, 0) << what;
    EXPECT_LT(left, right) << what;
    EXPECT_LE(right, 639) << what;
    EXPECT_GE(top, 0) << what;
    EXPECT_LT(top, bottom) << what;
    EXPECT_LE(bottom, 399) << what;
    EXPECT_GE(distance, 1) << what;
}

// Whatever main.dat says, neither the settings nor the rectangle leave the view area, and neither
// the distance nor the width ratio divides by 0.
TEST_F(Viewport, HostileValuesAreHeldToTheViewArea) {
    const char* files[] = {
        "left=100\nright=100\n",
        "left=300\nright=200\ntop=300\nbottom=100\n",
        "left=-50\nright=5000\ntop=-9\nbottom=9000\n",
        "distance=0\n",
        "distance=-40\n",
        "left=639\nright=639\ntop=399\nbottom=399\n",
        "left=2147483647\nright=-2147483648\n",
        "left=0\nright=1\ntop=0\nbottom=1\n",
    };
    for (const char* file : files) {
        WriteViewport(file);
        for (int border : {0, 16, 48}) {
            ViewBorder = border;
            LoadViewportSettings();
            const ViewportSettings& s = g_viewportSettings;
            const std::string what = std::string(file) + " border " + std::to_string(border);
            ExpectInViewArea(s.left, s.right, s.top, s.bottom, s.distance, "settings " + what);
            ExpectInViewArea(g_viewRect.left, g_viewRect.right, g_viewRect.top, g_viewRect.bottom, g_viewRect.distance,
                             "loaded " + what);
            ApplyViewSize();
            ExpectInViewArea(g_viewRect.left, g_viewRect.right, g_viewRect.top, g_viewRect.bottom, g_viewRect.distance,
                             "applied " + what);
        }
    }
}

TEST_F(Viewport, SetViewRectHoldsHostileRectangles) {
    SetViewRect(2, 700, -5, 100, 900, 0);
    const ViewRecord& v = g_views[2];
    EXPECT_EQ(v.x, 638);
    EXPECT_EQ(v.firstColumn, 638);
    EXPECT_EQ(v.lastColumn, 639);
    EXPECT_EQ(v.y, 0);
    EXPECT_EQ(v.height, 400);
    EXPECT_EQ(v.distance, 1);
    SetViewRect(7, 0, 0, 10, 10, 5);  // no such view: nothing
    SetViewRect(-1, 0, 0, 10, 10, 5);
}

TEST_F(Viewport, ColumnClipsTakeTheMainView) {
    SetViewRect(0, 28, 26, 380, 284, 225);
    ResetColumnClips();
    for (int c : {0, 320, 639}) {
        EXPECT_EQ(ColumnTopClip[c], 26);
        EXPECT_EQ(ColumnBottomClip[c], 284);
    }
}

// ---- SetViewPoint -------------------------------------------------------------------------------------

class ViewPoint : public ::testing::Test {
protected:
    void SetUp() override {
        AllocViewBuffers();
        ClearWorldObjects();
        g_playMode = 1;
    }
    void TearDown() override {
        ClearWorldObjects();
        AllocViewBuffers();
    }
    int LiveObject(int x, int y, int z) {
        const int slot = AllocObjectSlot(OBJ_MOVING);
        WorldObject& o = WorldObjectTable[slot];
        o.active = 1;
        o.x = static_cast<uint16_t>(x);
        o.y = static_cast<uint16_t>(y);
        o.z = static_cast<int16_t>(z);
        o.tall = 40;
        o.facing = 1024;
        return slot;
    }
    RecordingPresent present;
};

TEST_F(ViewPoint, ModeZeroTakesTheArguments) {
    EXPECT_EQ(SetViewPoint(0, 100, 200, 48, 5, 2048), 1);
    const ViewRecord& v = g_views[0];
    EXPECT_EQ(v.eyeX, 100);
    EXPECT_EQ(v.eyeY, 200);
    EXPECT_EQ(v.eyeZ, 48);
    EXPECT_EQ(v.eyePitch, 5);
    EXPECT_EQ(v.eyeAngle, 2048);
    EXPECT_EQ(SetViewPoint(7, 1, 1, 1, 1, 1), 0);
    EXPECT_EQ(SetViewPoint(-1, 1, 1, 1, 1, 1), 0);
}

TEST_F(ViewPoint, ModeOneFollowsItsObjectUntilItIsGone) {
    ViewRecord& v = g_views[3];
    v.mode = 1;
    v.object = LiveObject(300, 400, 10);
    EXPECT_EQ(SetViewPoint(3, 0, 0, 0, 0, 0), 1);
    EXPECT_EQ(v.eyeX, 300);
    EXPECT_EQ(v.eyeY, 400);
    EXPECT_EQ(v.eyeZ, 50);
    EXPECT_EQ(v.eyeAngle, 1024);
    EXPECT_EQ(SetViewPoint(3, 7, 8, 9, 1, 2), 1);
    EXPECT_EQ(v.eyeX, 7);
    WorldObjectTable[v.object].active = 0;
    EXPECT_EQ(SetViewPoint(3, 0, 0, 0, 0, 0), 0);
    EXPECT_EQ(v.mode, 2);
    EXPECT_EQ(v.object, 0);
    EXPECT_EQ(SetViewPoint(3, 0, 0, 0, 0, 0), 0);
}

TEST_F(ViewPoint, ModeFiveRefusesObjectsOutsideTheTable) {
    ViewRecord& v = g_views[1];
    v.mode = 5;
    for (int object : {0, -1, 1000, 65535, -70000}) {
        v.object = object;
        EXPECT_EQ(SetViewPoint(1, 0, 0, 0, 0, 0), 0) << object;
    }
    v.object = LiveObject(300, 400, 10);
    WorldObjectTable[v.object].active = 0;
    EXPECT_EQ(SetViewPoint(1, 0, 0, 0, 0, 0), 0) << "inactive";
}


// ---- SetHudListMode ---------------------------------------------------------------------------------

// The rows of each list mode become click regions (x, y, w, h by index); other modes have none.
TEST(HudListMode, EachModeHasItsRowRegions) {
    RecordingPresent present;
    struct Case {
        int mode, group, count, width, height, firstY, step;
    } cases[] = {
        {2, 33, 9, 160, 10, 371, 10},
        {3, 34, 13, 160, 7, 362, 9},
        {6, 32, 10, 120, 10, 360, 10},
        {4, 0, 0, 0, 0, 0, 0},
    };
    LocalPlayer player{};
    ClearClickRegions(0);
    AddClickRegion(1, 2, 3, 4, 5, 31);  // another group stays
    for (const Case& c : cases) {
        SetHudListMode(player, 6);  // regions of another mode go first
        SetHudListMode(player, c.mode);
        EXPECT_EQ(HudListMode, c.mode);
        int found = 0, others = 0;
        for (const ClickRegion& r : g_mouse.regions) {
            if (!r.used)
                continue;
            if (r.group == 31) {
                ++others;
                continue;
            }
            ASSERT_EQ(r.group, c.group) << c.mode;
            EXPECT_EQ(r.x, 440) << c.mode;
            EXPECT_EQ(r.y, c.firstY + c.step * r.id) << c.mode;
            EXPECT_EQ(r.width, c.width) << c.mode;
            EXPECT_EQ(r.height, c.height) << c.mode;
            ++found;
        }
        EXPECT_EQ(found, c.count) << c.mode;
        EXPECT_EQ(others, 1) << c.mode;
    }
    ClearClickRegions(0);
    HudListMode = 2;
}

}  // namespace
