#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "client/arena/world_object.h"
#include "client/core/game_clock.h"
#include "client/net/client_tables.h"
#include "client/net/net_bodies.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/notice_lines.h"
#include "client/screens/screen_surface.h"
#include "client/screens/tavern_state.h"
#include "tests/support/recording_present.h"

namespace {

bool ConsoleHas(const std::string& text) {
    for (const ChatLine& l : ChatBuffer.lines)
        if (text == l.text)
            return true;
    return false;
}

class TablesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearPlayerTable();
        ResetArenaList();
        ClearChatBuffer();
        g_screen.ClearNoticeLines();
        g_debugLevel = 0;
        GameClock = 123450;
    }
    RecordingPresent present;  // console lines mark the chat panel
};

TEST_F(TablesTest, ResetsLeaveEveryEntryFreeAndTheTavernInLobbyEntryZero) {
    EXPECT_EQ(PlayerTableTop, -1);
    for (const PlayerTableEntry& e : PlayerTable)
        EXPECT_EQ(e.id, kFreeId);
    EXPECT_EQ(ArenaTable[0].id, kFreeId);
    EXPECT_EQ(FireteamList[99].id, kFreeId);
    EXPECT_EQ(LobbyTableList[0].id, 255);
    EXPECT_EQ(LobbyTableList[0].status, 1);
    EXPECT_STREQ(LobbyTableList[0].name, "Main Tavern");
    EXPECT_STREQ(LobbyTableList[0].founder, "System");
    EXPECT_EQ(LobbyTableList[1].id, kFreeId);
}

TEST_F(TablesTest, PlayersAreAddedFromIndexOneAndTheTopFollowsThem) {
    g_debugLevel = 2;
    EXPECT_EQ(UpdatePlayerTable(42, 255, 2, "Mira"), 1);
    EXPECT_TRUE(ConsoleHas("Mira added to Player Table. ID=42 Slot=1"));
    EXPECT_EQ(UpdatePlayerTable(43, 255, 1, "Oren"), 2);
    EXPECT_EQ(PlayerTableTop, 2);
    EXPECT_EQ(PlayerTable[1].location, 255);
    EXPECT_EQ(PlayerTable[1].team, 2);
    EXPECT_EQ(PlayerTable[1].last_update, 12345u);
    EXPECT_EQ(FindPlayerIndex(43), 2);
    EXPECT_EQ(IsKnownPlayer(42), 1);
    EXPECT_EQ(FindPlayerIndex(44), 0);

    // A private table that validated Oren.
    const int table = UpdateTableTable(60, 1, "Den", "Ash");
    LobbyTableList[table].members[43 / 8] |= 1 << (43 % 8);
    ASSERT_EQ(IsValidatedAtTable(table, 43), 1);
    EXPECT_EQ(RemovePlayerById(43), 1);
    EXPECT_EQ(PlayerTableTop, 1);
    EXPECT_EQ(IsValidatedAtTable(table, 43), 0) << "a leaving player leaves the validated sets";
    EXPECT_EQ(RemovePlayerById(43), 0);
    EXPECT_EQ(RemovePlayerById(42), 1);
    EXPECT_EQ(PlayerTableTop, -1);
    EXPECT_EQ(FindPlayerIndex(42), 0) << "an empty table is not scanned";
    EXPECT_EQ(UpdatePlayerTable(50, 1, 1, "Ash"), 1) << "freed entries are used again";
}

TEST_F(TablesTest, ARefreshedPlayerLosesItsVitalsAndANewNameIsAnnounced) {
    UpdatePlayerTable(42, 255, 2, "Mira");
    uint8_t vitals[8] = {0, 9, 1, 2, 3, 4, 5, 6};
    OnPlayerVitals(vitals, sizeof vitals, 42);
    EXPECT_EQ(PlayerTable[1].kills, 2);

    EXPECT_EQ(UpdatePlayerTable(42, 3, 2, "Mira"), 1);
    EXPECT_EQ(PlayerTable[1].kills, 0) << "the same name refreshes the entry";
    EXPECT_EQ(PlayerTable[1].location, 3);
    EXPECT_STREQ(g_screen.noticeLines[0], "");

    EXPECT_EQ(UpdatePlayerTable(42, 3, 2, "Mirabel"), 1);
    EXPECT_STREQ(g_screen.noticeLines[0], "Mira was removed from the game");
    EXPECT_STREQ(PlayerTable[1].name, "Mirabel");
}

