#include "client/arena/player_move.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "client/arena/grid_queries.h"
#include "client/arena/line_tests.h"
#include "client/arena/local_player.h"
#include "client/arena/player_control.h"
#include "client/arena/player_effects.h"
#include "client/arena/player_start.h"
#include "client/arena/player_status.h"
#include "client/arena/player_view.h"
#include "client/arena/thin.h"
#include "client/arena/world_object.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "client/core/trig_tables.h"
#include "client/net/net_players.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/notice_lines.h"

int DebugToggle = 0;
int PendingDoorTrigger = 0;

namespace {

constexpr int kPiece = 8;
constexpr int kProbe = 28;
constexpr int kMaxFrame = 2000;  // 200 ms
constexpr int kSecond = 10000;   // in game clock units
constexpr int kLadderReach = 28;
constexpr int kClimbSpeed = 192;
constexpr int kStepOffSpeed = 165;

int32_t g_keptX = 0, g_keptY = 0;

PlayerView& View() {
    return *g_playerView;
}

int Feet(const LocalPlayer& player) {
    return View().z - player.eye_height;
}

bool OnGrid(int x, int y) {
    return x >= 0 && x < kWorldLimit && y >= 0 && y < kWorldLimit;
}

int CellAt(int x, int y) {
    return CellIndex(x >> 6, y >> 6);
}

// Off the grid everything is solid, and what the cell holds reads 0.
bool SolidForPlayer(int x, int y) {
    if (!OnGrid(x, y))
        return true;
    const int kind = g_level.cellKind[CellAt(x, y)];
    return kind == 1 || kind == 5;
}

int CellPlane(int plane, int x, int y) {
    return OnGrid(x, y) ? g_level.plane[plane][CellAt(x, y)] : 0;
}

// A cell's slowing value (the marker plane's word that is no marker), held to 0..60.
int SlowingAt(int x, int y) {
    return std::clamp(CellPlane(kPlaneMarker, x, y), 0, 60);
}

// The eye may not rise to a cell's ceiling limit (0 none).
int CeilingLimitAt(int x, int y) {
    return CellPlane(kPlaneSpare, x, y);
}

int Frame() {
    return std::max(FrameDelta, 0);
}

int CappedFrame() {
    return std::min(Frame(), kMaxFrame);
}

int Held(int value) {
    return std::clamp(value, 0, kMaxFrame);
}

// Effect levels come from the spell file unbounded: every speed and rate of movement is held to
// what a figure's 16-bit speed holds, and none is below 0. A frame then walks a bounded number
// of pieces.
constexpr int64_t kMaxRate = 32767;

int Rate(int64_t value) {
    return static_cast<int>(std::clamp<int64_t>(value, 0, kMaxRate));
}

// value x factor / 100, the factor never below 0.
int Scale(int value, int64_t factor) {
    return Rate(static_cast<int64_t>(value) * std::max<int64_t>(factor, 0) / 100);
}

// The grid tests shared by a move's probe and the stand test: 0, MOVE_WALL or MOVE_CEILING.
int GridBlocks(const LocalPlayer& player, int x, int y) {
    if (SolidForPlayer(x, y))
        return MOVE_WALL;
    const int feet = Feet(player);
    const int storey = feet + kStepHeight;  // at or above split - 38: the upper storey
    const int floor = GetFloorHeight(x, y, storey, 1);
    if (floor > feet + kStepHeight)
        return MOVE_WALL;
    const int ceiling = GetCeilingHeight(x, y, storey);
    if (ceiling < View().z + 8 || ceiling - floor < player.crawl_eye_height + 10)
        return MOVE_CEILING;
    return MOVE_FREE;
}

int ObjectBlocks(const LocalPlayer& player, int x, int y, bool alongX) {
    const int feet = Feet(player);
    for (int s = 1; s < WorldObjectHighWater; ++s) {
        const WorldObject& o = WorldObjectTable[s];
        // A spirit gate is marked dead so that no spell takes it for a target; it still stands
        // in the way, so that walking into it reaches the gate.
        if (!o.active || s == player.own_object || o.type == OBJ_PLAYER)
            continue;
        const int w = o.width;
        const bool inside = alongX ? std::abs(x - o.x) < w && std::abs(View().y - o.y) < w
                                   : std::abs(y - o.y) < w && std::abs(View().x - o.x) < w;
        if (inside && o.z < View().z + 16 && o.z + o.tall > feet + 4)
            return MOVE_OBJECT + s;
    }
    return MOVE_FREE;
}

void PutOnLadder(LocalPlayer& player, int thin) {
    PlayerView& v = View();
    player.mode = 7;
    player.ladder_thin = thin;
    v.speed = v.target_speed = v.z_speed = 0;
}

// A thin the piece from (x0, y0) to (*x, *y) runs into: a speed cap slows, anything else pushes
// the target back to 16 in front of it. Triggers and ladders answer once a second a thin.
int FindThinLadderOrTrigger(LocalPlayer& player, int32_t x0, int32_t y0, int32_t* x, int32_t* y) {
    PlayerView& v = View();
    const int feet = Feet(player);
    int touched = 0;
    for (int t = 1; t < ThinCount; ++t) {
        Thin& th = ThinTable[t];
        if (!th.active || th.open)
            continue;
        if (v.z + 16 < th.base_z || feet > th.base_z + th.height)
            continue;
        const double tx = static_cast<double>(th.x2) - th.x1, ty = static_cast<double>(th.y2) - th.y1;
        const double len = std::sqrt(tx * tx + ty * ty);
        if (len <= 0)
            continue;
        const double ux = tx / len, uy = ty / len;
        const double ax = x0 / 65536.0 - th.x1, ay = y0 / 65536.0 - th.y1;
        const double bx = *x / 65536.0 - th.x1, by = *y / 65536.0 - th.y1;
        const double c0 = ax * uy - ay * ux, c1 = bx * uy - by * ux;
        const double along = bx * ux + by * uy;
        const bool crosses = (c0 > 0) != (c1 > 0);
        if (!(crosses || std::abs(c1) < 16) || along < -1 || along > len + 1)
            continue;
        touched = 1;
        PrintDebug("Thin Collision -> Thin=%d", t);
        if (th.speed_cap) {
            v.speed = std::min(v.speed, th.speed_cap);
        } else {
            const double side = c0 >= 0 ? 16 : -16;
            const double px = th.x1 + along * ux + side * uy, py = th.y1 + along * uy - side * ux;
            *x = static_cast<int32_t>(std::lround(px * 65536.0));
            *y = static_cast<int32_t>(std::lround(py * 65536.0));
        }
        if (static_cast<uint32_t>(GameClock - static_cast<uint32_t>(th.last_touch)) < kSecond && th.last_touch)
            continue;
        th.last_touch = static_cast<int32_t>(GameClock ? GameClock : 1);
        if (th.kind == THIN_TOUCH && !PendingDoorTrigger) {
            PendingDoorTrigger = th.trigger;
        } else if (th.kind == THIN_LADDER && FindThinAhead(player, kLadderReach) == t) {
            PutOnLadder(player, t);
            PrintDebug("Found Thin Ladder -> Thin=%d", t);
        }
    }
    return touched;
}

// An object in the way: one with a collision velocity slows the player and lets him through;
// a spirit gate is walked into.
bool ObjectLetsThrough(LocalPlayer& player, int slot) {
    WorldObject& o = WorldObjectTable[slot];
    if (GameClock - o.last_seen >= kSecond || !o.last_seen)
        o.last_seen = GameClock ? GameClock : 1;
    if (o.type == OBJ_GATE) {
        DoGateCollision(player, slot);
        return true;
    }
    if (o.collision_velocity) {
        View().speed = std::min(View().speed, o.collision_velocity);
        return true;
    }
    return false;
}

// Accepts the new coordinate when nothing blocks it; the block code otherwise (0 accepted).
int TryMove(LocalPlayer& player, int32_t target, bool alongX) {
    PlayerView& v = View();
    int32_t& fixed = alongX ? v.pos_x : v.pos_y;
    int32_t& whole = alongX ? v.x : v.y;
    const int next = target >> 16;
    const int r = alongX ? TestMoveX(player, next, next - whole) : TestMoveY(player, next, next - whole);
    if (r >= MOVE_OBJECT) {
        if (!ObjectLetsThrough(player, r - MOVE_OBJECT))
            return r;
    } else if (r) {
        return r;
    }
    fixed = target;
    whole = next;
    return 0;
}

int WalkPieces(LocalPlayer& player, int speed, int frame, bool forward) {
    PlayerView& v = View();
    ResetPlayerPosition(1);
    // Whatever set the speed word (the service, an effect), a frame walks a bounded number of pieces.
    speed = static_cast<int>(std::clamp<int64_t>(speed, -kMaxRate, kMaxRate));
    int64_t left = static_cast<int64_t>(speed) * frame * 65536 / 10000;
    const int sign = left < 0 ? -1 : 1;
    left = std::llabs(left);
    int touched = 0;
    while (left > 0 && g_playerView) {
        const int64_t piece = std::min<int64_t>(left, static_cast<int64_t>(kPiece) << 16);
        left -= piece;
        const int64_t d = sign * piece;
        const int64_t s = SineTable[v.facing & kAngleMask], c = CosineTable[v.facing & kAngleMask];
        const int32_t x0 = v.pos_x, y0 = v.pos_y, wx0 = v.x, wy0 = v.y;
        int32_t tx, ty;
        if (forward) {
            tx = static_cast<int32_t>(x0 - ((d * s) >> 16));
            ty = static_cast<int32_t>(y0 + ((d * c) >> 16));
        } else {
            tx = static_cast<int32_t>(x0 + ((d * c) >> 16));
            ty = static_cast<int32_t>(y0 + ((d * s) >> 16));
        }
        const int modeBefore = player.mode;
        touched |= FindThinLadderOrTrigger(player, x0, y0, &tx, &ty);
        if (player.mode == 7 && modeBefore != 7)
            break;
        // The axis that changes more goes second, so the other can slide along a wall.
        const bool xSecond = std::abs(tx - x0) > std::abs(ty - y0);
        int hitX = 0, hitY = 0;
        if (xSecond) {
            hitY = TryMove(player, ty, false);
            hitX = TryMove(player, tx, true);
        } else {
            hitX = TryMove(player, tx, true);
            hitY = TryMove(player, ty, false);
        }
        if (TestStandCell(player, v.x, v.y)) {
            v.pos_x = x0;
            v.pos_y = y0;
            v.x = wx0;
            v.y = wy0;
        }
        const bool wall = (hitX && hitX < MOVE_OBJECT) || (hitY && hitY < MOVE_OBJECT);
        if (wall && player.mode != 7) {
            const int t = FindThinAhead(player, kLadderReach);
            if (t > 0 && ThinTable[t].kind == THIN_LADDER) {
                PrintDebug("Wall Collision Thin Ladder -> Thin=%d", t);
                PutOnLadder(player, t);
                break;
            }
        }
    }
    ResetPlayerPosition(0);
    return touched;
}

int EffectLevel(const LocalPlayer& player, int effect) {
    return GetActiveEffect(player, effect, 0);
}

// Moves value towards 0 by step.
int TowardsZero(int value, int step) {
    if (value > 0)
        return std::max(0, value - step);
    return std::min(0, value + step);
}

int StandHeightHere(const LocalPlayer& player) {
    const PlayerView& v = View();
    return GetStandHeight(v.x, v.y, Feet(player) + kStepHeight);
}

void Jump(LocalPlayer& player, int zSpeed) {
    PlayerView& v = View();
    v.z_speed = zSpeed;
    player.mode = 2;
    if (GameClock - player.last_jump > 7500)
        SendPlayerState(&player, 0, 0);
    player.last_jump = GameClock;
}

}  // namespace



