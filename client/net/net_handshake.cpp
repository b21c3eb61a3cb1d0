#include "client/net/net_handshake.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "client/arena/grid_queries.h"
#include "client/arena/local_player.h"
#include "client/arena/player_status.h"
#include "client/arena/player_view.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/numeric.h"
#include "client/core/screen_state.h"
#include "client/core/version.h"
#include "client/driver/message_pump.h"
#include "client/driver/screen_loops.h"
#include "client/net/client_tables.h"
#include "client/net/net_bodies.h"
#include "client/net/net_catalogue.h"
#include "client/net/net_dispatch.h"
#include "client/net/net_lobby.h"
#include "client/net/net_match.h"
#include "client/net/net_players.h"
#include "client/net/net_rings.h"
#include "client/net/socket_layer.h"
#include "client/net/socket_settings.h"
#include "client/screens/character_state.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/input.h"
#include "client/screens/notice_lines.h"
#include "platform/win/platform.h"
#include "platform/win/win.h"

int32_t WaitOverFlag = 0;
int32_t LastRegisteredScore = 0;

namespace {

bool Connected() { return g_linkState == 2; }
int OwnId() { return GetGameValue(118) & 0xFFFF; }

void SendOneByte(int code, int value, int destination) {
    const uint8_t b = static_cast<uint8_t>(value);
    SendPacket(&b, code, 1, 0, destination);
}

void SendU32(int code, uint32_t value, int destination) {
    uint8_t body[4];
    EncodeU32Body(value, body);
    SendPacket(body, code, 4, 0, destination);
}

// Plain copy of a nibble-swapped field; at most size characters.
void Plain(const char* held, size_t size, char* out, size_t outSize) {
    std::memset(out, 0, outSize);
    std::memcpy(out, held, strnlen(held, size < outSize - 1 ? size : outSize - 1));
    SwapOddNibbles(out);
}

void StartWaitPeriod(int ms) {
    WaitOverFlag = 0;
    SetTimer(platform::MainWindow(), kWaitTimer, static_cast<UINT>(ms), nullptr);
}

void StopWait() { KillTimer(platform::MainWindow(), kWaitTimer); }

constexpr int kEscapeScanCode = 1;

// The stream link is gone, the link timer found it silent, or we left the service: no answer can
// come.
bool LinkLost() {
    return g_lostLink != 0 || g_linkState != 2 ||
           (ConnectionType == CONNECTION_STREAM && StreamLink.socket == INVALID_SOCKET);
}

// Periods of ms each; after a silent one, repeat(). 0 periods means no limit: such a wait ends
// when the link is lost, and the player may end it with Escape, which leaves the service as a
// refused login does (a service that answers pings and nothing else would hold it for ever).
int Wait(int32_t* flag, int ms, int periods, void (*repeat)(), bool datagrams) {
    const bool unlimited = periods == 0;
    *flag = 0;
    if (unlimited)
        TakeKeyPress(kEscapeScanCode);  // one pressed before the wait began is not meant for it
    for (int period = 0; unlimited || period < periods; ++period) {
        StartWaitPeriod(ms);
        while (!WaitOverFlag) {
            if (*flag) {
                StopWait();
                return 1;
            }
            if (unlimited && LinkLost()) {
                StopWait();
                return 0;
            }
            if (unlimited && TakeKeyPress(kEscapeScanCode)) {
                StopWait();
                Disconnect();
                return 0;
            }
            BlockRead();
            if (datagrams)
                DatagramRead();
        }
        if (*flag) {
            StopWait();
            return 1;
        }
        if (repeat)
            repeat();
    }
    return 0;
}

void RepeatPlayerEnter() { SendPlayerEnter(g_localPlayer, GetGameValue(119)); }

}  // namespace

// ---- Senders ---------------------------------------------------------------------------------

void SendOpenGame() {
    if (!Connected())
        return;
    NetDebug(222, "Sending F_OPEN_GAME");
    SendOneByte(F_OPEN_GAME, 0, kDestinationAll);
}

