// game_host: the game program with the scripted game service stepped inside it as a message
// source, so that an online run repeats exactly on the virtual clock (GAME_CLOCK=virtual). The
// service listens on 127.0.0.1 at the [socket] ports of the installation's main.dat (GAME_DIR, or
// the working directory) and plays a scenario:
//   tavern        any account, the busy lobby (the default)
//   guest         as tavern; a scripted player joins the Tavern 3 s after the client opened it and
//                 says "hello there"
//   silent        as tavern; the service falls silent 2 s after the client opened the Tavern
//   silent-arena  as tavern; the service falls silent 2 s after the client entered an arena
//   fireteam      as tavern; 6 s after the Tavern opened the client becomes the leader of
//                 fireteam #7 and the fireteam starts waiting; 3 s after the waiting screen
//                 opened the Tavern again, the fireteam's match starts
//   fireteam-off  as fireteam, but the fireteam stops waiting instead of starting
//   guest-arena   as tavern; 4 s after the client opened an arena a scripted player joins it,
//                 walks 2 s and says "hello there"
//
//   game_host [--scenario name] [--capture file] [--tavern-step ms] [--arena-step ms] [game arguments...]
//
// --tavern-step: once the Tavern opened, each shown frame moves the virtual clock by ms, so that
// long idle spans run quickly while the log-in before it still sees every scripted key.
// --arena-step: the same from the first arena entry (the client asks for the arena's world), so
// that arena seconds, each a hundred software frames at the usual step, cost less real time.
//
// --capture keeps the file current ("<ms> c|s t|u <hex>" per frame, ms on the game's clock), since
// the game ends its process from inside its last message pump.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "client/core/config_file.h"
#include "client/driver/game_entry.h"
#include "platform/win/platform.h"
#include "tests/support/game_service.h"
#include "tests/support/lobby_script.h"

namespace {

constexpr uint8_t kOpenGame = 23;
constexpr uint8_t kPlayerEnter = 184;
constexpr uint8_t kRequestWorld = 64;
constexpr uint8_t kFireteamEnter = 90, kFireteamStatus = 110;
constexpr uint16_t kGuestId = 77;
constexpr uint8_t kFireteam = 7;

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v >> 8);
    b[at + 1] = static_cast<uint8_t>(v);
}

// F_FIRETEAM_ENTER: fireteam kFireteam led by the client, the client its first member.
std::vector<uint8_t> FireteamEnterBody(uint16_t leader) {
    std::vector<uint8_t> b(172, 0);
    b[0] = kFireteam;
    b[1] = 1;  // flag
    b[2] = 1;  // mission
    std::memcpy(b.data() + 4, "Wyrms", 5);
    std::memcpy(b.data() + 24, "Thorn", 5);
    Put16(b, 44, leader);
    Put16(b, 48, leader);
    return b;
}

// F_FIRETEAM_STATUS of kFireteam with the client as its only member.
std::vector<uint8_t> FireteamStatusBody(uint16_t member, uint8_t status) {
    std::vector<uint8_t> b(96, 0);
    b[0] = kFireteam;
    b[1] = status;
    Put16(b, 4, member);
    std::memcpy(b.data() + 16, "Thorn", 5);
    return b;
}

// F_PLAYER_STATE of a standing or walking figure at (x, y) facing f (12 bytes, network order).
std::vector<uint8_t> PlayerStateBody(uint16_t x, uint16_t y, uint16_t facing, bool walking) {
    std::vector<uint8_t> b(12, 0);
    Put16(b, 0, walking ? static_cast<uint16_t>(40 | 1 << 11 | 1 << 12) : 0);
    Put16(b, 2, 15 << 12);  // full health, standing on the floor
    Put16(b, 4, x);
    Put16(b, 6, y);
    Put16(b, 8, facing);
    return b;
}

// A level 5 Magician as the service keeps it (250 bytes, multi-byte values in network order).
std::vector<uint8_t> ThornRecord() {
    std::vector<uint8_t> r(250, 0);
    std::memcpy(r.data(), "Thorn", 5);
    for (int i = 0; i < 10; ++i)
        r[20 + i] = static_cast<uint8_t>(55 + i);
    r[69] = 5;    // level
    r[72] = 201;  // figure
    r[79] = 100;  // experience
    return r;
}

std::string MainDatPath() {
    const char* dir = std::getenv("GAME_DIR");
    return std::string(dir && *dir ? dir : ".") + "/main.dat";
}

}  // namespace

