// The HUD texts, in-game pages and the overhead map: each draws only its own rectangle and marks
// its panel; the notices, the status text, the player list and the map's markers.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "client/arena/game_input.h"
#include "client/arena/local_player.h"
#include "client/arena/player_view.h"
#include "client/arena/world_object.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "client/core/numeric.h"
#include "client/core/screen_state.h"
#include "client/net/client_tables.h"
#include "client/net/net_match.h"
#include "client/screens/character_state.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/chat_commands.h"
#include "client/screens/chat_input.h"
#include "client/screens/fonts.h"
#include "client/screens/game_pages.h"
#include "client/screens/hud_text.h"
#include "client/screens/input.h"
#include "client/screens/notice_lines.h"
#include "client/screens/overhead_map.h"
#include "client/screens/screen_art.h"
#include "common/text.h"
#include "tests/client/screens/screen_fixture.h"
#include "tools/writers/map_art.h"

namespace {

constexpr uint16_t kGuard = 0x5A5A;

class HudFixture : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        StartScreen();
        ResetGameValues();
        ClearPlayerTable();
        ResetArenaList();
        ClearChatBuffer();
        g_screen.ClearNoticeLines();
        SetStatusText("", 0);
        g_screenState = 1;
        g_debugLevel = 0;
        HudListOffset = 0;
        LagDisplayFlag = 0;
        CurrentArena = -1;
        SetGameValue(4, 1);
        SetGameValue(118, 7);
        std::memset(g_currentCharacter.name, 0, sizeof g_currentCharacter.name);
        CopyText(g_currentCharacter.name, "Thorn");
        SwapOddNibbles(g_currentCharacter.name);
        std::memset(&player, 0, sizeof player);
        g_localPlayer = &player;
    }
    void TearDown() override {
        g_localPlayer = nullptr;
        g_playerView = nullptr;
        g_screenState = 0;
        g_debugLevel = 0;
        CurrentArena = -1;
        ClearLevelDefs();
        ClearWorldObjects();
        ScreenFixture::TearDown();
    }
    void Guard() { std::fill_n(g_screen.backBuffer, kScreenPixels, kGuard); }
    // Pixels that changed outside the rectangle, and whether any inside did.
    int ChangedOutside(int x, int y, int w, int h, bool* inside) const {
        int outside = 0;
        *inside = false;
        for (int py = 0; py < kScreenHeight; ++py)
            for (int px = 0; px < kScreenWidth; ++px) {
                const bool changed = At(px, py) != kGuard;
                if (px >= x && px < x + w && py >= y && py < y + h)
                    *inside |= changed;
                else
                    outside += changed;
            }
        return outside;
    }
    LocalPlayer player{};
};

