#pragma once
// Which level the figures' level-of-detail meshes refine to: by the camera's distance through a
// small table (one for "Body" meshes, one for all others), unless a level is forced.

#include <cstdint>

#include "engine/animation/sg_clod.h"

namespace present {

struct LodTableEntry {
    float distance;  // hundredths of an engine unit
    float factor;
};

// Five pairs; the lookup uses four, the fifth bounds distances beyond the fourth.
extern const LodTableEntry kBodyLodTable[5];
extern const LodTableEntry kOtherLodTable[5];

// The level count scaled by the factor interpolated at distance d (n pairs searched).
uint16_t LevelFromDistanceTable(const LodTableEntry* table, int n, float d, uint16_t levelCount);

// The default callback of every mesh: it installs the mesh's own callback by name, once, and
// answers through it.
uint8_t SelectLodFirstCall(SgClod* mesh, SgCamera* camera, uint32_t user, uint16_t* level);
uint8_t SelectLodByDistance(SgClod* mesh, SgCamera* camera, uint32_t user, uint16_t* level);
uint8_t SelectLodByDistanceOther(SgClod* mesh, SgCamera* camera, uint32_t user, uint16_t* level);

// 0 lets distance choose; "Body" meshes take the level itself, others a fifth of it.
void SetForcedLodLevel(int level);
int ForcedLodLevel();

}  // namespace present
