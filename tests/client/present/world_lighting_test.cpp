// Static lighting: the preburned light table and the vertex colour formula; texture maps; thin
// walls; the screen tint.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "client/present/rooms.h"
#include "client/present/screen_tint.h"
#include "client/present/thin_walls.h"
#include "client/present/tiles.h"
#include "client/present/world_lighting.h"
#include "client/present/world_tables.h"
#include "engine/core/sg_action.h"
#include "tests/support/recording_render.h"
#include "tests/support/temp_dir.h"
#include "tools/writers/bmp_writer.h"

namespace {

using present::PreburnLights;

class LightingTest : public testing::Test {
protected:
    void TearDown() override { present::ClearPreburnLights(); }

    // The red a vertex at the origin facing up (engine -z) gets.
    static float RedAtOrigin(const float normal[3] = nullptr) {
        static const float up[3] = {0, 0, -1};
        const float p[3] = {0, 0, 0};
        float out[4];
        present::LightVertexFromPointLights(p, normal ? normal : up, out);
        EXPECT_EQ(out[3], 1.0f);
        return out[0];
    }
};

TEST_F(LightingTest, PutScalesAndClearsTheRecordAfter) {
    PreburnLights().lights[1].on = 1;
    present::PutPreburnLight(150, -200, 300, 80, 640, 255, 51, 0);
    const present::PreburnLight& l = PreburnLights().lights[0];
    EXPECT_EQ(l.on, 1);
    EXPECT_FLOAT_EQ(l.x, 1.5f);
    EXPECT_FLOAT_EQ(l.y, -2.0f);
    EXPECT_FLOAT_EQ(l.z, -3.0f);
    EXPECT_FLOAT_EQ(l.intensity, 0.8f);
    EXPECT_FLOAT_EQ(l.radius, 6.4f);
    EXPECT_FLOAT_EQ(l.red, 1.0f);
    EXPECT_FLOAT_EQ(l.green, 0.2f);
    EXPECT_FLOAT_EQ(l.blue, 0.0f);
    EXPECT_EQ(PreburnLights().count, 1);
    EXPECT_EQ(PreburnLights().lights[1].on, 0);
}

TEST_F(LightingTest, TheCountStopsAt511AndTheLastLightGoesDark) {
    for (int i = 0; i < 600; ++i)
        present::PutPreburnLight(0, 0, 100, 100, 200, 255, 255, 255);
    EXPECT_EQ(PreburnLights().count, 511);
    EXPECT_EQ(PreburnLights().lights[510].on, 1);
    EXPECT_EQ(PreburnLights().lights[511].on, 0);
}

struct LightCase {
    const char* what;
    int height, intensity, distance;  // a light straight above the vertex
    float red;
};

TEST_F(LightingTest, VertexColourByDistanceFacingAndStrength) {
    // f = l x a x a x intensity with l = 1 straight above: a = (r - d) / r.
    const LightCase cases[] = {
        {"at the radius", 100, 100, 100, 0.0f},
        {"past the radius", 150, 100, 100, 0.0f},
        {"f = 0.5", 100, 200, 200, 0.5f},
        {"f = 0.09 is nothing", 100, 36, 200, 0.0f},
        {"f = 0.11 counts", 100, 44, 200, 0.11f},
        {"f = 1.7 is full", 100, 680, 200, 1.0f},
        {"no radius lights nothing", 0, 100, 0, 0.0f},
        {"a negative radius lights nothing", 100, 100, -400, 0.0f},
        {"below the face", -100, 200, 200, 0.0f},
    };
    for (const LightCase& c : cases) {
        present::ClearPreburnLights();
        present::PutPreburnLight(0, 0, c.height, c.intensity, c.distance, 255, 0, 0);
        EXPECT_NEAR(RedAtOrigin(), c.red, 1e-5) << c.what;
    }
    // Two lights add up and clamp at 1; switched-off records add nothing.
    present::ClearPreburnLights();
    present::PutPreburnLight(0, 0, 100, 200, 200, 255, 0, 0);
    present::PutPreburnLight(0, 0, 100, 200, 200, 255, 0, 0);
    present::PutPreburnLight(0, 0, 100, 200, 200, 255, 0, 0);
    EXPECT_FLOAT_EQ(RedAtOrigin(), 1.0f);
    PreburnLights().lights[1].on = 0;
    PreburnLights().lights[2].on = 0;
    EXPECT_FLOAT_EQ(RedAtOrigin(), 0.5f);
    // A light at the vertex itself has no direction: nothing.
    present::ClearPreburnLights();
    present::PutPreburnLight(0, 0, 0, 200, 200, 255, 0, 0);
    EXPECT_EQ(RedAtOrigin(), 0.0f);
}

TEST(TextureMapTest, GNamesAreReadWithoutTheDirectoryAndSlotsPastTheTableAreEmpty) {
    TempDir dir;
    dir.Enter();
    RecordingImageFactory images;
    BmpImage bmp;
    bmp.width = bmp.height = 4;
    bmp.pixels.assign(4 * 4 * 3, 200);
    const std::vector<uint8_t> bytes = BuildBmp(bmp);
    const std::string text(bytes.begin(), bytes.end());
    dir.Write("level/floor.bmp", text);
    dir.Write("grass.bmp", text);
    dir.Write("level/gravel.bmp", text);
    struct MapCase {
        int slot;
        const char* name;
        int loaded;
    };
    const MapCase cases[] = {
        {3, "floor.bmp", 1},   {4, "missing.bmp", 0}, {5, "grass.bmp", 1},
        {6, "gravel.bmp", 0},  // g names are not looked for in the level
        {250, "floor.bmp", 0}, {-1, "floor.bmp", 0},
    };
    for (const MapCase& c : cases) {
        EXPECT_EQ(present::LoadTextureMap("level", c.slot, c.name, 0), c.loaded) << c.name << " " << c.slot;
        EXPECT_EQ(present::TextureMap(c.slot) != nullptr, c.loaded == 1) << c.name << " " << c.slot;
    }
    SgTextureProperty* floor = present::TextureMap(3);
    ASSERT_NE(floor, nullptr);
    EXPECT_EQ(floor->ImageCount(), 1u);
    EXPECT_EQ(floor->currentIndex, 0);
    present::ReleaseWorldTextures();
}

class ThinWallsTest : public testing::Test {
protected:
    void SetUp() override {
        present::World().worldRoot = SgRef<SgNode>(new SgNode);
        present::World().sceneActive = 1;
    }
    void TearDown() override {
        for (int i = 1; i < present::kThinModels; ++i)
            present::RemoveThinModel(i);
        present::ReleaseWorldTextures();
        present::World() = present::WorldTables{};
    }
};

TEST_F(ThinWallsTest, NoWorldNoModel) {
    present::World().sceneActive = 0;
    EXPECT_EQ(present::PlaceThinWalls(0, 0, 0, 6400, 0, 12800, 1, 0, 0), 0);
}

TEST_F(ThinWallsTest, PlacedMovedAndRemoved) {
    const int a = present::PlaceThinWalls(6400, 6400, 0, 12800, 6400, 12800, 300, 1, 0);
    const int b = present::PlaceThinWalls(0, 0, 100, 100, 0, 200, 0, 0, 1);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
    present::ThinModelTables& t = present::ThinModels();
    SgTriStrip* model = t.models[a].Get();
    ASSERT_NE(model, nullptr);
    // Corners V0 (x1, y1, base), V1 (x2, y2, base), V2 (x1, y1, top), V3 (x2, y2, top).
    const SgVec3 corners[4] = {SgVec3(64, 64, 0), SgVec3(128, 64, 0), SgVec3(64, 64, -128), SgVec3(128, 64, -128)};
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(model->Vertices()[k], corners[k]) << k;
    // Without a texture (texture 300 has none): the plain coordinates.
    const SgVec3 uv[4] = {SgVec3(0, 1, 0), SgVec3(1, 1, 0), SgVec3(0, 0, 0), SgVec3(1, 0, 0)};
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(model->TextureSet(0)[k], uv[k]) << k;
    auto* see = static_cast<SgTransparentProperty*>(t.holders[a]->FindPropertyOfType(SG_TRANSPARENT_PROPERTY));
    ASSERT_NE(see, nullptr);
    EXPECT_EQ(see->transparentOn, 1);
    EXPECT_EQ(t.holders[b]->FindPropertyOfType(SG_TRANSPARENT_PROPERTY), nullptr);
    // Hung under the world root (no rooms here).
    EXPECT_EQ(t.holders[a]->CurrentState()->key, present::World().worldRoot.Get());

    // The back face: the same corners in the order V1, V0, V3, V2, each with its coordinates.
    SgTriStrip* back = t.backs[a].Get();
    ASSERT_NE(back, nullptr);
    const int order[4] = {1, 0, 3, 2};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(back->Vertices()[k], corners[order[k]]) << k;
        EXPECT_EQ(back->TextureSet(0)[k], uv[order[k]]) << k;
    }
    EXPECT_EQ(t.holders[a]->ChildAt(1), back);

