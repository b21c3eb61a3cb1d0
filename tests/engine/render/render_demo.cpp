// Shows a model of the sample installation through the engine's Direct3D renderer in the game's
// window: the windowed renderer over our DirectDraw (the hardware device, our rasteriser), the
// scene drawn by a camera and presented once a frame. Closes with the window or Escape.
//
//   render_demo [--scene sample|arena|rooms] [--frames N] [--screenshot file.png] [--headless]
//               [--install dir]
//
// --screenshot writes the primary surface, read back with Lock, after the last frame.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/core/sg_camera.h"
#include "engine/core/sg_debug_output.h"
#include "engine/core/sg_display.h"
#include "engine/core/sg_stream.h"
#include "engine/render/sg_d3d_render.h"
#include "engine/render/sg_dd_environment.h"
#include "engine/render/sg_dd_image.h"
#include "engine/render/sg_render_debug.h"
#include "platform/ddraw/control.h"
#include "platform/win/platform.h"
#include "tests/support/ddraw_device.h"
#include "tools/writers/arena_scene.h"
#include "tools/writers/room_model.h"
#include "tools/writers/sample_model.h"

namespace {

// Where the camera stands at a time: the sample model is looked at from +x, swinging a little;
// the arena is walked into from its south wall; the rooms are walked through from the east,
// looking west through the openings and north towards the panel on room 0's north wall.
void PlaceCamera(SgCamera* camera, bool arena, bool rooms, float seconds) {
    if (rooms) {
        const float yaw = 3.14159265f - 0.45f + 0.3f * std::sin(seconds * 0.5f);
        camera->localTranslation = {22.0f - std::fmod(seconds * 2.0f, 24.0f), -1.0f, -3.5f};
        camera->localRotation = SgMat3::Rotation(4, yaw);
    } else if (arena) {
        const float yaw = 1.5707963f + 0.35f * std::sin(seconds * 0.5f);
        camera->localTranslation = {kArenaEye.x, kArenaEye.y, kArenaEye.z + std::fmod(seconds * 2.0f, 20.0f)};
        camera->localRotation = SgMat3::Rotation(4, yaw);
    } else {
        const float swing = 0.4f * std::sin(seconds * 0.7f);
        camera->localTranslation = {10 + 10 * std::cos(swing), 0.3f, 10 * std::sin(swing)};
        camera->localRotation = SgMat3::Rotation(4, 3.14159265f - swing);
    }
    camera->UpdateAllStates();
}

}  // namespace

int main(int argc, char** argv) {
    int frames = -1;
    std::string screenshot, scene = "sample", install = SAMPLE_INSTALL_DIR;
    bool headless = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc)
            frames = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc)
            screenshot = argv[++i];
        else if (std::strcmp(argv[i], "--scene") == 0 && i + 1 < argc)
            scene = argv[++i];
        else if (std::strcmp(argv[i], "--install") == 0 && i + 1 < argc)
            install = argv[++i];
        else if (std::strcmp(argv[i], "--headless") == 0)
            headless = true;
    }
    const bool arena = scene == "arena", rooms = scene == "rooms";
    // World textures are drawn with their mip chains.
    SgImage::SetMipmapSwitch(true);
    platform::InitWindowing(headless ? platform::Backend::Headless : platform::Backend::Auto);
    SgSetDebugOutputSink([](const char* text) { OutputDebugStringA(text); });

    HWND window = ddtest::MakeGameWindow(800, 600, ddtest::DemoWindowProc);
    ShowWindow(window, SW_SHOW);
    SgSetRenderWindow(window);
    SgRenderCreateParams params;
    params.window = window;
    params.flags = 11;
    SgRef<SgD3DRender> render = SgD3DRender::Create(params);
    if (!render) {
        std::fprintf(stderr, "no renderer: %s\n", RenderLastFailure());
        return 1;
    }
    render->SetBackgroundColor({0.08f, 0.08f, 0.12f});

    int drawn = 0;
    {
        SgSceneStream stream;
        const std::string path =
            install + "/" + (arena ? kArenaSceneFile : rooms ? kRoomModelFile : kSampleModelFile);
        if (!stream.LoadFromFile(path.c_str()) || stream.TopLevelCount() != 1) {
            std::fprintf(stderr, "%s: %s\n", path.c_str(), SgSceneStream::ErrorMessage());
            return 1;
        }
        SgRef<SgNode> root(SgKindCast<SgNode>(stream.TopLevelObject(0)));
        if (!root) {
            std::fprintf(stderr, "%s holds no node\n", path.c_str());
            return 1;
        }
        if (!arena && !rooms)
            root->localTranslation = {10, 0, 0};
        root->UpdateAllStates();
        SgRef<SgDisplay> display(new SgDisplay);
        display->SetRenderer(render.Get());
        SgRef<SgCamera> camera(new SgCamera);
        camera->frustum = arena || rooms ? SgFrustum{-0.1f, 0.1f, 0.075f, -0.075f, 0.1f, 64}
                                : SgFrustum{-0.25f, 0.25f, 0.1875f, -0.1875f, 1, 100};
        camera->useDeferralPass = 1;
        camera->SetDisplay(display.Get());
        camera->SetSceneRoot(root.Get());

        const DWORD start = GetTickCount();
        while (!ddtest::DemoClosed() && (frames < 0 || drawn < frames)) {
            MSG msg;
            while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessage(&msg);
            const float seconds = headless ? drawn / 30.0f : static_cast<float>(GetTickCount() - start) / 1000.0f;
            PlaceCamera(camera.Get(), arena, rooms, seconds);
            camera->PassViewToRenderer(SgRender::kClearFrame | SgRender::kClearDepth);
            camera->RenderFrame(seconds);
            camera->FinishView();
            ++drawn;
        }
        const DWORD elapsed = GetTickCount() - start;
        std::printf("%d frames in %u ms (%.1f frames/s), %d presented\n", drawn, static_cast<unsigned>(elapsed),
                    elapsed ? drawn * 1000.0 / elapsed : 0.0, platform::dd::PresentCount());
        camera->SetSceneRoot(nullptr);
        camera->SetDisplay(nullptr);
        display->SetRenderer(nullptr);
    }
    int result = 0;
    if (!screenshot.empty()) {
        if (!ddtest::WritePng(screenshot, ddtest::Capture(render->Driver()->buffers->front))) {
            std::fprintf(stderr, "cannot write %s\n", screenshot.c_str());
            result = 1;
        } else {
            std::printf("frame written to %s\n", screenshot.c_str());
        }
    }
    render = nullptr;
    SgD3DRender::ReleaseCurrent();
    ReleaseDDEnvironment();
    SgDDImage::SetGlobalPalette(nullptr);
    SgDDImage::SetDirectDraw(nullptr);
    platform::ResetWindowing();
    return result;
}