void SetMovementParameters(LocalPlayer& player, const PlayerControl& control) {
    PlayerView& v = View();
    const int code = OnGrid(v.x, v.y) ? g_level.cellIndex[CellAt(v.x, v.y)] : 0;
    if (g_actionState.death_timer > 0) {
        v.max_speed = v.max_turn_speed = v.acceleration = v.turn_acceleration = v.turn_deceleration = 0;
        player.bob_height = 0;
        player.eye_height = player.normal_eye_height;
        v.speed = v.strafe_speed = v.z_speed = 0;
        player.turning = player.moving = 0;
        return;
    }
    if (DebugToggle || player.effects[10].active) {
        const int64_t level = EffectLevel(player, 10);
        v.max_speed = DebugToggle ? 300 : Rate(level);
        v.acceleration = DebugToggle ? 600 : Rate(2 * level);
        player.mode = 3;
    } else if (code == 120 || player.effects[8].active) {
        const int level = EffectLevel(player, 8);
        v.max_speed = level < 1 ? 175 : Rate(level);
        v.acceleration = 250;
        player.mode = 4;
    } else if (player.effects[32].active) {
        v.z_speed = 0;
        v.max_speed = Rate(EffectLevel(player, 32));
        v.acceleration = 250;
        player.mode = 21;
    } else if (player.mode == 7 || player.mode == 2) {
        v.max_speed = 110;
        v.acceleration = 62;
        player.bob_height = 38;
        player.eye_height = player.normal_eye_height;
        if (player.mode == 2) {
            EndBias();
            CancelPendingCast();
        }
    } else {
        const int feet = Feet(player);
        const int storey = feet + kStepHeight;
        const int headroom = GetCeilingHeight(v.x, v.y, storey) - GetFloorHeight(v.x, v.y, storey, 1);
        if (control.crawl || headroom < player.normal_eye_height + 10) {
            v.max_speed = 73;
            v.acceleration = 166;
            player.bob_height = 19;
            player.mode = 1;
            if (player.eye_height != player.crawl_eye_height) {
                v.z -= player.eye_height - player.crawl_eye_height;
                player.eye_height = player.crawl_eye_height;
                RequestPageRedraw();
            }
            EndBias();
            CancelPendingCast();
        } else {
            const bool running = control.forward && control.fast && !control.slide_left && !control.slide_right;
            v.max_speed = running ? 192 + StatModifier(192, 8, 5) : 110;
            // Hit points below 0 slow a runner no more than none left: he never runs backwards.
            const int hits = std::max(GetGameValue(107), 0), maxHits = GetGameValue(108);
            const int quarter = maxHits / 4;
            if (running && !player.dead && maxHits > 0 && hits < quarter) {
                v.max_speed -= v.max_speed / 20;
                v.max_speed -= static_cast<int>(static_cast<int64_t>(v.max_speed) * (quarter - hits) / maxHits);
            }
            v.acceleration = 250;
            player.bob_height = 38;
            player.mode = 0;
            if (player.eye_height != player.normal_eye_height) {
                v.z += player.normal_eye_height - player.eye_height;
                player.eye_height = player.normal_eye_height;
            }
        }
    }
    v.max_turn_speed = kMaxTurnSpeed;
    v.turn_acceleration = kTurnAcceleration;
    v.turn_deceleration = kTurnDeceleration;
    TakePlayerFigure(player);
    if (player.effects[11].active) {
        const int f = 100 - std::clamp(player.effects[11].level, 0, 100);
        v.max_speed = Scale(v.max_speed, f);
        v.acceleration = Scale(v.acceleration, f);
        v.max_turn_speed = Scale(v.max_turn_speed, f);
        v.turn_acceleration = Scale(v.turn_acceleration, f);
    }
    if (player.effects[16].active) {
        const int64_t f = 100 + static_cast<int64_t>(player.effects[16].level);
        v.max_speed = Scale(v.max_speed, f);
        v.max_turn_speed = Scale(v.max_turn_speed, f);
    }
    const int slowing = SlowingAt(v.x, v.y);
    if (slowing && Feet(player) < GetFloorHeight(v.x, v.y, -1000, 1)) {
        const int f = 100 - slowing * 100 / 60;
        v.max_speed = Scale(v.max_speed, f);
        v.acceleration = Scale(v.acceleration, f);
        v.max_turn_speed = Scale(v.max_turn_speed, f);
        v.turn_acceleration = Scale(v.turn_acceleration, f);
    }
    player.turning = player.moving = 0;
}

