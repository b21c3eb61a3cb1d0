// The whole flow: the sample model from the installation, loaded by the scene stream and drawn
// through a camera and a display into the renderer, headless.

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "engine/core/sg_camera.h"
#include "engine/core/sg_display.h"
#include "engine/core/sg_node.h"
#include "engine/core/sg_stream.h"
#include "engine/render/sg_dd_environment.h"
#include "tests/support/render/render_fixture.h"
#include "tools/writers/sample_model.h"

namespace {

class RenderSceneTest : public RenderTest {
protected:
    void TearDown() override {
        DetachView(camera, display);
        model = nullptr;
        render = nullptr;
        RenderTest::TearDown();
    }

    // A 320 x 240 windowed renderer; the sample model ten units in front of the camera.
    void Build() {
        SgSetRenderWindow(ddtest::MakeGameWindow(320, 240));
        render = Open(Params(0, 11));
        ASSERT_TRUE(render);
        SgSceneStream stream;
        const std::string path = std::string(SAMPLE_INSTALL_DIR) + "/" + kSampleModelFile;
        ASSERT_TRUE(stream.LoadFromFile(path.c_str())) << SgSceneStream::ErrorMessage();
        model = SgKindCast<SgNode>(stream.TopLevelObject(0));
        ASSERT_TRUE(model);
        model->localTranslation = {10, 0, 0};
        display = new SgDisplay;
        display->SetRenderer(render.Get());
        camera = new SgCamera;
        camera->frustum = {-0.25f, 0.25f, 0.1875f, -0.1875f, 1, 100};
        // The sample's faces look along +x: the camera looks back at them from there.
        camera->localTranslation = {20, 0, 0};
        camera->localRotation = SgMat3::Rotation(4, 3.14159265358979);
        camera->SetDisplay(display.Get());
        camera->SetSceneRoot(model.Get());
        camera->UpdateAllStates();
        model->UpdateAllStates();
        render->SetBackgroundColor({0.1f, 0.2f, 0.3f});
    }

    SgRef<SgD3DRender> render;
    SgRef<SgNode> model;
    SgRef<SgDisplay> display;
    SgRef<SgCamera> camera;
};

TEST_F(RenderSceneTest, TheSampleModelMatchesItsGoldenImage) {
    Build();
    ASSERT_FALSE(HasFatalFailure());
    // The device's reference pixel path, so the picture does not hang on its choice of span loop.
    platform::dd::ForceGeneralRaster(true);
    camera->PassViewToRenderer(SgRender::kClearFrame | SgRender::kClearDepth);
    camera->RenderFrame(0.5);
    ddtest::Image image = ddtest::Capture(render->Driver()->buffers->back);
    camera->FinishView();
    std::string message;
    EXPECT_TRUE(ddtest::MatchesGolden(RENDER_GOLDEN_DIR, "sample_model", image, 4, 20, &message)) << message;
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
