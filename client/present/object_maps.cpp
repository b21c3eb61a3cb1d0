#include "client/present/object_maps.h"

#include "engine/core/sg_light.h"

namespace present {

ObjectMaps& ObjectMapTable() {
    // Never destroyed: engine objects must not be released during static destruction.
    static ObjectMaps* maps = new ObjectMaps;
    return *maps;
}

SgTextureProperty* ObjectMap(int slot) {
    if (slot < 0 || slot >= kObjectMapSlots)
        return nullptr;
    return ObjectMapTable().maps[slot].Get();
}

int LoadObjectMap(int slot, const char* file) {
    if (slot < 0 || slot >= kObjectMapSlots || !file)
        return 0;
    SgRef<SgTextureProperty>& entry = ObjectMapTable().maps[slot];
    entry = nullptr;
    // An image is made from a name alone; only a file that reads gives a texture.
    if (!SgImage::FormatIfReadable(file))
        return 0;
    SgRef<SgTextureProperty> texture(new SgTextureProperty(file));
    if (texture->currentIndex < 0 || !texture->CurrentImage())
        return 0;
    texture->AssignName(file);
    entry = texture;
    return 1;
}

void RemoveObjectMapNode(int object) {
    if (object < 0 || object >= kObjectMapNodes)
        return;
    ObjectMaps& t = ObjectMapTable();
    if (SgNode* node = t.nodes[object].Get()) {
        for (uint32_t i = node->ChildCount(); i-- > 0;) {
            if (auto* light = SgKindCast<SgLight>(node->ChildAt(i))) {
                light->ForgetAllLitNodes();
                node->RemoveChildAt(i);
            }
        }
        if (SgNode* parent = node->Parent())
            parent->RemoveChild(node);
    }
    t.nodes[object] = nullptr;
    t.models[object] = nullptr;
}

void ReleaseObjectMaps() {
    ObjectMaps& t = ObjectMapTable();
    for (SgRef<SgTextureProperty>& map : t.maps)
        map = nullptr;
    for (int i = 0; i < kObjectMapNodes; ++i)
        RemoveObjectMapNode(i);
}

}  // namespace present
