#include "client/net/net_match.h"

#include <algorithm>
#include <cstring>

#include "client/arena/game_input.h"
#include "client/arena/grid_queries.h"
#include "client/arena/local_player.h"
#include "client/arena/player_start.h"
#include "client/arena/player_status.h"
#include "client/arena/player_view.h"
#include "client/arena/world_object.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/screen_state.h"
#include "client/core/sound.h"
#include "client/net/client_tables.h"
#include "client/net/net_bodies.h"
#include "client/net/net_catalogue.h"
#include "client/net/net_dispatch.h"
#include "client/net/net_players.h"
#include "client/net/net_rings.h"
#include "client/net/net_spells.h"
#include "client/present/present_services.h"
#include "client/screens/notice_lines.h"
#include "common/random.h"
#include "common/text.h"

uint32_t EarthnodeBiasTime[kMaxEarthnodes] = {};
uint32_t ShrineChangeTime[kMaxShrines] = {};
int32_t GodModeFlag = 0;

namespace {

constexpr int kPlayerPanel = 11;
constexpr int kOperatorColor = 222;
constexpr int kEarthnodeRaiser = 65534;
constexpr int kNoRaiser = 65535;

bool Connected() { return g_linkState == 2; }
int OwnId() { return GetGameValue(118) & 0xFFFF; }
int OwnTeam() { return GetGameValue(4); }
uint32_t NowMs() { return GameClock / 10; }

int Clamp100(int v) { return std::clamp(v, 0, 100); }

void AddBiases(LocalPlayer* player, int n) {
    if (player)
        player->biases += n;
}

// A biaser of another player keeps the bias overlay on its figure while it biases.
void RenewBiasOverlay(int biaser, int team) {
    const int figure = KnownPlayerFigure(biaser);
    if (figure && WorldObjectTable[figure].biasing)
        ShowBiasOverlay(figure, team);
}

bool OperatorInArena() { return GetGameValue(3) >= 3 && g_screenState == 1; }

void Console(const char* format, const char* a = "") {
    char line[96];
    FormatText(line, sizeof line, format, a);
    NetSay(kOperatorColor, "%s", line);
}

}  // namespace

int ObjectKindFactor(int figure) { return figure == 202 ? 4 : 2; }

const char* TeamNameOf(int team) { return team >= 0 && team < 4 ? TeamNames[team] : ""; }

// ---- Senders ---------------------------------------------------------------------------------

void SendBiasEarthblood(LocalPlayer*, int node) {
    if (!Connected() || node < 0 || node >= kMaxEarthnodes)
        return;
    const int team = OwnTeam();
    const EarthnodeDef& e = g_level.earthnodes[node];
    int difficulty = 0;
    // Another team's node is harder to take the more of its links that team holds.
    if (e.owner != 0 && e.owner != team && e.connected_team != 0) {
        for (int link : e.link) {
            if (link >= 0 && link < kMaxEarthnodes) {
                const EarthnodeDef& l = g_level.earthnodes[link];
                difficulty += l.found && l.owner != 0 && l.owner != team;
            } else if (link >= 100 && link - 100 < kMaxShrines) {
                const ShrineDef& s = g_level.shrines[link - 100];
                difficulty += s.found && s.alignment != 0 && s.alignment != team ? 2 : 0;
            }
        }
    }
    ByteBody b{{static_cast<uint8_t>(node), static_cast<uint8_t>(GetGameValue(0)), static_cast<uint8_t>(team),
                static_cast<uint8_t>(difficulty)}};
    NetDebug(44, "SendBiasEarthblood: which=%d align=%d level=%d diff=%d", node, team, GetGameValue(0), difficulty);
    SendPacket(b.b, F_BIAS_EARTHBLOOD, 4, 0, 0);
}

