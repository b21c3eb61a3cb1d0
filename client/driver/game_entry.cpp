// The program's entry: the arguments joined as the command line, the crash frame, the window and
// display, then the game's driver. The process ends inside the driver's last message pump. The
// game program is this alone; the test host runs it with the scripted service inside.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "client/driver/game_entry.h"

#include "client/core/crash_report.h"
#include "client/driver/game_main.h"
#include "client/driver/message_pump.h"
#include "client/present/arena_present.h"
#include "client/present/engine_files.h"
#include "client/screens/gws_core.h"
#include "client/screens/input.h"
#include "client/screens/screen_surface.h"
#include "engine/animation/sg_animation_timing.h"
#include "engine/core/sg_debug_output.h"
#include "platform/fs/fs.h"
#include "platform/win/platform.h"

namespace {

// GAME_DIR when set; else the working directory when it holds main.dat; else the program's own.
bool EnterInstallationDirectory() {
    if (const char* dir = std::getenv("GAME_DIR"); dir && *dir)
        return platform::ChangeDirectory(dir);
    if (platform::GameFileExists("main.dat"))
        return true;
    return platform::ChangeDirectory(platform::ProgramDirectory());
}

void ConnectEngine() {
    // The engine cannot reach the platform; give it the game's file opener.
    present::InstallGameFileOpener();
    // Engine diagnostics reach the debugger output like the platform's own.
    SgSetDebugOutputSink([](const char* text) { OutputDebugStringA(text); });
    // Real-time animation runs on the platform's high-resolution counter (and its virtual clock).
    SgSetRealTimeSource(
        [] {
            int64_t count = 0;
            QueryPerformanceCounter(&count);
            return static_cast<uint64_t>(count);
        },
        [] {
            int64_t frequency = 0;
            QueryPerformanceFrequency(&frequency);
            return static_cast<uint64_t>(frequency);
        });
}

}  // namespace

int RunApplication(HINSTANCE instance, HINSTANCE, const char* commandLine, int showCommand) {
    WNDCLASS wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = instance;
    wc.lpszClassName = "Vorn";
    RegisterClass(&wc);
    g_mainWindow = CreateWindowEx(0, "Vorn", "Quorrin", WS_POPUP | WS_SYSMENU, 0, 0, 800, 600, nullptr, nullptr,
                                  instance, nullptr);
    if (!g_mainWindow)
        return 0;
    ShowWindow(g_mainWindow, showCommand);
    InvalidateRect(g_mainWindow, nullptr, FALSE);
    UpdateWindow(g_mainWindow);
    g_screen.LoadScreenLayout();
    if (!g_screen.InitDirectDraw())
        return 0;
    Sleep(300);
    gwsInit("main.dat");
    InitMouseInput();
    SetCursorPos(400, 300);
    SwitchMouseTrailsOff();
    GameMain(commandLine);
    RestoreMouseTrails();
    gwsShutdown();
    return 1;
}

int GameEntry(int argc, char** argv) {
    // The crash frame: a fault anywhere writes errorlog.txt and then goes on to the system.
    SetUnhandledExceptionFilter(CrashReportFilter);
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            commandLine += ' ';
        commandLine += argv[i];
    }
    if (!EnterInstallationDirectory()) {
        std::fprintf(stderr, "game: cannot enter the installation directory\n");
        return 1;
    }
    platform::UseClockFromEnvironment();
    InstallArenaPresent();
    ConnectEngine();
    if (const char* script = std::getenv("GAME_INPUT"); script && *script)
        platform::LoadInputScript(script);
    return RunApplication(nullptr, nullptr, commandLine.c_str(), SW_SHOW);
}
