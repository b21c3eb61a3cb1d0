// The renderer, scene root and cameras: set-up through the real renderer headless (and with no
// device at all), the root's default state, the camera table and modes, the first-person
// placement, fog, wire-frame, the viewer light, the frame operations through a recording
// renderer, and shutdown.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "client/present/arena_draw_sorter.h"
#include "client/present/camera_set.h"
#include "client/present/hud_slots.h"
#include "client/present/lod_select.h"
#include "client/present/world_tables.h"
#include "engine/animation/sg_clod.h"
#include "engine/geometry/sg_deferred_draw_sorter.h"
#include "engine/render/sg_d3d_render.h"
#include "engine/render/sg_dd_environment.h"
#include "engine/render/sg_dd_image.h"
#include "platform/ddraw/control.h"
#include "tests/support/recording_render.h"
#include "tools/writers/clod_builder.h"
#include "tests/support/render/render_fixture.h"
#include "tests/support/world_fixture.h"

namespace {

using present::Cameras;
using present::CameraSet;

// The parent an object hangs under (the key of its current world state).
SgAVObject* ParentOf(SgAVObject* object) { return object->CurrentState() ? object->CurrentState()->key : nullptr; }

class CameraSetTest : public RenderFrameTest {
protected:
    void TearDown() override {
        present::DestroySceneAndRenderer();
        Cameras() = CameraSet{};
        present::Hud() = present::HudSlots{};
        present::World() = present::WorldTables{};
        present::SetForcedLodLevel(0);
        SgClod::SetDefaultLevelCallback(nullptr, 0);
        SgSetDeferredCollectorFactory(SgCreateDeferredDrawSorter);
        RenderFrameTest::TearDown();
    }

    // InitDirectDraw's order.
    void StartDisplay() {
        present::CreateRenderer(window);
        present::CreateSceneRoot();
        present::CreateCameras();
        present::ResetCameraViewports();
    }

    // Engine objects alive once a first set-up and shutdown have made the engine's lazily made
    // shared objects (default property instances).
    uint32_t WarmedLiveCount() {
        StartDisplay();
        present::DestroySceneAndRenderer();
        ReleaseDDEnvironment();
        Cameras() = CameraSet{};
        messageBoxes.clear();
        return SgObject::LiveCount();
    }

    // The same, with a recording renderer in place of the device.
    RecordingRender* StartRecording() {
        recording = SgRef<RecordingRender>(new RecordingRender);
        worldtest::StartDisplayOver(recording.Get());
        recording->Clear();
        return recording.Get();
    }

    static void ExpectRows(const SgMat3& m, const std::vector<float>& rows, const char* what) {
        for (int i = 0; i < 9; ++i)
            EXPECT_NEAR(m.m[i], rows[i], 1e-5) << what << " element " << i;
    }

