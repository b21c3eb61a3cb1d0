#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "client/arena/local_player.h"
#include "client/core/pcx_image.h"
#include "client/net/net_catalogue.h"
#include "client/net/net_handshake.h"
#include "client/net/net_rings.h"
#include "client/net/socket_layer.h"
#include "client/net/socket_settings.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/chat_input.h"
#include "client/screens/character_rules.h"
#include "platform/sock/sock_control.h"
#include "tests/client/screens/tavern_fixture.h"
#include "tests/support/ddraw_device.h"
#include "tests/support/game_service.h"
#include "tests/support/sent_frames.h"
#include "tools/writers/menu_art.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Click points inside the page regions.
constexpr int kButtonY = 345;
int ListRowY(int row) { return 40 + 12 * row + 5; }
int RangeRowY(int row) { return 165 + 12 * row + 5; }

class TavernTest : public TavernFixture {
protected:
    void ExpectGolden(const char* name) {
        std::string message;
        EXPECT_TRUE(ddtest::MatchesGolden(goldenDir, name, BackBufferImage(), 0, 0, &message)) << message;
    }
    std::vector<SentFrame> Sent(int code) {
        std::vector<SentFrame> out;
        for (const SentFrame& f : SentFrames())
            if (f.code == code)
                out.push_back(f);
        return out;
    }
};

// Entering an arena loads the level it names: the service's arenas, its new matches included,
// name levels the installation holds.
TEST_F(TavernTest, TheServicesArenasNameLevelsOfTheInstallation) {
    FillLobby();
    Receive({{25, WorldEnterBody(30, 1, "New Match", "Thorn")}});
    int arenas = 0;
    for (int i = 1; i < kArenaTableSize; ++i) {
        const ArenaEntry& a = ArenaTable[i];
        if (a.id == kFreeId)
            continue;
        ++arenas;
        const std::string level(a.text1, strnlen(a.text1, sizeof a.text1));
        const std::string root = SAMPLE_INSTALL_DIR "/";
        EXPECT_TRUE(std::filesystem::exists(root + "grids/" + level + ".zpk") ||
                    std::filesystem::exists(root + level + "/grid.dat"))
            << a.name << " plays \"" << level << "\"";
    }
    EXPECT_EQ(arenas, 5);
}

// ---- Pages ----------------------------------------------------------------------------------------

TEST_F(TavernTest, EveryPageOfABusyLobby) {
    FillLobby();
    OpenTavern();
    g_tavern.selectedArena = ArenaIndex(lobby::kTeamArena);
    MoveTo(590, 345);  // over the start button
    DrawTavernPage();
    ExpectGolden("tavern_arena_list");

    g_tavern.chosenTeam = 2;
    SetTavernPage(2);
    ExpectGolden("tavern_arena_details");

    g_tavern.selectedTable = 1;
    MoveTo(750, 150);  // over the Tables tab
    SetTavernPage(3);
    ExpectGolden("tavern_table_list");

    MoveTo(0, 0);
    g_tavern.selectedEntry = 1;
    g_tavern.levelRange = LevelRangeChoice(5, 1);
    SetTavernPage(4);
    ExpectGolden("tavern_start_match");

    g_tavern.selectedTable = FindTableByLocation(lobby::kPrivateTable);
    SetTavernPage(5);
    ExpectGolden("tavern_table_details");

    g_tavern.tableType = 1;
    SetTavernPage(6);
    ExpectGolden("tavern_new_table");
}

// A player row's place is right-aligned at 140, its level three pixels before the profession
// (right-aligned at 175). In the installation's player font the widest place and level keep at
// least four times as many blank columns between their ink as lie between two letters of a
// place, so "Table#69" and "28" read as two numbers.
TEST_F(TavernTest, PlaceAndLevelColumnsStandApart) {
    // The ink's first and last columns, and the widest blank run between them.
    struct Ink {
        int first = kScreenWidth, last = -1, widestGap = 0;
    };
    const auto ink = [](const char* text, int x) {
        g_screen.FillRect16(0, 0, 200, 20, 0);
        DrawText(x, 2, 4, text, 1, g_screen.backBuffer, 1, 0);
        Ink r;
        int run = 0;
        for (int c = 0; c < 200; ++c) {
            bool any = false;
            for (int y = 0; y < 20; ++y)
                any = any || g_screen.backBuffer[y * kScreenWidth + c];
            if (!any) {
                ++run;
                continue;
            }
            if (r.last >= 0)
                r.widestGap = std::max(r.widestGap, run);
            r.first = std::min(r.first, c);
            r.last = c;
            run = 0;
        }
        return r;
    };
    char place[32];
    PlaceText(69, place, sizeof place);  // a table: "Table#69"
    const Ink placeInk = ink(place, 140 - TextWidth(place, 1));
    ASSERT_GT(placeInk.widestGap, 0);
    for (int profession = 0; profession < kProfessionNames; ++profession) {
        const std::string shown = std::string(ProfessionName(profession)).substr(0, 3);  // "Mag"
        const int levelRight = 175 - TextWidth(shown.c_str(), 1) - 3;
        for (int level : {1, 8, 10, 28, 44, kMaxCharacterLevel}) {
            const std::string digits = std::to_string(level);
            const int levelStart = ink(digits.c_str(), levelRight - TextWidth(digits.c_str(), 1)).first;
            EXPECT_GE(levelStart - placeInk.last - 1, 4 * placeInk.widestGap)
                << place << " " << shown << " level " << level;
        }
    }
}

