// The player's movement against any level around him: the cells near the player, a few thins and
// a run of control frames come from the input. Whatever they hold, the player stays on the grid.

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "client/arena/local_player.h"
#include "client/arena/player_control.h"
#include "client/arena/player_move.h"
#include "client/arena/player_view.h"
#include "client/arena/thin.h"
#include "client/arena/world_object.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "tests/support/recording_present.h"

namespace {

struct Reader {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    int Byte() { return at < size ? data[at++] : 0; }
    int Word() { return static_cast<int16_t>(Byte() | Byte() << 8); }
    int Long() {
        const uint32_t low = static_cast<uint16_t>(Word()), high = static_cast<uint16_t>(Word());
        return static_cast<int32_t>(low | high << 16);
    }
    bool Done() const { return at >= size; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static RecordingPresent present;
    Reader in{data, size};
    ClearLevelDefs();
    ClearThins();
    ClearWorldObjects();
    ResetGameValues();
    ClearActionState();
    DebugToggle = 0;
    for (int i = 0; i < kGridCells; ++i) {
        g_level.plane[kPlaneCeiling][i] = 256;
        g_level.plane[kPlaneStoreySplit][i] = 32767;
    }
    // The player starts near a corner or in the middle, as the first byte says.
    static const int kStarts[] = {40, 4000, 8150};
    const int sx = kStarts[in.Byte() % 3], sy = kStarts[in.Byte() % 3];
    // A 6 x 6 block of cells around him.
    for (int dx = -3; dx < 3; ++dx) {
        for (int dy = -3; dy < 3; ++dy) {
            const int cx = (sx >> 6) + dx, cy = (sy >> 6) + dy;
            const int kind = in.Byte() & 7, floor = in.Word() % 200, ceiling = in.Word(), split = in.Word();
            const int marker = in.Byte(), depth = in.Byte() & 63, limit = in.Word();
            if (!CellInGrid(cx, cy))
                continue;
            const int c = CellIndex(cx, cy);
            g_level.cellKind[c] = static_cast<uint8_t>(kind);
            g_level.cellIndex[c] = static_cast<uint8_t>(marker);
            g_level.plane[kPlaneFloor][c] = static_cast<int16_t>(floor);
            g_level.plane[kPlaneCeiling][c] = static_cast<int16_t>(ceiling);
            g_level.plane[kPlaneStoreySplit][c] = static_cast<int16_t>(split);
            g_level.plane[kPlaneMarker][c] = static_cast<int16_t>(marker);
            g_level.plane[kPlaneLiquidDepth][c] = static_cast<int16_t>(depth);
            g_level.plane[kPlaneSpare][c] = static_cast<int16_t>(limit);
        }
    }
    const int thins = in.Byte() % 6;
    for (int i = 0; i < thins; ++i) {
        const int slot = AllocThinSlot(in.Byte() % 7);
        if (!slot)
            break;
        Thin& t = ThinTable[slot];
        t.x1 = sx + in.Word() % 200;
        t.y1 = sy + in.Word() % 200;
        t.x2 = sx + in.Word() % 200;
        t.y2 = sy + in.Word() % 200;
        t.height = in.Byte();
        t.base_z = in.Word() % 200;
        t.open = in.Byte() & 1;
        t.speed_cap = in.Byte() & 1 ? in.Byte() : 0;
        t.trigger = in.Byte() % 100;
        if (!PlaceThin(slot))
            DestroyThin(slot);
    }

    LocalPlayer player{};
    PlayerView view{};
    g_localPlayer = &player;
    g_playerView = &view;
    player.eye_height = player.normal_eye_height = 48;
    player.crawl_eye_height = 24;
    player.min_pitch = -90;
    player.max_pitch = 90;
    view.x = sx;
    view.y = sy;
    view.pos_x = sx << 16;
    view.pos_y = sy << 16;
    view.facing = in.Word() & 4095;
    view.z = 48;
    // Effect levels come from spell.bin with any value an int holds.
    for (int n = 0; n < 3; ++n) {
        const int effect = in.Byte() % kPlayerEffects;
        player.effects[effect].active = in.Byte() & 1;
        player.effects[effect].level = in.Long();
    }
    for (int v : {5, 13, 14, 107, 108})
        SetGameValue(v, in.Word());

    for (int frame = 0; frame < 200 && !in.Done(); ++frame) {
        PlayerControl c{};
        const int keys = in.Byte() | in.Byte() << 8;
        const int held = in.Word() & 0x7fff;
        c.forward = keys & 1 ? held : 0;
        c.backward = keys & 2 ? held : 0;
        c.turn_left = keys & 4 ? held : 0;
        c.turn_right = keys & 8 ? held : 0;
        c.jump = keys & 16 ? held : 0;
        c.crawl = keys & 32 ? held : 0;
        c.fast = keys & 64 ? held : 0;
        c.slide_left = keys & 128 ? held : 0;
        c.slide_right = keys & 256 ? held : 0;
        c.look_up = keys & 512 ? held : 0;
        c.look_down = keys & 1024 ? held : 0;
        c.yaw = keys & 2048 ? in.Word() & 4095 : -1;
        c.pitch = keys & 4096 ? in.Word() % 1800 : -1;
        DebugToggle = (keys >> 13) & 1;
        FrameDelta = in.Word() & 0x3fff;
        GameClock += static_cast<uint32_t>(FrameDelta);
        RunPlayerMovement(player, c);
        if (view.x < 0 || view.x >= kWorldLimit || view.y < 0 || view.y >= kWorldLimit ||
            view.x != view.pos_x >> 16 || view.y != view.pos_y >> 16)
            std::abort();
        // However strong an effect, movement keeps to what a speed word holds.
        if (view.max_speed < 0 || view.max_speed > 32767 || view.speed < -32767 || view.speed > 32767)
            std::abort();
    }
    g_localPlayer = nullptr;
    g_playerView = nullptr;
    return 0;
}