TEST_F(HudFixture, EachElementChangesOnlyItsRectangleAndMarksItsPanel) {
    for (int i = 1; i <= 5; ++i)
        UpdatePlayerTable(20 + i, 51, i % 3, ("P" + std::to_string(i)).c_str());
    PrintMessage(MSG_ALL, "a chat line", 0, 0);
    CopyText(g_typedLine.text, "typing");
    g_typedLine.length = 6;
    g_level.shrines[0].found = 1;
    g_level.shrines[0].alignment = 1;
    g_level.shrines[0].bias = 100;
    struct Case {
        const char* name;
        std::function<void()> draw;
        int x, y, w, h;
        const char* panel;  // the SetPanelRedrawFlag call, "" for none
    } cases[] = {
        {"match clock", [] { DrawMatchClock(); }, 0, 320, 64, 16, "SetPanelRedrawFlag(18, 1)"},
        {"experience", [] { DrawExperienceLine(); }, 0, 132, 128, 32, "SetPanelRedrawFlag(3, 1)"},
        {"target line", [] { DrawTargetLine(); }, 0, 250, 256, 16, "SetPanelRedrawFlag(0, 1)"},
        {"spell group", [] { SpellGroupDisplay = 1; DrawTargetLine(); SpellGroupDisplay = 0; }, 0, 250, 128, 64,
         "SetPanelRedrawFlag(0, 1)"},
        {"status text", [] { SetStatusText("Status", 4); DrawStatusText(); }, 0, 200, 256, 16, "SetPanelRedrawFlag(7, 1)"},
        {"notices", [] { PushNoticeLine("Notice"); DrawNoticeLines(10); }, 192, 352, 256, 48, "SetPanelRedrawFlag(8, 1)"},
        {"chat entry", [] { DrawChatEntryLine(4); }, 180, 580, 256, 16, "SetPanelRedrawFlag(6, 1)"},
        {"chat lines", [] { DrawChatBuffer(0); }, 180, 512, 256, 64, "SetPanelRedrawFlag(4, 1)"},
        {"player list", [] { DrawGameopsPage(); }, 700, 4, 96, 256, "SetPanelRedrawFlag(11, 1)"},
        {"player panel", [] { DrawPlayerPanel(); }, 8, 8, 92, 190, ""},
        {"teams", [] { DrawTeamsPage(); }, 438, 333, 160, 136, "SetPanelRedrawFlag(5, 1)"},
        {"readied", [] { DrawReadiedSpellsPage(); }, 438, 333, 200, 145, ""},
        {"help", [] { DrawHelpPage(); }, 538, 8, 92, 300, ""},
        {"link stats", [] { g_debugLevel = 1; DrawLinkStats(600, 315); g_debugLevel = 0; }, 600, 315, 32, 24, ""},
        {"small map", [] { CopyText(SmallMapText[0], "Brief"); DrawSmallMapPanel(); }, 50, 50, 541, 380, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Guard();
        present->calls.clear();
        c.draw();
        bool inside = false;
        EXPECT_EQ(ChangedOutside(c.x, c.y, c.w, c.h, &inside), 0);
        EXPECT_TRUE(inside);
        const std::vector<std::string> flags = present->Named("SetPanelRedrawFlag");
        if (*c.panel)
            EXPECT_EQ(flags, std::vector<std::string>{c.panel});
        else
            EXPECT_TRUE(flags.empty());
    }
}

TEST_F(HudFixture, TheMatchClockShowsMinutesAndSecondsOfTheHour) {
    ArenaTable[3].id = 3;
    ArenaTable[3].match.start_time = 1000;
    ArenaTable[3].match.time = 1000 + 3600 + 62;  // an hour is not shown
    CurrentArena = 3;
    Guard();
    DrawMatchClock();
    const std::vector<uint16_t> drawn(g_screen.backBuffer, g_screen.backBuffer + kScreenPixels);
    // The same picture as the text drawn by hand in the box.
    Guard();
    g_screen.FillRect16(0, 320, 64, 16, MakePixel16(0, 0, 0));
    DrawClippedText(ScreenRect{0, 320, 64, 16}, (64 - TextWidth("01:02", 7)) / 2, 320, 4, "01:02", 7);
    EXPECT_TRUE(std::equal(drawn.begin(), drawn.end(), g_screen.backBuffer));

    // The whole text fits the box: five glyphs, each a run of inked columns, none cut at its edge.
    const uint16_t black = MakePixel16(0, 0, 0);
    std::vector<bool> inked(64, false);
    for (int y = 320; y < 336; ++y)
        for (int x = 0; x < 64; ++x)
            inked[x] = inked[x] || At(x, y) != black;
    int runs = 0;
    for (int x = 0; x < 64; ++x)
        runs += inked[x] && (x == 0 || !inked[x - 1]);
    EXPECT_EQ(runs, 5);
    EXPECT_FALSE(inked[0] || inked[63]);
}

TEST_F(HudFixture, TheExperienceLineKeepsTheNameOffTheLevelAndTheExperience) {
    SetGameValue(0, 5);
    SetGameValue(114, 0);
    SetGameValue(1, 4200);
    SetGameValue(132, 120);
    SetGameValue(106, 3);
    SetGameValue(4, 4);  // a colour that shows on the fixture's palette
    auto draw = [](const char* name) {
        std::memset(g_currentCharacter.name, 0, sizeof g_currentCharacter.name);
        CopyText(g_currentCharacter.name, name);
        SwapOddNibbles(g_currentCharacter.name);
        DrawExperienceLine();
        return std::vector<uint16_t>(g_screen.backBuffer, g_screen.backBuffer + kScreenPixels);
    };
    const std::vector<uint16_t> without = draw("");
    const uint16_t black = MakePixel16(0, 0, 0);
    for (const char* name : {"Al", "Maximilian", "Wwwwwwwwwwwwwwwwwwww"}) {
        SCOPED_TRACE(name);
        const std::vector<uint16_t> with = draw(name);
        // Every pixel of the level and the experience is still there with the name beside them.
        int kept = 0, lost = 0, nameInk = 0;
        for (int y = 132; y < 164; ++y)
            for (int x = 0; x < 128; ++x) {
                const size_t i = static_cast<size_t>(y) * kScreenWidth + x;
                if (without[i] != black)
                    (with[i] == without[i] ? kept : lost) += 1;
                else
                    nameInk += with[i] != black;
            }
        EXPECT_GT(kept, 0);
        EXPECT_EQ(lost, 0);
        EXPECT_GT(nameInk, 0);
    }
}

TEST_F(HudFixture, NoticesLiveFiveSecondsAndAFourthDropsTheOldest) {
    PushNoticeLine("one");
    PushNoticeLine("two");
    PushNoticeLine("three");
    PushNoticeLine("four");
    EXPECT_STREQ(g_screen.noticeLines[0], "four");
    EXPECT_STREQ(g_screen.noticeLines[2], "two");
    PushNoticeLine("");
    EXPECT_STREQ(g_screen.noticeLines[0], "four") << "an empty text is ignored";
    DrawNoticeLines(4999);
    EXPECT_STREQ(g_screen.noticeLines[0], "four");
    present->calls.clear();
    DrawNoticeLines(1);
    EXPECT_STREQ(g_screen.noticeLines[0], "");
    EXPECT_EQ(present->Count("SetPanelRedrawFlag"), 1u);
    present->calls.clear();
    DrawNoticeLines(100);
    EXPECT_EQ(present->Count("SetPanelRedrawFlag"), 0u) << "nothing changed";
}

TEST_F(HudFixture, AnUnchangedStatusTextIsNotDrawnAgain) {
    SetStatusText("Casting", 1);
    DrawStatusText();
    present->calls.clear();
    Guard();
    DrawStatusText();
    SetStatusText("Casting", 2);
    DrawStatusText();
    EXPECT_EQ(present->Count("SetPanelRedrawFlag"), 0u);
    bool inside = false;
    EXPECT_EQ(ChangedOutside(0, 0, 0, 0, &inside), 0);
    SetStatusText("Ready", 1);
    DrawStatusText();
    EXPECT_EQ(present->Count("SetPanelRedrawFlag"), 1u);
}

// ---- Player list ------------------------------------------------------------------------------

TEST_F(HudFixture, ThePlayerListGroupsTeamsOwnTeamFirstAndSortsNames) {
    SetGameValue(4, 2);
    SetGameValue(0, 12);
    SetGameValue(114, 1);
    const struct {
        int id, team;
        const char* name;
    } players[] = {{30, 1, "zed"}, {31, 2, "bob"}, {32, 0, "Op"}, {33, 2, "Al"}, {34, 3, "carl"}, {35, 2, "Zoe"}};
    for (const auto& p : players)
        UpdatePlayerTable(p.id, 51, p.team, p.name);
    PlayerTable[FindPlayerIndex(33)].dead = 1;
    PlayerTable[FindPlayerIndex(31)].value16 = 3;
    PlayerTable[FindPlayerIndex(31)].value17 = 9;
    PlayerTable[FindPlayerIndex(31)].ping = 12;
    static PlayerListRow rows[kPlayerRowCapacity];
    const int n = BuildPlayerList(rows);
    std::vector<std::string> names;
    for (int i = 0; i < n; ++i)
        names.push_back(rows[i].header ? "#" + std::to_string(-1 - rows[i].id) : rows[i].name);
    EXPECT_EQ(names, (std::vector<std::string>{"#0", "Op", "#2", "Al", "bob", "Thorn", "Zoe", "#3", "carl", "#1", "zed"}));
    EXPECT_EQ(rows[3].marker, 6) << "dead";
    EXPECT_EQ(rows[4].profession, 3);
    EXPECT_EQ(rows[4].level, 9);
    EXPECT_EQ(rows[4].link, 120);
    EXPECT_EQ(rows[5].id, 7);
    EXPECT_EQ(rows[5].level, 12);
    EXPECT_EQ(rows[5].profession, 1);
}

TEST_F(HudFixture, OfflineTheOwnRowIsNoHeader) {
    SetGameValue(118, -1);  // offline
    SetGameValue(4, 0);
    static PlayerListRow rows[kPlayerRowCapacity];
    ASSERT_EQ(BuildPlayerList(rows), 2);
    EXPECT_EQ(rows[0].header, 1);
    EXPECT_EQ(rows[1].header, 0);
    EXPECT_EQ(rows[1].id, -1);
    EXPECT_STREQ(rows[1].name, "Thorn");
    SetGameValue(118, -920240477);
    DrawGameopsPage();  // an own id of any value is a player row, never a header
}

TEST_F(HudFixture, ThePlayerListShowsTwentyFourRowsThenEndMore) {
    auto bandLit = [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y)
            for (int x = 700; x < 796; ++x)
                if (At(x, y) != MakePixel16(0, 0, 0))
                    return true;
        return false;
    };
    for (int i = 0; i < 29; ++i)
        UpdatePlayerTable(100 + i, 51, 1, ("n" + std::to_string(i)).c_str());
    static PlayerListRow rows[kPlayerRowCapacity];
    EXPECT_EQ(BuildPlayerList(rows), 31) << "a header, 29 players and the own row";
    DrawGameopsPage();
    EXPECT_TRUE(bandLit(24 + 23 * 9, 24 + 24 * 9)) << "the 24th row";
    EXPECT_TRUE(bandLit(24 + 24 * 9, 260)) << "*END More*";
    EXPECT_FALSE(bandLit(14, 23)) << "no *HOME More* at the top";
    HudListOffset = 10;
    DrawGameopsPage();
    EXPECT_TRUE(bandLit(14, 23)) << "*HOME More*";
    EXPECT_FALSE(bandLit(24 + 21 * 9, 260)) << "rows 10 to 30 end the list";

    ClearPlayerTable();
    HudListOffset = 0;
    for (int i = 0; i < 20; ++i)
        UpdatePlayerTable(100 + i, 51, 1, ("n" + std::to_string(i)).c_str());
    DrawGameopsPage();
    EXPECT_FALSE(bandLit(24 + 24 * 9, 260));
}

