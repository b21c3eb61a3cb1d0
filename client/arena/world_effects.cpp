#include "client/arena/world_effects.h"

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <cstring>

#include "client/arena/ambient_sound.h"
#include "client/arena/grid_queries.h"
#include "client/arena/line_tests.h"
#include "client/arena/local_player.h"
#include "client/arena/object_frame.h"
#include "client/arena/object_hits.h"
#include "client/arena/player_status.h"
#include "client/arena/player_view.h"
#include "client/arena/spell.h"
#include "client/arena/spell_objects.h"
#include "client/arena/thin.h"
#include "client/arena/world_object.h"
#include "client/core/game_values.h"
#include "client/net/net_spells.h"
#include "client/screens/chat_buffer.h"
#include "common/random.h"

WorldEffect WorldEffectTable[kWorldEffects];

namespace {

constexpr int kBoltKind = 1;

bool Online() {
    return g_linkState == 2;
}

bool LiveObject(int slot) {
    return slot > 0 && slot < kWorldObjectSlots && WorldObjectTable[slot].active == 1;
}

const CSpellBolt* BoltSpell(int number) {
    const CSpell* s = GetSpell(number);
    return s && s->type == SPELL_BOLT ? static_cast<const CSpellBolt*>(s) : nullptr;
}

int FreeRecord() {
    for (int i = 0; i < kWorldEffects; ++i)
        if (!WorldEffectTable[i].active)
            return i;
    return -1;
}

// Straight ahead, lowered by the pitch: range x sin(pitch), truncated.
int PitchDrop(int range, int pitchDegrees) {
    if (!pitchDegrees)
        return 0;
    return static_cast<int>(range * std::sin(pitchDegrees * 3.14159265358979323846 / 180.0));
}

bool TargetObject(const WorldEffect& r) {
    return r.target_kind == LINE_OBJECT && r.target > 0 && r.target < WorldObjectHighWater &&
           r.target < kWorldObjectSlots && WorldObjectTable[r.target].active;
}

int64_t BoltPeriod(const CSpellBolt& s) {
    return static_cast<int64_t>(s.max_timer) * s.object_spacing / s.range;
}

// A segment of the bolt at distance along the line, laid behind ms ago. Its slot, or -1.
int LaySegment(const WorldEffect& r, const CSpellBolt& s, int64_t distance, int behind) {
    const int slot = AllocObjectSlot(OBJ_SPELL);
    if (!slot)
        return -1;
    WorldObject& o = WorldObjectTable[slot];
    o.kind = static_cast<uint16_t>(r.spell);
    CopyBoltSpell(slot, s);
    if (s.death_imagenum_chance && static_cast<int>(GameRand() % 100) > s.death_imagenum_chance)
        o.death_imagenum = 0;
    o.facing = static_cast<uint16_t>(r.facing & 4095);
    o.creator = static_cast<int16_t>(r.caster_id);
    o.team = static_cast<int16_t>(r.team);
    auto along = [&](int from, int to) {
        return static_cast<int>(from + static_cast<int64_t>(to - from) * distance / r.range);
    };
    const int x = along(r.start_x, r.target_x), y = along(r.start_y, r.target_y);
    int z = along(r.start_z, r.target_z);
    if (s.hug_floor)
        z = GetFloorHeight(x, y, z, 0);
    if (x < 0 || y < 0 || x > 0xffff || y > 0xffff)
        return -1;
    o.x = static_cast<uint16_t>(x);
    o.y = static_cast<uint16_t>(y);
    o.z = static_cast<int16_t>(std::clamp(z, -32768, 32767));
    o.pos_x = x << 16;
    o.pos_y = y << 16;
    o.pos_z = static_cast<int32_t>(static_cast<uint32_t>(o.z) << 16);
    if (o.image_timer_max > 0) {
        o.image_frame = static_cast<uint16_t>(o.image_frame + behind / o.image_timer_max);
        o.image_timer = static_cast<uint16_t>(behind % o.image_timer_max);
    }
    if (!ActivateObject(slot))
        return -1;
    o.duration_timer = Clamp32(static_cast<int64_t>(o.duration_timer) - behind);
    if (o.duration_timer < 2)
        KillObject(slot);
    return slot;
}

void PlayHitSound(const WorldObject& t) {
    if (t.effect_sound)
        PlaySoundAt(t.x, t.y, t.effect_sound, t.sound_range);
}

}  // namespace

void ClearWorldEffects() {
    std::memset(WorldEffectTable, 0, sizeof WorldEffectTable);
}

