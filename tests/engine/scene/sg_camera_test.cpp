// Cameras: culling against their planes, the frame as the renderer hears it, projections, pushed
// planes, screen polygons, actions and the deferral pass with a collector.

#include <gtest/gtest.h>

#include <cfloat>
#include <string>
#include <vector>

#include "engine/core/sg_camera_action.h"
#include "engine/core/sg_light.h"
#include "tests/engine/scene/scene_fixture.h"
#include "tests/engine/support/sg_stream_cases.h"

namespace {

SgRef<SgNode> RootWith(std::initializer_list<SgAVObject*> children) {
    SgRef<SgNode> root(new SgNode);
    for (SgAVObject* c : children)
        root->InsertChild(c, false);
    return root;
}

SgRef<SgScreenPolygon> Polygon() {
    const SgVec3 v[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    return SgRef<SgScreenPolygon>(new SgScreenPolygon(3, v, nullptr, nullptr));
}

using CameraTest = SceneTest;

TEST_F(CameraTest, AHiddenObjectDrawsNothingAndTouchesNoPlane) {
    SgRef<SgTriShape> shape = MakeTriangle(10);
    shape->SetHidden(1);
    SgRef<SgNode> root = RootWith({shape.Get(), MakeTriangle(12).Get()});
    RenderRoot(root.Get());
    EXPECT_EQ(render->Count("DrawTriShape"), 1u);
    EXPECT_TRUE(MaskClear());
}

TEST_F(CameraTest, ACulledObjectLeavesTheMaskAsItFoundIt) {
    SgRef<SgNode> root = RootWith({MakeTriangle(10).Get(), MakeTriangle(200).Get(), MakeTriangle(-10).Get()});
    camera->SetPlaneDisabled(3, true);
    RenderRoot(root.Get());
    EXPECT_EQ(render->Count("DrawTriShape"), 1u);
    const uint32_t* mask = camera->DisabledMask();
    EXPECT_EQ(mask[0], 1u << 3);
    EXPECT_EQ(mask[1] | mask[2] | mask[3], 0u);
}

TEST_F(CameraTest, AnObjectWhollyInsideIsClippedAgainstNoPlaneAndTurnsThemBackOn) {
    SgRef<SgNode> root = RootWith({MakeTriangle(10).Get()});
    RenderRoot(root.Get());
    std::vector<RenderCall> clips = render->Named("SetClipPlanes");
    ASSERT_EQ(clips.size(), 1u);
    EXPECT_EQ(clips[0].args[1], "0");
    EXPECT_EQ(clips[0].args[2], "0");
    EXPECT_EQ(clips[0].args[3], "0");
    EXPECT_TRUE(MaskClear());

    // Straddling the near plane: only that plane is handed over.
    SgRef<SgNode> straddling = RootWith({MakeTriangle(0.8f, -0.5f).Get()});
    RenderRoot(straddling.Get());
    clips = render->Named("SetClipPlanes");
    ASSERT_EQ(clips.size(), 1u);
    EXPECT_EQ(clips[0].args[1], "1");
    EXPECT_EQ(clips[0].args[2], "1");
    EXPECT_EQ(clips[0].args[3], "1");
}

// A node's lights shine on its subtree while it draws: only those that are on and bright.
TEST_F(CameraTest, OnlyLightsThatAreOnAndBrightArePushed) {
    SgRef<SgNode> root = RootWith({MakeTriangle(10).Get()});
    struct Case {
        const char* name;
        uint8_t on;
        float dimmer;
    };
    std::vector<SgRef<SgLight>> lights;
    for (Case c : {Case{"lit", 1, 0.5f}, Case{"off", 0, 1.0f}, Case{"dark", 1, 0.0f}, Case{"negative", 1, -1.0f}}) {
        lights.emplace_back(new SgLight);
        lights.back()->AssignName(c.name);
        lights.back()->on = c.on;
        lights.back()->dimmer = c.dimmer;
        root->AddLight(lights.back().Get());
    }
    RenderRoot(root.Get());
    std::vector<std::string> updates;
    for (const RenderCall& c : render->Named("UpdateLight"))
        updates.push_back(c.Text());
    EXPECT_EQ(updates, (std::vector<std::string>{"UpdateLight(lit, 1)", "UpdateLight(lit, 0)"}));
    EXPECT_EQ(display->LightTop(), -1);
}

TEST_F(CameraTest, ARootWithoutBoundIsNotDrawnButTheScreenPolygonsAre) {
    SgRef<SgNode> empty(new SgNode);
    SgRef<SgScreenPolygon> polygon = Polygon();
    camera->AttachOverlayPolygon(polygon.Get());
    RenderRoot(empty.Get(), 2.5);
    EXPECT_EQ(render->Names(), (std::vector<std::string>{"SetCamera", "BeginFrame", "DrawScreenPolygon", "EndFrame"}));
    EXPECT_EQ(camera->Time(), 2.5);
}

TEST_F(CameraTest, WithoutADisplayAFrameOnlyKeepsItsTime) {
    SgRef<SgCamera> lone(new SgCamera);
    lone->SetSceneRoot(RootWith({MakeTriangle(10).Get()}).Get());
    lone->RenderFrame(7.25);
    EXPECT_EQ(lone->Time(), 7.25);
    lone->PassViewToRenderer(3);
    lone->FinishView();
    EXPECT_TRUE(render->calls.empty());
}

TEST_F(CameraTest, TheViewReachesTheRendererAndTheDisplayClearsAndPresents) {
    camera->viewport = {0.25f, 0.75f, 1.0f, 0.0f};
    camera->PassViewToRenderer(SgRender::kClearFrame | SgRender::kClearDepth);
    RenderRoot(nullptr);
    camera->FinishView();
    EXPECT_EQ(render->Log(),
              (std::vector<std::string>{
                  "SetCamera((0, 0, 0), (-1, 0, 0), (0, 1, 0), (0, 0, -1), frustum(-1, 1, 1, -1, 1, 100), "
                  "view(0.25, 0.75, 1, 0))",
                  "BeginFrame()", "EndFrame()", "PresentFrame()"}));
    render->Clear();
    camera->PassViewToRenderer(3);
    EXPECT_EQ(render->Log(), (std::vector<std::string>{"ClearBuffers((0.25, 0.75, 1, 0), 3)"}));
}

TEST_F(CameraTest, TheEyeOffsetShiftsTheWindow) {
    camera->localEye = {2, 0.5f, 0.25f};
    camera->UpdateAllStates();
    RenderRoot(nullptr);
    EXPECT_EQ(render->Named("SetCamera")[0].args[4], "frustum(-0.75, 1.25, 1.5, -0.5, 1, 100)");
}

TEST_F(CameraTest, PlanesFollowTheParent) {
    SgRef<SgNode> parent(new SgNode);
    parent->localTranslation = {5, 0, 0};
    parent->InsertChild(camera.Get(), false);
    parent->UpdateAllStates();
    EXPECT_EQ(camera->WorldLocation(), SgVec3(5, 0, 0));
    const SgPlaneEq& nearPlane = camera->OwnPlane(0);
    EXPECT_EQ(nearPlane.normal, SgVec3(1, 0, 0));
    EXPECT_FLOAT_EQ(nearPlane.constant, 6.0f);
    EXPECT_EQ(camera->WorldBound().centre, SgVec3(5, 0, 0));
    EXPECT_EQ(camera->WorldBound().radius, 0.0f);

    // Turned about y by 90 degrees it looks along -z.
    parent->localRotation = SgMat3::Rotation(4, -SgHalfPi);
    parent->UpdateAllStates();
    EXPECT_NEAR(camera->OwnPlane(0).normal.z, -1.0f, 1e-6f);
    SgBoundSphere ahead;
    ahead.centre = {5, 0, -10};
    ahead.radius = 0.5f;
    for (uint32_t i = 0; i < SgCamera::kOwnPlanes; ++i)
        EXPECT_EQ(ahead.WhichSide(camera->OwnPlane(i)), 1) << "plane " << i;
}

TEST_F(CameraTest, ProjectedSizesAndBoxes) {
    SgBoundSphere sphere;
    sphere.radius = 1.0f;
    float h, v;
    camera->ProjectedSize(sphere, h, v);
    EXPECT_EQ(h, FLT_MAX);
    EXPECT_EQ(v, FLT_MAX);

    sphere.centre = {10, 0, 0};
    camera->ProjectedSize(sphere, h, v);
    EXPECT_FLOAT_EQ(h, 0.1f);
    EXPECT_FLOAT_EQ(v, 0.1f);
    float hb, vb;
    sphere.centre = {-10, 0, 0};
    camera->ProjectedSize(sphere, hb, vb);
    EXPECT_EQ(hb, h);
    EXPECT_EQ(vb, v);

    SgVec3 lo, hi;
    sphere.centre = {10, 0, 0};
    camera->ProjectBound(sphere, lo, hi);
    EXPECT_NEAR(lo.x, -0.1f, 1e-5f);
    EXPECT_NEAR(hi.x, 0.1f, 1e-5f);
    EXPECT_NEAR(lo.y, -0.1f, 1e-5f);
    EXPECT_NEAR(hi.y, 0.1f, 1e-5f);
    EXPECT_FLOAT_EQ(lo.z, 8.0f / 99.0f);
    EXPECT_FLOAT_EQ(hi.z, 10.0f / 99.0f);

    sphere.centre = {-10, 0, 0};
    camera->ProjectBound(sphere, lo, hi);
    EXPECT_EQ(lo.x, -1.0f);
    EXPECT_EQ(hi.y, 1.0f);
    EXPECT_LT(hi.z, 0.0f);
}

TEST_F(CameraTest, PushedPlanesCullAndNoMoreThan128AreTested) {
    SgPlaneEq above({0, 1, 0}, 5.0f);
    ASSERT_TRUE(camera->PushPlane(&above));
    EXPECT_EQ(camera->ActivePlaneCount(), 7u);
    SgRef<SgNode> root = RootWith({MakeTriangle(10).Get(), MakeTriangle(10, 6).Get()});
    RenderRoot(root.Get());
    EXPECT_EQ(render->Count("DrawTriShape"), 1u);

    // Straddling the pushed plane (index 6): handed over, but not as one of the camera's own.
    SgRef<SgNode> straddling = RootWith({MakeTriangle(10, 4.6f).Get()});
    RenderRoot(straddling.Get());
    std::vector<RenderCall> straddled = render->Named("SetClipPlanes");
    ASSERT_EQ(straddled.size(), 1u);
    EXPECT_EQ(straddled[0].args[1], "1");
    EXPECT_EQ(straddled[0].args[2], "0");
    EXPECT_EQ(straddled[0].args[3], "0");

    std::vector<SgPlaneEq> extra(200, SgPlaneEq({0, 1, 0}, -1000.0f));
    uint32_t pushed = 0;
    for (SgPlaneEq& p : extra)
        pushed += camera->PushPlane(&p) ? 1 : 0;
    EXPECT_EQ(camera->ActivePlaneCount(), SgCamera::kMaxPlanes);
    EXPECT_EQ(pushed, SgCamera::kMaxPlanes - 7);
    RenderRoot(root.Get());
    EXPECT_TRUE(MaskClear());
    std::vector<RenderCall> clips = render->Named("SetClipPlanes");
    ASSERT_EQ(clips.size(), 1u);
    EXPECT_EQ(clips[0].args[2], "0");  // no own plane cuts it; the pushed ones hold it wholly

    // Popping takes exactly as many as asked, and never the camera's own six.
    camera->PopPlanes(1);
    EXPECT_EQ(camera->ActivePlaneCount(), SgCamera::kMaxPlanes - 1);
    camera->PopPlanes(2);
    EXPECT_EQ(camera->ActivePlaneCount(), SgCamera::kMaxPlanes - 3);
    camera->PopPlanes(1000);
    EXPECT_EQ(camera->ActivePlaneCount(), SgCamera::kOwnPlanes);
}

TEST_F(CameraTest, OverlayPolygonsKeepTheirSlots) {
    SgRef<SgScreenPolygon> a = Polygon(), b = Polygon(), c = Polygon();
    camera->AttachOverlayPolygon(a.Get());
    camera->AttachOverlayPolygon(b.Get());
    camera->AttachOverlayPolygon(nullptr);
    camera->DetachOverlayPolygon(a.Get());
    camera->DetachOverlayPolygon(a.Get());
    EXPECT_EQ(camera->ScreenPolygonList().UsedSize(), 2u);
    EXPECT_EQ(camera->ScreenPolygonList().At(1), b.Get());
    camera->AttachOverlayPolygon(c.Get());
    EXPECT_EQ(camera->ScreenPolygonList().At(0), c.Get());
}

// ---- Actions ----

class CountingAction : public SgCameraAction {
public:
    bool Step(double time, uint32_t) override {
        seen.push_back(Camera());
        lastTime = time;
        return true;
    }
    std::vector<SgCamera*> seen;
    double lastTime = -1;
};

TEST_F(CameraTest, ActionsRunWithTheCameraBeforeTheViewIsHandedOver) {
    SgRef<CountingAction> first(new CountingAction), second(new CountingAction);
    camera->AttachAction(first.Get());
    camera->AttachAction(second.Get());
    RenderRoot(nullptr, 4.0);
    ASSERT_EQ(first->seen.size(), 1u);
    EXPECT_EQ(first->seen[0], camera.Get());
    EXPECT_EQ(first->Camera(), nullptr);
    EXPECT_EQ(second->lastTime, 4.0);
    EXPECT_EQ(camera->Actions().First(), second.Get());

    SgRef<SgCameraAction> detached = camera->DetachAction(second.Get());
    EXPECT_EQ(detached.Get(), second.Get());
    EXPECT_FALSE(camera->DetachAction(second.Get()));
    EXPECT_EQ(camera->Actions().Count(), 1u);
}

// The copy keeps the view, the root, the display and the flags; not the polygons nor the actions.
// It holds only its own six planes, so it tests only those, whatever the source had pushed.
TEST_F(CameraTest, ACopyKeepsTheViewRootAndDisplay) {
    SgRef<SgNode> root = RootWith({MakeTriangle(10).Get()});
    camera->SetSceneRoot(root.Get());
    camera->frustum.nearDistance = 2.0f;
    camera->useDeferralPass = 1;
    camera->deferralFlag = 0;
    camera->lodFactor = 2.5f;
    camera->AttachOverlayPolygon(Polygon().Get());
    SgRef<CountingAction> action(new CountingAction);
    camera->AttachAction(action.Get());
    SgPlaneEq above({0, 1, 0}, 5.0f);
    ASSERT_TRUE(camera->PushPlane(&above));

    SgRef<SgCamera> copy(SgKindCast<SgCamera>(camera->MakeCopy(nullptr)));
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->SceneRoot(), root.Get());
    EXPECT_EQ(copy->Display(), display.Get());
    EXPECT_EQ(copy->frustum.nearDistance, 2.0f);
    EXPECT_EQ(copy->useDeferralPass, 1);
    EXPECT_EQ(copy->deferralFlag, 0);
    EXPECT_EQ(copy->lodFactor, 2.5f);
    EXPECT_EQ(copy->ScreenPolygonList().Count(), 0u);
    EXPECT_EQ(copy->Actions().Count(), 0u);
    EXPECT_EQ(copy->ActivePlaneCount(), SgCamera::kOwnPlanes);
    for (uint32_t i = 0; i < copy->ActivePlaneCount(); ++i)
        EXPECT_EQ(copy->PlaneAt(i), &copy->OwnPlane(i)) << i;
    camera->PopPlanes(1);
}

// The display belongs to the program, not to the file: the camera does not save it, and the
// reference it writes is the empty id, so the record is the one a camera without a display gives.
TEST_F(CameraTest, TheDisplayIsWrittenAsNoReference) {
    std::vector<uint8_t> withDisplay = SaveAsTopLevel(camera.Get());
    camera->SetDisplay(nullptr);
    std::vector<uint8_t> without = SaveAsTopLevel(camera.Get());
    EXPECT_EQ(withDisplay, without);
    SgRef<SgObject> loaded = LoadSingleTopLevel(withDisplay);
    ASSERT_TRUE(SgKindCast<SgCamera>(loaded.Get()));
    EXPECT_EQ(SgKindCast<SgCamera>(loaded.Get())->Display(), nullptr);
}

TEST_F(CameraTest, TheFollowActionKeepsItsTargetInFrontOfTheCamera) {
    SgRef<SgNode> parent(new SgNode);
    parent->localTranslation = {1, 2, 3};
    parent->localRotation = SgMat3::Rotation(4, -SgHalfPi);
    parent->InsertChild(camera.Get(), false);
    parent->UpdateAllStates();
    SgRef<SgTriShape> tint = MakeTriangle();
    SgRef<CameraFollowAction> follow(new CameraFollowAction(tint.Get()));
    EXPECT_EQ(follow->GetTypeRecord(), &SgCameraAction::typeRecord);
    camera->AttachAction(follow.Get());
    RenderRoot(nullptr);
    // Twice the eye's x (2) along the camera's world x axis, which the turn made -z.
    EXPECT_NEAR(tint->localTranslation.x, 1.0f, 1e-5f);
    EXPECT_NEAR(tint->localTranslation.z, -1.0f, 1e-5f);
    EXPECT_EQ(tint->localRotation, camera->CurrentState()->worldRotation);

    SgRef<CameraFollowAction> aimless(new CameraFollowAction);
    EXPECT_FALSE(aimless->Step(0.0, 0));
}

TEST_F(CameraTest, AnActionNamingItsOwnCameraComparesWithoutEnd) {
    SgRef<CountingAction> action(new CountingAction);
    action->SetCamera(camera.Get());
    camera->AttachAction(action.Get());
    EXPECT_TRUE(camera->IsEqualTo(camera.Get()));
    EXPECT_TRUE(action->IsEqualTo(action.Get()));
    camera->DetachAction(action.Get());
}

// ---- The deferral pass ----

class ReplayCollector : public SgDeferredCollector {
public:
    void Begin(SgCamera* camera) override {
        camera_ = camera;
        log.push_back("Begin");
    }
    bool Accept(SgAVObject* object, SgWorldState* state) override {
        log.push_back(std::string("Accept ") + (object->GetName() ? object->GetName() : "?"));
        entries.push_back(camera_->MakeDeferredEntry(object, state));
        return true;
    }
    void End() override {
        log.push_back("End");
        for (size_t i = entries.size(); i-- > 0;) {
            camera_->DrawDeferredEntry(entries[i]);
            SgDeferredDrawEntry::Free(entries[i]);
        }
        entries.clear();
    }
    static inline std::vector<std::string> log;

private:
    SgCamera* camera_ = nullptr;
    std::vector<SgDeferredDrawEntry*> entries;
};

SgDeferredCollector* MakeReplayCollector() { return new ReplayCollector; }

class DeferralTest : public SceneTest {
protected:
    void TearDown() override {
        SgSetDeferredCollectorFactory(nullptr);
        ReplayCollector::log.clear();
    }
};

TEST_F(DeferralTest, WithoutACollectorTheSubtreeIsDrawnAtOnce) {
    camera->useDeferralPass = 1;
    SgRef<SgNode> root = RootWith({MakeTriangle(10).Get(), MakeTriangle(20).Get()});
    RenderRoot(root.Get());
    EXPECT_EQ(render->Count("DrawTriShape"), 2u);
}

TEST_F(DeferralTest, CollectedObjectsAreDrawnAtTheEndWithTheStateTheyHad) {
    SgSetDeferredCollectorFactory(MakeReplayCollector);
    camera->useDeferralPass = 1;
    SgRef<SgAlphaProperty> blend(new SgAlphaProperty);
    blend->blendOn = 1;
    SgRef<SgTriShape> nearShape = MakeTriangle(10, 0, "near"), farShape = MakeTriangle(20, 0, "far");
    nearShape->AddRenderProperty(blend.Get());
    SgRef<SgNode> off(new SgNode);
    off->AssignName("off");
    off->deferralMode = SgNode::kDeferralOff;
    off->InsertChild(MakeTriangle(30).Get(), false);
    SgRef<SgNode> root = RootWith({nearShape.Get(), farShape.Get(), off.Get()});
    RenderRoot(root.Get());

    EXPECT_EQ(ReplayCollector::log,
              (std::vector<std::string>{"Begin", "Accept near", "Accept far", "Accept off", "End"}));
    // Replayed last to first; the blended one carries its alpha into its draw.
    std::vector<std::string> names = render->Names();
    std::vector<std::string> draws;
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == "DrawTriShape" || names[i] == "SetAlphaProperty")
            draws.push_back(names[i]);
    EXPECT_EQ(draws, (std::vector<std::string>{"DrawTriShape", "DrawTriShape", "SetAlphaProperty", "DrawTriShape"}));
    EXPECT_EQ(render->Named("SetAlphaProperty")[0].args[0], "1");
    EXPECT_EQ(camera->deferralFlag, 1);
    EXPECT_TRUE(MaskClear());
}

