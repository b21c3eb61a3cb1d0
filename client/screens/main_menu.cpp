#include "client/screens/main_menu.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "client/arena/local_player.h"
#include "client/core/config_file.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/numeric.h"
#include "client/core/pcx_image.h"
#include "client/core/screen_state.h"
#include "client/core/sound.h"
#include "client/driver/message_pump.h"
#include "client/level/level_textures.h"
#include "client/net/net_dispatch.h"
#include "client/net/net_lobby.h"
#include "client/net/socket_settings.h"
#include "client/present/present_services.h"
#include "client/screens/character_file.h"
#include "client/screens/character_rules.h"
#include "client/screens/character_state.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/fonts.h"
#include "client/screens/gws_core.h"
#include "client/screens/gws_window.h"
#include "client/screens/input.h"
#include "client/screens/menu_list.h"
#include "client/screens/notice_box.h"
#include "client/screens/screen_surface.h"

MenuHotSpot MainMenuHotSpots[kMenuHotSpots];
MainMenuState g_mainMenu;
int32_t WorldTextureOption = 0;
char g_singleUserLevel[64] = "grid00";
int32_t g_singleUserTeam = 0;
int32_t g_mipmapFlag = 1;

namespace {

constexpr int kKeyEscape = 1, kKeyEnter = 28;
constexpr int kStatueEntry = 2, kFirstStatueId = 12;
constexpr int kLabelFont = 5;
constexpr int kInactivityMinutes = 15;

std::unique_ptr<gwsSpriteWindow> g_windows[kMenuHotSpots];
// A click not acted on yet: a statue keeps its click state as the selection, and acts again
// only when clicked again.
bool g_freshClick[kMenuHotSpots];

struct MenuArt {
    PcxImage main, runes, quit, quitHighlight, strip;
};
MenuArt* g_art = nullptr;

bool Loaded(const PcxImage& image) { return image.Pixels16() != nullptr; }

void Copy(char* out, size_t size, const char* text) { std::snprintf(out, size, "%s", text ? text : ""); }

// A bounded name from a stored field (not always terminated).
void TakeName(char* out, size_t size, const uint8_t* field, size_t fieldSize) {
    const size_t n = strnlen(reinterpret_cast<const char*>(field), std::min(fieldSize, size - 1));
    std::memcpy(out, field, n);
    out[n] = '\0';
}

void SoundZero() { PlayGameSound(0, 0, 0); }

bool LinkedToService() { return g_linkState == 2; }

// The pointer as the window system is told it each frame.
void FeedPointer() {
    POINT cursor{};
    GetCursorPos(&cursor);
    gwsMouseMove(cursor.x, cursor.y, -1, 0);
}

void TrimTrailingSpaces(char* text) {
    size_t n = std::strlen(text);
    while (n > 0 && text[n - 1] == ' ')
        text[--n] = '\0';
}

// Copies main.pcx back under a rectangle of the back buffer.
void RestoreBackgroundRect(int x, int y, int w, int h) {
    if (!g_art || !Loaded(g_art->main) || !g_screen.backBuffer)
        return;
    const int pw = g_art->main.PcxWidth(), ph = g_art->main.PcxHeight();
    const uint16_t* source = g_art->main.Pixels16();
    for (int row = std::max(y, 0); row < std::min({y + h, ph, kScreenHeight}); ++row)
        for (int col = std::max(x, 0); col < std::min({x + w, pw, kScreenWidth}); ++col)
            g_screen.backBuffer[row * kScreenWidth + col] = source[row * pw + col];
}

void DrawLabel(int x, int y, int colour, const char* text) {
    RestoreBackgroundRect(x, y, TextWidth(text, kLabelFont) + 2, FontTable[kLabelFont].height + 1);
    DrawText(x, y, colour, text, 0, g_screen.backBuffer, kLabelFont, 0);
}

void OnQuitBoxChoice(int choice) { g_mainMenu.quitChoice = choice; }

// The quit box ended by the window system without a choice: the menu's captions are to be drawn
// again. True when that happened.
bool NoticeClosedQuitBox() {
    if (g_mainMenu.quitOpen && !gwsFindPopup(g_mainMenu.quitTicket) && g_mainMenu.quitChoice == 0) {
        g_mainMenu.quitOpen = 0;
        g_mainMenu.quitTicket = 0;
        return true;
    }
    return false;
}

void CloseQuitBox() {
    gwsClosePopup(g_mainMenu.quitTicket);
    g_mainMenu.quitTicket = 0;
    g_mainMenu.quitOpen = 0;
    g_mainMenu.quitChoice = 0;
}

bool SlotHasCharacter(int slot) { return g_mainMenu.slots[slot].name[0] != '\0'; }

void ShowSlotFigure(int slot) {
    const MenuSlot& s = g_mainMenu.slots[slot];
    CreateMenuFigure(s.model, s.looks & 15, s.looks >> 4 & 15, GetGameValue(4));
}

void RefreshMenuButtons() {
    for (int n = 0; n < kMenuHotSpots; ++n)
        if (g_windows[n])
            g_windows[n]->gwsSetToolTipText("", 0, 0, MakePixel16(187, 175, 19), 0);
    PumpMessages();
    FeedPointer();
    RemoveAllMenuButtons();
}

}  // namespace

