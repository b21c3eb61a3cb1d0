#pragma once
// The client's copies of what the service says about other players, the running arenas, the
// lobby tables of the Tavern and the fireteams: four fixed tables whose free entries carry id
// 65535, their adds, updates and removals, the look-ups by id, and the two lists that messages
// fill (high scores and the list of code 120). Handlers take bodies as they arrived (network
// order).

#include <cstddef>
#include <cstdint>

constexpr uint16_t kFreeId = 65535;
constexpr int kPlayerTableSize = 500;
constexpr int kArenaTableSize = 20;
constexpr int kLobbyTableSize = 20;
constexpr int kFireteamTableSize = 100;
constexpr int kTavernId = 255;

struct PlayerTableEntry {
    uint16_t id;
    char name[20];
    char squad[32];
    char abbrev[5];
    char entry_mark[4];
    uint16_t status;
    uint16_t deaths, kills, raises, biases;
    uint16_t vitals_word;
    uint16_t location;  // 0-49 arena, 50-99 lobby table, 100-149 arena + 100, 255 main Tavern
    uint16_t team;
    uint16_t has_flag;
    uint16_t dead;
    uint16_t value16, value17;  // F_PLAYER_JOINED bytes 16 and 17
    uint16_t health_bits;
    uint16_t cleared_word;
    uint16_t hits;
    uint16_t value19;
    uint16_t ping;
    uint32_t last_update;    // ms
    uint32_t teleport_time;  // ms
    uint32_t status_time;    // ms
    uint32_t flags;          // bits 0-6: operator
    uint16_t death_kind;
    uint32_t death_time;     // ms, when the local player saw it die
};

// What an arena's F_WORLD_STATE says about its match, by the body offsets noted.
struct ArenaMatch {
    uint8_t level_range;      // 2: index of the level range
    uint8_t max_players;      // 4
    uint8_t table;            // 5: lobby table of a private arena, 0 none
    uint8_t open_teams;       // 6: bit n - 1 set when team n may be joined
    uint8_t finished;         // 7
    uint8_t winner;           // 8: 3 Dragon, 5 Gryphon, 4 Phoenix, else a draw
    uint8_t state;            // 9: 1 done; the arena's states 1 to 5
    uint8_t player_count;     // 10
    uint8_t team_counts[4];   // 11, 12, 13: players of teams 1 to 3 (index 0 unused)
    uint8_t forced_team;      // 14: a team the service assigns, 0 none
    uint8_t nexus_states[3];  // 15, 16, 17: the three shrines' alignments
    uint8_t extra[6];         // 18 to 23
    uint32_t start_time;      // 24: seconds
    uint32_t time;            // 28: seconds, the service's clock
    uint32_t match_length;    // 32: seconds
    uint32_t seconds_left;    // 36
    uint32_t instance;        // 40: a new match has a new instance
    uint32_t team_points[3];  // 44, 48, 52
    uint16_t level_min;       // 56
    uint16_t level_max;       // 58
    uint32_t extra_value;     // 76
};

struct ArenaEntry {
    uint16_t id;
    uint8_t initialised;
    uint8_t arena_type;  // non-zero: a team game
    char name[20];
    char text3[10];
    char text1[10];      // the grid name
    char founder[10];
    uint32_t counters[4];  // 60 to 72 of F_WORLD_STATE
    ArenaMatch match;
    uint32_t entry_time;   // game clock / 10000 when the state last came
};

constexpr int kMemberListSize = 64;  // 512 bits as the service sends them

struct LobbyTableEntry {
    uint16_t id;
    uint8_t status;
    uint8_t value;
    char name[20];
    char founder[10];
    uint8_t members[kMemberListSize];
};

// Every field a message sets for one member of a fireteam.
struct FireteamMember {
    uint8_t in_use;
    uint8_t values[3];   // F_FIRETEAM_MEMBER_INFO bytes 5, 6 and 3
    uint8_t value;       // F_FIRETEAM_MEMBER_VALUE
    uint8_t extra[8];    // F_FIRETEAM_MEMBER_INFO bytes 8 to 15
    uint8_t status_byte; // F_FIRETEAM_STATUS byte 12 + k
    uint16_t id;
    char name[20];
};

struct FireteamEntry {
    uint16_t value;  // F_FIRETEAM_ENTER byte 3
    uint8_t status;
    uint16_t id;
    uint16_t mission;
    char name[20];
    uint32_t flag;
    uint16_t leader;
    char second_name[10];
    FireteamMember members[4];
};

// A player's name as a terminated text, whatever the entry's bytes hold.
struct PlayerName {
    char text[sizeof PlayerTableEntry::name + 1] = {};
    explicit PlayerName(const PlayerTableEntry& p) {
        for (size_t i = 0; i < sizeof p.name && p.name[i]; ++i)
            text[i] = p.name[i];
    }
    const char* c_str() const { return text; }
};

struct HighScoreRecord {
    char name[60];
    int32_t level;
    int32_t value;
};

struct Code120Entry {
    uint32_t in_use;
    char text[32];
    int32_t value;
};

extern PlayerTableEntry PlayerTable[kPlayerTableSize];
extern int32_t PlayerTableTop;  // highest index in use, -1 none
extern ArenaEntry ArenaTable[kArenaTableSize];
extern LobbyTableEntry LobbyTableList[kLobbyTableSize];
extern FireteamEntry FireteamList[kFireteamTableSize];
extern HighScoreRecord HighScoreLists[4][10];
extern Code120Entry Code120List[8];

// ---- Resets at each entry --------------------------------------------------------------------
void ClearPlayerTable();
// Empties arenas, lobby tables and fireteams; lobby entry 0 becomes the Tavern.
void ResetArenaList();

// ---- Players ---------------------------------------------------------------------------------
// Index of the entry, 0 when the table is full.
int UpdatePlayerTable(int id, int location, int team, const char* name);
int RemovePlayerById(int id);
void SetPlayerStatus(int id, int status);
void SetPlayerStatusTimed(int id, int status);
void OnPlayerVitals(const uint8_t* body, size_t size, int source);

// ---- Arenas, tables, fireteams ---------------------------------------------------------------
void UpdateArenaTable(int id, int arenaType, const char* name, const char* text1, const char* founder,
                      const char* text3);
int RemoveArenaById(int id);
// The match record and counters of arena entry index from an F_WORLD_STATE body.
void StoreWorldState(int index, const uint8_t* body, size_t size);
int UpdateTableTable(int id, int value, const char* name, const char* founder);
int RemoveTableById(int id);
int UpdateFireteamTable(int id, int flag, int mission, int value, const char* name, const char* secondName);
int RemoveFireteamById(int id);

// ---- Lists -----------------------------------------------------------------------------------
void OnHighscoreList(const uint8_t* body, size_t size);
void OnCode120(const uint8_t* body, size_t size);

// ---- Look-ups by id --------------------------------------------------------------------------
int FindPlayerIndex(int id);
int IsKnownPlayer(int id);
int FindArenaIndex(int id);
int FindTableIndex(int id);
int FindFireteamIndex(int id);

// The figure of a player that left: every live object of type 4 with that id goes.
void DestroyObjectsOfOwner(int id);
