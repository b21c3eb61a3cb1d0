#include "client/driver/arena_loop.h"

#include <cstring>
#include <memory>

#include "client/arena/arena_frame.h"
#include "client/arena/game_input.h"
#include "client/arena/local_player.h"
#include "client/arena/object_effects.h"
#include "client/arena/player_control.h"
#include "client/arena/player_controls.h"
#include "client/arena/player_effects.h"
#include "client/arena/player_start.h"
#include "client/arena/player_status.h"
#include "client/arena/player_view.h"
#include "client/core/error_log.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/numeric.h"
#include "client/core/screen_files.h"
#include "client/core/screen_state.h"
#include "client/core/sound.h"
#include "client/driver/arena_helpers.h"
#include "client/driver/display_helpers.h"
#include "client/driver/exit_message.h"
#include "client/driver/game_main.h"
#include "client/driver/game_settings.h"
#include "client/driver/message_pump.h"
#include "client/driver/quit_dialog.h"
#include "client/driver/screen_loops.h"
#include "client/driver/view_setup.h"
#include "client/level/level_loader.h"
#include "client/net/client_tables.h"
#include "client/net/net_dispatch.h"
#include "client/net/net_handshake.h"
#include "client/net/net_players.h"
#include "client/present/present_services.h"
#include "client/screens/character_file.h"
#include "client/screens/character_state.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/chat_input.h"
#include "client/screens/hud_text.h"
#include "client/screens/input.h"
#include "client/screens/main_menu.h"
#include "client/screens/overhead_map.h"
#include "client/screens/score_screen.h"
#include "client/screens/screen_art.h"
#include "client/screens/screen_surface.h"
#include "client/screens/view_windows.h"

ArenaLoopState g_arenaLoop;
ArenaMemory g_arenaMemory;

