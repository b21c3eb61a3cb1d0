// The status line's texts and the HUD's status and notice drawing in the started 2D screen.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "client/arena/game_input.h"
#include "client/arena/grid_queries.h"
#include "client/arena/local_player.h"
#include "client/arena/player_move.h"
#include "client/arena/player_status.h"
#include "client/arena/player_view.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "client/net/client_tables.h"
#include "client/net/net_match.h"
#include "client/screens/color_tables.h"
#include "client/screens/fonts.h"
#include "client/screens/notice_lines.h"
#include "tests/client/screens/screen_fixture.h"

namespace {

class HudText : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        StartScreen();
        NewPresent();
        // Every colour index white, so any text shows on black.
        LightTable& base = *GetLightTable(0);
        std::memcpy(savedRow, base.rows[32], sizeof savedRow);
        for (uint32_t& p : base.rows[32])
            p = 0xFFFFFFFFu;
    }
    void TearDown() override {
        std::memcpy(GetLightTable(0)->rows[32], savedRow, sizeof savedRow);
        ScreenFixture::TearDown();
    }

    // Columns of the row band y0..y1 with a non-black pixel: first and last (-1 when none).
    std::pair<int, int> InkColumns(int x0, int x1, int y0, int y1) const {
        int first = -1, last = -1;
        for (int x = x0; x < x1; ++x)
            for (int y = y0; y < y1; ++y)
                if (At(x, y) != 0) {
                    if (first < 0)
                        first = x;
                    last = x;
                    break;
                }
        return {first, last};
    }
    size_t Marks(int panel) const {
        size_t n = 0;
        for (const std::string& c : present->Named("SetPanelRedrawFlag"))
            n += c == "SetPanelRedrawFlag(" + std::to_string(panel) + ", 1)";
        return n;
    }
    uint32_t savedRow[256] = {};
};

TEST(TeamColours, TeamsZeroToThreeHaveTheirOwnColours) {
    const int expected[][2] = {{0, 5}, {1, 1}, {2, 2}, {3, 3}, {4, 0}, {-1, 0}, {19, 0}};
    for (const auto& e : expected)
        EXPECT_EQ(TeamColorIndex(e[0]), e[1]) << "team " << e[0];
}

TEST_F(HudText, TheStatusTextIsDrawnCentredOnlyWhenItChanges) {
    SetStatusText("In Nexus", 1);
    DrawStatusText();
    EXPECT_EQ(Marks(kStatusTextPanel), 1u);
    const int first = InkColumns(0, 256, 200, 216).first;
    const int left = (256 - TextWidth("In Nexus", 7)) / 2;
    EXPECT_GE(first, left) << "centred by its measured width in 0, 200, 256 x 16";
    EXPECT_LE(first, left + 4);
    EXPECT_EQ(InkColumns(0, 800, 216, 230).first, -1) << "nothing below the box";

    // The same text again: nothing drawn, so a mark left in the box stays.
    g_screen.backBuffer[205 * kScreenWidth + 2] = 0x1234;
    SetStatusText("In Nexus", 1);
    DrawStatusText();
    EXPECT_EQ(Marks(kStatusTextPanel), 1u);
    EXPECT_EQ(At(2, 205), 0x1234);

    // An empty text clears the box once.
    SetStatusText("", 3);
    EXPECT_EQ(g_screen.statusLength, 0);
    EXPECT_EQ(g_screen.statusColour, 0);
    DrawStatusText();
    EXPECT_EQ(Marks(kStatusTextPanel), 2u);
    EXPECT_EQ(InkColumns(0, 256, 200, 216).first, -1);
}

TEST_F(HudText, AStatusTextIsCutAtFiftyCharacters) {
    const std::string longText(70, 'x');
    SetStatusText(longText.c_str(), 2);
    EXPECT_EQ(g_screen.statusLength, 50);
    EXPECT_EQ(std::string(g_screen.statusText), std::string(50, 'x'));
    EXPECT_EQ(g_screen.statusColour, 2);
}

