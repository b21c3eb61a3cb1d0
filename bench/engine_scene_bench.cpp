// The scene graph's hot paths: one frame over a grid of shapes (state update, culling, property
// and draw hand-over, with a renderer that only counts), welding a mesh, picking it, and loading
// the sample model.

#include <benchmark/benchmark.h>

#include <vector>

#include "engine/core/sg_camera.h"
#include "engine/core/sg_stream.h"
#include "engine/geometry/sg_tri_shape.h"
#include "tests/support/recording_render.h"
#include "tools/writers/sample_model.h"

namespace {

// Counts the draw calls a frame makes and logs nothing else of them.
class CountingRender : public RecordingRender {
public:
    void SetClipPlanes(const SgPlaneEq* const*, uint32_t, uint32_t, uint32_t) override {}
    void SetModelTransform(const SgVec3&, const SgMat3&, float) override {}
    int32_t DrawTriShape(uint16_t, uint16_t, const SgVec3*, const SgVec3*, const SgPlaneEq*, uint16_t, const SgVec3*,
                         const SgRgba*, const uint16_t*, const SgBoundSphere&, const SgVec3&) override {
        ++draws;
        return 0;
    }
    uint64_t draws = 0;
};

// side x side separate quads in the plane x = 0, each quad 4 vertices.
SgRef<SgTriShape> QuadGrid(int side) {
    std::vector<SgVec3> v;
    std::vector<uint16_t> indices;
    for (int y = 0; y < side; ++y) {
        for (int z = 0; z < side; ++z) {
            uint16_t base = static_cast<uint16_t>(v.size());
            v.push_back({0, float(y), float(z)});
            v.push_back({0, float(y), float(z + 1)});
            v.push_back({0, float(y + 1), float(z)});
            v.push_back({0, float(y + 1), float(z + 1)});
            for (uint16_t i : {0, 2, 1, 1, 2, 3})
                indices.push_back(static_cast<uint16_t>(base + i));
        }
    }
    return SgRef<SgTriShape>(new SgTriShape(static_cast<uint16_t>(v.size()), v.data(), nullptr,
                                            static_cast<uint16_t>(indices.size() / 3), indices.data(), nullptr,
                                            nullptr));
}

void BM_RenderFrame(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    SgRef<CountingRender> render(new CountingRender);
    SgRef<SgDisplay> display(new SgDisplay);
    display->SetRenderer(render.Get());
    SgRef<SgCamera> camera(new SgCamera);
    camera->frustum.farDistance = 500.0f;
    camera->SetDisplay(display.Get());
    camera->UpdateAllStates();
    SgRef<SgNode> root(new SgNode);
    SgRef<SgShadeProperty> shade(new SgShadeProperty);
    // Rows of small nodes, each with a few shapes; half the grid lies behind the camera.
    for (int row = 0; row < side; ++row) {
        SgRef<SgNode> node(new SgNode);
        node->localTranslation = {float(row * 4 - side * 2), 0, 0};
        node->AddRenderProperty(shade.Get());
        for (int k = 0; k < side; ++k) {
            SgRef<SgTriShape> shape = QuadGrid(2);
            shape->localTranslation = {0, float(k % 8), float(k / 8)};
            node->InsertChild(shape.Get(), false);
        }
        root->InsertChild(node.Get(), false);
    }
    camera->SetSceneRoot(root.Get());
    for (auto _ : state) {
        root->UpdateAllStates();
        render->Clear();
        camera->RenderFrame(0.0);
    }
    state.SetItemsProcessed(state.iterations() * side * side);
    state.counters["drawn"] = benchmark::Counter(double(render->draws) / double(state.iterations()));
}
BENCHMARK(BM_RenderFrame)->Arg(16)->Arg(48);

void BM_WeldVertices(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        SgRef<SgTriShape> grid = QuadGrid(64);
        state.ResumeTiming();
        grid->WeldVertices();
        benchmark::DoNotOptimize(grid->VertexCount());
    }
    state.SetItemsProcessed(state.iterations() * 64 * 64 * 4);
}
BENCHMARK(BM_WeldVertices)->Unit(benchmark::kMillisecond);

void BM_PickGrid(benchmark::State& state) {
    SgRef<SgTriShape> grid = QuadGrid(64);
    grid->UpdateAllStates();
    float y = 0.5f;
    for (auto _ : state) {
        SgPickRequest request;
        request.stopMode = request.firstOnly = 1;
        grid->CollectRayHits({-5, y, 31.5f}, {1, 0, 0}, request, nullptr);
        benchmark::DoNotOptimize(request.HitCount());
        y = y > 62 ? 0.5f : y + 1;
    }
    state.SetItemsProcessed(state.iterations() * 64 * 64 * 2);
}
BENCHMARK(BM_PickGrid);

void BM_LoadSampleModel(benchmark::State& state) {
    std::vector<uint8_t> bytes = SampleModelBytes();
    for (auto _ : state) {
        SgSceneStream stream;
        benchmark::DoNotOptimize(stream.Load(bytes.data(), bytes.size()));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_LoadSampleModel);

}  // namespace
