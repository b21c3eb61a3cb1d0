// The spells that act on players and objects instead of making objects: heal, effect, target,
// dispell and teleport; and the local player's effects ticking down.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "client/arena/ambient_sound.h"
#include "client/arena/game_input.h"
#include "client/arena/grid_queries.h"
#include "client/arena/line_tests.h"
#include "client/arena/local_player.h"
#include "client/arena/object_hits.h"
#include "client/arena/player_effects.h"
#include "client/arena/player_view.h"
#include "client/arena/spell.h"
#include "client/arena/thin.h"
#include "client/arena/world_object.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/trig_tables.h"
#include "client/net/client_tables.h"
#include "client/net/net_handshake.h"
#include "client/net/net_players.h"
#include "client/net/net_rings.h"
#include "client/net/net_spells.h"
#include "client/present/present_services.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/notice_lines.h"
#include "common/random.h"
#include "common/text.h"

namespace {

constexpr int kHudIcons = 8;
// An effect in its last ten seconds blinks on the HUD.
constexpr int kBlinkTime = 10000;
// A target keeps an equal or stronger effect that still has this long to run.
constexpr int kStillStrong = 30000;
// A ghost can be reached again only this long after its last teleport or status change.
constexpr uint32_t kGhostRest = 20000;
constexpr int kTargetReach = 384;

bool Online() {
    return g_linkState == 2;
}

bool LiveSlot(int slot) {
    return slot > 0 && slot < kWorldObjectSlots && WorldObjectTable[slot].active == 1;
}

CSpellEffect* EffectSpell(int number) {
    CSpell* s = GetSpell(number);
    return s && s->type == SPELL_EFFECT ? static_cast<CSpellEffect*>(s) : nullptr;
}

int ViewSpeed() {
    if (!g_playerView)
        return 0;
    const PlayerView& v = *g_playerView;
    return std::max({std::abs(v.speed), std::abs(v.strafe_speed), std::abs(v.z_speed)});
}

// How fast a concealed player may move: by the concealment's level.
int ConcealSpeedLimit(int level) {
    switch (level) {
    case 2:
        return 73;
    case 3:
        return 110;
    case 4:
        return 192;
    default:
        return 0;
    }
}

void TintOwnFigure(const LocalPlayer& player, int opacity, int mode) {
    if (LiveSlot(player.own_object) && WorldObjectTable[player.own_object].figure)
        SetFigureTint(WorldObjectTable[player.own_object].figure, opacity, mode, 1, 255, 255, 255);
}

// The speed drops by the level, not below 0; a negative level (a hostile spell file) adds nothing.
void SlowView(int level) {
    if (g_playerView) {
        const int64_t speed = g_playerView->speed;
        g_playerView->speed = static_cast<int>(std::clamp<int64_t>(speed - std::max(level, 0), 0, std::max<int64_t>(speed, 0)));
    }
}

void SpinView(int level) {
    const int r = static_cast<int>(std::clamp<int64_t>(static_cast<int64_t>(level) * kAngleUnits / 360, 0, kAngleUnits));
    if (!g_playerView || r <= 0)
        return;
    const int turn = static_cast<int>(GameRand() % static_cast<uint32_t>(r)) + r - r / 2;
    g_playerView->facing = (g_playerView->facing + turn) & kAngleMask;
}

void Notice(const char* format, const char* name) {
    char line[64];
    FormatText(line, sizeof line, format, name);
    PushNoticeLine(line);
}

void PlayAtView(int sound, int range) {
    if (sound && g_playerView)
        PlaySoundAt(g_playerView->x, g_playerView->y, sound, range);
}

// What the player's speed and icons were at the last tick.
int g_lastSpeed = 0;
int g_shownIcons[kHudIcons] = {-1, -1, -1, -1, -1, -1, -1, -1};

void ShowEffectIcons(const LocalPlayer& player) {
    int places[kHudIcons] = {-1, -1, -1, -1, -1, -1, -1, -1};
    int count = 0;
    for (int n = 0; n < kPlayerEffects && count < kHudIcons; ++n) {
        const PlayerEffect& e = player.effects[n];
        if (!e.active || !e.imagenum)
            continue;
        const bool blinkedOff = e.time_left > 0 && e.time_left <= kBlinkTime && (e.time_left / 500) % 2 == 1;
        places[count++] = blinkedOff ? -1 : e.imagenum;
    }
    if (!count && std::equal(places, places + kHudIcons, g_shownIcons))
        return;
    for (int i = 0; i < kHudIcons; ++i) {
        SetHudItemIcon(i, places[i]);
        g_shownIcons[i] = places[i];
    }
}

}  // namespace

