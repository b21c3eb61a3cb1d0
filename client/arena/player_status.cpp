#include "client/arena/player_status.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

#include "client/arena/game_input.h"
#include "client/arena/grid_queries.h"
#include "client/arena/local_player.h"
#include "client/arena/object_effects.h"
#include "client/arena/object_hits.h"
#include "client/arena/player_effects.h"
#include "client/arena/player_move.h"
#include "client/arena/player_view.h"
#include "client/arena/spell.h"
#include "client/arena/spell_cast.h"
#include "client/arena/world_object.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "client/core/sound.h"
#include "client/core/trig_tables.h"
#include "client/driver/display_helpers.h"
#include "client/net/client_tables.h"
#include "client/net/net_handshake.h"
#include "client/net/net_match.h"
#include "client/net/net_players.h"
#include "client/present/present_services.h"
#include "client/screens/character_state.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/notice_lines.h"

ActionState g_actionState;
int32_t BiasFacing = 0;
int32_t BiasPitch = 0;

namespace {
constexpr int kBiasOverlay = 62;
}  // namespace

void ClearActionState() {
    std::memset(&g_actionState, 0, sizeof g_actionState);
}

void BeginArrivalView(const LocalPlayer& player) {
    if (player.dead || !g_playerView)
        return;
    g_actionState.arrival_timer = kArrivalViewTime;
    g_actionState.arrival_facing = g_playerView->facing;
}

void EndBias() {
    if (g_actionState.bias_timer <= 0)
        return;
    g_actionState.bias_timer = 0;
    g_actionState.biasing = 0;
    if (g_playerView)
        g_playerView->facing = BiasFacing;
    if (g_localPlayer) {
        g_localPlayer->pitch = BiasPitch;
        if (g_localPlayer->own_object)
            RemoveObjectOverlay(g_localPlayer->own_object, kBiasOverlay);
    }
}

void CancelPendingCast() {
    if (g_actionState.cast_result)
        g_actionState.cast_result = -1;
}

int IsBiasing() {
    return g_actionState.biasing;
}

void DoGateCollision(LocalPlayer& player, int gate) {
    const int creator = gate > 0 && gate < kWorldObjectSlots ? WorldObjectTable[gate].creator : 0;
    PrintDebug("DoGateCollision -> obj=%d creator=%d", gate, creator);
    if (player.dead) {
        PushNoticeLine("You attempt to resurrect at the SpiritGate");
        if (g_playerView)
            g_playerView->speed = g_playerView->strafe_speed = g_playerView->z_speed = 0;
        SendPlayerState(&player, 0, 1);
        SendRequestRaise(&player, creator);
        PlayGameSound(29, 0, 0);
    }
    for (int s = 1; s < WorldObjectHighWater; ++s)
        if (WorldObjectTable[s].active && WorldObjectTable[s].type == OBJ_GATE)
            DestroyObject(s);
    g_actionState.gate_pending = 0;
}

int CastOverlayMode = 0;
int32_t TintKind = 0;
int32_t TintTime = 0;
int32_t PowerRemainder = 0;
int32_t NexusPower[kNexusPowerTeams];

namespace {

constexpr int kCastOverlay = 63;
constexpr int kBiasTime = 3000;

int TeamNexusRecords() {
    return 3;  // the first three nexus records are the teams' home nexuses
}

int NodeSum(int node, int team, int depth) {
    if (node < 0 || node >= kMaxEarthnodes || depth > kMaxEarthnodes)
        return 0;
    EarthnodeDef& e = g_level.earthnodes[node];
    if (e.visited || !e.found || e.owner != team)
        return 0;
    e.visited = 1;
    e.connected_team = team;
    int sum = e.bias * e.weight;
    for (int link : e.link)
        sum += NodeSum(link, team, depth + 1);
    return sum;
}

int Distance(int x1, int y1, int x2, int y2) {
    return std::max(std::abs(x1 - x2), std::abs(y1 - y2));
}

PlayerView* View() {
    return g_playerView;
}

// The bias pose ends without the overlay when its time is up.
void StopBias() {
    g_actionState.bias_timer = 0;
    g_actionState.biasing = 0;
}

}  // namespace

int StatModifier(int value, int n, int factor) {
    const int s = std::clamp(GetGameValue(n + 5), 0, 150);
    return static_cast<int>(static_cast<int64_t>(value) * (s - 50) * factor / 5000);
}

