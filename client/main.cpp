// The game program. For now a scaffold for the start-up code that comes later: it moves to its
// installation directory, opens its window, starts error.log and pumps messages until the window
// is closed. A crash anywhere writes errorlog.txt beside the program.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "client/core/crash_report.h"
#include "client/core/error_log.h"
#include "client/present/arena_present.h"
#include "engine/animation/sg_animation_timing.h"
#include "engine/core/sg_debug_output.h"
#include "engine/core/sg_file.h"
#include "platform/fs/fs.h"
#include "platform/win/platform.h"

namespace {

bool g_quit = false;

LRESULT ScaffoldWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        g_quit = true;
        return 0;
    }
    return DefWindowProc(hwnd, message, wParam, lParam);
}

// GAME_DIR when set; else the working directory when it holds main.dat; else the program's own.
bool EnterInstallationDirectory() {
    if (const char* dir = std::getenv("GAME_DIR"); dir && *dir)
        return platform::ChangeDirectory(dir);
    if (platform::GameFileExists("main.dat"))
        return true;
    return platform::ChangeDirectory(platform::ProgramDirectory());
}

}  // namespace

int main(int, char**) {
    SetUnhandledExceptionFilter(CrashReportFilter);
    if (!EnterInstallationDirectory()) {
        std::fprintf(stderr, "game: cannot enter the installation directory\n");
        return 1;
    }
    OpenErrorLog();
    InstallArenaPresent();
    // The engine cannot reach the platform; give it the game's file opener.
    SgSetFileOpener([](const char* path, const char* mode) { return platform::OpenGameFile(path, mode); });
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

    WNDCLASS wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = ScaffoldWndProc;
    wc.lpszClassName = "Vorn";
    RegisterClass(&wc);
    HWND hwnd = CreateWindowEx(0, "Vorn", "Quorrin", WS_POPUP | WS_SYSMENU, 0, 0, 800, 600, nullptr, nullptr,
                               nullptr, nullptr);
    if (!hwnd)
        return 1;
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    if (const char* script = std::getenv("GAME_INPUT"); script && *script)
        platform::LoadInputScript(script);

    MSG msg;
    while (!g_quit) {
        BOOL r = GetMessage(&msg, nullptr, 0, 0);
        if (r <= 0)
            break;
        DispatchMessage(&msg);
    }
    CloseErrorLog();
    return 0;
}
