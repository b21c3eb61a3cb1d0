#include "client/net/net_lobby.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "client/arena/local_player.h"
#include "client/arena/world_object.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/numeric.h"
#include "client/core/screen_state.h"
#include "client/net/client_tables.h"
#include "client/net/net_bodies.h"
#include "client/net/net_catalogue.h"
#include "client/net/net_dispatch.h"
#include "client/net/net_handshake.h"
#include "client/net/net_rings.h"
#include "client/net/net_spells.h"
#include "client/present/present_services.h"
#include "client/screens/character_file.h"
#include "client/screens/character_state.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/fonts.h"
#include "client/screens/notice_lines.h"
#include "client/screens/screen_surface.h"
#include "common/text.h"
#include "platform/win/platform.h"
#include "platform/win/win.h"

int32_t LocalFireteam = 0;
int32_t LocalFireteamIndex = 0;
char PendingInviteSquad[32] = {};
char PendingInviteAbbrev[8] = {};

namespace {

int OwnId() { return GetGameValue(118) & 0xFFFF; }
bool Connected() { return g_linkState == 2; }

// The account the service keeps our characters under.
void CharacterAccount(char out[21]) {
    if (g_login.privilegeLevel != 0 && g_login.assumedName[0] != '\0')
        std::snprintf(out, 21, "%.20s", g_login.assumedName);
    else
        std::snprintf(out, 21, "%.20s", SwapOddNibblesCopy(g_login.account));
}

// Plain copy of a nibble-swapped text field.
void Plain(const char* held, size_t size, char* out) {
    std::memset(out, 0, size + 1);
    std::memcpy(out, held, strnlen(held, size));
    SwapOddNibbles(out);
}

void SendNameMessage(int code, const char* compareForm, const char* account) {
    NameQueryBody q{};
    std::snprintf(q.name, sizeof q.name, "%s", compareForm);
    std::snprintf(q.account, sizeof q.account, "%s", account);
    uint8_t body[64] = {};
    const size_t n = EncodeNameQuery(q, body);
    SendPacket(body, code, static_cast<int>(n), 0, kDestinationService);
}

void SendNamePair(int firstCode, int secondCode, const char* name, const char* account) {
    char form[30];
    NameCompareForm(name, form, sizeof form);
    SendNameMessage(firstCode, form, account);
    if (secondCode)
        SendNameMessage(secondCode, form, account);
}

void SendGuild(int code, int to, int destination) {
    GuildBody g{};
    g.from = static_cast<uint16_t>(OwnId());
    g.to = static_cast<uint16_t>(to);
    char squad[33], abbrev[9];
    Plain(g_currentCharacter.squad, sizeof g_currentCharacter.squad, squad);
    Plain(g_currentCharacter.abbrev, sizeof g_currentCharacter.abbrev, abbrev);
    std::snprintf(g.squad, sizeof g.squad, "%s", squad);
    std::snprintf(g.abbrev, sizeof g.abbrev, "%s", abbrev);
    uint8_t body[44] = {};
    EncodeGuild(g, body);
    SendPacket(body, code, 44, 0, destination);
}

bool HasMember(const uint8_t* list, int id) {
    return id > 0 && id < kMemberListSize * 8 && (list[id >> 3] & (1u << (id & 7))) != 0;
}

// Eleven words that never reach the console as typed.
constexpr const char* kFilteredWords[11] = {"bastard", "bollocks", "crap",  "damn",    "dickhead", "git",
                                            "prick",   "shite",    "slag",  "tosser",  "wanker"};

}  // namespace

// ---- Characters ------------------------------------------------------------------------------