void SendBiasShrine(LocalPlayer*, int shrine) {
    if (!Connected() || shrine < 0 || shrine >= kMaxShrines)
        return;
    const int team = OwnTeam();
    const int owner = g_level.shrines[shrine].alignment;
    const int difficulty =
        owner == 0 || owner == team ? 0 : (owner > 0 && owner < kNexusPowerTeams ? NexusPower[owner] : 0) + 10;
    ByteBody b{{static_cast<uint8_t>(shrine), static_cast<uint8_t>(GetGameValue(0)), static_cast<uint8_t>(team),
                static_cast<uint8_t>(difficulty)}};
    NetDebug(44, "SendBiasShrine: which=%d align=%d skill=%d diff=%d", shrine, team, GetGameValue(0), difficulty);
    SendPacket(b.b, F_BIAS_SHRINE, 4, 0, 0);
}

void send_experience(int amount, int target) {
    if (amount <= 0) {
        NetDebug(44, "send_experience tried to send negative or 0!");
        return;
    }
    if (!Connected())
        return;
    TwoIdBody t{};
    t.first = static_cast<uint16_t>(amount);
    t.second = static_cast<uint16_t>(target);
    uint8_t body[4];
    EncodeTwoIdBody(t, body, 4);
    SendPacket(body, F_EXPERIENCE, 4, 0, kDestinationAll);
    NetDebug(44, "send_experience -> target=%d amount=%d", target, amount);
}

void SendYankResponse() {
    if (!Connected())
        return;
    WordsBody w{};
    w.w[0] = static_cast<uint16_t>(OwnId());
    uint8_t body[8];
    EncodeWords(w, 4, body);
    SendPacket(body, F_YANK_RESPONSE, 8, 0, kDestinationAll);
}

// ---- Earthnodes and nexuses ------------------------------------------------------------------

void OnEarthbloodState(const uint8_t* record, LocalPlayer* player) {
    NodeStateBody r;
    if (!DecodeNodeState(record, 8, &r))
        return;
    const int amount = r.change;
    NetDebug(44, "EARTHBLOOD_STATE: which=%d bias=%d align=%d biaser=%d amount=%d", r.which, r.value, r.alignment,
             r.player, amount);
    if (r.which >= kMaxEarthnodes)
        return;
    EarthnodeDef& node = g_level.earthnodes[r.which];
    const int before = node.bias;
    if (r.player != 0 && r.player != OwnId()) {
        RenewBiasOverlay(r.player, r.alignment);
    } else if (r.player == OwnId()) {
        const char* team = TeamNameOf(r.alignment);
        if (amount == 0) {
            PushNotice("You attempt to bias the Earthnode and fail.");
            PlayGameSound(26, 0, 0);
        } else {
            if (amount >= 100) {
                PushNotice("You fully bias the Earthnode towards %s.", team);
                AddBiases(player, 100 - before);
            } else if (amount > 0) {
                PushNotice("You increase the %s bias on the Earthnode!", team);
                AddBiases(player, amount);
            } else if (amount > -100) {
                PushNotice("You decrease the %s bias on the Earthnode!", team);
                AddBiases(player, -amount);
            } else {
                PushNotice("You eliminate the %s bias on the Earthnode!", TeamNameOf(node.owner));
                AddBiases(player, before);
            }
            PlayGameSound(25, 0, 0);
        }
    }
    if (node.owner != r.alignment)
        SetEarthbloodColor(r.which, r.alignment, r.value);
    node.owner = r.alignment;
    node.bias = Clamp100(r.value);
    node.weight = Clamp100(r.weight);
    if (r.player != 0)
        EarthnodeBiasTime[r.which] = NowMs();
    if (node.bias == 100 && amount != 0 && player && r.which < 30 &&
        CellCodeUnderPlayer(*player) == 20 + r.which) {
        EndBias();
        PlayGameSound(31, 0, 0);
    }
}

