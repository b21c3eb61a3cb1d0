#pragma once
// The local player's 40 effect slots and the five effect slots of a world object: looking an
// effect up, removing one, clearing all.

struct LocalPlayer;

// The effect's level while it is on (and, for a non-zero element, of that element), else 0.
int GetActiveEffect(const LocalPlayer& player, int effect, int element);
// Ends the effect (27 gives back the power above the maximum, 29 lifts the fog) and takes it
// off the own figure; send announces it to the service.
void RemovePlayerEffect(LocalPlayer& player, int effect, int send);
// Every effect ends without a message, the own figure's slots too.
void ClearPlayerEffects(LocalPlayer& player);
// Effects 17, 12 and 13 (concealment) end, announced.
void BreakConcealment();
// Every 250 ms or more: effects run out, pulse at their periods, concealment breaks when the
// speed changes past its limit, and the HUD shows the first eight icons. elapsed 0 ends them all.
void UpdatePlayerEffects(LocalPlayer& player, int elapsed);
// Forgets the speed and icons of the last tick (at arena entry).
void ResetEffectTicker();

// Time left of the effect on the object (element 0 any), 0 when it carries none.
int GetObjectEffect(int slot, int effect, int element);
void RemoveObjectEffect(int slot, int effect);
void ClearObjectEffects(int slot);
void ClearObjectEffectSlot(int slot, int index);
