// The screen surface: pixel packing, primitives and their clipping, blits, the overhead map, the
// start of the display and the presentation of a frame.

#include "client/screens/screen_surface.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "client/core/error_log.h"
#include "client/driver/message_pump.h"
#include "client/screens/gws_core.h"
#include "client/screens/gws_window.h"
#include "client/screens/input.h"
#include "platform/ddraw/control.h"
#include "tests/client/screens/screen_fixture.h"
#include "tools/writers/pcx_writer.h"

namespace {

TEST(MakePixel16, PacksByTheDisplaysChannelBits) {
    struct Case {
        ChannelBits bits;
        int r, g, b;
        uint16_t expected;
    };
    const Case cases[] = {
        {kChannels555, 255, 255, 255, 0x7FFF}, {kChannels555, 214, 168, 65, 0x6AA8},
        {kChannels565, 255, 255, 255, 0xFFFF}, {kChannels565, 214, 168, 65, 0xD548},
        {kChannels565, 8, 4, 8, 0x0821},       {kChannels555, 0, 0, 7, 0x0000},
        {kChannels565, 255, 0, 0, 0xF800},     {kChannels555, 0, 255, 0, 0x03E0},
    };
    const ChannelBits saved = g_channelBits;
    for (const Case& c : cases) {
        g_channelBits = c.bits;
        EXPECT_EQ(MakePixel16(c.r, c.g, c.b), c.expected) << c.r << "," << c.g << "," << c.b;
    }
    g_channelBits = saved;
}

class ScreenSurfaceTest : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        StartScreen(false, false);
    }
    // Every pixel outside the rectangle still holds its guard value.
    int ChangedOutside(int x, int y, int w, int h, uint16_t guard) const {
        int changed = 0;
        for (int py = 0; py < kScreenHeight; ++py)
            for (int px = 0; px < kScreenWidth; ++px) {
                const bool inside = px >= x && px < x + w && py >= y && py < y + h;
                if (!inside && At(px, py) != guard)
                    ++changed;
            }
        return changed;
    }
    void Guard(uint16_t value) { std::fill_n(g_screen.backBuffer, kScreenPixels, value); }
};

// Screen after screen loads its picture into the one slot: each replaces the last as it is,
// without a warning that the slot still held the one before.
TEST_F(ScreenSurfaceTest, EachScreenPictureReplacesTheLastWithoutAWarning) {
    std::vector<uint8_t> palette(768, 0);
    palette[3] = 255;  // index 1 red
    palette[6] = 255;  // index 2 green
    palette[7] = 255;
    for (const auto& [name, index] : {std::pair{"first.pcx", 1}, std::pair{"second.pcx", 2}}) {
        std::vector<uint8_t> pixels(64, static_cast<uint8_t>(index));
        const std::vector<uint8_t> bytes = BuildPcx(8, 8, pixels.data(), palette.data());
        dir->Write(name, std::string(bytes.begin(), bytes.end()));
    }
    ASSERT_TRUE(OpenErrorLog());
    for (const char* name : {"first.pcx", "second.pcx", "first.pcx"})
        EXPECT_EQ(g_screen.LoadScreenPicture(name), 1);
    CloseErrorLog();
    EXPECT_EQ(At(3, 3), MakePixel16(255, 0, 0));
    EXPECT_EQ(dir->Read("error.log").find("Already initialized"), std::string::npos) << dir->Read("error.log");
}

TEST_F(ScreenSurfaceTest, StartsTheDisplayAndLearnsItsPixelFormat) {
    EXPECT_EQ(present->Names(), (std::vector<std::string>{"CreateRenderer", "CreateSceneRoot", "CreateCameras",
                                                          "ResetCameraViewports", "SgxGetDirectDraw",
                                                          "CreateScreenImage", "CreateCursorImage"}));
    EXPECT_TRUE(IsChannels565(g_channelBits));
    EXPECT_EQ(g_screen.width, 800);
    EXPECT_EQ(g_screen.chat_width, 612);
    EXPECT_EQ(g_screen.char_image_y, 200);
    // No cursor.pcx: a transparent cursor.
    ASSERT_NE(g_cursorSurface4, nullptr);
    EXPECT_EQ(ddtest::RawPixel(g_cursorSurface4, 3, 3), 0u);
}

