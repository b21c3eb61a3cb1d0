#pragma once
// The rows of the player lists (the Tavern's player column and the in-game player page): every
// player of the table (499 at most), the own row and the group headers fit.

#include <cstdint>

constexpr int kPlayerRowCapacity = 504;

struct PlayerRow {
    char name[32];
    int32_t id;
    int32_t profession;
    int32_t level;
    int32_t location;
    int32_t colour;
    int32_t group;  // 0 a player; below 0 a header row
};
