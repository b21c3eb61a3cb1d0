// One core, the arena presentation's frame: the sample installation's level built as world
// creation builds it, drawn by the first-person camera from eight fixed places in turn at
// 800 x 600 into 5-6-5 with a 16-bit Z-buffer, as the game's frame (clear, world, present). In
// the same run the frames go three ways: through the device, through the device with its
// rasterising off (the difference is the device's share), and to a renderer that does nothing
// (what is left is the presentation's and the engine traversal's own share; the difference to the
// run without rasterising is the renderer's). The world build is timed on its own, for the sample
// and for the hall.

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

#include "bench/null_render.h"
#include "client/core/level_defs.h"
#include "client/core/level_loader.h"
#include "client/present/camera_set.h"
#include "client/present/world_rooms.h"
#include "engine/core/sg_geometry.h"
#include "engine/render/sg_d3d_render.h"
#include "engine/render/sg_dd_environment.h"
#include "engine/render/sg_dd_image.h"
#include "platform/ddraw/control.h"
#include "platform/fs/fs.h"
#include "platform/win/platform.h"
#include "tests/support/ddraw_device.h"
#include "tests/support/recording_present.h"
#include "tests/support/world_fixture.h"

namespace {

namespace dd = platform::dd;

// Eight places in the sample's rooms (16.16 hundredths), looking across them.
struct Place {
    int x, y, z, facing;
};
const Place kPlaces[8] = {
    {1150, 1150, 48, 0},   {1850, 1150, 48, 1024}, {1850, 1850, 48, 2048}, {1150, 1850, 48, 3072},
    {2150, 1250, 96, 512}, {2750, 1750, 120, 2560}, {1250, 2150, 48, 3584}, {2350, 2650, 48, 1536},
};

enum class Device { Rasterising, NotRasterising, Null };

struct ArenaRig {
    bool Open(Device device, const char* level = "sample") {
        if (!platform::ChangeDirectory(SAMPLE_INSTALL_DIR))
            return false;
        platform::ResetWindowing();
        platform::InitWindowing(platform::Backend::Headless);
        dd::ResetDDraw();
        if (device == Device::Null) {
            worldtest::StartDisplayOver(new NullRender);
        } else {
            present::CreateRenderer(ddtest::MakeGameWindow(800, 600));
            if (!present::IsRendererReady())
                return false;
            present::CreateSceneRoot();
            present::CreateCameras();
        }
        present::ResetCameraViewports();
        RecordingPresent recording;
        if (LoadGrid(level) != 1)
            return false;
        layers = present::LevelGridLayers(g_level);
        const auto start = std::chrono::steady_clock::now();
        defs = worldtest::BuildTestWorld(level, layers, 1);
        buildMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        present::SetWorldFog(0, 0, 0, 0, 0);
        return true;
    }

    void Frame(int n) {
        const Place& p = kPlaces[n % 8];
        present::PlaceFirstPersonCamera(p.x * 65536, p.y * 65536, p.z * 65536, p.facing, 0);
        present::ClearViewFrame();
        present::RenderWorldView(100);
        present::ShowViewFrame();
    }

    void Close() {
        worldtest::ReleaseTestWorld();
        present::ReleaseRendererSurfaces();
        present::DestroySceneAndRenderer();
        present::Cameras() = present::CameraSet{};
        ReleaseDDEnvironment();
        SgDDImage::SetGlobalPalette(nullptr);
        dd::SetRasterizing(true);
        platform::ResetWindowing();
    }

    double buildMs = 0;
    present::GridLayers layers;
    std::unique_ptr<present::RoomPortalDefs> defs;
};

void ArenaFrame(benchmark::State& state, Device device) {
    ArenaRig rig;
    if (!rig.Open(device)) {
        state.SkipWithError("no sample world");
        rig.Close();
        return;
    }
    dd::SetRasterizing(device == Device::Rasterising);
    for (int n = 0; n < 8; ++n)
        rig.Frame(n);  // warm: every pool and cache filled
    SgGeometry::ResetRenderCounts();
    uint64_t shapes = 0, triangles = 0;
    int n = 0;
    for (auto _ : state) {
        rig.Frame(n++);
        uint32_t o = 0, t = 0, v = 0;
        present::GetRenderStatistics(&t, &o, &v);
        shapes += o;
        triangles += t;
    }
    const double frames = static_cast<double>(state.iterations());
    state.counters["frames/s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
    state.counters["shapes"] = static_cast<double>(shapes) / frames;
    state.counters["triangles"] = static_cast<double>(triangles) / frames;
    state.counters["build_ms"] = rig.buildMs;
    rig.Close();
}

void BM_ArenaPresentFrame(benchmark::State& state) { ArenaFrame(state, Device::Rasterising); }
void BM_ArenaPresentFrameNoRaster(benchmark::State& state) { ArenaFrame(state, Device::NotRasterising); }
void BM_ArenaPresentFrameNullRender(benchmark::State& state) { ArenaFrame(state, Device::Null); }

// BuildWorldRooms alone, again and again over the level's loaded tables (each build replaces the
// last), with the device's renderer listening as in the game.
void WorldBuild(benchmark::State& state, const char* level) {
    ArenaRig rig;
    if (!rig.Open(Device::Rasterising, level)) {
        state.SkipWithError("no level");
        rig.Close();
        return;
    }
    for (auto _ : state)
        present::BuildWorldRooms(*rig.defs, rig.layers, level);
    rig.Close();
}

void BM_BuildWorldRoomsSample(benchmark::State& state) { WorldBuild(state, "sample"); }
void BM_BuildWorldRoomsHall(benchmark::State& state) { WorldBuild(state, "hall"); }

}  // namespace

BENCHMARK(BM_ArenaPresentFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArenaPresentFrameNoRaster)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArenaPresentFrameNullRender)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildWorldRoomsSample)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildWorldRoomsHall)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