    SgRef<RecordingRender> recording;
};

TEST_F(CameraSetTest, SetUpMakesAFullScreenRendererWithZBufferAndABlackBackground) {
    StartDisplay();
    CameraSet& s = Cameras();
    ASSERT_TRUE(s.renderer);
    EXPECT_EQ(present::IsRendererReady(), 1);
    EXPECT_EQ(s.rendererStarted, 1);
    EXPECT_EQ(s.fullScreen, 1);
    EXPECT_EQ(s.display->Renderer(), s.renderer.Get());
    EXPECT_EQ(s.renderer->GetTargetWidth(), 800u);
    EXPECT_EQ(s.renderer->GetTargetHeight(), 600u);
    EXPECT_EQ(SgImage::ImageListenerCount(), 1u);
    EXPECT_TRUE(messageBoxes.empty());

    IDirectDraw4* directDraw = nullptr;
    ASSERT_EQ(present::SgxGetDirectDraw(&directDraw), 1);
    ASSERT_NE(directDraw, nullptr);
    directDraw->Release();
}

TEST_F(CameraSetTest, NoDeviceShowsTheMessageAndNothingReachesAMissingRenderer) {
    EditProfile([](platform::dd::CapsProfile& p) {
        p.mmxDevice = false;
        p.rgbDevice = false;
        for (auto& d : p.drivers)
            d.hardware3d = false;
    });
    const uint32_t before = WarmedLiveCount();
    StartDisplay();
    EXPECT_EQ(messageBoxes, (std::vector<std::string>{"Error|Renderer Creation Failed!"}));
    EXPECT_FALSE(Cameras().renderer);
    EXPECT_EQ(present::IsRendererReady(), 0);
    EXPECT_EQ(SgImage::ImageListenerCount(), 0u);
    // None of these may call through the missing renderer.
    present::ClearViewFrame();
    present::RenderWorldView(100);
    present::DrawScreenImage();
    present::BlitSurfaceToScreen(0, 0, 10, 10, 1);
    present::DrawCursorImage(5, 5);
    present::ShowViewFrame();
    present::SetWorldFog(500, 0, 10, 20, 30);
    EXPECT_EQ(Cameras().worldClock, 0.0f);
    present::ReleaseRendererSurfaces();
    present::DestroySceneAndRenderer();
    ReleaseDDEnvironment();
    EXPECT_EQ(SgObject::LiveCount(), before);
}

TEST_F(CameraSetTest, CreateAndDestroyLeaveNoEngineObject) {
    const uint32_t before = WarmedLiveCount();
    StartDisplay();
    present::World().worldRoot = SgRef<SgNode>(new SgNode);
    Cameras().sceneRoot->InsertChild(present::World().worldRoot.Get(), true);
    present::CreateViewerLight();
    present::World().worldRoot = nullptr;
    ASSERT_GT(SgObject::LiveCount(), before);
    present::ReleaseRendererSurfaces();
    present::DestroySceneAndRenderer();
    EXPECT_EQ(SgD3DRender::Current(), nullptr);
    // The display environment (with its primary image) is the renderer library's, kept to exit.
    ReleaseDDEnvironment();
    EXPECT_EQ(SgObject::LiveCount(), before);
    EXPECT_EQ(SgImage::ImageListenerCount(), 0u);
}

TEST_F(CameraSetTest, DestroyReleasesAllSevenRootProperties) {
    StartRecording();
    CameraSet& s = Cameras();
    // Each default property is held by the root and the set; after the root goes, the set's
    // reference must go too.
    std::vector<SgRef<SgProperty>> kept = {s.vertexColor, s.textureMode, s.shade, s.fog,
                                           s.wireframe,   s.specular,    s.material};
    present::DestroySceneAndRenderer();
    for (size_t i = 0; i < kept.size(); ++i)
        EXPECT_EQ(kept[i]->RefCount(), 1u) << "property " << i;
}

TEST_F(CameraSetTest, SceneRootCarriesTheDefaultStateInLinkOrder) {
    StartRecording();
    CameraSet& s = Cameras();
    std::vector<int> types;
    for (SgProperty* p : s.sceneRoot->properties)
        types.push_back(p->PropertyType());
    // Each link goes to the front: z-buffer first linked, material added last.
    EXPECT_EQ(types, (std::vector<int>{SG_MATERIAL_PROPERTY, SG_SPECULAR_PROPERTY, SG_WIREFRAME_PROPERTY,
                                       SG_VERTEX_COLOR_PROPERTY, SG_TEXTURE_MODE_PROPERTY, SG_SHADE_PROPERTY,
                                       SG_FOG_PROPERTY, SG_ZBUFFER_PROPERTY}));
    auto* z = static_cast<SgZBufferProperty*>(s.sceneRoot->FindPropertyOfType(SG_ZBUFFER_PROPERTY));
    ASSERT_NE(z, nullptr);
    EXPECT_EQ(z->depthTest, 1);
    EXPECT_EQ(z->depthWrite, 1);
    EXPECT_EQ(s.textureMode->applyMode, 3u);
    EXPECT_EQ(s.textureMode->filterMode, 5u);
    EXPECT_EQ(s.textureMode->addressingMode, 3u);
    EXPECT_EQ(s.textureMode->override, 1);
    EXPECT_EQ(s.specular->specularOn, 0);
    EXPECT_EQ(s.vertexColor->mode, 6u);
    EXPECT_EQ(s.wireframe->wireframeOn, 0);
    EXPECT_EQ(s.fog->fogOn, 1);
    EXPECT_FLOAT_EQ(s.fog->depth, 0.2f);
    EXPECT_EQ(s.fog->fogKind, 0u);
    EXPECT_EQ(s.fog->color, SgRgb(0, 0, 0));
    EXPECT_EQ(s.fog->override, 1);
    EXPECT_EQ(s.shade->smoothOn, 1);
    EXPECT_EQ(s.shade->override, 1);
    EXPECT_EQ(s.material->ambient, SgRgb(0, 0, 0));
    EXPECT_EQ(s.material->diffuse, SgRgb(1, 1, 1));
    EXPECT_EQ(s.material->specular, SgRgb(0, 0, 0));
    EXPECT_EQ(s.material->emissive, SgRgb(0.0625f, 0.0625f, 0.0625f));
    EXPECT_EQ(s.material->changed, 1);
    // The arena's collector is installed before the root, and every mesh asks the first-call rule.
    EXPECT_EQ(SgGetDeferredCollectorFactory(), &present::CreateArenaDrawSorter);
    ClodBuilt built;
    ASSERT_TRUE(BuildClod(GridMesh(3, 3, 1.0f), {}, built, nullptr));
    SgRef<SgClod> mesh = MakeClod(built);
    ASSERT_TRUE(mesh);
    EXPECT_EQ(mesh->LevelCallback(), &present::SelectLodFirstCall);
}

struct CameraRow {
    const char* name;
    float left, right, top, bottom, nearDistance, farDistance;
    SgVec3 translation;
};

TEST_F(CameraSetTest, CamerasFollowTheTable) {
    StartRecording();
    CameraSet& s = Cameras();
    const CameraRow rows[3] = {
        {"default camera", -0.55f, 0.55f, 0.41f, -0.41f, 0.1f, 20.0f, {0, 0, 0}},
        {"first person", -0.1f, 0.1f, 0.075f, -0.075f, 0.1f, 64.0f, {0.08f, 0, 0}},
        {"third person", -0.256f, 0.256f, 0.192f, -0.192f, 1.001f, 30.0f, {1, 0, 0}},
    };
    SgCamera* cameras[3] = {s.defaultCamera.Get(), s.firstPersonCamera.Get(), s.thirdPersonCamera.Get()};
    SgNode* nodes[3] = {s.defaultNode.Get(), s.firstPersonNode.Get(), s.thirdPersonNode.Get()};
    for (int i = 0; i < 3; ++i) {
        const CameraRow& r = rows[i];
        SgCamera* c = cameras[i];
        ASSERT_NE(c, nullptr) << r.name;
        EXPECT_STREQ(c->GetName(), r.name);
        EXPECT_FLOAT_EQ(c->frustum.left, r.left) << r.name;
        EXPECT_FLOAT_EQ(c->frustum.right, r.right) << r.name;
        EXPECT_FLOAT_EQ(c->frustum.top, r.top) << r.name;
        EXPECT_FLOAT_EQ(c->frustum.bottom, r.bottom) << r.name;
        EXPECT_FLOAT_EQ(c->frustum.nearDistance, r.nearDistance) << r.name;
        EXPECT_FLOAT_EQ(c->frustum.farDistance, r.farDistance) << r.name;
        EXPECT_EQ(c->localTranslation, r.translation) << r.name;
        EXPECT_EQ(c->viewport.left, 0.0f);
        EXPECT_EQ(c->viewport.right, 1.0f);
        EXPECT_EQ(c->viewport.top, 1.0f);
        EXPECT_EQ(c->viewport.bottom, 0.0f);
        EXPECT_EQ(c->Display(), s.display.Get()) << r.name;
        EXPECT_EQ(c->SceneRoot(), s.sceneRoot.Get()) << r.name;
        EXPECT_EQ(c->useDeferralPass, 1) << r.name;
        EXPECT_EQ(ParentOf(c), nodes[i]) << r.name;
    }
    EXPECT_EQ(s.activeCamera, s.defaultCamera.Get());
    EXPECT_EQ(s.activeNode, s.defaultNode.Get());
    // A second set-up keeps the active camera chosen.
    s.firstPersonCamera->viewport.left = 0.5f;
    present::ResetCameraViewports();
    EXPECT_EQ(s.firstPersonCamera->viewport.left, 0.0f);
}

TEST_F(CameraSetTest, CameraModesAndTheHudFollowingTheActiveCamera) {
    StartRecording();
    CameraSet& s = Cameras();
    SgRef<SgScreenPolygon> panel(new SgScreenPolygon), item(new SgScreenPolygon);
    present::Hud().panels[3] = panel;
    present::Hud().items[0] = item;
    SgCamera* def = s.defaultCamera.Get();
    SgCamera* first = s.firstPersonCamera.Get();
    SgCamera* third = s.thirdPersonCamera.Get();
    struct Step {
        int mode;
        SgCamera* expected;
    };
    const Step steps[] = {{0, third}, {0, first}, {0, third}, {1, def}, {0, third}, {2, first},
                          {3, third}, {7, third}, {-1, third}, {2, first}};
    for (const Step& step : steps) {
        present::SelectActiveCamera(step.mode);
        EXPECT_EQ(s.activeCamera, step.expected) << "mode " << step.mode;
        EXPECT_EQ(s.activeNode, ParentOf(step.expected)) << "mode " << step.mode;
    }
    // The HUD sits on the active camera only, items before panels.
    auto& list = first->ScreenPolygonList();
    ASSERT_GE(list.UsedSize(), 2u);
    EXPECT_EQ(list.At(0), item.Get());
    EXPECT_EQ(list.At(1), panel.Get());
    EXPECT_EQ(third->ScreenPolygonList().Find(panel.Get()), -1);
    EXPECT_EQ(def->ScreenPolygonList().Find(item.Get()), -1);

    present::ShowHud(0);
    EXPECT_EQ(first->ScreenPolygonList().Count(), 0u);
    present::ShowHud(1);
    EXPECT_EQ(first->ScreenPolygonList().Count(), 2u);
    present::ShowHud(2);
    EXPECT_EQ(first->ScreenPolygonList().Count(), 0u);
}

TEST(HudSlotsTest, AttachEmptiesTheListAndKeepsTheHudOrder) {
    SgRef<SgCamera> camera(new SgCamera);
    SgRef<SgScreenPolygon> stranger(new SgScreenPolygon);
    camera->AttachOverlayPolygon(stranger.Get());
    present::HudSlots& h = present::Hud();
    std::vector<SgRef<SgScreenPolygon>> made;
    auto make = [&made]() {
        made.push_back(SgRef<SgScreenPolygon>(new SgScreenPolygon));
        return made.back();
    };
    // Filled in the order the camera must list them.
    h.statusBar[0][0] = make();
    h.statusBar[0][1] = make();
    h.statusBar[3][1] = make();
    h.nexus[2][0] = make();
    h.team = make();
    h.items[7] = make();
    h.panels[0] = make();
    h.panels[19] = make();
    h.earth[0] = make();
    h.earth[3] = make();
    h.node[1] = make();
    h.mapTiles[11] = make();
    present::AttachHudToCamera(camera.Get());
    auto& list = camera->ScreenPolygonList();
    ASSERT_EQ(list.Count(), made.size());
    for (uint32_t i = 0; i < made.size(); ++i)
        EXPECT_EQ(list.At(i), made[i].Get()) << "position " << i;
    EXPECT_EQ(list.Find(stranger.Get()), -1);

    present::DetachHudFromCamera(camera.Get());
    EXPECT_EQ(list.Count(), 0u);
    present::AttachHudToCamera(nullptr);
    present::DetachHudFromCamera(nullptr);
    h = present::HudSlots{};
}

struct FacingCase {
    int facing;
    std::vector<float> rows;
};

TEST_F(CameraSetTest, FirstPersonPlacementByHand) {
    StartRecording();
    CameraSet& s = Cameras();
    // h = (7168 - facing) mod 4096 turns of 2 pi / 4096, then a quarter turn about x.
    const FacingCase cases[] = {
        {0, {0, 0, -1, 1, 0, 0, 0, -1, 0}},     // h = 3 pi / 2
        {1024, {-1, 0, 0, 0, 0, -1, 0, -1, 0}},  // h = pi
        {2048, {0, 0, 1, -1, 0, 0, 0, -1, 0}},   // h = pi / 2
        {5120, {-1, 0, 0, 0, 0, -1, 0, -1, 0}},  // a full turn on from 1024
    };
    for (const FacingCase& c : cases) {
        present::PlaceFirstPersonCamera(6553600 * 3, -6553600 / 2, 6553600 * 2, c.facing, 0);
        ExpectRows(s.firstPersonNode->localRotation, c.rows, ("facing " + std::to_string(c.facing)).c_str());
    }
    EXPECT_EQ(s.firstPersonNode->localTranslation, SgVec3(3.0f, -0.5f, -2.0f));
    present::PlaceFirstPersonCamera(0, 0, 0, 0, 900);
    ExpectRows(s.firstPersonCamera->localRotation, {0, 1, 0, -1, 0, 0, 0, 0, 1}, "tilt 90 degrees");
    present::PlaceFirstPersonCamera(0, 0, 0, 0, -450);
    const float r = std::sqrt(0.5f);
    ExpectRows(s.firstPersonCamera->localRotation, {r, -r, 0, r, r, 0, 0, 0, 1}, "tilt -45 degrees");
    // The world placement follows at once.
    EXPECT_EQ(s.firstPersonNode->CurrentState()->worldTranslation, SgVec3(0, 0, 0));
}

TEST_F(CameraSetTest, FogSetsTheFirstPersonRangeAndTheBackground) {
    RecordingRender* render = StartRecording();
    CameraSet& s = Cameras();
    struct FogCase {
        int depth;
        uint8_t on;
        uint32_t kind;
        float storedDepth;
        SgRgb color;
        float far, nearDistance;
        const char* background;
    };
    const FogCase cases[] = {
        {500, 1, 1, 5.0f, SgRgb(1.0f, 0.0f, 51 / 255.0f), 6.4f, 0.1f, "SetBackgroundColor((1, 0, 0.2))"},
        {-50, 1, 1, 0.0f, SgRgb(1.0f, 0.0f, 51 / 255.0f), 6.4f, 0.1f, "SetBackgroundColor((1, 0, 0.2))"},
        {0, 0, 1, 0.0f, SgRgb(0, 0, 0), 64.0f, 0.1f, "SetBackgroundColor((0, 0, 0))"},
    };
    for (const FogCase& c : cases) {
        s.firstPersonCamera->frustum.left = 3.0f;
        render->Clear();
        present::SetWorldFog(c.depth, 99, 255, 0, 51);
        EXPECT_EQ(s.fog->fogOn, c.on) << c.depth;
        EXPECT_EQ(s.fog->fogKind, c.kind) << c.depth;
        EXPECT_FLOAT_EQ(s.fog->depth, c.storedDepth) << c.depth;
        EXPECT_EQ(s.fog->color, c.color) << c.depth;
        EXPECT_FLOAT_EQ(s.firstPersonCamera->frustum.farDistance, c.far) << c.depth;
        EXPECT_FLOAT_EQ(s.firstPersonCamera->frustum.nearDistance, c.nearDistance) << c.depth;
        EXPECT_FLOAT_EQ(s.firstPersonCamera->frustum.left, -0.1f) << c.depth;
        EXPECT_FLOAT_EQ(s.firstPersonCamera->frustum.top, 0.075f) << c.depth;
        EXPECT_EQ(render->Log(), (std::vector<std::string>{c.background})) << c.depth;
    }
}

TEST_F(CameraSetTest, WireframeAndTextureModes) {
    StartRecording();
    CameraSet& s = Cameras();
    present::SetWireframeMode(1);
    EXPECT_EQ(s.wireframe->wireframeOn, 1);
    EXPECT_EQ(s.vertexColor->mode, 0u);
    present::SetWireframeMode(0);
    EXPECT_EQ(s.wireframe->wireframeOn, 0);
    EXPECT_EQ(s.vertexColor->mode, 6u);
    present::SetWorldTextureMode(0);
    EXPECT_EQ(s.textureMode->filterMode, 1u);
    present::SetWorldTextureMode(1);
    EXPECT_EQ(s.textureMode->filterMode, 5u);
    s.rendererFlag = 0;
    present::SetWorldTextureMode(0);
    EXPECT_EQ(s.textureMode->filterMode, 5u);
}

TEST_F(CameraSetTest, FrameOperationsReachTheRendererInOrder) {
    RecordingRender* render = StartRecording();
    CameraSet& s = Cameras();
    SgRef<SgImage> screen(RecordingImage::Make()), cursor(RecordingImage::Make());
    s.screenImage = screen;
    s.cursorImage = cursor;
    present::SelectActiveCamera(2);
    render->Clear();

    present::ClearViewFrame();
    EXPECT_EQ(render->Count("ClearBuffers"), 1u);
    render->Clear();
    present::DrawScreenImage();
    present::BlitSurfaceToScreen(10, 20, 110, 70, 1);
    present::BlitSurfaceToScreen(-5, -8, 30, 40, 0);
    present::BlitSurfaceToScreen(50, 50, 50, 60, 0);
    present::DrawCursorImage(300, 200);
    const auto blits = render->Named("BlitImageToFrame");
    ASSERT_EQ(blits.size(), 4u);
    // Rectangles go as left, right, top, bottom.
    const std::vector<std::vector<std::string>> args = {
        {"null", "0", "0", "0"},
        {"(10, 110, 20, 70)", "10", "20", "1"},
        {"(0, 30, 0, 40)", "0", "0", "0"},
        {"null", "300", "200", "1"},
    };
    const SgImage* images[] = {screen.Get(), screen.Get(), screen.Get(), cursor.Get()};
    for (size_t i = 0; i < blits.size(); ++i) {
        EXPECT_EQ(std::vector<std::string>(blits[i].args.begin() + 1, blits[i].args.end()), args[i]) << i;
        EXPECT_EQ(blits[i].objects[0], images[i]) << i;
    }
    render->Clear();
    present::ShowViewFrame();
    EXPECT_EQ(render->Count("PresentFrame"), 1u);
}

TEST_F(CameraSetTest, RenderWorldViewAdvancesTheClockAndKeepsTheCounts) {
    RecordingRender* render = StartRecording();
    CameraSet& s = Cameras();
    present::RenderWorldView(10000);
    EXPECT_EQ(s.worldClock, 1.0f);
    EXPECT_EQ(render->Count("BeginFrame"), 1u);
    present::RenderWorldView(2500);
    EXPECT_FLOAT_EQ(s.worldClock, 1.25f);
    uint32_t triangles = 9, geometry = 9, vertices = 9;
    present::GetRenderStatistics(&triangles, &geometry, &vertices);
    EXPECT_EQ(triangles, s.trianglesDrawn);
    EXPECT_EQ(geometry, s.geometryDrawn);
    EXPECT_EQ(vertices, s.verticesDrawn);
}

TEST_F(CameraSetTest, ViewerLightAndTheStartingPlacements) {
    StartRecording();
    CameraSet& s = Cameras();
    present::World().worldRoot = SgRef<SgNode>(new SgNode);
    s.sceneRoot->InsertChild(present::World().worldRoot.Get(), true);
    present::CreateViewerLight();
    SgLight* light = s.viewerLight.Get();
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->type, SgLight::kPoint);
    EXPECT_EQ(light->on, 0);
    EXPECT_FLOAT_EQ(light->dimmer, 6.0f);
    EXPECT_FLOAT_EQ(light->range, 3.0f);
    EXPECT_FLOAT_EQ(light->falloff, 1.0f);
    EXPECT_EQ(light->attenuate, 1);
    EXPECT_EQ(light->ambient, SgRgb(0, 0, 0));
    EXPECT_EQ(light->diffuse, SgRgb(1, 1, 1));
    EXPECT_EQ(light->specular, SgRgb(0, 0, 0));
    EXPECT_EQ(ParentOf(light), s.firstPersonNode.Get());
    EXPECT_EQ(ParentOf(s.firstPersonNode.Get()), present::World().worldRoot.Get());
    EXPECT_EQ(s.activeCamera, s.firstPersonCamera.Get());

