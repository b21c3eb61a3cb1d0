#include "client/screens/menu_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "client/arena/local_player.h"
#include "client/core/config_file.h"
#include "client/screens/fonts.h"
#include "client/screens/input.h"
#include "tests/client/screens/screen_fixture.h"

namespace {

void Key(int scanCode) {
    OnKeyEvent(static_cast<uint32_t>(scanCode), 0);
    OnKeyEvent(static_cast<uint32_t>(scanCode) | 0x8000, 0);
}

class MenuListTest : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        StartScreen();
        g_menuSettings = MenuSettings{};
        g_playMode = 1;
    }
    MenuList Load(const char* section) {
        GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
        return LoadMenuItems(MenuItemTable(section, false), kMenuFile, section, 6, 0);
    }
    std::string Current(const MenuList& l, int item) { return l.items[item].options[l.items[item].current].text; }
};

TEST_F(MenuListTest, EachListHasItsItemsAndSettings) {
    struct Row {
        const char* section;
        bool online;
        int items;
        std::vector<std::string> firstTexts;
        std::vector<int> lastItemValues;
    } rows[] = {
        {"configure", false, 4, {"Return", "Config Settings", "Config Keyboard", "Config Arena"}, {9}},
        {"configure", true, 3, {"Return", "Config Settings", "Config Keyboard"}, {11}},
        {"game", false, 7, {"Back to Config Menu", "Mouse ON", "Mouselook On", "Mouse Sens.: High", "Music ON",
                            "Sound Effects ON", "Mipmap ON"}, {1, 0}},
        {"arena", false, 3, {"Back to Config Menu", "Grid00                  ", "Team: None"}, {0, 1, 2, 3}},
        {"account", false, 3, {"Back to Config Menu", "Acct: " + std::string(20, ' '), "Pass: " + std::string(20, ' ')}, {19}},
        {"character", false, 3, {"Return", "Name: ", "Class: Magician"}, {0, 2, 3}},
        {"sgeneral", false, 5, {"Connect Online", "Play Single User", "Choose Character", "Configure Game", "Quit Game"}, {-1}},
        {"mgeneral", false, 6, {"Enter Chat Parlor", "Play Free-For-All", "Disconnect Online", "Choose Character",
                                "Configure Game", "Quit Game"}, {-1}},
        {"multi-user", false, 3, {"Back to Config Menu", "Port 1", "Server 1"}, {0, 1, 2, 3, 4, 5, 6}},
    };
    for (const Row& r : rows) {
        const std::vector<MenuItem> t = MenuItemTable(r.section, r.online);
        ASSERT_EQ(static_cast<int>(t.size()), r.items) << r.section;
        for (size_t i = 0; i < t.size(); ++i)
            EXPECT_EQ(t[i].options[0].text, r.firstTexts[i]) << r.section << " " << i;
        std::vector<int> values;
        for (const MenuOption& o : t.back().options)
            values.push_back(o.value);
        EXPECT_EQ(values, r.lastItemValues) << r.section;
    }
    // The values the game list writes, option by option.
    const std::vector<MenuItem> game = MenuItemTable("game", false);
    EXPECT_EQ(game[0].options[0].value, 6);
    EXPECT_EQ(game[2].options[1].value, 2);  // Mouselook Reverse
    EXPECT_EQ(game[3].options[2].value, 2);  // Low
    EXPECT_EQ(game[4].options[1].value, 1);  // Music OFF
    EXPECT_EQ(game[4].setting, &g_menuSettings.music);
    EXPECT_EQ(MenuItemTable("arena", false)[1].options[9].text, "Grid09                  ");
    EXPECT_TRUE(MenuItemTable("nothing", false).empty());
}

