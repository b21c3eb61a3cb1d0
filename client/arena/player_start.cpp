#include "client/arena/player_start.h"

#include <algorithm>

#include "client/arena/grid_queries.h"
#include "client/arena/local_player.h"
#include "client/arena/monster.h"
#include "client/arena/player_view.h"
#include "client/arena/world_object.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "client/core/numeric.h"
#include "client/present/present_services.h"
#include "client/screens/character_rules.h"
#include "client/screens/character_state.h"
#include "client/screens/fonts.h"
#include "client/screens/notice_lines.h"
#include "common/random.h"

namespace {

constexpr int kCellSize = 64;
constexpr int kLowestFloor = -1000;

// A cell number from the level's world.dat, held inside the grid.
int Cell(int n) { return std::clamp(n, 0, kGridSide - 1); }

int Anywhere(int cell) { return Cell(cell) * kCellSize + GameRand() % kCellSize; }
int Centre(int cell) { return Cell(cell) * kCellSize + kCellSize / 2; }

}  // namespace

void PlacePlayerAtStart(LocalPlayer& player, int team, int mode) {
    (void)player;
    if (!g_playerView)
        return;
    PlayerView& v = *g_playerView;
    const StartPoint& s = g_level.starts[team >= 0 && team < kTeams ? team : 0];
    int x = v.x, y = v.y, facing = v.facing;
    const bool online = g_playMode == 2;
    // Online the player lands anywhere in the cell (x drawn before y), offline at its centre.
    auto inCell = [&](int cx, int cy) {
        x = online ? Anywhere(cx) : Centre(cx);
        y = online ? Anywhere(cy) : Centre(cy);
    };
    if (mode == 0) {
        inCell(s.x, s.y);
        facing = s.angle;
    } else if (mode == 1) {
        inCell(s.raise_x[0], s.raise_y[0]);
        facing = s.raise_a[0];
    } else if (mode == 2 && online) {
        const int k = GameRand() % kRaisePoints;
        x = Centre(s.raise_x[k]);
        y = Centre(s.raise_y[k]);
    } else if (mode == 2) {
        int used = 0;
        for (const TransportDef& t : g_level.transports)
            used += t.used != 0;
        if (used == 0)
            return;
        int k = GameRand() % used;
        for (const TransportDef& t : g_level.transports) {
            if (!t.used || k-- > 0)
                continue;
            x = Centre(t.startx);
            y = Centre(t.starty);
            break;
        }
    } else {
        return;
    }
    v.x = x;
    v.y = y;
    v.facing = facing & 4095;
    v.z = GetStandHeight(x, y, kLowestFloor);
    v.unused = v.z;
    v.pos_x = x << 16;
    v.pos_y = y << 16;
}

int CreateOwnPlayerObject(LocalPlayer& player, int kind) {
    player.own_object = 0;
    const int slot = AllocObjectSlot(OBJ_MOVING);
    if (slot == 0 || !g_playerView)
        return 0;
    const PlayerView& v = *g_playerView;
    WorldObject& o = WorldObjectTable[slot];
    o.id = 0;
    CreateMonster(slot, kind);
    // It shows where the player is and never thinks or moves by itself; kind 0 keeps it out of
    // the monster counts that generators spawn against.
    o.kind = 0;
    o.fire_chance = o.follow_chance = o.action_timer = o.max_action_timer = 0;
    o.demeanor = 1;
    o.speed = 0;
    o.acceleration = 0;
    o.width = 0;
    o.x = static_cast<uint16_t>(v.x);
    o.y = static_cast<uint16_t>(v.y);
    o.pos_x = v.pos_x;
    o.pos_y = v.pos_y;
    o.z = static_cast<int16_t>(v.z - player.eye_height);
    // The monster's height came from wherever the slot stood before; the figure is placed by
    // the 16.16 height.
    o.pos_z = static_cast<int32_t>(static_cast<uint32_t>(o.z) << 16);
    o.facing = static_cast<uint16_t>(v.facing);
    o.imagenum = static_cast<uint16_t>(player.figure_imagenum);
    o.body_variant = static_cast<uint16_t>(player.body_variant);
    o.head_variant = static_cast<uint16_t>(player.head_variant);
    const int team = GetGameValue(4);
    o.team = static_cast<int16_t>(team);
    ActivateObject(slot);
    o.name_label = static_cast<uint16_t>(AllocNameTag(SwapOddNibblesCopy(g_currentCharacter.name), TeamColorIndex(team)));
    if (o.figure && o.name_label)
        o.billboard = static_cast<int16_t>(CreateFigureBillboard(o.figure));
    player.own_object = slot;
    return slot;
}

void TakePlayerFigure(const LocalPlayer& player) {
    const int slot = player.own_object;
    if (slot <= 0 || slot >= kWorldObjectSlots || !WorldObjectTable[slot].active)
        return;
    WorldObject& o = WorldObjectTable[slot];
    // Compared as the figure would show them, so a choice outside the rule is not taken anew
    // every frame.
    int model = player.figure_imagenum, body = player.body_variant, head = player.head_variant;
    ClampPlayerFigure(model, body, head);
    if (o.imagenum == model && o.body_variant == body && o.head_variant == head)
        return;
    const bool newModel = o.imagenum != model;
    o.imagenum = static_cast<uint16_t>(player.figure_imagenum);
    o.body_variant = static_cast<uint16_t>(player.body_variant);
    o.head_variant = static_cast<uint16_t>(player.head_variant);
    ClampPlayerFigure(slot);
    RefreshObjectFigure(slot, newModel);
}
