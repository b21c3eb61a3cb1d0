#pragma once
// A busy Tavern as the service tells it, every body written at the protocol's offsets: 50 players
// in every kind of place (the parlor, a public and a private table, team and free-for-all arenas,
// a private match, an arena's after-match place), two operators, arenas of each kind (a full one,
// one out of a low player's range, one whose Phoenix nexus is destroyed) and a private table.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class GameService;

using LobbyFrame = std::pair<uint8_t, std::vector<uint8_t>>;

namespace lobby {
// Ids and numbers the frames use.
constexpr int kPlayers = 50;
constexpr int kFirstPlayerId = 10;
constexpr int kPublicTable = 60, kPrivateTable = 61;
constexpr int kTeamArena = 1, kFreeArena = 2, kPrivateArena = 3, kFullArena = 4;
// The level every arena plays: one the sample installation holds, so entering one loads.
constexpr const char* kArenaLevel = "sample";
}  // namespace lobby

// F_WORLD_ENTER, F_WORLD_STATE, F_TABLE_ENTER and F_PLAYER_JOINED frames of the lobby.
std::vector<LobbyFrame> LobbyFrames();

// Single frames, for scripts that add to the lobby.
std::vector<uint8_t> PlayerJoinedBody(int id, const std::string& name, int location, int team, int profession,
                                      int level, int flags);
std::vector<uint8_t> WorldEnterBody(int id, int type, const std::string& name, const std::string& founder);
std::vector<uint8_t> WorldStateBody(int id, int type, int levelRange, int maxPlayers, int table, int openTeams,
                                    const uint8_t nexus[3], uint32_t startTime, uint32_t time);
std::vector<uint8_t> TableEnterBody(int id, int type, const std::string& name, const std::string& founder,
                                    const std::vector<int>& validated);

// The service sends the lobby to every client that opens the game in the Tavern, and answers a
// new match or a new table by starting one.
void InstallLobby(GameService& service);
