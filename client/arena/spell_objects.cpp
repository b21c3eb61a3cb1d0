#include "client/arena/spell_objects.h"

#include <algorithm>
#include <type_traits>

#include "client/arena/spell.h"
#include "client/arena/world_object.h"
#include "client/screens/chat_buffer.h"

namespace {

// A life the object update never runs down.
constexpr int32_t kEndlessLife = 268435455;

template <typename Field>
void Put(Field& field, int32_t value) {
    field = static_cast<std::remove_reference_t<Field>>(value);
}

int32_t Life(int32_t duration) {
    return duration == -1 ? kEndlessLife : duration;
}

// The image, light and lifetime keys of every spell that makes objects.
template <typename Spell>
void CopyLook(WorldObject& o, const Spell& s) {
    Put(o.imagenum, s.imagenum);
    Put(o.death_imagenum, s.death_imagenum);
    Put(o.width, s.width);
    Put(o.tall, s.tall);
    Put(o.image_timer_max, s.image_timer_max);
    Put(o.death_image_timer_max, s.death_image_timer_max);
    o.image_timer = 0;
    o.image_frame = 0;
    o.image_cycles = 0;
    Put(o.gravity, s.gravity);
    Put(o.light_pattern, s.light_pattern);
    Put(o.max_flicker, s.max_flicker);
    Put(o.light_glow, s.light_glow);
    Put(o.sticky_light, s.sticky_light);
    o.duration_timer = Life(s.duration_timer);
}

// The image and light keys projectiles, runes and placed objects share.
template <typename Spell>
void CopyCommon(WorldObject& o, const Spell& s) {
    CopyLook(o, s);
    Put(o.min_damage, s.min_damage);
    Put(o.max_damage, s.max_damage);
    Put(o.damage_dice, s.damage_dice);
    Put(o.damage_num_dice, s.damage_num_dice);
    Put(o.damage_base, s.damage_base);
    Put(o.min_power_drain, s.min_power_drain);
    Put(o.max_power_drain, s.max_power_drain);
    Put(o.translucent, s.translucent);
    Put(o.death_translucent, s.death_translucent);
    Put(o.sound, s.sound);
    Put(o.sound_range, s.sound_range);
    Put(o.death_sound, s.death_sound);
    Put(o.element, s.element);
}

// What projectiles and runes share beyond the common keys.
template <typename Spell>
void CopyThrown(WorldObject& o, const Spell& s) {
    CopyCommon(o, s);
    Put(o.trans_color, s.trans_color);
    Put(o.base_trans_color, s.trans_color);
    Put(o.effect_radius, s.effect_radius);
    Put(o.miss_sound, s.miss_sound);
    Put(o.max_step, s.max_step);
    Put(o.alignment_translucent, s.alignment_translucent);
    Put(o.random_death_position, s.random_death_position);
    Put(o.center_death_image, s.center_death_image);
    Put(o.death_effect, s.death_effect);
    Put(o.death_effect_range, s.death_effect_range);
    Put(o.death_effect_chance, s.death_effect_chance);
    Put(o.death_spell_effect, s.death_spell_effect);
    Put(o.effect_sound, s.effect_sound);
    Put(o.death_frame_start, s.death_frame_start);
}

// Counts and distances come from the spell file: no cast makes more objects than the table holds,
// and nothing lies further off than the world is wide, so the layout's sums stay in range.
int ClampCount(int n) {
    return std::clamp(n, 0, kWorldObjectSlots);
}

}  // namespace

int ClampSpan(int v) {
    return std::clamp(v, -65536, 65536);
}

ProjectileLayout::ProjectileLayout(int layout, int n, int s, int d)
    : layout_(layout), n_(ClampCount(n)), s_(ClampSpan(s)), d_(ClampSpan(d)) {
    n = n_;
    s = s_;
    d = d_;
    cur_.forward = d;
    switch (layout) {
    case 1: cur_.side = -(s * (n - 1)) / 2; break;
    case 2:
    case 3: break;
    case 4:
        cur_.vertical = -(s / 2);
        cur_.side = -(((n + 1) / 2 - 1) * s) / 2;
        break;
    case 5: cur_.side = -(s / 2); break;
    case 6:
        cur_.forward = (n / 2 - 1) * s + d;
        cur_.side = -(s / 2);
        break;
    default: cur_.forward = (n - 1) * s + d; break;
    }
}

