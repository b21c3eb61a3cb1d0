#pragma once
// The common construction of the world's quads: four vertices lit from the preburned lights,
// one triangle shape of two triangles (0, 1, 2) and (2, 1, 3), the slot's texture, inserted
// under the node being filled.

#include "engine/core/sg_math.h"
#include "engine/core/sg_node.h"
#include "engine/geometry/sg_tri_shape.h"

namespace present {

// (p1 - p0) x (p2 - p1) of unit length; (0, 0, 0) when shorter than 1e-6.
SgVec3 FaceNormal(const SgVec3& p0, const SgVec3& p1, const SgVec3& p2);

// The quad's shape with the texture of the slot (none when the slot is empty or off the table),
// inserted under target; null (and nothing inserted) for slot 0. The normal is given by the caller.
SgTriShape* AddQuad(SgNode* target, const SgVec3 p[4], const SgVec3 uv[4], int slot, const SgVec3& normal);

}  // namespace present
