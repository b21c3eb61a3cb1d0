#pragma once
// The Tavern, the lobby between matches: what it has selected and chosen, where the player is,
// the level ranges and team strengths, and the rules over the client tables that its pages and
// its input share (who may select, enter, claim, start or sit where). The tables are only read
// here, except the validated sets of the lobby tables.

#include <cstdint>

constexpr int kLevelRanges = 40;
constexpr int kStrengthLevels = 41;
constexpr int kLevelRangeChoices = 3;
// The first level-range choice never goes above this, so the three choices stay in the table.
constexpr int kFirstRangeChoiceMax = 14;
constexpr int kPendingStartMs = 10000;
constexpr int kValidatedIds = 512;  // the bits of a table's validated set
constexpr int kTavernPlace = 255;

// Pages: 1 arena list, 2 arena details, 3 table list, 4 start a match, 5 table details, 6 start
// a new table.
struct TavernState {
    int32_t page = 1;
    int32_t selectedArena = 0;   // arena entry 0..19
    int32_t selectedTable = 0;   // lobby-table entry 0..19
    int32_t selectedEntry = 0;   // arena-list entry of a new match
    int32_t tableType = 0;       // 0 public, 1 private
    int32_t chosenTeam = 0;      // 0 none, 1 Dragon, 2 Gryphon, 3 Phoenix
    int32_t levelRange = 0;      // level-range index of a new match
    int32_t firstRow = 0;        // first shown row of the player column
    int32_t place = kTavernPlace;  // the player's own location value
    int32_t pendingStart = 0;    // ms left before another match may be requested
    int32_t chatView = 0;        // lines the chat view is scrolled back (0..80)
    int32_t indicator = 0;       // SetTavernIndicator's value
};
extern TavernState g_tavern;

// Back to the state of a fresh lobby (page 1, in the main Tavern).
void ResetTavernState();

struct LevelRange {
    int32_t low, high;
};
// The range of an index; indices outside 0..39 take the nearest entry.
LevelRange LevelRangeOf(int index);
// The level range index of choice n (0..2) for a player of this level: the first is level - 1
// kept within 0..14. Drawing, clicks and the new-match request all use it.
int LevelRangeChoice(int level, int n);
// The strength weight of a level (0..40; outside, the nearest).
int LevelWeight(int level);
const char* TeamName(int team);

// ---- The player -------------------------------------------------------------------------------
int SysopLevel();
// The current character's name, plain (at most 11 characters).
const char* OwnName(char out[16]);
// Names compared without regard to case over at most 9 characters.
bool SameName(const char* a, const char* b);
bool IsOwnName(const char* name);

// ---- Entries ----------------------------------------------------------------------------------
int IsArenaEntryUsed(int n);
int IsTableEntryUsed(int n);
int CountArenas();
int CountMyArenas();
int CountMyTables();
// A private arena belongs to a lobby table.
bool IsPrivateArena(int n);
bool IsPrivateTable(int n);
// Index of the arena entry with this id, -1 when none.
int FindArenaById(int id);
// The arena a location names (0..49 the arena, 100..149 the arena + 100), -1 when none.
int FindArenaByLocation(int location);
// The lobby-table entry a location names, -1 when none.
int FindTableByLocation(int location);
int CountPlayersInArena(int n);
int CountPlayersAtTable(int n);
// The entry of the table the player sits at, -1 in the main Tavern.
int OwnTableIndex();
// The entry of the player's own table when it is private and the player founded it, else -1.
int OwnPrivateTableIndex();

// ---- Validated sets ---------------------------------------------------------------------------
int IsValidatedAtTable(int table, int playerId);
// Takes the player out of the validated sets of tables 1 to 19.
void ClearTableValidation(int playerId);

// ---- Rules ------------------------------------------------------------------------------------
bool CanSelectArena(int n);
bool CanClaimArena(int n);
bool CanEnterArena(int n);
bool IsArenaFull(int n);
bool CanStartArena();
bool CanSitAtTable(int t);
bool CanClaimTable(int t);
bool CanStartTable();
// Whether the player's level is below the arena's range (for the refusal's wording).
bool IsBelowArenaRange(int n);
// Whether team (1..3) may be joined in arena n.
bool IsTeamOpen(int n, int team);
// The nexus of team (1..3) in arena n is destroyed.
bool IsNexusDestroyed(int n, int team);
int TeamStrength(int n, int team);

// ---- Selection (also asked by the network when an arena goes away) ----------------------------
int TavernPage();
int SelectedArena();
void ClearTavernSelection();
