// The cursor position as the game reads and restores it, over a fake window backend whose
// pointer the user moves between pumps (the motion event not taken yet) and which records every
// warp. Reading and setting back the place the pointer has must leave it alone; mouse look's
// recentring must still move it.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "client/arena/local_player.h"
#include "client/arena/player_control.h"
#include "client/arena/player_controls.h"
#include "client/arena/player_view.h"
#include "client/driver/message_pump.h"
#include "client/screens/input.h"
#include "client/screens/screen_surface.h"
#include "platform/win/platform.h"
#include "platform/win/win_internal.h"
#include "tests/support/headless.h"
#include "tests/support/recording_present.h"

namespace {

struct Pointer {
    int x = 0, y = 0;
};

// A window backend with a pointer of its own over the window, as a real one has.
class FakePointerBackend final : public platform::HeadlessBackend {
public:
    // The user's motion reaches the program only when the pump asks.
    void PollEvents() override {
        if (!motionPending)
            return;
        motionPending = false;
        platform::InjectMouseMove(live.x, live.y);
    }
    bool PointerPosition(int* x, int* y) override {
        *x = live.x;
        *y = live.y;
        return true;
    }
    void WarpCursor(int x, int y) override {
        warps.push_back({x, y});
        live = {x, y};
    }

    // The user moves the mouse: the pointer is there at once, its event waits for a pump.
    void UserMoves(int x, int y) {
        live = {x, y};
        motionPending = true;
    }

    Pointer live;
    bool motionPending = false;
    std::vector<Pointer> warps;
};

class PointerTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        auto backend = std::make_unique<FakePointerBackend>();
        fake = backend.get();
        platform::UseWindowBackend(std::move(backend));
        WNDCLASS wc{};
        wc.lpfnWndProc = MainWndProc;
        wc.lpszClassName = "Vorn";
        RegisterClass(&wc);
        g_mainWindow = CreateWindowEx(0, "Vorn", "Quorrin", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr, nullptr,
                                      nullptr);
        ResetInputState();
        fake->live = {400, 300};
    }

    void TearDown() override {
        ResetInputState();
        g_mainWindow = nullptr;
        HeadlessTest::TearDown();
    }

    POINT Cursor() {
        POINT p{};
        GetCursorPos(&p);
        return p;
    }

    FakePointerBackend* fake = nullptr;
    RecordingPresent present;
};

TEST_F(PointerTest, TheCursorIsWhereThePointerIsAndSettingItThereMovesNothing) {
    fake->UserMoves(700, 500);
    POINT p = Cursor();
    EXPECT_EQ(p.x, 700) << "read live, before the pump took the motion";
    EXPECT_EQ(p.y, 500);
    SetCursorPos(p.x, p.y);
    EXPECT_TRUE(fake->warps.empty());
    // Anywhere else, even one coordinate off, it is moved.
    const Pointer moves[] = {{700, 240}, {320, 240}, {320, 240}};
    for (const Pointer& m : moves)
        SetCursorPos(m.x, m.y);
    ASSERT_EQ(fake->warps.size(), 2u);
    EXPECT_EQ(fake->warps[0].x, 700);
    EXPECT_EQ(fake->warps[0].y, 240);
    EXPECT_EQ(fake->warps[1].x, 320);
    EXPECT_EQ(fake->warps[1].y, 240);
    // A clip holds the live pointer as it holds a warp.
    const RECT clip{3, 3, 799, 599};
    ClipCursor(&clip);
    fake->live = {0, 650};
    p = Cursor();
    EXPECT_EQ(p.x, 3);
    EXPECT_EQ(p.y, 598);
    ClipCursor(nullptr);
}

// Every present reads the cursor, keeps it on the screen and sets it back; a pointer the user
// moved since the last pump stays where the user put it and the cursor is drawn there.
TEST_F(PointerTest, APresentLeavesAPointerMovedSinceThePumpWhereTheUserPutIt) {
    g_mouse.cursorMode = 1;
    present.rendererReady = 1;
    for (int frame = 0; frame < 3; ++frame) {
        fake->UserMoves(700 - frame * 100, 500);
        g_screen.PresentScreen();
        EXPECT_TRUE(fake->warps.empty()) << frame;
        EXPECT_EQ(fake->live.x, 700 - frame * 100);
        EXPECT_EQ(present.Named("DrawCursorImage").back(),
                  "DrawCursorImage(" + std::to_string(700 - frame * 100) + ", 500)");
        PumpMessages();
    }
    g_screen.PresentGameView(0, 0, 800, 600, 10, 0);
    EXPECT_TRUE(fake->warps.empty());
    // Off the screen's edge it is brought back, once.
    fake->UserMoves(0, 500);
    g_screen.PresentScreen();
    ASSERT_EQ(fake->warps.size(), 1u);
    EXPECT_EQ(fake->warps[0].x, 1);
}

// Mouse look measures the pointer from the middle each frame and puts it back there.
TEST_F(PointerTest, MouseLookStillRecentresThePointer) {
    LocalPlayer player{};
    PlayerView view{};
    g_playerView = &view;
    g_mouse.cursorMode = 0;
    g_mouse.lookMode = 1;
    g_mouse.turnScale = 0;
    fake->live = {320, 240};
    fake->UserMoves(330, 260);
    PlayerControl control{};
    ReadPlayerControls(4, &control, &player);
    EXPECT_EQ(control.yaw, 10);
    EXPECT_EQ(control.pitch, 910);
    ASSERT_EQ(fake->warps.size(), 1u);
    EXPECT_EQ(fake->warps[0].x, 320);
    EXPECT_EQ(fake->warps[0].y, 240);
    EXPECT_EQ(fake->live.x, 320);
    ReadPlayerControls(4, &control, &player);
    EXPECT_EQ(control.yaw, 0) << "no move since: no turn";
    g_playerView = nullptr;
}

}  // namespace