namespace {

constexpr int kEntryColour = 222;
constexpr int kArenaScreen = 1;

std::unique_ptr<PlayerView> g_view;

bool Online() { return g_playMode == 2; }

void Say(const char* text) { PrintMessage(MSG_SYSTEM, text, kEntryColour, 0); }
void Debug(const char* text) {
    if (g_debugLevel > 0)
        Say(text);
}

void ClearWholeScreen() {
    g_screen.FillRect16(0, 0, kScreenWidth, kScreenHeight, 0);
    g_screen.QueueDirtyRect(0, 0, kScreenWidth, kScreenHeight, 1);
}

// The arena's own music in place of the menus' while music plays.
void SwapMusic(bool toArena) {
    if (g_soundState != 2 || g_musicEnabled != 2)
        return;
    StopMusic();
    for (int track = 1; track <= 3; ++track)
        toArena ? UnloadMusic(track) : LoadMusic(track);
    toArena ? LoadMusic(4) : UnloadMusic(4);
    if (toArena)
        PlayMusic(4, 0);
}

// The online half of the entry up to the level: the team, the first enter, the level and where the
// player stands in this match. A level that cannot be loaded ends the program, as offline.
void EnterOnline(LocalPlayer& player, int entryPort) {
    const ArenaEntry& arena = ArenaTable[g_arenaLoop.arena];
    ChooseTeam(g_arenaLoop.arena);
    SendPlayerEnter(&player, entryPort + 100);
    WaitForEnterReply(&player);
    ClearWholeScreen();
    g_screen.PresentScreen();
    char level[sizeof arena.text1 + 1] = {};
    std::memcpy(level, arena.text1, sizeof arena.text1);
    if (LoadGrid(level) != 1)
        ExitWithMessage("Bad Grid Load");
    if (GetGameValue(4) != g_arenaMemory.team) {
        g_arenaMemory.team = GetGameValue(4);
        g_arenaMemory.secondsPlayed = 0;
    }
    if (arena.match.instance != g_arenaMemory.instance) {
        ResetPlayerState(player);
        PlacePlayerAtStart(player, GetGameValue(4), 0);
        g_arenaMemory.matchCounter = 0;
        g_arenaMemory.secondsPlayed = 0;
        g_arenaMemory.instance = arena.match.instance;
        if (player.dead)
            OnLocalPlayerDeath(player, 0);
    } else {
        player.dead = 0;
        if (g_playerView)
            g_playerView->speed = g_playerView->strafe_speed = g_playerView->z_speed = 0;
        PlacePlayerAtStart(player, GetGameValue(4), 1);
    }
    ResetMatchScores(player);
}

// The offline half: the team chosen under Setup, its level and its start.
void EnterOffline(LocalPlayer& player) {
    SetGameValue(4, g_singleUserTeam);
    if (LoadGrid(g_singleUserLevel) != 1)
        ExitWithMessage("Bad Grid Load");
    ResetPlayerState(player);
    g_arenaMemory.matchCounter = 0;
    g_arenaMemory.instance = 0;
    PlacePlayerAtStart(player, GetGameValue(4), 0);
    SetGameValue(107, GetMaxHitPoints());
    player.dead = 0;
    SetGameValue(118, -1);
}

void StartFrames(LocalPlayer& player) {
    ErrorLogWrite("Putting Initial Stats.\n");
    DrawPlayerPanel();
    Debug("Game Started.");
    UpdateOwnPlayerObject(player);
    SetViewRect(0, g_viewRect.left, g_viewRect.top, g_viewRect.right, g_viewRect.bottom, g_viewRect.distance);
    g_views[0].mode = 0;
    SetViewPoint(0, g_playerView->x, g_playerView->y, g_playerView->z, player.pitch, g_playerView->facing);
    BuildViewTables(0, 1);
    g_views[0].active = 1;
    ErrorLogWrite("Performing First Raycast.\n");
    ErrorLogWrite("First Raycast Complete.\n");
    Debug("Maze Drawn.");

    SetKeyInputMode(0);
    ResetKeyStates();
    PumpMessages();
    if (Online())
        DrainSocket();
    LoadQuitDialogArt();
    SetHudListMode(player, 4);
    HudListIndex = HudSpellIndex = 0;
    LastCellSound = LastCellCode = 0;
    if (player.dead) {
        ReadySpellSlot(player, 0);
        SetGameValue(107, 0);
    } else {
        CycleReadiedSpell(player, 0);
    }

    g_screen.FillRect16(0, 0, kScreenWidth, kScreenHeight, 0);
    g_arenaLoop.entryClock = ReadGameClock();
    g_arenaLoop.previousClock = g_arenaLoop.entryClock;
    if (Online())
        std::memset(SavedPlayerTable, 0, sizeof SavedPlayerTable);
    SetCursorMode(0);
    CreateOwnPlayerObject(player, 3);
    if (g_linkState == 2)
        SendInitPlayer(&player);
    BeginArrivalView(player);

    ClearWholeScreen();
    SetPanelRedrawFlag(-1, 1);
    g_lostLink = 0;
    g_arenaLoop.running = 1;
    g_arenaLoop.tintFlag = -1;
}

// The damage tint of the frame (ms of it gone).
void UpdateTint(int ms) {
    if (TintTime == 0)
        return;
    TintTime -= ms;
    if (TintTime > 0) {
        SetScreenTint(255, 64, 64, 0, DamageTintStrength(TintTime));
        ShowScreenTint(1);
        g_arenaLoop.tintFlag = -1;
    } else {
        TintTime = 0;
        ShowScreenTint(0);
    }
}

void ReadControls(LocalPlayer& player, PlayerControl& control) {
    StartCycleTimerE();
    if (GetKeyInputMode() == 1) {
        DoChatInput(&player);
        control = PlayerControl{};
        control.yaw = control.pitch = -1;
        HandleGameInput(player, control, 4);
        SetPanelRedrawFlag(kChatPanel, 1);
    } else {
        ReadPlayerControls(4, &control, &player);
        HandleGameInput(player, control, 4);
    }
}

void OnlineStep(LocalPlayer& player, int ms) {
    if (g_linkState != 2)
        return;
    BlockRead();
    DatagramRead();
    g_arenaLoop.stateCountdown -= ms;
    if (g_arenaLoop.stateCountdown < 0) {
        g_arenaLoop.stateCountdown = 500;
        SendPlayerStateIfChanged(&player);
    }
    g_arenaLoop.vitalsCountdown -= ms;
    if (g_arenaLoop.vitalsCountdown < 0) {
        g_arenaLoop.vitalsCountdown = 5000;
        CheckStalePlayer();
        SendPlayerVitals();
    }
}

// 1 when one of the end tests holds. Escape opens the quit dialog; without its pictures it
// leaves at once, so the arena can always be left.
bool Ended(const PlayerControl& control) {
    bool end = false;
    if (Online() && g_arenaLoop.arena >= 0 && ArenaTable[g_arenaLoop.arena].match.state == 1) {
        if (g_debugLevel == 2)
            PrintMessage(MSG_SYSTEM, "ARENA_STATE_DONE received.", 44, 0);
        end = true;
    }
    end = end || g_lostLink != 0 || g_inactivityState != 0 || g_matchEndFlag != 0 || control.escape == 2;
    end = end || TakeQuitDialogResult() == 1;
    if (control.escape == 1 && !ShowQuitDialog())
        end = true;
    return end;
}

void WaitForEscape() {
    PlayerControl control{};
    while (!control.escape) {
        BlockRead();
        ReadMenuKeys(4, &control);
    }
}

}  // namespace