// The installation's Tavern background names its screen in its bottom edge, left of the tab
// strip (x 712 on) that the Exit tab covers.
TEST_F(TavernTest, TheBackgroundsCaptionStandsLeftOfTheTabs) {
    constexpr int kTabStripX = 712;
    PcxImage back;
    ASSERT_EQ(back.LoadPcx(SAMPLE_INSTALL_DIR "/chatback.pcx", PCX_HEAP, 1), 0);
    ASSERT_EQ(back.PcxWidth(), kScreenWidth);
    const uint8_t* pixels = back.Pixels8();
    const uint8_t* palette = back.palette.get();
    ASSERT_TRUE(pixels && palette);
    // The caption's gold ink against the hall's navy stone, inside the frame.
    int first = kScreenWidth, last = -1;
    for (int y = kScreenHeight - 20; y < kScreenHeight - 6; ++y)
        for (int x = 6; x < kScreenWidth - 6; ++x) {
            const uint8_t* c = palette + 3 * pixels[y * kScreenWidth + x];
            if (c[0] > c[2] + 40) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
        }
    ASSERT_GE(last, 0) << "no caption";
    EXPECT_LT(last, kTabStripX);
    EXPECT_GT(last - first, 20);
}

TEST_F(TavernTest, FiftyPlayersShowFortySixRowsAndScroll) {
    FillLobby();
    OpenTavern();
    EXPECT_TRUE(ShowsText(90 - TextWidth("Players: 50", 9) / 2, 5, 4, "Players: 50", 9));
    // Non-operators see no operators: 13 parlor rows, 15 at tables, 24 in matches. The 46 rows
    // shown hold the three headers (12 pixels each) and 43 players (9 each).
    EXPECT_TRUE(ShowsText(5, 21 + 3 * 12 + 43 * 9, 4, "*END for More*", 1));
    EXPECT_FALSE(ShowsText(5, 21 + 3 * 12 + 42 * 9, 4, "*END for More*", 1));

    PlayerControl end{};
    end.end = 1;
    Frame(end);
    EXPECT_EQ(g_tavern.firstRow, 25);
    PlayerControl home{};
    home.home = 1;
    Frame(home);
    Frame(home);
    EXPECT_EQ(g_tavern.firstRow, 0) << "the column stops at its top";
    g_tavern.firstRow = 5;
    DrawTavernPage();
    EXPECT_TRUE(ShowsText(5, 21, 4, "*HOME for 5 More*", 1));
    // From row 5 the column shows the 47 rows left: the two later headers and 45 players.
    EXPECT_TRUE(ShowsText(5, 30 + 2 * 12 + 44 * 9, 4, "*END for More*", 1));
}

TEST_F(TavernTest, RowsGroupByPlaceAndSortWithoutCase) {
    FillLobby();
    PlayerRow rows[kPlayerRowCapacity];
    int count = BuildTavernPlayerRows(rows);
    ASSERT_EQ(count, 52);
    std::vector<std::string> parlor;
    for (int i = 0; i < 13; ++i)
        parlor.push_back(rows[i].name);
    EXPECT_EQ(parlor, (std::vector<std::string>{"In Chat Parlor", "Thorn", "ash", "Bryn", "cora", "elm", "Fenna",
                                                 "garth", "Hale", "iris", "Jory", "kestra", "Lune"}));
    EXPECT_EQ(rows[0].group, GROUP_PARLOR);
    // The service lists the player too: the own row stays the one.
    Receive({{3, PlayerJoinedBody(7, "Thorn", 255, 0, 1, 5, 0)}});
    EXPECT_EQ(BuildTavernPlayerRows(rows), 52);
    EXPECT_EQ(rows[0].colour, 4);
    EXPECT_STREQ(rows[13].name, "At Table");
    EXPECT_EQ(rows[13].colour, 5);
    EXPECT_STREQ(rows[28].name, "In Match");

    // An operator sees the operators first, then sits at the public table.
    SetGameValue(120, 1);
    g_tavern.place = lobby::kPublicTable;
    count = BuildTavernPlayerRows(rows);
    EXPECT_STREQ(rows[0].name, "Gameops");
    EXPECT_EQ(rows[0].colour, 0);
    EXPECT_STREQ(rows[1].name, "Thorn");
    EXPECT_STREQ(rows[2].name, "Dagny");
    EXPECT_STREQ(rows[3].name, "Ember");
    EXPECT_STREQ(rows[4].name, "Your Table");
    EXPECT_EQ(rows[4].group, GROUP_YOUR_TABLE);
    EXPECT_EQ(rows[5].id, lobby::kFirstPlayerId + 12) << "mabon leads the table's players";
    EXPECT_STREQ(rows[13].name, "At Table");
    EXPECT_STREQ(rows[20].name, "In Match");
    EXPECT_EQ(count, 4 + 1 + 50) << "the parlor's players are in the match group while the player sits";
}

