#include "client/present/tile_mesh.h"

#include <algorithm>

#include "client/present/cell_faces.h"
#include "client/present/quads.h"
#include "client/present/tiles.h"
#include "client/present/world_tables.h"

namespace present {

namespace {

const uint16_t* Profile(const TileDef* tiles, int tile) {
    if (!tiles || tile <= 0 || tile >= kMaxTiles)
        return nullptr;
    return tiles[tile].floor;
}

SgVec3 At(int wx, int wy, int h) { return SgVec3(wx * 0.01f, wy * 0.01f, -h * 0.01f); }

float SubU(int x, int i) { return static_cast<float>(x - World().roomOriginX) + i / 8.0f; }
float SubV(int y, int j) { return static_cast<float>(y - World().roomOriginY) + j / 8.0f; }

// Vertical texture coordinates of a step's bottom and top corners.
void StepV(int slot, int top, int bottom, int base, float* vTop, float* vBottom) {
    const float k = Textures().wallTextureScale;
    *vBottom = 1.0f - (bottom - base) * k / 128.0f;
    *vTop = 0.0f - (bottom - base) * k / 128.0f;
    if (SgTextureProperty* texture = TextureMap(slot)) {
        SgRef<SgImage> image = texture->CurrentImage();
        if (image && image->height > 0)
            *vTop = *vBottom - (top - bottom) * k / static_cast<float>(image->height);
    }
}

void Quad(SgNode* target, const SgVec3 p[4], const SgVec3 uv[4], int slot) {
    AddQuad(target, p, uv, slot, FaceNormal(p[0], p[1], p[2]));
}

}  // namespace

bool TileProfileIsCoarse(const TileDef* tiles, int tile) {
    const uint16_t* t = Profile(tiles, tile);
    if (!t)
        return false;
    for (int a = 0; a < 4; ++a)
        for (int b = 0; b < 4; ++b) {
            const int k = 2 * a * 8 + 2 * b;
            if (t[k] != t[k + 1] || t[k] != t[k + 8] || t[k] != t[k + 9])
                return false;
        }
    return true;
}

int CountFlatSubcells(const TileDef* tiles, int tile) {
    const uint16_t* t = Profile(tiles, tile);
    return t ? static_cast<int>(std::count(t, t + 64, 0)) : 0;
}

int MaxSubcellHeight(const TileDef* tiles, int tile) {
    const uint16_t* t = Profile(tiles, tile);
    return t ? *std::max_element(t, t + 64) : 0;
}

int CountEqualRowNeighbours(const TileDef* tiles, int tile) {
    const uint16_t* t = Profile(tiles, tile);
    int n = 0;
    if (t)
        for (int i = 0; i < 8; ++i)
            for (int j = 0; j < 7; ++j)
                n += t[i * 8 + j] == t[i * 8 + j + 1];
    return n;
}

int CountEqualColumnNeighbours(const TileDef* tiles, int tile) {
    const uint16_t* t = Profile(tiles, tile);
    int n = 0;
    if (t)
        for (int k = 0; k < 56; ++k)
            n += t[k] == t[k + 8];
    return n;
}

void AddSubcellFloorQuad(SgNode* target, int x, int y, int i, int j, int h, int slot, int di, int dj) {
    const int x0 = 64 * x + 8 * i, x1 = x0 + 8 * di, y0 = 64 * y + 8 * j, y1 = y0 + 8 * dj;
    const SgVec3 p[4] = {At(x0, y0, h), At(x0, y1, h), At(x1, y0, h), At(x1, y1, h)};
    const SgVec3 uv[4] = {SgVec3(SubU(x, i), SubV(y, j), 0), SgVec3(SubU(x, i), SubV(y, j + dj), 0),
                          SgVec3(SubU(x, i + di), SubV(y, j), 0), SgVec3(SubU(x, i + di), SubV(y, j + dj), 0)};
    Quad(target, p, uv, slot);
}

void AddSubcellStepXMinus(SgNode* target, int x, int y, int i, int j, int top, int bottom, int slot, int len,
                          int base) {
    float vt, vb;
    StepV(slot, top, bottom, base, &vt, &vb);
    const int px = 64 * x + 8 * i, y0 = 64 * y + 8 * j, y1 = y0 + 8 * len;
    const float u0 = SubV(y, j), u1 = SubV(y, j + len);
    const SgVec3 p[4] = {At(px, y0, top), At(px, y0, bottom), At(px, y1, top), At(px, y1, bottom)};
    const SgVec3 uv[4] = {SgVec3(u0, vt, 0), SgVec3(u0, vb, 0), SgVec3(u1, vt, 0), SgVec3(u1, vb, 0)};
    Quad(target, p, uv, slot);
}

void AddSubcellStepXPlus(SgNode* target, int x, int y, int i, int j, int top, int bottom, int slot, int len,
                         int base) {
    float vt, vb;
    StepV(slot, top, bottom, base, &vt, &vb);
    const int px = 64 * x + 8 * (i + 1), y0 = 64 * y + 8 * j, y1 = y0 + 8 * len;
    const float u0 = SubV(y, j), u1 = SubV(y, j + len);
    const SgVec3 p[4] = {At(px, y0, top), At(px, y1, top), At(px, y0, bottom), At(px, y1, bottom)};
    const SgVec3 uv[4] = {SgVec3(u0, vt, 0), SgVec3(u1, vt, 0), SgVec3(u0, vb, 0), SgVec3(u1, vb, 0)};
    Quad(target, p, uv, slot);
}

void AddSubcellStepYMinus(SgNode* target, int x, int y, int i, int j, int top, int bottom, int slot, int len,
                          int base) {
    float vt, vb;
    StepV(slot, top, bottom, base, &vt, &vb);
    const int py = 64 * y + 8 * j, x0 = 64 * x + 8 * i, x1 = x0 + 8 * len;
    const float u0 = SubU(x, i), u1 = SubU(x, i + len);
    const SgVec3 p[4] = {At(x0, py, top), At(x1, py, top), At(x0, py, bottom), At(x1, py, bottom)};
    const SgVec3 uv[4] = {SgVec3(u0, vt, 0), SgVec3(u1, vt, 0), SgVec3(u0, vb, 0), SgVec3(u1, vb, 0)};
    Quad(target, p, uv, slot);
}

void AddSubcellStepYPlus(SgNode* target, int x, int y, int i, int j, int top, int bottom, int slot, int len,
                         int base) {
    float vt, vb;
    StepV(slot, top, bottom, base, &vt, &vb);
    const int py = 64 * y + 8 * (j + 1), x0 = 64 * x + 8 * i, x1 = x0 + 8 * len;
    const float u0 = SubU(x, i), u1 = SubU(x, i + len);
    const SgVec3 p[4] = {At(x0, py, top), At(x0, py, bottom), At(x1, py, top), At(x1, py, bottom)};
    const SgVec3 uv[4] = {SgVec3(u0, vt, 0), SgVec3(u0, vb, 0), SgVec3(u1, vt, 0), SgVec3(u1, vb, 0)};
    Quad(target, p, uv, slot);
}

namespace {

using StepBuilder = void (*)(SgNode*, int, int, int, int, int, int, int, int, int);

struct Border {
    int dx, dy;
    bool alongY;            // the border runs along y (k is j)
    int facing, neighbour;  // the fixed sub-cell index of this tile and of the neighbour
    StepBuilder build;
};

const Border kBorders[4] = {
    {-1, 0, true, 0, 7, AddSubcellStepXMinus},
    {1, 0, true, 7, 0, AddSubcellStepXPlus},
    {0, -1, false, 0, 7, AddSubcellStepYMinus},
    {0, 1, false, 7, 0, AddSubcellStepYPlus},
};

}  // namespace

void BuildTileMesh(SgNode* target, const GridLayers& g, int x, int y, int lo, int hi) {
    if (!CellOnGrid(x, y))
        return;
    const int c = CellIndex(x, y);
    const int tile = g.Tile(c);
    const uint16_t* t = Profile(g.tiles, tile);
    if (!t)
        return;
    const int d = GridLayers::Byte(g.liquidDepth, c);
    const int f = g.floorHeight[c];
    auto H = [&](int k) { return t[k] - d + f; };
    if (MaxSubcellHeight(g.tiles, tile) + f < lo)
        return;
    const int s = TileProfileIsCoarse(g.tiles, tile) ? 2 : 1;
    const bool flat = CountFlatSubcells(g.tiles, tile) >= 24;
    if (flat)
        BuildLowerCellFaces(target, g, x, y, kWholeCell, lo, hi);
    if (f > hi)
        return;

    const int floorSlot = GridLayers::Byte(g.floorTexture, c);
    const int stepSlot = GridLayers::Byte(g.lowerWallTexture, c);
    const int base = g.wallTextureBase[c];

    // Floor strips, along x unless y has more equal neighbours.
    const bool alongX = CountEqualRowNeighbours(g.tiles, tile) <= CountEqualColumnNeighbours(g.tiles, tile);
    for (int a = 0; a < 8; a += s) {
        for (int b = 0; b < 8;) {
            const int i = alongX ? b : a, j = alongX ? a : b;
            const int k = i * 8 + j;
            if (flat && t[k] == 0) {
                b += s;
                continue;
            }
            int run = 1;
            while (b + run * s < 8) {
                const int next = alongX ? (b + run * s) * 8 + j : i * 8 + b + run * s;
                if (t[next] != t[k])
                    break;
                ++run;
            }
            if (alongX)
                AddSubcellFloorQuad(target, x, y, i, j, H(k), floorSlot, run * s, s);
            else
                AddSubcellFloorQuad(target, x, y, i, j, H(k), floorSlot, s, run * s);
            b += run * s;
        }
    }

    // Steps inside the cell: a face wherever a sub-cell stands above the one beside it.
    auto steps = [&](bool acrossX, int fixed, int other, StepBuilder build, int at) {
        // Runs along the free index m; top at (fixed, m), bottom at (other, m).
        for (int m = 0; m < 8;) {
            auto key = [&](int line, int n) { return acrossX ? line * 8 + n : n * 8 + line; };
            const int top = H(key(fixed, m)), bottom = H(key(other, m));
            if (top <= bottom) {
                m += s;
                continue;
            }
            int run = 1;
            while (m + run * s < 8 && H(key(fixed, m + run * s)) == top &&
                   top - H(key(other, m + run * s)) == top - bottom)
                ++run;
            if (acrossX)
                build(target, x, y, at, m, top, bottom, stepSlot, run * s, base);
            else
                build(target, x, y, m, at, top, bottom, stepSlot, run * s, base);
            m += run * s;
        }
    };
    for (int i = 0; i < 8; i += s) {
        if (i >= s)
            steps(true, i, i - s, AddSubcellStepXMinus, i);
        if (i < 8 - s)
            steps(true, i, i + s, AddSubcellStepXPlus, i + s - 1);
    }
    for (int j = 0; j < 8; j += s) {
        if (j >= s)
            steps(false, j, j - s, AddSubcellStepYMinus, j);
        if (j < 8 - s)
            steps(false, j, j + s, AddSubcellStepYPlus, j + s - 1);
    }

    // Steps at the cell's border toward each neighbour on the grid.
    for (const Border& border : kBorders) {
        if (!CellOnGrid(x + border.dx, y + border.dy))
            continue;
        const int n = CellIndex(x + border.dx, y + border.dy);
        const uint16_t* theirs = Profile(g.tiles, g.Tile(n));
        const int nFloor = g.floorHeight[n] - GridLayers::Byte(g.liquidDepth, n);
        auto mine = [&](int k) { return border.alongY ? border.facing * 8 + k : k * 8 + border.facing; };
        auto their = [&](int k) { return border.alongY ? border.neighbour * 8 + k : k * 8 + border.neighbour; };
        auto nextBottom = [&](int k) { return nFloor + (theirs ? theirs[their(k)] : 0); };
        for (int k = 0; k < 8;) {
            int top = H(mine(k));
            if (g.ceilingHeight[n] < top && top < g.upperFloorHeight[n])
                top = g.ceilingHeight[n];
            const int bottom = flat ? f : nextBottom(k);
            if (top <= bottom) {
                k += s;
                continue;
            }
            int run = 1;
            while (k + run * s < 8) {
                const int next = k + run * s;
                const int nextTop = std::min<int>(H(mine(next)), g.ceilingHeight[n]);
                if (nextTop != top || nextTop - nextBottom(next) != top - bottom)
                    break;
                ++run;
            }
            const int i = border.alongY ? border.facing : k, j = border.alongY ? k : border.facing;
            border.build(target, x, y, i, j, top, bottom, stepSlot, run * s, base);
            k += run * s;
        }
    }
}

}  // namespace present
