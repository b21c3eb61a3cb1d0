#pragma once
// The object maps: shared textures by slot that world creation loads once per arena ("shadow.bmp"
// in 1, "cast.tga" in 2) and figures and effects take by number; and the two tables of nodes by
// object number that a destroyed object releases (nothing fills them, so there is nothing to do).

#include "engine/core/sg_node.h"
#include "engine/core/sg_texture_property.h"

namespace present {

constexpr int kObjectMapSlots = 250;
constexpr int kObjectMapNodes = 500;

struct ObjectMaps {
    SgRef<SgTextureProperty> maps[kObjectMapSlots];
    SgRef<SgNode> nodes[kObjectMapNodes];
    SgRef<SgNode> models[kObjectMapNodes];
};

ObjectMaps& ObjectMapTable();

// The slot's texture; null for an empty slot or a number outside the table.
SgTextureProperty* ObjectMap(int slot);
// 1 when the file gave a texture, named after the file; else 0 and the slot is empty.
int LoadObjectMap(int slot, const char* file);
// Releases the object's node and model (lights among the node's children detached first).
void RemoveObjectMapNode(int object);
// The arena reset: every map, node and model.
void ReleaseObjectMaps();

}  // namespace present
