#include "client/screens/main_menu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "client/arena/local_player.h"
#include "client/core/config_file.h"
#include "client/core/game_values.h"
#include "client/core/numeric.h"
#include "client/core/pcx_image.h"
#include "client/core/screen_state.h"
#include "client/core/sound.h"
#include "client/level/level_textures.h"
#include "client/net/socket_settings.h"
#include "client/screens/character_state.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/fonts.h"
#include "client/screens/gws_core.h"
#include "client/screens/gws_window.h"
#include "client/screens/input.h"
#include "client/screens/menu_list.h"
#include "client/screens/notice_box.h"
#include "tests/client/screens/menu_script.h"
#include "tests/client/screens/screen_fixture.h"
#include "tools/writers/char_file_writer.h"

namespace {

using namespace menu_places;
constexpr int kQuitUpperY = kBoxUpperY, kQuitLowerY = kBoxLowerY;

class MainMenuTest : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        StartMenuScreen();
        SetGameValue(4, 2);
        g_playMode = 1;
        g_linkState = 1;
        ConnectionType = CONNECTION_SINGLE;
        g_currentSlot = 0;
        g_menuSettings = MenuSettings{};
        g_arenaCount = 0;
        g_localPlayer = &player;
    }
    void TearDown() override {
        g_localPlayer = nullptr;
        g_inactivityState = 0;
        ConnectionType = CONNECTION_SINGLE;
        ScreenFixture::TearDown();
    }
    void WriteCharacters() {
        CharacterSketch magician;
        magician.name = "Aldwin";
        magician.level = 5;
        magician.model = 202;
        magician.body = 1;
        magician.head = 3;
        CharacterSketch healer;
        healer.name = "Thorn";
        healer.profession = 3;
        healer.level = 2;
        const std::vector<uint8_t> file = BuildCharacterFileOf({magician, {}, healer, {}});
        dir->Write("char.bin", std::string(file.begin(), file.end()));
        SetGameValue(4, 2);  // the writer clears the game values
    }
    std::vector<std::string> Figures() { return present->Named("CreateMenuFigure"); }
    // The back buffer against a golden picture, exactly.
    void ExpectGolden(const char* name) {
        std::string message;
        EXPECT_TRUE(ddtest::MatchesGolden(goldenDir, name, BackBufferImage(), 0, 0, &message)) << message;
    }
    LocalPlayer player{};
};

TEST(MainMenuCodes, EachFrameCodeHasItsEffect) {
    struct Row {
        int code;
        bool sound, ends;
        int result;
        bool quitBox, setup;
    } rows[] = {
        {-1, true, true, -1, false, false}, {-4, false, true, -4, false, false}, {1, true, true, 1, false, false},
        {5, true, true, 2, false, false},   {10, true, true, 7, false, false},   {12, true, true, 7, false, false},
        {15, true, true, 7, false, false},  {16, true, true, 8, false, false},   {17, true, false, 0, true, false},
        {-2, false, false, 0, true, false}, {6, true, false, 0, false, true},    {-3, false, false, 0, false, false},
        {0, false, false, 0, false, false}, {11, false, false, 0, false, false}, {7, false, false, 0, false, false},
    };
    for (const Row& r : rows) {
        const MenuCodeAction a = MenuActionFor(r.code);
        EXPECT_EQ(a.sound, r.sound) << r.code;
        EXPECT_EQ(a.ends, r.ends) << r.code;
        if (r.ends)
            EXPECT_EQ(a.result, r.result) << r.code;
        EXPECT_EQ(a.quitBox, r.quitBox) << r.code;
        EXPECT_EQ(a.setup, r.setup) << r.code;
    }
}

TEST_F(MainMenuTest, AFreshInstallationShowsFourNewCharactersAndQuits) {
    std::string labels[4];
    MenuScript script;
    script.Wait(20, [&] {
        for (int s = 0; s < 4; ++s)
            labels[s] = MainMenuHotSpots[2 + s].label;
        ExpectGolden("menu");
    });
    script.Key(1).Wait(20).Click(400, kQuitUpperY);
    EXPECT_EQ(MainMenu(player), -1);
    for (const std::string& l : labels)
        EXPECT_EQ(l, "New Character");
    // Closing stored the slot and the lists.
    char v[16];
    GetConfigString("user.dat", "main", "last_slot", v, sizeof v, "", 0);
    EXPECT_STREQ(v, "0");
    GetConfigString("user.dat", "game", "item6", v, sizeof v, "", 0);
    EXPECT_STREQ(v, "0");
    EXPECT_STREQ(g_singleUserLevel, "grid00");
}

