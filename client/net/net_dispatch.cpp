#include "client/net/net_dispatch.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "client/arena/ambient_sound.h"
#include "client/arena/local_player.h"
#include "client/arena/player_status.h"
#include "client/arena/spell.h"
#include "client/arena/world_object.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/numeric.h"
#include "client/core/screen_state.h"
#include "client/driver/message_pump.h"
#include "client/net/client_tables.h"
#include "client/net/net_bodies.h"
#include "client/net/net_catalogue.h"
#include "client/net/net_handshake.h"
#include "client/net/net_lobby.h"
#include "client/net/net_match.h"
#include "client/net/net_players.h"
#include "client/net/net_rings.h"
#include "client/net/net_spells.h"
#include "client/net/socket_layer.h"
#include "client/net/socket_settings.h"
#include "client/present/present_services.h"
#include "client/screens/character_file.h"
#include "client/screens/character_state.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/chat_commands.h"
#include "client/screens/notice_lines.h"
#include "client/screens/tavern_input.h"
#include "client/screens/tavern_state.h"
#include "common/text.h"
#include "platform/win/win.h"

int32_t EnterReplied = 0;
int32_t GameOpened = 0;
int32_t DatagramEstablished = 0;
int32_t DatagramLinkPending = 0;
int32_t WorldSent = 0;
int32_t ServiceAccepted = 0;
int32_t ServiceRefusal = 0;
uint8_t ServerVersion[4] = {};
PingFigures Ping{};
NameCheck NameCheckResults{};

