#include "client/arena/monster_think.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "client/arena/ambient_sound.h"
#include "client/arena/local_player.h"
#include "client/arena/monster.h"
#include "client/arena/player_view.h"
#include "client/arena/spell.h"
#include "client/arena/world_object.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "client/screens/chat_buffer.h"
#include "common/random.h"

namespace {

// Monsters do not cast while standing on cells of this code.
constexpr int kNoCastCell = 10;

int Distance(int x1, int y1, int x2, int y2) {
    return std::max(std::abs(x1 - x2), std::abs(y1 - y2));
}

bool PlayerInReach() {
    return g_playerView && g_localPlayer && !g_localPlayer->dead && !(g_operatorFlags & kOperatorInvisible);
}

bool IsOwnObject(int slot) {
    return g_localPlayer && g_localPlayer->own_object == slot;
}

bool IsLiveMonster(int slot) {
    return slot > 0 && slot < kWorldObjectSlots && WorldObjectTable[slot].active == 1 &&
           WorldObjectTable[slot].type == OBJ_MOVING;
}

// Where the target stands; false when it cannot be reached (a lost object target is cleared).
bool TargetPosition(WorldObject& o, int* x, int* y) {
    if (o.target == kTargetPlayer) {
        if (!PlayerInReach())
            return false;
        *x = g_playerView->x;
        *y = g_playerView->y;
        return true;
    }
    if (!IsLiveMonster(o.target)) {
        o.target = 0;
        return false;
    }
    *x = WorldObjectTable[o.target].x;
    *y = WorldObjectTable[o.target].y;
    return true;
}

void Rolls(int slot) {
    WorldObject& o = WorldObjectTable[slot];
    if (GameRand() % 100 < o.fire_chance)
        Attack(slot);
    else if (GameRand() % 100 < o.follow_chance)
        Follow(slot);
}

// Keeps or drops the target as the demeanor says, then attacks or follows it.
void Target(int slot) {
    WorldObject& o = WorldObjectTable[slot];
    switch (o.demeanor) {
    case DEMEANOR_PASSIVE: o.target = 0; return;
    case DEMEANOR_AGGRESSIVE:
        if (!o.target) {
            const int found = FindNearestEnemy(slot);
            if (found) {
                o.target = static_cast<uint16_t>(found);
                Rolls(slot);
            }
            return;
        }
        [[fallthrough]];
    case DEMEANOR_REACTIVE:
        if (!o.target)
            return;
        if (!CheckTarget(slot))
            o.target = 0;
        else
            Rolls(slot);
        return;
    default: return;
    }
}

void HeadForWaypoint(int slot, bool patrol) {
    WorldObject& o = WorldObjectTable[slot];
    if (o.target)
        return;
    if (!o.waypoint_x || !o.waypoint_y) {
        o.speed = 0;
        return;
    }
    if (std::abs(o.x - o.waypoint_x) < 20 && std::abs(o.y - o.waypoint_y) < 20) {
        o.speed = 0;
        if (patrol && o.waypoint2_x && o.waypoint2_y) {
            std::swap(o.waypoint_x, o.waypoint2_x);
            std::swap(o.waypoint_y, o.waypoint2_y);
        }
        return;
    }
    FaceTowards(slot, o.waypoint_x, o.waypoint_y);
    o.speed = o.max_velocity;
}

void HuntPlayer(int slot) {
    WorldObject& o = WorldObjectTable[slot];
    o.target = kTargetPlayer;
    if (CheckTarget(slot))
        Follow(slot);
    else
        o.target = 0;
}

void Hunt(int slot) {
    WorldObject& o = WorldObjectTable[slot];
    o.speed = o.max_velocity;
    const bool objectTarget = o.target && o.target != kTargetPlayer;
    if (o.demeanor == DEMEANOR_PASSIVE) {
        HuntPlayer(slot);
    } else if (o.demeanor == DEMEANOR_REACTIVE) {
        if (!objectTarget)
            HuntPlayer(slot);
        else if (!CheckTarget(slot))
            o.target = 0;
        else
            Rolls(slot);
    } else if (o.demeanor == DEMEANOR_AGGRESSIVE) {
        if (objectTarget) {
            if (!CheckTarget(slot))
                o.target = 0;
            else
                Rolls(slot);
        } else {
            const int found = FindNearestEnemy(slot);
            if (found) {
                o.target = static_cast<uint16_t>(found);
                Rolls(slot);
            } else {
                HuntPlayer(slot);
            }
        }
    }
    if (o.target == kTargetPlayer && g_playerView && std::abs(o.x - g_playerView->x) < 40 &&
        std::abs(o.y - g_playerView->y) < 40)
        o.speed = 0;
}

}  // namespace

