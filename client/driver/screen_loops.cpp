#include "client/driver/screen_loops.h"

#include <cstdio>
#include <cstring>

#include "client/arena/game_input.h"
#include "client/arena/local_player.h"
#include "client/arena/player_control.h"
#include "client/core/channel_bits.h"
#include "client/core/config_file.h"
#include "client/core/error_log.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/pcx_image.h"
#include "client/core/screen_files.h"
#include "client/core/screen_state.h"
#include "client/core/sound.h"
#include "client/core/version.h"
#include "client/driver/arena_loop.h"
#include "client/driver/display_helpers.h"
#include "client/driver/game_settings.h"
#include "client/driver/link_timers.h"
#include "client/driver/message_pump.h"
#include "client/net/client_tables.h"
#include "client/net/net_dispatch.h"
#include "client/net/net_handshake.h"
#include "client/net/net_rings.h"
#include "client/net/socket_layer.h"
#include "client/net/socket_settings.h"
#include "client/present/present_services.h"
#include "client/screens/character_file.h"
#include "client/screens/character_state.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/chat_input.h"
#include "client/screens/fonts.h"
#include "client/screens/hud_text.h"
#include "client/screens/input.h"
#include "client/screens/key_bindings.h"
#include "client/screens/main_menu.h"
#include "client/screens/notice_box.h"
#include "client/screens/score_screen.h"
#include "client/screens/screen_art.h"
#include "client/screens/screen_surface.h"
#include "client/screens/tavern_input.h"
#include "client/screens/tavern_pages.h"
#include "client/screens/tavern_state.h"
#include "common/text.h"
#include "platform/process/process.h"
#include "platform/win/platform.h"

int32_t g_connected = 0;
int32_t g_socketOpened = 0;
int32_t g_entryPort = 255;
char g_briefing[3][kBriefingLines][kBriefingLineSize] = {};

namespace {

constexpr int kTavernPort = 255;
constexpr int kRedrawMs = 125;
constexpr int kConsoleColour = 0;
constexpr int kNoticeColour = 222;
// The whole-screen exit region: CheckExitClick takes region id 11.
constexpr int kExitRegion = 11;

// The screen's picture into the back buffer, replacing the one before.
void LoadPicture(const char* name) {
    g_screen.screenPicture.FreePcx();
    g_screen.LoadScreenPicture(name);
}

void Say(const char* text, int colour = kConsoleColour) { PrintMessage(MSG_SYSTEM, text, colour, 0); }

void ShowConsole() {
    DrawChatBox();
    g_screen.PresentScreen();
}

void PresentWhole() {
    g_screen.QueueDirtyRect(0, 0, 800, 600, 1);
    g_screen.PresentScreen();
}

void EmptyRings() {
    ResetReceiveRing();
    ResetSendRing();
}

// Waits ms while the window keeps its messages flowing.
void PumpedWait(uint32_t ms) {
    const uint32_t start = GetTickCount();
    while (GetTickCount() - start < ms) {
        PumpMessages();
        Sleep(1);
    }
}

}  // namespace

void CloseConnectionSockets() {
    switch (ConnectionType) {
        case CONNECTION_DATAGRAM:
            CloseDatagramSocket(&DatagramLink);
            break;
        case CONNECTION_STREAM:
            CloseDatagramSocket(&DatagramLink);
            CloseStreamSocket(&StreamLink);
            break;
        case CONNECTION_ORLOP:
            UnloadWinsock();
            break;
        default:
            break;
    }
}