namespace {

constexpr int kPlayerPanel = 11;
constexpr int kStatisticsPanel = 2;

void SayV(int color, const char* format, va_list args) {
    char text[512];
    FormatTextV(text, sizeof text, format, args);
    PrintMessage(MSG_SYSTEM, text, color, 0);
}

int OwnId() { return GetGameValue(118) & 0xFFFF; }

// The in-place handlers of the lobby stage that enter players, arenas and tables.
void EnterPlayer(const PlayerJoinedBody& p) {
    const int i = UpdatePlayerTable(p.id, p.location, p.team, p.name);
    if (i <= 0)
        return;
    PlayerTableEntry& e = PlayerTable[i];
    e.value16 = p.values[0];
    e.value17 = p.values[1];
    e.flags = p.values[2];
    e.value19 = p.values[3];
    std::memset(e.abbrev, 0, sizeof e.abbrev);
    std::memcpy(e.abbrev, p.abbrev, 4);
    std::strcpy(e.entry_mark, "*");
}

void EnterArena(const WorldEnterBody& w) {
    UpdateArenaTable(w.number, w.type, w.name, w.text1, w.founder, w.text3);
    NetDebug(44, "Arena %s (#%d Port=%d) has just been started.", w.name, w.number, w.number);
}

void EnterTable(const TableEnterBody& t) {
    const int i = UpdateTableTable(t.number, t.value, t.name, t.founder);
    if (i > 0)
        std::memcpy(LobbyTableList[i].members, t.members, kMemberListSize);
    NetDebug(44, "Table %s (#%d Port=%d) has just been started.", t.name, t.number, t.number);
}

// True when the dotted address is four numbers 0..255 and nothing else.
bool IsDottedAddress(const char* text) {
    int parts = 0;
    const char* p = text;
    while (parts < 4) {
        if (*p < '0' || *p > '9')
            return false;
        int value = 0, digits = 0;
        while (*p >= '0' && *p <= '9' && digits < 4) {
            value = value * 10 + (*p++ - '0');
            ++digits;
        }
        if (digits > 3 || value > 255)
            return false;
        ++parts;
        if (parts < 4 && *p++ != '.')
            return false;
    }
    return *p == '\0';
}

// ---- Stage 3: every screen -------------------------------------------------------------------

void OnCharacterResponse(uint8_t* body, int length, int destination) {
    if (destination != OwnId()) {
        NetSay(44, "Character to Wrong Dest! Dest=%d ID=%d", destination, OwnId());
        return;
    }
    CharacterBody c;
    if (!DecodeCharacter(body, static_cast<size_t>(length), &c))
        return;
    char user[21] = {};
    if (g_login.privilegeLevel != 0 && g_login.assumedName[0] != '\0')
        std::snprintf(user, sizeof user, "%.20s", g_login.assumedName);
    else
        std::snprintf(user, sizeof user, "%.20s", SwapOddNibblesCopy(g_login.account));
    if (std::strncmp(c.account, user, sizeof user) != 0) {
        NetSay(44, "Character to Wrong Acct! char=%s user=%s", c.account, user);
        return;
    }
    StoreReceivedCharacter(c.slot, c.record, kCharacterRecordBytes);
    NetDebug(44, "F_REQUEST_CHAR_RESPONSE: %s %s", c.account, reinterpret_cast<const char*>(c.record));
}

void OnCharacterAnswer(int code, const uint8_t* body, int length) {
    CharacterHeadBody h;
    if (!DecodeCharacterHead(body, static_cast<size_t>(length), &h) || h.slot >= kCharacterSlots)
        return;
    switch (code) {
        case F_REQUEST_CHAR_ERROR:
            SlotRequestState[h.slot] = 0;
            NetDebug(44, "F_REQUEST_CHAR_ERROR: %s (%d,%d,%d) %s", h.account, h.errors[0], h.errors[1], h.errors[2],
                     h.reason);
            break;
        case F_SEND_CHAR_RESPONSE:
            SlotSendState[h.slot] = 3;
            NetDebug(44, "F_SEND_CHAR_RESPONSE: %s", h.account);
            break;
        case F_SEND_CHAR_ERROR:
            SlotSendState[h.slot] = 4;
            NetDebug(44, "F_SEND_CHAR_ERROR: %s (%d,%d,%d) %s", h.account, h.errors[0], h.errors[1], h.errors[2],
                     h.reason);
            break;
        default:
            break;
    }
}

void OnNameResponse(int code, const uint8_t* body, int length) {
    NameResponseBody r;
    if (!DecodeNameResponse(body, static_cast<size_t>(length), &r))
        return;
    const bool yes = r.answer != 0;
    NameCheck& n = NameCheckResults;
    if (code == F_QUERY_NAME_RESPONSE) {
        NetDebug(44, "F_QUERY_NAME_RESPONSE: %s %s %d", r.account, r.name, r.answer);
        if (n.pendingSquad[0] && std::strncmp(r.name, n.pendingSquad, sizeof r.name) == 0)
            n.bits |= yes ? 8 : 4;
        else if (n.pendingAbbrev[0] && std::strncmp(r.name, n.pendingAbbrev, sizeof r.name) == 0)
            n.bits |= yes ? 0x80 : 0x40;
        else
            n.queryAnswer = yes ? 2 : 1;
    } else {
        NetDebug(44, "F_CHECK_NAME_RESPONSE: %s %s %d", r.account, r.name, r.answer);
        if (std::strcmp(r.account, "*name") == 0)
            n.bits |= yes ? 1 : 2;
        else if (std::strcmp(r.account, "*abbrev") == 0)
            n.bits |= yes ? 0x10 : 0x20;
        else
            n.checkAnswer = yes ? 1 : 2;
    }
}

void OnConnection(const uint8_t* body, int length) {
    uint16_t id = 0;
    if (!DecodeConnection(body, static_cast<size_t>(length), &id))
        return;
    SetGameValue(118, id);
    NetClientId = id;
    NetDebug(44, "Successfull Connection; ID=%d (0=%d, 1=%d).", id, body[0], body[1]);
    EnterReplied = 1;
}

void OnPong(const uint8_t* body, int length) {
    PongBody p;
    if (!DecodePong(body, static_cast<size_t>(length), &p))
        return;
    Ping.pingTime = ReadGameClock() - p.time;
    ++Ping.pongs;
    std::memcpy(Ping.values, p.values, sizeof Ping.values);
    NetDebug(44, "RCV_PONG: time=%d rcv_time=%d", static_cast<int>(Ping.pingTime), static_cast<int>(p.time));
    SetPanelRedrawFlag(kStatisticsPanel, 1);
}

void OnServerVersion(int code, const uint8_t* body, int length) {
    ServerVersionBody v;
    if (!DecodeServerVersion(body, static_cast<size_t>(length), &v))
        return;
    std::memcpy(ServerVersion, v.version, 4);
    if (code == S_NOT_CONNECTED) {
        ServiceRefusal = v.value;
        NetDebug(44, "S_NOT_CONNECTED Server=%02d.%02d.%02d Value=%d", v.version[1], v.version[2], v.version[3],
                 v.value);
        return;
    }
    NetSay(44, "Server Version: %d.%d%d", v.version[1], v.version[2], v.version[3]);
    NetSay(44, "Accountname: %s", v.account);
    // The account the service knows us by, held scrambled like the typed one.
    std::memset(g_login.account, 0, sizeof g_login.account);
    std::snprintf(g_login.account, sizeof g_login.account, "%s", v.account);
    SwapOddNibbles(g_login.account);
    ServiceAccepted = 1;
}

void OnDatagramEstablished(const uint8_t* body, int length) {
    // Asked for by the link's set-up and answered once; any other would hand the link away.
    if (!DatagramLinkPending)
        return;
    DatagramAddressBody a;
    if (!DecodeDatagramAddress(body, static_cast<size_t>(length), &a))
        return;
    // An address that is not dotted text or a port off the range is no link.
    if (!IsDottedAddress(a.address) || a.port < 1 || a.port > 65535)
        return;
    SetSockAddr(&DatagramLink, a.address, static_cast<int>(a.port));
    NetDebug(44, "S_DATAGRAM_ESTABLISHED: [%s:%d]", a.address, static_cast<int>(a.port));
    DatagramLinkPending = 0;
    DatagramEstablished = 1;
}

bool DispatchAnyScreen(int code, int destination, uint8_t* body, int length) {
    switch (code) {
        case F_REQUEST_CHAR_RESPONSE:
            OnCharacterResponse(body, length, destination);
            return true;
        case F_REQUEST_CHAR_ERROR:
        case F_SEND_CHAR_RESPONSE:
        case F_SEND_CHAR_ERROR:
            OnCharacterAnswer(code, body, length);
            return true;
        case F_QUERY_NAME_RESPONSE:
        case F_CHECK_NAME_RESPONSE:
            OnNameResponse(code, body, length);
            return true;
        case F_CODE_120:
            OnCode120(body, static_cast<size_t>(length));
            return true;
        case S_CONNECTION:
            OnConnection(body, length);
            return true;
        case RCV_PONG:
            OnPong(body, length);
            return true;
        case S_SERVER_VERSION:
        case S_NOT_CONNECTED:
            OnServerVersion(code, body, length);
            return true;
        case S_WORLD_SENT:
            NetDebug(44, "S_WORLD_SENT Received");
            WorldSent = 1;
            return true;
        case S_GAME_OPENED:
            NetDebug(44, "S_GAME_OPENED");
            GameOpened = 1;
            return true;
        case S_DATAGRAM_ESTABLISHED:
            OnDatagramEstablished(body, length);
            return true;
        case F_HIGHSCORE_LIST:
            OnHighscoreList(body, static_cast<size_t>(length));
            return true;
        case F_UPDATE_STATUS: {
            UpdateStatusBody u;
            if (!DecodeUpdateStatus(body, static_cast<size_t>(length), &u))
                return true;
            NetDebug(44, "F_UPDATE_STATUS received.  Temp=%d Temp2=%d Bonus=%d.", u.temp, u.temp2, u.bonus);
            SetGameValue(106, u.temp);
            SetGameValue(132, u.temp2);
            SetGameValue(133, u.bonus);
            RequestPageRedraw();
            return true;
        }
        default:
            return false;
    }
}

// ---- Stage 2: arena, chat and Tavern ---------------------------------------------------------

void OnPlayerJoined(const uint8_t* body, int length) {
    PlayerJoinedBody p;
    if (!DecodePlayerJoined(body, static_cast<size_t>(length), &p))
        return;
    EnterPlayer(p);
    if (!WorldSent)
        return;
    char line[64];
    FormatText(line, sizeof line, "%s just entered", p.name);
    PushNoticeLine(line);
    // The newcomer learns what is on us now.
    if (g_localPlayer)
        for (const PlayerEffect& e : g_localPlayer->effects)
            if (e.active)
                SendPlayerEffect(e.spell_number, e.time_left, p.id);
    SetPanelRedrawFlag(kPlayerPanel, 1);
}

void OnPlayerExit(const uint8_t* body, int length) {
    IdBody b;
    if (!DecodeIdBody(body, static_cast<size_t>(length), &b))
        return;
    if (g_screenState == 1) {
        const int i = FindPlayerIndex(b.id);
        char name[20] = {};
        if (i > 0)
            std::memcpy(name, PlayerTable[i].name, sizeof name - 1);
        if (RemovePlayerById(b.id)) {
            char line[64];
            FormatText(line, sizeof line, "%s left the game", name);
            PushNoticeLine(line);
            DestroyObjectsOfOwner(b.id);
        }
        SetPanelRedrawFlag(kPlayerPanel, 1);
        return;
    }
    if (b.byte3 != 0) {
        const int i = FindPlayerIndex(b.id);
        if (i > 0) {
            PlayerTable[i].location = b.byte3;
            PlayerTable[i].cleared_word = 1;  // changed: the lists redraw it
        }
        return;
    }
    RemovePlayerById(b.id);
}

void OnChatText(const uint8_t* body, int length) {
    TwoIdBody c;
    if (!DecodeTwoIdBody(body, static_cast<size_t>(length), &c))
        return;
    const int i = FindPlayerIndex(c.first);
    const bool oper = i > 0 && (PlayerTable[i].flags & 0x7F) != 0;
    if (!oper && i > 0 && IsIgnoredName(PlayerTable[i].name))
        return;
    FilterChatWords(c.text);
    ShowChatText(c.first, c.text, c.byte4, i > 0 ? PlayerTable[i].team : 0);
}

void OnWorldEnter(int code, const uint8_t* body, int length) {
    const int records = code == F_WORLD_ENTER ? 1 : 4;
    if (code == F_WORLD_ENTER_LARGE)
        NetDebug(44, "F_WORLD_ENTER_LARGE received");
    for (int k = 0; k < records; ++k) {
        WorldEnterBody w;
        if (!DecodeWorldEnter(body, static_cast<size_t>(length), k, &w))
            break;
        if (code == F_WORLD_ENTER || w.number != 0)
            EnterArena(w);
    }
}

void OnWorldStateMessage(uint8_t* body, int length) {
    const int i = FindArenaIndex(body[0]);
    NetDebug(44, "F_WORLD_STATE: Arena %s (Table=%d Port=%d).", i > 0 ? ArenaTable[i].name : "", body[5], body[0]);
    if (i <= 0) {
        NetDebug(44, "Arena State Before Enter! Requesting Enter...");
        RequestArena(body[0]);
        return;
    }
    OnWorldState(body, length, i);
}

void OnRemoveArena(const uint8_t* body) {
    const int index = FindArenaById(body[0]);
    const bool selected = index >= 0 && index == SelectedArena();
    if (!RemoveArenaById(body[0]) || !selected)
        return;
    if (g_screenState == 2 && TavernPage() == 2) {
        ClearTavernSelection();
        SetTavernPage(1);
    } else if (g_screenState == 11) {
        // The fireteam's arena is gone: its waiting screen goes back to the chat.
        RequestNextScreen(2);
    }
}

void OnPlayerEnterLarge(const uint8_t* body, int length) {
    NetDebug(44, "F_PLAYER_ENTER_LARGE received");
    for (int k = 0; k < 10; ++k) {
        PlayerJoinedBody p;
        if (!DecodePlayerEnterRecord(body, static_cast<size_t>(length), k, &p))
            break;
        if (p.id != 0)
            EnterPlayer(p);
    }
    SetPanelRedrawFlag(kPlayerPanel, 1);
}

void OnTableEnter(int code, const uint8_t* body, int length) {
    const int records = code == F_TABLE_ENTER ? 1 : 3;
    if (code == F_TABLE_ENTER_LARGE)
        NetDebug(44, "F_TABLE_ENTER_LARGE received");
    for (int k = 0; k < records; ++k) {
        TableEnterBody t;
        if (!DecodeTableEnter(body, static_cast<size_t>(length), k, &t))
            break;
        EnterTable(t);
    }
}

void OnMakeSysop(const uint8_t* body, int length) {
    IdBody b;
    // Only an order about ourselves counts.
    if (!DecodeIdBody(body, static_cast<size_t>(length), &b) || b.id != OwnId())
        return;
    if (GetGameValue(3) == 0) {
        if (g_login.privilegeLevel != 0) {
            SetGameValue(3, 5);
            NetSay(44, "You are made a Master Sysop.\n");
        } else {
            SetGameValue(3, 3);
            NetSay(44, "You are made a Sysop.\n");
        }
        SetGameValue(120, 1);
    } else {
        SetGameValue(3, 0);
        SetGameValue(120, 0);
        NetSay(44, "You sysop status is revoked.\n");
    }
    SaveCurrentCharacter();
}

void OnSwitchTable(const uint8_t* body, int length) {
    TwoIdBody s;
    if (!DecodeTwoIdBody(body, static_cast<size_t>(length), &s))
        return;
    const int i = FindPlayerIndex(s.first);
    if (i > 0)
        PlayerTable[i].location = s.second;
    NetDebug(44, "F_SWITCH_TABLE for %d to %d", s.first, s.second);
}

void OnFireteamEnter(int code, const uint8_t* body, int length) {
    const int records = code == F_FIRETEAM_ENTER ? 1 : 3;
    if (code == F_FIRETEAM_ENTER_LARGE)
        NetDebug(44, "F_FIRETEAM_ENTER_LARGE received");
    for (int k = 0; k < records; ++k) {
        FireteamEnterBody f;
        if (!DecodeFireteamEnter(body, static_cast<size_t>(length), k, &f))
            break;
        if (code == F_FIRETEAM_ENTER_LARGE && f.number == 0)
            continue;
        EnterFireteam(f);
    }
}

void OnClaimArena(const uint8_t* body, int length) {
    ClaimArenaBody c;
    if (!DecodeClaimArena(body, static_cast<size_t>(length), &c))
        return;
    NetDebug(44, "Received F_CLAIM_ARENA: %d %s", c.arena, c.claimant);
    const int i = FindArenaIndex(c.arena);
    if (i > 0)
        std::snprintf(ArenaTable[i].founder, sizeof ArenaTable[i].founder, "%s", c.claimant);
}

void OnUnban(const uint8_t* body, int length) {
    uint8_t found = 0;
    char account[32];
    if (!DecodeUnbanReply(body, static_cast<size_t>(length), &found, account, sizeof account))
        return;
    if (found)
        NetSay(44, "Account [%s] was unbanned.", account);
    else
        NetSay(44, "Account [%s] not found in banlist.", account);
}

void OnRenameMessage(int source, const uint8_t* body, int length) {
    IdBody b;
    if (!DecodeIdBody(body, static_cast<size_t>(length), &b))
        return;
    char name[20] = {};
    const int n = length - 4;
    if (n > 0)
        std::memcpy(name, body + 4, static_cast<size_t>(n < 19 ? n : 19));
    OnRenamePlayer(source, b.id, name);
}

bool DispatchLobby(int code, int source, uint8_t* body, int length) {
    switch (code) {
        case F_PLAYER_JOINED:
            OnPlayerJoined(body, length);
            return true;
        case F_PLAYER_EXIT:
            OnPlayerExit(body, length);
            return true;
        case F_CHAT_TEXT:
            OnChatText(body, length);
            return true;
        case F_PLAYER_VITALS:
            OnPlayerVitals(body, static_cast<size_t>(length), source);
            return true;
        case F_WORLD_ENTER:
        case F_WORLD_ENTER_LARGE:
            OnWorldEnter(code, body, length);
            return true;
        case F_WORLD_STATE:
            OnWorldStateMessage(body, length);
            return true;
        case F_REMOVE_ARENA:
            OnRemoveArena(body);
            return true;
        case F_PLAYER_ENTER_LARGE:
            OnPlayerEnterLarge(body, length);
            return true;
        case F_TABLE_ENTER:
        case F_TABLE_ENTER_LARGE:
            OnTableEnter(code, body, length);
            return true;
        case F_REMOVE_TABLE:
            RemoveTableById(body[0]);
            return true;
        case F_MAKE_SYSOP:
            OnMakeSysop(body, length);
            return true;
        case F_VALIDATE_PLAYER_LIST:
            OnValidatePlayerList(body, length);
            return true;
        case F_SWITCH_TABLE:
            OnSwitchTable(body, length);
            return true;
        case F_FIRETEAM_ENTER:
        case F_FIRETEAM_ENTER_LARGE:
            OnFireteamEnter(code, body, length);
            return true;
        case F_SEND_ACCOUNT:
            OnSendAccount(body, length);
            return true;
        case F_FIRETEAM_STATUS:
            OnFireteamStatus(body, length);
            return true;
        case F_FIRETEAM_MEMBER_INFO:
            OnFireteamMemberInfo(body, length);
            return true;
        case F_FIRETEAM_MEMBER_VALUE:
            OnFireteamMemberValue(body, length);
            return true;
        case F_CLAIM_ARENA:
            OnClaimArena(body, length);
            return true;
        case F_RENAME_PLAYER:
            OnRenameMessage(source, body, length);
            return true;
        case F_UNBAN_PLAYER:
            OnUnban(body, length);
            return true;
        default:
            return false;
    }
}

// ---- Stage 1: the arena game -----------------------------------------------------------------

void OnHitSelf(const uint8_t* body, int length) {
    IdBody b;
    if (!DecodeIdBody(body, static_cast<size_t>(length), &b))
        return;
    if (b.id == OwnId()) {
        PushNoticeLine("You hit yourself!");
        return;
    }
    const int i = FindPlayerIndex(b.id);
    if (i <= 0)
        return;
    char line[64];
    FormatText(line, sizeof line, "You hit %s", PlayerTable[i].name);
    PushNoticeLine(line);
}

bool DispatchArena(int code, int source, uint8_t* body, int length, LocalPlayer* player) {
    switch (code) {
        case F_PLAYER_STATE: {
            if (!IsKnownPlayer(source)) {
                NetDebug(44, "Player Update before in Table! ID=%d", source);
                RequestPlayer(source);
                return true;
            }
            const int slot = FindPlayerObjectSlot(source);
            if (slot <= 0)
                CreatePlayerObject(body, length, source);
            else
                UpdatePlayerObject(body, length, slot, source);
            return true;
        }
        case F_OBJECT_STATE: {
            const int id = body[10] << 8 | body[11];
            const int slot = FindWorldObjectSlot(id);
            if (slot > 0) {
                OnObjectState(body, length, slot);
            } else {
                NetDebug(44, "F_OBJECT_STATE for Unknown Obj: Which=%d", id);
                RequestObject(id);
            }
            return true;
        }
        case F_PLAYER_SHORT_STATE: {
            const int slot = IsKnownPlayer(source) ? FindPlayerObjectSlot(source) : 0;
            if (slot > 0)
                ApplyPlayerShortState(body, length, slot);
            return true;
        }
        case F_PLAYER_STATUS: {
            TwoIdBody s;
            if (DecodeTwoIdBody(body, static_cast<size_t>(length), &s))
                SetPlayerStatus(s.first, s.second);
            return true;
        }
        case F_PLAYER_DEATH: {
            TwoIdBody d;
            if (!DecodeTwoIdBody(body, static_cast<size_t>(length), &d))
                return true;
            NetDebug(44, "F_PLAYER_DEATH: %d, %d, %d", d.first, d.byte4, d.second);
            AnnounceDeath(d.first, d.byte4, d.second);
            return true;
        }
        case F_HIT_SELF:
            OnHitSelf(body, length);
            return true;
        case F_EXPERIENCE:
        case F_CODE_116:
        case F_CODE_117:
            return true;  // nothing of ours reads them
        case F_PLAYER_EFFECT:
            OnPlayerEffect(body, length, source);
            return true;
        case RCV_GET_FLAG_RESPONSE: {
            TwoIdBody f;
            if (DecodeTwoIdBody(body, static_cast<size_t>(length), &f))
                NetDebug(44, "RCV_GET_FLAG_RESPONSE: Who=%d Which=%d\n", f.first, f.second);
            return true;
        }
        case RCV_DROP_FLAG_RESPONSE: {
            TwoIdBody f;
            if (!DecodeTwoIdBody(body, static_cast<size_t>(length), &f))
                return true;
            NetDebug(44, "RCV_DROP_FLAG_RESPONSE: WHO=%d\n", f.first);
            const int i = f.first != OwnId() ? FindPlayerIndex(f.first) : 0;
            if (i > 0 && PlayerTable[i].has_flag) {
                char line[64];
                FormatText(line, sizeof line, "%s dropped the flag", PlayerTable[i].name);
                PushNoticeLine(line);
                PlayerTable[i].has_flag = 0;
            }
            return true;
        }
        case F_PLAY_SOUND: {
            WordsBody w;
            if (DecodeWords(body, static_cast<size_t>(length), 4, &w)) {
                NetDebug(44, "Rcv F_PLAY_SOUND: which=%d range=%d x=%d y=%d", w.w[0], w.w[1], w.w[2], w.w[3]);
                PlaySoundAt(w.w[2], w.w[3], w.w[0], w.w[1]);
            }
            return true;
        }
        case F_HIT_NPC:
            PushNoticeLine("You hit an NPC");
            return true;
        case F_KILL_PLAYER:
        case F_YANK_PLAYER: {
            IdBody b;
            if (!DecodeIdBody(body, static_cast<size_t>(length), &b))
                return true;
            if (code == F_KILL_PLAYER)
                OnKillPlayer(source, b.id, player);
            else
                OnYankPlayer(source, b.id, player);
            return true;
        }
        case F_CREATE_OBJECT:
            OnCreateObject(body, length);
            return true;
        case F_OBJECT_DEATH:
            OnObjectDeath(body, length, player);
            return true;
        case F_CREATE_THIN:
            OnCreateThin(body, length);
            return true;
        case F_DAMAGE:
            OnDamage(body, length, player);
            return true;
        case F_PLAYER_CLEAR_SPLAT:
            OnPlayerClearSplat(body, length, player);
            return true;
        case EARTHBLOOD_STATE:
            OnEarthbloodState(body, player);
            return true;
        case SHRINE_STATE:
            OnNexusState(body, player);
            return true;
        case F_EARTHBLOOD_SHRINE_STATE:
            OnEarthbloodShrineState(body, length, player);
            return true;
        case F_DISPELL:
            OnDispell(body, length);
            return true;
        case F_TARGETTED:
            OnTargetted(body, length, player);
            return true;
        case F_THIN_DEATH:
            OnThinDeath(body, length);
            return true;
        case F_THIN_DAMAGE:
            OnThinDamage(body, length);
            return true;
        case F_TELEPORT:
            OnTeleport(body, length, player);
            return true;
        case F_OPEN_DOOR:
            OnOpenDoor(body, length);
            return true;
        case F_YANK:
            OnYank(body, length);
            return true;
        case F_JUMP_PLAYER:
            OnJumpPlayer(body, length, player);
            return true;
        case F_GODMODE:
            OnGodMode(body, length);
            return true;
        case F_CREATE_PROJECTILE:
            OnCreateProjectile(body, length, source);
            return true;
        case F_CREATE_RUNE:
            OnCreateRune(body, length);
            return true;
        case F_CAST_WALL:
            OnCastWall(body, length);
            return true;
        case F_CREATE_EFFECT:
            OnCreateEffect(body, length);
            return true;
        case F_CAST_PLAYER_EFFECT:
            OnCastPlayerEffect(body, length, source);
            return true;
        case F_REMOVE_PLAYER_EFFECT:
            OnRemovePlayerEffect(body, length, source);
            return true;
        case F_INVITE_GUILD:
            OnInviteGuild(body, length);
            return true;
        case F_LEAVE_GUILD:
            OnLeaveGuild(body, length);
            return true;
        case F_JOIN_GUILD:
            OnJoinGuild(body, length);
            return true;
        case F_GUILD_INFO:
            OnGuildInfo(body, length);
            return true;
        case F_REQUEST_INIT_PLAYER:
            if (player)
                SendInitPlayer(player);
            return true;
        default:
            return false;
    }
}

}  // namespace

