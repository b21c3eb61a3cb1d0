#include "tests/client/screens/demo_screen.h"

#include <cstdio>
#include <cstring>

#include "client/arena/spell.h"
#include "client/driver/message_pump.h"
#include "client/present/arena_present.h"
#include "client/present/camera_set.h"
#include "client/present/engine_files.h"
#include "client/screens/color_tables.h"
#include "client/screens/fonts.h"
#include "client/screens/gws_core.h"
#include "client/screens/input.h"
#include "client/screens/key_bindings.h"
#include "client/screens/screen_surface.h"
#include "engine/core/sg_file.h"
#include "engine/render/sg_dd_environment.h"
#include "engine/render/sg_dd_image.h"
#include "platform/fs/fs.h"
#include "platform/win/platform.h"
#include "tests/support/ddraw_device.h"

bool TakeDemoShots(std::vector<DemoShot>& shots, uint32_t elapsed) {
    bool ok = true;
    for (DemoShot& s : shots) {
        if (s.taken || elapsed < s.ms)
            continue;
        s.taken = true;
        if (ddtest::WritePng(s.path, ddtest::Capture(g_backSurface4)))
            std::printf("screen written to %s\n", s.path.c_str());
        else
            ok = false;
    }
    return ok;
}

bool TakeDemoOption(int argc, char** argv, int& i, DemoOptions& options) {
    if (std::strcmp(argv[i], "--install") == 0 && i + 1 < argc)
        options.install = argv[++i];
    else if (std::strcmp(argv[i], "--script") == 0 && i + 1 < argc)
        options.script = argv[++i];
    else if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc)
        options.screenshot = argv[++i];
    else if (std::strcmp(argv[i], "--headless") == 0)
        options.headless = true;
    else
        return false;
    return true;
}

bool StartDemoScreen(bool headless, const std::string& script, const std::string& install) {
    platform::InitWindowing(headless ? platform::Backend::Headless : platform::Backend::Auto);
    // GAME_CLOCK=virtual, as the game reads it: a scripted run then repeats on a loaded machine.
    platform::UseClockFromEnvironment();
    // Read before entering the installation, so a relative name means what it says.
    if (!script.empty() && !platform::LoadInputScript(script)) {
        std::fprintf(stderr, "cannot read %s\n", script.c_str());
        return false;
    }
    if (!platform::ChangeDirectory(install)) {
        std::fprintf(stderr, "cannot enter %s\n", install.c_str());
        return false;
    }
    InstallArenaPresent();
    g_mainWindow = ddtest::MakeGameWindow(800, 600, MainWndProc);
    ShowWindow(g_mainWindow, SW_SHOW);
    g_screen.LoadScreenLayout();
    if (!g_screen.InitDirectDraw())
        return false;
    init_lightsource("color.dat", g_channelBits);
    gwsInit("main.dat");
    if (!LoadFonts("main.dat", "fonts")) {
        std::fprintf(stderr, "the fonts cannot be loaded\n");
        return false;
    }
    return true;
}

void LoadArenaTables() {
    // As the game at start: the figure textures are named "figures\f1body1r.bmp" and so on.
    present::InstallGameFileOpener();
    LoadKeyBindings();
    InitMouseInput();
    LoadModelTemplates("sgfs", 0);
    LoadModelTemplates("figures", 200);
    LoadFigureTextures();
    LoadSpellData(0);
}

void StopDemoDisplay() {
    gwsShutdown();
    FreeFigureResources();
    ReleaseScreenSurfaces();
    present::ReleaseRendererSurfaces();
    present::DestroySceneAndRenderer();
    present::Cameras() = present::CameraSet{};
    ReleaseDDEnvironment();
    SgDDImage::SetGlobalPalette(nullptr);
    SgSetFileOpener(nullptr);
}
