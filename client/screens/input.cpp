#include "client/screens/input.h"

#include <algorithm>
#include <cstring>

#include "client/arena/player_control.h"
#include "client/core/screen_state.h"
#include "client/screens/gws_core.h"
#include "client/screens/screen_surface.h"

KeyState g_keys;
TypedLine g_typedLine;
MouseInput g_mouse;
MouseAxes g_mouseAxes;

namespace {

constexpr int kScanEscape = 1;
constexpr int kScanBackspace = 14;
constexpr int kScanEnter = 28;
constexpr int kScanLeftShift = 42;
constexpr int kScanRightShift = 54;

// Characters by scan code 0..127; 0 types nothing.
struct CharTables {
    char plain[128] = {};
    char shifted[128] = {};
    CharTables() {
        auto put = [this](int first, const char* lower, const char* upper) {
            for (int i = 0; lower[i]; ++i) {
                plain[first + i] = lower[i];
                shifted[first + i] = upper[i];
            }
        };
        put(2, "1234567890-=", "!@#$%^&*()_+");
        put(16, "qwertyuiop[]", "QWERTYUIOP{}");
        put(30, "asdfghjkl;'", "ASDFGHJKL:\"");
        put(43, "/", "|");
        put(44, "zxcvbnm,./", "ZXCVBNM<>?");
        put(57, " ", " ");
    }
};
const CharTables kChars;

bool IsShift(int k) { return k == kScanLeftShift || k == kScanRightShift; }

void TypeKey(int k) {
    TypedLine& line = g_typedLine;
    if (!line.complete && k < 128) {
        const char c = line.shift ? kChars.shifted[k] : kChars.plain[k];
        line.text[line.length] = c;
        // A quote cannot start a line (it would open a quoted field of the chat's commands).
        if (c != 0 && !(line.length == 0 && (c == '"' || c == '\'')))
            ++line.length;
    }
    if (k == kScanBackspace)
        line.length = line.shift ? 0 : line.length - 1;
    line.length = std::clamp(line.length, 0, kTypedLineMax);
    line.text[line.length] = '\0';
}

int32_t Since(int32_t start) { return static_cast<int32_t>(FrameClock - static_cast<uint32_t>(start)); }

void AxisDown(int a, int32_t time) {
    g_mouseAxes.pressed[a] = 1;
    if (!g_mouseAxes.down[a]) {
        g_mouseAxes.down[a] = 1;
        g_mouseAxes.downTime[a] = time;
    }
}

void AxisUp(int a, int32_t time) {
    g_mouseAxes.released[a] = 1;
    if (g_mouseAxes.down[a]) {
        g_mouseAxes.down[a] = 0;
        if (time > g_mouseAxes.downTime[a])
            g_mouseAxes.held[a] += time - g_mouseAxes.downTime[a];
        g_mouseAxes.downTime[a] = 0;
    }
}

void StoreButtons(int32_t buttons) {
    g_mouse.rightButton = buttons & MK_RBUTTON;
    g_mouse.leftButton = buttons & MK_LBUTTON;
    g_mouse.middleButton = buttons & MK_MBUTTON;
}

void HideSystemCursor() {
    while (ShowCursor(FALSE) >= 0) {
    }
}

bool Inside(const ClickRegion& r, int x, int y) {
    return x > r.x && x < r.x + r.width && y > r.y && y < r.y + r.height;
}

int TakeEvent(RegionEvent& event, RegionEvent* out) {
    if (out)
        *out = event;
    const int id = event.id;
    event = RegionEvent{};
    return id;
}

}  // namespace

void ResetInputState() {
    std::memset(&g_keys, 0, sizeof(g_keys));
    std::memset(&g_typedLine, 0, sizeof(g_typedLine));
    std::memset(&g_mouse, 0, sizeof(g_mouse));
    std::memset(&g_mouseAxes, 0, sizeof(g_mouseAxes));
    g_mouse.cursorMode = 1;
    g_mouse.clipBottom = 479;
    g_mouse.clipRight = 639;
    g_mouse.lastClick = RegionEvent{};
    g_mouse.lastDoubleClick = RegionEvent{};
}

namespace {
// The records start as ResetInputState leaves them.
const bool kInputReset = (ResetInputState(), true);
}  // namespace

// ---- Keyboard ------------------------------------------------------------------------------------

void OnKeyEvent(uint32_t keyData, int32_t time) {
    g_keys.handlerBusy = 1;
    const int k = static_cast<int>(keyData & 0xFF);
    g_keys.lastScanCode = k;
    if (keyData & 0x8000) {
        g_keys.released[k] = 1;
        if (g_keys.down[k] == 1) {
            g_keys.down[k] = 0;
            if (time > g_keys.downTime[k])
                g_keys.held[k] += time - g_keys.downTime[k];
            g_keys.downTime[k] = 0;
            if (g_typedLine.inputMode == 1) {
                if (IsShift(k))
                    g_typedLine.shift = 0;
                else if (k == kScanEscape)
                    SetKeyInputMode(0);
                else if (k == kScanEnter)
                    g_typedLine.complete = 1;
            }
        }
    } else {
        g_keys.pressed[k] = 1;
        if (g_keys.down[k] == 0) {
            g_keys.downTime[k] = time;
            g_keys.down[k] = 1;
            g_keys.lastKey = static_cast<uint8_t>(k);
            if (g_typedLine.inputMode == 1) {
                if (IsShift(k))
                    g_typedLine.shift = 1;
                TypeKey(k);
            }
        }
    }
    g_keys.handlerBusy = 0;
}

