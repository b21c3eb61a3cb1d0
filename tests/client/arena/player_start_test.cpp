// Where the player starts and is raised, its own figure, and the character timers.
#include <gtest/gtest.h>

#include <cstring>

#include "client/arena/player_control.h"
#include "client/arena/player_start.h"
#include "client/arena/player_status.h"
#include "client/core/numeric.h"
#include "client/screens/character_state.h"
#include "client/screens/fonts.h"
#include "common/random.h"
#include "tests/client/arena/arena_fixture.h"

namespace {

class PlayerStart : public ArenaFixture {
protected:
    PlayerStart() {
        for (int team = 0; team < kTeams; ++team) {
            StartPoint& s = g_level.starts[team];
            s.x = 10 + team;
            s.y = 20 + team;
            s.angle = 100 * team + 7;
            for (int k = 0; k < kRaisePoints; ++k) {
                s.raise_x[k] = 40 + 10 * team + k;
                s.raise_y[k] = 60 + k;
                s.raise_a[k] = 1000 + k;
            }
        }
        // Cell (40, 60), team 0's first raise point, is a step up: the player lands standing on it.
        SetCell(40, 60, 0, 24, 256);
        view.facing = 3333;
    }
    ~PlayerStart() override { g_playMode = 1; }

    // The character "Vesna" of team 2 with the figure choice given, name tag 0 reserved as at
    // start-up.
    void NamedCharacter(int model, int body, int head) {
        std::memset(&NameTagTable, 0, sizeof NameTagTable);
        NameTagTable.used[0] = 1;
        std::strcpy(g_currentCharacter.name, "Vesna");
        SwapOddNibbles(g_currentCharacter.name);
        SetGameValue(4, 2);
        player.figure_imagenum = model;
        player.body_variant = body;
        player.head_variant = head;
    }
    int CellX() const { return view.x >> 6; }
    int CellY() const { return view.y >> 6; }
};

// The movement step each frame hands the figure choice to the own figure, kept to the player
// figures; only a change costs the presentation anything.
TEST_F(PlayerStart, TheOwnFigureFollowsTheFigureChoiceWithinThePlayerFigures) {
    NamedCharacter(201, 1, 2);
    const int slot = CreateOwnPlayerObject(player, 3);
    ASSERT_GT(slot, 0);
    const WorldObject& o = WorldObjectTable[slot];
    struct Case {
        int model, body, head;     // the choice
        int shows[3];              // what the own object holds after
        bool newFigure, dressed;   // what the presentation was asked
    } cases[] = {
        {201, 1, 2, {201, 1, 2}, false, false},  // unchanged: nothing
        {201, 2, 3, {201, 2, 3}, false, true},   // new looks: dressed again
        {203, 0, 1, {203, 0, 1}, true, true},    // new model: a new figure
        {202, 3, 4, {202, 0, 0}, true, true},    // looks outside the rule: 0
        {5, 1, 1, {201, 0, 0}, true, true},      // no player figure: the first, plain
        {0, 2, 2, {201, 0, 0}, false, false},    // the same once kept to the rule: nothing
    };
    for (const Case& c : cases) {
        player.figure_imagenum = c.model;
        player.body_variant = c.body;
        player.head_variant = c.head;
        const int oldFigure = o.figure;
        present.calls.clear();
        SetMovementParameters(player, PlayerControl{});
        SetMovementParameters(player, PlayerControl{});  // a second frame changes nothing more
        const std::string what = std::to_string(c.model) + "/" + std::to_string(c.body) + "/" + std::to_string(c.head);
        EXPECT_EQ(o.imagenum, c.shows[0]) << what;
        EXPECT_EQ(o.body_variant, c.shows[1]) << what;
        EXPECT_EQ(o.head_variant, c.shows[2]) << what;
        EXPECT_EQ(present.Count("CreateFigureForObject"), c.newFigure ? 1u : 0u) << what;
        EXPECT_EQ(present.Count("RemoveObjectFigure"), c.newFigure ? 1u : 0u) << what;
        EXPECT_EQ(present.Count("SetFigureBodyTexture"), c.dressed ? 1u : 0u) << what;
        if (c.newFigure) {
            EXPECT_NE(o.figure, oldFigure) << what;
            EXPECT_EQ(present.Named("CreateFigureForObject")[0].rfind("CreateFigureForObject(" + std::to_string(c.shows[0]), 0), 0u)
                << what;
            // The name label follows the figure.
            EXPECT_EQ(present.Named("CreateFigureBillboard"),
                      std::vector<std::string>{"CreateFigureBillboard(" + std::to_string(o.figure) + ")"})
                << what;
        }
        if (c.dressed) {
            // Team 2 wears the second colour of the body's variant.
            const int body = 3 * c.shows[1] + (c.shows[0] - 201) * 10 + 1;
            const int head = c.shows[2] + (c.shows[0] - 201) * 4;
            EXPECT_EQ(present.Named("SetFigureBodyTexture")[0],
                      "SetFigureBodyTexture(" + std::to_string(o.figure) + ", " + std::to_string(body) + ")")
                << what;
            EXPECT_EQ(present.Named("SetFigureHeadTexture")[0],
                      "SetFigureHeadTexture(" + std::to_string(o.figure) + ", " + std::to_string(head) + ")")
                << what;
        }
    }
    ClearWorldObjects();
}

TEST_F(PlayerStart, OfflineThePlayerStandsAtTheCentreOfItsCell) {
    struct Case {
        int team, mode, x, y, facing;
    };
    const Case cases[] = {
        {1, 0, 11 * 64 + 32, 21 * 64 + 32, 107},
        {3, 0, 13 * 64 + 32, 23 * 64 + 32, 307},
        {9, 0, 10 * 64 + 32, 20 * 64 + 32, 7},   // no such team: team 0's start
        {-1, 0, 10 * 64 + 32, 20 * 64 + 32, 7},
        {2, 1, 60 * 64 + 32, 60 * 64 + 32, 1000},
    };
    for (const Case& c : cases) {
        PlacePlayerAtStart(player, c.team, c.mode);
        EXPECT_EQ(view.x, c.x) << c.team << "/" << c.mode;
        EXPECT_EQ(view.y, c.y) << c.team << "/" << c.mode;
        EXPECT_EQ(view.facing, c.facing) << c.team << "/" << c.mode;
        EXPECT_EQ(view.pos_x, c.x << 16);
        EXPECT_EQ(view.pos_y, c.y << 16);
        EXPECT_EQ(view.z, 48);
        EXPECT_EQ(view.unused, view.z);
    }
    PlacePlayerAtStart(player, 0, 1);
    EXPECT_EQ(view.z, 24 + 48) << "standing on the raise cell's higher floor";
}

TEST_F(PlayerStart, OfflineModeTwoGoesToATransportDestination) {
    Place(4000, 4000, 5);
    PlacePlayerAtStart(player, 1, 2);
    EXPECT_EQ(view.x, 4000) << "no destination in use: the player stays";
    EXPECT_EQ(view.facing, 5);

    g_level.transports[4] = TransportDef{1, 30, 31, 90, "x"};
    g_level.transports[9] = TransportDef{1, 50, 51, 90, "y"};
    bool seen[2] = {};
    for (int i = 0; i < 20; ++i) {
        PlacePlayerAtStart(player, 1, 2);
        ASSERT_TRUE((CellX() == 30 && CellY() == 31) || (CellX() == 50 && CellY() == 51)) << CellX();
        EXPECT_EQ(view.x % 64, 32);
        seen[CellX() == 50] = true;
    }
    EXPECT_TRUE(seen[0] && seen[1]) << "either destination may be drawn";
}

TEST_F(PlayerStart, OnlineThePlayerLandsAnywhereInTheCell) {
    g_playMode = 2;
    bool corners[2] = {};
    for (int i = 0; i < 200; ++i) {
        PlacePlayerAtStart(player, 2, 0);
        ASSERT_EQ(CellX(), 12);
        ASSERT_EQ(CellY(), 22);
        EXPECT_EQ(view.facing, 207);
        corners[0] |= view.x % 64 == 0;
        corners[1] |= view.x % 64 == 63;
    }
    EXPECT_TRUE(corners[0] && corners[1]) << "offsets run 0..63";

    PlacePlayerAtStart(player, 2, 1);
    EXPECT_EQ(CellX(), 60);
    EXPECT_EQ(CellY(), 60);
    EXPECT_EQ(view.facing, 1000);

    view.facing = 777;
    int raised[kRaisePoints] = {};
    for (int i = 0; i < 200; ++i) {
        PlacePlayerAtStart(player, 2, 2);
        ASSERT_EQ(view.x % 64, 32);
        ASSERT_EQ(view.facing, 777) << "a random raise keeps the facing";
        ASSERT_GE(CellX(), 60);
        ASSERT_LE(CellX(), 64);
        ++raised[CellX() - 60];
        EXPECT_EQ(CellY(), 60 + CellX() - 60);
    }
    for (int k = 0; k < kRaisePoints; ++k)
        EXPECT_GT(raised[k], 0) << "raise point " << k;
}

TEST_F(PlayerStart, StartsOffTheGridAreHeldInsideIt) {
    g_level.starts[1].x = 704;  // a world position where a cell belongs
    g_level.starts[1].y = -3;
    PlacePlayerAtStart(player, 1, 0);
    EXPECT_EQ(CellX(), 127);
    EXPECT_EQ(CellY(), 0);
}

TEST_F(PlayerStart, TheOwnFigureStandsWhereThePlayerIsWithItsName) {
    NamedCharacter(201, 3, 4);
    Place(3000, 3100, 1234);
    view.z += 10;

    const int32_t monstersOfKind3 = LiveMonsterCount[3];
    const int slot = CreateOwnPlayerObject(player, 3);
    ASSERT_GT(slot, 0);
    EXPECT_EQ(LiveMonsterCount[3], monstersOfKind3) << "generators must not count the player's figure";
    EXPECT_EQ(player.own_object, slot);
    const WorldObject& o = WorldObjectTable[slot];
    EXPECT_EQ(o.active, 1);
    EXPECT_EQ(o.type, OBJ_MOVING);
    EXPECT_EQ(o.id, 0u);
    EXPECT_EQ(o.kind, 0) << "made as kind 3, then no monster kind";
    EXPECT_EQ(o.max_action_timer, 0) << "it never thinks";
    EXPECT_EQ(o.action_timer, 0);
    EXPECT_EQ(o.fire_chance, 0);
    EXPECT_EQ(o.follow_chance, 0);
    EXPECT_EQ(o.demeanor, 1);
    EXPECT_EQ(o.width, 0);
    EXPECT_EQ(o.speed, 0);
    EXPECT_EQ(o.x, 3000);
    EXPECT_EQ(o.y, 3100);
    EXPECT_EQ(o.pos_x, 3000 << 16);
    EXPECT_EQ(o.z, 10);
    EXPECT_EQ(o.pos_z, 10 << 16) << "the figure stands on the player's floor, not where the slot was";
    EXPECT_EQ(o.facing, 1234);
    EXPECT_EQ(o.imagenum, 201);
    EXPECT_EQ(o.body_variant, 3);
    EXPECT_EQ(o.head_variant, 4);
    EXPECT_EQ(o.team, 2);
    EXPECT_EQ(o.name_label, 1);
    ASSERT_NE(o.figure, 0);
    EXPECT_EQ(present.Named("CreateFigureBillboard"),
              std::vector<std::string>{"CreateFigureBillboard(" + std::to_string(o.figure) + ")"});
    EXPECT_NE(o.billboard, 0);

    // Every slot taken: none, and own_object says so.
    ClearWorldObjects();
    for (int i = 1; i < kWorldObjectSlots; ++i)
        WorldObjectTable[i].active = 1;
    EXPECT_EQ(CreateOwnPlayerObject(player, 3), 0);
    EXPECT_EQ(player.own_object, 0);
    ClearWorldObjects();
}

TEST_F(PlayerStart, CharacterTimersRunWhereTheyBelong) {
    struct Case {
        int code;
        uint32_t t0, t1, t5;
    };
    // Each starts from 3000 and runs 1000 ms.
    const Case cases[] = {
        {0, 5000, 5000, 2000},
        {20, 2000, 5000, 2000},  // an earthnode
        {55, 5000, 2000, 2000},  // a nexus
    };
    for (const Case& c : cases) {
        g_level.cellIndex[CellIndex(view.x >> 6, view.y >> 6)] = static_cast<uint8_t>(c.code);
        for (ReadiedSpell& r : g_currentCharacter.readied)
            r.word = 3000;
        TickCharacterTimers(player, 1000);
        EXPECT_EQ(g_currentCharacter.readied[0].word, c.t0) << c.code;
        EXPECT_EQ(g_currentCharacter.readied[1].word, c.t1) << c.code;
        EXPECT_EQ(g_currentCharacter.readied[5].word, c.t5) << c.code;
        EXPECT_EQ(g_currentCharacter.readied[19].word, c.t5) << c.code;
    }
    TickCharacterTimers(player, 4000);
    EXPECT_EQ(g_currentCharacter.readied[1].word, 0u) << "not below 0";
    EXPECT_EQ(g_currentCharacter.readied[7].word, 0u);
}

}  // namespace
