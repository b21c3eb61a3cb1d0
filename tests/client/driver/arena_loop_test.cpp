// One arena game as screen 1 plays it, in process: the sample level offline on the headless window
// with the recording presentation and the virtual clock; entry, frames, the end tests and exit.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "client/arena/game_input.h"
#include "client/arena/grid_queries.h"
#include "client/arena/local_player.h"
#include "client/arena/player_status.h"
#include "client/arena/player_view.h"
#include "client/arena/spell.h"
#include "client/arena/world_object.h"
#include "client/core/config_file.h"
#include "client/core/error_log.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "client/core/numeric.h"
#include "client/core/screen_state.h"
#include "client/driver/arena_loop.h"
#include "client/driver/message_pump.h"
#include "client/driver/quit_dialog.h"
#include "client/net/client_tables.h"
#include "client/net/net_catalogue.h"
#include "client/net/net_dispatch.h"
#include "client/net/net_handshake.h"
#include "client/net/net_rings.h"
#include "client/net/socket_layer.h"
#include "client/net/socket_settings.h"
#include "client/screens/character_state.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/gws_core.h"
#include "client/screens/input.h"
#include "client/screens/main_menu.h"
#include "client/screens/view_windows.h"
#include "platform/sock/sock_control.h"
#include "tests/client/driver/offline_arena.h"
#include "tests/client/screens/screen_fixture.h"
#include "tests/support/game_service.h"
#include "tests/support/headless.h"
#include "tools/writers/pcx_writer.h"

namespace fs = std::filesystem;

namespace {

constexpr int kEscape = 1;

class ArenaFlow : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        StartScreen();
        const fs::path install = SAMPLE_INSTALL_DIR;
        for (const char* item : {"sample", "textures", "pattern.dat", "monster.dat", "system.dat", "spell.bin",
                                 "spell.dat", "screen2.pcx", "arrow.pcx", "node.pcx", "charport.pcx"})
            if (fs::exists(install / item))
                fs::copy(install / item, fs::path(dir->Path()) / item, fs::copy_options::recursive);
        WriteQuitArt();
        dir->Write("main.dat", dir->Read("main.dat") +
                                   "[screens]\nchaosbackfile=screen2.pcx\norderbackfile=screen2.pcx\n"
                                   "balancebackfile=screen2.pcx\n");
        GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
        ASSERT_TRUE(OpenErrorLog());
        ResetGameValues();
        ClearPlayerTable();
        LoadSpellData(0);
        PrepareOfflineArena(player, "sample", 2);
    }
    void TearDown() override {
        if (g_playerView)
            EndArenaGame(player);
        FreeSpells();
        CloseErrorLog();
        g_playMode = g_linkState = 1;
        g_lostLink = g_inactivityState = g_matchEndFlag = 0;
        TintTime = 0;
        ScreenFixture::TearDown();
    }
    // A 160 x 80 picture in two colours for the quit dialog and its highlight.
    void WriteQuitArt() {
        std::vector<uint8_t> pixels(160 * 80, 7), palette(768, 0);
        for (int i = 0; i < 256; ++i)
            palette[i * 3] = palette[i * 3 + 1] = palette[i * 3 + 2] = static_cast<uint8_t>(i);
        for (const char* name : {"qmatch0.pcx", "qmatch1.pcx"}) {
            const std::vector<uint8_t> bytes = BuildPcx(160, 80, pixels.data(), palette.data());
            dir->Write(name, std::string(bytes.begin(), bytes.end()));
        }
    }
    void Key(int scan) {
        platform::InjectKey(scan, true);
        platform::InjectKey(scan, false);
    }
    int Frames(int n) {
        int running = 1;
        for (int i = 0; i < n && running; ++i)
            running = RunArenaFrame(player);
        return running;
    }
    std::string Log() { return dir->Read("error.log"); }
    // The entry ends the process (exit code 0) after "Bad Grid Load", by closing the window.
    void ExpectTheProgramEnds(const std::function<void()>& entry) {
        // Escape comes every 100 ms, so an entry that waited for it instead comes back.
        DWORD last = GetTickCount();
        const int escaper = platform::AddMessageSource([&last] {
            if (GetTickCount() - last < 100)
                return;
            last = GetTickCount();
            platform::InjectKey(kEscape, true);
            platform::InjectKey(kEscape, false);
        });
        int code = -1;
        try {
            entry();
        } catch (const ProcessExit& exit) {
            code = exit.code;
        }
        platform::RemoveMessageSource(escaper);
        EXPECT_EQ(code, 0);
        EXPECT_EQ(g_quitFlag, 1) << "ended through WM_CLOSE";
        g_quitFlag = 0;
        EXPECT_NE(Log().find("Exiting with message Bad Grid Load."), std::string::npos) << Log();
    }
    static bool ConsoleHasLine(const std::string& text) {
        for (const ChatLine& line : ChatBuffer.lines)
            if (text == line.text)
                return true;
        return false;
    }

    LocalPlayer player{};
};