TEST_F(HudText, NoticeLinesAgeOutAndTheFourthDropsTheOldest) {
    g_screen.ClearNoticeLines();
    PushNoticeLine("one");
    PushNoticeLine("");  // ignored
    DrawNoticeLines(1000);
    PushNoticeLine("two");
    PushNoticeLine("three");
    PushNoticeLine("four");
    EXPECT_STREQ(g_screen.noticeLines[0], "four");
    EXPECT_STREQ(g_screen.noticeLines[1], "three");
    EXPECT_STREQ(g_screen.noticeLines[2], "two");

    present->calls.clear();
    DrawNoticeLines(0);
    EXPECT_EQ(Marks(kNoticeLinesPanel), 1u);
    for (int line = 0; line < 3; ++line)
        EXPECT_GE(InkColumns(192, 448, 352 + 16 * line, 368 + 16 * line).first, 192) << "line " << line;
    DrawNoticeLines(0);
    EXPECT_EQ(Marks(kNoticeLinesPanel), 1u) << "unchanged lines mark nothing";

    DrawNoticeLines(4999);
    EXPECT_STREQ(g_screen.noticeLines[0], "four") << "still shown 1 ms before its end";
    DrawNoticeLines(1);
    for (int line = 0; line < 3; ++line)
        EXPECT_STREQ(g_screen.noticeLines[line], "") << "line " << line;
    EXPECT_EQ(Marks(kNoticeLinesPanel), 2u);
    EXPECT_EQ(InkColumns(192, 448, 352, 400).first, -1) << "the box is black again";
}

TEST_F(HudText, NoticeLinesAreDrawnDownToTheFirstEmptyOne) {
    g_screen.ClearNoticeLines();
    PushNoticeLine("older");
    PushNoticeLine("newer");
    g_screen.noticeLines[0][0] = 0;  // the top line emptied: nothing below it is drawn
    DrawNoticeLines(0);
    EXPECT_EQ(InkColumns(192, 448, 352, 400).first, -1);
}

// The status line chooses its text in order and draws it through the HUD text.
class StatusLine : public HudText {
protected:
    void SetUp() override {
        HudText::SetUp();
        ResetGameValues();
        ClearActionState();
        std::memset(&g_level, 0, sizeof g_level);
        for (int i = 0; i < kGridCells; ++i) {
            g_level.plane[kPlaneCeiling][i] = 256;
            g_level.plane[kPlaneStoreySplit][i] = 32767;
        }
        player = LocalPlayer{};
        player.normal_eye_height = player.eye_height = 48;
        view = PlayerView{};
        view.x = view.y = 4000;
        g_playerView = &view;
        g_localPlayer = &player;
        view.z = GetStandHeight(4000, 4000, 0);
        GameClock = 1000000;
        std::memset(ShrineChangeTime, 0, sizeof ShrineChangeTime);
        CurrentArena = 0;
        ArenaTable[0].match = ArenaMatch{};
        ArenaTable[0].match.player_count = 6;
        g_operatorFlags = 0;
        DebugToggle = 0;
    }
    void TearDown() override {
        g_playerView = nullptr;
        g_localPlayer = nullptr;
        CurrentArena = -1;
        ArenaTable[0].match = ArenaMatch{};
        g_operatorFlags = 0;
        DebugToggle = 0;
        ClearActionState();
        HudText::TearDown();
    }
public:
    // Shrine 1 belongs to the player's team (2) and was hit ms ago.
    void OwnNexusHit(int ms) {
        g_level.shrines[1].found = 1;
        g_level.shrines[1].alignment = 2;
        ShrineChangeTime[1] = GameClock / 10 - static_cast<uint32_t>(ms);
    }
    void Code(int code) { g_level.cellIndex[CellIndex(view.x >> 6, view.y >> 6)] = static_cast<uint8_t>(code); }

    LocalPlayer player{};
    PlayerView view{};
};