// ---- Hot spots ----------------------------------------------------------------------------------

void SetMenuHotSpot(int index, int x1, int y1, int x2, int y2, const char* label, int id, const char* label2) {
    if (index < 0 || index >= kMenuHotSpots)
        return;
    MenuHotSpot& e = MainMenuHotSpots[index];
    e.used = 1;
    e.hover = 0;
    e.x1 = x1;
    e.y1 = y1;
    e.x2 = x2;
    e.y2 = y2;
    e.redraw = 0;
    e.click = 0;
    e.id = id;
    Copy(e.label, sizeof e.label, label);
    Copy(e.label2, sizeof e.label2, label2);
    if (!g_windows[index])
        g_windows[index] = std::make_unique<gwsSpriteWindow>(
            0, x1, y1, x2 - x1, y2 - y1, 0, [index](int event) { MenuButtonCallback(index, event); });
}

void RemoveMenuButton(int index) {
    if (index < 0 || index >= kMenuHotSpots)
        return;
    g_windows[index].reset();
    MainMenuHotSpots[index].used = 0;
    MainMenuHotSpots[index].hover = 0;
    MainMenuHotSpots[index].click = 0;
    g_freshClick[index] = false;
    if (g_mainMenu.hovered == index)
        g_mainMenu.hovered = -1;
}

void RemoveAllMenuButtons() {
    for (int n = 0; n < kMenuHotSpots; ++n)
        RemoveMenuButton(n);
}

void MenuButtonCallback(int n, int event) {
    const auto clearHover = [] {
        for (MenuHotSpot& e : MainMenuHotSpots) {
            if (e.hover)
                e.redraw = 1;
            e.hover = 0;
        }
    };
    MenuHotSpot& e = MainMenuHotSpots[n];
    switch (event) {
    case 1:
        e.click = 1;
        g_freshClick[n] = true;
        SoundZero();
        break;
    case 2:
        e.click = 2;
        g_freshClick[n] = true;
        SoundZero();
        break;
    case 13:
        clearHover();
        e.hover = 1;
        e.redraw = 1;
        g_mainMenu.hovered = n;
        g_activityFlag = 1;
        SoundZero();
        break;
    case 14:
        clearHover();
        g_mainMenu.hovered = -1;
        break;
    default:
        break;
    }
}

int TakeMenuHotSpotClick() {
    // The hot spots are gone while the box is up: a new pass of the menu brings them back.
    if (NoticeClosedQuitBox())
        return -3;
    for (int n = 0; n < kMenuHotSpots; ++n) {
        MenuHotSpot& e = MainMenuHotSpots[n];
        if (!e.used || !e.click)
            continue;
        if (e.id >= kFirstStatueId && e.id < kFirstStatueId + kCharacterSlots) {
            // A statue's click state marks the selection: it acts only under the pointer, once
            // for each click.
            if (!e.hover || !g_freshClick[n])
                continue;
            g_freshClick[n] = false;
            if (e.click == 2)
                return 10;
            const int slot = e.id - kFirstStatueId;
            PressStatue(slot);
            ShowSlotFigure(slot);
            return 0;
        }
        e.click = 0;
        return e.id;
    }
    if (g_mainMenu.quitChoice) {
        const int choice = g_mainMenu.quitChoice;
        CloseQuitBox();
        return choice == 1 ? -1 : -3;
    }
    if (g_keys.lastKey == kKeyEscape) {
        ClearLastKey();
        return -2;
    }
    return 0;
}

