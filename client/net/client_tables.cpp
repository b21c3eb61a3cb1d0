#include "client/net/client_tables.h"

#include <algorithm>
#include <cstring>

#include "client/arena/world_object.h"
#include "client/core/game_clock.h"
#include "client/net/net_bodies.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/notice_lines.h"
#include "client/screens/tavern_state.h"
#include "common/text.h"

PlayerTableEntry PlayerTable[kPlayerTableSize];
int32_t PlayerTableTop = -1;
ArenaEntry ArenaTable[kArenaTableSize];
LobbyTableEntry LobbyTableList[kLobbyTableSize];
FireteamEntry FireteamList[kFireteamTableSize];
HighScoreRecord HighScoreLists[4][10];
Code120Entry Code120List[8];

namespace {

constexpr int kRemovedColor = 222;

// Ids are compared as signed 16-bit values, as the service's are.
bool SameId(uint16_t stored, int id) { return static_cast<int16_t>(stored) == static_cast<int16_t>(id); }

// A text into a field; never more than the field less its terminator.
template <size_t N>
void Field(char (&dst)[N], const char* src) {
    CopyText(dst, src ? src : "");
}

uint32_t ClockMs() { return GameClock / 10; }

// The debug line of an entry that a newer announcement of its id replaces.
void SayRemoved(const char* kind, const char* name) {
    if (g_debugLevel != 2)
        return;
    char line[64];
    FormatText(line, sizeof line, "%s %s was just removed from the game!", kind, name);
    PrintMessage(MSG_SYSTEM, line, kRemovedColor, 0);
}

void RecomputePlayerTop() {
    PlayerTableTop = -1;
    for (int i = kPlayerTableSize - 1; i >= 0; --i) {
        if (PlayerTable[i].id != kFreeId) {
            PlayerTableTop = i;
            return;
        }
    }
}

void FillPlayer(int i, int id, int location, int team, const char* name) {
    PlayerTableEntry& e = PlayerTable[i];
    e = PlayerTableEntry{};
    e.id = static_cast<uint16_t>(id);
    e.location = static_cast<uint16_t>(location);
    e.team = static_cast<uint16_t>(team);
    Field(e.name, name);
    e.last_update = ClockMs();
}

void FillArena(ArenaEntry& e, int id, int arenaType, const char* name, const char* text1, const char* founder,
               const char* text3) {
    e.id = static_cast<uint16_t>(id);
    e.arena_type = static_cast<uint8_t>(arenaType);
    Field(e.name, name);
    Field(e.text1, text1);
    Field(e.founder, founder);
    Field(e.text3, text3);
    std::fill(std::begin(e.counters), std::end(e.counters), 0u);
}

void FillTable(LobbyTableEntry& e, int id, int value, const char* name, const char* founder) {
    e.id = static_cast<uint16_t>(id);
    e.value = static_cast<uint8_t>(value);
    Field(e.name, name);
    Field(e.founder, founder);
    e.status = 1;
}

void FillFireteam(FireteamEntry& e, int id, int flag, int mission, const char* name, const char* secondName) {
    e.id = static_cast<uint16_t>(id);
    e.mission = static_cast<uint16_t>(mission);
    e.flag = static_cast<uint32_t>(flag);
    Field(e.name, name);
    Field(e.second_name, secondName);
    e.status = 1;
}

template <typename Entry, size_t N>
int FindFrom(Entry (&table)[N], int first, int id) {
    for (int i = first; i < static_cast<int>(N); ++i)
        if (SameId(table[i].id, id))
            return i;
    return -1;
}

template <typename Entry, size_t N>
int FreeFrom(Entry (&table)[N], int first) {
    for (int i = first; i < static_cast<int>(N); ++i)
        if (table[i].id == kFreeId)
            return i;
    return -1;
}

uint32_t Be32(const uint8_t* p) { return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]; }

}  // namespace

// ---- Resets ----------------------------------------------------------------------------------

void ClearPlayerTable() {
    for (PlayerTableEntry& e : PlayerTable) {
        e = PlayerTableEntry{};
        e.id = kFreeId;
    }
    PlayerTableTop = -1;
}

void ResetArenaList() {
    for (ArenaEntry& e : ArenaTable) {
        e = ArenaEntry{};
        e.id = kFreeId;
    }
    for (LobbyTableEntry& e : LobbyTableList) {
        e = LobbyTableEntry{};
        e.id = kFreeId;
    }
    for (FireteamEntry& e : FireteamList) {
        e = FireteamEntry{};
        e.id = kFreeId;
    }
    FillTable(LobbyTableList[0], kTavernId, 0, "Main Tavern", "System");
}

