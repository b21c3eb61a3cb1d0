#include "client/driver/game_main.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "client/arena/local_player.h"
#include "client/arena/monster.h"
#include "client/arena/player_effects.h"
#include "client/arena/player_view.h"
#include "client/arena/spell.h"
#include "client/core/config_file.h"
#include "client/core/error_log.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/numeric.h"
#include "client/core/screen_files.h"
#include "client/core/screen_state.h"
#include "client/core/sound.h"
#include "client/core/version.h"
#include "client/driver/arena_helpers.h"
#include "client/driver/arena_loop.h"
#include "client/driver/display_helpers.h"
#include "client/driver/exit_message.h"
#include "client/driver/game_settings.h"
#include "client/driver/link_timers.h"
#include "client/driver/message_pump.h"
#include "client/driver/screen_loops.h"
#include "client/driver/view_setup.h"
#include "client/level/level_textures.h"
#include "client/net/client_tables.h"
#include "client/net/net_handshake.h"
#include "client/net/net_lobby.h"
#include "client/net/socket_layer.h"
#include "client/net/socket_settings.h"
#include "client/present/present_services.h"
#include "client/screens/character_screen.h"
#include "client/screens/character_state.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/chat_commands.h"
#include "client/screens/color_tables.h"
#include "client/screens/fonts.h"
#include "client/screens/input.h"
#include "client/screens/key_bindings.h"
#include "client/screens/main_menu.h"
#include "client/screens/screen_art.h"
#include "client/screens/screen_surface.h"
#include "client/screens/view_windows.h"
#include "common/text.h"
#include "platform/fs/fs.h"
#include "platform/win/platform.h"

int32_t g_soundDriver = 1;
int32_t g_arenaGridCount = 1;

namespace {

constexpr int kShutdownState = -4;
constexpr int kMenuState = -1;

void Fatal(const char* line, int code) {
    ErrorLogWrite("%s", line);
    ExitProcess(static_cast<UINT>(code));
}

// Code 3: a connection, retried over the stream once when main.dat asked for "both".
bool Connect(LocalPlayer& player) {
    if (ConnectToService(player, 1)) {
        g_playMode = g_linkState;
        return true;
    }
    if (ConnectionType == CONNECTION_DATAGRAM && !g_connected && ConnectionBothFlag) {
        // The stream socket connects to the stream port: it takes the port in use for the retry.
        const int port = SocketPortInUse, streamPort = SocketStreamPort;
        SocketPortInUse = port + 1;
        SocketStreamPort = SocketPortInUse;
        ConnectionType = CONNECTION_STREAM;
        if (ConnectToService(player, 1)) {
            g_playMode = g_linkState;
            return true;
        }
        SocketPortInUse = port;
        SocketStreamPort = streamPort;
        ConnectionType = CONNECTION_DATAGRAM;
    }
    g_playMode = g_linkState;
    return false;
}

bool g_connectFailed = false;

}  // namespace

int SoundDriverFor(const char* value) {
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(value[0])));
    return c == 'n' ? 0 : c == 'd' ? 2 : 1;
}

void ResetPlayerState(LocalPlayer& player) {
    if (PlayerView* view = g_playerView) {
        view->pos_x = view->x << 16;
        view->pos_y = view->y << 16;
        view->speed = view->strafe_speed = view->z_speed = view->turn_speed = 0;
    }
    std::memset(g_currentCharacter.name, 0, sizeof g_currentCharacter.name);
    CopyText(g_currentCharacter.name, "noname");
    SwapOddNibbles(g_currentCharacter.name);
    player.mode = 0;
    // The body the movement measures against: standing and crawling eye, the walk's bob.
    player.eye_height = player.normal_eye_height = 48;
    player.crawl_eye_height = 24;
    player.bob_height = 38;
    player.turning = player.moving = player.strafe_bits = 0;
    player.min_pitch = -80;
    player.max_pitch = 80;
    SetGameValue(0, 15);
    SetGameValue(115, 0);
    SetGameValue(116, 0);
    SetGameValue(107, 10000);
    SetGameValue(108, 10000);
    SetGameValue(109, (GetGameValue(0) + 2) * 200);
    SetGameValue(110, GetGameValue(109));
    SetGameValue(111, 10000);
    SetGameValue(112, 10000);
    for (int n : {1, 105, 106, 132, 133})
        SetGameValue(n, 0);
    for (int n = 121; n <= 130; ++n)
        SetGameValue(n, 0);
    player.deaths = player.kills = player.raises = player.biases = 0;
    ClearPlayerEffects(player);
}

