// One core, the whole renderer: the arena of the sample installation drawn by the game's
// first-person camera at 800 x 600 into 5-6-5 with a 16-bit Z-buffer (untextured), as a full
// frame (clear, scene, present), the same frame with the device's rasterising off (the renderer's
// share; the device's is the difference), and the transform-and-lighting rate of one
// 4,096-vertex shape lit in colour mode 6 by four lights under range fog, unclipped and clipped.

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "engine/core/sg_camera.h"
#include "engine/core/sg_display.h"
#include "engine/core/sg_geometry.h"
#include "engine/core/sg_light.h"
#include "engine/core/sg_property.h"
#include "engine/render/sg_d3d_render.h"
#include "engine/render/sg_dd_environment.h"
#include "engine/render/sg_dd_image.h"
#include "platform/ddraw/control.h"
#include "platform/win/platform.h"
#include "tests/support/ddraw_device.h"
#include "tools/writers/arena_scene.h"

namespace {

namespace dd = platform::dd;

struct Rig {
    SgRef<SgD3DRender> render;
    SgRef<SgNode> arena;
    SgRef<SgDisplay> display;
    SgRef<SgCamera> camera;

    bool Open() {
        platform::ResetWindowing();
        platform::InitWindowing(platform::Backend::Headless);
        dd::ResetDDraw();
        SgSetRenderWindow(ddtest::MakeGameWindow(800, 600));
        SgRenderCreateParams p;
        p.window = SgRenderWindow();
        p.flags = 11;
        render = SgD3DRender::Create(p);
        if (!render)
            return false;
        arena = BuildArenaScene();
        display = new SgDisplay;
        display->SetRenderer(render.Get());
        camera = new SgCamera;
        // The game's first-person camera: window 0.2 x 0.15 at near 0.1, far 64, deferral pass.
        camera->frustum = {-0.1f, 0.1f, 0.075f, -0.075f, 0.1f, 64};
        camera->useDeferralPass = 1;
        camera->localTranslation = kArenaEye;
        camera->localRotation = SgMat3::Rotation(4, 1.5707963);
        camera->SetDisplay(display.Get());
        camera->SetSceneRoot(arena.Get());
        camera->UpdateAllStates();
        render->SetBackgroundColor({0.08f, 0.08f, 0.12f});
        return true;
    }

    void Frame() {
        camera->PassViewToRenderer(SgRender::kClearFrame | SgRender::kClearDepth);
        camera->RenderFrame(0.0);
        camera->FinishView();
    }