int CellCodeUnderPlayer(const LocalPlayer& player) {
    if (!g_playerView)
        return 0;
    const PlayerView& v = *g_playerView;
    if (v.x < 0 || v.x >= kWorldLimit || v.y < 0 || v.y >= kWorldLimit)
        return 0;
    const int feet = v.z - player.eye_height;
    if (v.z > GetStandHeight(v.x, v.y, feet + 38) + 96 || feet >= GetStoreySplit(v.x, v.y))
        return 0;
    return g_level.cellIndex[CellIndex(v.x >> 6, v.y >> 6)];
}

void TickCharacterTimers(const LocalPlayer& player, int ms) {
    const int code = CellCodeUnderPlayer(player);
    const bool onNode = code >= 20 && code <= 49, onNexus = code >= 50 && code <= 69;
    for (int i = 0; i < 20; ++i) {
        uint32_t& timer = g_currentCharacter.readied[i].word;
        if ((i == 0 && !onNode) || (i == 1 && !onNexus))
            timer = kCharacterTimerStart;
        else
            timer = static_cast<uint32_t>(std::max<int64_t>(0, static_cast<int64_t>(timer) - std::max(ms, 0)));
    }
}

namespace {

// A base maximum and 100 a level of the effect, held at the ends of the int range.
int RaisedMaximum(int value, int effect) {
    const int64_t level = g_localPlayer ? GetActiveEffect(*g_localPlayer, effect, 0) : 0;
    return Clamp32(value + 100 * level);
}

}  // namespace

int GetMaxHitPoints() {
    return RaisedMaximum(GetGameValue(108), 26);
}

int GetMaxPower() {
    return RaisedMaximum(GetGameValue(110), 27);
}

int ComputeNexusPower(int team) {
    for (int n = 0; n < TeamNexusRecords(); ++n) {
        const ShrineDef& nexus = g_level.shrines[n];
        if (!nexus.found || nexus.alignment != team || nexus.bias <= 0)
            continue;
        for (EarthnodeDef& e : g_level.earthnodes)
            e.visited = 0;
        int sum = 0;
        for (int link : nexus.link)
            sum += NodeSum(link, team, 0);
        const int power = sum / 100;
        if (team >= 0 && team < kNexusPowerTeams)
            NexusPower[team] = power;
        return power;
    }
    return 0;
}

int NearestNexusDistance(int team, int range) {
    if (!View())
        return 0;
    for (const ShrineDef& s : g_level.shrines) {
        if (!s.found || s.bias <= 0)
            continue;
        const int d = Distance(View()->x, View()->y, s.x, s.y);
        if (d <= range)
            return s.alignment == team ? d : -d;
    }
    return 0;
}

int SelectHudGauge(LocalPlayer& player) {
    const int team = GetGameValue(4);
    const int teamPower = team >= 0 && team < kNexusPowerTeams ? NexusPower[team] : 0;
    if (!View())
        return 0;
    const int x = View()->x, y = View()->y;
    switch (GetGameValue(114)) {
    case 0: {
        int d = 10000;
        for (const EarthnodeDef& e : g_level.earthnodes)
            if (e.found && e.owner == team && e.connected_team == team)
                d = std::min(d, std::max(0, Distance(x, y, e.x, e.y) - 64 * e.radius));
        for (const ShrineDef& s : g_level.shrines)
            if (s.found && s.alignment == team && s.bias > 0)
                d = std::min(d, std::max(0, Distance(x, y, s.x, s.y) - 256));
        int v = d == 0 ? teamPower : d < 1024 ? (1024 - d) * teamPower / 1024 : 0;
        return std::min(v, 50);
    }
    case 1:
        return std::clamp(player.gauge / 100, 0, 50);
    case 2:
        return std::min(teamPower / 2 + 13, 38);
    case 3: {
        // The nearest powered nexus; of two as near, the first.
        const ShrineDef* nearest = nullptr;
        int best = 0;
        for (const ShrineDef& s : g_level.shrines) {
            if (!s.found || s.bias <= 0)
                continue;
            const int d = Distance(x, y, s.x, s.y);
            if (!nearest || d < best) {
                nearest = &s;
                best = d;
            }
        }
        if (!nearest)
            return 0;
        const ShrineDef& s = *nearest;
        const int d = std::max(0, best - 1024);
        const int value = s.alignment == team ? s.bias * (teamPower + 25) / 100 : -s.bias * 25 / 100;
        const int v = d == 0 ? value : d < 1280 ? (1280 - d) * value / 1280 : 0;
        return std::clamp(v, -25, 50);
    }
    default:
        return 0;
    }
}