void PressStatue(int which) {
    if (which < 0 || which >= kCharacterSlots)
        which = 0;
    PrintDebug("Enter PressStatue: which=%d", which);
    for (int n = 0; n < kCharacterSlots; ++n)
        MainMenuHotSpots[kStatueEntry + n].redraw = 1;
    RemoveMenuButton(1);
    RemoveMenuButton(6);
    const bool has = SlotHasCharacter(which);
    if (has) {
        SetMenuHotSpot(6, 136, 121, 222, 207, "Character", 10, nullptr);
        SetMenuHotSpot(1, 18, 182, 104, 268, "Play", LinkedToService() ? 5 : 1, nullptr);
    } else if (!(g_playMode == 2 && SlotRequestState[which] == 1)) {
        SetMenuHotSpot(6, 136, 121, 222, 207, "Character", 10, nullptr);
    }
    for (int n = 0; n < kCharacterSlots; ++n)
        MainMenuHotSpots[kStatueEntry + n].click = n == which ? 1 : 0;
    g_currentSlot = which;
    g_mainMenu.selectedHasCharacter = has ? 1 : 0;
    PrintDebug("Exit PressStatue: which=%d", g_currentSlot);
}

void DrawCharacterSlots() {
    static const int kRects[kCharacterSlots][4] = {
        {494, 294, 580, 380}, {552, 366, 638, 452}, {505, 442, 591, 528}, {447, 513, 533, 599}};
    uint8_t file[kCharacterSlotBytes];
    const bool online = g_playMode == 2;
    if (!online)
        ReadCharacterSlots(file);
    for (int s = 0; s < kCharacterSlots; ++s) {
        MenuSlot& m = g_mainMenu.slots[s];
        m = MenuSlot{};
        bool shown = true;
        if (online) {
            if (SlotRequestState[s] == 2) {
                uint8_t copy[kServiceCopySize];
                ReadServiceCopy(s, copy);
                TakeName(m.name, sizeof m.name, copy + 4, 20);
                m.profession = static_cast<int8_t>(copy[72]);
                m.level = static_cast<int8_t>(copy[73]);
                m.model = copy[76];
                m.looks = copy[78];
            } else if (SlotRequestState[s] != 0) {
                shown = false;  // still being fetched
            }
        } else {
            const uint8_t* r = file + kCharacterRecordSize * s;
            TakeName(m.name, sizeof m.name, r, 20);
            m.profession = static_cast<int8_t>(r[104]);
            m.level = static_cast<int8_t>(r[105]);
            m.model = r[148] | r[149] << 8;
            m.looks = r[150];
        }
        const int* rect = kRects[s];
        const int entry = kStatueEntry + s;
        if (!shown) {
            RemoveMenuButton(entry);
            continue;
        }
        if (m.name[0]) {
            char second[50];
            std::snprintf(second, sizeof second, "%s %s", OrdinalWord(m.level), ProfessionName(m.profession));
            SetMenuHotSpot(entry, rect[0], rect[1], rect[2], rect[3], m.name, kFirstStatueId + s, second);
        } else {
            m.model = 0;
            SetMenuHotSpot(entry, rect[0], rect[1], rect[2], rect[3], "New Character", kFirstStatueId + s, nullptr);
        }
    }
}

void RestoreMenuBackground() {
    if (g_art && Loaded(g_art->main))
        g_screen.BlitImage(g_art->main, 0, 0, 0);
    g_screen.QueueDirtyRect(0, 0, kScreenWidth, kScreenHeight, 1);
    g_screen.PresentScreen();
}

void DrawMenuCaptions() {
    SetMenuHotSpot(9, 346, 232, 432, 318, "Credits", 16, nullptr);
    SetMenuHotSpot(7, 25, 471, 111, 557, "Exit", 17, nullptr);
    SetMenuHotSpot(0, 258, 140, 344, 226, "Setup", 6, nullptr);
    RestoreMenuBackground();
    DrawCharacterSlots();
    PressStatue(g_currentSlot);
    ShowSlotFigure(g_currentSlot);
}

