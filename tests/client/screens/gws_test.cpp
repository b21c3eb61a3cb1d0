// The window system driven as the game drives it: input injected into the headless window goes
// through the game's window procedure to the window table.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "client/driver/message_pump.h"
#include "client/screens/gws_core.h"
#include "client/screens/gws_window.h"
#include "client/screens/input.h"
#include "client/screens/view_windows.h"
#include "tests/client/screens/screen_fixture.h"
#include "tools/writers/pcx_writer.h"

namespace {

using platform::MouseButton;

class GwsTest : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        StartScreen(false, false);
        ASSERT_EQ(gwsLoadFonts("main.dat"), 0);
    }
    // A sprite window that records its events.
    std::unique_ptr<gwsSpriteWindow> Sprite(int x, int y, int w, int h, int flags, std::vector<int>* events) {
        return std::make_unique<gwsSpriteWindow>(0, x, y, w, h, flags,
                                                 [events](int e) { events->push_back(e); });
    }
    // Lets double-click detection forget the last click.
    void Later() { AdvanceAndPump(1000); }
    void MenuImage(PcxImage& image, int w, int h) {
        std::vector<uint8_t> pixels(static_cast<size_t>(w) * h, 1), palette(768, 0);
        palette[3] = 90;
        auto bytes = BuildPcx(w, h, pixels.data(), palette.data());
        dir->Write("menu.pcx", std::string(bytes.begin(), bytes.end()));
        ASSERT_EQ(image.LoadPcx("menu.pcx", PCX_HEAP, 1), 0);
        image.ConvertPcxToHicolor(g_channelBits);
    }
};

TEST_F(GwsTest, TheFrontWindowTakesThePointerAndMovingToTheFrontChangesThat) {
    std::vector<int> a, b;
    auto first = Sprite(100, 100, 50, 50, 0, &a);
    auto second = Sprite(120, 120, 50, 50, 0, &b);
    Click(MouseButton::Left, 130, 130);
    EXPECT_EQ(a, (std::vector<int>{1}));
    EXPECT_TRUE(b.empty());
    EXPECT_EQ(gwsMoveWindow(second.get(), 0, 0, 0, 0, 0x61), 1);
    EXPECT_EQ(gwsWindowTable[0].window, second.get());
    Later();
    Click(MouseButton::Left, 130, 130);
    EXPECT_EQ(b, (std::vector<int>{1}));  // a press without a move before it: no enter
    // Moved and sized with 0x01: both change, and the entry follows.
    gwsMoveWindow(first.get(), 10, 20, 30, 40, 0x01);
    EXPECT_EQ(gwsWindowTable[0].window, first.get());
    EXPECT_EQ(gwsWindowTable[0].x, 10);
    EXPECT_EQ(gwsWindowTable[0].height, 40);
    EXPECT_EQ(first->width, 30);
    EXPECT_EQ(gwsMoveWindow(nullptr, 0, 0, 0, 0, 0), -1);
}

TEST_F(GwsTest, AWindowsEdgesAreInsideItButARegionsAreNot) {
    std::vector<int> events;
    auto w = Sprite(100, 100, 50, 50, 0, &events);
    AddClickRegion(300, 300, 50, 50, 7, 1);
    struct Case {
        int x, y;
        bool inWindow;
    };
    const Case cases[] = {{100, 100, true}, {150, 150, true}, {151, 150, false}, {99, 120, false}};
    for (const Case& c : cases) {
        events.clear();
        Later();
        Click(MouseButton::Left, c.x, c.y);
        EXPECT_EQ(std::count(events.begin(), events.end(), 1), c.inWindow ? 1 : 0) << c.x << "," << c.y;
    }
    struct RegionCase {
        int x, y, id;
    };
    const RegionCase regions[] = {{300, 320, -1}, {320, 300, -1}, {301, 301, 7}, {349, 349, 7}, {350, 320, -1}};
    for (const RegionCase& r : regions) {
        Later();
        Click(MouseButton::Left, r.x, r.y);
        EXPECT_EQ(TakeRegionClick(nullptr), r.id) << r.x << "," << r.y;
    }
}

