#pragma once
// The small operations through which objects touch spells and the player: rune trips, bounce,
// hit and death effects, a carried spell acting on an object or on the player, the objects'
// sounds, the dead player's marker and the effect generators' objects.

struct LocalPlayer;

// The player trips the rune when within its range (1280 when it has none).
void CheckRuneTrip(int slot);
void BounceEffectNearPlayer(int slot);
void HitEffectNearPlayer(int slot, int struck);
void DeathEffectNearPlayer(int slot);
void ApplyObjectSpellToObject(int a, int b);
void ApplyObjectSpellToPlayer(int slot, LocalPlayer& player);
void PlayObjectDeathSound(int slot);
void PlayObjectHitSound(int slot);
// Frees the player's own object when it is live (own_object stays). Returns 0.
int RemovePlayerObject(LocalPlayer& player);
// The marker a dead player leaves; 1 when it is placed.
int PlaceDeathObject(int slot);
// Effect generator n makes its object while it has none and the player is near. The slot, or 0.
int SpawnEffectObject(int n);
