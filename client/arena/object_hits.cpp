#include "client/arena/object_hits.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "client/arena/ambient_sound.h"
#include "client/arena/line_tests.h"
#include "client/arena/local_player.h"
#include "client/arena/monster_think.h"
#include "client/arena/object_effects.h"
#include "client/arena/object_update.h"
#include "client/arena/player_effects.h"
#include "client/arena/player_status.h"
#include "client/arena/player_view.h"
#include "client/arena/thin.h"
#include "client/arena/world_object.h"
#include "client/core/error_log.h"
#include "client/core/game_values.h"
#include "client/present/present_services.h"
#include "client/screens/chat_buffer.h"
#include "common/random.h"

namespace {

constexpr int kOverlayReach = 1280;
constexpr int kShieldEffect = 4;
// The local player among the targets a multi-target object remembers.
constexpr uint16_t kLocalPlayerMark = 65535;

bool Valid(int slot) {
    return slot > 0 && slot < kWorldObjectSlots;
}

bool Live(int slot) {
    return Valid(slot) && WorldObjectTable[slot].active == 1;
}

bool Offline() {
    return g_linkState != 2;
}

bool NearPlayer(const WorldObject& o, int reach) {
    return g_playerView && std::abs(o.x - g_playerView->x) < reach && std::abs(o.y - g_playerView->y) < reach;
}

void ColorOverlay(int figure, int color) {
    static const struct {
        int code, r, g, b;
    } kColors[] = {{11, 255, 0, 0},    {12, 255, 255, 0},  {13, 0, 0, 255},   {20, 255, 128, 40},
                   {21, 255, 255, 255}, {22, 204, 40, 255}, {23, 40, 255, 40}};
    if (color >= 1 && color <= 10) {
        SetFigureOverlayElement(figure, color);
        return;
    }
    for (const auto& c : kColors)
        if (c.code == color)
            SetFigureOverlayColor(figure, c.r, c.g, c.b);
}

bool SameTeam(const WorldObject& a, int team) {
    return a.team != 0 && a.team == team;
}

void PlayEffectSound(const WorldObject& o) {
    PlaySoundAt(o.x, o.y, o.effect_sound, o.sound_range);
}

// The carried spell acts on a figure or on the player unless a shield of the element stops it.
void CarriedSpellOnObject(int slot, int target) {
    const WorldObject& o = WorldObjectTable[slot];
    if (ObjectEffectLevel(target, kShieldEffect, o.element))
        return;
    ApplyObjectSpellToObject(slot, target);
    PlayEffectSound(o);
}

void CarriedSpellOnPlayer(int slot, LocalPlayer& player) {
    const WorldObject& o = WorldObjectTable[slot];
    if (GetActiveEffect(player, kShieldEffect, o.element))
        return;
    ApplyObjectSpellToPlayer(slot, player);
    PlayEffectSound(o);
}

void StrikeFigure(int slot, int target) {
    const WorldObject& o = WorldObjectTable[slot];
    AddHitOverlay(target, o.element, slot);
    HitEffectNearPlayer(slot, target);
    if (Offline())
        HurtObject(target, ObjectShieldedDamage(RollObjectDamage(slot), target, o.element), o.creator);
}

void StrikePlayer(int slot, LocalPlayer& player) {
    const WorldObject& o = WorldObjectTable[slot];
    if (Live(player.own_object))
        AddHitOverlay(player.own_object, o.element, slot);
    if (!Offline())
        return;
    // The service owns the hit points: offline the roll only plays the hit.
    if (PlayerShieldedDamage(RollObjectDamage(slot), player, o.element) > 0)
        OnPlayerHit(player, 0, 0);
    const int drain = RollPowerDrain(slot);
    if (drain > 0)
        DrainPlayerPower(player, drain);
}

void StrikeThin(int slot, int thin) {
    const WorldObject& o = WorldObjectTable[slot];
    if (!Offline() || thin <= 0 || thin >= kThinSlots)
        return;
    const Thin& t = ThinTable[thin];
    if (t.active != 1 || t.kind != THIN_SPELL || !t.hit_points)
        return;
    int32_t damage = RollObjectDamage(slot);
    if (ElementBeats(o.element, t.element))
        ;
    else if (o.element != t.element)
        damage /= 2;
    else
        damage = 0;
    DamageThin(thin, damage);
}

}  // namespace

// A struck monster hunts whoever made the object, and its team mates with it.
void ReactToAttacker(int target, int creator) {
    WorldObject& t = WorldObjectTable[target];
    if (t.type != OBJ_MOVING)
        return;
    if (creator < 0) {
        t.target = kTargetPlayer;
    } else if (creator > 0) {
        const int s = FindMonsterSlotById(creator);
        if (s > 0)
            t.target = static_cast<uint16_t>(s);
    }
    AlertAllies(target);
}