void OnNexusState(const uint8_t* record, LocalPlayer* player) {
    NodeStateBody r;
    if (!DecodeNodeState(record, 8, &r))
        return;
    const int amount = r.change;
    NetDebug(44, "SHRINE_STATE: which=%d bias=%d align=%d biaser=%d amount=%d", r.which, r.value, r.alignment,
             r.player, amount);
    if (r.which >= kMaxShrines)
        return;
    ShrineDef& shrine = g_level.shrines[r.which];
    const int before = shrine.bias;
    const int beforeTeam = shrine.alignment;
    const char* team = TeamNameOf(r.alignment);
    const bool ours = r.alignment == OwnTeam();
    if (r.player != 0 && r.player != OwnId()) {
        const char* who = PlayerName(r.player);
        if (amount >= 100) {
            PushNotice("%s fully restores a nexus to %s.", who, team);
        } else if (amount <= -100) {
            PushNotice("%s destroys the %s nexus.", who, team);
            PlayGameSound(34, 0, 0);
            ShrineChangeTime[r.which] = NowMs();
        } else if (amount > 0 && ours) {
            PushNotice("%s restores the %s nexus.", who, team);
        } else if (amount < 0 && ours) {
            PushNotice("%s damages the %s nexus.", who, team);
            ShrineChangeTime[r.which] = NowMs();
        }
        RenewBiasOverlay(r.player, r.alignment);
    } else if (r.player == OwnId()) {
        if (amount == 0) {
            PushNotice(beforeTeam == OwnTeam() ? "You attempt to restore the nexus and fail."
                                           : "You attempt to destroy the nexus and fail.");
            PlayGameSound(26, 0, 0);
        } else if (amount >= 100) {
            PushNotice("You fully restore the nexus towards %s.", team);
            PlayGameSound(24, 0, 0);
            AddBiases(player, 100 - before);
        } else if (amount <= -100) {
            PushNotice("You destroy the %s nexus.", team);
            PlayGameSound(34, 0, 0);
            AddBiases(player, before);
        } else if (amount > 0) {
            PushNotice("You restore the %s nexus.", team);
            PlayGameSound(24, 0, 0);
            AddBiases(player, amount);
        } else {
            PushNotice("You damage the %s nexus.", team);
            PlayGameSound(24, 0, 0);
            AddBiases(player, -amount);
        }
    }
    SetShrineColor(r.which, r.alignment, r.value);
    SetShrineState(r.which, r.alignment, r.value, r.weight);
    // The HUD's nexus lines change when a nexus changes hands or falls or fills.
    if (beforeTeam != r.alignment || r.value == 0 || r.value == 100)
        RequestPageRedraw();
    const int power = shrine.bias;
    if (amount != 0 && (power == 0 || power == 100) && player && CellCodeUnderPlayer(*player) == 50 + r.which)
        EndBias();
}

void OnEarthbloodShrineState(const uint8_t* body, int length, LocalPlayer* player) {
    NetDebug(44, "F_EARTHBLOOD_SHRINE_STATE received");
    for (int k = 0; k < 3 && 8 * k + 8 <= length; ++k)
        if (body[8 * k] != 0xFF)
            OnNexusState(body + 8 * k, player);
    for (int k = 0; k < 20 && 24 + 8 * k + 8 <= length; ++k)
        if (body[24 + 8 * k] != 0xFF)
            OnEarthbloodState(body + 24 + 8 * k, player);
}

// ---- Damage and raising ----------------------------------------------------------------------

void OnDamage(const uint8_t* body, int length, LocalPlayer* player) {
    DamageBody d;
    if (!DecodeDamage(body, static_cast<size_t>(length), &d))
        return;
    const int who = d.who;
    const bool known = who > 0 && who != OwnId() && FindPlayerIndex(who) > 0;
    if (player && !player->dead) {
        if (d.damage) {
            if (known)
                PushNotice("%s hit you", PlayerName(who));
            else if (who == -5)
                PushNotice("You are bleeding!");
            else if (who == -30)
                PushNotice("You are on fire!");
            else if (who == -34)
                PushNotice("You are suffocating!");
            else if (who < 0)
                PushNotice("You are taking damage");
            else if (who != OwnId())
                PushNotice("You were hit");
            OnPlayerHit(*player, d.damage, who);
        }
        if (d.drained) {
            if (known)
                PushNotice("%s drained you", PlayerName(who));
            else if (who != OwnId())
                PushNotice("You were drained");
            DrainPlayerPower(*player, d.drained);
        }
    }
    SetGameValue(107, d.hits * 100);
    NetDebug(44, "F_DAMAGE: Dam=%d Pow=%d Who=%d Hits=%d", d.damage, d.drained, who, d.hits);
}

