#pragma once
// The game's sine and cosine tables: 4096 angle units a full turn, values in 16.16 fixed point.
// Entry k is round(65536 sin(2 pi k / 4096)), cosine likewise, so quarter turns are exact
// (65536, 0, -65536). Filled before main; index with (angle & kAngleMask).

#include <array>
#include <cstdint>

constexpr int kAngleUnits = 4096;
constexpr int kAngleMask = kAngleUnits - 1;

using AngleTable = std::array<int32_t, kAngleUnits>;

extern const AngleTable SineTable;
extern const AngleTable CosineTable;