namespace {

// One frame's screen keys: the chat line while one is typed, else the fixed keys and the exit
// region. True when the screen should be left.
bool ReadScreenKeys(LocalPlayer& player, PlayerControl& control) {
    control = PlayerControl{};
    if (GetKeyInputMode() == 1) {
        DoChatInput(&player);
        return false;
    }
    ReadMenuKeys(4, &control);
    CheckExitClick(&control);
    return control.leave != 0 || control.escape != 0;
}

// The skeleton the simple screens share; draw runs every 125 ms.
template <typename Draw>
void RunSimpleScreen(LocalPlayer& player, int code, int exitWidth, int exitHeight, Draw draw) {
    uint32_t lastDraw = 0;
    PlayerControl control{};
    AddClickRegion(0, 0, exitWidth, exitHeight, kExitRegion, kExitRegion);
    for (;;) {
        g_screenState = code;
        FrameClock = BlockRead() * 10;
        if (ReadScreenKeys(player, control) || ScreenEndRequested())
            break;
        const uint32_t now = GetTickCount();
        if (now - lastDraw >= kRedrawMs) {
            draw();
            lastDraw = now;
        }
        g_screen.PresentScreen();
    }
    ClearClickRegions(0);
    HideMouseCursor();
    g_screen.FreeSnapshot();
}

void OpenSimpleScreen(int code, const char* picture) {
    g_screenState = code;
    if (g_musicEnabled == 2)
        PlayMusic(2, 1);
    LoadPicture(picture);
    g_screen.SnapshotBackBuffer();
    g_screen.ZoomTransition(0, 500);
    PresentWhole();
    ShowMouseCursor();
    EmptyRings();
    ResetKeyStates();
    PumpMessages();
}

// A splash picture held until a key, the left button or the timer; frames of the strip (when
// loaded) drawn every frameMs at x, y.
void HoldSplash(int ms, const PcxImage* strip, int frames, int frameMs, int x, int y) {
    WaitOverFlag = 0;
    SetTimer(platform::MainWindow(), kWaitTimer, static_cast<UINT>(ms), nullptr);
    g_keys.lastKey = 0;
    while (g_keys.lastKey == 0 && !IsLeftButtonDown() && !WaitOverFlag) {
        PumpMessages();
        if (strip && strip->Pixels16()) {
            const int frame = static_cast<int>((ReadGameClock() / 10) % static_cast<uint32_t>(frames * frameMs)) / frameMs;
            const int w = strip->PcxWidth() / frames, h = strip->PcxHeight();
            g_screen.CopyFromBackground(x, y, w, h);
            g_screen.BlitImageFrame(*strip, x, y, frame, frames, 1);
            g_screen.QueueDirtyRect(x, y, w, h, 1);
        }
        g_screen.PresentScreen();
    }
    KillTimer(platform::MainWindow(), kWaitTimer);
}

// A [screens] name of up to 49 characters; a missing key writes its log line.
bool ReadScreenName(const char* key, const char* logName, char (&out)[50]) {
    if (GetConfigString("main.dat", "screens", key, out, sizeof out, nullptr, 0))
        return true;
    ErrorLogWrite("No entry for %s in file: %s\n", logName, "main.dat");
    return false;
}

int ReadScreenSound(const char* key) {
    int sound = 0;
    GetConfigInt("main.dat", "screens", key, &sound, 0, 0);
    return sound;
}

void ShowSplashPicture(const char* picture, int sound) {
    if (sound != 0)
        PlayGameSound(sound, 0, 0);
    LoadPicture(picture);
    g_screen.ZoomTransition(0, 500);
    PresentWhole();
}

}  // namespace

// ---- Briefing ------------------------------------------------------------------------------------

void LoadBriefing() {
    static const char* const kSections[3] = {"briefing", "victory", "failure"};
    for (int t = 0; t < 3; ++t) {
        for (int line = 0; line < kBriefingLines; ++line) {
            char key[4];
            std::snprintf(key, sizeof key, "%02d", line + 1);
            GetConfigString("brief.dat", kSections[t], key, g_briefing[t][line], kBriefingLineSize, "", 0);
        }
    }
    for (int line = 0; line < kSmallMapLines; ++line)
        CopyText(SmallMapText[line], g_briefing[0][line]);
}

// ---- Start-up splash screens ---------------------------------------------------------------------

void ShowCompanyScreens() {
    char company[50] = "", animation[50] = "", company2[50] = "", company3[50] = "";
    const bool hasCompany = ReadScreenName("company", "company", company);
    const bool hasAnimation = ReadScreenName("companyanimation", "company animation", animation);
    const bool hasCompany2 = ReadScreenName("company2", "company2", company2);
    const bool hasCompany3 = ReadScreenName("company3", "company3", company3);
    const int sound1 = ReadScreenSound("companysound");
    const int sound2 = ReadScreenSound("company2sound");
    const int sound3 = ReadScreenSound("company3sound");
    g_screen.FillRect16(0, 0, 800, 600, 0);
    PresentWhole();
    if (!hasCompany || !company[0])
        return;
    PcxImage strip;
    if (hasAnimation && animation[0])
        LoadScreenArt(strip, animation);
    if (sound1 != 0)
        PlayGameSound(sound1, 0, 0);
    LoadPicture(company);
    g_screen.SnapshotBackBuffer();
    g_screen.ZoomTransition(0, 500);
    PresentWhole();
    ClipCursorToWindow(0, 0, 799, 599);
    ShowMouseCursor();
    BeginTextEntry();
    HoldSplash(3000, &strip, 16, 75, 264, 76);
    if (hasCompany2 && company2[0]) {
        ShowSplashPicture(company2, sound2);
        HoldSplash(2000, nullptr, 0, 1, 0, 0);
    }
    if (hasCompany3 && company3[0]) {
        ShowSplashPicture(company3, sound3);
        HoldSplash(2000, nullptr, 0, 1, 0, 0);
    }
    g_screen.FreeSnapshot();
    g_screen.screenPicture.FreePcx();
}