void DrawMenuHotSpots() {
    if (!g_art)
        return;
    if (Loaded(g_art->strip)) {
        const uint32_t elapsed = ReadGameClock() - g_mainMenu.firstClock;
        const int frame = static_cast<int>(elapsed % 5000 / 1000);
        g_screen.BlitImageFrame(g_art->strip, 111, 300, frame, 5, 1);
    }
    for (int n = 0; n < kMenuHotSpots; ++n) {
        const MenuHotSpot& e = MainMenuHotSpots[n];
        if (!e.used)
            continue;
        const int state = e.click ? 1 : e.hover ? 2 : 0;
        const int colour = e.click ? 0 : e.hover ? 4 : 5;
        if (Loaded(g_art->runes))
            g_screen.BlitImageCell(g_art->runes, e.x1, e.y1, state, 4, n, 12, 1);
        if (!e.label[0])
            continue;
        if (n >= kStatueEntry && n < kStatueEntry + kCharacterSlots) {
            const int middle = (e.y1 + e.y2) / 2;
            DrawLabel(e.x1 + 1, middle - 20, colour, e.label);
            if (e.label2[0])
                DrawLabel(e.x1 + 1, middle, colour, e.label2);
        } else {
            const int width = TextWidth(e.label, kLabelFont);
            DrawLabel((e.x1 + e.x2) / 2 - width / 2 - 1, e.y2 + 1, colour, e.label);
        }
    }
    g_screen.QueueDirtyRect(0, 0, kScreenWidth, kScreenHeight, 1);
}

int LoadScreenArt(PcxImage& image, const char* name) {
    int result = image.LoadPcx(name, PCX_HEAP, 1);
    if (result == 0 && image.ConvertPcxToHicolor(g_channelBits) != 0)
        result = -3;
    if (result != 0)
        image.FreePcx();
    return result;
}

uint32_t OpenTwoItemBox(const PcxImage& picture, const PcxImage& highlight, void (*onChoice)(int choice)) {
    const int w = picture.PcxWidth(), h = picture.PcxHeight();
    gwsMenu* box = gwsMenu::Open(400 - w / 2, 300 - h / 2, &picture, &highlight, 0, 8, MakePixel16(0, 0, 0),
                                 MakePixel16(255, 255, 0), MakePixel16(240, 240, 240),
                                 [onChoice](int item) { onChoice(item - 100); });
    if (box) {
        box->gwsMenuAddItem("", 101, RECT{4, 28, w - 4, 50});
        box->gwsMenuAddItem("", 102, RECT{4, 51, w - 4, 72});
    }
    SoundZero();
    return box ? gwsPopupTicket() : 0;
}

void OpenQuitBox() {
    if (!g_art)
        return;
    g_mainMenu.quitChoice = 0;
    g_mainMenu.quitTicket = OpenTwoItemBox(g_art->quit, g_art->quitHighlight, OnQuitBoxChoice);
    g_mainMenu.quitOpen = g_mainMenu.quitTicket != 0;
}

void ShowInactivityNotice() {
    SetKeyInputMode(0);
    g_typedLine.text[0] = '\0';
    g_typedLine.length = 0;
    ClearChatBuffer();
    char line[80];
    std::snprintf(line, sizeof line, "You have been inactive for %d minutes.", kInactivityMinutes);
    PrintMessage(MSG_SYSTEM, line, 222, 0);
    PrintMessage(MSG_SYSTEM, "", 222, 0);
    PrintMessage(MSG_SYSTEM, "Press any key to continue.", 222, 0);
    DrawChatBox();
}

bool WatchSlotStates() {
    bool changed = false;
    for (int s = 0; s < kCharacterSlots; ++s) {
        if (g_mainMenu.watched[s] != SlotRequestState[s]) {
            g_mainMenu.watched[s] = SlotRequestState[s];
            changed = true;
        }
    }
    return changed;
}

bool AnySlotKnown() {
    for (int s = 0; s < kCharacterSlots; ++s)
        if (SlotRequestState[s] != 0)
            return true;
    return false;
}

