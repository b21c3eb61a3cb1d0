#pragma once
// The tables that carry the 8-bit art to the 16-bit screen and back: light tables (33 shade rows
// of 256 palette indices, each entry the 16-bit pixel twice so two pixels are written at once),
// the shade pointer table over the base light table, the inverse table from a 16-bit pixel to a
// palette index, and the system palette.
//
// .col files hold 33 rows of 256 little-endian 5-6-5 pixels; .tra files hold the inverse table
// for one pixel format. color.dat (and a level pack's colour configuration) names them in section
// "color_tables": key "%02d" the .col file of table n, "red%02d", "green%02d", "blue%02d" the
// channel boosts 0, 1 or 2.

#include <cstdint>
#include <cstdio>

#include "client/core/channel_bits.h"

class PackFile;

constexpr int kShadeRows = 33;
constexpr int kShadeLevels = 512;
constexpr int kFirstGridLightTable = 16;
constexpr int kLastGridLightTable = 23;
constexpr int kColFileSize = kShadeRows * 256 * 2;  // 16,896 bytes
constexpr int kInverseTableSize = 65536;

struct LightTable {
    uint32_t rows[kShadeRows][256];
};

// Table 0 (the base table) and the level's tables 16 to 23; null for other numbers.
LightTable* GetLightTable(int n);
// Row 32 of the base table: entry i is the pixel of palette index i (twice).
extern const uint32_t* const PaletteColourTable;
// Rows of the base table by shade value: below 256 row 0, 256 to 288 row s - 256, then row 32.
extern const uint32_t* ShadeTable[kShadeLevels];
extern uint8_t InverseColourTable[kInverseTableSize];
extern uint8_t SystemPalette[768];

struct ChannelBoosts {
    int red = 0;
    int green = 0;
    int blue = 0;
};

// A channel (0 to 255) with boost 1 doubled, 255 from 128 on; with boost 2 four times, 255 from
// 64 on; with any other boost as it is.
int BoostChannel(int channel, int boost);

// Turns a .col file's 33 x 256 5-6-5 values into a light table for the display's format,
// boosting channels as asked.
void ConvertLightTable(const uint8_t* colBytes, const ChannelBoosts& boosts, const ChannelBits& bits,
                       LightTable& out);

// Loads the base table, the inverse table for the display's format and the system palette. 0; -1
// when the .col or the .tra file cannot be read (logged; the program cannot go on without them).
int init_lightsource(const char* configFile, const ChannelBits& bits);
void BuildShadeTables();
// Loads tables 16 to 23 from the level's pack, named by the pack's colour configuration (an open
// stream). An entry that is missing or too short is logged and leaves its table as it was.
// Returns 0.
int InitGridLightsourceFromPack(PackFile& pack, FILE* config, const ChannelBits& bits);
