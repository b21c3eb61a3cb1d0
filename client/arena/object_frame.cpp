#include "client/arena/object_frame.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "client/arena/grid_queries.h"
#include "client/arena/local_player.h"
#include "client/arena/monster_think.h"
#include "client/arena/object_effects.h"
#include "client/arena/object_hits.h"
#include "client/arena/object_update.h"
#include "client/arena/player_effects.h"
#include "client/arena/player_status.h"
#include "client/arena/player_view.h"
#include "client/arena/thin.h"
#include "client/arena/world_object.h"
#include "client/core/level_defs.h"
#include "client/core/numeric.h"
#include "client/core/trig_tables.h"
#include "client/present/present_services.h"
#include "common/random.h"

namespace {

constexpr int32_t kEndlessLife = 268435455;
constexpr int kGravity = 300;
constexpr int64_t kPiece = 8 << 16;
constexpr int kSmoothSpan = 300;
constexpr int kTopOfWorld = 768;

bool Live(int slot) {
    return slot > 0 && slot < kWorldObjectSlots && WorldObjectTable[slot].active == 1;
}

int64_t PerFrame(int64_t rate, int frame) {
    return rate * frame / 10000;
}

int Round16(int64_t v) {
    return static_cast<int>((v + 0x8000) >> 16);
}


bool IsMover(const WorldObject& o) {
    return o.type == OBJ_MOVING || o.type == OBJ_PLAYER;
}

// 1 when the walk must end where it is.
int Resolve(LocalPlayer& player, int slot, int code) {
    WorldObject& o = WorldObjectTable[slot];
    switch (o.type) {
    case OBJ_MOVING: return ResolveMoverCollision(slot, code, player);
    case OBJ_PLAYER: o.speed = 0; return 1;
    case OBJ_SPELL: return ResolveObjectCollision(slot, code, player);
    case OBJ_DYING: DestroyObject(slot); return 1;
    default: return 1;
    }
}

// The living, and the newly dead until their death timer runs out, see no dead figures; a ghost
// sees only them.
bool SeenByTheLiving(const LocalPlayer& player) {
    return !player.dead || g_actionState.death_timer > 0;
}

void PlaceAndShow(LocalPlayer& player, int slot, int frame) {
    WorldObject& o = WorldObjectTable[slot];
    if (!o.figure)
        return;
    const bool own = slot == player.own_object;
    int vis;
    if (own) {
        vis = CheckLineOfSight(o.figure, o.x, o.y, o.z, 75, 48, 0);
        if (vis == 1)
            vis = 2;
    } else if (o.type == OBJ_PLAYER || o.type == OBJ_SPELL) {
        vis = CheckLineOfSight(o.figure, o.x, o.y, o.z, o.tall, o.width, 1);
    } else {
        vis = CheckLineOfSight(o.figure, o.x, o.y, o.z, o.tall, 2 * o.width, 0);
    }
    const bool still = !o.speed && !o.z_speed && !o.state_bits && !o.turn_rate;
    bool placed = false;
    if (!still || IsMover(o) || own) {
        const bool smoothing = o.smooth_time > 0;
        const int32_t x = smoothing ? o.smooth_pos[0] : o.pos_x;
        const int32_t y = smoothing ? o.smooth_pos[1] : o.pos_y;
        int32_t z = smoothing ? o.smooth_pos[2] : o.pos_z;
        const int facing = smoothing ? o.smooth_facing : o.facing;
        if (o.type == OBJ_SPELL || o.type == OBJ_DYING) {
            // Wraps as the 32-bit position does; spell heights come from data.
            z = static_cast<int32_t>(static_cast<uint32_t>(z) + (static_cast<uint32_t>(o.tall) << 15));
            PlaceObjectFigure(o.figure, x, y, z, facing, o.tilt, 1, 1, 0);
        } else {
            PlaceObjectFigure(o.figure, x, y, z, facing, o.tilt, 0, 1, GetFloorHeight(o.x, o.y, o.z, 0));
        }
        placed = true;
    }
    const int changed = UpdateObjectFigureAnimation(slot, frame, vis);
    // A figure the death rule hides is hidden every frame, as an unseen one is, and counts as
    // unseen: the frame the rule lets it go it is shown again, though it stands still.
    const bool hiddenByDeath = SeenByTheLiving(player) == (o.dead != 0);
    if (vis != 2 || hiddenByDeath)
        SetFigureFirstPersonVisibility(o.figure, 0);
    else if (placed || changed || vis != o.last_visibility)
        ShowObjectFigure(o.figure);
    o.last_visibility = static_cast<uint16_t>(hiddenByDeath ? 0 : vis);
}

}  // namespace

int ObjectCrossesThin(int slot, int px, int py, int thin) {
    const WorldObject& o = WorldObjectTable[slot];
    const Thin& t = ThinTable[thin];
    if (!(o.z < t.base_z + t.height && t.base_z < o.z + o.tall))
        return 0;
    if (px < std::min<int>(t.min_x, o.x) || px > std::max<int>(t.max_x, o.x) || py < std::min<int>(t.min_y, o.y) ||
        py > std::max<int>(t.max_y, o.y))
        return 0;
    auto across = [&](int x, int y) {
        return (static_cast<int64_t>(x - t.x1) * t.normal_x + static_cast<int64_t>(y - t.y1) * t.normal_y);
    };
    const int64_t from = across(o.x, o.y), to = across(px, py);
    return (from < 0) != (to < 0) || std::llabs(to) < (8LL << 16);
}