TEST_F(TavernTest, AFullTableOfPlayersFitsTheRows) {
    // 499 players, 49 of them operators, in every kind of place; the player an operator: four
    // headers, the own row and every player.
    SetGameValue(120, 1);
    const int places[] = {255, 60, 61, 1, 101};
    for (int id = 1; id <= 499; ++id) {
        Bytes b = PlayerJoinedBody(1000 + id, "p" + std::to_string(id), places[id % 5], 0, 0, 1, id % 10 == 0 ? 1 : 0);
        Receive({{3, b}});
    }
    ASSERT_EQ(PlayerTableTop, 499);
    PlayerRow rows[kPlayerRowCapacity];
    const int count = BuildTavernPlayerRows(rows);
    EXPECT_EQ(count, kPlayerRowCapacity);
    std::set<int> ids;
    for (int i = 0; i < count; ++i)
        if (rows[i].group == 0)
            ids.insert(rows[i].id);
    EXPECT_EQ(ids.size(), 500u) << "every player and the own row";
    g_tavern.firstRow = kTavernFirstRowMax;
    DrawTavernPage();  // the last rows draw within the column
}

TEST_F(TavernTest, PlacesNameWhatTheLookUpsFind) {
    FillLobby();
    struct Case {
        int location;
        const char* text;
    } cases[] = {{255, "Tavern"}, {60, "Table#60"}, {1, "Crossroads#1"}, {101, "Crossroads#1"},
                 {9, ""},         {107, ""},        {200, ""},            {150, ""}};
    for (const Case& c : cases) {
        char text[40];
        PlaceText(c.location, text, sizeof text);
        EXPECT_STREQ(text, c.text) << c.location;
    }
    // Sitting at a table the list does not know: the status line names none.
    g_tavern.place = 63;
    SetTavernPage(1);
    EXPECT_TRUE(ShowsText(605 - TextWidth("You are Sitting at (#63)", 9) / 2, 365, 4, "You are Sitting at (#63)", 9));
}

TEST_F(TavernTest, AnotherFoundersPrivateArenaIsGreyAndNotSelectable) {
    FillLobby();
    OpenTavern();
    // Rows: Crossroads, Catacombs, Spire (private, of Bryn), Pit.
    const int spire = ArenaIndex(lobby::kPrivateArena);
    EXPECT_TRUE(ShowsText(280, 40 + 2 * 12, 6, "Spire", 3));
    EXPECT_TRUE(ShowsText(252, 40 + 2 * 12, 6, "P", 3));
    EXPECT_TRUE(ShowsText(280, 40 + 1 * 12, 5, "Catacombs", 3));
    EXPECT_TRUE(ShowsText(252, 40 + 3 * 12, 5, "x", 3)) << "the full arena cannot be entered";
    g_tavern.selectedArena = 0;
    ClickAt(300, ListRowY(2));
    EXPECT_EQ(g_tavern.selectedArena, 0);
    ClickAt(300, ListRowY(1), true);
    EXPECT_EQ(g_tavern.selectedArena, ArenaIndex(lobby::kFreeArena));
    EXPECT_EQ(g_tavern.page, 2) << "a double click opens the arena";
    // At the private arena's table it may be selected.
    g_tavern.place = lobby::kPrivateTable;
    EXPECT_TRUE(CanSelectArena(spire));
    SetGameValue(3, 3);
    g_tavern.place = 255;
    EXPECT_TRUE(CanSelectArena(spire)) << "sysop level 3";
}

// ---- Entering an arena ----------------------------------------------------------------------------

TEST_F(TavernTest, EnteringAnArenaIsRefusedWithItsReason) {
    FillLobby();
    OpenTavern();
    struct Case {
        int arena, level, sysop, team;
        const char* refusal;  // null: entered
        int max = -1;         // the arena's maximum, when not the lobby's
    } cases[] = {
        {lobby::kFullArena, 5, 0, 0, "This arena is full!"},
        {lobby::kFreeArena, 7, 0, 0, "This arena is full!", 6},
        {lobby::kFreeArena, 7, 0, 0, nullptr, 7},
        {lobby::kFreeArena, 3, 0, 0, "You are not high enough level to enter this arena!"},
        {lobby::kFreeArena, 13, 0, 0, "You are not low enough level to enter this arena!"},
        {lobby::kTeamArena, 5, 0, 3, "The Phoenix Nexus is destroyed.  Please choose another team."},
        {lobby::kTeamArena, 5, 1, 3, nullptr},
        {lobby::kTeamArena, 6, 0, 2, nullptr},
        {lobby::kFullArena, 1, 3, 0, nullptr},
    };
    for (const Case& c : cases) {
        ClearChatBuffer();
        screen = ChatScreenRecord{};
        g_tavern.place = 255;
        SetGameValue(0, c.level);
        SetGameValue(3, c.sysop);
        g_tavern.selectedArena = ArenaIndex(c.arena);
        ArenaTable[ArenaIndex(lobby::kFreeArena)].match.max_players = static_cast<uint8_t>(c.max >= 0 ? c.max : 8);
        SetTavernPage(2);
        g_tavern.chosenTeam = c.team;
        ClickAt(430, kButtonY);
        if (c.refusal) {
            EXPECT_EQ(LastLine(), c.refusal) << c.arena << " " << c.level;
            EXPECT_EQ(screen.enterArena, 0);
            EXPECT_EQ(g_tavern.place, 255);
        } else {
            EXPECT_EQ(screen.enterArena, 1) << c.arena << " " << c.level;
            EXPECT_EQ(screen.enterPort, c.arena);
            EXPECT_EQ(g_tavern.place, c.arena);
        }
    }
    // Back from the arena the chat screen opens the Tavern: the player is in the parlor again.
    OpenTavern();
    EXPECT_EQ(g_tavern.place, 255);
    PlayerRow rows[kPlayerRowCapacity];
    ASSERT_GT(BuildTavernPlayerRows(rows), 1);
    EXPECT_STREQ(rows[0].name, "In Chat Parlor");
    EXPECT_STREQ(rows[1].name, "Thorn");
}

