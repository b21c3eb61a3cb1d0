#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/win/platform.h"
#include "platform/win/win_internal.h"

namespace platform {
namespace {

struct MiscState {
    ExitHandler exitHandler;
    DebugOutputSink debugSink;
    MessageBoxHandler boxHandler;
    int mouseTrails = 0;
};

MiscState& Misc() {
    static MiscState state;
    return state;
}

int DefaultAnswer(UINT type) {
    switch (type & 0xF) {
    case MB_YESNO: return IDYES;
    default: return IDOK;
    }
}

}  // namespace

void ResetMiscState() {
    // Handlers installed by tests stay; only the system settings go back to their start.
    Misc().mouseTrails = 0;
}

void SetExitHandler(ExitHandler handler) {
    Misc().exitHandler = std::move(handler);
}

void SetDebugOutputSink(DebugOutputSink sink) {
    Misc().debugSink = std::move(sink);
}

void SetMessageBoxHandler(MessageBoxHandler handler) {
    Misc().boxHandler = std::move(handler);
}

void SetMouseTrails(int trails) {
    Misc().mouseTrails = trails;
}

}  // namespace platform

using platform::Misc;

void ExitProcess(UINT exitCode) {
    if (Misc().exitHandler)
        Misc().exitHandler(static_cast<int>(exitCode));
    std::fflush(nullptr);
    std::exit(static_cast<int>(exitCode));
}

void OutputDebugStringA(const char* text) {
    if (!text)
        return;
    if (Misc().debugSink) {
        Misc().debugSink(text);
        return;
    }
    const char* env = std::getenv("GAME_DEBUG_OUTPUT");
    if (env && *env && std::strcmp(env, "0") != 0)
        std::fputs(text, stderr);
}

int MessageBox(HWND, const char* text, const char* caption, UINT type) {
    text = text ? text : "";
    caption = caption ? caption : "";
    if (Misc().boxHandler)
        return Misc().boxHandler(text, caption, type);
    int answer = platform::Backend_().ShowMessageBox(text, caption, type);
    if (answer >= 0)
        return answer;
    std::fprintf(stderr, "[%s] %s\n", caption, text);
    return platform::DefaultAnswer(type);
}

BOOL SystemParametersInfo(UINT action, UINT param, void* pvParam, UINT) {
    switch (action) {
    case SPI_GETMOUSETRAILS:
        if (!pvParam)
            return FALSE;
        *static_cast<int*>(pvParam) = Misc().mouseTrails;
        return TRUE;
    case SPI_SETMOUSETRAILS:
        Misc().mouseTrails = static_cast<int>(param);
        return TRUE;
    default:
        return FALSE;
    }
}
