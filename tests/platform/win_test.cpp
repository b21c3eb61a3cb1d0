#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win/platform.h"
#include "tests/support/headless.h"

namespace {

struct Seen {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD tick;
};

std::vector<Seen> g_seen;

LRESULT RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_CREATE && message != WM_SETFOCUS && message != WM_KILLFOCUS)
        g_seen.push_back({message, wParam, lParam, GetTickCount()});
    return DefWindowProc(hwnd, message, wParam, lParam);
}

class WindowTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        g_seen.clear();
        hwnd = MakeWindow("Vorn", CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS);
    }

    HWND MakeWindow(const char* cls, UINT style) {
        WNDCLASS wc{};
        wc.style = style;
        wc.lpfnWndProc = RecordingProc;
        wc.lpszClassName = cls;
        RegisterClass(&wc);
        HWND w = CreateWindowEx(0, cls, "Quorrin", WS_POPUP | WS_SYSMENU, 0, 0, 800, 600, nullptr, nullptr,
                                nullptr, nullptr);
        ShowWindow(w, SW_SHOW);
        return w;
    }

    std::vector<UINT> Messages() const {
        std::vector<UINT> m;
        for (auto& s : g_seen)
            m.push_back(s.message);
        return m;
    }

    HWND hwnd = nullptr;
};

}  // namespace

TEST_F(WindowTest, TimersFireOnlyInsideThePumpAtClockTimes) {
    DWORD start = GetTickCount();
    SetTimer(hwnd, 10, 4000, nullptr);
    SetTimer(hwnd, 15, 1000, nullptr);

    platform::AdvanceVirtualClock(5000);
    EXPECT_TRUE(g_seen.empty()) << "nothing may run without a pump";

    // Overdue timers deliver one message each, however late, then restart from now.
    Pump();
    ASSERT_EQ(g_seen.size(), 2u);
    EXPECT_EQ(g_seen[0].wParam, 15u);  // the one due earlier first
    EXPECT_EQ(g_seen[1].wParam, 10u);
    g_seen.clear();

    AdvanceAndPump(999);
    EXPECT_TRUE(g_seen.empty());
    AdvanceAndPump(1);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].message, WM_TIMER);
    EXPECT_EQ(g_seen[0].wParam, 15u);
    EXPECT_EQ(g_seen[0].tick, start + 6000);

    KillTimer(hwnd, 15);
    g_seen.clear();
    AdvanceAndPump(10000);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].wParam, 10u);
}

TEST_F(WindowTest, SettingATimerAgainRestartsIt) {
    SetTimer(hwnd, 11, 3000, nullptr);
    platform::AdvanceVirtualClock(2000);
    SetTimer(hwnd, 11, 3000, nullptr);
    AdvanceAndPump(2000);
    EXPECT_TRUE(g_seen.empty());
    AdvanceAndPump(1000);
    EXPECT_EQ(g_seen.size(), 1u);
}

TEST_F(WindowTest, PostedMessagesKeepOrderAndComeBeforeTimers) {
    SetTimer(hwnd, 12, 100, nullptr);
    platform::AdvanceVirtualClock(200);
    PostMessage(hwnd, WM_USER + 2, 1, 0);
    PostMessage(hwnd, WM_USER + 1, 2, 0);
    PostMessage(hwnd, WM_USER + 2, 3, 0);
    Pump();
    ASSERT_EQ(g_seen.size(), 4u);
    EXPECT_EQ(g_seen[0].wParam, 1u);
    EXPECT_EQ(g_seen[1].wParam, 2u);
    EXPECT_EQ(g_seen[2].wParam, 3u);
    EXPECT_EQ(g_seen[3].message, WM_TIMER);
}

