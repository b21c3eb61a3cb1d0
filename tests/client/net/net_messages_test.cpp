// The upper half of the network client: dispatch by screen state, the handlers of the service's
// answers and of the lobby lists, the senders with their bodies, the waits on timer 11 and the
// entry sequences against the scripted service.

#include <algorithm>

#include "client/core/game_clock.h"
#include "client/driver/link_timers.h"
#include "client/driver/screen_loops.h"
#include "client/screens/chat_commands.h"
#include "client/screens/input.h"
#include "client/screens/tavern_state.h"
#include "common/text.h"
#include "tests/client/net/net_messages_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace netmsg;

// ---- Dispatch by screen state ------------------------------------------------------------------

TEST_F(NetMessagesTest, EachCodeIsHandledOnlyInTheScreenStatesOfItsStage) {
    struct Row {
        const char* what;
        int code;
        Bytes body;
        std::function<bool()> handled;
        bool arena, chat, fireteam, other;
    };
    Bytes status(4);
    Put16(status, 0, 9);
    Put16(status, 2, 0x0102);
    Bytes joined(24);
    Put16(joined, 0, 12);
    PutText(joined, 4, "Ivo");
    Bytes hit(4);
    Put16(hit, 0, 7);
    const std::vector<Row> rows = {
        {"player status", 5, status, [] { return PlayerTable[FindPlayerIndex(9)].status == 0x0102; }, true, false,
         false, false},
        {"hit report", 20, hit, [] { return NoticeHas("You hit yourself!"); }, true, false, false, false},
        {"player joined", 3, joined, [] { return IsKnownPlayer(12) == 1; }, true, true, true, false},
        {"game opened", 133, Bytes(1), [] { return GameOpened == 1; }, true, true, true, true},
        {"world sent", 131, Bytes(1), [] { return WorldSent == 1; }, true, true, true, true},
    };
    const struct {
        int state;
        bool Row::*expect;
    } states[] = {{1, &Row::arena}, {2, &Row::chat}, {11, &Row::fireteam}, {3, &Row::other}};
    for (const Row& row : rows) {
        for (const auto& s : states) {
            ClearPlayerTable();
            g_screen.ClearNoticeLines();
            ResetNetDispatch();
            AddPlayer(9, "Nell");
            g_screenState = s.state;
            Dispatch(row.code, row.body);
            EXPECT_EQ(row.handled(), row.*(s.expect)) << row.what << " in state " << s.state;
        }
    }
}

TEST_F(NetMessagesTest, AWrongDestinationIsReportedAndStillHandled) {
    g_debugLevel = 2;
    Dispatch(133, Bytes(1), 3, 99);
    EXPECT_TRUE(ConsoleHas("Message Rx to Wrong Dest! Dest=99 Func=133 Source=3"));
    EXPECT_EQ(GameOpened, 1);
    ClearChatBuffer();
    Dispatch(133, Bytes(1), 3, 7);
    Dispatch(133, Bytes(1), 3, 0);
    EXPECT_FALSE(ConsoleHas("Message Rx to Wrong Dest! Dest=7 Func=133 Source=3"));
    EXPECT_FALSE(ConsoleHas("Message Rx to Wrong Dest! Dest=0 Func=133 Source=3"));
}

TEST_F(NetMessagesTest, ABodyShorterThanItsCodesMinimumIsDroppedBeforeItsCase) {
    Bytes version = {0, '1', 0, 7, 0};
    Dispatch(130, Bytes(version.begin(), version.begin() + 4));
    EXPECT_EQ(ServiceAccepted, 0);
    Dispatch(130, version);
    EXPECT_EQ(ServiceAccepted, 1);
}

TEST_F(NetMessagesTest, TheConnectionReplyGivesTheOwnIdLowByteFirst) {
    g_debugLevel = 2;
    Dispatch(128, {0x34, 0x12});
    EXPECT_EQ(GetGameValue(118), 0x1234);
    EXPECT_EQ(NetClientId, 0x1234);
    EXPECT_EQ(EnterReplied, 1);
    EXPECT_TRUE(ConsoleHas("Successfull Connection; ID=4660 (0=52, 1=18)."));
}

TEST_F(NetMessagesTest, ServerVersionRefusalAndPong) {
    Bytes version(40);
    version[1] = '1';
    version[2] = 0;
    version[3] = 7;
    version[4] = 2;
    // An account that fills the frame with no zero byte is cut to the body's 32-byte field.
    std::memset(version.data() + 5, 'q', 35);
    Dispatch(130, version);
    EXPECT_EQ(ServiceAccepted, 1);
    EXPECT_TRUE(ConsoleHas("Server Version: 0.72"));
    char account[sizeof g_login.account + 1] = {};
    std::memcpy(account, g_login.account, sizeof g_login.account);
    SwapOddNibbles(account);
    EXPECT_EQ(std::string(account), std::string(31, 'q'));

    Dispatch(132, {0xFE, '1', 1, 2, 3});
    EXPECT_EQ(ServiceRefusal, -2);
    EXPECT_EQ(ServerVersion[3], 3);

    Bytes pong(16);
    pong[3] = 100;  // echoed time 100
    pong[7] = 1;
    pong[11] = 2;
    pong[15] = 3;
    present.calls.clear();
    Dispatch(129, pong);
    EXPECT_EQ(Ping.pongs, 1u);
    EXPECT_EQ(Ping.values[0], 1u);
    EXPECT_EQ(Ping.values[2], 3u);
    EXPECT_EQ(present.Count("SetPanelRedrawFlag"), 1u);
}

TEST_F(NetMessagesTest, ADatagramAddressMustBeDottedTextWithinItsFieldAndAPortInRange) {
    struct Row {
        const char* address;
        uint32_t port;
        bool taken;
    } rows[] = {
        {"127.0.0.1", 4000, true},
        {"127.0.0.1", 1, true},
        {"127.0.0.1", 0, false},
        {"127.0.0.1", 65536, false},
        {"1.2.3", 4000, false},
        {"1.2.3.4.5", 4000, false},
        {"256.0.0.1", 4000, false},
        {"255.255.255.255", 65535, true},
        {"1a.2.3.4", 4000, false},
        {"1234.2.3.4", 4000, false},
        {"1.2.3.4x", 4000, false},
        {"01234567890123456789", 4000, false},  // no zero byte in 20
    };
    const auto named = [](const char* address, uint32_t port) {
        Bytes b(24);
        std::memcpy(b.data(), address, std::min<size_t>(20, std::strlen(address)));
        b[20] = static_cast<uint8_t>(port >> 24);
        b[21] = static_cast<uint8_t>(port >> 16);
        b[22] = static_cast<uint8_t>(port >> 8);
        b[23] = static_cast<uint8_t>(port);
        return b;
    };
    for (const Row& r : rows) {
        DatagramEstablished = 0;
        DatagramLinkPending = 1;
        Dispatch(135, named(r.address, r.port));
        EXPECT_EQ(DatagramEstablished == 1, r.taken) << r.address << ":" << r.port;
        EXPECT_EQ(DatagramLinkPending == 0, r.taken) << "only an address taken ends the set-up";
    }
    // Outside the link's set-up, and a second answer within it, move nothing.
    g_debugLevel = 2;
    DatagramEstablished = 0;
    DatagramLinkPending = 0;
    Dispatch(135, named("10.0.0.1", 4000));
    EXPECT_EQ(DatagramEstablished, 0);
    DatagramLinkPending = 1;
    Dispatch(135, named("10.0.0.2", 4000));
    Dispatch(135, named("10.0.0.3", 5000));
    EXPECT_FALSE(ConsoleHas("S_DATAGRAM_ESTABLISHED: [10.0.0.1:4000]"));
    EXPECT_TRUE(ConsoleHas("S_DATAGRAM_ESTABLISHED: [10.0.0.2:4000]"));
    EXPECT_FALSE(ConsoleHas("S_DATAGRAM_ESTABLISHED: [10.0.0.3:5000]"));
}

// ---- Lobby stage ------------------------------------------------------------------------------

// F_VALIDATE_PLAYER_LIST gives a table its members, one bit a player id: the id's byte, its bit
// counted from the lowest. A list for a table the client does not know changes nothing, not even
// the Tavern's own entry.
TEST_F(NetMessagesTest, AValidationListSetsItsTablesMembersBitByBit) {
    g_screenState = 2;
    g_debugLevel = 2;
    const int t = UpdateTableTable(9, 1, "Nook", "Ivo");
    ASSERT_GT(t, 0);
    const struct {
        int ownId, byte;
        uint8_t bits;
        bool invited;
    } rows[] = {
        {7, 0, 0x80, true}, {7, 0, 0x01, false}, {10, 1, 0x04, true},
        {10, 1, 0x20, false}, {10, 2, 0x04, false}, {511, 63, 0x80, true},
    };
    for (const auto& r : rows) {
        SetGameValue(118, r.ownId);
        std::memset(LobbyTableList[t].members, 0, sizeof LobbyTableList[t].members);
        ClearChatBuffer();
        Bytes b(68);
        b[0] = 9;
        b[4 + r.byte] = r.bits;
        Dispatch(82, b);
        EXPECT_EQ(LobbyTableList[t].members[r.byte], r.bits);
        EXPECT_EQ(ConsoleHas("You have been invited to Nook (#9) by Ivo."), r.invited) << r.ownId << " " << int(r.bits);
    }

    SetGameValue(118, 7);
    ClearChatBuffer();
    Bytes b(68, 0xFF);
    b[0] = 44;
    Dispatch(82, b);
    EXPECT_TRUE(ConsoleHas("Received validation list for invalid table (#44)"));
    for (uint8_t m : LobbyTableList[0].members)
        ASSERT_EQ(m, 0) << "the Tavern's entry took an unknown table's list";
    EXPECT_FALSE(ConsoleHas("You have been invited to Main Tavern (#44) by System."));
}

TEST_F(NetMessagesTest, ChatFromAnIgnoredPlayerIsDroppedUnlessHeHasOperatorBits) {
    g_screenState = 2;
    const int i = AddPlayer(9, "Grub");
    std::memset(IgnoreList, 0, sizeof IgnoreList);
    CopyText(IgnoreList[3], "grub");
    Bytes chat(8 + 6);
    Put16(chat, 0, 9);
    chat[4] = 0;
    PutText(chat, 8, "hello");
    const int before = ChatBuffer.count;
    Dispatch(7, chat, 9);
    EXPECT_EQ(ChatBuffer.count, before);
    PlayerTable[i].flags = 0x80;  // not an operator bit
    Dispatch(7, chat, 9);
    EXPECT_EQ(ChatBuffer.count, before);
    PlayerTable[i].flags = 0x01;
    Dispatch(7, chat, 9);
    EXPECT_EQ(ChatBuffer.count, before + 1);
    IgnoreList[3][0] = 0;
    PlayerTable[i].flags = 0;
    Dispatch(7, chat, 9);
    EXPECT_EQ(ChatBuffer.count, before + 2);
}