TEST_F(TavernTest, TheArenaPageChoosesAnOpenTeam) {
    FillLobby();
    // Dragon and Gryphon open: Gryphon's panel is taken, Phoenix's is not.
    const int arena = ArenaIndex(lobby::kTeamArena);
    ArenaTable[arena].match.open_teams = 3;
    SetGameValue(4, 2);
    OpenTavern();
    g_tavern.selectedArena = arena;
    ClickAt(430, kButtonY);  // details
    ASSERT_EQ(g_tavern.page, 2);
    EXPECT_EQ(g_tavern.chosenTeam, 2) << "the own team when it is open";
    ClickAt(275 + 300 + 40, 90);
    EXPECT_EQ(g_tavern.chosenTeam, 2) << "a closed team is not chosen";
    ClickAt(275 + 40, 90);
    EXPECT_EQ(g_tavern.chosenTeam, 1);
    PlayerControl right{};
    right.arrows[1] = 1;
    Frame(right);
    EXPECT_EQ(g_tavern.chosenTeam, 2);
    Frame(right);
    EXPECT_EQ(g_tavern.chosenTeam, 1) << "the step wraps over the open teams";
}

// ---- Starting a match -----------------------------------------------------------------------------

TEST_F(TavernTest, LevelRangeChoicesFollowTheLevel) {
    struct Case {
        int level, first;
        const char* firstText;
    } cases[] = {{0, 0, "1st-2nd"}, {1, 0, "1st-2nd"}, {5, 4, "3rd-6th"}, {15, 14, "9th-18th"}, {30, 14, "9th-18th"}};
    OpenTavern();
    for (const Case& c : cases) {
        SetGameValue(0, c.level);
        for (int n = 0; n < 3; ++n)
            EXPECT_EQ(LevelRangeChoice(c.level, n), c.first + n) << c.level;
        SetTavernPage(4);
        ClickAt(300, RangeRowY(2));
        EXPECT_EQ(g_tavern.levelRange, c.first + 2) << c.level;
        DrawTavernPage();
        EXPECT_TRUE(ShowsText(266, 165, 5, c.firstText, 3)) << c.level;
    }
}

TEST_F(TavernTest, RangesAndWeightsByLevel) {
    const int ranges[40][2] = {{1, 2},   {1, 3},   {1, 4},   {2, 5},   {3, 6},   {3, 7},   {4, 8},   {4, 9},
                               {5, 10},  {6, 12},  {7, 13},  {8, 15},  {8, 16},  {9, 17},  {9, 18},  {10, 20},
                               {11, 22}, {12, 23}, {13, 25}, {14, 25}, {15, 25}, {15, 30}, {15, 30}, {15, 30},
                               {15, 30}, {15, 30}, {20, 35}, {20, 35}, {20, 35}, {20, 35}, {20, 35}, {20, 35},
                               {20, 35}, {20, 35}, {20, 35}, {20, 40}, {20, 40}, {20, 40}, {20, 40}, {20, 40}};
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(LevelRangeOf(i).low, ranges[i][0]) << i;
        EXPECT_EQ(LevelRangeOf(i).high, ranges[i][1]) << i;
    }
    const int weights[41] = {0,  2,  3,  5,  8,  11, 15, 19, 23,  27,  32,  36,  42,  47,  52,  58,  64,  70,  76,  83,  89,
                             96, 103, 110, 118, 125, 133, 140, 148, 156, 164, 173, 181, 190, 198, 207, 216, 225, 234, 244, 253};
    for (int level = 0; level <= 40; ++level)
        EXPECT_EQ(LevelWeight(level), weights[level]) << level;
    EXPECT_EQ(LevelWeight(60), 253) << "above 40 weighs as 40";
}