TEST_F(GwsTest, TooltipsShowAtOnceOrAfterTheirDelayUnlessAButtonIsPressed) {
    std::vector<int> events;
    auto now = Sprite(100, 100, 50, 20, 0, &events);
    now->gwsSetToolTipText("Now", 0, 0, 0xFFFF, 0);
    now->gwsSetToolTipDelay(0);
    MoveTo(110, 105);
    EXPECT_TRUE(gwsToolTipShown());
    EXPECT_EQ(gwsToolTipWindow(), now.get());
    MoveTo(400, 400);  // off every window
    EXPECT_FALSE(gwsToolTipShown());

    auto later = Sprite(200, 200, 50, 20, 0, &events);
    later->gwsSetToolTipText("Later", 0, 0, 0xFFFF, 0);
    later->gwsSetToolTipDelay(500);
    MoveTo(210, 205);
    EXPECT_TRUE(gwsToolTipPending());
    AdvanceAndPump(499);
    EXPECT_FALSE(gwsToolTipShown());
    AdvanceAndPump(1);
    EXPECT_TRUE(gwsToolTipShown());

    MoveTo(400, 400);
    MoveTo(210, 205);
    EXPECT_TRUE(gwsToolTipPending());
    Press(MouseButton::Left, 210, 205, true);
    EXPECT_FALSE(gwsToolTipPending());
    AdvanceAndPump(1000);
    EXPECT_FALSE(gwsToolTipShown());
    Press(MouseButton::Left, 210, 205, false);
    later->gwsSetToolTipDelay(20000);
    EXPECT_EQ(later->tipDelay, 10000);
    later->gwsSetToolTipDelay(-5);
    EXPECT_EQ(later->tipDelay, 0);
}

TEST_F(GwsTest, TooltipsStayInsideTheViewAtItsEdges) {
    std::vector<int> events;
    auto w = Sprite(0, 0, 640, 480, 0, &events);
    w->gwsSetToolTipText("Edge", 0, 0, 0xFFFF, 0);  // 4 x 8 + 4 = 36 wide, 12 high
    struct Case {
        int x, y;
        RECT expected;
    };
    const Case cases[] = {
        {100, 100, RECT{91, 120, 127, 132}},
        {630, 100, RECT{603, 120, 639, 132}},  // ends at 639
        {100, 460, RECT{91, 440, 127, 452}},   // 20 above the pointer
        {2, 100, RECT{0, 120, 36, 132}},
    };
    for (const Case& c : cases) {
        MoveTo(700, 500);
        MoveTo(c.x, c.y);
        ASSERT_TRUE(gwsToolTipShown());
        RECT r{};
        ASSERT_EQ(gwsShowToolTipAt(c.x, c.y, &r), 1);
        gwsRestoreToolTip();
        EXPECT_EQ(r.left, c.expected.left) << c.x << "," << c.y;
        EXPECT_EQ(r.top, c.expected.top) << c.x << "," << c.y;
        EXPECT_EQ(r.right, c.expected.right);
        EXPECT_EQ(r.bottom, c.expected.bottom);
    }
}

TEST_F(GwsTest, TheFiftiethWindowIsNotRegistered) {
    std::vector<int> events;
    std::vector<std::unique_ptr<gwsSpriteWindow>> windows;
    for (int i = 0; i < 49; ++i) {
        windows.push_back(Sprite(i, 0, 1, 1, 0, &events));
        ASSERT_EQ(gwsFindWindowSlot(windows.back().get()), i);
    }
    auto fiftieth = Sprite(500, 500, 10, 10, 0, &events);
    EXPECT_EQ(gwsFindWindowSlot(fiftieth.get()), -1);
    Click(MouseButton::Left, 505, 505);
    EXPECT_TRUE(events.empty());
    // A freed slot is reused.
    windows[7].reset();
    auto again = Sprite(500, 500, 10, 10, 0, &events);
    EXPECT_EQ(gwsFindWindowSlot(again.get()), 7);
    EXPECT_EQ(gwsWindowCount, 49);
}

