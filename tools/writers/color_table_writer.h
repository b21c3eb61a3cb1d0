#pragma once
// Colour files of the installation: the sample palette, .col light tables (33 shade rows of a
// 256-colour palette as 5-6-5 pixels, row 32 at full brightness) and .tra inverse tables (the
// nearest palette index of every 16-bit pixel of one format).

#include <array>
#include <cstdint>
#include <vector>

#include "client/core/channel_bits.h"

using Palette = std::array<uint8_t, 768>;

// Indices 0 to 6 are the screens' text colours (white; the three teams' red, yellow and blue; the
// highlight green; the ordinary light grey; the dim grey), 7 is black, and the rest are eight
// ramps of 32 shades (grey, red, green, blue, gold, cyan, purple, brown): index i is ramp i / 32 at
// brightness (i % 32 + 1) / 32, so index 31 is white.
constexpr int kSampleTextColours = 7;
constexpr uint8_t kSampleBlack = 7;
Palette SamplePalette();

std::vector<uint8_t> BuildColFile(const Palette& palette);
std::vector<uint8_t> BuildTranslationTable(const Palette& palette, const ChannelBits& bits);