void RequestCharacter(int slot) {
    if (!Connected() || slot < 0 || slot >= kCharacterSlots)
        return;
    CharacterHeadBody h{};
    CharacterAccount(h.account);
    h.slot = static_cast<uint8_t>(slot);
    SlotRequestState[slot] = 1;
    uint8_t copy[kServiceCopySize];
    ReadServiceCopy(slot, copy);
    copy[4] = 0;  // the name's first byte: no character until the answer
    XorBuffer(copy, kServiceCopySize);
    std::memcpy(ServiceCopies[slot], copy, kServiceCopySize);
    NetDebug(44, "Send F_REQUEST_CHARACTER: account=%s which=%d", h.account, slot);
    uint8_t body[24] = {};
    const size_t n = EncodeRequestCharacter(h, body);
    SendPacket(body, F_REQUEST_CHARACTER, static_cast<int>(n), 0, kDestinationService);
    KillTimer(platform::MainWindow(), kCharacterRetryTimer);
    SetTimer(platform::MainWindow(), kCharacterRetryTimer, 5000, nullptr);
}

void SendCharacter(int slot) {
    if (!Connected() || slot < 0 || slot >= kCharacterSlots)
        return;
    CharacterBody c{};
    CharacterAccount(c.account);
    c.slot = static_cast<uint8_t>(slot);
    uint8_t copy[kServiceCopySize];
    ReadServiceCopy(slot, copy);
    std::memcpy(c.record, copy + 4, kServiceCopySize - 4);
    NetDebug(44, "Send F_SEND_CHARACTER: account=%s which=%d", c.account, slot);
    uint8_t body[kCharacterBodySize] = {};
    EncodeCharacter(c, body);
    SendPacket(body, F_SEND_CHARACTER, kCharacterBodySize, 0, kDestinationService);
    SetTimer(platform::MainWindow(), kCharacterSendTimer, 5000, nullptr);
}

void StoreReceivedCharacter(int slot, const uint8_t* record, int size) {
    if (slot < 0 || slot >= kCharacterSlots)
        return;
    const bool stored = size > 0 && record[0] != 0;
    if (stored)
        StoreServiceCopy(slot, record, size);
    SlotRequestState[slot] = stored ? 2 : 0;
}

// ---- Names -----------------------------------------------------------------------------------

void NameCompareForm(const char* name, char* out, int size) {
    int n = 0;
    for (const char* p = name; *p && n < size - 1; ++p) {
        if (*p == ' ' || *p == '_')
            continue;
        out[n++] = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    }
    out[n] = '\0';
}

void QueryName() {
    if (!Connected())
        return;
    char account[21], name[13];
    CharacterAccount(account);
    Plain(g_currentCharacter.name, sizeof g_currentCharacter.name, name);
    char form[30];
    NameCompareForm(name, form, sizeof form);
    NetDebug(44, "Send F_QUERY_NAME: account=%s name=%s", account, form);
    NameCheckResults.queryAnswer = 0;
    NameCheckResults.checkAnswer = 0;
    SendNameMessage(F_QUERY_NAME, form, account);
    SendNameMessage(F_CHECK_NAME, form, account);
}

void QueryNameAndAbbrev(const char* name, const char* abbrev) {
    if (!Connected())
        return;
    char form[30];
    NameCompareForm(name, form, sizeof form);
    std::snprintf(NameCheckResults.pendingSquad, sizeof NameCheckResults.pendingSquad, "%s", form);
    NameCompareForm(abbrev, form, sizeof NameCheckResults.pendingAbbrev);
    std::snprintf(NameCheckResults.pendingAbbrev, sizeof NameCheckResults.pendingAbbrev, "%s", form);
    NameCheckResults.bits = 0;
    SendNamePair(F_QUERY_NAME, F_CHECK_NAME, name, "*name");
    SendNamePair(F_QUERY_NAME, F_CHECK_NAME, abbrev, "*abbrev");
}

int WaitForNameReply() {
    WaitOverFlag = 0;
    SetTimer(platform::MainWindow(), kWaitTimer, 8000, nullptr);
    while (!WaitOverFlag) {
        if (NameCheckResults.queryAnswer && NameCheckResults.checkAnswer)
            break;
        BlockRead();
    }
    if (WaitOverFlag && !(NameCheckResults.queryAnswer && NameCheckResults.checkAnswer))
        return 3;
    KillTimer(platform::MainWindow(), kWaitTimer);
    if (NameCheckResults.queryAnswer == 2)
        return 1;
    if (NameCheckResults.checkAnswer == 2)
        return 2;
    return 0;
}

