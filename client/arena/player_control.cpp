#include "client/arena/player_control.h"

#include "client/screens/input.h"

int32_t MouseYaw = -1;
int32_t MousePitch = -1;

namespace {

// 1 + the index of the last key of the list whose press is taken, else 0.
int32_t LastPressed(const int* scanCodes, int count) {
    int32_t result = 0;
    for (int i = 0; i < count; ++i)
        if (TakeKeyPress(scanCodes[i]))
            result = i + 1;
    return result;
}

}  // namespace

void ReadMenuKeys(int flags, PlayerControl* control) {
    if (!(flags & 4)) {
        control->forward = 0;
        return;
    }
    PlayerControl& c = *control;
    c.key_b = TakeKeyPress(48);
    c.key_quote = TakeKeyPress(40);
    c.key_slash = TakeKeyPress(53);
    c.mouse_toggle = TakeKeyPress(50);
    c.key_s_held = KeyHeldTime(31);
    c.key_t_held = KeyHeldTime(20);
    c.unused27[2] = 0;
    const int functionKeys[] = {59, 60, 61, 62, 63, 64, 65, 66, 67, 68, 87, 88};
    c.function_key = LastPressed(functionKeys, 12);
    c.key_tab = TakeKeyPress(15);
    const int arrows[] = {75, 77, 72, 80, 28};
    for (int i = 0; i < 5; ++i)
        c.arrows[i] = TakeKeyPress(arrows[i]);
    c.arrows[5] = c.arrows[6] = 0;
    c.page_up = TakeKeyPress(73);
    c.page_down = TakeKeyPress(81);
    c.escape = TakeKeyPress(1);
    c.home = TakeKeyPress(71);
    c.end = TakeKeyPress(79);
    const int digits[] = {2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    c.digit_key = LastPressed(digits, 10);
}
