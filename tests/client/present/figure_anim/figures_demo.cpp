// The menu's figure preview in the game's window: the sample's preview scene with each player
// type in turn (a new body, head and colour each time), turning on its stand and walking.
// Closes with the window or Escape. --animation plays that animation index (0 walk, 2 run, 12
// death, 16 the cast's arm raise, ...) instead of the walk.
//
//   figures_demo [--animation N] [--frames N] [--screenshot file.png] [--headless] [--install dir]

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "client/present/camera_set.h"
#include "client/present/figure_anim_state.h"
#include "client/present/figure_animation.h"
#include "client/present/figure_loader.h"
#include "client/present/figure_textures.h"
#include "client/present/menu_figure.h"
#include "engine/render/sg_d3d_render.h"
#include "platform/win/platform.h"
#include "tests/client/present/demo_setup.h"
#include "tests/support/ddraw_device.h"

namespace {

// Tenths of a millisecond per shown figure type.
constexpr int kTypeTicks = 40000;

}  // namespace

int main(int argc, char** argv) {
    PresentDemo demo;
    int animation = -1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--animation") == 0 && i + 1 < argc)
            animation = std::atoi(argv[++i]);
        else
            TakePresentDemoOption(argc, argv, i, demo);
    }
    if (!OpenPresentDemo(demo))
        return 1;
    present::LoadModelTemplates("figures", 200);
    present::LoadFigureTextures();
    // A texture file that does not read leaves its slot empty and the figure white.
    if (!present::BodyTexture(0) || !present::BodyTexture(0)->CurrentImage()) {
        std::fprintf(stderr, "the sample's figure textures do not read\n");
        return 1;
    }
    if (present::LoadMenuFigure("sgfs/main.sgf") != 1) {
        std::fprintf(stderr, "the preview scene does not load\n");
        return 1;
    }
    present::ActivateMenuFigureScene();

    int drawn = 0, shown = -1;
    int elapsed = 0, clock = 0;
    DWORD last = GetTickCount();
    while (!ddtest::DemoClosed() && (demo.frames < 0 || drawn < demo.frames)) {
        MSG msg;
        while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessage(&msg);
        const int type = (clock / kTypeTicks) % 3;
        if (type != shown) {
            shown = type;
            const int pick = clock / kTypeTicks;
            present::CreateMenuFigure(201 + type, pick % 3, pick % 4, 1 + pick % 3);
            SgNode* figure = present::MenuFigure().figure.Get();
            if (const int played = present::AnimationTemplate(201 + type, animation); figure && played)
                present::CopyFigureAnimation(present::TemplateNode(played), figure, present::TemplateNode(201 + type),
                                             present::kAllBones);
        }
        present::ClearViewFrame();
        present::AnimateMenuFigure(elapsed);
        present::DrawMenuFigureScene();
        ++drawn;
        const DWORD now = GetTickCount();
        elapsed = demo.headless ? 333 : static_cast<int>(now - last) * 10;
        last = now;
        clock += elapsed;
    }
    int result = 0;
    if (!demo.screenshot.empty()) {
        auto* render = static_cast<SgD3DRender*>(present::Cameras().renderer.Get());
        if (!ddtest::WritePng(demo.screenshot, ddtest::Capture(render->Driver()->buffers->front)))
            result = 1;
    }
    present::DestroyMenuFigureScene();
    present::FreeFigureResources();
    present::ReleaseRendererSurfaces();
    present::DestroySceneAndRenderer();
    return result;
}