int32_t KeyHeldTime(int k) {
    if (k < 0 || k >= kKeyCount)
        return 0;
    int32_t result = g_keys.held[k];
    if (g_keys.down[k]) {
        result += Since(g_keys.downTime[k]);
        g_keys.downTime[k] = static_cast<int32_t>(FrameClock);
    }
    g_keys.held[k] = 0;
    return result;
}

int32_t IsKeyDown(int k, int virtualKey) {
    if (k < 0 || k >= kKeyCount)
        return 0;
    const bool systemDown = (GetAsyncKeyState(virtualKey) & 0x8000) != 0;
    if (g_keys.down[k]) {
        g_keys.held[k] += Since(g_keys.downTime[k]);
        if (systemDown) {
            g_keys.downTime[k] = static_cast<int32_t>(FrameClock);
        } else {  // the release was missed
            g_keys.down[k] = 0;
            g_keys.downTime[k] = 0;
        }
        const int32_t result = g_keys.held[k];
        g_keys.held[k] = 0;
        return result;
    }
    if (g_keys.held[k] != 0) {
        const int32_t result = g_keys.held[k] / 2;
        g_keys.held[k] = 0;
        return result;
    }
    if (systemDown) {  // the press was missed
        g_keys.down[k] = 1;
        g_keys.downTime[k] = static_cast<int32_t>(FrameClock);
        g_keys.lastKey = static_cast<uint8_t>(k);
    }
    return 0;
}

int TakeKeyPress(int k) {
    if (k < 0 || k >= kKeyCount || !g_keys.pressed[k])
        return 0;
    g_keys.pressed[k] = 0;
    return 1;
}

int ClearLastKey() {
    const int k = g_keys.lastKey;
    g_keys.lastKey = 0;
    g_keys.held[k] = 0;
    return k;
}

void ResetKeyStates() {
    std::memset(g_keys.released, 0, sizeof(g_keys.released));
    std::memset(g_keys.pressed, 0, sizeof(g_keys.pressed));
    std::memset(g_keys.down, 0, sizeof(g_keys.down));
    std::memset(g_keys.downTime, 0, sizeof(g_keys.downTime));
    std::memset(g_keys.held, 0, sizeof(g_keys.held));
    g_keys.lastKey = 0;
}

int GetKeyInputMode() { return g_typedLine.inputMode; }

void SetKeyInputMode(int mode) {
    g_typedLine.inputMode = mode;
    ResetKeyStates();
    if (mode == 1)
        g_typedLine.complete = 0;
    g_typedLine.shift = 0;
}

void BeginTextEntry() {
    std::memset(g_keys.down, 0, sizeof(g_keys.down));
    ++g_typedLine.nesting;
}

int EndTextEntry() {
    if (g_typedLine.nesting == 0)
        return 0;
    --g_typedLine.nesting;
    return 1;
}

// ---- Mouse -----------------------------------------------------------------------------------------

void OnMouseMessage(int32_t buttons, int32_t time, POINT point, int kind) {
    if (g_mouse.lookEnabled && g_mouse.cursorMode == 0) {
        switch (kind) {
            case 0: AxisDown(4, time); break;
            case 1: AxisUp(4, time); break;
            case 3: AxisDown(5, time); break;
            case 4:
                AxisUp(5, time);
                AxisUp(6, time);
                break;
            case 5: AxisDown(6, time); break;
            case 6: AxisDown(7, time); break;
            case 7: AxisUp(7, time); break;
            default: break;
        }
        g_mouse.x = point.x;
        g_mouse.y = point.y;
        StoreButtons(buttons);
        if (point.x < 310)
            AxisDown(0, time);
        else
            AxisUp(0, time);
        if (point.x > 330)
            AxisDown(1, time);
        else
            AxisUp(1, time);
        return;
    }
    HitTestClickRegions(point.x, point.y, kind);
    if (kind != -1)
        g_screen.QueueDirtyRect(point.x, point.y, 32, 32, 1);
    if (g_screenState == 1 && buttons == -1) {
        StoreButtons(buttons);
        return;
    }
    POINT cursor{};
    GetCursorPos(&cursor);
    ClampToScreen(&cursor);
    gwsMouseMove(cursor.x, cursor.y, kind, buttons);
    StoreButtons(buttons);
}

int32_t ReadMouseAxis(int a) {
    if (a < 0 || a >= kMouseAxisCount)
        return 0;
    if (a <= 1)
        SetCursorPos(320, 240);
    int32_t result;
    if (g_mouseAxes.down[a]) {
        result = g_mouseAxes.held[a] + Since(g_mouseAxes.downTime[a]);
        g_mouseAxes.downTime[a] = static_cast<int32_t>(FrameClock);
    } else {
        result = g_mouseAxes.held[a] / 2;
    }
    g_mouseAxes.held[a] = 0;
    return result;
}

