#pragma once
// The spells: one object per spell number in SpellTable, of the class its type chooses. The
// objects carry the spell's parameters (from spell.dat or spell.bin) and its behaviour, and are
// read-only from start-up to shutdown. Also the spell lists and the professions' lists.

#include <cstdint>
#include <memory>

struct LocalPlayer;

constexpr int kSpellTableSize = 400;  // spell numbers 1 to 399
constexpr int kSpellNameSize = 20;
constexpr int kSpellListCount = 50;  // list numbers 1 to 49
constexpr int kSpellListNameSize = 56;
constexpr int kSpellListLevels = 30;
constexpr int kProfessionCount = 4;
constexpr int kProfessionListCount = 10;

enum SpellType {
    SPELL_NONE = 0,
    SPELL_PROJ = 1,
    SPELL_WALL = 2,
    SPELL_HEAL = 3,
    SPELL_EFFECT = 4,
    SPELL_OBJECT = 5,
    SPELL_BOLT = 6,
    SPELL_TARGET = 7,
    SPELL_DISPELL = 8,
    SPELL_TELEPORT = 9,
    SPELL_RUNE = 10,
};
constexpr int kSpellTypeCount = 10;

// Professions as game value #114 numbers them.
enum Profession {
    PROFESSION_MAGICIAN = 0,
    PROFESSION_RUNEMAGE = 1,
    PROFESSION_MYSTIC = 2,
    PROFESSION_HEALER = 3,
};

// Walks a class's own fields in the order of its spell.bin record, naming each by its spell.dat
// key; the spell file readers and writers are visitors.
class SpellFieldVisitor {
public:
    virtual ~SpellFieldVisitor() = default;
    virtual void Field(const char* key, int32_t& value) = 0;
    // spell.dat holds the value with the opposite sign.
    virtual void NegatedField(const char* key, int32_t& value) = 0;
    // A record word written as 0 and read back into a field that spell.dat does not set.
    virtual void Reserved(int32_t& value) = 0;
    // A spell.dat key with no field or record word of its own: when larger, it replaces
    // sound_range.
    virtual void RaisesSoundRange(const char* key, int32_t& soundRange) = 0;
};

class CSpell {
public:
    virtual ~CSpell() = default;
    // Behaviour comes with the arena simulation; where a class has none an operation returns 0.
    virtual int Cast(LocalPlayer& player);
    virtual int ObjectCast(int slot, int source);
    virtual int Detonate(int slot);
    virtual int AffectPlayer(LocalPlayer& player, int sourceId, int sendFlag);
    // The class's fields after the common ones; the base has none.
    virtual void DescribeFields(SpellFieldVisitor& visitor);

    int32_t type = SPELL_NONE;
    char name[kSpellNameSize] = {};
    int32_t fatigue = 100;
    int32_t min_fatigue = 10;
    int32_t power = 0;
    int32_t zero_word = 0;
    int32_t valid = 0;  // 1 once loaded; a spell whose word is 0 counts as no spell on the HUD
    int32_t num_cast_sounds = 0;
    int32_t cast_sound = 0;
    int32_t cast_sound_2 = 0;
    int32_t cast_sound_3 = 0;
    int32_t cast_sound_4 = 0;
    int32_t empty_sound = 0;
    int32_t switch_sound = 0;
    int32_t overlay = 0;
    int32_t spell_number = 0;
    int32_t fire_timer = 0;
    int32_t cast_timer = 0;
};

class CSpellProj : public CSpell {
public:
    int Cast(LocalPlayer& player) override;
    int ObjectCast(int slot, int source) override;
    int Detonate(int slot) override;
    void DescribeFields(SpellFieldVisitor& v) override;

    int32_t imagenum = 0, death_imagenum = 0, random_death_position = 0, center_death_image = 1;
    int32_t death_effect = 0, death_effect_range = 0, death_effect_chance = 100, death_spell_effect = 0;
    int32_t creation_effect = 0, width = 0, tall = 0, image_timer_max = 100, death_image_timer_max = 100;
    int32_t gravity = 0, light_pattern = 0, max_flicker = 0, light_glow = 0, sticky_light = 0;
    int32_t duration_timer = 0, trans_color = 0, death_trans_color = -1, effect_radius = 0, miss_sound = 0;
    int32_t min_damage = 0, max_damage = 0, damage_dice = 0, damage_num_dice = 0, damage_base = 0;
    int32_t min_power_drain = 0, max_power_drain = 0, velocity = 64, z_velocity = 0, cast_angle = 0;
    int32_t num_projectiles = 1, projectile_spacing = 64, side_by_side = 0, cast_distance = 64, elevation = 32;
    int32_t max_step = 0, translucent = 0, alignment_translucent = 0, death_translucent = 0;
    int32_t horizontal_spread = 0, vertical_spread = 0, sound = 0, sound_range = 640, death_sound = 0;
    int32_t hit_sound = 0, reserved_a = 0, effect_sound = 0, reserved_b = 0, death_frame_start = 0;
    int32_t element = 0, no_team = 0, skill_used = 0, bounce = 0, max_bounces = 0, bounce_effect = 0;
    int32_t death_bounce = 0, acceleration = 0, max_targets = 0, hit_effect = 0;
};