TEST_F(TablesTest, AFullPlayerTableRefusesTheNewcomer) {
    for (int id = 1; id <= 499; ++id)
        ASSERT_EQ(UpdatePlayerTable(id, 0, 0, "p"), id);
    EXPECT_EQ(PlayerTableTop, 499);
    EXPECT_EQ(UpdatePlayerTable(1000, 0, 0, "late"), 0);
    EXPECT_EQ(UpdatePlayerTable(499, 0, 1, "p"), 499) << "a known id still refreshes";
}

TEST_F(TablesTest, NamesLongerThanTheirFieldAreCutWithATerminator) {
    const char* longName = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    UpdatePlayerTable(7, 0, 0, longName);
    EXPECT_STREQ(PlayerTable[1].name, "ABCDEFGHIJKLMNOPQRS");
    UpdateArenaTable(3, 1, longName, longName, longName, longName);
    int a = FindArenaIndex(3);
    EXPECT_STREQ(ArenaTable[a].founder, "ABCDEFGHI");
    UpdateFireteamTable(4, 1, 2, 3, longName, longName);
    EXPECT_STREQ(FireteamList[FindFireteamIndex(4)].second_name, "ABCDEFGHI");
}

TEST_F(TablesTest, VitalsGoToTheSendersEntryAndAskForARedraw) {
    UpdatePlayerTable(42, 255, 2, "Mira");
    const uint8_t vitals[8] = {0x01, 0x02, 3, 4, 5, 6, 7, 8};
    g_screen.pageRedraw = 0;
    OnPlayerVitals(vitals, sizeof vitals, 42);
    const PlayerTableEntry& e = PlayerTable[1];
    EXPECT_EQ(e.vitals_word, 0x0102);
    EXPECT_EQ(e.deaths, 3);
    EXPECT_EQ(e.kills, 4);
    EXPECT_EQ(e.raises, 5);
    EXPECT_EQ(e.hits, 6);
    EXPECT_EQ(e.ping, 7);
    EXPECT_EQ(e.biases, 8);
    EXPECT_EQ(g_screen.pageRedraw, 1);
    OnPlayerVitals(vitals, sizeof vitals, 99);
    EXPECT_EQ(PlayerTable[0].hits, 6) << "an unknown sender writes entry 0";
    g_screen.pageRedraw = 0;
    OnPlayerVitals(vitals, 7, 42);
    EXPECT_EQ(g_screen.pageRedraw, 0) << "a short body changes nothing";
}

TEST_F(TablesTest, StatusSettersReachEveryEntryOfTheId) {
    UpdatePlayerTable(42, 0, 0, "Mira");
    SetPlayerStatus(42, 3);
    EXPECT_EQ(PlayerTable[1].status, 3);
    GameClock = 990;
    SetPlayerStatusTimed(42, 4);
    EXPECT_EQ(PlayerTable[1].status, 4);
    EXPECT_EQ(PlayerTable[1].status_time, 99u);
}

TEST_F(TablesTest, ArenasAreRefilledInPlaceAndAnEntryZeroIdCountsAsAbsent) {
    g_debugLevel = 2;
    UpdateArenaTable(3, 1, "Ashfall", "grid3", "Mira", "x");
    EXPECT_TRUE(ConsoleHas("Arena Ashfall added to Player Table. ID=3 Slot=1"));
    ArenaTable[1].counters[0] = 9;
    ArenaTable[1].initialised = 1;
    UpdateArenaTable(3, 0, "Ashfall II", "grid4", "Oren", "y");
    EXPECT_TRUE(ConsoleHas("Arena Ashfall was just removed from the game!"));
    EXPECT_EQ(FindArenaIndex(3), 1);
    EXPECT_STREQ(ArenaTable[1].name, "Ashfall II");
    EXPECT_EQ(ArenaTable[1].counters[0], 0u);
    EXPECT_EQ(ArenaTable[1].initialised, 0);
    EXPECT_EQ(RemoveArenaById(3), 1);
    EXPECT_EQ(RemoveArenaById(3), 0);

    ArenaTable[0].id = 8;
    EXPECT_EQ(FindArenaIndex(8), 0);
    EXPECT_EQ(RemoveArenaById(8), 0) << "removals look from entry 1";
    for (int id = 1; id <= 19; ++id)
        UpdateArenaTable(id + 10, 0, "a", "", "", "");
    UpdateArenaTable(99, 0, "full", "", "", "");
    EXPECT_EQ(FindArenaIndex(99), 0);
}

