// Shows the 3D scene in the game's window the way the game draws: exclusive full screen at
// 800 x 600 in 16 bits, a flipping primary with a Z-buffer, the hardware device (our software
// rasteriser), one Flip per frame into the SDL window. Closes with the window.
//
//   ddraw_scene_demo [--frames N] [--screenshot file.png] [--headless]
//
// --screenshot writes the front buffer, read back with Lock, after the last frame.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/ddraw/control.h"
#include "platform/ddraw/d3d.h"
#include "platform/win/platform.h"
#include "tests/platform/ddraw/scene.h"
#include "tests/support/ddraw_device.h"

int main(int argc, char** argv) {
    int frames = -1;
    std::string screenshot;
    bool headless = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc)
            frames = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc)
            screenshot = argv[++i];
        else if (std::strcmp(argv[i], "--headless") == 0)
            headless = true;
    }
    platform::InitWindowing(headless ? platform::Backend::Headless : platform::Backend::Auto);

    HWND window = ddtest::MakeGameWindow(800, 600, ddtest::DemoWindowProc);
    ShowWindow(window, SW_SHOW);
    std::string error;
    auto screen = ddscene::FullScreen::Open(window, 800, 600, &error);
    if (!screen) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }

    int drawn = 0;
    {
        ddscene::Scene scene(screen->directDraw, screen->direct3d);
        if (!scene.Valid()) {
            std::fprintf(stderr, "the scene's textures or vertex buffer could not be made\n");
            return 1;
        }
        const DWORD start = GetTickCount();
        while (!ddtest::DemoClosed() && (frames < 0 || drawn < frames)) {
            MSG msg;
            while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessage(&msg);
            const float seconds = static_cast<float>(GetTickCount() - start) / 1000.0f;
            if (scene.Render(screen->device, screen->viewport, 800, 600, seconds) < 0) {
                std::fprintf(stderr, "drawing failed\n");
                return 1;
            }
            while (screen->front->Flip(nullptr, DDFLIP_WAIT) == DDERR_WASSTILLDRAWING) {
            }
            ++drawn;
        }
        const DWORD elapsed = GetTickCount() - start;
        std::printf("%d frames in %u ms (%.1f frames/s), %d presented\n", drawn, static_cast<unsigned>(elapsed),
                    elapsed ? drawn * 1000.0 / elapsed : 0.0, platform::dd::PresentCount());
    }
    if (!screenshot.empty()) {
        if (!ddtest::WritePng(screenshot, ddtest::Capture(screen->front))) {
            std::fprintf(stderr, "cannot write %s\n", screenshot.c_str());
            return 1;
        }
        std::printf("front buffer written to %s\n", screenshot.c_str());
    }
    screen.reset();
    platform::ResetWindowing();
    return 0;
}