namespace {

void RaiseOtherPlayer(int raised, int raiser) {
    const int i = FindPlayerIndex(raised);
    if (i > 0)
        PlayerTable[i].dead = 0;
    const int figure = KnownPlayerFigure(raised);
    if (figure) {
        WorldObject& o = WorldObjectTable[figure];
        o.raised = 1;
        if (o.figure)
            SetFigureTint(o.figure, 100, 0, 0, 255, 255, 255);
        o.fade = 0;
        o.gravity = 1;
    }
    const char* name = PlayerName(raised);
    if (raiser == OwnId()) {
        if (i > 0)
            PlayerTable[i].status_time = NowMs();
        if (g_localPlayer)
            ++g_localPlayer->raises;
        PlayGameSound(29, 0, 0);
        PushNotice("You raised %s", name);
    } else if (raiser != kEarthnodeRaiser && FindPlayerIndex(raiser) > 0) {
        PushNotice("%s was raised by %s", name, PlayerName(raiser));
    } else if (raiser == kEarthnodeRaiser) {
        PushNotice("%s healed at an Earthnode", name);
        // The node the player's status names; one off the table leaves the figure where it lies.
        const int node = i > 0 ? PlayerTable[i].status : -1;
        if (figure && node >= 0 && node < kMaxEarthnodes && g_level.earthnodes[node].found) {
            WorldObject& o = WorldObjectTable[figure];
            const EarthnodeDef& e = g_level.earthnodes[node];
            const int x = (e.x & ~63) + 32, y = (e.y & ~63) + 32;
            const int z = GetFloorHeight(x, y, -1000, 0);
            o.x = static_cast<uint16_t>(x);
            o.y = static_cast<uint16_t>(y);
            o.z = static_cast<int16_t>(z);
            o.pos_x = x << 16;
            o.pos_y = y << 16;
            o.pos_z = static_cast<int32_t>(static_cast<uint32_t>(z) << 16);
        }
    } else {
        PushNotice("%s raised", name);
    }
}

void RaiseLocalPlayer(LocalPlayer& player, int raiser) {
    if (raiser == kNoRaiser) {
        PushNotice("Your %s nexus has been destroyed!", TeamNameOf(OwnTeam()));
        PushNotice("Call a %s Healer or hit ESC to quit.", TeamNameOf(OwnTeam()));
        return;
    }
    RevivePlayer(player);
    if (raiser == 0) {
        SendPlayerState(&player, 0, 1);
        return;
    }
    if (raiser == kEarthnodeRaiser) {
        PlacePlayerAtStart(player, OwnTeam(), 2);
        SetGameValue(107, GetMaxHitPoints());
        SetGameValue(109, GetMaxPower() / 2);
        SetGameValue(111, 0);
        PushNotice("You tap the power of %s and resurrect!", TeamNameOf(OwnTeam()));
        SendPlayerState(&player, 0, 1);
        return;
    }
    SetGameValue(107, GetMaxHitPoints() / 2);
    SetGameValue(109, GetMaxPower() / 2);
    SetGameValue(111, 0);
    PushNotice("You are raised by %s", PlayerName(raiser));
    if (const int figure = KnownPlayerFigure(raiser)) {
        const WorldObject& o = WorldObjectTable[figure];
        if (o.waypoint_x && o.waypoint_y)
            MoveViewTo(o.waypoint_x, o.waypoint_y, o.z + 32);
        else
            MoveViewToFigure(figure);
    } else {
        PlacePlayerAtStart(player, OwnTeam(), 2);
    }
    SendPlayerState(&player, 0, 1);
}

}  // namespace

