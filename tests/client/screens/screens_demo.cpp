// Shows the CONFIGURE KEYBOARD screen in the game's window as the game runs it, from an
// installation: the presentation, the back buffer and cursor, the window system, the
// fonts and the bindings; Exit saves them to the installation's user.dat.
//
//   screens_demo [--install dir] [--script input.txt] [--screenshot file.png] [--headless]
//
// --script feeds scripted input (the GAME_INPUT format); --screenshot writes the back buffer as
// the screen left it.

#include <cstdio>
#include <cstring>
#include <string>

#include "client/core/message_pump.h"
#include "client/present/present_services.h"
#include "client/screens/color_tables.h"
#include "client/screens/fonts.h"
#include "client/screens/gws_core.h"
#include "client/screens/input.h"
#include "client/screens/key_bindings.h"
#include "client/screens/screen_surface.h"
#include "platform/fs/fs.h"
#include "platform/win/platform.h"
#include "tests/client/screens/demo_screen.h"
#include "tests/support/ddraw_device.h"

int main(int argc, char** argv) {
    DemoOptions options;
    for (int i = 1; i < argc; ++i)
        TakeDemoOption(argc, argv, i, options);
    const std::string& install = options.install;
    const std::string& screenshot = options.screenshot;
    if (!StartDemoScreen(options.headless, options.script, install))
        return 1;
    LoadKeyBindings();
    InitMouseInput();
    ConfigureKeyboard();
    if (!screenshot.empty()) {
        if (!ddtest::WritePng(screenshot, ddtest::Capture(g_backSurface4))) {
            std::fprintf(stderr, "cannot write %s\n", screenshot.c_str());
            return 1;
        }
        std::printf("screen written to %s\n", screenshot.c_str());
    }
    std::printf("bindings saved to %s/user.dat\n", install.c_str());
    gwsShutdown();
    DestroySceneAndRenderer();
    ReleaseScreenSurfaces();
    FreeFonts();
    return 0;
}