int main(int argc, char** argv) {
    std::string scenario = "tavern", capturePath;
    static uint64_t tavernStep = 0, arenaStep = 0;
    std::vector<char*> gameArgs{argv[0]};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--scenario") == 0 && i + 1 < argc)
            scenario = argv[++i];
        else if (std::strcmp(argv[i], "--capture") == 0 && i + 1 < argc)
            capturePath = argv[++i];
        else if (std::strcmp(argv[i], "--tavern-step") == 0 && i + 1 < argc)
            tavernStep = std::strtoull(argv[++i], nullptr, 10);
        else if (std::strcmp(argv[i], "--arena-step") == 0 && i + 1 < argc)
            arenaStep = std::strtoull(argv[++i], nullptr, 10);
        else
            gameArgs.push_back(argv[i]);
    }
    const std::string mainDat = MainDatPath();
    int port = 1234, streamPort = 1234;
    GetConfigInt(mainDat.c_str(), "socket", "port", &port, 1234, 0);
    GetConfigInt(mainDat.c_str(), "socket", "stream_port", &streamPort, 1234, 0);
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);

    // Never destroyed: the game ends its process from inside a pump, after the platform's state.
    static GameService& service = *new GameService(streamPort, port);
    if (!service.Ok()) {
        std::fprintf(stderr, "game_host: cannot listen on 127.0.0.1 ports %d/%d\n", streamPort, port);
        return 1;
    }
    service.AcceptAnyAccount(true);
    service.StoreCharacter("thorn", 0, ThornRecord());
    InstallLobby(service);
    service.InstallAsMessageSource();

    // The scenario's moves, and the capture written whenever it grows.
    static std::vector<DWORD> seenAt;  // the game's clock when each capture line appeared
    static DWORD openedAt = 0, arenaAt = 0;
    static bool guestIn = false;
    static int fireteamStep = 0;
    static DWORD fireteamAt = 0;
    static std::string captureFile = capturePath, script = scenario;
    platform::AddMessageSource([] {
        if (openedAt == 0 && !service.FramesOf(kOpenGame).empty()) {
            openedAt = GetTickCount();
            if (tavernStep > 0)
                platform::SetVirtualFrameStep(tavernStep);
        }
        static bool arenaStepped = false;
        if (arenaStep > 0 && !arenaStepped && !service.FramesOf(kRequestWorld).empty()) {
            arenaStepped = true;
            platform::SetVirtualFrameStep(arenaStep);
        }
        if (openedAt != 0 && script == "silent" && GetTickCount() - openedAt >= 2000)
            service.SetSilent(true);
        // An enter after the Tavern opened is the arena's.
        static size_t entersBeforeOpen = 0;
        if (openedAt == 0)
            entersBeforeOpen = service.FramesOf(kPlayerEnter).size();
        else if (arenaAt == 0 && script == "silent-arena" && service.FramesOf(kPlayerEnter).size() > entersBeforeOpen)
            arenaAt = GetTickCount();
        if (arenaAt != 0 && script == "silent-arena" && GetTickCount() - arenaAt >= 2000)
            service.SetSilent(true);
        if (script == "fireteam" || script == "fireteam-off") {
            const size_t opens = service.FramesOf(kOpenGame).size();
            const uint16_t own = service.ClientId(0);
            if (fireteamStep == 0 && openedAt != 0 && GetTickCount() - openedAt >= 6000) {
                service.Send(0, kFireteamEnter, FireteamEnterBody(own));
                service.Send(0, kFireteamStatus, FireteamStatusBody(own, 0));
                service.Send(0, kFireteamStatus, FireteamStatusBody(own, 1));
                fireteamStep = 1;
            } else if (fireteamStep == 1 && opens >= 2) {
                // The waiting screen entered the Tavern afresh: its fireteam list is new.
                service.Send(0, kFireteamEnter, FireteamEnterBody(own));
                fireteamAt = GetTickCount();
                fireteamStep = 2;
            } else if (fireteamStep == 2 && GetTickCount() - fireteamAt >= 3000) {
                service.Send(0, kFireteamStatus, FireteamStatusBody(own, script == "fireteam" ? 2 : 0));
                fireteamStep = 3;
            }
        }
        if (script == "guest-arena") {
            // The arena's own F_OPEN_GAME is the second.
            if (arenaAt == 0 && service.FramesOf(kOpenGame).size() >= 2)
                arenaAt = GetTickCount();
            const DWORD since = arenaAt ? GetTickCount() - arenaAt : 0;
            static int steps = 0;
            if (arenaAt != 0 && !guestIn && since >= 4000) {
                guestIn = true;
                service.PlayerJoins(kGuestId, "Guest", lobby::kTeamArena, 1);
            }
            // A step of 8 units every 100 ms along +x, then standing and a word.
            if (guestIn && steps <= 20 && since >= 4000 + 100u * static_cast<DWORD>(steps)) {
                service.PlayerState(kGuestId, PlayerStateBody(static_cast<uint16_t>(1200 + 8 * steps), 980, 3072, steps < 20));
                if (steps == 20)
                    service.PlayerChat(kGuestId, "hello there");
                ++steps;
            }
        }
        if (openedAt != 0 && script == "guest" && !guestIn && GetTickCount() - openedAt >= 3000) {
            guestIn = true;
            service.PlayerJoins(kGuestId, "Guest", 255, 1);
            service.PlayerChat(kGuestId, "hello there");
        }
        if (!captureFile.empty()) {
            const std::vector<std::string> lines = service.Capture();
            if (lines.size() != seenAt.size()) {
                seenAt.resize(lines.size(), GetTickCount());
                std::ofstream out(captureFile, std::ios::trunc);
                for (size_t i = 0; i < lines.size(); ++i)
                    out << seenAt[i] << lines[i].substr(lines[i].find(' ')) << '\n';
            }
        }
    });
    return GameEntry(static_cast<int>(gameArgs.size()), gameArgs.data());
}
