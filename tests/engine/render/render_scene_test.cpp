#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "engine/core/sg_camera.h"
#include "engine/core/sg_display.h"
#include "engine/core/sg_node.h"
#include "engine/core/sg_stream.h"
#include "engine/geometry/sg_tri_shape.h"
#include "tests/support/render/render_fixture.h"
#include "tools/writers/sample_model.h"

namespace {

class RenderSceneTest : public RenderTest {};

TEST_F(RenderSceneTest, SampleModelThroughTheCamera) {
    SgRef<SgD3DRender> r = Open(Params(0, 11));
    ASSERT_TRUE(r);
    SgSceneStream stream;
    const std::string path = std::string(SAMPLE_INSTALL_DIR) + "/" + kSampleModelFile;
    ASSERT_TRUE(stream.LoadFromFile(path.c_str())) << SgSceneStream::ErrorMessage();
    SgRef<SgNode> model(SgKindCast<SgNode>(stream.TopLevelObject(0)));
    ASSERT_TRUE(model);
    model->localTranslation = {10, 0, 0};
    SgRef<SgDisplay> display(new SgDisplay);
    display->SetRenderer(r.Get());
    SgRef<SgCamera> camera(new SgCamera);
    camera->frustum.farDistance = 100.0f;
    // The sample's faces look along +x: view them from there.
    camera->localTranslation = {20, 0, 0};
    camera->localRotation = SgMat3::Rotation(4, 3.14159265358979);
    camera->SetDisplay(display.Get());
    camera->SetSceneRoot(model.Get());
    camera->UpdateAllStates();
    model->UpdateAllStates();
    r->SetBackgroundColor({0.1f, 0.2f, 0.3f});
    camera->PassViewToRenderer(SgRender::kClearFrame | SgRender::kClearDepth);
    if (std::getenv("FORCE_GENERAL")) platform::dd::ForceGeneralRaster(true);
    platform::dd::StartTrace();
    camera->RenderFrame(0.5);
    for (const auto& e : platform::dd::Trace()) {
        if (e.kind == platform::dd::TraceKind::RenderState)
            printf("RS %u %u\n", e.a, e.b);
        if (e.kind == platform::dd::TraceKind::LightState)
            printf("LS %u %u\n", e.a, e.b);
        if (e.kind != platform::dd::TraceKind::Draw)
            continue;
        printf("draw prim %u fmt %x idx %zu\n", e.a, e.b, e.indices.size());
        for (size_t i = 0; i < e.vertices.size() / e.vertexSize && i < 8; ++i) {
            auto v = platform::dd::DecodeTracedVertex(e, i);
            printf("  %g %g %g %g %08x %08x\n", v.sx, v.sy, v.sz, v.rhw, v.diffuse, v.specular);
        }
    }
    ddtest::Image image = ddtest::Capture(r->Driver()->buffers->back);
    if (const char* out = std::getenv("RENDER_SCENE_PNG"))
        ddtest::WritePng(out, image);
    camera->FinishView();
    camera->SetSceneRoot(nullptr);
    camera->SetDisplay(nullptr);
    display->SetRenderer(nullptr);
}

}  // namespace