TEST_F(MainMenuTest, StatuesShowTheirCharactersAndSelectTheFigure) {
    WriteCharacters();
    std::string name, second, healer;
    int playId = -1;
    MenuScript script;
    script.Wait(20, [&] {
        name = MainMenuHotSpots[2].label;
        second = MainMenuHotSpots[2].label2;
        healer = MainMenuHotSpots[4].label2;
    });
    script.Click(kStatueX[2], kStatueY[2]).Wait(10, [&] { playId = MainMenuHotSpots[1].used ? MainMenuHotSpots[1].id : -1; });
    script.Click(kPlayX, kPlayY);
    EXPECT_EQ(MainMenu(player), 1);
    EXPECT_EQ(name, "Aldwin");
    EXPECT_EQ(second, "5th Magician");
    EXPECT_EQ(healer, "2nd Healer");
    EXPECT_EQ(playId, 1) << "Play offline";
    EXPECT_EQ(g_currentSlot, 2);
    // The first figure is slot 0's (model 202, head 1, image 3, team 2), then the Healer's.
    const std::vector<std::string> figures = Figures();
    ASSERT_FALSE(figures.empty());
    EXPECT_EQ(figures.front(), "CreateMenuFigure(202, 1, 3, 2)");
    EXPECT_EQ(figures.back(), "CreateMenuFigure(201, 0, 0, 2)");
    char v[16];
    GetConfigString("user.dat", "main", "last_slot", v, sizeof v, "", 0);
    EXPECT_STREQ(v, "2");
}

// Each label stands on plain stone: the background under it holds no frame line (the gold, redder
// than blue, where stone and panel are bluer), and a statue's rune leaves the rows of its two
// labels clear, since a label puts the background back under itself.
TEST_F(MainMenuTest, TheLabelsStandClearOfTheMenuArt) {
    WriteCharacters();  // statues with two label lines and with one
    int labels = 0;
    MenuScript script;
    script.Wait(20, [&] {
        PcxImage main, runes;
        ASSERT_EQ(main.LoadPcx("main.pcx", PCX_HEAP, 1), 0);
        ASSERT_EQ(runes.LoadPcx("runes.pcx", PCX_HEAP, 1), 0);
        ASSERT_TRUE(main.Pixels8() && main.palette && runes.Pixels8());
        const int height = FontTable[5].height + 1, cell = 86;
        for (int n = 0; n < kMenuHotSpots; ++n) {
            const MenuHotSpot& e = MainMenuHotSpots[n];
            if (!e.used || !e.label[0])
                continue;
            const bool statue = n >= 2 && n < 6;
            struct Label {
                int x, y;
                const char* text;
            } placed[2] = {{(e.x1 + e.x2) / 2 - TextWidth(e.label, 5) / 2 - 1, e.y2 + 1, e.label}, {0, 0, nullptr}};
            if (statue) {
                placed[0] = {e.x1 + 1, (e.y1 + e.y2) / 2 - 20, e.label};
                if (e.label2[0])
                    placed[1] = {e.x1 + 1, (e.y1 + e.y2) / 2, e.label2};
            }
            for (const Label& l : placed) {
                if (!l.text)
                    continue;
                ++labels;
                bool framed = false, overRune = false;
                for (int y = std::max(l.y, 0); y < std::min(l.y + height, 600); ++y)
                    for (int x = std::max(l.x, 0); x < std::min(l.x + TextWidth(l.text, 5) + 2, 800); ++x) {
                        const uint8_t* rgb = &main.palette[main.Pixels8()[y * 800 + x] * 3];
                        framed |= rgb[0] > rgb[2];
                        const int cx = x - e.x1, cy = y - e.y1;
                        if (statue && cx >= 0 && cx < cell && cy >= 0 && cy < cell)
                            for (int state = 0; state < 4; ++state)
                                overRune |= runes.Pixels8()[(n * cell + cy) * runes.PcxWidth() + state * cell + cx] != 0;
                    }
                EXPECT_FALSE(framed) << l.text;
                EXPECT_FALSE(overRune) << l.text;
            }
        }
    });
    script.Key(1).Wait(20).Click(400, kQuitUpperY);
    EXPECT_EQ(MainMenu(player), -1);
    EXPECT_EQ(labels, 11) << "six hot spots and four statues, two of them with a second line";
}

