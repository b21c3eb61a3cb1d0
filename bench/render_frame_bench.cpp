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
#include "engine/render/sg_texture_manager.h"
#include "tools/writers/arena_scene.h"
#include "tools/writers/world_textures.h"

namespace {

namespace dd = platform::dd;

// A square RGB image with mipmaps of soft stripes in one colour.
SgRef<SgImage> StripedImage(uint32_t side, uint32_t rgb) {
    SgRef<SgRawImageData> raw(new SgRawImageData);
    raw->ResizeRawImage(SgRawImageData::kRgb, side, side);
    for (uint32_t y = 0; y < side; ++y)
        for (uint32_t x = 0; x < side; ++x) {
            const float s = 0.6f + 0.4f * std::sin(static_cast<float>(x + 2 * y) * 0.3f);
            uint8_t* p = raw->Row(y) + 3 * x;
            p[0] = static_cast<uint8_t>((rgb >> 16 & 255) * s);
            p[1] = static_cast<uint8_t>((rgb >> 8 & 255) * s);
            p[2] = static_cast<uint8_t>((rgb & 255) * s);
        }
    return SgImage::CreateFromRawData(raw, 1, SgImage::kAnyFormat);
}

struct Rig {
    SgRef<SgD3DRender> render;
    SgRef<SgNode> arena;
    SgRef<SgDisplay> display;
    SgRef<SgCamera> camera;
    std::vector<SgRef<SgImage>> textures;

    // Eight textures of 64 to 256 pixels with mip chains, bilinear mipmapped, modulated.
    void Texture() {
        const uint32_t sides[8] = {64, 128, 256, 64, 128, 256, 128, 64};
        std::vector<SgImage*> images;
        for (uint32_t i = 0; i < 8; ++i) {
            textures.push_back(StripedImage(sides[i], 0x808080u + 0x102030u * i));
            images.push_back(textures.back().Get());
        }
        TextureScene(arena.Get(), images.data(), 8, 4.0f);
        arena->UpdateAllStates();
    }

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
        textures.clear();
        render = nullptr;
        SgD3DRender::ReleaseCurrent();
        ReleaseDDEnvironment();
        SgDDImage::SetGlobalPalette(nullptr);
        SgDDImage::SetDirectDraw(nullptr);
        dd::SetRasterizing(true);
        platform::ResetWindowing();
    }
};

void ArenaFrame(benchmark::State& state, bool rasterize, bool textured = false) {
    Rig rig;
    if (!rig.Open()) {
        state.SkipWithError("no renderer");
        return;
    }
    if (textured)
        rig.Texture();
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
void BM_TexturedArenaFrame(benchmark::State& state) { ArenaFrame(state, true, true); }
void BM_TexturedArenaFrameRendererOnly(benchmark::State& state) { ArenaFrame(state, false, true); }

// A resident texture bound again and again: the manager's lookup alone.
void BM_ResidentTextureBind(benchmark::State& state) {
    Rig rig;
    if (!rig.Open()) {
        state.SkipWithError("no renderer");
        return;
    }
    SgD3DTextureManager* m = rig.render->TextureManager();
    SgRef<SgImage> image = StripedImage(128, 0x806040);
    SgRef<SgImage> holder;
    IDirect3DTexture2* texture = nullptr;
    bool changed = false, mip = false, alpha = false;
    rig.render->BeginFrame();
    m->BindTexture(0, image.Get(), holder, &texture, &changed, &mip, &alpha);
    for (auto _ : state) {
        m->BindTexture(0, image.Get(), holder, &texture, &changed, &mip, &alpha);
        benchmark::DoNotOptimize(texture);
    }
    rig.render->EndFrame();
    holder = nullptr;
    image = nullptr;
    rig.Close();
}

// Five textures of different shapes taking turns in a texture memory that holds four: every
// bind, one frame each, evicts the least recently bound and uploads its own pixels.
void BM_EvictionCycle(benchmark::State& state) {
    dd::CapsProfile profile = dd::DefaultCapsProfile();
    profile.devCaps &= ~D3DDEVCAPS_TEXTURESYSTEMMEMORY;
    Rig rig;
    if (!rig.Open()) {
        state.SkipWithError("no renderer");
        return;
    }
    // The device opened with system-memory texturing; without it a full memory must make room.
    rig.render->Driver()->info &= ~SgD3DDriver::kInfoSystemTextures;
    SgD3DTextureManager* m = rig.render->TextureManager();
    std::vector<SgRef<SgImage>> images;
    for (uint32_t i = 0; i < 5; ++i)
        images.push_back(StripedImage(64, 0x204060u * (i + 1)));
    // Five keys: four formats with mipmaps and one without.
    const uint32_t kinds[5] = {1, 3, 4, 5, 1};
    for (uint32_t i = 0; i < 5; ++i) {
        images[i]->formatKind = kinds[i];
        if (i == 4)
            images[i]->flags = 0;
    }
    const uint64_t before = dd::VideoMemoryUsed();
    for (SgRef<SgImage>& image : images)
        rig.render->PrecacheTexture(image.Get(), 1, 0, 0);
    const uint64_t all = dd::VideoMemoryUsed() - before;
    rig.render->ReleaseAllTextures(1);
    profile.videoMemoryBytes = before + all - 64 * 64 * 2;
    dd::SetCapsProfile(profile);
    SgRef<SgImage> holder;
    IDirect3DTexture2* texture = nullptr;
    bool changed = false, mip = false, alpha = false;
    uint32_t next = 0, evicting = 0;
    for (auto _ : state) {
        rig.render->BeginFrame();
        m->BindTexture(0, images[next++ % 5].Get(), holder, &texture, &changed, &mip, &alpha);
        evicting += (m->status & SgTextureManager::kStatusEvicted) != 0;
        rig.render->EndFrame();
    }
    // The share of binds that evicted (1 once all five have been made).
    state.counters["evicting"] = static_cast<double>(evicting) / static_cast<double>(state.iterations());
    holder = nullptr;
    images.clear();
    rig.Close();
}

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
BENCHMARK(BM_TexturedArenaFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TexturedArenaFrameRendererOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResidentTextureBind);
BENCHMARK(BM_EvictionCycle)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TransformAndLight)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TransformAndLightClipped)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
