// The whole flow: the sample and effects models and the benchmark's arena from the installation,
// loaded by the scene stream and drawn through a camera and a display into the renderer, headless.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "engine/animation/sg_3ds_animators.h"
#include "engine/animation/sg_animation_timing.h"
#include "engine/core/sg_camera.h"
#include "engine/core/sg_display.h"
#include "engine/core/sg_image.h"
#include "engine/core/sg_node.h"
#include "engine/core/sg_stream.h"
#include "engine/render/sg_dd_environment.h"
#include "tests/support/render/render_fixture.h"
#include "tools/writers/arena_scene.h"
#include "tools/writers/effects_model.h"
#include "tools/writers/sample_model.h"

namespace {

class RenderSceneTest : public RenderTest {
protected:
    void TearDown() override {
        DetachView(camera, display);
        model = nullptr;
        stream = nullptr;
        // A loaded material and its animators hold each other until retired.
        Sg3dsPropertyAnimator::DeleteAll();
        render = nullptr;
        SgImage::SetMipmapSwitch(false);
        RenderTest::TearDown();
    }

    // A 320 x 240 windowed renderer and the installation's model file (its first top-level
    // object), hung under `root` when one is given, drawn by a camera whose frustum spans 0.5 by
    // 0.375 at a near distance of 1.
    void Load(const char* file, SgNode* root = nullptr) {
        SgSetRenderWindow(ddtest::MakeGameWindow(320, 240));
        render = Open(Params(0, 11));
        ASSERT_TRUE(render);
        const std::string path = std::string(SAMPLE_INSTALL_DIR) + "/" + file;
        stream = std::make_unique<SgSceneStream>();
        ASSERT_TRUE(stream->LoadFromFile(path.c_str())) << SgSceneStream::ErrorMessage();
        model = SgKindCast<SgNode>(stream->TopLevelObject(0));
        ASSERT_TRUE(model);
        if (root)
            root->InsertChild(model.Get(), false);
        display = new SgDisplay;
        display->SetRenderer(render.Get());
        camera = new SgCamera;
        camera->frustum = {-0.25f, 0.25f, 0.1875f, -0.1875f, 1, 100};
        camera->SetDisplay(display.Get());
        camera->SetSceneRoot(root ? root : model.Get());
    }

    // The sample model ten units in front of the camera.
    void Build() {
        Load(kSampleModelFile);
        ASSERT_FALSE(HasFatalFailure());
        model->localTranslation = {10, 0, 0};
        // The sample's faces look along +x: the camera looks back at them from there.
        camera->localTranslation = {20, 0, 0};
        camera->localRotation = SgMat3::Rotation(4, 3.14159265358979);
        camera->UpdateAllStates();
        model->UpdateAllStates();
        render->SetBackgroundColor({0.1f, 0.2f, 0.3f});
    }

    // The benchmark's arena from the game's first eye, its world textures mipmapped as the game
    // loads them.
    void ShowArena() {
        SgImage::SetMipmapSwitch(true);
        Load(kArenaSceneFile);
        ASSERT_FALSE(HasFatalFailure());
        camera->frustum = {-0.1f, 0.1f, 0.075f, -0.075f, 0.1f, 64};
        camera->useDeferralPass = 1;
        camera->localTranslation = kArenaEye;
        camera->localRotation = SgMat3::Rotation(4, 1.5707963);
        camera->UpdateAllStates();
        model->UpdateAllStates();
        render->SetBackgroundColor({0.08f, 0.08f, 0.12f});
    }

    ddtest::Image DrawFrame(double time) {
        camera->PassViewToRenderer(SgRender::kClearFrame | SgRender::kClearDepth);
        camera->RenderFrame(time);
        ddtest::Image image = ddtest::Capture(render->Driver()->buffers->back);
        camera->FinishView();
        return image;
    }

