#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <vector>

#include "client/net/net_catalogue.h"

namespace {

TEST(NetCatalogue, HoldsEachOfTheCodesOnce) {
    std::set<int> codes;
    for (const MessageInfo& m : MessageCatalogue) {
        EXPECT_TRUE(codes.insert(m.code).second) << int(m.code);
        EXPECT_EQ(FindMessage(m.code), &m);
    }
    EXPECT_EQ(codes.size(), 122u);
    for (int code : {0, 13, 14, 27, 91, 121, 126, 127, 134, 185, 189, 255})
        EXPECT_EQ(FindMessage(code), nullptr) << code;
}

// Every row of the message table, written from it: the body the client sends (its size, whether
// a text follows, the destination), the screens that take a received one, and the shortest body
// a handler may read, from the body layouts.
TEST(NetCatalogue, EveryRowHoldsItsSizeTextDestinationScreensAndShortestBody) {
    constexpr int ALL = 0xFFFF, SVC = 0xFFFE, ONE = kDestinationOnePlayer, NONE = kDestinationNone, NS = kNotSent;
    constexpr Accepted NEVER = ACCEPT_NEVER, ARENA = ACCEPT_ARENA, LOBBY = ACCEPT_LOBBY, ANY = ACCEPT_ANY;
    struct Row {
        int code;
        const char* name;
        int sent;
        bool text;
        int destination;
        Accepted accepted;
        int minReceived;
    };
    const Row rows[] = {
        {1, "F_PLAYER_STATE", 12, false, ALL, ARENA, 12},
        {2, "F_CREATE_OBJECT", 20, false, 0, ARENA, 20},
        {3, "F_PLAYER_JOINED", NS, false, NONE, LOBBY, 24},
        {4, "F_PLAYER_EXIT", 4, false, 0, LOBBY, 4},
        {5, "F_PLAYER_STATUS", NS, false, NONE, ARENA, 4},
        {6, "F_PLAYER_DEATH", 8, false, ALL, ARENA, 5},
        {7, "F_CHAT_TEXT", 8, true, 0, LOBBY, 8},
        {8, "F_REQUEST_WORLD", 4, false, ALL, NEVER, 0},
        {9, "F_OBJECT_STATE", NS, false, NONE, ARENA, 12},
        {10, "F_OBJECT_DEATH", NS, false, NONE, ARENA, 4},
        {11, "SEND_PING", 4, false, 0, NEVER, 0},
        {12, "F_CREATE_THIN", NS, false, NONE, ARENA, 40},
        {15, "F_CONNECT", 95, false, 0, NEVER, 0},
        {16, "F_DISCONNECT", 1, false, 0, NEVER, 0},
        {17, "F_KEEP_ALIVE", 1, false, 0, NEVER, 0},
        {18, "F_PLAYER_SHORT_STATE", 8, false, ALL, ARENA, 8},
        {19, "F_DAMAGE", NS, false, NONE, ARENA, 5},
        {20, "F_HIT_SELF", NS, false, NONE, ARENA, 2},
        {21, "F_HIT_NPC", NS, false, NONE, ARENA, 4},
        {22, "F_REQUEST_OBJECT", 4, false, ALL, NEVER, 0},
        {23, "F_OPEN_GAME", 1, false, ALL, NEVER, 0},
        {24, "F_PLAYER_VITALS", 8, false, ALL, LOBBY, 8},
        {25, "F_WORLD_ENTER", NS, false, NONE, LOBBY, 52},
        {26, "F_WORLD_STATE", NS, false, NONE, LOBBY, 80},
        {30, "RCV_GET_FLAG_RESPONSE", NS, false, NONE, ARENA, 4},
        {31, "SEND_DROP_FLAG", 16, false, 0, NEVER, 0},
        {32, "RCV_DROP_FLAG_RESPONSE", NS, false, NONE, ARENA, 4},
        {33, "F_PLAYER_CLEAR_SPLAT", NS, false, NONE, ARENA, 4},
        {34, "F_NEW_ARENA", 4, false, 0, NEVER, 0},
        {35, "F_SELECT_ARENA", 1, false, 0, NEVER, 0},
        {36, "F_REMOVE_ARENA", NS, false, NONE, LOBBY, 1},
        {37, "F_CREATE_EFFECT", 32, false, 0, ARENA, 32},
        {38, "F_REQUEST_PLAYER", 4, false, 0, NEVER, 0},
        {39, "F_PLAYER_EFFECT", 8, false, ONE, ARENA, 8},
        {40, "F_BIAS_EARTHBLOOD", 4, false, 0, NEVER, 0},
        {41, "EARTHBLOOD_STATE", NS, false, NONE, ARENA, 8},
        {42, "F_BIAS_SHRINE", 4, false, 0, NEVER, 0},
        {43, "SHRINE_STATE", NS, false, NONE, ARENA, 8},
        {44, "F_DISPELL", 16, false, ALL, ARENA, 16},
        {45, "F_TARGETTED", 16, false, ALL, ARENA, 16},
        {46, "F_THIN_DEATH", NS, false, NONE, ARENA, 8},
        {47, "F_THIN_DAMAGE", 8, false, 0, ARENA, 8},
        {48, "F_TELEPORT", 8, false, 0, ARENA, 8},
        {49, "F_OPEN_DOOR", 8, false, ALL, ARENA, 8},
        {50, "F_REQUEST_ARENA", 4, false, ALL, NEVER, 0},
        {51, "F_CODE_51", 1, false, 0, NEVER, 0},
        {52, "F_PLAYER_ENTER_LARGE", NS, false, NONE, LOBBY, 240},
        {53, "F_CODE_53", 1, false, 0, NEVER, 0},
        {54, "F_WORLD_ENTER_LARGE", NS, false, NONE, LOBBY, 208},
        {55, "F_EARTHBLOOD_SHRINE_STATE", NS, false, NONE, ARENA, 184},
        {64, "F_REQUEST_WORLD_LARGE", 4, false, ALL, NEVER, 0},
        {65, "F_EXPERIENCE", 4, false, ALL, ARENA, 4},
        {66, "F_TABLE_ENTER", NS, false, NONE, LOBBY, 98},
        {67, "F_REMOVE_TABLE", NS, false, NONE, LOBBY, 1},
        {68, "F_TABLE_ENTER_LARGE", NS, false, NONE, LOBBY, 294},
        {69, "F_NEW_TABLE", 2, false, 0, NEVER, 0},
        {70, "F_SELECT_TABLE", 1, false, 0, NEVER, 0},
        {71, "F_CODE_71", 1, false, 0, NEVER, 0},
        {73, "F_REMOVE_PLAYER", 2, true, 0, NEVER, 0},
        {74, "F_BOOT_PLAYER", 2, true, 0, NEVER, 0},
        {80, "F_BAN_PLAYER", 2, true, 0, NEVER, 0},
        {81, "F_MAKE_SYSOP", 4, false, ONE, LOBBY, 4},
        {82, "F_VALIDATE_PLAYER_LIST", 68, false, 0, LOBBY, 68},
        {83, "F_SWITCH_TABLE", 4, false, 0, LOBBY, 4},
        {84, "F_REQUEST_CHARACTER", 24, false, SVC, NEVER, 0},
        {85, "F_REQUEST_CHAR_RESPONSE", NS, false, NONE, ANY, 274},
        {86, "F_REQUEST_CHAR_ERROR", NS, false, NONE, ANY, 24},
        {87, "F_SEND_CHARACTER", 274, false, SVC, NEVER, 0},
        {88, "F_SEND_CHAR_RESPONSE", NS, false, NONE, ANY, 21},
        {89, "F_SEND_CHAR_ERROR", NS, false, NONE, ANY, 24},
        {90, "F_FIRETEAM_ENTER", NS, false, NONE, LOBBY, 172},
        {92, "F_FIRETEAM_ENTER_LARGE", NS, false, NONE, LOBBY, 516},
        {96, "F_SHOW_ACCOUNT", 2, true, 0, NEVER, 0},
        {97, "F_PLAY_SOUND", NS, false, NONE, ARENA, 8},
        {98, "F_SEND_ACCOUNT", NS, false, NONE, LOBBY, 40},
        {99, "F_QUERY_NAME", 54, false, SVC, NEVER, 0},
        {100, "F_QUERY_NAME_RESPONSE", NS, false, NONE, ANY, 51},
        {101, "F_ADD_NAME", 54, false, SVC, NEVER, 0},
        {104, "F_DELETE_NAME", 54, false, SVC, NEVER, 0},
        {106, "F_CHECK_NAME", 54, false, SVC, NEVER, 0},
        {107, "F_CHECK_NAME_RESPONSE", NS, false, NONE, ANY, 51},
        {110, "F_FIRETEAM_STATUS", NS, false, NONE, LOBBY, 96},
        {112, "F_FIRETEAM_MEMBER_INFO", NS, false, NONE, LOBBY, 16},
        {114, "F_FIRETEAM_MEMBER_VALUE", NS, false, NONE, LOBBY, 3},
        {115, "F_CLAIM_ARENA", NS, false, NONE, LOBBY, 4},
        {116, "F_CODE_116", NS, false, NONE, ARENA, 2},
        {117, "F_CODE_117", NS, false, NONE, ARENA, 4},
        {120, "F_CODE_120", NS, false, NONE, ANY, 280},
        {124, "F_INIT_PLAYER", 32, false, ALL, NEVER, 0},
        {125, "F_REQUEST_INIT_PLAYER", NS, false, NONE, ARENA, 0},
        {128, "S_CONNECTION", NS, false, NONE, ANY, 2},
        {129, "RCV_PONG", NS, false, NONE, ANY, 16},
        {130, "S_SERVER_VERSION", NS, false, NONE, ANY, 5},
        {131, "S_WORLD_SENT", NS, false, NONE, ANY, 0},
        {132, "S_NOT_CONNECTED", NS, false, NONE, ANY, 5},
        {133, "S_GAME_OPENED", NS, false, NONE, ANY, 0},
        {135, "S_DATAGRAM_ESTABLISHED", NS, false, NONE, ANY, 24},
        {160, "F_SCORE", 124, false, SVC, NEVER, 0},
        {161, "F_REQUEST_HIGHSCORES", 8, false, SVC, NEVER, 0},
        {162, "F_HIGHSCORE_LIST", NS, false, NONE, ANY, 8},
        {163, "F_RENAME_PLAYER", 34, false, 0, LOBBY, 4},
        {164, "F_YANK_PLAYER", 4, false, ONE, ARENA, 2},
        {165, "F_KILL_PLAYER", NS, false, NONE, ARENA, 2},
        {167, "F_YANK", NS, false, NONE, ARENA, 8},
        {168, "F_YANK_RESPONSE", 8, false, ALL, NEVER, 0},
        {169, "F_UNBAN_PLAYER", 1, true, 0, LOBBY, 1},
        {172, "F_JUMP_PLAYER", 4, false, ONE, ARENA, 2},
        {173, "F_GODMODE", 4, false, ONE, ARENA, 2},
        {174, "F_UPDATE_STATUS", NS, false, NONE, ANY, 6},
        {175, "F_CODE_175", 1, false, ALL, NEVER, 0},
        {176, "F_CREATE_PROJECTILE", 16, false, ALL, ARENA, 16},
        {177, "F_REQUEST_RAISE", 4, false, ALL, NEVER, 0},
        {178, "F_CREATE_RUNE", 20, false, ALL, ARENA, 20},
        {179, "F_CAST_PLAYER_EFFECT", NS, false, NONE, ARENA, 2},
        {180, "F_CAST_WALL", 16, false, ALL, ARENA, 16},
        {181, "F_INVITE_GUILD", 44, false, ONE, ARENA, 44},
        {182, "F_LEAVE_GUILD", 44, false, 0, ARENA, 44},
        {183, "F_JOIN_GUILD", 44, false, 0, ARENA, 44},
        {184, "F_PLAYER_ENTER", 76, false, 0, NEVER, 0},
        {186, "F_GUILD_INFO", NS, false, NONE, ARENA, 1},
        {187, "F_REMOVE_PLAYER_EFFECT", 4, false, 0, ARENA, 4},
        {188, "F_ESTABLISH_DATAGRAM", 24, false, ALL, NEVER, 0},
    };
    ASSERT_EQ(std::size(rows), static_cast<size_t>(kMessageCount));
    for (const Row& r : rows) {
        SCOPED_TRACE(r.code);
        const MessageInfo* m = FindMessage(r.code);
        ASSERT_NE(m, nullptr);
        EXPECT_STREQ(m->name, r.name);
        EXPECT_EQ(m->sentSize, r.sent);
        EXPECT_EQ(m->sentVariable, r.text);
        EXPECT_EQ(m->destination, r.destination);
        EXPECT_EQ(m->accepted, r.accepted);
        EXPECT_EQ(m->minReceived, r.minReceived);
    }
    int taken = 0;
    for (const MessageInfo& m : MessageCatalogue) {
        taken += m.accepted != ACCEPT_NEVER;
        EXPECT_EQ(m.accepted == ACCEPT_NEVER, m.minReceived == 0 && m.sentSize != kNotSent)
            << int(m.code) << ": every code travels some way";
    }
    EXPECT_EQ(taken, 84) << "one for each case of the dispatcher";
}

}  // namespace
