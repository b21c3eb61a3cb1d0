#pragma once
// The client's driver: start-up, the screen state machine and shutdown.

#include <cstdint>

struct LocalPlayer;

// main.dat [drivers] sound: 0 none, 1 the usual, 2 the other.
extern int32_t g_soundDriver;
// arena.dat [arenadefs] numgrids.
extern int32_t g_arenaGridCount;

// Runs start-up, the state loop and shutdown; the process ends in its last PumpMessages.
int GameMain(const char* commandLine);
// The steps one at a time, for tests.
void StartUp(const char* commandLine);
// Runs screens until the program should end.
void RunStateLoop();
// The screen of one positive state code; the next state.
int RunScreen(int code);
// Runs the screen of state and those it leads to until one leads back to the menu (0) or out of
// the program (negative), which it returns. After each screen the sounds stop while sound is on,
// and a lost link or inactivity leads back to the menu.
int RunScreens(int state);
void ShutDown();

void ResetPlayerState(LocalPlayer& player);
// The sound driver for a [drivers] sound value.
int SoundDriverFor(const char* value);