void OnPlayerClearSplat(const uint8_t* body, int length, LocalPlayer* player) {
    TwoIdBody r;
    if (!DecodeTwoIdBody(body, static_cast<size_t>(length), &r))
        return;
    NetDebug(44, "Rcv F_PLAYER_CLEAR_SPLAT: %d, %d", r.first, r.second);
    SetPanelRedrawFlag(kPlayerPanel, 1);
    if (r.first != OwnId())
        RaiseOtherPlayer(r.first, r.second);
    else if (player)
        RaiseLocalPlayer(*player, r.second);
}

// ---- Operators' orders -----------------------------------------------------------------------

void OnYank(const uint8_t* body, int length) {
    WordsBody w;
    if (!DecodeWords(body, static_cast<size_t>(length), 4, &w))
        return;
    const int x = static_cast<int16_t>(w.w[1]), y = static_cast<int16_t>(w.w[2]), z = static_cast<int16_t>(w.w[3]);
    NetDebug(44, "F_YANK received: id=%d x=%d y=%d z=%d", w.w[0], x, y, z);
    MoveViewTo(std::clamp(x, 0, 8191), std::clamp(y, 0, 8191), z);
    SendYankResponse();
}

void OnGodMode(const uint8_t* body, int length) {
    IdBody b;
    if (!DecodeIdBody(body, static_cast<size_t>(length), &b))
        return;
    const int state = static_cast<int16_t>(b.id);
    NetDebug(44, "F_GODMODE received: state=%d", state);
    if (!OperatorInArena())
        return;
    GodModeFlag = state;
    Console(state == 1 ? "God Mode Activated." : "God Mode DeActivated.");
}

void OnJumpPlayer(const uint8_t* body, int length, LocalPlayer* player) {
    IdBody b;
    if (!DecodeIdBody(body, static_cast<size_t>(length), &b))
        return;
    const int id = static_cast<int16_t>(b.id);
    NetDebug(44, "F_JUMP_PLAYER received: id=%d", id);
    if (!OperatorInArena())
        return;
    static const char* const kShrineJumps[3] = {"You jump to the Chaos Shrine.", "You jump to the Order Shrine.",
                                                "You jump to the Balance Shrine."};
    if (id >= -3 && id <= -1) {
        const ShrineDef& s = g_level.shrines[-id - 1];
        Console(kShrineJumps[-id - 1]);
        if (s.found) {
            const int x = (s.x & ~63) + (GameRand() & 63), y = (s.y & ~63) + (GameRand() & 63);
            MoveViewTo(x, y, -1000);
        }
    } else if (const int figure = id > 0 ? KnownPlayerFigure(id) : 0) {
        Console("You jump to %s.", PlayerName(id));
        MoveViewToFigure(figure);
    } else {
        Console("Invalid Player Name.");
    }
    SendPlayerState(player, 0, 1);
}

void OnYankPlayer(int source, int target, LocalPlayer* player) {
    if (target != OwnId()) {
        NetDebug(44, "F_YANK_PLAYER to wrong target! target=%d", target);
        return;
    }
    const int figure = KnownPlayerFigure(source);
    if (!figure)
        return;
    PushNotice("You are Yanked by %s!", PlayerName(source));
    MoveViewToFigure(figure);
    SendPlayerState(player, 0, 1);
}

void OnKillPlayer(int source, int target, LocalPlayer* player) {
    if (target != OwnId()) {
        NetDebug(44, "F_KILL_PLAYER to wrong target! target=%d", target);
        return;
    }
    if (!KnownPlayerFigure(source) || !player)
        return;
    PushNotice("You are Guru-Killed by %s!", PlayerName(source));
    OnPlayerHit(*player, GetMaxHitPoints(), source);
}

void ResetNetMatch() {
    std::memset(EarthnodeBiasTime, 0, sizeof EarthnodeBiasTime);
    std::memset(ShrineChangeTime, 0, sizeof ShrineChangeTime);
    GodModeFlag = 0;
}