int RunMainMenuFrame() {
    for (;;) {
        int code = TakeMenuHotSpotClick();
        DrawMenuHotSpots();
        // The inactivity notice's box lies over the lower statues and the figure stage: it stays
        // above the hot spots, and the figure keeps out of it while the notice is up.
        if (g_inactivityState == 1)
            DrawChatBox();
        BlockRead();
        FeedPointer();
        if (g_playMode == 2) {
            if (WatchSlotStates()) {
                DrawCharacterSlots();
                PressStatue(g_currentSlot);
                ShowSlotFigure(g_currentSlot);
            }
            if (!AnySlotKnown()) {
                // The account has no character yet: creation follows.
                g_currentSlot = 0;
                code = 10;
            }
        }
        if (g_inactivityState == 1 && g_mainMenu.lastInactivity != 1)
            ShowInactivityNotice();
        else if (g_inactivityState == 2)
            code = -4;
        else if (g_inactivityState == 0 && g_mainMenu.lastInactivity != 0)
            RestoreMenuBackground();
        g_mainMenu.lastInactivity = g_inactivityState;
        DrawMenuFrame(g_inactivityState != 1);
        if (code != 0)
            return code;
    }
}

void DrawMenuFrame(bool withFigure) {
    const uint32_t now = ReadGameClock();
    DrawFigureFrame(withFigure ? static_cast<int>(now - g_mainMenu.lastClock) : -1);
    g_mainMenu.lastClock = now;
}

void DrawFigureFrame(int elapsed) {
    RECT popup{};
    if (gwsDrawPopup(&popup))
        g_screen.QueueDirtyRect(popup.left, popup.top, popup.right - popup.left, popup.bottom - popup.top, 1);
    ClearViewFrame();
    DrawScreenImage();
    if (elapsed >= 0)
        AnimateMenuFigure(elapsed);
    if (IsRendererReady()) {
        POINT cursor{};
        GetCursorPos(&cursor);
        DrawCursorImage(cursor.x, cursor.y);
    }
    DrawMenuFigureScene();
    gwsRestorePopup();
    if (popup.right > popup.left)
        g_screen.QueueDirtyRect(popup.left, popup.top, popup.right - popup.left, popup.bottom - popup.top, 1);
}

MenuCodeAction MenuActionFor(int code) {
    switch (code) {
    case -1:
        return {true, -1, true, false, false};
    case -4:
        return {false, -4, true, false, false};
    case 1:
        return {true, 1, true, false, false};
    case 5:
        return {true, 2, true, false, false};
    case 10:
    case 12:
    case 13:
    case 14:
    case 15:
        return {true, 7, true, false, false};
    case 16:
        return {true, 8, true, false, false};
    case 17:
        return {true, 0, false, true, false};
    case -2:
        return {false, 0, false, true, false};
    case 6:
        return {true, 0, false, false, true};
    default:
        return {false, 0, false, false, false};
    }
}

// ---- Stored account ------------------------------------------------------------------------------

namespace {

constexpr size_t kStoredTextMax = 100;  // characters a read takes

// The plain text of a stored key as a read takes it; false when user.dat has no such key.
bool ReadStoredPlain(const char* key, bool trim, char (&plain)[kStoredTextMax + 1]) {
    char stored[kStoredTextMax + 1];
    const bool found = GetConfigWholeString(kUserFile, "main", key, stored, sizeof stored, "") != 0;
    Copy(plain, sizeof plain, UnscramblePassword(stored));
    if (trim)
        TrimTrailingSpaces(plain);
    return found;
}

void ReadStoredText(const char* key, char* held, size_t size, bool trim) {
    char plain[kStoredTextMax + 1];
    ReadStoredPlain(key, trim, plain);
    Copy(held, size, plain);
    SwapOddNibbles(held);
}

void WriteStoredText(const char* key, const char* held, bool trim) {
    char plain[kLoginTextSize];
    Copy(plain, sizeof plain, SwapOddNibblesCopy(held));
    // A longer stored value reads as its first 100 characters: what still reads as the held text
    // stays whole.
    char stored[kStoredTextMax + 1];
    if (ReadStoredPlain(key, trim, stored) && std::strcmp(stored, plain) == 0)
        return;
    WriteConfigWholeString(kUserFile, "main", key, ScramblePassword(plain));
}

}  // namespace

void ReadStoredAccount() {
    ReadStoredText("account", g_login.account, sizeof g_login.account, true);
    ReadStoredText("password", g_login.password, sizeof g_login.password, false);
    GetConfigInt(kUserFile, "main", "saveinfo", &g_mainMenu.saveInfo, 1, 0);
}

void WriteStoredAccount() {
    WriteConfigInt(kUserFile, "main", "saveinfo", g_mainMenu.saveInfo);
    if (g_mainMenu.saveInfo == 1) {
        WriteStoredText("account", g_login.account, true);
        WriteStoredText("password", g_login.password, false);
    }
}