// A player's chat line by its channel: team lines only to the team in the right mode, the
// opposing team's lines only to operators, private lines tagged as from the sender.
TEST_F(NetMessagesTest, ChatTextIsShownByItsChannelAndTheSendersTeam) {
    g_screenState = 2;
    SetGameValue(4, 2);
    const int i = AddPlayer(9, "Nell", 2);
    struct Row {
        const char* what;
        int channel, senderTeam, mode114, sysop, operatorFlags;
        const char* tag;  // null: not shown
        int textColor, tagColor;
    } rows[] = {
        {"team line in team mode", 1, 2, 3, 0, 0, "Nell: ", 1, 2},
        {"team line in another mode", 1, 2, 0, 0, 0, nullptr, 0, 0},
        {"another team's team line", 1, 3, 3, 0, 0, nullptr, 0, 0},
        {"team channel from the other team", 2, 3, 0, 0, 0, nullptr, 0, 0},
        {"team channel from the other team to an operator", 2, 3, 0, 1, 0, "[9]Nell: ", 3, 3},
        {"team channel from our team", 2, 2, 0, 0, 0, "Nell: ", 2, 2},
        {"private line", 3, 2, 0, 0, 0, "[from Nell]: ", 4, 2},
        {"everybody", 0, 2, 0, 0, 0, "Nell: ", 4, 2},
        {"everybody from an operator", 0, 2, 0, 0, 1, "Nell: ", 0, 0},
    };
    for (const Row& row : rows) {
        PlayerTable[i].team = row.senderTeam;
        PlayerTable[i].flags = row.operatorFlags;
        SetGameValue(114, row.mode114);
        SetGameValue(3, row.sysop);
        Bytes chat(8 + 6);
        Put16(chat, 0, 9);
        chat[4] = static_cast<uint8_t>(row.channel);
        PutText(chat, 8, "hello");
        const int before = ChatBuffer.count;
        Dispatch(7, chat, 9);
        if (!row.tag) {
            EXPECT_EQ(ChatBuffer.count, before) << row.what;
            continue;
        }
        ASSERT_EQ(ChatBuffer.count, before + 1) << row.what;
        const ChatLine& line = ChatBuffer.lines[(ChatBuffer.write + kChatLines - 1) % kChatLines];
        EXPECT_STREQ(line.text, "hello") << row.what;
        EXPECT_STREQ(line.tag, row.tag) << row.what;
        EXPECT_EQ(line.text_color, row.textColor) << row.what;
        EXPECT_EQ(line.tag_color, row.tagColor) << row.what;
    }
    SetGameValue(3, 0);
}

TEST_F(NetMessagesTest, FilteredWordsBecomeAsterisksOnlyAsWholeWords) {
    char text[] = "Crap, scrappy damn git-gud";
    FilterChatWords(text);
    EXPECT_STREQ(text, "****, scrappy **** ***-gud");
}

TEST_F(NetMessagesTest, TheUnbanAnswerIsPrintedAtEveryDebugLevel) {
    g_screenState = 2;
    Bytes b(8);
    PutText(b, 1, "vex");
    Dispatch(169, b);
    EXPECT_TRUE(ConsoleHas("Account [vex] not found in banlist."));
    b[0] = 1;
    Dispatch(169, b);
    EXPECT_TRUE(ConsoleHas("Account [vex] was unbanned."));
}

TEST_F(NetMessagesTest, PlayersArenasAndTablesFillTheLobbyLists) {
    g_screenState = 2;
    Bytes large(240);
    for (int k = 0; k < 2; ++k) {
        PutText(large, 24 * k, k ? "Bea" : "Abe");
        Put16(large, 24 * k + 12, 20 + k);
        large[24 * k + 14] = 55;
        large[24 * k + 15] = 2;
        large[24 * k + 16] = 11;
        large[24 * k + 17] = 12;
        large[24 * k + 18] = 1;
        large[24 * k + 19] = 13;
        PutText(large, 24 * k + 20, "ABCD");
    }
    Dispatch(52, large);
    const int a = FindPlayerIndex(20), b = FindPlayerIndex(21);
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    EXPECT_STREQ(PlayerTable[b].name, "Bea");
    EXPECT_EQ(PlayerTable[a].location, 55);
    EXPECT_EQ(PlayerTable[a].team, 2);
    EXPECT_EQ(PlayerTable[a].value16, 11);
    EXPECT_EQ(PlayerTable[a].value17, 12);
    EXPECT_EQ(PlayerTable[a].flags, 1u);
    EXPECT_EQ(PlayerTable[a].value19, 13);
    EXPECT_STREQ(PlayerTable[a].abbrev, "ABCD");
    EXPECT_STREQ(PlayerTable[a].entry_mark, "*");
    EXPECT_EQ(IsKnownPlayer(0), 0) << "empty records enter nobody";

    Bytes worlds(208);
    worlds[0] = 4;
    worlds[1] = 1;
    PutText(worlds, 2, "Ember");
    PutText(worlds, 22, "grid3");
    worlds[52] = 0;  // an empty record
    worlds[104] = 6;
    PutText(worlds, 106, "Frost");
    worlds[156] = 1;
    PutText(worlds, 158, "Moss");
    Dispatch(54, worlds);
    ASSERT_GT(FindArenaIndex(4), 0);
    ASSERT_GT(FindArenaIndex(6), 0);
    ASSERT_GT(FindArenaIndex(1), 0);
    int arenas = 0;
    for (const ArenaEntry& e : ArenaTable)
        arenas += e.id != kFreeId;
    EXPECT_EQ(arenas, 3) << "the empty record enters no arena";
    EXPECT_STREQ(ArenaTable[FindArenaIndex(4)].text1, "grid3");

    Bytes table(98);
    table[0] = 3;
    table[1] = 9;
    PutText(table, 4, "Nook");
    PutText(table, 24, "Ivo");
    table[34] = 0x80;
    Dispatch(66, table);
    const int t = FindTableIndex(3);
    ASSERT_GT(t, 0);
    EXPECT_STREQ(LobbyTableList[t].founder, "Ivo");
    EXPECT_EQ(LobbyTableList[t].members[0], 0x80);
    Dispatch(67, {3});
    EXPECT_EQ(FindTableIndex(3), 0);
}

// A body longer than its code's records holds nothing more: the batch codes enter their own
// count of records and no more, the single codes one.
TEST_F(NetMessagesTest, EachEnterCodeTakesOnlyItsOwnCountOfRecords) {
    struct Row {
        int code;
        size_t size;  // of one record
        int records;
        size_t idAt;  // the record's number, a byte, or the player id, a u16
        int (*find)(int);
    } rows[] = {
        {25, 52, 1, 0, FindArenaIndex},
        {54, 52, 4, 0, FindArenaIndex},
        {66, 98, 1, 0, FindTableIndex},
        {68, 98, 3, 0, FindTableIndex},
        {52, 24, 10, 13, FindPlayerIndex},
        {90, 172, 1, 0, FindFireteamIndex},
        {92, 172, 3, 0, FindFireteamIndex},
    };
    g_screenState = 2;
    for (const Row& r : rows) {
        ClearPlayerTable();
        ResetArenaList();
        Bytes body((r.records + 1) * r.size);
        for (int k = 0; k <= r.records; ++k) {
            body[k * r.size + r.idAt] = static_cast<uint8_t>(10 + k);
            PutText(body, k * r.size + (r.code == 52 ? 0 : 4), "Ash");
        }
        Dispatch(r.code, body);
        for (int k = 0; k < r.records; ++k)
            EXPECT_GT(r.find(10 + k), 0) << r.code << " record " << k;
        EXPECT_EQ(r.find(10 + r.records), 0) << r.code << ": the bytes past its records";
    }
    // An empty record of the fireteam batch (number 0) enters nothing.
    ResetArenaList();
    Bytes fireteams(3 * 172);
    fireteams[0] = 10;
    fireteams[2 * 172] = 12;
    Dispatch(92, fireteams);
    EXPECT_GT(FindFireteamIndex(10), 0);
    EXPECT_GT(FindFireteamIndex(12), 0);
    EXPECT_EQ(FindFireteamIndex(0), 0);
}

TEST_F(NetMessagesTest, APlayerLeavingOutsideTheArenaMovesToItsTableOrIsRemoved) {
    g_screenState = 2;
    const int i = AddPlayer(9, "Nell");
    PlayerTable[i].cleared_word = 0;
    Dispatch(4, {0, 9, 0, 6});
    EXPECT_EQ(FindPlayerIndex(9), i);
    EXPECT_EQ(PlayerTable[i].location, 6);
    EXPECT_EQ(PlayerTable[i].cleared_word, 1) << "marked changed for the lists";
    Dispatch(4, {0, 9, 0, 0});
    EXPECT_EQ(FindPlayerIndex(9), 0);

    g_screenState = 1;
    AddPlayer(10, "Oda");
    present.calls.clear();
    Dispatch(4, {0, 10, 0, 6});
    EXPECT_EQ(FindPlayerIndex(10), 0) << "in the arena game the byte 3 is no table";
    EXPECT_TRUE(NoticeHas("Oda left the game"));
    EXPECT_EQ(present.Named("SetPanelRedrawFlag"), std::vector<std::string>{"SetPanelRedrawFlag(11, 1)"});
}

TEST_F(NetMessagesTest, AWorldStateBeforeItsArenaAsksForTheArenaAndAfterFillsIt) {
    g_screenState = 2;
    Bytes state(80);
    state[0] = 4;
    state[1] = 1;
    state[10] = 6;  // player count
    state[27] = 90;  // start time
    Dispatch(26, state);
    std::vector<Sent> sent = SentFrames();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].code, 50);
    EXPECT_EQ(sent[0].destination, 0xFFFF);
    EXPECT_EQ(sent[0].body, (Bytes{0, 0, 0, 4}));

    Bytes world(52);
    world[0] = 4;
    PutText(world, 2, "Ember");
    Dispatch(25, world);
    g_screen.pageRedraw = 0;
    Dispatch(26, state);
    const ArenaEntry& a = ArenaTable[FindArenaIndex(4)];
    EXPECT_EQ(a.initialised, 1);
    EXPECT_EQ(a.match.player_count, 6);
    EXPECT_EQ(a.match.start_time, 90u);
    EXPECT_EQ(g_screen.pageRedraw, 1);
    EXPECT_EQ(present.Count("SetPanelRedrawFlag"), 1u);
}

TEST_F(NetMessagesTest, RemovingTheSelectedArenaLeavesItsPage) {
    ResetTavernState();
    Bytes world(52);
    world[0] = 4;
    struct Row {
        int state, page, selected;
        int pageAfter, selectedAfter, flag;  // flag: the next screen asked for
    } rows[] = {
        {2, 2, 4, 1, 0, 0},
        {2, 1, 4, 1, 1, 0},  // the lists page stays
        {2, 2, 5, 2, 0, 0},  // another arena (none here) was selected
        {11, 2, 4, 2, 1, 2},
        {1, 2, 4, 2, 1, 0},
    };
    for (const Row& r : rows) {
        g_screenState = 2;
        Dispatch(25, world);
        g_tavern.page = r.page;
        g_tavern.selectedArena = FindArenaIndex(r.selected);
        g_nextScreenRequest = 0;
        g_screenState = r.state;
        Dispatch(36, {4});
        EXPECT_EQ(FindArenaIndex(4), 0);
        EXPECT_EQ(g_tavern.page, r.pageAfter) << r.state << " " << r.page << " " << r.selected;
        EXPECT_EQ(g_tavern.selectedArena, r.selectedAfter);
        EXPECT_EQ(g_nextScreenRequest, r.flag);
    }
}