TEST_F(StatusLine, OneCasePerText) {
    struct Case {
        const char* expected;
        void (*set)(StatusLine&);
    };
    const Case cases[] = {
        {"..Casting..", [](StatusLine&) { g_actionState.cast_result = 2500; }},
        {"Casting", [](StatusLine&) { g_actionState.cast_result = 999; }},
        {"Spell Interrupted", [](StatusLine&) { g_actionState.cast_result = -1; }},
        {"Dragon has Conquered all Nexuses: 12",
         [](StatusLine&) { ArenaTable[0].match.state = 3; ArenaTable[0].match.seconds_left = 12; }},
        {"Phoenix has Conquered all Nexuses: 0",
         [](StatusLine&) { ArenaTable[0].match.state = 4; ArenaTable[0].match.seconds_left = 0xFFFFFFF0u; }},
        {"Gryphon has Conquered all Nexuses: 7",
         [](StatusLine&) { ArenaTable[0].match.state = 5; ArenaTable[0].match.seconds_left = 7; }},
        {"Dead", [](StatusLine& t) { t.player.dead = 1; }},
        {"Dead - Spiritgate", [](StatusLine& t) { t.player.dead = 1; g_actionState.gate_pending = 1; }},
        {"Gryphon Nexus under Attack!", [](StatusLine& t) { t.Code(50); t.OwnNexusHit(5999); }},
        {"In Nexus", [](StatusLine& t) { t.Code(50); t.OwnNexusHit(6000); }},
        {"In Nexus", [](StatusLine& t) {  // another team's nexus
             t.Code(50);
             t.OwnNexusHit(100);
             g_level.shrines[1].alignment = 3;
         }},
        {"In Valhalla", [](StatusLine& t) { t.Code(10); }},
        {"In EarthNode", [](StatusLine& t) { t.Code(20); }},
        {"In EarthNode: Bias Timer is 3", [](StatusLine& t) { t.Code(49); g_actionState.bias_timer = 3000; }},
        {"In EarthNode: Bias Timer is 1", [](StatusLine& t) { t.Code(21); g_actionState.bias_timer = 1; }},
        {"In Nexus", [](StatusLine& t) { t.Code(50); }},
        {"In Nexus: Bias Timer is 4", [](StatusLine& t) { t.Code(69); g_actionState.bias_timer = 3000; }},
        {"", [](StatusLine& t) { t.Code(50); t.view.z += 20; }},  // in the air over a nexus
        {"In Levitator", [](StatusLine& t) { t.Code(120); }},
        {"On Ladder", [](StatusLine& t) { t.player.mode = 7; }},
        {"Under One Minute Remaining", [](StatusLine&) { ArenaTable[0].match.state = 2; }},
        {"Match Complete -- Hit Escape", [](StatusLine&) { ArenaTable[0].match.state = 1; }},
        {"Too Few in Match -- No Points", [](StatusLine&) { ArenaTable[0].match.player_count = 3; }},
        {"Invisible Mode", [](StatusLine&) { g_operatorFlags = kOperatorInvisible; }},
        {"God Mode", [](StatusLine&) { DebugToggle = 1; SetGameValue(3, 1); }},
        {"", [](StatusLine&) { DebugToggle = 1; }},
        {"", [](StatusLine&) {}},
    };
    for (const Case& c : cases) {
        TearDown();
        SetUp();
        SetGameValue(4, 2);
        c.set(*this);
        DrawStatusLine(player, 0);
        EXPECT_STREQ(g_screen.statusText, c.expected);
        if (*c.expected) {
            EXPECT_EQ(g_screen.statusColour, 2) << c.expected << ": the team's colour";
            EXPECT_GE(InkColumns(0, 256, 200, 216).first, 0) << c.expected;
        }
    }
}

TEST_F(StatusLine, ItAgesTheNoticeLines) {
    g_screen.ClearNoticeLines();
    PushNoticeLine("The Dragon Nexus is fully powered.");
    DrawStatusLine(player, 2000);
    EXPECT_EQ(g_screen.noticeTimers[0], 3000);
    DrawStatusLine(player, 3000);
    EXPECT_STREQ(g_screen.noticeLines[0], "");
}

}  // namespace