TEST_F(HudFixture, APlayerListOfEveryPlayerFitsItsRows) {
    for (int i = 0; i < kPlayerTableSize - 1; ++i)
        UpdatePlayerTable(1000 + i, 51, i % 4, "x");
    SetGameValue(4, 3);
    static PlayerListRow rows[kPlayerRowCapacity + 1];
    rows[kPlayerRowCapacity].id = 12345;
    EXPECT_EQ(BuildPlayerList(rows), 499 + 1 + 4);
    EXPECT_EQ(rows[kPlayerRowCapacity].id, 12345) << "nothing past the last row";
}

// ---- Overhead map ---------------------------------------------------------------------------

class MapFixture : public HudFixture {
protected:
    void SetUp() override {
        HudFixture::SetUp();
        const std::vector<uint8_t> arrow = BuildArrowPcx(), node = BuildNodePcx();
        dir->Write("arrow.pcx", std::string(arrow.begin(), arrow.end()));
        dir->Write("node.pcx", std::string(node.begin(), node.end()));
        LoadMapMarkerArt();
        ClearLevelDefs();
        ClearWorldObjects();
        g_level.minx = 10;
        g_level.miny = 20;
        g_level.maxx = 60;
        g_level.maxy = 70;
        for (int cx = 10; cx <= 60; ++cx)
            for (int cy = 20; cy <= 70; ++cy) {
                const int i = CellIndex(cx, cy);
                g_level.plane[kPlaneFloor][i] = 0;
                g_level.plane[kPlaneCeiling][i] = static_cast<int16_t>(cx < 30 ? 256 : cy < 40 ? 700 : 0);
            }
        view.x = 40 * 64 + 10;
        view.y = 50 * 64 + 10;
        view.facing = 1024;
        g_playerView = &view;
        GameClock = 100000;
        std::memset(ShrineChangeTime, 0, sizeof ShrineChangeTime);
        std::memset(EarthnodeBiasTime, 0, sizeof EarthnodeBiasTime);
        MapBlinkClock = 0;
    }
    static int Count(uint8_t from, uint8_t to) {
        int n = 0;
        for (int i = 0; i < kMapSize * kMapSize; ++i)
            n += g_screen.mapBuffer[i] >= from && g_screen.mapBuffer[i] <= to;
        return n;
    }
    uint8_t Map(int x, int y) const { return g_screen.mapBuffer[y * kMapSize + x]; }
    PlayerView view{};
};