TEST_F(NetMessagesTest, MakeSysopActsOnlyForTheOwnId) {
    TempDir dir;
    dir.Enter();
    LocalPlayer player{};
    g_localPlayer = &player;
    g_playMode = 1;
    g_currentSlot = 1;
    std::strcpy(g_currentCharacter.name, "Ivo");
    const auto savedRank = [&dir] { return dir.Exists("char.bin") ? int(uint8_t(dir.Read("char.bin")[8 + 480 + 107])) : -1; };
    g_screenState = 2;
    Dispatch(81, {0, 8, 0, 0});
    EXPECT_EQ(GetGameValue(3), 0);
    EXPECT_EQ(savedRank(), -1);
    Dispatch(81, {0, 7, 0, 0});
    EXPECT_EQ(GetGameValue(3), 3);
    EXPECT_EQ(GetGameValue(120), 1);
    EXPECT_TRUE(ConsoleHas("You are made a Sysop.\n"));
    Dispatch(81, {0, 7, 0, 0});
    EXPECT_EQ(GetGameValue(3), 0);
    EXPECT_TRUE(ConsoleHas("You sysop status is revoked.\n"));
    g_login.privilegeLevel = 1;
    Dispatch(81, {0, 7, 0, 0});
    EXPECT_EQ(GetGameValue(3), 5);
    // Each change is saved into the selected slot: sysop 5, operator 1.
    EXPECT_EQ(savedRank(), 0x15);
    g_localPlayer = nullptr;
}

TEST_F(NetMessagesTest, FireteamStatusMovesTheMembersScreen) {
    g_screenState = 2;
    Bytes enter(172);
    enter[0] = 5;
    PutText(enter, 4, "Wolves");
    Dispatch(90, enter);
    ASSERT_GT(FindFireteamIndex(5), 0);
    auto status = [&](int s, int member) {
        Bytes b(96);
        b[0] = 5;
        b[1] = static_cast<uint8_t>(s);
        Put16(b, 4, member);
        PutText(b, 16, "Me");
        Dispatch(110, b);
    };
    struct Row {
        int state, from, to, next;
    } rows[] = {
        {2, 0, 1, 11}, {11, 1, 2, 1}, {11, 1, 0, 2}, {2, 1, 2, 0}, {1, 0, 1, 0}, {11, 1, 1, 0},
    };
    for (const Row& r : rows) {
        g_screenState = 2;
        status(r.from, 7);
        g_nextScreenRequest = 0;
        g_screenState = r.state;
        status(r.to, 7);
        EXPECT_EQ(g_nextScreenRequest, r.next) << r.state << ": " << r.from << " -> " << r.to;
    }
    EXPECT_EQ(LocalFireteam, 5);
    status(1, 8);
    EXPECT_EQ(LocalFireteam, 0);
    EXPECT_TRUE(ConsoleHas("You leave fireteam #5"));
    EXPECT_EQ(g_nextScreenRequest, 0) << "a status of a team we are not in moves no screen";
}

TEST_F(NetMessagesTest, AFireteamMemberInfoFillsItsMemberOnce) {
    g_screenState = 2;
    Bytes enter(172);
    enter[0] = 5;
    Put16(enter, 48, 20);  // member 0
    Put16(enter, 50, 21);  // member 1
    Dispatch(90, enter);
    const int i = FindFireteamIndex(5);
    ASSERT_GT(i, 0);
    const Bytes info = {0, 21, 0, 33, 0, 55, 66, 5, 1, 2, 3, 4, 5, 6, 7, 8};
    FireteamList[i].status = 0;
    Dispatch(112, info);
    EXPECT_EQ(FireteamList[i].members[1].in_use, 0) << "a fireteam not yet started takes no info";
    FireteamList[i].status = 1;
    Dispatch(112, info);
    const FireteamMember& m = FireteamList[i].members[1];
    EXPECT_EQ(m.in_use, 1);
    EXPECT_EQ(m.values[0], 55);
    EXPECT_EQ(m.values[1], 66);
    EXPECT_EQ(m.values[2], 33);
    EXPECT_EQ(m.value, 0);
    EXPECT_EQ(m.extra[0], 1);
    EXPECT_EQ(m.extra[7], 8);
    EXPECT_EQ(FireteamList[i].members[0].in_use, 0) << "another member's record is left";
    Bytes again = info;
    again[5] = 99;
    Dispatch(112, again);
    EXPECT_EQ(m.values[0], 55) << "a member is filled once";
    EXPECT_EQ(FireteamList[i].members[0].in_use, 0);
}

TEST_F(NetMessagesTest, AFireteamMemberValueIndexesOnlyTheFourMembers) {
    g_screenState = 2;
    Bytes enter(172);
    enter[0] = 5;
    Dispatch(90, enter);
    const int i = FindFireteamIndex(5);
    Dispatch(114, {5, 3, 77});
    EXPECT_EQ(FireteamList[i].members[3].value, 77);
    const Bytes before(reinterpret_cast<const uint8_t*>(FireteamList),
                       reinterpret_cast<const uint8_t*>(FireteamList) + sizeof FireteamList);
    Dispatch(114, {5, 4, 66});
    Dispatch(114, {5, 255, 66});
    EXPECT_EQ(std::memcmp(before.data(), FireteamList, sizeof FireteamList), 0) << "no fireteam's bytes change";
}

TEST_F(NetMessagesTest, AFireteamsMemberRecordsFillTheirFields) {
    g_screenState = 2;
    Bytes enter(172);
    enter[0] = 5;
    Put16(enter, 50, 21);  // member 1's id
    const Bytes record = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    std::copy(record.begin(), record.end(), enter.begin() + 56 + 16);
    Dispatch(90, enter);
    const int i = FindFireteamIndex(5);
    ASSERT_GT(i, 0);
    const FireteamMember& m = FireteamList[i].members[1];
    EXPECT_EQ(m.id, 21);
    EXPECT_EQ(m.in_use, 1);
    EXPECT_EQ(Bytes(m.values, m.values + 3), (Bytes{2, 3, 4}));
    EXPECT_EQ(m.value, 5);
    EXPECT_EQ(Bytes(m.extra, m.extra + 8), (Bytes{6, 7, 8, 9, 10, 11, 12, 13}));
    EXPECT_EQ(m.status_byte, 0) << "not a byte of the record";
    EXPECT_EQ(FireteamList[i].members[0].in_use, 0);
    EXPECT_EQ(FireteamList[i].members[2].in_use, 0);
}

TEST_F(NetMessagesTest, ARenameIsBoundedToTheTableName) {
    g_screenState = 2;
    const int i = AddPlayer(9, "Nell");
    Bytes b(4 + 40, 'z');
    Put16(b, 0, 9);
    b[2] = b[3] = 0;
    Dispatch(163, b);
    EXPECT_EQ(std::string(PlayerTable[i].name), std::string(19, 'z'));
}

TEST_F(NetMessagesTest, AGuildListRunningPastTheFrameStopsAtItsEnd) {
    g_screenState = 1;
    g_debugLevel = 2;
    Bytes b = {3, 4, 'a', 'b', 'c', 'd', 'A', 'B', 'C', 'D', 40, 'x'};
    Dispatch(186, b);
    EXPECT_TRUE(ConsoleHas("Received Guild #0: abcd ABCD"));
    EXPECT_FALSE(ConsoleHas("Received Guild #1: x "));
}

// ---- Every screen: characters and names ------------------------------------------------------

TEST_F(NetMessagesTest, ACharacterIsStoredOnlyWhenItIsOursAndAddressedToUs) {
    Hold(g_login.account, "mira");
    Bytes b(kCharacterBodySize);
    PutText(b, 0, "mira");
    b[20] = 1;
    PutText(b, 24, "Thorn");
    b[24 + 73] = 1;  // record byte 73: copy byte 77
    Dispatch(85, b, 0, 8);
    EXPECT_TRUE(ConsoleHas("Character to Wrong Dest! Dest=8 ID=7"));
    EXPECT_EQ(SlotRequestState[1], 0);

    Bytes other = b;
    PutText(other, 0, "nova");
    Dispatch(85, other, 0, 7);
    EXPECT_TRUE(ConsoleHas("Character to Wrong Acct! char=nova user=mira"));

    Dispatch(85, b, 0, 7);
    EXPECT_EQ(SlotRequestState[1], 2);
    uint8_t copy[kServiceCopySize];
    ReadServiceCopy(1, copy);
    EXPECT_STREQ(reinterpret_cast<char*>(copy + 4), "Thorn");
    EXPECT_EQ(copy[kServiceCopyFlagsByte], 1);
    EXPECT_NE(ServiceCopies[1][4], 'T') << "held scrambled";

    // The assumed name is ours instead when a privileged player sets one.
    g_login.privilegeLevel = 5;
    std::strcpy(g_login.assumedName, "nova");
    SlotRequestState[2] = 1;
    other[20] = 2;
    Dispatch(85, other, 0, 7);
    EXPECT_EQ(SlotRequestState[2], 2);

    Bytes error(88);
    error[20] = 2;
    Dispatch(86, error);
    EXPECT_EQ(SlotRequestState[2], 0);
    Dispatch(88, error);
    EXPECT_EQ(SlotSendState[2], 3);
    Dispatch(89, error);
    EXPECT_EQ(SlotSendState[2], 4);
    // A slot past the four names none of them: no state changes.
    for (int32_t& state : SlotRequestState)
        state = 1;
    for (int32_t& state : SlotSendState)
        state = 1;
    error[20] = kCharacterSlots;
    for (int code : {86, 88, 89})
        Dispatch(code, error);
    other[20] = kCharacterSlots;
    Dispatch(85, other, 0, 7);
    for (int slot = 0; slot < kCharacterSlots; ++slot) {
        EXPECT_EQ(SlotRequestState[slot], 1) << slot;
        EXPECT_EQ(SlotSendState[slot], 1) << slot;
    }
}

