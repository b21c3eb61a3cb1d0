// The menu's figure preview in the game's window: the sample's preview scene with each player
// type in turn (a new body, head and colour each time), turning on its stand and walking.
// Closes with the window or Escape.
//
//   figures_demo [--frames N] [--screenshot file.png] [--headless] [--install dir]

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "client/present/camera_set.h"
#include "client/present/figure_loader.h"
#include "client/present/figure_textures.h"
#include "client/present/menu_figure.h"
#include "engine/core/sg_debug_output.h"
#include "engine/render/sg_d3d_render.h"
#include "platform/fs/fs.h"
#include "platform/win/platform.h"
#include "tests/support/ddraw_device.h"

namespace {

// Tenths of a millisecond per shown figure type.
constexpr int kTypeTicks = 40000;

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
    present::LoadModelTemplates("figures", 200);
    present::LoadFigureTextures();
    if (present::LoadMenuFigure("sgfs/main.sgf") != 1) {
        std::fprintf(stderr, "the preview scene does not load\n");
        return 1;
    }
    present::ActivateMenuFigureScene();

    int drawn = 0, shown = -1;
    int elapsed = 0, clock = 0;
    DWORD last = GetTickCount();
    while (!ddtest::DemoClosed() && (frames < 0 || drawn < frames)) {
        MSG msg;
        while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessage(&msg);
        const int type = (clock / kTypeTicks) % 3;
        if (type != shown) {
            shown = type;
            const int pick = clock / kTypeTicks;
            present::CreateMenuFigure(201 + type, pick % 3, pick % 4, 1 + pick % 3);
        }
        present::ClearViewFrame();
        present::AnimateMenuFigure(elapsed);
        present::DrawMenuFigureScene();
        ++drawn;
        const DWORD now = GetTickCount();
        elapsed = headless ? 333 : static_cast<int>(now - last) * 10;
        last = now;
        clock += elapsed;
    }
    int result = 0;
    if (!screenshot.empty()) {
        auto* render = static_cast<SgD3DRender*>(present::Cameras().renderer.Get());
        if (!ddtest::WritePng(screenshot, ddtest::Capture(render->Driver()->buffers->front)))
            result = 1;
    }
    present::DestroyMenuFigureScene();
    present::FreeFigureResources();
    present::ReleaseRendererSurfaces();
    present::DestroySceneAndRenderer();
    return result;
}
