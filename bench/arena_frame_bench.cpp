// One core, the whole arena frame on the sample installation at 800 x 600, as the game plays it
// offline: the frame update (camera, HUD panels, grid fixtures, world time), sixteen player
// figures placed and animated, and the game view presented with the HUD and the cursor. After the
// timed frames as many run again with the device's rasterising off, so one run gives the three
// shares of a frame: the presentation's (the update and the figures), the renderer's (presenting
// the view without rasterising) and the device's (what rasterising adds). The HUD update is timed
// on its own, mean and worst (the worst frame copies a part of the player list and a map tile);
// px/frame counts the pixels the device fills, so a view that draws nothing shows; shapes and
// triangles count what the view drew. Last, the level's rooms are built again a few times
// (BuildWorldRooms, as world creation calls it) and the mean time of a build is reported beside
// the frame's.

#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>

#include "client/arena/game_input.h"
#include "client/arena/local_player.h"
#include "client/arena/player_view.h"
#include "client/arena/spell.h"
#include "client/arena/world_object.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "client/driver/arena_loop.h"
#include "client/present/camera_set.h"
#include "client/present/frame_update.h"
#include "client/present/hud_panels.h"
#include "client/present/present_services.h"
#include "client/present/world_create.h"
#include "client/present/world_rooms.h"
#include "client/screens/chat_commands.h"
#include "client/screens/gws_core.h"
#include "client/screens/input.h"
#include "client/screens/key_bindings.h"
#include "client/screens/main_menu.h"
#include "client/screens/screen_surface.h"
#include "engine/render/sg_dd_environment.h"
#include "engine/render/sg_dd_image.h"
#include "platform/ddraw/control.h"
#include "platform/win/platform.h"
#include "tests/client/driver/offline_arena.h"
#include "tests/client/screens/demo_screen.h"

namespace {

namespace dd = platform::dd;

constexpr int kFigures = 16;
constexpr int kFrameDelta = 333;  // 0.1 ms: a 30th of a second

// The thread's processor time in µs: what other processes do on the core does not count, so the
// shares hold on a busy machine.
double NowMicros() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

struct ArenaGame {
    bool Open() {
        if (!StartDemoScreen(true, "", SAMPLE_INSTALL_DIR))
            return false;
        LoadArenaTables();
        PrepareOfflineArena(player, "sample", 2);
        if (BeginArenaGame(player, 0) != 1)
            return false;
        // The own figure and fifteen others round the player, of the three player figures.
        slots[0] = player.own_object;
        const PlayerView& v = *g_playerView;
        for (int i = 1; i < kFigures; ++i) {
            const int slot = AllocObjectSlot(OBJ_PLAYER);
            if (!slot)
                return false;
            WorldObject& o = WorldObjectTable[slot];
            o.x = static_cast<uint16_t>(v.x + (i % 4 - 2) * 40);
            o.y = static_cast<uint16_t>(v.y + 80 + (i / 4) * 40);
            o.pos_x = o.x << 16;
            o.pos_y = o.y << 16;
            o.facing = static_cast<uint16_t>(i * 256);
            o.imagenum = static_cast<uint16_t>(201 + i % 3);
            o.team = static_cast<int16_t>(1 + i % 3);
            ActivateObject(slot);
            slots[i] = slot;
        }
        // Every frame copies HUD panels: the player list refreshes by itself and the map shows.
        LagDisplayFlag = 1;
        MapShown = 1;
        return true;
    }

    void Frame() {
        FrameDelta = kFrameDelta;
        const double start = NowMicros();
        present::UpdateViewCamera();
        const double hudStart = NowMicros();
        present::UpdateHudPanels();
        const double hudEnd = NowMicros();
        present::AnimateGridFixtures();
        present::AdvanceWorldTime(kFrameDelta);
        for (int slot : slots) {
            const WorldObject& o = WorldObjectTable[slot];
            PlaceObjectFigure(o.figure, o.pos_x, o.pos_y, o.z << 16, o.facing, 0, 0, 1, 0);
            UpdateObjectFigureAnimation(slot, kFrameDelta, 2);
        }
        const double presentStart = NowMicros();
        g_screen.PresentGameView(0, 0, kScreenWidth, kScreenHeight, kFrameDelta, -1);
        const double end = NowMicros();
        const present::CameraSet& cameras = present::Cameras();
        shapes += cameras.geometryDrawn;
        triangles += cameras.trianglesDrawn;
        const double hud = hudEnd - hudStart;
        hudSum += hud;
        hudWorst = std::max(hudWorst, hud);
        updateSum += presentStart - start;
        presentSum += end - presentStart;
    }

    void Close() {
        EndArenaGame(player);
        StopDemoDisplay();
        dd::SetRasterizing(true);
        platform::ResetWindowing();
        dd::ResetDDraw();
    }

    LocalPlayer player{};
    int slots[kFigures] = {};
    double hudSum = 0, hudWorst = 0, updateSum = 0, presentSum = 0;
    double shapes = 0, triangles = 0;
};

void BM_ArenaFrame(benchmark::State& state) {
    ArenaGame game;
    if (!game.Open()) {
        state.SkipWithError("the sample arena cannot be entered");
        return;
    }
    for (int n = 0; n < 30; ++n)
        game.Frame();  // warm: every pool, cache and HUD image made
    game.hudSum = game.hudWorst = game.updateSum = game.presentSum = 0;
    game.shapes = game.triangles = 0;
    dd::ResetPixelsWritten();
    for (auto _ : state)
        game.Frame();
    const double frames = static_cast<double>(state.iterations());
    const double pixels = static_cast<double>(dd::PixelsWritten()) / frames;
    const double presentation = game.updateSum / frames, present = game.presentSum / frames;
    const double hud = game.hudSum / frames, hudWorst = game.hudWorst;
    const double shapes = game.shapes / frames, triangles = game.triangles / frames;

    dd::SetRasterizing(false);
    game.presentSum = 0;
    const int bare = std::max(static_cast<int>(state.iterations()), 30);
    for (int n = 0; n < bare; ++n)
        game.Frame();
    const double renderer = game.presentSum / bare;

    // Each build replaces the rooms of the last, so the frames above drew the first.
    constexpr int kBuilds = 5;
    const double buildStart = NowMicros();
    for (int n = 0; n < kBuilds; ++n)
        present::BuildWorldRooms(present::WorldRoomDefs(), present::LevelGridLayers(g_level), g_singleUserLevel);
    const double build = (NowMicros() - buildStart) / kBuilds;

    state.counters["frames/s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
    state.counters["presentation_us"] = presentation;
    state.counters["renderer_us"] = renderer;
    state.counters["device_us"] = present - renderer;
    state.counters["hud_us"] = hud;
    state.counters["hud_worst_us"] = hudWorst;
    state.counters["px/frame"] = pixels;
    state.counters["shapes"] = shapes;
    state.counters["triangles"] = triangles;
    state.counters["build_world_rooms_ms"] = build / 1000;
    game.Close();
}

}  // namespace

BENCHMARK(BM_ArenaFrame)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
