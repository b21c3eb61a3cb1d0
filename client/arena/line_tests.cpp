#include "client/arena/line_tests.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "client/arena/grid_queries.h"
#include "client/arena/local_player.h"
#include "client/arena/player_view.h"
#include "client/arena/thin.h"
#include "client/arena/world_object.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "client/core/trig_tables.h"
#include "client/net/client_tables.h"
#include "client/screens/chat_buffer.h"
#include "common/random.h"

namespace {

constexpr int kStep = 8;

int32_t Fix(int v) {
    return static_cast<int32_t>(static_cast<uint32_t>(v) << 16);
}

int Whole(int32_t v) {
    return v >> 16;
}

int32_t Sin(int a) {
    return SineTable[a & kAngleMask];
}

int32_t Cos(int a) {
    return CosineTable[a & kAngleMask];
}

// Sine of the view's pitch (tenths of a degree, positive down), in whole degrees.
float PitchSine(const LocalPlayer& player) {
    const int degrees = player.pitch / 10;
    return std::sin(static_cast<float>(degrees) * 3.14159265f / 180.0f);
}

bool OffGrid(int x, int y) {
    return x < 0 || x >= kWorldLimit || y < 0 || y >= kWorldLimit;
}

// Rock (kind 1) and the cells only movers may not enter (kind 5).
bool SolidCell(int x, int y) {
    const int kind = g_level.cellKind[CellIndex(x >> 6, y >> 6)];
    return kind == 1 || kind == 5;
}

// Whether a line starts on an upper storey (at or above its cell's split).
bool StartsUpstairs(int x, int y, int z) {
    return z >= GetStoreySplit(x, y);
}

// Whether the level stops a line at (x, y, z): off the grid, more than floorMargin below the
// floor, on the other storey than the line started on, or (with ceiling) above the ceiling. Spell
// lines meet rock by its floor; only the aiming ray (solidCells) also stops at solid cell kinds,
// which would otherwise bar casts across cells that spells fly through.
bool LevelStops(int x, int y, int z, bool upstairs, int floorMargin, bool ceiling, bool solidCells = false) {
    if (OffGrid(x, y) || (solidCells && SolidCell(x, y)))
        return true;
    if (upstairs != (z >= GetStoreySplit(x, y)))
        return true;
    if (z < GetFloorHeight(x, y, z, 1) - floorMargin)
        return true;
    return ceiling && z > GetCeilingHeight(x, y, z);
}

bool ObjectLive(int slot) {
    const WorldObject& o = WorldObjectTable[slot];
    return o.active != 0;
}

// (x, y, z) inside the object's box widened by pad (sideways and in height).
bool InBox(const WorldObject& o, int x, int y, int z, int pad, int padZ) {
    const int w = o.width + pad;
    return std::abs(x - o.x) <= w && std::abs(y - o.y) <= w && z >= o.z - padZ && z <= o.z + o.tall + padZ;
}

bool SeenFromView(const WorldObject& o) {
    return g_playerView && AreasSeeEachOther(g_playerView->x, g_playerView->y, o.x, o.y) != 0;
}

bool PlayerOutOfPlay(const WorldObject& o) {
    const int i = FindPlayerIndex(static_cast<int>(o.id));
    return i >= 0 && PlayerTable[i].dead;
}

// Whether a bolt of the local player stops on this object.
bool BoltStopsOn(const WorldObject& o, int friendly) {
    const int team = GetGameValue(4);
    const bool mate = team != 0 && o.team == team;
    switch (o.type) {
    case OBJ_PLAYER:
        if (PlayerOutOfPlay(o) || !SeenFromView(o))
            return false;
        return friendly ? mate : !mate;
    case OBJ_MOVING:
        return friendly ? mate : !mate;
    case OBJ_STATIC:
    case OBJ_SPELL:
    case OBJ_SERVICE:
        // Use and dispel look for gates and runes with a friendly search.
        return friendly && !o.dead;
    default:
        return false;
    }
}

bool ThinHolds(const Thin& t, int z, int radius) {
    return t.active && z >= t.base_z - radius && z <= t.base_z + t.height + radius;
}

// Whether the segment (16.16 ends) crosses the thin's line in the plane within its length
// widened by radius: the long-segment form of IntersectThin, which checks only the ends.
bool SegmentCrossesThin(int32_t x0, int32_t y0, int32_t x1, int32_t y1, const Thin& t, int radius) {
    const double tx = static_cast<double>(t.x2) - t.x1, ty = static_cast<double>(t.y2) - t.y1;
    const double len = std::sqrt(tx * tx + ty * ty);
    if (len <= 0)
        return false;
    const double ux = tx / len, uy = ty / len;
    const double ax = x0 / 65536.0 - t.x1, ay = y0 / 65536.0 - t.y1;
    const double bx = x1 / 65536.0 - t.x1, by = y1 / 65536.0 - t.y1;
    const double c0 = ax * uy - ay * ux, c1 = bx * uy - by * ux;
    if ((c0 > 0 && c1 > 0) || (c0 < 0 && c1 < 0))
        return false;
    const double f = c0 == c1 ? 0 : c0 / (c0 - c1);
    const double along = (ax + (bx - ax) * f) * ux + (ay + (by - ay) * f) * uy;
    return along >= -radius && along <= len + radius;
}

// Whether the segment (16.16 ends) passes through the square of half side half around (cx, cy):
// an object the stepped line never comes near is left out of the steps.
bool SegmentMeetsSquare(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int cx, int cy, int half) {
    const double from[2] = {x0 / 65536.0, y0 / 65536.0};
    const double along[2] = {(x1 - static_cast<double>(x0)) / 65536.0, (y1 - static_cast<double>(y0)) / 65536.0};
    const double centre[2] = {static_cast<double>(cx), static_cast<double>(cy)};
    double enter = 0, leave = 1;
    for (int k = 0; k < 2; ++k) {
        const double lo = centre[k] - half, hi = centre[k] + half;
        if (along[k] == 0) {
            if (from[k] < lo || from[k] > hi)
                return false;
            continue;
        }
        double a = (lo - from[k]) / along[k], b = (hi - from[k]) / along[k];
        if (a > b)
            std::swap(a, b);
        enter = std::max(enter, a);
        leave = std::min(leave, b);
        if (enter > leave)
            return false;
    }
    return true;
}

}  // namespace