TEST_F(ArenaFlow, OfflineGameEntersPlaysAndLeavesByTheQuitDialog) {
    ASSERT_EQ(BeginArenaGame(player, 0), 1);
    ASSERT_NE(g_playerView, nullptr);
    EXPECT_EQ(g_screenState, 1);
    EXPECT_EQ(GetGameValue(4), 2);
    EXPECT_EQ(GetGameValue(118), -1);
    EXPECT_EQ(GetGameValue(107), GetMaxHitPoints());
    // Team 2's start in the sample level, the own figure made and the main view looking from it.
    EXPECT_EQ(g_playerView->x, 21 * 64 + 32);
    EXPECT_EQ(g_playerView->y, 15 * 64 + 32);
    EXPECT_GT(player.own_object, 0);
    EXPECT_EQ(g_views[0].active, 1);
    EXPECT_EQ(g_views[0].eyeX, g_playerView->x);
    EXPECT_EQ(g_views[0].width, 401);
    const std::string log = Log();
    EXPECT_LT(log.find("Putting Initial Stats."), log.find("Performing First Raycast."));
    EXPECT_LT(log.find("Performing First Raycast."), log.find("First Raycast Complete."));

    // Frames run on the virtual clock: each shows one world frame.
    present->calls.clear();
    EXPECT_EQ(Frames(150), 1);
    EXPECT_EQ(present->Count("SgxUpdateFrame"), 150u);
    EXPECT_EQ(present->Count("RenderWorldView"), 150u);
    EXPECT_EQ(present->Count("ShowViewFrame"), 150u);
    EXPECT_GT(g_arenaLoop.frameRate, 50);

    // Escape opens the quit dialog; the match goes on under it.
    Key(kEscape);
    EXPECT_EQ(Frames(3), 1);
    ASSERT_EQ(g_quitDialog.open, 1);
    // "Leave" (item 101) ends the game.
    const int top = 300 - g_quitDialog.picture.PcxHeight() / 2;
    Click(platform::MouseButton::Left, 400, top + 39);
    EXPECT_EQ(Frames(5), 0);
    EXPECT_EQ(EndArenaGame(player), 0);
    EXPECT_EQ(g_playerView, nullptr);
    EXPECT_EQ(g_quitDialog.open, 0);
    EXPECT_EQ(WorldObjectHighWater, 1) << "the level was freed";
    EXPECT_GE(present->Count("ResetHudAndFigures"), 1u);
    EXPECT_EQ(present->Named("SetWorldFog").back(), "SetWorldFog(0, 0, 0, 0, 0)");
}

// What a previous game left in the player's state does not follow him into the next: a death
// timer still running, the HUD list picks, the cell last stood on; he leaves the arena standing.
TEST_F(ArenaFlow, TheEntryStartsTheActionStateAfreshAndTheExitStandsThePlayerUp) {
    g_actionState.death_timer = 3000;
    g_actionState.cast_result = 700;
    HudListIndex = 4;
    HudSpellIndex = 9;
    LastCellCode = 30;
    ASSERT_EQ(BeginArenaGame(player, 0), 1);
    EXPECT_EQ(g_actionState.death_timer, 0) << "a living player gets no ghost's view";
    EXPECT_EQ(g_actionState.cast_result, 0);
    EXPECT_EQ(HudListIndex, 0);
    EXPECT_EQ(HudSpellIndex, 0);
    EXPECT_EQ(LastCellCode, 0);
    Frames(2);
    player.eye_height = player.crawl_eye_height;
    EndArenaGame(player);
    EXPECT_EQ(player.eye_height, player.normal_eye_height);
}

