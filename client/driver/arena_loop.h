#pragma once
// Screen 1, one arena game: the entry (level, team, player, the service's entry handshake), the
// frames until an end test, and the exit that takes the match down. Entry, one frame and exit are
// separate so tests and benchmarks can drive the frames themselves.

#include <cstdint>

struct LocalPlayer;

// The frame loop's state, kept for tests and the statistics.
struct ArenaLoopState {
    int32_t arena = -1;           // index of the arena entered in ArenaTable (online)
    int32_t entryFailed = 0;      // the service's entry handshake failed
    int32_t running = 0;          // the continue flag
    uint32_t previousClock = 0;   // game clock of the previous frame
    uint32_t entryClock = 0;      // game clock when the frames began
    int32_t frameDelta = 0;       // 0.1 ms
    int32_t tintFlag = -1;        // the frame's presentation mode: -1 world only, 0 with the 2D screen
    int32_t effectsMs = 0;        // towards the next 250 ms tick
    int32_t stateCountdown = 500;
    int32_t vitalsCountdown = 5000;
    int32_t rateCountdown = 1000;
    int32_t frameCounter = 0;
    int32_t frameRate = 0;
    uint32_t previousFrameCycles = 0;
};
extern ArenaLoopState g_arenaLoop;

// Kept across arena games: the team and match instance of the last entry, the seconds played in
// arenas and the match counter.
struct ArenaMemory {
    int32_t team = 0;
    uint32_t instance = 0xFFFFFFFFu;
    int32_t secondsPlayed = 0;
    int32_t matchCounter = 0;
};
extern ArenaMemory g_arenaMemory;

// The next screen: 5 (after-match view) when an online game ended normally, 0 (main menu) offline,
// after a lost link, after inactivity or for an arena that does not exist.
int PlayGame(LocalPlayer* player, int entryPort);

// 1 when the frames may run; 0 when the service refused the entry (the exit then says so);
// -1 for an arena index outside 1..19 or unused online (nothing was made: return 0 at once).
int BeginArenaGame(LocalPlayer& player, int entryPort);
// One frame; 1 while the game goes on.
int RunArenaFrame(LocalPlayer& player);
// Takes the game down; the next screen code.
int EndArenaGame(LocalPlayer& player);
