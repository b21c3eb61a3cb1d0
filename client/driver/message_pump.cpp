#include "client/driver/message_pump.h"

#include "client/core/sound.h"
#include "client/driver/link_timers.h"
#include "client/net/net_handshake.h"
#include "client/net/socket_layer.h"
#include "client/screens/gws_core.h"
#include "client/screens/input.h"

HWND g_mainWindow = nullptr;
int32_t g_quitFlag = 0;
int32_t g_activityFlag = 0;
int32_t g_restoredFlag = 0;
int32_t g_savedMouseTrails = 0;

void SwitchMouseTrailsOff() {
    SystemParametersInfo(SPI_GETMOUSETRAILS, 0, &g_savedMouseTrails, 0);
    if (g_savedMouseTrails > 1)
        SystemParametersInfo(SPI_SETMOUSETRAILS, 0, nullptr, 0);
}

void RestoreMouseTrails() {
    if (g_savedMouseTrails > 1)
        SystemParametersInfo(SPI_SETMOUSETRAILS, static_cast<UINT>(g_savedMouseTrails), nullptr, 0);
}

namespace {

int MouseKind(UINT message) {
    switch (message) {
        case WM_MOUSEMOVE: return -1;
        case WM_LBUTTONDOWN: return 0;
        case WM_LBUTTONUP: return 1;
        case WM_LBUTTONDBLCLK: return 2;
        case WM_RBUTTONDOWN: return 3;
        case WM_RBUTTONUP: return 4;
        case WM_RBUTTONDBLCLK: return 5;
        case WM_MBUTTONDOWN: return 6;
        case WM_MBUTTONUP: return 7;
        case WM_MBUTTONDBLCLK: return 8;
        default: return -2;
    }
}

}  // namespace

void OnTimer(UINT_PTR id) {
    switch (id) {
        case kLinkTimer: OnLinkTimer(); return;
        case kInactivityTimer: OnInactivityTimer(); return;
        case kToolTipTimer: gwsOnToolTipTimer(); return;
        default: OnNetTimer(static_cast<int>(id)); return;
    }
}

LRESULT MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const int32_t time = GetMessageTime() * 10;
    switch (message) {
        case WM_CLOSE:
            g_quitFlag = 1;
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_KEYDOWN:
            OnKeyEvent(static_cast<uint32_t>(lParam >> 16) & 0xFFFF, time);
            g_activityFlag = 1;
            return 0;
        case WM_KEYUP:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
            OnKeyEvent(static_cast<uint32_t>(lParam >> 16) & 0xFFFF, time);
            return 0;
        case WM_SYSCHAR:
        case WM_SYSDEADCHAR:
            return 0;
        case WM_SYSCOMMAND:
            if (wParam != SC_RESTORE)
                return 0;  // no minimise, close, move or screen saver through the system
            g_restoredFlag = 1;
            ClipCursorToWindow(3, 3, 799, 599);
            return DefWindowProc(window, message, wParam, lParam);
        case WM_TIMER:
            OnTimer(wParam);
            return 0;
        case MM_MCINOTIFY:
            // A track that played to its end stops the music.
            if (wParam == MCI_NOTIFY_SUCCESSFUL)
                PlayMusic(0, 1);
            return 0;
        case WM_SOCKET_DATAGRAM:
            return ProcessDatagramSocket(&DatagramLink, wParam, lParam);
        case WM_SOCKET_STREAM:
            return ProcessStreamSocket(&StreamLink, wParam, lParam);
        case WM_SETFOCUS: {
            SetCursorMode(1);
            ClipCursorToWindow(3, 3, 799, 599);
            const LRESULT result = DefWindowProc(window, message, wParam, lParam);
            SetCursorMode(1);
            return result;
        }
        case WM_KILLFOCUS:
            SetCursorMode(1);
            ClipCursor(nullptr);
            return DefWindowProc(window, message, wParam, lParam);
        case WM_DISPLAYCHANGE: {
            const LRESULT result = DefWindowProc(window, message, wParam, lParam);
            SetCursorMode(1);
            return result;
        }
        default:
            break;
    }
    const int kind = MouseKind(message);
    if (kind == -2)
        return DefWindowProc(window, message, wParam, lParam);
    POINT point{static_cast<int16_t>(lParam & 0xFFFF), static_cast<int16_t>((lParam >> 16) & 0xFFFF)};
    ClientToScreen(window, &point);
    if (kind == 0 || kind == 3 || kind == 6)
        g_activityFlag = 1;
    OnMouseMessage(static_cast<int32_t>(wParam), time, point, kind);
    return 0;
}

DWORD PumpMessages() {
    const DWORD ticks = GetTickCount();
    MSG msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
        if (GetMessage(&msg, nullptr, 0, 0) <= 0)
            break;
        DispatchMessage(&msg);
    }
    if (g_quitFlag) {
        ClipCursor(nullptr);
        RestoreMouseTrails();
        gwsShutdown();
        ExitProcess(0);
    }
    return ticks;
}