// A node whose mode turns deferral on collects its subtree even when the camera's flag is off.
TEST_F(DeferralTest, ANodeThatTurnsDeferralOnCollectsItsChildren) {
    SgSetDeferredCollectorFactory(MakeReplayCollector);
    camera->useDeferralPass = 1;
    camera->deferralFlag = 0;
    SgRef<SgNode> on(new SgNode);
    on->deferralMode = SgNode::kDeferralOn;
    on->InsertChild(MakeTriangle(10, 0, "a").Get(), false);
    on->InsertChild(MakeTriangle(20, 0, "b").Get(), false);
    SgRef<SgNode> root = RootWith({on.Get()});
    RenderRoot(root.Get());
    EXPECT_EQ(ReplayCollector::log, (std::vector<std::string>{"Begin", "Accept a", "Accept b", "End"}));
    EXPECT_EQ(render->Count("DrawTriShape"), 2u);
    EXPECT_EQ(camera->deferralFlag, 0);
}

// An entry draws with the flag and plane mask it was made with; the camera's own come back after,
// or they would leak into the culling of the next frame.
TEST_F(DeferralTest, DrawingAnEntryPutsTheCamerasFlagAndMaskBack) {
    SgRef<SgNode> root = RootWith({MakeTriangle(10).Get()});
    root->UpdateAllStates();
    SgAVObject* shape = root->ChildAt(0);
    camera->SetPlaneDisabled(2, true);
    camera->SetPlaneDisabled(70, true);
    camera->deferralFlag = 0;
    SgDeferredDrawEntry* entry = camera->MakeDeferredEntry(shape, root->ChildStateAt(0));
    ASSERT_NE(entry, nullptr);
    camera->SetPlaneDisabled(2, false);
    camera->SetPlaneDisabled(70, false);
    camera->SetPlaneDisabled(5, true);
    camera->deferralFlag = 1;
    render->Clear();
    camera->DrawDeferredEntry(entry);
    SgDeferredDrawEntry::Free(entry);
    EXPECT_EQ(render->Count("DrawTriShape"), 1u);
    const uint32_t* mask = camera->DisabledMask();
    EXPECT_EQ(mask[0], 1u << 5);
    EXPECT_EQ(mask[1] | mask[2] | mask[3], 0u);
    EXPECT_EQ(camera->deferralFlag, 1);
}

}  // namespace