TEST_F(GwsTest, DraggingKeepsAWindowInsideTheViewAndEntersBeforeDragging) {
    std::vector<int> events;
    auto w = Sprite(100, 100, 40, 30, GWS_DRAGGABLE, &events);
    Press(MouseButton::Left, 110, 110, true);  // straight onto it: no move message first
    EXPECT_EQ(gwsGetActiveWindow(), w.get());
    MoveTo(900, 50);
    MoveTo(2000, -40);
    EXPECT_EQ(w->x, 639 - 40);
    EXPECT_EQ(w->y, 0);
    EXPECT_EQ(gwsWindowTable[gwsFindWindowSlot(w.get())].x, 639 - 40);
    Press(MouseButton::Left, 700, 1, false);
    EXPECT_EQ(events, (std::vector<int>{1, 13, 8, 8, 0}));
    EXPECT_EQ(gwsGetActiveWindow(), nullptr);
    // A plain window: press, no release event.
    std::vector<int> plain;
    auto p = Sprite(300, 300, 20, 20, 0, &plain);
    Later();
    Click(MouseButton::Left, 305, 305);
    Later();
    Click(MouseButton::Right, 305, 305);
    EXPECT_EQ(plain, (std::vector<int>{1, 10, 12}));
}

TEST_F(GwsTest, AMenuCallsBackOnlyForAReleaseOverThePressedItem) {
    PcxImage image;
    MenuImage(image, 100, 60);
    std::vector<int> chosen;
    gwsMenu* menu = gwsMenu::Open(200, 200, &image, nullptr, 0, 0, 0xFFFF, 0x07E0, 0xF800,
                                  [&chosen](int v) { chosen.push_back(v); });
    menu->gwsMenuAddItem("Alpha", 11, RECT{0, 0, 100, 29});
    menu->gwsMenuAddItem("Beta", 22, RECT{0, 30, 100, 59});
    menu->gwsMenuAddItem(std::string(40, 'x').c_str(), 33, RECT{0, 0, 0, 0});
    EXPECT_EQ(menu->items[2].text[0], '\0');
    RECT r{};
    ASSERT_EQ(gwsDrawPopup(&r), 1);  // sizes the menu from its picture
    gwsRestorePopup();
    EXPECT_EQ(r.right - r.left, 100);

    Press(MouseButton::Left, 210, 210, true);   // Alpha
    Press(MouseButton::Left, 210, 240, false);  // released over Beta
    EXPECT_TRUE(chosen.empty());
    Later();
    Press(MouseButton::Left, 210, 240, true);
    Press(MouseButton::Left, 210, 245, false);
    EXPECT_EQ(chosen, std::vector<int>{22});
    gwsClosePopup(gwsPopupTicket());
    EXPECT_EQ(gwsPopupMenu(), nullptr);
}

TEST_F(GwsTest, AClickElsewhereClosesAMenuItsOwnerStillHoldsOnce) {
    PcxImage image;
    MenuImage(image, 60, 40);
    std::vector<int> events;
    auto button = Sprite(500, 400, 30, 30, 0, &events);
    // The owner keeps its ticket, as the quit boxes keep their menu.
    gwsMenu::Open(100, 100, &image, nullptr, 0, 0, 0xFFFF, 0, 0, nullptr);
    const gwsPopupHandle owner = gwsPopupTicket();
    ASSERT_NE(gwsFindPopup(owner), nullptr);
    Click(MouseButton::Left, 510, 410);
    EXPECT_EQ(gwsFindPopup(owner), nullptr);
    EXPECT_EQ(gwsPopupMenu(), nullptr);
    gwsClosePopup(owner);  // the owner closing it later does nothing (a double free under ASan)
    // Opening a menu over an open one replaces it.
    gwsMenu::Open(100, 100, &image, nullptr, 0, 0, 0xFFFF, 0, 0, nullptr);
    const gwsPopupHandle first = gwsPopupTicket();
    gwsMenu::Open(150, 100, &image, nullptr, 0, 0, 0xFFFF, 0, 0, nullptr);
    EXPECT_EQ(gwsFindPopup(first), nullptr);
    EXPECT_NE(gwsPopupMenu(), nullptr);
    // Shutdown frees the pop-up and none of the screens' windows.
    gwsShutdown();
    EXPECT_EQ(gwsPopupMenu(), nullptr);
    EXPECT_EQ(gwsFindWindowSlot(button.get()), -1);
}

