#include "client/screens/menu_list.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "client/arena/local_player.h"
#include "client/core/config_file.h"
#include "client/core/game_clock.h"
#include "client/core/screen_state.h"
#include "client/core/sound.h"
#include "client/driver/message_pump.h"
#include "client/level/level_textures.h"
#include "client/screens/fonts.h"
#include "client/screens/input.h"
#include "client/screens/main_menu.h"
#include "client/screens/rotating_image.h"
#include "client/screens/screen_surface.h"

MenuSettings g_menuSettings;

namespace {

constexpr int kKeyEscape = 1, kKeyEnter = 28, kKeyUp = 72, kKeyDown = 80, kKeyLeft = 75, kKeyRight = 77;
constexpr int kMarker = 127;
constexpr int kMaxItemSize = 128;
constexpr int kListGroup = 1;
constexpr int kArenaChoices = 10;
constexpr int kArenaLabelWidth = 24;

MenuItem Item(std::vector<MenuOption> options, int32_t* setting = nullptr) {
    MenuItem item;
    item.options = std::move(options);
    item.setting = setting;
    return item;
}

MenuItem Back() { return Item({{"Back to Config Menu", 6}}); }

std::string Padded(std::string text) {
    text.resize(std::max<size_t>(text.size(), kArenaLabelWidth), ' ');
    return text;
}

MenuSettings& S() { return g_menuSettings; }

}  // namespace

std::vector<MenuItem> MenuItemTable(const std::string& section, bool online) {
    if (section == "configure") {
        std::vector<MenuItem> t{Item({{"Return", 1}}), Item({{"Config Settings", 3}}),
                                Item({{"Config Keyboard", 11}})};
        if (!online)
            t.push_back(Item({{"Config Arena", 9}}));
        return t;
    }
    if (section == "game")
        return {Back(),
                Item({{"Mouse ON", 1}, {"Mouse Off", 0}}, &S().mouseOn),
                Item({{"Mouselook On", 1}, {"Mouselook Reverse", 2}, {"Mouselook Off", 0}}, &S().mouselookMode),
                Item({{"Mouse Sens.: High", 0}, {"Mouse Sens.: Med", 1}, {"Mouse Sens.: Low", 2}},
                     &S().mouseSensitivity),
                Item({{"Music ON", 2}, {"Music OFF", 1}}, &S().music),
                Item({{"Sound Effects ON", 2}, {"Sound Effects OFF", 1}}, &S().soundEffects),
                Item({{"Mipmap ON", 1}, {"Mipmap OFF", 0}}, &S().mipmap)};
    if (section == "arena") {
        std::vector<MenuOption> levels;
        for (int n = 0; n < kArenaChoices; ++n) {
            char label[16];
            std::snprintf(label, sizeof label, "Grid%02d", n);
            levels.push_back({Padded(label), n});
        }
        return {Back(), Item(levels, &S().arenaIndex),
                Item({{"Team: None", 0}, {"Team: Dragon", 1}, {"Team: Gryphon", 2}, {"Team: Phoenix", 3}}, &S().team)};
    }
    if (section == "account")
        return {Back(), Item({{"Acct: " + std::string(20, ' '), 18}}), Item({{"Pass: " + std::string(20, ' '), 19}})};
    if (section == "character")
        return {Item({{"Return", 1}}), Item({{"Name: ", 4}}),
                Item({{"Class: Magician", 0}, {"Class: Mentalist", 2}, {"Class: Cleric", 3}}, &S().characterClass)};
    if (section == "sgeneral")
        return {Item({{"Connect Online", 7}}), Item({{"Play Single User", 1}}), Item({{"Choose Character", 10}}),
                Item({{"Configure Game", 6}}), Item({{"Quit Game", -1}})};
    if (section == "mgeneral")
        return {Item({{"Enter Chat Parlor", 5}}), Item({{"Play Free-For-All", 1}}), Item({{"Disconnect Online", 8}}),
                Item({{"Choose Character", 10}}), Item({{"Configure Game", 6}}), Item({{"Quit Game", -1}})};
    if (section == "multi-user") {
        std::vector<MenuOption> ports, addresses;
        for (int v = 6; v <= 8; ++v)
            ports.push_back({"Port " + std::to_string(v - 5), v});
        for (int v = 0; v <= 6; ++v)
            addresses.push_back({"Server " + std::to_string(v + 1), v});
        return {Back(), Item(ports, &S().port), Item(addresses, &S().serviceAddress)};
    }
    return {};
}

