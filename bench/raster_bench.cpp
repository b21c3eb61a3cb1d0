// Single-threaded fill rate of the software 3D device at 800 x 600 into 5-6-5 with a 16-bit
// Z-buffer, in megapixels per second: (a) flat, z-tested triangles; (b) textured, Gouraud,
// perspective-correct, z-tested, fogged triangles; (c) the same alpha-blended; and a plain 16-bit
// fill of the same pixels for scale. Variants: bilinear filtering with mipmaps (the game's usual
// texture mode), small triangles, and the general pipeline; for the bilinear mode also 1/w varying
// strongly across each triangle, triangles of about 80 pixels, large triangles (the pixel loop
// alone) and the set-up time per triangle. Last, a seeded stream of 20,000 small triangles of about
// 78 pixels each in random orientations and places, the shape of most of what the arena draws.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "platform/ddraw/control.h"
#include "platform/ddraw/d3d.h"
#include "tests/support/ddraw_device.h"

namespace {

namespace dd = platform::dd;

constexpr int kWidth = 800;
constexpr int kHeight = 600;

enum Mode { kFlat, kTextured, kBlended };

struct Bench {
    std::unique_ptr<ddtest::SoftDevice> soft;
    IDirect3DDevice3* device = nullptr;
    IDirectDrawSurface4* texture = nullptr;

    // An 800 x 600 5-6-5 target with a 16-bit Z-buffer, and a 256 x 256 texture of bricks with its
    // mip chain.
    bool Open() {
        dd::ResetDDraw();
        soft = ddtest::SoftDevice::Create({.width = kWidth, .height = kHeight});
        if (!soft)
            return false;
        device = soft->device;
        texture = soft->MakeTexture(
            256, 256, dd::FormatRgb565(),
            [](int x, int y, int) {
                return ((x ^ y) & 8) ? 0xFFB0B430u : 0xFF000000u | static_cast<uint32_t>((x * 31 + y * 7) * 0x010203);
            },
            9);
        return texture != nullptr;
    }

    void Close() {
        if (texture)
            texture->Release();
        soft.reset();
    }