// Every option's text and value, and the setting each item writes, as the lists are laid down.
TEST_F(MenuListTest, EveryOptionCarriesItsValueAndEachItemItsSetting) {
    const auto describe = [](const std::vector<MenuItem>& items) {
        std::string out;
        for (const MenuItem& item : items) {
            for (const MenuOption& o : item.options)
                out += o.text + "=" + std::to_string(o.value) + (&o == &item.options.back() ? "" : " / ");
            out += "; ";
        }
        return out;
    };
    MenuSettings& m = g_menuSettings;
    std::string arenaLevels;
    for (int n = 0; n < 10; ++n)
        arenaLevels += "Grid0" + std::to_string(n) + std::string(18, ' ') + "=" + std::to_string(n) + (n < 9 ? " / " : "");
    const std::string blanks(20, ' ');
    struct Row {
        const char* section;
        bool online;
        std::string options;
        std::vector<int32_t*> settings;
    } rows[] = {
        {"configure", false, "Return=1; Config Settings=3; Config Keyboard=11; Config Arena=9; ", {}},
        {"configure", true, "Return=1; Config Settings=3; Config Keyboard=11; ", {}},
        {"game", false,
         "Back to Config Menu=6; Mouse ON=1 / Mouse Off=0; Mouselook On=1 / Mouselook Reverse=2 / Mouselook Off=0; "
         "Mouse Sens.: High=0 / Mouse Sens.: Med=1 / Mouse Sens.: Low=2; Music ON=2 / Music OFF=1; "
         "Sound Effects ON=2 / Sound Effects OFF=1; Mipmap ON=1 / Mipmap OFF=0; ",
         {nullptr, &m.mouseOn, &m.mouselookMode, &m.mouseSensitivity, &m.music, &m.soundEffects, &m.mipmap}},
        {"arena", false,
         "Back to Config Menu=6; " + arenaLevels + "; Team: None=0 / Team: Dragon=1 / Team: Gryphon=2 / Team: Phoenix=3; ",
         {nullptr, &m.arenaIndex, &m.team}},
        {"account", false, "Back to Config Menu=6; Acct: " + blanks + "=18; Pass: " + blanks + "=19; ", {}},
        {"character", false, "Return=1; Name: =4; Class: Magician=0 / Class: Mentalist=2 / Class: Cleric=3; ",
         {nullptr, nullptr, &m.characterClass}},
        {"sgeneral", false,
         "Connect Online=7; Play Single User=1; Choose Character=10; Configure Game=6; Quit Game=-1; ", {}},
        {"mgeneral", false,
         "Enter Chat Parlor=5; Play Free-For-All=1; Disconnect Online=8; Choose Character=10; Configure Game=6; "
         "Quit Game=-1; ",
         {}},
        {"multi-user", false,
         "Back to Config Menu=6; Port 1=6 / Port 2=7 / Port 3=8; Server 1=0 / Server 2=1 / Server 3=2 / Server 4=3 / "
         "Server 5=4 / Server 6=5 / Server 7=6; ",
         {nullptr, &m.port, &m.serviceAddress}},
    };
    for (const Row& r : rows) {
        const std::vector<MenuItem> items = MenuItemTable(r.section, r.online);
        EXPECT_EQ(describe(items), r.options) << r.section;
        for (size_t i = 0; i < items.size(); ++i)
            EXPECT_EQ(items[i].setting, i < r.settings.size() ? r.settings[i] : nullptr) << r.section << " " << i;
    }
}

TEST_F(MenuListTest, CurrentOptionsComeFromUserDatThenMenuDat) {
    dir->Write("menu.dat", "[game]\nitem2=2\nitem3=1\nitem4=7\n");
    dir->Write("user.dat", "[game]\nitem3=2\nitem5=-1\nitem6=2\n");
    MenuList l = Load("game");
    EXPECT_EQ(Current(l, 1), "Mouse ON") << "neither file has the key";
    EXPECT_EQ(Current(l, 2), "Mouselook Off") << "menu.dat";
    EXPECT_EQ(Current(l, 3), "Mouse Sens.: Low") << "user.dat first";
    EXPECT_EQ(Current(l, 4), "Music ON") << "an index beyond the options is the first";
    EXPECT_EQ(Current(l, 5), "Sound Effects ON") << "a negative index is the first";
    EXPECT_EQ(l.items[6].current, 0) << "an index equal to the option count is the first";
    g_menuSettings.mipmap = 5;
    ApplyMenuItems(l);
    EXPECT_EQ(g_menuSettings.mipmap, 1);
    EXPECT_EQ(g_menuSettings.mouseOn, 1);
    EXPECT_EQ(g_menuSettings.mouselookMode, 0);
    EXPECT_EQ(g_menuSettings.mouseSensitivity, 2);
    EXPECT_EQ(g_menuSettings.music, 2);
    // Measured in the font: the widest item and the sum of the heights.
    int widest = 0;
    for (const MenuItem& item : l.items)
        for (const MenuOption& o : item.options)
            widest = std::max(widest, TextWidth(o.text.c_str(), 6));
    EXPECT_EQ(l.widest, widest);
    EXPECT_EQ(l.sumHeights, 7 * FontTable[6].height);
}

TEST_F(MenuListTest, KeysMoveChooseAndWrap) {
    dir->Write("user.dat", "[game]\nitem3=2\n");
    MenuList l = Load("game");
    int value = 99;
    EXPECT_EQ(MenuListInput(l, &value), 1) << "nothing waiting";
    Key(72);  // Up from the first wraps to the last
    EXPECT_EQ(MenuListInput(l, &value), -1);
    EXPECT_EQ(l.selected, 6);
    Key(80);
    Key(80);
    EXPECT_EQ(MenuListInput(l, &value), -1);
    EXPECT_EQ(l.selected, 0) << "one key is taken at a time: the last";
    l.selected = 3;
    Key(77);  // Right on "Low" wraps to "High"
    EXPECT_EQ(MenuListInput(l, &value), -1);
    EXPECT_EQ(Current(l, 3), "Mouse Sens.: High");
    Key(75);
    EXPECT_EQ(MenuListInput(l, &value), -1);
    EXPECT_EQ(Current(l, 3), "Mouse Sens.: Low");
    Key(28);  // Enter on an item of several options gives its value and steps it
    EXPECT_EQ(MenuListInput(l, &value), -1);
    EXPECT_EQ(value, 2);
    EXPECT_EQ(Current(l, 3), "Mouse Sens.: High");
    l.selected = 0;
    Key(28);  // an item of one option is chosen
    EXPECT_EQ(MenuListInput(l, &value), 0);
    EXPECT_EQ(value, 6);
    EXPECT_EQ(g_menuSettings.mouseSensitivity, 0) << "the list was applied";
    Key(1);
    g_menuSettings.mouseSensitivity = 5;
    EXPECT_EQ(MenuListInput(l, &value), 0);
    EXPECT_EQ(value, -2);
    EXPECT_EQ(g_menuSettings.mouseSensitivity, 0);
    Key(30);  // any other key
    EXPECT_EQ(MenuListInput(l, &value), -1);
}