TEST_F(MapFixture, CellsAreShadedByTheirRoom) {
    g_playerView = nullptr;
    DrawOverheadMap(player, 0);
    EXPECT_EQ(Map(0, 0), 256 / 32) << "cell 10, 20";
    EXPECT_EQ(Map(1, 1), 256 / 32);
    EXPECT_EQ(Map(2 * 25, 2 * 10), 16) << "a room over 20 steps high";
    EXPECT_EQ(Map(2 * 25, 2 * 30), 1) << "no room";
    EXPECT_EQ(Map(2 * 51, 0), 0) << "beyond the used cells";
    EXPECT_EQ(Map(0, 2 * 51), 0);
}

TEST_F(MapFixture, TheArrowIsDrawnOnlyStrictlyInsideTheMap) {
    const struct {
        int cx, cy;
        bool arrow;
    } cases[] = {{40, 50, true}, {40, 70, false}, {40, 71, false}, {10, 50, false}, {11, 21, true}, {59, 69, true}, {40, 20, false}};
    for (const auto& c : cases) {
        view.x = c.cx * 64 + 5;
        view.y = c.cy * 64 + 5;
        DrawOverheadMap(player, 0);
        EXPECT_EQ(Count(129, 160) > 0, c.arrow) << c.cx << ", " << c.cy;
    }
}