void AddName() {
    if (!Connected())
        return;
    char account[21], name[13], form[30];
    CharacterAccount(account);
    Plain(g_currentCharacter.name, sizeof g_currentCharacter.name, name);
    NameCompareForm(name, form, sizeof form);
    NetDebug(44, "Send F_ADD_NAME: account=%s name=%s", account, form);
    SendNameMessage(F_ADD_NAME, form, account);
}

void AddNameAndAbbrev(const char* name, const char* abbrev) {
    if (!Connected())
        return;
    SendNamePair(F_ADD_NAME, 0, name, "*name");
    SendNamePair(F_ADD_NAME, 0, abbrev, "*abbrev");
}

void DeleteName(LocalPlayer*, const char* name) {
    if (!Connected())
        return;
    char account[21], form[30];
    CharacterAccount(account);
    NameCompareForm(name, form, sizeof form);
    NetDebug(44, "Send F_DELETE_NAME: account=%s name=%s", account, form);
    SendNameMessage(F_DELETE_NAME, form, account);
}

// ---- Squads ----------------------------------------------------------------------------------

void SendInviteGuild(int target) {
    if (!Connected())
        return;
    NetDebug(44, "Sending F_INVITE_GUILD: to=%d", target);
    SendGuild(F_INVITE_GUILD, target, target);
}

void SendJoinGuild() {
    if (!Connected())
        return;
    NetDebug(44, "Sending F_JOIN_GUILD: to=%d", 0);
    SendGuild(F_JOIN_GUILD, 0, 0);
}

void SendLeaveGuild() {
    if (!Connected())
        return;
    NetDebug(44, "Sending F_LEAVE_GUILD: to=%d", 0);
    SendGuild(F_LEAVE_GUILD, 0, 0);
}

void OnInviteGuild(const uint8_t* body, int length) {
    GuildBody g;
    if (!DecodeGuild(body, static_cast<size_t>(length), &g))
        return;
    NetDebug(44, "F_INVITE_GUILD -> from=%d to=%d abb=%s nam=%s", g.from, g.to, g.abbrev, g.squad);
    if (g.to != OwnId())
        return;
    std::snprintf(PendingInviteSquad, sizeof PendingInviteSquad, "%s", g.squad);
    std::snprintf(PendingInviteAbbrev, sizeof PendingInviteAbbrev, "%s", g.abbrev);
    SwapOddNibbles(PendingInviteSquad);
    SwapOddNibbles(PendingInviteAbbrev);
    NetSay(44, "You are invited to join the %s (%s) Squad.", g.squad, g.abbrev);
    NetSay(44, "Click on the SQUADS button and SHOW the %s Squad.", g.squad);
}

void OnJoinGuild(const uint8_t* body, int length) {
    GuildBody g;
    if (!DecodeGuild(body, static_cast<size_t>(length), &g))
        return;
    SetPlayerSquad(g.from, g.abbrev, g.squad);
    NetDebug(44, "F_JOIN_GUILD -> from=%d to=%d abb=%s nam=%s", g.from, g.to, g.abbrev, g.squad);
}

void OnLeaveGuild(const uint8_t* body, int length) {
    GuildBody g;
    if (!DecodeGuild(body, static_cast<size_t>(length), &g))
        return;
    const int i = FindPlayerIndex(g.from);
    if (i > 0) {
        PlayerTable[i].squad[0] = '\0';
        PlayerTable[i].abbrev[0] = '\0';
        char own[33];
        Plain(g_currentCharacter.squad, sizeof g_currentCharacter.squad, own);
        if (own[0] && std::strcmp(own, g.squad) == 0)
            NetSay(44, "%s leaves your squad.", PlayerTable[i].name);
    }
    NetDebug(44, "F_LEAVE_GUILD -> from=%d to=%d abb=%s nam=%s", g.from, g.to, g.abbrev, g.squad);
}