void HurtObject(int target, int32_t damage, int creator) {
    WorldObject& t = WorldObjectTable[target];
    t.hit_points = Clamp16(static_cast<int64_t>(t.hit_points) - damage);
    ReactToAttacker(target, creator);
    if (t.hit_points <= 0)
        KillObject(target);
}

void AttachObjectOverlay(int slot, int figure, int time, int part, int mode, int color, int direction, int tilt,
                         int replace) {
    if (!Valid(slot))
        return;
    WorldObject& o = WorldObjectTable[slot];
    if (!NearPlayer(o, kOverlayReach + 1) || !o.figure)
        return;
    if (o.overlay_figure && !replace)
        return;
    if (o.overlay_figure)
        RemoveFigureOverlay(o.figure);
    o.overlay_figure = figure;
    o.overlay_timer = time;
    o.overlay_color = color;
    o.overlay_direction = direction == -1 ? o.facing : direction;
    o.overlay_tilt = tilt;
    CreateFigureOverlayModel(o.figure, figure, part, mode, o.overlay_direction, tilt);
    ColorOverlay(o.figure, color);
}

void RemoveObjectOverlay(int slot, int figure) {
    if (!Valid(slot))
        return;
    WorldObject& o = WorldObjectTable[slot];
    if (!o.overlay_figure || (figure && o.overlay_figure != figure))
        return;
    if (o.figure)
        RemoveFigureOverlay(o.figure);
    o.overlay_figure = 0;
    o.overlay_timer = 0;
    o.overlay_on = 0;
}

void SgxCreateFigureOverlay(int slot, int k, int direction, int tilt) {
    if (!Valid(slot) || k < 0 || k >= 5)
        return;
    WorldObject& o = WorldObjectTable[slot];
    RemoveObjectOverlay(slot, 0);
    if (!NearPlayer(o, kOverlayReach + 1))
        return;
    const ObjectEffectSlot& e = o.effects[k];
    o.overlay_figure = e.overlay;
    o.overlay_timer = e.overlay_time;
    o.overlay_color = e.overlay_color;
    o.overlay_direction = direction;
    o.overlay_tilt = tilt;
    o.overlay_on = 1;
    ErrorLogWrite("SgxCreateFigureOverlay(): obj=%d sgf=%d dir=%d tilt=%d\n", slot, e.overlay, direction, tilt);
    if (!o.figure)
        return;
    CreateFigureOverlayModel(o.figure, e.overlay, e.overlay_type, e.overlay_position, direction, tilt);
    ColorOverlay(o.figure, e.overlay_color);
}

void AddHitOverlay(int target, int element, int source) {
    if (!Valid(target) || !Valid(source))
        return;
    const WorldObject& t = WorldObjectTable[target];
    const WorldObject& s = WorldObjectTable[source];
    if (SameTeam(t, s.team))
        return;
    for (int k = 0; k < 5; ++k) {
        const ObjectEffectSlot& e = t.effects[k];
        if ((e.effect == 4 || e.effect == 6) && (e.element == element || e.element == 0))
            SgxCreateFigureOverlay(target, k, (s.facing + 2048) & 4095, -s.tilt);
    }
}

int ObjectEffectLevel(int slot, int type, int element) {
    if (!Valid(slot))
        return 0;
    for (const ObjectEffectSlot& e : WorldObjectTable[slot].effects)
        if (e.effect == type && (!element || e.element == element))
            return e.level;
    return 0;
}

int ObjectShieldedDamage(int damage, int target, int element) {
    if (!element)
        return damage;
    int shield = element == 9 ? ObjectEffectLevel(target, kShieldEffect, 0) / 2
                              : ObjectEffectLevel(target, kShieldEffect, element);
    shield += ObjectEffectLevel(target, 6, 0) + ObjectEffectLevel(target, 3, 0);
    if (!shield)
        return damage;
    PrintDebug("Elemental Shield: Obj=%d Lev=%d Ele=%d", target, shield, element);
    const int64_t cut = static_cast<int64_t>(std::min(shield, 75)) * damage / 100;
    return std::max<int64_t>(damage - cut, 0);
}

int PlayerShieldedDamage(int damage, const LocalPlayer& player, int element) {
    const int shield = GetActiveEffect(player, kShieldEffect, element) + GetActiveEffect(player, 6, 0);
    if (!shield)
        return damage;
    PrintDebug("Player Elemental Shield: Lev=%d Ele=%d", shield, element);
    return static_cast<int>(std::max<int64_t>(damage - static_cast<int64_t>(shield) * damage / 100, 0));
}

int RollObjectDamage(int slot) {
    if (!Valid(slot))
        return 0;
    const WorldObject& o = WorldObjectTable[slot];
    return RollDice(o.damage_dice, o.damage_num_dice, o.damage_base);
}