TEST_F(MapFixture, NodesLinksAndFiguresFollowTheMatch) {
    g_level.shrines[0] = ShrineDef{};
    ShrineDef& nexus = g_level.shrines[0];
    nexus.found = 1;
    nexus.alignment = 1;
    nexus.x = 20 * 64 + 32;
    nexus.y = 30 * 64 + 32;
    nexus.link[0] = 0;
    for (int k = 1; k < 5; ++k)
        nexus.link[k] = -1;
    const int nodes[3][4] = {{30, 30, 1, 1}, {30, 40, 1, 2}, {50, 40, 2, 102}};
    for (int n = 0; n < 3; ++n) {
        EarthnodeDef& e = g_level.earthnodes[n];
        e.found = 1;
        e.x = nodes[n][0] * 64 + 32;
        e.y = nodes[n][1] * 64 + 32;
        e.owner = nodes[n][2];
        for (int& l : e.link)
            l = -1;
        e.link[0] = nodes[n][3];
    }
    g_level.earthnodes[1].link[1] = 0;
    g_linkState = 2;
    DrawOverheadMap(player, 0);
    // Dragon's nexus reaches nodes 0 and 1 along its links in its colour (2 x 32).
    EXPECT_EQ(Map(2 * 15 + 1, 2 * 10 + 1), 64) << "between the nexus and node 0";
    EXPECT_EQ(Map(2 * 20 + 1, 2 * 15 + 1), 64) << "between node 0 and node 1";
    EXPECT_EQ(Map(2 * 30 + 1, 2 * 20 + 1), 1) << "node 2 is Gryphon's: no line to it";
    g_linkState = 1;
    DrawOverheadMap(player, 0);
    EXPECT_EQ(Map(2 * 30 + 1, 2 * 20 + 1), 32) << "offline every link is drawn";
    g_linkState = 0;

    // Figures of the own team while alive; gates while dead.
    const int mate = AllocObjectAt(OBJ_PLAYER, 45 * 64, 25 * 64);
    WorldObjectTable[mate].active = 1;
    WorldObjectTable[mate].team = 1;
    WorldObjectHighWater = std::max(WorldObjectHighWater, mate + 1);
    const int gate = AllocObjectAt(OBJ_GATE, 45 * 64, 60 * 64);
    WorldObjectTable[gate].active = 1;
    WorldObjectHighWater = std::max(WorldObjectHighWater, gate + 1);
    const int mateX = 2 * 35 + 1, mateY = 2 * 5 + 1, gateY = 2 * 40 + 1;
    DrawOverheadMap(player, 0);
    EXPECT_GE(Map(mateX, mateY), 7 * 32 + 1);
    EXPECT_LT(Map(mateX, gateY), 7 * 32 + 1);
    player.dead = 1;
    DrawOverheadMap(player, 0);
    EXPECT_LT(Map(mateX, mateY), 7 * 32 + 1);
    EXPECT_GE(Map(mateX, gateY), 7 * 32 + 1);
}