TEST_F(MainMenuTest, AnEmptySlotOffersOnlyCharacterAndADoubleClickCreates) {
    WriteCharacters();
    bool play = true, character = false;
    MenuScript script;
    script.Click(kStatueX[1], kStatueY[1]).Wait(10, [&] {
        play = MainMenuHotSpots[1].used;
        character = MainMenuHotSpots[6].used;
    });
    script.DoubleClick(kStatueX[3], kStatueY[3]);
    EXPECT_EQ(MainMenu(player), 7);
    EXPECT_FALSE(play);
    EXPECT_TRUE(character);
    EXPECT_EQ(g_currentSlot, 3);
}

TEST_F(MainMenuTest, TheCharacterHotSpotOpensTheSelectedCharacter) {
    WriteCharacters();
    MenuScript script;
    script.Click(kStatueX[2], kStatueY[2]).Wait(10).Click(kCharacterX, kCharacterY);
    EXPECT_EQ(MainMenu(player), 7);
    EXPECT_EQ(g_currentSlot, 2);
}

TEST_F(MainMenuTest, TheQuitBoxReturnsAndSurvivesBeingEndedByTheWindowSystem) {
    bool openAfterExit = false, openAfterBeside = false, openAfterEnded = true, openAgain = false;
    bool creditsAfterEnded = false;
    MenuScript script;
    script.Wait(10).Click(kExitX, kExitY).Wait(10, [&] { openAfterExit = g_mainMenu.quitOpen && gwsPopupMenu(); });
    script.Click(400, kQuitLowerY).Wait(10);
    // While the box is up the hot spots are gone: a click beside it changes nothing.
    script.Key(1).Wait(10).Click(700, 100).Wait(10, [&] { openAfterBeside = g_mainMenu.quitOpen && gwsPopupMenu(); });
    // The window system ends the pop-up on its own: the menu is drawn again, nothing is freed twice.
    script.Do([] { gwsClosePopup(gwsPopupTicket()); }).Wait(20, [&] {
        openAfterEnded = g_mainMenu.quitOpen;
        creditsAfterEnded = MainMenuHotSpots[9].used && std::strcmp(MainMenuHotSpots[9].label, "Credits") == 0;
    });
    script.Click(kExitX, kExitY).Wait(10, [&] { openAgain = g_mainMenu.quitOpen && gwsPopupMenu(); });
    script.Click(400, kQuitUpperY);
    EXPECT_EQ(MainMenu(player), -1);
    EXPECT_TRUE(openAfterExit);
    EXPECT_TRUE(openAfterBeside);
    EXPECT_FALSE(openAfterEnded);
    EXPECT_TRUE(creditsAfterEnded);
    EXPECT_TRUE(openAgain);
    EXPECT_EQ(gwsPopupMenu(), nullptr);
}

TEST_F(MainMenuTest, SetupStoresTheGameListAndTheArenaChoiceFallsBack) {
    g_arenaCount = 2;
    std::strcpy(g_arenaList[0].grid, "grid00");
    std::strcpy(g_arenaList[1].grid, "grid01");
    dir->Write("user.dat", "[game]\nitem3=2\n[arena]\nitem1=5\nitem2=3\n");
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    MenuScript script;
    script.Click(kSetupX, kSetupY).Wait(10);
    script.Key(80).Key(28).Wait(10, [&] { ExpectGolden("setup"); });  // Config Settings
    script.Key(80).Key(80).Key(80).Key(77);   // Mouse Sens.: Low wraps to High
    script.Key(1).Wait(10).Key(1).Wait(10);   // back, and out of the dialog
    script.Key(1).Wait(20).Click(400, kQuitUpperY);
    EXPECT_EQ(MainMenu(player), -1);
    EXPECT_EQ(g_menuSettings.mouseSensitivity, 0);
    for (int n = 0; n < 7; ++n) {
        char key[8], v[8];
        std::snprintf(key, sizeof key, "item%d", n);
        EXPECT_EQ(GetConfigString("user.dat", "game", key, v, sizeof v, "", 0), 1) << key;
        EXPECT_STREQ(v, "0") << key;
    }
    EXPECT_STREQ(g_singleUserLevel, "grid00") << "choice 5 of two arenas";
    EXPECT_EQ(g_singleUserTeam, 3);
}

