#include "client/arena/ambient_sound.h"

#include <algorithm>
#include <cstdlib>

#include "client/arena/game_input.h"
#include "client/arena/grid_queries.h"
#include "client/arena/local_player.h"
#include "client/arena/player_move.h"
#include "client/arena/player_view.h"
#include "client/arena/world_object.h"
#include "client/core/level_defs.h"
#include "client/core/sound.h"

int AmbientSoundClock = 0;

namespace {

constexpr int kAmbientPeriod = 200;  // ms
constexpr int kSilence = -1000;

// The sound-region entry a code names, or null for 0 and codes beyond the table.
const SoundRegionDef* RegionOf(int code) {
    if (code <= 0 || code >= kMaxSoundRegions)
        return nullptr;
    const SoundRegionDef& r = g_level.soundRegions[code];
    return r.used && r.sound > 0 ? &r : nullptr;
}

bool OnTheFloor(const LocalPlayer& player, const PlayerView& v) {
    return v.z <= GetStandHeight(v.x, v.y, v.z - player.eye_height + kStepHeight);
}

}  // namespace

void PlaySoundAt(int x, int y, int sound, int range) {
    if (g_soundState != 2 || !sound || !range || !g_playerView)
        return;
    int dx = std::abs(x - g_playerView->x);
    int dy = std::abs(y - g_playerView->y);
    if (dx >= range || dy >= range)
        return;
    int d = std::max(dx, dy);
    if (d < range / 4)
        PlayGameSound(sound, 0, 0);
    else
        PlayGameSound(sound, 5 - d * 15 / range, 0);
}

int CellSoundCode(int x, int y) {
    if (x < 0 || x >= kWorldLimit || y < 0 || y >= kWorldLimit)
        return 0;
    return static_cast<uint8_t>(g_level.plane[kPlaneMarker][CellIndex(x >> 6, y >> 6)]);
}

void UpdateCellSound(const LocalPlayer& player) {
    if (!g_playerView)
        return;
    const PlayerView& v = *g_playerView;
    const int code = CellSoundCode(v.x, v.y);
    if (code == LastCellSound || !OnTheFloor(player, v))
        return;
    LastCellSound = code;
    if (const SoundRegionDef* r = RegionOf(code))
        PlayGameSound(r->sound, std::clamp(r->volume / 10 - 10, -10, 0), 0);
}

void UpdateAmbientSound(const LocalPlayer& player, int ms) {
    (void)player;
    if (!g_playerView)
        return;
    AmbientSoundClock += std::max(ms, 0);
    if (AmbientSoundClock < kAmbientPeriod)
        return;
    AmbientSoundClock = 0;
    const PlayerView& v = *g_playerView;
    int sound = 0, loudness = kSilence;
    for (int i = 1; i < kWorldObjectSlots; ++i) {
        const WorldObject& o = WorldObjectTable[i];
        const int range = o.sound_range;
        if (!o.active || !o.sound || range <= 0)
            continue;
        const int dx = std::abs(o.x - v.x), dy = std::abs(o.y - v.y);
        if (dx >= range || dy >= range)
            continue;
        // Sounds carry no level of their own: loudness falls from 0 at the object to -100 at its range.
        const int l = -100 * std::max(dx, dy) / range;
        if (l > loudness) {
            loudness = l;
            sound = o.sound;
        }
    }
    // The cell's sound at its region's volume (0..100 as a layer volume) when that is louder.
    if (const SoundRegionDef* r = RegionOf(CellSoundCode(v.x, v.y))) {
        const int l = std::clamp(r->volume, 0, 100) - 100;
        if (l > loudness) {
            loudness = l;
            sound = r->sound;
        }
    }
    SetLoopingAmbient(sound, sound ? loudness : 0, 0);
}
