#include "tests/support/render/render_fixture.h"

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
