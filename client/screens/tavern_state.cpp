#include "client/screens/tavern_state.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "client/core/game_values.h"
#include "client/core/numeric.h"
#include "client/net/client_tables.h"
#include "client/screens/character_state.h"
#include "common/text.h"

TavernState g_tavern;

namespace {

constexpr LevelRange kLevelRangeTable[kLevelRanges] = {
    {1, 2},   {1, 3},   {1, 4},   {2, 5},   {3, 6},   {3, 7},   {4, 8},   {4, 9},   {5, 10},  {6, 12},
    {7, 13},  {8, 15},  {8, 16},  {9, 17},  {9, 18},  {10, 20}, {11, 22}, {12, 23}, {13, 25}, {14, 25},
    {15, 25}, {15, 30}, {15, 30}, {15, 30}, {15, 30}, {15, 30}, {20, 35}, {20, 35}, {20, 35}, {20, 35},
    {20, 35}, {20, 35}, {20, 35}, {20, 35}, {20, 35}, {20, 40}, {20, 40}, {20, 40}, {20, 40}, {20, 40},
};

constexpr int kLevelWeights[kStrengthLevels] = {0,   2,   3,   5,   8,   11,  15,  19,  23,  27,  32,
                                                36,  42,  47,  52,  58,  64,  70,  76,  83,  89,  96,
                                                103, 110, 118, 125, 133, 140, 148, 156, 164, 173, 181,
                                                190, 198, 207, 216, 225, 234, 244, 253};

constexpr const char* kTeamNames[4] = {"Sysop", "Dragon", "Gryphon", "Phoenix"};
constexpr int kNameCompareLength = 9;

bool ValidArena(int n) { return n >= 0 && n < kArenaTableSize; }
bool ValidTable(int n) { return n >= 0 && n < kLobbyTableSize; }
int OwnLevel() { return GetGameValue(0); }
int OwnId() { return GetGameValue(118); }
bool Sysop3() { return SysopLevel() >= 3; }

}  // namespace

void ResetTavernState() { g_tavern = TavernState{}; }

LevelRange LevelRangeOf(int index) { return kLevelRangeTable[std::clamp(index, 0, kLevelRanges - 1)]; }

int LevelRangeChoice(int level, int n) {
    return std::clamp(level, 1, kFirstRangeChoiceMax + 1) - 1 + std::clamp(n, 0, kLevelRangeChoices - 1);
}

int LevelWeight(int level) { return kLevelWeights[std::clamp(level, 0, kStrengthLevels - 1)]; }

const char* TeamName(int team) { return team >= 0 && team < 4 ? kTeamNames[team] : ""; }

// ---- The player ---------------------------------------------------------------------------------

int SysopLevel() { return GetGameValue(3); }

const char* OwnName(char out[16]) {
    char held[sizeof g_currentCharacter.name + 1] = {};
    std::memcpy(held, g_currentCharacter.name, sizeof g_currentCharacter.name);
    SwapOddNibbles(held);
    CopyText(out, 16, held);
    return out;
}

bool SameName(const char* a, const char* b) {
    if (!a || !b)
        return false;
    for (int i = 0; i < kNameCompareLength; ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return false;
        if (ca == 0)
            return true;
    }
    return true;
}

bool IsOwnName(const char* name) {
    char own[16];
    OwnName(own);
    return own[0] != 0 && SameName(own, name);
}

// ---- Entries ------------------------------------------------------------------------------------

int IsArenaEntryUsed(int n) { return ValidArena(n) && ArenaTable[n].id != kFreeId && ArenaTable[n].initialised ? 1 : 0; }

int IsTableEntryUsed(int n) {
    return ValidTable(n) && LobbyTableList[n].id != kFreeId && LobbyTableList[n].status ? 1 : 0;
}

int CountArenas() {
    int count = 0;
    for (int n = 0; n < kArenaTableSize; ++n)
        count += IsArenaEntryUsed(n);
    return count;
}

int CountMyArenas() {
    int count = 0;
    for (int n = 0; n < kArenaTableSize; ++n)
        if (IsArenaEntryUsed(n) && IsOwnName(ArenaTable[n].founder))
            ++count;
    return count;
}

int CountMyTables() {
    int count = 0;
    for (int n = 1; n < kLobbyTableSize; ++n)
        if (IsTableEntryUsed(n) && IsOwnName(LobbyTableList[n].founder))
            ++count;
    return count;
}

bool IsPrivateArena(int n) { return ValidArena(n) && ArenaTable[n].match.table != 0; }

bool IsPrivateTable(int n) { return ValidTable(n) && LobbyTableList[n].value != 0; }

int FindArenaById(int id) {
    for (int n = 0; n < kArenaTableSize; ++n)
        if (ArenaTable[n].id != kFreeId && ArenaTable[n].id == id)
            return n;
    return -1;
}

int FindArenaByLocation(int location) {
    if (location >= 0 && location < 50)
        return FindArenaById(location);
    if (location >= 100 && location < 150)
        return FindArenaById(location - 100);
    return -1;
}

int FindTableByLocation(int location) {
    for (int n = 0; n < kLobbyTableSize; ++n)
        if (LobbyTableList[n].id != kFreeId && LobbyTableList[n].id == location)
            return n;
    return -1;
}

