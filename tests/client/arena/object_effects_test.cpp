#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "client/arena/object_effects.h"
#include "client/arena/spell.h"
#include "client/core/game_values.h"
#include "tests/client/arena/level_fixture.h"
#include "tests/client/arena/noting_spell.h"

namespace {

class ObjectEffects : public LevelFixture {
protected:
    ObjectEffects() {
        SetSpell(7, std::make_unique<NotingSpell>(&log));
        view.x = 4000;
        view.y = 4000;
    }
    ~ObjectEffects() override { FreeSpells(); }
    std::vector<std::string> log;
};

TEST_F(ObjectEffects, RunesTripWithinTheirRange) {
    struct Case {
        int range, dx, dy;
        bool trips;
    } cases[] = {
        {0, 1280, 1280, true}, {0, 1281, 0, false}, {0, 0, -1280, true}, {100, 99, 99, true}, {100, 100, 0, false},
    };
    for (const Case& c : cases) {
        log.clear();
        int slot = Live(OBJ_SPELL, 4000 + c.dx, 4000 + c.dy);
        WorldObjectTable[slot].death_effect_range = static_cast<uint16_t>(c.range);
        WorldObjectTable[slot].death_effect = 7;
        CheckRuneTrip(slot);
        EXPECT_EQ(log.size(), c.trips ? 1u : 0u) << c.range << " " << c.dx << "," << c.dy;
        DestroyObject(slot);
    }
}

TEST_F(ObjectEffects, NearPlayerEffectsHaveTheirOwnDistances) {
    int near = Live(OBJ_SPELL, 4640, 3360);
    int far = Live(OBJ_SPELL, 4641, 4000);
    int struck = Live(OBJ_MOVING, 4000, 4000, 1);
    for (int s : {near, far}) {
        WorldObjectTable[s].bounce_effect = 7;
        WorldObjectTable[s].death_effect = 7;
    }
    WorldObjectTable[struck].hit_effect = 7;
    BounceEffectNearPlayer(near);
    BounceEffectNearPlayer(far);
    HitEffectNearPlayer(near, struck);
    HitEffectNearPlayer(far, struck);
    DeathEffectNearPlayer(near);  // 640 away: beyond the 512 of a death effect
    int close = Live(OBJ_SPELL, 4511, 4000);
    WorldObjectTable[close].death_effect = 7;
    DeathEffectNearPlayer(close);
    EXPECT_EQ(log, (std::vector<std::string>{"Detonate " + std::to_string(near), "Detonate " + std::to_string(near),
                                             "Detonate " + std::to_string(close)}));
}

TEST_F(ObjectEffects, CarriedSpellsSpareTheirOwnTeam) {
    int a = Live(OBJ_SPELL, 100, 100);
    int foe = Live(OBJ_MOVING, 100, 100, 1);
    int friendOf = Live(OBJ_MOVING, 100, 100, 1);
    WorldObjectTable[a].death_spell_effect = 7;
    WorldObjectTable[a].team = 2;
    WorldObjectTable[a].creator = 55;
    WorldObjectTable[foe].team = 4;
    WorldObjectTable[friendOf].team = 2;
    ApplyObjectSpellToObject(a, foe);
    ApplyObjectSpellToObject(a, friendOf);
    SetGameValue(4, 3);
    ApplyObjectSpellToPlayer(a, player);
    SetGameValue(4, 2);
    ApplyObjectSpellToPlayer(a, player);
    SetGameValue(4, 3);
    player.dead = 1;
    ApplyObjectSpellToPlayer(a, player);
    player.dead = 0;
    EXPECT_EQ(log, (std::vector<std::string>{"ObjectCast " + std::to_string(foe) + " -" + std::to_string(a),
                                             "AffectPlayer 55 0"}));
}

TEST_F(ObjectEffects, AnEffectGeneratorKeepsOneObjectAndOnlyNearThePlayer) {
    g_level.olist[2][0] = OBJ_STATIC;
    g_level.olist[2][2] = 12;
    Generator& g = g_level.effectGens[0];
    g.active = 1;
    g.olist = 2;
    g.x = 4100;
    g.y = 3700;
    g.height = 6;
    int first = SpawnEffectObject(0);
    ASSERT_NE(first, 0);
    EXPECT_EQ(WorldObjectTable[first].active, 1);
    EXPECT_EQ(WorldObjectTable[first].z, 6);
    EXPECT_EQ(WorldObjectTable[first].kind, 2);
    EXPECT_EQ(SpawnEffectObject(0), 0);
    DestroyObject(first);
    EXPECT_EQ(g.object, 0);
    view.x = 4100 + 512;
    EXPECT_EQ(SpawnEffectObject(0), 0) << "512 away is too far";
    view.x = 4100 + 511;
    EXPECT_NE(SpawnEffectObject(0), 0);
}

TEST_F(ObjectEffects, ADeadPlayerLeavesAMarker) {
    int dead = Live(OBJ_PLAYER, 700, 800);
    WorldObject& d = WorldObjectTable[dead];
    d.imagenum = 202;
    d.body_variant = 1;
    d.team = 3;
    d.facing = 999;
    d.hit_points = 50;
    ASSERT_EQ(PlaceDeathObject(dead), 1);
    int marker = 0;
    for (int s = 1; s < WorldObjectHighWater; ++s)
        if (s != dead && WorldObjectTable[s].active == 1)
            marker = s;
    ASSERT_NE(marker, 0);
    const WorldObject& m = WorldObjectTable[marker];
    EXPECT_EQ(m.type, OBJ_BODY);
    EXPECT_EQ(m.x, 700);
    EXPECT_EQ(m.facing, 999);
    EXPECT_EQ(m.imagenum, 202);
    EXPECT_EQ(m.team, 3);
    EXPECT_EQ(m.hit_points, 0);
    EXPECT_EQ(m.duration_timer, 30000);
    player.own_object = dead;
    RemovePlayerObject(player);
    EXPECT_NE(WorldObjectTable[dead].active, 1);
    EXPECT_EQ(player.own_object, dead);
}

}  // namespace