void StartUp(const char* commandLine) {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    ResetGameValues();
    if (!g_localPlayer)
        g_localPlayer = new LocalPlayer{};
    *g_localPlayer = LocalPlayer{};
    g_currentCharacter = CurrentCharacter{};
    std::srand(ReadGameClock());
    OpenErrorLog();
    ErrorLogWrite("Version Loaded: %d.%d%d\n", kClientVersion[1], kClientVersion[2], kClientVersion[3]);
    AllocNameTag("First", 255);
    if (!platform::GameFileExists("main.dat")) {
        MessageBox(g_mainWindow,
                   "Could not find Quorrin component files\nCheck to make sure you are running the\ngame from the "
                   "installation directory.",
                   "Initialization Erro", MB_OK);
        ExitProcess(0);
    }
    LoadUserSettings();
    ParseCommandLine(commandLine);
    char driver[32];
    GetConfigString("main.dat", "drivers", "sound", driver, sizeof driver, "miles", 0);
    g_soundDriver = SoundDriverFor(driver);
    InitSoundSystem("sounds.dat", "sounds");
    ErrorLogWrite("Sounds Loaded.\n");
    for (int track = 1; track <= 3; ++track)
        LoadMusic(track);
    PlayMusic(1, 1);
    ShowCompanyScreens();
    ErrorLogWrite("Initial Variables Loaded.\n");
    if (!LoadFonts("main.dat", "fonts"))
        Fatal("Fonts unsuccessfully initialized.\n", -1);
    ErrorLogWrite("Fonts Loaded.\n");
    g_musicEnabled = 2;
    PlayMusic(1, 1);
    ShowLogoScreen();
    if (!LoadImageDefs("images/image.dat", "images"))
        ErrorLogWrite("Error loading objectmaps...\n");
    LoadModelTemplates("sgfs", 0);
    LoadModelTemplates("figures", 200);
    LoadFigureTextures();
    LoadMonsterDefs();
    LoadKeyBindings();
    LoadIgnoreList();
    if (!LoadSpellData(g_login.privilegeLevel))
        Fatal("Spell Data Load Failed!\n", 0);
    ErrorLogWrite("Spells Loaded.\n");
    // The arena played offline until the menu chooses another.
    if (!GetConfigString("arena.dat", "arena00", "grid", g_singleUserLevel, 50, nullptr, 0)) {
        ErrorLogWrite("No entry for griddir in file: %s\n", "arena.dat");
        ExitProcess(static_cast<UINT>(-1));
    }
    GetConfigInt("arena.dat", "arenadefs", "numgrids", &g_arenaGridCount, 1, 0);
    LoadArenaList("arena.dat");
    LoadConstants();
    LoadTileArt();
    InitHandOverlay(g_handOverlay);
    LoadHandOverlays(g_handOverlay);
    ErrorLogWrite("Tiles and Overlays Loaded.\n");
    ResetPlayerState(*g_localPlayer);
    SetGameValue(4, 0);
    g_playMode = g_linkState;
    LoadScreenFiles();
    LoadViewportSettings();
    BuildReciprocalTables();
    BuildTrigTables();
    // Without its light tables nothing can be drawn: the error is logged, the program ends.
    if (init_lightsource("color.dat", g_channelBits) != 0)
        ExitWithMessage(nullptr);
    BuildShadeTables();
    ErrorLogWrite("Light Tables Loaded.\n");
    SetGameValue(4, 0);
    ResetPlayerState(*g_localPlayer);
    PumpMessages();
    ClearPlayerTable();
    ResetArenaList();
    for (int32_t& s : SlotRequestState)
        s = -1;
    GetConfigInt("user.dat", "main", "last_slot", &g_currentSlot, -1, 0);
    g_screenState = kMenuState;
}

