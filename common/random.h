#pragma once
// The one pseudo-random generator of the game and the engine: a 32-bit linear congruential
// state giving 15-bit values (0 to 32767). Callers depend on that range and on the order of
// draws, so nothing else may draw from it behind their back, and the C library's rand() is
// never used.

#include <cstdint>

constexpr int GAME_RAND_MAX = 32767;

void GameSrand(uint32_t seed);
int GameRand();