// The first and last entries of each table count, free entries never do.
TEST_F(TavernTest, LookupsAndCountsReachTheTableEdges) {
    ClearPlayerTable();
    ResetArenaList();
    std::strcpy(g_currentCharacter.name, "Mira");
    SwapOddNibbles(g_currentCharacter.name);
    ArenaEntry& first = ArenaTable[0];
    first.id = 0;
    first.initialised = 1;
    std::strcpy(first.founder, "mira");
    first.match.max_players = 8;
    ArenaTable[5].id = kFreeId;  // marked, but free
    ArenaTable[5].initialised = 1;
    EXPECT_EQ(CountArenas(), 1);
    EXPECT_EQ(CountMyArenas(), 1);
    UpdatePlayerTable(21, 0, 1, "Ash");
    UpdatePlayerTable(22, 0, 2, "Birch");
    EXPECT_EQ(CountPlayersInArena(0), 2) << "the player at the top index counts";
    EXPECT_EQ(TeamStrength(0, 2), 0) << "levels 0";
    // A maximum of one leaves room for one; a maximum of 0 is always full.
    ArenaTable[1] = first;
    ArenaTable[1].id = 1;
    ArenaTable[1].match.max_players = 1;
    EXPECT_FALSE(IsArenaFull(1));
    ArenaTable[1].match.max_players = 0;
    EXPECT_TRUE(IsArenaFull(1));
    ArenaTable[1].id = kFreeId;
    struct Case {
        int location, arena;
    } cases[] = {{0, 0}, {100, 0}, {49, -1}, {60, -1}, {149, -1}, {150, -1}, {255, -1}};
    for (const Case& c : cases)
        EXPECT_EQ(FindArenaByLocation(c.location), c.arena) << c.location;
    // Player id 0 is in a private table's validated set like any other.
    LobbyTableEntry& table = LobbyTableList[3];
    table.id = 55;
    table.status = 1;
    table.value = 1;
    table.members[0] = 0x01;
    EXPECT_EQ(IsValidatedAtTable(3, 0), 1);
    // The main Tavern is never claimed, not even by a sysop.
    SetGameValue(3, 3);
    LobbyTableList[0].status = 1;
    EXPECT_FALSE(CanClaimTable(0));
    EXPECT_TRUE(CanClaimTable(3));
}

TEST_F(TavernTest, StartingAMatchSendsItAndWaitsTenSeconds) {
    OnlineSends online;
    FillLobby();
    OpenTavern();
    ClickAt(590, kButtonY);
    ASSERT_EQ(g_tavern.page, 4);
    ClickAt(300, ListRowY(1));
    ClickAt(300, RangeRowY(1));
    ClickAt(430, kButtonY);
    const std::vector<SentFrame> sent = Sent(F_NEW_ARENA);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].body, (Bytes{12, 5, 1, 0})) << "arena number, level range, type 1, no table";
    EXPECT_EQ(LastLine(), "Starting new match...");
    EXPECT_EQ(g_tavern.page, 1);

    // A second request within ten seconds of frame time is refused.
    FrameClock += 9999 * 10;
    ClickAt(590, kButtonY);
    EXPECT_EQ(g_tavern.page, 1);
    FrameClock += 2 * 10;
    ClickAt(590, kButtonY);
    EXPECT_EQ(g_tavern.page, 4);
    // Enter starts it as the button does.
    PlayerControl enter{};
    enter.arrows[4] = 1;
    Frame(enter);
    EXPECT_EQ(Sent(F_NEW_ARENA).size(), 2u);
    EXPECT_EQ(g_tavern.page, 1);
    FrameClock += 10001 * 10;
    Frame();
    // The player founded none of the arenas yet (the service has not answered), so another may
    // be asked for; once it has, the player has one.
    Receive({{25, WorldEnterBody(30, 0, "Mine", "thorn")},
             {26, WorldStateBody(30, 0, 4, 8, 0, 0, std::vector<uint8_t>{100, 100, 100}.data(), 0, 0)}});
    EXPECT_FALSE(CanStartArena());
    SetTavernPage(4);
    ClickAt(430, kButtonY);
    EXPECT_EQ(LastLine(), "You have already started a match!");
    EXPECT_EQ(Sent(F_NEW_ARENA).size(), 2u);
}

TEST_F(TavernTest, AMatchFromTheOwnPrivateTableCarriesTheTable) {
    OnlineSends online;
    FillLobby();
    Receive({{66, TableEnterBody(62, 1, "Nook", "Thorn", {})}});
    OpenTavern();
    g_tavern.place = 62;  // sitting at his own table
    ClickAt(590, kButtonY);
    ASSERT_EQ(g_tavern.page, 4);
    EXPECT_TRUE(ShowsText(500 - TextWidth("Start Private Match from Nook (Table #62)", 9) / 2, 5, 4,
                          "Start Private Match from Nook (Table #62)", 9));
    ClickAt(300, ListRowY(0), true);  // a double click starts it
    const std::vector<SentFrame> sent = Sent(F_NEW_ARENA);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].body, (Bytes{11, 4, 1, 62}));
    EXPECT_EQ(LastLine(), "Starting new private match...");
}

// ---- Tables ---------------------------------------------------------------------------------------

