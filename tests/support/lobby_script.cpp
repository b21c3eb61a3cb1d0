#include "tests/support/lobby_script.h"

#include <algorithm>

#include "tests/support/game_service.h"

namespace {

void Put16(std::vector<uint8_t>& b, size_t at, int v) {
    b[at] = static_cast<uint8_t>(v >> 8);
    b[at + 1] = static_cast<uint8_t>(v);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    Put16(b, at, static_cast<int>(v >> 16));
    Put16(b, at + 2, static_cast<int>(v & 0xFFFF));
}
void PutText(std::vector<uint8_t>& b, size_t at, const std::string& s, size_t width) {
    std::copy_n(s.begin(), std::min(s.size(), width - 1), b.begin() + static_cast<long>(at));
}

const char* const kNames[lobby::kPlayers] = {
    "ash",    "Bryn",   "cora",   "Dagny",  "elm",    "Fenna",  "garth",  "Hale",   "iris",   "Jory",
    "kestra", "Lune",   "mabon",  "Nell",   "orrin",  "Pell",   "quill",  "Rook",   "sable",  "Tamsin",
    "ulric",  "Vesna",  "wren",   "Xander", "yara",   "Zeke",   "Alder",  "briar",  "Corvin", "dusk",
    "Ember",  "fable",  "Gorse",  "heron",  "Ivo",    "jasper", "Kael",   "linden", "Moss",   "nyx",
    "Oona",   "piper",  "Quinn",  "rowan",  "Sorrel", "thane",  "Umber",  "vale",   "Wynn",   "yew",
};

struct Place {
    int count, location;
};
// 12 in the parlor, 8 at the public table, 6 at the private one, 10 in the team arena, 6 in the
// free-for-all, 4 in the private match, 2 after the team arena's match, 2 in an arena not listed.
constexpr Place kPlaces[] = {{12, 255}, {8, lobby::kPublicTable}, {6, lobby::kPrivateTable}, {10, lobby::kTeamArena},
                             {6, lobby::kFreeArena}, {4, lobby::kPrivateArena}, {2, 100 + lobby::kTeamArena}, {2, 9}};

}  // namespace

std::vector<uint8_t> PlayerJoinedBody(int id, const std::string& name, int location, int team, int profession,
                                      int level, int flags) {
    std::vector<uint8_t> b(24, 0);
    Put16(b, 0, id);
    b[2] = static_cast<uint8_t>(location);
    b[3] = static_cast<uint8_t>(team);
    PutText(b, 4, name, 12);
    b[16] = static_cast<uint8_t>(profession);
    b[17] = static_cast<uint8_t>(level);
    b[18] = static_cast<uint8_t>(flags);
    return b;
}

std::vector<uint8_t> WorldEnterBody(int id, int type, const std::string& name, const std::string& founder) {
    std::vector<uint8_t> b(52, 0);
    b[0] = static_cast<uint8_t>(id);
    b[1] = static_cast<uint8_t>(type);
    PutText(b, 2, name, 20);
    PutText(b, 22, lobby::kArenaLevel, 10);
    PutText(b, 32, founder, 10);
    return b;
}

std::vector<uint8_t> WorldStateBody(int id, int type, int levelRange, int maxPlayers, int table, int openTeams,
                                    const uint8_t nexus[3], uint32_t startTime, uint32_t time) {
    std::vector<uint8_t> b(80, 0);
    b[0] = static_cast<uint8_t>(id);
    b[1] = static_cast<uint8_t>(type);
    b[2] = static_cast<uint8_t>(levelRange);
    b[4] = static_cast<uint8_t>(maxPlayers);
    b[5] = static_cast<uint8_t>(table);
    b[6] = static_cast<uint8_t>(openTeams);
    std::copy_n(nexus, 3, b.begin() + 15);
    Put32(b, 24, startTime);
    Put32(b, 28, time);
    return b;
}

std::vector<uint8_t> TableEnterBody(int id, int type, const std::string& name, const std::string& founder,
                                    const std::vector<int>& validated) {
    std::vector<uint8_t> b(98, 0);
    b[0] = static_cast<uint8_t>(id);
    b[1] = static_cast<uint8_t>(type);
    PutText(b, 4, name, 20);
    PutText(b, 24, founder, 10);
    for (int v : validated)
        if (v >= 0 && v < 512)
            b[34 + v / 8] |= static_cast<uint8_t>(1 << (v % 8));
    return b;
}

std::vector<LobbyFrame> LobbyFrames() {
    using namespace lobby;
    std::vector<LobbyFrame> frames;
    const uint8_t live[3] = {100, 100, 100};
    const uint8_t phoenixDown[3] = {100, 100, 0};
    struct Arena {
        int id, type;
        const char* name;
        const char* founder;
        int range, max, table, open;
        const uint8_t* nexus;
        uint32_t start, time;
    } arenas[] = {
        {kTeamArena, 1, "Crossroads", "Hale", 4, 16, 0, 7, phoenixDown, 1000, 1000 + 3725},
        {kFreeArena, 0, "Catacombs", "iris", 9, 8, 0, 0, live, 5000, 5000 + 610},
        {kPrivateArena, 0, "Spire", "Bryn", 15, 6, kPrivateTable, 0, live, 200, 260},
        {kFullArena, 0, "Pit", "Zeke", 0, 0, 0, 0, live, 0, 0},
    };
    for (const Arena& a : arenas) {
        frames.push_back({25, WorldEnterBody(a.id, a.type, a.name, a.founder)});
        frames.push_back({26, WorldStateBody(a.id, a.type, a.range, a.max, a.table, a.open, a.nexus, a.start, a.time)});
    }
    frames.push_back({66, TableEnterBody(kPublicTable, 0, "Den", "ash", {})});
    frames.push_back({66, TableEnterBody(kPrivateTable, 1, "Vault", "Bryn", {11, 12, 13})});
    int n = 0;
    for (const Place& p : kPlaces)
        for (int k = 0; k < p.count; ++k, ++n) {
            const int team = p.location == kTeamArena || p.location == 100 + kTeamArena ? 1 + n % 3 : 0;
            const int flags = n == 3 || n == 30 ? 1 : 0;  // Dagny and Ember are operators
            frames.push_back({3, PlayerJoinedBody(kFirstPlayerId + n, kNames[n], p.location, team, n % 4,
                                                  1 + (n * 7) % 30, flags)});
        }
    return frames;
}

void InstallLobby(GameService& service) {
    service.SetLobby(LobbyFrames());
    // A new match: the next free arena number, in range and open to all teams.
    service.OnCode(34, [](GameService& s, const GameService::Frame& f) {
        static int next = 20;
        if (f.body.size() < 4)
            return true;
        const uint8_t live[3] = {100, 100, 100};
        const int id = next++;
        s.Send(f.client, 25, WorldEnterBody(id, f.body[2] == 1 ? 1 : 0, "New Match", "Thorn"));
        s.Send(f.client, 26, WorldStateBody(id, 1, f.body[1], 12, f.body[3], 7, live, 0, 0));
        return true;
    });
    service.OnCode(69, [](GameService& s, const GameService::Frame& f) {
        static int next = 70;
        if (f.body.empty())
            return true;
        s.Send(f.client, 66, TableEnterBody(next++, f.body[0], "New Table", "Thorn", {}));
        return true;
    });
}