TEST_F(ScreenSurfaceTest, FillsRectanglesTwoPixelsAtATimeAndNothingForEmptyOnes) {
    struct Case {
        int x, y, w, h;
    };
    const Case cases[] = {{10, 10, 0, 5}, {10, 10, 5, 0}, {10, 10, -3, 5}, {11, 3, 7, 2}, {0, 0, 1, 1}, {795, 598, 5, 2}};
    for (const Case& c : cases) {
        Guard(0x1234);
        g_screen.FillRect16(c.x, c.y, c.w, c.h, 0xBEEF);
        const int w = std::max(c.w, 0), h = std::max(c.h, 0);
        EXPECT_EQ(ChangedOutside(c.x, c.y, w, h, 0x1234), 0) << c.x << "," << c.y << " " << c.w << "x" << c.h;
        for (int py = c.y; py < c.y + h; ++py)
            for (int px = c.x; px < c.x + w; ++px)
                ASSERT_EQ(At(px, py), 0xBEEF) << px << "," << py;
    }
}

TEST_F(ScreenSurfaceTest, DrawsHalfOffTheScreenOnlyWhatIsVisible) {
    // The buffer's neighbours in memory would be hit by an unclipped draw; ASan watches them, and
    // the visible part is checked here.
    struct Case {
        int x, y, w, h;
    };
    const Case cases[] = {{-10, -10, 20, 20}, {790, 590, 50, 50}, {-1000, 300, 2000, 1}, {400, -5, 1, 1000}};
    for (const Case& c : cases) {
        Guard(0);
        g_screen.FillRect16(c.x, c.y, c.w, c.h, 0xFFFF);
        const int x0 = std::max(c.x, 0), y0 = std::max(c.y, 0);
        const int x1 = std::min(c.x + c.w, kScreenWidth), y1 = std::min(c.y + c.h, kScreenHeight);
        EXPECT_EQ(ChangedOutside(x0, y0, x1 - x0, y1 - y0, 0), 0);
        EXPECT_EQ(At(x0, y0), 0xFFFF);
        EXPECT_EQ(At(x1 - 1, y1 - 1), 0xFFFF);
    }
    Guard(0);
    g_screen.DrawRectFrame(-20, -20, 900, 700, 0x00FF, 3);
    EXPECT_EQ(At(0, 0), 0);          // the top bar lies above the screen
    EXPECT_EQ(At(0, 300), 0);
    EXPECT_EQ(At(400, 599), 0);      // bottom bar at 677
    g_screen.DrawBevelFrame(700, 500, 200, 200, 4);
    EXPECT_NE(At(700, 500), 0);
}

TEST_F(ScreenSurfaceTest, AThickFrameOverlapsItselfAndStaysInsideItsRectangle) {
    Guard(0);
    g_screen.DrawRectFrame(100, 100, 10, 8, 0x7777, 7);
    EXPECT_EQ(ChangedOutside(100, 100, 10, 8, 0), 0);
    for (int y = 100; y < 108; ++y)
        for (int x = 100; x < 110; ++x)
            ASSERT_EQ(At(x, y), 0x7777);
}

TEST_F(ScreenSurfaceTest, ValueBarsClampTheirValueAndTreatMaxZeroAsOne) {
    struct Case {
        int max, value, filled;
    };
    // 100 pixels wide: filled = value x 100 / max.
    const Case cases[] = {{0, 0, 0}, {0, 1, 100}, {0, 5, 100}, {10, 15, 100}, {10, -3, 0}, {10, 3, 30}, {3, 1, 33}};
    for (const Case& c : cases) {
        Guard(0);
        g_screen.DrawValueBar(50, 50, 100, 10, c.max, c.value, 0x00F0, 0x0F00);
        int filled = 0;
        for (int x = 51; x < 149; ++x)
            filled += At(x, 55) == 0x00F0;
        // The frame takes the fill colour at columns 50 and 149.
        EXPECT_EQ(filled, std::clamp(c.filled - 1, 0, 98)) << c.max << "/" << c.value;
        EXPECT_EQ(At(50, 50), 0x00F0);
        EXPECT_EQ(At(149, 59), 0x00F0);
    }
}