void PointAheadFixed(int32_t x, int32_t y, int facing, int side, int forward, int32_t* outX, int32_t* outY) {
    const int64_t s = Sin(facing), c = Cos(facing);
    // Offsets from spell data may reach past what a 16.16 position holds: such a point stays at
    // the end of the range, far off the grid, rather than wrap round onto it.
    *outX = Clamp32(x - forward * s + side * c);
    *outY = Clamp32(y + forward * c + side * s);
}

void PointAheadOfView(int side, int forward, int32_t* outX, int32_t* outY) {
    if (!g_playerView) {
        *outX = *outY = 0;
        return;
    }
    PointAheadFixed(g_playerView->pos_x, g_playerView->pos_y, g_playerView->facing, side, forward, outX, outY);
}

void PointAhead(int x, int y, int facing, int side, int forward, int* outX, int* outY) {
    int32_t fx, fy;
    PointAheadFixed(Fix(x), Fix(y), facing, side, forward, &fx, &fy);
    *outX = Whole(fx);
    *outY = Whole(fy);
}

void PointAheadOfObject(int slot, int side, int forward, int* outX, int* outY) {
    if (slot <= 0 || slot >= kWorldObjectSlots) {
        *outX = *outY = 0;
        return;
    }
    const WorldObject& o = WorldObjectTable[slot];
    PointAhead(o.x, o.y, o.facing, side, forward, outX, outY);
}