// The frame writes the cycle sums that the object update and activation gathered since the last
// one, then starts them from 0.
TEST_F(ArenaFlow, TheFrameWritesTheObjectCycleSumsAndClearsThem) {
    ASSERT_EQ(BeginArenaGame(player, 0), 1);
    Frames(1);
    g_frameCycleSums = FrameCycleSums{};
    const int slot = AllocObjectAt(OBJ_STATIC, g_playerView->x + 64, g_playerView->y);
    WorldObjectTable[slot].z = static_cast<int16_t>(GetFloorHeight(g_playerView->x + 64, g_playerView->y, -1000, 0));
    ASSERT_EQ(ActivateObject(slot), 1);
    const uint32_t activation = g_frameCycleSums.d;
    EXPECT_GT(activation, 0u);
    present->calls.clear();
    Frames(1);
    const std::vector<std::string> stats = present->Named("WriteFrameStats");
    ASSERT_EQ(stats.size(), 1u);
    // previous frame, presentation, movement, placing, activation, input
    int values[6] = {};
    ASSERT_EQ(std::sscanf(stats[0].c_str(), "WriteFrameStats(%d, %d, %d, %d, %d, %d)", &values[0], &values[1],
                          &values[2], &values[3], &values[4], &values[5]),
              6);
    EXPECT_GE(static_cast<uint32_t>(values[4]), activation);
    EXPECT_GT(values[2], 0) << "objects moved";
    EXPECT_GT(values[3], 0) << "figures placed";
    EXPECT_EQ(g_frameCycleSums.b | g_frameCycleSums.c | g_frameCycleSums.d, 0u);
}

// Offline the player is his own target: a targeted spell readied shows him as its target from
// the first quarter second on.
TEST_F(ArenaFlow, TheQuarterSecondTickKeepsTheSpellTarget) {
    SetSpell(30, CreateSpell(SPELL_TARGET));
    GetSpell(30)->valid = 1;
    ASSERT_EQ(BeginArenaGame(player, 0), 1);
    SetGameValue(115, 30);
    TargetPlayerId = 0;
    present->frameStepMs = 100;
    Frames(3);
    EXPECT_EQ(TargetPlayerId, 0) << "not before 250 ms";
    Frames(1);
    EXPECT_EQ(TargetPlayerId, -1);
    TargetPlayerId = 0;
}

TEST_F(ArenaFlow, ThePlayerArrivesSeenFromBehindAndF3SwitchesTheView) {
    ASSERT_EQ(BeginArenaGame(player, 0), 1);
    EXPECT_EQ(g_actionState.arrival_timer, kArrivalViewTime);
    EXPECT_EQ(g_actionState.arrival_facing, g_playerView->facing);
    // Frames of 10 ms: the sequence is over after its three seconds.
    Frames(310);
    EXPECT_EQ(g_actionState.arrival_timer, 0);

    // F3 switches the view; the other free function keys do nothing to it.
    present->calls.clear();
    for (int scan : {59, 61, 62, 63, 61}) {  // F1, F3, F4, F5, F3
        Key(scan);
        Frames(1);
    }
    EXPECT_EQ(present->Count("ToggleViewMode"), 2u);
}

TEST_F(ArenaFlow, GoingOnFromTheQuitDialogKeepsPlaying) {
    ASSERT_EQ(BeginArenaGame(player, 0), 1);
    Key(kEscape);
    Frames(2);
    ASSERT_EQ(g_quitDialog.open, 1);
    const int top = 300 - g_quitDialog.picture.PcxHeight() / 2;
    Click(platform::MouseButton::Left, 400, top + 60);
    EXPECT_EQ(Frames(5), 1);
    EXPECT_EQ(g_quitDialog.open, 0);
}

// The window system owns the open box: when it ends it (another pop-up, a shutdown), the dialog
// lets go and the match goes on with mouse look.
TEST_F(ArenaFlow, AQuitDialogEndedByTheWindowSystemIsForgotten) {
    SetMouseLookEnabled(1);
    ASSERT_EQ(BeginArenaGame(player, 0), 1);
    EXPECT_EQ(GetCursorMode(), 0);
    Key(kEscape);
    Frames(2);
    ASSERT_EQ(g_quitDialog.open, 1);
    EXPECT_EQ(GetCursorMode(), 1);
    gwsClosePopup(g_quitDialog.ticket);
    EXPECT_EQ(Frames(3), 1);
    EXPECT_EQ(g_quitDialog.open, 0);
    EXPECT_EQ(GetCursorMode(), 0);
    Key(kEscape);
    Frames(2);
    EXPECT_EQ(g_quitDialog.open, 1) << "it opens again";
    SetMouseLookEnabled(0);
}