TEST_F(MenuListTest, ClicksOnTheRegisteredRowsChooseItems) {
    MenuList l = Load("configure");
    DrawListBox(l, g_screen.backBuffer, 280, 225, 240, 150, 0, 1, 0, 1, 6, 0, 0);
    RegisterMenuClickRegions(l);
    const int h = l.items[0].height;
    const int top = 225 + (150 - l.sumHeights) / 2;
    // The first row's region has id 0, which is a click like any other.
    const int rows[][2] = {{2, 11}, {0, 1}, {1, 3}};
    for (const auto& [row, expected] : rows) {
        Click(platform::MouseButton::Left, 300, top + row * h + h / 2);
        int value = 0;
        EXPECT_EQ(MenuListInput(l, &value), 0) << row;
        EXPECT_EQ(value, expected) << row;
        EXPECT_EQ(l.selected, row);
    }
    ClearClickRegions(1);
}

TEST_F(MenuListTest, SavingStoresEachItemsIndex) {
    dir->Write("user.dat", "[main]\nlast_slot=2\n");
    MenuList l = Load("game");
    l.items[3].current = 2;
    l.items[6].current = 1;
    SaveMenuItems(l);
    // Each new key goes right under its section line, so the last stored stands first.
    EXPECT_EQ(dir->Read("user.dat"),
              "[main]\nlast_slot=2\n[game]\nitem6=1\nitem5=0\nitem4=0\nitem3=2\nitem2=0\nitem1=0\nitem0=0\n");
    EXPECT_TRUE(l.section.empty());
}

TEST_F(MenuListTest, TheBoxIsAtLeastAsLargeAsItsItems) {
    MenuList l = Load("game");
    EXPECT_EQ(DrawListBox(l, g_screen.backBuffer, 10, 20, 5, 5, 0, 1, 0, 0, 6, 0, -1), 0);
    EXPECT_EQ(l.width, l.widest + 2);
    EXPECT_EQ(l.height, l.sumHeights + 2);
    EXPECT_EQ(l.left, 10);
    EXPECT_EQ(l.top, 20);
    MenuList empty;
    EXPECT_EQ(DrawListBox(empty, g_screen.backBuffer, 0, 0, 100, 100, 0, 1, 0, 0, 6, 0, 0), 0);
    EXPECT_EQ(empty.width, 0);
}

TEST(StoredForm, EachByteIsRaisedByOne) {
    char text[] = "abc";
    EXPECT_STREQ(ScramblePassword(text), "bcd");
    EXPECT_STREQ(UnscramblePassword("bcd"), "abc");
}

TEST_F(MenuListTest, DebugOffsetsMoveTheBoxAndAreShown) {
    MenuList l = Load("game");
    l.debug = 1;
    const std::pair<int, int> keys[] = {{79, 0}, {79, 0}, {81, 1}, {78, 2}, {32, 3}, {22, 3}, {57, 4}};
    int value = 0;
    for (const auto& [key, offset] : keys) {
        OnKeyEvent(static_cast<uint32_t>(key), 0);
        OnKeyEvent(static_cast<uint32_t>(key) | 0x8000, 0);
        EXPECT_EQ(MenuListInput(l, &value), -1);
    }
    EXPECT_EQ(l.offsets[0], 2);
    EXPECT_EQ(l.offsets[1], 1);
    EXPECT_EQ(l.offsets[2], 1);
    EXPECT_EQ(l.offsets[3], 0);
    EXPECT_EQ(l.offsets[4], 1);
    std::fill_n(g_screen.backBuffer, 800 * 40, 0);
    DrawListBox(l, g_screen.backBuffer, 100, 200, 300, 200, 0, 1, 0, 0, 6, 0, -1);
    EXPECT_EQ(l.top, 202);
    EXPECT_EQ(l.left, 101);
    EXPECT_EQ(l.width, 301);
    // The three debug lines stand at the top left.
    int inked = 0;
    for (int i = 0; i < 800 * 3 * FontTable[6].height; ++i)
        inked += g_screen.backBuffer[i] != 0;
    EXPECT_GT(inked, 0);
}

}  // namespace
