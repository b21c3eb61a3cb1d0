#include "client/arena/object_effects.h"

#include <cstdlib>

#include "client/arena/ambient_sound.h"
#include "client/arena/grid_queries.h"
#include "client/arena/local_player.h"
#include "client/arena/player_view.h"
#include "client/arena/spell.h"
#include "client/arena/world_object.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "client/screens/chat_buffer.h"

namespace {

bool Valid(int slot) {
    return slot > 0 && slot < kWorldObjectSlots;
}

// Both differences from the player's position below limit.
bool PlayerWithin(const WorldObject& o, int limit) {
    if (!g_playerView)
        return false;
    return std::abs(g_playerView->x - o.x) < limit && std::abs(g_playerView->y - o.y) < limit;
}

void Detonate(int spell, int slot) {
    if (CSpell* s = GetSpell(spell))
        s->Detonate(slot);
}

}  // namespace

void CheckRuneTrip(int slot) {
    if (!Valid(slot) || !g_playerView)
        return;
    const WorldObject& o = WorldObjectTable[slot];
    const int dx = std::abs(g_playerView->x - o.x), dy = std::abs(g_playerView->y - o.y);
    const int r = o.death_effect_range;
    const bool tripped = r ? dx < r && dy < r : dx <= 1280 && dy <= 1280;
    if (tripped)
        Detonate(o.death_effect, slot);
}

void BounceEffectNearPlayer(int slot) {
    if (Valid(slot) && PlayerWithin(WorldObjectTable[slot], 641))
        Detonate(WorldObjectTable[slot].bounce_effect, slot);
}

void HitEffectNearPlayer(int slot, int struck) {
    if (Valid(slot) && Valid(struck) && PlayerWithin(WorldObjectTable[slot], 641))
        Detonate(WorldObjectTable[struck].hit_effect, slot);
}

void DeathEffectNearPlayer(int slot) {
    if (Valid(slot) && PlayerWithin(WorldObjectTable[slot], 512))
        Detonate(WorldObjectTable[slot].death_effect, slot);
}

void ApplyObjectSpellToObject(int a, int b) {
    if (!Valid(a) || !Valid(b))
        return;
    const WorldObject& oa = WorldObjectTable[a];
    if (oa.team && oa.team == WorldObjectTable[b].team)
        return;
    if (CSpell* s = GetSpell(oa.death_spell_effect))
        s->ObjectCast(b, -a);
}

void ApplyObjectSpellToPlayer(int slot, LocalPlayer& player) {
    if (!Valid(slot))
        return;
    const WorldObject& o = WorldObjectTable[slot];
    if ((o.team && o.team == GetGameValue(4)) || player.dead)
        return;
    if (CSpell* s = GetSpell(o.death_spell_effect))
        s->AffectPlayer(player, o.creator, 0);
}

void PlayObjectDeathSound(int slot) {
    if (Valid(slot) && WorldObjectTable[slot].death_sound)
        PlaySoundAt(WorldObjectTable[slot].x, WorldObjectTable[slot].y, WorldObjectTable[slot].death_sound,
                    WorldObjectTable[slot].sound_range);
}

void PlayObjectHitSound(int slot) {
    if (Valid(slot) && WorldObjectTable[slot].hit_sound)
        PlaySoundAt(WorldObjectTable[slot].x, WorldObjectTable[slot].y, WorldObjectTable[slot].hit_sound,
                    WorldObjectTable[slot].sound_range);
}

int RemovePlayerObject(LocalPlayer& player) {
    if (Valid(player.own_object) && WorldObjectTable[player.own_object].active == 1)
        DestroyObject(player.own_object);
    return 0;
}

int PlaceDeathObject(int slot) {
    if (!Valid(slot))
        return 0;
    int marker = AllocObjectSlot(OBJ_STATIC);
    if (!marker)
        return 0;
    PrintDebug("Player Death Object %d Created From %d", marker, slot);
    const WorldObject& dead = WorldObjectTable[slot];
    WorldObject& m = WorldObjectTable[marker];
    m.pos_x = dead.pos_x;
    m.pos_y = dead.pos_y;
    m.pos_z = dead.pos_z;
    m.x = dead.x;
    m.y = dead.y;
    m.z = dead.z;
    m.facing = dead.facing;
    m.imagenum = dead.imagenum;
    m.body_variant = dead.body_variant;
    m.head_variant = dead.head_variant;
    m.image_timer_max = dead.image_timer_max;
    m.team = dead.team;
    m.death_image_timer_max = 150;
    m.gravity = 1;
    if (dead.death_effect)
        DeathEffectNearPlayer(slot);
    m.type = OBJ_BODY;
    if (!ActivateObject(marker))
        return 0;
    m.duration_timer = 30000;
    PrintDebug("Player Death Object %d Placed", marker);
    return 1;
}

int SpawnEffectObject(int n) {
    if (n < 0 || n >= kMaxGenerators || !g_playerView)
        return 0;
    Generator& g = g_level.effectGens[n];
    if (g.object || g.olist < 1 || g.olist >= kMaxOlist)
        return 0;
    if (std::abs(g_playerView->x - g.x) >= 512 || std::abs(g_playerView->y - g.y) >= 512)
        return 0;
    int slot = AllocObjectAt(g_level.olist[g.olist][0], g.x, g.y);
    if (!slot)
        return 0;
    WorldObject& o = WorldObjectTable[slot];
    o.id = 0;
    InitObjectFromOlist(slot, g.olist);
    CreateStaticObject(slot, g.olist);
    o.z = static_cast<int16_t>(g.height);
    o.pos_z = static_cast<int32_t>(static_cast<uint32_t>(g.height) << 16);
    if (ActivateObject(slot))
        g.object = slot;
    return slot;
}
