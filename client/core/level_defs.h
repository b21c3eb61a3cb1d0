#pragma once
// The tables of one loaded level: the 128 x 128 grid planes, the maps derived from them, tiles,
// slopes, height maps, light patterns and the fixture records. They live until the next level
// load, which clears every one of them first. Per-cell tables are indexed x * 128 + y in cells.

#include <cstdint>

constexpr int kGridSide = 128;
constexpr int kGridCells = kGridSide * kGridSide;
constexpr int kGridPlanes = 19;
constexpr int kWorldLimit = 8192;  // world units on each axis: cells of 64

// What each plane holds. The file gives only the words; these roles come from their readers
// (collision, the grid queries, the elevators and the world builder).
enum GridPlane {
    kPlaneLowerWallTexture = 0,
    kPlaneFloorTexture = 1,
    kPlaneCeilingTexture = 2,
    kPlaneFloor = 3,              // lower floor base height
    kPlaneCeiling = 4,            // lower ceiling base height
    kPlaneStoreySplit = 5,        // rooftop: the upper storey's floor
    kPlaneTile = 6,
    kPlaneLiquidDepth = 7,
    kPlaneMarker = 8,
    kPlaneCeilingMap = 9,         // ceiling height map; codes 33..40 are second-slope codes
    kPlaneHeightMap = 10,         // floor height map; codes 33..40 are slope codes
    kPlaneUpperWallTexture = 11,
    kPlaneUpperFloorTexture = 12,
    kPlaneUpperCeilingTexture = 13,
    kPlaneUpperCeiling = 14,
    kPlaneWallBase = 15,          // wall texture base: every elevator move carries it along
    kPlaneCeilingSlope = 16,
    kPlaneSlope = 17,
    kPlaneSpare = 18,
};

constexpr int kOpenSky = 1024;  // a ceiling of 1024 is open sky

inline int CellIndex(int cx, int cy) { return cx * kGridSide + cy; }
inline bool CellInGrid(int cx, int cy) { return cx >= 0 && cx < kGridSide && cy >= 0 && cy < kGridSide; }

constexpr int kMaxTiles = 100;          // 1..99
constexpr int kMaxSlopes = 99;
constexpr int kHeightMaps = 51;         // 0 flat, 1..50 built in
constexpr int kMaxPatterns = 32;
constexpr int kPatternSide = 16;
constexpr int kMaxEarthnodes = 100;     // the loader fills at most 30
constexpr int kLoadedEarthnodes = 30;
constexpr int kMaxShrines = 20;
constexpr int kMaxTransports = 30;
constexpr int kMaxSoundRegions = 100;
constexpr int kMaxSafeZones = 100;      // numbered from 1
constexpr int kMaxRooms = 32;
constexpr int kMaxRoomViews = 10;
constexpr int kMaxOlist = 100;          // entries 1..99
constexpr int kOlistFields = 22;
constexpr int kMaxGenerators = 100;
constexpr int kMaxPlacements = 1000;
constexpr int kTeams = 4;
constexpr int kRaisePoints = 5;

struct TileDef {
    uint16_t floor[64];    // by sub-cell, i * 8 + j
    uint16_t ceiling[64];
    int32_t slope;         // a stair slope that overrides the heights when not 0
};

struct SlopeDef {
    int8_t x, y, lift, spare;
};

// Slope n is entry n of the table, for the floor walked on and the floor drawn alike; 0 and
// numbers past the table are flat (0).
inline int SlopeEntry(int n) { return n > 0 && n < kMaxSlopes ? n : 0; }

struct LightPattern {
    int32_t half_size;
    int16_t grid[kPatternSide][kPatternSide];
    int32_t light_type, red, green, blue, flicker, intensity, distance;
};

// One record for the loader's, the bias code's and the power code's fields alike.
struct EarthnodeDef {
    int32_t found;
    int32_t owner;
    int32_t bias;
    int32_t power, max_power;
    int32_t x, y;
    int32_t fixture;
    int32_t neutral_texture, chaos_texture, order_texture, balance_texture;
    int32_t link[5];
    int32_t radius;
    int32_t weight;
    int32_t connected_team;
    int32_t visited;
};

struct ShrineDef {
    int32_t found;
    int32_t alignment;  // 1 chaos, 2 order, 3 balance, 0 other
    int32_t bias;
    int32_t power, max_power;
    int32_t object, image, dead_image;
    int32_t x, y;
    int32_t fixture;
    int32_t link[5];
    int32_t weight;
};

struct TransportDef {
    int32_t used;
    int32_t startx, starty, starta;
    char grid[52];
};

struct SoundRegionDef {
    int32_t sound, volume, used;
};

struct SafeZoneDef {
    int32_t used, trigger;
};

struct RoomView {
    int32_t used;
    int32_t minx, maxx, miny, maxy;
    int32_t count;
    int32_t views[kMaxRoomViews];
    uint32_t mask;
};

struct StartPoint {
    int32_t x, y, angle;
    int32_t raise_x[kRaisePoints], raise_y[kRaisePoints], raise_a[kRaisePoints];
};

// Monster and effect generators share one record.
struct Generator {
    int32_t active;
    int32_t kind;       // monster kind; 0 for effects
    int32_t maximum;
    int32_t chance;
    int32_t timer, reload;
    int32_t x, y;
    int32_t single;
    int32_t object;     // slot of the object made, 0 none
    int32_t olist;      // 0 for monsters
    int32_t spare[2];
    int32_t height;
};

struct LevelDefs {
    int32_t gridSide;        // N of grid.dat
    int32_t wordsPerCell;    // 16 or 19
    int16_t plane[kGridPlanes][kGridCells];

    uint8_t cellKind[kGridCells];
    uint8_t cellIndex[kGridCells];
    uint8_t cellFlags[kGridCells];
    uint8_t edge[4][kGridCells];         // -y, +y, -x, +x
    uint8_t rooftopEdge[4][kGridCells];
    int8_t roomMap[kGridCells];

    TileDef tiles[kMaxTiles];
    SlopeDef slopes[kMaxSlopes];
    uint8_t heightMaps[kHeightMaps][64 * 64];
    uint8_t lightFalloff[64 * 64];
    int32_t lightFalloffMode;
    int32_t patternCount;
    LightPattern patterns[kMaxPatterns];

    EarthnodeDef earthnodes[kMaxEarthnodes];
    ShrineDef shrines[kMaxShrines];
    TransportDef transports[kMaxTransports];
    SoundRegionDef soundRegions[kMaxSoundRegions];
    SafeZoneDef safeZones[kMaxSafeZones];
    RoomView rooms[kMaxRooms];

    uint16_t olist[kMaxOlist][kOlistFields];
    StartPoint starts[kTeams];
    Generator monsterGens[kMaxGenerators];
    Generator effectGens[kMaxGenerators];

    // world.dat [light] and [map]
    int32_t ambient, outdoor, intensity;
    int32_t minx, miny, maxx, maxy;
};

extern LevelDefs g_level;

// Zeroes every level table (the next load starts from nothing of the last).
void ClearLevelDefs();

// The light pattern of light number n (1..31), or null: 0 means no light.
const LightPattern* FindLightPattern(int n);