TEST_F(WindowTest, PeekWithoutRemovalLeavesTheMessage) {
    PostMessage(hwnd, WM_USER, 7, 0);
    MSG m;
    ASSERT_TRUE(PeekMessage(&m, nullptr, 0, 0, PM_NOREMOVE));
    ASSERT_TRUE(PeekMessage(&m, nullptr, 0, 0, PM_NOREMOVE));
    ASSERT_EQ(GetMessage(&m, nullptr, 0, 0), TRUE);
    EXPECT_EQ(m.wParam, 7u);
    EXPECT_FALSE(PeekMessage(&m, nullptr, 0, 0, PM_NOREMOVE));
}

TEST_F(WindowTest, GetMessageWaitsOnTheVirtualClockAndNeverHangs) {
    DWORD start = GetTickCount();
    SetTimer(hwnd, 11, 8000, nullptr);
    MSG m;
    ASSERT_EQ(GetMessage(&m, nullptr, 0, 0), TRUE);
    EXPECT_EQ(m.message, WM_TIMER);
    EXPECT_EQ(GetTickCount(), start + 8000);
    EXPECT_EQ(static_cast<DWORD>(GetMessageTime()), start + 8000);
    KillTimer(hwnd, 11);
    EXPECT_EQ(GetMessage(&m, nullptr, 0, 0), -1) << "nothing can ever arrive";

    PostQuitMessage(3);
    EXPECT_EQ(GetMessage(&m, nullptr, 0, 0), FALSE);
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 3u);
}

TEST_F(WindowTest, SleepAdvancesTheVirtualClock) {
    DWORD t0 = GetTickCount();
    Sleep(300);
    EXPECT_EQ(GetTickCount(), t0 + 300);
    int64_t count = 0, freq = 0;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&freq);
    EXPECT_EQ(count / (freq / 1000), static_cast<int64_t>(t0 + 300));
}

TEST_F(WindowTest, KeysCarrySet1CodesAndReleaseBit) {
    platform::InjectKey(57, true);   // space down
    platform::InjectKey(57, true);   // auto-repeat
    platform::InjectKey(57, false);  // up
    platform::InjectKey(72, true, true);
    Pump();
    ASSERT_EQ(g_seen.size(), 4u);
    EXPECT_EQ(g_seen[0].message, WM_KEYDOWN);
    EXPECT_EQ((g_seen[0].lParam >> 16) & 0xFFFF, 57);
    EXPECT_EQ(g_seen[1].message, WM_KEYDOWN);
    EXPECT_NE(g_seen[1].lParam & (1 << 30), 0) << "a repeat says the key was already down";
    EXPECT_EQ(g_seen[2].message, WM_KEYUP);
    EXPECT_EQ((g_seen[2].lParam >> 16) & 0x80FF, 57 | 0x8000);
    EXPECT_EQ((g_seen[3].lParam >> 16) & 0xFF, 72);
    EXPECT_NE((g_seen[3].lParam >> 16) & 0x100, 0) << "extended flag";
}

TEST_F(WindowTest, AsyncKeyStateFollowsInputThroughScanCodeMapping) {
    UINT vkUp = MapVirtualKeyA(72, MAPVK_VSC_TO_VK);
    EXPECT_EQ(vkUp, static_cast<UINT>(VK_UP));
    EXPECT_EQ(MapVirtualKeyA(1, MAPVK_VSC_TO_VK), static_cast<UINT>(VK_ESCAPE));
    EXPECT_EQ(MapVirtualKeyA(30, MAPVK_VSC_TO_VK), static_cast<UINT>('A'));
    EXPECT_EQ(MapVirtualKeyA(59, MAPVK_VSC_TO_VK), static_cast<UINT>(VK_F1));
    EXPECT_EQ(GetAsyncKeyState(VK_UP), 0);
    platform::InjectKey(72, true, true);
    EXPECT_NE(GetAsyncKeyState(static_cast<int>(vkUp)) & 0x8000, 0);
    // Both shift keys hold VK_SHIFT; releasing one leaves it down.
    platform::InjectKey(42, true);
    platform::InjectKey(54, true);
    platform::InjectKey(42, false);
    EXPECT_NE(GetAsyncKeyState(VK_SHIFT), 0);
    platform::InjectKey(54, false);
    EXPECT_EQ(GetAsyncKeyState(VK_SHIFT), 0);
}