// ---- Heal --------------------------------------------------------------------------------------

int CSpellHeal::Cast(LocalPlayer&) {
    return 1;
}

int CSpellHeal::AffectPlayer(LocalPlayer&, int, int) {
    return 1;
}

int CSpellHeal::ObjectCast(int slot, int) {
    if (!LiveSlot(slot))
        return 1;
    WorldObject& o = WorldObjectTable[slot];
    int64_t spread = static_cast<int64_t>(max) - min;
    if (spread < 3)
        spread = 2;
    const int64_t healed = o.hit_points + static_cast<int64_t>(GameRand() % static_cast<uint64_t>(spread)) + min;
    o.hit_points = static_cast<int16_t>(std::clamp<int64_t>(std::min<int64_t>(healed, o.max_hits), -32768, 32767));
    return 1;
}

// ---- Effect ------------------------------------------------------------------------------------

int CSpellEffect::AffectPlayer(LocalPlayer& player, int sourceId, int sendFlag) {
    if (effect < 0 || effect >= kPlayerEffects)
        return 0;
    PlayerEffect& e = player.effects[effect];
    e = PlayerEffect{};
    e.time_left = duration;
    e.period = period;
    e.level = level;
    e.element = element;
    std::memcpy(e.name, name, sizeof e.name - 1);
    e.imagenum = imagenum;
    e.image_timer = image_timer;
    e.overlay_imagenum = overlay_imagenum;
    e.overlay_duration = overlay_duration;
    e.overlay_dur_type = overlay_dur_type;
    e.overlay_position = overlay_position;
    e.overlay_facing = overlay_facing;
    e.overlay_color = overlay_color;
    e.spell_number = spell_number;
    e.source_id = sourceId;
    e.active = 1;
    switch (effect) {
    case 21:
        // Taken only by a player already low enough on hit points.
        if (GetGameValue(107) > static_cast<int64_t>(level) * 100) {
            e = PlayerEffect{};
            return 0;
        }
        break;
    case 22:
        // Both may be far from real values; the product fits in 64 bits, the result is held to int.
        SetGameValue(111, static_cast<int>(std::clamp<int64_t>(
            GetGameValue(111) - static_cast<int64_t>(GetGameValue(112)) * level / 100, 0, INT32_MAX)));
        break;
    case 23:
        SlowView(level);
        break;
    case 24:
        SpinView(level);
        break;
    case 25:
        for (int n : {5, 30, 34, 11, 22})
            if (player.effects[n].active)
                RemovePlayerEffect(player, n, 1);
        break;
    case 29:
        if (level >= 1 && level <= 3) {
            static const int kFogRange[] = {640, 480, 320};
            SetWorldFog(100, kFogRange[level - 1], 0, 0, 0);
        }
        break;
    default:
        break;
    }
    if (sendFlag)
        SendPlayerEffect(spell_number, duration, kDestinationAll);
    if (LiveSlot(player.own_object))
        ObjectCast(player.own_object, sourceId);
    PrintDebug("Player Effect: num=%d eff=%d lev=%d typ=%d dur=%d odur=%d", spell_number, effect, level,
               overlay_dur_type, duration, overlay_duration);
    return 1;
}

int CSpellEffect::Cast(LocalPlayer& player) {
    AffectPlayer(player, GetGameValue(118), 1);
    if (CSpellEffect* second = EffectSpell(creation_effect))
        second->AffectPlayer(player, 0, 0);
    return 1;
}