// A 16-bit image of known pixels: value (x + 1) + 256 y, or 0 where transparent(x, y).
void MakeImage(PcxImage& image, int w, int h, const std::string& name, TempDir& dir, bool holes = false) {
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h), palette(768, 0);
    for (int i = 1; i < 256; ++i) {
        palette[i * 3] = static_cast<uint8_t>(i);
        palette[i * 3 + 1] = static_cast<uint8_t>(255 - i);
        palette[i * 3 + 2] = static_cast<uint8_t>(i * 7);
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pixels[y * w + x] = (holes && (x + y) % 3 == 0) ? 0 : static_cast<uint8_t>(1 + (x + 5 * y) % 250);
    const std::vector<uint8_t> bytes = BuildPcx(w, h, pixels.data(), palette.data());
    dir.Write(name, std::string(bytes.begin(), bytes.end()));
    ASSERT_EQ(image.LoadPcx(name.c_str(), PCX_HEAP, 1), 0);
    ASSERT_EQ(image.ConvertPcxToHicolor(g_channelBits), 0);
}

TEST_F(ScreenSurfaceTest, BlitsCopyFramesCellsAndTheirEndsSkippingBlackWhenAsked) {
    PcxImage image;
    MakeImage(image, 40, 20, "strip.pcx", *dir, true);
    const uint16_t* src = image.Pixels16();
    auto source = [&](int x, int y) { return src[y * 40 + x]; };

    Guard(0x1111);
    g_screen.BlitImage(image, 10, 20, 0);
    EXPECT_EQ(At(10, 20), source(0, 0));  // opaque: black written too
    EXPECT_EQ(At(49, 39), source(39, 19));
    EXPECT_EQ(ChangedOutside(10, 20, 40, 20, 0x1111), 0);

    Guard(0x1111);
    g_screen.BlitImage(image, 10, 20, 1);
    EXPECT_EQ(At(10, 20), 0x1111);  // (0, 0) is a hole
    EXPECT_EQ(At(11, 20), source(1, 0));

    // Frame 2 of 4: columns 20..29.
    Guard(0x1111);
    g_screen.BlitImageFrame(image, 100, 100, 2, 4, 0);
    EXPECT_EQ(At(100, 100), source(20, 0));
    EXPECT_EQ(At(109, 119), source(29, 19));
    EXPECT_EQ(ChangedOutside(100, 100, 10, 20, 0x1111), 0);

    // Cell (1, 1) of a 2 x 2 grid: columns 20..39 of rows 10..19.
    Guard(0x1111);
    g_screen.BlitImageCell(image, 0, 0, 1, 2, 1, 2, 0);
    EXPECT_EQ(At(0, 0), source(20, 10));
    EXPECT_EQ(At(19, 9), source(39, 19));
    EXPECT_EQ(ChangedOutside(0, 0, 20, 10, 0x1111), 0);

    // Divisors of 0 and frames past the strip draw nothing.
    Guard(0x1111);
    g_screen.BlitImageFrame(image, 0, 0, 0, 0, 0);
    g_screen.BlitImageFrame(image, 0, 0, 4, 4, 0);
    g_screen.BlitImageCell(image, 0, 0, 0, 0, 0, 1, 0);
    g_screen.BlitImageCell(image, 0, 0, 0, 1, 2, 2, 0);
    EXPECT_EQ(ChangedOutside(0, 0, 0, 0, 0x1111), 0);

    // The left 5 columns at 200; the right 7 ending at 300.
    Guard(0x1111);
    g_screen.BlitImageLeft(200, 0, 5, 3, image);
    g_screen.BlitImageRight(300, 0, 7, 3, image);
    EXPECT_EQ(At(201, 0), source(1, 0));
    EXPECT_EQ(At(205, 0), 0x1111);
    EXPECT_EQ(At(299, 1), source(39, 1));
    EXPECT_EQ(At(293, 1), source(33, 1));
    EXPECT_EQ(At(292, 1), 0x1111);
}

TEST_F(ScreenSurfaceTest, TilesAreFixedToTheScreenOneColumnOff) {
    PcxImage tile;
    MakeImage(tile, 128, 128, "tile.pcx", *dir);
    const uint16_t* src = tile.Pixels16();
    Guard(0);
    g_screen.TileFillFromImage(0, 0, 300, 200, tile);
    EXPECT_EQ(At(0, 0), src[127]);  // (0 - 1) & 127
    EXPECT_EQ(At(1, 0), src[0]);
    EXPECT_EQ(At(129, 130), src[2 * 128 + 0]);
    // A tile that is not 128 x 128 fills nothing.
    PcxImage small;
    MakeImage(small, 64, 64, "small.pcx", *dir);
    Guard(0);
    g_screen.TileFillFromImage(0, 0, 100, 100, small);
    EXPECT_EQ(ChangedOutside(0, 0, 0, 0, 0), 0);
    EXPECT_EQ(g_screen.LoadTileImage(1, "small.pcx"), 0);
    EXPECT_EQ(g_screen.LoadTileImage(1, "tile.pcx"), 1);
}