LayoutOffset ProjectileLayout::Next() {
    const LayoutOffset out = cur_;
    const int i = i_++;
    const int s = s_;
    switch (layout_) {
    case 1: cur_.side += s; break;
    case 2: {
        // The cross: each step moves to the next corner and aims its projectile at the middle.
        struct Step {
            int side, vertical, turn, pitch;
        };
        static const Step kSteps[4] = {{-1, -1, 40, 4}, {2, 0, -40, 4}, {0, 2, -40, -4}, {-2, 0, 40, -4}};
        const Step& st = kSteps[i % 4];
        cur_.side += st.side * s;
        cur_.vertical += st.vertical * s;
        cur_.turn = st.turn;
        cur_.pitch = st.pitch;
        break;
    }
    case 3: cur_.vertical += s; break;
    case 4:
        cur_.side += s;
        if (i == (n_ + 1) / 2 - 1) {
            const int m = (n_ % 2) ? n_ / 2 - 1 : (n_ + 1) / 2 - 1;
            cur_.vertical += s;
            cur_.side = -(m * s) / 2;
        }
        break;
    case 5:
        cur_.vertical += s;
        if (i == n_ / 2 - 1) {
            cur_.vertical = 0;
            cur_.side += s;
        }
        break;
    case 6:
        cur_.forward -= s;
        if (i == n_ / 2 - 1) {
            cur_.forward = (n_ / 2 - 1) * s + d_;
            cur_.side += s;
        }
        break;
    default: cur_.forward -= s; break;
    }
    return out;
}

LayoutOffset DetonateLayoutOffset(int layout, int n, int s, int d, int i) {
    LayoutOffset o{};
    n = ClampCount(n);
    s = ClampSpan(s);
    d = ClampSpan(d);
    i = ClampCount(i);
    if (layout == 1) {
        o.forward = d;
        o.side = -(s * n) / 2 + i * s;
    } else {
        o.forward = (n - 1) * s + d - i * s;
    }
    return o;
}

int ProjectileAlignmentColor(int team) {
    switch (team) {
    case 1: return 2;
    case 2: return 4;
    case 3: return 3;
    default: return 0;
    }
}

int RuneAlignmentColor(int team) {
    return team >= 1 && team <= 3 ? team : 4;
}

void CopyProjectileSpell(int slot, const CSpellProj& s) {
    WorldObject& o = WorldObjectTable[slot];
    CopyThrown(o, s);
    Put(o.hit_sound, s.hit_sound);
    Put(o.bounce, s.bounce);
    Put(o.max_bounces, s.max_bounces);
    Put(o.bounce_effect, s.bounce_effect);
    Put(o.death_bounce, s.death_bounce);
    o.acceleration = s.acceleration;
    Put(o.max_targets, s.max_targets);
    Put(o.hit_effect, s.hit_effect);
}

void CopyRuneSpell(int slot, const CSpellRune& s) {
    WorldObject& o = WorldObjectTable[slot];
    CopyThrown(o, s);
    o.collision_velocity = s.collision_velocity;
    Put(o.rune_type, s.rune_type);
}

void CopyObjectSpell(int slot, const CSpellObject& s) {
    WorldObject& o = WorldObjectTable[slot];
    CopyCommon(o, s);
    Put(o.trans_color, s.trans_color);
    o.collision_velocity = s.collision_velocity;
}

void CopyBoltSpell(int slot, const CSpellBolt& s) {
    WorldObject& o = WorldObjectTable[slot];
    CopyLook(o, s);
    Put(o.trans_color, s.trans_color);
    Put(o.base_trans_color, s.trans_color);
    Put(o.translucent, s.translucent);
    Put(o.death_translucent, s.death_translucent);
    Put(o.effect_radius, s.effect_radius);
    Put(o.death_effect, s.death_effect);
    Put(o.death_effect_range, s.death_effect_range);
    Put(o.death_effect_chance, s.death_effect_chance);
    Put(o.death_spell_effect, s.death_spell_effect);
    Put(o.element, s.element);
}

void Init_Spell_Object(int slot, int spell) {
    if (slot <= 0 || slot >= kWorldObjectSlots)
        return;
    const CSpell* s = GetSpell(spell);
    if (!s)
        return;
    WorldObject& o = WorldObjectTable[slot];
    Put(o.kind, spell);
    if (s->type == SPELL_PROJ) {
        CopyProjectileSpell(slot, static_cast<const CSpellProj&>(*s));
        PrintDebug("Creating Proj: OList=%d IdNum=%d, Onum=%d", spell, static_cast<int>(o.id), slot);
    } else if (s->type == SPELL_RUNE) {
        CopyRuneSpell(slot, static_cast<const CSpellRune&>(*s));
        PrintDebug("Creating Rune: OList=%d IdNum=%d, Onum=%d", spell, static_cast<int>(o.id), slot);
    } else {
        PrintDebug("Init_Spell_Object for #%d (%d) -> Sptype=%d Unknown!", slot, spell, s->type);
    }
}