int StartWorldEffect(LocalPlayer& player, int kind, int target, int range) {
    const int i = FreeRecord();
    if (i < 0 || !g_playerView)
        return 0;
    const PlayerView& v = *g_playerView;
    const CSpellBolt* s = BoltSpell(GetGameValue(115));
    WorldEffect& r = WorldEffectTable[i];
    r = WorldEffect{};
    r.active = 1;
    r.kind = kBoltKind;
    r.spell = GetGameValue(115);
    r.target = target;
    r.target_kind = kind;
    r.range = range;
    r.facing = v.facing;
    r.caster_id = GetGameValue(118);
    r.team = GetGameValue(4);
    r.element = s ? s->element : 0;
    r.skill = s ? SkillValue(s->skill_used) : 0;
    const int elevation = s ? std::max(ClampSpan(s->elevation) - (Crouch(player) ? 24 : 0), 0) : 0;
    r.start_x = v.x;
    r.start_y = v.y;
    // Heights are the level's 16-bit ones, as F_CREATE_EFFECT carries them.
    r.start_z = Clamp16(static_cast<int64_t>(v.z) - player.eye_height + elevation);
    if (TargetObject(r)) {
        const WorldObject& t = WorldObjectTable[target];
        r.target_x = t.x;
        r.target_y = t.y;
        r.target_z = t.z + t.tall / 2;
    } else if (kind == LINE_PLAYER) {
        r.target_x = v.x;
        r.target_y = v.y;
        r.target_z = r.start_z;
    } else {
        int32_t fx, fy;
        PointAheadOfView(0, range, &fx, &fy);
        r.target_x = fx >> 16;
        r.target_y = fy >> 16;
        r.target_z = Clamp16(static_cast<int64_t>(r.start_z) - PitchDrop(range, PitchDegrees(player)));
    }
    PrintDebug("World Effect: typ=%d whi=%d tim=%d src=%d tar=%d ran=%d", kind, r.spell, r.time, r.zero_word, target,
               range);
    SendCreateEffect(i);
    return 1;
}

int StartObjectEffect(int spell, int slot, int kind, int target, int range) {
    const int i = FreeRecord();
    if (i < 0 || !LiveObject(slot))
        return 0;
    const WorldObject& o = WorldObjectTable[slot];
    const CSpellBolt* s = BoltSpell(spell);
    const int elevation = s ? ClampSpan(s->elevation) : 0;
    WorldEffect& r = WorldEffectTable[i];
    r = WorldEffect{};
    r.active = 1;
    r.kind = kBoltKind;
    r.spell = spell;
    r.target = target;
    r.target_kind = kind;
    r.range = range;
    r.facing = o.facing;
    r.caster_id = static_cast<int32_t>(o.id);
    r.team = o.team;
    r.element = s ? s->element : 0;
    r.start_x = o.x;
    r.start_y = o.y;
    r.start_z = Clamp16(o.z + elevation);
    if (TargetObject(r)) {
        const WorldObject& t = WorldObjectTable[target];
        r.target_x = t.x;
        r.target_y = t.y;
        r.target_z = Clamp16(t.z + elevation);
    } else if (kind == LINE_PLAYER && g_playerView) {
        r.target_x = g_playerView->x;
        r.target_y = g_playerView->y;
        r.target_z = Clamp16(static_cast<int64_t>(g_playerView->z) -
                             (g_localPlayer ? g_localPlayer->eye_height : 0) + elevation);
    } else {
        PointAheadOfObject(slot, 0, range, &r.target_x, &r.target_y);
        r.target_z = Clamp16(o.z + elevation);
    }
    return 1;
}

int ValidateWorldEffect(const WorldEffect& r) {
    const CSpell* s = GetSpell(r.spell);
    const char* refusal = nullptr;
    if (!s) {
        refusal = "SPELLPTR NULL on CheckWorldEffects!!";
    } else if (s->type != SPELL_BOLT) {
        refusal = "SPTYPE is not BOLT on World Effect!!";
    } else {
        // Both ranges are checked before anything is divided by them.
        const CSpellBolt& b = static_cast<const CSpellBolt&>(*s);
        if (b.range <= 0 || BoltPeriod(b) < 1)
            refusal = "Period of Bolt == 0!";
        else if (r.range <= 0)
            refusal = "Max Range of Bolt == 0!";
    }
    if (!refusal)
        return 0;
    PrintDebug("%s", refusal);
    return 1;
}

void CheckWorldEffects(int frameMs) {
    for (int i = 0; i < kWorldEffects; ++i) {
        WorldEffect& r = WorldEffectTable[i];
        if (!r.active || r.kind != kBoltKind)
            continue;
        if (ValidateWorldEffect(r)) {
            r.active = 0;
            continue;
        }
        const CSpellBolt& s = *BoltSpell(r.spell);
        const int64_t period = BoltPeriod(s);
        int64_t dt = std::clamp<int64_t>(frameMs, 0, std::max<int64_t>(0, static_cast<int64_t>(s.max_timer) - r.time));
        int64_t t = r.time % period + dt;
        int64_t n = r.time / period;
        // A segment is due each time the bolt's clock reaches the next multiple of the period.
        while (t >= period) {
            t -= period;
            const int segment = LaySegment(r, s, n * s.object_spacing, static_cast<int>(t));
            if (s.leading_edge_imagenum && t < period && segment > 0) {
                WorldObject& newest = WorldObjectTable[segment];
                newest.imagenum = static_cast<uint16_t>(s.leading_edge_imagenum);
                if (LiveObject(r.last_segment) && WorldObjectTable[r.last_segment].imagenum == s.leading_edge_imagenum)
                    WorldObjectTable[r.last_segment].imagenum = static_cast<uint16_t>(s.imagenum);
                r.last_segment = segment;
            }
            if (r.range < s.range &&
                r.range < n * s.object_spacing + static_cast<int64_t>(s.cast_distance) + s.object_spacing) {
                dt = s.max_timer;
                if (segment > 0)
                    BoltHit(segment, r);
                r.active = 0;
                break;
            }
            if (n == 0 && segment > 0) {
                CSpell* creation = GetSpell(s.creation_effect);
                if (creation && creation->type == SPELL_PROJ)
                    creation->Detonate(segment);
            }
            ++n;
        }
        r.time = static_cast<int32_t>(std::min<int64_t>(r.time + dt, INT32_MAX));
        if (r.time >= s.max_timer)
            r.active = 0;
    }
}

