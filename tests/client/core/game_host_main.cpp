// game_host: the game program with the scripted game service stepped inside it as a message
// source, so that an online run repeats exactly on the virtual clock (GAME_CLOCK=virtual). The
// service listens on 127.0.0.1 at the [socket] ports of the installation's main.dat (GAME_DIR, or
// the working directory) and plays a scenario:
//   tavern        any account, the busy lobby (the default)
//   guest         as tavern; a scripted player joins the Tavern 3 s after the client opened it and
//                 says "hello there"
//   silent        as tavern; the service falls silent 2 s after the client opened the Tavern
//   silent-arena  as tavern; the service falls silent 2 s after the client entered an arena
//
//   game_host [--scenario name] [--capture file] [--tavern-step ms] [game arguments...]
//
// --tavern-step: once the Tavern opened, each shown frame moves the virtual clock by ms, so that
// long idle spans run quickly while the log-in before it still sees every scripted key.
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
#include "client/game_entry.h"
#include "platform/win/platform.h"
#include "tests/support/game_service.h"
#include "tests/support/lobby_script.h"

namespace {

constexpr uint8_t kOpenGame = 23;
constexpr uint8_t kPlayerEnter = 184;
constexpr uint16_t kGuestId = 77;

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
    static uint64_t tavernStep = 0;
    std::vector<char*> gameArgs{argv[0]};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--scenario") == 0 && i + 1 < argc)
            scenario = argv[++i];
        else if (std::strcmp(argv[i], "--capture") == 0 && i + 1 < argc)
            capturePath = argv[++i];
        else if (std::strcmp(argv[i], "--tavern-step") == 0 && i + 1 < argc)
            tavernStep = std::strtoull(argv[++i], nullptr, 10);
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
    static std::string captureFile = capturePath, script = scenario;
    platform::AddMessageSource([] {
        if (openedAt == 0 && !service.FramesOf(kOpenGame).empty()) {
            openedAt = GetTickCount();
            if (tavernStep > 0)
                platform::SetVirtualFrameStep(tavernStep);
        }
        if (openedAt != 0 && script == "silent" && GetTickCount() - openedAt >= 2000)
            service.SetSilent(true);
        // An enter after the Tavern opened is the arena's.
        static size_t entersBeforeOpen = 0;
        if (openedAt == 0)
            entersBeforeOpen = service.FramesOf(kPlayerEnter).size();
        else if (arenaAt == 0 && script == "silent-arena" && service.FramesOf(kPlayerEnter).size() > entersBeforeOpen)
            arenaAt = GetTickCount();
        if (arenaAt != 0 && GetTickCount() - arenaAt >= 2000)
            service.SetSilent(true);
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
