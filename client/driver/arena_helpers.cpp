#include "client/driver/arena_helpers.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "client/arena/local_player.h"
#include "client/arena/monster_think.h"
#include "client/arena/thin.h"
#include "client/arena/trigger.h"
#include "client/arena/world_effects.h"
#include "client/arena/world_object.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "client/level/level_textures.h"
#include "client/net/client_tables.h"
#include "client/present/present_services.h"

namespace {

int32_t ToInt32(int64_t v) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

}  // namespace

void ResetObjectGlow() {
    for (int slot = 1; slot < WorldObjectHighWater && slot < kWorldObjectSlots; ++slot) {
        WorldObject& o = WorldObjectTable[slot];
        if (o.active == 1 && o.light_glow)
            o.glow_phase = 0;
    }
}

void ChooseTeam(int arena) {
    const bool teamArena = arena >= 0 && arena < kArenaTableSize && ArenaTable[arena].arena_type != 0;
    if (GetGameValue(120) % 2 != 0 || !teamArena) {
        SetGameValue(4, 0);
        return;
    }
    const ArenaMatch& m = ArenaTable[arena].match;
    if (m.forced_team != 0) {
        SetGameValue(4, m.forced_team);
        return;
    }
    if (GetGameValue(4) != 0)
        return;
    for (int count = 0; count < 10; ++count)
        for (int team = 1; team <= 3; ++team)
            if ((m.open_teams & (1 << (team - 1))) && m.team_counts[team] == count) {
                SetGameValue(4, team);
                return;
            }
    SetGameValue(4, 1);
}

void SettleMatchPoints() {
    const int64_t a = GetGameValue(106);
    int64_t b = GetGameValue(132);
    const int64_t c = GetGameValue(133);
    if (b > a) {
        b = a;
        SetGameValue(132, static_cast<int>(a));
    }
    int64_t total = std::max<int64_t>(c, 0) + b + a;
    const int64_t cap = (int64_t{GetGameValue(0)} + 1) * 1000;
    if (total > cap) {
        const int64_t newA = cap * a / total;
        const int64_t newB = cap * b / total;
        SetGameValue(106, ToInt32(newA));
        SetGameValue(132, ToInt32(newB));
        SetGameValue(133, ToInt32(cap - newA - newB));
        total = cap;
    }
    SetGameValue(1, ToInt32(GetGameValue(1) + total));
}

void ResetMatchScores(LocalPlayer& player) {
    player.deaths = player.kills = player.raises = player.biases = 0;
    for (int n : {105, 106, 131, 132, 133})
        SetGameValue(n, 0);
    for (int n = 121; n <= 130; ++n)
        SetGameValue(n, 0);
}

int DamageTintStrength(int tintMs) {
    const int64_t most = GetGameValue(108);
    const int64_t lost = most <= 0 ? 50 : (most - GetGameValue(107)) * 50 / most;
    return static_cast<int>(std::clamp<int64_t>((lost + 35) * tintMs / 500, 0, 100));
}

int TeamShrineLost() {
    const int team = GetGameValue(4);
    for (const ShrineDef& s : g_level.shrines)
        if (s.found && s.alignment == team)
            return s.power == 0 ? 1 : 0;
    return 0;
}

void FreeLevel() {
    ClearWorldObjects();
    ClearThins();
    FreeTriggers();
    ClearWorldEffects();
    ForgetClones();
    ClearLevelDefs();
    ClearTextureTable();
    ResetHudAndFigures();
}
