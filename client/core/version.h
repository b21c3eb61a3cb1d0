#pragma once
// The client's version: a kind byte, the character '1', then major, minor and release, shown as
// "%d.%d%d" (0.70). spell.bin carries the same bytes.

#include <cstdint>

constexpr uint8_t kClientVersion[4] = {'1', 0, 7, 0};