int SpawnFromGenerator(int n) {
    if (n < 0 || n >= kMaxGenerators || g_linkState == 2)
        return 0;
    Generator& g = g_level.monsterGens[n];
    if (g.kind <= 0 || g.kind >= kMonsterKinds)
        return 0;
    if (LiveMonsterCount[g.kind] >= g.maximum)
        return 0;
    if (g.single && g.object > 0 && g.object < kWorldObjectSlots && WorldObjectTable[g.object].active == 1)
        return g.object;
    const int slot = AllocObjectAt(OBJ_MOVING, g.x, g.y);
    if (!slot)
        return 0;
    WorldObject& o = WorldObjectTable[slot];
    o.id = static_cast<uint32_t>(NewMonsterId());
    CreateMonster(slot, g.kind);
    if (!ActivateObject(slot))
        return 0;
    g.object = slot;
    PrintDebug("Mongen #%d -> Mon#%d (%d) at %d,%d. Tot=%d Max=%d Col=%d.", n, slot, static_cast<int>(o.id), g.x,
               g.y, LiveMonsterCount[g.kind], g.maximum, o.team);
    return slot;
}

namespace {

// The clone triggers' monsters, by clone number: whether each is out and which slot it took.
constexpr int kClones = 7;
struct Clone {
    int live, slot;
} g_clones[kClones];

}  // namespace

int IsCloneLive(int clone) {
    if (clone < 0 || clone >= kClones || !g_clones[clone].live)
        return 0;
    const int s = g_clones[clone].slot;
    const WorldObject& o = WorldObjectTable[s];
    // A clone that died or whose slot went to something else is out no longer.
    if (s > 0 && s < kWorldObjectSlots && o.active == 1 && o.type == OBJ_MOVING && o.generator == clone)
        return 1;
    g_clones[clone].live = 0;
    return 0;
}

int SpawnClone(int generator) {
    if (generator < 0 || generator >= kClones || IsCloneLive(generator))
        return -1;
    const int slot = SpawnFromGenerator(generator);
    if (slot <= 0) {
        g_clones[generator].live = 0;
        return -1;
    }
    WorldObjectTable[slot].generator = static_cast<uint16_t>(generator);
    g_clones[generator] = {1, slot};
    return generator;
}

void ForgetClones() {
    for (Clone& c : g_clones)
        c = {};
}

int CheckTarget(int slot) {
    const WorldObject& o = WorldObjectTable[slot];
    const int reach = 2 * o.trigger_range;
    if (o.target == kTargetPlayer)
        return PlayerInReach() && Distance(o.x, o.y, g_playerView->x, g_playerView->y) < reach ? -1 : 0;
    if (!IsLiveMonster(o.target) || IsOwnObject(o.target))
        return 0;
    const WorldObject& t = WorldObjectTable[o.target];
    return Distance(o.x, o.y, t.x, t.y) < reach ? o.target : 0;
}

int FindNearestEnemy(int slot) {
    const WorldObject& o = WorldObjectTable[slot];
    int best = 10000, found = 0;
    if (o.team != GetGameValue(4) && PlayerInReach()) {
        const int d = Distance(o.x, o.y, g_playerView->x, g_playerView->y);
        if (d < o.trigger_range) {
            best = d;
            found = kTargetPlayer;
        }
    }
    for (int s = 1; s < WorldObjectHighWater && s < kWorldObjectSlots; ++s) {
        const WorldObject& t = WorldObjectTable[s];
        if (s == slot || !IsLiveMonster(s) || t.team == o.team || IsOwnObject(s))
            continue;
        const int d = Distance(o.x, o.y, t.x, t.y);
        if (d < o.trigger_range && d < best) {
            best = d;
            found = s;
        }
    }
    return found;
}

int MonsterCastSpell(int slot) {
    if (slot <= 0 || slot >= kWorldObjectSlots)
        return 0;
    CSpell* spell = GetSpell(WorldObjectTable[slot].spell_num);
    if (!spell)
        return 0;
    spell->ObjectCast(slot, 0);
    return 1;
}