void RegeneratePlayer(LocalPlayer& player, int ms) {
    const int maxPower = GetMaxPower();
    int power = GetGameValue(109);
    if (power < maxPower && ms > 0) {
        const int gaugeFrame = SelectHudGauge(player);
        // ms x max / (35 - frame / 2) thousandths, kept whole by doubling both sides.
        const int64_t milli = static_cast<int64_t>(ms) * maxPower * 2 / std::max(70 - gaugeFrame, 1) + PowerRemainder;
        int64_t gain = milli / 1000;
        PowerRemainder = static_cast<int32_t>(milli % 1000);
        if (gain < 1)
            gain = 1;
        power = static_cast<int>(std::min<int64_t>(power + gain, maxPower));
        SetGameValue(109, power);
    }
    if (!View())
        return;
    const int maxFatigue = GetGameValue(112);
    int fatigue = GetGameValue(111);
    if (View()->speed < 111) {
        int64_t r = 3000;
        if (player.effects[11].active)
            r = r * 100 / (100 - std::clamp(player.effects[11].level, 0, 99));
        r -= StatModifier(static_cast<int>(r), 9, 10);
        if (GetGameValue(114) == 3) {
            const int near = NearestNexusDistance(GetGameValue(4), 1024);
            if (near > 0)
                r = r * 75 / 100;
            else if (near < 0)
                r = r * 125 / 100;
        }
        if (fatigue < maxFatigue && r > 0)
            fatigue = static_cast<int>(std::min<int64_t>(fatigue + static_cast<int64_t>(maxFatigue) * ms / r, maxFatigue));
    } else if (!player.effects[16].active) {
        fatigue = std::max(0, fatigue - ms / 3);
    }
    SetGameValue(111, fatigue);
}

void UpdateNexusGauge(LocalPlayer& player) {
    if (GetGameValue(114) != 1 || player.dead || !View())
        return;
    const int frame = std::max(FrameDelta, 0);
    const int team = GetGameValue(4);
    const int code = CellCodeUnderPlayer(player);
    bool charging = false;
    if (code >= 20 && code <= 49) {
        const EarthnodeDef& e = g_level.earthnodes[code - 20];
        charging = e.found && e.owner == team && e.connected_team == team;
    } else if (code >= 50 && code <= 69) {
        const ShrineDef& s = g_level.shrines[code - 50];
        charging = s.found && s.alignment == team && s.bias > 0;
    }
    const int teamPower = team >= 0 && team < kNexusPowerTeams ? NexusPower[team] : 0;
    if (charging) {
        player.gauge += frame * teamPower / 1750 + frame / 35;
        if (player.gauge > 5000)
            player.gauge = 7500;
    } else {
        player.gauge -= frame / 60;
    }
    player.gauge = std::clamp(player.gauge, 0, 7500);
}

void OnLocalPlayerDeath(LocalPlayer& player, int killer) {
    const int own = player.own_object;
    const bool heavy = own > 0 && own < kWorldObjectSlots && WorldObjectTable[own].imagenum == 202;
    PlayGameSound(heavy ? 4 : 2, 0, 0);
    ++player.deaths;
    ShowKilledMessage(&player, killer);
    ClearPlayerEffects(player);
    player.dead = 1;
    if (g_playMode == 2 && player.carried_flag) {
        SendDropFlag(&player);
        player.carried_flag = 0;
    }
    if (own > 0 && own < kWorldObjectSlots && WorldObjectTable[own].active) {
        PlaceDeathObject(own);
        WorldObject& o = WorldObjectTable[own];
        o.fade = 255;
        o.gravity = 0;
        o.dead = 1;
        std::memset(o.effects, 0, sizeof o.effects);
    }
    g_actionState.death_timer = 5000;
    EndBias();
    CancelPendingCast();
    EndCastPose();
}

void OnPlayerHit(LocalPlayer& player, int damage, int flag) {
    (void)player;
    (void)damage;
    const int hits = GetGameValue(107), maxHits = GetGameValue(108);
    PlayGameSound(hits < maxHits / 4 ? 53 : hits < maxHits / 2 ? 52 : 3, 0, 0);
    TintKind = 5;
    TintTime = 500;
    if (flag) {
        EndBias();
        CancelPendingCast();
        BreakConcealment();
    }
}