int BeginArenaGame(LocalPlayer& player, int entryPort) {
    g_arenaLoop = ArenaLoopState{};
    const int arena = CurrentArena;
    if (Online() && (arena < 1 || arena >= kArenaTableSize || ArenaTable[arena].id == 0xFFFF)) {
        ErrorLogWrite("Invalid Arena #%d in PlayGame!\n", arena);
        return -1;
    }
    g_screenState = kArenaScreen;
    g_view = std::make_unique<PlayerView>();
    g_playerView = g_view.get();
    g_localPlayer = &player;

    g_screen.ClearNoticeLines();
    g_arenaLoop.arena = arena;
    AllocViewBuffers();
    ShowMouseCursor();

    if (Online())
        EnterOnline(player, entryPort);
    else
        EnterOffline(player);

    ClearPlayerEffects(player);
    LoadViewportSettings();
    DrawAutomap();
    ResetColumnClips();
    SwapMusic(true);

    ClearChatBuffer();
    LoadTeamBackground();
    LoadCharacterFile(player, g_currentSlot);
    LoadMapMarkerArt();
    LoadPortraitArt();
    g_screen.LoadScreenPicture(g_screenFiles.gameBack);
    g_screen.SnapshotBackBuffer();
    ResetObjectGlow();
    // A player who enters dead keeps the death his entry began: its timer brings the ghost's view.
    const int32_t deathTimer = player.dead ? g_actionState.death_timer : 0;
    ClearActionState();
    g_actionState.death_timer = deathTimer;

    int ok = 1;
    if (Online()) {
        ok = EnterArenaGame(&player, entryPort);
        if (ok && TeamShrineLost())
            OnLocalPlayerDeath(player, 0);
    }
    if (!ok) {
        g_arenaLoop.entryFailed = 1;
        return 0;
    }
    StartFrames(player);
    return 1;
}