TEST_F(TavernTest, ValidatedSetsHold512Ids) {
    FillLobby();
    const int vault = FindTableByLocation(lobby::kPrivateTable);
    const int den = FindTableByLocation(lobby::kPublicTable);
    LobbyTableList[vault].members[63] = 0x80;  // id 511
    struct Case {
        int table, id, validated;
    } cases[] = {{vault, 11, 1}, {vault, 14, 0}, {vault, 511, 1}, {vault, 512, 0}, {vault, -1, 0},
                 {den, 14, 1},   {den, 600, 0},  {0, 20, 1},      {25, 11, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(IsValidatedAtTable(c.table, c.id), c.validated) << c.table << " " << c.id;
    // Id 512 is the first past the set: with a free entry (id 65535) behind a private table, a bit
    // read or cleared past the set would land in that entry's id.
    LobbyTableList[18] = LobbyTableList[vault];
    LobbyTableList[19].id = 0xFFFF;
    EXPECT_EQ(IsValidatedAtTable(18, 511), 1);
    EXPECT_EQ(IsValidatedAtTable(18, 512), 0);
    const auto* all = reinterpret_cast<const uint8_t*>(LobbyTableList);
    const Bytes before(all, all + sizeof LobbyTableList);
    ClearTableValidation(512);
    ClearTableValidation(-3);
    EXPECT_EQ(Bytes(all, all + sizeof LobbyTableList), before) << "ids outside the set change nothing";
    ClearTableValidation(511);
    EXPECT_EQ(IsValidatedAtTable(vault, 511), 0);
    EXPECT_EQ(IsValidatedAtTable(vault, 11), 1);
}

TEST_F(TavernTest, TheTableVerdicts) {
    FillLobby();
    Receive({{66, TableEnterBody(62, 1, "Nook", "thorn", {})}});
    const int vault = FindTableByLocation(lobby::kPrivateTable);
    const int nook = FindTableByLocation(62);
    const int den = FindTableByLocation(lobby::kPublicTable);
    struct Case {
        int table, place, sysop, validated;
        const char* verdict;
    } cases[] = {
        {den, 255, 0, 0, "You are free to JOIN the table"},
        {vault, 255, 0, 0, "You are not Validated for this table"},
        {vault, 255, 0, 1, "You are Validated to JOIN the table"},
        {vault, 255, 3, 0, "You are a Sysop and can JOIN the table"},
        {nook, 255, 0, 0, "You are the Moderater and can JOIN table"},
        {nook, 62, 0, 0, "You are the Moderater and can INVITE new people"},
        {den, lobby::kPublicTable, 0, 0, "You are sitting at this table"},
    };
    for (const Case& c : cases) {
        g_tavern.place = c.place;
        SetGameValue(3, c.sysop);
        LobbyTableList[vault].members[0] = c.validated ? 0x80 : 0;  // id 7
        g_tavern.selectedTable = c.table;
        SetTavernPage(5);
        EXPECT_TRUE(ShowsText(500 - TextWidth(c.verdict, 3) / 2, 304, 4, c.verdict, 3)) << c.verdict;
        EXPECT_EQ(CanSitAtTable(c.table), c.place != LobbyTableList[c.table].id &&
                                              (c.table != vault || c.sysop >= 3 || c.validated))
            << c.verdict;
    }
}

TEST_F(TavernTest, KeysStepTheSelectionsAndWrap) {
    FillLobby();
    OpenTavern();
    PlayerControl right{}, left{};
    right.arrows[1] = 1;
    left.arrows[0] = 1;
    // Page 1 steps over the arenas that may be selected (Spire may not).
    g_tavern.selectedArena = ArenaIndex(lobby::kFreeArena);
    Frame(right);
    EXPECT_EQ(g_tavern.selectedArena, ArenaIndex(lobby::kFullArena));
    Frame(left);
    EXPECT_EQ(g_tavern.selectedArena, ArenaIndex(lobby::kFreeArena));
    SetTavernPage(4);
    g_tavern.selectedEntry = 2;
    Frame(right);
    EXPECT_EQ(g_tavern.selectedEntry, 0);
    Frame(left);
    EXPECT_EQ(g_tavern.selectedEntry, 2);
    SetTavernPage(6);
    Frame(right);
    Frame(right);
    Frame(left);
    EXPECT_EQ(g_tavern.tableType, 1);
    PlayerControl up{};
    up.page_up = 1;
    for (int i = 0; i < 10; ++i)
        Frame(up);
    EXPECT_EQ(g_tavern.chatView, 80);
}

// ---- What the service gets ------------------------------------------------------------------------

class TavernServiceTest : public TavernTest {
protected:
    void SetUp() override {
        TavernTest::SetUp();
        ASSERT_TRUE(service.Ok());
        platform::ResetSocketControls();
        ResetSocketLinks();
        service.InstallAsMessageSource();
        std::strcpy(SocketAddress, "127.0.0.1");
        SocketStreamPort = service.StreamPort();
        SocketPort = service.DatagramPort();
        ConnectionType = CONNECTION_STREAM;
        ResetSendRing();
        ASSERT_EQ(OpenStreamSocket(&StreamLink), 0);
        ASSERT_TRUE(PumpUntil([] { return StreamLink.connected == 1; }));
        g_linkState = 2;
    }
    void TearDown() override {
        g_linkState = 1;
        service.RemoveMessageSource();
        ResetSocketLinks();
        platform::ResetSocketControls();
        TavernTest::TearDown();
    }
    std::vector<GameService::Frame> Got(const std::set<int>& codes, size_t count) {
        std::vector<GameService::Frame> got;
        PumpUntil([&] {
            got.clear();
            for (const GameService::Frame& f : service.Frames())
                if (codes.count(f.code))
                    got.push_back(f);
            return got.size() >= count;
        });
        return got;
    }
    GameService service;
};

TEST_F(TavernServiceTest, SitClaimNewTableBackAndExit) {
    FillLobby();
    OpenTavern();
    ClickAt(750, 150);  // Tables
    ASSERT_EQ(g_tavern.page, 3);
    ClickAt(590, kButtonY);  // a new public table
    EXPECT_EQ(LastLine(), "Starting new table.");
    ClickAt(300, ListRowY(1));  // Den
    ClickAt(430, kButtonY);     // sit
    EXPECT_EQ(LastLine(), "You sit at Den (#60)");
    EXPECT_EQ(g_tavern.page, 5);
    EXPECT_EQ(g_tavern.place, lobby::kPublicTable);
    ClickAt(670, kButtonY);  // back to the main Tavern
    EXPECT_EQ(LastLine(), "You go back to the Main Tavern");
    EXPECT_EQ(g_tavern.page, 3);
    // A table and an arena of the player's own, empty, are claimed.
    Receive({{66, TableEnterBody(62, 1, "Nook", "Thorn", {})},
             {25, WorldEnterBody(5, 0, "Glade", "Thorn")},
             {26, WorldStateBody(5, 0, 4, 8, 0, 0, std::vector<uint8_t>{100, 100, 100}.data(), 0, 0)}});
    ClickAt(300, ListRowY(3));  // Nook
    ClickAt(510, kButtonY);
    ClickAt(750, 50);  // Arenas
    ClickAt(300, ListRowY(4));  // Glade
    ClickAt(510, kButtonY);
    ClickAt(750, 540);  // Exit
    EXPECT_EQ(screen.leave, 1);
    LeaveTavern(nullptr);

    const std::vector<GameService::Frame> got = Got({F_SWITCH_TABLE, F_NEW_TABLE, F_SELECT_TABLE, F_SELECT_ARENA, 4}, 6);
    ASSERT_EQ(got.size(), 6u);
    std::vector<int> codes;
    for (const GameService::Frame& f : got)
        codes.push_back(f.code);
    EXPECT_EQ(codes, (std::vector<int>{F_NEW_TABLE, F_SWITCH_TABLE, F_SWITCH_TABLE, F_SELECT_TABLE, F_SELECT_ARENA, 4}));
    EXPECT_EQ(got[0].body, (Bytes{0, 0}));
    EXPECT_EQ(got[1].body, (Bytes{0, 7, 0, 60}));
    EXPECT_EQ(got[2].body, (Bytes{0, 7, 0, 255}));
    EXPECT_EQ(got[3].body, (Bytes{62}));
    EXPECT_EQ(got[4].body, (Bytes{5}));
}

}  // namespace

namespace {

TEST_F(TavernTest, ANewTableOfTheChosenTypeOncePerFounder) {
    OnlineSends online;
    FillLobby();
    OpenTavern();
    SetTavernPage(6);
    ClickAt(100, 54 + 11 + 5);  // Private
    EXPECT_EQ(g_tavern.tableType, 1);
    ClickAt(50, 280);  // Create
    EXPECT_EQ(g_tavern.page, 3);
    EXPECT_EQ(LastLine(), "Starting new table...");
    std::vector<SentFrame> sent = Sent(F_NEW_TABLE);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].body, (Bytes{1, 0}));
    // Once the service has made it, the founder may not start another.
    Receive({{66, TableEnterBody(62, 1, "Nook", "Thorn", {})}});
    SetTavernPage(6);
    ClickAt(100, 54 + 5, true);  // a double click on Public starts one at once
    EXPECT_EQ(LastLine(), "You have already started a table!");
    EXPECT_EQ(g_tavern.page, 3);
    ClickAt(590, kButtonY);  // the list's start button
    EXPECT_EQ(Sent(F_NEW_TABLE).size(), 1u);
    SetGameValue(3, 3);
    ClickAt(590, kButtonY);
    sent = Sent(F_NEW_TABLE);
    ASSERT_EQ(sent.size(), 2u) << "sysop level 3 starts tables at will";
    EXPECT_EQ(sent[1].body, (Bytes{0, 0}));
}

