#include "client/arena/object_hits.h"

#include <memory>
#include <string>
#include <vector>

#include "client/arena/monster_think.h"
#include "client/arena/object_update.h"
#include "client/core/game_values.h"
#include "common/random.h"
#include "tests/client/arena/noting_spell.h"
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
    // The overlay colouring calls, in order.
    std::vector<std::string> Colouring() const {
        std::vector<std::string> out;
        for (const std::string& c : present.calls)
            if (c.rfind("SetFigureOverlay", 0) == 0)
                out.push_back(c);
        return out;
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
    EXPECT_EQ(ObjectShieldedDamage(0, t, 3), 0) << "a shielded zero roll stays zero";
}

// The player's shield is effect 4 of the element plus effect 6, without the limit of 75.
TEST_F(Hits, PlayerShieldsCutWithoutALimit) {
    struct Case {
        int level4, element4, level6, damageElement, want;
    } cases[] = {
        {0, 0, 0, 3, 100}, {50, 3, 0, 3, 50}, {50, 2, 0, 3, 100}, {100, 3, 0, 3, 0},
        {0, 0, 30, 5, 70}, {20, 3, 30, 3, 50}, {80, 3, 40, 3, 0},
    };
    for (const Case& c : cases) {
        player.effects[4] = {};
        player.effects[6] = {};
        player.effects[4].active = c.level4 != 0;
        player.effects[4].level = c.level4;
        player.effects[4].element = c.element4;
        player.effects[6].active = c.level6 != 0;
        player.effects[6].level = c.level6;
        EXPECT_EQ(PlayerShieldedDamage(100, player, c.damageElement), c.want)
            << c.level4 << " of " << c.element4 << " + " << c.level6 << " against " << c.damageElement;
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
    // Only a spell wall takes damage, and only offline (online the service owns its hit points).
    const struct {
        int kind, link;
    } spared[] = {{THIN_PLAIN, 1}, {THIN_TEXTURED, 1}, {THIN_TOUCH, 1}, {THIN_SPELL, 2}};
    for (const auto& c : spared) {
        const int thin = MakeThin(1000, 1050, 1100, 1050, c.kind);
        ThinTable[thin].hit_points = 100;
        ThinTable[thin].element = 1;
        const int p = Object(OBJ_SPELL, 1000, 1040, 10, 2, 2);
        O(p).element = 2;
        O(p).damage_dice = 1;
        O(p).damage_num_dice = 1;
        O(p).damage_base = 19;
        g_hitThin = thin;
        g_linkState = c.link;
        ResolveObjectCollision(p, HIT_THIN, player);
        EXPECT_EQ(ThinTable[thin].hit_points, 100) << "kind " << c.kind << " link " << c.link;
        DestroyThin(thin);
        g_linkState = 1;
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

// A negative maker is the local player; a positive one the monster of that id, wherever it stands
// (the first slot too); no maker, or one not found, leaves the target as it was.
TEST_F(Hits, AStruckMonsterHuntsOnlyAMakerItCanFind) {
    DestroyObject(bolt);
    const int maker = Object(OBJ_MOVING, 1010, 1000, 0, 8, 40);
    ASSERT_EQ(maker, 1);
    O(maker).id = 9;
    const int m = Object(OBJ_MOVING, 1100, 1000, 0, 8, 40);
    const struct {
        int creator, target;
    } cases[] = {{-1, kTargetPlayer}, {9, maker}, {0, 3}, {12, 3}};
    for (const auto& c : cases) {
        O(m).hit_points = 100;
        O(m).target = 3;
        HurtObject(m, 1, c.creator);
        EXPECT_EQ(O(m).target, c.target) << "maker " << c.creator;
    }
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

// A burst carries its spell to the local player (unless the player made it) and to player figures
// not shielded against its element; other objects take nothing.
TEST_F(Hits, BurstsCarryTheirSpellToPlayers) {
    std::vector<std::string> log;
    SetSpell(7, std::make_unique<NotingSpell>(&log));
    O(bolt).team = 0;
    O(bolt).effect_radius = 50;
    O(bolt).death_spell_effect = 7;
    O(bolt).element = 3;
    player.own_object = Object(OBJ_PLAYER, 1010, 1000, 0, 8, 40);
    const int figure = Object(OBJ_PLAYER, 1000, 1010, 0, 8, 40);
    const int shielded = Object(OBJ_PLAYER, 990, 1000, 0, 8, 40);
    O(shielded).effects[0].effect = 4;
    O(shielded).effects[0].level = 50;
    O(shielded).effects[0].element = 3;
    Object(OBJ_SPELL, 1000, 990, 0, 8, 40);
    Object(OBJ_STATIC, 1010, 1010, 0, 8, 40);
    const std::string onFigure = "ObjectCast " + std::to_string(figure) + " -" + std::to_string(bolt);

    AreaBurst(bolt, 0, player);
    EXPECT_EQ(log, (std::vector<std::string>{"AffectPlayer -1 0", onFigure}));
    log.clear();
    O(bolt).creator = 7;  // the local player's own
    AreaBurst(bolt, 0, player);
    EXPECT_EQ(log, std::vector<std::string>{onFigure});
    FreeSpells();
}

// An overlay is coloured by its code: 1 to 10 by element, then red, yellow, blue and four more;
// other codes leave the model's own colours.
TEST_F(Hits, OverlaysAreColouredByCode) {
    const struct {
        int code;
        const char* call;
    } cases[] = {
        {1, "SetFigureOverlayElement(7, 1)"},          {10, "SetFigureOverlayElement(7, 10)"},
        {11, "SetFigureOverlayColor(7, 255, 0, 0)"},   {12, "SetFigureOverlayColor(7, 255, 255, 0)"},
        {13, "SetFigureOverlayColor(7, 0, 0, 255)"},   {20, "SetFigureOverlayColor(7, 255, 128, 40)"},
        {21, "SetFigureOverlayColor(7, 255, 255, 255)"}, {22, "SetFigureOverlayColor(7, 204, 40, 255)"},
        {23, "SetFigureOverlayColor(7, 40, 255, 40)"}, {0, nullptr},
        {14, nullptr},                                 {24, nullptr},
    };
    const int m = Object(OBJ_MOVING, 1500, 1500, 0, 8, 40);
    O(m).figure = 7;
    for (const auto& c : cases) {
        RemoveObjectOverlay(m, 0);
        present.calls.clear();
        AttachObjectOverlay(m, 63, 2000, 64, 2, c.code, 100, 0, 0);
        EXPECT_EQ(Colouring(), c.call ? std::vector<std::string>{c.call} : std::vector<std::string>{}) << c.code;
    }
}

// Overlays show only within 1280 of the player on both axes, the hit overlays of effect slots too.
TEST_F(Hits, OverlaysShowOnlyNearThePlayer) {
    const struct {
        int dx, dy;
        bool shown;
    } cases[] = {{1280, 0, true}, {-1280, 1280, true}, {1281, 0, false}, {0, -1281, false}, {1281, 1281, false}};
    for (const auto& c : cases) {
        const int m = Object(OBJ_MOVING, 1500 + c.dx, 1500 + c.dy, 0, 8, 40);
        O(m).figure = 7;
        O(m).effects[2].overlay = 40;
        present.calls.clear();
        AttachObjectOverlay(m, 63, 2000, 64, 2, 11, 100, 0, 0);
        EXPECT_EQ(O(m).overlay_figure, c.shown ? 63 : 0) << c.dx << "," << c.dy;
        RemoveObjectOverlay(m, 0);
        SgxCreateFigureOverlay(m, 2, 0, 0);
        EXPECT_EQ(O(m).overlay_figure, c.shown ? 40 : 0) << c.dx << "," << c.dy;
        EXPECT_EQ(present.Count("CreateFigureOverlayModel"), c.shown ? 2u : 0u) << c.dx << "," << c.dy;
        DestroyObject(m);
    }
}

// One overlay at a time: a second stays off unless it replaces; -1 faces the way the object does;
// a removal of another figure's overlay leaves this one.
TEST_F(Hits, AnOverlayStaysUntilReplacedOrRemoved) {
    const int m = Object(OBJ_MOVING, 1500, 1500, 0, 8, 40);
    O(m).figure = 7;
    O(m).facing = 300;
    AttachObjectOverlay(m, 63, 2000, 64, 2, 11, -1, -45, 0);
    AttachObjectOverlay(m, 64, 1000, 64, 3, 12, 100, 0, 0);
    EXPECT_EQ(present.Named("CreateFigureOverlayModel"),
              std::vector<std::string>{"CreateFigureOverlayModel(7, 63, 64, 2, 300, -45)"});
    EXPECT_EQ(O(m).overlay_timer, 2000);
    AttachObjectOverlay(m, 64, 1000, 64, 3, 12, 100, 0, 1);
    EXPECT_EQ(present.Named("CreateFigureOverlayModel").back(), "CreateFigureOverlayModel(7, 64, 64, 3, 100, 0)");
    EXPECT_EQ(present.Count("RemoveFigureOverlay"), 1u);
    EXPECT_EQ(O(m).overlay_figure, 64);
    EXPECT_EQ(O(m).overlay_timer, 1000);

    RemoveObjectOverlay(m, 63);
    EXPECT_EQ(O(m).overlay_figure, 64) << "another figure's overlay is not this one";
    EXPECT_EQ(present.Count("RemoveFigureOverlay"), 1u);
    RemoveObjectOverlay(m, 64);
    EXPECT_EQ(O(m).overlay_figure, 0);
    EXPECT_EQ(O(m).overlay_timer, 0);
    EXPECT_EQ(present.Count("RemoveFigureOverlay"), 2u);
}

// A hit re-creates the overlays of the target's shield slots (effects 4 and 6) of the element or
// of none, facing back at the source; a team mate's hit shows nothing.
TEST_F(Hits, AHitShowsTheShieldsOfItsElement) {
    const int m = Object(OBJ_MOVING, 1500, 1500, 0, 8, 40);
    O(m).figure = 7;
    O(m).team = 2;
    const struct {
        int effect, element, overlay;
    } slots[] = {{4, 3, 41}, {6, 0, 42}, {4, 5, 43}, {2, 3, 44}, {6, 5, 45}};
    for (int k = 0; k < 5; ++k) {
        O(m).effects[k].effect = static_cast<uint8_t>(slots[k].effect);
        O(m).effects[k].element = static_cast<uint8_t>(slots[k].element);
        O(m).effects[k].overlay = static_cast<uint8_t>(slots[k].overlay);
    }
    O(bolt).facing = 100;
    O(bolt).tilt = 10;
    O(bolt).team = 2;
    AddHitOverlay(m, 3, bolt);
    EXPECT_EQ(present.Count("CreateFigureOverlayModel"), 0u) << "same team";
    O(bolt).team = 1;
    AddHitOverlay(m, 3, bolt);
    EXPECT_EQ(present.Named("CreateFigureOverlayModel"),
              (std::vector<std::string>{"CreateFigureOverlayModel(7, 41, 0, 0, 2148, -10)",
                                        "CreateFigureOverlayModel(7, 42, 0, 0, 2148, -10)"}));
}

}  // namespace
