#include "client/arena/grid_queries.h"

#include <algorithm>

#include "client/arena/local_player.h"
#include "client/arena/player_view.h"
#include "client/core/level_defs.h"
#include "client/present/present_services.h"

namespace {

constexpr int kSolidFloor = 32767;
constexpr int kSolidCeiling = -32768;

bool OnGrid(int x, int y) {
    return x >= 0 && x < kWorldLimit && y >= 0 && y < kWorldLimit;
}

int Cell(int x, int y) {
    return CellIndex(x >> 6, y >> 6);
}

int SubCell(int x, int y) {
    return ((x >> 3) & 7) * 8 + ((y >> 3) & 7);
}

int HeightMapValue(int map, int x, int y) {
    if (map <= 0 || map >= kHeightMaps)
        return 0;
    return g_level.heightMaps[map][(x & 63) * 64 + (y & 63)];
}

int SlopeValue(int number, int x, int y) {
    const int n = SlopeEntry(number);
    if (n == 0)
        return 0;
    const SlopeDef& s = g_level.slopes[n];
    return ((s.x * (x & 63)) >> 6) + ((s.y * (y & 63)) >> 6) + s.lift;
}

const TileDef& TileAt(int cell) {
    int t = g_level.plane[kPlaneTile][cell];
    return g_level.tiles[t >= 0 && t < kMaxTiles ? t : 0];
}

int LowerFloor(int x, int y, int exact) {
    int cell = Cell(x, y);
    const TileDef& tile = TileAt(cell);
    int h = tile.slope ? g_level.tiles[0].floor[SubCell(x, y)] : tile.floor[SubCell(x, y)];
    h += HeightMapValue(g_level.plane[kPlaneHeightMap][cell], x, y);
    h += g_level.plane[kPlaneFloor][cell];
    int slope = SlopeValue(tile.slope ? tile.slope : g_level.plane[kPlaneSlope][cell], x, y);
    if (slope >= 0)
        h += slope;
    if (!exact)
        h -= g_level.plane[kPlaneLiquidDepth][cell];
    return h;
}

}  // namespace

int GetStoreySplit(int x, int y) {
    if (!OnGrid(x, y))
        return kSolidFloor;
    return g_level.plane[kPlaneStoreySplit][Cell(x, y)];
}

int GetFloorHeight(int x, int y, int z, int exact) {
    if (!OnGrid(x, y))
        return kSolidFloor;
    int split = GetStoreySplit(x, y);
    if (z >= split)
        return split;
    return LowerFloor(x, y, exact);
}

int GetStandHeight(int x, int y, int z) {
    if (!OnGrid(x, y))
        return kSolidFloor;
    int eye = g_localPlayer ? g_localPlayer->eye_height : 0;
    int split = GetStoreySplit(x, y);
    if (z >= split)
        return split + eye;
    int floor = LowerFloor(x, y, 1);
    int depth = g_level.plane[kPlaneLiquidDepth][Cell(x, y)];
    if (depth > 0)
        return std::max(floor - depth + eye, floor + 16);
    return floor + eye;
}

int GetCeilingHeight(int x, int y, int z) {
    if (!OnGrid(x, y))
        return kSolidCeiling;
    int cell = Cell(x, y);
    if (z >= GetStoreySplit(x, y))
        return g_level.plane[kPlaneUpperCeiling][cell];
    const TileDef& tile = TileAt(cell);
    int h = g_level.plane[kPlaneCeiling][cell];
    h -= tile.ceiling[SubCell(x, y)];
    h -= HeightMapValue(g_level.plane[kPlaneCeilingMap][cell], x, y);
    int slope = SlopeValue(g_level.plane[kPlaneCeilingSlope][cell], x, y);
    if (slope >= 0)
        h -= slope;
    return h;
}

int AreasSeeEachOther(int x1, int y1, int x2, int y2) {
    if (!OnGrid(x1, y1) || !OnGrid(x2, y2))
        return 0;
    int a = g_level.roomMap[Cell(x1, y1)];
    int b = g_level.roomMap[Cell(x2, y2)];
    if (a < 0 || b < 0)
        return 0;
    if (a == b)
        return 1;
    if (a < kMaxRooms && (g_level.rooms[a].mask >> (b % 32)) & 1u)
        return 2;
    return 0;
}

int CheckLineOfSight(int figure, int x, int y, int z, int height, int width, int exact) {
    if (!g_playerView || !AreasSeeEachOther(g_playerView->x, g_playerView->y, x, y))
        return 0;
    return IsFigureOnScreen(figure, x, y, z, height, width, exact) > 0 ? 2 : 1;
}
