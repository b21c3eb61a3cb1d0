// Figure lights, billboards and the on-screen tests.

#include "client/present/figure_lights.h"

#include <gtest/gtest.h>

#include <cstring>

#include "client/present/camera_set.h"
#include "client/present/figure_textures.h"
#include "engine/core/sg_raw_image.h"
#include "tests/client/present/figure_fixture.h"
#include "tests/support/recording_render.h"

namespace {

using namespace present;

class FigureLightsTest : public testing::Test {
protected:
    void SetUp() override { World().sceneActive = 1; }
    void TearDown() override {
        figure_fixture::ClearFigureTables();
        World().sceneActive = 0;
    }
    RecordingImageFactory images;
};

TEST_F(FigureLightsTest, AttachingScalesTwiceAsMuchAsSetting) {
    SgFigureExtraData* data = figure_fixture::MakeFigure(3);
    AttachFigureLight(3, 100, 250, 255, 0, 51, 120);
    SgLight* light = data->light;
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->type, SgLight::kPoint);
    EXPECT_EQ(light->on, 1);
    EXPECT_FLOAT_EQ(light->dimmer, 2.0f);
    EXPECT_FLOAT_EQ(light->range, 2.5f);
    EXPECT_EQ(light->diffuse, SgRgb(1, 0, 0.2f));
    EXPECT_EQ(light->ambient, SgRgb(0, 0, 0));
    EXPECT_EQ(light->specular, SgRgb(0, 0, 0));
    EXPECT_EQ(light->localTranslation, SgVec3(0, 0, -1.2f));
    EXPECT_EQ(static_cast<SgNode*>(FigureNode(3))->ChildAt(1), light);

    // A second light is refused; setting uses half the dimmer scale.
    AttachFigureLight(3, 10, 10, 0, 0, 0, 0);
    EXPECT_EQ(data->light, light);
    SetFigureLight(3, 100, 50, 0, 255, 0);
    EXPECT_FLOAT_EQ(light->dimmer, 1.0f);
    EXPECT_FLOAT_EQ(light->range, 0.5f);
    EXPECT_EQ(light->diffuse, SgRgb(0, 1, 0));
    SetFigureLightRange(3, 300);
    EXPECT_FLOAT_EQ(light->range, 3.0f);

    EXPECT_EQ(RemoveFigureLight(3), 1);
    EXPECT_EQ(data->light, nullptr);
    EXPECT_EQ(RemoveFigureLight(3), 0);
    for (int n : {0, 4, 500, -2}) {
        AttachFigureLight(n, 1, 1, 1, 1, 1, 1);
        SetFigureLight(n, 1, 1, 1, 1, 1);
        EXPECT_EQ(RemoveFigureLight(n), 0);
        EXPECT_EQ(RelightFigure(n), 0);
    }
}

TEST_F(FigureLightsTest, BillboardNumbersRunOutAtFortyNineAndTheLowestFreeComesBack) {
    for (int f = 1; f <= 50; ++f)
        figure_fixture::MakeFigure(f);
    for (int f = 1; f <= 49; ++f)
        ASSERT_EQ(CreateFigureBillboard(f), f);
    EXPECT_EQ(CreateFigureBillboard(50), 0);
    RemoveFigureBillboard(30);
    RemoveFigureBillboard(7);
    EXPECT_EQ(CreateFigureBillboard(50), 7);
    EXPECT_EQ(CreateFigureBillboard(50), 30);
    EXPECT_EQ(CreateFigureBillboard(50), 0);
}

TEST_F(FigureLightsTest, BillboardsNeedASceneAFigureAndItsRecord) {
    figure_fixture::MakeFigure(1);
    Figures().figures[2] = new SgNode;
    EXPECT_EQ(CreateFigureBillboard(2), 0);
    EXPECT_EQ(CreateFigureBillboard(3), 0);
    EXPECT_EQ(CreateFigureBillboard(0), 0);
    World().sceneActive = 0;
    EXPECT_EQ(CreateFigureBillboard(1), 0);
}

