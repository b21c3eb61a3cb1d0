#pragma once
// One grid cell as textured, vertex-lit quads: the lower floor (with liquid), the lower ceiling,
// the upper storey's floor and ceiling, and the faces it shows toward its neighbours. Heights are
// world units (larger is higher); the limits keep a room's faces within its floor and ceiling.

#include "client/present/grid_layers.h"
#include "engine/core/sg_node.h"

namespace present {

// Face codes: the whole cell, or one side only.
enum FaceCode { kWholeCell = 0, kSideYMinus = 1, kSideXMinus = 2, kSideXPlus = 3, kSideYPlus = 4 };

// A band of a wall: tops at its first and second corner, then bottoms (first corner at the lower
// x or y end of the shared edge).
struct WallBand {
    int t0, t1, b0, b1;
};

// 1 when the cell got (or was tried for) faces, 0 when it gets none.
int BuildCellFace(SgNode* target, const GridLayers& g, const char* levelDir, int x, int y, int code, int lo, int hi);
void BuildLowerCellFaces(SgNode* target, const GridLayers& g, int x, int y, int code, int lo, int hi);
void BuildUpperCellFaces(SgNode* target, const GridLayers& g, int x, int y, int code, int lo, int hi);

// Corner offsets c0 (x, y), c1 (x, y + 1), c2 (x + 1, y), c3 (x + 1, y + 1); result 1 for a slope.
int GetFloorSlopeCorners(int out[4], const GridLayers& g, int cell);
int GetCeilingSlopeCorners(int out[4], const GridLayers& g, int cell);
void SetFourInts(int out[4], int a, int b, int c, int d);

// Quads (null corners: flat).
void AddFloorQuad(SgNode* target, int x, int y, int h, int slot, const int corners[4], int lo, int hi);
void AddFloorQuad2x2(SgNode* target, int x, int y, int h, int slot);
void AddFloorQuad1x2(SgNode* target, int x, int y, int h, int slot);
void AddCeilingQuad(SgNode* target, int x, int y, int h, int slot, const int corners[4], int lo, int hi);
void AddCeilingQuad2x2(SgNode* target, int x, int y, int h, int slot);
void AddCeilingQuad1x2(SgNode* target, int x, int y, int h, int slot);
void AddLiquidQuad(SgNode* target, int x, int y, int h, int slot, int lo, int hi, int opacity);
// Clipped to lo..hi and cut at every multiple of 192.
void AddWallXMinus(SgNode* target, int x, int y, WallBand band, int slot, int base, int lo, int hi);
void AddWallXPlus(SgNode* target, int x, int y, WallBand band, int slot, int base, int lo, int hi);
void AddWallYMinus(SgNode* target, int x, int y, WallBand band, int slot, int base, int lo, int hi);
void AddWallYPlus(SgNode* target, int x, int y, WallBand band, int slot, int base, int lo, int hi);

// Merge tests of 2 x 2 blocks and 1 x 2 pairs of cells (row = x, col = y).
int CanMergeFloorBlock(int row, int col, const GridLayers& g);
int CanMergeFloorPair(int row, int col, const GridLayers& g);
int CanMergeCeilingBlock(int row, int col, const GridLayers& g);
int CanMergeCeilingPair(int row, int col, const GridLayers& g);

}  // namespace present