void MoveWorldObject(LocalPlayer& player, int slot, int frame) {
    WorldObject& o = WorldObjectTable[slot];
    int64_t side = 0;
    if (o.state_bits & 1) {
        const int sideSpeed = o.pose == 1 ? 73 : 110;
        if (o.state_bits & 16)
            side = -sideSpeed;
        else if (o.state_bits & 32)
            side = sideSpeed;
    }
    const int64_t forward = PerFrame(static_cast<int64_t>(o.speed) << 16, frame);
    side = PerFrame(side << 16, frame);
    if (o.gravity && (o.type == OBJ_SPELL || o.z > GetFloorHeight(o.x, o.y, o.z, 0))) {
        const int64_t loss = std::max<int64_t>(1, PerFrame(kGravity, frame) * o.gravity);
        o.z_speed = static_cast<int16_t>(std::max<int64_t>(o.z_speed - loss, -32768));
    }
    const int64_t up = PerFrame(static_cast<int64_t>(o.z_speed) << 16, frame);
    const int startZ = o.z;

    const int64_t sn = SineTable[o.facing & kAngleMask], cs = CosineTable[o.facing & kAngleMask];
    // Whether any wall thin lies just ahead of where the frame ends.
    int armed = 0;
    {
        const int push = o.width + (IsMover(o) ? 20 : 0);
        const int ex = Round16(o.pos_x + ((-forward * sn + side * cs) >> 16));
        const int ey = Round16(o.pos_y + ((forward * cs + side * sn) >> 16));
        const int px = ex + static_cast<int>((-push * sn) >> 16);
        const int py = ey + static_cast<int>((push * cs) >> 16);
        for (int i = 0; i < g_collision.thinCount && !armed; ++i)
            armed = ObjectCrossesThin(slot, px, py, g_collision.thins[i]);
    }

    const int64_t total = std::llabs(forward);
    int64_t walked = 0;
    do {
        const int64_t step = total ? std::min(kPiece, total - walked) : 0;
        const int64_t f = forward < 0 ? -step : step;
        const int64_t s = total ? side * step / total : side;
        const int64_t v = total ? up * step / total : up;
        const int64_t nx = o.pos_x + ((-f * sn + s * cs) >> 16);
        const int64_t ny = o.pos_y + ((f * cs + s * sn) >> 16);
        const int64_t nz = o.pos_z + v;
        const int ix = Round16(nx), iy = Round16(ny), iz = Round16(nz);
        const int code = MoveObject(player, ix, iy, iz, o.x, o.y, o.z, slot, armed);
        if (code) {
            const int blocked = Resolve(player, slot, code);
            if (o.active != 1 || blocked)
                break;
        }
        if (ix < 0 || iy < 0 || ix >= kWorldLimit || iy >= kWorldLimit || iz > kTopOfWorld) {
            DestroyObject(slot);
            return;
        }
        o.pos_x = static_cast<int32_t>(nx);
        o.pos_y = static_cast<int32_t>(ny);
        o.pos_z = static_cast<int32_t>(nz);
        o.x = static_cast<uint16_t>(ix);
        o.y = static_cast<uint16_t>(iy);
        o.z = static_cast<int16_t>(iz);
        walked += step;
    } while (walked < total);

    if (o.active != 1 || o.type == OBJ_DYING)
        return;
    const int floor = GetFloorHeight(o.x, o.y, o.z, 0);
    if (o.z >= floor)
        return;
    if (o.type == OBJ_SPELL && o.bounce) {
        o.z = static_cast<int16_t>(GetFloorHeight(o.x, o.y, startZ, 0));
    } else {
        o.z = static_cast<int16_t>(floor);
        o.z_speed = 0;
    }
    o.pos_z = static_cast<int32_t>(static_cast<uint32_t>(o.z) << 16);
}

void SmoothObjectMotion(int slot, int frame) {
    WorldObject& o = WorldObjectTable[slot];
    if (o.smooth_time <= 0) {
        o.smooth_time = 0;
        return;
    }
    const int t = std::min<int>(o.smooth_time, kSmoothSpan);
    const int32_t now[3] = {o.pos_x, o.pos_y, o.pos_z};
    for (int i = 0; i < 3; ++i) {
        o.smooth_pos[i] = static_cast<int32_t>((static_cast<int64_t>(o.smooth_start[i]) * t +
                                                static_cast<int64_t>(now[i]) * (kSmoothSpan - t)) /
                                                   kSmoothSpan +
                                               1);
        o.smooth_start[i] = o.smooth_pos[i];
    }
    int turn = ((o.facing - o.smooth_start_facing) & 4095);
    if (turn > 2048)
        turn -= 4096;
    o.smooth_facing = (o.smooth_start_facing + turn * (kSmoothSpan - t) / kSmoothSpan) & 4095;
    o.smooth_start_facing = static_cast<uint16_t>(o.smooth_facing);
    o.smooth_time = static_cast<int16_t>(std::max(0, o.smooth_time - frame / 10));
}

