// Shows the main menu (and the account dialog when --online is given) in the game's window as the
// game runs it, from an installation: the presentation, the back buffer and cursor, the
// window system, the fonts and the menu's pictures, char.bin and menu.dat.
//
//   menus_demo [--install dir] [--script input.txt] [--shot ms file.png]... [--online] [--headless]
//              [--character slot]
//
// --character runs the character screen on that slot instead of the menu.
// --script feeds scripted input (the GAME_INPUT format); each --shot writes the back buffer as it
// stands ms milliseconds after the start. The menu's result is printed.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "client/arena/local_player.h"
#include "client/arena/spell.h"
#include "client/core/screen_state.h"
#include "client/driver/message_pump.h"
#include "client/level/level_textures.h"
#include "client/net/socket_settings.h"
#include "client/present/present_services.h"
#include "client/screens/character_screen.h"
#include "client/screens/color_tables.h"
#include "client/screens/fonts.h"
#include "client/screens/gws_core.h"
#include "client/screens/input.h"
#include "client/screens/main_menu.h"
#include "client/screens/screen_surface.h"
#include "platform/fs/fs.h"
#include "platform/win/platform.h"
#include "tests/client/screens/demo_screen.h"
#include "tests/support/ddraw_device.h"

int main(int argc, char** argv) {
    std::string install = SAMPLE_INSTALL_DIR, script;
    std::vector<DemoShot> shots;
    bool headless = false, online = false;
    int characterSlot = -2;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--install") == 0 && i + 1 < argc)
            install = argv[++i];
        else if (std::strcmp(argv[i], "--script") == 0 && i + 1 < argc)
            script = argv[++i];
        else if (std::strcmp(argv[i], "--shot") == 0 && i + 2 < argc) {
            const uint32_t ms = static_cast<uint32_t>(std::atoi(argv[++i]));
            shots.push_back({ms, argv[++i]});
        } else if (std::strcmp(argv[i], "--headless") == 0)
            headless = true;
        else if (std::strcmp(argv[i], "--online") == 0)
            online = true;
        else if (std::strcmp(argv[i], "--character") == 0 && i + 1 < argc)
            characterSlot = std::atoi(argv[++i]);
    }
    if (!StartDemoScreen(headless, script, install))
        return 1;
    g_screen.LoadTileImage(1, "tile0.pcx");
    LoadArenaList("arena.dat");
    LoadSpellData(0);
    InitMouseInput();
    LocalPlayer player{};
    g_localPlayer = &player;
    ConnectionType = online ? CONNECTION_STREAM : CONNECTION_SINGLE;

    const uint32_t start = GetTickCount();
    bool failed = false;
    const int source = platform::AddMessageSource([&] {
        // A script that went astray still ends: the inactivity timeout closes any screen.
        if (headless && GetTickCount() - start > 30000)
            g_inactivityState = 2;
        if (!TakeDemoShots(shots, GetTickCount() - start))
            failed = true;
    });
    const int result = characterSlot >= -1 ? CharacterCreation(player, characterSlot) : MainMenu(player);
    platform::RemoveMessageSource(source);
    std::printf("menu result %d\n", result);
    g_localPlayer = nullptr;
    gwsShutdown();
    DestroySceneAndRenderer();
    ReleaseScreenSurfaces();
    FreeFonts();
    return failed ? 1 : 0;
}
