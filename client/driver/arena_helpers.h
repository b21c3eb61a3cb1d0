#pragma once
// The bookkeeping around one arena game: the team the player joins, the points a match settles,
// the damage tint's strength, the shrine test at entry and freeing the level afterwards.

#include <cstdint>

struct LocalPlayer;

// Game value #4 for the arena entry at index arena of ArenaTable (-1 none): in a team arena (and
// when #120 is even) the service's forced team, else a team already chosen, else the offered team
// with the fewest players (the lower number on a tie, none below 10 gives team 1); otherwise 0.
void ChooseTeam(int arena);

// Points of the match into the player's total (#1): #132 is held to #106, and the three parts
// are scaled down together when they pass the level's cap ((#0 + 1) x 1000). Sums in 64 bits.
void SettleMatchPoints();
// The per-match fields of the player and game values #105, #106, #121..#133 back to 0.
void ResetMatchScores(LocalPlayer& player);

// The damage tint's opacity 0..100 with tintMs of the tint left: fuller the more hit points
// (#107 of #108) are lost; a maximum at or below 0 counts as none left.
int DamageTintStrength(int tintMs);

// 1 when the player's team (#4) has a shrine in use whose power is gone: he starts dead.
int TeamShrineLost();

// Every live object below the high-water mark that glows starts its glow afresh.
void ResetObjectGlow();

// Every object, thin and trigger of the level, its tables and textures, and the arena's scene.
void FreeLevel();