MenuList LoadMenuItems(std::vector<MenuItem> items, const char* file, const char* section, int font, int debug) {
    MenuList list;
    list.items = std::move(items);
    list.debug = debug;
    if (file) {
        list.file = file;
        list.section = section ? section : "";
    }
    const int fontHeight = font >= 0 && font < kFontCount ? FontTable[font].height : 0;
    for (size_t n = 0; n < list.items.size(); ++n) {
        MenuItem& item = list.items[n];
        if (file) {
            char key[16];
            std::snprintf(key, sizeof key, "item%zu", n);
            int current = 0;
            if (!GetConfigInt(kUserFile, list.section.c_str(), key, &current, 0, 0))
                GetConfigInt(file, list.section.c_str(), key, &current, 0, 0);
            // A stored index this item has no option for starts at the first.
            item.current = current >= 0 && current < item.Count() ? current : 0;
        }
        item.width = item.height = 0;
        for (const MenuOption& o : item.options) {
            int w = TextWidth(o.text.c_str(), font);
            int h = fontHeight;
            if (item.hasPictures && o.picture) {
                w += o.picture->width;
                h = std::max(h, o.picture->height);
            }
            item.width = std::max(item.width, std::min(w, kMaxItemSize));
            item.height = std::max(item.height, std::min(h, kMaxItemSize));
        }
        list.widest = std::max(list.widest, item.width);
        list.sumHeights += item.height;
    }
    return list;
}

void ApplyMenuItems(const MenuList& list) {
    for (const MenuItem& item : list.items)
        if (item.setting && item.current >= 0 && item.current < item.Count())
            *item.setting = item.options[item.current].value;
}

void SaveMenuItems(MenuList& list) {
    if (!list.section.empty()) {
        for (size_t n = 0; n < list.items.size(); ++n) {
            char key[16];
            std::snprintf(key, sizeof key, "item%zu", n);
            WriteConfigInt(kUserFile, list.section.c_str(), key, list.items[n].current);
        }
    }
    list.file.clear();
    list.section.clear();
}

int DrawListBox(MenuList& list, uint16_t* target, int x, int y, int width, int height, int normalColour,
                int highlightColour, int boxColour, int centre, int font, int textFlags, int backgroundTile) {
    if (list.items.empty())
        return 0;
    if (width <= list.widest)
        width = list.widest + 2;
    if (height <= list.sumHeights)
        height = list.sumHeights + 2;
    if (list.debug) {
        const int32_t* o = list.offsets;
        y += o[0];
        x += o[1];
        width += o[2];
        height += o[3];
        boxColour += o[4];
        highlightColour += o[5];
        normalColour += o[6];
        char line[80];
        const int lineHeight = FontTable[font].height;
        std::snprintf(line, sizeof line, "T: %d L: %d W: %d H: %d", o[0], o[1], o[2], o[3]);
        DrawText(0, 0, normalColour, line, textFlags, target, font, 0);
        std::snprintf(line, sizeof line, "left = %d top = %d", x, y);
        DrawText(0, lineHeight, normalColour, line, textFlags, target, font, 0);
        std::snprintf(line, sizeof line, "color: box:%d high:%d norm:%d", boxColour, highlightColour, normalColour);
        DrawText(0, 2 * lineHeight, normalColour, line, textFlags, target, font, 0);
    }
    int tx = x + 2, ty = y + 2;
    if (centre) {
        tx = x + (width - list.widest) / 2;
        ty = y + (height - list.sumHeights) / 2;
    }
    list.left = x;
    list.top = y;
    list.width = width;
    list.height = height;
    if (backgroundTile >= 0 && backgroundTile < kTileImageCount) {
        g_screen.TileFillFromImage(x, y, width, height, g_screen.tiles[backgroundTile]);
        g_screen.DrawBevelFrame(x, y, width, height, 2);
    }
    (void)boxColour;  // the box is the tile and its bevel

    int drawn = 0;
    for (int n = 0; n < list.Count(); ++n) {
        const MenuItem& item = list.items[n];
        const bool selected = n == list.selected;
        const int colour = selected ? highlightColour : normalColour;
        const MenuOption& option = item.options[item.current];
        DrawText(tx, ty, colour, option.text.c_str(), textFlags, target, font, 0);
        if (selected) {
            const char marker[2] = {static_cast<char>(kMarker), 0};
            DrawText(tx - 15, ty, colour, marker, textFlags, target, font, 0);
        }
        if (item.hasPictures) {
            const int px = tx + 5 + 8 * static_cast<int>(option.text.size()) * FontTable[0].width;
            if (option.picture) {
                drawn |= DrawRotatingImage(*option.picture, GameClock, target, kScreenWidth, kScreenHeight, px, ty);
                if (selected)
                    g_screen.DrawRectFrame(px, ty, kMaxItemSize, kMaxItemSize, MakePixel16(255, 255, 255), 1);
            } else {
                DrawText(px, ty, colour, "NO BITMAP!", textFlags, target, font, 0);
            }
        }
        ty += item.height;
    }
    return drawn;
}

void RegisterMenuClickRegions(const MenuList& list) {
    int y = list.top + (list.height - list.sumHeights) / 2;
    for (int n = 0; n < list.Count(); ++n) {
        AddClickRegion(list.left, y, list.width, list.items[n].height, n, kListGroup);
        y += list.items[n].height;
    }
}