int CheckCastPath(LocalPlayer& player, int distance, int elevation) {
    if (!g_playerView)
        return kHitLevel;
    const PlayerView& v = *g_playerView;
    const int z = v.z - player.eye_height + elevation;
    const bool upstairs = StartsUpstairs(v.x, v.y, z);
    int32_t px = v.pos_x, py = v.pos_y;
    for (int i = 1; i <= distance / kStep; ++i) {
        int32_t nx, ny;
        PointAheadOfView(0, i * kStep, &nx, &ny);
        const int x = Whole(nx), y = Whole(ny);
        int hit = 0;
        if (LevelStops(x, y, z, upstairs, 16, false)) {
            hit = kHitLevel;
        } else {
            for (int s = 1; s < WorldObjectHighWater && !hit; ++s) {
                const WorldObject& o = WorldObjectTable[s];
                if (s != player.own_object && ObjectLive(s) && o.type != OBJ_DYING && InBox(o, x, y, z, 8, 0) &&
                    SeenFromView(o))
                    hit = s;
            }
            for (int t = 1; t < ThinCount && !hit; ++t)
                if (ThinHolds(ThinTable[t], z, 0) && IntersectThin(Fix(z), px, py, nx, ny, t, 0))
                    hit = kHitLevel;
        }
        if (hit) {
            PrintDebug("Spell Collide within Cast Distance!\n");
            return hit;
        }
        px = nx;
        py = ny;
    }
    return 0;
}