int RunScreen(int code) {
    LocalPlayer& player = *g_localPlayer;
    switch (code) {
        case 1: return PlayGame(&player, g_entryPort);
        case 2:
        case 11:
            g_screenState = code;
            return PlayChat(player);
        case 3:
            g_connectFailed = !Connect(player);
            return kMenuState;
        case 4: Disconnect(); return kMenuState;
        case 5: return ShowMatchSummary(player);
        case 6: ConfigureKeyboard(); return kMenuState;
        case 7:
            if (g_linkState == 2) {
                SendPlayerEnter(&player, 0);
                if (WaitForEnterReply(&player))
                    CharacterCreation(player, -1);
                SendPlayerExit(&player, 0);
            } else {
                CharacterCreation(player, -1);
            }
            return kMenuState;
        case 8: ShowCredits(player); return kMenuState;
        case 9: ShowSmallMap(player); return kMenuState;
        case 12: ShowHelp(player); return kMenuState;
        case 13: return ShowHighScores(player);
        default:
            // No screen for this code (10, or above 13): back to the menu.
            return 0;
    }
}

int RunScreens(int state) {
    while (state > 0) {
        state = RunScreen(state);
        if (g_soundState == 2)
            StopAllSounds();
        // A player who left a silent service during an entry goes back to the menu.
        if (g_lostLink || g_inactivityState || (g_playMode == 2 && g_linkState != 2))
            state = 0;
    }
    return state;
}

void RunStateLoop() {
    LocalPlayer& player = *g_localPlayer;
    g_connectFailed = false;
    for (;;) {
        PumpMessages();
        ClearPlayerTable();
        ShowMouseCursor();
        if (g_linkState == 2) {
            SendPlayerEnter(&player, 0);
            if (!WaitForEnterReply(&player)) {
                // Escape left the service: the menu offers the login again.
                if (g_linkState != 2)
                    continue;
                ShowExitMessage(1);
                return;
            }
            for (int slot = 0; slot < kCharacterSlots; ++slot)
                if (slot == g_currentSlot || SlotRequestState[slot] == -1)
                    RequestCharacter(slot);
        }
        PlayMusic(1, 1);
        g_screenState = kMenuState;
        int state = MainMenu(player);
        if (g_linkState == 2)
            SendPlayerExit(&player, 0);
        if (state < 0)
            return;
        if (state == 0)
            continue;
        HideMouseCursor();
        RunScreens(state);
        if (g_connectFailed)
            return;
    }
}

void ShutDown() {
    g_screenState = kShutdownState;
    HideMouseCursor();
    ClipCursor(nullptr);
    CloseChatLog();
    PumpMessages();
    for (UINT_PTR timer : {UINT_PTR(kLinkTimer), UINT_PTR(kInactivityTimer), UINT_PTR(kWaitTimer),
                           UINT_PTR(kKeepAliveTimer), UINT_PTR(13), UINT_PTR(14)})
        KillTimer(platform::MainWindow(), timer);
    StopPlayingSounds(-1);
    StopMusic();
    FreeTileArt();
    FreeFonts();
    FreeSpells();
    FreeTextureImages();
    g_screen.FreeSlots();
    FreeHandOverlay(g_handOverlay);
    FreeLevel();
    PumpMessages();
    if (g_connected) {
        SendDisconnect();
        PumpMessages();
        Sleep(1000);
        CloseConnectionSockets();
        PumpMessages();
        g_connected = 0;
        g_linkState = 1;
        Sleep(1000);
        PumpMessages();
    }
    ClipCursor(nullptr);
    ShutdownSoundSystem();
    // The match record lives in the player record; the current character block is static.
    delete g_localPlayer;
    g_localPlayer = nullptr;
    g_currentCharacter = CurrentCharacter{};
    g_screen.FreeSnapshot();
    // The back buffer's surfaces go before the display they belong to.
    ReleaseScreenSurfaces();
    FreeFigureResources();
    DestroySceneAndRenderer();
    ReleaseRendererSurfaces();
    CloseErrorLog();
}

int GameMain(const char* commandLine) {
    StartUp(commandLine);
    RunStateLoop();
    ShutDown();
    PostMessage(g_mainWindow, WM_CLOSE, 0, 0);
    PumpMessages();
    return 1;
}
