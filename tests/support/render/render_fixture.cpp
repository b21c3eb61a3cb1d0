#include "tests/support/render/render_fixture.h"

#include "platform/ddraw/control.h"

#include "engine/core/sg_debug_output.h"
#include "engine/render/sg_dd_environment.h"
#include "engine/render/sg_dd_image.h"

namespace {

std::vector<std::string>* g_messages = nullptr;

void Capture(const char* text) {
    if (g_messages && std::string(text) != "\n")
        g_messages->push_back(text);
}

}  // namespace

void RenderTest::SetUp() {
    DDrawTest::SetUp();
    g_messages = &messages;
    SgSetDebugOutputSink(Capture);
    window = ddtest::MakeGameWindow(800, 600);
    SgSetRenderWindow(window);
}

void RenderTest::TearDown() {
    renders.clear();
    SgD3DRender::ReleaseCurrent();
    ReleaseDDEnvironment();
    SgDDImage::SetGlobalPalette(nullptr);
    SgDDImage::SetDirectDraw(nullptr);
    SetRecommendedOffscreenMode(0);
    SgSetRenderWindow(nullptr);
    SgSetDebugOutputSink(nullptr);
    g_messages = nullptr;
    DDrawTest::TearDown();
}

SgRenderCreateParams RenderTest::Params(uint32_t mode, uint32_t flags) const {
    SgRenderCreateParams p;
    p.window = window;
    p.flags = flags;
    p.mode = mode;
    if (mode == 1) {
        p.width = 800;
        p.height = 600;
    }
    return p;
}

SgRef<SgD3DRender> RenderTest::Open(const SgRenderCreateParams& params) {
    SgRef<SgD3DRender> r = SgD3DRender::Create(params);
    if (r)
        renders.push_back(r);
    return r;
}

bool RenderTest::Said(const std::string& text) const { return IndexOf(text) >= 0; }

int RenderTest::IndexOf(const std::string& text) const {
    for (size_t i = 0; i < messages.size(); ++i)
        if (messages[i] == text)
            return static_cast<int>(i);
    return -1;
}

void RenderTest::DetachView(SgRef<SgCamera>& camera, SgRef<SgDisplay>& display) {
    if (camera) {
        camera->SetSceneRoot(nullptr);
        camera->SetDisplay(nullptr);
    }
    if (display)
        display->SetRenderer(nullptr);
    camera = nullptr;
    display = nullptr;
}

void RenderTest::EditProfile(const std::function<void(platform::dd::CapsProfile&)>& edit) {
    platform::dd::CapsProfile p = platform::dd::GetCapsProfile();
    edit(p);
    platform::dd::SetCapsProfile(p);
}

void RenderFrameTest::TearDown() {
    r = nullptr;
    RenderTest::TearDown();
}

bool RenderFrameTest::Start(uint32_t flags) {
    r = Open(Params(0, flags));
    if (!r)
        return false;
    PlaceCamera();
    if (r->BeginFrame() != 0)
        return false;
    platform::dd::StartTrace();
    return true;
}

void RenderFrameTest::PlaceCamera() {
    SgFrustum frustum;
    frustum.farDistance = kFar;
    r->SetCamera({0, 0, 0}, SgMat3{}, {0, 0, 1}, {0, 1, 0}, {1, 0, 0}, frustum, SgViewRect{});
}

RenderFrameTest::Screen RenderFrameTest::Project(const SgVec3& p) {
    // Half sizes (800 - 0.5) / 2 and (600 - 0.5) / 2, centre (400, 300); depth 0.95 f (w - 1) / ((f - 1) w).
    const double w = -p.z;
    const double rhw = 1.0 / w;
    return {static_cast<float>(399.75 * p.x * rhw + 400.0), static_cast<float>(-299.75 * p.y * rhw + 300.0),
            static_cast<float>(0.95 * kFar * (w - 1.0) / ((kFar - 1.0) * w)), static_cast<float>(rhw)};
}

ddtest::Image RenderFrameTest::Frame(SgD3DRender* render) { return ddtest::Capture(render->Driver()->buffers->back); }

std::vector<const platform::dd::TraceEvent*> RenderFrameTest::Draws() const {
    std::vector<const platform::dd::TraceEvent*> out;
    for (const platform::dd::TraceEvent& e : platform::dd::Trace())
        if (e.kind == platform::dd::TraceKind::Draw)
            out.push_back(&e);
    return out;
}

std::vector<platform::dd::TracedVertex> RenderFrameTest::Vertices(const platform::dd::TraceEvent& draw) const {
    std::vector<platform::dd::TracedVertex> out;
    for (size_t i = 0; i < draw.vertices.size() / draw.vertexSize; ++i)
        out.push_back(platform::dd::DecodeTracedVertex(draw, i));
    return out;
}

std::vector<DWORD> RenderFrameTest::RenderStates(DWORD state) const {
    std::vector<DWORD> out;
    for (const platform::dd::TraceEvent& e : platform::dd::Trace())
        if (e.kind == platform::dd::TraceKind::RenderState && e.a == state)
            out.push_back(e.b);
    return out;
}
