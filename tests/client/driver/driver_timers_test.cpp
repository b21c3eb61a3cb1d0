// The link and inactivity timers and the window procedure's rows the driver owns.

#include <gtest/gtest.h>

#include <vector>

#include "client/arena/local_player.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/screen_state.h"
#include "client/core/sound.h"
#include "client/driver/link_timers.h"
#include "client/driver/message_pump.h"
#include "client/net/net_rings.h"
#include "tests/support/headless.h"
#include "tests/support/recording_present.h"
#include "tests/support/sent_frames.h"

namespace {

class DriverTimers : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        ResetGameValues();
        g_activityFlag = 0;
        g_inactivityState = 0;
        g_inactivityCounter = 0;
        g_lostLink = 0;
        g_linkState = 1;
        LinkStats = LinkStatistics{};
        LinkPeriodCounters = LinkPeriod{};
    }
    void TearDown() override {
        g_lostLink = 0;
        g_inactivityState = 0;
        HeadlessTest::TearDown();
    }
    RecordingPresent present;
};

TEST_F(DriverTimers, LostLinkTest) {
    const uint32_t now = 500000000u;
    struct Case {
        const char* name;
        int state;
        uint32_t last, clock;
        bool silent;
    } cases[] = {
        {"arena, 20000 ms", 1, now, now + 200000, true},
        {"chat, 20000 ms", 2, now, now + 200000, true},
        {"fireteam waiting, 20000 ms", 11, now, now + 200000, true},
        {"19999 ms", 1, now, now + 199999, false},
        {"no packet yet", 1, 0, now, false},
        {"menu", -1, now, now + 900000, false},
        {"state 0", 0, now, now + 900000, false},
        {"connect screen", 3, now, now + 900000, false},
        {"clock wrapped", 2, 0xFFFFFF00u, 200000u, true},
        {"clock wrapped, recent", 2, 0xFFFFFF00u, 100u, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LinkSilent(c.state, c.last, c.clock), c.silent) << c.name;
}

TEST_F(DriverTimers, LinkTimerTakesTheFiguresAndSetsTheFlag) {
    g_screenState = 1;
    LinkPeriodCounters = LinkPeriod{4000, 800, 0, 0};
    LinkStats.lastStreamTime = ReadGameClock() - 200000;
    OnLinkTimer();
    EXPECT_EQ(g_lostLink, 1);
    EXPECT_EQ(LastLinkFigures.streamBytesPerSecond, 1000);
    EXPECT_EQ(LastLinkFigures.datagramBytesPerSecond, 200);
    EXPECT_EQ(LastLinkFigures.lossPercent, 0);  // no datagrams: 0 %, not a division by 0
    EXPECT_EQ(LinkPeriodCounters.streamBytes, 0u);
    EXPECT_EQ(present.Count("SetPanelRedrawFlag"), 1u);

    g_lostLink = 0;
    LinkStats.lastStreamTime = ReadGameClock() - 199990;
    OnLinkTimer();
    EXPECT_EQ(g_lostLink, 0);
    g_screenState = -1;
}

// Runs timer 15 for seconds ticks; the activity flag is set before the ticks listed.
void Tick(int seconds) {
    for (int i = 0; i < seconds; ++i)
        OnInactivityTimer();
}

TEST_F(DriverTimers, InactivityReachesOneAtFifteenAndTwoAtTwentyMinutes) {
    Tick(15 * 60 - 1);
    EXPECT_EQ(g_inactivityState, 0);
    Tick(1);
    EXPECT_EQ(g_inactivityState, 1);
    Tick(5 * 60 - 1);
    EXPECT_EQ(g_inactivityState, 1);
    Tick(1);
    EXPECT_EQ(g_inactivityState, 2);
    Tick(1);
    EXPECT_EQ(g_inactivityState, 2);
}

TEST_F(DriverTimers, ActivityClearsTheCounterAndTheTimeOut) {
    Tick(15 * 60 - 1);
    g_activityFlag = 1;
    Tick(1);
    EXPECT_EQ(g_inactivityCounter, 0);
    EXPECT_EQ(g_activityFlag, 0);
    Tick(15 * 60);
    EXPECT_EQ(g_inactivityState, 1);
    g_activityFlag = 1;
    Tick(1);
    EXPECT_EQ(g_inactivityState, 0);
    EXPECT_EQ(g_inactivityCounter, 0);
}

TEST_F(DriverTimers, OperatorsAreNeverTimedOut) {
    SetGameValue(3, 3);
    Tick(25 * 60);
    EXPECT_EQ(g_inactivityState, 0);
}

// Every period pings the service while linked; offline nothing is sent.
TEST_F(DriverTimers, TheLinkTimerPingsOnlyWhileLinked) {
    {
        OnlineSends online;
        OnLinkTimer();
        EXPECT_EQ(SentCodes(), std::vector<int>{SEND_PING});
    }
    ResetSendRing();
    OnLinkTimer();
    EXPECT_TRUE(SentFrames().empty());
}

// Timer 15 ends itself at the twentieth idle minute, and at once from a state it does not know;
// in the timed-out state an operator's level counts as activity.
TEST_F(DriverTimers, TheInactivityTimerEndsItselfAndOperatorsComeBack) {
    HWND window = platform::MainWindow();
    SetTimer(window, kInactivityTimer, 1000, nullptr);
    Tick(20 * 60 - 1);
    ASSERT_EQ(g_inactivityState, 1);
    EXPECT_TRUE(KillTimer(window, kInactivityTimer)) << "still running in the twentieth minute";
    SetTimer(window, kInactivityTimer, 1000, nullptr);
    Tick(1);
    EXPECT_EQ(g_inactivityState, 2);
    EXPECT_FALSE(KillTimer(window, kInactivityTimer)) << "it ended itself";

    g_inactivityState = 7;
    g_activityFlag = 1;
    SetTimer(window, kInactivityTimer, 1000, nullptr);
    Tick(1);
    EXPECT_EQ(g_inactivityState, 2);
    EXPECT_EQ(g_activityFlag, 0);
    EXPECT_FALSE(KillTimer(window, kInactivityTimer));

    g_inactivityState = 1;
    g_inactivityCounter = 1000;
    SetGameValue(3, 5);
    Tick(1);
    EXPECT_EQ(g_inactivityState, 0);
    EXPECT_EQ(g_inactivityCounter, 0);
}

TEST_F(DriverTimers, OnTimerRunsTimersTenAndFifteen) {
    g_inactivityCounter = 5;
    OnTimer(kInactivityTimer);
    EXPECT_EQ(g_inactivityCounter, 6);
    g_screenState = 2;
    LinkStats.lastStreamTime = ReadGameClock() - 300000;
    OnTimer(kLinkTimer);
    EXPECT_EQ(g_lostLink, 1);
    g_screenState = -1;
}

TEST_F(DriverTimers, ActivityComesOnlyFromPresses) {
    struct Row {
        UINT message;
        WPARAM wParam;
        bool activity;
    } rows[] = {
        {WM_KEYDOWN, 0x41, true},      {WM_KEYUP, 0x41, false},       {WM_SYSKEYDOWN, VK_MENU, false},
        {WM_LBUTTONDOWN, 0, true},     {WM_LBUTTONUP, 0, false},      {WM_LBUTTONDBLCLK, 0, false},
        {WM_RBUTTONDOWN, 0, true},     {WM_RBUTTONUP, 0, false},      {WM_MBUTTONDOWN, 0, true},
        {WM_MBUTTONUP, 0, false},      {WM_MOUSEMOVE, 0, false},
    };
    for (const Row& r : rows) {
        g_activityFlag = 0;
        MainWndProc(nullptr, r.message, r.wParam, (0x1E << 16) | 1);
        EXPECT_EQ(g_activityFlag != 0, r.activity) << std::hex << r.message;
    }
}

TEST_F(DriverTimers, SystemCommandsOnlyRestorePasses) {
    g_quitFlag = 0;
    g_restoredFlag = 0;
    for (WPARAM command : {WPARAM(SC_CLOSE), WPARAM(SC_MINIMIZE), WPARAM(SC_SCREENSAVE), WPARAM(SC_KEYMENU)})
        EXPECT_EQ(MainWndProc(nullptr, WM_SYSCOMMAND, command, 0), 0);
    EXPECT_EQ(g_quitFlag, 0);
    EXPECT_EQ(g_restoredFlag, 0);
    MainWndProc(nullptr, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_EQ(g_restoredFlag, 1);
    g_restoredFlag = 0;
}

TEST_F(DriverTimers, MouseTrailsAreSwitchedOffFromTwoAndPutBackAtTheEnd) {
    for (int system : {0, 1, 2, 5}) {
        SCOPED_TRACE(system);
        SystemParametersInfo(SPI_SETMOUSETRAILS, static_cast<UINT>(system), nullptr, 0);
        SwitchMouseTrailsOff();
        int during = -1;
        SystemParametersInfo(SPI_GETMOUSETRAILS, 0, &during, 0);
        EXPECT_EQ(during, system > 1 ? 0 : system);
        // The quit flag's pump restores them on its way out.
        g_quitFlag = 1;
        EXPECT_THROW(PumpMessages(), ProcessExit);
        g_quitFlag = 0;
        int after = -1;
        SystemParametersInfo(SPI_GETMOUSETRAILS, 0, &after, 0);
        EXPECT_EQ(after, system);
    }
}

TEST_F(DriverTimers, MusicThatEndedIsStopped) {
    const int soundState = g_soundState, music = g_musicEnabled;
    g_soundState = 2;
    g_musicEnabled = 2;
    g_currentMusic = 2;
    MainWndProc(nullptr, MM_MCINOTIFY, 2, 0);  // aborted, not finished: nothing
    EXPECT_EQ(g_currentMusic, 2);
    MainWndProc(nullptr, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, 0);
    EXPECT_EQ(g_currentMusic, 0);
    g_soundState = soundState;
    g_musicEnabled = music;
}

}  // namespace