    SgRef<SgD3DRender> render;
    // Holds every loaded object until the renderer goes.
    std::unique_ptr<SgSceneStream> stream;
    SgRef<SgNode> model;
    SgRef<SgDisplay> display;
    SgRef<SgCamera> camera;
};

TEST_F(RenderSceneTest, TheSampleModelMatchesItsGoldenImage) {
    Build();
    ASSERT_FALSE(HasFatalFailure());
    // The device's reference pixel path, so the picture does not hang on its choice of span loop.
    platform::dd::ForceGeneralRaster(true);
    const ddtest::Image image = DrawFrame(0.5);
    std::string message;
    EXPECT_TRUE(ddtest::MatchesGolden(RENDER_GOLDEN_DIR, "sample_model", image, 4, 20, &message)) << message;
}

// The effects sample stood up (its z up the screen) eight units in front of the camera, which
// looks along +x and a little down, played on the application clock: the spray's particles are
// soft spots in their own colours, not lit squares.
TEST_F(RenderSceneTest, TheEffectsSprayMatchesItsGoldenImage) {
    SgRef<SgNode> holder(new SgNode);
    holder->localRotation = SgMat3::Rotation(3, 1.5707963267948966);
    Load(kEffectsModelFile, holder.Get());
    ASSERT_FALSE(HasFatalFailure());
    camera->localTranslation = {-8, 2.4f, 0};
    camera->localRotation = SgMat3::Rotation(5, 0.12);
    camera->UpdateAllStates();
    render->SetBackgroundColor({0.1f, 0.1f, 0.15f});
    std::vector<SgAnimationTiming*> clocked;
    for (size_t i = 0; i < stream->LoadedCount(); ++i)
        if (auto* timing = dynamic_cast<SgAnimationTiming*>(stream->LoadedObject(i)))
            clocked.push_back(timing);
    // Six steps after the restart: the burst's children risen in orange, the shards flying with
    // their white glints.
    for (int step = 1; step <= 6; ++step) {
        for (SgAnimationTiming* timing : clocked)
            timing->UpdateAppTime(0.25f * static_cast<float>(step));
        holder->UpdateAllStates();
    }
    platform::dd::ForceGeneralRaster(true);
    const ddtest::Image image = DrawFrame(1.5);
    std::string message;
    EXPECT_TRUE(ddtest::MatchesGolden(RENDER_GOLDEN_DIR, "effects_spray", image, 4, 20, &message)) << message;
}

// The benchmark's arena as the game's eye first sees it, its world textures mipmapped as the game
// loads them: hall and pillars in vertex-colour mode 6 (material, an ambient, a sun and two
// attenuated lamps, plus the vertex colours), range fog and the glows.
TEST_F(RenderSceneTest, TheArenaInColourModeSixMatchesItsGoldenImage) {
    ShowArena();
    ASSERT_FALSE(HasFatalFailure());
    platform::dd::ForceGeneralRaster(true);
    const ddtest::Image image = DrawFrame(0);
    std::string message;
    EXPECT_TRUE(ddtest::MatchesGolden(RENDER_GOLDEN_DIR, "arena_scene", image, 4, 20, &message)) << message;
}

// The same arena through the specialised span loops the game draws with (a 5-6-5 target, stage 0
// alone, vertex fog, the plain and additive blends): its own golden, within 6 of 255 per channel
// and 60 pixels, for the loops round and step their values their own way.
TEST_F(RenderSceneTest, TheArenaThroughTheSpanLoopsMatchesItsGoldenImage) {
    ShowArena();
    ASSERT_FALSE(HasFatalFailure());
    platform::dd::ForceGeneralRaster(false);
    const platform::dd::RasterDrawCounts before = platform::dd::RasterDraws();
    const ddtest::Image image = DrawFrame(0);
    const platform::dd::RasterDrawCounts after = platform::dd::RasterDraws();
    const uint64_t draws = after.all - before.all, fast = after.specialised - before.specialised;
    EXPECT_GT(draws, 0u);
    EXPECT_GE(4 * fast, 3 * draws) << fast << " of " << draws << " draws through a span loop";
    std::string message;
    EXPECT_TRUE(ddtest::MatchesGolden(RENDER_GOLDEN_DIR, "arena_scene_spans", image, 6, 60, &message)) << message;
}

TEST_F(RenderSceneTest, TheSampleModelSendsItsStatesOnceAndInOrder) {
    Build();
    ASSERT_FALSE(HasFatalFailure());
    camera->PassViewToRenderer(SgRender::kClearFrame | SgRender::kClearDepth);
    platform::dd::StartTrace();
    camera->RenderFrame(0.5);
    std::vector<std::string> seen;
    int draws = 0;
    for (const platform::dd::TraceEvent& e : platform::dd::Trace()) {
        using platform::dd::TraceKind;
        if (e.kind == TraceKind::RenderState)
            seen.push_back("R" + std::to_string(e.a) + "=" + std::to_string(e.b));
        else if (e.kind == TraceKind::LightState)
            seen.push_back("L" + std::to_string(e.a) + "=" + std::to_string(e.b));
        else if (e.kind == TraceKind::StageState)
            seen.push_back("S" + std::to_string(e.a) + "." + std::to_string(e.b) + "=" + std::to_string(e.c));
        else if (e.kind == TraceKind::Draw)
            seen.push_back("draw" + std::to_string(++draws));
        else if (e.kind == TraceKind::BeginScene)
            seen.push_back("begin");
        else if (e.kind == TraceKind::EndScene)
            seen.push_back("end");
    }
    // The fog colour (0.25, 0.25, 0.5); flat shading, blending, z test and write; range fog from
    // 100 - 99 x 0.5 to 100 as vertex fog (the device has no table fog); the texture modulated by
    // the vertex colour and alpha; then nothing more changes across the five draws.
    const std::vector<std::string> expected = {
        "begin",
        "R34=4145023",
        "R9=1",
        "R27=1",
        "R23=4",
        "R14=1",
        "L5=" + std::to_string(D3DValueBits(50.5f)),
        "L6=" + std::to_string(D3DValueBits(100.0f)),
        "R28=1",
        "R48=0",
        "R35=0",
        "L4=3",
        "S0.1=4",
        "S0.4=4",
        "draw1",
        "draw2",
        "draw3",
        "draw4",
        "draw5",
        "end",
    };
    EXPECT_EQ(seen, expected);
}

}  // namespace
