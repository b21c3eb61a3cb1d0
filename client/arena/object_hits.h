#pragma once
// What a spell object does to what it meets: overlays on figures, elemental shields, passing
// through players, bursts and the strike itself.

#include <cstdint>

struct LocalPlayer;

// Puts an overlay model on the object's figure (near the player only); an overlay already shown
// stays unless replace. direction -1 takes the object's facing.
void AttachObjectOverlay(int slot, int figure, int time, int part, int mode, int color, int direction, int tilt,
                         int replace);
// Removes the overlay shown (only that figure's when figure is not 0).
void RemoveObjectOverlay(int slot, int figure);
// Shows the overlay of the object's effect slot k.
void SgxCreateFigureOverlay(int slot, int k, int direction, int tilt);
// The target's shields of the element light up towards the source.
void AddHitOverlay(int target, int element, int source);

// The level of the object's first effect of the type (of the element when not 0); 0 none.
int ObjectEffectLevel(int slot, int type, int element);
int ObjectShieldedDamage(int damage, int target, int element);
int PlayerShieldedDamage(int damage, const LocalPlayer& player, int element);
int RollObjectDamage(int slot);
// A struck monster hunts its attacker (creator below 0 the player, above 0 a monster's id) with
// its allies, loses the damage (clamped to 16 bits) and dies at 0.
void ReactToAttacker(int target, int creator);
void HurtObject(int target, int32_t damage, int creator);

// A multi-target object touches the player it met; 1 when it flies on.
int PassThroughTarget(int slot, int code, LocalPlayer& player);
// Everything within effect_radius of the object but skip, itself and its maker.
void AreaBurst(int slot, int skip, LocalPlayer& player);
// A spell object's answer to a hit; 1 when the move is blocked.
int ResolveObjectCollision(int slot, int code, LocalPlayer& player);