void DrainPlayerPower(LocalPlayer& player, int points) {
    (void)player;
    const int power = GetGameValue(109);
    if (power <= 0)
        return;
    SetGameValue(109, static_cast<int>(std::clamp<int64_t>(power - int64_t{100} * points, 0, INT32_MAX)));
    PlayGameSound(3, 0, 0);
    TintKind = 5;
    TintTime = 500;
}

void RevivePlayer(LocalPlayer& player) {
    player.dead = 0;
    TintKind = 1;
    TintTime = 0;
    player.mode = 0;
    SetWorldFog(0, 0, 0, 0, 0);
    const int own = player.own_object;
    if (own > 0 && own < kWorldObjectSlots) {
        WorldObject& o = WorldObjectTable[own];
        if (o.figure)
            SetFigureTint(o.figure, 100, 0, 0, 255, 255, 255);
        o.dead = 0;
    }
}

void BeginBias() {
    if (!g_localPlayer || !View())
        return;
    if (!g_actionState.biasing) {
        for (int n : {17, 12, 13, 16})
            if (g_localPlayer->effects[n].active)
                RemovePlayerEffect(*g_localPlayer, n, 1);
        g_actionState.bias_timer = kBiasTime;
        g_actionState.biasing = 1;
        BiasFacing = View()->facing;
        BiasPitch = g_localPlayer->pitch;
        View()->speed = 0;
        PlayGameSound(35, 0, 0);
    } else {
        g_actionState.bias_timer = kBiasTime;
    }
    if (g_localPlayer->own_object)
        ShowBiasOverlay(g_localPlayer->own_object, GetGameValue(4));
}

void ShowBiasOverlay(int slot, int team) {
    if (View())
        AttachObjectOverlay(slot, kBiasOverlay, kBiasTime, 64, 3, team + 10, View()->facing + 2048, -45, 1);
}

void BeginCastPose() {
    g_actionState.cast_pose_timer = 2000;
    if (CastOverlayMode && g_localPlayer && g_localPlayer->own_object && View())
        AttachObjectOverlay(g_localPlayer->own_object, kCastOverlay, 2000, 64, 2, GetGameValue(114) + 20,
                            View()->facing + 1024, 0, 0);
}

void EndCastPose() {
    if (g_actionState.cast_pose_timer <= 0)
        return;
    g_actionState.cast_pose_timer = 0;
    if (g_localPlayer && g_localPlayer->own_object)
        RemoveObjectOverlay(g_localPlayer->own_object, kCastOverlay);
}

int IsCasting() {
    return g_actionState.cast_pose_timer;
}

int CanCastNow() {
    if (!g_localPlayer || !View())
        return 0;
    const LocalPlayer& p = *g_localPlayer;
    const int code = CellCodeUnderPlayer(p);
    return !p.dead && GetGameValue(115) != 0 && p.eye_height == p.normal_eye_height && p.cast_delay == 0 &&
           !g_actionState.biasing && View()->speed < 111 && code != 10 && !(code >= 80 && code <= 89);
}

void TickActionTimers(LocalPlayer& player) {
    const int ms = std::max(FrameDelta, 0) / 10;
    ActionState& a = g_actionState;
    if (a.bias_timer > 0) {
        a.bias_timer -= ms;
        a.biasing += ms;
        if (a.bias_timer <= 0) {
            StopBias();
            const int team = GetGameValue(4);
            const int code = CellCodeUnderPlayer(player);
            if (team && !player.dead && player.mode != 6) {
                if (code >= 20 && code <= 49) {
                    const EarthnodeDef& e = g_level.earthnodes[code - 20];
                    if (!(e.owner == team && e.bias >= 100)) {
                        SendBiasEarthblood(&player, code - 20);
                        BeginBias();
                    }
                } else if (code >= 50 && code <= 69) {
                    const ShrineDef& s = g_level.shrines[code - 50];
                    if (!(s.alignment == team && s.bias >= 100)) {
                        SendBiasShrine(&player, code - 50);
                        BeginBias();
                    }
                }
            }
        }
    }
    if (a.death_timer > 0) {
        a.death_timer -= ms;
        if (a.death_timer <= 0) {
            a.death_timer = 0;
            SetWorldFog(150, 640, 150, 150, 150);
            const int own = player.own_object;
            if (own > 0 && own < kWorldObjectSlots && WorldObjectTable[own].figure)
                SetFigureTint(WorldObjectTable[own].figure, 50, 1, 0, 255, 255, 255);
        }
    }
    if (a.arrival_timer > 0)
        a.arrival_timer = a.arrival_timer > ms ? a.arrival_timer - ms : 0;
    if (a.target_flash > 0) {
        a.target_flash -= ms;
        if (a.target_flash <= 0) {
            a.target_flash = 0;
            SetPanelRedrawFlag(0, 1);
        }
    }
    if (a.cast_pose_timer > 0) {
        a.cast_pose_timer -= ms;
        if (a.cast_pose_timer <= 0) {
            a.cast_pose_timer = 1;  // so that EndCastPose sees it running
            EndCastPose();
        }
    }
    if (a.cast_result > 0) {
        a.cast_result -= ms;
        if (a.cast_result <= 0) {
            a.cast_result = 0;
            if (CanCastNow()) {
                CastSpell(player, 1);
                BeginCastPose();
            }
        }
    } else if (a.cast_result < 0) {
        a.cast_result -= ms;
        if (a.cast_result < -999)
            a.cast_result = 0;
    }
}

