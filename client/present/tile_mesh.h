#pragma once
// The stepped floor of a cell whose tile has a height profile but no model: 8 x 8 sub-cells of 8
// world units, runs of equal heights merged into strips, and every height step closed by a face.

#include "client/present/grid_layers.h"
#include "engine/core/sg_node.h"

namespace present {

void BuildTileMesh(SgNode* target, const GridLayers& g, int x, int y, int lo, int hi);

// Profile statistics of a tile (all 0 / false for tile 0 or a number past the table).
bool TileProfileIsCoarse(const TileDef* tiles, int tile);
int CountFlatSubcells(const TileDef* tiles, int tile);
int MaxSubcellHeight(const TileDef* tiles, int tile);
int CountEqualRowNeighbours(const TileDef* tiles, int tile);
int CountEqualColumnNeighbours(const TileDef* tiles, int tile);

void AddSubcellFloorQuad(SgNode* target, int x, int y, int i, int j, int h, int slot, int di, int dj);
void AddSubcellStepXMinus(SgNode* target, int x, int y, int i, int j, int top, int bottom, int slot, int len,
                          int base);
void AddSubcellStepXPlus(SgNode* target, int x, int y, int i, int j, int top, int bottom, int slot, int len,
                         int base);
void AddSubcellStepYMinus(SgNode* target, int x, int y, int i, int j, int top, int bottom, int slot, int len,
                          int base);
void AddSubcellStepYPlus(SgNode* target, int x, int y, int i, int j, int top, int bottom, int slot, int len,
                         int base);

}  // namespace present