// Setting the music off stops it; "Return" closes the dialog and the menu goes on.
TEST_F(MainMenuTest, MusicOffStopsTheMusicAndReturnClosesSetup) {
    g_musicEnabled = 2;
    int musicAfterList = -1;
    MenuScript script;
    script.Click(kSetupX, kSetupY).Wait(10);
    script.Key(80).Key(28).Wait(10);                     // Config Settings
    script.Key(80).Key(80).Key(80).Key(80).Key(77);      // Music ON becomes Music OFF
    script.Key(1).Wait(10, [&] { musicAfterList = g_musicEnabled; });  // back to the configure list
    script.Key(28).Wait(20);                             // Enter on "Return"
    script.Key(1).Wait(20).Click(400, kQuitUpperY);
    EXPECT_EQ(MainMenu(player), -1);
    EXPECT_EQ(g_menuSettings.music, 1);
    EXPECT_EQ(musicAfterList, 1) << "off as soon as the list closes";
    g_musicEnabled = 0;
}

TEST_F(MainMenuTest, TheFigureStaysOnItsStageWhileASetupListIsOpen) {
    // Frames of the preview drawn while each list is up: the configure list, then Config Settings.
    size_t drawn[3] = {}, animated[3] = {};
    const auto count = [&](int n) {
        drawn[n] = present->Named("DrawMenuFigureScene").size();
        animated[n] = present->Named("AnimateMenuFigure").size();
    };
    MenuScript script;
    script.Click(kSetupX, kSetupY).Wait(10, [&] { count(0); }).Wait(20, [&] { count(1); });
    script.Key(80).Key(28).Wait(10).Wait(20, [&] { count(2); });
    script.Key(1).Wait(10).Key(1).Wait(10);
    script.Key(1).Wait(20).Click(400, kQuitUpperY);
    EXPECT_EQ(MainMenu(player), -1);
    EXPECT_GT(drawn[1], drawn[0] + 5);
    EXPECT_GT(animated[1], animated[0] + 5);
    EXPECT_GT(drawn[2], drawn[1] + 5);
}

// ---- The account dialog ---------------------------------------------------------------------------

class AccountDialogTest : public MainMenuTest {
protected:
    void SetUp() override {
        MainMenuTest::SetUp();
        ConnectionType = CONNECTION_STREAM;
    }
};

TEST_F(AccountDialogTest, EmptyFieldsAreOfferedAndConnectStoresThem) {
    MenuScript script;
    script.Wait(10).Type("mira").Wait(5, [&] { ExpectGolden("dialog"); }).Key(28).Wait(10).Type("pw").Key(28).Wait(10).Key(28);
    EXPECT_EQ(MainMenu(player), 3);
    EXPECT_STREQ(SwapOddNibblesCopy(g_login.account), "mira");
    EXPECT_STREQ(SwapOddNibblesCopy(g_login.password), "pw");
    char v[32];
    GetConfigWholeString("user.dat", "main", "account", v, sizeof v, "");
    EXPECT_STREQ(v, "njsb");
    GetConfigWholeString("user.dat", "main", "password", v, sizeof v, "");
    EXPECT_STREQ(v, "qx");
    GetConfigString("user.dat", "main", "saveinfo", v, sizeof v, "", 0);
    EXPECT_STREQ(v, "1");
}

