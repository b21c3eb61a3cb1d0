// One core, the whole arena game loop on the sample installation: screen 1 entered offline on the
// sample level with the real presentation (renderer over the software device, 800 x 600, 5-6-5),
// then frame after frame with a scripted walk (forward, turning, strafing, a jump now and then):
// input, simulation, the HUD and the 2D overlay, the world view and the presentation. In the same
// run the two halves of a frame's drawing alone: the 2D screen presented by itself, and the world
// view drawn and shown by itself. The clock is virtual and moves 10 ms a frame, so every run does
// the same work. The walk starts over from the entry point every 4 s, so it never ends in a corner
// looking at a wall for the rest of the run; px/frame counts the pixels the device fills, so a
// view that draws nothing shows.

#include <benchmark/benchmark.h>

#include <cstdio>

#include "client/arena/local_player.h"
#include "client/arena/monster.h"
#include "client/arena/player_view.h"
#include "client/arena/spell.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/screen_files.h"
#include "client/driver/arena_loop.h"
#include "client/driver/message_pump.h"
#include "client/level/level_textures.h"
#include "client/present/arena_present.h"
#include "client/present/engine_files.h"
#include "client/present/present_services.h"
#include "client/screens/color_tables.h"
#include "client/screens/fonts.h"
#include "client/screens/gws_core.h"
#include "client/screens/input.h"
#include "client/screens/key_bindings.h"
#include "client/screens/main_menu.h"
#include "client/screens/screen_art.h"
#include "client/screens/screen_surface.h"
#include "client/screens/view_windows.h"
#include "engine/core/sg_file.h"
#include "platform/ddraw/control.h"
#include "platform/fs/fs.h"
#include "platform/win/platform.h"
#include "tests/client/driver/offline_arena.h"
#include "tests/support/ddraw_device.h"

namespace {

constexpr int kFrameMs = 10;

struct GameRig {
    LocalPlayer player{};
    PlayerView start{};
    bool ok = false;
    int frame = 0;

    GameRig() { ok = Open(); }

    bool Open() {
        if (!platform::ChangeDirectory(SAMPLE_INSTALL_DIR))
            return false;
        platform::ResetWindowing();
        platform::InitWindowing(platform::Backend::Headless);
        platform::UseVirtualClock();
        InstallArenaPresent();
        present::InstallGameFileOpener();
        g_mainWindow = ddtest::MakeGameWindow(800, 600, MainWndProc);
        ShowWindow(g_mainWindow, SW_SHOW);
        g_screen.InitScreenSurface();
        g_screen.LoadScreenLayout();
        if (g_screen.InitDirectDraw() != 1)
            return false;
        gwsInit("main.dat");
        ResetInputState();
        if (LoadFonts("main.dat", "fonts") != 1)
            return false;
        BuildReciprocalTables();
        BuildTrigTables();
        init_lightsource("color.dat", g_channelBits);
        BuildShadeTables();
        LoadImageDefs("images/image.dat", "images");
        LoadModelTemplates("sgfs", 0);
        LoadModelTemplates("figures", 200);
        LoadFigureTextures();
        LoadMonsterDefs();
        LoadKeyBindings();
        if (LoadSpellData(0) != 1)
            return false;
        LoadArenaList("arena.dat");
        LoadTileArt();
        LoadScreenFiles();
        ResetGameValues();
        PrepareOfflineArena(player, "sample", 2);
        g_localPlayer = &player;
        if (BeginArenaGame(player, 0) != 1 || !g_playerView)
            return false;
        start = *g_playerView;
        return true;
    }

    // The walk: forward all the time, turning left and right in turn, a strafe and a jump now
    // and then; keys go in as the window system delivers them.
    void Script() {
        const int step = frame % 400;
        if (step == 0)
            *g_playerView = start;
        auto key = [](int action, bool down) {
            const int code = KeyBindingTable[action].code;
            if (code > 0 && code < 100)
                platform::InjectKey(code, down);
        };
        if (step == 0)
            key(0, true);
        if (step == 60 || step == 260)
            key(step == 60 ? 2 : 3, true);
        if (step == 100 || step == 300)
            key(step == 100 ? 2 : 3, false);
        if (step == 150)
            key(8, true);
        if (step == 180)
            key(8, false);
        if (step == 220)
            key(4, true);
        if (step == 222)
            key(4, false);
        ++frame;
    }

    void Frame() {
        Script();
        platform::AdvanceVirtualClock(kFrameMs);
        RunArenaFrame(player);
    }
};

// The rig once entered, or null with the benchmark marked failed.
GameRig* Rig(benchmark::State& state) {
    static GameRig rig;
    if (!rig.ok) {
        state.SkipWithError("the sample arena could not be entered");
        return nullptr;
    }
    return &rig;
}

void CountFrames(benchmark::State& state) {
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void CountPixels(benchmark::State& state) {
    state.counters["px/frame"] = static_cast<double>(platform::dd::PixelsWritten()) / static_cast<double>(state.iterations());
}

void GameLoop(benchmark::State& state) {
    GameRig* rig = Rig(state);
    if (!rig)
        return;
    platform::dd::ResetPixelsWritten();
    for (auto _ : state)
        rig->Frame();
    CountFrames(state);
    CountPixels(state);
}
BENCHMARK(GameLoop)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// The 2D screen alone: the back buffer presented as one image.
void Present2D(benchmark::State& state) {
    if (!Rig(state))
        return;
    for (auto _ : state)
        g_screen.PresentScreen();
    CountFrames(state);
}
BENCHMARK(Present2D)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The world view alone from where the walk left the player.
void WorldView(benchmark::State& state) {
    if (!Rig(state))
        return;
    platform::dd::ResetPixelsWritten();
    for (auto _ : state) {
        ClearViewFrame();
        RenderWorldView(kFrameMs * 10);
        ShowViewFrame();
    }
    CountFrames(state);
    CountPixels(state);
}
BENCHMARK(WorldView)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