    present::SetThinModelCorners(a, 6400, 6400, 6400, 12800, 6400, 19200);
    EXPECT_EQ(model->Vertices()[0], SgVec3(64, 64, -64));
    EXPECT_EQ(model->Vertices()[3], SgVec3(128, 64, -192));
    EXPECT_EQ(back->Vertices()[1], SgVec3(64, 64, -64));
    EXPECT_EQ(back->Vertices()[2], SgVec3(128, 64, -192));
    EXPECT_EQ(model->TextureSet(0)[0], uv[0]);
    for (int index : {0, 500, -3}) {
        present::SetThinModelCorners(index, 0, 0, 0, 0, 0, 0);
        present::RemoveThinModel(index);
    }
    const uint32_t children = present::World().worldRoot->ChildCount();
    present::RemoveThinModel(a);
    EXPECT_FALSE(t.holders[a]);
    EXPECT_FALSE(t.models[a]);
    EXPECT_FALSE(t.backs[a]);
    EXPECT_EQ(present::World().worldRoot->ChildAt(0), nullptr);
    EXPECT_LE(present::World().worldRoot->ChildCount(), children);
    // The freed index is taken again first.
    EXPECT_EQ(present::PlaceThinWalls(0, 0, 0, 100, 0, 100, 0, 0, 0), a);
}