TEST_F(WindowTest, AltTurnsKeysIntoSystemKeys) {
    platform::InjectKey(56, true);  // Alt
    platform::InjectKey(62, true);  // F4
    Pump();
    ASSERT_EQ(g_seen.size(), 2u);
    EXPECT_EQ(g_seen[0].message, WM_SYSKEYDOWN);
    EXPECT_EQ(g_seen[1].message, WM_SYSKEYDOWN);
    EXPECT_NE(g_seen[1].lParam & (1 << 29), 0);
}

TEST(SdlKeyTable, MapsToTheSet1CodesTheGameUses) {
    struct Case {
        SDL_Scancode sdl;
        int set1;
        bool extended;
    };
    const Case cases[] = {
        {SDL_SCANCODE_ESCAPE, 1, false},     {SDL_SCANCODE_BACKSPACE, 14, false}, {SDL_SCANCODE_RETURN, 28, false},
        {SDL_SCANCODE_LSHIFT, 42, false},    {SDL_SCANCODE_RSHIFT, 54, false},    {SDL_SCANCODE_SPACE, 57, false},
        {SDL_SCANCODE_F1, 59, false},        {SDL_SCANCODE_F5, 63, false},        {SDL_SCANCODE_F10, 68, false},
        {SDL_SCANCODE_UP, 72, true},         {SDL_SCANCODE_DOWN, 80, true},       {SDL_SCANCODE_LEFT, 75, true},
        {SDL_SCANCODE_RIGHT, 77, true},      {SDL_SCANCODE_KP_8, 72, false},      {SDL_SCANCODE_1, 2, false},
        {SDL_SCANCODE_0, 11, false},         {SDL_SCANCODE_Q, 16, false},         {SDL_SCANCODE_A, 30, false},
        {SDL_SCANCODE_Z, 44, false},         {SDL_SCANCODE_M, 50, false},         {SDL_SCANCODE_SLASH, 53, false},
        {SDL_SCANCODE_LCTRL, 29, false},     {SDL_SCANCODE_RCTRL, 29, true},      {SDL_SCANCODE_LALT, 56, false},
        {SDL_SCANCODE_TAB, 15, false},       {SDL_SCANCODE_GRAVE, 41, false},     {SDL_SCANCODE_F12, 88, false},
    };
    for (const Case& c : cases) {
        bool ext = !c.extended;
        EXPECT_EQ(platform::Set1FromSdlScancode(c.sdl, &ext), c.set1) << SDL_GetScancodeName(c.sdl);
        EXPECT_EQ(ext, c.extended) << SDL_GetScancodeName(c.sdl);
    }
    bool ext = true;
    EXPECT_EQ(platform::Set1FromSdlScancode(SDL_SCANCODE_AUDIOPLAY, &ext), 0);
    EXPECT_FALSE(ext);
}

TEST_F(WindowTest, DoubleClicksAreSynthesised) {
    using platform::MouseButton;
    platform::InjectMouseButton(MouseButton::Left, true, 100, 100);
    platform::InjectMouseButton(MouseButton::Left, false, 100, 100);
    platform::AdvanceVirtualClock(200);
    platform::InjectMouseButton(MouseButton::Left, true, 101, 99);  // within the box and the time
    platform::InjectMouseButton(MouseButton::Left, false, 101, 99);
    platform::AdvanceVirtualClock(100);
    platform::InjectMouseButton(MouseButton::Left, true, 101, 99);  // a third press starts anew
    platform::AdvanceVirtualClock(600);
    platform::InjectMouseButton(MouseButton::Left, true, 101, 99);  // too late
    platform::InjectMouseButton(MouseButton::Right, true, 300, 300);
    platform::AdvanceVirtualClock(10);
    platform::InjectMouseButton(MouseButton::Right, true, 310, 300);  // too far
    Pump();
    std::vector<UINT> expected = {WM_LBUTTONDOWN, WM_LBUTTONUP,    WM_LBUTTONDBLCLK, WM_LBUTTONUP,
                                  WM_LBUTTONDOWN, WM_LBUTTONDOWN,  WM_RBUTTONDOWN,   WM_RBUTTONDOWN};
    EXPECT_EQ(Messages(), expected);
    // Point in lParam, buttons in wParam.
    EXPECT_EQ(g_seen[6].lParam & 0xFFFF, 300);
    EXPECT_EQ((g_seen[6].lParam >> 16) & 0xFFFF, 300);
    EXPECT_NE(g_seen[6].wParam & MK_RBUTTON, 0u);
}