    const float cq = std::cos(1.5707950592041016f), sq = std::sin(1.5707950592041016f);
    const std::vector<float> upright = {1, 0, 0, 0, cq, sq, 0, -sq, cq};
    for (SgNode* node : {s.defaultNode.Get(), s.firstPersonNode.Get(), s.thirdPersonNode.Get()}) {
        ExpectRows(node->localRotation, upright, "holder");
        EXPECT_EQ(node->localTranslation, SgVec3(20, 20, -8));
    }
    const float a = 0.6981311440467834f, b = 0.645771324634552f;
    ExpectRows(s.defaultCamera->localRotation, {std::cos(a), std::sin(a), 0, -std::sin(a), std::cos(a), 0, 0, 0, 1},
               "default camera");
    ExpectRows(s.thirdPersonCamera->localRotation,
               {std::cos(b), std::sin(b), 0, -std::sin(b), std::cos(b), 0, 0, 0, 1}, "third person");

    present::SetViewerLight(1, 50, 0);
    EXPECT_EQ(light->on, 1);
    EXPECT_FLOAT_EQ(light->dimmer, 0.5f);
    EXPECT_FLOAT_EQ(light->range, 3.0f);
    present::SetViewerLight(0, 0, 250);
    EXPECT_EQ(light->on, 0);
    EXPECT_FLOAT_EQ(light->dimmer, 0.5f);
    EXPECT_FLOAT_EQ(light->range, 2.5f);
}

