// Keyboard and mouse input through the game's window procedure: key state, the typed line, held
// times, missed messages, mouse-look axes and click regions.

#include "client/screens/input.h"

#include <gtest/gtest.h>

#include <cstring>

#include "client/arena/player_control.h"
#include "client/core/screen_state.h"
#include "client/driver/message_pump.h"
#include "tests/client/screens/screen_fixture.h"

namespace {

class InputTest : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        StartScreen(false, false);
    }
    void Key(int scan, bool down) {
        platform::InjectKey(scan, down);
        Pump();
    }
    void Tap(int scan) {
        Key(scan, true);
        Key(scan, false);
    }
    std::string Line() const { return std::string(g_typedLine.text, g_typedLine.length); }
};

TEST_F(InputTest, KeysLeaveTheirStateForPolling) {
    AdvanceAndPump(5);
    const int32_t start = static_cast<int32_t>(GetTickCount() * 10);
    Key(30, true);
    EXPECT_EQ(g_keys.down[30], 1);
    EXPECT_EQ(g_keys.lastKey, 30);
    EXPECT_EQ(g_keys.downTime[30], start);
    EXPECT_EQ(g_activityFlag, 1);
    // An auto-repeat sets pressed again but does not restart the press.
    EXPECT_EQ(TakeKeyPress(30), 1);
    EXPECT_EQ(TakeKeyPress(30), 0);
    AdvanceAndPump(30);
    Key(30, true);
    EXPECT_EQ(TakeKeyPress(30), 1);
    EXPECT_EQ(g_keys.downTime[30], start);
    FrameClock = static_cast<uint32_t>(start + 500);
    EXPECT_EQ(KeyHeldTime(30), 500);
    EXPECT_EQ(KeyHeldTime(30), 0);
    AdvanceAndPump(100);
    Key(30, false);
    EXPECT_EQ(g_keys.released[30], 1);
    EXPECT_EQ(KeyHeldTime(30), 1300 - 500);  // (30 + 100) ms since the press, less what was taken
    EXPECT_EQ(ClearLastKey(), 30);
    EXPECT_EQ(ClearLastKey(), 0);
    // Out of range.
    EXPECT_EQ(KeyHeldTime(256), 0);
    EXPECT_EQ(KeyHeldTime(-1), 0);
    EXPECT_EQ(TakeKeyPress(999), 0);
    EXPECT_EQ(IsKeyDown(300, 0), 0);
    // A release counts no activity.
    g_activityFlag = 0;
    Key(30, false);
    EXPECT_EQ(g_activityFlag, 0);
}

TEST_F(InputTest, MissedReleasesAndPressesAreRepairedFromTheSystemState) {
    const UINT vk = MapVirtualKeyA(31, 1);
    Key(31, true);
    FrameClock = static_cast<uint32_t>(g_keys.downTime[31] + 200);
    EXPECT_EQ(IsKeyDown(31, static_cast<int>(vk)), 200);
    // The release never arrived as a message.
    g_keys.down[31] = 1;
    platform::InjectKey(31, false);  // changes the system state; the message is dropped
    MSG msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    FrameClock += 100;
    EXPECT_EQ(IsKeyDown(31, static_cast<int>(vk)), 100);
    EXPECT_EQ(g_keys.down[31], 0);
    // A press that arrived only in the system state.
    platform::InjectKey(31, true);
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    EXPECT_EQ(IsKeyDown(31, static_cast<int>(vk)), 0);
    EXPECT_EQ(g_keys.down[31], 1);
    EXPECT_EQ(g_keys.lastKey, 31);
    // Up with time held: half of it.
    g_keys.down[31] = 0;
    g_keys.held[31] = 90;
    EXPECT_EQ(IsKeyDown(31, static_cast<int>(vk)), 45);
}

TEST_F(InputTest, TheTypedLineTakesCharactersInInputMode) {
    SetKeyInputMode(1);
    Tap(35);  // h
    Tap(23);  // i
    Key(42, true);
    Tap(2);   // !
    Key(42, false);
    Tap(57);  // space
    EXPECT_EQ(Line(), "hi! ");
    EXPECT_EQ(g_typedLine.text[g_typedLine.length], '\0');
    Tap(14);
    EXPECT_EQ(Line(), "hi!");
    Key(42, true);
    Tap(14);
    Key(42, false);
    EXPECT_EQ(Line(), "");
    Tap(14);
    EXPECT_EQ(g_typedLine.length, 0);
    // A quote cannot start a line but may follow a character.
    Key(42, true);
    Tap(40);
    Key(42, false);
    EXPECT_EQ(Line(), "");
    Tap(30);
    Tap(40);
    EXPECT_EQ(Line(), "a'");
    // Keys without a character, and scan codes of 128 and above, type nothing.
    Tap(59);
    OnKeyEvent(0x00C5, 0);
    OnKeyEvent(0x80C5, 0);
    EXPECT_EQ(Line(), "a'");
    // The 99th character is not kept.
    for (int i = 0; i < 120; ++i)
        Tap(44);
    EXPECT_EQ(g_typedLine.length, 98);
    EXPECT_EQ(g_typedLine.text[98], '\0');
    Tap(28);
    EXPECT_EQ(g_typedLine.complete, 1);
    Tap(30);  // a complete line takes no more
    EXPECT_EQ(g_typedLine.length, 98);
    Tap(1);
    EXPECT_EQ(GetKeyInputMode(), 0);
    BeginTextEntry();
    EXPECT_EQ(EndTextEntry(), 1);
    EXPECT_EQ(EndTextEntry(), 0);
}