void Attack(int slot) {
    WorldObject& o = WorldObjectTable[slot];
    int tx, ty;
    if (!TargetPosition(o, &tx, &ty))
        return;
    FaceTowards(slot, tx, ty);
    o.speed = static_cast<int16_t>(o.max_velocity / 2);
    if (o.x < kWorldLimit && o.y < kWorldLimit && g_level.cellIndex[CellIndex(o.x >> 6, o.y >> 6)] == kNoCastCell)
        return;
    MonsterCastSpell(slot);
    PlaySoundAt(o.x, o.y, o.attack_sound, o.sound_range);
}

void Follow(int slot) {
    WorldObject& o = WorldObjectTable[slot];
    int tx, ty;
    if (!TargetPosition(o, &tx, &ty))
        return;
    FaceTowards(slot, tx, ty);
    o.speed = o.max_velocity;
}

void FaceTowards(int slot, int tx, int ty) {
    WorldObject& o = WorldObjectTable[slot];
    const double degrees = std::atan2(static_cast<double>(o.x - tx), static_cast<double>(ty - o.y)) * 57.29582790879778;
    int facing = static_cast<int>(degrees * 11.377777777777778);
    if (facing < 0)
        facing += 4096;
    o.facing = static_cast<uint16_t>(facing & 4095);
}

namespace {

struct AllyAlert {
    uint32_t order;  // 0: none this frame
    int16_t team;
    uint16_t target;
    int32_t x, y, reach;
};
AllyAlert g_alerts[kWorldObjectSlots];  // by the struck monster's slot: its newest alert
int g_alertSlots[kWorldObjectSlots];
int g_alertCount = 0;
uint32_t g_alertOrder = 0;

}  // namespace

void AlertAllies(int slot) {
    if (slot <= 0 || slot >= kWorldObjectSlots)
        return;
    const WorldObject& o = WorldObjectTable[slot];
    if (!o.target || !o.team)
        return;
    AllyAlert& a = g_alerts[slot];
    if (!a.order)
        g_alertSlots[g_alertCount++] = slot;
    a = AllyAlert{++g_alertOrder, o.team, o.target, o.x, o.y, 2 * o.trigger_range};
}

void RunAllyAlerts() {
    if (!g_alertCount)
        return;
    // Newest first: an ally takes the first that reaches it.
    std::sort(g_alertSlots, g_alertSlots + g_alertCount,
              [](int a, int b) { return g_alerts[a].order > g_alerts[b].order; });
    for (int s = 1; s < WorldObjectHighWater && s < kWorldObjectSlots; ++s) {
        WorldObject& ally = WorldObjectTable[s];
        if (!IsLiveMonster(s) || (ally.demeanor != DEMEANOR_REACTIVE && ally.demeanor != DEMEANOR_AGGRESSIVE))
            continue;
        const uint32_t own = g_alerts[s].order;
        for (int i = 0; i < g_alertCount; ++i) {
            const int from = g_alertSlots[i];
            const AllyAlert& a = g_alerts[from];
            if (a.order <= own)
                break;
            if (from == s || a.team != ally.team)
                continue;
            if (std::abs(ally.x - a.x) < a.reach && std::abs(ally.y - a.y) < a.reach) {
                ally.target = a.target;
                break;
            }
        }
    }
    ForgetAllyAlerts();
}

void ForgetAllyAlerts() {
    for (int i = 0; i < g_alertCount; ++i)
        g_alerts[g_alertSlots[i]].order = 0;
    g_alertCount = 0;
    g_alertOrder = 0;
}

void MonsterThink(LocalPlayer& player, int slot, int frame) {
    (void)player;
    WorldObject& o = WorldObjectTable[slot];
    if (!o.max_action_timer)
        return;
    o.action_timer = static_cast<int16_t>(o.action_timer - frame / 10);
    if (o.action_timer < 1) {
        o.action_timer = o.max_action_timer;
        switch (o.command) {
        case CMD_STAND: o.speed = 0; break;
        case CMD_GUARD:
        case CMD_GO:
            Target(slot);
            HeadForWaypoint(slot, false);
            break;
        case CMD_PATROL:
            Target(slot);
            HeadForWaypoint(slot, true);
            break;
        case CMD_ROAM:
            o.speed = o.max_velocity;
            Target(slot);
            break;
        case CMD_HUNT: Hunt(slot); break;
        default: break;
        }
    }
    if (o.target && !CheckTarget(slot))
        o.target = 0;
}