TEST_F(FigureLightsTest, ABillboardIsATurnedTexturedQuadAboveTheFigure) {
    SgFigureExtraData* data = figure_fixture::MakeFigure(4);
    const int b = CreateFigureBillboard(4);
    ASSERT_EQ(b, 1);
    FigureBillboard& slot = Figures().billboards[b];
    EXPECT_EQ(data->billboard, slot.node.Get());
    EXPECT_EQ(slot.node->Parent(), FigureNode(4));
    EXPECT_EQ(slot.node->mode, SgBillboardNode::kTurnAboutY);
    EXPECT_EQ(slot.node->localTranslation, SgVec3(0, 0, -0.75f));
    const float c = std::cos(1.570795f), s = std::sin(1.570795f);
    const float rows[9] = {1, 0, 0, 0, c, s, 0, -s, c};
    for (int i = 0; i < 9; ++i)
        EXPECT_FLOAT_EQ(slot.node->localRotation.m[i], rows[i]) << i;

    SgTriStrip* strip = slot.strip.Get();
    ASSERT_EQ(slot.node->ChildAt(0), strip);
    ASSERT_EQ(strip->VertexCount(), 4);
    const SgVec3 corners[4] = {{-0.2f, 0.1f, 0}, {-0.2f, 0, 0}, {0.2f, 0.1f, 0}, {0.2f, 0, 0}};
    const SgVec3 uv[4] = {{0.01f, 0.01f, 0}, {0.01f, 0.99f, 0}, {0.99f, 0.01f, 0}, {0.99f, 0.99f, 0}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(strip->Vertices()[i], corners[i]) << i;
        EXPECT_EQ(strip->TextureSet(0)[i], uv[i]) << i;
        EXPECT_EQ(strip->Colors()[i], SgRgba(1, 1, 1, 1)) << i;
    }
    auto* texture = static_cast<SgTextureProperty*>(strip->FindPropertyOfType(SG_TEXTURE_PROPERTY));
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->CurrentImage().Get(), slot.image.Get());
    SgRawImageData* raw = slot.image->RawData();
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(raw->Format(), SgRawImageData::kRgba);
    EXPECT_EQ(raw->Width(), 16u);
    EXPECT_EQ(raw->Height(), 16u);

    // Transparent, blended one way over the scene, tested but not written to depth, lit at 0.75.
    auto* alpha = static_cast<SgAlphaProperty*>(slot.node->FindPropertyOfType(SG_ALPHA_PROPERTY));
    auto* depth = static_cast<SgZBufferProperty*>(slot.node->FindPropertyOfType(SG_ZBUFFER_PROPERTY));
    auto* material = static_cast<SgMaterialProperty*>(slot.node->FindPropertyOfType(SG_MATERIAL_PROPERTY));
    auto* transparent = static_cast<SgTransparentProperty*>(slot.node->FindPropertyOfType(SG_TRANSPARENT_PROPERTY));
    ASSERT_TRUE(alpha && depth && material && transparent);
    EXPECT_EQ(transparent->transparentOn, 1);
    EXPECT_EQ(alpha->blendOn, 1);
    EXPECT_EQ(alpha->sourceBlend, 6u);
    EXPECT_EQ(alpha->destinationBlend, 0u);
    EXPECT_EQ(depth->depthTest, 1);
    EXPECT_EQ(depth->depthWrite, 0);
    EXPECT_EQ(material->diffuse, SgRgb(1, 1, 1));
    EXPECT_EQ(material->emissive, SgRgb(0.125f, 0.125f, 0.125f));
    EXPECT_FLOAT_EQ(material->alpha, 0.75f);

    SetFigureBillboardHeight(b, 150);
    EXPECT_EQ(slot.node->localTranslation, SgVec3(0, 0, -1.5f));
    HideFigureBillboard(4);
    EXPECT_TRUE(strip->IsHidden());
    ShowFigureBillboard(4);
    EXPECT_FALSE(strip->IsHidden());
}

TEST_F(FigureLightsTest, PixelsReachTheImageAsBytesAndCountARevision) {
    figure_fixture::MakeFigure(2);
    const int b = CreateFigureBillboard(2);
    uint32_t pixels[256];
    for (uint32_t i = 0; i < 256; ++i)
        pixels[i] = 0x11223300u + i;
    SgImage* image = Figures().billboards[b].image.Get();
    const uint32_t stamp = image->contentStamp;
    SetFigureBillboardPixels(b, pixels);
    EXPECT_EQ(image->contentStamp, stamp + 1);
    const uint8_t* row15 = image->RawData()->Row(15);
    // Pixel 255 (last row, last column) as it lies in memory.
    const uint8_t last[4] = {0xFF, 0x33, 0x22, 0x11};
    EXPECT_EQ(std::memcmp(row15 + 15 * 4, last, 4), 0);
    const uint8_t first[4] = {0x00, 0x33, 0x22, 0x11};
    EXPECT_EQ(std::memcmp(image->RawData()->Row(0), first, 4), 0);

    SetFigureBillboardPixels(b, nullptr);
    for (int n : {0, 50, -1, b + 1})
        SetFigureBillboardPixels(n, pixels);
    EXPECT_EQ(image->contentStamp, stamp + 1);
}