void AdvanceObjectImage(int slot, int frame) {
    WorldObject& o = WorldObjectTable[slot];
    if (o.image_timer_max > 0) {
        int timer = o.image_timer + frame / 10;
        if (timer >= o.image_timer_max) {
            timer %= o.image_timer_max;
            ++o.image_cycles;
        }
        o.image_timer = static_cast<uint16_t>(timer);
    }
    if (o.overlay_figure && o.overlay_timer > 0) {
        o.overlay_timer -= frame / 10;
        if (o.overlay_timer <= 0)
            RemoveObjectOverlay(slot, 0);
    }
    if (o.type == OBJ_DYING && o.image_cycles >= 0)
        KillObject(slot);
}

void TickObjectLifetime(LocalPlayer& player, int slot, int frame) {
    WorldObject& o = WorldObjectTable[slot];
    if (!o.duration_timer)
        return;
    if (o.duration_timer == kEndlessLife)
        o.duration_timer = kEndlessLife - 1;
    else if (o.duration_timer == kEndlessLife - 1)
        o.duration_timer = 0;
    else
        o.duration_timer = Clamp32(static_cast<int64_t>(o.duration_timer) - frame / 10);
    if (o.duration_timer > 1)
        return;
    if (o.rune_type) {
        DestroyObject(slot);
        return;
    }
    if (o.type == OBJ_SPELL && o.effect_radius)
        AreaBurst(slot, 0, player);
    if (o.active != 1)
        return;
    if (GameRand() % 100 < o.death_effect_chance)
        CheckRuneTrip(slot);
    PlayObjectDeathSound(slot);
    if (o.active == 1)
        KillObject(slot);
}

void TickObjectEffects(int slot, int frame) {
    WorldObject& o = WorldObjectTable[slot];
    const int ms = frame / 10;
    for (int k = 0; k < 5; ++k) {
        ObjectEffectSlot& e = o.effects[k];
        if (!e.effect)
            continue;
        const int32_t before = e.remaining;
        e.remaining = Clamp32(static_cast<int64_t>(before) - ms);
        if (e.remaining <= 0) {
            RemoveObjectEffect(slot, e.effect);
            continue;
        }
        if (e.period && before / e.period != e.remaining / e.period)
            SgxCreateFigureOverlay(slot, k, o.facing, 0);
    }
    if (o.overlay_timer > 0)
        return;
    o.overlay_on = 0;
    for (int k = 0; k < 5; ++k) {
        const ObjectEffectSlot& e = o.effects[k];
        if (!e.effect || !e.overlay)
            continue;
        if (o.overlay_figure != e.overlay)
            SgxCreateFigureOverlay(slot, k, o.facing, 0);
        o.overlay_on = 1;
        break;
    }
}

void UpdateObjects(LocalPlayer& player, int frame) {
    BuildCollisionLists();
    for (int slot = 1; slot < WorldObjectHighWater && slot < kWorldObjectSlots; ++slot) {
        WorldObject& o = WorldObjectTable[slot];
        if (o.active != 1)
            continue;
        StartCycleTimerB();
        AccelerateObject(slot, frame);
        if (o.speed || o.z_speed || o.state_bits) {
            MoveWorldObject(player, slot, frame);
            if (!Live(slot)) {
                g_frameCycleSums.b += ElapsedCycleTimerB();
                continue;
            }
        }
        if (IsMover(o))
            SmoothObjectMotion(slot, frame);
        g_frameCycleSums.b += ElapsedCycleTimerB();
        StartCycleTimerC();
        PlaceAndShow(player, slot, frame);
        g_frameCycleSums.c += ElapsedCycleTimerC();
        TurnObject(slot, frame);
        AdvanceObjectImage(slot, frame);
        if (!Live(slot))
            continue;
        TickObjectLifetime(player, slot, frame);
        if (!Live(slot))
            continue;
        if (IsMover(o))
            TickObjectEffects(slot, frame);
        if (o.type == OBJ_MOVING && o.max_action_timer && g_linkState != 2)
            MonsterThink(player, slot, frame);
    }
    RunAllyAlerts();
    const int ms = frame / 10;
    // A generator fires when its timer runs out, with its percent chance.
    auto fires = [ms](Generator& g) {
        if (!g.active)
            return false;
        g.timer = Clamp32(static_cast<int64_t>(g.timer) - ms);
        if (g.timer >= 0)
            return false;
        g.timer = g.reload;
        return GameRand() % 100 < g.chance;
    };
    // Every monster generator rolls before the first effect generator.
    for (int n = 0; n < kMaxGenerators; ++n)
        if (fires(g_level.monsterGens[n]))
            SpawnFromGenerator(n);
    for (int n = 0; n < kMaxGenerators; ++n)
        if (fires(g_level.effectGens[n]))
            SpawnEffectObject(n);
}