// One frame's calls to the presentation in the order of its steps.
TEST_F(ArenaFlow, AFrameCallsThePresentationInItsOrder) {
    ASSERT_EQ(BeginArenaGame(player, 0), 1);
    Frames(1);
    TintTime = 400;
    present->calls.clear();
    Frames(1);
    std::vector<std::string> names = present->Names();
    const std::vector<std::string> wanted = {"SgxUpdateFrame", "SetScreenTint", "ShowScreenTint", "ClearViewFrame",
                                             "RenderWorldView", "ShowViewFrame", "WriteFrameStats"};
    names.erase(std::remove_if(names.begin(), names.end(),
                               [&](const std::string& n) {
                                   return std::find(wanted.begin(), wanted.end(), n) == wanted.end();
                               }),
                names.end());
    EXPECT_EQ(names, wanted);
}

// Each end test stops the loop; offline every one goes back to the menu. A lost link says so first
// and waits for Escape.
TEST_F(ArenaFlow, EndTestsTable) {
    struct Case {
        const char* what;
        int32_t* flag;
        const char* message;  // on the console at the exit, or null
    } cases[] = {
        {"lost link", &g_lostLink, "and you were disconnected."},
        {"inactivity", &g_inactivityState, nullptr},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(BeginArenaGame(player, 0), 1) << c.what;
        EXPECT_EQ(Frames(3), 1) << c.what;
        *c.flag = 1;
        EXPECT_EQ(RunArenaFrame(player), 0) << c.what;
        if (c.message)
            Key(kEscape);
        EXPECT_EQ(EndArenaGame(player), 0) << c.what;
        EXPECT_EQ(ConsoleHasLine("and you were disconnected."), c.message != nullptr) << c.what;
        *c.flag = 0;
    }
}

TEST_F(ArenaFlow, TheEndGameTriggerEndsTheMatch) {
    ASSERT_EQ(BeginArenaGame(player, 0), 1);
    // The flag of a previous frame is cleared at the frame's start; one set during it ends it.
    g_matchEndFlag = 1;
    EXPECT_EQ(RunArenaFrame(player), 1);
}

TEST_F(ArenaFlow, DamageTintFadesWithItsTime) {
    ASSERT_EQ(BeginArenaGame(player, 0), 1);
    Frames(1);
    SetGameValue(108, 10000);
    SetGameValue(107, 0);
    TintTime = 500;
    present->calls.clear();
    Frames(1);  // the 10 ms of the frame shown last gone: (50 + 35) x 490 / 500
    EXPECT_EQ(present->Named("SetScreenTint"), std::vector<std::string>{"SetScreenTint(255, 64, 64, 0, 83)"});
    EXPECT_EQ(present->Named("ShowScreenTint"), std::vector<std::string>{"ShowScreenTint(1)"});
    Frames(60);
    EXPECT_EQ(TintTime, 0);
    EXPECT_EQ(present->Named("ShowScreenTint").back(), "ShowScreenTint(0)");
}

// Frames shorter than 1 ms move none of the millisecond countdowns.
TEST_F(ArenaFlow, ShortFramesAdvanceNoCountdown) {
    ASSERT_EQ(BeginArenaGame(player, 0), 1);
    present->frameStepMs = 0;
    Frames(20);
    EXPECT_EQ(g_arenaLoop.rateCountdown, 1000);
    EXPECT_EQ(g_arenaLoop.effectsMs, 0);
}

// The player's effects, status and target lines run every 250 ms, with the ms gathered.
TEST_F(ArenaFlow, TheQuarterSecondTickGathersFrames) {
    ASSERT_EQ(BeginArenaGame(player, 0), 1);
    present->frameStepMs = 100;
    Frames(1);  // the first frame follows the entry at once
    const int gathered[] = {100, 200, 0, 100, 200, 0};
    for (int expected : gathered) {
        Frames(1);
        EXPECT_EQ(g_arenaLoop.effectsMs, expected);
    }
    EXPECT_EQ(g_arenaLoop.frameDelta, 1000);
}