int CountPlayersInArena(int n) {
    if (!ValidArena(n) || ArenaTable[n].id == kFreeId)
        return 0;
    int count = 0;
    for (int i = 0; i <= PlayerTableTop && i < kPlayerTableSize; ++i)
        if (PlayerTable[i].id != kFreeId && PlayerTable[i].location == ArenaTable[n].id)
            ++count;
    return count;
}

int CountPlayersAtTable(int n) {
    if (!ValidTable(n) || LobbyTableList[n].id == kFreeId)
        return 0;
    int count = 0;
    for (int i = 0; i <= PlayerTableTop && i < kPlayerTableSize; ++i)
        if (PlayerTable[i].id != kFreeId && PlayerTable[i].location == LobbyTableList[n].id)
            ++count;
    return count;
}

int OwnTableIndex() {
    if (g_tavern.place < 50 || g_tavern.place > 99)
        return -1;
    return FindTableByLocation(g_tavern.place);
}

int OwnPrivateTableIndex() {
    const int t = OwnTableIndex();
    return t > 0 && IsPrivateTable(t) && IsOwnName(LobbyTableList[t].founder) ? t : -1;
}

// ---- Validated sets -----------------------------------------------------------------------------

int IsValidatedAtTable(int table, int playerId) {
    if (!ValidTable(table) || playerId < 0 || playerId >= kValidatedIds)
        return 0;
    if (!IsPrivateTable(table))
        return 1;
    return (LobbyTableList[table].members[playerId >> 3] >> (playerId & 7)) & 1;
}

void ClearTableValidation(int playerId) {
    if (playerId < 0 || playerId >= kValidatedIds)
        return;
    for (int t = 1; t < kLobbyTableSize; ++t)
        LobbyTableList[t].members[playerId >> 3] &= static_cast<uint8_t>(~(1u << (playerId & 7)));
}

// ---- Rules --------------------------------------------------------------------------------------

bool CanSelectArena(int n) {
    if (!IsArenaEntryUsed(n))
        return false;
    const ArenaEntry& a = ArenaTable[n];
    return Sysop3() || a.match.table == 0 || IsOwnName(a.founder) || g_tavern.place == a.match.table;
}

bool CanClaimArena(int n) {
    if (!IsArenaEntryUsed(n))
        return false;
    return Sysop3() || (IsOwnName(ArenaTable[n].founder) && CountPlayersInArena(n) == 0);
}

bool IsArenaFull(int n) {
    if (!ValidArena(n))
        return true;
    const int max = ArenaTable[n].match.max_players;
    return max == 0 || CountPlayersInArena(n) >= max;
}

bool IsBelowArenaRange(int n) {
    return ValidArena(n) && OwnLevel() < LevelRangeOf(ArenaTable[n].match.level_range).low;
}

bool CanEnterArena(int n) {
    if (!IsArenaEntryUsed(n))
        return false;
    if (Sysop3())
        return true;
    const LevelRange r = LevelRangeOf(ArenaTable[n].match.level_range);
    return OwnLevel() >= r.low && OwnLevel() <= r.high && !IsArenaFull(n);
}

bool CanStartArena() {
    return Sysop3() || (g_tavern.pendingStart <= 0 && CountArenas() < kArenaTableSize && CountMyArenas() == 0);
}

bool CanSitAtTable(int t) {
    if (!IsTableEntryUsed(t) || g_tavern.place == LobbyTableList[t].id)
        return false;
    return Sysop3() || !IsPrivateTable(t) || IsOwnName(LobbyTableList[t].founder) || IsValidatedAtTable(t, OwnId());
}

bool CanClaimTable(int t) {
    if (t <= 0 || !IsTableEntryUsed(t))
        return false;
    return Sysop3() || (IsOwnName(LobbyTableList[t].founder) && CountPlayersAtTable(t) == 0);
}

bool CanStartTable() { return Sysop3() || CountMyTables() == 0; }

bool IsTeamOpen(int n, int team) {
    return ValidArena(n) && team >= 1 && team <= 3 && (ArenaTable[n].match.open_teams >> (team - 1)) & 1;
}

bool IsNexusDestroyed(int n, int team) {
    return ValidArena(n) && team >= 1 && team <= 3 && ArenaTable[n].match.nexus_states[team - 1] == 0;
}

int TeamStrength(int n, int team) {
    if (!ValidArena(n) || ArenaTable[n].id == kFreeId)
        return 0;
    int sum = 0;
    for (int i = 0; i <= PlayerTableTop && i < kPlayerTableSize; ++i) {
        const PlayerTableEntry& p = PlayerTable[i];
        if (p.id != kFreeId && p.location == ArenaTable[n].id && p.team == team)
            sum += LevelWeight(p.value17);
    }
    return sum;
}

// ---- Selection ----------------------------------------------------------------------------------

int TavernPage() { return g_tavern.page; }

int SelectedArena() { return g_tavern.selectedArena; }

void ClearTavernSelection() {
    g_tavern.selectedArena = 0;
    g_tavern.chosenTeam = 0;
}