void NetDebug(int color, const char* format, ...) {
    if (g_debugLevel != 2)
        return;
    va_list args;
    va_start(args, format);
    SayV(color, format, args);
    va_end(args);
}

void NetSay(int color, const char* format, ...) {
    va_list args;
    va_start(args, format);
    SayV(color, format, args);
    va_end(args);
}

void DispatchPacket(int code, int source, int destination, uint8_t* body, int length, LocalPlayer* player) {
    if (destination != 0 && destination != OwnId())
        NetDebug(44, "Message Rx to Wrong Dest! Dest=%d Func=%d Source=%d", destination, code, source);
    const MessageInfo* info = FindMessage(code);
    if (!info || length < info->minReceived)
        return;
    const int state = g_screenState;
    const bool lobby = state == 1 || state == 2 || state == 11;
    switch (info->accepted) {
        case ACCEPT_ARENA:
            if (state == 1)
                DispatchArena(code, source, body, length, player);
            return;
        case ACCEPT_LOBBY:
            if (lobby)
                DispatchLobby(code, source, body, length);
            return;
        case ACCEPT_ANY:
            DispatchAnyScreen(code, destination, body, length);
            return;
        default:
            return;
    }
}

namespace {

// Rounds of taking frames and reading the socket again in one BlockRead: a service that never
// stops sending cannot hold the frame.
constexpr int kReadRounds = 8;

void DispatchAll(int (*take)(uint8_t*, int*, int*, int*, int*), const char* line) {
    static uint8_t body[kMaxFrameBody];
    int code = 0, length = 0, source = 0, destination = 0;
    while (take(body, &code, &length, &source, &destination)) {
        NetDebug(12, line, length, source, destination, code);
        DispatchPacket(code, source, destination, body, length, g_localPlayer);
    }
}

// The frames of the receive ring, then the socket again after they made room, until it holds
// nothing more: a read event comes only after a read, so a ring left full would stop the link
// for good.
void ReadRing(const char* line) {
    for (int round = 0;; ++round) {
        DispatchAll(TakeStreamPacket, line);
        if (round == kReadRounds || DrainSocket() == 0)
            break;
    }
}

}  // namespace

