// game_service: the scripted game service as a program, for running `game` by hand. It listens
// on 127.0.0.1 (the sample installation's [socket] address) at TCP and UDP port 1234 unless told
// otherwise, takes any account and password, and answers the entry handshake until interrupted.
// Its Tavern is busy: 50 players, operators, arenas of each kind and a private table, and an open
// arena for levels 1 to 4, so that a new character has a match to enter.
//   game_service [--stream-port N] [--datagram-port N] [--capture file]

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include "tests/support/game_service.h"
#include "tests/support/lobby_script.h"

namespace {
volatile std::sig_atomic_t stopRequested = 0;
void OnSignal(int) { stopRequested = 1; }
}  // namespace

int main(int argc, char** argv) {
    int streamPort = 1234, datagramPort = 1234;
    const char* capturePath = nullptr;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--stream-port") == 0)
            streamPort = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--datagram-port") == 0)
            datagramPort = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--capture") == 0)
            capturePath = argv[i + 1];
    }
    GameService service(streamPort, datagramPort);
    if (!service.Ok()) {
        std::fprintf(stderr, "game_service: cannot listen on 127.0.0.1 ports %d/%d\n", streamPort, datagramPort);
        return 1;
    }
    service.AcceptAnyAccount(true);
    InstallLobby(service);
    std::vector<LobbyFrame> lobby = LobbyFrames();
    const int commons = 5;
    const uint8_t live[3] = {100, 100, 100};
    lobby.push_back({25, WorldEnterBody(commons, 0, "Commons", "Thorn")});
    lobby.push_back({26, WorldStateBody(commons, 0, 2, 16, 0, 0, live, 0, 0)});
    service.SetLobby(lobby);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::printf("game_service: stream port %u, datagram port %u\n", service.StreamPort(), service.DatagramPort());
    std::fflush(stdout);
    service.StartThread();
    while (!stopRequested)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    service.StopThread();
    if (capturePath) {
        std::ofstream out(capturePath);
        for (const std::string& line : service.Capture())
            out << line << '\n';
    }
    return 0;
}
