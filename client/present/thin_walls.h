#pragma once
// The thin walls' models: four-corner strips that the simulation places, moves and removes
// (doors, elevators, spell walls), each on a holder node in the room holding its first corner.

#include "engine/core/sg_node.h"
#include "engine/geometry/sg_tri_lists.h"

namespace present {

constexpr int kThinModels = 500;  // 1..499; 0 means none

struct ThinModelTables {
    SgRef<SgNode> holders[kThinModels];
    SgRef<SgTriStrip> models[kThinModels];
    // The same wall facing the other way: the renderer culls back faces, and a thin is seen from
    // both sides.
    SgRef<SgTriStrip> backs[kThinModels];
};

ThinModelTables& ThinModels();

// Coordinates and heights in hundredths of world units; the model index 1..499, or 0 without a
// world or with the table full.
int PlaceThinWalls(int x1, int y1, int base, int x2, int y2, int top, int texture, int transparent, int mirrored);
// Moves the corners; colours and texture coordinates stay.
void SetThinModelCorners(int index, int x1, int y1, int base, int x2, int y2, int top);
void RemoveThinModel(int index);

}  // namespace present