// ---- Account dialog ------------------------------------------------------------------------------

namespace {

constexpr int kCursorCharacter = 127;
constexpr int kMaxStars = 30;
constexpr int kFieldTextWidth = 214;  // from the text's start (77) to the field's right border

struct DialogSpot {
    int entry, x1, y1, x2, y2, id;
};
constexpr DialogSpot kDialogSpots[] = {
    {1, 74, 9, 295, 40, 18}, {2, 74, 42, 295, 73, 19}, {3, 78, 108, 130, 136, 7},
    {4, 158, 108, 252, 136, -2}, {5, 225, 77, 250, 104, 6},
};

int g_dialogX = 0, g_dialogY = 0;
PcxImage* g_dialog = nullptr;  // dialog.pcx while the dialog is open

void BuildDialogSpots() {
    for (const DialogSpot& s : kDialogSpots)
        SetMenuHotSpot(s.entry, g_dialogX + s.x1, g_dialogY + s.y1, g_dialogX + s.x2, g_dialogY + s.y2, "", s.id,
                       nullptr);
}

int PressedDialogSpot() {
    for (const DialogSpot& s : kDialogSpots) {
        MenuHotSpot& e = MainMenuHotSpots[s.entry];
        if (e.used && e.click) {
            e.click = 0;
            return e.id;
        }
    }
    return 0;
}

// field: 18 while the account is typed, 19 the password, 0 neither.
void DrawPasswordField(int field) {
    if (!g_dialog)
        return;
    const int font = 6;
    if (g_dialog->Pixels16())
        g_screen.BlitImage(*g_dialog, g_dialogX, g_dialogY, 0);
    char account[kTypedLineSize + 2];
    Copy(account, sizeof account, field == 18 ? g_typedLine.text : SwapOddNibblesCopy(g_login.account));
    if (field == 18) {
        const size_t n = std::strlen(account);
        account[n] = static_cast<char>(kCursorCharacter);
        account[n + 1] = '\0';
    }
    // The field shows what fits its box: the end of the line being typed, the start of a held one.
    const char* shown = account;
    if (field == 18)
        shown = TextEndFittingWidth(account, font, kFieldTextWidth);
    else
        FitTextToWidth(account, font, kFieldTextWidth);
    DrawText(g_dialogX + 77, g_dialogY + 14, 0, shown, 0, g_screen.backBuffer, font, 0);
    const char* password = field == 19 ? g_typedLine.text : SwapOddNibblesCopy(g_login.password);
    char stars[kMaxStars + 2] = {};
    const int count = std::min<int>(static_cast<int>(std::strlen(password)), kMaxStars);
    std::memset(stars, '*', count);
    if (field == 19)
        stars[count] = static_cast<char>(kCursorCharacter);
    DrawText(g_dialogX + 77, g_dialogY + 48, 0, stars, 0, g_screen.backBuffer, font, 0);
    if (g_mainMenu.saveInfo)
        DrawText(g_dialogX + 230, g_dialogY + 82, 0, "*", 0, g_screen.backBuffer, font, 0);
    const uint16_t orange = MakePixel16(240, 115, 25);
    for (const DialogSpot& s : kDialogSpots) {
        const MenuHotSpot& e = MainMenuHotSpots[s.entry];
        if (e.used && e.hover)
            g_screen.DrawRectFrame(e.x1, e.y1, e.x2 - e.x1, e.y2 - e.y1, orange, 1);
    }
    g_screen.QueueDirtyRect(g_dialogX, g_dialogY, g_dialog->PcxWidth(), g_dialog->PcxHeight(), 1);
    g_screen.PresentScreen();
}

// Types a field in the typed line; the spot pressed meanwhile, 0 when the line was finished.
int EditField(int field) {
    char* held = field == 18 ? g_login.account : g_login.password;
    const size_t heldSize = field == 18 ? sizeof g_login.account : sizeof g_login.password;
    // The typed line holds at most 98 characters.
    std::memset(g_typedLine.text, 0, sizeof g_typedLine.text);
    Copy(g_typedLine.text, kTypedLineMax + 1, SwapOddNibblesCopy(held));
    char offered[kTypedLineSize];
    Copy(offered, sizeof offered, g_typedLine.text);
    g_typedLine.length = static_cast<int32_t>(std::strlen(g_typedLine.text));
    g_typedLine.complete = 0;
    BeginTextEntry();
    SetKeyInputMode(1);
    int pressed = 0;
    while (GetKeyInputMode() == 1 && !g_typedLine.complete) {
        BlockRead();
        FeedPointer();
        pressed = PressedDialogSpot();
        DrawPasswordField(field);
        if (pressed)
            break;
    }
    char typed[kTypedLineSize];
    Copy(typed, sizeof typed, g_typedLine.text);
    // The line holds fewer characters than a field may: a field left as it was keeps its end.
    const bool edited = std::strcmp(typed, offered) != 0;
    if (field == 18)
        TrimTrailingSpaces(typed);
    if (edited) {
        Copy(held, heldSize, typed);
        SwapOddNibbles(held);
    }
    SetKeyInputMode(0);
    std::memset(g_typedLine.text, 0, sizeof g_typedLine.text);
    g_typedLine.length = 0;
    g_typedLine.complete = 0;
    ResetKeyStates();
    EndTextEntry();
    RemoveAllMenuButtons();
    BuildDialogSpots();
    return pressed;
}

// The notice's box stands over rows 220 to 260 for three seconds; what it covered comes back.
void ShowNotice(const char* text) {
    constexpr int kTop = 220, kBottom = 260;
    uint16_t* const rows = g_screen.backBuffer ? g_screen.backBuffer + kTop * kScreenWidth : nullptr;
    std::vector<uint16_t> under;
    if (rows)
        under.assign(rows, rows + (kBottom - kTop) * kScreenWidth);
    DrawBanner(text, 10, 0);
    g_screen.PresentScreen();
    const uint32_t start = GetTickCount();
    while (GetTickCount() - start < 3000)
        BlockRead();
    if (rows)
        std::copy(under.begin(), under.end(), rows);
    g_screen.QueueDirtyRect(0, kTop, kScreenWidth, kBottom - kTop, 1);
    DrawPasswordField(0);
}

}  // namespace

