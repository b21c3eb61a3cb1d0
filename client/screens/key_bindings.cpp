#include "client/screens/key_bindings.h"

#include <cstdio>
#include <cstring>

#include "client/core/config_file.h"
#include "client/core/screen_state.h"
#include "client/core/sound.h"
#include "client/driver/message_pump.h"
#include "client/screens/fonts.h"
#include "client/screens/input.h"
#include "client/screens/screen_surface.h"

KeyBinding KeyBindingTable[kBindingCount];
KeyScreen g_keyScreen;

const char KeyNames[kKeyCodeCount][10] = {
    "UNSET", "Escape", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "-", "=", "Back", "Tab",
    "Q", "W", "E", "R", "T", "Y", "U", "I", "O", "P", "[", "]", "Enter", "Ctrl",
    "A", "S", "D", "F", "G", "H", "J", "K", "L", "Colon", "Quote", "Tilde", "L-Shift", "BckSlash",
    "Z", "X", "C", "V", "B", "N", "M", "<", ">", "FwdSlash", "R-Shift", "PrtScreen", "Alt", "Space", "CAPS",
    "F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10", "NumLock", "Scroll",
    "Home", "Up", "PgUp", "Minus", "Left", "Center", "Right", "Plus", "End", "Down", "PgDown", "Insert", "Delete",
    "", "", "", "F11", "F12", "", "", "", "", "", "", "", "", "", "", "",
    "LeftBtn", "RightBtn", "MidBtn", "",
};

namespace {

constexpr int kFontKeys = 6;
constexpr int kRegionExit = 11;

}  // namespace

const uint8_t KeyBindable[kKeyCodeCount] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 0,                          // 0-15
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,                          // 16-31
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,                          // 32-47
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 1,                          // 48-63
    1, 1, 1, 1, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,                          // 64-79
    1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                          // 80-95
    0, 0, 0, 0, 1, 1, 1, 0,                                                  // 96-103
};

const char* const ActionShortNames[21] = {
    "Forward", "Back", "Left", "Right", "Jump", "Crawl", "Slide", "Fast", "L-Slide", "R-Slide", "Fire",
    "Open", "Lk-Up", "Lk-Down", "Lk-Cent", "AimUp", "AimDown", "AimCent", "Mouse", "Fire2", "Forward2",
};

bool IsBindableKey(int code) { return code >= 0 && code < kKeyCodeCount && KeyBindable[code]; }

void LoadKeyBindings() {
    for (int n = 0; n < kBindingCount; ++n) {
        char key[8];
        std::snprintf(key, sizeof(key), "key%02d", n);
        int code = 0;
        if (!GetConfigInt("user.dat", "keyboard", key, &code, 0, 0) &&
            !GetConfigInt("keyboard.dat", "keyboard", key, &code, 0, 0))
            code = 0;
        // A code no key has would index past the name and bindable tables.
        KeyBindingTable[n].code = code >= 0 && code < kKeyCodeCount ? code : 0;
    }
}

void SaveKeyBindings() {
    for (int n = 0; n < kBindingCount; ++n) {
        char key[8];
        std::snprintf(key, sizeof(key), "key%02d", n);
        WriteConfigInt("user.dat", "keyboard", key, KeyBindingTable[n].code);
    }
}

void SetKeyBinding(int n, int code) {
    if (n < 0 || n >= kBindingCount || !IsBindableKey(code))
        return;
    for (int i = 0; i < kBindingCount; ++i) {
        if (KeyBindingTable[i].code != code)
            continue;
        KeyBindingTable[i].code = 0;
        g_keyScreen.rows[i].key = 0;
    }
    KeyBindingTable[n].code = code;
    g_keyScreen.rows[n].key = code;
    g_keyScreen.rows[n].selected = 0;
    g_keyScreen.selectedRow = -1;
    g_keyScreen.pageRedraw = 1;
    PlayGameSound(0, 0, 0);
}

// ---- The screen ---------------------------------------------------------------------------------------

void ClearKeyScreen() {
    for (KeyRow& row : g_keyScreen.rows) {
        row.window.reset();
        row.used = 0;
        row.selected = 0;
    }
    for (KeyScreenButton& button : g_keyScreen.buttons) {
        button.window.reset();
        button.used = 0;
        button.clicked = 0;
    }
}

