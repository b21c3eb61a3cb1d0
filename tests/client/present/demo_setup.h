#pragma once
// What the presentation demos share: their common options and the display they open on the
// sample installation.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "client/present/camera_set.h"
#include "engine/core/sg_debug_output.h"
#include "engine/core/sg_file.h"
#include "engine/render/sg_d3d_render.h"
#include "platform/fs/fs.h"
#include "platform/win/platform.h"
#include "tests/support/ddraw_device.h"

struct PresentDemo {
    int frames = -1;  // -1: until the window closes
    std::string screenshot;
    std::string install = SAMPLE_INSTALL_DIR;
    bool headless = false;
    HWND window = nullptr;
};

// Takes argv[i] (and its value) when it is --frames N, --screenshot file, --install dir or
// --headless.
inline bool TakePresentDemoOption(int argc, char** argv, int& i, PresentDemo& demo) {
    if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc)
        demo.frames = std::atoi(argv[++i]);
    else if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc)
        demo.screenshot = argv[++i];
    else if (std::strcmp(argv[i], "--install") == 0 && i + 1 < argc)
        demo.install = argv[++i];
    else if (std::strcmp(argv[i], "--headless") == 0)
        demo.headless = true;
    else
        return false;
    return true;
}

// Enters the installation, opens the game window and the presentation's renderer, scene root and
// cameras; false when any of it fails.
inline bool OpenPresentDemo(PresentDemo& demo) {
    if (!platform::ChangeDirectory(demo.install)) {
        std::fprintf(stderr, "cannot enter %s\n", demo.install.c_str());
        return false;
    }
    platform::InitWindowing(demo.headless ? platform::Backend::Headless : platform::Backend::Auto);
    // The game's own file names ("figures\\f1body1r.bmp") open only through the game's opener.
    SgSetFileOpener([](const char* path, const char* mode) { return platform::OpenGameFile(path, mode); });
    SgSetDebugOutputSink([](const char* text) { OutputDebugStringA(text); });
    demo.window = ddtest::MakeGameWindow(800, 600, ddtest::DemoWindowProc);
    ShowWindow(demo.window, SW_SHOW);
    present::CreateRenderer(demo.window);
    if (!present::IsRendererReady())
        return false;
    present::CreateSceneRoot();
    present::CreateCameras();
    present::ResetCameraViewports();
    return true;
}

// Pumps the window's messages, then draws frame(seconds) through the active camera, until the
// window closes or the frames asked for are drawn. Headless, seconds advance 1/30 a frame.
template <class Frame>
void RunPresentDemoFrames(const PresentDemo& demo, Frame frame) {
    int drawn = 0;
    const DWORD start = GetTickCount();
    while (!ddtest::DemoClosed() && (demo.frames < 0 || drawn < demo.frames)) {
        MSG msg;
        while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessage(&msg);
        frame(demo.headless ? drawn / 30.0f : static_cast<float>(GetTickCount() - start) / 1000.0f);
        present::ClearViewFrame();
        present::RenderWorldView(333);
        present::ShowViewFrame();
        ++drawn;
    }
}

// The last frame as a PNG when a screenshot was asked for; false when it cannot be written.
inline bool WritePresentDemoScreenshot(const PresentDemo& demo) {
    if (demo.screenshot.empty())
        return true;
    auto* render = static_cast<SgD3DRender*>(present::Cameras().renderer.Get());
    return ddtest::WritePng(demo.screenshot, ddtest::Capture(render->Driver()->buffers->front));
}