int AccelerateForward(LocalPlayer& player, const PlayerControl& control) {
    PlayerView& v = View();
    const int frame = CappedFrame();
    const int mode = player.mode;
    auto decelerate = [&](int rate) { return static_cast<int>(static_cast<int64_t>(rate) * frame / 10000); };
    const int slowing = mode == 2 ? decelerate(v.acceleration) / 4 : decelerate(v.acceleration);
    if (control.forward) {
        const int held = Held(control.forward);
        if (mode == 7) {
            if (FindThinAhead(player, 64) != player.ladder_thin) {
                v.speed = v.target_speed = kStepOffSpeed;
                v.z_speed = 55;
                player.mode = 0;
            }
        } else if (mode != 2) {
            const int time = mode == 4 ? frame : held;
            v.speed = std::min(v.speed + static_cast<int>(static_cast<int64_t>(v.acceleration) * time / 10000), v.max_speed);
            v.target_speed = v.max_speed;
            if (mode == 4 && player.effects[8].active)
                RemovePlayerEffect(player, 8, 1);
        }
    } else if (v.speed > 0) {
        v.speed -= slowing;
        v.target_speed = -v.max_speed;
        if (v.speed <= 0)
            v.speed = v.target_speed = 0;
    }
    if (control.backward) {
        const int held = Held(control.backward);
        if (mode == 7) {
            if (FindThinAhead(player, 64) != player.ladder_thin) {
                v.speed = v.target_speed = -kStepOffSpeed;
                v.z_speed = 55;
                player.mode = 0;
            }
        } else if (mode != 2) {
            const int time = mode == 4 ? frame : held;
            const int floor = -(v.max_speed * 3 / 4);
            v.speed = std::max(v.speed - static_cast<int>(static_cast<int64_t>(v.acceleration) * time / 10000), floor);
            v.target_speed = floor;
            if (mode == 4 && player.effects[8].active)
                RemovePlayerEffect(player, 8, 1);
        }
    } else if (v.speed < 0) {
        v.speed += slowing;
        v.target_speed = v.max_speed;
        if (v.speed >= 0)
            v.speed = v.target_speed = 0;
    }
    return v.speed != 0;
}