int AccountDialog() {
    PcxImage dialog;
    LoadScreenArt(dialog, "dialog.pcx");
    g_dialog = &dialog;
    const int w = dialog.PcxWidth(), h = dialog.PcxHeight();
    g_dialogX = 400 - w / 2;
    g_dialogY = 560 - h;
    g_screen.SaveScreenRect(g_dialogX, g_dialogY, w, h);
    BuildDialogSpots();
    bool offering = true;
    int offered = 18;  // the field offered next
    int pending = 0;
    int result = 0;
    while (result == 0) {
        int pressed = pending ? pending : PressedDialogSpot();
        pending = 0;
        if (pressed) {
            offering = false;
        } else if (offering) {
            // Empty fields are offered for typing at once: the account, then the password.
            if (offered == 18) {
                offered = 19;
                if (SwapOddNibblesCopy(g_login.account)[0] == '\0')
                    pressed = 18;
            }
            if (!pressed && offered == 19) {
                offering = false;
                if (SwapOddNibblesCopy(g_login.password)[0] == '\0')
                    pressed = 19;
            }
        }
        if (!pressed) {
            const int key = g_keys.lastKey;
            if (key)
                ClearLastKey();
            if (key == kKeyEscape)
                pressed = -2;
            else if (key == kKeyEnter)
                pressed = 7;
        }
        switch (pressed) {
        case 18:
        case 19:
            pending = EditField(pressed);
            break;
        case -2:
            result = -2;
            break;
        case 7:
            if (SwapOddNibblesCopy(g_login.account)[0] == '\0')
                ShowNotice("Please Enter an Account Name");
            else if (SwapOddNibblesCopy(g_login.password)[0] == '\0')
                ShowNotice("Please Enter an Account Password");
            else
                result = 7;
            break;
        case 6:
            g_mainMenu.saveInfo = g_mainMenu.saveInfo ? 0 : 1;
            break;
        default:
            break;
        }
        if (result)
            break;
        BlockRead();
        FeedPointer();
        DrawPasswordField(0);
    }
    g_dialog = nullptr;
    dialog.FreePcx();
    WriteStoredAccount();
    g_screen.RestoreSavedRect();
    g_screen.QueueDirtyRect(g_dialogX, g_dialogY, w, h, 1);
    RemoveAllMenuButtons();
    return result;
}

