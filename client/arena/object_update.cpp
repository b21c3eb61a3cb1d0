#include "client/arena/object_update.h"

#include <algorithm>
#include <cstdlib>
#include <cstdint>

#include "client/arena/ambient_sound.h"
#include "client/arena/grid_queries.h"
#include "client/arena/local_player.h"
#include "client/arena/object_hits.h"
#include "client/arena/player_status.h"
#include "client/arena/player_view.h"
#include "client/arena/thin.h"
#include "client/arena/world_object.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "client/core/sound.h"
#include "client/screens/chat_buffer.h"

namespace {

int Facing(int f) {
    return f & 4095;
}

int32_t Scaled(int32_t rate, int frame) {
    return static_cast<int32_t>(static_cast<int64_t>(rate) * frame / 10000);
}

void SetZ(WorldObject& o, int z) {
    o.z = static_cast<int16_t>(z);
    o.pos_z = static_cast<int32_t>(static_cast<uint32_t>(z) << 16);
}

bool IsMover(const WorldObject& o) {
    return o.type == OBJ_MOVING || o.type == OBJ_PLAYER;
}

// Off the grid every cell is rock.
int CellKindAt(int x, int y) {
    if (x < 0 || y < 0 || x >= kWorldLimit || y >= kWorldLimit)
        return 1;
    return g_level.cellKind[CellIndex(x >> 6, y >> 6)];
}

bool Blocks(int kind, bool mover) {
    return kind == 1 || (mover && kind == 5);
}

int Beyond(int to, int from, int reach) {
    return to > from ? to + reach : to < from ? to - reach : to;
}

bool HeightsOverlap(int z, int tall, int z2, int tall2) {
    return z < z2 + tall2 && z2 < z + tall;
}

// The own figure of the local player and the objects it made are not hit before a bounce.
bool IsOwn(const WorldObject& o) {
    return o.creator == GetGameValue(118);
}

int HitsList(const WorldObject& o, int slot, int x, int y, int z, const int* list, int count) {
    for (int i = 0; i < count; ++i) {
        const int s = list[i];
        const WorldObject& t = WorldObjectTable[s];
        if (s == slot || t.active != 1)
            continue;
        if (o.bounce_count == 0 && o.creator != 0 && static_cast<int64_t>(t.id) == o.creator)
            continue;
        const int reach = o.width + t.width;
        if (std::abs(x - t.x) < reach && std::abs(y - t.y) < reach && HeightsOverlap(z, o.tall, t.z, t.tall))
            return HIT_OBJECT + s;
    }
    return HIT_FREE;
}

}  // namespace

CollisionLists g_collision;
int g_hitThin = 0;

void BuildCollisionLists() {
    CollisionLists& c = g_collision;
    c.moverCount = c.staticCount = c.thinCount = 0;
    for (int s = 1; s < WorldObjectHighWater && s < kWorldObjectSlots; ++s) {
        const WorldObject& o = WorldObjectTable[s];
        if (o.active != 1 || o.width < 8)
            continue;
        if (o.type == OBJ_MOVING || (o.type == OBJ_PLAYER && !o.dead) || o.type == OBJ_STATIC)
            c.movers[c.moverCount++] = s;
        if (o.type == OBJ_STATIC)
            c.statics[c.staticCount++] = s;
    }
    for (int t = 0; t < ThinCount && t < kThinSlots; ++t)
        if (ThinTable[t].active == 1 && !ThinTable[t].open)
            c.thins[c.thinCount++] = t;
}

