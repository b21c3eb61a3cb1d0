// Shows the CONFIGURE KEYBOARD screen in the game's window as the game runs it, from an
// installation: the presentation, the back buffer and cursor, the window system, the
// fonts and the bindings; Exit saves them to the installation's user.dat.
//
//   screens_demo [--install dir] [--script input.txt] [--screenshot file.png] [--frames N] [--headless]
//
// --script feeds scripted input (the GAME_INPUT format); --screenshot writes the back buffer as
// the screen left it; --frames N ends the screen after N frames shown (headless without a script,
// after 100: no one could press Exit).

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "client/core/screen_state.h"
#include "client/driver/message_pump.h"
#include "client/present/present_services.h"
#include "client/screens/color_tables.h"
#include "client/screens/fonts.h"
#include "client/screens/gws_core.h"
#include "client/screens/input.h"
#include "client/screens/key_bindings.h"
#include "client/screens/screen_surface.h"
#include "platform/ddraw/control.h"
#include "platform/fs/fs.h"
#include "platform/win/platform.h"
#include "tests/client/screens/demo_screen.h"
#include "tests/support/ddraw_device.h"

int main(int argc, char** argv) {
    DemoOptions options;
    int frames = -1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc)
            frames = std::atoi(argv[++i]);
        else
            TakeDemoOption(argc, argv, i, options);
    }
    if (frames < 0 && options.headless && options.script.empty())
        frames = 100;
    const std::string& install = options.install;
    const std::string& screenshot = options.screenshot;
    if (!StartDemoScreen(options.headless, options.script, install))
        return 1;
    LoadKeyBindings();
    InitMouseInput();
    int source = -1;
    if (frames >= 0) {
        // The end of the screen's time ends the screen, as inactivity would.
        const int first = platform::dd::PresentCount();
        source = platform::AddMessageSource([first, frames] {
            if (platform::dd::PresentCount() - first >= frames)
                g_inactivityState = 2;
        });
    }
    ConfigureKeyboard();
    if (source >= 0)
        platform::RemoveMessageSource(source);
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