// The service keeps characters under the account, or under the assumed name a privileged
// player set; each of the four slots, and no other, is asked for and sent.
TEST_F(NetMessagesTest, CharacterRequestsAndSendsNameTheAccountAndTheSlot) {
    Hold(g_login.account, "mira");
    struct Row {
        int privilege;
        const char* assumed;
        const char* account;
    } rows[] = {
        {0, "", "mira"},
        {0, "nova", "mira"},
        {5, "", "mira"},
        {5, "nova", "nova"},
    };
    for (int k = 0; k < kCharacterSlots; ++k) {
        const Row& r = rows[k];
        SCOPED_TRACE(std::to_string(r.privilege) + " " + r.assumed);
        g_login.privilegeLevel = r.privilege;
        std::strcpy(g_login.assumedName, r.assumed);
        ResetSendRing();
        const uint8_t held[4] = {'T', 'h', 'o', 0};
        StoreServiceCopy(k, held, 4);
        RequestCharacter(k);
        uint8_t copy[kServiceCopySize];
        ReadServiceCopy(k, copy);
        EXPECT_EQ(copy[4], 0) << "no character in the slot until the answer";
        EXPECT_EQ(copy[5], 'h');
        SendCharacter(3 - k);
        for (int slot : {-1, kCharacterSlots}) {
            RequestCharacter(slot);
            SendCharacter(slot);
        }
        std::vector<Sent> sent = SentFrames();
        ASSERT_EQ(sent.size(), 2u);
        Bytes request(24);
        PutText(request, 0, r.account);
        request[20] = static_cast<uint8_t>(k);
        EXPECT_EQ(sent[0].code, 84);
        EXPECT_EQ(sent[0].destination, 0xFFFE);
        EXPECT_EQ(sent[0].body, request);
        EXPECT_EQ(sent[1].code, 87);
        ASSERT_EQ(sent[1].body.size(), size_t(kCharacterBodySize));
        EXPECT_EQ(Bytes(sent[1].body.begin(), sent[1].body.begin() + 20), Bytes(request.begin(), request.begin() + 20));
        EXPECT_EQ(sent[1].body[20], 3 - k);
        EXPECT_EQ(SlotRequestState[k], 1);
    }
    g_login.privilegeLevel = 0;
    g_login.assumedName[0] = '\0';
}

TEST_F(NetMessagesTest, NameAnswersSetTheirBitsAndValues) {
    auto answer = [&](int code, const char* name, const char* account, int yes) {
        Bytes b(51);
        PutText(b, 0, name);
        PutText(b, 30, account);
        b[50] = static_cast<uint8_t>(yes);
        Dispatch(code, b);
    };
    std::strcpy(NameCheckResults.pendingSquad, "redhand");
    std::strcpy(NameCheckResults.pendingAbbrev, "rh");
    answer(100, "redhand", "*name", 1);
    answer(100, "rh", "*abbrev", 0);
    answer(107, "redhand", "*name", 0);
    answer(107, "rh", "*abbrev", 1);
    EXPECT_EQ(NameCheckResults.bits, 8u | 0x40u | 2u | 0x10u);
    NameCheckResults.bits = 0;
    answer(100, "redhand", "*name", 0);
    answer(100, "rh", "*abbrev", 1);
    answer(107, "redhand", "*name", 1);
    answer(107, "rh", "*abbrev", 0);
    EXPECT_EQ(NameCheckResults.bits, 4u | 0x80u | 1u | 0x20u);
    answer(100, "thorn", "mira", 1);
    answer(107, "thorn", "mira", 0);
    EXPECT_EQ(NameCheckResults.queryAnswer, 2);
    EXPECT_EQ(NameCheckResults.checkAnswer, 2);
    answer(100, "thorn", "mira", 0);
    answer(107, "thorn", "mira", 1);
    EXPECT_EQ(NameCheckResults.queryAnswer, 1);
    EXPECT_EQ(NameCheckResults.checkAnswer, 1);
}

// ---- Deaths -----------------------------------------------------------------------------------

TEST_F(NetMessagesTest, ADeathIsAnnouncedByWhoKnewWhom) {
    struct Row {
        int victim, killer;
        const char* notice;
    } rows[] = {
        {9, 7, "You killed Nell"},
        {30, 7, "You receive kill experience"},
        {9, 10, "Nell was killed by Oda"},
        {9, 31, "Nell died"},
        {30, 10, ""},  // nobody we know died
        {30, 31, ""},
    };
    LocalPlayer player{};
    g_localPlayer = &player;
    for (const Row& r : rows) {
        ClearPlayerTable();
        g_screen.ClearNoticeLines();
        AddPlayer(9, "Nell");
        AddPlayer(10, "Oda");
        Bytes b(8);
        Put16(b, 0, r.victim);
        Put16(b, 2, r.killer);
        b[4] = 3;
        Dispatch(6, b);
        EXPECT_STREQ(g_screen.noticeLines[0], r.notice);
        if (const int v = FindPlayerIndex(r.victim)) {
            EXPECT_EQ(PlayerTable[v].dead, 1);
            EXPECT_EQ(PlayerTable[v].death_kind, 3);
        }
    }
    g_localPlayer = nullptr;
    EXPECT_EQ(g_currentCharacter.kills, 2);
    EXPECT_EQ(player.kills, 2) << "the counter our vitals send";
    EXPECT_EQ(player.deaths, 0);
}

// ---- Senders ----------------------------------------------------------------------------------

TEST_F(NetMessagesTest, PlayerEnterCarriesTheRankByteOfItsPlace) {
    Hold(g_currentCharacter.name, "Thorn");
    Hold(g_currentCharacter.squad, "Red Hand");
    Hold(g_currentCharacter.abbrev, "RHND!");
    Hold(g_login.account, "mira");
    SetGameValue(4, 2);
    SetGameValue(114, 3);
    SetGameValue(0, 12);
    SendPlayerEnter(nullptr, 4);
    std::vector<Sent> sent = SentFrames();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].code, 184);
    EXPECT_EQ(sent[0].destination, 0);
    Bytes golden(76);
    golden[1] = 7;
    golden[2] = 4;
    golden[3] = 2;
    PutText(golden, 4, "Thorn");
    golden[16] = 3;
    golden[17] = 12;
    PutText(golden, 20, "mira");
    PutText(golden, 40, "Red Hand");
    PutText(golden, 72, "RHND");
    EXPECT_EQ(sent[0].body, golden);
    EXPECT_EQ(GetGameValue(119), 4);

    struct Row {
        const char* what;
        int port, sysop, value120, privilege, slot, flagByte;
        int rank;
    } rows[] = {
        {"sysop", 4, 3, 1, 0, -1, 0, 0x31},
        {"operator slot 2", 4, 0, 0, 0, 2, 1, 128},
        {"slot 3 does not count", 4, 0, 0, 0, 3, 1, 0},
        {"slot not present", 4, 0, 0, 0, -2, 1, 0},
        {"service privileged", 0, 3, 0, 1, -1, 0, 0x50},
        {"service plain", 0, 3, 0, 0, 2, 1, 0},
    };
    for (const Row& r : rows) {
        ResetSendRing();
        ResetCharacterState();
        SetGameValue(3, r.sysop);
        SetGameValue(120, r.value120);
        g_login.privilegeLevel = r.privilege;
        const int slot = r.slot == -2 ? 1 : r.slot;
        if (slot >= 0) {
            uint8_t record[250] = {};
            record[kServiceCopyFlagsByte - 4] = static_cast<uint8_t>(r.flagByte);
            StoreServiceCopy(slot, record, 250);
            SlotRequestState[slot] = r.slot == -2 ? 1 : 2;
        }
        const uint8_t held = ServiceCopies[slot < 0 ? 0 : slot][kServiceCopyFlagsByte];
        SendPlayerEnter(nullptr, r.port);
        sent = SentFrames();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].body[18], r.rank) << r.what;
        EXPECT_EQ(ServiceCopies[slot < 0 ? 0 : slot][kServiceCopyFlagsByte], held) << "copies stay scrambled";
    }
}

TEST_F(NetMessagesTest, ConnectSendsVersionPasswordAndLowerCaseAccount) {
    Hold(g_login.account, "MiRa");
    Hold(g_login.password, "secret");
    std::strcpy(g_login.commandLineText, "lan");
    SendConnect();
    std::vector<Sent> sent = SentFrames();
    ASSERT_EQ(sent.size(), 1u);
    Bytes golden(95);
    golden[1] = '1';
    golden[2] = 0;
    golden[3] = 7;
    golden[4] = 0;
    PutText(golden, 5, "secret");
    PutText(golden, 55, "lan");
    PutText(golden, 75, "mira");
    EXPECT_EQ(sent[0].code, 15);
    EXPECT_EQ(sent[0].body, golden);

    // The login holds up to 100 characters; the body's fields keep their 50 and 20 bytes, each
    // ending in a zero.
    Hold(g_login.account, std::string(100, 'A').c_str());
    Hold(g_login.password, std::string(100, 'p').c_str());
    SendConnect();
    sent = SentFrames();
    ASSERT_EQ(sent.size(), 2u);
    PutText(golden, 5, std::string(49, 'p').c_str());
    PutText(golden, 75, std::string(19, 'a').c_str());
    EXPECT_EQ(sent[1].body, golden);
}

TEST_F(NetMessagesTest, SmallSendersBodiesAndDestinations) {
    SetGameValue(4, 3);
    const int table = UpdateTableTable(9, 0, "Nook", "Ivo");
    ASSERT_GT(table, 0);
    uint8_t members[64] = {};
    members[0] = 0x80;
    members[63] = 0x01;
    Bytes validation(68);  // the table, three zero bytes, the 64 member bytes
    validation[0] = 9;
    validation[4] = 0x80;
    validation[67] = 0x01;
    struct Row {
        std::function<void()> send;
        int code, destination;
        Bytes body;
    };
    const std::vector<Row> rows = {
        {[] { SendOpenGame(); }, 23, 0xFFFF, {0}},
        {[] { SendRequestWorld(); }, 8, 0xFFFF, {0, 0, 0, 0}},
        {[] { SendRequestWorldLarge(); }, 64, 0xFFFF, {0, 0, 0, 0}},
        {[] { RequestObject(0x1234); }, 22, 0xFFFF, {0, 0, 0x12, 0x34}},
        {[] { RequestPlayer(9); }, 38, 0, {0, 0, 0, 9}},
        {[] { RequestArena(4); }, 50, 0xFFFF, {0, 0, 0, 4}},
        {[] { SendRequestRaise(nullptr, 0x0203); }, 177, 0xFFFF, {2, 3, 0, 0}},
        {[] { RequestHighScores(2, 10); }, 161, 0xFFFE, {0, 0, 0, 2, 0, 0, 0, 10}},
        {[] { SendCode175(6); }, 175, 0xFFFF, {6}},
        {[] { SendCode51(4); }, 51, 0, {4}},
        {[] { SendCode53(); }, 53, 0, {0}},
        {[] { SendCode71(); }, 71, 0, {0}},
        {[] { SendDisconnect(); }, 16, 0, {0}},
        {[] { SendPlayerExit(nullptr, 0); }, 4, 0, {0, 7, 3, 0}},
        {[] { SendSwitchTable(nullptr, 0x0105); }, 83, 0, {0, 7, 1, 5}},
        {[] { SendKeepAlive(); }, 17, 0, {0}},
        {[] { SendNewArena(1, 2, 3, 4); }, 34, 0, {1, 2, 3, 4}},
        {[] { SendNewTable(2); }, 69, 0, {2, 0}},
        {[] { SendSelectArena(9); }, 35, 0, {9}},
        {[] { SendSelectTable(3); }, 70, 0, {3}},
        {[] { SendRemovePlayerEffect(12); }, 187, 0, {12, 0, 0, 0}},
        {[&] { SendValidatePlayerList(table, members); }, 82, 0, validation},
    };
    for (const Row& r : rows) {
        ResetSendRing();
        r.send();
        std::vector<Sent> sent = SentFrames();
        ASSERT_EQ(sent.size(), 1u) << r.code;
        EXPECT_EQ(sent[0].code, r.code);
        EXPECT_EQ(sent[0].destination, r.destination) << r.code;
        EXPECT_EQ(sent[0].body, r.body) << r.code;
    }
    ResetSendRing();
    g_linkState = 1;
    for (const Row& r : rows)
        r.send();
    EXPECT_TRUE(SentFrames().empty()) << "nothing goes out unless connected";
}

