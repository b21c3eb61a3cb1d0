#include "client/core/screen_state.h"

int32_t g_screenState = 0;
uint32_t FrameClock = 0;
int32_t g_lostLink = 0;
int32_t g_inactivityState = 0;
uint64_t g_frameRenderCycles = 0;
int32_t g_nextScreenRequest = 0;

void RequestNextScreen(int state) { g_nextScreenRequest = state; }