int RunArenaFrame(LocalPlayer& player) {
    ArenaLoopState& s = g_arenaLoop;
    g_matchEndFlag = 0;
    s.previousFrameCycles = ElapsedFrameCycleTimer();
    StartFrameCycleTimer();
    const uint32_t clock = ReadGameClock();
    s.frameDelta = static_cast<int32_t>(clock - s.previousClock);
    s.previousClock = clock;
    FrameDelta = s.frameDelta;
    const int ms = s.frameDelta / 10;
    FrameClock = BlockRead() * 10;

    PlayerControl control{};
    ReadControls(player, control);
    const uint32_t inputCycles = ElapsedCycleTimerE();

    SgxUpdateFrame();
    UpdateTint(ms);

    s.effectsMs += ms;
    if (s.effectsMs >= 250) {
        UpdatePlayerEffects(player, s.effectsMs);
        DrawStatusLine(player, s.effectsMs);
        DrawTargetLine();
        UpdateSpellTarget(s.effectsMs);
        s.effectsMs = 0;
    }

    OnlineStep(player, ms);
    RunArenaSimulation(player, ms, s.frameDelta);

    s.rateCountdown -= ms;
    if (s.rateCountdown < 0) {
        s.rateCountdown = 1000;
        s.frameRate = s.frameCounter;
        SetPanelRedrawFlag(2, 1);
        s.frameCounter = 1;
    }

    StartCycleTimerA();
    g_screen.PresentGameView(0, 0, kScreenWidth, kScreenHeight, s.frameDelta, s.tintFlag);
    const uint32_t presentCycles = ElapsedCycleTimerA();
    // Six zeros would switch frame.txt on or off instead of writing a line.
    FrameCycleSums& sums = g_frameCycleSums;
    if (s.previousFrameCycles | presentCycles | sums.b | sums.c | sums.d | inputCycles)
        WriteFrameStats(static_cast<int>(s.previousFrameCycles), static_cast<int>(presentCycles),
                        static_cast<int>(sums.b), static_cast<int>(sums.c), static_cast<int>(sums.d),
                        static_cast<int>(inputCycles));
    sums = FrameCycleSums{};

    if (Ended(control))
        s.running = 0;
    ++s.frameCounter;
    return s.running;
}

int EndArenaGame(LocalPlayer& player) {
    if (player.own_object)
        RemovePlayerObject(player);
    if (g_lostLink)
        ShowExitMessage(2);
    if (g_arenaLoop.entryFailed) {
        SendPlayerExit(&player, 0);
        Say("You cannot enter this arena at this time.");
        Say("Hit ESCAPE to return");
        DrawChatBuffer(0);
        g_screen.PresentScreen();
        WaitForEscape();
    }
    g_arenaMemory.secondsPlayed += static_cast<int32_t>((ReadGameClock() - g_arenaLoop.entryClock) / 10000);

    ClearClickRegions(0);
    FreeQuitDialog();
    SetCursorMode(1);
    if (Online()) {
        if (SavedPlayerTable[0].id == 0)
            std::memcpy(SavedPlayerTable, PlayerTable, sizeof SavedPlayerTable);
        SendPlayerExit(&player, 0);
    }

    HideMouseCursor();
    g_screen.FreeSnapshot();
    FreeGameSessionArt();
    FreePortraitArt();
    AllocViewBuffers();
    SettleMatchPoints();
    // The player leaves standing, whatever pose the match ended in.
    player.eye_height = player.normal_eye_height;

    for (int slot = 0; slot < 20; ++slot)
        StopAmbientSound(slot);
    StopPlayingSounds(-1);
    SwapMusic(false);

    ClearTextInput();
    if (IsChatLogging())
        CloseChatLog();
    SetWorldFog(0, 0, 0, 0, 0);
    FreeLevel();
    g_playerView = nullptr;
    g_view.reset();
    g_arenaLoop.running = 0;
    const bool toMenu = !Online() || g_lostLink != 0 || g_inactivityState != 0;
    return toMenu ? 0 : 5;
}

int PlayGame(LocalPlayer* player, int entryPort) {
    if (!player)
        return 0;
    const int entered = BeginArenaGame(*player, entryPort);
    if (entered < 0)
        return 0;
    while (entered == 1 && RunArenaFrame(*player)) {
    }
    return EndArenaGame(*player);
}
