#pragma once
// The depth-first walk over a scene subtree that the presentation's passes share.

#include "engine/core/sg_node.h"

namespace present {

// visit(object) for the object, then for each child of a node, depth first; empty slots skipped.
template <class Visit>
void ForEachSceneObject(SgAVObject* object, Visit&& visit) {
    if (!object)
        return;
    visit(object);
    if (auto* node = SgKindCast<SgNode>(object))
        for (uint32_t i = 0; i < node->ChildCount(); ++i)
            ForEachSceneObject(node->ChildAt(i), visit);
}

}  // namespace present
