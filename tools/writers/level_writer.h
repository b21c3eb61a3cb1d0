#pragma once
// Writes the binary level files byte for byte as the loader reads them: grid.dat (the side, two
// spare bytes, the cells with y outermost, then 1000 placement records of 16 bytes), misc.dat
// (thins at 0, textures at 23000, tiles at 49000, slopes at 80250) and objects.dat (99 records of
// 116 bytes).

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct LevelPlacement {
    uint32_t olist = 0;
    int32_t x = 0, y = 0;
    int16_t height = 0;
    int16_t facingDegrees = 0;
};

struct LevelThinRecord {
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    uint8_t texture = 0, texture2 = 0;
    int32_t length = 0, height = 0;
    int32_t open = 0, kind = 0, speedCap = 0, color = 0, trigger = 0, angleDegrees = 0;
    int32_t used = 1;  // 0 marks an empty record
    int32_t base = 0, side = 0, transparent = 0, thickness = 0;
};

struct LevelTextureRecord {
    std::vector<std::string> frames;  // at most four names, each ended by a space
    int32_t hbits = 0, wbits = 0, timer = 0, sound = 0, numframes = 0, translucent = 0;
    int32_t word84 = 0, colorTable = 0, word92 = 0;
};

// The 21 filled fields of an object list entry, in the entry's order.
using LevelOlistEntry = std::array<uint16_t, 21>;

struct LevelSource {
    int side = 128;
    int words = 19;  // 16 or 19 a cell
    std::vector<uint16_t> cells;  // (y * 128 + x) * words + k, 128 x 128 cells
    std::vector<LevelPlacement> placements;            // at most 1000
    std::vector<LevelThinRecord> thins;                // at most 250
    std::map<int, LevelTextureRecord> textures;        // 1..249
    std::map<int, std::array<uint32_t, 64>> tiles;     // 1..99: value j * 8 + i is sub-cell (i, j)
    std::map<int, std::pair<int32_t, int32_t>> slopes; // 0..98
    std::map<int, LevelOlistEntry> olist;              // 1..99

    LevelSource() : cells(static_cast<size_t>(128 * 128) * 19) {}
    void SetWords(int w) { words = w; cells.assign(static_cast<size_t>(128 * 128) * w, 0); }
    uint16_t& Word(int x, int y, int k) { return cells[static_cast<size_t>(y * 128 + x) * words + k]; }
    // Sets word k of every cell of the rectangle (inclusive).
    void Fill(int x1, int y1, int x2, int y2, int k, uint16_t v);
};

std::vector<uint8_t> BuildGridDat(const LevelSource& level);
std::vector<uint8_t> BuildMiscDat(const LevelSource& level);
std::vector<uint8_t> BuildObjectsDat(const LevelSource& level);