void OnGuildInfo(const uint8_t* body, int length) {
    GuildInfoEntry entries[64];
    int count = 0;
    // A walk that runs past the frame keeps only the whole entries before it.
    DecodeGuildInfo(body, static_cast<size_t>(length), entries, 64, &count);
    NetDebug(44, "F_GUILD_INFO -> num=%d", length > 0 ? body[0] : 0);
    for (int k = 0; k < count; ++k)
        NetDebug(44, "Received Guild #%d: %s %s", k, entries[k].name, entries[k].abbrev);
}

int SetPlayerSquad(int id, const char* abbrev, const char* name) {
    const int i = FindPlayerIndex(id);
    if (i <= 0)
        return 0;
    CopyText(PlayerTable[i].abbrev, abbrev);
    CopyText(PlayerTable[i].squad, name);
    return i;
}

// ---- Lobby -----------------------------------------------------------------------------------

void SendValidatePlayerList(int tableIndex, const uint8_t* list) {
    if (!Connected() || tableIndex < 0 || tableIndex >= kLobbyTableSize)
        return;
    ValidateListBody v{};
    v.table = static_cast<uint8_t>(LobbyTableList[tableIndex].id);
    std::memcpy(v.members, list, kMemberListBytes);
    uint8_t body[68] = {};
    EncodeValidateList(v, body);
    SendPacket(body, F_VALIDATE_PLAYER_LIST, 68, 0, 0);
}

void OnValidatePlayerList(const uint8_t* body, int length) {
    ValidateListBody v;
    if (!DecodeValidateList(body, static_cast<size_t>(length), &v))
        return;
    NetDebug(44, "Received F_VALIDATE_PLAYER_LIST: which=%d", v.table);
    const int i = FindTableIndex(v.table);
    if (i <= 0) {
        NetDebug(44, "Received validation list for invalid table (#%d)", v.table);
        return;
    }
    LobbyTableEntry& t = LobbyTableList[i];
    const bool before = HasMember(t.members, OwnId());
    std::memcpy(t.members, v.members, kMemberListSize);
    if (!before && HasMember(t.members, OwnId())) {
        char line[128];
        FormatText(line, sizeof line, "You have been invited to %s (#%d) by %s.", t.name, v.table, t.founder);
        PrintMessage(MSG_SYSTEM, line, 0, 2);
    }
}

void SendNewArena(int which, int level, int type, int table) {
    if (!Connected())
        return;
    NetDebug(44, "F_NEW_ARENA -> which=%d lev=%d type=%d tab=%d", which, level, type, table);
    const uint8_t body[4] = {static_cast<uint8_t>(which), static_cast<uint8_t>(level), static_cast<uint8_t>(type),
                             static_cast<uint8_t>(table)};
    SendPacket(body, F_NEW_ARENA, 4, 0, 0);
}

void SendNewTable(int type) {
    if (!Connected())
        return;
    NetDebug(44, "F_NEW_TABLE -> type=%d", type);
    const uint8_t body[2] = {static_cast<uint8_t>(type), 0};
    SendPacket(body, F_NEW_TABLE, 2, 0, 0);
}

void SendSelectArena(int id) {
    const uint8_t b = static_cast<uint8_t>(id);
    if (Connected())
        SendPacket(&b, F_SELECT_ARENA, 1, 0, 0);
}

void SendSelectTable(int id) {
    const uint8_t b = static_cast<uint8_t>(id);
    if (Connected())
        SendPacket(&b, F_SELECT_TABLE, 1, 0, 0);
}