uint32_t BlockRead() {
    const uint32_t ticks = PumpMessages();
    ReadRing("BlockRead: len=%d src=%d dest=%d func=%d");
    return ticks;
}

uint32_t DatagramRead() {
    const uint32_t ticks = PumpMessages();
    // In the all-datagram link the service's datagrams hold stream frames: they have the ring as
    // their one reader, or one that came after the drain would be read as a datagram frame.
    if (ConnectionType == CONNECTION_DATAGRAM)
        ReadRing("DatagramRead: len=%d src=%d dest=%d func=%d");
    else
        DispatchAll(TakeDatagramPacket, "DatagramRead: len=%d src=%d dest=%d func=%d");
    return ticks;
}

void AnnounceDeath(int victim, int kind, int killer) {
    SetPanelRedrawFlag(kPlayerPanel, 1);
    if (victim == OwnId()) {
        if (g_localPlayer && !g_localPlayer->dead) {
            SetGameValue(107, 0);
            OnLocalPlayerDeath(*g_localPlayer, killer);
        }
        return;
    }
    const int v = FindPlayerIndex(victim);
    const int k = FindPlayerIndex(killer);
    const uint32_t now = ReadGameClock() / 10;
    char line[64] = {};
    if (v > 0)
        PlayerTable[v].death_kind = static_cast<uint16_t>(kind);
    if (killer == OwnId()) {
        if (v > 0)
            FormatText(line, sizeof line, "You killed %s", PlayerTable[v].name);
        else
            FormatText(line, sizeof line, "You receive kill experience");
        ++g_currentCharacter.kills;
        if (g_localPlayer)
            ++g_localPlayer->kills;  // our vitals carry it to the others' score lists
        if (v > 0)
            PlayerTable[v].death_time = now;
    } else if (v > 0 && k > 0) {
        FormatText(line, sizeof line, "%s was killed by %s", PlayerTable[v].name, PlayerTable[k].name);
        PlayerTable[v].death_time = now;
    } else if (v > 0) {
        FormatText(line, sizeof line, "%s died", PlayerTable[v].name);
    }
    if (line[0])
        PushNoticeLine(line);
    if (v > 0)
        PlayerTable[v].dead = 1;
    MarkPlayerObjectDead(victim);
}

void ResetNetDispatch() {
    EnterReplied = GameOpened = DatagramEstablished = WorldSent = DatagramLinkPending = 0;
    ServiceAccepted = ServiceRefusal = 0;
    std::memset(ServerVersion, 0, sizeof ServerVersion);
    Ping = PingFigures{};
    NameCheckResults = NameCheck{};
}
