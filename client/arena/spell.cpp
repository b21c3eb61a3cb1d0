#include "client/arena/spell.h"

#include <cstdio>

#include "client/arena/spell_defs.h"
#include "client/arena/spell_file.h"
#include "platform/fs/fs.h"

std::unique_ptr<CSpell> SpellTable[kSpellTableSize];
SpellList SpellListTable[kSpellListCount];
int32_t ProfessionListTable[kProfessionCount][kProfessionListCount];

// ---- Behaviour: the casting classes fill these in with the arena simulation ----------------

int CSpell::Cast(LocalPlayer&) {
    return 0;
}

int CSpell::ObjectCast(int, int) {
    return 0;
}

int CSpell::Detonate(int) {
    return 0;
}

int CSpell::AffectPlayer(LocalPlayer&, int, int) {
    return 0;
}

void CSpell::DescribeFields(SpellFieldVisitor&) {}


// ---- Fields, in the order of each type's spell.bin record ------------------------------------

namespace {

// Runs of fields that several classes keep in the same order.
template <class S>
void DescribeLook(SpellFieldVisitor& v, S& s) {
    v.Field("imagenum", s.imagenum);
    v.Field("death_imagenum", s.death_imagenum);
    v.Field("width", s.width);
    v.Field("tall", s.tall);
    v.Field("image_timer_max", s.image_timer_max);
    v.Field("death_image_timer_max", s.death_image_timer_max);
    v.Field("gravity", s.gravity);
    v.Field("light_pattern", s.light_pattern);
    v.Field("max_flicker", s.max_flicker);
    v.Field("light_glow", s.light_glow);
    v.Field("sticky_light", s.sticky_light);
    v.Field("duration_timer", s.duration_timer);
    v.Field("trans_color", s.trans_color);
}

template <class S>
void DescribeDamage(SpellFieldVisitor& v, S& s) {
    v.Field("min_damage", s.min_damage);
    v.Field("max_damage", s.max_damage);
    v.Field("damage_dice", s.damage_dice);
    v.Field("damage_num_dice", s.damage_num_dice);
    v.Field("damage_base", s.damage_base);
    v.Field("min_power_drain", s.min_power_drain);
    v.Field("max_power_drain", s.max_power_drain);
}

// Projectiles and runes: flight, placement and what their end makes.
template <class S>
void DescribeFlight(SpellFieldVisitor& v, S& s) {
    v.Field("velocity", s.velocity);
    v.NegatedField("z_velocity", s.z_velocity);
    v.Field("cast_angle", s.cast_angle);
    v.Field("num_projectiles", s.num_projectiles);
    v.Field("projectile_spacing", s.projectile_spacing);
    v.Field("side_by_side", s.side_by_side);
    v.Field("cast_distance", s.cast_distance);
    v.Field("elevation", s.elevation);
    v.Field("max_step", s.max_step);
    v.Field("translucent", s.translucent);
    v.Field("alignment_translucent", s.alignment_translucent);
    v.Field("death_translucent", s.death_translucent);
    v.Field("random_death_position", s.random_death_position);
    v.Field("center_death_image", s.center_death_image);
    v.Field("death_effect", s.death_effect);
    v.Field("death_effect_range", s.death_effect_range);
    v.Field("death_effect_chance", s.death_effect_chance);
    v.Field("death_spell_effect", s.death_spell_effect);
}

template <class S>
void DescribeSounds(SpellFieldVisitor& v, S& s) {
    v.Field("horizontal_spread", s.horizontal_spread);
    v.Field("vertical_spread", s.vertical_spread);
    v.Field("sound", s.sound);
    v.Field("sound_range", s.sound_range);
    v.RaisesSoundRange("death_sound_range", s.sound_range);
    v.RaisesSoundRange("effect_sound_range", s.sound_range);
    v.Field("death_sound", s.death_sound);
}

}  // namespace

void CSpellProj::DescribeFields(SpellFieldVisitor& v) {
    DescribeLook(v, *this);
    v.Field("death_trans_color", death_trans_color);
    v.Field("effect_radius", effect_radius);
    v.Field("miss_sound", miss_sound);
    DescribeDamage(v, *this);
    DescribeFlight(v, *this);
    v.Field("creation_effect", creation_effect);
    DescribeSounds(v, *this);
    v.Field("hit_sound", hit_sound);
    v.Reserved(reserved_a);
    v.Field("effect_sound", effect_sound);
    v.Reserved(reserved_b);
    v.Field("death_frame_start", death_frame_start);
    v.Field("element", element);
    v.Field("no_team", no_team);
    v.Field("skill_used", skill_used);
    v.Field("bounce", bounce);
    v.Field("max_bounces", max_bounces);
    v.Field("bounce_effect", bounce_effect);
    v.Field("death_bounce", death_bounce);
    v.Field("max_targets", max_targets);
    v.Field("acceleration", acceleration);
    v.Field("hit_effect", hit_effect);
}

