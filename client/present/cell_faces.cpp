#include "client/present/cell_faces.h"

#include <algorithm>

#include "client/present/quads.h"
#include "client/present/tile_mesh.h"
#include "client/present/tiles.h"
#include "client/present/world_files.h"
#include "client/present/world_tables.h"

namespace present {

namespace {

constexpr float kCell = 0.64f;
constexpr int kNoSurface = 1024;
constexpr int kBandStep = 192;

float Z(int h) { return -h * 0.01f; }

// The quad's texture coordinates count cells from the room's low corner.
float U(int x) { return static_cast<float>(x - World().roomOriginX); }
float V(int y) { return static_cast<float>(y - World().roomOriginY); }

const int kFlat[4] = {0, 0, 0, 0};

// A horizontal quad over w x d cells from (x, y): floor order faces up, ceiling order down.
void HorizontalQuad(SgNode* target, int x, int y, int w, int d, int h, int slot, const int c[4], bool ceiling) {
    const float x0 = x * kCell, x1 = (x + w) * kCell, y0 = y * kCell, y1 = (y + d) * kCell;
    const int sign = ceiling ? -1 : 1;
    const SgVec3 at00(x0, y0, Z(h + sign * c[0])), at01(x0, y1, Z(h + sign * c[1]));
    const SgVec3 at10(x1, y0, Z(h + sign * c[2])), at11(x1, y1, Z(h + sign * c[3]));
    const float u = U(x), v = V(y);
    const SgVec3 uv00(u, v, 0), uv01(u, v + d, 0), uv10(u + w, v, 0), uv11(u + w, v + d, 0);
    SgVec3 p[4], uv[4];
    if (ceiling) {
        p[0] = at00, p[1] = at10, p[2] = at01, p[3] = at11;
        uv[0] = uv00, uv[1] = uv10, uv[2] = uv01, uv[3] = uv11;
    } else {
        p[0] = at00, p[1] = at01, p[2] = at10, p[3] = at11;
        uv[0] = uv00, uv[1] = uv01, uv[2] = uv10, uv[3] = uv11;
    }
    AddQuad(target, p, uv, slot, FaceNormal(p[0], p[1], p[2]));
}

enum class Side { kXMinus, kXPlus, kYMinus, kYPlus };

// The vertical texture coordinate of a wall corner at height h.
float WallV(int slot, int h, int base, bool top) {
    if (SgTextureProperty* texture = TextureMap(slot)) {
        SgRef<SgImage> image = texture->CurrentImage();
        if (image && image->height > 0)
            return -(static_cast<float>(h - base) / static_cast<float>(image->height)) * Textures().wallTextureScale;
    }
    return top ? 0.0f : 1.0f;
}

void WallQuad(SgNode* target, Side side, int x, int y, const WallBand& b, int slot, int base) {
    const float x0 = x * kCell, x1 = (x + 1) * kCell, y0 = y * kCell, y1 = (y + 1) * kCell;
    // The shared edge's two ends, the cell count its u starts at, and whether the corners go
    // top, bottom, top, bottom (else both tops first): each order faces the neighbour.
    float ex0, ey0, ex1, ey1, u;
    bool interleaved;
    switch (side) {
    case Side::kXMinus: ex0 = x0, ey0 = y0, ex1 = x0, ey1 = y1, u = V(y), interleaved = true; break;
    case Side::kXPlus: ex0 = x1, ey0 = y0, ex1 = x1, ey1 = y1, u = V(y), interleaved = false; break;
    case Side::kYMinus: ex0 = x0, ey0 = y0, ex1 = x1, ey1 = y0, u = U(x), interleaved = false; break;
    default: ex0 = x0, ey0 = y1, ex1 = x1, ey1 = y1, u = U(x), interleaved = true; break;
    }
    const SgVec3 top0(ex0, ey0, Z(b.t0)), bottom0(ex0, ey0, Z(b.b0)), top1(ex1, ey1, Z(b.t1)),
        bottom1(ex1, ey1, Z(b.b1));
    const SgVec3 uvTop0(u, WallV(slot, b.t0, base, true), 0), uvBottom0(u, WallV(slot, b.b0, base, false), 0);
    const SgVec3 uvTop1(u + 1, WallV(slot, b.t1, base, true), 0), uvBottom1(u + 1, WallV(slot, b.b1, base, false), 0);
    SgVec3 p[4], uv[4];
    if (interleaved) {
        p[0] = top0, p[1] = bottom0, p[2] = top1, p[3] = bottom1;
        uv[0] = uvTop0, uv[1] = uvBottom0, uv[2] = uvTop1, uv[3] = uvBottom1;
    } else {
        p[0] = top0, p[1] = top1, p[2] = bottom0, p[3] = bottom1;
        uv[0] = uvTop0, uv[1] = uvTop1, uv[2] = uvBottom0, uv[3] = uvBottom1;
    }
    // A band without height at its first corner takes its normal from the far corner.
    int normal[3] = {0, 1, 2};
    if (b.t0 == b.b0)
        normal[interleaved ? 1 : 2] = 3;
    AddQuad(target, p, uv, slot, FaceNormal(p[normal[0]], p[normal[1]], p[normal[2]]));
}

// Clips the band to lo..hi and cuts it at every multiple of 192 between bottom and top.
void AddWall(SgNode* target, Side side, int x, int y, WallBand b, int slot, int base, int lo, int hi) {
    if (slot == 0 || b.b0 > hi || b.b1 > hi || b.t0 < lo || b.t1 < lo)
        return;
    b.b0 = std::max(b.b0, lo);
    b.b1 = std::max(b.b1, lo);
    b.t0 = std::min(b.t0, hi);
    b.t1 = std::min(b.t1, hi);
    if (b.t0 <= b.b0 && b.t1 <= b.b1)
        return;
    int s = ((std::max(b.b0, b.b1) + kBandStep) / kBandStep) * kBandStep;
    while (s < std::min(b.t0, b.t1)) {
        WallQuad(target, side, x, y, WallBand{s, s, b.b0, b.b1}, slot, base);
        b.b0 = b.b1 = s;
        s += kBandStep;
    }
    WallQuad(target, side, x, y, b, slot, base);
}

// A side of cell (x, y): its neighbour and the corners of each on the shared edge.
struct SideInfo {
    Side side;
    int code;
    int dx, dy;
    int mine[2], theirs[2];
};

const SideInfo kSides[4] = {
    {Side::kXMinus, kSideXMinus, -1, 0, {0, 1}, {2, 3}},
    {Side::kXPlus, kSideXPlus, 1, 0, {2, 3}, {0, 1}},
    {Side::kYMinus, kSideYMinus, 0, -1, {0, 2}, {1, 3}},
    {Side::kYPlus, kSideYPlus, 0, 1, {1, 3}, {0, 2}},
};

void AddSideWall(SgNode* target, const SideInfo& s, int x, int y, WallBand band, int slot, int base, int lo, int hi) {
    AddWall(target, s.side, x, y, band, slot, base, lo, hi);
}

int FloorBottom(const GridLayers& g, int cell) {
    return g.floorHeight[cell] - GridLayers::Byte(g.liquidDepth, cell);
}

}  // namespace

void SetFourInts(int out[4], int a, int b, int c, int d) {
    out[0] = a;
    out[1] = b;
    out[2] = c;
    out[3] = d;
}

namespace {

int SlopeCorners(int out[4], const GridLayers& g, int n) {
    if (n == 0 || !g.slopes) {
        SetFourInts(out, 0, 0, 0, 0);
        return 0;
    }
    const int e0 = g.slopes[n].x, e1 = g.slopes[n].y, e2 = g.slopes[n].lift;
    SetFourInts(out, e2, e2 + e1, e2 + e0, e2 + e0 + e1);
    return 1;
}

}  // namespace

int GetFloorSlopeCorners(int out[4], const GridLayers& g, int cell) { return SlopeCorners(out, g, g.FloorSlope(cell)); }

int GetCeilingSlopeCorners(int out[4], const GridLayers& g, int cell) {
    return SlopeCorners(out, g, g.CeilingSlope(cell));
}

void AddFloorQuad(SgNode* target, int x, int y, int h, int slot, const int corners[4], int lo, int hi) {
    if (slot == 0 || !(lo < h && h < hi))
        return;
    HorizontalQuad(target, x, y, 1, 1, h, slot, corners ? corners : kFlat, false);
}

void AddFloorQuad2x2(SgNode* target, int x, int y, int h, int slot) {
    if (slot != 0)
        HorizontalQuad(target, x, y, 2, 2, h, slot, kFlat, false);
}

void AddFloorQuad1x2(SgNode* target, int x, int y, int h, int slot) {
    if (slot != 0)
        HorizontalQuad(target, x, y, 1, 2, h, slot, kFlat, false);
}

void AddCeilingQuad(SgNode* target, int x, int y, int h, int slot, const int corners[4], int lo, int hi) {
    if (slot == 0 || !(lo < h && h < hi))
        return;
    HorizontalQuad(target, x, y, 1, 1, h, slot, corners ? corners : kFlat, true);
}

void AddCeilingQuad2x2(SgNode* target, int x, int y, int h, int slot) {
    if (slot != 0)
        HorizontalQuad(target, x, y, 2, 2, h, slot, kFlat, true);
}

void AddCeilingQuad1x2(SgNode* target, int x, int y, int h, int slot) {
    if (slot != 0)
        HorizontalQuad(target, x, y, 1, 2, h, slot, kFlat, true);
}

void AddLiquidQuad(SgNode* target, int x, int y, int h, int slot, int lo, int hi, int opacity) {
    if (slot == 0 || !(lo <= h && h <= hi))
        return;
    const float x0 = x * kCell, x1 = (x + 1) * kCell, y0 = y * kCell, y1 = (y + 1) * kCell;
    const SgVec3 p[4] = {SgVec3(x0, y0, Z(h)), SgVec3(x0, y1, Z(h)), SgVec3(x1, y0, Z(h)), SgVec3(x1, y1, Z(h))};
    const SgVec3 uv[4] = {SgVec3(0, 0, 0), SgVec3(0, 1, 0), SgVec3(1, 0, 0), SgVec3(1, 1, 0)};
    SgTriShape* shape = AddQuad(target, p, uv, slot, FaceNormal(p[0], p[1], p[2]));
    if (!shape)
        return;
    SgRef<SgAlphaProperty> alpha(new SgAlphaProperty);
    alpha->blendOn = 1;
    alpha->sourceBlend = 6;
    alpha->destinationBlend = 7;
    SgRef<SgZBufferProperty> zbuffer(new SgZBufferProperty);
    zbuffer->depthTest = 1;
    zbuffer->depthWrite = 0;
    SgRef<SgMaterialProperty> material(new SgMaterialProperty);
    material->ambient = SgRgb(0, 0, 0);
    material->specular = SgRgb(0, 0, 0);
    material->diffuse = SgRgb(1, 1, 1);
    material->emissive = SgRgb(0, 0, 0);
    material->alpha = opacity * 0.01f;
    material->changed = 1;
    for (SgProperty* property : {static_cast<SgProperty*>(alpha.Get()), static_cast<SgProperty*>(zbuffer.Get()),
                                 static_cast<SgProperty*>(material.Get())})
        shape->properties.Prepend(property);
}

void AddWallXMinus(SgNode* target, int x, int y, WallBand band, int slot, int base, int lo, int hi) {
    AddWall(target, Side::kXMinus, x, y, band, slot, base, lo, hi);
}
void AddWallXPlus(SgNode* target, int x, int y, WallBand band, int slot, int base, int lo, int hi) {
    AddWall(target, Side::kXPlus, x, y, band, slot, base, lo, hi);
}
void AddWallYMinus(SgNode* target, int x, int y, WallBand band, int slot, int base, int lo, int hi) {
    AddWall(target, Side::kYMinus, x, y, band, slot, base, lo, hi);
}
void AddWallYPlus(SgNode* target, int x, int y, WallBand band, int slot, int base, int lo, int hi) {
    AddWall(target, Side::kYPlus, x, y, band, slot, base, lo, hi);
}

void BuildLowerCellFaces(SgNode* target, const GridLayers& g, int x, int y, int code, int lo, int hi) {
    if (!CellOnGrid(x, y))
        return;
    const int c = CellIndex(x, y);
    int mine[4];
    GetFloorSlopeCorners(mine, g, c);
    const int depth = GridLayers::Byte(g.liquidDepth, c);
    if (code == kWholeCell && g.ceilingHeight[c] != g.floorHeight[c]) {
        if (depth) {
            AddLiquidQuad(target, x, y, g.floorHeight[c], GridLayers::Byte(g.floorTexture, c), lo, hi, 50);
            AddFloorQuad(target, x, y, g.floorHeight[c] - depth, GridLayers::Byte(g.lowerWallTexture, c), mine, lo,
                         hi);
        } else {
            AddFloorQuad(target, x, y, g.floorHeight[c], GridLayers::Byte(g.floorTexture, c), mine, lo, hi);
        }
    }
    const int base = g.wallTextureBase[c];
    for (const SideInfo& s : kSides) {
        if (code != kWholeCell && code != s.code)
            continue;
        // Off the grid there is no neighbour to face.
        if (!CellOnGrid(x + s.dx, y + s.dy))
            continue;
        const int n = CellIndex(x + s.dx, y + s.dy);
        int theirs[4];
        GetFloorSlopeCorners(theirs, g, n);
        const int hc = FloorBottom(g, c), hn = FloorBottom(g, n);
        int top = hc;
        if (g.ceilingHeight[n] < hc) {
            if (g.upperFloorHeight[n] < hc) {
                const int f = g.floorHeight[c];
                WallBand band{f + mine[s.mine[0]], f + mine[s.mine[1]], g.upperFloorHeight[n], g.upperFloorHeight[n]};
                AddSideWall(target, s, x, y, band, GridLayers::Byte(g.upperWallTexture, c), base, lo, hi);
            }
            top = g.ceilingHeight[n];
        }
        if (top <= hn && g.FloorSlope(c) == g.FloorSlope(n))
            continue;
        WallBand band{top + mine[s.mine[0]], top + mine[s.mine[1]], hn + theirs[s.theirs[0]], hn + theirs[s.theirs[1]]};
        AddSideWall(target, s, x, y, band, GridLayers::Byte(g.lowerWallTexture, c), base, lo, hi);
    }
}

void BuildUpperCellFaces(SgNode* target, const GridLayers& g, int x, int y, int code, int lo, int hi) {
    if (!CellOnGrid(x, y))
        return;
    const int c = CellIndex(x, y);
    int mine[4];
    GetCeilingSlopeCorners(mine, g, c);
    const int floor = g.floorHeight[c], ceiling = g.ceilingHeight[c];
    const int upperFloor = g.upperFloorHeight[c], upperCeiling = g.upperCeilingHeight[c];
    if (code == kWholeCell) {
        if (ceiling != floor && ceiling != kNoSurface)
            AddCeilingQuad(target, x, y, ceiling, GridLayers::Byte(g.ceilingTexture, c), mine, lo, hi);
        if (upperFloor != upperCeiling && upperFloor != kNoSurface)
            AddFloorQuad(target, x, y, upperFloor, GridLayers::Byte(g.upperFloorTexture, c), nullptr, lo, hi);
        if (upperCeiling != upperFloor && upperCeiling != kNoSurface) {
            const int slot = GridLayers::Byte(g.upperCeilingTexture, c);
            AddCeilingQuad(target, x, y, upperCeiling, slot, nullptr, lo, hi);
            AddFloorQuad(target, x, y, upperCeiling + 1, slot, nullptr, lo, hi);
        }
    }
    const int slot = GridLayers::Byte(g.upperWallTexture, c);
    const int base = g.wallTextureBase[c];
    for (const SideInfo& s : kSides) {
        if (code != kWholeCell && code != s.code)
            continue;
        if (!CellOnGrid(x + s.dx, y + s.dy))
            continue;
        const int n = CellIndex(x + s.dx, y + s.dy);
        int theirs[4];
        GetCeilingSlopeCorners(theirs, g, n);
        int a = upperFloor, b = ceiling;
        if (g.ceilingHeight[n] < b) {
            if (g.upperFloorHeight[n] == g.upperCeilingHeight[n]) {
                b = a;
            } else {
                if (g.upperFloorHeight[n] > b)
                    b = g.upperFloorHeight[n];
                if (g.upperCeilingHeight[n] < a)
                    a = g.upperCeilingHeight[n];
            }
        } else {
            if (g.ceilingHeight[n] <= a) {
                const int nf = g.upperFloorHeight[n];
                if (nf < a && nf < g.upperCeilingHeight[n])
                    AddSideWall(target, s, x, y, WallBand{a, a, nf, nf}, slot, base, lo, hi);
                a = g.ceilingHeight[n];
            }
            if (g.floorHeight[n] > b)
                b = g.floorHeight[n];
        }
        if (a <= b && g.CeilingSlope(c) == g.CeilingSlope(n))
            continue;
        WallBand band{a - theirs[s.theirs[0]], a - theirs[s.theirs[1]], b - mine[s.mine[0]], b - mine[s.mine[1]]};
        AddSideWall(target, s, x, y, band, slot, base, lo, hi);
    }
}

int BuildCellFace(SgNode* target, const GridLayers& g, const char* levelDir, int x, int y, int code, int lo, int hi) {
    if (!CellOnGrid(x, y))
        return 0;
    const int c = CellIndex(x, y);
    const int tile = g.Tile(c);
    if (g.upperCeilingHeight[c] == 0 || (tile && TileNilExists(tile, levelDir)))
        return 0;
    if (code != kWholeCell || tile == 0 || (TileNulExists(tile, levelDir) && !TileModelExists(tile, levelDir))) {
        BuildLowerCellFaces(target, g, x, y, code, lo, hi);
        BuildUpperCellFaces(target, g, x, y, code, lo, hi);
        return 1;
    }
    if (TileModelExists(tile, levelDir)) {
        BuildLowerCellFaces(target, g, x, y, code, lo, hi);
        BuildUpperCellFaces(target, g, x, y, code, lo, hi);
        PlaceTileModel(target, g.floorHeight, x, y, tile, 0, lo, hi);
        return 1;
    }
    BuildTileMesh(target, g, x, y, lo, hi);
    BuildUpperCellFaces(target, g, x, y, kWholeCell, lo, hi);
    return 1;
}

// ---- Merge tests ----

namespace {

bool MergeCellsOnGrid(int row, int col, int extraRows) {
    return CellOnGrid(row, col) && CellOnGrid(row + extraRows, col + 1);
}

bool FloorLike(const GridLayers& g, int first, int cell) {
    return g.FloorSlope(cell) == 0 && g.floorHeight[cell] == g.floorHeight[first] &&
           GridLayers::Byte(g.floorTexture, cell) == GridLayers::Byte(g.floorTexture, first) &&
           GridLayers::Byte(g.liquidDepth, cell) == GridLayers::Byte(g.liquidDepth, first) &&
           g.ceilingHeight[cell] != g.floorHeight[cell];
}

bool CeilingLike(const GridLayers& g, int first, int cell) {
    return g.CeilingSlope(cell) == 0 && g.ceilingHeight[cell] == g.ceilingHeight[first] &&
           GridLayers::Byte(g.ceilingTexture, cell) == GridLayers::Byte(g.ceilingTexture, first) &&
           g.ceilingHeight[cell] != g.floorHeight[cell];
}

}  // namespace

namespace {

using Alike = bool (*)(const GridLayers&, int, int);

// The 2 x 2 cells from (row, col), every one alike to the first.
int CanMergeBlock(int row, int col, const GridLayers& g, Alike alike) {
    if (!MergeCellsOnGrid(row, col, 1))
        return 0;
    const int c0 = CellIndex(row, col);
    for (int cell : {c0, c0 + kGridSide, c0 + 1, c0 + kGridSide + 1})
        if (!alike(g, c0, cell))
            return 0;
    return 1;
}

// (row, col) flat and (row, col + 1) alike to it.
int CanMergePair(int row, int col, const GridLayers& g, Alike alike, int firstSlope) {
    if (!MergeCellsOnGrid(row, col, 0))
        return 0;
    const int c0 = CellIndex(row, col);
    return firstSlope == 0 && alike(g, c0, c0 + 1) ? 1 : 0;
}

}  // namespace

int CanMergeFloorBlock(int row, int col, const GridLayers& g) { return CanMergeBlock(row, col, g, FloorLike); }
int CanMergeCeilingBlock(int row, int col, const GridLayers& g) { return CanMergeBlock(row, col, g, CeilingLike); }

int CanMergeFloorPair(int row, int col, const GridLayers& g) {
    return CanMergePair(row, col, g, FloorLike, CellOnGrid(row, col) ? g.FloorSlope(CellIndex(row, col)) : 1);
}

int CanMergeCeilingPair(int row, int col, const GridLayers& g) {
    return CanMergePair(row, col, g, CeilingLike, CellOnGrid(row, col) ? g.CeilingSlope(CellIndex(row, col)) : 1);
}

}  // namespace present