class CSpellWall : public CSpell {
public:
    int Cast(LocalPlayer& player) override;
    void DescribeFields(SpellFieldVisitor& v) override;

    int32_t texturenum = 1, length = 64, wallheight = 16, max_wallheight = 64, transparent = 0;
    int32_t trans_color = 0, duration_timer = 10000, thick = 16, cast_distance = 128, hug_floor = 0;
    int32_t collision_velocity = 1000, min_damage = 0, max_damage = 0, min_power_drain = 0;
    int32_t max_power_drain = 0, element = 0, hit_points = 0;
};

class CSpellHeal : public CSpell {
public:
    int Cast(LocalPlayer& player) override;
    int ObjectCast(int slot, int source) override;
    int AffectPlayer(LocalPlayer& player, int sourceId, int sendFlag) override;
    void DescribeFields(SpellFieldVisitor& v) override;

    int32_t min = 1, max = 1;
};

class CSpellEffect : public CSpell {
public:
    int Cast(LocalPlayer& player) override;
    int ObjectCast(int slot, int source) override;
    int AffectPlayer(LocalPlayer& player, int sourceId, int sendFlag) override;
    void DescribeFields(SpellFieldVisitor& v) override;

    int32_t effect = 0;  // the player-effect number, 0 to 39
    int32_t duration = 1000, level = 1, element = 0, imagenum = 0, image_timer = 0, period = 0;
    int32_t overlay_imagenum = 0, overlay_duration = 0, overlay_dur_type = 0, overlay_position = 0;
    int32_t overlay_facing = 0, overlay_color = 0, initial_overlay_imagenum = 0;
    int32_t initial_overlay_duration = 0, initial_overlay_position = 0, initial_overlay_facing = 0;
    int32_t initial_overlay_color = 0;
    int32_t creation_effect = 0;  // a second spell number
};

class CSpellObject : public CSpell {
public:
    int Cast(LocalPlayer& player) override;
    void DescribeFields(SpellFieldVisitor& v) override;

    int32_t imagenum = 0, death_imagenum = 0, width = 0, tall = 0, image_timer_max = 100;
    int32_t death_image_timer_max = 100, gravity = 1, light_pattern = 0, max_flicker = 0, light_glow = 0;
    int32_t sticky_light = 0, duration_timer = 10000, trans_color = 0, min_damage = 0, max_damage = 0;
    int32_t damage_dice = 0, damage_num_dice = 0, damage_base = 0, min_power_drain = 0;
    int32_t max_power_drain = 0, collision_velocity = 0, num_objects = 1, object_spacing = 0;
    int32_t object_layout = 0, cast_distance = 128, elevation = 0, translucent = 0, death_translucent = 0;
    int32_t sound = 0, sound_range = 640, death_sound = 0, reserved_a = 0, element = 0;
};

class CSpellBolt : public CSpell {
public:
    int Cast(LocalPlayer& player) override;
    int ObjectCast(int slot, int source) override;
    void DescribeFields(SpellFieldVisitor& v) override;

    int32_t imagenum = 0, death_imagenum = 0, death_imagenum_chance = 0, effect_imagenum = 0;
    int32_t leading_edge_imagenum = 0, death_effect = 0, death_effect_range = 0, death_effect_chance = 100;
    int32_t death_spell_effect = 0, creation_effect = 0, bolt_death_effect = 0, bolt_death_effect_range = 0;
    int32_t bolt_death_effect_chance = 100, width = 0, tall = 0, image_timer_max = 100;
    int32_t death_image_timer_max = 100, effect_image_timer_max = 100, effect_radius = 0, gravity = 0;
    int32_t light_pattern = 0, max_flicker = 0, light_glow = 0, sticky_light = 0, duration_timer = 1000;
    int32_t trans_color = 0, death_trans_color = -1, effect_trans_color = 0, min_damage = 0, max_damage = 0;
    int32_t damage_dice = 0, damage_num_dice = 0, damage_base = 0, min_power_drain = 0;
    int32_t max_power_drain = 0, num_objects = 0, object_spacing = 0, object_layout = 0, cast_distance = 0;
    int32_t elevation = 32, translucent = 0, death_translucent = 0, effect_translucent = 0;
    int32_t effect_sound = 0, effect_sound_range = 640, range = 0, max_timer = 0, element = 0;
    int32_t skill_used = 0, friendly = 0, hug_floor = 0;
};