void SendEstablishDatagram() {
    if (!Connected())
        return;
    int localPort = 0;
    char local[20] = {};
    GetLocalAddress(&DatagramLink, &localPort, local);
    // The datagram link goes to the service's datagram port, whatever place is entered.
    SetSockAddr(&DatagramLink, SocketAddress, SocketPort);
    NetDebug(222, "Sending F_ESTABLISH_DATAGRAM from [%s:%d] to [%s:%d]", local, localPort, SocketAddress, SocketPort);
    DatagramAddressBody a{};
    std::snprintf(a.address, sizeof a.address, "%s", local);
    a.port = static_cast<uint32_t>(localPort);
    uint8_t body[24] = {};
    EncodeDatagramAddress(a, body);
    SendDatagramPacket(body, F_ESTABLISH_DATAGRAM, 24, 0, kDestinationAll);
}

void SendRequestWorld() {
    if (!Connected())
        return;
    NetDebug(222, "Sending F_REQUEST_WORLD");
    SendU32(F_REQUEST_WORLD, 0, kDestinationAll);
}

void SendRequestWorldLarge() {
    if (!Connected())
        return;
    NetDebug(222, "Sending F_REQUEST_WORLD_LARGE");
    SendU32(F_REQUEST_WORLD_LARGE, 0, kDestinationAll);
}

void RequestObject(int id) {
    if (!Connected())
        return;
    NetDebug(222, "Sending Message to Request Object #%d", id);
    SendU32(F_REQUEST_OBJECT, static_cast<uint32_t>(id), kDestinationAll);
}

void RequestPlayer(int id) {
    if (!Connected())
        return;
    NetDebug(222, "Sending Message to Request Player #%d", id);
    SendU32(F_REQUEST_PLAYER, static_cast<uint32_t>(id), 0);
}

void RequestArena(int id) {
    if (!Connected())
        return;
    NetDebug(222, "Sending Message to Request Arena #%d", id);
    SendU32(F_REQUEST_ARENA, static_cast<uint32_t>(id), kDestinationAll);
}

void SendPlayerEnter(LocalPlayer*, int port) {
    if (!Connected())
        return;
    PlayerEnterBody e{};
    e.id = static_cast<uint16_t>(OwnId());
    e.port = static_cast<uint8_t>(port);
    e.team = static_cast<uint8_t>(GetGameValue(4));
    Plain(g_currentCharacter.name, sizeof g_currentCharacter.name, e.name, sizeof e.name);
    e.profession = static_cast<uint8_t>(GetGameValue(114));
    e.level = static_cast<uint8_t>(GetGameValue(0));
    if (port != 0) {
        if (GetGameValue(3) != 0) {
            e.rank = static_cast<uint8_t>((GetGameValue(3) << 4) + GetGameValue(120));
        } else {
            for (int s = 0; s < 3 && e.rank == 0; ++s) {
                if (SlotRequestState[s] != 2)
                    continue;
                uint8_t copy[kServiceCopySize];
                ReadServiceCopy(s, copy);  // a plain copy: the held one stays scrambled
                if (copy[kServiceCopyFlagsByte] != 0)
                    e.rank = 128;
            }
        }
    } else {
        e.rank = g_login.privilegeLevel > 0 ? 0x50 : 0;
    }
    Plain(g_login.account, sizeof g_login.account, e.account, sizeof e.account);
    char squad[33], abbrev[9];
    Plain(g_currentCharacter.squad, sizeof g_currentCharacter.squad, squad, sizeof squad);
    Plain(g_currentCharacter.abbrev, sizeof g_currentCharacter.abbrev, abbrev, sizeof abbrev);
    std::memcpy(e.text40, squad, sizeof e.text40 - 1);
    std::memcpy(e.text72, abbrev, sizeof e.text72);
    uint8_t body[76] = {};
    EncodePlayerEnter(e, body);
    SetGameValue(119, port);
    NetDebug(44, "Sending F_PLAYER_ENTER to port #%d", port);
    SendPacket(body, F_PLAYER_ENTER, 76, 0, 0);
}

