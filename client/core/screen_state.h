#pragma once
// What every screen loop shares: the screen state (which loop runs), the game-clock time the
// current frame started at, and the flags that end any screen (a lost link, inactivity).

#include <cstdint>

// Screen states: 1 arena, 2 chat, 6 keyboard configuration, 11 the fireteam's waiting screen,
// -4 shutdown; the game driver owns the rest.
extern int32_t g_screenState;
// The game-clock value each screen loop stores at the start of its frame.
extern uint32_t FrameClock;
// Set by the link-statistics timer when the service has been silent too long.
extern int32_t g_lostLink;
// 0 active, 1 timed out, 2 finished.
extern int32_t g_inactivityState;
// Processor cycles the last world view took to draw (frame statistics).
extern uint64_t g_frameRenderCycles;

// A screen the running loop should hand over to (0 none): set by the network when a fireteam's
// status moves its members; the loop that sees it ends and returns it.
extern int32_t g_nextScreenRequest;
void RequestNextScreen(int state);

// Whether the current screen must end (a lost link or inactivity).
inline bool ScreenEndRequested() { return g_lostLink != 0 || g_inactivityState != 0; }
