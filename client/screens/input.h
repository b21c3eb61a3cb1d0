#pragma once
// Keyboard and mouse input as window messages leave it for the game's polling code: per-scan-code
// key state, the typed text line of every text field, the mouse record with its cursor modes and
// mouse-look axes, and the 100 click regions screens register and poll.
//
// Times are game-clock units (0.1 ms); held times are measured to FrameClock.

#include <cstdint>

#include "platform/win/win.h"

constexpr int kKeyCount = 256;
constexpr int kTypedLineSize = 100;
constexpr int kTypedLineMax = 98;
constexpr int kMouseAxisCount = 10;
constexpr int kClickRegionCount = 100;

struct KeyState {
    int32_t down[kKeyCount];
    int32_t pressed[kKeyCount];
    int32_t released[kKeyCount];
    int32_t downTime[kKeyCount];
    int32_t held[kKeyCount];
    uint8_t lastKey;
    int32_t lastScanCode;
    int32_t handlerBusy;
};

struct TypedLine {
    char text[kTypedLineSize];
    int32_t length;
    int32_t inputMode;
    int32_t shift;
    int32_t complete;
    int32_t nesting;
};

extern KeyState g_keys;
extern TypedLine g_typedLine;

struct ClickRegion {
    int32_t x, y, width, height, id, group;
    int32_t used;
};

struct RegionEvent {
    int32_t id = -1;
    int32_t group = 0;
    int32_t kind = 0;
    int32_t x = 0;
    int32_t y = 0;
};

struct MouseInput {
    int32_t x, y;
    int32_t rightButton, leftButton, middleButton;
    int32_t cursorMode;  // 1 free cursor, 0 mouse-look
    int32_t lookMode;
    int32_t lookEnabled;
    int32_t turnScale;
    int32_t clipLeft, clipTop, clipBottom, clipRight;
    RegionEvent lastClick;
    RegionEvent lastDoubleClick;
    ClickRegion regions[kClickRegionCount];
};

struct MouseAxes {
    int32_t down[kMouseAxisCount];
    int32_t held[kMouseAxisCount];
    int32_t released[kMouseAxisCount];
    int32_t downTime[kMouseAxisCount];
    int32_t pressed[kMouseAxisCount];
};

extern MouseInput g_mouse;
extern MouseAxes g_mouseAxes;

// Back to the state at program start (tests).
void ResetInputState();

// ---- Keyboard ----
// keyData: scan code in the low 8 bits, bit 15 set on release.
void OnKeyEvent(uint32_t keyData, int32_t time);
int32_t KeyHeldTime(int k);
int32_t IsKeyDown(int k, int virtualKey);
int TakeKeyPress(int k);
int ClearLastKey();
void ResetKeyStates();
int GetKeyInputMode();
void SetKeyInputMode(int mode);
void BeginTextEntry();
int EndTextEntry();

// ---- Mouse ----
// kind: -1 move, 0/1/2 left down/up/double, 3/4/5 right, 6/7/8 middle; point in screen coordinates.
void OnMouseMessage(int32_t buttons, int32_t time, POINT point, int kind);
int32_t ReadMouseAxis(int a);
void ClearMouseEvents();
void ClearMouseAxes();
int IsLeftButtonDown();
int IsMiddleButtonDown();
void SetLookMode(int value);
void SetMouseLookEnabled(int on);
int GetMouseLookEnabled();
void SetMouseTurnScale(int scale);
int GetMouseTurnScale();
void SetCursorMode(int free);
void ToggleCursorMode();
int GetCursorMode();
void HideMouseCursor();
void ShowMouseCursor();
void SetCursorPosition(int x, int y);
void ClipCursorToWindow(int left, int top, int right, int bottom);
// x into 1..799, y into 1..599.
void ClampToScreen(POINT* point);
void InitMouseInput();
void ReleaseMouseInput();

// ---- Click regions ----
int AddClickRegion(int x, int y, int w, int h, int id, int group);
void ClearClickRegions(int group);
void HitTestClickRegions(int x, int y, int kind);
int TakeRegionClick(RegionEvent* out);
int TakeRegionDoubleClick(RegionEvent* out);
int ClickRegionAtCursor(int* groupOut);
