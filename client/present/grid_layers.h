#pragma once
// The per-cell layers of the level grid that the world builder reads (index x * 128 + y), with
// the tile height profiles and slope planes. Off-grid cells are absent; 8-bit layers whose value
// names nothing the level has read as none.

#include <cstdint>

#include "client/core/level_defs.h"

namespace present {

struct GridLayers {
    const int16_t* floorHeight = nullptr;
    const int16_t* ceilingHeight = nullptr;
    const int16_t* upperFloorHeight = nullptr;
    const int16_t* upperCeilingHeight = nullptr;
    const int16_t* wallTextureBase = nullptr;
    // 8-bit layers, held in the grid's 16-bit planes.
    const int16_t* liquidDepth = nullptr;
    const int16_t* tileNumber = nullptr;
    const int16_t* floorSlope = nullptr;
    const int16_t* ceilingSlope = nullptr;
    const int16_t* floorTexture = nullptr;
    const int16_t* lowerWallTexture = nullptr;
    const int16_t* upperWallTexture = nullptr;
    const int16_t* ceilingTexture = nullptr;
    const int16_t* upperFloorTexture = nullptr;
    const int16_t* upperCeilingTexture = nullptr;
    const TileDef* tiles = nullptr;    // kMaxTiles profiles
    const SlopeDef* slopes = nullptr;  // kMaxSlopes planes

    static int Byte(const int16_t* layer, int cell) { return static_cast<uint16_t>(layer[cell]) & 0xFF; }
    // 0 for a tile number no tile can have.
    int Tile(int cell) const {
        const int t = Byte(tileNumber, cell);
        return t < kMaxTiles ? t : 0;
    }
    int FloorSlope(int cell) const { return SlopeEntry(Byte(floorSlope, cell)); }
    int CeilingSlope(int cell) const { return SlopeEntry(Byte(ceilingSlope, cell)); }
};

// The layers of the loaded level.
GridLayers LevelGridLayers(const LevelDefs& level);

inline bool CellOnGrid(int x, int y) { return x >= 0 && x < kGridSide && y >= 0 && y < kGridSide; }

}  // namespace present