int AccelerateSideways(LocalPlayer& player, const PlayerControl& control) {
    PlayerView& v = View();
    if (player.mode == 2 || player.mode == 7)
        return v.strafe_speed != 0;
    int limit = 110 + StatModifier(110, 0, 5);
    if (player.mode == 1)
        limit = limit * 2 / 3;
    const int frame = CappedFrame();
    const bool levitating = player.mode == 4;
    auto step = [&](int held) {
        return static_cast<int>(static_cast<int64_t>(v.acceleration) * 2 * (levitating ? frame : Held(held)) / 10000);
    };
    player.strafe_bits = 0;
    if (control.slide_left) {
        v.strafe_speed = std::min(v.strafe_speed + step(control.slide_left), limit);
        player.strafe_bits |= 17;
    } else if (control.slide_right) {
        v.strafe_speed = std::max(v.strafe_speed - step(control.slide_right), -limit);
        player.strafe_bits |= 34;
    } else {
        v.strafe_speed = TowardsZero(v.strafe_speed, step(frame));
    }
    if (levitating && (control.slide_left || control.slide_right) && player.effects[8].active)
        RemovePlayerEffect(player, 8, 1);
    return v.strafe_speed != 0;
}

int CollideWithThins(LocalPlayer& player) {
    return WalkPieces(player, View().speed, CappedFrame(), true);
}

