// The sample keep's tile model, the bump on cell 12, 12, as the window shows it: textured by the
// picture beside it, and shaded side by side like the pyramid it is.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <tuple>

#include "client/arena/grid_queries.h"
#include "client/present/scene_walk.h"
#include "client/present/tiles.h"
#include "engine/core/sg_texture_property.h"
#include "engine/geometry/sg_tri_shape.h"
#include "tests/client/present/frame/sample_screen.h"

namespace {

class TileModelView : public SampleArena {
protected:
    // The loaded template's shapes and the images of their textures.
    static int TemplateTextureImages() {
        int images = 0;
        for (const SgRef<SgNode>& tile : present::Textures().tiles)
            if (tile)
                present::ForEachSceneObject(tile.Get(), [&](SgAVObject* o) {
                    if (auto* texture = static_cast<SgTextureProperty*>(o->FindPropertyOfType(SG_TEXTURE_PROPERTY)))
                        if (texture->CurrentImage())
                            ++images;
                });
        return images;
    }
};

// Seen from the foot of the dark block, looking down at the bump, which the picture's blue covers;
// untextured it is a white patch in the level's warm light.
TEST_F(TileModelView, TheBumpCarriesItsPicture) {
    ASSERT_EQ(GetFloorHeight(800, 800, 1000, 1), 16);  // its peak, walked on
    EXPECT_EQ(TemplateTextureImages(), 1);
    StandAt(740, 800, 3072);
    player.pitch = 200;
    Frames(2);
    const ddtest::Image front = Front();
    int blue = 0, all = 0;
    for (int y = 480; y < 580; y += 4)
        for (int x = 300; x < 500; x += 4, ++all) {
            const uint32_t c = front.At(x, y);
            if (ddtest::Blue(c) > ddtest::Red(c) + 40 && ddtest::Blue(c) > ddtest::Green(c) + 40)
                ++blue;
        }
    EXPECT_GT(blue, all / 3) << blue << " of " << all << " points blue";
}

// Baked on a cell, the bump's sides meet the light each at its own angle: its peak takes a
// different colour on each side, where a shared peak would round the sides into one dome.
TEST_F(TileModelView, TheBumpsSidesAreLitApart) {
    static int16_t heights[128 * 128] = {};
    SgRef<SgNode> target(new SgNode);
    present::PlaceTileModel(target.Get(), heights, 12, 12, 1, 0, -1000, 1000);
    ASSERT_EQ(target->ChildCount(), 1u);
    auto* shape = SgKindCast<SgTriShape>(target->ChildAt(0));
    ASSERT_NE(shape, nullptr);
    ASSERT_NE(shape->Colors(), nullptr);
    float peak = 0;
    for (uint16_t v = 0; v < shape->VertexCount(); ++v)
        peak = std::min(peak, shape->Vertices()[v].z);
    EXPECT_FLOAT_EQ(peak, -0.16f);  // 16 units up, as it is walked
    std::set<std::tuple<float, float, float>> peakColours;
    for (uint16_t v = 0; v < shape->VertexCount(); ++v)
        if (shape->Vertices()[v].z == peak)
            peakColours.insert({shape->Colors()[v].r, shape->Colors()[v].g, shape->Colors()[v].b});
    EXPECT_GT(peakColours.size(), 1u);
}

}  // namespace
