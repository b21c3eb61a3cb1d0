#pragma once
// The arena's controls: the key bindings' actions read as presses, held times and down states,
// and the once-a-frame PlayerControl of the arena with mouse look.

#include "client/arena/player_control.h"

struct LocalPlayer;

// Action n of the key bindings (0..39): keyboard codes 1..99 read their key; codes 100..102 the
// mouse inputs 4, 5 and 7 (0 in free-cursor mode); anything else 0.
int32_t ActionPressed(int n);
int32_t ActionHeldTime(int n);
int32_t ActionDown(int n);

// Fills the arena's control record (flags bit 2; without it only forward is cleared).
void ReadPlayerControls(int flags, PlayerControl* control, LocalPlayer* player);

// Splash screens bracket their waits with these: text entry on and the keys reset, then off.
void BeginScreenKeys();
void EndScreenKeys();
// 1 when the path can be accessed.
int FileExists(const char* path);
