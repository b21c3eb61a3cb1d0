#include <gtest/gtest.h>

#include "client/arena/player_controls.h"

#include "client/arena/player_status.h"
#include "client/core/game_clock.h"
#include "client/core/screen_state.h"
#include "client/screens/input.h"
#include "client/screens/key_bindings.h"
#include "tests/client/arena/arena_fixture.h"

namespace {

class PlayerControls : public ArenaFixture {
protected:
    PlayerControls() {
        ResetInputState();
        for (KeyBinding& b : KeyBindingTable)
            b = KeyBinding{};
        g_mouse.cursorMode = 0;
        g_mouse.lookMode = 1;
        g_mouse.turnScale = 0;
        FrameClock = 50000;
        SetCursorPos(320, 240);
        ClearActionState();
    }
    ~PlayerControls() override { ResetInputState(); }
    void Bind(int action, int code) { KeyBindingTable[action].code = code; }
    void Press(int code) { g_keys.pressed[code] = 1; }
    void Hold(int code, int32_t held) { g_keys.held[code] = held; }
    PlayerControl Read() {
        PlayerControl c{};
        ReadPlayerControls(4, &c, &player);
        return c;
    }
};

TEST_F(PlayerControls, ActionsReadTheirBoundKeysOnly) {
    Bind(10, 30);
    Bind(11, 0);
    Bind(12, 150);
    Bind(4, 57);
    Press(30);
    Hold(57, 700);
    EXPECT_EQ(ActionPressed(10), 1);
    EXPECT_EQ(ActionPressed(10), 0) << "a press is taken once";
    EXPECT_EQ(ActionHeldTime(4), 700);
    for (int unbound : {11, 12, 40, -1, 82})
        EXPECT_EQ(ActionPressed(unbound) + ActionHeldTime(unbound) + ActionDown(unbound), 0) << unbound;

    // The mouse buttons are mouse inputs 4, 5 and 7, none in free-cursor mode.
    Bind(19, kCodeLeftButton);
    Bind(20, kCodeMiddleButton);
    g_mouseAxes.held[4] = 30;
    g_mouseAxes.held[7] = 70;
    // Not down: half of what was gathered.
    EXPECT_EQ(ActionHeldTime(19), 15);
    EXPECT_EQ(ActionDown(20), 35);
    g_mouseAxes.held[4] = 30;
    g_mouse.cursorMode = 1;
    EXPECT_EQ(ActionPressed(19), 0);
}

TEST_F(PlayerControls, TheArenaRecordTakesItsKeysInOrder) {
    Bind(10, 29);
    Bind(19, 30);
    Bind(11, 18);
    Bind(7, 42);
    Press(88);  // F12
    Press(59);  // F1
    Press(3);
    Press(5);   // digits 2 and 4: the last wins
    Press(30);
    Press(18);
    Press(13);
    Hold(42, 900);
    Hold(20, 1200);
    PlayerControl c = Read();
    EXPECT_EQ(c.key_b, 1);
    EXPECT_EQ(c.function_key, 1) << "F12 went to key_b only";
    EXPECT_EQ(c.digit_key, 4);
    EXPECT_EQ(c.cast, 1);
    EXPECT_EQ(c.use, 1);
    EXPECT_EQ(c.fast, 900);
    EXPECT_EQ(c.key_t_held, 1200);
    EXPECT_EQ(c.key_equals, 1);

    // Without bit 2 only forward is cleared.
    c.forward = 77;
    c.cast = 5;
    ReadPlayerControls(0, &c, &player);
    EXPECT_EQ(c.forward, 0);
    EXPECT_EQ(c.cast, 5);
}

TEST_F(PlayerControls, EachMovementActionDrivesItsField) {
    struct Case {
        int action;
        int32_t PlayerControl::*field;
    } cases[] = {
        {0, &PlayerControl::forward},     {20, &PlayerControl::forward},   {1, &PlayerControl::backward},
        {33, &PlayerControl::backward},   {2, &PlayerControl::turn_left},  {3, &PlayerControl::turn_right},
        {8, &PlayerControl::slide_left},  {9, &PlayerControl::slide_right},
    };
    for (const Case& c : cases) {
        ResetInputState();
        for (KeyBinding& b : KeyBindingTable)
            b = KeyBinding{};
        g_mouse.lookMode = 1;
        SetCursorPos(320, 240);
        Bind(c.action, 30);
        g_keys.down[30] = 1;
        g_keys.downTime[30] = static_cast<int32_t>(FrameClock) - 100;
        PlayerControl r = Read();
        EXPECT_NE(r.*c.field, 0) << "action " << c.action;
        EXPECT_EQ(r.forward + r.backward + r.turn_left + r.turn_right + r.slide_left + r.slide_right, r.*c.field)
            << "action " << c.action << " drives nothing else";
    }
}

TEST_F(PlayerControls, FixedKeysLandInTheirFields) {
    struct Case {
        int scan;
        int32_t PlayerControl::*field;
        int32_t value;
    } cases[] = {
        {40, &PlayerControl::key_quote, 1},  {53, &PlayerControl::key_slash, 1},
        {15, &PlayerControl::key_tab, 1},    {13, &PlayerControl::key_equals, 1},
        {12, &PlayerControl::key_minus, 1},  {73, &PlayerControl::page_up, 1},
        {81, &PlayerControl::page_down, 1},  {1, &PlayerControl::escape, 1},
        {71, &PlayerControl::home, 1},       {79, &PlayerControl::end, 1},
        {88, &PlayerControl::key_b, 1},      {59, &PlayerControl::function_key, 1},
        {68, &PlayerControl::function_key, 10}, {87, &PlayerControl::function_key, 11},
        {2, &PlayerControl::digit_key, 1},   {11, &PlayerControl::digit_key, 10},
        {48, &PlayerControl::key_b, 0},      // B is the menus' key, not the arena's
        {69, &PlayerControl::function_key, 0},
        {12, &PlayerControl::digit_key, 0},
    };
    for (const Case& c : cases) {
        ResetInputState();
        SetCursorPos(320, 240);
        Press(c.scan);
        PlayerControl r = Read();
        EXPECT_EQ(r.*c.field, c.value) << "scan code " << c.scan;
    }
}

TEST_F(PlayerControls, MouseLookTurnsAndPitches) {
    struct Case {
        int facing, cursorX, scale, yaw;
    } cases[] = {
        {4090, 330, 0, 4}, {5, 310, 0, 4091}, {1000, 350, 1, 1020}, {1000, 290, 2, 985}, {1000, 320, 0, 1000},
    };
    for (const Case& c : cases) {
        view.facing = c.facing;
        g_mouse.turnScale = c.scale;
        SetCursorPos(c.cursorX, 240);
        PlayerControl r = Read();
        EXPECT_EQ(r.yaw, c.yaw) << c.facing << " " << c.cursorX << " " << c.scale;
        EXPECT_EQ(MouseYaw, c.yaw);
        POINT p{};
        GetCursorPos(&p);
        EXPECT_EQ(p.x, 320) << "the cursor is put back";
    }

    struct Pitch {
        int playerPitch, cursorY, mode, scale, pitch;
    } pitches[] = {
        {0, 260, 1, 0, 910}, {0, 260, 2, 0, 890}, {0, 270, 1, 1, 910}, {0, 280, 1, 2, 910},
        {700, 600, 1, 0, 1700}, {-800, 0, 1, 0, 100},
    };
    for (const Pitch& p : pitches) {
        player.pitch = p.playerPitch;
        g_mouse.lookMode = p.mode;
        g_mouse.turnScale = p.scale;
        SetCursorPos(320, p.cursorY);
        EXPECT_EQ(Read().pitch, p.pitch) << p.playerPitch << " " << p.cursorY << " " << p.mode;
    }

    // Keys turning stop the mouse's heading for the frame.
    Bind(2, 75);
    Hold(75, 300);
    SetCursorPos(400, 240);
    PlayerControl r = Read();
    EXPECT_EQ(r.yaw, -1);
    EXPECT_EQ(MouseYaw, -1);
    EXPECT_NE(r.turn_left, 0);

    // Without mouse pitch the cursor's height walks.
    g_mouse.lookMode = 0;
    FrameDelta = 250;
    SetCursorPos(320, 100);
    r = Read();
    EXPECT_EQ(r.pitch, -1);
    EXPECT_EQ(r.forward, 250);
    SetCursorPos(320, 300);
    EXPECT_EQ(Read().backward, 250);
    FrameDelta = 0;

    // Free cursor: no mouse look at all.
    g_mouse.cursorMode = 1;
    r = Read();
    EXPECT_EQ(r.yaw, -1);
    EXPECT_EQ(r.pitch, -1);
}

TEST_F(PlayerControls, StrafeKeyTurnsTurningIntoSliding) {
    Bind(39, 56);
    Bind(3, 77);
    g_keys.down[56] = 1;
    g_keys.downTime[56] = 40000;
    Hold(77, 500);
    g_keys.down[77] = 1;
    g_keys.downTime[77] = static_cast<int32_t>(FrameClock);
    PlayerControl c = Read();
    EXPECT_EQ(c.turn_right, 0);
    EXPECT_EQ(c.slide_right, 500);
    EXPECT_EQ(c.yaw, 0) << "no mouse look while strafing";
}

}  // namespace