int MoveSideways(LocalPlayer& player) {
    if (player.mode == 2 || player.mode == 7)
        return 0;
    return WalkPieces(player, View().strafe_speed, Frame(), false);
}

int TestMoveX(LocalPlayer& player, int newX, int direction) {
    const int probe = newX + (direction < 0 ? -kProbe : kProbe);
    if (int r = GridBlocks(player, probe, View().y))
        return r;
    return ObjectBlocks(player, probe, View().y, true);
}

int TestMoveY(LocalPlayer& player, int newY, int direction) {
    const int probe = newY + (direction < 0 ? -kProbe : kProbe);
    if (int r = GridBlocks(player, View().x, probe))
        return r;
    return ObjectBlocks(player, View().x, probe, false);
}

int TestStandCell(LocalPlayer& player, int x, int y) {
    return GridBlocks(player, x, y);
}

int ResetPlayerPosition(int keep) {
    if (!g_playerView)
        return 0;
    PlayerView& v = View();
    if (keep) {
        g_keptX = v.pos_x;
        g_keptY = v.pos_y;
        return 0;
    }
    const int eye = v.z;
    const int feet = g_localPlayer ? Feet(*g_localPlayer) : eye;
    for (int t = 1; t < ThinCount; ++t) {
        const Thin& th = ThinTable[t];
        if (!th.active || th.open || th.speed_cap || eye + 16 < th.base_z || feet > th.base_z + th.height)
            continue;
        const double tx = static_cast<double>(th.x2) - th.x1, ty = static_cast<double>(th.y2) - th.y1;
        const double len = std::sqrt(tx * tx + ty * ty);
        if (len <= 0)
            continue;
        const double ux = tx / len, uy = ty / len;
        const double ax = g_keptX / 65536.0 - th.x1, ay = g_keptY / 65536.0 - th.y1;
        const double bx = v.pos_x / 65536.0 - th.x1, by = v.pos_y / 65536.0 - th.y1;
        const double c0 = ax * uy - ay * ux, c1 = bx * uy - by * ux;
        if (!((c0 < 0 && c1 > 0) || (c0 > 0 && c1 < 0)))
            continue;
        const double f = c0 / (c0 - c1);
        const double along = (ax + (bx - ax) * f) * ux + (ay + (by - ay) * f) * uy;
        if (along < -1 || along > len + 1)
            continue;
        PrintDebug("Illegal Thin Collision: %d", t);
        v.pos_x = g_keptX;
        v.pos_y = g_keptY;
        v.x = g_keptX >> 16;
        v.y = g_keptY >> 16;
        PrintDebug("Resetting Player to %d,%d", v.x, v.y);
        return 1;
    }
    g_keptX = v.pos_x;
    g_keptY = v.pos_y;
    return 0;
}

