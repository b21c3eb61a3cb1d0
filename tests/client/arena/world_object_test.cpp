#include <gtest/gtest.h>

#include <cstring>

#include "client/arena/monster.h"
#include "client/arena/world_object.h"
#include "client/core/game_values.h"
#include "common/random.h"
#include "tests/client/arena/level_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using WorldObjects = LevelFixture;

TEST_F(WorldObjects, SlotsAreTakenLowestFirstAndTheMarkFollowsTheHighestLiveSlot) {
    int slots[5];
    for (int& s : slots)
        s = Live(OBJ_STATIC, 100, 100);
    EXPECT_EQ(slots[0], 1);
    EXPECT_EQ(WorldObjectHighWater, 6);
    DestroyObject(3);
    WorldObjectTable[3].x = 77;
    int again = AllocObjectSlot(OBJ_MOVING);
    EXPECT_EQ(again, 3);
    EXPECT_EQ(WorldObjectTable[3].x, 0) << "a taken slot is zeroed";
    EXPECT_EQ(WorldObjectTable[3].type, OBJ_MOVING);
    EXPECT_EQ(WorldObjectTable[3].target_player, 65535);
    EXPECT_EQ(WorldObjectHighWater, 6) << "taking a slot does not move the mark";

    DestroyObject(5);
    EXPECT_EQ(WorldObjectHighWater, 5);
    DestroyObject(4);
    EXPECT_EQ(WorldObjectHighWater, 3) << "slot 3 is taken but not live";
    DestroyObject(2);
    DestroyObject(1);
    EXPECT_EQ(WorldObjectHighWater, 0);
}

TEST_F(WorldObjects, AFullTableGivesSlotZeroWhichNeverBecomesLive) {
    for (int s = 1; s < kWorldObjectSlots; ++s)
        WorldObjectTable[s].active = 1;
    EXPECT_EQ(AllocObjectSlot(OBJ_STATIC), 0);
    EXPECT_EQ(ActivateObject(0), 0);
}

// The live count follows every slot made live and freed, so a full table is known at once.
TEST_F(WorldObjects, TheLiveCountFollowsActivationAndFreeing) {
    for (int s = 1; s < kWorldObjectSlots; ++s)
        ASSERT_EQ(ActivateObject(AllocObjectSlot(OBJ_STATIC)), 1) << s;
    EXPECT_EQ(WorldObjectsLive, 999);
    EXPECT_EQ(AllocObjectSlot(OBJ_STATIC), 0);
    EXPECT_EQ(ActivateObject(500), 1) << "a live slot made live again";
    EXPECT_EQ(WorldObjectsLive, 999) << "is not counted twice";
    DestroyObject(500);
    DestroyObject(500);
    EXPECT_EQ(WorldObjectsLive, 998) << "a free slot freed again is not counted either";
    EXPECT_EQ(AllocObjectSlot(OBJ_STATIC), 500);
    WorldObjectTable[7].x = 8192;
    EXPECT_EQ(ActivateObject(7), 0) << "a live object moved off the grid is freed";
    EXPECT_EQ(WorldObjectsLive, 997);
    KillObject(8);  // no figure, no death image: freed
    EXPECT_EQ(WorldObjectsLive, 996);
    ClearWorldObjects();
    EXPECT_EQ(WorldObjectsLive, 0);
    EXPECT_EQ(AllocObjectSlot(OBJ_STATIC), 1);
}

TEST_F(WorldObjects, ActivationChecksTheGridFloorAndCeiling) {
    const int cell = CellIndex(10, 10);
    g_level.plane[kPlaneFloor][cell] = 40;
    g_level.plane[kPlaneStoreySplit][cell] = 1024;
    g_level.plane[kPlaneCeiling][cell] = 100;
    struct Case {
        int x, y, z, tall, live;
        const char* what;
    } cases[] = {
        {8192, 640, 0, 0, 0, "x = 8192 is off the grid"},
        {8191, 640, 0, 0, 1, "x = 8191 is on it"},
        {650, 650, 39, 10, 0, "below the floor"},
        {650, 650, 40, 60, 1, "standing on the floor, below the ceiling"},
        {650, 650, 40, 61, 0, "wedged under the ceiling"},
    };
    for (const Case& c : cases) {
        int slot = AllocObjectSlot(OBJ_STATIC);
        WorldObject& o = WorldObjectTable[slot];
        o.x = static_cast<uint16_t>(c.x);
        o.y = static_cast<uint16_t>(c.y);
        o.z = static_cast<int16_t>(c.z);
        o.tall = static_cast<uint16_t>(c.tall);
        EXPECT_EQ(ActivateObject(slot), c.live) << c.what;
        EXPECT_EQ(o.active == 1, c.live == 1) << c.what;
        DestroyObject(slot);
    }
}

