// Figures of the arena: building a player figure from its template (the whole skinned model
// cloned, its own tint properties, the bone table and the start animation's keys copied), as every
// player's and monster's activation does; removing it again; and one frame of 64 player figures.

#include <benchmark/benchmark.h>

#include "bench/null_render.h"
#include "client/arena/world_object.h"
#include "client/present/camera_set.h"
#include "client/present/figure_animation.h"
#include "client/present/figure_lights.h"
#include "client/present/figure_loader.h"
#include "client/present/figure_objects.h"
#include "client/present/figure_table.h"
#include "client/present/world_tables.h"
#include "tests/support/world_fixture.h"
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

// 64 player figures walking and running in view, one arena frame each: the animation state
// machine (UpdateObjectFigureAnimation), the placement (PlaceObjectFigure) and the skinning of
// the draw, through a renderer that does nothing. "per_figure" is the time of one figure.
void BM_PlayerFiguresFrame(benchmark::State& state) {
    InstallPlayerTemplates();
    static bool animations = false;
    if (!animations) {
        animations = true;
        for (int offset : {0, 4}) {  // walk and run
            const int n = 211 + offset;
            SgRef<SgNode> holder(new SgNode);
            holder->InsertChild(BuildPlayerAnimation(1, offset).Get(), false);
            Figures().templates[n] = holder;
            SetFigureModelAnimation(n, 0, PlayerAnimationFrames(offset), 30);
            SetFigureKind(holder.Get(), n, kFigurePlain);
        }
    }
    constexpr int kFigures = 64;
    worldtest::StartDisplayOver(new NullRender);
    Cameras().sceneRoot->InsertChild(World().worldRoot.Get(), true);
    // The first-person camera behind an 8 x 8 block of figures 50 units apart, looking across it.
    SelectActiveCamera(2);
    PlaceFirstPersonCamera(-500 << 16, 175 << 16, 60 << 16, 3072, 0);
    SgCamera* camera = Cameras().activeCamera;
    Cameras().sceneRoot->UpdateAllStates();
    int figures[kFigures];
    for (int i = 0; i < kFigures; ++i) {
        figures[i] = BuildFigureFromTemplate(World().worldRoot.Get(), nullptr, 0, 0, 201, 0.01f, nullptr);
        WorldObject& o = WorldObjectTable[1 + i];
        o = WorldObject{};
        o.active = 1;
        o.type = OBJ_PLAYER;
        o.imagenum = 201;
        o.figure = static_cast<int16_t>(figures[i]);
        o.speed = static_cast<int16_t>(i % 2 ? 150 : 80);
        o.pos_x = static_cast<int32_t>((i % 8) * 0.5f * 6553600);
        o.pos_y = static_cast<int32_t>((i / 8) * 0.5f * 6553600);
    }
    int inView = 0;
    for (int i = 0; i < kFigures; ++i) {
        const WorldObject& o = WorldObjectTable[1 + i];
        PlaceObjectFigure(o.figure, o.pos_x, o.pos_y, 0, 1024, 0, 1, 1, 0);
        inView += IsFigureOnScreen(o.figure, o.pos_x >> 16, o.pos_y >> 16, 0, 75, 48, 0);
    }
    float t = 0;
    for (auto _ : state) {
        for (int i = 0; i < kFigures; ++i) {
            WorldObject& o = WorldObjectTable[1 + i];
            PlaceObjectFigure(o.figure, o.pos_x, o.pos_y, 0, 1024, 0, 0, 1, 0);
            UpdateObjectFigureAnimation(1 + i, 333, 2);
        }
        camera->RenderFrame(t += 0.0333f);
    }
    state.counters["in_view"] = inView;
    state.counters["per_figure"] =
        benchmark::Counter(kFigures, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    for (int i = 0; i < kFigures; ++i) {
        RemoveObjectFigure(figures[i]);
        WorldObjectTable[1 + i] = WorldObject{};
    }
    present::DestroySceneAndRenderer();
    Cameras() = CameraSet{};
}
BENCHMARK(BM_PlayerFiguresFrame)->Unit(benchmark::kMillisecond);

}  // namespace