TEST(ScreenTintTest, FollowsTheCameraAndTakesItsColours) {
    present::World().worldRoot = SgRef<SgNode>(new SgNode);
    const uint32_t actions = SgAction::List().Count();
    present::CreateScreenTint();
    present::ScreenTint& t = present::Tint();
    ASSERT_TRUE(t.node && t.shape && t.action);
    EXPECT_EQ(SgAction::List().Count(), actions + 1);
    EXPECT_EQ(t.shape->Colors()[2].a, 0.0f);
    EXPECT_EQ(t.shape->Colors()[0].a, 0.5f);
    EXPECT_EQ(present::SetScreenTint(255, 0, 51, 30, 80), 1);
    for (int v = 0; v < 5; ++v) {
        EXPECT_FLOAT_EQ(t.shape->Colors()[v].r, 1.0f) << v;
        EXPECT_FLOAT_EQ(t.shape->Colors()[v].b, 0.2f) << v;
        EXPECT_FLOAT_EQ(t.shape->Colors()[v].a, v == 2 ? 0.3f : 0.8f) << v;
    }
    present::ShowScreenTint(0);
    EXPECT_EQ(t.node->IsHidden(), 1);
    present::ShowScreenTint(1);
    EXPECT_EQ(t.node->IsHidden(), 0);
    auto* alpha = static_cast<SgAlphaProperty*>(t.node->FindPropertyOfType(SG_ALPHA_PROPERTY));
    ASSERT_NE(alpha, nullptr);
    EXPECT_EQ(alpha->blendOn, 1);
    present::ReleaseScreenTint();
    EXPECT_EQ(SgAction::List().Count(), actions);
    EXPECT_FALSE(t.node);
    EXPECT_EQ(present::World().worldRoot->ChildAt(0), nullptr);
    present::World() = present::WorldTables{};
}

}  // namespace