void ShowLogoScreen() {
    char logo[50] = "", animation[50] = "";
    const bool hasLogo = ReadScreenName("logo", "logo", logo);
    const bool hasAnimation = ReadScreenName("logoanimation", "logo animation", animation);
    const int sound = ReadScreenSound("logosound");
    if (!hasLogo || !logo[0])
        return;
    if (sound != 0)
        PlayGameSound(sound, 0, 0);
    PcxImage strip;
    if (hasAnimation && animation[0])
        LoadScreenArt(strip, animation);
    HideMouseCursor();
    LoadPicture(logo);
    g_screen.SnapshotBackBuffer();
    g_screen.ZoomTransition(0, 500);
    char version[16];
    std::snprintf(version, sizeof version, "V%d.%d%d", kClientVersion[1], kClientVersion[2], kClientVersion[3]);
    // In white as a pixel, not a palette index: the colour tables are not loaded yet.
    DrawText(3, 580, PackPixel16(g_channelBits, 255, 255, 255), version, 1, g_screen.backBuffer, 0, 2);
    PresentWhole();
    HoldSplash(3000, &strip, 7, 125, 248, 53);
    g_screen.FreeSnapshot();
    g_screen.screenPicture.FreePcx();
    EndTextEntry();
    ShowMouseCursor();
    ResetKeyStates();
    ClearMouseEvents();
}

// ---- Connection ----------------------------------------------------------------------------------

const char* const* LoginRefusalLines(int code) {
    static const char* const k1[] = {"Your Password is Incorrect!", nullptr};
    static const char* const k2[] = {"Your Account is Invalid!", nullptr};
    static const char* const k3[] = {"The Authorization Server is Unavailable!", nullptr};
    static const char* const k5[] = {"You do not have the latest version!", "Please download the latest client.", nullptr};
    static const char* const k6[] = {"Error Accessing User Account!", nullptr};
    static const char* const k7[] = {"No Record for User Found!", nullptr};
    static const char* const k8[] = {"Your account has no access to any games!", nullptr};
    static const char* const k9[] = {"Your account has no access to this game!", nullptr};
    static const char* const k10[] = {"Your account has been closed!", nullptr};
    static const char* const kNone[] = {"Service not Available.", nullptr};
    switch (code) {
        case 1: return k1;
        case 2: return k2;
        case 3: return k3;
        case 5: return k5;
        case 6: return k6;
        case 7: return k7;
        case 8: return k8;
        case 9: return k9;
        case 10: return k10;
        default: return kNone;
    }
}

int LoginToService() {
    if (!g_socketOpened)
        return 0;
    g_connected = 0;
    ServiceAccepted = 0;
    ServiceRefusal = 0;
    Say("Connecting to Service...");
    ShowConsole();
    for (int attempt = 1; attempt <= 9; ++attempt) {
        if (attempt == 3)
            Say("Retrying...");
        else if (attempt >= 5 && attempt % 2 == 1)
            Say("...");
        ShowConsole();
        SendConnect();
        if (WaitForServiceReply()) {
            g_connected = 1;
            return 1;
        }
        if (ServiceRefusal != 0)
            break;
    }
    Say("");
    for (const char* const* line = LoginRefusalLines(ServiceRefusal); *line; ++line)
        Say(*line);
    Say("Connection Failed.");
    Say("");
    ShowConsole();
    return 0;
}

int CheckVersion() {
    if (g_login.privilegeLevel > 0)
        return 1;
    return std::memcmp(kClientVersion, ServerVersion, 3) == 0 ? 1 : 0;
}