// ---- Players ---------------------------------------------------------------------------------

int UpdatePlayerTable(int id, int location, int team, const char* name) {
    int found = -1;
    for (int i = 1; i <= PlayerTableTop; ++i) {
        if (SameId(PlayerTable[i].id, id)) {
            found = i;
            break;
        }
    }
    if (found > 0) {
        if (std::strncmp(PlayerTable[found].name, name ? name : "", sizeof PlayerTable[found].name) != 0) {
            char line[64];
            FormatText(line, sizeof line, "%s was removed from the game", PlayerTable[found].name);
            PushNoticeLine(line);
        }
        RemovePlayerById(id);
        DestroyObjectsOfOwner(id);
        FillPlayer(found, id, location, team, name);
    } else {
        found = FreeFrom(PlayerTable, 1);
        if (found < 0)
            return 0;
        FillPlayer(found, id, location, team, name);
        PrintDebug("%s added to Player Table. ID=%d Slot=%d", PlayerTable[found].name, id, found);
    }
    RecomputePlayerTop();
    return found;
}

int RemovePlayerById(int id) {
    for (int i = 0; i <= PlayerTableTop; ++i) {
        if (!SameId(PlayerTable[i].id, id))
            continue;
        PlayerTable[i].id = kFreeId;
        PlayerTable[i].cleared_word = 0;
        ClearTableValidation(id);
        RecomputePlayerTop();
        return 1;
    }
    return 0;
}

void SetPlayerStatus(int id, int status) {
    for (int i = 0; i <= PlayerTableTop; ++i)
        if (SameId(PlayerTable[i].id, id))
            PlayerTable[i].status = static_cast<uint16_t>(status);
}

void SetPlayerStatusTimed(int id, int status) {
    for (int i = 0; i <= PlayerTableTop; ++i) {
        if (SameId(PlayerTable[i].id, id)) {
            PlayerTable[i].status = static_cast<uint16_t>(status);
            PlayerTable[i].status_time = ClockMs();
        }
    }
}

void OnPlayerVitals(const uint8_t* body, size_t size, int source) {
    PlayerVitalsBody v;
    if (!DecodePlayerVitals(body, size, &v))
        return;
    // An unknown source lands in entry 0, which no look-up ever finds.
    PlayerTableEntry& e = PlayerTable[FindPlayerIndex(source)];
    e.deaths = v.deaths;
    e.kills = v.kills;
    e.raises = v.raises;
    e.vitals_word = v.word;
    e.biases = v.biases;
    e.hits = v.hits;
    e.ping = v.ping;
    RequestPageRedraw();
}

// ---- Arenas, tables, fireteams ---------------------------------------------------------------

void UpdateArenaTable(int id, int arenaType, const char* name, const char* text1, const char* founder,
                      const char* text3) {
    int i = FindFrom(ArenaTable, 1, id);
    if (i < 0) {
        i = FreeFrom(ArenaTable, 1);
        if (i < 0)
            return;
        FillArena(ArenaTable[i], id, arenaType, name, text1, founder, text3);
        PrintDebug("Arena %s added to Player Table. ID=%d Slot=%d", ArenaTable[i].name, id, i);
        return;
    }
    SayRemoved("Arena", ArenaTable[i].name);
    RemoveArenaById(id);
    FillArena(ArenaTable[i], id, arenaType, name, text1, founder, text3);
}

int RemoveArenaById(int id) {
    int i = FindFrom(ArenaTable, 1, id);
    if (i < 0)
        return 0;
    ArenaTable[i].id = kFreeId;
    ArenaTable[i].initialised = 0;
    return i;
}

void StoreWorldState(int index, const uint8_t* body, size_t size) {
    if (index < 0 || index >= kArenaTableSize || size < 80)
        return;
    ArenaEntry& e = ArenaTable[index];
    ArenaMatch& m = e.match;
    e.arena_type = body[1];
    m.level_range = body[2];
    m.max_players = body[4];
    m.table = body[5];
    m.open_teams = body[6];
    m.finished = body[7];
    m.winner = body[8];
    m.state = body[9];
    m.player_count = body[10];
    m.team_counts[0] = 0;
    std::memcpy(m.team_counts + 1, body + 11, 3);
    m.forced_team = body[14];
    std::memcpy(m.nexus_states, body + 15, 3);
    std::memcpy(m.extra, body + 18, 6);
    m.start_time = Be32(body + 24);
    m.time = Be32(body + 28);
    m.match_length = Be32(body + 32);
    m.seconds_left = Be32(body + 36);
    m.instance = Be32(body + 40);
    for (int k = 0; k < 3; ++k)
        m.team_points[k] = Be32(body + 44 + 4 * k);
    m.level_min = static_cast<uint16_t>((body[56] << 8) | body[57]);
    m.level_max = static_cast<uint16_t>((body[58] << 8) | body[59]);
    for (int k = 0; k < 4; ++k)
        e.counters[k] = Be32(body + 60 + 4 * k);
    m.extra_value = Be32(body + 76);
}