TEST_F(WorldObjects, PlayerBodiesGetTheTexturesOfTheirBodyVariantAndTeam) {
    struct Case {
        int imagenum, variant, head, team, body, headTexture;
    } cases[] = {
        {201, 0, 0, 0, 0, 0},  {201, 1, 2, 1, 3, 2},   {202, 2, 1, 3, 18, 5}, {203, 1, 3, 2, 24, 11},
        {203, 5, 0, 1, 20, 8}, // a variant above 2 counts as 0
        {201, 0, 0, 4, 0, 0},  // a monster side adds nothing to the body texture
    };
    for (const Case& c : cases) {
        present.calls.clear();
        present.Script("CreateFigureForObject", 9);
        int slot = AllocObjectSlot(OBJ_PLAYER);
        WorldObject& o = WorldObjectTable[slot];
        o.x = o.y = 640;
        o.imagenum = static_cast<uint16_t>(c.imagenum);
        o.body_variant = static_cast<uint16_t>(c.variant);
        o.head_variant = static_cast<uint16_t>(c.head);
        o.team = static_cast<int16_t>(c.team);
        ASSERT_EQ(ActivateObject(slot), 1);
        ASSERT_EQ(present.Count("SetFigureBodyTexture"), 1u);
        EXPECT_EQ(present.Named("SetFigureBodyTexture")[0], "SetFigureBodyTexture(9, " + std::to_string(c.body) + ")")
            << c.imagenum << " variant " << c.variant << " team " << c.team;
        EXPECT_EQ(present.Named("SetFigureHeadTexture")[0],
                  "SetFigureHeadTexture(9, " + std::to_string(c.headTexture) + ")");
        DestroyObject(slot);
    }
}

TEST_F(WorldObjects, FiguresAreAskedForWithTheTeamColourOnlyForAlignedObjects) {
    int slot = AllocObjectSlot(OBJ_SPELL);
    WorldObject& o = WorldObjectTable[slot];
    o.x = o.y = 640;
    o.pos_x = o.pos_y = 640 << 16;
    o.imagenum = 30;
    o.team = 2;
    o.alignment_translucent = 1;
    o.tall = 20;
    ASSERT_EQ(ActivateObject(slot), 1);
    EXPECT_EQ(present.Named("CreateFigureForObject")[0], "CreateFigureForObject(30, \"Yellow\", 0.01)");
    // A spell object stands raised by half its height and floats.
    EXPECT_EQ(present.Named("PlaceObjectFigure")[0], "PlaceObjectFigure(1, 41943040, 41943040, 655360, 0, 0, 1, 1, 0)");

    int plain = AllocObjectSlot(OBJ_STATIC);
    WorldObjectTable[plain].imagenum = 31;
    WorldObjectTable[plain].team = 2;
    ASSERT_EQ(ActivateObject(plain), 1);
    EXPECT_EQ(present.Named("CreateFigureForObject")[1], "CreateFigureForObject(31, null, 0.01)");

    int hidden = AllocObjectSlot(OBJ_STATIC);
    WorldObjectTable[hidden].imagenum = 32;
    WorldObjectTable[hidden].no_figure = 1;
    ASSERT_EQ(ActivateObject(hidden), 1);
    EXPECT_EQ(present.Count("CreateFigureForObject"), 2u);
}

TEST_F(WorldObjects, KilledObjectsBecomeBodiesDyingObjectsOrNothing) {
    int monster = Live(OBJ_MOVING, 640, 640, 3);
    WorldObjectTable[monster].imagenum = 10;
    WorldObjectTable[monster].figure = 4;
    EXPECT_EQ(LiveMonsterCount[3], 1);
    KillObject(monster);
    EXPECT_EQ(WorldObjectTable[monster].type, OBJ_BODY);
    EXPECT_EQ(WorldObjectTable[monster].duration_timer, 10000);
    EXPECT_EQ(WorldObjectTable[monster].pose, 11);
    EXPECT_EQ(LiveMonsterCount[3], 0) << "a body no longer counts against its generator";
    DestroyObject(monster);
    EXPECT_EQ(LiveMonsterCount[3], 0);

    int rune = Live(OBJ_SPELL, 640, 640);
    WorldObjectTable[rune].death_imagenum = 44;
    WorldObjectTable[rune].death_image_timer_max = 300;
    WorldObjectTable[rune].id = 1500;
    KillObject(rune);
    EXPECT_EQ(WorldObjectTable[rune].type, OBJ_DYING);
    EXPECT_EQ(WorldObjectTable[rune].imagenum, 44);
    EXPECT_EQ(WorldObjectTable[rune].image_cycles, -1);
    EXPECT_EQ(WorldObjectTable[rune].image_timer_max, 300);
    EXPECT_EQ(WorldObjectTable[rune].id, 0u);
    KillObject(rune);
    EXPECT_NE(WorldObjectTable[rune].active, 1) << "a dying object killed again is freed";

    int bare = Live(OBJ_MOVING, 640, 640, 5);
    KillObject(bare);
    EXPECT_NE(WorldObjectTable[bare].active, 1);
    EXPECT_EQ(LiveMonsterCount[5], 0);
}

