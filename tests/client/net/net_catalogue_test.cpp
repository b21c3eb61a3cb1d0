#include <gtest/gtest.h>

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

TEST(NetCatalogue, SentSizesDestinationsAndScreensFollowTheLayouts) {
    struct Row {
        int code, sent, destination;
        Accepted accepted;
        int minReceived;
    };
    const Row rows[] = {
        {1, 12, 0xFFFF, ACCEPT_ARENA, 12},         {7, 8, 0, ACCEPT_LOBBY, 8},
        {15, 95, 0, ACCEPT_NEVER, 0},              {19, kNotSent, kDestinationNone, ACCEPT_ARENA, 5},
        {24, 8, 0xFFFF, ACCEPT_LOBBY, 8},          {39, 8, kDestinationOnePlayer, ACCEPT_ARENA, 8},
        {84, 24, 0xFFFE, ACCEPT_NEVER, 0},         {85, kNotSent, kDestinationNone, ACCEPT_ANY, 274},
        {128, kNotSent, kDestinationNone, ACCEPT_ANY, 2}, {133, kNotSent, kDestinationNone, ACCEPT_ANY, 0},
        {162, kNotSent, kDestinationNone, ACCEPT_ANY, 8}, {184, 76, 0, ACCEPT_NEVER, 0},
        {187, 4, 0, ACCEPT_ARENA, 1},              {188, 24, 0xFFFF, ACCEPT_NEVER, 0},
    };
    for (const Row& r : rows) {
        const MessageInfo* m = FindMessage(r.code);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->sentSize, r.sent) << r.code;
        EXPECT_EQ(m->destination, r.destination) << r.code;
        EXPECT_EQ(m->accepted, r.accepted) << r.code;
        EXPECT_EQ(m->minReceived, r.minReceived) << r.code;
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