// F_OPEN_GAME is one zero byte; its whole frame, lead bytes and checksum written out by hand.
TEST_F(NetMessagesTest, OpenGameGoesOutAsOneZeroByte) {
    NetClientId = 7;
    SendOpenGame();
    const Bytes golden = {0x1B, 0x1B, 0x00, 0x01, 0x00, 0x00, 0x00, 0x07, 0xFF, 0xFF, 0x00, 0x17, 0x00, 0x24, 0x41};
    ASSERT_EQ(RingUsed(SendRing), static_cast<int>(golden.size()));
    EXPECT_EQ(Bytes(SendRing.bytes + SendRing.read, SendRing.bytes + SendRing.write), golden);
}

TEST_F(NetMessagesTest, APingCarriesTheGameClockAtSending) {
    SendPing();
    const std::vector<Sent> sent = SentFrames();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].code, 11);
    EXPECT_EQ(sent[0].destination, 0);
    const uint32_t c = GameClock;
    EXPECT_EQ(sent[0].body, (Bytes{static_cast<uint8_t>(c >> 24), static_cast<uint8_t>(c >> 16),
                                   static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c)}));
}

// F_JOIN_GUILD names the sender's squad in the player table (the abbreviation cut to its four
// characters); F_LEAVE_GUILD empties it and, when the squad left is ours, says so.
TEST_F(NetMessagesTest, SquadsAreJoinedAndLeft) {
    const int i = AddPlayer(9, "Nell");
    Hold(g_currentCharacter.squad, "Red Hand");
    const auto guild = [](int from, const char* squad, const char* abbrev) {
        Bytes b(44);
        Put16(b, 0, from);
        std::memcpy(b.data() + 4, squad, std::min<size_t>(std::strlen(squad), 32));
        std::memcpy(b.data() + 36, abbrev, std::min<size_t>(std::strlen(abbrev), 8));
        return b;
    };
    Dispatch(183, guild(9, "Ash Order", "ASHORDER"));
    EXPECT_STREQ(PlayerTable[i].squad, "Ash Order");
    EXPECT_STREQ(PlayerTable[i].abbrev, "ASHO");
    Dispatch(182, guild(9, "Ash Order", "ASH"));
    EXPECT_EQ(PlayerTable[i].squad[0], 0);
    EXPECT_EQ(PlayerTable[i].abbrev[0], 0);
    EXPECT_FALSE(ConsoleHas("Nell leaves your squad."));

    Dispatch(183, guild(9, "Red Hand", "RH"));
    EXPECT_STREQ(PlayerTable[i].squad, "Red Hand");
    Dispatch(182, guild(9, "Red Hand", "RH"));
    EXPECT_TRUE(ConsoleHas("Nell leaves your squad."));

    // A squad name filling its field unterminated stays within the table's field.
    Dispatch(183, guild(9, std::string(40, 'x').c_str(), "RH"));
    EXPECT_EQ(std::strlen(PlayerTable[i].squad), sizeof PlayerTable[i].squad - 1);
    // A stranger's squad changes nobody's entry.
    Dispatch(183, guild(12, "Ash Order", "ASH"));
    EXPECT_EQ(PlayerTable[i].squad[0], 'x');
}

TEST_F(NetMessagesTest, AScoreIsRegisteredOnceAndNeverForOperators) {
    g_debugLevel = 2;
    Hold(g_login.account, "mira");
    Hold(g_currentCharacter.name, "Thorn");
    SetGameValue(114, 2);
    SetGameValue(0, 12);
    SetGameValue(1, 4500);
    SendScore(77);
    std::vector<Sent> sent = SentFrames();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].code, 160);
    EXPECT_EQ(sent[0].destination, 0xFFFE);
    Bytes golden(124);
    golden[3] = 3;
    golden[7] = 12;
    golden[10] = 0x11;
    golden[11] = 0x94;
    PutText(golden, 12, "mira 77");
    PutText(golden, 62, "Thorn");
    EXPECT_EQ(sent[0].body, golden);
    EXPECT_TRUE(ConsoleHas("Score Registered: text=Thorn prim=12 sec=4500"));
    SendScore(78);
    EXPECT_EQ(SentFrames().size(), 1u) << "the same experience is not registered twice";

    ResetSendRing();
    SetGameValue(1, 4600);
    SetGameValue(3, 3);
    SendScore(77);
    EXPECT_TRUE(SentFrames().empty());
    EXPECT_TRUE(ConsoleHas("Score Not Registered: state=0 sysop=3"));
}

TEST_F(NetMessagesTest, NameQueriesSendTheCompareForm) {
    Hold(g_login.account, "mira");
    const char* names[] = {"Red Hand", "red_hand", "RED HAND", "Red_ Hand"};
    for (const char* n : names) {
        ResetSendRing();
        std::memset(g_currentCharacter.name, 0, sizeof g_currentCharacter.name);
        Hold(g_currentCharacter.name, n);
        QueryName();
        std::vector<Sent> sent = SentFrames();
        ASSERT_EQ(sent.size(), 2u);
        EXPECT_EQ(sent[0].code, 99);
        EXPECT_EQ(sent[1].code, 106);
        EXPECT_STREQ(reinterpret_cast<const char*>(sent[0].body.data()), "redhand") << n;
        EXPECT_STREQ(reinterpret_cast<const char*>(sent[0].body.data() + 30), "mira");
        EXPECT_EQ(sent[0].destination, 0xFFFE);
    }
}

// ---- Waits against the service ----------------------------------------------------------------

TEST_F(NetWaitTest, LoginIsAnsweredInTheFirstPeriodOverEitherProtocol) {
    for (int type : {CONNECTION_STREAM, CONNECTION_DATAGRAM}) {
        ResetSocketLinks();
        ResetNetDispatch();
        ASSERT_TRUE(Open(type)) << type;
        SendConnect();
        const uint32_t start = GetTickCount();
        EXPECT_EQ(WaitForServiceReply(), 1) << type;
        EXPECT_LT(GetTickCount() - start, 3500u);
        EXPECT_FALSE(TimerRunning()) << "the answered wait stops timer 11";
        EXPECT_EQ(ServerVersion[0], '1');
    }
}

// In the all-datagram link the service's frames share the socket with the players' datagrams:
// the datagram read must move them to the stream ring before it takes datagrams for itself.
TEST_F(NetWaitTest, TheDatagramReadLeavesTheServicesFramesToTheStreamRead) {
    ASSERT_TRUE(Open(CONNECTION_DATAGRAM));
    SendConnect();
    ASSERT_EQ(WaitForServiceReply(), 1);
    g_screenState = 2;
    Bytes arena(52);
    arena[0] = 4;
    PutText(arena, 2, "Greyfort");
    service.Send(0, 25, arena);
    EXPECT_TRUE(PumpUntil([] {
        DatagramRead();
        BlockRead();
        return FindArenaIndex(4) > 0;
    }));
}

// A wait whose answer came stops timer 11 at once: left running, it would end the next thing
// that counts on it.
TEST_F(NetWaitTest, AnAnsweredWaitStopsItsTimer) {
    ASSERT_TRUE(Open(CONNECTION_STREAM));
    SendConnect();
    ASSERT_EQ(WaitForServiceReply(), 1);
    struct Row {
        const char* what;
        void (*ask)();
        int (*wait)();
    } rows[] = {
        {"entry", [] { SendPlayerEnter(nullptr, 255); }, [] { return WaitForEnterReply(nullptr); }},
        {"open game", SendOpenGame, WaitForGameOpened},
        {"world", SendRequestWorldLarge, WaitForWorld},
        {"datagram link", SendEstablishDatagram, WaitForDatagramLink},
    };
    for (const Row& r : rows) {
        r.ask();
        const uint32_t start = GetTickCount();
        EXPECT_EQ(r.wait(), 1) << r.what;
        EXPECT_LT(GetTickCount() - start, 1000u) << r.what << ": answered in the first period";
        EXPECT_FALSE(TimerRunning()) << r.what;
    }
}

// The open-game wait asks again after every silent second.
TEST_F(NetWaitTest, TheOpenGameWaitAsksAgainEverySecond) {
    ASSERT_TRUE(Open(CONNECTION_STREAM));
    service.OnCode(F_OPEN_GAME, [](GameService&, const GameService::Frame&) { return true; });
    std::vector<uint32_t> asked;
    const int watcher = platform::AddMessageSource([&] {
        if (service.FramesOf(F_OPEN_GAME).size() > asked.size())
            asked.push_back(GetTickCount());
        if (asked.size() == 4)
            GameOpened = 1;
    });
    AnswerEveryWaitAt(GetTickCount() + 10000);
    SendOpenGame();
    EXPECT_EQ(WaitForGameOpened(), 1);
    platform::RemoveMessageSource(watcher);
    ASSERT_EQ(asked.size(), 4u);
    for (size_t k = 1; k < asked.size(); ++k) {
        EXPECT_GE(asked[k] - asked[k - 1], 1000u) << k;
        EXPECT_LE(asked[k] - asked[k - 1], 1010u) << k;
    }
}

TEST_F(NetWaitTest, ARefusalEndsTheServiceWaitEarly) {
    ASSERT_TRUE(Open(CONNECTION_STREAM));
    Hold(g_login.password, "wrong");
    SendConnect();
    const uint32_t start = GetTickCount();
    EXPECT_EQ(WaitForServiceReply(), 0);
    EXPECT_LT(GetTickCount() - start, 3500u);
    EXPECT_EQ(ServiceRefusal, 1);
}

TEST_F(NetWaitTest, ASilentWorldIsAskedForTenTimesThenGivenUp) {
    ASSERT_TRUE(Open(CONNECTION_STREAM));
    service.SetSilent(true);
    SendRequestWorldLarge();
    const uint32_t start = GetTickCount();
    EXPECT_EQ(WaitForWorld(), 0);
    EXPECT_GE(GetTickCount() - start, 10000u);
    PumpUntil([&] { return service.Frames().size() == 11; });
    std::vector<int> expected(11, 8);
    expected[0] = 64;
    EXPECT_EQ(ServiceCodes(), expected);
}

TEST_F(NetWaitTest, TheDatagramWaitRepeatsForFivePeriods) {
    ASSERT_TRUE(Open(CONNECTION_STREAM));
    service.SetSilent(true);
    const uint32_t start = GetTickCount();
    EXPECT_EQ(WaitForDatagramLink(), 0);
    EXPECT_GE(GetTickCount() - start, 10000u);
    PumpUntil([&] { return service.FramesOf(188).size() == 5; });
    EXPECT_EQ(service.FramesOf(188).size(), 5u);
}