int PassThroughTarget(int slot, int code, LocalPlayer& player) {
    WorldObject& o = WorldObjectTable[slot];
    int target = 0;
    uint16_t mark;
    if (code == HIT_PLAYER) {
        if (o.team && o.team == GetGameValue(4))
            return 0;
        mark = kLocalPlayerMark;
    } else if (code >= HIT_OBJECT && Live(code - HIT_OBJECT) && WorldObjectTable[code - HIT_OBJECT].type == OBJ_PLAYER) {
        target = code - HIT_OBJECT;
        if (SameTeam(WorldObjectTable[target], o.team))
            return 0;
        mark = static_cast<uint16_t>(target);
    } else {
        return 0;
    }
    const int remembered = std::min<int>(o.targets_hit, 4);
    for (int i = 0; i < remembered; ++i)
        if (o.touched_targets[i] == mark)
            return 1;
    ++o.targets_hit;
    if (o.targets_hit >= o.max_targets)
        return 0;
    if (target) {
        AddHitOverlay(target, o.element, slot);
        HitEffectNearPlayer(slot, target);
        CarriedSpellOnObject(slot, target);
    } else {
        if (Live(player.own_object))
            AddHitOverlay(player.own_object, o.element, slot);
        CarriedSpellOnPlayer(slot, player);
    }
    if (o.targets_hit <= 4)
        o.touched_targets[o.targets_hit - 1] = mark;
    return 1;
}

void AreaBurst(int slot, int skip, LocalPlayer& player) {
    const WorldObject& o = WorldObjectTable[slot];
    const int r = o.effect_radius;
    const bool playersOwn = o.creator == GetGameValue(118);
    for (int s = 1; s < WorldObjectHighWater && s < kWorldObjectSlots; ++s) {
        const WorldObject& t = WorldObjectTable[s];
        if (s == skip || s == slot || t.active != 1 || t.dead)
            continue;
        if (o.creator && static_cast<int64_t>(t.id) == o.creator)
            continue;
        if (std::abs(t.x - o.x) >= r || std::abs(t.y - o.y) >= r)
            continue;
        if (s == player.own_object) {
            if (playersOwn)
                continue;
            AddHitOverlay(s, o.element, slot);
            CarriedSpellOnPlayer(slot, player);
        } else if (t.type == OBJ_MOVING) {
            AddHitOverlay(s, o.element, slot);
            ApplyObjectSpellToObject(slot, s);
            if (Offline())
                HurtObject(s, RollObjectDamage(slot) / 2, o.creator);
        } else if (t.type == OBJ_PLAYER) {
            AddHitOverlay(s, o.element, slot);
            CarriedSpellOnObject(slot, s);
        }
    }
}

int ResolveObjectCollision(int slot, int code, LocalPlayer& player) {
    WorldObject& o = WorldObjectTable[slot];
    if (o.bounce && BounceObject(slot, code)) {
        if (o.max_bounces && o.bounce_count >= o.max_bounces)
            o.bounce = 0;
        if (o.speed || o.z_speed) {
            BounceEffectNearPlayer(slot);
            if (o.effect_sound) {
                PrintDebug("Sound #%d: r=%d", o.effect_sound, o.sound_range);
                PlayEffectSound(o);
            }
        }
        return 1;
    }
    if (o.max_targets && PassThroughTarget(slot, code, player))
        return 0;
    if (code == HIT_SOLID_CELL || code == 11) {
        DestroyObject(slot);
        return 1;
    }
    const int struck = code >= HIT_OBJECT && Live(code - HIT_OBJECT) ? code - HIT_OBJECT : 0;
    const bool figure = struck && (WorldObjectTable[struck].type == OBJ_MOVING || WorldObjectTable[struck].type == OBJ_PLAYER);
    if (figure)
        StrikeFigure(slot, struck);
    else if (code == HIT_PLAYER)
        StrikePlayer(slot, player);
    else if (code == HIT_THIN)
        StrikeThin(slot, g_hitThin);
    if (o.active != 1)
        return 1;
    if (o.effect_radius)
        AreaBurst(slot, struck, player);
    if (GameRand() % 100 < o.death_effect_chance)
        CheckRuneTrip(slot);
    if (figure)
        CarriedSpellOnObject(slot, struck);
    else if (code == HIT_PLAYER)
        CarriedSpellOnPlayer(slot, player);
    if (o.hit_sound && (figure || code == HIT_PLAYER))
        PlayObjectHitSound(slot);
    else
        PlayObjectDeathSound(slot);
    if (o.death_imagenum) {
        KillObject(slot);
        return 1;
    }
    if (o.death_bounce) {
        o.type = OBJ_DYING;
        o.image_cycles = -1;
        o.image_timer_max = static_cast<int16_t>(o.death_image_timer_max);
        o.bounce = 2;
        o.gravity = 2;
        o.id = 0;
        o.duration_timer = 0;
        return 1;
    }
    DestroyObject(slot);
    return 1;
}