// The effect on a world object (MonEffect).
int CSpellEffect::ObjectCast(int slot, int source) {
    if (effect < 0 || effect >= kPlayerEffects || !LiveSlot(slot))
        return 0;
    WorldObject& o = WorldObjectTable[slot];
    int k = -1;
    for (int i = 0; i < 5 && k < 0; ++i)
        if (o.effects[i].effect == effect)
            k = i;
    for (int i = 0; i < 5 && k < 0; ++i)
        if (!o.effects[i].effect)
            k = i;
    if (k < 0)
        return 0;
    ObjectEffectSlot& e = o.effects[k];
    e.effect = static_cast<uint8_t>(effect);
    e.level = static_cast<uint8_t>(level);
    e.element = static_cast<uint8_t>(element);
    e.overlay = static_cast<uint8_t>(overlay_imagenum);
    e.overlay_type = static_cast<uint8_t>(overlay_dur_type);
    e.overlay_position = static_cast<uint8_t>(overlay_position);
    e.overlay_facing = static_cast<uint8_t>(overlay_facing);
    e.overlay_color = static_cast<uint8_t>(overlay_color);
    e.period = static_cast<uint16_t>(period);
    e.overlay_time = static_cast<uint16_t>(overlay_duration);
    e.remaining = Clamp32(static_cast<int64_t>(duration) - 1);
    if ((effect == 12 || effect == 13) && o.figure)
        SetFigureTint(o.figure, 15, effect == 12 ? 2 : 3, o.team == GetGameValue(4), 255, 255, 255);

    // The overlay faces back towards whatever the effect came from.
    int direction = 0;
    const bool own = g_localPlayer && slot == g_localPlayer->own_object;
    if (source == GetGameValue(118)) {
        if (g_playerView)
            direction = own ? g_playerView->facing : g_playerView->facing + 2048;
    } else if (source < 0) {
        if (source > -kWorldObjectSlots && LiveSlot(-source))
            direction = WorldObjectTable[-source].facing + 2048;
    } else if (source > 0) {
        const int figure = FindPlayerObjectSlot(source);
        if (figure > 0)
            direction = figure == slot ? WorldObjectTable[figure].facing : WorldObjectTable[figure].facing + 2048;
    }
    direction &= kAngleMask;

    if (overlay_imagenum && overlay_dur_type == 1)
        SgxCreateFigureOverlay(slot, k, direction, 0);
    else if (initial_overlay_imagenum)
        AttachObjectOverlay(slot, initial_overlay_imagenum, initial_overlay_duration, initial_overlay_position,
                            initial_overlay_facing, initial_overlay_color, direction, 0, 1);
    PrintDebug("MonEffect: obj=%d which=%d eff=%d lev=%d typ=%d dur=%d odur=%d", slot, k, effect, level,
               overlay_dur_type, duration, overlay_duration);
    return 1;
}

// ---- The player's effects over time -------------------------------------------------------------

void ResetEffectTicker() {
    g_lastSpeed = 0;
    std::fill(g_shownIcons, g_shownIcons + kHudIcons, -1);
}

void UpdatePlayerEffects(LocalPlayer& player, int elapsed) {
    const int speed = ViewSpeed();
    for (int n = 0; n < kPlayerEffects; ++n) {
        PlayerEffect& e = player.effects[n];
        if (!e.active)
            continue;
        if (elapsed == 0) {
            RemovePlayerEffect(player, n, 0);
            continue;
        }
        if (e.time_left) {
            const int before = e.time_left;
            // A duration from the spell file may lie at either end of the int range.
            e.time_left = Clamp32(static_cast<int64_t>(before) - elapsed);
            if (e.time_left <= 0) {
                RemovePlayerEffect(player, n, 0);
                continue;
            }
            if (e.period > 0 && before / e.period != e.time_left / e.period) {
                if (e.overlay_dur_type == 2 && LiveSlot(player.own_object)) {
                    const WorldObject& own = WorldObjectTable[player.own_object];
                    for (int k = 0; k < 5; ++k)
                        if (own.effects[k].effect == n)
                            SgxCreateFigureOverlay(player.own_object, k, own.facing, 0);
                }
                if (n == 23)
                    SlowView(e.level);
                else if (n == 24)
                    SpinView(e.level);
            }
        }
        if (speed != g_lastSpeed && (n == 12 || n == 13 || n == 17)) {
            const int limit = ConcealSpeedLimit(e.level);
            if (speed > limit)
                RemovePlayerEffect(player, n, 1);
            else if (n != 17)
                TintOwnFigure(player, speed < limit ? 15 : (n == 12 ? 40 : 35), n == 12 ? 2 : 3);
        }
    }
    ShowEffectIcons(player);
    g_lastSpeed = speed;
}

// ---- Target ------------------------------------------------------------------------------------

