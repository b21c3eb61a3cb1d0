// The arena HUD over the sample's first room in the game's window: the 2D screen's texts drawn
// into the back buffer by the screens code and copied into the HUD panels, the map tiles, bars,
// indicators and icons, over the world drawn by the first-person camera. The bars and the nexus
// gauges swing so every element moves; the map switches between window and whole map.
// Closes with the window or Escape.
//
//   hud_demo [--frames N] [--screenshot file.png] [--headless] [--install dir]

#include <cmath>
#include <cstdio>
#include <cstring>

#include "client/arena/game_input.h"
#include "client/arena/local_player.h"
#include "client/arena/player_view.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "client/core/screen_state.h"
#include "client/driver/message_pump.h"
#include "client/level/level_loader.h"
#include "client/present/arena_present.h"
#include "client/present/camera_set.h"
#include "client/present/hud_panels.h"
#include "client/present/screen_polys.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/color_tables.h"
#include "client/screens/fonts.h"
#include "client/screens/main_menu.h"
#include "client/screens/notice_lines.h"
#include "client/screens/screen_surface.h"
#include "engine/render/sg_d3d_render.h"
#include "platform/fs/fs.h"
#include "platform/win/platform.h"
#include "tests/client/present/demo_setup.h"
#include "tests/support/ddraw_device.h"
#include "tests/support/world_fixture.h"

namespace {

LocalPlayer g_player{};
PlayerView g_view{};

// The player's values swing with time: every bar and gauge moves.
void Swing(float seconds) {
    const auto wave = [seconds](float rate, float phase) { return 0.5f + 0.5f * std::sin(seconds * rate + phase); };
    SetGameValue(107, static_cast<int>(100 * wave(0.9f, 0)));
    SetGameValue(108, 100);
    SetGameValue(111, static_cast<int>(80 * wave(0.7f, 1)));
    SetGameValue(112, 80);
    SetGameValue(109, static_cast<int>(200 * wave(0.5f, 2)));
    SetGameValue(110, 200);
    for (int n = 0; n < 3; ++n) {
        ShrineDef& s = g_level.shrines[n];
        s.found = 1;
        s.alignment = n + 1;
        s.bias = static_cast<int>(100 * wave(0.6f + 0.2f * n, static_cast<float>(n)));
    }
}

}  // namespace

int main(int argc, char** argv) {
    PresentDemo demo;
    for (int i = 1; i < argc; ++i)
        TakePresentDemoOption(argc, argv, i, demo);
    if (!platform::ChangeDirectory(demo.install)) {
        std::fprintf(stderr, "cannot enter %s\n", demo.install.c_str());
        return 1;
    }
    platform::InitWindowing(demo.headless ? platform::Backend::Headless : platform::Backend::Auto);
    InstallArenaPresent();
    g_mainWindow = ddtest::MakeGameWindow(800, 600, ddtest::DemoWindowProc);
    ShowWindow(g_mainWindow, SW_SHOW);
    g_screen.LoadScreenLayout();
    if (!g_screen.InitDirectDraw())
        return 1;
    init_lightsource("color.dat", g_channelBits);
    if (!LoadFonts("main.dat", "fonts")) {
        std::fprintf(stderr, "the fonts cannot be loaded\n");
        return 1;
    }
    // The arena presentation builds the world as the level loads.
    WorldTextureOption = 1;
    if (LoadGrid("sample") != 1) {
        std::fprintf(stderr, "the level sample does not load\n");
        return 1;
    }
    present::SetViewerLight(1, 0, 0);

    g_player.eye_height = 48;
    g_localPlayer = &g_player;
    g_view.x = g_view.y = 1280;
    g_view.pos_x = g_view.pos_y = 1280 << 16;
    g_view.z = 48;
    g_playerView = &g_view;
    SetGameValue(4, 1);
    g_screenState = 1;  // the arena's layout of the 2D texts
    std::memset(g_screen.backBuffer, 0, kScreenPixels * sizeof(uint16_t));
    present::SgxCreateSceenPolys();
    present::ShowHud(1);
    PrintMessage(0, "Welcome to the sample arena.", 4, 0);
    PrintMessage(0, "The HUD is copied from the 2D screen.", 5, 0);
    SetStatusText("Standing in the first room", 2);
    DrawStatusText();
    for (int item = 0; item < 8; ++item)
        present::SetHudItemIcon(item, item * 9 + 1);

    int frames = 0;
    RunPresentDemoFrames(demo, [&frames](float seconds) {
        Swing(seconds);
        if (++frames % 150 == 0)
            MapShown = !MapShown;
        present::PlaceFirstPersonCamera(g_view.pos_x, g_view.pos_y, g_view.z << 16,
                                        static_cast<int>(seconds * 300) & 4095, 0);
        FrameDelta = 333;
        present::UpdateHudPanels();
    });
    const int result = WritePresentDemoScreenshot(demo) ? 0 : 1;
    present::DestroyScreenPolys();
    present::DestroyHudPanelsAndTiles();
    worldtest::ReleaseTestWorld();
    g_screen.DestroyScreenSurface();
    present::ReleaseRendererSurfaces();
    present::DestroySceneAndRenderer();
    return result;
}