// Online, an arena index the tables do not hold ends the screen before anything is made.
TEST_F(ArenaFlow, InvalidArenaOnlineReturnsToTheMenu) {
    g_playMode = 2;
    for (int arena : {-1, 0, 20, 5}) {
        CurrentArena = arena;
        ArenaTable[5].id = 0xFFFF;
        EXPECT_EQ(PlayGame(&player, 7), 0) << arena;
        EXPECT_EQ(g_playerView, nullptr) << arena;
    }
    const std::string log = Log();
    EXPECT_NE(log.find("Invalid Arena #-1 in PlayGame!"), std::string::npos);
    EXPECT_NE(log.find("Invalid Arena #20 in PlayGame!"), std::string::npos);
    EXPECT_NE(log.find("Invalid Arena #5 in PlayGame!"), std::string::npos);
    CurrentArena = -1;
}

// Offline, a level that cannot be loaded ends the program with its message, as online: the close
// goes through the window, whose pump ends the process.
TEST_F(ArenaFlow, AMissingOfflineLevelEndsTheProgram) {
    std::snprintf(g_singleUserLevel, sizeof g_singleUserLevel, "%s", "nowhere");
    ExpectTheProgramEnds([&] { BeginArenaGame(player, 0); });
    EXPECT_FALSE(ConsoleHasLine("You cannot enter this arena at this time."));
}

// ---- Online ------------------------------------------------------------------------------------------

// Logged in to the scripted service on loopback (stepped as a message source on the virtual
// clock) over datagrams, with arena 4 ("sample") in the arena list at index 1.
class OnlineArenaFlow : public ArenaFlow {
protected:
    void SetUp() override {
        ArenaFlow::SetUp();
        ASSERT_TRUE(service.Ok());
        service.AddAccount("mira", "secret");
        service.InstallAsMessageSource(1);
        platform::ResetSocketControls();
        ResetSocketLinks();
        ResetNetFraming();
        ResetSendRing();
        ResetReceiveRing();
        ResetNetDispatch();
        ResetNetHandshake();
        ResetArenaList();
        std::strcpy(SocketAddress, "127.0.0.1");
        SocketPort = service.DatagramPort();
        SocketStreamPort = service.StreamPort();
        Hold(g_login.account, "mira");
        Hold(g_login.password, "secret");
        Hold(g_currentCharacter.name, "Thorn");
        ConnectionType = CONNECTION_DATAGRAM;
        ASSERT_EQ(OpenDatagramSocket(&DatagramLink), 0);
        g_linkState = 2;
        SendConnect();
        ASSERT_EQ(WaitForServiceReply(), 1);
        g_playMode = 2;
        ArenaEntry& a = ArenaTable[1];
        a = ArenaEntry{};
        a.id = 4;
        std::memcpy(a.text1, "sample", 6);
        CurrentArena = 1;
    }
    void TearDown() override {
        if (g_playerView)
            EndArenaGame(player);
        service.RemoveMessageSource();
        ResetSocketLinks();
        platform::ResetSocketControls();
        ResetArenaList();
        CurrentArena = -1;
        ArenaFlow::TearDown();
    }
    static void Hold(char* field, size_t size, const char* text) {
        std::memset(field, 0, size);
        std::strncpy(field, text, size - 1);
        SwapOddNibbles(field);
    }
    template <size_t N>
    static void Hold(char (&field)[N], const char* text) {
        Hold(field, N, text);
    }
    std::vector<int> ServiceCodes() {
        std::vector<int> codes;
        for (const GameService::Frame& f : service.Frames())
            codes.push_back(f.code);
        return codes;
    }

    GameService service;
};

// The entry handshake in order, frames until the service declares the match done, then the exit:
// the after-match view comes next.
TEST_F(OnlineArenaFlow, TheMatchRunsUntilTheServiceEndsIt) {
    ASSERT_EQ(BeginArenaGame(player, 4), 1);
    EXPECT_GT(GetGameValue(118), 0) << "the service gave an id";
    EXPECT_EQ(Frames(20), 1);
    std::vector<uint8_t> state(80, 0);
    state[0] = 4;
    state[9] = 1;  // done
    service.Send(0, 26, state);
    int frames = 0;
    while (RunArenaFrame(player) && frames < 500)
        ++frames;
    EXPECT_LT(frames, 500) << "the match did not end";
    EXPECT_EQ(EndArenaGame(player), 5);
    PumpUntil([&] { return service.FramesOf(4).size() >= 3; });
    const std::vector<int> codes = ServiceCodes();
    // Login, the first enter (port + 100), the arena handshake, the initial state, then the exit.
    const std::vector<int> entry = {15, 184, 4, 184, 51, 64, 188, 23, 124};
    ASSERT_GE(codes.size(), entry.size());
    EXPECT_EQ(std::vector<int>(codes.begin(), codes.begin() + entry.size()), entry);
    EXPECT_EQ(codes.back(), 4);
    const std::vector<GameService::Frame> enters = service.FramesOf(184);
    ASSERT_GE(enters.size(), 2u);
    EXPECT_EQ(enters[0].body[2], 104);
    EXPECT_EQ(enters[1].body[2], 4);
}