int32_t TargetLoseTimer = 0;

namespace {

void SetHudTarget(int id) {
    if (TargetPlayerId == id)
        return;
    TargetPlayerId = id;
    SetPanelRedrawFlag(0, 1);
}

// The other player's figure is live, drawn and in an area the player's can see.
bool TargetInSight(int slot, bool* gone) {
    *gone = slot <= 0 || slot >= kWorldObjectSlots || WorldObjectTable[slot].active != 1 ||
            WorldObjectTable[slot].figure == 0;
    if (*gone || !g_playerView)
        return false;
    const WorldObject& o = WorldObjectTable[slot];
    return AreasSeeEachOther(g_playerView->x, g_playerView->y, o.x, o.y) != 0;
}

}  // namespace

int UpdateSpellTarget(int ms) {
    if (!AimsAtHudTarget(GetSpell(GetGameValue(115)))) {
        SetHudTarget(0);
        return 0;
    }
    const int self = GetGameValue(118);
    const int target = TargetPlayerId;
    if (target != 0 && target != self) {
        bool gone = false;
        if (TargetInSight(FindPlayerObjectSlot(target), &gone)) {
            TargetLoseTimer = kTargetLoseTime;
            return 1;
        }
        if (!gone) {
            TargetLoseTimer -= ms;
            if (TargetLoseTimer > 0)
                return 1;
        }
    }
    SetHudTarget(self);
    return 1;
}

void ReadySpellSlot(LocalPlayer& player, int n) {
    player.prepared_slot = 0;
    if (n <= 0 || n > 40) {
        PlayHandSequence(0);
        SetGameValue(115, 0);
        return;
    }
    SetGameValue(115, GetGameValue(25 + n));
    SetGameValue(116, GetGameValue(65 + n));
    const CSpell* spell = GetSpell(GetGameValue(115));
    PlayHandSequence(spell ? spell->overlay : 0);
    player.cast_delay = 2000;
}

void CycleReadiedSpell(LocalPlayer& player, int group) {
    // Five slots a group; 40 slots make groups 0..7.
    if (group < 0 || group > 7)
        return;
    const int first = group * 5;
    int slot = first;
    const int current = GetGameValue(117);
    if (g_actionState.target_flash > 0 && current >= first && current < first + 5) {
        slot = current;
        for (int k = 1; k < 5; ++k) {
            const int next = first + (current - first + k) % 5;
            if (GetGameValue(25 + next)) {
                slot = next;
                break;
            }
        }
    }
    SetGameValue(115, GetGameValue(25 + slot));
    SetGameValue(116, GetGameValue(65 + slot));
    SetGameValue(117, slot);
    player.prepared_slot = 0;
    player.cast_delay = 500;
    g_actionState.target_flash = 1500;
    SetPanelRedrawFlag(0, 1);
}

bool OwnNexusUnderAttack(int team) {
    if (team <= 0)
        return false;
    const uint32_t now = GameClock / 10;
    for (int n = 0; n < kMaxShrines; ++n) {
        const ShrineDef& s = g_level.shrines[n];
        if (s.found && s.alignment == team && ShrineChangeTime[n] && now - ShrineChangeTime[n] < kNexusAlarmMs)
            return true;
    }
    return false;
}