// The dialog stands over the menu's picture, never over what the screen before it left (a
// Tavern given up, its console box).
TEST_F(AccountDialogTest, TheDialogStandsOverTheMenusPicture) {
    PcxImage main;
    ASSERT_EQ(LoadScreenArt(main, "main.pcx"), 0);
    std::fill(g_screen.backBuffer, g_screen.backBuffer + kScreenWidth * kScreenHeight, uint16_t{0x1234});
    std::vector<uint16_t> above, want(main.Pixels16(), main.Pixels16() + 415 * kScreenWidth);
    MenuScript script;
    script.Wait(10, [&] { above.assign(g_screen.backBuffer, g_screen.backBuffer + 415 * kScreenWidth); });
    script.Key(1).Wait(10).Key(1).Wait(10).Key(1);  // out of the two offered fields, then cancel
    EXPECT_EQ(MainMenu(player), -4);
    EXPECT_TRUE(above == want) << "the rows above the dialog are the menu's";
    main.FreePcx();
}

TEST_F(AccountDialogTest, AnEmptyPasswordIsRefusedForThreeSecondsThenCancel) {
    dir->Write("user.dat", "[main]\naccount=njsb\npassword=\nsaveinfo=0\n");
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    uint64_t before = 0;
    // The rows the notice's box covers (y 220 to 260), before, during and after it.
    const auto rows = [] {
        return std::vector<uint16_t>(g_screen.backBuffer + 220 * kScreenWidth,
                                     g_screen.backBuffer + 260 * kScreenWidth);
    };
    std::vector<uint16_t> under[2];
    MenuScript script;
    // The empty password is offered: Escape leaves the typing, Enter asks to connect.
    script.Wait(10).Key(1).Wait(10, [&] {
        before = GetTickCount();
        under[0] = rows();
    });
    script.Key(28).Wait(10, [&] { under[1] = rows(); });
    script.Wait(10).Key(1);
    EXPECT_EQ(MainMenu(player), -4);
    // Without the notice the rest of the script takes some 150 ms.
    EXPECT_GE(GetTickCount() - before, 3000u);
    EXPECT_FALSE(under[1] == under[0]) << "the notice is shown";
    EXPECT_TRUE(rows() == under[0]) << "and gone after its three seconds";
    // saveinfo off: the stored account stays, saveinfo is written.
    EXPECT_NE(dir->Read("user.dat").find("account=njsb\npassword=\nsaveinfo=0\n"), std::string::npos);
    EXPECT_STREQ(SwapOddNibblesCopy(g_login.account), "mira");
}

// The dialog's rows (it stands at 240,415, 320 x 145) while it waits with both fields filled.
std::vector<uint16_t> DialogWithPassword(TempDir& dir, const std::string& password) {
    std::string stored = password;
    for (char& c : stored)
        ++c;
    dir.Write("user.dat", "[main]\naccount=njsb\npassword=" + stored + "\nsaveinfo=1\n");
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    ReadStoredAccount();
    std::vector<uint16_t> rows;
    MenuScript script;
    script.Wait(10, [&] {
        rows.assign(g_screen.backBuffer + 415 * kScreenWidth, g_screen.backBuffer + 560 * kScreenWidth);
    });
    script.Key(1);
    EXPECT_EQ(AccountDialog(), -2);
    return rows;
}

TEST_F(AccountDialogTest, AtMostThirtyStarsStandForThePassword) {
    const std::vector<uint16_t> thirty = DialogWithPassword(*dir, std::string(30, 'p'));
    EXPECT_EQ(DialogWithPassword(*dir, std::string(31, 'p')), thirty);
    EXPECT_NE(DialogWithPassword(*dir, std::string(29, 'p')), thirty);
}

