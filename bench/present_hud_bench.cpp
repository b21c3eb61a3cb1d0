// The HUD's per-frame update on a full 128 x 128 map: a steady run of 60 frames a second with a
// chat line every half second and a player-list page change every second (mean and worst
// microseconds a frame), and the heaviest frame alone: the player list drawn and its first panel
// copied, the overhead map drawn for a new copy cycle, and a phase step with chat, experience line
// and match clock drawn and copied.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "bench/null_render.h"
#include "client/arena/game_input.h"
#include "client/arena/local_player.h"
#include "client/arena/player_view.h"
#include "client/core/game_clock.h"
#include "client/core/level_defs.h"
#include "client/present/arena_present.h"
#include "client/present/hud_panels.h"
#include "client/screens/screen_surface.h"
#include "tests/support/recording_render.h"
#include "tests/support/world_fixture.h"

namespace {

using namespace present;

struct HudBench {
    std::unique_ptr<PresentServices> services = MakeArenaPresent();
    RecordingImageFactory images;
    std::vector<uint16_t> back = std::vector<uint16_t>(kScreenPixels, 0x7BEF);
    LocalPlayer player{};
    PlayerView view{};

    HudBench() {
        InstallPresentServices(services.get());
        worldtest::StartDisplayOver(new NullRender);
        g_screen.backBuffer = back.data();
        g_screen.mapBuffer = std::make_unique<uint8_t[]>(kMapSize * kMapSize);
        ClearLevelDefs();
        g_level.maxx = g_level.maxy = 127;
        view.x = view.y = 64 * 64;
        view.pos_x = view.x << 16;
        view.pos_y = view.y << 16;
        g_localPlayer = &player;
        g_playerView = &view;
        SgxCreateSceenPolys();
        present::SetPanelRedrawFlag(-1, 0);
    }
};

HudBench& Bench() {
    static HudBench* bench = new HudBench;
    return *bench;
}

double Micros(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

void BM_UpdateHudPanels(benchmark::State& state) {
    Bench();
    FrameDelta = 166;  // 60 frames a second
    double total = 0, worst = 0;
    int64_t frames = 0;
    for (auto _ : state) {
        if (frames % 30 == 0)
            present::SetPanelRedrawFlag(4, 1);
        if (frames % 60 == 0)
            present::SetPanelRedrawFlag(12, 1);
        const auto start = std::chrono::steady_clock::now();
        UpdateHudPanels();
        const double us = Micros(std::chrono::steady_clock::now() - start);
        total += us;
        worst = std::max(worst, us);
        ++frames;
    }
    state.counters["mean_us"] = frames ? total / static_cast<double>(frames) : 0;
    state.counters["worst_us"] = worst;
}
BENCHMARK(BM_UpdateHudPanels)->Unit(benchmark::kMicrosecond);

void BM_UpdateHudPanelsHeaviestFrame(benchmark::State& state) {
    Bench();
    HudPanelState& h = HudPanels();
    for (auto _ : state) {
        state.PauseTiming();
        present::SetPanelRedrawFlag(-1, 0);
        h.listStep = h.chatStep = h.noticeStep = 0;
        h.mapStep = -1;
        h.blinkAccumulator = 100;
        FrameDelta = 166;
        state.ResumeTiming();
        UpdateHudPanels();
    }
}
BENCHMARK(BM_UpdateHudPanelsHeaviestFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