// Online, the player's state goes out every 500 ms while it changes, and the vitals every 5000 ms:
// 12 s of frames of 100 ms, the player turning in each, send 20 states and 2 vitals.
TEST_F(OnlineArenaFlow, StateEveryHalfSecondAndVitalsEveryFiveSeconds) {
    ASSERT_EQ(BeginArenaGame(player, 4), 1);
    Frames(1);
    present->frameStepMs = 100;
    const size_t states = service.FramesOf(F_PLAYER_STATE).size() + service.FramesOf(F_PLAYER_SHORT_STATE).size();
    const size_t vitals = service.FramesOf(F_PLAYER_VITALS).size();
    const uint32_t start = ReadGameClock();
    for (int frame = 0; frame < 200 && ReadGameClock() - start < 120000; ++frame) {
        g_playerView->facing = (g_playerView->facing + 64) & 4095;
        ASSERT_EQ(RunArenaFrame(player), 1);
    }
    PumpAWhile();
    const size_t statesSent =
        service.FramesOf(F_PLAYER_STATE).size() + service.FramesOf(F_PLAYER_SHORT_STATE).size() - states;
    EXPECT_GE(statesSent, 18u);
    EXPECT_LE(statesSent, 24u);
    EXPECT_EQ(service.FramesOf(F_PLAYER_VITALS).size() - vitals, 2u);
}

// A player who left a match dead and enters a new one dies again at entry; his death timer
// survives the entry's fresh action state, so the ghost's fog comes after five seconds.
TEST_F(OnlineArenaFlow, APlayerWhoLeftDeadBecomesAGhostInTheNextMatch) {
    player.dead = 1;
    ASSERT_EQ(BeginArenaGame(player, 4), 1);
    EXPECT_EQ(player.dead, 1);
    EXPECT_EQ(g_actionState.death_timer, 5000);
    present->calls.clear();
    Frames(510);
    EXPECT_NE(std::find(present->calls.begin(), present->calls.end(), "SetWorldFog(150, 640, 150, 150, 150)"),
              present->calls.end());
}

// The shrine test at entry decides whether the player starts dead, and the initial state the
// service gets afterwards says so.
TEST_F(OnlineArenaFlow, ALostShrineStartsThePlayerDeadAndTheInitialStateSaysSo) {
    service.OnCode(23, [](GameService&, const GameService::Frame&) {
        ShrineDef& shrine = g_level.shrines[0];
        shrine.found = 1;
        shrine.alignment = GetGameValue(4);
        shrine.power = 0;
        return false;
    });
    ASSERT_EQ(BeginArenaGame(player, 4), 1);
    EXPECT_EQ(player.dead, 1);
    PumpUntil([&] { return !service.FramesOf(124).empty(); });
    const std::vector<GameService::Frame> init = service.FramesOf(124);
    ASSERT_EQ(init.size(), 1u);
    ASSERT_GE(init[0].body.size(), 13u);
    EXPECT_EQ(init[0].body[12], 1) << "dead";
}

// A service that never opens the datagram link fails the entry: the exit says so and waits for
// escape; the after-match view follows as after any online game.
TEST_F(OnlineArenaFlow, ARefusedDatagramLinkFailsTheEntry) {
    service.OnCode(188, [](GameService&, const GameService::Frame&) { return true; });
    EXPECT_EQ(BeginArenaGame(player, 4), 0);
    EXPECT_TRUE(ConsoleHasLine("Could Not Establish Datagram Socket!"));
    Key(kEscape);
    EXPECT_EQ(EndArenaGame(player), 5);
    EXPECT_TRUE(ConsoleHasLine("You cannot enter this arena at this time."));
}

// Online, a level that cannot be loaded ends the program with its message.
TEST_F(OnlineArenaFlow, ABadLevelEndsTheProgram) {
    std::memcpy(ArenaTable[1].text1, "nowhere", 7);
    ExpectTheProgramEnds([&] { BeginArenaGame(player, 4); });
}

}  // namespace
