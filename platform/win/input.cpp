// Keyboard and mouse as the window messages real input produces: scan codes and key flags in
// lParam, the asynchronous key state, button bits, double clicks, the tracked cursor with its
// clip rectangle and display count, and headless input scripts.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win/platform.h"
#include "platform/win/win_internal.h"

namespace platform {
namespace {

// The double-click rules of the system we stand in for: the second press within 500 ms and
// within a 4 x 4 pixel box of the first.
constexpr uint64_t kDoubleClickMs = 500;
constexpr int kDoubleClickHalfBox = 2;

// Scan code (set 1, not extended) to virtual key, for a US layout with Num Lock off; codes not
// listed have none.
constexpr int kScanToVk[128] = {
    /* 0x00 */ 0, VK_ESCAPE, '1', '2', '3', '4', '5', '6',
    /* 0x08 */ '7', '8', '9', '0', VK_OEM_MINUS, VK_OEM_PLUS, VK_BACK, VK_TAB,
    /* 0x10 */ 'Q', 'W', 'E', 'R', 'T', 'Y', 'U', 'I',
    /* 0x18 */ 'O', 'P', VK_OEM_4, VK_OEM_6, VK_RETURN, VK_CONTROL, 'A', 'S',
    /* 0x20 */ 'D', 'F', 'G', 'H', 'J', 'K', 'L', VK_OEM_1,
    /* 0x28 */ VK_OEM_7, VK_OEM_3, VK_SHIFT, VK_OEM_5, 'Z', 'X', 'C', 'V',
    /* 0x30 */ 'B', 'N', 'M', VK_OEM_COMMA, VK_OEM_PERIOD, VK_OEM_2, VK_SHIFT, VK_MULTIPLY,
    /* 0x38 */ VK_MENU, VK_SPACE, VK_CAPITAL, VK_F1, VK_F1 + 1, VK_F1 + 2, VK_F1 + 3, VK_F1 + 4,
    /* 0x40 */ VK_F1 + 5, VK_F1 + 6, VK_F1 + 7, VK_F1 + 8, VK_F1 + 9, VK_NUMLOCK, VK_SCROLL, VK_HOME,
    /* 0x48 */ VK_UP, VK_PRIOR, VK_SUBTRACT, VK_LEFT, VK_CLEAR, VK_RIGHT, VK_ADD, VK_END,
    /* 0x50 */ VK_DOWN, VK_NEXT, VK_INSERT, VK_DELETE, 0, 0, VK_OEM_102, VK_F1 + 10,
    /* 0x58 */ VK_F1 + 11,
};

int VkForKey(int scan, bool extended) {
    if (extended) {
        switch (scan) {
        case 0x35: return VK_DIVIDE;
        case 0x37: return VK_SNAPSHOT;
        case 0x5B: return VK_LWIN;
        case 0x5C: return VK_RWIN;
        default: break;
        }
    }
    return (scan >= 0 && scan < 128) ? kScanToVk[scan] : 0;
}

struct ScriptEvent {
    uint64_t atMs;
    std::string line;
};

struct InputState {
    bool keyDown[512] = {};     // by scan code, +256 for extended keys
    int vkDownCount[256] = {};  // physical keys holding each virtual key
    bool buttons[3] = {};
    int cursorX = 0;
    int cursorY = 0;
    bool clipped = false;
    RECT clip{};
    int displayCount = 0;
    // Double-click tracking.
    int lastDownButton = -1;
    uint64_t lastDownMs = 0;
    int lastDownX = 0;
    int lastDownY = 0;
    std::vector<ScriptEvent> script;
    size_t scriptPos = 0;
};

InputState& Input() {
    static InputState state;
    return state;
}

WPARAM ButtonBits() {
    InputState& in = Input();
    WPARAM bits = 0;
    if (in.buttons[0])
        bits |= MK_LBUTTON;
    if (in.buttons[1])
        bits |= MK_RBUTTON;
    if (in.buttons[2])
        bits |= MK_MBUTTON;
    if (in.vkDownCount[VK_SHIFT] > 0)
        bits |= MK_SHIFT;
    if (in.vkDownCount[VK_CONTROL] > 0)
        bits |= MK_CONTROL;
    return bits;
}

LPARAM PointParam(int x, int y) {
    return static_cast<LPARAM>((static_cast<uint32_t>(static_cast<uint16_t>(x))) |
                               (static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16));
}

void ClampToClip(int& x, int& y) {
    InputState& in = Input();
    if (!in.clipped)
        return;
    x = std::clamp(x, static_cast<int>(in.clip.left), std::max(static_cast<int>(in.clip.left), static_cast<int>(in.clip.right) - 1));
    y = std::clamp(y, static_cast<int>(in.clip.top), std::max(static_cast<int>(in.clip.top), static_cast<int>(in.clip.bottom) - 1));
}

// The pointer now in client coordinates: the backend's live one when it has one (kept as the
// tracked place too), else the tracked place.
POINT PointerNow() {
    InputState& in = Input();
    int x = 0, y = 0;
    if (Backend_().PointerPosition(&x, &y)) {
        ClampToClip(x, y);
        in.cursorX = x;
        in.cursorY = y;
    }
    return POINT{in.cursorX, in.cursorY};
}

// Window origin of the main window (screen = client + origin).
POINT Origin() {
    WindowFacts f;
    if (HWND w = MainWindow(); w && GetWindowFacts(w, &f))
        return POINT{f.x, f.y};
    return POINT{0, 0};
}

void RunScriptLine(const std::string& line) {
    std::istringstream in(line);
    uint64_t at;
    std::string what;
    in >> at >> what;
    if (what == "key") {
        int scan = 0;
        std::string state, ext;
        in >> scan >> state >> ext;
        InjectKey(scan, state == "down", ext == "ext");
    } else if (what == "move") {
        int x = 0, y = 0;
        in >> x >> y;
        InjectMouseMove(x, y);
    } else if (what == "button") {
        std::string which, state;
        int x = 0, y = 0;
        in >> which >> state >> x >> y;
        MouseButton b = which == "right" ? MouseButton::Right : which == "middle" ? MouseButton::Middle : MouseButton::Left;
        InjectMouseButton(b, state == "down", x, y);
    } else if (what == "close") {
        InjectCloseRequest();
    } else if (what == "screenshot") {
        std::string path;
        std::getline(in >> std::ws, path);
        RequestScreenshot(path);
    } else if (what == "quit") {
        if (HWND w = MainWindow())
            PostMessage(w, WM_CLOSE, 0, 0);
    }
}

}  // namespace

void ResetInputState() {
    Input() = InputState{};
}

void SetCursorClientPos(int x, int y) {
    Input().cursorX = x;
    Input().cursorY = y;
}

void InjectKey(int set1ScanCode, bool down, bool extended) {
    HWND w = MainWindow();
    InputState& in = Input();
    int scan = set1ScanCode & 0xFF;
    int slot = scan + (extended ? 256 : 0);
    bool wasDown = in.keyDown[slot];
    int vk = VkForKey(scan, extended);
    if (down && !wasDown && vk)
        ++in.vkDownCount[vk];
    if (!down && wasDown && vk && in.vkDownCount[vk] > 0)
        --in.vkDownCount[vk];
    in.keyDown[slot] = down;

    bool altHeld = in.vkDownCount[VK_MENU] > 0;
    bool sys = vk == VK_MENU || vk == VK_F1 + 9 || (altHeld && vk != VK_MENU);
    UINT message = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
    uint32_t lp = 1u | (static_cast<uint32_t>(scan) << 16);
    if (extended)
        lp |= 1u << 24;
    if (altHeld && vk != VK_MENU)
        lp |= 1u << 29;
    if (wasDown || !down)
        lp |= 1u << 30;
    if (!down)
        lp |= 1u << 31;
    if (w)
        PostInputMessage(w, message, static_cast<WPARAM>(vk), static_cast<LPARAM>(static_cast<int64_t>(static_cast<int32_t>(lp))));
}

void InjectMouseMove(int x, int y) {
    ClampToClip(x, y);
    SetCursorClientPos(x, y);
    if (HWND w = MainWindow())
        PostInputMessage(w, WM_MOUSEMOVE, ButtonBits(), PointParam(x, y));
}

void InjectMouseButton(MouseButton button, bool down, int x, int y) {
    InputState& in = Input();
    ClampToClip(x, y);
    SetCursorClientPos(x, y);
    int b = static_cast<int>(button);
    static constexpr UINT kDown[3] = {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
    static constexpr int kVk[3] = {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON};
    in.buttons[b] = down;
    in.vkDownCount[kVk[b]] = down ? 1 : 0;
    HWND w = MainWindow();
    if (!w)
        return;
    UINT message = down ? kDown[b] : kDown[b] + 1;
    if (down) {
        WindowFacts f;
        GetWindowFacts(w, &f);
        uint64_t now = NowMillis();
        bool dbl = (f.classStyle & CS_DBLCLKS) && in.lastDownButton == b && now - in.lastDownMs <= kDoubleClickMs &&
                   std::abs(x - in.lastDownX) <= kDoubleClickHalfBox && std::abs(y - in.lastDownY) <= kDoubleClickHalfBox;
        if (dbl) {
            message = kDown[b] + 2;
            in.lastDownButton = -1;  // a third press starts a new pair
        } else {
            in.lastDownButton = b;
            in.lastDownMs = now;
            in.lastDownX = x;
            in.lastDownY = y;
        }
    }
    PostInputMessage(w, message, ButtonBits(), PointParam(x, y));
}

void InjectCloseRequest() {
    if (HWND w = MainWindow())
        PostInputMessage(w, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void InjectFocus(bool gained) {
    if (HWND w = MainWindow())
        SendMessage(w, gained ? WM_SETFOCUS : WM_KILLFOCUS, 0, 0);
}

void InjectRestore() {
    if (HWND w = MainWindow())
        PostInputMessage(w, WM_SYSCOMMAND, SC_RESTORE, 0);
}

bool LoadInputScript(const std::string& path) {
    std::ifstream f(path);
    if (!f)
        return false;
    InputState& in = Input();
    uint64_t base = NowMillis();
    std::string line;
    while (std::getline(f, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        uint64_t at = std::strtoull(line.c_str(), nullptr, 10);
        in.script.push_back({base + at, line});
    }
    std::stable_sort(in.script.begin() + static_cast<long>(in.scriptPos), in.script.end(),
                     [](const ScriptEvent& a, const ScriptEvent& b) { return a.atMs < b.atMs; });
    return true;
}

void PollInputScript() {
    InputState& in = Input();
    uint64_t now = NowMillis();
    while (in.scriptPos < in.script.size() && in.script[in.scriptPos].atMs <= now)
        RunScriptLine(in.script[in.scriptPos++].line);
}

uint64_t NextScriptEventMs() {
    InputState& in = Input();
    return in.scriptPos < in.script.size() ? in.script[in.scriptPos].atMs : 0;
}

}  // namespace platform

using platform::Input;

// The live pointer, as the system we stand in for reads it: the backend's own when it has one
// over the window, else where the last motion taken left it; within the clip either way.
BOOL GetCursorPos(POINT* point) {
    if (!point)
        return FALSE;
    const POINT c = platform::PointerNow();
    const POINT o = platform::Origin();
    point->x = c.x + o.x;
    point->y = c.y + o.y;
    return TRUE;
}

// A pointer already at the place is left alone: a warp would undo motion not yet taken, and its
// own motion would hold the pointer there.
BOOL SetCursorPos(int x, int y) {
    POINT o = platform::Origin();
    int cx = x - o.x;
    int cy = y - o.y;
    platform::ClampToClip(cx, cy);
    const POINT now = platform::PointerNow();
    platform::SetCursorClientPos(cx, cy);
    if (now.x != cx || now.y != cy)
        platform::Backend_().WarpCursor(cx, cy);
    return TRUE;
}

BOOL ClipCursor(const RECT* rect) {
    platform::InputState& in = Input();
    if (!rect) {
        in.clipped = false;
        platform::Backend_().SetCursorClip(nullptr);
        return TRUE;
    }
    POINT o = platform::Origin();
    in.clipped = true;
    in.clip = RECT{rect->left - o.x, rect->top - o.y, rect->right - o.x, rect->bottom - o.y};
    platform::ClampToClip(in.cursorX, in.cursorY);
    platform::Backend_().SetCursorClip(&in.clip);
    return TRUE;
}

BOOL GetClipCursor(RECT* rect) {
    if (!rect)
        return FALSE;
    platform::InputState& in = Input();
    POINT o = platform::Origin();
    if (in.clipped)
        *rect = RECT{in.clip.left + o.x, in.clip.top + o.y, in.clip.right + o.x, in.clip.bottom + o.y};
    else
        *rect = RECT{-32768, -32768, 32767, 32767};
    return TRUE;
}

int ShowCursor(BOOL show) {
    platform::InputState& in = Input();
    in.displayCount += show ? 1 : -1;
    platform::Backend_().SetCursorVisible(in.displayCount >= 0);
    return in.displayCount;
}

SHORT GetAsyncKeyState(int virtualKey) {
    if (virtualKey <= 0 || virtualKey > 255)
        return 0;
    return Input().vkDownCount[virtualKey] > 0 ? static_cast<SHORT>(0x8000) : 0;
}

UINT MapVirtualKeyA(UINT code, UINT mapType) {
    if (mapType == MAPVK_VSC_TO_VK)
        return code < 128 ? static_cast<UINT>(platform::kScanToVk[code]) : 0;
    if (mapType == MAPVK_VK_TO_VSC) {
        for (UINT s = 1; s < 128; ++s)
            if (static_cast<UINT>(platform::kScanToVk[s]) == code)
                return s;
    }
    return 0;
}