TEST_F(NetWaitTest, TheUnlimitedWaitsEndWhenTheStreamCloses) {
    ASSERT_TRUE(Open(CONNECTION_STREAM));
    service.SetSilent(true);
    SendOpenGame();
    ASSERT_TRUE(PumpUntil([&] { return service.ClientCount() == 1 && !service.FramesOf(23).empty(); }));
    service.CloseClient(0);
    AnswerEveryWaitAt(GetTickCount() + 60000);
    EXPECT_EQ(WaitForGameOpened(), 0);
    ResetSocketLinks();
    ASSERT_TRUE(Open(CONNECTION_STREAM));
    g_lostLink = 1;
    EXPECT_EQ(WaitForEnterReply(nullptr), 0);
}

TEST_F(NetWaitTest, ASilentServiceEndsTheLoginWaitAfterItsPeriod) {
    ASSERT_TRUE(Open(CONNECTION_STREAM));
    service.SetSilent(true);
    SendConnect();
    const uint32_t start = GetTickCount();
    EXPECT_EQ(WaitForServiceReply(), 0);
    EXPECT_GE(GetTickCount() - start, 3500u);
    EXPECT_LT(GetTickCount() - start, 3510u);
    EXPECT_EQ(ServiceRefusal, 0);
}

// The Tavern's entry after a login the service took, with the main window's own procedure: the
// link timer pings and tests for a lost link as in the game, and keys reach the key state.
class EntryWaitTest : public NetWaitTest {
protected:
    WNDPROC WindowProc() const override { return MainWndProc; }

    void SetUp() override {
        NetWaitTest::SetUp();
        ResetInputState();
        // Ten virtual ms a poll: a minute of waiting costs a few thousand polls.
        service.InstallAsMessageSource(10);
    }

    void TearDown() override {
        if (keySource)
            platform::RemoveMessageSource(keySource);
        g_connected = 0;
        NetWaitTest::TearDown();
    }

    void LogIn(GameService& at, int type) {
        at.AddAccount("mira", "secret");
        at.InstallAsMessageSource(10);
        SocketPort = at.DatagramPort();
        SocketStreamPort = at.StreamPort();
        ASSERT_TRUE(Open(type));
        SendConnect();
        ASSERT_EQ(WaitForServiceReply(), 1);
        g_connected = 1;
        SetTimer(platform::MainWindow(), kLinkTimer, kLinkTimerMs, nullptr);
        g_screenState = 2;
    }

    // Escape pressed and released once the tick count reaches ms. A wait still running a minute
    // later is ended as a lost link would end it, so the test fails instead of hanging.
    void PressEscapeAt(uint32_t ms) {
        keySource = platform::AddMessageSource([this, ms] {
            if (GetTickCount() > ms + 60000)
                g_lostLink = 1;
            if (escapePressed || GetTickCount() < ms)
                return;
            escapePressed = true;
            platform::InjectKey(1, true);
            platform::InjectKey(1, false);
        });
    }

    int keySource = 0;
    bool escapePressed = false;
};

TEST_F(EntryWaitTest, ASilentServiceEndsTheTavernsEntryByTheLostLinkTime) {
    for (int type : {CONNECTION_STREAM, CONNECTION_DATAGRAM}) {
        SCOPED_TRACE(type);
        GameService silent;
        ASSERT_TRUE(silent.Ok());
        service.RemoveMessageSource();
        ResetSocketLinks();
        ResetNetDispatch();
        g_lostLink = 0;
        LogIn(silent, type);
        silent.SetSilent(true);
        AnswerEveryWaitAt(GetTickCount() + kLostLinkMs + 60000);
        const uint32_t last = LinkStats.lastStreamTime / 10;
        EXPECT_EQ(EnterTavern(nullptr), 0);
        const uint32_t silence = GetTickCount() - last;
        EXPECT_GE(silence, kLostLinkMs);
        EXPECT_LT(silence, kLostLinkMs + kLinkTimerMs + 100) << "no later than the link timer's next look";
        EXPECT_EQ(g_lostLink, 1);
        EXPECT_GE(silent.FramesOf(184).size(), 10u) << "the entry was asked for again every 2 s";
        silent.RemoveMessageSource();
        LeaveTavern(nullptr);
    }
}

// A service that answers pings and nothing else keeps the link alive: the entry's waits have no
// limit, so Escape ends them and leaves the service as a refused login does.
TEST_F(EntryWaitTest, EscapeLeavesAnEntryThatOnlyPingsAnswer) {
    struct Case {
        const char* wait;
        int ignored;  // the code the service leaves unanswered
    };
    const Case cases[] = {{"enter reply", 184}, {"game opened", 23}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.wait);
        GameService pings;
        ASSERT_TRUE(pings.Ok());
        pings.OnCode(c.ignored, [](GameService&, const GameService::Frame&) { return true; });
        service.RemoveMessageSource();
        ResetSocketLinks();
        ResetNetDispatch();
        g_linkState = 2;
        LogIn(pings, CONNECTION_DATAGRAM);
        const uint32_t start = GetTickCount();
        escapePressed = false;
        PressEscapeAt(start + 60000);
        EXPECT_EQ(EnterTavern(nullptr), 0);
        EXPECT_GE(GetTickCount() - start, 60000u) << "only the player ends it";
        EXPECT_LT(GetTickCount() - start, 62000u + 1000u) << "at once, after the F_DISCONNECT's second";
        EXPECT_EQ(g_lostLink, 0);
        EXPECT_GE(pings.FramesOf(11).size(), 10u);
        EXPECT_EQ(g_linkState, 1);
        EXPECT_EQ(g_connected, 0);
        EXPECT_EQ(DatagramLink.socket, INVALID_SOCKET);
        EXPECT_EQ(platform::OpenSocketCount(), 0) << "the sockets are closed";
        EXPECT_FALSE(TimerRunning());
        EXPECT_EQ(pings.FramesOf(16).size(), 1u) << "the service is told we left";
        LeaveTavern(nullptr);
        platform::RemoveMessageSource(keySource);
        keySource = 0;
        pings.RemoveMessageSource();
    }
}

TEST_F(EntryWaitTest, AnEscapePressedBeforeTheEntryDoesNotEndIt) {
    service.RemoveMessageSource();
    GameService fresh;
    LogIn(fresh, CONNECTION_STREAM);
    platform::InjectKey(1, true);
    platform::InjectKey(1, false);
    Pump();
    EXPECT_EQ(EnterTavern(nullptr), 1);
    EXPECT_EQ(g_linkState, 2);
    LeaveTavern(nullptr);
    fresh.RemoveMessageSource();
}

TEST_F(NetWaitTest, TavernAndArenaEntrySendTheirCodesInOrder) {
    for (int type : {CONNECTION_STREAM, CONNECTION_DATAGRAM}) {
        GameService fresh;
        ASSERT_TRUE(fresh.Ok());
        service.RemoveMessageSource();
        fresh.AddAccount("mira", "secret");
        fresh.InstallAsMessageSource(1);
        SocketPort = fresh.DatagramPort();
        SocketStreamPort = fresh.StreamPort();
        ResetSocketLinks();
        ResetNetDispatch();
        ASSERT_TRUE(Open(type));
        SendConnect();
        ASSERT_EQ(WaitForServiceReply(), 1);
        g_screenState = 2;
        ASSERT_EQ(EnterTavern(nullptr), 1) << type;
        EXPECT_NE(GetGameValue(118), 0);
        g_screenState = 1;
        LocalPlayer player{};
        const int entered = EnterArenaGame(&player, 4);
        LeaveTavern(&player);
        PumpUntil([&] { return fresh.FramesOf(4).size() == 2; });
        std::vector<int> codes;
        for (const GameService::Frame& f : fresh.Frames())
            codes.push_back(f.code);
        const std::vector<int> expected = {15, 184, 51, 53, 71, 23, 4, 184, 51, 64, 188, 23, 4};
        EXPECT_EQ(codes, expected) << type;
        const std::vector<GameService::Frame> code51 = fresh.FramesOf(F_CODE_51);
        ASSERT_EQ(code51.size(), 2u) << type;
        EXPECT_EQ(code51[0].body, Bytes{0}) << "the Tavern's";
        EXPECT_EQ(code51[1].body, Bytes{4}) << "the arena's number";
        EXPECT_EQ(entered, 1) << type;
        fresh.RemoveMessageSource();
    }
    service.InstallAsMessageSource(1);
}

}  // namespace

namespace {

TEST_F(NetMessagesTest, TheMainWindowsTimersEndWaitsAndRepeatCharacterRequests) {
    MainWndProc(platform::MainWindow(), WM_TIMER, kWaitTimer, 0);
    EXPECT_EQ(WaitOverFlag, 1);
    Hold(g_login.account, "mira");
    SlotRequestState[2] = 1;
    MainWndProc(platform::MainWindow(), WM_TIMER, 13, 0);
    std::vector<Sent> sent = SentFrames();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].code, 84);
    EXPECT_EQ(sent[0].destination, 0xFFFE);
    EXPECT_STREQ(reinterpret_cast<const char*>(sent[0].body.data()), "mira");
    EXPECT_EQ(sent[0].body[20], 2);
    SlotRequestState[2] = 2;
    ResetSendRing();
    MainWndProc(platform::MainWindow(), WM_TIMER, 13, 0);
    EXPECT_TRUE(SentFrames().empty());
    MainWndProc(platform::MainWindow(), WM_TIMER, kKeepAliveTimer, 0);
    EXPECT_EQ(SentCodes(), std::vector<int>{17});
}

}  // namespace

// ---- Other players' figures ---------------------------------------------------------------------

#include "client/arena/world_object.h"
#include "client/core/game_clock.h"
#include "client/net/net_players.h"

namespace {

Bytes PlayerState(int motion, int height, int x, int y, int facing, int vertical, int body11) {
    Bytes b(12);
    Put16(b, 0, motion);
    Put16(b, 2, height);
    Put16(b, 4, x);
    Put16(b, 6, y);
    Put16(b, 8, facing);
    b[10] = static_cast<uint8_t>(vertical);
    b[11] = static_cast<uint8_t>(body11);
    return b;
}

class PlayerFigureTest : public NetMessagesTest {
protected:
    void SetUp() override {
        NetMessagesTest::SetUp();
        ClearWorldObjects();
        GameClock = 1000000;
    }
};

TEST_F(PlayerFigureTest, AStateFromAStrangerAsksForThePlayerAndCreatesNothing) {
    Dispatch(1, PlayerState(0, 0, 640, 640, 0, 0, 0), 9);
    EXPECT_LE(FindPlayerObjectSlot(9), 0);
    std::vector<Sent> sent = SentFrames();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].code, 38);
    EXPECT_EQ(sent[0].body, (Bytes{0, 0, 0, 9}));
}