void OnWorldState(const uint8_t* body, int length, int arenaIndex) {
    if (arenaIndex <= 0 || arenaIndex >= kArenaTableSize)
        return;
    StoreWorldState(arenaIndex, body, static_cast<size_t>(length));
    ArenaEntry& a = ArenaTable[arenaIndex];
    if (!a.initialised) {
        NetDebug(44, "Arena %s Initialized. ID=%d Slot=%d Type=%d", a.name, a.id, arenaIndex, a.arena_type);
        a.initialised = 1;
    }
    a.entry_time = ReadGameClock() / 10000;
    RequestPageRedraw();
    SetPanelRedrawFlag(18, 1);
}

void EnterFireteam(const FireteamEnterBody& f) {
    const int i = UpdateFireteamTable(f.number, f.flag, f.mission, f.value, f.name, f.secondName);
    if (i > 0) {
        FireteamEntry& e = FireteamList[i];
        e.leader = f.leader;
        for (int k = 0; k < 4; ++k) {
            FireteamMember& m = e.members[k];
            m.id = static_cast<uint16_t>(f.tail[2 * k] << 8 | f.tail[2 * k + 1]);
            const uint8_t* r = f.tail + 8 + 16 * k;
            m.in_use = r[0];
            std::memcpy(m.values, r + 1, 3);
            m.value = r[4];
            std::memcpy(m.extra, r + 5, 8);
        }
    }
    if (f.leader == OwnId()) {
        NetSay(44, "You become the FTL of fireteam #%d", f.number);
        LocalFireteam = f.number;
        LocalFireteamIndex = i;
    }
    NetDebug(44, "Fireteam %s (#%d ID=%d Mis=%d) has just been started.", f.name, f.number, f.number, f.mission);
}

void OnFireteamStatus(const uint8_t* body, int length) {
    FireteamStatusBody s;
    if (!DecodeFireteamStatus(body, static_cast<size_t>(length), &s))
        return;
    const int i = FindFireteamIndex(s.number);
    if (i <= 0)
        return;
    FireteamEntry& e = FireteamList[i];
    bool member = false;
    for (int k = 0; k < 4; ++k) {
        FireteamMember& m = e.members[k];
        CopyText(m.name, s.names[k]);
        m.id = s.members[k];
        m.status_byte = s.memberBytes[k];
        if (s.members[k] != 0 && s.members[k] == OwnId()) {
            member = true;
            if (LocalFireteam != s.number) {
                NetSay(44, "You join fireteam #%d", s.number);
                LocalFireteam = s.number;
                LocalFireteamIndex = i;
            }
        }
    }
    if (!member && LocalFireteam == s.number) {
        NetSay(44, "You leave fireteam #%d", s.number);
        LocalFireteam = 0;
        LocalFireteamIndex = 0;
    }
    if (member) {
        const int from = e.status, to = s.status;
        if (from == 0 && to == 1 && g_screenState == 2)
            RequestNextScreen(11);
        else if (from == 1 && to == 2 && g_screenState == 11)
            RequestNextScreen(1);
        else if (from == 1 && to == 0 && g_screenState == 11)
            RequestNextScreen(2);
    }
    e.status = s.status;
    NetDebug(44, "Fireteam %s (slot=%d, id=%d, stat=%d) status update.", e.name, i, s.number, s.status);
}

void OnFireteamMemberInfo(const uint8_t* body, int length) {
    FireteamMemberInfoBody m;
    if (!Connected() || !DecodeFireteamMemberInfo(body, static_cast<size_t>(length), &m))
        return;
    NetDebug(44, "F_FIRETEAM_MEMBER_INFO: fid=%d pid=%d", m.fireteam, m.id);
    const int i = FindFireteamIndex(m.fireteam);
    if (i <= 0 || FireteamList[i].status == 0)
        return;
    for (FireteamMember& r : FireteamList[i].members) {
        if (r.id != m.id || r.in_use)
            continue;
        r.in_use = 1;
        r.values[0] = m.value5;
        r.values[1] = m.value6;
        r.values[2] = m.value3;
        std::memcpy(r.extra, m.extra, 8);
        return;
    }
}

void OnFireteamMemberValue(const uint8_t* body, int length) {
    if (length < 3)
        return;
    const int i = FindFireteamIndex(body[0]);
    // The member index comes from the wire: only the four records take it.
    if (i <= 0 || body[1] > 3)
        return;
    FireteamList[i].members[body[1]].value = body[2];
}