TEST_F(ScreenSurfaceTest, SavedRectanglesAndTheSnapshotPutPixelsBack) {
    Guard(0x2222);
    g_screen.FillRect16(0, 0, 50, 50, 0x3333);
    g_screen.SaveScreenRect(10, 10, 20, 20);
    g_screen.FillRect16(0, 0, 100, 100, 0x4444);
    g_screen.RestoreSavedRect();
    EXPECT_EQ(At(10, 10), 0x3333);
    EXPECT_EQ(At(29, 29), 0x3333);
    EXPECT_EQ(At(30, 29), 0x4444);
    // Empty rectangles save nothing; nothing is restored then.
    g_screen.SaveScreenRect(0, 0, 0, 10);
    EXPECT_EQ(g_screen.savedPixels, nullptr);
    g_screen.RestoreSavedRect();

    // Without a snapshot the copy does nothing; with one it restores.
    Guard(0x5555);
    g_screen.CopyFromBackground(0, 0, 10, 10);
    EXPECT_EQ(At(0, 0), 0x5555);
    g_screen.SnapshotBackBuffer();
    g_screen.FillRect16(0, 0, 800, 600, 0x6666);
    g_screen.CopyFromBackground(790, 595, 50, 50);  // cut at the screen's edge
    EXPECT_EQ(At(799, 599), 0x5555);
    EXPECT_EQ(At(789, 599), 0x6666);
    g_screen.FreeSnapshot();
    EXPECT_EQ(g_screen.SnapshotPixels(), nullptr);
}

TEST_F(ScreenSurfaceTest, ImageBarsDrawTheFilledPartAndRestoreTheRest) {
    PcxImage full, empty;
    MakeImage(full, 50, 4, "full.pcx", *dir);
    MakeImage(empty, 50, 4, "empty.pcx", *dir);
    Guard(0x0101);
    g_screen.SnapshotBackBuffer();
    Guard(0x0202);
    g_screen.DrawImageBar(0, 0, 50, 4, 10, 4, &full, nullptr);
    EXPECT_EQ(At(19, 0), full.Pixels16()[19]);
    EXPECT_EQ(At(20, 0), 0x0101);  // from the snapshot
    g_screen.DrawImageBar(0, 10, 50, 4, 10, 4, &full, &empty);
    EXPECT_EQ(At(20, 10), empty.Pixels16()[20]);
    Guard(0x0202);
    g_screen.DrawImageBar(0, 0, 50, 4, 0, 4, &full, &empty);  // max 0: not drawn
    EXPECT_EQ(ChangedOutside(0, 0, 0, 0, 0x0202), 0);
}

TEST_F(ScreenSurfaceTest, MapLinesRunDownwardsAndStayInTheMap) {
    uint8_t* map = g_screen.mapBuffer.get();
    std::memset(map, 0, kMapSize * kMapSize);
    g_screen.DrawMapLine(map, 10, 20, 0, 10, 5, 1);  // steep enough: dx = dy = 10
    for (int i = 0; i <= 10; ++i)
        EXPECT_EQ(map[(10 + i) * kMapSize + i], 5) << i;
    std::memset(map, 0, kMapSize * kMapSize);
    g_screen.DrawMapLine(map, 0, 0, 20, 5, 7, 2);  // shallow, two copies a row apart
    EXPECT_EQ(map[0], 7);
    EXPECT_EQ(map[kMapSize], 7);
    EXPECT_EQ(map[5 * kMapSize + 20], 7);
    EXPECT_EQ(map[6 * kMapSize + 20], 7);
    // Off the map: only what lies inside is written.
    g_screen.DrawMapLine(map, 250, 250, 300, 260, 9, 3);
    EXPECT_EQ(map[250 * kMapSize + 250], 9);
}

TEST_F(ScreenSurfaceTest, ZoomTransitionGrowsToTheWholeViewInHalfASecond) {
    const DWORD start = GetTickCount();
    g_screen.ZoomTransition(0, 500);
    EXPECT_EQ(g_screen.lastDirty.x, 0);
    EXPECT_EQ(g_screen.lastDirty.y, 0);
    EXPECT_EQ(g_screen.lastDirty.w, 640);
    EXPECT_EQ(g_screen.lastDirty.h, 480);
    // Each presentation moves the virtual clock 10 ms: 51 steps and the last box once more.
    EXPECT_EQ(GetTickCount() - start, 520u);
    EXPECT_EQ(present->shownCount, 52);

    present->shownCount = 0;
    g_screen.ZoomTransition(0, 0);
    EXPECT_EQ(present->shownCount, 1);
    EXPECT_EQ(g_screen.lastDirty.w, 640);

    // A clock that does not move: each step sleeps a millisecond, so it still ends.
    present->frameStepMs = 0;
    present->shownCount = 0;
    g_screen.ZoomTransition(0, 5);
    EXPECT_EQ(present->shownCount, 7);
}

