#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <vector>

#include "client/net/net_catalogue.h"

namespace {

struct Field {
    int offset, width;
};
Field W(int o) { return {o, 2}; }
Field D(int o) { return {o, 4}; }
std::vector<Field> Ws(int from, int to) {
    std::vector<Field> v;
    for (int o = from; o <= to; o += 2)
        v.push_back(W(o));
    return v;
}
std::vector<Field> Ds(int from, int to) {
    std::vector<Field> v;
    for (int o = from; o <= to; o += 4)
        v.push_back(D(o));
    return v;
}
std::vector<Field> Join(std::vector<std::vector<Field>> parts) {
    std::vector<Field> v;
    for (auto& p : parts)
        v.insert(v.end(), p.begin(), p.end());
    return v;
}

struct ConvRow {
    int code;
    int size;
    std::vector<Field> fields;  // turned by the conversion step, written from the layouts
};

std::vector<Field> PlayerEnterLarge() {
    std::vector<Field> v;
    for (int r = 0; r < 10; ++r)
        v.push_back(W(24 * r + 12));
    return v;
}
std::vector<Field> FireteamLarge() {
    std::vector<Field> v;
    for (int r = 0; r < 3; ++r)
        for (int o : {44, 48, 50, 52, 54})
            v.push_back(W(172 * r + o));
    return v;
}
std::vector<Field> Character() { return Join({{D(100)}, Ws(104, 182)}); }

// Every code of the catalogue with the fields its step turns; an empty list turns nothing.
const std::vector<ConvRow>& ConversionRows() {
    static const std::vector<ConvRow> rows = {
        {1, 12, Ws(0, 8)}, {2, 20, Ws(0, 14)}, {3, 24, {W(0)}}, {4, 4, {W(0)}}, {5, 4, {W(0), W(2)}},
        {6, 8, {W(0), W(2)}}, {7, 20, {W(0), W(2)}}, {8, 4, {D(0)}}, {9, 12, Ws(0, 10)}, {10, 4, {W(0), W(2)}},
        {11, 4, {D(0)}}, {12, 40, Ws(0, 28)}, {15, 95, {}}, {16, 1, {}}, {17, 1, {}}, {18, 8, {W(0)}},
        {19, 5, {W(0)}}, {20, 2, {W(0)}}, {21, 4, {W(0), W(2)}}, {22, 4, {D(0)}}, {23, 1, {}}, {24, 8, {W(0)}},
        {25, 52, {}}, {26, 80, Join({Ds(24, 52), {W(56), W(58)}, Ds(60, 76)})}, {30, 4, {W(0), W(2)}},
        {31, 16, {D(0), D(4), D(8), W(12), W(14)}}, {32, 4, {W(0), W(2)}}, {33, 4, {W(0), W(2)}}, {34, 4, {}},
        {35, 1, {}}, {36, 1, {}}, {37, 32, Join({Ws(4, 22), {W(28), W(30)}})}, {38, 4, {D(0)}},
        {39, 8, {W(0), D(4)}}, {40, 4, {}}, {41, 8, {W(6)}}, {42, 4, {}}, {43, 8, {W(6)}}, {44, 16, Ws(0, 12)},
        {45, 16, Ws(0, 10)}, {46, 8, {D(0)}}, {47, 8, {D(0), W(4)}}, {48, 8, {W(0), W(2)}}, {49, 8, {D(0)}},
        {50, 4, {D(0)}}, {51, 1, {}}, {52, 240, PlayerEnterLarge()}, {53, 1, {}}, {54, 208, {}}, {55, 184, {}},
        {64, 4, {D(0)}}, {65, 4, {W(0), W(2)}}, {66, 98, {}}, {67, 1, {}}, {68, 294, {}}, {69, 2, {}},
        {70, 1, {}}, {71, 1, {}}, {73, 10, {}}, {74, 10, {}}, {80, 10, {}}, {81, 4, {W(0)}}, {82, 68, {}},
        {83, 4, {W(0), W(2)}}, {84, 24, {}}, {85, 274, Character()}, {86, 30, {}}, {87, 274, Character()},
        {88, 21, {}}, {89, 30, {}}, {90, 172, {W(44)}}, {92, 516, FireteamLarge()}, {96, 10, {}},
        {97, 8, Ws(0, 6)}, {98, 48, {W(0), D(32), D(36)}}, {99, 54, {}}, {100, 51, {}}, {101, 54, {}},
        {104, 54, {}}, {106, 54, {}}, {107, 51, {}}, {110, 96, {W(4), W(6), W(8), W(10)}}, {112, 16, {W(0)}},
        {114, 3, {}}, {115, 12, {}}, {116, 2, {W(0)}}, {117, 4, {W(0), W(2)}}, {120, 280, Ws(264, 278)},
        {124, 32, Ws(0, 6)}, {125, 0, {}}, {128, 2, {}}, {129, 16, Ds(0, 12)}, {130, 12, {}}, {131, 0, {}},
        {132, 5, {}}, {133, 0, {}}, {135, 24, {D(20)}}, {160, 124, {D(0), D(4), D(8)}}, {161, 8, {D(0), D(4)}},
        {163, 34, {W(0)}}, {164, 4, {W(0)}}, {165, 2, {W(0)}}, {167, 8, Ws(0, 6)}, {168, 8, Ws(0, 6)},
        {169, 8, {}}, {172, 4, {W(0)}}, {173, 4, {W(0)}}, {174, 6, Ws(0, 4)}, {175, 1, {}}, {176, 16, Ws(0, 8)},
        {177, 4, {W(0)}}, {178, 20, Ws(0, 12)}, {179, 2, {W(0)}}, {180, 16, Ws(0, 14)}, {181, 44, {W(0), W(2)}},
        {182, 44, {W(0), W(2)}}, {183, 44, {W(0), W(2)}}, {184, 76, {W(0)}}, {186, 9, {}}, {187, 4, {}},
        {188, 24, {D(20)}},
    };
    return rows;
}

TEST(NetCatalogue, HoldsEachOfTheCodesOnce) {
    std::set<int> codes;
    for (const MessageInfo& m : MessageCatalogue) {
        EXPECT_TRUE(codes.insert(m.code).second) << int(m.code);
        EXPECT_EQ(FindMessage(m.code), &m);
    }
    EXPECT_EQ(codes.size(), 122u);
    EXPECT_EQ(ConversionRows().size() + 1, codes.size()) << "the high-score list has its own test";
    for (int code : {0, 13, 14, 27, 91, 121, 126, 127, 134, 185, 189, 255})
        EXPECT_EQ(FindMessage(code), nullptr) << code;
    uint8_t b[4] = {1, 2, 3, 4};
    EXPECT_FALSE(ConvertBody(13, b, 4, true));
}

TEST(NetCatalogue, EachCodeTurnsExactlyItsLayoutsFields) {
    for (const ConvRow& row : ConversionRows()) {
        SCOPED_TRACE(row.code);
        std::vector<uint8_t> body(static_cast<size_t>(row.size));
        for (size_t i = 0; i < body.size(); ++i)
            body[i] = static_cast<uint8_t>(i * 7 + 1);
        std::vector<uint8_t> want = body;
        for (const Field& f : row.fields)
            std::reverse(want.begin() + f.offset, want.begin() + f.offset + f.width);
        std::vector<uint8_t> got = body;
        ASSERT_TRUE(ConvertBody(row.code, got.data(), got.size(), true));
        EXPECT_EQ(got, want);
        ASSERT_TRUE(ConvertBody(row.code, got.data(), got.size(), false));
        EXPECT_EQ(got, body) << "the step is its own inverse";
    }
}

TEST(NetCatalogue, AShortBodyHasOnlyTheFieldsItHoldsTurned) {
    uint8_t b[5] = {0x11, 0x22, 0x33, 0x44, 0x55};  // F_PLAYER_STATE cut after two fields and a half
    ASSERT_TRUE(ConvertBody(1, b, sizeof b, true));
    const uint8_t want[5] = {0x22, 0x11, 0x44, 0x33, 0x55};
    EXPECT_EQ(std::vector<uint8_t>(b, b + 5), std::vector<uint8_t>(want, want + 5));
}

TEST(NetCatalogue, HighscoreRecordsAreTurnedAsFarAsTheCountAndTheBodyGo) {
    // list 2, count 3 in network order; room for two whole records and part of a third.
    std::vector<uint8_t> body(8 + 68 * 2 + 62, 0);
    const uint8_t head[8] = {0, 0, 0, 2, 0, 0, 0, 3};
    std::copy(head, head + 8, body.begin());
    for (int r = 0; r < 3; ++r) {
        size_t at = 8 + 68 * static_cast<size_t>(r);
        if (at + 61 <= body.size())
            body[at + 60] = 0xA0;
        if (at + 64 <= body.size())
            body[at + 63] = static_cast<uint8_t>(r + 1);
    }
    std::vector<uint8_t> host = body;
    ASSERT_TRUE(ConvertBody(162, host.data(), host.size(), true));
    EXPECT_EQ(host[0], 2);
    EXPECT_EQ(host[4], 3);
    EXPECT_EQ(host[8 + 60], 1);
    EXPECT_EQ(host[8 + 63], 0xA0);
    EXPECT_EQ(host[76 + 60], 2);
    EXPECT_EQ(host[144 + 60], 0xA0) << "the third record's fields run past the body: untouched";
    ASSERT_TRUE(ConvertBody(162, host.data(), host.size(), false));
    EXPECT_EQ(host, body);

    // A count far above ten turns ten records at most.
    std::vector<uint8_t> big(8 + 68 * 12, 0);
    big[4] = 0x7F;
    big[8 + 68 * 10 + 63] = 9;
    ASSERT_TRUE(ConvertBody(162, big.data(), big.size(), true));
    EXPECT_EQ(big[8 + 68 * 10 + 63], 9);
    EXPECT_EQ(big[8 + 68 * 10 + 60], 0);
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