TEST_F(WorldObjects, MonsterKindsOutsideTheCountedRangeAreNotCounted) {
    int slot = Live(OBJ_MOVING, 640, 640, 150);
    DestroyObject(slot);
    for (int k = 0; k < kMonsterKinds; ++k)
        EXPECT_EQ(LiveMonsterCount[k], 0);
}

TEST_F(WorldObjects, FreeingReleasesEveryHandleAndForgetsGenerators) {
    int slot = Live(OBJ_MOVING, 640, 640, 2);
    WorldObject& o = WorldObjectTable[slot];
    o.figure = 5;
    o.billboard = 6;
    o.map_node = 7;
    g_level.monsterGens[4].object = slot;
    g_level.effectGens[2].object = slot;
    present.calls.clear();
    DestroyObject(slot);
    EXPECT_EQ(present.Names(), (std::vector<std::string>{"RemoveFigureBillboard", "RemoveObjectFigure",
                                                         "RemoveObjectMapNode"}));
    EXPECT_EQ(g_level.monsterGens[4].object, 0);
    EXPECT_EQ(g_level.effectGens[2].object, 0);
    present.calls.clear();
    DestroyObject(slot);
    EXPECT_TRUE(present.calls.empty()) << "a slot that is not live is left alone";
}

TEST_F(WorldObjects, MonsterIdsAreTheLowestFreeOnesOfLiveMovingObjects) {
    Live(OBJ_MOVING, 640, 640, 1, 1);
    Live(OBJ_MOVING, 640, 640, 1, 2);
    Live(OBJ_MOVING, 640, 640, 1, 4);
    Live(OBJ_PLAYER, 640, 640, 0, 3);  // a player's id does not count
    EXPECT_EQ(NewMonsterId(), 3);
    EXPECT_EQ(FindMonsterSlotById(4), 3);
    EXPECT_EQ(FindMonsterSlotById(3), 0);
    for (uint32_t id = 3; id <= 253; ++id)
        Live(OBJ_MOVING, 640, 640, 1, id);
    EXPECT_EQ(NewMonsterId(), 254);
    Live(OBJ_MOVING, 640, 640, 1, 254);
    EXPECT_EQ(NewMonsterId(), 0);
}

TEST_F(WorldObjects, LookupsByIdKeepPlayersAndOtherObjectsApart) {
    int player = Live(OBJ_PLAYER, 640, 640, 0, 77);
    int monster = Live(OBJ_MOVING, 640, 640, 1, 78);
    int body = Live(OBJ_BODY, 640, 640, 0, 79);
    int freed = Live(OBJ_STATIC, 640, 640, 0, 80);
    DestroyObject(freed);
    struct Case {
        int id, player, world;
    } cases[] = {{77, player, -1}, {78, -1, monster}, {79, -1, -1}, {80, -1, -1}};
    for (const Case& c : cases) {
        EXPECT_EQ(FindPlayerObjectSlot(c.id), c.player) << c.id;
        EXPECT_EQ(FindWorldObjectSlot(c.id), c.world) << c.id;
    }
    (void)body;
}

TEST_F(WorldObjects, ObjectIdsSkipIdsThatLiveObjectsCarry) {
    GameSrand(7);
    int id = NewObjectId();
    EXPECT_GE(id, 1024);
    EXPECT_LE(id, 4095);
    Live(OBJ_STATIC, 640, 640, 0, static_cast<uint32_t>(id));
    GameSrand(7);
    int next = NewObjectId();
    EXPECT_NE(next, id);
    EXPECT_GE(next, 1024);
}

