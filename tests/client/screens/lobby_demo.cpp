// Shows the Tavern in the game's window against the scripted game service and its busy lobby:
// logs in, enters the Tavern as the chat screen does and runs the lobby's frames (input every
// frame, the page every 125 ms) until Exit, Escape or, headless, 30 seconds.
//
//   lobby_demo [--install dir] [--port N] [--script input.txt] [--shot ms file.png]... [--headless]
//
// Without --port the service runs inside the demo; with it the demo joins a game_service that
// listens on 127.0.0.1 at that port. Each --shot writes the back buffer ms milliseconds after the
// Tavern opened.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "client/arena/local_player.h"
#include "client/arena/player_control.h"
#include "client/core/game_values.h"
#include "client/core/numeric.h"
#include "client/core/screen_state.h"
#include "client/driver/message_pump.h"
#include "client/level/level_textures.h"
#include "client/net/net_dispatch.h"
#include "client/net/net_handshake.h"
#include "client/net/socket_layer.h"
#include "client/net/socket_settings.h"
#include "client/present/present_services.h"
#include "client/screens/character_state.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/color_tables.h"
#include "client/screens/fonts.h"
#include "client/screens/gws_core.h"
#include "client/screens/input.h"
#include "client/screens/screen_art.h"
#include "client/screens/screen_surface.h"
#include "client/screens/tavern_input.h"
#include "client/screens/tavern_pages.h"
#include "platform/win/platform.h"
#include "tests/client/screens/demo_screen.h"
#include "tests/support/ddraw_device.h"
#include "tests/support/game_service.h"
#include "tests/support/lobby_script.h"

namespace {

template <size_t N>
void Hold(char (&field)[N], const char* text) {
    std::memset(field, 0, N);
    std::strncpy(field, text, N - 1);
    SwapOddNibbles(field);
}

bool Connect(int port) {
    std::strcpy(SocketAddress, "127.0.0.1");
    SocketStreamPort = port;
    SocketPort = port;
    ConnectionType = CONNECTION_STREAM;
    g_linkState = 2;
    if (OpenStreamSocket(&StreamLink) != 0)
        return false;
    const uint32_t start = GetTickCount();
    while (StreamLink.connected != 1 && GetTickCount() - start < 3000)
        PumpMessages();
    if (StreamLink.connected != 1)
        return false;
    SendConnect();
    return WaitForServiceReply() == 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::string install = SAMPLE_INSTALL_DIR, script;
    std::vector<DemoShot> shots;
    bool headless = false;
    int port = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--install") == 0 && i + 1 < argc)
            install = argv[++i];
        else if (std::strcmp(argv[i], "--script") == 0 && i + 1 < argc)
            script = argv[++i];
        else if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc)
            port = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--shot") == 0 && i + 2 < argc) {
            const uint32_t ms = static_cast<uint32_t>(std::atoi(argv[++i]));
            shots.push_back({ms, argv[++i]});
        } else if (std::strcmp(argv[i], "--headless") == 0)
            headless = true;
    }
    std::unique_ptr<GameService> service;
    if (port == 0) {
        service = std::make_unique<GameService>();
        if (!service->Ok())
            return 1;
        service->AcceptAnyAccount(true);
        InstallLobby(*service);
        service->StartThread();
        port = service->StreamPort();
    }
    // The script is loaded once the Tavern is entered, so its times and the shots' share one start
    // however long the entry took.
    if (!script.empty())
        script = std::filesystem::absolute(script).string();
    if (!StartDemoScreen(headless, "", install))
        return 1;
    LoadArenaList("arena.dat");
    LoadChatArt();
    InitMouseInput();
    g_screen.LoadScreenPicture("screen2.pcx");
    g_screen.SnapshotBackBuffer();

    LocalPlayer player{};
    g_localPlayer = &player;
    Hold(g_login.account, "thorn");
    Hold(g_login.password, "secret");
    Hold(g_currentCharacter.name, "Thorn");
    SetGameValue(0, 5);
    SetGameValue(114, 1);
    g_screenState = 2;
    g_playMode = 2;
    if (!Connect(port) || !EnterTavern(&player)) {
        std::fprintf(stderr, "lobby_demo: cannot enter the Tavern at port %d\n", port);
        return 1;
    }
    ClearChatBuffer();
    PrintMessage(MSG_SYSTEM, "Press ' (QUOTE) key to chat, PgUp/PgDn to scroll.", 222, 0);
    ShowMouseCursor();
    ResetKeyStates();
    OpenTavern();

    if (!script.empty() && !platform::LoadInputScript(script)) {
        std::fprintf(stderr, "cannot read %s\n", script.c_str());
        return 1;
    }
    ChatScreenRecord screen;
    const uint32_t start = GetTickCount();
    uint32_t lastDraw = 0;
    bool failed = false;
    PlayerControl control{};
    while (!screen.leave && !screen.enterArena && !control.escape && !ScreenEndRequested()) {
        FrameClock = BlockRead() * 10;
        control = PlayerControl{};
        ReadMenuKeys(4, &control);
        TavernInput(screen, control);
        const uint32_t now = GetTickCount();
        if (now - lastDraw >= 125) {
            DrawTavernPage();
            lastDraw = now;
        }
        g_screen.PresentScreen();
        if (!TakeDemoShots(shots, now - start))
            failed = true;
        if (headless && now - start > 30000)
            break;
        if (!headless)
            Sleep(5);
    }
    std::printf("lobby ended: leave %d, arena %d (port %d)\n", screen.leave, screen.enterArena, screen.enterPort);
    LeaveTavern(&player);
    PumpMessages();
    ClearClickRegions(0);
    g_localPlayer = nullptr;
    if (service)
        service->StopThread();
    gwsShutdown();
    DestroySceneAndRenderer();
    ReleaseScreenSurfaces();
    FreeFonts();
    return failed ? 1 : 0;
}
