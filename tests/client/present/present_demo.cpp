// Flies through the sample installation's rooms in the game's window: the level loaded as the
// game loads it, its world built as world creation builds it, drawn by the presentation's
// first-person camera with the viewer's light on. Closes with the window or Escape.
//
//   present_demo [--frames N] [--screenshot file.png] [--headless] [--install dir]

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "client/core/level_defs.h"
#include "client/core/level_loader.h"
#include "client/present/camera_set.h"
#include "engine/core/sg_debug_output.h"
#include "engine/render/sg_d3d_render.h"
#include "platform/ddraw/control.h"
#include "platform/fs/fs.h"
#include "platform/win/platform.h"
#include "tests/support/ddraw_device.h"
#include "tests/support/recording_present.h"
#include "tests/support/world_fixture.h"

namespace {

// A loop through the four rooms (world units), turning to face the way it goes.
void Fly(float seconds) {
    const float t = std::fmod(seconds * 0.12f, 1.0f) * 6.2831853f;
    const float x = 1280 + 420 * std::cos(t), y = 1280 + 420 * std::sin(t);
    const int facing = static_cast<int>((t / 6.2831853f) * 4096.0f + 1024) & 4095;
    present::PlaceFirstPersonCamera(static_cast<int32_t>(x * 65536), static_cast<int32_t>(y * 65536), 48 * 65536,
                                    facing, 0);
}

}  // namespace

int main(int argc, char** argv) {
    int frames = -1;
    std::string screenshot, install = SAMPLE_INSTALL_DIR;
    bool headless = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc)
            frames = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc)
            screenshot = argv[++i];
        else if (std::strcmp(argv[i], "--install") == 0 && i + 1 < argc)
            install = argv[++i];
        else if (std::strcmp(argv[i], "--headless") == 0)
            headless = true;
    }
    if (!platform::ChangeDirectory(install)) {
        std::fprintf(stderr, "cannot enter %s\n", install.c_str());
        return 1;
    }
    platform::InitWindowing(headless ? platform::Backend::Headless : platform::Backend::Auto);
    SgSetDebugOutputSink([](const char* text) { OutputDebugStringA(text); });
    HWND window = ddtest::MakeGameWindow(800, 600, ddtest::DemoWindowProc);
    ShowWindow(window, SW_SHOW);

    present::CreateRenderer(window);
    if (!present::IsRendererReady())
        return 1;
    present::CreateSceneRoot();
    present::CreateCameras();
    present::ResetCameraViewports();
    {
        RecordingPresent recording;  // the level loader's own call of world creation
        if (LoadGrid("sample") != 1) {
            std::fprintf(stderr, "the sample level does not load\n");
            return 1;
        }
    }
    worldtest::BuildTestWorld("sample", present::LevelGridLayers(g_level), 1);
    present::SetWorldFog(0, 0, 0, 0, 0);
    present::SetViewerLight(1, 0, 0);

    int drawn = 0;
    const DWORD start = GetTickCount();
    while (!ddtest::DemoClosed() && (frames < 0 || drawn < frames)) {
        MSG msg;
        while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessage(&msg);
        Fly(headless ? drawn / 30.0f : static_cast<float>(GetTickCount() - start) / 1000.0f);
        present::ClearViewFrame();
        present::RenderWorldView(333);
        present::ShowViewFrame();
        ++drawn;
    }
    int result = 0;
    if (!screenshot.empty()) {
        auto* render = static_cast<SgD3DRender*>(present::Cameras().renderer.Get());
        if (!ddtest::WritePng(screenshot, ddtest::Capture(render->Driver()->buffers->front)))
            result = 1;
    }
    worldtest::ReleaseTestWorld();
    present::ReleaseRendererSurfaces();
    present::DestroySceneAndRenderer();
    return result;
}