TEST_F(FigureLightsTest, RemovingABillboardClearsTheFigureThatHoldsIt) {
    SgFigureExtraData* data = figure_fixture::MakeFigure(6);
    const int b = CreateFigureBillboard(6);
    RemoveFigureBillboard(b);
    EXPECT_EQ(data->billboard, nullptr);
    EXPECT_FALSE(Figures().billboards[b].node);
    EXPECT_EQ(static_cast<SgNode*>(FigureNode(6))->ChildCount(), 1u);
    // A later tint or show reaches no freed node.
    SetFigureTint(6, 50, 2, 1, 1, 1, 1);
    ShowFigureBillboard(6);
    for (int n : {0, 50, -3, b})
        RemoveFigureBillboard(n);
}

TEST_F(FigureLightsTest, DetachingLeavesTheSlotUntilTheBillboardIsRemoved) {
    SgFigureExtraData* data = figure_fixture::MakeFigure(6);
    const int b = CreateFigureBillboard(6);
    EXPECT_EQ(DetachFigureBillboard(6), 1);
    EXPECT_EQ(data->billboard, nullptr);
    EXPECT_EQ(Figures().billboards[b].node->Parent(), nullptr);
    EXPECT_EQ(DetachFigureBillboard(6), 0);
    EXPECT_EQ(CreateFigureBillboard(6), b + 1);
    RemoveFigureBillboard(b);
    EXPECT_FALSE(Figures().billboards[b].node);
    EXPECT_NE(data->billboard, nullptr);
}

class OnScreenTest : public FigureLightsTest {
protected:
    // Eye at the origin looking along +x, up +y, right +z, a 90 degree window.
    void SetUp() override {
        FigureLightsTest::SetUp();
        camera = SgRef<SgCamera>(new SgCamera);
        camera->localEye = SgVec3(0, 0, 0);
        camera->frustum = SgFrustum{-1, 1, 1, -1, 1, 100};
        camera->UpdateAllStates();
        Cameras().activeCamera = camera.Get();
    }
    void TearDown() override {
        Cameras().activeCamera = nullptr;
        FigureLightsTest::TearDown();
    }
    SgRef<SgCamera> camera;
};

TEST_F(OnScreenTest, PointsInFrontOnTheSideOrBehind) {
    struct Case {
        SgVec3 p;
        float radius;
        int either, expected;
    };
    const Case cases[] = {
        {{10, 0, 0}, 0.1f, 0, 1},  {{10, 0, 0}, 0.1f, 1, 1},   {{-10, 0, 0}, 0.1f, 0, 0},
        {{-10, 0, 0}, 0.1f, 1, 0}, {{10, 30, 0}, 0.1f, 0, 0},  {{10, 0, 30}, 0.1f, 0, 0},
        {{10, 0, -30}, 0.1f, 1, 0}, {{10, 0, 10.5f}, 1.0f, 0, 1},
        // Reaching behind the eye: only "either" accepts it.
        {{1.5f, 0, 0}, 3.0f, 0, 0}, {{1.5f, 0, 0}, 3.0f, 1, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsPointOnScreen(c.p.x, c.p.y, c.p.z, c.radius, c.either), c.expected)
            << c.p.x << "," << c.p.y << "," << c.p.z << " r " << c.radius << " either " << c.either;
    Cameras().activeCamera = nullptr;
    EXPECT_EQ(IsPointOnScreen(10, 0, 0, 0.1f, 1), 0);
}

TEST_F(OnScreenTest, AFigureCountsWhenItsFootOrItsHeadIsSeen) {
    figure_fixture::MakeFigure(8);
    // Engine z is -game z: 5 ahead, the foot at engine z 8 is off the right edge, the head at 0
    // is in view.
    EXPECT_EQ(IsFigureOnScreen(8, 500, 0, -800, 800, 10, 0), 1);
    EXPECT_EQ(IsFigureOnScreen(8, 500, 0, -800, 0, 10, 0), 0);
    EXPECT_EQ(IsFigureOnScreen(8, 500, 0, 0, 800, 10, 0), 1);
    EXPECT_EQ(IsFigureOnScreen(9, 500, 0, 0, 800, 10, 0), 0);
    EXPECT_EQ(IsFigureOnScreen(8, -500, 0, 0, 800, 10, 1), 0);
}

}  // namespace