int FindBoltTarget(LocalPlayer& player, int* range, int* kind, int friendly, int radius, int thinsOnly) {
    *kind = LINE_NOTHING;
    if (!g_playerView)
        return 0;
    const PlayerView& v = *g_playerView;
    const float dz = -kStep * PitchSine(player);
    const int32_t z0 = Fix(v.z);
    const bool upstairs = StartsUpstairs(v.x, v.y, v.z);
    int32_t px = v.pos_x, py = v.pos_y, pz = z0;
    const int steps = *range / kStep;
    for (int i = 1; i <= steps; ++i) {
        int32_t nx, ny;
        PointAheadOfView(0, i * kStep, &nx, &ny);
        // Views at the top or bottom of the 16-bit heights would wrap; the line holds there.
        const int64_t rise = static_cast<int64_t>(dz * static_cast<float>(i) * 65536.0f);
        const int32_t nz = static_cast<int32_t>(
            std::clamp<int64_t>(z0 + rise, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
        const int x = Whole(nx), y = Whole(ny), z = Whole(nz);
        int target = 0;
        for (int t = 1; t < ThinCount && !*kind; ++t) {
            if (ThinHolds(ThinTable[t], z, radius) && IntersectThin(nz, px, py, nx, ny, t, radius)) {
                *kind = LINE_THIN;
                target = t;
            }
        }
        if (!*kind && LevelStops(x, y, z, upstairs, 0, true)) {
            *kind = LINE_NOTHING;
            target = kHitLevel;
        }
        for (int s = 1; s < WorldObjectHighWater && !*kind && !target && !thinsOnly; ++s) {
            const WorldObject& o = WorldObjectTable[s];
            if (s == player.own_object || !ObjectLive(s) || !InBox(o, x, y, z, 16, 16) || !BoltStopsOn(o, friendly))
                continue;
            *kind = LINE_OBJECT;
            target = s;
            PrintDebug("Monster Collision: num=%d hits=%d.", s, o.hit_points);
        }
        if (target) {
            *range = Distance3D(v.pos_x, v.pos_y, z0, px, py, pz);
            PrintDebug("Target Collision: range=%d target=%d type=%d", *range, target, *kind);
            return target;
        }
        px = nx;
        py = ny;
        pz = nz;
    }
    return 0;
}

int FindBoltCollision(int slot, int* range, int* kind) {
    *kind = LINE_NOTHING;
    if (slot <= 0 || slot >= kWorldObjectSlots)
        return 0;
    const WorldObject& self = WorldObjectTable[slot];
    const int z = self.z + 32;
    const int32_t x0 = Fix(self.x), y0 = Fix(self.y);
    const bool upstairs = StartsUpstairs(self.x, self.y, z);
    int32_t px = x0, py = y0;
    for (int i = 1; i <= *range / kStep; ++i) {
        int32_t nx, ny;
        PointAheadFixed(x0, y0, self.facing, 0, i * kStep, &nx, &ny);
        const int x = Whole(nx), y = Whole(ny);
        int target = -1;
        for (int t = 1; t < ThinCount && target < 0; ++t) {
            if (ThinHolds(ThinTable[t], z, 0) && IntersectThin(Fix(z), px, py, nx, ny, t, 0)) {
                PrintDebug("Thin Collision -> num=%d.", t);
                *kind = LINE_THIN;
                target = kHitThinFromObject;
            }
        }
        if (target < 0 && LevelStops(x, y, z, upstairs, 0, true))
            target = kHitLevel;
        for (int s = 1; s < WorldObjectHighWater && target < 0; ++s) {
            const WorldObject& o = WorldObjectTable[s];
            if (s != slot && ObjectLive(s) && o.type != OBJ_DYING && InBox(o, x, y, z, 8, 0)) {
                PrintDebug("Monster Collision: num=%d hits=%d.", s, o.hit_points);
                *kind = LINE_OBJECT;
                target = s;
            }
        }
        if (target < 0 && g_playerView && g_localPlayer) {
            const PlayerView& v = *g_playerView;
            if (std::abs(x - v.x) <= 32 && std::abs(y - v.y) <= 32 && z >= v.z - g_localPlayer->eye_height &&
                z <= v.z + 70) {
                PrintDebug("Player Collision.");
                *kind = LINE_PLAYER;
                target = 0;
            }
        }
        if (target >= 0) {
            *range = Distance3D(x0, y0, Fix(z), px, py, Fix(z));
            PrintDebug("Bolt Collision: range=%d target=%d.", *range, target);
            return target;
        }
        px = nx;
        py = ny;
    }
    return 0;
}

int TraceRay(int* outX, int* outY, int* outZ, int heading, int range, int eyeRelative) {
    *outX = *outY = *outZ = 0;
    if (!g_playerView || !g_localPlayer)
        return 0;
    const PlayerView& v = *g_playerView;
    const LocalPlayer& player = *g_localPlayer;
    const int facing = (v.facing + heading) & kAngleMask;
    const int z0 = eyeRelative ? v.z - player.eye_height : v.z;
    const bool upstairs = StartsUpstairs(v.x, v.y, z0);
    float drop = 0;
    if (heading == 0)
        drop = -PitchSine(player);
    else if (heading == 2048)
        drop = PitchSine(player);
    const int steps = std::max(range / kStep, 0);
    int32_t ex, ey;
    PointAheadFixed(v.pos_x, v.pos_y, facing, 0, range, &ex, &ey);
    // No line stays on the grid for longer than its diagonal: the candidates' segment ends there.
    constexpr int kLongestOnGrid = 1500;
    int32_t lastX, lastY;
    PointAheadFixed(v.pos_x, v.pos_y, facing, 0, std::min(steps, kLongestOnGrid) * kStep, &lastX, &lastY);

    // Candidates: only what the whole segment can meet is stepped against. A step's point is
    // truncated to whole units, so the squares are widened by a unit and a little more.
    static int objects[kWorldObjectSlots];
    static int thins[kThinSlots];
    int objectCount = 0, thinCount = 0;
    if (heading == 0) {
        for (int s = 1; s < WorldObjectHighWater; ++s) {
            const WorldObject& o = WorldObjectTable[s];
            if (s != player.own_object && ObjectLive(s) && (o.type == OBJ_MOVING || o.type == OBJ_PLAYER) &&
                SegmentMeetsSquare(v.pos_x, v.pos_y, lastX, lastY, o.x, o.y, o.width + 16 + 2))
                objects[objectCount++] = s;
        }
    }
    for (int t = 1; t < ThinCount; ++t) {
        const Thin& th = ThinTable[t];
        if (!th.active || th.side_mark)
            continue;
        // The height test comes with each step; the segment test is in the plane.
        if (SegmentCrossesThin(v.pos_x, v.pos_y, ex, ey, th, 8))
            thins[thinCount++] = t;
    }

    int32_t px = v.pos_x, py = v.pos_y;
    float pz = static_cast<float>(z0);
    for (int i = 1; i <= steps; ++i) {
        int32_t nx, ny;
        PointAheadFixed(v.pos_x, v.pos_y, facing, 0, i * kStep, &nx, &ny);
        const float nz = static_cast<float>(z0) + drop * static_cast<float>(i * kStep);
        const int x = Whole(nx), y = Whole(ny), z = static_cast<int>(nz);
        int hit = 0;
        if (LevelStops(x, y, z, upstairs, 0, true, true))
            hit = kHitLevel;
        for (int k = 0; k < objectCount && !hit; ++k) {
            const WorldObject& o = WorldObjectTable[objects[k]];
            if (!InBox(o, x, y, z, 16, 16))
                continue;
            if (SeenFromView(o))
                hit = objects[k];
            else
                objects[k--] = objects[--objectCount];
        }
        for (int k = 0; k < thinCount && !hit; ++k) {
            const Thin& th = ThinTable[thins[k]];
            if (z >= th.base_z - 8 && z <= th.base_z + th.height + 8 &&
                IntersectThin(Fix(z), px, py, nx, ny, thins[k], 8))
                hit = thins[k];
        }
        if (hit) {
            // Back to the last free point, then onto the first 8-unit face the step crosses.
            const double a[3] = {px / 65536.0, py / 65536.0, pz};
            const double b[3] = {nx / 65536.0, ny / 65536.0, nz};
            double best = 1.0;
            bool crossed = false;
            for (int k = 0; k < 3; ++k) {
                const double d = b[k] - a[k];
                if (d == 0)
                    continue;
                const double face = d > 0 ? std::floor(a[k] / kStep + 1) * kStep : std::ceil(a[k] / kStep - 1) * kStep;
                const double f = (face - a[k]) / d;
                if (f > 0 && f <= best) {
                    best = f;
                    crossed = true;
                }
            }
            const double f = crossed ? best : 0;
            *outX = static_cast<int>(a[0] + (b[0] - a[0]) * f);
            *outY = static_cast<int>(a[1] + (b[1] - a[1]) * f);
            *outZ = static_cast<int>(a[2] + (b[2] - a[2]) * f);
            return hit;
        }
        px = nx;
        py = ny;
        pz = nz;
    }
    *outX = Whole(px);
    *outY = Whole(py);
    *outZ = static_cast<int>(pz);
    return 0;
}

int Distance3D(int32_t x1, int32_t y1, int32_t z1, int32_t x2, int32_t y2, int32_t z2) {
    const float dx = static_cast<float>((x2 >> 16) - (x1 >> 16));
    const float dy = static_cast<float>((y2 >> 16) - (y1 >> 16));
    const float dz = static_cast<float>((z2 >> 16) - (z1 >> 16));
    return static_cast<int>(std::sqrt(dx * dx + dy * dy + dz * dz));
}

int RollDice(int dice, int count, int base) {
    if (dice <= 0 || count <= 0)
        return 0;
    // Spell data sets the dice: no real roll comes near 65535 dice, and a sum past the int range
    // stays at its limit.
    count = std::min(count, 65535);
    int64_t sum = base;
    for (int i = 0; i < count && sum < INT32_MAX; ++i)
        sum += GameRand() % dice + 1;
    return static_cast<int>(std::min<int64_t>(sum, INT32_MAX));
}

int FindThinTarget(int range) {
    if (!g_playerView)
        return -1;
    int32_t ex, ey;
    PointAheadOfView(0, range, &ex, &ey);
    for (int t = 1; t < ThinCount; ++t) {
        const Thin& th = ThinTable[t];
        // The line is tested in the plane: a low wall is dispelled from standing height.
        if (th.active && th.kind == THIN_SPELL &&
            SegmentCrossesThin(g_playerView->pos_x, g_playerView->pos_y, ex, ey, th, 0))
            return t;
    }
    return -1;
}

int FindThinAhead(LocalPlayer& player, int range) {
    int kind = 0;
    const int target = FindBoltTarget(player, &range, &kind, 0, 16, 1);
    return kind == LINE_THIN ? target : 0;
}

int FindObjectTrigger(LocalPlayer& player, int range) {
    int kind = 0;
    const int target = FindBoltTarget(player, &range, &kind, 1, 16, 0);
    return kind == LINE_OBJECT ? target : 0;
}