void StatusLineText(const LocalPlayer& player, char* text, int size) {
    text[0] = 0;
    const ActionState& a = g_actionState;
    const ArenaMatch* match = CurrentMatch();
    if (a.cast_result > 0) {
        const int n = std::min(a.cast_result / 1000, 10);
        std::string dots(static_cast<size_t>(n), '.');
        std::snprintf(text, size, "%sCasting%s", dots.c_str(), dots.c_str());
        return;
    }
    if (a.cast_result < 0) {
        std::snprintf(text, size, "Spell Interrupted");
        return;
    }
    if (match && match->state >= 3 && match->state <= 5) {
        static const char* const kWinners[] = {"Dragon", "Phoenix", "Gryphon"};
        std::snprintf(text, size, "%s has Conquered all Nexuses: %d", kWinners[match->state - 3],
                      static_cast<int>(std::max<int64_t>(0, static_cast<int32_t>(match->seconds_left))));
        return;
    }
    if (player.dead) {
        std::snprintf(text, size, "%s", a.gate_pending ? "Dead - Spiritgate" : "Dead");
        return;
    }
    const int team = GetGameValue(4);
    if (OwnNexusUnderAttack(team)) {
        std::snprintf(text, size, "%s Nexus under Attack!", team < 4 ? TeamNames[team] : "");
        return;
    }
    int code = 0;
    if (g_playerView) {
        const PlayerView& v = *g_playerView;
        if (v.x >= 0 && v.x < kWorldLimit && v.y >= 0 && v.y < kWorldLimit &&
            v.z == GetStandHeight(v.x, v.y, v.z - player.eye_height + 38))
            code = g_level.cellIndex[CellIndex(v.x >> 6, v.y >> 6)];
    }
    if (code == 10) {
        std::snprintf(text, size, "In Valhalla");
    } else if (code >= 20 && code <= 49) {
        if (a.bias_timer > 0)
            std::snprintf(text, size, "In EarthNode: Bias Timer is %d", (a.bias_timer - 1) / 1000 + 1);
        else
            std::snprintf(text, size, "In EarthNode");
    } else if (code >= 50 && code <= 69) {
        if (a.bias_timer > 0)
            std::snprintf(text, size, "In Nexus: Bias Timer is %d", a.bias_timer / 1000 + 1);
        else
            std::snprintf(text, size, "In Nexus");
    } else if (code == 120) {
        std::snprintf(text, size, "In Levitator");
    } else if (player.mode == 7) {
        std::snprintf(text, size, "On Ladder");
    } else if (match && match->state == 2) {
        std::snprintf(text, size, "Under One Minute Remaining");
    } else if (match && match->state == 1) {
        std::snprintf(text, size, "Match Complete -- Hit Escape");
    } else if (match && match->player_count < 4) {
        std::snprintf(text, size, "Too Few in Match -- No Points");
    } else if (g_operatorFlags & kOperatorInvisible) {
        std::snprintf(text, size, "Invisible Mode");
    } else if (DebugToggle && GetGameValue(3)) {
        std::snprintf(text, size, "God Mode");
    }
}

void DrawStatusLine(const LocalPlayer& player, int elapsed) {
    char text[64];
    StatusLineText(player, text, sizeof text);
    SetStatusText(text, TeamColorIndex(GetGameValue(4)));
    DrawStatusText();
    DrawNoticeLines(elapsed);
}

void SyncOwnPlayerObject(LocalPlayer& player) {
    const int own = player.own_object;
    if (!g_playerView || own <= 0 || own >= kWorldObjectSlots)
        return;
    const PlayerView& v = *g_playerView;
    WorldObject& o = WorldObjectTable[own];
    o.x = static_cast<uint16_t>(v.x);
    o.y = static_cast<uint16_t>(v.y);
    o.pos_x = v.pos_x;
    o.pos_y = v.pos_y;
    o.z = static_cast<int16_t>(v.z - player.eye_height);
    if (player.turning) {
        o.facing = static_cast<uint16_t>(v.facing);
        return;
    }
    const int d = (v.facing - o.facing) & kAngleMask;
    if (d < 512 || d > 4096 - 512)
        return;
    const bool right = d < 2048;
    int animation = right ? 3 : 4;
    if (IsCasting())
        animation = right ? 32 : 33;
    else if (player.mode == 1)
        animation = right ? 6 : 7;
    PlayObjectFigureAnimation(own, animation);
    o.facing = static_cast<uint16_t>(v.facing);
}

void UpdateOwnPlayerObject(LocalPlayer& player) {
    if (player.own_object)
        SyncOwnPlayerObject(player);
}
