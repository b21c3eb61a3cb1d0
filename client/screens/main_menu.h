#pragma once
// The main menu: background, ten picture hot spots (Setup, Play, four statues for the character
// slots, Character, Exit, Credits), the 3D preview of the selected slot's figure and the quit box;
// and the account dialog that comes first when the client must connect.

#include <cstdint>

class PcxImage;
struct LocalPlayer;

constexpr int kMenuHotSpots = 10;

struct MenuHotSpot {
    int32_t used;
    int32_t hover;
    int32_t x1, y1, x2, y2;
    int32_t redraw;
    int32_t click;  // 0 none, 1 clicked or selected, 2 double-clicked
    int32_t id;
    char label[50];
    char label2[50];
};
extern MenuHotSpot MainMenuHotSpots[kMenuHotSpots];

// What DrawCharacterSlots remembers of each slot.
struct MenuSlot {
    int32_t model;
    int32_t looks;  // head choice in the low nibble, image choice in the high
    int32_t profession;
    int32_t level;
    char name[21];
};

struct MainMenuState {
    MenuSlot slots[4];
    int32_t selectedHasCharacter;
    int32_t watched[4];       // the slot states last seen, -1 when the menu opens
    int32_t quitOpen;
    int32_t quitChoice;       // 0 none, 1 upper item, 2 lower item
    uint32_t quitTicket;      // the window system's ticket of the quit box
    int32_t hovered;          // the hot spot under the pointer, -1 none
    uint32_t firstClock;
    uint32_t lastClock;
    int32_t lastInactivity;
    int32_t saveInfo;         // user.dat [main] saveinfo
};
extern MainMenuState g_mainMenu;
// What closing the menu chose for playing alone: the arena's level and the team (0 none).
extern char g_singleUserLevel[64];
extern int32_t g_singleUserTeam;
// The menu's texture option (0 or 1) that world creation hands to the texture loads.
extern int32_t WorldTextureOption;

int MainMenu(LocalPlayer& player);
// 7 (connect) or -2 (cancelled).
int AccountDialog();

void SetMenuHotSpot(int index, int x1, int y1, int x2, int y2, const char* label, int id, const char* label2);
void RemoveMenuButton(int index);
void RemoveAllMenuButtons();
// The window system's events for hot spot n.
void MenuButtonCallback(int n, int event);
int TakeMenuHotSpotClick();
void PressStatue(int which);
void DrawCharacterSlots();
void DrawMenuCaptions();
void DrawMenuHotSpots();
int RunMainMenuFrame();
// One shown frame of the menu: the open pop-up over the back buffer, the back buffer, the preview
// figure (when withFigure) and the pointer. The Setup lists show through it, so the figure stays
// on its stage.
void DrawMenuFrame(bool withFigure);
// One shown frame of a screen with the figure stage: the open pop-up over the back buffer, the
// back buffer, the preview figure moved on by elapsed clock units (not drawn when negative) and
// the pointer. The preview's view shows the frame: a screen that presented its 2D buffer after it
// would show a frame without the figure.
void DrawFigureFrame(int elapsed);
void OpenQuitBox();
void ShowInactivityNotice();
void RestoreMenuBackground();
// Whether any slot state differs from the copy remembered; remembers the new ones.
bool WatchSlotStates();
bool AnySlotKnown();

// What step 10 of the menu does with a frame's code.
struct MenuCodeAction {
    bool sound;
    int result;      // the menu's result when ends is set
    bool ends;
    bool quitBox;
    bool setup;
};
MenuCodeAction MenuActionFor(int code);

// A picture with its 16-bit copy; 0, or the load's failure (the image then empty).
int LoadScreenArt(PcxImage& image, const char* name);
// A centred two-item box (the quit and delete boxes): the picture, its highlight, items 101 over
// (4, 28)-(w - 4, 50) and 102 over (4, 51)-(w - 4, 72), the choice going to onChoice as item - 100;
// sound 0. The window system's ticket of the box, 0 when none was made.
uint32_t OpenTwoItemBox(const PcxImage& picture, const PcxImage& highlight, void (*onChoice)(int choice));

// user.dat [main] account, password and saveinfo into the login (held nibble-swapped), and back.
void ReadStoredAccount();
void WriteStoredAccount();