TEST_F(CameraSetTest, ScreenImagesWrapSurfacesAndDrawIntoTheFrame) {
    StartDisplay();
    IDirectDraw4* directDraw = nullptr;
    ASSERT_EQ(present::SgxGetDirectDraw(&directDraw), 1);
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = 800;
    desc.dwHeight = 600;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    IDirectDrawSurface4* surface = nullptr;
    ASSERT_EQ(directDraw->CreateSurface(&desc, &surface, nullptr), DD_OK);
    ddtest::FillSurface(surface, [](int x, int) { return x < 400 ? 0xF800u : 0x001Fu; });
    present::CreateScreenImage(window, surface);
    present::CreateCursorImage(window, nullptr);
    EXPECT_EQ(messageBoxes, (std::vector<std::string>{"Error|Renderer Creation Failed!"}));
    ASSERT_TRUE(Cameras().screenImage);
    EXPECT_FALSE(Cameras().cursorImage);

    present::ClearViewFrame();
    present::DrawScreenImage();
    auto* renderer = static_cast<SgD3DRender*>(Cameras().renderer.Get());
    ddtest::Image frame = Frame(renderer);
    EXPECT_EQ(ddtest::Red(frame.At(10, 10)), 255);
    EXPECT_EQ(ddtest::Blue(frame.At(790, 590)), 255);
    surface->Release();
    directDraw->Release();
}

TEST_F(CameraSetTest, TheArenaSorterKeepsOnlyBlendedObjects) {
    StartRecording();
    CameraSet& s = Cameras();
    SgCamera* camera = s.defaultCamera.Get();
    present::ArenaDrawSorter sorter;
    SgRef<SgNode> object(new SgNode);
    sorter.Begin(camera);
    EXPECT_FALSE(sorter.Accept(object.Get(), object->CurrentState()));

    SgRef<SgAlphaProperty> alpha(new SgAlphaProperty);
    SgPropertyList list;
    list.Prepend(alpha.Get());
    s.display->PushProperties(list);
    EXPECT_FALSE(sorter.Accept(object.Get(), object->CurrentState()));
    alpha->blendOn = 1;
    EXPECT_TRUE(sorter.Accept(object.Get(), object->CurrentState()));
    EXPECT_EQ(sorter.EntryCount(), 1u);
    s.display->PopProperties(list);
    sorter.End();
    EXPECT_EQ(sorter.EntryCount(), 0u);
}

}  // namespace