int CSpellTarget::Cast(LocalPlayer& player) {
    PrintDebug("CSpellTarget: target=%d", TargetPlayerId);
    CSpellEffect* carried = EffectSpell(target_spell_effect);
    if (TargetPlayerId && TargetPlayerId == GetGameValue(118))
        return carried ? carried->Cast(player) : 0;
    int target = 0;
    if (group == 1 || group == 2) {
        const int ahead = FindObjectTrigger(player, kTargetReach);
        if (ahead > 0 && WorldObjectTable[ahead].type == OBJ_PLAYER)
            target = ahead;
        else if (group == 2)
            return carried ? carried->Cast(player) : 0;
    } else if (TargetPlayerId) {
        target = FindPlayerObjectSlot(TargetPlayerId);
    }
    if (!LiveSlot(target) || WorldObjectTable[target].dead || !carried)
        return 0;
    // Only an effect spell may ride along on the caster: anything else could link back to this.
    if (CSpellEffect* own = EffectSpell(caster_spell_effect); own && !own->Cast(player))
        return 0;
    const WorldObject& t = WorldObjectTable[target];
    if (carried->effect > 0 && ObjectEffectLevel(target, carried->effect, 0) >= carried->level &&
        GetObjectEffect(target, carried->effect, 0) > kStillStrong) {
        PushNoticeLine("That player already has this effect!");
        return 1;
    }
    carried->ObjectCast(target, 0);
    if (effect_sound)
        PlaySoundAt(t.x, t.y, effect_sound, effect_sound_range);
    if (t.type == OBJ_PLAYER)
        Notice("Your spell affects %s", PlayerName(static_cast<int>(t.id)));
    SendTargetted(target, 0);
    return 1;
}

// ---- Dispell -----------------------------------------------------------------------------------

int CSpellDispell::Cast(LocalPlayer& player) {
    PrintDebug("Dispell Cast -> type=%d range=%d lev=%d", dispell_type, range, level);
    if (dispell_type == 1) {
        const int thin = FindThinTarget(range);
        PrintDebug("FindThinTarget returns %d", thin);
        if (thin <= 0 || thin >= kThinSlots || !ThinTable[thin].hit_points)
            return 1;
        if (!Online())
            DamageThin(thin, level);
    } else if (dispell_type == 3) {
        const int slot = FindObjectTrigger(player, range);
        PrintDebug("FindObjectTrigger returns %d", slot);
        if (!LiveSlot(slot) || WorldObjectTable[slot].type != OBJ_SPELL || WorldObjectTable[slot].rune_type != 1)
            return 1;
    } else if (dispell_type != 6) {
        return 1;
    }
    PlayAtView(effect_sound, effect_sound_range);
    SendDispell();
    return 1;
}

// ---- Teleport ----------------------------------------------------------------------------------

int CSpellTeleport::Cast(LocalPlayer& player) {
    const uint32_t now = GameClock / 10;
    int ghost = 0;
    for (int i = 1; i <= PlayerTableTop && i < kPlayerTableSize && !ghost; ++i) {
        const PlayerTableEntry& e = PlayerTable[i];
        if (e.id != kFreeId && e.team == GetGameValue(4) && e.dead && now - e.teleport_time > kGhostRest &&
            now - e.status_time > kGhostRest)
            ghost = i;
    }
    if (!ghost)
        return 0;
    PlayerTableEntry& entry = PlayerTable[ghost];
    const int figure = FindPlayerObjectSlot(entry.id);
    if (figure <= 0)
        return 0;
    if (CSpellEffect* own = EffectSpell(caster_spell_effect))
        own->Cast(player);
    SendTeleport(entry.id, teleport_type);
    switch (teleport_type) {
    case 1:
        Notice("You teleport to %s's Ghost", entry.name);
        if (g_playerView) {
            const WorldObject& g = WorldObjectTable[figure];
            PlayerView& v = *g_playerView;
            v.x = g.x;
            v.y = g.y;
            v.pos_x = g.x << 16;
            v.pos_y = g.y << 16;
            v.z = GetStandHeight(g.x, g.y, g.z);
        }
        SendPlayerState(&player, 0, 1);
        break;
    case 2:
        Notice("You call %s's Ghost to you", entry.name);
        entry.status_time = now;
        break;
    case 3:
        Notice("You send a SpiritGate to %s", entry.name);
        entry.status_time = now;
        break;
    default:
        break;
    }
    return 1;
}
