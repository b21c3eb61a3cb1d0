// The presentation services: forwarding to the installed implementation and the recording
// double's frame.

#include "client/present/present_services.h"

#include <gtest/gtest.h>

#include "platform/ddraw/control.h"
#include "tests/support/ddraw_device.h"
#include "tests/support/recording_present.h"

namespace {

using PresentServicesDeathTest = ::testing::Test;

TEST(PresentServicesDeathTest, ACallWithNothingInstalledEndsTheProgramNamingIt) {
    ASSERT_EQ(InstalledPresentServices(), nullptr);
    EXPECT_DEATH(ShowViewFrame(), "ShowViewFrame");
    EXPECT_DEATH(SetPanelRedrawFlag(-1, 1), "SetPanelRedrawFlag");
}

// A surface of the display's format made through the double's DirectDraw object.
IDirectDrawSurface4* MakeSurface(int width, int height) {
    IDirectDraw4* dd = nullptr;
    if (!SgxGetDirectDraw(&dd))
        return nullptr;
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = static_cast<DWORD>(height);
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    IDirectDrawSurface4* surface = nullptr;
    dd->CreateSurface(&desc, &surface, nullptr);
    dd->Release();
    return surface;
}

class RecordingPresentTest : public ddtest::DDrawTest {};

TEST_F(RecordingPresentTest, ForwardsEveryCallWithItsArgumentsAndScriptedResults) {
    {
        RecordingPresent present;
        EXPECT_EQ(InstalledPresentServices(), &present);
        present.Script("SetPanelRedrawFlag", 1);
        EXPECT_EQ(SetPanelRedrawFlag(3, 0), 1);
        EXPECT_EQ(SetPanelRedrawFlag(3, 0), 0);  // the script is used once
        EXPECT_EQ(IsRendererReady(), 0);
        CreateRenderer(nullptr);
        EXPECT_EQ(IsRendererReady(), 1);
        EXPECT_EQ(CreateFigureForObject(12, "Red", 0.01f), 1);
        EXPECT_EQ(CreateFigureForObject(12, nullptr, 0.5f), 2);
        UpdateFigureAnimation(2, 1.5f, 0xFFFFFFFFu);
        PlaceThinWalls(1, 2, 3, 4, 5, 6, 7, 0, 1);
        SgxCreateWorld("sample");
        EXPECT_EQ(present.calls,
                  (std::vector<std::string>{"SetPanelRedrawFlag(3, 0)", "SetPanelRedrawFlag(3, 0)", "IsRendererReady()",
                                            "CreateRenderer(null)", "IsRendererReady()",
                                            "CreateFigureForObject(12, \"Red\", 0.01)",
                                            "CreateFigureForObject(12, null, 0.5)",
                                            "UpdateFigureAnimation(2, 1.5, 0xFFFFFFFF)",
                                            "PlaceThinWalls(1, 2, 3, 4, 5, 6, 7, 0, 1)", "SgxCreateWorld(\"sample\")"}));
        EXPECT_EQ(present.Count("SetPanelRedrawFlag"), 2u);
        // A nested double hands back to the outer one.
        {
            RecordingPresent inner;
            ShowHud(1);
            EXPECT_EQ(inner.calls, std::vector<std::string>{"ShowHud(1)"});
        }
        EXPECT_EQ(InstalledPresentServices(), &present);
    }
    EXPECT_EQ(InstalledPresentServices(), nullptr);
}

TEST_F(RecordingPresentTest, ComposesTheShownFrameFromScreenAndCursorImages) {
    RecordingPresent present;
    IDirectDrawSurface4* screen = MakeSurface(800, 600);
    IDirectDrawSurface4* cursor = MakeSurface(16, 16);
    ASSERT_TRUE(screen && cursor);
    ddtest::FillSurface(screen, [](int x, int y) { return static_cast<uint32_t>((x + y) & 0xFFFF); });
    // The cursor: a white cross on black (transparent).
    ddtest::FillSurface(cursor, [](int x, int y) { return (x == 4 || y == 4) ? 0xFFFFu : 0u; });
    CreateScreenImage(nullptr, screen);
    CreateCursorImage(nullptr, cursor);
    screen->Release();
    cursor->Release();

    const DWORD before = GetTickCount();
    ClearViewFrame();
    DrawScreenImage();
    DrawCursorImage(790, 100);  // half off the right edge
    ShowViewFrame();
    EXPECT_EQ(GetTickCount() - before, 10u);
    EXPECT_EQ(present.shownCount, 1);
    EXPECT_EQ(present.ShownPixel(7, 9), 16);
    EXPECT_EQ(present.ShownPixel(794, 100), 0xFFFF);  // the cross's column
    EXPECT_EQ(present.ShownPixel(795, 101), 795 + 101);  // transparent: the screen shows through

    // A rectangle blit over a cleared frame leaves the rest black.
    ClearViewFrame();
    BlitSurfaceToScreen(10, 20, 30, 40, 0);
    present.frameStepMs = 25;
    ShowViewFrame();
    EXPECT_EQ(GetTickCount() - before, 35u);
    EXPECT_EQ(present.ShownPixel(10, 20), 30);
    EXPECT_EQ(present.ShownPixel(29, 39), 68);
    EXPECT_EQ(present.ShownPixel(30, 39), 0);
    EXPECT_EQ(present.ShownPixel(9, 20), 0);
}

TEST_F(RecordingPresentTest, WithoutADirectDrawObjectTheScreenCannotStart) {
    RecordingPresent present;
    present.directDrawAvailable = false;
    IDirectDraw4* dd = nullptr;
    EXPECT_EQ(SgxGetDirectDraw(&dd), 0);
    EXPECT_EQ(dd, nullptr);
}

}  // namespace