int UpdateFlying(LocalPlayer& player, const PlayerControl& control) {
    PlayerView& v = View();
    const int frame = CappedFrame();
    auto rate = [&](int perSecond, int time) {
        return static_cast<int>(static_cast<int64_t>(perSecond) * time / 10000);
    };
    const int stand = StandHeightHere(player);
    switch (player.mode) {
    case 3:
    case 4: {
        const int acc = player.mode == 3 ? v.acceleration : v.max_speed;
        if (control.jump) {
            PrintDebug("FlyUp: time=%d z_vel=%d acc=%d", control.jump, v.z_speed, acc);
            v.z_speed = std::min(v.z_speed + rate(acc, Held(control.jump)), v.max_speed);
            PrintDebug("FlyUp: new z_vel=%d", v.z_speed);
        } else if (control.crawl) {
            PrintDebug("FlyDn: time=%d z_vel=%d acc=%d", control.crawl, v.z_speed, acc);
            v.z_speed = std::max(v.z_speed - rate(acc, Held(control.crawl)), -v.max_speed);
            PrintDebug("FlyDn: new z_vel=%d", v.z_speed);
        } else {
            v.z_speed = TowardsZero(v.z_speed, rate(v.max_speed, frame));
        }
        break;
    }
    case 7:
        if (control.jump)
            v.z_speed = kClimbSpeed;
        else if (control.crawl)
            v.z_speed = -kClimbSpeed;
        else if (control.forward && player.pitch < -400)
            v.z_speed = kClimbSpeed;
        else if (control.forward && player.pitch >= 401)
            v.z_speed = -kClimbSpeed;
        else
            v.z_speed = TowardsZero(v.z_speed, rate(150, frame));
        break;
    case 21:
        if ((control.jump || control.crawl) && player.effects[32].active)
            RemovePlayerEffect(player, 32, 1);
        break;
    default:
        if (player.mode != 2 && control.jump && v.z == stand) {
            if (player.effects[7].active) {
                const int64_t level = player.effects[7].level;
                RemovePlayerEffect(player, 7, 1);
                Jump(player, Rate(150 + level * 150 / 100));
            } else {
                Jump(player, 150 + StatModifier(150, 9, 10));
            }
        } else if (player.mode != 2 && player.effects[20].active) {
            const int64_t level = player.effects[20].level;
            RemovePlayerEffect(player, 20, 1);
            Jump(player, Rate(150 + level * 150 / 100));
        } else if (v.z > stand) {
            v.z_speed -= rate(kGravity, frame);
        } else if (v.z < stand) {
            v.z_speed = 1;
        }
        break;
    }

    if (v.z_speed) {
        int dz = rate(v.z_speed, frame);
        if (dz == 0)
            dz = v.z_speed > 0 ? 1 : -1;
        v.z += dz;
    }
    if (player.mode == 7 && player.ladder_thin > 0 && player.ladder_thin < kThinSlots) {
        const Thin& ladder = ThinTable[player.ladder_thin];
        const int bottom = ladder.base_z + player.eye_height;
        const int top = ladder.base_z + ladder.height + player.eye_height;
        if (v.z >= top) {
            v.z = top;
            if (control.jump || player.pitch < -400) {
                v.z = top + 8;
                v.z_speed = 75;
                v.speed = kStepOffSpeed;
                player.mode = 0;
                player.ladder_thin = 0;
            }
        } else if (v.z <= bottom) {
            v.z = bottom;
            if (control.crawl || player.pitch > 400) {
                v.z_speed = 75;
                v.speed = kStepOffSpeed;
                player.mode = 2;
                player.ladder_thin = 0;
            }
        }
    }
    const int limit = CeilingLimitAt(v.x, v.y);
    if (limit && v.z > limit - 1) {
        v.z = limit - 1;
        v.z_speed = std::min(v.z_speed, 0);
    }
    const int standNow = StandHeightHere(player);
    if (player.mode != 7 && v.z <= standNow && v.z_speed <= 1) {
        v.z_speed = 0;
        v.z = standNow;
        if (player.mode == 2)
            player.mode = 0;
    }
    const int ceiling = GetCeilingHeight(v.x, v.y, Feet(player) + kStepHeight);
    if (v.z > ceiling - 9) {
        v.z = ceiling - 9;
        v.z_speed = 0;
    }
    return v.z_speed != 0;
}