int BoltHit(int segment, WorldEffect& r) {
    const CSpellBolt* s = BoltSpell(r.spell);
    if (!s || !LiveObject(segment))
        return 1;
    WorldObject& seg = WorldObjectTable[segment];
    seg.death_imagenum = static_cast<uint16_t>(s->effect_imagenum);
    if (s->effect_image_timer_max)
        seg.death_image_timer_max = static_cast<uint16_t>(s->effect_image_timer_max);
    if (s->effect_trans_color)
        seg.trans_color = static_cast<uint16_t>(s->effect_trans_color);
    if (s->effect_translucent)
        seg.translucent = static_cast<uint16_t>(s->effect_translucent);
    if (s->effect_sound)
        PlaySoundAt(seg.x, seg.y, s->effect_sound, s->effect_sound_range);

    // The service owns players' and objects' hit points online.
    const bool liveTarget = LiveObject(r.target);
    if (r.target_kind == LINE_OBJECT && liveTarget && WorldObjectTable[r.target].type == OBJ_MOVING && !Online()) {
        int32_t damage = RollDice(s->damage_dice, s->damage_num_dice, s->damage_base);
        if (r.element)
            damage = ObjectShieldedDamage(damage, r.target, r.element);
        HurtObject(r.target, damage, r.caster_id);
        PrintDebug("Bolt Damage: damage=%d target=%d.", damage, r.target);
    } else if (r.target_kind == LINE_PLAYER && g_localPlayer && !Online()) {
        LocalPlayer& player = *g_localPlayer;
        const int damage = PlayerShieldedDamage(RollDice(s->damage_dice, s->damage_num_dice, s->damage_base), player,
                                                r.element);
        OnPlayerHit(player, damage, 0);
        // The spread of two values from the spell file may not fit an int.
        if (s->max_power_drain > s->min_power_drain)
            DrainPlayerPower(player, static_cast<int>(s->min_power_drain +
                                                      GameRand() % (int64_t{s->max_power_drain} - s->min_power_drain)));
        if (LiveObject(player.own_object))
            AddHitOverlay(player.own_object, r.element, segment);
        PrintDebug("Bolt Damage to Player: damage=%d", damage);
    } else if (r.target_kind == LINE_THIN && r.target > 0 && r.target < kThinSlots && ThinTable[r.target].active) {
        const int damage = RollDice(s->damage_dice, s->damage_num_dice, s->damage_base);
        SendThinDamage(r.target, damage);
        DamageThin(r.target, damage);
    }
    if (r.target_kind == LINE_OBJECT && liveTarget &&
        (WorldObjectTable[r.target].type == OBJ_MOVING || WorldObjectTable[r.target].type == OBJ_PLAYER)) {
        AddHitOverlay(r.target, r.element, segment);
        PlayHitSound(WorldObjectTable[r.target]);
    }
    if (CSpell* death = GetSpell(s->bolt_death_effect)) {
        if (static_cast<int>(GameRand() % 100) < s->bolt_death_effect_chance) {
            PrintDebug("bolt_death_effect: eff=%d chance=%d", s->bolt_death_effect, s->bolt_death_effect_chance);
            death->Detonate(segment);
        }
    }
    KillObject(segment);
    return 1;
}

// ---- The bolt spell ------------------------------------------------------------------------------

int CSpellBolt::Cast(LocalPlayer& player) {
    const int lifted = std::max(ClampSpan(elevation) - (Crouch(player) ? 24 : 0), 0);
    if (CheckCastPath(player, cast_distance, lifted))
        return 0;
    int reach = range, kind = 0;
    const int target = FindBoltTarget(player, &reach, &kind, 0, 0, 0);
    if (reach <= 0)
        return 0;
    StartWorldEffect(player, kind, target, reach);
    return 1;
}

int CSpellBolt::ObjectCast(int slot, int) {
    if (!LiveObject(slot))
        return 1;
    int reach = range, kind = 0;
    const int target = FindBoltCollision(slot, &reach, &kind);
    StartObjectEffect(spell_number, slot, kind, target, reach);
    return 1;
}
