#pragma once
// One frame's decoded controls: 73 values written afresh each frame. The arena fills it from the
// key bindings; every other screen fills the screen-key values from fixed keys (ReadMenuKeys).

#include <cstdint>

struct PlayerControl {
    int32_t forward, backward, turn_left, turn_right, jump, fast;
    int32_t unused6, unused7;
    int32_t slide_right, slide_left, crawl, cast, digit_key, use;
    int32_t look_up, look_down, look_centre;
    int32_t key_b, key_quote, key_slash;
    int32_t unused20;
    int32_t mouse_toggle, key_s_held, key_t_held;
    int32_t unused24;
    int32_t yaw, pitch;
    int32_t unused27[4];
    int32_t function_key, key_tab;
    int32_t unused33;
    int32_t arrows[7];  // left, right, up, down, enter, then two zeros
    int32_t unused41[3];
    int32_t flag;
    int32_t unused45;
    int32_t key_equals, key_minus;
    int32_t unused48[4];
    int32_t page_up, page_down, escape, home, end;
    int32_t action_82, action_83;
    // Set by a screen's exit click; the screen loop leaves when it sees it.
    int32_t leave;
    int32_t unused60[13];
};
static_assert(sizeof(PlayerControl) == 73 * 4, "73 values");

// The mouse-look heading and pitch kept between frames (-1 none).
extern int32_t MouseYaw;
extern int32_t MousePitch;

// Only with flags bit 2 (4) set; otherwise only forward is cleared.
void ReadMenuKeys(int flags, PlayerControl* control);