// ---- The menu ------------------------------------------------------------------------------------

int MainMenu(LocalPlayer& player) {
    (void)player;
    MenuArt art;
    g_art = &art;
    ResetKeyStates();
    SetCursorMode(1);
    SetCursorPosition(320, 400);
    static const char* const kLists[] = {"sgeneral", "mgeneral", "multi-user", "game",
                                         "configure", "arena", "character", "account"};
    for (const char* section : kLists) {
        MenuList list = LoadMenuItems(MenuItemTable(section, false), kMenuFile, section, 1, 0);
        ApplyMenuItems(list);
        SaveMenuItems(list);
    }
    // While logged in the account in use stays: user.dat holds the stored one, or none with
    // saveinfo off, and the service's characters and names would go to that account.
    if (!LinkedToService())
        ReadStoredAccount();
    SetSoundState(g_menuSettings.soundEffects);
    if (g_menuSettings.music == 2)
        PlayMusic(1, 1);
    else if (g_menuSettings.music == 1)
        StopMusic();
    g_mipmapFlag = g_menuSettings.mipmap;
    if (g_currentSlot < 0 || g_currentSlot >= kCharacterSlots)
        g_currentSlot = 0;

    int result = 0;
    bool decided = false;
    LoadScreenArt(art.main, "main.pcx");
    if (ConnectionType != 0 && !LinkedToService()) {
        // Over the menu's own picture, not over what the screen before left (a Tavern given up).
        RestoreMenuBackground();
        result = AccountDialog() == 7 ? 3 : -4;
        decided = true;
    }
    SetMenuFigureView(g_screen.char_image_x, g_screen.char_image_y, 0);
    LoadMenuFigure("sgfs/main.sgf");
    ActivateMenuFigureScene();
    LoadScreenArt(art.runes, "runes.pcx");
    LoadScreenArt(art.quit, "qmage0.pcx");
    LoadScreenArt(art.quitHighlight, "qmage1.pcx");
    LoadScreenArt(art.strip, "quorrsm.pcx");
    g_screen.SaveScreenRect(280, 225, 240, 150);
    g_mainMenu.firstClock = g_mainMenu.lastClock = ReadGameClock();
    for (int32_t& w : g_mainMenu.watched)
        w = -1;
    g_mainMenu.hovered = -1;
    g_mainMenu.lastInactivity = g_inactivityState;

    while (!decided) {
        PumpMessages();
        NoticeClosedQuitBox();
        if (!g_mainMenu.quitOpen)
            DrawMenuCaptions();
        BeginTextEntry();
        ResetKeyStates();
        const int code = RunMainMenuFrame();
        EndTextEntry();
        RefreshMenuButtons();
        const MenuCodeAction action = MenuActionFor(code);
        if (action.sound)
            SoundZero();
        if (action.ends) {
            result = action.result;
            decided = true;
        } else if (action.quitBox) {
            OpenQuitBox();
        } else if (action.setup) {
            const int setup = MenuListDialog();
            if (setup != 0) {
                result = setup;
                decided = true;
            } else {
                g_screen.RestoreSavedRect();
            }
        }
    }

    DetachMenuFigure();
    DestroyMenuFigureScene();
    g_screen.FreeSavedRect();
    if (g_mainMenu.quitOpen || g_mainMenu.quitTicket)
        CloseQuitBox();
    g_playMode = LinkedToService() ? 2 : 1;
    SetMouseLookEnabled(g_menuSettings.mouseOn == 1 ? 1 : 0);
    SetCursorMode(1);
    SetLookMode(g_menuSettings.mouselookMode);
    SetMouseTurnScale(g_menuSettings.mouseSensitivity);
    SetSoundState(g_menuSettings.soundEffects);
    if (g_menuSettings.music == 2) {
        g_musicEnabled = 2;
    } else if (g_menuSettings.music == 1) {
        g_musicEnabled = 1;
        StopMusic();
    }
    const int arena = g_menuSettings.arenaIndex;
    Copy(g_singleUserLevel, sizeof g_singleUserLevel,
         arena >= 0 && arena < g_arenaCount ? g_arenaList[arena].grid : "grid00");
    WriteConfigInt(kUserFile, "main", "last_slot", g_currentSlot);
    g_singleUserTeam = g_menuSettings.team;
    RemoveAllMenuButtons();
    g_art = nullptr;
    return result;
}