int ConnectToService(LocalPlayer& player, int mode) {
    g_screenState = 3;
    ShowMouseCursor();
    PresentWhole();
    EmptyRings();
    char line[120];
    if (g_onlineService.present && g_onlineService.handle[0])
        std::snprintf(line, sizeof line, "Establishing Communications with %s", g_onlineService.handle);
    else
        std::snprintf(line, sizeof line, "Establishing Communications...");
    Say(line);
    ShowConsole();

    g_linkState = 2;
    g_socketOpened = 0;
    g_connected = 0;
    const bool transport = ConnectionType == CONNECTION_DATAGRAM || ConnectionType == CONNECTION_STREAM;
    if (ConnectionType == CONNECTION_DATAGRAM) {
        g_socketOpened = OpenDatagramSocket(&DatagramLink) == 0;
        Sleep(500);
        Say("Datagram SocketOpened");
    } else if (ConnectionType == CONNECTION_STREAM) {
        g_socketOpened = OpenStreamSocket(&StreamLink) == 0;
        Sleep(500);
        Say("Stream SocketOpened");
        Say(OpenDatagramSocket(&DatagramLink) == 0 ? "Datagram Socket Opened" : "Could not open Datagram Socket");
    } else {
        ShowWindow(g_mainWindow, SW_HIDE);
    }
    ShowConsole();
    EmptyRings();
    LoginToService();
    PumpMessages();

    if (g_connected) {
        if (CheckVersion()) {
            Say("Connected to Service.");
        } else {
            // A refused version ends the attempt like a refused login.
            g_connected = 0;
            char text[64];
            Say("");
            Say("Your client software is outdated.");
            std::snprintf(text, sizeof text, "Client Version #%d.%d%d.", kClientVersion[1], kClientVersion[2],
                          kClientVersion[3]);
            Say(text);
            std::snprintf(text, sizeof text, "Server Version #%d.%d%d.", ServerVersion[1], ServerVersion[2],
                          ServerVersion[3]);
            Say(text);
            Say("");
            Say("Please download the latest client from the game's site.");
            ShowConsole();
            PumpedWait(5000);
        }
    }
    ShowConsole();

    AddClickRegion(0, 0, 800, 600, kExitRegion, kExitRegion);
    if (mode != -1 && (!g_connected || g_debugLevel == 2 || mode == 0)) {
        // The window was hidden for an outside transport; the player must see this.
        if (!transport)
            ShowWindow(g_mainWindow, SW_SHOW);
        Say("Hit ESC to return to menu.");
        ShowConsole();
        PlayerControl control{};
        uint32_t lastDraw = 0;
        while (!ReadScreenKeys(player, control)) {
            FrameClock = BlockRead() * 10;
            const uint32_t now = GetTickCount();
            if (now - lastDraw >= 250) {
                DrawChatBox();
                lastDraw = now;
            }
            g_screen.PresentScreen();
        }
    }
    if (!g_socketOpened || !g_connected) {
        CloseConnectionSockets();
        g_connected = 0;
        g_linkState = 1;
    } else {
        g_inactivityCounter = 0;
        SetTimer(platform::MainWindow(), kLinkTimer, kLinkTimerMs, nullptr);
        SetTimer(platform::MainWindow(), kInactivityTimer, kInactivityTimerMs, nullptr);
        SendPing();
        g_linkState = 2;
    }
    ClearClickRegions(0);
    HideMouseCursor();
    if (!g_connected)
        PumpedWait(1000);
    return mode > 0 ? g_connected : 0;
}

void Disconnect() {
    if (g_connected) {
        KillTimer(platform::MainWindow(), kLinkTimer);
        SendDisconnect();
        PumpMessages();
        Sleep(1000);
        PumpMessages();
        CloseConnectionSockets();
        PumpMessages();
    }
    EmptyRings();
    g_connected = 0;
    g_linkState = 1;
}

void ShowExitMessage(int reason) {
    ClearTextInput();
    ClearChatBuffer();
    Say("A serious error has occured");
    Say(reason == 2 ? "and you were disconnected." : "and you were unable to connect.");
    if (reason == 2 && g_debugLevel > 0) {
        char text[64];
        std::snprintf(text, sizeof text, "Last=%u Time=%u", LinkStats.lastStreamTime, ReadGameClock());
        Say(text);
    }
    Say("");
    Say("Hit ESCAPE to exit.", kNoticeColour);
    ShowConsole();
    PlayerControl control{};
    while (!control.escape) {
        FrameClock = BlockRead() * 10;
        control = PlayerControl{};
        ReadMenuKeys(4, &control);
        g_screen.PresentScreen();
    }
}