TEST_F(ScreenSurfaceTest, PresentScreenShowsOverlaysAndCursorAndLeavesTheBufferAsItWas) {
    ASSERT_EQ(gwsLoadFonts("main.dat"), 0);
    for (int y = 0; y < kScreenHeight; ++y)
        for (int x = 0; x < kScreenWidth; ++x)
            g_screen.backBuffer[y * kScreenWidth + x] = static_cast<uint16_t>((x * 7 + y * 13) | 0x0821);
    std::vector<uint16_t> before(g_screen.backBuffer, g_screen.backBuffer + kScreenPixels);

    // A tooltip window under the cursor and an open menu.
    gwsSpriteWindow button(0, 300, 300, 60, 20, 0, nullptr);
    button.gwsSetToolTipText("Hello there", 0, 0, 0xFFE0, 0x0010);
    button.gwsSetToolTipDelay(0);
    PcxImage menuImage;
    MakeImage(menuImage, 80, 40, "menu.pcx", *dir);
    gwsMenu::Open(500, 100, &menuImage, nullptr, 0, 0, 0xFFFF, 0x07E0, 0xF800, nullptr)
        ->gwsMenuAddItem("Quit", 1, RECT{0, 0, 80, 20});
    SetCursorPos(310, 305);
    FeedCursor();
    ASSERT_TRUE(gwsToolTipShown());

    present->calls.clear();
    g_screen.PresentScreen();
    EXPECT_EQ(present->Names(), (std::vector<std::string>{"ClearViewFrame", "DrawScreenImage", "IsRendererReady",
                                                          "DrawCursorImage", "ShowViewFrame"}));
    EXPECT_EQ(present->Named("DrawCursorImage")[0], "DrawCursorImage(310, 305)");
    std::vector<uint16_t> after(g_screen.backBuffer, g_screen.backBuffer + kScreenPixels);
    EXPECT_TRUE(after == before) << "the back buffer changed";
    // The shown frame held the tooltip below the pointer and the menu.
    int tipPixels = 0;
    for (int x = 0; x < 100; ++x)
        tipPixels += present->ShownPixel(300 + x, 332) == 0x0010;
    EXPECT_GT(tipPixels, 20);
    EXPECT_EQ(present->ShownPixel(520, 130), menuImage.Pixels16()[30 * 80 + 20]);
    std::string message;
    ddtest::Image frame;
    frame.width = kScreenWidth;
    frame.height = kScreenHeight;
    for (uint16_t p : present->shown)
        frame.pixels.push_back(ExpandPixel(p));
    EXPECT_TRUE(ddtest::MatchesGolden(goldenDir, "present_overlays", frame, 0, 0, &message)) << message;
    gwsClosePopup(gwsPopupTicket());
}

TEST_F(ScreenSurfaceTest, PresentScreenKeepsTheCursorOnTheScreen) {
    struct Case {
        int x, y, cx, cy;
    };
    const Case cases[] = {{0, 0, 1, 1}, {800, 600, 799, 599}, {-50, 300, 1, 300}, {400, 900, 400, 599}};
    for (const Case& c : cases) {
        ClipCursor(nullptr);
        SetCursorPos(c.x, c.y);
        g_screen.PresentScreen();
        POINT p{};
        GetCursorPos(&p);
        EXPECT_GE(p.x, 1);
        EXPECT_LE(p.x, 799);
        EXPECT_GE(p.y, 1);
        EXPECT_LE(p.y, 599);
    }
}

TEST_F(ScreenSurfaceTest, PresentGameViewDrawsTheChosenPartOfTheScreen) {
    present->calls.clear();
    g_screen.PresentGameView(10, 20, 30, 40, 1000, 1);
    EXPECT_EQ(present->Names(), (std::vector<std::string>{"ClearViewFrame", "BlitSurfaceToScreen", "RenderWorldView",
                                                          "IsRendererReady", "DrawCursorImage", "ShowViewFrame"}));
    EXPECT_EQ(present->Named("BlitSurfaceToScreen")[0], "BlitSurfaceToScreen(10, 20, 40, 60, 0)");
    present->calls.clear();
    g_screen.PresentGameView(0, 0, 0, 0, 5, -1);
    EXPECT_EQ(present->Count("DrawScreenImage") + present->Count("BlitSurfaceToScreen"), 0u);
}

