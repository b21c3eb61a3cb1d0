#pragma once
// The game clock: the tick count times 10, so in units of 0.1 ms; it wraps with the tick count.
// Every loop reads it once a frame and the simulation's timers derive from that reading.

#include <cstdint>

extern uint32_t GameClock;
// The game clock's advance since the previous arena frame (0.1 ms); the arena loop sets it.
extern int32_t FrameDelta;

// Reads the tick count, stores it times 10 in GameClock and returns it.
uint32_t ReadGameClock();