namespace {

int ChooseItem(MenuList& list, int n, int* value) {
    list.selected = n;
    MenuItem& item = list.items[n];
    *value = item.options[item.current].value;
    if (item.Count() == 1) {
        ApplyMenuItems(list);
        return 0;
    }
    item.current = (item.current + 1) % item.Count();
    return -1;
}

int Wrap(int v, int count) { return (v % count + count) % count; }

// Debug keys: each moves one of the offsets by one.
struct DebugKey {
    int key, offset, step;
};
constexpr DebugKey kDebugKeys[] = {
    {71, 0, -1}, {79, 0, 1},   // Home / End: top
    {73, 1, -1}, {81, 1, 1},   // PgUp / PgDn: left
    {74, 2, -1}, {78, 2, 1},   // keypad minus / plus: width
    {22, 3, -1}, {32, 3, 1},   // U / D: height
    {57, 4, 1},                // Space: box colour
};

}  // namespace

int MenuListInput(MenuList& list, int* value) {
    if (list.items.empty())
        return 1;
    RegionEvent click;
    if (TakeRegionClick(&click) >= 0 && click.group == kListGroup && click.id < list.Count())
        return ChooseItem(list, click.id, value);
    const int key = g_keys.lastKey;
    if (!key)
        return 1;
    ClearLastKey();
    MenuItem& item = list.items[list.selected];
    switch (key) {
    case kKeyEscape:
        *value = -2;
        ApplyMenuItems(list);
        return 0;
    case kKeyEnter:
        return ChooseItem(list, list.selected, value);
    case kKeyUp:
        list.selected = Wrap(list.selected - 1, list.Count());
        return -1;
    case kKeyDown:
        list.selected = Wrap(list.selected + 1, list.Count());
        return -1;
    case kKeyLeft:
        item.current = Wrap(item.current - 1, item.Count());
        return -1;
    case kKeyRight:
        item.current = Wrap(item.current + 1, item.Count());
        return -1;
    default:
        break;
    }
    if (list.debug)
        for (const DebugKey& d : kDebugKeys)
            if (d.key == key)
                list.offsets[d.offset] += d.step;
    return -1;
}

void RestoreListBoxArea(const MenuList& list) { g_screen.QueueDirtyRect(list.left, list.top, list.width, list.height, 1); }

namespace {

constexpr int kBoxX = 280, kBoxY = 225, kBoxW = 240, kBoxH = 150;

// One list shown as a box until an item is chosen; the chosen value.
int ShowList(const std::string& section, std::vector<MenuItem> items) {
    MenuList list = LoadMenuItems(std::move(items), kMenuFile, section.c_str(), 6, 0);
    BeginTextEntry();
    const auto draw = [&list] {
        DrawListBox(list, g_screen.backBuffer, kBoxX, kBoxY, kBoxW, kBoxH, 0, 1, 0, 1, 6, 0, 0);
        RestoreListBoxArea(list);
    };
    draw();
    RegisterMenuClickRegions(list);
    int value = 0;
    for (;;) {
        // Inactivity or a lost link ends every screen; a list left open would hold the menu.
        if (ScreenEndRequested()) {
            value = -2;
            break;
        }
        const int r = MenuListInput(list, &value);
        if (r == 0)
            break;
        if (r == -1) {
            PlayGameSound(0, 0, 0);
            g_screen.RestoreSavedRect();
            draw();
        }
        PumpMessages();
        DrawMenuFrame(true);
    }
    ClearClickRegions(kListGroup);
    EndTextEntry();
    g_screen.RestoreSavedRect();
    RestoreListBoxArea(list);
    SaveMenuItems(list);
    return value;
}

}  // namespace

int MenuListDialog() {
    g_screen.SaveScreenRect(kBoxX, kBoxY, kBoxW, kBoxH);
    const bool online = g_playMode == 2;
    for (;;) {
        const int value = ShowList("configure", MenuItemTable("configure", online));
        if (value == 1 || value == -2)
            return 0;
        if (value == 11)
            return 6;
        if (value == 3) {
            ShowList("game", MenuItemTable("game", online));
            if (g_menuSettings.music == 1) {
                g_musicEnabled = 1;
                StopMusic();
            }
        } else if (value == 9) {
            std::vector<MenuItem> items = MenuItemTable("arena", online);
            std::vector<MenuOption>& levels = items[1].options;
            for (int n = 0; n < std::min<int>(g_arenaCount, kArenaChoices); ++n)
                levels[n].text = Padded(g_arenaList[n].name);
            ShowList("arena", std::move(items));
        }
    }
}

char* ScramblePassword(char* text) {
    for (char* p = text; *p; ++p)
        *p = static_cast<char>(static_cast<uint8_t>(*p) + 1);
    return text;
}

const char* UnscramblePassword(const char* text) {
    static char plain[128];
    size_t n = 0;
    for (; text[n] && n + 1 < sizeof plain; ++n)
        plain[n] = static_cast<char>(static_cast<uint8_t>(text[n]) - 1);
    plain[n] = '\0';
    return plain;
}
