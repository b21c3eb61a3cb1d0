#pragma once
// The local player's movement: the PlayerView walks, runs, crawls, strafes, turns, looks, jumps,
// falls, climbs ladders and flies, in pieces of at most 8 units, against the grid, the thins and
// the objects. All rates are per second; the frame time (FrameDelta) is in 0.1 ms.

#include <cstdint>

#include "client/arena/line_tests.h"
#include "client/arena/player_status.h"

struct LocalPlayer;
struct PlayerControl;

constexpr int kStepHeight = 38;
constexpr int kGravity = 300;
constexpr int kMaxTurnSpeed = 1750;
constexpr int kTurnAcceleration = 10000;
constexpr int kTurnDeceleration = 10000;

enum MoveBlock {
    MOVE_FREE = 0,
    MOVE_WALL = 1,     // a solid cell or a floor above the step height
    MOVE_CEILING = 4,  // too low to pass
    MOVE_OBJECT = 100, // + the object's slot
};

// Flying for everyone (not online); read by the movement.
extern int DebugToggle;
// A trigger the movement touched this frame (0 none); the input toggles it.
extern int PendingDoorTrigger;

void SetMovementParameters(LocalPlayer& player, const PlayerControl& control);
int AccelerateForward(LocalPlayer& player, const PlayerControl& control);
int AccelerateSideways(LocalPlayer& player, const PlayerControl& control);
// Walk the frame's forward (or sideways) distance. 1 when a thin was touched.
int CollideWithThins(LocalPlayer& player);
int MoveSideways(LocalPlayer& player);
int UpdateFlying(LocalPlayer& player, const PlayerControl& control);
int UpdateTurnSpeed(LocalPlayer& player, const PlayerControl& control);
int ApplyTurn(LocalPlayer& player, const PlayerControl& control);
void UpdateLookPitch(LocalPlayer& player, const PlayerControl& control);

// What stops a move to newX (direction its sign against the old x), as MoveBlock.
int TestMoveX(LocalPlayer& player, int newX, int direction);
int TestMoveY(LocalPlayer& player, int newY, int direction);
// Non-zero when the player cannot stand at (x, y).
int TestStandCell(LocalPlayer& player, int x, int y);
// keep 1 stores the position; 0 puts the player back there when the move since crossed a
// closed thin (1), else stores the new one (0).
int ResetPlayerPosition(int keep);

// Steps 1 to 6 of a frame's movement in their order, with the bias pose and a pending cast
// ended by every step that moves.
void RunPlayerMovement(LocalPlayer& player, const PlayerControl& control);