TEST_F(TablesTest, TheTavernIsNeverReplacedByAnAddButGoesByItsId) {
    EXPECT_EQ(UpdateTableTable(255, 7, "Impostor", "x"), 1) << "adds start at entry 1";
    EXPECT_STREQ(LobbyTableList[0].name, "Main Tavern");
    EXPECT_EQ(FindTableIndex(255), 0) << "entry 0 reads as unknown";
    EXPECT_EQ(UpdateTableTable(51, 2, "Corner", "Mira"), 2);
    EXPECT_EQ(LobbyTableList[2].status, 1);
    EXPECT_EQ(LobbyTableList[2].value, 2);
    EXPECT_EQ(RemoveTableById(255), 1);
    EXPECT_EQ(LobbyTableList[0].id, kFreeId);
    EXPECT_EQ(LobbyTableList[0].status, 0);
    EXPECT_EQ(RemoveTableById(255), 1) << "the impostor in entry 1";
    EXPECT_EQ(RemoveTableById(255), 0);
}

TEST_F(TablesTest, ARefilledFireteamHasFlagZero) {
    int i = UpdateFireteamTable(12, 1, 2, 3, "Wolves", "Second");
    ASSERT_EQ(i, 1);
    EXPECT_EQ(FireteamList[i].flag, 1u);
    EXPECT_EQ(FireteamList[i].mission, 2);
    EXPECT_EQ(FireteamList[i].value, 3);
    FireteamList[i].members[2].in_use = 1;
    EXPECT_EQ(UpdateFireteamTable(12, 1, 4, 5, "Wolves", "Third"), 1);
    EXPECT_EQ(FireteamList[i].flag, 0u);
    EXPECT_EQ(FireteamList[i].mission, 4);
    EXPECT_STREQ(FireteamList[i].second_name, "Third");
    EXPECT_EQ(FireteamList[i].members[2].in_use, 0) << "a removal zeroes the whole entry";
    EXPECT_EQ(RemoveFireteamById(12), 1);
    EXPECT_EQ(FindFireteamIndex(12), 0);
}

TEST_F(TablesTest, HighScoresTakeTenRecordsOfAKnownList) {
    g_debugLevel = 2;
    std::vector<uint8_t> body = {0, 0, 0, 2, 0, 0, 0, 12};
    for (int k = 0; k < 12; ++k) {
        std::vector<uint8_t> r(68, 0);
        r[0] = static_cast<uint8_t>('a' + k);
        r[63] = static_cast<uint8_t>(k + 20);
        r[67] = 1;
        body.insert(body.end(), r.begin(), r.end());
    }
    OnHighscoreList(body.data(), body.size());
    EXPECT_TRUE(ConsoleHas("F_HIGHSCORE_LIST received.  List=2 Num=12."));
    EXPECT_STREQ(HighScoreLists[2][9].name, "j");
    EXPECT_EQ(HighScoreLists[2][9].level, 29);
    EXPECT_EQ(HighScoreLists[2][0].value, 1);
    body[8] = 'Z';
    body[3] = 3;
    OnHighscoreList(body.data(), body.size());
    EXPECT_STREQ(HighScoreLists[3][0].name, "Z") << "list 3 is the last";
    ClearChatBuffer();
    std::vector<uint8_t> before(sizeof HighScoreLists);
    std::memcpy(before.data(), HighScoreLists, before.size());
    body[3] = 4;
    body[8] = 'Y';
    OnHighscoreList(body.data(), body.size());
    EXPECT_EQ(std::memcmp(before.data(), HighScoreLists, before.size()), 0) << "list 4 is dropped";
    EXPECT_FALSE(ConsoleHas("F_HIGHSCORE_LIST received.  List=4 Num=12."));
}