// Stored values longer than the typed line (98 characters) or than a read (100) are kept whole
// when the player leaves them as they were.
TEST_F(AccountDialogTest, LongStoredValuesStayWholeUnlessEdited) {
    const std::string account(99, 'a'), password(100, 'p'), longer(150, 'q');
    const std::string storedAccount(99, 'b'), storedPassword(100, 'q'), storedLonger(150, 'r');
    const std::string file = "[main]\naccount=" + storedAccount + "\npassword=" + storedPassword + "\nsaveinfo=1\n";
    dir->Write("user.dat", file);
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    ReadStoredAccount();
    EXPECT_EQ(SwapOddNibblesCopy(g_login.account), account);
    EXPECT_EQ(SwapOddNibblesCopy(g_login.password), password);
    // Into each field and out again with Enter, then connect.
    MenuScript script;
    script.Click(424, 440).Wait(10).Key(28).Wait(10).Click(424, 472).Wait(10).Key(28).Wait(10).Key(28);
    EXPECT_EQ(AccountDialog(), 7);
    EXPECT_EQ(SwapOddNibblesCopy(g_login.account), account);
    EXPECT_EQ(SwapOddNibblesCopy(g_login.password), password);
    EXPECT_EQ(dir->Read("user.dat"), file);

    // A value past what a read takes is not written back cut.
    dir->Write("user.dat", "[main]\naccount=njsb\npassword=" + storedLonger + "\nsaveinfo=1\n");
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    ReadStoredAccount();
    EXPECT_EQ(SwapOddNibblesCopy(g_login.password), longer.substr(0, 100));
    WriteStoredAccount();
    EXPECT_EQ(dir->Read("user.dat"), "[main]\naccount=njsb\npassword=" + storedLonger + "\nsaveinfo=1\n");

    // An edited field is written: the account typed anew, one letter taken from the password.
    MenuScript edit;
    edit.Click(424, 440).Wait(10).Do([] { g_typedLine.length = 0; g_typedLine.text[0] = 0; });
    edit.Type("mira").Key(28).Wait(10).Click(424, 472).Wait(10).Key(14).Key(28).Wait(10).Key(28);
    EXPECT_EQ(AccountDialog(), 7);
    EXPECT_STREQ(SwapOddNibblesCopy(g_login.account), "mira");
    EXPECT_EQ(SwapOddNibblesCopy(g_login.password), longer.substr(0, 97));
    EXPECT_EQ(dir->Read("user.dat"), "[main]\naccount=njsb\npassword=" + storedLonger.substr(0, 97) + "\nsaveinfo=1\n");
}

}  // namespace

namespace {

TEST_F(MainMenuTest, StoredAccountIsWrittenOnlyWithSaveinfo) {
    dir->Write("user.dat", "[main]\naccount=pme\npassword=tfdsfu\nsaveinfo=1\n");
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    ReadStoredAccount();
    EXPECT_STREQ(SwapOddNibblesCopy(g_login.account), "old");
    EXPECT_STREQ(SwapOddNibblesCopy(g_login.password), "secret");
    std::strcpy(g_login.account, "new:one");
    SwapOddNibbles(g_login.account);
    g_mainMenu.saveInfo = 0;
    WriteStoredAccount();
    EXPECT_EQ(dir->Read("user.dat"), "[main]\naccount=pme\npassword=tfdsfu\nsaveinfo=0\n");
    g_mainMenu.saveInfo = 1;
    WriteStoredAccount();
    EXPECT_EQ(dir->Read("user.dat"), "[main]\naccount=ofx;pof\npassword=tfdsfu\nsaveinfo=1\n");
    ReadStoredAccount();
    EXPECT_STREQ(SwapOddNibblesCopy(g_login.account), "new:one");
}

}  // namespace