int MoveObject(LocalPlayer& player, int newX, int newY, int newZ, int oldX, int oldY, int oldZ, int slot,
               int thinsArmed) {
    WorldObject& o = WorldObjectTable[slot];
    const bool mover = IsMover(o);
    const int reach = mover ? 20 : o.width;
    const int px = Beyond(newX, oldX, reach);
    const int py = Beyond(newY, oldY, reach);

    if (mover) {
        if (Blocks(CellKindAt(px, oldY), true))
            return HIT_X;
        if (Blocks(CellKindAt(oldX, py), true))
            return HIT_Y;
        if (Blocks(CellKindAt(px, py), true))
            return HIT_DIAGONAL;
        if (TestObjectCell(slot, newZ, oldZ, px, oldY))
            return HIT_X;
        if (TestObjectCell(slot, newZ, oldZ, oldX, py))
            return HIT_Y;
        if (TestObjectCell(slot, newZ, oldZ, px, py))
            return HIT_X;
    } else {
        if (Blocks(CellKindAt(px, py), false))
            return HIT_SOLID_CELL;
        if (TestObjectCell(slot, oldZ, oldZ, px, oldY))
            return HIT_X;
        if (TestObjectCell(slot, oldZ, oldZ, oldX, py))
            return HIT_Y;
        if (TestObjectCell(slot, oldZ, oldZ, px, py))
            return HIT_DIAGONAL;
        const int v = TestObjectCell(slot, newZ, oldZ, px, py);
        if (v == 1)
            return HIT_FLOOR;
        if (v == 2)
            return HIT_CEILING;
    }

    if (g_playerView) {
        const PlayerView& view = *g_playerView;
        const int feet = view.z - player.eye_height;
        const int half = 24 + o.width;
        const bool near = std::abs(newX - view.x) < half && std::abs(newY - view.y) < half &&
                          HeightsOverlap(newZ, o.tall, feet, player.eye_height);
        if (near && (mover || !IsOwn(o) || o.bounce_count > 0))
            return HIT_PLAYER;
        if (o.type == OBJ_SPELL && o.miss_sound && std::abs(newX - view.x) < 64 && std::abs(newY - view.y) < 64 &&
            newZ >= feet - 64 && newZ <= view.z + 80) {
            if (!IsOwn(o))
                PlayGameSound(o.miss_sound, 0, 0);
            o.miss_sound = 0;
        }
    }

    if (thinsArmed) {
        const int32_t z = static_cast<int32_t>(static_cast<uint32_t>(newZ) << 16);
        for (int i = 0; i < g_collision.thinCount; ++i) {
            const int t = g_collision.thins[i];
            if (IntersectThin(z, oldX << 16, oldY << 16, newX << 16, newY << 16, t, 0)) {
                g_hitThin = t;
                return HIT_THIN;
            }
        }
    }

    if (o.type == OBJ_MOVING || o.type == OBJ_PLAYER)
        return HitsList(o, slot, newX, newY, newZ, g_collision.statics, g_collision.staticCount);
    return HitsList(o, slot, newX, newY, newZ, g_collision.movers, g_collision.moverCount);
}

int FindThinOnLine(int x0, int y0, int x1, int y1, int z) {
    const int32_t fz = static_cast<int32_t>(static_cast<uint32_t>(z) << 16);
    for (int t = 1; t < ThinCount && t < kThinSlots; ++t)
        if (ThinTable[t].active == 1 && !ThinTable[t].open &&
            IntersectThin(fz, x0 << 16, y0 << 16, x1 << 16, y1 << 16, t, 0))
            return 1;
    return 0;
}

int ResolveMoverCollision(int slot, int code, LocalPlayer& player) {
    WorldObject& o = WorldObjectTable[slot];
    const int k = static_cast<int>(o.id % 64) * 8;
    const int f = o.facing;
    int turned;
    if (code >= HIT_OBJECT) {
        const int s = code - HIT_OBJECT;
        const int t = s > 0 && s < kWorldObjectSlots ? WorldObjectTable[s].type : static_cast<int>(OBJ_STATIC);
        if (t == OBJ_SPELL || t == OBJ_MOVING || t == OBJ_DYING)
            return 1;
        turned = f + k + 1792;
    } else if (code == HIT_THIN || code == HIT_DIAGONAL) {
        turned = f + k + 1792;
    } else if (code == HIT_X) {
        turned = f < 1024 ? 3840 - k : f < 2048 ? k + 2304 : f < 3072 ? 1792 - k : k + 256;
    } else if (code == HIT_Y) {
        turned = f < 1024 ? k + 1280 : f < 2048 ? 768 - k : f < 3072 ? k + 3328 : 2816 - k;
    } else if (code == HIT_PLAYER) {
        o.speed = 0;
        if (g_linkState != 2 && !(g_operatorFlags & kOperatorInvisible) && o.team != GetGameValue(4) && g_playerView &&
            !FindThinOnLine(o.x, o.y, g_playerView->x, g_playerView->y, o.z)) {
            if (RollObjectDamage(slot) > 0)
                OnPlayerHit(player, 0, 0);
            const int drain = RollPowerDrain(slot);
            if (drain > 0)
                DrainPlayerPower(player, drain);
            PlaySoundAt(o.x, o.y, o.attack_sound, o.sound_range);
        }
        return 0;
    } else if (code == HIT_CELL) {
        o.z_speed = 0;
        SetZ(o, GetFloorHeight(o.x, o.y, o.z, 0));
        return 0;
    } else {
        return 1;
    }
    o.facing = static_cast<uint16_t>(Facing(turned));
    if (o.smooth_time == 0) {
        o.smooth_time = 2;
        o.smooth_start[0] = o.pos_x;
        o.smooth_start[1] = o.pos_y;
        o.smooth_start[2] = o.pos_z;
        o.smooth_start_facing = static_cast<uint16_t>(f);
    }
    return 1;
}

