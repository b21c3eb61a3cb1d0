#pragma once
// The local player's record, allocated once at start-up and kept for the run. The fields are
// those the level, the objects and the triggers use; the movement and spell code add theirs.

#include <cstdint>

constexpr int kPlayerEffects = 40;

// One of the player's effect slots, indexed by effect number.
struct PlayerEffect {
    int32_t active;
    int32_t time_left;  // ms; 0 lasts until removed
    int32_t period;     // ms; 0 none
    int32_t level;
    int32_t element;
    char name[20];
    int32_t imagenum;   // the HUD icon
    int32_t zero_a;
    int32_t image_timer;
    int32_t zero_b, zero_c;
    int32_t overlay_imagenum, overlay_duration, overlay_dur_type, overlay_position, overlay_facing;
    int32_t overlay_color;
    int32_t spell_number;
    int32_t source_id;  // the player who caused it, 0 none
};

struct LocalPlayer {
    int32_t mode;              // 0 walking, 1 crawling, 2 in the air, 3 flying, 4 levitating, 7 ladder
    int32_t eye_height;        // of the current pose
    int32_t normal_eye_height;
    int32_t crawl_eye_height;
    int32_t pitch;
    int32_t dead;
    int32_t own_object;        // slot of the player's own figure, 0 none
    int32_t figure_imagenum;   // the character's figure choice
    int32_t body_variant;
    int32_t head_variant;
    int32_t cast_delay;        // ms until the next cast or use
    int32_t bob_height;        // 38 standing, 19 crawling, 0 dead
    int32_t min_pitch, max_pitch;  // the pitch's limits in degrees (pitch is in tenths)
    int32_t turning, moving;
    int32_t strafe_bits;       // 17 left, 34 right: for the state message
    int32_t ladder_thin;       // the ladder climbed in mode 7
    uint32_t last_jump;        // game clock of the last jump
    int32_t prepared_slot;     // 0 whenever a readied slot is made current
    int32_t gauge;             // the HUD gauge in gauge mode 1, 0..7500
    int32_t carried_flag;
    int32_t deaths, kills, raises;
    int32_t biases;            // bias points won at earthnodes and nexuses
    PlayerEffect effects[kPlayerEffects];
};

extern LocalPlayer* g_localPlayer;

// 2 while the client is connected to the service, 1 offline.
extern int g_linkState;
// 2 when the match is played on the service, as the link state was when the connection ended.
extern int g_playMode;
// Set by the end-game trigger; the arena loop ends the match.
extern int g_matchEndFlag;
// Operator settings of main.dat: bit 0 highlight, bit 1 invisible (monsters do not see the player).
constexpr int kOperatorInvisible = 2;
extern int g_operatorFlags;