namespace {

TEST_F(MainMenuTest, OnlineSlotsComeFromTheServiceAndAnEmptyAccountCreates) {
    g_playMode = 2;
    g_linkState = 2;
    uint8_t record[250] = {};
    std::memcpy(record, "Thorn", 5);
    record[68] = 3;    // copy byte 72: Healer
    record[69] = 9;    // level
    record[72] = 203;  // model
    StoreServiceCopy(0, record, sizeof record);
    SlotRequestState[0] = 2;
    SlotRequestState[1] = 1;  // still being fetched
    SlotRequestState[2] = SlotRequestState[3] = 0;
    std::string name, second, fetched = "x", empty;
    bool fetchedUsed = true;
    int playId = -1;
    MenuScript script;
    script.Wait(20, [&] {
        name = MainMenuHotSpots[2].label;
        second = MainMenuHotSpots[2].label2;
        fetchedUsed = MainMenuHotSpots[3].used;
        empty = MainMenuHotSpots[4].label;
    });
    script.Click(kStatueX[0], kStatueY[0]).Wait(10, [&] { playId = MainMenuHotSpots[1].used ? MainMenuHotSpots[1].id : -1; });
    // The service answers that the account has no characters at all.
    script.Do([] { SlotRequestState[0] = SlotRequestState[1] = 0; });
    g_currentSlot = 2;
    EXPECT_EQ(MainMenu(player), 7);
    EXPECT_EQ(name, "Thorn");
    EXPECT_EQ(second, "9th Healer");
    EXPECT_FALSE(fetchedUsed) << "no statue while the slot is fetched";
    EXPECT_EQ(empty, "New Character");
    EXPECT_EQ(playId, 5) << "Play online";
    EXPECT_EQ(g_currentSlot, 0);
    EXPECT_EQ(g_playMode, 2);
    EXPECT_EQ(Figures().back(), "CreateMenuFigure(0, 0, 0, 2)");
    g_linkState = 1;
}

TEST_F(MainMenuTest, ASlotBeingFetchedOffersNoCharacterButton) {
    g_playMode = 2;
    SlotRequestState[0] = 2;
    SlotRequestState[1] = 1;
    PressStatue(1);
    EXPECT_FALSE(MainMenuHotSpots[6].used);
    EXPECT_FALSE(MainMenuHotSpots[1].used);
    EXPECT_EQ(g_currentSlot, 1);
    PressStatue(7);  // outside 0..3: slot 0
    EXPECT_EQ(g_currentSlot, 0);
    RemoveAllMenuButtons();
}

}  // namespace

namespace {

TEST_F(MainMenuTest, InactivityShowsItsNoticeThenEndsTheMenu) {
    std::vector<std::string> lines;
    MenuScript script;
    script.Wait(10, [] { g_inactivityState = 1; }).Wait(10, [&] {
        for (int n = 0; n < ChatBuffer.count && n < kChatLines; ++n)
            lines.push_back(ChatBuffer.lines[n].text);
    });
    script.Do([] { g_inactivityState = 2; });
    EXPECT_EQ(MainMenu(player), -4);
    EXPECT_EQ(lines, (std::vector<std::string>{"You have been inactive for 15 minutes.", "",
                                               "Press any key to continue."}));
}

TEST_F(MainMenuTest, TheInactivityNoticeStaysAboveTheStatuesAndTheFigure) {
    // The notice's box (170, 450, 460 x 130) covers the lower statues and the figure stage, which
    // every frame draws again.
    WriteCharacters();
    const auto box = [] {
        std::vector<uint16_t> pixels;
        for (int y = 450; y < 580; ++y)
            for (int x = 170; x < 630; ++x)
                pixels.push_back(g_screen.backBuffer[y * kScreenWidth + x]);
        return pixels;
    };
    std::vector<uint16_t> shown;
    size_t animated[2] = {}, frames[2] = {};
    const auto count = [&](int n) {
        animated[n] = present->Named("AnimateMenuFigure").size();
        frames[n] = present->Named("DrawMenuFigureScene").size();
    };
    MenuScript script;
    script.Wait(10, [] { g_inactivityState = 1; }).Wait(10, [&] { count(0); }).Wait(20, [&] {
        count(1);
        shown = box();
    });
    script.Do([] { g_inactivityState = 2; });
    EXPECT_EQ(MainMenu(player), -4);
    DrawChatBox();
    EXPECT_TRUE(shown == box()) << "the box as drawn alone";
    EXPECT_EQ(animated[1], animated[0]) << "no figure while the notice is up";
    EXPECT_GT(frames[1], frames[0] + 5) << "frames still shown";
}

// A Setup list left open does not hold the menu past the inactivity timeout.
TEST_F(MainMenuTest, InactivityClosesAnOpenSetupList) {
    MenuScript script;
    script.Click(kSetupX, kSetupY).Wait(10);
    script.Key(80).Key(28).Wait(10);  // Config Settings open
    bool stillRunning = false;
    script.Do([] { g_inactivityState = 2; }).Wait(200, [&] { stillRunning = true; });
    EXPECT_EQ(MainMenu(player), -4);
    EXPECT_FALSE(stillRunning);
}

}  // namespace
