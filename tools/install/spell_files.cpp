// spell.dat with spells of every type, their lists and the professions' lists, and spell.bin
// compiled from it by the client's own loader and saver.

#include <cstdio>

#include "client/arena/spell.h"
#include "client/arena/spell_defs.h"
#include "client/arena/spell_file.h"
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
    // Projectiles in each layout, and the kinds of flight.
    ICE_DARTS,    // 15: layout 0, a file
    SPARK_FAN,    // a row
    HAILSTORM,    // a cross of four
    FIRE_PILLAR,  // a column
    STONE_RAIN,   // two rows
    EMBER_WALL,   // two columns
    TWIN_LANCE = 22,  // two files
    PIERCING_RAY,     // passes through three targets
    SKULL_BOUNCE = 25,  // dies into bouncing remains
    SHRAPNEL,           // spread from where a shell bursts
    SHELL,
    // What the built-in monsters cast.
    STONE_SHARD = 21,
    SHOCK = 24,
    SPIT = 28,
    // Runes that are not runes.
    POISON_CLOUD = 29,
    // Effects on the player, one for each the game knows how to show or feel.
    FORESIGHT,      // 30: effect 4
    LEAP,           // 7
    LEVITATE,       // 8
    FLIGHT,         // 10
    CONCEAL,        // 12
    SHADOW_WALK,    // 13
    HASTE_EFFECT,   // 16
    FADE,           // 17
    SPRING,         // 20
    LAST_BREATH,    // 21
    EXHAUST,        // 22
    BEWILDER,       // 24
    CLEANSE,        // 25
    WARD_EFFECT,    // 26
    PROTECT,        // 27
    FOG,            // 29
    FLOAT,          // 32
    // Target groups, dispells and teleports besides the first.
    SEEK_FRIEND,    // 47: group 1
    SEEK_ALLY,      // group 2
    UNWEAVE_RUNE,   // dispell 3
    UNWEAVE_ALL,    // dispell 6
    RECALL,         // teleport 2
    SPIRIT_WALK,    // teleport 3
    STONE_CIRCLE,   // objects in a row
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
    // The projectile layouts, each with as many as it is made for.
    const struct {
        int number, layout, count;
        const char* name;
    } layouts[] = {{ICE_DARTS, 0, 3, "Ice Darts"},     {SPARK_FAN, 1, 3, "Spark Fan"},
                   {HAILSTORM, 2, 4, "Hailstorm"},     {FIRE_PILLAR, 3, 3, "Fire Pillar"},
                   {STONE_RAIN, 4, 5, "Stone Rain"},   {EMBER_WALL, 5, 4, "Ember Wall"},
                   {TWIN_LANCE, 6, 4, "Twin Lance"}};
    for (const auto& l : layouts)
        dat.spells.push_back({l.number, "Projectile", l.name,
                              {{"fatigue", 30}, {"power", 2}, {"cast_sound", 10}, {"fire_timer", 900},
                               {"overlay", 1}, {"imagenum", 30}, {"death_imagenum", 31}, {"width", 12},
                               {"tall", 12}, {"damage_dice", 4}, {"damage_num_dice", 1}, {"damage_base", 1},
                               {"velocity", 448}, {"duration_timer", 2500}, {"num_projectiles", l.count},
                               {"projectile_spacing", 24}, {"side_by_side", l.layout}, {"cast_distance", 48},
                               {"element", 9}}});
    dat.spells.push_back({PIERCING_RAY, "Projectile", "Piercing Ray",
                          {{"fatigue", 35}, {"power", 3}, {"cast_sound", 10}, {"overlay", 2}, {"imagenum", 32},
                           {"width", 8}, {"tall", 8}, {"damage_dice", 6}, {"damage_num_dice", 2},
                           {"velocity", 640}, {"duration_timer", 2000}, {"max_targets", 3}, {"element", 5}}});
    dat.spells.push_back({SKULL_BOUNCE, "Projectile", "Skull Bounce",
                          {{"fatigue", 30}, {"power", 2}, {"cast_sound", 10}, {"overlay", 2}, {"imagenum", 34},
                           {"death_imagenum", 0}, {"width", 12}, {"tall", 12}, {"damage_dice", 6},
                           {"damage_num_dice", 1}, {"velocity", 384}, {"duration_timer", 3000},
                           {"gravity", 1}, {"death_bounce", 1}, {"death_image_timer_max", 120},
                           {"element", 6}}});
    dat.spells.push_back({SHRAPNEL, "Projectile", "Shrapnel",
                          {{"imagenum", 36}, {"width", 6}, {"tall", 6}, {"damage_dice", 3},
                           {"damage_num_dice", 1}, {"velocity", 320}, {"duration_timer", 800},
                           {"num_projectiles", 6}, {"projectile_spacing", 8}, {"side_by_side", 1},
                           {"cast_distance", 8}, {"horizontal_spread", 1024}, {"vertical_spread", 20},
                           {"element", 6}}});
    dat.spells.push_back({SHELL, "Projectile", "Shell",
                          {{"fatigue", 40}, {"power", 3}, {"cast_sound", 10}, {"overlay", 2}, {"imagenum", 33},
                           {"death_imagenum", 31}, {"width", 16}, {"tall", 16}, {"damage_dice", 4},
                           {"damage_num_dice", 2}, {"velocity", 256}, {"z_velocity", -4}, {"gravity", 1},
                           {"duration_timer", 1500}, {"death_spell_effect", SHRAPNEL}, {"bounce", 6},
                           {"max_bounces", 2}, {"sound", 11}, {"element", 6}}});
    dat.spells.push_back({POISON_CLOUD, "Rune", "Poison Cloud",
                          {{"fatigue", 35}, {"power", 3}, {"cast_sound", 25}, {"overlay", 3}, {"imagenum", 82},
                           {"width", 48}, {"tall", 40}, {"duration_timer", 20000}, {"effect_radius", 64},
                           {"damage_dice", 4}, {"damage_num_dice", 1}, {"translucent", 1}, {"element", 4},
                           {"rune_type", 3}}});
    // Effects: number, duration, level; a period on those that act again while they last.
    const struct {
        int number, effect, duration, level, period;
        const char* name;
    } effects[] = {
        {FORESIGHT, 4, 20000, 1, 0, "Foresight"},   {LEAP, 7, 15000, 100, 0, "Leap"},
        {LEVITATE, 8, 10000, 120, 0, "Levitate"},   {FLIGHT, 10, 8000, 150, 0, "Flight"},
        {CONCEAL, 12, 20000, 3, 0, "Conceal"},      {SHADOW_WALK, 13, 20000, 2, 0, "Shadow Walk"},
        {HASTE_EFFECT, 16, 10000, 2, 0, "Haste"},   {FADE, 17, 15000, 4, 0, "Fade"},
        {SPRING, 20, 10000, 80, 0, "Spring"},       {LAST_BREATH, 21, 5000, 5, 0, "Last Breath"},
        {EXHAUST, 22, 0, 25, 0, "Exhaust"},         {BEWILDER, 24, 6000, 45, 1500, "Bewilder"},
        {CLEANSE, 25, 0, 1, 0, "Cleanse"},          {WARD_EFFECT, 26, 30000, 2, 0, "Ward"},
        {PROTECT, 27, 30000, 3, 0, "Protect"},      {FOG, 29, 12000, 2, 0, "Fog"},
        {FLOAT, 32, 10000, 90, 0, "Float"},
    };
    for (const auto& e : effects) {
        SpellDatSpell spell{e.number, "Effect", e.name,
                            {{"fatigue", 20}, {"power", 1}, {"cast_sound", 17}, {"overlay", 4}, {"effect", e.effect},
                             {"duration", e.duration}, {"level", e.level}, {"imagenum", 7},
                             {"overlay_imagenum", 60}, {"overlay_duration", 800}}};
        if (e.period)
            spell.keys.push_back({"period", e.period});
        dat.spells.push_back(spell);
    }
    dat.spells.push_back({SEEK_FRIEND, "Target", "Seek Friend",
                          {{"fatigue", 20}, {"power", 1}, {"cast_sound", 20}, {"overlay", 6}, {"range", 384},
                           {"group", 1}, {"target_spell_effect", PROTECT}, {"friendly", 1}}});
    dat.spells.push_back({SEEK_ALLY, "Target", "Seek Ally",
                          {{"fatigue", 20}, {"power", 1}, {"cast_sound", 20}, {"overlay", 6}, {"range", 384},
                           {"group", 2}, {"target_spell_effect", WARD_EFFECT}, {"friendly", 1}}});
    dat.spells.push_back({UNWEAVE_RUNE, "Dispell", "Unweave Rune",
                          {{"fatigue", 25}, {"power", 2}, {"cast_sound", 22}, {"overlay", 6}, {"dispell_type", 3},
                           {"range", 256}, {"level", 2}, {"effect_sound", 23}}});
    dat.spells.push_back({UNWEAVE_ALL, "Dispell", "Unweave All",
                          {{"fatigue", 40}, {"power", 4}, {"cast_sound", 22}, {"overlay", 6}, {"dispell_type", 6},
                           {"range", 256}, {"level", 4}, {"effect_sound", 23}}});
    dat.spells.push_back({RECALL, "Teleport", "Recall",
                          {{"fatigue", 45}, {"power", 4}, {"cast_sound", 24}, {"overlay", 5}, {"teleport_type", 2}}});
    dat.spells.push_back({SPIRIT_WALK, "Teleport", "Spirit Walk",
                          {{"fatigue", 45}, {"power", 4}, {"cast_sound", 24}, {"overlay", 5}, {"teleport_type", 3},
                           {"caster_spell_effect", FADE}}});
    dat.spells.push_back({STONE_CIRCLE, "Summon", "Standing Stones",
                          {{"fatigue", 35}, {"power", 2}, {"cast_sound", 18}, {"overlay", 5}, {"imagenum", 71},
                           {"width", 24}, {"tall", 48}, {"duration_timer", 20000}, {"num_objects", 3},
                           {"object_spacing", 48}, {"object_layout", 1}, {"cast_distance", 96},
                           {"element", 6}}});
    // Numbers no spell takes are written as empty sections.
    for (int n = 1; n <= SPELL_COUNT; ++n) {
        bool used = false;
        for (const SpellDatSpell& s : dat.spells)
            used |= s.number == n;
        if (!used)
            dat.spells.push_back({n, "None", "", {}});
    }
    dat.numlists = 9;
    dat.lists = {
        {1, "Elemental Fire", {MAGIC_MISSILE, 0, FIREBOLT, 0, FIREBALL, 0, 0, FIRE_RUNE}},
        {2, "Earth Lore", {STONE_WALL, 0, 0, BLINK, 0, DISPELL}},
        {3, "Healing Hands", {HEAL, BLESS, 0, 0, CURE}},
        {4, "Mind Ways", {DRAIN, 0, SLOW, 0, 0, WILL_O_WISP}},
        {5, "Runes and Wards", {FIRE_RUNE, 0, 0, ICE_WARD, 0, POISON_CLOUD, UNWEAVE_RUNE}},
        {6, "Storm Arts", {ICE_DARTS, SPARK_FAN, HAILSTORM, FIRE_PILLAR, STONE_RAIN, EMBER_WALL, TWIN_LANCE,
                           PIERCING_RAY, SKULL_BOUNCE, SHELL}},
        {7, "Body Ways", {FORESIGHT, LEAP, LEVITATE, FLIGHT, SPRING, HASTE_EFFECT, FLOAT, EXHAUST, BEWILDER,
                          LAST_BREATH}},
        {8, "Veils", {CONCEAL, SHADOW_WALK, FADE, FOG, CLEANSE, WARD_EFFECT, PROTECT}},
        {9, "Paths", {SEEK_FRIEND, SEEK_ALLY, RECALL, SPIRIT_WALK, UNWEAVE_ALL, STONE_CIRCLE}},
    };
    const int professions[kProfessionCount][5] = {
        {1, 2, 4, 6, 7},  // magician
        {5, 2, 1, 6, 8},  // runemage
        {4, 3, 2, 8, 9},  // mystic
        {3, 4, 0, 7, 9},  // healer
    };
    for (int p = 0; p < kProfessionCount; ++p)
        for (int i = 0; i < 5; ++i)
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
