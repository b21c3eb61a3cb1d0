// The HUD's text and map against FillRect16 of the same area in the same run: the overhead map of
// the sample level (target 0.2 ms) against a fill of its 256 x 256 pixels, and a 117-character
// console line split in the arena (target 20 us) against a fill of the two console rows it takes.

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "bench/sample_level_memory.h"
#include "client/arena/local_player.h"
#include "client/arena/player_view.h"
#include "client/arena/thin.h"
#include "client/arena/trigger.h"
#include "client/arena/world_object.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "client/core/screen_state.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/fonts.h"
#include "client/screens/overhead_map.h"
#include "client/screens/screen_surface.h"
#include "tests/support/recording_present.h"
#include "tools/writers/font_writer.h"
#include "tools/writers/map_art.h"

namespace {

std::vector<uint16_t>& Back() {
    static std::vector<uint16_t> back(kScreenPixels);
    g_screen.backBuffer = back.data();
    return back;
}

void LoadMarkers() {
    static bool done = [] {
        const std::vector<uint8_t> arrow = BuildArrowPcx(), node = BuildNodePcx();
        ByteReader a(arrow.data(), arrow.size()), n(node.data(), node.size());
        g_screen.Marker(MARKER_ARROW).ReadPcx(a, PCX_HEAP, 0);
        g_screen.Marker(MARKER_NODE).ReadPcx(n, PCX_HEAP, 0);
        return true;
    }();
    (void)done;
}

// The console's font (1) as a bitmap font of the sample design.
void LoadConsoleFont() {
    static bool done = [] {
        const std::vector<uint8_t> glyphs = BuildBitmapFont(8);
        FontSlot& f = FontTable[1];
        f.height = 8;
        f.size = 1;
        f.width = 8;
        f.glyphs = std::make_unique<uint8_t[]>(glyphs.size());
        std::memcpy(f.glyphs.get(), glyphs.data(), glyphs.size());
        return true;
    }();
    (void)done;
}

struct SampleArena {
    RecordingPresent present;
    LocalPlayer player{};
    PlayerView view{};
    SampleArena() {
        present.record = false;
        ClearWorldObjects();
        ClearThins();
        FreeTriggers();
        ClearLevelDefs();
        LoadSampleLevelInMemory();
        ResetGameValues();
        SetGameValue(4, 1);
        view.x = (g_level.minx + g_level.maxx) / 2 * 64 + 32;
        view.y = (g_level.miny + g_level.maxy) / 2 * 64 + 32;
        g_playerView = &view;
        g_localPlayer = &player;
        g_linkState = 2;
    }
};

void BM_DrawOverheadMap(benchmark::State& state) {
    static SampleArena arena;
    LoadMarkers();
    for (auto _ : state) {
        DrawOverheadMap(arena.player, 16);
        benchmark::DoNotOptimize(g_screen.mapBuffer.get());
    }
}
BENCHMARK(BM_DrawOverheadMap)->Unit(benchmark::kMicrosecond);

void BM_FillMapArea(benchmark::State& state) {
    Back();
    for (auto _ : state) {
        g_screen.FillRect16(0, 0, 256, 256, 0x1234);
        benchmark::DoNotOptimize(g_screen.backBuffer);
    }
}
BENCHMARK(BM_FillMapArea)->Unit(benchmark::kMicrosecond);

void BM_PrintMessageSplit(benchmark::State& state) {
    static RecordingPresent present;
    present.record = false;
    LoadConsoleFont();
    g_screenState = 1;
    const std::string text(117, 'w');
    for (auto _ : state) {
        PrintMessage(MSG_ALL, text.c_str(), 0, 0);
        benchmark::DoNotOptimize(ChatBuffer.write);
    }
}
BENCHMARK(BM_PrintMessageSplit)->Unit(benchmark::kMicrosecond);

void BM_FillConsoleRows(benchmark::State& state) {
    Back();
    for (auto _ : state) {
        g_screen.FillRect16(180, 512, 256, 20, 0x1234);
        benchmark::DoNotOptimize(g_screen.backBuffer);
    }
}
BENCHMARK(BM_FillConsoleRows)->Unit(benchmark::kMicrosecond);

}  // namespace