// ---- Chat and Tavern lobby -----------------------------------------------------------------------

namespace {

// A fireteam whose match starts plays the arena selected in the lobby: the one whose removal sends
// its waiting screen back to the chat. An unused selection is refused by the arena's entry.
void TakeFireteamArena() {
    const int arena = SelectedArena();
    CurrentArena = arena;
    if (IsArenaEntryUsed(arena))
        g_entryPort = ArenaTable[arena].id;
}

}  // namespace

int PlayChat(LocalPlayer& player) {
    const int state = g_screenState == 11 ? 11 : 2;
    g_entryPort = kTavernPort;
    g_screenState = state;
    // A request that arrives while the Tavern is entered counts; one left from before does not.
    g_nextScreenRequest = 0;
    LoadCharacterFile(player, g_currentSlot);
    LoadChatArt();
    LoadPicture(g_screenFiles.chatBack);
    g_screen.SnapshotBackBuffer();
    ShowMouseCursor();
    EmptyRings();
    if (g_musicEnabled == 2)
        PlayMusic(2, 1);
    const bool online = g_playMode == 2;
    if (online) {
        if (g_debugLevel > 0)
            Say("Entering Chat...Awaiting PID.");
        if (!EnterTavern(&player)) {
            Say("Unsuccessful Entry to Chat.");
            ShowExitMessage(1);
            LeaveTavern(&player);
            ClearClickRegions(0);
            HideMouseCursor();
            FreeChatArt();
            g_screen.FreeSnapshot();
            return 0;
        }
        if (g_debugLevel > 0)
            Say("Successful Entry to Chat.");
    }
    if (g_debugLevel != 2) {
        ClearTextInput();
        ClearChatBuffer();
    }
    if (g_debugLevel > 0)
        Say("Chat Started.");
    Say("Press ' (QUOTE) key to chat, PgUp/PgDn to scroll.", kNoticeColour);
    ClearTextInput();
    PumpMessages();
    OpenTavern();

    ChatScreenRecord screen;
    PlayerControl control{};
    uint32_t lastDraw = 0;
    int result = 0;
    for (;;) {
        FrameClock = (online ? BlockRead() : PumpMessages()) * 10;
        // The lobby's own input takes the clicks, its Exit region among them.
        control = PlayerControl{};
        if (GetKeyInputMode() == 1)
            DoChatInput(&player);
        else
            ReadMenuKeys(4, &control);
        if (control.escape)
            screen.leave = 1;
        TavernInput(screen, control);
        if (screen.leave || screen.enterArena || ScreenEndRequested())
            break;
        if (g_nextScreenRequest != 0 && g_nextScreenRequest != state)
            break;
        const uint32_t now = GetTickCount();
        if (now - lastDraw >= kRedrawMs) {
            DrawTavernPage();
            DrawLinkStats(250, 340);
            DrawChatBuffer(0);
            lastDraw = now;
        }
        g_screen.PresentScreen();
    }
    if (g_lostLink)
        ShowExitMessage(2);
    ClearClickRegions(0);
    ClearTextInput();
    CloseChatLog();
    StopPlayingSounds(-1);
    if (online)
        LeaveTavern(&player);
    SaveCharacterFile(player, g_currentSlot);
    HideMouseCursor();
    FreeChatArt();
    g_screen.FreeSnapshot();
    if (screen.enterArena) {
        g_entryPort = screen.enterPort;
        result = 1;
    } else if (g_nextScreenRequest != 0 && g_nextScreenRequest != state) {
        result = g_nextScreenRequest;
        if (result == 1)
            TakeFireteamArena();
    }
    g_nextScreenRequest = 0;
    return result;
}

// ---- After the match -----------------------------------------------------------------------------