void AddKeyRow(int action, int left, int top, int right, int bottom, const char* label, int key, int second) {
    if (action < 0 || action >= kBindingCount)
        return;
    KeyRow& row = g_keyScreen.rows[action];
    row.used = 1;
    row.reserved = 0;
    row.left = left;
    row.top = top;
    row.right = right;
    row.bottom = bottom;
    row.reservedWord = 0;
    row.selected = 0;
    row.key = key;
    row.second = second;
    std::snprintf(row.label, sizeof(row.label), "%s", label);
    // The action number is the window's flags, as the screen always had it: rows 33 and 39 carry
    // 0x20 and so can be dragged.
    row.window = std::make_unique<gwsSpriteWindow>(0, left, top, right - left, bottom - top, action,
                                                   [action](int event) { KeyRowCallback(action, event); });
}

void AddKeyScreenButton(int index, int left, int top, int right, int bottom, const char* label, int id) {
    KeyScreenButton& button = g_keyScreen.buttons[index];
    button.used = 1;
    button.reserved = 0;
    button.left = left;
    button.top = top;
    button.right = right;
    button.bottom = bottom;
    button.reservedWord = 0;
    button.clicked = 0;
    button.id = id;
    std::snprintf(button.label, sizeof(button.label), "%s", label);
    button.window = std::make_unique<gwsSpriteWindow>(0, left, top, right - left, bottom - top, 0, [index](int event) {
        if (event == 1 || event == 2)
            ClickKeyScreenButton(index);
    });
}

void KeyRowCallback(int n, int event) {
    if (event == 1 || event == 2)
        SelectKeyRow(n);
    else if (event == 10)
        BindRightButton(n);
}

namespace {
void DeselectAll() {
    for (KeyRow& row : g_keyScreen.rows)
        row.selected = 0;
}
void AfterRowChange() {
    g_keyScreen.pageRedraw = 1;
    ResetKeyStates();  // the click's own key state is forgotten
    PlayGameSound(0, 0, 0);
}
}  // namespace

void SelectKeyRow(int n) {
    if (g_keyScreen.rows[n].selected) {
        SetKeyBinding(g_keyScreen.selectedRow, kCodeLeftButton);
        DeselectAll();
    } else {
        DeselectAll();
        g_keyScreen.rows[n].selected = 1;
        g_keyScreen.selectedRow = n;
    }
    AfterRowChange();
}

void BindRightButton(int n) {
    if (!g_keyScreen.rows[n].selected)
        return;
    SetKeyBinding(g_keyScreen.selectedRow, kCodeRightButton);
    DeselectAll();
    AfterRowChange();
}

void ClickKeyScreenButton(int k) {
    for (KeyScreenButton& button : g_keyScreen.buttons)
        button.clicked = 0;
    g_keyScreen.buttons[k].clicked = 1;
    g_keyScreen.pageRedraw = 1;
    ResetKeyStates();
    PlayGameSound(0, 0, 0);
}

int TakeKeyScreenButton(int id) {
    for (int k = 0; k < 5; ++k) {
        KeyScreenButton& button = g_keyScreen.buttons[k];
        if (button.used && button.clicked && button.id == id) {
            button.clicked = 0;
            return k;
        }
    }
    return -1;
}

void CheckExitClick(PlayerControl* control) {
    RegionEvent click;
    if (TakeRegionClick(&click) == kRegionExit && click.kind == 0) {
        control->leave = 1;
        PlayGameSound(0, 0, 0);
    }
}

