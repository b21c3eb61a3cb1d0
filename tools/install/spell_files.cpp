// spell.dat with spells of every type, their lists and the professions' lists, and spell.bin
// compiled from it by the client's own loader and saver.

#include <cstdio>

#include "client/arena/spell.h"
#include "client/core/spell_defs.h"
#include "client/core/spell_file.h"
#include "tools/install/install_step.h"
#include "tools/writers/spell_dat_writer.h"

namespace {

enum SampleSpell {
    FIREBOLT = 1,
    MAGIC_MISSILE,
    STONE_WALL,
    HEAL,
    BLESS,
    WILL_O_WISP,
    DRAIN,
    DISPELL,
    BLINK,
    FIRE_RUNE,
    SLOW,
    FIREBALL,
    CURE,
    ICE_WARD,
    // What the built-in monsters cast.
    STONE_SHARD = 21,
    SHOCK = 24,
    SPIT = 28,
    WEAKEN = 66,
    FROST_BREATH = 67,
    REGROW = 198,
    SPELL_COUNT = REGROW,
};

SpellDat SampleSpells() {
    SpellDat dat;
    dat.numspells = SPELL_COUNT;
    dat.spells = {
        {FIREBOLT, "Bolt", "Firebolt",
         {{"fatigue", 30}, {"min_fatigue", 10}, {"power", 2}, {"cast_sound", 12}, {"fire_timer", 900},
          {"overlay", 2}, {"imagenum", 40}, {"death_imagenum", 41}, {"effect_imagenum", 42}, {"width", 24},
          {"tall", 24}, {"min_damage", 4}, {"max_damage", 12}, {"damage_dice", 6}, {"damage_num_dice", 2},
          {"damage_base", 2}, {"range", 1024}, {"max_timer", 400}, {"object_spacing", 32},
          {"cast_distance", 32}, {"leading_edge_imagenum", 43}, {"duration_timer", 300}, {"effect_sound", 13},
          {"element", 1}, {"skill_used", 1}}},
        {MAGIC_MISSILE, "Projectile", "Magic Missile",
         {{"fatigue", 20}, {"min_fatigue", 8}, {"power", 1}, {"cast_sound", 10}, {"fire_timer", 700},
          {"overlay", 1}, {"imagenum", 30}, {"death_imagenum", 31}, {"width", 16}, {"tall", 16},
          {"light_pattern", 1}, {"light_glow", 1}, {"min_damage", 2}, {"max_damage", 8}, {"damage_dice", 4},
          {"damage_num_dice", 2}, {"damage_base", 0}, {"velocity", 512}, {"z_velocity", 0}, {"sound", 11},
          {"hit_sound", 14}, {"element", 9}}},
        {STONE_WALL, "Wall", "Stone Wall",
         {{"fatigue", 40}, {"min_fatigue", 15}, {"power", 3}, {"cast_sound", 15}, {"fire_timer", 1200},
          {"overlay", 3}, {"texturenum", 5}, {"length", 192}, {"wallheight", 64}, {"max_wallheight", 128},
          {"duration_timer", 20000}, {"thick", 16}, {"cast_distance", 160}, {"hit_points", 60},
          {"element", 6}}},
        {HEAL, "Heal", "Heal",
         {{"fatigue", 25}, {"min_fatigue", 10}, {"power", 2}, {"cast_sound", 16}, {"fire_timer", 800},
          {"overlay", 4}, {"min", 5}, {"max", 15}}},
        {BLESS, "Effect", "Bless",
         {{"fatigue", 20}, {"power", 1}, {"cast_sound", 17}, {"overlay", 4}, {"effect", 3}, {"duration", 30000},
          {"level", 2}, {"overlay_imagenum", 60}, {"overlay_duration", 1000}}},
        {WILL_O_WISP, "Summon", "Will o' Wisp",
         {{"fatigue", 35}, {"power", 2}, {"cast_sound", 18}, {"overlay", 5}, {"imagenum", 70}, {"width", 20},
          {"tall", 20}, {"gravity", 0}, {"light_pattern", 2}, {"light_glow", 1}, {"duration_timer", 15000},
          {"min_damage", 1}, {"max_damage", 4}, {"num_objects", 1}, {"sound", 19}, {"element", 3}}},
        {DRAIN, "Target", "Drain",
         {{"fatigue", 30}, {"power", 2}, {"cast_sound", 20}, {"overlay", 6}, {"min_damage", 3}, {"max_damage", 9},
          {"damage_dice", 4}, {"damage_num_dice", 2}, {"damage_base", 1}, {"min_power_drain", 1},
          {"max_power_drain", 3}, {"range", 640}, {"target_spell_effect", SLOW}, {"effect_sound", 21},
          {"element", 10}}},
        {DISPELL, "Dispell", "Dispell",
         {{"fatigue", 30}, {"power", 3}, {"cast_sound", 22}, {"overlay", 6}, {"dispell_type", 1}, {"range", 512},
          {"level", 3}, {"effect_sound", 23}}},
        {BLINK, "Teleport", "Blink",
         {{"fatigue", 45}, {"power", 4}, {"cast_sound", 24}, {"overlay", 5}, {"teleport_type", 1},
          {"caster_spell_effect", BLESS}}},
        {FIRE_RUNE, "Rune", "Fire Rune",
         {{"fatigue", 35}, {"power", 3}, {"cast_sound", 25}, {"overlay", 3}, {"imagenum", 80},
          {"death_imagenum", 81}, {"width", 32}, {"tall", 8}, {"duration_timer", 60000}, {"effect_radius", 96},
          {"min_damage", 6}, {"max_damage", 18}, {"damage_dice", 6}, {"damage_num_dice", 3}, {"damage_base", 0},
          {"death_effect", 1}, {"death_spell_effect", FIREBALL}, {"sound", 26}, {"death_sound", 27},
          {"death_sound_range", 900}, {"element", 1}, {"rune_type", 1}}},
        {SLOW, "Effect", "Slow",
         {{"fatigue", 20}, {"power", 1}, {"cast_sound", 17}, {"overlay", 6}, {"effect", 11}, {"duration", 8000},
          {"level", 1}}},
        {FIREBALL, "Projectile", "Fireball",
         {{"fatigue", 50}, {"min_fatigue", 20}, {"power", 4}, {"cast_sound", 10}, {"cast_timer", 1500},
          {"fire_timer", 1500}, {"overlay", 2}, {"imagenum", 32}, {"death_imagenum", 33}, {"width", 32},
          {"tall", 32}, {"light_pattern", 3}, {"light_glow", 1}, {"effect_radius", 128}, {"min_damage", 8},
          {"max_damage", 24}, {"damage_dice", 8}, {"damage_num_dice", 3}, {"damage_base", 2}, {"velocity", 384},
          {"z_velocity", 8}, {"gravity", 1}, {"sound", 11}, {"death_sound", 28}, {"death_sound_range", 1280},
          {"element", 1}}},
        {CURE, "Heal", "Cure",
         {{"fatigue", 40}, {"power", 3}, {"cast_sound", 16}, {"overlay", 4}, {"min", 15}, {"max", 40}}},
        {ICE_WARD, "Rune", "Ice Ward",
         {{"fatigue", 30}, {"power", 2}, {"cast_sound", 25}, {"overlay", 3}, {"imagenum", 82}, {"width", 32},
          {"tall", 48}, {"duration_timer", 45000}, {"element", 2}, {"rune_type", 2}}},
        {STONE_SHARD, "Projectile", "Stone Shard",
         {{"imagenum", 34}, {"death_imagenum", 35}, {"width", 12}, {"tall", 12}, {"damage_dice", 4},
          {"damage_num_dice", 1}, {"damage_base", 1}, {"velocity", 320}, {"duration_timer", 3000}, {"element", 6}}},
        {SHOCK, "Bolt", "Shock",
         {{"imagenum", 44}, {"effect_imagenum", 42}, {"width", 16}, {"tall", 16}, {"damage_dice", 4},
          {"damage_num_dice", 2}, {"damage_base", 0}, {"range", 512}, {"max_timer", 320}, {"object_spacing", 32},
          {"cast_distance", 32}, {"duration_timer", 200}, {"element", 5}}},
        {SPIT, "Projectile", "Spit",
         {{"imagenum", 36}, {"width", 8}, {"tall", 8}, {"damage_dice", 3}, {"damage_num_dice", 1},
          {"damage_base", 0}, {"velocity", 256}, {"z_velocity", 4}, {"gravity", 1}, {"duration_timer", 2500},
          {"bounce", 1}, {"max_bounces", 2}, {"element", 4}}},
        {WEAKEN, "Effect", "Weaken",
         {{"effect", 23}, {"duration", 4000}, {"level", 5}, {"period", 1000}, {"imagenum", 7},
          {"overlay_imagenum", 61}, {"overlay_duration", 500}, {"overlay_dur_type", 2}}},
        {FROST_BREATH, "Bolt", "Frost Breath",
         {{"imagenum", 45}, {"width", 24}, {"tall", 24}, {"damage_dice", 6}, {"damage_num_dice", 2},
          {"damage_base", 2}, {"range", 384}, {"max_timer", 240}, {"object_spacing", 48}, {"cast_distance", 24},
          {"hug_floor", 1}, {"duration_timer", 300}, {"element", 2}}},
        {REGROW, "Heal", "Regrow", {{"min", 5}, {"max", 10}}},
    };
    // Numbers no spell takes are written as empty sections.
    for (int n = 1; n <= SPELL_COUNT; ++n) {
        bool used = false;
        for (const SpellDatSpell& s : dat.spells)
            used |= s.number == n;
        if (!used)
            dat.spells.push_back({n, "None", "", {}});
    }
    dat.numlists = 5;
    dat.lists = {
        {1, "Elemental Fire", {MAGIC_MISSILE, 0, FIREBOLT, 0, FIREBALL, 0, 0, FIRE_RUNE}},
        {2, "Earth Lore", {STONE_WALL, 0, 0, BLINK, 0, DISPELL}},
        {3, "Healing Hands", {HEAL, BLESS, 0, 0, CURE}},
        {4, "Mind Ways", {DRAIN, 0, SLOW, 0, 0, WILL_O_WISP}},
        {5, "Runes and Wards", {FIRE_RUNE, 0, 0, ICE_WARD}},
    };
    const int professions[kProfessionCount][3] = {
        {1, 2, 4},  // magician
        {5, 2, 1},  // runemage
        {4, 3, 2},  // mystic
        {3, 4, 0},  // healer
    };
    for (int p = 0; p < kProfessionCount; ++p)
        for (int i = 0; i < 3; ++i)
            dat.professions[p][i] = professions[p][i];
    return dat;
}

bool WriteSpellFiles(const InstallContext& ctx) {
    const std::string datPath = ctx.Path(kSpellDatFile);
    const std::string binPath = ctx.Path(kSpellBinFile);
    if (!WriteTextFile(datPath, BuildSpellDat(SampleSpells())))
        return false;
    bool ok = LoadSpellDefs(datPath.c_str()) && SaveSpellFile(binPath.c_str());
    ClearSpellData();
    if (!ok)
        std::fprintf(stderr, "mkinstall: could not compile %s\n", datPath.c_str());
    return ok;
}

InstallStep g_step("spell files", 30, WriteSpellFiles);

}  // namespace
