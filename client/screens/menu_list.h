#pragma once
// Menu lists: items with options, the option chosen for each item remembered in user.dat (falling
// back to menu.dat) and written into the setting the item controls. The Setup dialog shows three
// of them as list boxes. Also the stored form of the account and password.

#include <cstdint>
#include <string>
#include <vector>

struct RotatingImage;

constexpr const char* kUserFile = "user.dat";
constexpr const char* kMenuFile = "menu.dat";

// The settings the lists control. The menu reads them when it closes.
struct MenuSettings {
    int32_t mouseOn = 1;
    int32_t mouselookMode = 1;    // 0 off, 1 on, 2 reversed
    int32_t mouseSensitivity = 0;  // 0 high, 1 medium, 2 low
    int32_t music = 2;            // 2 on, 1 off
    int32_t soundEffects = 2;     // 2 on, 1 off
    int32_t mipmap = 1;
    int32_t arenaIndex = 0;       // the single-user arena, an index into the arena list
    int32_t team = 0;             // 0 none, 1 Dragon, 2 Gryphon, 3 Phoenix
    int32_t characterClass = 0;   // kept, read by nothing
    int32_t port = 0;             // kept, read by nothing
    int32_t serviceAddress = 0;   // kept, read by nothing
};
extern MenuSettings g_menuSettings;

struct MenuOption {
    std::string text;
    int32_t value = 0;
    RotatingImage* picture = nullptr;  // turning preview, drawn beside the text
};

struct MenuItem {
    std::vector<MenuOption> options;
    int32_t* setting = nullptr;  // receives the current option's value; none when null
    int32_t hasPictures = 0;
    int32_t current = 0;
    int32_t width = 0, height = 0;
    int32_t Count() const { return static_cast<int32_t>(options.size()); }
};

struct MenuList {
    std::vector<MenuItem> items;
    int32_t selected = 0;
    int32_t top = 0, left = 0, width = 0, height = 0;  // as last drawn
    int32_t widest = 0, sumHeights = 0;
    std::string section, file;  // empty when the list is not stored
    int32_t debug = 0;
    // Debug offsets: top, left, width, height, box, highlight and normal colours.
    int32_t offsets[7] = {};
    int32_t Count() const { return static_cast<int32_t>(items.size()); }
};

// The item table of a section ("configure" has a single-user and an online form); empty for an
// unknown section.
std::vector<MenuItem> MenuItemTable(const std::string& section, bool online);

// The list over items, each item's current option read from user.dat [section] "item%d", else
// menu.dat (default 0; an index outside the item's options is 0), and measured in font.
MenuList LoadMenuItems(std::vector<MenuItem> items, const char* file, const char* section, int font, int debug);
void ApplyMenuItems(const MenuList& list);
// Stores each item's current option in user.dat and forgets the names.
void SaveMenuItems(MenuList& list);

// Draws the box into target (800-pixel rows); the picture-drawing result (0 without pictures).
int DrawListBox(MenuList& list, uint16_t* target, int x, int y, int width, int height, int normalColour,
                int highlightColour, int boxColour, int centre, int font, int textFlags, int backgroundTile);
void RegisterMenuClickRegions(const MenuList& list);
// 0 when an item was chosen (its value in *value), -1 when something changed, 1 when nothing
// happened.
int MenuListInput(MenuList& list, int* value);
void RestoreListBoxArea(const MenuList& list);
// The main menu's Setup dialog, shown in the menu's frames: 0, or 6 for the key configuration.
int MenuListDialog();

// The stored form: each byte up to the terminator raised by one (wrapping). Changes text in
// place and returns it.
char* ScramblePassword(char* text);
// The plain form of a stored text, in one buffer shared by all calls.
const char* UnscramblePassword(const char* text);
