#pragma once
// Player actions bound to key codes (scan codes 1..99, mouse buttons 100..102), loaded from
// user.dat with keyboard.dat as the default, and the CONFIGURE KEYBOARD screen that rebinds 20 of
// them. A code is bound to at most one action.

#include <cstdint>
#include <memory>

#include "client/arena/player_control.h"
#include "client/screens/gws_window.h"

constexpr int kBindingCount = 40;
constexpr int kKeyCodeCount = 104;
constexpr int kCodeLeftButton = 100;
constexpr int kCodeRightButton = 101;
constexpr int kCodeMiddleButton = 102;

struct KeyBinding {
    int32_t code;  // 0 unset
    int32_t second;
};

extern KeyBinding KeyBindingTable[kBindingCount];
extern const char KeyNames[kKeyCodeCount][10];
extern const uint8_t KeyBindable[kKeyCodeCount];
// Short names of actions 0..20 for the in-game keys page.
extern const char* const ActionShortNames[21];

// Whether the code may be bound (codes outside 0..103 never).
bool IsBindableKey(int code);
void LoadKeyBindings();
void SaveKeyBindings();
void SetKeyBinding(int n, int code);

// ---- The screen (state 6) ----
struct KeyRow {
    int32_t used, reserved, left, top, right, bottom, reservedWord, selected, key, second;
    char label[41];
    std::unique_ptr<gwsSpriteWindow> window;
};

struct KeyScreenButton {
    int32_t used, reserved, left, top, right, bottom, reservedWord, clicked, id;
    char label[41];
    std::unique_ptr<gwsSpriteWindow> window;
};

struct KeyScreen {
    KeyRow rows[kBindingCount];
    KeyScreenButton buttons[5];
    int32_t selectedRow = -1;
    int32_t pageRedraw = 0;
};
extern KeyScreen g_keyScreen;

// Runs the screen until Exit (or a screen end); saves the bindings. Returns 0.
int ConfigureKeyboard();
void AddKeyRow(int action, int left, int top, int right, int bottom, const char* label, int key, int second);
void AddKeyScreenButton(int index, int left, int top, int right, int bottom, const char* label, int id);
void KeyRowCallback(int n, int event);
void SelectKeyRow(int n);
void BindRightButton(int n);
void ClickKeyScreenButton(int k);
int TakeKeyScreenButton(int id);
void CheckExitClick(PlayerControl* control);
void DrawKeyboardPage();
// Destroys the rows' and buttons' windows and clears the records.
void ClearKeyScreen();
