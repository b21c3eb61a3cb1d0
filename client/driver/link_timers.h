#pragma once
// The main window's timers of the link statistics and lost-link test (10) and of inactivity (15),
// both set after a successful login.

#include <cstdint>

constexpr int kLinkTimer = 10;
constexpr int kInactivityTimer = 15;
constexpr int kLinkTimerMs = 4000;
constexpr int kInactivityTimerMs = 1000;
// Minutes without a key or button press before the inactivity state becomes 1 (2 five later).
constexpr int kInactivityMinutes = 15;
// The service's silence, in ms, after which the link counts as lost.
constexpr uint32_t kLostLinkMs = 20000;

extern int32_t g_inactivityCounter;  // seconds

void OnLinkTimer();
void OnInactivityTimer();
// Whether the link timer finds the service silent: only in the arena (1) and chat (2, 11) screens,
// after a first stream packet, with the clock difference taken unsigned so a wrap cannot hide it.
bool LinkSilent(int screenState, uint32_t lastStreamTime, uint32_t gameClock);