class ScreenStartTest : public ScreenFixture {};

TEST_F(ScreenStartTest, InitDirectDrawReportsEachFailingStep) {
    struct Case {
        const char* operation;
        int after;
        const char* message;
    };
    const Case cases[] = {
        {"DirectDraw::CreateSurface", 0, "Direct Draw Error|Direct Draw CreateSurface (Screen) Failed!\nDirect Draw Error Code=80004005"},
        {"DirectDraw::CreateSurface", 1, "Direct Draw Error|Direct Draw CreateSurface (Cursor) Failed!\nDirect Draw Error Code=80004005"},
        {"QueryInterface:IDirectDrawSurface2", 0, "Direct Draw Error|Direct Draw QueryInterface (Screen) Failed!\nDirect Draw Error Code=80004002"},
    };
    dir->Write("main.dat", "");
    for (const Case& c : cases) {
        messageBoxes.clear();
        NewPresent();
        platform::dd::FailCall(c.operation, c.operation[0] == 'Q' ? E_NOINTERFACE : E_FAIL, 1, c.after);
        EXPECT_EQ(g_screen.InitDirectDraw(), 0) << c.operation;
        EXPECT_EQ(messageBoxes, std::vector<std::string>{c.message});
        platform::dd::ResetDDraw();
        ReleaseScreenSurfaces();
    }
    messageBoxes.clear();
    NewPresent();
    present->directDrawAvailable = false;
    EXPECT_EQ(g_screen.InitDirectDraw(), 0);
    EXPECT_EQ(messageBoxes, std::vector<std::string>{"Direct Draw Error|Sgx GetDirectDraw (Object) Failed!"});
    present.reset();
}

TEST_F(ScreenStartTest, AFiveFiveFiveDisplayAndAnOddCursorPicture) {
    StartScreen(true, false);
    EXPECT_EQ(g_channelBits.green, 5);
    EXPECT_EQ(MakePixel16(255, 255, 255), 0x7FFF);
    // A 16 x 16 cursor.pcx is copied row by row at the surface's pitch.
    std::vector<uint8_t> pixels(256, 0), palette(768, 0);
    palette[3] = 255;
    pixels[5 * 16 + 9] = 1;
    auto bytes = BuildPcx(16, 16, pixels.data(), palette.data());
    dir->Write("cursor.pcx", std::string(bytes.begin(), bytes.end()));
    ReleaseScreenSurfaces();
    NewPresent();
    ASSERT_EQ(g_screen.InitDirectDraw(), 1);
    EXPECT_EQ(ddtest::RawPixel(g_cursorSurface4, 9, 5), 0x7C00u);
    EXPECT_EQ(ddtest::RawPixel(g_cursorSurface4, 8, 5), 0u);
    // 8 x 8: transparent.
    bytes = BuildPcx(8, 8, pixels.data(), palette.data());
    dir->Write("cursor.pcx", std::string(bytes.begin(), bytes.end()));
    ReleaseScreenSurfaces();
    NewPresent();
    ASSERT_EQ(g_screen.InitDirectDraw(), 1);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(ddtest::RawPixel(g_cursorSurface4, x, y), 0u);
}

TEST_F(ScreenStartTest, PicturesThatCannotBeLoadedEndTheProgram) {
    StartScreen(false, false);
    EXPECT_THROW(g_screen.LoadScreenPicture("missing.pcx"), ProcessExit);
    EXPECT_THROW(g_screen.LoadSnapshotPicture("missing.pcx"), ProcessExit);
    // A snapshot picture must fill the screen.
    std::vector<uint8_t> pixels(64, 1), palette(768, 0);
    auto bytes = BuildPcx(8, 8, pixels.data(), palette.data());
    dir->Write("small.pcx", std::string(bytes.begin(), bytes.end()));
    try {
        g_screen.LoadSnapshotPicture("small.pcx");
        ADD_FAILURE() << "no exit";
    } catch (const ProcessExit& e) {
        EXPECT_EQ(e.code, 1);
    }
    EXPECT_EQ(g_screen.SnapshotPixels(), nullptr);
}

}  // namespace
