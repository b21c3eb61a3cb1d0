#include "client/arena/player_effects.h"

#include <cstring>
#include <initializer_list>

#include "client/arena/local_player.h"
#include "client/arena/world_object.h"
#include "client/core/game_values.h"
#include "client/net/net_handshake.h"
#include "client/present/present_services.h"

namespace {

bool EffectNumber(int n) {
    return n >= 0 && n < kPlayerEffects;
}

bool ObjectSlot(int slot) {
    return slot > 0 && slot < kWorldObjectSlots;
}

constexpr int kObjectEffectSlots = 5;

}  // namespace

int GetActiveEffect(const LocalPlayer& player, int effect, int element) {
    if (!EffectNumber(effect))
        return 0;
    const PlayerEffect& e = player.effects[effect];
    if (!e.active || (element && e.element != element))
        return 0;
    return e.level;
}

void RemovePlayerEffect(LocalPlayer& player, int effect, int send) {
    if (!EffectNumber(effect))
        return;
    if (effect == 27 && GetGameValue(109) > GetGameValue(110))
        SetGameValue(109, GetGameValue(110));
    if (effect == 29)
        SetWorldFog(0, 0, 0, 0, 0);
    PlayerEffect& e = player.effects[effect];
    e.level = 0;
    e.time_left = 0;
    std::memset(e.name, 0, sizeof e.name);
    e.active = 0;
    if (player.own_object)
        RemoveObjectEffect(player.own_object, effect);
    if (send)
        SendRemovePlayerEffect(effect);
}

void ClearPlayerEffects(LocalPlayer& player) {
    for (int n = 0; n < kPlayerEffects; ++n)
        if (player.effects[n].active)
            RemovePlayerEffect(player, n, 0);
    if (player.own_object)
        ClearObjectEffects(player.own_object);
}

void BreakConcealment() {
    if (!g_localPlayer)
        return;
    for (int n : {17, 12, 13})
        if (g_localPlayer->effects[n].active)
            RemovePlayerEffect(*g_localPlayer, n, 1);
}

int GetObjectEffect(int slot, int effect, int element) {
    if (!ObjectSlot(slot) || effect <= 0)
        return 0;
    for (const ObjectEffectSlot& e : WorldObjectTable[slot].effects) {
        if (e.effect == effect && (!element || e.element == element))
            return e.remaining + 1 > 0 ? e.remaining + 1 : 1;  // the slot keeps time left less one
    }
    return 0;
}

void ClearObjectEffectSlot(int slot, int index) {
    if (!ObjectSlot(slot) || index < 0 || index >= kObjectEffectSlots)
        return;
    WorldObject& o = WorldObjectTable[slot];
    ObjectEffectSlot& e = o.effects[index];
    const int effect = e.effect;
    e.effect = 0;
    e.remaining = 0;
    if ((effect == 12 || effect == 13) && o.figure)
        SetFigureTint(o.figure, 100, 0, 0, 255, 255, 255);
}

void RemoveObjectEffect(int slot, int effect) {
    if (!ObjectSlot(slot) || effect <= 0)
        return;
    for (int i = 0; i < kObjectEffectSlots; ++i)
        if (WorldObjectTable[slot].effects[i].effect == effect)
            ClearObjectEffectSlot(slot, i);
}

void ClearObjectEffects(int slot) {
    for (int i = 0; i < kObjectEffectSlots; ++i)
        if (ObjectSlot(slot) && WorldObjectTable[slot].effects[i].effect)
            ClearObjectEffectSlot(slot, i);
}