void CSpellWall::DescribeFields(SpellFieldVisitor& v) {
    v.Field("texturenum", texturenum);
    v.Field("length", length);
    v.Field("wallheight", wallheight);
    v.Field("max_wallheight", max_wallheight);
    v.Field("transparent", transparent);
    v.Field("trans_color", trans_color);
    v.Field("duration_timer", duration_timer);
    v.Field("thick", thick);
    v.Field("cast_distance", cast_distance);
    v.Field("hug_floor", hug_floor);
    v.Field("min_damage", min_damage);
    v.Field("max_damage", max_damage);
    v.Field("min_power_drain", min_power_drain);
    v.Field("max_power_drain", max_power_drain);
    v.Field("collision_velocity", collision_velocity);
    v.Field("element", element);
    v.Field("hit_points", hit_points);
}

void CSpellHeal::DescribeFields(SpellFieldVisitor& v) {
    v.Field("min", min);
    v.Field("max", max);
}

void CSpellEffect::DescribeFields(SpellFieldVisitor& v) {
    v.Field("effect", effect);
    v.Field("duration", duration);
    v.Field("level", level);
    v.Field("element", element);
    v.Field("imagenum", imagenum);
    v.Field("image_timer", image_timer);
    v.Field("period", period);
    v.Field("overlay_imagenum", overlay_imagenum);
    v.Field("overlay_duration", overlay_duration);
    v.Field("overlay_dur_type", overlay_dur_type);
    v.Field("overlay_position", overlay_position);
    v.Field("overlay_facing", overlay_facing);
    v.Field("overlay_color", overlay_color);
    v.Field("initial_overlay_imagenum", initial_overlay_imagenum);
    v.Field("initial_overlay_duration", initial_overlay_duration);
    v.Field("initial_overlay_position", initial_overlay_position);
    v.Field("initial_overlay_facing", initial_overlay_facing);
    v.Field("initial_overlay_color", initial_overlay_color);
    v.Field("creation_effect", creation_effect);
}

void CSpellObject::DescribeFields(SpellFieldVisitor& v) {
    DescribeLook(v, *this);
    DescribeDamage(v, *this);
    v.Field("collision_velocity", collision_velocity);
    v.Field("num_objects", num_objects);
    v.Field("object_spacing", object_spacing);
    v.Field("object_layout", object_layout);
    v.Field("cast_distance", cast_distance);
    v.Field("elevation", elevation);
    v.Field("translucent", translucent);
    v.Field("death_translucent", death_translucent);
    v.Field("sound", sound);
    v.Field("sound_range", sound_range);
    v.Field("death_sound", death_sound);
    v.RaisesSoundRange("death_sound_range", sound_range);
    v.Reserved(reserved_a);
    v.Field("element", element);
}

void CSpellBolt::DescribeFields(SpellFieldVisitor& v) {
    v.Field("imagenum", imagenum);
    v.Field("death_imagenum", death_imagenum);
    v.Field("death_imagenum_chance", death_imagenum_chance);
    v.Field("effect_imagenum", effect_imagenum);
    v.Field("leading_edge_imagenum", leading_edge_imagenum);
    v.Field("width", width);
    v.Field("tall", tall);
    v.Field("image_timer_max", image_timer_max);
    v.Field("death_image_timer_max", death_image_timer_max);
    v.Field("effect_image_timer_max", effect_image_timer_max);
    v.Field("gravity", gravity);
    v.Field("light_pattern", light_pattern);
    v.Field("max_flicker", max_flicker);
    v.Field("light_glow", light_glow);
    v.Field("sticky_light", sticky_light);
    v.Field("duration_timer", duration_timer);
    v.Field("trans_color", trans_color);
    v.Field("death_trans_color", death_trans_color);
    v.Field("effect_trans_color", effect_trans_color);
    v.Field("effect_radius", effect_radius);
    DescribeDamage(v, *this);
    v.Field("num_objects", num_objects);
    v.Field("object_spacing", object_spacing);
    v.Field("object_layout", object_layout);
    v.Field("cast_distance", cast_distance);
    v.Field("elevation", elevation);
    v.Field("translucent", translucent);
    v.Field("death_translucent", death_translucent);
    v.Field("effect_translucent", effect_translucent);
    v.Field("range", range);
    v.Field("max_timer", max_timer);
    v.Field("death_effect", death_effect);
    v.Field("death_effect_range", death_effect_range);
    v.Field("death_effect_chance", death_effect_chance);
    v.Field("death_spell_effect", death_spell_effect);
    v.Field("creation_effect", creation_effect);
    v.Field("bolt_death_effect", bolt_death_effect);
    v.Field("bolt_death_effect_range", bolt_death_effect_range);
    v.Field("bolt_death_effect_chance", bolt_death_effect_chance);
    v.Field("effect_sound", effect_sound);
    v.Field("effect_sound_range", effect_sound_range);
    v.Field("element", element);
    v.Field("skill_used", skill_used);
    v.Field("friendly", friendly);
    v.Field("hug_floor", hug_floor);
}