void SendInitPlayer(LocalPlayer* player) {
    if (!Connected() || !player)
        return;
    InitPlayerBody b{};
    if (g_playerView) {
        b.x = static_cast<uint16_t>(g_playerView->x);
        b.y = static_cast<uint16_t>(g_playerView->y);
        b.z = static_cast<uint16_t>(g_playerView->z - player->eye_height);
        b.facing = static_cast<uint16_t>(g_playerView->facing);
    }
    b.hits = static_cast<uint8_t>(GetGameValue(107) / 100);
    b.maxHits = static_cast<uint8_t>(GetGameValue(108) / 100);
    b.team = static_cast<uint8_t>(GetGameValue(4));
    b.figure = static_cast<uint8_t>(player->figure_imagenum);
    b.dead = player->dead ? 1 : 0;
    b.value6 = static_cast<uint8_t>(GetGameValue(6));
    for (int k = 0; k < 8; ++k) {
        b.values134[k] = static_cast<uint8_t>(GetGameValue(134 + k));
        b.values144[k] = static_cast<uint8_t>(GetGameValue(144 + k));
    }
    uint8_t body[32] = {};
    EncodeInitPlayer(b, body);
    NetDebug(44, "Sending F_INIT_PLAYER");
    SendPacket(body, F_INIT_PLAYER, 32, 0, kDestinationAll);
}

void SendRequestRaise(LocalPlayer*, int id) {
    if (!Connected())
        return;
    IdBody b{static_cast<uint16_t>(id), 0, 0};
    uint8_t body[4];
    EncodeIdBody(b, body);
    NetDebug(44, "Send F_REQUEST_RAISE");
    SendPacket(body, F_REQUEST_RAISE, 4, 0, kDestinationAll);
}

void SendScore(int score) {
    if (!Connected())
        return;
    if (g_login.privilegeLevel != 0 || GetGameValue(3) != 0) {
        NetDebug(44, "Score Not Registered: state=%d sysop=%d", g_login.privilegeLevel, GetGameValue(3));
        return;
    }
    if (GetGameValue(1) == LastRegisteredScore)
        return;
    LastRegisteredScore = GetGameValue(1);
    ScoreBody s{};
    s.profession = static_cast<uint32_t>(GetGameValue(114) + 1);
    s.level = static_cast<uint32_t>(GetGameValue(0));
    s.experience = static_cast<uint32_t>(GetGameValue(1));
    char account[21], name[13];
    Plain(g_login.account, sizeof g_login.account, account, sizeof account);
    Plain(g_currentCharacter.name, sizeof g_currentCharacter.name, name, sizeof name);
    std::snprintf(s.text, sizeof s.text, "%s %d", account, score);
    std::snprintf(s.name, sizeof s.name, "%s", name);
    uint8_t body[124] = {};
    EncodeScore(s, body);
    SendPacket(body, F_SCORE, 124, 0, kDestinationService);
    NetDebug(44, "Score Registered: text=%s prim=%d sec=%d", name, GetGameValue(0), GetGameValue(1));
}

void RequestHighScores(int list, int start) {
    if (!Connected())
        return;
    uint8_t body[8];
    EncodeU32Body(static_cast<uint32_t>(list), body);
    EncodeU32Body(static_cast<uint32_t>(start), body + 4);
    SendPacket(body, F_REQUEST_HIGHSCORES, 8, 0, kDestinationService);
}

void SendCode175(int value) {
    if (Connected())
        SendOneByte(F_CODE_175, value, kDestinationAll);
}

void SendCode51(int arena) {
    if (Connected())
        SendOneByte(F_CODE_51, arena, 0);
}