TEST_F(TavernTest, KeysReachTheChatAndTheLog) {
    OpenTavern();
    PrivateChatMode = 0;
    PlayerControl slash{};
    slash.key_slash = 1;
    Frame(slash);
    EXPECT_EQ(PrivateChatMode, 1) << "the first word names the receiver";
    EXPECT_EQ(GetKeyInputMode(), 1);
    SetKeyInputMode(0);
    PrivateChatMode = 0;
    PlayerControl f2{};
    f2.function_key = 2;
    g_debugLevel = 2;
    Frame(f2);
    EXPECT_TRUE(IsChatLogging());
    EXPECT_TRUE(ConsoleHas("Function Key #2 Hit"));
    PlayerControl f5{};
    f5.function_key = 5;
    Frame(f5);
    EXPECT_TRUE(IsChatLogging());
    Frame(f2);
    EXPECT_FALSE(IsChatLogging());
    EXPECT_TRUE(ConsoleHas("Chat Logging Disabled"));
}

}  // namespace

namespace {

TEST_F(TavernTest, ArtSetsLoadAndFreeTogetherAndCellsDrawFromTheirSheets) {
    for (const ArtFile& f : MenuArtFiles())
        dir->Write(f.name, std::string(f.bytes.begin(), f.bytes.end()));
    LoadCharacterArt();
    LoadPortraitArt();
    for (int slot : {SCREEN_IMAGE_CHARBTNS, SCREEN_IMAGE_CHARBTN2, SCREEN_IMAGE_CHARTABS, SCREEN_IMAGE_PROFBTNS,
                     SCREEN_IMAGE_CHARPORT})
        EXPECT_NE(g_screen.Screen(slot).Pixels16(), nullptr) << slot;
    // A portrait cell is opaque: all of its 90 x 90 pixels replace the guard fill.
    g_screen.FillRect16(0, 0, 200, 200, 0x1234);
    DrawPortraitCell(50, 50, 5);
    const uint16_t* portraits = g_screen.Screen(SCREEN_IMAGE_CHARPORT).Pixels16();
    const int width = g_screen.Screen(SCREEN_IMAGE_CHARPORT).PcxWidth();
    for (int y = 0; y < 90; y += 7)
        for (int x = 0; x < 90; x += 7)
            ASSERT_EQ(At(50 + x, 50 + y), portraits[y * width + 5 * 90 + x]) << x << "," << y;
    EXPECT_EQ(At(49, 50), 0x1234);
    EXPECT_EQ(At(140, 50), 0x1234);
    // A lobby button is the cell of its row and state, transparent where the sheet is black.
    g_screen.FillRect16(0, 0, 200, 200, 0x1234);
    DrawLobbyButton(10, 10, BUTTON_BACK, 1);
    const PcxImage& buttons = g_screen.Screen(SCREEN_IMAGE_CHATBTNS);
    const uint16_t* b = buttons.Pixels16();
    const int bw = buttons.PcxWidth();
    for (int y = 0; y < kLobbyButtonHeight; ++y)
        for (int x = 0; x < kLobbyButtonWidth; ++x) {
            const uint16_t p = b[(BUTTON_BACK * kLobbyButtonHeight + y) * bw + kLobbyButtonWidth + x];
            ASSERT_EQ(At(10 + x, 10 + y), p ? p : 0x1234) << x << "," << y;
        }
    FreeCharacterArt();
    FreePortraitArt();
    FreeChatArt();
    for (int slot : {SCREEN_IMAGE_CHARBTNS, SCREEN_IMAGE_CHARPORT, SCREEN_IMAGE_CHATBTNS, SCREEN_IMAGE_CHATTABS})
        EXPECT_EQ(g_screen.Screen(slot).Pixels16(), nullptr) << slot;
    DrawLobbyButton(10, 10, BUTTON_BACK, 1);  // nothing loaded: nothing drawn
}

}  // namespace

