// The local player's frame and line tests on the sample level: a HandleGameInput frame pushing
// into a wall corner; TraceRay and FindBoltTarget over their whole 1024 units down an open column
// of cells between two blocks of 164 objects, past the level's thins, beside a plain pass over the
// object table. Targets (release build): the frame within 20 us, TraceRay within 30 us.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/sample_level_memory.h"
#include "client/arena/game_input.h"
#include "client/arena/line_tests.h"
#include "client/arena/local_player.h"
#include "client/arena/player_control.h"
#include "client/arena/player_status.h"
#include "client/arena/player_view.h"
#include "client/arena/thin.h"
#include "client/arena/trigger.h"
#include "client/arena/world_object.h"
#include "client/core/config_file.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "client/level/level_loader.h"
#include "tests/support/recording_present.h"
#include "tools/writers/sample_level.h"

namespace {

struct Arena {
    RecordingPresent present;
    LocalPlayer player{};
    PlayerView view{};

    Arena() {
        ClearWorldObjects();
        ClearThins();
        FreeTriggers();
        ClearLevelDefs();
        LoadSampleLevelInMemory();
        g_localPlayer = &player;
        g_playerView = &view;
        player.eye_height = player.normal_eye_height = 48;
        player.crawl_eye_height = 24;
        player.min_pitch = -90;
        player.max_pitch = 90;
        ResetGameValues();
        for (int v : {5, 13, 14})
            SetGameValue(v, 50);
        SetGameValue(107, 1000);
        SetGameValue(108, 1000);
        // 164 monsters spread over the first room, off the line of sight down its middle.
        for (int i = 0; i < 164; ++i) {
            const int slot = AllocObjectSlot(OBJ_MOVING);
            WorldObject& o = WorldObjectTable[slot];
            o.x = static_cast<uint16_t>(680 + (i % 14) * 40 + (i % 14 >= 7 ? 80 : 0));
            o.y = static_cast<uint16_t>(700 + (i / 14) * 90);
            o.width = 8;
            o.tall = 40;
            o.team = 2;
            ActivateObject(slot);
        }
    }
    ~Arena() {
        g_localPlayer = nullptr;
        g_playerView = nullptr;
    }
    void Place(int x, int y, int facing) {
        view.x = x;
        view.y = y;
        view.pos_x = x << 16;
        view.pos_y = y << 16;
        view.facing = facing;
        view.z = 48;
    }
};

void BM_GameInputFrameIntoACorner(benchmark::State& state) {
    Arena arena;
    PlayerControl control{};
    control.yaw = control.pitch = -1;
    control.forward = 200;
    control.slide_left = 200;
    FrameDelta = 200;  // 20 ms
    arena.Place(660, 660, 1536);  // facing the room's corner at (640, 640)
    for (int i = 0; i < 50; ++i)
        HandleGameInput(arena.player, control, 4);
    for (auto _ : state) {
        GameClock += 200;
        HandleGameInput(arena.player, control, 4);
        benchmark::DoNotOptimize(arena.view.x);
    }
}
BENCHMARK(BM_GameInputFrameIntoACorner)->Unit(benchmark::kMicrosecond);

// Down the gap between the blocks, in cell column 14 (clear of the cell that only movers may not
// enter at 15, 18, which stops the aiming ray), 8 units clear of the boxes of the nearer column.
constexpr int kGapX = 952, kGapY = 650;

void BM_TraceRay1024(benchmark::State& state) {
    Arena arena;
    arena.Place(kGapX, kGapY, 0);
    int x, y, z, hit = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(hit = TraceRay(&x, &y, &z, 0, 1024, 0));
    if (hit || y != kGapY + 1024)
        state.SkipWithError("the trace stopped short of its 1024 units");
}
BENCHMARK(BM_TraceRay1024)->Unit(benchmark::kMicrosecond);

void BM_FindBoltTarget1024(benchmark::State& state) {
    Arena arena;
    arena.Place(kGapX, kGapY, 0);
    int range = 1024, target = 0;
    for (auto _ : state) {
        range = 1024;
        int kind = 0;
        benchmark::DoNotOptimize(target = FindBoltTarget(arena.player, &range, &kind, 0, 0, 0));
    }
    if (target || range != 1024)
        state.SkipWithError("the line stopped short of its 1024 units");
}
BENCHMARK(BM_FindBoltTarget1024)->Unit(benchmark::kMicrosecond);

// What one pass over the object table costs, for scale.
void BM_ObjectTablePass(benchmark::State& state) {
    Arena arena;
    for (auto _ : state) {
        int live = 0;
        for (int s = 1; s <= WorldObjectHighWater; ++s)
            live += WorldObjectTable[s].active && WorldObjectTable[s].type != OBJ_DYING;
        benchmark::DoNotOptimize(live);
    }
}
BENCHMARK(BM_ObjectTablePass)->Unit(benchmark::kMicrosecond);

}  // namespace