int UpdateTurnSpeed(LocalPlayer& player, const PlayerControl& control) {
    PlayerView& v = View();
    const int frame = CappedFrame();
    bool left = control.turn_left != 0, right = control.turn_right != 0;
    if (control.yaw >= 0) {
        const int heading = player.mode >= 0 && g_actionState.bias_timer > 0 ? BiasFacing : v.facing;
        const int d = (control.yaw - heading) & kAngleMask;
        if (d != 0) {
            right = d < 2048;
            left = !right;
        }
    }
    const int step = static_cast<int>(static_cast<int64_t>(v.turn_acceleration) * frame / 10000);
    if (right && !left) {
        v.turn_speed = std::min(v.turn_speed + step, v.max_turn_speed);
        player.turning = 1;
    } else if (left && !right) {
        v.turn_speed = std::max(v.turn_speed - step, -v.max_turn_speed);
        player.turning = 1;
    } else {
        v.turn_speed = TowardsZero(v.turn_speed, static_cast<int>(static_cast<int64_t>(v.turn_deceleration) * frame / 10000));
    }
    return v.turn_speed != 0;
}

int ApplyTurn(LocalPlayer& player, const PlayerControl& control) {
    (void)player;
    PlayerView& v = View();
    const bool biasing = g_actionState.bias_timer > 0;
    int32_t& heading = biasing ? BiasFacing : v.facing;
    const int before = heading;
    heading = (heading + static_cast<int>(static_cast<int64_t>(v.turn_speed) * CappedFrame() / 10000)) & kAngleMask;
    if (control.yaw >= 0 && control.yaw != heading)
        heading = control.yaw & kAngleMask;
    return heading != before;
}

void UpdateLookPitch(LocalPlayer& player, const PlayerControl& control) {
    if (control.pitch >= 0) {
        player.pitch = control.pitch - 900;
        return;
    }
    if (control.look_up)
        player.pitch = std::max(player.pitch - 30 * Held(control.look_up) / 500, 10 * player.min_pitch);
    if (control.look_down)
        player.pitch = std::min(player.pitch + 30 * Held(control.look_down) / 500, 10 * player.max_pitch);
    if (control.look_centre)
        player.pitch = 0;
}



void RunPlayerMovement(LocalPlayer& player, const PlayerControl& control) {
    if (!g_playerView)
        return;
    SetMovementParameters(player, control);
    if (AccelerateForward(player, control)) {
        player.moving = 1;
        CollideWithThins(player);
        EndBias();
        CancelPendingCast();
    }
    if (AccelerateSideways(player, control)) {
        player.moving = 1;
        MoveSideways(player);
        EndBias();
        CancelPendingCast();
    }
    if (UpdateFlying(player, control)) {
        EndBias();
        CancelPendingCast();
    }
    if (UpdateTurnSpeed(player, control) && ApplyTurn(player, control))
        EndBias();
    UpdateLookPitch(player, control);
}
