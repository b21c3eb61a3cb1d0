#pragma once
// The arena's world: the root node under the scene root, which every room lookup falls back to.
// A level's scene lives from world creation to the reset before the next level.

#include "engine/core/sg_node.h"

namespace present {

struct WorldTables {
    SgRef<SgNode> worldRoot;
};

WorldTables& World();

}  // namespace present