TEST_F(TablesTest, Code120EntriesFollowTheirInUseBytes) {
    Code120Body c{};
    c.inUse[0] = 1;
    c.inUse[3] = 2;
    std::strcpy(c.texts[0], "zero");
    std::strcpy(c.texts[3], "three");
    c.values[3] = 300;
    std::vector<uint8_t> body(280);
    EncodeCode120(c, body.data());
    Code120List[5].in_use = 1;
    OnCode120(body.data(), body.size());
    EXPECT_EQ(Code120List[0].in_use, 1u);
    EXPECT_STREQ(Code120List[3].text, "three");
    EXPECT_EQ(Code120List[3].value, 300);
    EXPECT_EQ(Code120List[5].in_use, 0u);
}

TEST_F(TablesTest, WorldStateFillsTheMatchRecord) {
    UpdateArenaTable(3, 1, "Ashfall", "grid3", "Mira", "x");
    std::vector<uint8_t> b(80, 0);
    b[0] = 3;
    b[1] = 1;
    b[2] = 4;   // level range
    b[4] = 16;  // max players
    b[6] = 5;   // teams 1 and 3 open
    b[9] = 1;   // done
    b[10] = 7;
    b[11] = 3, b[12] = 0, b[13] = 4;
    b[31] = 90;                 // time
    b[34] = 0x0E, b[35] = 0x10;  // match length 3600
    b[43] = 2;                  // instance
    b[47] = 11, b[51] = 22, b[55] = 33;
    b[57] = 5, b[59] = 20;
    b[63] = 1, b[75] = 4;
    StoreWorldState(1, b.data(), b.size());
    const ArenaEntry& e = ArenaTable[1];
    EXPECT_EQ(e.match.level_range, 4);
    EXPECT_EQ(e.match.max_players, 16);
    EXPECT_EQ(e.match.open_teams, 5);
    EXPECT_EQ(e.match.state, 1);
    EXPECT_EQ(e.match.player_count, 7);
    EXPECT_EQ(e.match.team_counts[1], 3);
    EXPECT_EQ(e.match.team_counts[3], 4);
    EXPECT_EQ(e.match.time, 90u);
    EXPECT_EQ(e.match.match_length, 3600u);
    EXPECT_EQ(e.match.instance, 2u);
    EXPECT_EQ(e.match.team_points[2], 33u);
    EXPECT_EQ(e.match.level_min, 5);
    EXPECT_EQ(e.match.level_max, 20);
    EXPECT_EQ(e.counters[0], 1u);
    EXPECT_EQ(e.counters[3], 4u);
}

TEST_F(TablesTest, APlayersFigureGoesWithThePlayerButOtherObjectsOfTheIdStay) {
    ClearWorldObjects();
    WorldObjectTable[1] = WorldObject{};
    WorldObjectTable[1].active = 1;
    WorldObjectTable[1].type = OBJ_PLAYER;
    WorldObjectTable[1].id = 42;
    WorldObjectTable[2] = WorldObjectTable[1];
    WorldObjectTable[2].type = OBJ_MOVING;
    WorldObjectTable[3] = WorldObjectTable[1];
    WorldObjectTable[3].id = 43;
    WorldObjectHighWater = 4;
    DestroyObjectsOfOwner(0);
    EXPECT_EQ(WorldObjectTable[1].active, 1);
    DestroyObjectsOfOwner(42);
    EXPECT_EQ(WorldObjectTable[1].active, 0);
    EXPECT_EQ(WorldObjectTable[2].active, 1);
    EXPECT_EQ(WorldObjectTable[3].active, 1);
    UpdatePlayerTable(43, 0, 0, "Oren");
    UpdatePlayerTable(43, 0, 0, "Oren2");
    EXPECT_EQ(WorldObjectTable[3].active, 0) << "a replaced player's figure goes";
    ClearWorldObjects();
}

}  // namespace