TEST_F(WorldObjects, BuiltInMonsterKinds) {
    struct Case {
        int kind, spell, range, imagenum, variant, timer, velocity, hits, team;
    } cases[] = {
        {1, 7, 320, 201, 1, 70, 64, 60, 4},   {2, 28, 448, 202, 2, 78, 64, 100, 4},
        {5, 66, 448, 60, 0, 78, 64, 75, 4},   {7, 67, 320, 156, 0, 78, 80, 100, 5},
        {8, 0, 0, 0, 0, 175, 0, 1, 0},
    };
    const int cell = CellIndex(10, 10);
    g_level.plane[kPlaneFloor][cell] = 24;
    g_level.plane[kPlaneStoreySplit][cell] = 1024;
    for (const Case& c : cases) {
        int slot = AllocObjectSlot(OBJ_MOVING);
        WorldObject& o = WorldObjectTable[slot];
        o.x = o.y = 660;
        CreateMonster(slot, c.kind);
        EXPECT_EQ(o.spell_num, c.spell) << c.kind;
        EXPECT_EQ(o.trigger_range, c.range) << c.kind;
        EXPECT_EQ(o.imagenum, c.imagenum) << c.kind;
        EXPECT_EQ(o.body_variant, c.variant) << c.kind;
        EXPECT_EQ(o.image_timer_max, c.timer) << c.kind;
        EXPECT_EQ(o.speed, c.velocity) << c.kind;
        EXPECT_EQ(o.hit_points, c.hits) << c.kind;
        EXPECT_EQ(o.team, c.team) << c.kind;
        EXPECT_EQ(o.action_timer, o.max_action_timer);
        EXPECT_EQ(o.command, 5);
        EXPECT_EQ(o.z, 24);
        EXPECT_EQ(o.pos_z, 24 << 16);
        EXPECT_EQ(o.width, 20);
        EXPECT_EQ(o.death_image_timer_max, 150);
    }
}

TEST(MonsterDefs, LettersChooseDemeanorAndCommand) {
    TempDir dir;
    dir.Enter();
    dir.Write("monster.dat",
              "[monsterdefs]\nnummonsters=7\n"
              "[monster00]\nname=Acolyte\ntall=51\ndemeanor=Passive\ncommand=Guard\nhit_effect=9\n"
              "[monster01]\ndemeanor=aggressive\ncommand=patrol\n"
              "[monster02]\ndemeanor=Reactive\ncommand=Roam\n"
              "[monster03]\ndemeanor=xeno\ncommand=move\n"
              "[monster04]\ncommand=stand\n"
              "[monster05]\n"
              "[monster06]\ndeath_effect=12\nmax_step=16\n");
    std::memset(MonsterDefinitionTable, 0, sizeof MonsterDefinitionTable);
    MonsterDefinitionTable[3].demeanor = 9;
    EXPECT_EQ(LoadMonsterDefs(), 0);
    EXPECT_STREQ(MonsterDefinitionTable[0].name, "Acolyte");
    EXPECT_EQ(MonsterDefinitionTable[0].tall, 51);
    EXPECT_EQ(MonsterDefinitionTable[0].hit_effect, 9);
    struct Case {
        int n, demeanor, command;
    } cases[] = {{0, 1, 4}, {1, 2, 3}, {2, 0, 5}, {3, 9, 2}, {4, 0, 1}, {5, 0, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(MonsterDefinitionTable[c.n].demeanor, c.demeanor) << c.n;
        EXPECT_EQ(MonsterDefinitionTable[c.n].command, c.command) << c.n;
    }
    EXPECT_EQ(MonsterDefinitionTable[6].death_effect, 12);
    EXPECT_EQ(MonsterDefinitionTable[6].max_step, 16);
}

TEST_F(WorldObjects, ShrineStateShowsOnItsObject) {
    int slot = Live(OBJ_STATIC, 640, 640);
    g_level.shrines[2].object = slot;
    SetShrineState(2, 3, 40, 120);
    EXPECT_EQ(g_level.shrines[2].alignment, 3);
    EXPECT_EQ(g_level.shrines[2].bias, 40);
    EXPECT_EQ(g_level.shrines[2].weight, 100);
    EXPECT_EQ(WorldObjectTable[slot].team, 3);
    EXPECT_EQ(WorldObjectTable[slot].image_timer_max, 600);
    SetShrineState(2, 1, 0, 5);
    EXPECT_EQ(WorldObjectTable[slot].team, 4) << "no power: the monster side";
    SetShrineState(2, 1, 100, 5);
    EXPECT_EQ(WorldObjectTable[slot].image_timer_max, 100) << "at least 100";
    SetShrineState(25, 1, 100, 5);  // beyond the table: ignored
}

}  // namespace
