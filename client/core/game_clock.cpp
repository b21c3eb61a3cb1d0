#include "client/core/game_clock.h"

#include "platform/win/win.h"

uint32_t GameClock = 0;
int32_t FrameDelta = 0;

uint32_t ReadGameClock() {
    GameClock = static_cast<uint32_t>(GetTickCount()) * 10u;
    return GameClock;
}