TEST_F(WindowTest, NoDoubleClicksWithoutTheClassStyle) {
    platform::ResetWindowing();
    platform::InitWindowing(platform::Backend::Headless);
    g_seen.clear();
    MakeWindow("Plain", 0);
    platform::InjectMouseButton(platform::MouseButton::Left, true, 10, 10);
    platform::InjectMouseButton(platform::MouseButton::Left, false, 10, 10);
    platform::InjectMouseButton(platform::MouseButton::Left, true, 10, 10);
    Pump();
    EXPECT_EQ(Messages(), (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN}));
}

TEST_F(WindowTest, CloseRequestGoesThroughDefaultProcessing) {
    platform::InjectCloseRequest();
    Pump();
    EXPECT_EQ(Messages(), (std::vector<UINT>{WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY}));
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(WindowTest, CursorClipAndDisplayCount) {
    RECT clip{3, 3, 799, 599};
    ClipCursor(&clip);
    SetCursorPos(0, 1000);
    POINT p;
    GetCursorPos(&p);
    EXPECT_EQ(p.x, 3);
    EXPECT_EQ(p.y, 598);
    ClipCursor(nullptr);
    SetCursorPos(320, 240);
    GetCursorPos(&p);
    EXPECT_EQ(p.x, 320);
    EXPECT_EQ(p.y, 240);

    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_EQ(ShowCursor(FALSE), -2);
    EXPECT_EQ(ShowCursor(TRUE), -1);
    EXPECT_EQ(ShowCursor(TRUE), 0);
}

TEST_F(WindowTest, MessageSourcesArePolledByThePump) {
    int polls = 0;
    int handle = platform::AddMessageSource([&] {
        if (++polls == 2)
            PostMessage(hwnd, WM_USER + 2, 42, 0);
    });
    Pump();
    Pump();
    platform::RemoveMessageSource(handle);
    Pump();
    EXPECT_EQ(polls, 2 + 1);  // the second pump polls again after dispatching
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].wParam, 42u);
}

TEST_F(WindowTest, ExitGoesThroughTheHandlerAndBoxesAreCaptured) {
    try {
        ExitProcess(7);
        FAIL() << "ExitProcess returned";
    } catch (const ProcessExit& e) {
        EXPECT_EQ(e.code, 7);
    }
    EXPECT_EQ(MessageBox(hwnd, "text", "Initialization Erro", MB_OK), IDOK);
    ASSERT_EQ(messageBoxes.size(), 1u);
    EXPECT_EQ(messageBoxes[0], "Initialization Erro|text");
    OutputDebugStringA("Render create failed: x");
    ASSERT_EQ(debugOutput.size(), 1u);
}

TEST_F(WindowTest, MouseTrailSetting) {
    int trails = -1;
    SystemParametersInfo(SPI_GETMOUSETRAILS, 0, &trails, 0);
    EXPECT_EQ(trails, 0);
    SystemParametersInfo(SPI_SETMOUSETRAILS, 3, nullptr, 0);
    SystemParametersInfo(SPI_GETMOUSETRAILS, 0, &trails, 0);
    EXPECT_EQ(trails, 3);
}