TEST_F(GwsTest, HoverFollowsTheWindowNotItsPlaceInTheTable) {
    std::vector<int> a, b;
    auto first = Sprite(100, 100, 50, 50, 0, &a);
    auto second = Sprite(300, 100, 50, 50, 0, &b);
    MoveTo(120, 120);
    EXPECT_EQ(gwsHoveredWindow(), first.get());
    gwsMoveWindow(second.get(), 0, 0, 0, 0, 0x61);  // first is now entry 1
    MoveTo(125, 125);
    EXPECT_EQ(a, (std::vector<int>{13}));  // no leave and no second enter
    EXPECT_TRUE(b.empty());
    MoveTo(310, 110);
    EXPECT_EQ(a, (std::vector<int>{13, 14}));
    EXPECT_EQ(b, (std::vector<int>{13}));
    // A deleted hovered window is forgotten.
    second.reset();
    EXPECT_EQ(gwsHoveredWindow(), nullptr);
}

TEST_F(GwsTest, AWindowCannotDeleteItselfFromItsOwnHandler) {
    int result = -1;
    gwsSpriteWindow* self = nullptr;
    auto w = std::make_unique<gwsSpriteWindow>(0, 100, 100, 20, 20, 0, [&](int e) {
        if (e == 1)
            result = gwsDeleteWindow(self);
    });
    self = w.get();
    Click(MouseButton::Left, 105, 105);
    EXPECT_EQ(result, 0);
    EXPECT_STREQ(gwsLastLog, "Aborting attempt to delete a Window from within it's Callback!\n");
    EXPECT_EQ(gwsFindWindowSlot(w.get()), 0);
    EXPECT_EQ(gwsDeleteWindow(w.get()), 1);
    EXPECT_EQ(gwsDeleteWindow(w.get()), 0);
    EXPECT_STREQ(gwsLastLog, "Attempting to delete non-existant window.\n");
}

TEST_F(GwsTest, FrameButtonsReportToTheirOutputWordOnce) {
    int32_t output = 0;
    gwsFrameButton button(5, 100, 100, 20, 20, 0, &output, 0, 0);
    MoveTo(105, 105);
    EXPECT_EQ(output, -1);
    Press(MouseButton::Left, 105, 105, true);
    EXPECT_EQ(output, 5);
    output = 0;
    Press(MouseButton::Left, 105, 105, false);
    Later();
    Click(MouseButton::Left, 105, 105);
    EXPECT_EQ(output, 0);  // still pressed: nothing written
    MoveTo(400, 400);
    EXPECT_EQ(output, -1);
}