    void Setup(Mode mode, bool bilinear) {
        auto rs = [&](D3DRENDERSTATETYPE s, DWORD v) { device->SetRenderState(s, v); };
        auto ts = [&](D3DTEXTURESTAGESTATETYPE s, DWORD v) { device->SetTextureStageState(0, s, v); };
        rs(D3DRENDERSTATE_ZENABLE, TRUE);
        rs(D3DRENDERSTATE_ZWRITEENABLE, TRUE);
        rs(D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL);
        rs(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
        rs(D3DRENDERSTATE_SHADEMODE, mode == kFlat ? D3DSHADE_FLAT : D3DSHADE_GOURAUD);
        rs(D3DRENDERSTATE_FOGENABLE, mode != kFlat);
        rs(D3DRENDERSTATE_FOGCOLOR, 0x00808890);
        rs(D3DRENDERSTATE_ALPHABLENDENABLE, mode == kBlended);
        rs(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
        rs(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
        soft->SetTexture(0, mode != kFlat ? texture : nullptr);
        ts(D3DTSS_COLOROP, mode == kFlat ? D3DTOP_SELECTARG2 : D3DTOP_MODULATE);
        ts(D3DTSS_COLORARG1, D3DTA_TEXTURE);
        ts(D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        ts(D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
        ts(D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        ts(D3DTSS_MAGFILTER, bilinear ? D3DTFG_LINEAR : D3DTFG_POINT);
        ts(D3DTSS_MINFILTER, bilinear ? D3DTFN_LINEAR : D3DTFN_POINT);
        ts(D3DTSS_MIPFILTER, bilinear ? D3DTFP_POINT : D3DTFP_NONE);
    }
};

// A grid of quads over the whole target, with depth, 1/w, colour, fog and texture coordinates
// varying across it (a floor seen at an angle), cells of `cell` pixels.
void MakeGrid(int cell, bool blended, std::vector<D3DTLVERTEX>* vertices, std::vector<WORD>* indices) {
    const int cols = kWidth / cell, rows = kHeight / cell;
    vertices->clear();
    for (int j = 0; j <= rows; ++j) {
        for (int i = 0; i <= cols; ++i) {
            const float x = static_cast<float>(i * cell), y = static_cast<float>(j * cell);
            const float t = y / kHeight;
            const float rhw = 0.25f + 0.75f * t;
            D3DTLVERTEX v;
            v.sx = x;
            v.sy = y;
            v.sz = 0.9f - 0.5f * t;
            v.rhw = rhw;
            const uint32_t shade = 96 + static_cast<uint32_t>((i * 37 + j * 11) % 160);
            v.color = (blended ? 0x80000000u : 0xFF000000u) | (shade << 16) | ((255 - shade) << 8) | 200;
            v.specular = static_cast<uint32_t>(60 + 195 * t) << 24;
            v.tu = static_cast<float>(i) * 0.5f;
            v.tv = static_cast<float>(j) * 0.5f;
            vertices->push_back(v);
        }
    }
    indices->clear();
    for (int j = 0; j < rows; ++j) {
        for (int i = 0; i < cols; ++i) {
            const WORD a = static_cast<WORD>(j * (cols + 1) + i);
            const WORD b = static_cast<WORD>(a + 1), c = static_cast<WORD>(a + cols + 1), d = static_cast<WORD>(c + 1);
            indices->insert(indices->end(), {a, b, c, b, d, c});
        }
    }
}

// Variants of the grid: 1/w alternating by 10x between neighbouring columns, so it varies strongly
// across every triangle; or the whole grid squeezed between two pixel centres, so no triangle
// covers a pixel and only the per-triangle set-up is left.
enum class GridKind { kPlain, kSteepW, kEmpty };

void RunFill(benchmark::State& state, Mode mode, bool bilinear, int cell, bool general,
             GridKind kind = GridKind::kPlain) {
    Bench b;
    if (!b.Open()) {
        state.SkipWithError("device set-up failed");
        return;
    }
    dd::ForceGeneralRaster(general);
    b.Setup(mode, bilinear);
    std::vector<D3DTLVERTEX> vertices;
    std::vector<WORD> indices;
    MakeGrid(cell, mode == kBlended, &vertices, &indices);
    const int cols = kWidth / cell, rows = kHeight / cell;
    for (size_t k = 0; k < vertices.size(); ++k) {
        const int i = static_cast<int>(k % static_cast<size_t>(cols + 1)), j = static_cast<int>(k / (cols + 1));
        if (kind == GridKind::kSteepW && i % 2)
            vertices[k].rhw *= 0.1f;
        if (kind == GridKind::kEmpty) {
            // All within 0.6 .. 0.9 of the first pixel: between its centre and the next.
            vertices[k].sx = 0.6f + 0.3f * static_cast<float>(i) / static_cast<float>(cols);
            vertices[k].sy = 0.6f + 0.3f * static_cast<float>(j) / static_cast<float>(rows);
        }
    }
    const double triangles = static_cast<double>(indices.size() / 3);
    b.soft->Clear(0, 1.0f);
    b.device->BeginScene();
    bool specialised = false;
    for (auto _ : state) {
        b.device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, vertices.data(),
                                       static_cast<DWORD>(vertices.size()), indices.data(),
                                       static_cast<DWORD>(indices.size()), 0);
        specialised = dd::LastDrawSpecialised();
    }
    b.device->EndScene();
    const double pixels = kind == GridKind::kEmpty ? 0.0 : static_cast<double>(cols * cell) * (rows * cell);
    state.counters["Mpixels/s"] =
        benchmark::Counter(pixels * static_cast<double>(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
    state.counters["ns/triangle"] = benchmark::Counter(triangles * static_cast<double>(state.iterations()) * 1e-9,
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetLabel(specialised ? "specialised spans" : "general pipeline");
    dd::ForceGeneralRaster(false);
    b.Close();
}

void BM_PlainFill16(benchmark::State& state) {
    std::vector<uint16_t> screen(static_cast<size_t>(kWidth) * kHeight);
    uint16_t value = 0;
    for (auto _ : state) {
        std::fill(screen.begin(), screen.end(), ++value);
        benchmark::DoNotOptimize(screen.data());
        benchmark::ClobberMemory();
    }
    state.counters["Mpixels/s"] = benchmark::Counter(
        static_cast<double>(kWidth) * kHeight * static_cast<double>(state.iterations()) / 1e6,
        benchmark::Counter::kIsRate);
}

void BM_FlatZTested(benchmark::State& s) { RunFill(s, kFlat, false, 40, false); }
void BM_TexturedGouraudPerspectiveZFog(benchmark::State& s) { RunFill(s, kTextured, false, 40, false); }
void BM_TexturedGouraudPerspectiveZFogBlended(benchmark::State& s) { RunFill(s, kBlended, false, 40, false); }
void BM_TexturedBilinearMipmapped(benchmark::State& s) { RunFill(s, kTextured, true, 40, false); }
void BM_TexturedSmallTriangles(benchmark::State& s) { RunFill(s, kTextured, false, 8, false); }
void BM_TexturedGeneralPipeline(benchmark::State& s) { RunFill(s, kTextured, false, 40, true); }
void BM_TexturedLargeTriangles(benchmark::State& s) { RunFill(s, kTextured, false, 200, false); }
void BM_TexturedBilinearMipmappedSteepW(benchmark::State& s) {
    RunFill(s, kTextured, true, 40, false, GridKind::kSteepW);
}
// Cells of 13 pixels: triangles of about 80 pixels.
void BM_TexturedBilinearMipmapped80px(benchmark::State& s) { RunFill(s, kTextured, true, 13, false); }
// Cells of 200 pixels: long spans, so the per-span set-up hardly counts.
void BM_TexturedBilinearMipmappedLarge(benchmark::State& s) { RunFill(s, kTextured, true, 200, false); }
void BM_TexturedBilinearMipmappedSetup(benchmark::State& s) {
    RunFill(s, kTextured, true, 13, false, GridKind::kEmpty);
}

// A seeded stream of small triangles: each of `area` pixels, its corners at irregular angles round
// a random centre, turned at random; perspective-textured at about a texel to a pixel (a random
// turn and scale of the texture, so spans sample mip levels 0 and 1), 1/w varying across each
// triangle, colours and fog random. Drawn back to front with depths falling along the stream (by
// more than their slopes across a triangle), so nearly every pixel passes its depth test.
std::vector<D3DTLVERTEX> SmallTriangleStream(int count, float area, uint32_t seed) {
    std::mt19937 rng(seed);
    auto uniform = [&rng](float lo, float hi) { return lo + (hi - lo) * static_cast<float>(rng() >> 8) * 0x1p-24f; };
    constexpr float kTurn = 6.2831853f;
    std::vector<D3DTLVERTEX> out;
    out.reserve(static_cast<size_t>(count) * 3);
    for (int i = 0; i < count; ++i) {
        const float cx = uniform(16, kWidth - 16), cy = uniform(16, kHeight - 16);
        const float a0 = uniform(0, kTurn);
        float px[3], py[3];
        for (int k = 0; k < 3; ++k) {
            const float a = a0 + static_cast<float>(k) * kTurn / 3 + uniform(-0.5f, 0.5f);
            const float r = uniform(0.6f, 1.4f);
            px[k] = std::cos(a) * r;
            py[k] = std::sin(a) * r;
        }
        const float shape = 0.5f * std::fabs((px[1] - px[0]) * (py[2] - py[0]) - (px[2] - px[0]) * (py[1] - py[0]));
        const float size = std::sqrt(area / shape);
        const float w0 = uniform(1.5f, 12.0f);
        const float z = 0.95f - 0.9f * static_cast<float>(i) / static_cast<float>(count);
        const float turn = uniform(0, kTurn), texels = uniform(0.7f, 2.5f) / 256.0f;
        const float u0 = uniform(0, 4), v0 = uniform(0, 4);
        const uint32_t fog = static_cast<uint32_t>(uniform(60, 255));
        for (int k = 0; k < 3; ++k) {
            const float x = px[k] * size, y = py[k] * size;
            D3DTLVERTEX v;
            v.sx = cx + x;
            v.sy = cy + y;
            v.sz = z + uniform(-1e-5f, 1e-5f);
            v.rhw = 1.0f / (w0 * uniform(0.8f, 1.25f));
            v.color = 0xFF000000u | (rng() & 0x7F7F7Fu) | 0x808080u;
            v.specular = fog << 24;
            v.tu = u0 + (x * std::cos(turn) + y * std::sin(turn)) * texels;
            v.tv = v0 + (y * std::cos(turn) - x * std::sin(turn)) * texels;
            out.push_back(v);
        }
    }
    return out;
}

void BM_SmallTriangleStream(benchmark::State& state) {
    Bench b;
    if (!b.Open()) {
        state.SkipWithError("device set-up failed");
        return;
    }
    b.Setup(kTextured, true);
    constexpr int kTriangles = 20000;
    std::vector<D3DTLVERTEX> vertices = SmallTriangleStream(kTriangles, 78.0f, 40);
    uint64_t pixels = 0;
    bool specialised = false;
    for (auto _ : state) {
        state.PauseTiming();
        b.soft->Clear(0, 1.0f);
        dd::ResetPixelsWritten();
        state.ResumeTiming();
        b.device->BeginScene();
        b.device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, vertices.data(),
                                static_cast<DWORD>(vertices.size()), 0);
        b.device->EndScene();
        pixels += dd::PixelsWritten();
        specialised = dd::LastDrawSpecialised();
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["Mpixels/s"] = benchmark::Counter(static_cast<double>(pixels) / 1e6, benchmark::Counter::kIsRate);
    state.counters["ns/triangle"] = benchmark::Counter(kTriangles * iterations * 1e-9,
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["px/triangle"] = static_cast<double>(pixels) / (kTriangles * iterations);
    state.SetLabel(specialised ? "specialised spans" : "general pipeline");
    b.Close();
}

}  // namespace

BENCHMARK(BM_PlainFill16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlatZTested)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TexturedGouraudPerspectiveZFog)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TexturedGouraudPerspectiveZFogBlended)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TexturedBilinearMipmapped)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TexturedSmallTriangles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TexturedGeneralPipeline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TexturedLargeTriangles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TexturedBilinearMipmappedSteepW)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TexturedBilinearMipmapped80px)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TexturedBilinearMipmappedLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TexturedBilinearMipmappedSetup)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmallTriangleStream)->Unit(benchmark::kMillisecond);