class CSpellTarget : public CSpell {
public:
    int Cast(LocalPlayer& player) override;
    void DescribeFields(SpellFieldVisitor& v) override;

    int32_t caster_spell_effect = 0, target_spell_effect = 0;  // spell numbers
    int32_t miss_sound = 0, effect_sound = 0, effect_sound_range = 640, min_damage = 0, max_damage = 0;
    int32_t damage_dice = 0, damage_num_dice = 0, damage_base = 0, min_power_drain = 0;
    int32_t max_power_drain = 0, range = 0, element = 0, friendly = 0, group = 0, creation_effect = 0;
};

class CSpellDispell : public CSpell {
public:
    int Cast(LocalPlayer& player) override;
    void DescribeFields(SpellFieldVisitor& v) override;

    int32_t dispell_type = 0, range = 0, level = 0, effect_sound = 0, effect_sound_range = 640;
};

class CSpellTeleport : public CSpell {
public:
    int Cast(LocalPlayer& player) override;
    void DescribeFields(SpellFieldVisitor& v) override;

    int32_t teleport_type = 0, caster_spell_effect = 0;
};

class CSpellRune : public CSpell {
public:
    int Cast(LocalPlayer& player) override;
    int Detonate(int slot) override;
    void DescribeFields(SpellFieldVisitor& v) override;

    int32_t imagenum = 0, death_imagenum = 0, random_death_position = 0, center_death_image = 1;
    int32_t death_effect = 0, death_effect_range = 0, death_effect_chance = 100, death_spell_effect = 0;
    int32_t width = 0, tall = 0, image_timer_max = 100, death_image_timer_max = 100, gravity = 0;
    int32_t light_pattern = 0, max_flicker = 0, light_glow = 0, sticky_light = 0, duration_timer = 0;
    int32_t trans_color = 0, effect_radius = 0, miss_sound = 0, min_damage = 0, max_damage = 0;
    int32_t damage_dice = 0, damage_num_dice = 0, damage_base = 0, min_power_drain = 0;
    int32_t max_power_drain = 0, velocity = 64, z_velocity = 0, cast_angle = 0, num_projectiles = 1;
    int32_t projectile_spacing = 64, side_by_side = 0, cast_distance = 64, elevation = 32, max_step = 0;
    int32_t translucent = 0, alignment_translucent = 0, death_translucent = 0, horizontal_spread = 0;
    int32_t vertical_spread = 0, sound = 0, sound_range = 640, death_sound = 0, reserved_a = 0;
    int32_t effect_sound = 0, reserved_b = 0, death_frame_start = 0, element = 0, no_team = 0;
    int32_t collision_velocity = 1000;
    int32_t rune_type = 1;  // 1 rune, 2 ward, 3 cloud
};

// A new spell object of the class for the type (1 to 10), its type set; null for other types.
std::unique_ptr<CSpell> CreateSpell(int type);

struct SpellList {
    char name[kSpellListNameSize] = {};
    int32_t spells[kSpellListLevels] = {};  // the spell number offered at levels 1 to 30, 0 none
};

extern std::unique_ptr<CSpell> SpellTable[kSpellTableSize];
extern SpellList SpellListTable[kSpellListCount];
// Each profession's ten spell-list numbers, by profession number.
extern int32_t ProfessionListTable[kProfessionCount][kProfessionListCount];

// The spell of that number, or null (an empty entry or a number outside the table).
CSpell* GetSpell(int number);
// A loaded targeted spell of group 0: it goes to the target chosen on the HUD, which the HUD's
// target line shows and the frames keep up.
bool AimsAtHudTarget(const CSpell* spell);
// Stores the spell at its number, replacing what was there; numbers outside 1..399 are ignored.
void SetSpell(int number, std::unique_ptr<CSpell> spell);
// Empties the spell table.
void FreeSpells();
// Empties the spell table, the spell lists and the professions' lists.
void ClearSpellData();

// Start-up: at privilege level 5 with a spell.dat, compiles it (spells.txt, spell.bin) and loads
// the result; at level 5 without it, loads spell.bin and writes spells.txt; otherwise loads
// spell.bin. 1 on success, else 0.
int LoadSpellData(int privilegeLevel);