TEST_F(PlayerFigureTest, AKnownPlayersFirstStateMakesAPlacedFigure) {
    AddPlayer(9, "Nell", 2);
    // Moving backwards at 5, crouched (class 1), z 20, health 9, effect 4, dead, effect 27, figure 1
    // with body 2 and head 1.
    Dispatch(1, PlayerState(0x0100 | 5 | 1 << 9, 0x9000 | 20, 0x6000 | 640, 0x4000 | 700, 0x0123, 0x80 | 3,
                            1 | 2 << 3 | 1 << 5), 9);
    const int slot = FindPlayerObjectSlot(9);
    ASSERT_GT(slot, 0);
    const WorldObject& o = WorldObjectTable[slot];
    EXPECT_EQ(o.type, OBJ_PLAYER);
    EXPECT_EQ(o.x, 640);
    EXPECT_EQ(o.y, 700);
    EXPECT_EQ(o.z, 20);
    EXPECT_EQ(o.pos_z, 20 * 65536);
    EXPECT_EQ(o.facing, 0x123);
    EXPECT_EQ(o.speed, -5);
    EXPECT_EQ(o.z_speed, -12);
    EXPECT_EQ(o.pose, 1);
    EXPECT_EQ(o.tall, 30);
    EXPECT_EQ(o.imagenum, 202);
    EXPECT_EQ(o.body_variant, 2);
    EXPECT_EQ(o.head_variant, 1);
    EXPECT_EQ(o.team, 2);
    EXPECT_EQ(o.smooth_time, 0) << "the first state places the figure at once";
    EXPECT_EQ(o.dead, 1);
    EXPECT_EQ(PlayerTable[FindPlayerIndex(9)].dead, 1);
    EXPECT_EQ(PlayerTable[FindPlayerIndex(9)].health_bits, 9 + 16 + 64);
    EXPECT_EQ(present.Count("SetFigureTint"), 1u);
    EXPECT_EQ(o.last_update, 100000u);

    // The next state moves it smoothly, and a body byte past the three figures gives the first.
    Dispatch(1, PlayerState(3 << 9, 0x0800 | 6, 704, 700, 0x1000 | 5, 0, 0), 9);
    EXPECT_EQ(o.z, -6);
    EXPECT_EQ(o.smooth_time, 300);
    EXPECT_EQ(o.smoothed, 1);
    EXPECT_EQ(o.pose, 2) << "bit 12 of the facing word";
    EXPECT_EQ(o.width, 0) << "class 3 shape";
    EXPECT_EQ(o.state_bits, 0) << "no direction flag, neither way";

    Dispatch(1, PlayerState(0x0800 | 0x2000, 0, 704, 700, 5, 0, 0), 9);
    EXPECT_EQ(o.state_bits, 1 + 32);
    Dispatch(1, PlayerState(0x1000, 0, 704, 700, 5, 0, 0), 9);
    EXPECT_EQ(o.state_bits, 16);
}

// Bit 15 of the x word asks for a place without smoothing (a jump); the flags beside it and in
// the y word move the figure smoothly.
TEST_F(PlayerFigureTest, OnlyTheRefreshBitPlacesAFigureAtOnce) {
    AddPlayer(9, "Nell");
    Dispatch(1, PlayerState(0, 0, 640, 640, 0, 0, 0), 9);
    const WorldObject& o = WorldObjectTable[FindPlayerObjectSlot(9)];
    const struct {
        int xFlags, yFlags, smoothing;
    } rows[] = {
        {0x8000, 0, 0}, {0x4000, 0, 300}, {0x2000, 0, 300}, {0x6000, 0xE000, 300}, {0, 0x8000, 300}, {0xE000, 0, 0},
    };
    int x = 640;
    for (const auto& r : rows) {
        x += 64;
        Dispatch(1, PlayerState(0, 0, r.xFlags | x, r.yFlags | 640, 0, 0, 0), 9);
        EXPECT_EQ(o.x, x);
        EXPECT_EQ(o.smooth_time, r.smoothing) << std::hex << r.xFlags << " " << r.yFlags;
    }
}

TEST_F(PlayerFigureTest, BodyValuesPastTheThreeFiguresGiveTheFirstPlain) {
    // Body byte: figure in bits 0-2, body variant 3-4, head variant 5-6.
    const int bodies[][4] = {
        {0, 201, 0, 0},
        {1 | 2 << 3 | 3 << 5, 202, 2, 3},
        {2 | 1 << 3, 203, 1, 0},
        {2 | 3 << 3 | 2 << 5, 203, 0, 2},  // body variant 3 is none of the three
        {3 | 2 << 3 | 1 << 5, 201, 0, 0},  // no figure of ours: the first, with plain looks
        {7 | 1 << 3 | 3 << 5, 201, 0, 0},
    };
    int id = 20;
    for (const auto& b : bodies) {
        AddPlayer(id, "P");
        Dispatch(1, PlayerState(0, 0, 64, 64, 0, 0, b[0]), id);
        const int slot = FindPlayerObjectSlot(id);
        ASSERT_GT(slot, 0);
        const WorldObject& o = WorldObjectTable[slot];
        EXPECT_EQ(o.imagenum, b[1]) << b[0];
        EXPECT_EQ(o.body_variant, b[2]) << b[0];
        EXPECT_EQ(o.head_variant, b[3]) << b[0];
        ++id;
    }
}

TEST_F(PlayerFigureTest, TheReceivedPoseTableAndTheShortState) {
    AddPlayer(9, "Nell");
    Dispatch(1, PlayerState(0, 0, 640, 640, 0, 0, 0), 9);
    const WorldObject& o = WorldObjectTable[FindPlayerObjectSlot(9)];
    const int rows[][5] = {{0, 0, 24, 70, 1}, {1, 1, 24, 30, 1}, {2, 3, 24, 70, 0}, {3, 6, 0, 70, 1}};
    for (const auto& r : rows) {
        Bytes s(8);
        Put16(s, 0, 0x0A55);
        s[3] = 0x1F;
        s[7] = static_cast<uint8_t>(r[0] | 64);
        Dispatch(18, s, 9);
        EXPECT_EQ(o.pose, r[1]) << r[0];
        EXPECT_EQ(o.width, r[2]);
        EXPECT_EQ(o.tall, r[3]);
        EXPECT_EQ(o.gravity, r[4]);
        EXPECT_EQ(o.facing, 0x0A55);
        EXPECT_EQ(o.biasing, 1);
        EXPECT_EQ(o.casting, 0);
        EXPECT_EQ(PlayerTable[FindPlayerIndex(9)].health_bits, 0x1F);
    }
}

// The short state carries all 16 bits of the sender's facing; only a full turn of it is taken.
TEST_F(PlayerFigureTest, AShortStatesFacingIsTakenWithinOneTurn) {
    AddPlayer(9, "Nell");
    Dispatch(1, PlayerState(0, 0, 640, 640, 0, 0, 0), 9);
    const WorldObject& o = WorldObjectTable[FindPlayerObjectSlot(9)];
    const int facings[][2] = {{0x0FFF, 0x0FFF}, {0x1000, 0}, {0xFA55, 0x0A55}, {0xFFFF, 0x0FFF}};
    for (const auto& f : facings) {
        Bytes s(8);
        Put16(s, 0, f[0]);
        Dispatch(18, s, 9);
        EXPECT_EQ(o.facing, f[1]) << f[0];
    }
}

TEST_F(PlayerFigureTest, VerticalSpeedBytes) {
    const int rows[][2] = {{0, 0}, {7, 1}, {511, 127}, {512, 127}, {-1, 128}, {-8, 130}, {-511, 255}, {-512, 255}};
    for (const auto& r : rows)
        EXPECT_EQ(VerticalSpeedByte(r[0]), r[1]) << r[0];
    const int poses[][2] = {{0, 0}, {1, 1}, {2, 0}, {3, 2}, {4, 2}, {21, 2}, {6, 3}, {7, 0}};
    for (const auto& p : poses)
        EXPECT_EQ(PoseClass(p[0]), p[1]) << p[0];
}

TEST_F(PlayerFigureTest, APlayerSilentForMoreThanThirtySecondsIsRemoved) {
    const uint32_t silences[] = {30000, 30001};
    for (uint32_t silence : silences) {
        ClearPlayerTable();
        ClearWorldObjects();
        g_screen.ClearNoticeLines();
        AddPlayer(9, "Nell");
        Dispatch(1, PlayerState(0, 0, 640, 640, 0, 0, 0), 9);
        ASSERT_GT(FindPlayerObjectSlot(9), 0);
        // Our own figure never goes stale: we do not send states to ourselves.
        LocalPlayer own{};
        own.own_object = AllocObjectSlot(OBJ_PLAYER);
        ActivateObject(own.own_object);
        WorldObjectTable[own.own_object].last_update = 0;
        g_localPlayer = &own;
        GameClock += silence * 10;
        CheckStalePlayer();
        g_localPlayer = nullptr;
        EXPECT_EQ(WorldObjectTable[own.own_object].active, 1) << silence;
        const bool removed = silence > 30000;
        EXPECT_EQ(IsKnownPlayer(9) == 0, removed) << silence;
        EXPECT_EQ(FindPlayerObjectSlot(9) <= 0, removed) << silence;
        EXPECT_EQ(NoticeHas("Nell was removed from the game"), removed) << silence;
    }
}

TEST_F(PlayerFigureTest, AnObjectStateMovesAKnownObjectAndAsksForAnUnknownOne) {
    const int slot = AllocObjectSlot(OBJ_MOVING);
    WorldObjectTable[slot].id = 300;
    ActivateObject(slot);
    Bytes s(12);
    Put16(s, 0, 0x3800 | 40);  // speed -40, low nibble of the vertical byte 3
    Put16(s, 2, 0x8000 | 4095 | 0x1000);  // high nibble 9: vertical byte 0x93
    Put16(s, 4, 0xE000 | 100);
    Put16(s, 6, 200);
    Put16(s, 8, 0x0800 | 16);
    Put16(s, 10, 300);
    Dispatch(9, s);
    const WorldObject& o = WorldObjectTable[slot];
    EXPECT_EQ(o.speed, -40);
    EXPECT_EQ(o.facing, 4095);
    EXPECT_EQ(o.x, 100);
    EXPECT_EQ(o.y, 200);
    EXPECT_EQ(o.z, -16);
    EXPECT_EQ(o.z_speed, -(0x13 * 4));
    EXPECT_EQ(o.smooth_time, 2);
    Put16(s, 10, 301);
    Dispatch(9, s);
    EXPECT_EQ(SentCodes(), std::vector<int>{22});
}

TEST_F(PlayerFigureTest, TheLocalPlayersDeathNoticeNamesAKnownKiller) {
    AddPlayer(10, "Oda");
    LocalPlayer player{};
    ShowKilledMessage(&player, 10);
    EXPECT_TRUE(NoticeHas("You were killed by Oda"));
    ShowKilledMessage(&player, 44);
    EXPECT_TRUE(NoticeHas("You were killed"));
    g_screen.ClearNoticeLines();
    player.dead = 1;
    ShowKilledMessage(&player, 10);
    EXPECT_FALSE(NoticeHas("You were killed by Oda"));
}

}  // namespace

