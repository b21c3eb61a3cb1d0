// The sample installation's spells, as the game loads them from spell.bin and images/image.dat:
// every projectile layout, the kinds of flight, runes, effects, target groups, dispells, teleports
// and placed objects, lists that offer them all, and frame counts for their images; and each
// projectile layout cast in the sample level makes its projectiles.

#include <filesystem>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "client/arena/grid_queries.h"
#include "client/arena/spell.h"
#include "client/arena/world_object.h"
#include "client/core/level_defs.h"
#include "client/level/level_textures.h"
#include "tests/support/arena_match.h"
#include "tests/support/recording_present.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

class SampleSpells : public ::testing::Test {
protected:
    SampleSpells() {
        dir.Enter();
        const fs::path install = SAMPLE_INSTALL_DIR;
        for (const char* item : {"sample", "textures", "images", "pattern.dat", "monster.dat", "system.dat",
                                 "spell.bin", "loadbar1.pcx", "loadbar2.pcx", "loadbarb.pcx"})
            fs::copy(install / item, fs::path(dir.Path()) / item, fs::copy_options::recursive);
    }
    ~SampleSpells() override { FreeSpells(); }

    template <typename T>
    std::set<int> Values(int type, int32_t T::*field) {
        std::set<int> out;
        for (int n = 1; n < kSpellTableSize; ++n)
            if (CSpell* s = GetSpell(n); s && s->type == type)
                out.insert(static_cast<T*>(s)->*field);
        return out;
    }

    // Casts spell n where the player stands, in an empty object table: the objects of its kind
    // live after the frame.
    static int CastCounting(OfflineArena& match, int n) {
        ClearWorldObjects();
        match.player.cast_delay = 0;
        match.Ready(n);
        PlayerControl cast{};
        cast.yaw = cast.pitch = -1;
        cast.cast = 1;
        match.Frame(10, cast);
        int made = 0;
        for (int slot = 1; slot < WorldObjectHighWater; ++slot)
            made += WorldObjectTable[slot].active == 1 && WorldObjectTable[slot].kind == n;
        return made;
    }

    TempDir dir;
};

bool Holds(const std::set<int>& have, std::initializer_list<int> want) {
    for (int w : want)
        if (!have.count(w))
            return false;
    return true;
}

TEST_F(SampleSpells, EveryKindTheArenaKnowsIsThere) {
    ASSERT_EQ(LoadSpellData(0), 1);
    EXPECT_TRUE(Holds(Values(SPELL_PROJ, &CSpellProj::side_by_side), {0, 1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(Holds(Values(SPELL_EFFECT, &CSpellEffect::effect),
                      {4, 7, 8, 10, 11, 12, 13, 16, 17, 20, 21, 22, 23, 24, 25, 26, 27, 29, 32}));
    EXPECT_TRUE(Holds(Values(SPELL_TARGET, &CSpellTarget::group), {0, 1, 2}));
    EXPECT_TRUE(Holds(Values(SPELL_DISPELL, &CSpellDispell::dispell_type), {1, 3, 6}));
    EXPECT_TRUE(Holds(Values(SPELL_TELEPORT, &CSpellTeleport::teleport_type), {1, 2, 3}));
    EXPECT_TRUE(Holds(Values(SPELL_RUNE, &CSpellRune::rune_type), {1, 2, 3}));
    EXPECT_TRUE(Holds(Values(SPELL_OBJECT, &CSpellObject::object_layout), {1}));
    // Projectiles that bounce, pass through several targets, leave bouncing remains and burst into a
    // spread.
    auto any = [&](int32_t CSpellProj::*field) { return *Values(SPELL_PROJ, field).rbegin() > 0; };
    EXPECT_TRUE(any(&CSpellProj::bounce));
    EXPECT_TRUE(any(&CSpellProj::max_targets));
    EXPECT_TRUE(any(&CSpellProj::death_bounce));
    EXPECT_TRUE(any(&CSpellProj::horizontal_spread));
    EXPECT_TRUE(any(&CSpellProj::death_spell_effect));
    // The built-in monsters' spells.
    for (int n : {21, 24, 28, 66, 67, 198})
        EXPECT_NE(GetSpell(n), nullptr) << n;
}

TEST_F(SampleSpells, ListsOfferEveryPlayerSpellAndImagesHaveTheirFrames) {
    ASSERT_EQ(LoadSpellData(0), 1);
    std::set<int> listed;
    for (const SpellList& list : SpellListTable)
        for (int32_t n : list.spells)
            listed.insert(n);
    ASSERT_EQ(LoadImageDefs("images/image.dat", "sample/images"), 1);
    const std::set<int> monsters = {21, 24, 28, 66, 67, 198};
    for (int n = 1; n < kSpellTableSize; ++n) {
        const CSpell* s = GetSpell(n);
        if (!s || s->type == SPELL_NONE)
            continue;
        // Spells a link makes (a shell's shrapnel, a drain's slow) need no list.
        if (!monsters.count(n) && n != 11 && n != 12 && n != 26)
            EXPECT_TRUE(listed.count(n)) << "spell " << n << " is in no list";
        int image = 0;
        if (s->type == SPELL_PROJ)
            image = static_cast<const CSpellProj*>(s)->imagenum;
        else if (s->type == SPELL_BOLT)
            image = static_cast<const CSpellBolt*>(s)->imagenum;
        else if (s->type == SPELL_RUNE)
            image = static_cast<const CSpellRune*>(s)->imagenum;
        else if (s->type == SPELL_OBJECT)
            image = static_cast<const CSpellObject*>(s)->imagenum;
        if (image)
            EXPECT_GT(g_imageDefs[image].numinseq, 0) << "spell " << n << " image " << image;
    }
    EXPECT_EQ(g_imageDefs[60].numinseq, 8);
    EXPECT_EQ(g_imageDefs[31].imageseq[5], 5);
}

TEST_F(SampleSpells, EachProjectileLayoutCastInTheLevelMakesItsProjectiles) {
    RecordingPresent present;
    OfflineArena match("sample", 1, 7);
    ASSERT_TRUE(match.ok);
    int layouts = 0;
    for (int n = 1; n < kSpellTableSize; ++n) {
        const CSpell* s = GetSpell(n);
        if (!s || s->type != SPELL_PROJ || static_cast<const CSpellProj*>(s)->num_projectiles < 2 ||
            static_cast<const CSpellProj*>(s)->death_spell_effect || !s->fatigue)
            continue;
        EXPECT_EQ(CastCounting(match, n), static_cast<const CSpellProj*>(s)->num_projectiles) << "spell " << n;
        ++layouts;
    }
    EXPECT_GE(layouts, 7);
}

// Beside the earthnodes a cell closed only to movers (kind 5, at 15, 18) stands in open floor:
// Magic Missile is cast across it, as its projectile flies through it.
TEST_F(SampleSpells, ACastCrossesTheCellClosedOnlyToMovers) {
    constexpr int kMagicMissile = 2;
    RecordingPresent present;
    OfflineArena match("sample", 1, 7);
    ASSERT_TRUE(match.ok);
    ASSERT_EQ(g_level.cellKind[CellIndex(15, 18)], 5);
    PlayerView& v = match.view;
    v.x = 15 * 64 + 32;
    v.y = 18 * 64 - 70;  // its cast path of 80 reaches 10 into the cell
    v.pos_x = v.x << 16;
    v.pos_y = v.y << 16;
    v.facing = 0;
    v.z = GetStandHeight(v.x, v.y, -1000);
    EXPECT_EQ(CastCounting(match, kMagicMissile), 1);
}

}  // namespace
