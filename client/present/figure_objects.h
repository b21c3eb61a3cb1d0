#pragma once
// Figures of world objects by number: a clone of a template under the world root, placed from the
// object's fixed-point position into the room that holds it, shown, hidden and torn down with
// everything attached to it. Every call on 0 or an empty slot does nothing (and answers 0).

#include <cstdint>

#include "client/present/figure_table.h"

namespace present {

// Copies what figures must not share (morphs, particle geometry, the first animated material of a
// branch) and sets every node's sort word to 2. A replaced object is put into the parent at the
// index; the result is the object standing in for the one given (a copy when it was replaced).
SgRef<SgAVObject> FixUpFigureClone(SgAVObject* object, SgNode* parent, uint32_t index);

// A figure under the world root, or 0 (no scene, no template, all 499 numbers taken).
int CreateFigureForObject(int templateNumber, const char* name, float scale);
// grid: 128 x 128 signed heights indexed [gx * 128 + gy], or null. The part cloned is the object
// of that name, "Spell" without one, or the whole template when there is none.
int BuildFigureFromTemplate(SgNode* parent, const int16_t* grid, int gx, int gy, int templateNumber, float scale,
                            const char* name);
// x, y, z: 16.16 hundredths; direction 0..4095; tilt in degrees; height offset in hundredths.
// The figure number; 0 when the figure is hidden or has no model.
int PlaceObjectFigure(int figure, int x, int y, int z, int direction, int tilt, int update, int rebuildRotation,
                      int heightOffset);
int RemoveObjectFigure(int figure);
void SetFigureFirstPersonVisibility(int figure, int flag);
void ShowFigureWithParts(int figure, int withParts);
void ShowObjectFigure(int figure);

}  // namespace present