namespace {

TEST_F(NetMessagesTest, AnAnnouncedEffectGoesToAllWithItsSpellAndDuration) {
    SendPlayerEffect(40, 5000, kDestinationAll);
    const std::vector<SentFrame> sent = SentFrames();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].code, F_PLAYER_EFFECT);
    EXPECT_EQ(sent[0].destination, kDestinationAll);
    EXPECT_EQ(sent[0].body, (std::vector<uint8_t>{0x00, 0x28, 0, 0, 0x00, 0x00, 0x13, 0x88}));
    ResetSendRing();
    g_linkState = 1;
    SendPlayerEffect(40, 5000, kDestinationAll);
    EXPECT_TRUE(SentFrames().empty()) << "offline nothing is sent";
}

}  // namespace

#include "client/arena/player_view.h"
#include "client/arena/player_status.h"

namespace {

TEST_F(NetMessagesTest, TheOwnFullStatePacksEveryFieldAtItsBits) {
    OwnState s{};
    s.speed = -300;  // only the low eight bits of the magnitude travel
    s.poseClass = 2;
    s.directionFlags = 1;
    s.backward = 1;
    s.biasing = 1;
    s.heightDifference = -40;
    s.health = 9;
    s.x = 8191;
    s.dead = 1;
    s.y = 64;
    s.effect27 = 1;
    s.effectGroup = 1;
    s.facing = 4095;
    s.localPose2 = 1;
    s.sequence = 5;
    s.verticalSpeed = -100;
    s.bodyByte = 0x2A;
    uint8_t out[12];
    PackPlayerState(s, out);
    const uint8_t golden[12] = {0xAD, 0x2C, 0x98, 0x28, 0x5F, 0xFF, 0xC0, 0x40, 0xBF, 0xFF, 153, 0x2A};
    EXPECT_EQ(Bytes(out, out + 12), Bytes(golden, golden + 12));

    // The other flags of each word, each off where it was on above.
    OwnState t{};
    t.speed = 7;
    t.forward = 1;
    t.casting = 1;
    t.heightDifference = 40;
    t.health = 15;
    t.x = 100;
    t.effect4 = 1;
    t.refresh = 1;
    t.y = 200;
    t.effect26 = 1;
    t.sequence = 7;
    t.verticalSpeed = 600;
    PackPlayerState(t, out);
    const uint8_t others[12] = {0x50, 0x07, 0xF0, 0x28, 0xA0, 0x64, 0x20, 0xC8, 0xE0, 0x00, 0x7F, 0x00};
    EXPECT_EQ(Bytes(out, out + 12), Bytes(others, others + 12));

    PackPlayerState(OwnState{}, out);
    EXPECT_EQ(Bytes(out, out + 12), Bytes(12, 0)) << "no flag sets a bit";
}

TEST_F(NetMessagesTest, TheOwnShortStateCarriesFacingHealthSequenceAndPoseByte) {
    PlayerView view{};
    view.facing = 0x1A55;
    g_playerView = &view;
    LocalPlayer player{};
    player.mode = 1;
    g_localPlayer = &player;
    SetGameValue(107, 1200);
    SetGameValue(108, 1000);
    g_actionState.biasing = 1;
    SendPlayerShortState(&player, 3);
    player.mode = 3;  // pose class 2: the biasing bit stands apart from the class bits
    SendPlayerShortState(&player, 4);
    g_actionState.biasing = 0;
    g_actionState.cast_pose_timer = 5;
    SendPlayerShortState(&player, 5);
    g_actionState.cast_pose_timer = 0;
    g_localPlayer = nullptr;
    g_playerView = nullptr;
    const std::vector<Sent> sent = SentFrames();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].code, 18);
    EXPECT_EQ(sent[0].destination, 0xFFFF);
    EXPECT_EQ(sent[0].body, (Bytes{0x1A, 0x55, 0, 15, 3, 0, 0, 1 | 64}));
    EXPECT_EQ(sent[1].body, (Bytes{0x1A, 0x55, 0, 15, 4, 0, 0, 2 | 64}));
    EXPECT_EQ(sent[2].body, (Bytes{0x1A, 0x55, 0, 15, 5, 0, 0, 2 | 128}));
}

// F_INIT_PLAYER: byte 11 is the figure's low byte and byte 12 says whether we are dead; a flag
// dropped while alive readies group 0 again, one dropped in death leaves the selection alone.
TEST_F(NetMessagesTest, InitPlayerAndDroppedFlagFollowWhetherWeAreDead) {
    PlayerView view{};
    view.x = 0x0123;
    view.y = 0x0456;
    view.z = 900;
    view.facing = 0x0ABC;
    g_playerView = &view;
    LocalPlayer player{};
    player.mode = 7;
    player.eye_height = 68;
    player.figure_imagenum = 202;
    g_localPlayer = &player;
    SetGameValue(107, 4500);
    SetGameValue(108, 9000);
    SetGameValue(4, 2);
    SetGameValue(6, 7);
    for (int k = 0; k < 8; ++k) {
        SetGameValue(134 + k, 1 + k);
        SetGameValue(144 + k, 0x11 + k);
    }
    for (int k = 0; k < 10; ++k)
        SetGameValue(25 + k, 100 + k);  // readied slots 0..9
    for (const int dead : {0, 1}) {
        SCOPED_TRACE(dead);
        player.dead = dead;
        ResetSendRing();
        SendInitPlayer(&player);
        const std::vector<Sent> sent = SentFrames();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].code, 124);
        EXPECT_EQ(sent[0].destination, 0xFFFF);
        const Bytes golden = {0x01, 0x23, 0x04, 0x56, 0x03, 0x40, 0x0A, 0xBC, 45, 90, 2, 0xCA,
                              static_cast<uint8_t>(dead), 7, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8,
                              0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18};
        EXPECT_EQ(sent[0].body, golden);

        SetGameValue(115, 107);
        SetGameValue(117, 7);
        player.carried_flag = 2;
        SendDropFlag(&player);
        EXPECT_EQ(player.carried_flag, 0);
        EXPECT_TRUE(NoticeHas("You dropped the flag"));
        EXPECT_EQ(GetGameValue(117), dead ? 7 : 0);
        EXPECT_EQ(GetGameValue(115), dead ? 107 : 100);
    }
    g_localPlayer = nullptr;
    g_playerView = nullptr;
}

TEST_F(NetMessagesTest, StandingStillSendsAFullStateEveryEighthCallAndTurningShortOnes) {
    ResetOwnStateSent();
    PlayerView view{};
    view.x = 640;
    view.y = 640;
    view.z = 100;
    g_playerView = &view;
    LocalPlayer player{};
    player.eye_height = 60;
    for (int call = 0; call < 9; ++call)
        SendPlayerStateIfChanged(&player);
    EXPECT_EQ(SentCodes(), (std::vector<int>{1, 1}));
    ResetSendRing();
    for (int call = 0; call < 8; ++call) {
        view.facing += 64;
        SendPlayerStateIfChanged(&player);
    }
    EXPECT_EQ(SentCodes(), (std::vector<int>{18, 18, 18, 18, 18, 18, 18, 1}));
    ResetSendRing();
    view.x += 1;
    SendPlayerStateIfChanged(&player);
    EXPECT_EQ(SentCodes(), std::vector<int>{1});
    g_playerView = nullptr;
}

}  // namespace

namespace {

TEST_F(NetMessagesTest, VitalsCarryTheCountersLowBytesAndTheRoundTrip) {
    LocalPlayer player{};
    player.deaths = 0x103;
    player.kills = 4;
    player.raises = 5;
    g_localPlayer = &player;
    SetGameValue(105, 0x1234);
    SetGameValue(107, 4599);
    Ping.pingTime = 99999;  // past 255 hundreds: clamped
    SendPlayerVitals();
    g_localPlayer = nullptr;
    std::vector<Sent> sent = SentFrames();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].code, 24);
    EXPECT_EQ(sent[0].destination, 0xFFFF);
    EXPECT_EQ(sent[0].body, (Bytes{0x12, 0x34, 3, 4, 5, 45, 255, 0}));
}

TEST_F(NetMessagesTest, AGuruKillCountsOnlyWhenAimedAtUs) {
    g_debugLevel = 2;
    Dispatch(165, {0, 8, 0, 0}, 10);
    EXPECT_TRUE(ConsoleHas("F_KILL_PLAYER to wrong target! target=8"));
    Dispatch(21, {0, 1, 0, 2});
    EXPECT_TRUE(NoticeHas("You hit an NPC"));
}

}  // namespace

namespace {

TEST_F(NetMessagesTest, ANewcomerAfterTheWorldLearnsOurActiveEffects) {
    LocalPlayer player{};
    player.effects[4].active = 1;
    player.effects[4].spell_number = 0x0105;
    player.effects[4].time_left = 70000;
    player.effects[9].active = 0;
    player.effects[9].spell_number = 7;
    g_localPlayer = &player;
    g_screenState = 2;
    Bytes joined(24);
    Put16(joined, 0, 12);
    PutText(joined, 4, "Ivo");
    Dispatch(3, joined);
    EXPECT_TRUE(SentFrames().empty()) << "before the world nobody is told";
    WorldSent = 1;
    Dispatch(3, joined);
    g_localPlayer = nullptr;
    std::vector<Sent> sent = SentFrames();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].code, 39);
    EXPECT_EQ(sent[0].destination, 12);
    EXPECT_EQ(sent[0].body, (Bytes{1, 5, 0, 0, 0, 1, 0x11, 0x70}));
    EXPECT_TRUE(NoticeHas("Ivo just entered"));
}

}  // namespace

namespace {

TEST_F(PlayerFigureTest, APlayerEffectReachesOnlyASpellOfTheTable) {
    g_debugLevel = 2;
    AddPlayer(9, "Nell");
    Dispatch(1, PlayerState(0, 0, 640, 640, 0, 0, 0), 9);
    const int slot = FindPlayerObjectSlot(9);
    ASSERT_GT(slot, 0);
    for (int spell : {0, 400, 0xFFFF}) {
        Bytes e(8);
        Put16(e, 0, spell);
        Dispatch(39, e, 9);
    }
    EXPECT_FALSE(ConsoleHas("Spell #400 initialized for Player #9 (obj=" + std::to_string(slot) + ")"));
    Bytes e(8);
    Put16(e, 0, 12);
    Dispatch(39, e, 9);
    EXPECT_TRUE(ConsoleHas("Spell #12 initialized for Player #9 (obj=" + std::to_string(slot) + ")"));
}

}  // namespace

namespace {

TEST_F(NetMessagesTest, StatusUpdatesAndDroppedFlags) {
    g_screenState = 2;
    g_screen.pageRedraw = 0;
    Dispatch(174, {0xFF, 0x9C, 0x00, 0x05, 0x01, 0x00});  // temp -100, bonus 5, temp2 256
    EXPECT_EQ(GetGameValue(106), -100);
    EXPECT_EQ(GetGameValue(133), 5);
    EXPECT_EQ(GetGameValue(132), 256);
    EXPECT_EQ(g_screen.pageRedraw, 1);

    g_screenState = 1;
    const int i = AddPlayer(9, "Nell");
    PlayerTable[i].has_flag = 1;
    Dispatch(32, {0, 9, 0, 1});
    EXPECT_TRUE(NoticeHas("Nell dropped the flag"));
    EXPECT_EQ(PlayerTable[i].has_flag, 0);
}

}  // namespace
