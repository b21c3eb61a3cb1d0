#include "client/present/figure_tree.h"

#include <strings.h>

#include "engine/animation/sg_3ds_animation_node.h"
#include "engine/core/sg_node.h"

namespace present {
namespace {

bool NameIs(const SgObject* object, const char* name) {
    const char* own = object->GetName();
    return strcasecmp(own ? own : "", name ? name : "") == 0;
}

template <class Accept>
SgObject* FindDepthFirst(SgObject* object, const char* name, Accept accept) {
    if (!object)
        return nullptr;
    if (accept(object) && NameIs(object, name))
        return object;
    auto* node = SgKindCast<SgNode>(object);
    if (!node)
        return nullptr;
    for (uint32_t i = 0; i < node->ChildCount(); ++i) {
        if (SgObject* found = FindDepthFirst(node->ChildAt(i), name, accept))
            return found;
    }
    return nullptr;
}

}  // namespace

SgObject* FindNamedObject(SgObject* object, const char* name) {
    return FindDepthFirst(object, name, [](SgObject*) { return true; });
}

Sg3dsAnimationNode* FindNamedKeyedNode(SgObject* object, const char* name) {
    return static_cast<Sg3dsAnimationNode*>(
        FindDepthFirst(object, name, [](SgObject* o) { return SgKindCast<Sg3dsAnimationNode>(o) != nullptr; }));
}

}  // namespace present
