#pragma once
// A small in-memory level grid for the world builder's tests: every cell open from floor 0 to
// ceiling 256 with no upper storey, each layer's texture slot its own number, and the quads a
// build made described in world units.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "client/core/level_defs.h"
#include "client/present/grid_layers.h"
#include "client/present/tiles.h"
#include "engine/geometry/sg_tri_based_geom.h"

namespace celltest {

constexpr int kFloorSlot = 1, kLowerWallSlot = 2, kUpperWallSlot = 3, kCeilingSlot = 4, kUpperFloorSlot = 5,
              kUpperCeilingSlot = 6;

struct CellGrid {
    std::unique_ptr<LevelDefs> level = std::make_unique<LevelDefs>();

    CellGrid() {
        for (int c = 0; c < kGridCells; ++c) {
            Set(kPlaneCeiling, c, 256);
            Set(kPlaneStoreySplit, c, 1024);
            Set(kPlaneUpperCeiling, c, 1024);
            Set(kPlaneFloorTexture, c, kFloorSlot);
            Set(kPlaneLowerWallTexture, c, kLowerWallSlot);
            Set(kPlaneUpperWallTexture, c, kUpperWallSlot);
            Set(kPlaneCeilingTexture, c, kCeilingSlot);
            Set(kPlaneUpperFloorTexture, c, kUpperFloorSlot);
            Set(kPlaneUpperCeilingTexture, c, kUpperCeilingSlot);
        }
    }
    void Set(int plane, int cell, int value) { level->plane[plane][cell] = static_cast<int16_t>(value); }
    void Set(int plane, int x, int y, int value) { Set(plane, CellIndex(x, y), value); }
    present::GridLayers Layers() const { return present::LevelGridLayers(*level); }
};

// Distinct texture properties in the given slots, so a quad's slot can be read back.
inline void FillTextureSlots(std::initializer_list<int> slots) {
    for (int s : slots)
        present::Textures().maps[s] = SgRef<SgTextureProperty>(new SgTextureProperty);
}

inline int SlotOf(const SgAVObject* shape) {
    for (const SgProperty* p : shape->properties)
        if (p->PropertyType() == SG_TEXTURE_PROPERTY)
            for (int s = 0; s < present::kTextureSlots; ++s)
                if (present::Textures().maps[s].Get() == p)
                    return s;
    return 0;
}

inline int Units(float engine) { return static_cast<int>(std::lround(engine * 100.0f)); }

// "slot: (x y h) (x y h) (x y h) (x y h)" with heights as world heights.
inline std::string Describe(const SgTriBasedGeom* shape) {
    std::string text = std::to_string(SlotOf(shape)) + ":";
    for (uint16_t v = 0; v < shape->VertexCount(); ++v) {
        const SgVec3& p = shape->Vertices()[v];
        char corner[48];
        std::snprintf(corner, sizeof corner, " (%d %d %d)", Units(p.x), Units(p.y), -Units(p.z));
        text += corner;
    }
    return text;
}

inline std::vector<std::string> Quads(const SgNode* node) {
    std::vector<std::string> out;
    for (uint32_t i = 0; i < node->ChildCount(); ++i)
        if (const auto* shape = SgKindCast<SgTriBasedGeom>(node->ChildAt(i)))
            out.push_back(Describe(shape));
    return out;
}

}  // namespace celltest