TEST_F(GwsTest, TheGwsFontsDrawIntoSurfacesAtTheirPitch) {
    IDirectDrawSurface* surface = gwsCreateSurface(64, 20);
    ASSERT_NE(surface, nullptr);
    RECT all{0, 0, 64, 20};
    gwsFillRect(surface, &all, 0x1234);
    gwsDrawText(2, 2, "II", 0xFFFF, 32, surface, 0);
    gwsDrawText(40, 2, "I", 0xF800, 4, surface, 0);
    gwsDrawText(60, 2, "IIIII", 0x07E0, 32, surface, 0);  // runs off the surface: cut
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    ASSERT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    auto px = [&](int x, int y) {
        return reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch)[x];
    };
    EXPECT_EQ(px(3, 2), 0xFFFF);   // "I" row 0 ".###." at column 1
    EXPECT_EQ(px(11, 2), 0xFFFF);  // the second one 8 further
    EXPECT_EQ(px(2, 2), 0x1234);
    EXPECT_EQ(px(41, 2), 0);       // the outline
    EXPECT_EQ(px(40, 2), 0x1234);
    EXPECT_EQ(px(42, 3), 0xF800);  // one pixel in
    EXPECT_EQ(px(61, 2), 0x07E0);
    surface->Unlock(desc.lpSurface);
    surface->Release();
    EXPECT_EQ(gwsFontTable[0].height, 8);
    dir->Write("bad.dat", "[fonts]\nnumfonts=1\n[font00]\nheight=8\nsize=1\nfile=none\n");
    EXPECT_EQ(gwsLoadFonts("bad.dat"), -4);
    EXPECT_STREQ(gwsLastLog, "Load Font Failed! File=none\n");
    dir->Write("bad2.dat", "[fonts]\n");
    EXPECT_EQ(gwsLoadFonts("bad2.dat"), -1);
}

TEST_F(GwsTest, ViewTablesClampTheirInputsAndMatchTheAngleTables) {
    BuildTrigTables();
    BuildReciprocalTables();
    EXPECT_EQ(ReciprocalTable[0], 65536);
    EXPECT_EQ(ReciprocalTable[2], 32768);
    EXPECT_EQ(TrigP[0], 65536);  // -256 x sin 0 = 0, pushed to 1.0
    EXPECT_EQ(TrigQ[0], 256 * 65536);
    EXPECT_EQ(TrigP[1024], -256 * 65536);
    EXPECT_EQ(SineReciprocal[0], 0);
    EXPECT_EQ(SineReciprocal[1024], 65536);
    ViewRecord& v = g_views[1];
    v.distance = 0;
    v.firstColumn = -10;
    v.lastColumn = 2000;
    v.centreRow = 900;
    BuildViewTables(1, 1);
    EXPECT_EQ(v.distance, 1);
    EXPECT_EQ(v.firstColumn, 0);
    EXPECT_EQ(v.lastColumn, 639);
    EXPECT_EQ(v.centreRow, 399);
    v.distance = 320;
    BuildViewTables(1, 1);
    EXPECT_EQ(v.columnAngle[320], 0);
    EXPECT_EQ(v.columnAngle[640 - 1] , static_cast<int>(std::atan(319.0 / 320) * 652.2292993630573));
    EXPECT_EQ(v.columnAngle[0], 4096 - 512);  // atan(-1) is -512 units
    EXPECT_EQ(v.distanceTable[2], 160 * 65536);
    EXPECT_EQ(v.heightTable[160], 65536);
}

TEST_F(GwsTest, TheMoveFrameButtonDragsItsView) {
    g_views[2].x = 100;
    g_views[2].y = 100;
    g_views[2].width = 200;
    g_views[2].height = 150;
    OpenViewWindow(2);
    ASSERT_NE(g_frameButtonWindows[FRAME_MOVE], nullptr);
    EXPECT_EQ(g_frameButtons[FRAME_CLOSE].left, 245);
    gwsSpriteWindow* move = g_frameButtonWindows[FRAME_MOVE].get();
    EXPECT_EQ(move->x, 275);
    Press(MouseButton::Left, 280, 150, true);
    MoveTo(330, 170);
    Press(MouseButton::Left, 330, 170, false);
    EXPECT_EQ(g_views[2].x, 150);
    EXPECT_EQ(g_views[2].y, 120);
    EXPECT_EQ(g_frameButtons[FRAME_CLOSE].left, 295);
    EXPECT_EQ(g_frameButtons[FRAME_RESIZE].top, 140);
    EXPECT_EQ(g_pressedFrameButton, FRAME_MOVE);
    OpenViewWindow(0);
    EXPECT_EQ(g_frameButtonWindows[FRAME_MOVE], nullptr);
}

}  // namespace