TEST_F(MapFixture, AHitNexusBlinks) {
    ShrineDef& nexus = g_level.shrines[0];
    nexus.found = 1;
    nexus.alignment = 3;
    nexus.x = 20 * 64 + 32;
    nexus.y = 30 * 64 + 32;
    for (int& l : nexus.link)
        l = -1;
    const int x = 2 * 10 + 1, y = 2 * 10 + 1;
    DrawOverheadMap(player, 0);
    EXPECT_GE(Map(x, y), 5 * 32 + 1) << "Phoenix's colour";
    ShrineChangeTime[0] = GameClock / 10 - 100;
    DrawOverheadMap(player, 1600);  // blink clock 1600: phase 3
    EXPECT_GE(Map(x, y), 3 * 32 + 1);
    EXPECT_LT(Map(x, y), 4 * 32 + 1);
    DrawOverheadMap(player, 500);  // 2100 wraps to 100: phase 0
    EXPECT_LT(Map(x, y), 33);
}

TEST_F(MapFixture, TheMapOfALevelMatchesItsGolden) {
    ShrineDef& nexus = g_level.shrines[0];
    nexus.found = 1;
    nexus.alignment = 2;
    nexus.x = 15 * 64;
    nexus.y = 25 * 64;
    for (int& l : nexus.link)
        l = -1;
    nexus.link[0] = 0;
    EarthnodeDef& e = g_level.earthnodes[0];
    e.found = 1;
    e.owner = 2;
    e.x = 35 * 64;
    e.y = 55 * 64;
    for (int& l : e.link)
        l = -1;
    g_linkState = 2;
    DrawOverheadMap(player, 0);
    g_linkState = 0;
    std::string message;
    EXPECT_TRUE(ddtest::MatchesGolden(goldenDir, "overhead_map", MapBufferImage(), 0, 0, &message)) << message;
}

// ---- Pages ------------------------------------------------------------------------------------

TEST_F(HudFixture, ThePageIsDrawnOnlyWhenAskedAndTheMapEverySecondCall) {
    g_screen.pageRedraw = 0;
    HudListMode = 5;
    present->calls.clear();
    ShowGamePage(10, 0);
    EXPECT_EQ(present->Count("SetPanelRedrawFlag"), 0u);
    RequestPageRedraw();
    ShowGamePage(10, 0);
    EXPECT_EQ(present->Named("SetPanelRedrawFlag"),
              (std::vector<std::string>{"SetPanelRedrawFlag(11, 1)", "SetPanelRedrawFlag(5, 1)"}));
    EXPECT_EQ(g_screen.pageRedraw, 0);
    HudListMode = 4;
    MapBlinkClock = 0;
    ShowGamePage(100, 0);
    ShowGamePage(100, 0);
    ShowGamePage(100, 0);
    ShowGamePage(100, 0);
    EXPECT_EQ(MapBlinkClock, 200) << "two of four calls drew the map";
    HudListMode = 0;
}

}  // namespace
