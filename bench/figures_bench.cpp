// Figures of the arena: building a player figure from its template (the whole skinned model
// cloned, its own tint properties, the bone table and the start animation's keys copied), as every
// player's and monster's activation does; and removing it again.

#include <benchmark/benchmark.h>

#include "client/present/figure_loader.h"
#include "client/present/figure_objects.h"
#include "client/present/figure_table.h"
#include "client/present/world_tables.h"
#include "tools/writers/player_figure.h"

namespace {

using namespace present;

// Templates 201 and its walk 211 as the loader leaves them, from the sample's writers.
void InstallPlayerTemplates() {
    static bool done = false;
    if (done)
        return;
    done = true;
    struct {
        int n;
        SgRef<SgNode> model;
        int frames;
    } made[2] = {{201, BuildPlayerFigure(1), 24}, {211, BuildPlayerAnimation(1, 0), PlayerAnimationFrames(0)}};
    for (auto& m : made) {
        SgRef<SgNode> holder(new SgNode);
        holder->InsertChild(m.model.Get(), false);
        holder->AssignName(m.n == 201 ? "figures/f1.sgf" : "figures/f1a00.sgf");
        Figures().templates[m.n] = holder;
        SetFigureModelAnimation(m.n, 0, m.frames, 30);
        SetFigureKind(holder.Get(), m.n, m.n == 201 ? kFigureSkinned : kFigurePlain);
    }
    SgAVObject::cloneNaming = 1;
    World().worldRoot = SgRef<SgNode>(new SgNode);
    World().sceneActive = 1;
}

void BM_BuildPlayerFigure(benchmark::State& state) {
    InstallPlayerTemplates();
    for (auto _ : state) {
        const int figure = BuildFigureFromTemplate(World().worldRoot.Get(), nullptr, 0, 0, 201, 0.01f, nullptr);
        benchmark::DoNotOptimize(figure);
        state.PauseTiming();
        RemoveObjectFigure(figure);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BuildPlayerFigure)->Unit(benchmark::kMicrosecond);

void BM_RemovePlayerFigure(benchmark::State& state) {
    InstallPlayerTemplates();
    for (auto _ : state) {
        state.PauseTiming();
        const int figure = BuildFigureFromTemplate(World().worldRoot.Get(), nullptr, 0, 0, 201, 0.01f, nullptr);
        state.ResumeTiming();
        benchmark::DoNotOptimize(RemoveObjectFigure(figure));
    }
}
BENCHMARK(BM_RemovePlayerFigure)->Unit(benchmark::kMicrosecond);

}  // namespace