void SendDropFlag(LocalPlayer* player) {
    if (!Connected() || !player || !g_playerView)
        return;
    DropFlagBody d{};
    d.x = static_cast<uint32_t>(g_playerView->x);
    d.y = static_cast<uint32_t>(g_playerView->y);
    d.floor = static_cast<uint32_t>(GetFloorHeight(g_playerView->x, g_playerView->y, g_playerView->z, 1));
    d.id = static_cast<uint16_t>(OwnId());
    d.flag = static_cast<uint16_t>(player->carried_flag);
    uint8_t body[16];
    EncodeDropFlag(d, body);
    SendPacket(body, SEND_DROP_FLAG, 16, 0, 0);
    NetDebug(44, "SEND_DROP_FLAG: ID=%d Which=%d X=%d Y=%d\n", d.id, d.flag, g_playerView->x, g_playerView->y);
    player->carried_flag = 0;
    // Alive, the hand that held the flag takes the first readied group again.
    if (!player->dead)
        CycleReadiedSpell(*player, 0);
    PushNoticeLine("You dropped the flag");
}

void SendCode53() {
    if (Connected())
        SendOneByte(F_CODE_53, 0, 0);
}

void SendCode71() {
    if (Connected())
        SendOneByte(F_CODE_71, 0, 0);
}

void SendConnect() {
    if (!Connected())
        return;
    ConnectBody c{};
    std::memcpy(c.version, kClientVersion, 4);
    Plain(g_login.password, sizeof g_login.password, c.password, sizeof c.password);
    std::snprintf(c.serviceName, sizeof c.serviceName, "%s", g_login.commandLineText);
    Plain(g_login.account, sizeof g_login.account, c.account, sizeof c.account);
    for (char* p = c.account; *p; ++p)
        *p = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    uint8_t body[95] = {};
    EncodeConnect(c, body);
    NetDebug(44, "Sending F_CONNECT");
    SendPacket(body, F_CONNECT, 95, 0, 0);
}

void SendDisconnect() {
    if (!Connected())
        return;
    NetDebug(44, "Sending F_DISCONNECT");
    SendOneByte(F_DISCONNECT, 0, 0);
}

void SendPlayerExit(LocalPlayer*, int value) {
    if (!Connected())
        return;
    IdBody b{static_cast<uint16_t>(OwnId()), static_cast<uint8_t>(GetGameValue(4)), static_cast<uint8_t>(value)};
    uint8_t body[4];
    EncodeIdBody(b, body);
    NetDebug(44, "Sending F_PLAYER_EXIT");
    SendPacket(body, F_PLAYER_EXIT, 4, 0, 0);
}

void SendSwitchTable(LocalPlayer*, int table) {
    if (!Connected())
        return;
    TwoIdBody t{};
    t.first = static_cast<uint16_t>(OwnId());
    t.second = static_cast<uint16_t>(table);
    uint8_t body[8];
    EncodeTwoIdBody(t, body, 4);
    NetDebug(44, "Sending F_SWITCH_TABLE to %d", table);
    SendPacket(body, F_SWITCH_TABLE, 4, 0, 0);
}

void SendPlayerEffect(int spell, int duration, int destination) {
    if (!Connected())
        return;
    PlayerEffectBody e{static_cast<uint16_t>(spell), static_cast<uint32_t>(duration)};
    uint8_t body[8] = {};
    EncodePlayerEffect(e, body);
    NetDebug(44, "Send F_PLAYER_EFFECT: dur=%d spell=%d", duration, spell);
    SendPacket(body, F_PLAYER_EFFECT, 8, 0, destination);
}

void SendRemovePlayerEffect(int spell) {
    if (!Connected())
        return;
    const uint8_t body[4] = {static_cast<uint8_t>(spell), 0, 0, 0};
    SendPacket(body, F_REMOVE_PLAYER_EFFECT, 4, 0, 0);
}

void SendPing() {
    if (Connected())
        SendU32(SEND_PING, ReadGameClock(), 0);
}

void SendKeepAlive() {
    if (Connected())
        SendOneByte(F_KEEP_ALIVE, 0, 0);
}

// ---- Waits -----------------------------------------------------------------------------------

int WaitForServiceReply() {
    StartWaitPeriod(3500);
    while (!WaitOverFlag) {
        if (ServiceAccepted) {
            StopWait();
            return 1;
        }
        if (ServiceRefusal != 0) {
            StopWait();
            return 0;
        }
        BlockRead();
    }
    return ServiceAccepted ? 1 : 0;
}

