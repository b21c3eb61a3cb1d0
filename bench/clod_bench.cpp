// Continuous level of detail: a 64 x 64-quad grid (8,192 triangles) swept from full detail to the
// base and back, and stepped up and down by one step, in level steps per second, beside its world
// transform at full detail; and the set-up of the mesh from its base and steps.

#include <benchmark/benchmark.h>

#include "engine/animation/sg_clod.h"
#include "tools/writers/clod_builder.h"

namespace {

const ClodBuilt& Grid() {
    static ClodBuilt built = [] {
        ClodBuilt b;
        BuildClod(GridMesh(64, 64, 4.0f), {}, b, nullptr);
        return b;
    }();
    return built;
}

void Sweep(benchmark::State& state, uint8_t keepPlanes) {
    SgRef<SgClod> clod = MakeClod(Grid());
    clod->keepPlanes = keepPlanes;
    SgWorldState* ws = clod->CurrentState();
    for (auto _ : state) {
        clod->SetTriangleCount(ws, 0);
        clod->SetTriangleCount(ws, 0xFFFF);
    }
    state.SetItemsProcessed(state.iterations() * 2 * clod->StepCount());
    state.counters["triangles"] = clod->FullTriangleCount();
    state.counters["steps"] = clod->StepCount();
}

void BM_ClodSweepKeepPlanes(benchmark::State& state) { Sweep(state, 1); }
void BM_ClodSweepNoPlanes(benchmark::State& state) { Sweep(state, 0); }

// One step finer and one coarser around half detail, as a slowly moving figure does.
void BM_ClodStepUpAndDown(benchmark::State& state) {
    SgRef<SgClod> clod = MakeClod(Grid());
    SgWorldState* ws = clod->CurrentState();
    clod->SetTriangleCount(ws, clod->FullTriangleCount() / 2);
    uint16_t c = clod->LevelOf(ws)->triangleCount;
    for (auto _ : state) {
        clod->SetTriangleCount(ws, static_cast<uint16_t>(c + 2));
        clod->SetTriangleCount(ws, c);
    }
    state.SetItemsProcessed(state.iterations() * 2);
}

// The reference: the world transform of every slot at full detail.
void BM_ClodTransformFull(benchmark::State& state) {
    SgRef<SgClod> clod = MakeClod(Grid());
    clod->ComputeVertexNormals();
    SgWorldState* ws = clod->CurrentState();
    clod->SetTriangleCount(ws, 0xFFFF);
    for (auto _ : state) {
        clod->TransformToWorld(ws);
        benchmark::DoNotOptimize(SgGeometry::GeometryState(ws)->worldVertices[7]);
    }
    state.SetItemsProcessed(state.iterations() * clod->SlotsInUse(*clod->LevelOf(ws)));
}

void BM_ClodSetUp(benchmark::State& state) {
    SgClodSource source = Grid().Source();
    for (auto _ : state) {
        SgRef<SgClod> clod(new SgClod);
        benchmark::DoNotOptimize(clod->SetMesh(source));
    }
}

BENCHMARK(BM_ClodSweepKeepPlanes);
BENCHMARK(BM_ClodSweepNoPlanes);
BENCHMARK(BM_ClodStepUpAndDown);
BENCHMARK(BM_ClodTransformFull);
BENCHMARK(BM_ClodSetUp)->Unit(benchmark::kMillisecond);

}  // namespace
