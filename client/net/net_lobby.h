#pragma once
// Characters, names, squads, lobby tables, arena states, fireteams, account information and the
// chat lines: the requests about them and the handlers of the answers the dispatcher does not
// handle in place.

#include <cstdint>

struct LocalPlayer;
struct FireteamEnterBody;

constexpr int kCharacterRetryTimer = 13;
constexpr int kCharacterSendTimer = 14;

// The local player's fireteam number (0 none) and its index in the fireteam list.
extern int32_t LocalFireteam;
extern int32_t LocalFireteamIndex;
// The squad the local player was last invited to (nibble-swapped).
extern char PendingInviteSquad[32];
extern char PendingInviteAbbrev[8];

// ---- Characters ------------------------------------------------------------------------------
void RequestCharacter(int slot);
void SendCharacter(int slot);
void StoreReceivedCharacter(int slot, const uint8_t* record, int size);

// ---- Names -----------------------------------------------------------------------------------
// Lower case without blanks and underscores, at most size - 1 characters.
void NameCompareForm(const char* name, char* out, int size);
void QueryName();
void QueryNameAndAbbrev(const char* name, const char* abbrev);
// 1 the name is taken, 2 ..., 0 neither; 3 when no answer came within 8 s.
int WaitForNameReply();
void AddName();
void AddNameAndAbbrev(const char* name, const char* abbrev);
void DeleteName(LocalPlayer* player, const char* name);

// ---- Squads ----------------------------------------------------------------------------------
void SendInviteGuild(int target);
void SendJoinGuild();
void SendLeaveGuild();
void OnInviteGuild(const uint8_t* body, int length);
void OnJoinGuild(const uint8_t* body, int length);
void OnLeaveGuild(const uint8_t* body, int length);
void OnGuildInfo(const uint8_t* body, int length);
int SetPlayerSquad(int id, const char* abbrev, const char* name);

// ---- Lobby -----------------------------------------------------------------------------------
void SendValidatePlayerList(int tableIndex, const uint8_t* list);
void OnValidatePlayerList(const uint8_t* body, int length);
void SendNewArena(int which, int level, int type, int table);
void SendNewTable(int type);
void SendSelectArena(int id);
void SendSelectTable(int id);
void OnWorldState(const uint8_t* body, int length, int arenaIndex);
void EnterFireteam(const FireteamEnterBody& f);
void OnFireteamStatus(const uint8_t* body, int length);
void OnFireteamMemberInfo(const uint8_t* body, int length);
void OnFireteamMemberValue(const uint8_t* body, int length);
void OnSendAccount(const uint8_t* body, int length);
void OnRenamePlayer(int source, int target, const char* name);

// ---- Chat ------------------------------------------------------------------------------------
// Replaces each listed word by asterisks of its length, in place.
void FilterChatWords(char* text);
void ShowChatText(int source, const char* text, int channel, int team);
void ClearChatInputLine();

void ResetNetLobby();