int ShowMatchSummary(LocalPlayer& player) {
    g_screenState = 5;
    if (g_musicEnabled == 2)
        PlayMusic(3, 0);
    LoadChatArt();
    LoadPicture(g_screenFiles.summaryBack);
    g_screen.SnapshotBackBuffer();
    g_screen.ZoomTransition(0, 500);
    PresentWhole();
    ShowMouseCursor();
    PcxImage buttons;
    LoadScreenArt(buttons, "chatbtns.pcx");
    EmptyRings();
    LoadBriefing();
    const uint32_t opened = ReadGameClock();
    ResetKeyStates();
    PumpMessages();
    LoadPortraitArt();
    const bool arenaDone = g_playMode == 2 && CurrentArena > 0 && CurrentArena < kArenaTableSize &&
                           ArenaTable[CurrentArena].match.state == 1;
    if (arenaDone && GetGameValue(131) == -1)
        SendCode175(g_currentSlot);
    LoadMenuFigure("sgfs/main.sgf");
    ActivateMenuFigureScene();
    CreateMenuFigure(player.figure_imagenum, player.body_variant, player.head_variant, GetGameValue(4));
    AddClickRegion(0, 0, 800, 600, kExitRegion, kExitRegion);

    PlayerControl control{};
    uint32_t lastDraw = 0, previous = opened;
    bool keysDropped = false, first = true;
    for (;;) {
        g_screenState = 5;
        FrameClock = BlockRead() * 10;
        const uint32_t clock = ReadGameClock();
        if (!keysDropped && clock - opened >= 15000) {
            // Keys pressed while the screen opened (the arena's last ones among them) are not
            // meant for it: none counts before they are dropped.
            ResetKeyStates();
            keysDropped = true;
        }
        if ((keysDropped && ReadScreenKeys(player, control)) || ScreenEndRequested())
            break;
        const uint32_t now = GetTickCount();
        if (now - lastDraw >= kRedrawMs) {
            g_screen.CopyFromBackground(0, 0, 800, 600);
            DrawScoreScreen();
            lastDraw = now;
        }
        ClearViewFrame();
        DrawScreenImage();
        AnimateMenuFigure(first ? 0 : static_cast<int>(clock - previous));
        first = false;
        previous = clock;
        POINT cursor{};
        GetCursorPos(&cursor);
        if (IsRendererReady() && GetCursorMode())
            DrawCursorImage(cursor.x, cursor.y);
        DrawMenuFigureScene();
    }
    DetachMenuFigure();
    DestroyMenuFigureScene();
    if (g_playMode != 2 || arenaDone) {
        player.dead = 0;
        g_arenaMemory.matchCounter = 0;
    }
    SaveCharacterFile(player, g_currentSlot);
    ClearClickRegions(0);
    HideMouseCursor();
    FreePortraitArt();
    FreeChatArt();
    g_screen.FreeSnapshot();
    return g_playMode == 2 ? 2 : 0;
}

// ---- Simple screens ------------------------------------------------------------------------------

void ShowCredits(LocalPlayer& player) {
    OpenSimpleScreen(8, "credits.pcx");
    RunSimpleScreen(player, 8, 800, 600, [] {});
}

void ShowSmallMap(LocalPlayer& player) {
    OpenSimpleScreen(9, g_screenFiles.keyboardBack);
    LoadPicture("smallmap.pcx");
    LoadBriefing();
    RunSimpleScreen(player, 9, 640, 480, [] { DrawSmallMapPanel(); });
}

int ShowHighScores(LocalPlayer& player) {
    OpenSimpleScreen(13, g_screenFiles.keyboardBack);
    for (int list = 1; list <= 4; ++list)
        RequestHighScores(list, 10);
    RunSimpleScreen(player, 13, 800, 600, [] { DrawHighScores(); });
    return 0;
}

void ShowHelp(LocalPlayer& player) {
    char helpFile[100];
    if (!GetConfigString("main.dat", "help", "helpfile", helpFile, sizeof helpFile, "help.hlp", 0)) {
        ErrorLogWrite("No entry for helpfile under [help] in file: %s\n", "main.dat");
        return;
    }
    OpenSimpleScreen(12, g_screenFiles.keyboardBack);
    ClipCursor(nullptr);
    PumpMessages();
    // The help file opens in the desktop's viewer beside the game; headless there is none.
    if (!platform::IsHeadless())
        platform::StartProgram("xdg-open", {helpFile});
    g_restoredFlag = 0;
    PlayerControl control{};
    while (!g_restoredFlag && !ScreenEndRequested()) {
        FrameClock = BlockRead() * 10;
        if (ReadScreenKeys(player, control))
            break;
        g_screen.PresentScreen();
    }
    ClipCursorToWindow(0, 0, 799, 599);
    ClearClickRegions(0);
    HideMouseCursor();
    g_screen.FreeSnapshot();
}