namespace {

TEST_F(TavernTest, TabsLightUnderThePointer) {
    OpenTavern();
    const PcxImage& tabs = g_screen.Screen(SCREEN_IMAGE_CHATTABS);
    const int width = tabs.PcxWidth();
    // The first lit pixel of a tab cell in a state, and where it lands on the screen.
    const auto shows = [&](int tab, int state, int y) {
        const uint16_t* p = tabs.Pixels16();
        for (int row = 0; row < kTabCellHeight; ++row)
            for (int col = 0; col < kTabCellWidth; ++col) {
                const uint16_t v = p[(tab * kTabCellHeight + row) * width + state * kTabCellWidth + col];
                if (v && v != p[(tab * kTabCellHeight + row) * width + ((state + 1) % 3) * kTabCellWidth + col])
                    return At(712 + col, y + row) == v;
            }
        return false;
    };
    struct Case {
        int x, y;
        int tab, tabY, state;
    } cases[] = {
        {0, 0, 0, 10, 1},       // Arenas is current
        {0, 0, 1, 120, 0},
        {750, 150, 1, 120, 2},  // over Tables
        {750, 150, 0, 10, 1},
        {750, 540, 3, 490, 2},  // over Exit
        {750, 250, 2, 230, 0},  // Guilds has no region
    };
    for (const Case& c : cases) {
        MoveTo(c.x, c.y);
        DrawTavernPage();
        EXPECT_TRUE(shows(c.tab, c.state, c.tabY)) << c.x << "," << c.y << " tab " << c.tab;
    }
}

}  // namespace