void ClearMouseEvents() { std::memset(&g_mouseAxes, 0, sizeof(g_mouseAxes)); }

void ClearMouseAxes() { std::memset(g_mouseAxes.down, 0, sizeof(g_mouseAxes.down)); }

int IsLeftButtonDown() { return g_mouse.leftButton; }
int IsMiddleButtonDown() { return g_mouse.middleButton; }
void SetLookMode(int value) { g_mouse.lookMode = value; }

void SetMouseLookEnabled(int on) {
    if (on == 1) {
        g_mouse.lookEnabled = 1;
        ClearMouseAxes();
    } else if (on == 0) {
        g_mouse.lookEnabled = 0;
    }
}

int GetMouseLookEnabled() { return g_mouse.lookEnabled; }
void SetMouseTurnScale(int scale) { g_mouse.turnScale = scale; }
int GetMouseTurnScale() { return g_mouse.turnScale; }

void SetCursorMode(int free) {
    if (g_mouse.lookEnabled) {
        ClearMouseEvents();
        if (free) {
            g_mouse.cursorMode = 1;
            SetCursorPos(320, 240);
            ClipCursor(nullptr);
            HideSystemCursor();
            ShowCursor(TRUE);  // display count exactly 0: visible
            MouseYaw = -1;
        } else {
            g_mouse.cursorMode = 0;
            HideSystemCursor();
            SetCursorPos(320, 240);
            ClipCursor(nullptr);
        }
    }
    if (g_screenState == -4)
        ClipCursor(nullptr);
}

void ToggleCursorMode() { SetCursorMode(g_mouse.cursorMode ? 0 : 1); }
int GetCursorMode() { return g_mouse.cursorMode; }

void HideMouseCursor() {
    if (g_mouse.cursorMode == 1)
        HideSystemCursor();
}

void ShowMouseCursor() {
    if (g_mouse.cursorMode == 1)
        while (ShowCursor(TRUE) < 1) {
        }
}

void SetCursorPosition(int x, int y) { SetCursorPos(x, y); }

void ClipCursorToWindow(int left, int top, int right, int bottom) {
    g_mouse.clipLeft = left;
    g_mouse.clipTop = top;
    g_mouse.clipRight = right;
    g_mouse.clipBottom = bottom;
    const RECT screen{1, 1, 799, 599};
    ClipCursor(&screen);
    SetCursorPos((left + right) / 2, (top + bottom) / 2);
}

void ClampToScreen(POINT* point) {
    point->x = std::clamp<LONG>(point->x, 1, 799);
    point->y = std::clamp<LONG>(point->y, 1, 599);
}

void InitMouseInput() {
    g_mouse.lookEnabled = 1;
    SetCursorMode(1);
    g_mouse.turnScale = 1;
    g_mouse.lastClick = RegionEvent{};
    g_mouse.lastDoubleClick = RegionEvent{};
    g_mouse.clipLeft = 0;
    g_mouse.clipTop = 0;
    g_mouse.clipBottom = 479;
    g_mouse.clipRight = 639;
}

void ReleaseMouseInput() {
    g_mouse.lookEnabled = 0;
    SetCursorMode(1);
    ClipCursor(nullptr);
}

// ---- Click regions -----------------------------------------------------------------------------------

int AddClickRegion(int x, int y, int w, int h, int id, int group) {
    for (int i = 0; i < kClickRegionCount; ++i) {
        ClickRegion& r = g_mouse.regions[i];
        if (r.used)
            continue;
        r = ClickRegion{x, y, w, h, id, group, 1};
        return i;
    }
    return -1;
}

void ClearClickRegions(int group) {
    for (ClickRegion& r : g_mouse.regions)
        if (group == 0 || r.group == group)
            r.used = 0;
}

void HitTestClickRegions(int x, int y, int kind) {
    for (const ClickRegion& r : g_mouse.regions) {
        if (!r.used || !Inside(r, x, y))
            continue;
        if (kind == 0)
            g_mouse.lastClick = RegionEvent{r.id, r.group, 0, x, y};
        else if (kind == 2)
            g_mouse.lastDoubleClick = RegionEvent{r.id, r.group, 2, x, y};
    }
}

int TakeRegionClick(RegionEvent* out) { return TakeEvent(g_mouse.lastClick, out); }
int TakeRegionDoubleClick(RegionEvent* out) { return TakeEvent(g_mouse.lastDoubleClick, out); }

int ClickRegionAtCursor(int* groupOut) {
    POINT p{};
    GetCursorPos(&p);
    for (const ClickRegion& r : g_mouse.regions) {
        if (r.used && Inside(r, p.x, p.y)) {
            if (groupOut)
                *groupOut = r.group;
            return r.id;
        }
    }
    if (groupOut)
        *groupOut = 0;
    return 0;
}