int WaitForEnterReply(LocalPlayer*) { return Wait(&EnterReplied, 2000, 0, RepeatPlayerEnter, false); }

int WaitForGameOpened() { return Wait(&GameOpened, 1000, 0, SendOpenGame, false); }

int WaitForDatagramLink() {
    DatagramLinkPending = 1;
    const int answered = Wait(&DatagramEstablished, 2000, 5, SendEstablishDatagram, true);
    DatagramLinkPending = 0;
    return answered;
}

int WaitForWorld() { return Wait(&WorldSent, 1000, 10, SendRequestWorld, false); }

// ---- Entry sequences -------------------------------------------------------------------------

int DrainSocket() {
    int total = 0;
    if (ConnectionType == CONNECTION_DATAGRAM) {
        while (int n = ReceiveDatagrams(&DatagramLink))
            total += n;
    } else if (ConnectionType == CONNECTION_STREAM) {
        while (int n = ReceiveStream(&StreamLink))
            total += n;
    }
    return total;
}

int EnterTavern(LocalPlayer* player) {
    SendPlayerEnter(player, kTavernId);
    if (!WaitForEnterReply(player))
        return 0;
    ClearPlayerTable();
    ResetArenaList();
    SendCode51(0);
    SendCode53();
    SendCode71();
    DrainSocket();
    SetTimer(platform::MainWindow(), kKeepAliveTimer, 5000, nullptr);
    SendOpenGame();
    return WaitForGameOpened();
}

void LeaveTavern(LocalPlayer* player) {
    KillTimer(platform::MainWindow(), kKeepAliveTimer);
    SendPlayerExit(player, 0);
}

namespace {

// The arena entry's progress lines: shown at a debug level, failures that say so always.
constexpr int kEntryColour = 222;
void EntryLine(bool always, const char* text) {
    if (always || g_debugLevel > 0)
        NetSay(kEntryColour, "%s", text);
}

}  // namespace

int EnterArenaGame(LocalPlayer* player, int port) {
    SendPlayerExit(player, 0);
    SendPlayerEnter(player, port);
    EntryLine(false, "Entering Game...Awaiting PID.");
    if (!WaitForEnterReply(player)) {
        EntryLine(true, "Unsuccessful Entry to Game.");
        return 0;
    }
    EntryLine(false, "Successful Entry to Game.");
    ClearPlayerTable();
    SendCode51(port);
    Sleep(1000);
    ResetPlayerObjects(player);
    SendRequestWorldLarge();
    if (!WaitForWorld()) {
        EntryLine(false, "Unsuccessful World Download.");
        return 0;
    }
    EntryLine(false, "Successful World Download! Opening Game...");
    SendEstablishDatagram();
    if (!WaitForDatagramLink()) {
        EntryLine(true, "Could Not Establish Datagram Socket!");
        return 0;
    }
    SendOpenGame();
    if (!WaitForGameOpened()) {
        EntryLine(true, "Unsuccessful World Download.");
        return 0;
    }
    PumpMessages();
    DrainSocket();
    return 1;
}

void OnNetTimer(int id) {
    switch (id) {
        case kWaitTimer:
            WaitOverFlag = 1;
            KillTimer(platform::MainWindow(), kWaitTimer);
            return;
        case kKeepAliveTimer:
            SendKeepAlive();
            return;
        case kCharacterRetryTimer:
        case kCharacterSendTimer: {
            int32_t* states = id == kCharacterRetryTimer ? SlotRequestState : SlotSendState;
            bool pending = false;
            for (int s = 0; s < kCharacterSlots && g_linkState == 2; ++s) {
                if (states[s] != 1)
                    continue;
                pending = true;
                if (id == kCharacterRetryTimer)
                    RequestCharacter(s);
                else
                    SendCharacter(s);
            }
            if (!pending || g_linkState != 2)
                KillTimer(platform::MainWindow(), static_cast<UINT_PTR>(id));
            return;
        }
        default:
            return;
    }
}

void ResetNetHandshake() {
    WaitOverFlag = 0;
    LastRegisteredScore = 0;
}