void OnSendAccount(const uint8_t* body, int length) {
    SendAccountBody a;
    if (!DecodeSendAccount(body, static_cast<size_t>(length), &a))
        return;
    NetDebug(44, "Rcv F_SEND_ACCOUNT: which=%d name=%s", a.id, a.name);
    char address[20];
    std::snprintf(address, sizeof address, "%d.%d.%d.%d", a.address[0], a.address[1], a.address[2], a.address[3]);
    NetSay(222, "Account Information for [%s] (id=%d)", a.name, a.id);
    NetSay(222, "Account=[%s] IP=[%s]", a.account, address);
}

void OnRenamePlayer(int, int target, const char* name) {
    NetDebug(44, "F_RENAME_PLAYER for target=%d name=%s", target, name);
    if (target == OwnId()) {
        NetSay(44, "You were renamed to %s.", name);
        char old[13];
        Plain(g_currentCharacter.name, sizeof g_currentCharacter.name, old);
        DeleteName(g_localPlayer, old);
        std::memset(g_currentCharacter.name, 0, sizeof g_currentCharacter.name);
        std::snprintf(g_currentCharacter.name, sizeof g_currentCharacter.name, "%.11s", name);
        SwapOddNibbles(g_currentCharacter.name);
        SaveCurrentCharacter();
        AddName();
        return;
    }
    const int i = FindPlayerIndex(target);
    if (i <= 0)
        return;
    std::snprintf(PlayerTable[i].name, sizeof PlayerTable[i].name, "%.19s", name);
    const int figure = KnownPlayerFigure(target);
    if (figure && WorldObjectTable[figure].name_label) {
        const int team = PlayerTable[i].team;
        SetNameTag(WorldObjectTable[figure].name_label, PlayerTable[i].name,
                   TeamColorIndex(team), 0);
    }
}

// ---- Chat ------------------------------------------------------------------------------------

void FilterChatWords(char* text) {
    for (const char* word : kFilteredWords) {
        const size_t n = std::strlen(word);
        for (char* p = text; *p; ++p) {
            if (strncasecmp(p, word, n) != 0)
                continue;
            const bool startsWord = p == text || !std::isalpha(static_cast<unsigned char>(p[-1]));
            const bool endsWord = !std::isalpha(static_cast<unsigned char>(p[n]));
            if (startsWord && endsWord)
                std::memset(p, '*', n);
        }
    }
}

void ShowChatText(int source, const char* text, int channel, int team) {
    const int i = FindPlayerIndex(source);
    const int ownTeam = GetGameValue(4);
    switch (channel) {
        case 1:
            if (team == ownTeam && GetGameValue(114) == 3)
                PrintMessage(source, text, 1, 2);
            return;
        case 2:
            if (GetGameValue(3) == 0 && team != ownTeam)
                return;
            PrintMessage(source, text, TeamColorIndex(team), 2);
            return;
        case 3:
            PrintMessage(source, text, 0, 8);
            return;
        default:
            PrintMessage(source, text, i > 0 && (PlayerTable[i].flags & 1) ? 5 : 0, 0);
            return;
    }
}

void ClearChatInputLine() {
    constexpr int kChatEntryPanel = 6;
    if (g_screenState == 1) {
        g_screen.FillRect16(180, 580, 256, 16, 0);
    } else {
        g_screen.CopyFromBackground(200, 580, 500, 20);
        g_screen.QueueDirtyRect(200, 580, 500, 20, 1);
    }
    SetPanelRedrawFlag(kChatEntryPanel, 1);
}

void ResetNetLobby() {
    LocalFireteam = 0;
    LocalFireteamIndex = 0;
    std::memset(PendingInviteSquad, 0, sizeof PendingInviteSquad);
    std::memset(PendingInviteAbbrev, 0, sizeof PendingInviteAbbrev);
}
