#include "client/arena/spell_objects.h"

#include <cstring>
#include <vector>

#include "client/arena/spell.h"
#include "tests/client/arena/level_fixture.h"

namespace {

struct LayoutCase {
    const char* what;
    int layout, n, s, d;
    std::vector<LayoutOffset> want;
};

bool Same(const LayoutOffset& a, const LayoutOffset& b) {
    return a.forward == b.forward && a.side == b.side && a.vertical == b.vertical && a.turn == b.turn &&
           a.pitch == b.pitch;
}

TEST(ProjectileLayouts, EachLayoutPlacesItsProjectiles) {
    const LayoutCase cases[] = {
        {"file", 0, 3, 10, 64, {{84, 0, 0, 0, 0}, {74, 0, 0, 0, 0}, {64, 0, 0, 0, 0}}},
        {"row of three", 1, 3, 64, 64, {{64, -64, 0, 0, 0}, {64, 0, 0, 0, 0}, {64, 64, 0, 0, 0}}},
        {"even row", 1, 4, 10, 64, {{64, -15, 0, 0, 0}, {64, -5, 0, 0, 0}, {64, 5, 0, 0, 0}, {64, 15, 0, 0, 0}}},
        // Each corner of the cross is aimed by the step that led to it.
        {"cross",
         2,
         5,
         10,
         64,
         {{64, 0, 0, 0, 0}, {64, -10, -10, 40, 4}, {64, 10, -10, -40, 4}, {64, 10, 10, -40, -4}, {64, -10, 10, 40, -4}}},
        {"column", 3, 3, 10, 64, {{64, 0, 0, 0, 0}, {64, 0, 10, 0, 0}, {64, 0, 20, 0, 0}}},
        {"two rows, three over two",
         4,
         5,
         10,
         64,
         {{64, -10, -5, 0, 0}, {64, 0, -5, 0, 0}, {64, 10, -5, 0, 0}, {64, -5, 5, 0, 0}, {64, 5, 5, 0, 0}}},
        {"two rows of two", 4, 4, 10, 64, {{64, -5, -5, 0, 0}, {64, 5, -5, 0, 0}, {64, -5, 5, 0, 0}, {64, 5, 5, 0, 0}}},
        {"two columns", 5, 4, 10, 64, {{64, -5, 0, 0, 0}, {64, -5, 10, 0, 0}, {64, 5, 0, 0, 0}, {64, 5, 10, 0, 0}}},
        {"two files", 6, 4, 10, 64, {{74, -5, 0, 0, 0}, {64, -5, 0, 0, 0}, {74, 5, 0, 0, 0}, {64, 5, 0, 0, 0}}},
        {"odd spacing rounds toward zero", 1, 2, 7, 0, {{0, -3, 0, 0, 0}, {0, 4, 0, 0, 0}}},
        {"an unknown layout throws a file", 9, 2, 10, 64, {{74, 0, 0, 0, 0}, {64, 0, 0, 0, 0}}},
    };
    for (const LayoutCase& c : cases) {
        ProjectileLayout layout(c.layout, c.n, c.s, c.d);
        for (size_t i = 0; i < c.want.size(); ++i) {
            const LayoutOffset got = layout.Next();
            EXPECT_TRUE(Same(got, c.want[i])) << c.what << ": projectile " << i << " got " << got.forward << ","
                                              << got.side << "," << got.vertical << " turn " << got.turn
                                              << " pitch " << got.pitch;
        }
    }
}

TEST(ProjectileLayouts, DetonationsThrowARowOrAFile) {
    const int sides[] = {-96, -32, 32};
    for (int i = 0; i < 3; ++i) {
        const LayoutOffset row = DetonateLayoutOffset(1, 3, 64, 10, i);
        EXPECT_EQ(row.forward, 10);
        EXPECT_EQ(row.side, sides[i]);
        const LayoutOffset file = DetonateLayoutOffset(0, 3, 64, 10, i);
        EXPECT_EQ(file.forward, 138 - 64 * i);
        EXPECT_EQ(file.side, 0);
    }
}

TEST(ProjectileLayouts, AlignmentColoursByTeam) {
    const int proj[] = {0, 2, 4, 3, 0};
    const int rune[] = {4, 1, 2, 3, 4};
    for (int team = 0; team <= 4; ++team) {
        EXPECT_EQ(ProjectileAlignmentColor(team), proj[team]) << team;
        EXPECT_EQ(RuneAlignmentColor(team), rune[team]) << team;
    }
}

class SpellObjects : public LevelFixture {
protected:
    ~SpellObjects() override { FreeSpells(); }
};

TEST_F(SpellObjects, AProjectileTakesItsSpellsFields) {
    CSpellProj& s = MakeSpell<CSpellProj>(12, SPELL_PROJ);
    s.imagenum = 301;
    s.death_imagenum = 302;
    s.duration_timer = -1;
    s.trans_color = 7;
    s.acceleration = 70000;
    s.max_targets = 3;
    s.hit_effect = 44;
    s.hit_sound = 9;
    s.bounce = 6;
    s.max_bounces = 2;
    s.death_effect = 33;
    s.death_spell_effect = 35;
    s.effect_radius = 96;
    s.element = 4;
    s.min_damage = 5;
    s.max_damage = 9;
    const int slot = AllocObjectSlot(OBJ_SPELL);
    WorldObjectTable[slot].image_timer = 50;
    Init_Spell_Object(slot, 12);
    const WorldObject& o = WorldObjectTable[slot];
    EXPECT_EQ(o.kind, 12);
    EXPECT_EQ(o.imagenum, 301);
    EXPECT_EQ(o.death_imagenum, 302);
    EXPECT_EQ(o.duration_timer, 268435455) << "-1 never runs out";
    EXPECT_EQ(o.trans_color, 7);
    EXPECT_EQ(o.base_trans_color, 7);
    EXPECT_EQ(o.acceleration, 70000);
    EXPECT_EQ(o.max_targets, 3);
    EXPECT_EQ(o.hit_effect, 44);
    EXPECT_EQ(o.hit_sound, 9);
    EXPECT_EQ(o.bounce, 6);
    EXPECT_EQ(o.max_bounces, 2);
    EXPECT_EQ(o.death_effect, 33);
    EXPECT_EQ(o.death_spell_effect, 35);
    EXPECT_EQ(o.effect_radius, 96);
    EXPECT_EQ(o.element, 4);
    EXPECT_EQ(o.min_damage, 5);
    EXPECT_EQ(o.max_damage, 9);
    EXPECT_EQ(o.image_timer, 0);
    EXPECT_EQ(o.image_frame, 0);
}

TEST_F(SpellObjects, ARuneTakesItsOwnSetAndAPlacedObjectItsColourOnly) {
    CSpellRune& r = MakeSpell<CSpellRune>(20, SPELL_RUNE);
    r.collision_velocity = 70000;
    r.rune_type = 3;
    r.duration_timer = 5000;
    r.death_effect_range = 80;
    r.trans_color = 5;
    const int slot = AllocObjectSlot(OBJ_SPELL);
    Init_Spell_Object(slot, 20);
    const WorldObject& o = WorldObjectTable[slot];
    EXPECT_EQ(o.kind, 20);
    EXPECT_EQ(o.collision_velocity, 70000);
    EXPECT_EQ(o.rune_type, 3);
    EXPECT_EQ(o.duration_timer, 5000);
    EXPECT_EQ(o.death_effect_range, 80);
    EXPECT_EQ(o.base_trans_color, 5);

    CSpellObject& p = MakeSpell<CSpellObject>(21, SPELL_OBJECT);
    p.trans_color = 5;
    p.duration_timer = -1;
    p.collision_velocity = 1200;
    const int placed = AllocObjectSlot(OBJ_STATIC);
    CopyObjectSpell(placed, p);
    EXPECT_EQ(WorldObjectTable[placed].trans_color, 5);
    EXPECT_EQ(WorldObjectTable[placed].base_trans_color, 0);
    EXPECT_EQ(WorldObjectTable[placed].duration_timer, 268435455);
    EXPECT_EQ(WorldObjectTable[placed].collision_velocity, 1200);
}

TEST_F(SpellObjects, OtherSpellsLeaveOnlyTheKindAndMissingOnesNothing) {
    MakeSpell<CSpellHeal>(30, SPELL_HEAL);
    const int slot = AllocObjectSlot(OBJ_SPELL);
    WorldObject before = WorldObjectTable[slot];
    before.kind = 30;
    g_debugLevel = 2;
    ClearChatBuffer();
    Init_Spell_Object(slot, 30);
    EXPECT_EQ(std::memcmp(&before, &WorldObjectTable[slot], sizeof before), 0);
    EXPECT_STREQ(ChatBuffer.lines[(ChatBuffer.write + kChatLines - 1) % kChatLines].text,
                 "Init_Spell_Object for #1 (30) -> Sptype=3 Unknown!");

    for (int missing : {0, 31, 400, -1}) {
        WorldObject kept = WorldObjectTable[slot];
        Init_Spell_Object(slot, missing);
        EXPECT_EQ(std::memcmp(&kept, &WorldObjectTable[slot], sizeof kept), 0) << missing;
    }
}

}  // namespace