int TestObjectCell(int slot, int newZ, int oldZ, int x, int y) {
    const WorldObject& o = WorldObjectTable[slot];
    const int split = GetStoreySplit(x, y);
    const int lowerCeiling = GetCeilingHeight(x, y, 0);
    if (newZ >= lowerCeiling) {
        const int upperCeiling = GetCeilingHeight(x, y, split);
        if (newZ < split - o.max_step)
            return oldZ < split ? 2 : 1;
        if (newZ + o.tall > upperCeiling)
            return 2;
        if (o.tall > upperCeiling - split)
            return 1;
        return 0;
    }
    if (oldZ >= split)
        return 1;
    const int floor = GetFloorHeight(x, y, -1000, 0);
    if (newZ < floor - o.max_step)
        return 1;
    if (newZ + o.tall > lowerCeiling)
        return 2;
    if (o.tall > lowerCeiling - floor)
        return 1;
    return 0;
}

int ElementBeats(int e, int w) {
    static const int kBeats[][2] = {{2, 1}, {1, 2}, {4, 3}, {3, 4}, {5, 6}, {1, 7}};
    for (const auto& b : kBeats)
        if (b[0] == e && b[1] == w)
            return 1;
    return 0;
}

void AccelerateObject(int slot, int frame) {
    WorldObject& o = WorldObjectTable[slot];
    if (!o.acceleration)
        return;
    const int32_t before = o.speed;
    int32_t speed = before + Scaled(o.acceleration, frame);
    // A negative limit from the object list would give an empty range.
    const int32_t limit = std::abs(int32_t{o.max_velocity});
    speed = std::clamp<int32_t>(speed, -limit, limit);
    if ((before > 0 && speed <= 0) || (before < 0 && speed >= 0)) {
        speed = 0;
        o.acceleration = 0;
    }
    o.speed = static_cast<int16_t>(speed);
}

void TurnObject(int slot, int frame) {
    WorldObject& o = WorldObjectTable[slot];
    if (o.turn_rate)
        o.facing = static_cast<uint16_t>(Facing(o.facing + Scaled(o.turn_rate, frame)));
}

int BounceObject(int slot, int code) {
    WorldObject& o = WorldObjectTable[slot];
    switch (code) {
    case HIT_X: o.facing = static_cast<uint16_t>(Facing(4096 - o.facing)); break;
    case HIT_Y:
        o.facing = static_cast<uint16_t>(Facing(o.facing < 2048 ? 2048 - o.facing : 6144 - o.facing));
        break;
    case HIT_THIN:
    case HIT_DIAGONAL: o.facing = static_cast<uint16_t>(Facing(o.facing + 2048)); break;
    case HIT_CEILING:
        SetZ(o, GetCeilingHeight(o.x, o.y, o.z) - o.tall - 1);
        o.z_speed = Clamp16(-int64_t{o.z_speed});
        break;
    case HIT_FLOOR: {
        const int floor = GetFloorHeight(o.x, o.y, o.z, 0);
        SetZ(o, floor);
        o.z_speed = o.max_step ? 0 : Clamp16(-int64_t{o.z_speed});
        PrintDebug("Bounce #%d: h=%d z=%d v=%d", slot, floor, o.z, o.z_speed);
        break;
    }
    default: return 0;
    }
    // A bounce above 10 speeds the object up: held at the 16-bit limit so it cannot turn round.
    o.speed = Clamp16(int64_t{o.speed} * o.bounce / 10);
    o.z_speed = Clamp16(int64_t{o.z_speed} * o.bounce / 10);
    ++o.bounce_count;
    return 1;
}