TEST_F(InputTest, MouseLookFeedsTheAxesAndTheFreeCursorTheRegions) {
    InitMouseInput();
    EXPECT_EQ(GetCursorMode(), 1);
    SetCursorMode(0);
    EXPECT_EQ(GetCursorMode(), 0);
    platform::InjectMouseMove(100, 240);
    Pump();
    EXPECT_EQ(g_mouseAxes.down[0], 1);
    EXPECT_EQ(g_mouseAxes.down[1], 0);
    platform::InjectMouseButton(platform::MouseButton::Right, true, 100, 240);
    Pump();
    EXPECT_EQ(g_mouseAxes.down[5], 1);
    EXPECT_NE(g_mouse.rightButton, 0);
    FrameClock = static_cast<uint32_t>(g_mouseAxes.downTime[5] + 70);
    EXPECT_EQ(ReadMouseAxis(5), 70);
    EXPECT_EQ(ReadMouseAxis(10), 0);
    ReadMouseAxis(0);
    POINT p{};
    GetCursorPos(&p);
    EXPECT_EQ(p.x, 320);
    EXPECT_EQ(p.y, 240);
    // Regions take no clicks in mouse-look.
    AddClickRegion(0, 0, 800, 600, 3, 0);
    platform::InjectMouseButton(platform::MouseButton::Left, true, 50, 50);
    Pump();
    EXPECT_EQ(TakeRegionClick(nullptr), -1);
    SetCursorMode(1);
    EXPECT_EQ(MouseYaw, -1);
    platform::InjectMouseButton(platform::MouseButton::Left, true, 50, 50);
    Pump();
    RegionEvent click;
    EXPECT_EQ(TakeRegionClick(&click), 3);
    EXPECT_EQ(click.x, 50);
    EXPECT_EQ(TakeRegionClick(nullptr), -1);
}

TEST_F(InputTest, OverlappingRegionsAndTheirGroups) {
    AddClickRegion(100, 100, 100, 100, 1, 1);
    AddClickRegion(150, 150, 100, 100, 2, 2);
    OnMouseMessage(0, 0, POINT{160, 160}, 0);
    RegionEvent e;
    EXPECT_EQ(TakeRegionClick(&e), 2);
    EXPECT_EQ(e.group, 2);
    SetCursorPos(160, 160);
    int group = -1;
    EXPECT_EQ(ClickRegionAtCursor(&group), 1);
    EXPECT_EQ(group, 1);
    OnMouseMessage(0, 0, POINT{160, 160}, 2);
    EXPECT_EQ(TakeRegionDoubleClick(&e), 2);
    EXPECT_EQ(e.kind, 2);
    ClearClickRegions(2);
    OnMouseMessage(0, 0, POINT{160, 160}, 0);
    EXPECT_EQ(TakeRegionClick(nullptr), 1);
    ClearClickRegions(0);
    SetCursorPos(160, 160);
    EXPECT_EQ(ClickRegionAtCursor(&group), 0);
    EXPECT_EQ(group, 0);
    for (int i = 0; i < kClickRegionCount; ++i)
        ASSERT_EQ(AddClickRegion(0, 0, 1, 1, i, 1), i);
    EXPECT_EQ(AddClickRegion(0, 0, 1, 1, 100, 1), -1);
}

TEST_F(InputTest, MenuKeysFillTheScreenColumnOfTheControls) {
    PlayerControl c{};
    c.forward = 9;
    ReadMenuKeys(0, &c);
    EXPECT_EQ(c.forward, 0);
    Tap(4);    // 3
    Tap(3);    // 2: scanned in order, so "3" (the later code) wins
    Tap(88);   // F12
    Tap(1);
    Tap(72);
    Tap(48);
    ReadMenuKeys(4, &c);
    EXPECT_EQ(c.digit_key, 3);
    EXPECT_EQ(c.function_key, 12);
    EXPECT_EQ(c.escape, 1);
    EXPECT_EQ(c.arrows[2], 1);
    EXPECT_EQ(c.key_b, 1);
    ReadMenuKeys(4, &c);
    EXPECT_EQ(c.digit_key, 0);
    EXPECT_EQ(c.escape, 0);
}

TEST_F(InputTest, TheWindowSwallowsSystemCommandsAndRestoresClipping) {
    EXPECT_EQ(MainWndProc(window, WM_SYSCOMMAND, SC_CLOSE, 0), 0);
    EXPECT_EQ(g_quitFlag, 0);
    MainWndProc(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_EQ(g_restoredFlag, 1);
    RECT clip{};
    GetClipCursor(&clip);
    EXPECT_EQ(clip.left, 1);
    EXPECT_EQ(clip.right, 799);
    EXPECT_EQ(MainWndProc(window, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(g_quitFlag, 1);
    EXPECT_THROW(PumpMessages(), ProcessExit);
    g_quitFlag = 0;
}

}  // namespace