void DrawKeyboardPage() {
    uint16_t* bb = g_screen.backBuffer;
    DrawText(240, 50, 0, "CONFIGURE KEYBOARD", 1, bb, kFontKeys, 2);
    g_screen.QueueDirtyRect(230, 40, 260, 35, 1);
    for (const KeyRow& row : g_keyScreen.rows) {
        if (!row.used)
            continue;
        g_screen.CopyFromBackground(row.left - 2, row.top, 250, 18);
        const int variant = row.selected ? 3 : row.key ? 0 : 1;
        const int key = row.key >= 0 && row.key < kKeyCodeCount ? row.key : 0;
        DrawText(row.left, row.top, variant, row.label, 1, bb, kFontKeys, 2);
        DrawText(row.left + 140, row.top, variant, KeyNames[key], 1, bb, kFontKeys, 2);
        g_screen.QueueDirtyRect(row.left - 2, row.top, 250, 18, 1);
    }
    for (const KeyScreenButton& button : g_keyScreen.buttons) {
        if (!button.used)
            continue;
        const int w = button.right - button.left, h = button.bottom - button.top;
        g_screen.CopyFromBackground(button.left - 2, button.top - 2, w + 4, h + 4);
        if (button.clicked)
            g_screen.DrawSunkenFrame(button.left, button.top, w, h, 2);
        else
            g_screen.DrawBevelFrame(button.left, button.top, w, h, 2);
        DrawText(button.left + (w - TextWidth(button.label, kFontKeys)) / 2, button.top + 2, 0, button.label, 1, bb,
                 kFontKeys, 2);
        g_screen.QueueDirtyRect(button.left - 2, button.top - 2, w + 4, h + 4, 1);
    }
    g_keyScreen.pageRedraw = 0;
}

int ConfigureKeyboard() {
    g_screenState = 6;
    ClearKeyScreen();
    g_keyScreen.pageRedraw = 1;
    g_keyScreen.selectedRow = -1;

    struct RowPlace {
        int action, top;
        const char* label;
    };
    const RowPlace places[] = {
        {0, 85, "Move Forward"}, {20, 102, "Move Forward"}, {1, 119, "Move Backward"}, {33, 136, "Move Backward"},
        {2, 153, "Turn Left"},   {3, 170, "Turn Right"},    {4, 187, "Jump/Up"},        {5, 204, "Crawl/Down"},
        {6, 221, "Strafe"},      {39, 238, "Mouselook"},    {7, 255, "Fast"},           {8, 272, "Strafe Left"},
        {9, 289, "Strafe Right"}, {10, 314, "Cast"},        {19, 331, "Cast"},          {11, 348, "Action"},
        {12, 373, "Look Up"},    {13, 390, "Look Down"},    {14, 407, "Look Center"},   {18, 432, "Mouse Toggle"},
    };
    for (const RowPlace& p : places) {
        const int right = p.action == 39 ? 320 : 350;
        AddKeyRow(p.action, 150, p.top, right, p.top + 15, p.label, KeyBindingTable[p.action].code,
                  KeyBindingTable[p.action].second);
    }
    AddKeyScreenButton(0, 75, 420, 120, 440, "Exit", 1);

    g_screen.LoadScreenPicture("screen2.pcx");
    g_screen.SnapshotBackBuffer();
    g_screen.ZoomTransition(0, 500);
    g_screen.QueueDirtyRect(0, 0, g_screen.width, g_screen.height, 1);
    g_screen.PresentScreen();
    ShowMouseCursor();
    ResetKeyStates();

    PlayerControl control{};
    while (!control.leave && !ScreenEndRequested()) {
        FrameClock = PumpMessages() * 10;
        ReadMenuKeys(4, &control);
        CheckExitClick(&control);
        POINT cursor{};
        GetCursorPos(&cursor);
        gwsMouseMove(cursor.x, cursor.y, -1, 0);
        if (g_keyScreen.pageRedraw)
            DrawKeyboardPage();
        if (g_keyScreen.selectedRow >= 0) {
            const int key = ClearLastKey();
            if (key != 0 && key != 1)
                SetKeyBinding(g_keyScreen.selectedRow, key);
            if (g_keyScreen.selectedRow >= 0 && IsMiddleButtonDown())
                SetKeyBinding(g_keyScreen.selectedRow, kCodeMiddleButton);
        }
        if (TakeKeyScreenButton(1) >= 0)
            break;
        g_screen.PresentScreen();
    }

    ClearClickRegions(0);
    HideMouseCursor();
    g_screen.FreeSnapshot();
    ClearKeyScreen();
    SaveKeyBindings();
    return 0;
}
