// Walks through the sample arena in the game's window as the game plays it offline: the level
// and its world, the HUD, the player's own figure and the level's figures, the arena frame each
// turn. The keys are the game's (arrows walk and turn, page keys look up and down, F3 switches
// between the eye view and the chase view); the window or Escape then Leave ends it.
//
//   arena_demo [--install dir] [--script input.txt] [--frames N] [--screenshot file.png]
//              [--chase] [--headless]

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "client/arena/local_player.h"
#include "client/arena/spell.h"
#include "client/core/game_values.h"
#include "client/driver/arena_loop.h"
#include "client/driver/message_pump.h"
#include "client/present/camera_set.h"
#include "client/present/present_services.h"
#include "client/screens/fonts.h"
#include "client/screens/gws_core.h"
#include "client/screens/input.h"
#include "client/screens/key_bindings.h"
#include "client/screens/main_menu.h"
#include "client/screens/screen_surface.h"
#include "engine/render/sg_d3d_render.h"
#include "platform/win/platform.h"
#include "tests/client/driver/offline_arena.h"
#include "tests/client/screens/demo_screen.h"
#include "tests/support/ddraw_device.h"

namespace {

// The front buffer as the window shows it.
bool WriteFront(const std::string& path) {
    auto* render = static_cast<SgD3DRender*>(present::Cameras().renderer.Get());
    if (!render || !render->Driver() || !render->Driver()->buffers)
        return false;
    return ddtest::WritePng(path, ddtest::Capture(render->Driver()->buffers->front));
}

}  // namespace

int main(int argc, char** argv) {
    DemoOptions options;
    bool chase = false;
    int frames = -1;
    for (int i = 1; i < argc; ++i) {
        if (TakeDemoOption(argc, argv, i, options))
            continue;
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc)
            frames = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--chase") == 0)
            chase = true;
    }
    if (!StartDemoScreen(options.headless, options.script, options.install))
        return 1;
    LoadArenaTables();

    LocalPlayer player{};
    PrepareOfflineArena(player, "sample", 2);
    if (BeginArenaGame(player, 0) != 1) {
        std::fprintf(stderr, "the arena cannot be entered\n");
        return 1;
    }
    // World creation starts every level in the eye view.
    if (chase)
        ToggleViewMode();
    int drawn = 0;
    while (!g_quitFlag && (frames < 0 || drawn < frames)) {
        if (!RunArenaFrame(player))
            break;
        ++drawn;
    }
    int result = 0;
    if (!options.screenshot.empty()) {
        if (WriteFront(options.screenshot)) {
            std::printf("frame written to %s\n", options.screenshot.c_str());
        } else {
            std::fprintf(stderr, "cannot write %s\n", options.screenshot.c_str());
            result = 1;
        }
    }
    std::printf("%d frames\n", drawn);
    EndArenaGame(player);
    StopDemoDisplay();
    FreeFonts();
    return result;
}
