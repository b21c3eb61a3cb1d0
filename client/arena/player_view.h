#pragma once
// The local player's position and motion during one arena game: made zeroed when the game
// starts and freed when it ends, so g_playerView is null outside an arena.

#include <cstdint>

struct PlayerView {
    int32_t x;             // integer position, world units
    int32_t y;
    int32_t pos_x;         // the same in 16.16 fixed point
    int32_t pos_y;
    int32_t z;             // height of the eye
    int32_t unused;
    int32_t facing;        // 0..4095
    int32_t speed;         // forward, negative backwards
    int32_t strafe_speed;
    int32_t z_speed;
    int32_t turn_speed;
    int32_t target_speed;
    int32_t max_speed;
    int32_t max_turn_speed;
    int32_t acceleration;
    int32_t turn_acceleration;
    int32_t turn_deceleration;
};

extern PlayerView* g_playerView;

// The eye's walking bob in 16.16 (0 to 3 units) for a frame of t (0.1 ms): a step rises over
// phase 0..250 and falls back over another 250, at a rate that follows the forward speed. A step
// cut short by stopping or leaving the floor falls back from where it was.
int UpdateViewBob(int t);
// Which foot the last step started on (0 or 1); flipped at every new step.
extern int ViewBobStepSide;
// Back to standing still (a new arena).
void ResetViewBob();
