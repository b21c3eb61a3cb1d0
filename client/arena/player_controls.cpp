#include "client/arena/player_controls.h"

#include <filesystem>
#include <system_error>

#include "client/arena/local_player.h"
#include "client/arena/player_status.h"
#include "client/arena/player_view.h"
#include "client/core/game_clock.h"
#include "client/screens/input.h"
#include "client/screens/key_bindings.h"
#include "platform/win/win.h"

namespace {

enum class Read { Pressed, Held, Down };

int32_t ReadAction(int n, Read how) {
    if (n < 0 || n >= kBindingCount)
        return 0;
    const int code = KeyBindingTable[n].code;
    if (code >= 1 && code <= 99) {
        switch (how) {
        case Read::Pressed:
            return TakeKeyPress(code);
        case Read::Held:
            return KeyHeldTime(code);
        case Read::Down:
            return IsKeyDown(code, static_cast<int>(MapVirtualKeyA(static_cast<UINT>(code), 1)));
        }
    }
    if (code >= kCodeLeftButton && code <= kCodeMiddleButton) {
        static const int kAxes[] = {4, 5, 7};
        if (GetCursorMode() == 1)
            return 0;
        return ReadMouseAxis(kAxes[code - kCodeLeftButton]);
    }
    return 0;
}

// 1 + the index of the last key of the list whose press is taken, else 0.
int32_t LastPressed(const int* scanCodes, int count) {
    int32_t result = 0;
    for (int i = 0; i < count; ++i)
        if (TakeKeyPress(scanCodes[i]))
            result = i + 1;
    return result;
}

int32_t Larger(int32_t a, int32_t b) {
    return a > b ? a : b;
}

int Wrap(int heading) {
    if (heading > 4095)
        return heading - 4096;
    if (heading < 0)
        return heading + 4096;
    return heading;
}

// dx or dy scaled by the turn scale: whole, two thirds, a half.
int Scaled(int d, int scale, const int (&divisors)[3], bool twoThirds) {
    if (scale == 1 && twoThirds)
        return 2 * d / 3;
    return d / divisors[scale < 0 || scale > 2 ? 0 : scale];
}

void MouseLook(PlayerControl& c, const LocalPlayer* player) {
    const int scale = g_mouse.turnScale;
    if (GetCursorMode() == 1 || scale == 3) {
        c.yaw = c.pitch = -1;
        return;
    }
    POINT cursor{};
    GetCursorPos(&cursor);
    if (c.turn_left || c.turn_right) {
        c.yaw = -1;
        MouseYaw = -1;
    } else {
        const int facing = g_actionState.bias_timer > 0 ? BiasFacing : g_playerView ? g_playerView->facing : 0;
        MouseYaw = Wrap(facing + Scaled(cursor.x - 320, scale, {1, 1, 2}, true));
        c.yaw = MouseYaw;
    }
    if (g_mouse.lookMode) {
        const int dy = Scaled(cursor.y - 240, scale, {2, 3, 4}, false);
        int pitch = (player ? player->pitch : 0) + 900 + (g_mouse.lookMode == 2 ? -dy : dy);
        pitch = pitch < 100 ? 100 : pitch > 1700 ? 1700 : pitch;
        MousePitch = pitch;
        c.pitch = pitch;
    } else {
        MousePitch = -1;
        c.pitch = -1;
        if (!c.forward && !c.backward) {
            if (cursor.y < 200)
                c.forward = FrameDelta;
            else if (cursor.y > 280)
                c.backward = FrameDelta;
        }
    }
    SetCursorPos(320, 240);
}

}  // namespace

int32_t ActionPressed(int n) {
    return ReadAction(n, Read::Pressed);
}

int32_t ActionHeldTime(int n) {
    return ReadAction(n, Read::Held);
}

int32_t ActionDown(int n) {
    return ReadAction(n, Read::Down);
}

void ReadPlayerControls(int flags, PlayerControl* control, LocalPlayer* player) {
    if (!(flags & 4)) {
        control->forward = 0;
        return;
    }
    PlayerControl& c = *control;
    c.unused6 = c.unused7 = c.unused20 = c.key_s_held = c.unused24 = c.unused33 = c.unused45 = 0;
    for (int32_t& v : c.unused27)
        v = 0;
    for (int32_t& v : c.unused41)
        v = 0;
    for (int32_t& v : c.unused48)
        v = 0;
    // F12 is taken here first, so it never reaches the function keys.
    c.key_b = TakeKeyPress(88);
    c.key_quote = TakeKeyPress(40);
    c.key_slash = TakeKeyPress(53);
    c.key_t_held = KeyHeldTime(20);
    c.key_tab = TakeKeyPress(15);
    c.key_equals = TakeKeyPress(13);
    c.key_minus = TakeKeyPress(12);
    c.page_up = TakeKeyPress(73);
    c.page_down = TakeKeyPress(81);
    c.escape = TakeKeyPress(1);
    c.home = TakeKeyPress(71);
    c.end = TakeKeyPress(79);
    c.action_82 = ActionPressed(82);
    c.action_83 = ActionPressed(83);

    c.flag = ActionPressed(21);
    c.use = ActionPressed(11);
    c.jump = ActionHeldTime(4);
    c.crawl = ActionHeldTime(5);
    c.look_up = ActionHeldTime(12);
    c.look_down = ActionHeldTime(13);
    c.look_centre = ActionHeldTime(14);
    c.mouse_toggle = ActionPressed(18);
    ActionHeldTime(6);  // read to reset its held time
    const int32_t strafe = ActionHeldTime(39);
    c.fast = ActionHeldTime(7);
    KeyHeldTime(56);

    c.forward = Larger(ActionDown(0), ActionDown(20));
    c.backward = Larger(ActionDown(1), ActionDown(33));
    const int32_t left = ActionDown(2), right = ActionDown(3);
    c.slide_left = ActionDown(8);
    c.slide_right = ActionDown(9);
    if (strafe) {
        const bool freeCursor = GetCursorMode() == 1;
        c.turn_left = c.turn_right = 0;
        c.slide_right = Larger(right, freeCursor ? 0 : ReadMouseAxis(1));
        c.slide_left = Larger(left, freeCursor ? 0 : ReadMouseAxis(0));
    } else {
        c.turn_left = left;
        c.turn_right = right;
        MouseLook(c, player);
    }

    c.cast = ActionPressed(10) || ActionPressed(19) ? 1 : 0;
    const int functionKeys[] = {59, 60, 61, 62, 63, 64, 65, 66, 67, 68, 87, 88};
    c.function_key = LastPressed(functionKeys, 12);
    const int digits[] = {2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    c.digit_key = LastPressed(digits, 10);
}

void BeginScreenKeys() {
    BeginTextEntry();
    ResetKeyStates();
}

void EndScreenKeys() {
    EndTextEntry();
}

int FileExists(const char* path) {
    std::error_code error;
    return path && std::filesystem::exists(path, error) ? 1 : 0;
}