int UpdateTableTable(int id, int value, const char* name, const char* founder) {
    int i = FindFrom(LobbyTableList, 1, id);
    if (i < 0) {
        i = FreeFrom(LobbyTableList, 1);
        if (i < 0)
            return 0;
        FillTable(LobbyTableList[i], id, value, name, founder);
        PrintDebug("Table %s added to Table Table. ID=%d Slot=%d", LobbyTableList[i].name, id, i);
        return i;
    }
    SayRemoved("Table", LobbyTableList[i].name);
    RemoveTableById(id);
    FillTable(LobbyTableList[i], id, value, name, founder);
    return i;
}

int RemoveTableById(int id) {
    int i = FindFrom(LobbyTableList, 0, id);
    if (i < 0)
        return 0;
    LobbyTableList[i].id = kFreeId;
    LobbyTableList[i].status = 0;
    return 1;
}

int UpdateFireteamTable(int id, int flag, int mission, int value, const char* name, const char* secondName) {
    int i = FindFrom(FireteamList, 1, id);
    if (i < 0) {
        i = FreeFrom(FireteamList, 1);
        if (i < 0)
            return 0;
        FillFireteam(FireteamList[i], id, flag, mission, name, secondName);
        FireteamList[i].value = static_cast<uint16_t>(value);
        PrintDebug("Fireteam %s added to Fireteam Table. ID=%d Slot=%d", FireteamList[i].name, id, i);
        return i;
    }
    SayRemoved("Fireteam", FireteamList[i].name);
    RemoveFireteamById(id);
    FillFireteam(FireteamList[i], id, 0, mission, name, secondName);
    FireteamList[i].value = static_cast<uint16_t>(value);
    return i;
}

int RemoveFireteamById(int id) {
    int i = FindFrom(FireteamList, 0, id);
    if (i < 0)
        return 0;
    FireteamList[i] = FireteamEntry{};
    FireteamList[i].id = kFreeId;
    return 1;
}

// ---- Lists -----------------------------------------------------------------------------------

void OnHighscoreList(const uint8_t* body, size_t size) {
    HighscoreListBody h;
    if (!DecodeHighscoreList(body, size, &h) || h.list > 3)
        return;
    for (int k = 0; k < h.records; ++k) {
        HighScoreRecord& r = HighScoreLists[h.list][k];
        Field(r.name, h.record[k].name);
        r.level = static_cast<int32_t>(h.record[k].level);
        r.value = static_cast<int32_t>(h.record[k].second);
    }
    PrintDebug("F_HIGHSCORE_LIST received.  List=%d Num=%d.", static_cast<int>(h.list), static_cast<int>(h.count));
}

void OnCode120(const uint8_t* body, size_t size) {
    Code120Body c;
    if (!DecodeCode120(body, size, &c))
        return;
    for (int k = 0; k < 8; ++k) {
        Code120Entry& e = Code120List[k];
        e.in_use = c.inUse[k] ? 1 : 0;
        if (!e.in_use)
            continue;
        Field(e.text, c.texts[k]);
        e.value = c.values[k];
    }
}

// ---- Look-ups --------------------------------------------------------------------------------

int FindPlayerIndex(int id) {
    for (int i = 1; i <= PlayerTableTop; ++i)
        if (SameId(PlayerTable[i].id, id))
            return i;
    return 0;
}

int IsKnownPlayer(int id) { return FindPlayerIndex(id) ? 1 : 0; }

// Entry 0 answers like no match: callers take 0 as unknown.
int FindArenaIndex(int id) { return std::max(0, FindFrom(ArenaTable, 0, id)); }
int FindTableIndex(int id) { return std::max(0, FindFrom(LobbyTableList, 0, id)); }
int FindFireteamIndex(int id) { return std::max(0, FindFrom(FireteamList, 0, id)); }

void DestroyObjectsOfOwner(int id) {
    if (id == 0)
        return;
    for (int slot = 1; slot < WorldObjectHighWater && slot < kWorldObjectSlots; ++slot) {
        const WorldObject& o = WorldObjectTable[slot];
        if (o.active && o.type == OBJ_PLAYER && o.id == static_cast<uint32_t>(id))
            DestroyObject(slot);
    }
}