    void Close() {
        if (camera) {
            camera->SetSceneRoot(nullptr);
            camera->SetDisplay(nullptr);
        }
        if (display)
            display->SetRenderer(nullptr);
        camera = nullptr;
        display = nullptr;
        arena = nullptr;
        render = nullptr;
        SgD3DRender::ReleaseCurrent();
        ReleaseDDEnvironment();
        SgDDImage::SetGlobalPalette(nullptr);
        SgDDImage::SetDirectDraw(nullptr);
        dd::SetRasterizing(true);
        platform::ResetWindowing();
    }
};

void ArenaFrame(benchmark::State& state, bool rasterize) {
    Rig rig;
    if (!rig.Open()) {
        state.SkipWithError("no renderer");
        return;
    }
    dd::SetRasterizing(rasterize);
    rig.Frame();  // warm: every pool and cache filled
    dd::ResetPixelsWritten();
    SgGeometry::ResetRenderCounts();
    for (auto _ : state)
        rig.Frame();
    uint32_t objects = 0, triangles = 0, vertices = 0;
    SgGeometry::GetRenderCounts(objects, triangles, vertices);
    const double frames = static_cast<double>(state.iterations());
    state.counters["frames/s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
    state.counters["shapes"] = objects / frames;
    state.counters["triangles"] = triangles / frames;
    state.counters["pixels"] = static_cast<double>(dd::PixelsWritten()) / frames;
    rig.Close();
}

void BM_ArenaFrame(benchmark::State& state) { ArenaFrame(state, true); }
void BM_ArenaFrameRendererOnly(benchmark::State& state) { ArenaFrame(state, false); }

// A 64 x 64 grid of 4,096 vertices (7,938 triangles) facing the camera, in front of it at
// depth 10; clipped, it straddles four planes through the view.
void TransformAndLight(benchmark::State& state, bool clipped) {
    Rig rig;
    if (!rig.Open()) {
        state.SkipWithError("no renderer");
        return;
    }
    dd::SetRasterizing(false);
    SgD3DRender* r = rig.render.Get();
    constexpr int kSide = 64;
    std::vector<SgVec3> v, n;
    std::vector<SgRgba> c;
    std::vector<uint16_t> idx;
    for (int j = 0; j < kSide; ++j)
        for (int i = 0; i < kSide; ++i) {
            v.push_back({(i - 31.5f) * 0.2f, (j - 31.5f) * 0.15f, -10});
            n.push_back({0, 0.2f, 0.98f});
            c.push_back({0.2f, 0.25f, 0.3f, 1});
        }
    for (int j = 0; j + 1 < kSide; ++j)
        for (int i = 0; i + 1 < kSide; ++i) {
            const auto a = static_cast<uint16_t>(j * kSide + i);
            idx.insert(idx.end(), {a, static_cast<uint16_t>(a + 1), static_cast<uint16_t>(a + kSide + 1), a,
                                   static_cast<uint16_t>(a + kSide + 1), static_cast<uint16_t>(a + kSide)});
        }
    SgFrustum f;
    f.farDistance = 64;
    r->SetCamera({0, 0, 0}, SgMat3{}, {0, 0, 1}, {0, 1, 0}, {1, 0, 0}, f, SgViewRect{});
    SgRef<SgMaterialProperty> m(new SgMaterialProperty);
    m->ambient = {0.6f, 0.6f, 0.6f};
    m->diffuse = {0.9f, 0.9f, 0.9f};
    r->SetMaterial(m.Get());
    r->SetVertexColorProperty(6);
    r->SetFogProperty(1, 0.5f, 1, {0.1f, 0.1f, 0.1f});
    std::vector<SgRef<SgLight>> lights;
    for (uint32_t type : {SgLight::kAmbient, SgLight::kDirectional, SgLight::kPoint, SgLight::kPoint}) {
        SgRef<SgLight> l(new SgLight);
        l->SetType(type);
        l->worldDirection = {0.3f, -0.5f, -1};
        l->worldPosition = {type == SgLight::kPoint ? -3.0f : 3.0f, 2, -6};
        l->range = 20;
        r->UpdateLight(l.Get(), 1);
        lights.push_back(l);
    }
    const SgPlaneEq planes[4] = {{{1, 0, 0}, -4}, {{-1, 0, 0}, -4}, {{0, 1, 0}, -3}, {{0, -1, 0}, -3}};
    const SgPlaneEq* pointers[4] = {&planes[0], &planes[1], &planes[2], &planes[3]};
    SgBoundSphere bound;
    bound.radius = 10;
    bound.centre = {0, 0, -10};
    r->BeginFrame();
    for (auto _ : state) {
        if (clipped)
            r->SetClipPlanes(pointers, 4, 4, 15);
        r->DrawTriShape(static_cast<uint16_t>(idx.size() / 3), static_cast<uint16_t>(v.size()), v.data(), n.data(),
                        nullptr, 0, nullptr, c.data(), idx.data(), bound, SgVec3{});
    }
    r->EndFrame();
    for (SgRef<SgLight>& l : lights)
        r->RemoveLight(l.Get());
    state.counters["vertices/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * v.size(), benchmark::Counter::kIsRate);
    rig.Close();
}

void BM_TransformAndLight(benchmark::State& state) { TransformAndLight(state, false); }
void BM_TransformAndLightClipped(benchmark::State& state) { TransformAndLight(state, true); }

BENCHMARK(BM_ArenaFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArenaFrameRendererOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TransformAndLight)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TransformAndLightClipped)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
