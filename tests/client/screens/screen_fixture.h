#pragma once
// A started 2D screen for tests: headless window with the game's window procedure, the recording
// presentation, the back buffer and cursor made by InitDirectDraw, the window system, input in
// its start state, and the sample fonts loaded from a fresh working directory.

#include <memory>
#include <string>
#include <vector>

#include "client/screens/screen_surface.h"
#include "tests/support/ddraw_device.h"
#include "tests/support/recording_present.h"
#include "tests/support/temp_dir.h"

class ScreenFixture : public ddtest::DDrawTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the screen (and fonts when withFonts), with 5-6-5 or 5-5-5 pixels, through the
    // services given (the game's own presentation, say) or else a recording presentation.
    void StartScreen(bool five55 = false, bool withFonts = true, PresentServices* services = nullptr);

    // The started screen with the sample menu art and menu.dat in the working directory (main.pcx
    // also as the character screen's background), no settings read before them kept, no
    // character and no game values.
    void StartMenuScreen();
    // The back buffer as an image (0xAARRGGBB) for golden comparison.
    ddtest::Image BackBufferImage() const;
    // A 16-bit pixel of the back buffer.
    uint16_t At(int x, int y) const { return g_screen.backBuffer[y * kScreenWidth + x]; }
    // A fresh recording presentation in place of the current one.
    void NewPresent() {
        present.reset();
        present = std::make_unique<RecordingPresent>();
    }
    // Pumps the queued window messages through the game's window procedure.
    void PumpQueue();
    // Feeds the current cursor to the window system (as a screen loop does each frame).
    void FeedCursor();
    // Moves the pointer and pumps; press / release a button at the point and pump.
    void MoveTo(int x, int y);
    void Click(platform::MouseButton button, int x, int y);
    void Press(platform::MouseButton button, int x, int y, bool down);

    std::unique_ptr<TempDir> dir;
    std::unique_ptr<RecordingPresent> present;
    // What StartScreen's services replaced, put back at the end.
    PresentServices* replacedServices = nullptr;
    bool ownServices = false;
    HWND window = nullptr;
    std::string goldenDir;
};

// A 16-bit pixel of the display format as 0xAARRGGBB.
uint32_t ExpandPixel(uint16_t pixel);

// The overhead-map buffer as an image: 0 black, then each group of 32 a ramp of grey, red,
// yellow, blue, magenta and cyan.
ddtest::Image MapBufferImage();
