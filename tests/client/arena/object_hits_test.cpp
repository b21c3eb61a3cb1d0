#include "client/arena/object_hits.h"

#include "client/arena/monster_think.h"
#include "client/arena/object_update.h"
#include "client/core/game_values.h"
#include "common/random.h"
#include "tests/client/arena/room_fixture.h"

namespace {

class Hits : public RoomFixture {
protected:
    Hits() {
        Room(32, 1000, 2000);
        view.x = 1500;
        view.y = 1500;
        view.z = 48;
        SetGameValue(4, 1);
        SetGameValue(118, 7);
        GameSrand(5);
        bolt = Object(OBJ_SPELL, 1000, 1000, 10, 2, 2);
        O(bolt).team = 1;
        O(bolt).creator = -1;
    }
    void Damage(int base) {
        O(bolt).damage_dice = 1;
        O(bolt).damage_num_dice = 1;
        O(bolt).damage_base = static_cast<int16_t>(base - 1);
    }
    int bolt = 0;
};

TEST_F(Hits, AMultiTargetObjectRemembersFourAndCountsEveryOne) {
    O(bolt).max_targets = 10;
    int players[6];
    for (int& p : players) {
        p = Object(OBJ_PLAYER, 1010, 1000, 0, 8, 40);
        O(p).team = 2;
    }
    for (int round = 0; round < 2; ++round)
        for (int p : players)
            EXPECT_EQ(PassThroughTarget(bolt, HIT_OBJECT + p, player), 1);
    // The first four are known on the second round; the last two count again.
    EXPECT_EQ(O(bolt).targets_hit, 8);
    EXPECT_EQ(O(bolt).touched_targets[3], players[3]);
    EXPECT_EQ(O(bolt).fade, 0) << "nothing written past the four";

    const int mate = Object(OBJ_PLAYER, 1010, 1000, 0, 8, 40);
    O(mate).team = 1;
    EXPECT_EQ(PassThroughTarget(bolt, HIT_OBJECT + mate, player), 0) << "a team mate is struck, not passed";
    const int monster = Object(OBJ_MOVING, 1010, 1000, 0, 8, 40);
    EXPECT_EQ(PassThroughTarget(bolt, HIT_OBJECT + monster, player), 0);
    EXPECT_EQ(PassThroughTarget(bolt, HIT_PLAYER, player), 0) << "the local player of its team";
    SetGameValue(4, 2);
    EXPECT_EQ(PassThroughTarget(bolt, HIT_PLAYER, player), 1);
    EXPECT_EQ(PassThroughTarget(bolt, HIT_PLAYER, player), 0) << "the tenth touch strikes";
}

TEST_F(Hits, ShieldsCutDamageByElement) {
    const int t = Object(OBJ_MOVING, 1100, 1000, 0, 8, 40);
    struct Case {
        int effect, level, element;  // one effect on the target
        int damageElement, want;
    } cases[] = {
        {0, 0, 0, 3, 100},   {4, 50, 3, 3, 50},  {4, 50, 2, 3, 100}, {4, 100, 3, 3, 25},
        {4, 40, 2, 9, 80},   {6, 30, 0, 5, 70},  {3, 10, 0, 5, 90},  {4, 50, 3, 0, 100},
    };
    for (const Case& c : cases) {
        O(t).effects[0] = {};
        O(t).effects[0].effect = static_cast<uint8_t>(c.effect);
        O(t).effects[0].level = static_cast<uint8_t>(c.level);
        O(t).effects[0].element = static_cast<uint8_t>(c.element);
        EXPECT_EQ(ObjectShieldedDamage(100, t, c.damageElement), c.want)
            << "effect " << c.effect << " level " << c.level << " element " << c.damageElement;
    }
}

TEST_F(Hits, WallsTakeDamageByElement) {
    struct Case {
        int element, wallElement, wantHp;
    } cases[] = {{2, 1, 80}, {1, 7, 80}, {3, 1, 90}, {1, 1, 100}, {7, 1, 90}};
    for (const Case& c : cases) {
        const int thin = MakeThin(1000, 1050, 1100, 1050, THIN_SPELL);
        ThinTable[thin].hit_points = 100;
        ThinTable[thin].element = c.wallElement;
        const int p = Object(OBJ_SPELL, 1000, 1040, 10, 2, 2);
        O(p).element = static_cast<int16_t>(c.element);
        O(p).damage_dice = 1;
        O(p).damage_num_dice = 1;
        O(p).damage_base = 19;
        g_hitThin = thin;
        EXPECT_EQ(ResolveObjectCollision(p, HIT_THIN, player), 1);
        EXPECT_EQ(ThinTable[thin].hit_points, c.wantHp) << c.element << " on " << c.wallElement;
        EXPECT_NE(O(p).active, 1);
        DestroyThin(thin);
    }
}

TEST_F(Hits, AStruckMonsterHuntsTheMakerAndAHugeRollKills) {
    const int m = Object(OBJ_MOVING, 1010, 1000, 0, 8, 40);
    O(m).hit_points = 100;
    O(m).team = 4;
    Damage(30);
    EXPECT_EQ(ResolveObjectCollision(bolt, HIT_OBJECT + m, player), 1);
    EXPECT_EQ(O(m).hit_points, 70);
    EXPECT_EQ(O(m).target, kTargetPlayer);
    EXPECT_NE(O(bolt).active, 1);

    bolt = Object(OBJ_SPELL, 1000, 1000, 10, 2, 2);
    O(bolt).damage_dice = 1;
    O(bolt).damage_num_dice = 1;
    O(bolt).damage_base = 32767;
    ResolveObjectCollision(bolt, HIT_OBJECT + m, player);
    EXPECT_NE(O(m).type == OBJ_MOVING && O(m).active == 1, true) << "32768 kills, it does not wrap to life";
}

// A roll from spell data may be any int: what is left saturates at the ends of the 16-bit hit
// points, a hit from the lowest int heals to the top and one from the highest kills.
TEST_F(Hits, DamageOfAnySizeLeavesHitPointsAtTheirEnds) {
    const struct {
        int before, damage, after;
        bool dies;
    } cases[] = {
        {100, INT32_MIN, 32767, false}, {-5, INT32_MIN, 32767, false}, {100, INT32_MAX, -32768, true},
        {32767, -1, 32767, false},      {100, 99, 1, false},           {100, 100, 0, true},
    };
    for (const auto& c : cases) {
        const int m = Object(OBJ_MOVING, 1200, 1000, 0, 8, 40);
        O(m).hit_points = static_cast<int16_t>(c.before);
        HurtObject(m, c.damage, 0);
        EXPECT_EQ(O(m).hit_points, c.after) << c.before << " - " << c.damage;
        EXPECT_EQ(O(m).active != 1, c.dies) << c.before << " - " << c.damage;
        DestroyObject(m);
    }
}

TEST_F(Hits, BouncersBounceUntilTheirLimit) {
    O(bolt).bounce = 10;
    O(bolt).max_bounces = 2;
    O(bolt).speed = 100;
    O(bolt).facing = 100;
    EXPECT_EQ(ResolveObjectCollision(bolt, HIT_X, player), 1);
    EXPECT_EQ(O(bolt).facing, 3996);
    EXPECT_EQ(O(bolt).bounce, 10);
    EXPECT_EQ(ResolveObjectCollision(bolt, HIT_X, player), 1);
    EXPECT_EQ(O(bolt).bounce, 0) << "the second bounce was the last";
    EXPECT_EQ(O(bolt).active, 1);
    EXPECT_EQ(ResolveObjectCollision(bolt, HIT_X, player), 1);
    EXPECT_NE(O(bolt).active, 1);
}

TEST_F(Hits, DeathBouncersLeaveBouncingRemains) {
    O(bolt).death_bounce = 1;
    O(bolt).death_image_timer_max = 300;
    O(bolt).id = 55;
    EXPECT_EQ(ResolveObjectCollision(bolt, HIT_X, player), 1);
    EXPECT_EQ(O(bolt).active, 1);
    EXPECT_EQ(O(bolt).type, OBJ_DYING);
    EXPECT_EQ(O(bolt).bounce, 2);
    EXPECT_EQ(O(bolt).gravity, 2);
    EXPECT_EQ(O(bolt).image_cycles, -1);
    EXPECT_EQ(O(bolt).image_timer_max, 300);
    EXPECT_EQ(O(bolt).id, 0u);
    const int solid = Object(OBJ_SPELL, 1000, 1000, 10, 2, 2);
    O(solid).death_bounce = 1;
    EXPECT_EQ(ResolveObjectCollision(solid, HIT_SOLID_CELL, player), 1);
    EXPECT_NE(O(solid).active, 1) << "into rock is gone";
}

TEST_F(Hits, BurstsSpareTheMakerTheSkippedAndTheDead) {
    O(bolt).effect_radius = 50;
    O(bolt).creator = 9;
    O(bolt).damage_dice = 1;
    O(bolt).damage_num_dice = 1;
    O(bolt).damage_base = 19;
    const int near = Object(OBJ_MOVING, 1049, 1000, 0, 8, 40);
    const int edge = Object(OBJ_MOVING, 1050, 1000, 0, 8, 40);
    const int maker = Object(OBJ_MOVING, 1010, 1000, 0, 8, 40);
    O(maker).id = 9;
    const int skipped = Object(OBJ_MOVING, 1010, 1010, 0, 8, 40);
    const int dead = Object(OBJ_MOVING, 1010, 990, 0, 8, 40);
    O(dead).dead = 1;
    for (int s : {near, edge, maker, skipped, dead})
        O(s).hit_points = 100;
    AreaBurst(bolt, skipped, player);
    EXPECT_EQ(O(near).hit_points, 90) << "half the roll";
    EXPECT_EQ(O(edge).hit_points, 100);
    EXPECT_EQ(O(maker).hit_points, 100);
    EXPECT_EQ(O(skipped).hit_points, 100);
    EXPECT_EQ(O(dead).hit_points, 100);
    EXPECT_EQ(O(near).target, maker) << "it hunts the maker";
}

}  // namespace