void CSpellTarget::DescribeFields(SpellFieldVisitor& v) {
    DescribeDamage(v, *this);
    v.Field("range", range);
    v.Field("caster_spell_effect", caster_spell_effect);
    v.Field("target_spell_effect", target_spell_effect);
    v.Field("effect_sound", effect_sound);
    v.Field("effect_sound_range", effect_sound_range);
    v.Field("miss_sound", miss_sound);
    v.Field("element", element);
    v.Field("friendly", friendly);
    v.Field("group", group);
    v.Field("creation_effect", creation_effect);
}

void CSpellDispell::DescribeFields(SpellFieldVisitor& v) {
    v.Field("dispell_type", dispell_type);
    v.Field("range", range);
    v.Field("level", level);
    v.Field("effect_sound", effect_sound);
    v.Field("effect_sound_range", effect_sound_range);
}

void CSpellTeleport::DescribeFields(SpellFieldVisitor& v) {
    v.Field("teleport_type", teleport_type);
    v.Field("caster_spell_effect", caster_spell_effect);
}

void CSpellRune::DescribeFields(SpellFieldVisitor& v) {
    DescribeLook(v, *this);
    v.Field("effect_radius", effect_radius);
    v.Field("miss_sound", miss_sound);
    DescribeDamage(v, *this);
    DescribeFlight(v, *this);
    DescribeSounds(v, *this);
    v.Reserved(reserved_a);
    v.Field("effect_sound", effect_sound);
    v.Reserved(reserved_b);
    v.Field("death_frame_start", death_frame_start);
    v.Field("element", element);
    v.Field("no_team", no_team);
    v.Field("collision_velocity", collision_velocity);
    v.Field("rune_type", rune_type);
}

// ---- The table -------------------------------------------------------------------------------

std::unique_ptr<CSpell> CreateSpell(int type) {
    std::unique_ptr<CSpell> spell;
    switch (type) {
    case SPELL_PROJ: spell = std::make_unique<CSpellProj>(); break;
    case SPELL_WALL: spell = std::make_unique<CSpellWall>(); break;
    case SPELL_HEAL: spell = std::make_unique<CSpellHeal>(); break;
    case SPELL_EFFECT: spell = std::make_unique<CSpellEffect>(); break;
    case SPELL_OBJECT: spell = std::make_unique<CSpellObject>(); break;
    case SPELL_BOLT: spell = std::make_unique<CSpellBolt>(); break;
    case SPELL_TARGET: spell = std::make_unique<CSpellTarget>(); break;
    case SPELL_DISPELL: spell = std::make_unique<CSpellDispell>(); break;
    case SPELL_TELEPORT: spell = std::make_unique<CSpellTeleport>(); break;
    case SPELL_RUNE: spell = std::make_unique<CSpellRune>(); break;
    default: return nullptr;
    }
    spell->type = type;
    return spell;
}

CSpell* GetSpell(int number) {
    if (number < 1 || number >= kSpellTableSize)
        return nullptr;
    return SpellTable[number].get();
}

bool AimsAtHudTarget(const CSpell* spell) {
    return spell && spell->valid && spell->type == SPELL_TARGET && static_cast<const CSpellTarget*>(spell)->group == 0;
}

void SetSpell(int number, std::unique_ptr<CSpell> spell) {
    if (number < 1 || number >= kSpellTableSize)
        return;
    SpellTable[number] = std::move(spell);
}

void FreeSpells() {
    for (auto& spell : SpellTable)
        spell.reset();
}

void ClearSpellData() {
    FreeSpells();
    for (SpellList& list : SpellListTable)
        list = SpellList{};
    for (auto& lists : ProfessionListTable)
        for (int32_t& list : lists)
            list = 0;
}

namespace {

bool CanRead(const char* path) {
    FILE* f = platform::OpenGameFile(path, "r");
    if (!f)
        return false;
    std::fclose(f);
    return true;
}

}  // namespace

int LoadSpellData(int privilegeLevel) {
    if (privilegeLevel == 5 && CanRead(kSpellDatFile)) {
        if (!LoadSpellDefs(kSpellDatFile))
            return 0;
        DumpSpellLists();
        SaveSpellFile(kSpellBinFile);
        return LoadSpellFile(kSpellBinFile) ? 1 : 0;
    }
    if (!LoadSpellFile(kSpellBinFile))
        return 0;
    if (privilegeLevel == 5)
        DumpSpellLists();
    return 1;
}
