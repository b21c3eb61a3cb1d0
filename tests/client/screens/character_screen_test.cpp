#include "client/screens/character_screen.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "client/arena/local_player.h"
#include "client/arena/spell.h"
#include "client/core/config_file.h"
#include "client/core/game_values.h"
#include "client/core/numeric.h"
#include "client/core/screen_state.h"
#include "client/net/net_catalogue.h"
#include "client/net/net_dispatch.h"
#include "client/net/net_rings.h"
#include "client/net/socket_settings.h"
#include "client/screens/character_file.h"
#include "client/screens/character_state.h"
#include "client/screens/gws_core.h"
#include "client/screens/input.h"
#include "tests/client/screens/char_bin_bytes.h"
#include "tests/client/screens/menu_script.h"
#include "tests/client/screens/screen_fixture.h"
#include "client/screens/figure_stage.h"
#include "tools/writers/char_file_writer.h"
#include "tools/writers/menu_scene.h"
#include "tests/support/ddraw_device.h"
#include "tests/support/sent_frames.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put(Bytes& b, size_t at, std::initializer_list<uint8_t> v) {
    for (uint8_t x : v)
        b[at++] = x;
}

Bytes FileOf(const Bytes& slots) { return CharBinOf(9, slots); }

using namespace menu_places;

class CharacterScreenTest : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        StartMenuScreen();
        ClearSpellData();
        ProfessionListTable[0][0] = 3;
        ProfessionListTable[0][1] = 7;
        SpellListTable[3].spells[0] = 31;
        SpellListTable[3].spells[1] = 32;
        SpellListTable[7].spells[0] = 71;
        g_playMode = 1;
        g_linkState = 1;
        g_localPlayer = &player;
    }
    void TearDown() override {
        g_localPlayer = nullptr;
        g_inactivityState = 0;
        ClearSpellData();
        ScreenFixture::TearDown();
    }
    void ExpectGolden(const char* name) {
        std::string message;
        EXPECT_TRUE(ddtest::MatchesGolden(goldenDir, name, BackBufferImage(), 0, 0, &message)) << message;
    }
    Bytes CharBin() {
        const std::string s = dir->Read("char.bin");
        return Bytes(s.begin(), s.end());
    }
    LocalPlayer player{};
};

TEST_F(CharacterScreenTest, ANewMagicianThroughNameProfessionAndLooks) {
    std::vector<int> pages;
    MenuScript script;
    const char* const kGoldens[] = {"character_name", "character_profession", "character_looks", "character_sheet"};
    const auto page = [&] {
        if (pages.size() < 4)
            ExpectGolden(kGoldens[pages.size()]);
        pages.push_back(g_characterScreen.page);
    };
    script.Wait(10, page).Type("orla").Key(28).Wait(10, page);
    script.Click(200, 250).Click(RowX(0), RowY(0)).Wait(10, page);
    script.Click(250, 154).Click(120, 234).Click(120, 314).Click(120, 314).Click(RowX(0), RowY(0)).Wait(10, page);
    script.Click(RowX(6), RowY(6));
    EXPECT_EQ(CharacterCreation(player, 1), 0);
    EXPECT_EQ(pages, (std::vector<int>{2, 3, 5, 0}));

    Bytes slots(1920, 0);
    const size_t r = 480;
    std::memcpy(&slots[r], "orla", 4);
    Put(slots, r + 60, {70, 50, 50, 50, 50, 70, 50, 50, 70, 50});  // a Magician's Quickness, Agility, Empathy
    Put(slots, r + 84, {3, 7});
    Put(slots, r + 94, {1, 1});
    Put(slots, r + 104, {0, 1, 0, 0});
    Put(slots, r + 148, {0xCA, 0x00, 0x21, 0x00});  // Female: model 202; head 1, image 2
    Put(slots, r + 160, {31, 0, 0, 0, 71, 0, 0, 0});  // the first spell of each list readied
    EXPECT_EQ(CharBin(), FileOf(slots));
    EXPECT_EQ(g_characterScreen.page, 0);
}

// The name box (213,128, 114 x 20) with a margin around it.
ddtest::Image NameBoxImage(const ddtest::Image& screen) {
    ddtest::Image box;
    box.width = 160;
    box.height = 40;
    for (int y = 118; y < 118 + box.height; ++y)
        for (int x = 190; x < 190 + box.width; ++x)
            box.pixels.push_back(screen.At(x, y));
    return box;
}

// Eleven wide letters and the cursor stay inside the box (it shows the line's end); a twelfth is
// not taken, and Backspace takes letters away without leaving any of them drawn.
TEST_F(CharacterScreenTest, TheNameBoxHoldsElevenWideLetters) {
    const auto golden = [&](const char* name) {
        std::string message;
        EXPECT_TRUE(ddtest::MatchesGolden(goldenDir, name, NameBoxImage(BackBufferImage()), 0, 0, &message))
            << message;
    };
    int typed = -1;
    MenuScript script;
    script.Wait(10).Do([] { platform::InjectKey(42, true); }).Type("wwwwwwwwwww");
    script.Wait(5, [&] { golden("character_name_full"); }).Type("w").Wait(5, [&] { typed = g_typedLine.length; });
    script.Do([] { platform::InjectKey(42, false); });
    for (int i = 0; i < 6; ++i)
        script.Key(14);
    script.Wait(5, [&] { golden("character_name_backspace"); });
    script.Key(28).Wait(10).Click(RowX(1), RowY(1));  // Cancel on the profession page
    EXPECT_EQ(CharacterCreation(player, 0), 0);
    EXPECT_EQ(typed, 11) << "the twelfth letter is not taken";
    EXPECT_STREQ(SwapOddNibblesCopy(g_currentCharacter.name), "WWWWW");
}

TEST_F(CharacterScreenTest, NoButtonLiesUnderTheFigureStage) {
    // The preview figure is drawn over the page in the menu scene camera's frame.
    EXPECT_EQ(kFigureStage.left, kMenuStageLeft);
    EXPECT_EQ(kFigureStage.top, kMenuStageTop);
    EXPECT_EQ(kFigureStage.right, kMenuStageLeft + kMenuStageWidth);
    EXPECT_EQ(kFigureStage.bottom, kMenuStageTop + kMenuStageHeight);
    struct Case {
        int page, points, buttons;
    } cases[] = {{0, 0, 7}, {1, 3, 4}, {1, 0, 3}, {3, 0, 6}, {5, 0, 8}, {7, 0, 2}};
    for (const Case& c : cases) {
        SetGameValue(113, c.points);
        SetCharacterPage(player, c.page);
        int used = 0;
        for (const CharacterButton& b : CharacterButtons) {
            if (!b.used)
                continue;
            ++used;
            EXPECT_FALSE(Overlaps(ScreenBox{b.x1, b.y1, b.x2, b.y2}, kFigureStage)) << c.page << " " << b.label;
            EXPECT_TRUE(b.x1 >= 0 && b.x2 <= 800 && b.y1 >= 0 && b.y2 <= 600) << c.page << " " << b.label;
        }
        EXPECT_EQ(used, c.buttons) << c.page;
    }
    SetCharacterPage(player, 3);
}

TEST_F(CharacterScreenTest, RefusedNamesStayOnTheNamePage) {
    MenuScript script;
    int pageAfterRefusal = -1;
    script.Wait(10).Type("abc").Key(28).Wait(10, [&] { pageAfterRefusal = g_characterScreen.page; });
    script.Type("orla").Key(28).Wait(10).Click(RowX(1), RowY(1));  // Cancel on the profession page
    EXPECT_EQ(CharacterCreation(player, 0), 0);
    EXPECT_EQ(pageAfterRefusal, 2);
    EXPECT_STREQ(SwapOddNibblesCopy(g_currentCharacter.name), "orla");
    EXPECT_FALSE(dir->Exists("char.bin") && CharBin()[8] != 0) << "a cancelled character is not saved";
}

TEST_F(CharacterScreenTest, ALevelUpRaisesStatisticsThenTheSheetDeletes) {
    CharacterSketch c;
    c.name = "Aldwin";
    c.level = 5;
    c.experience = 60000;  // enough to leave level 5
    for (int& s : c.stats)
        s = 89;
    c.picks[0] = 3;
    c.pickLevels[0] = 5;
    const Bytes file = BuildCharacterFileOf({c, {}, {}, {}});
    dir->Write("char.bin", std::string(file.begin(), file.end()));
    int firstPage = -1, points = -1, strength = -1, pointsBack = -1, strengthBack = -1;
    MenuScript script;
    script.Wait(10, [&] { firstPage = g_characterScreen.page; });
    script.Key(77).Key(77).Wait(5, [&] {
        points = GetGameValue(113);
        strength = GetGameValue(14);
    });
    // Back down, but not below where the raising began.
    script.Key(75).Key(75).Key(75).Wait(5, [&] {
        pointsBack = GetGameValue(113);
        strengthBack = GetGameValue(14);
    });
    script.Click(RowX(0), RowY(0)).Wait(10);       // Next: saved, the sheet
    script.Click(RowX(4), RowY(4)).Wait(10);       // Delete: the box
    script.Click(400, kBoxUpperY);            // its upper item
    EXPECT_EQ(CharacterCreation(player, 0), 0);
    EXPECT_EQ(firstPage, 7);
    EXPECT_EQ(strength, 91);
    EXPECT_EQ(points, 10 - 1 - 2) << "89 to 90 costs 1, 90 to 91 costs 2";
    EXPECT_EQ(strengthBack, 89);
    EXPECT_EQ(pointsBack, 10);
    EXPECT_EQ(CharBin(), FileOf(Bytes(1920, 0))) << "deleted";
    EXPECT_EQ(gwsPopupMenu(), nullptr);
}

// The character file with one slot patched by hand: sysop level in byte 107's low nibble.
Bytes WithSysop(const Bytes& file, int slot, int sysop) {
    Bytes slots(file.begin() + 8, file.begin() + 8 + 1920);
    slots[480 * slot + 107] = static_cast<uint8_t>((slots[480 * slot + 107] & 0xF0) | sysop);
    return FileOf(slots);
}

TEST_F(CharacterScreenTest, CancelOnTheRaisePageKeepsTheFileAndTheLevelUpWaits) {
    CharacterSketch c;
    c.name = "Aldwin";
    c.level = 5;
    c.experience = 60000;
    for (int& s : c.stats)
        s = 89;
    const Bytes file = BuildCharacterFileOf({c, {}, {}, {}});
    dir->Write("char.bin", std::string(file.begin(), file.end()));
    int firstPage = -1, points = -1;
    {
        MenuScript script;
        script.Wait(10, [&] { firstPage = g_characterScreen.page; });
        script.Key(77).Key(80).Key(77).Wait(5, [&] { points = GetGameValue(113); });
        script.Click(RowX(1), RowY(1));  // Cancel
        EXPECT_EQ(CharacterCreation(player, 0), 0);
    }
    EXPECT_EQ(firstPage, 7);
    EXPECT_EQ(points, 10 - 1 - 1) << "Strength and Quickness each 89 to 90";
    EXPECT_EQ(CharBin(), file) << "nothing raised on a cancelled page is kept";
    // The level-up was not stored: the next visit offers it again with all its points.
    int againPage = -1, againPoints = -1, againLevel = -1, strength = -1;
    MenuScript script;
    script.Wait(10, [&] {
        againPage = g_characterScreen.page;
        againPoints = GetGameValue(113);
        againLevel = GetGameValue(0);
        strength = GetGameValue(14);
    });
    script.Click(RowX(1), RowY(1));
    EXPECT_EQ(CharacterCreation(player, 0), 0);
    EXPECT_EQ(againPage, 7);
    EXPECT_EQ(againPoints, 10);
    EXPECT_EQ(againLevel, 6);
    EXPECT_EQ(strength, 89);
}

TEST_F(CharacterScreenTest, SysopKeysSetTheLevelAndProfessionOnTheSheetOnly) {
    ProfessionListTable[1][0] = 7;  // the Runemage's one list
    struct Case {
        int sysop;
        int levelAfterRights, levelAfterLeft;
        uint8_t profession, level, points, pickLevel;
        uint32_t experience;
    } cases[] = {
        // Level 5 stays; the picks keep their stored list and level.
        {0, 5, 5, 0, 5, 0, 5, 0},
        // Right past 50 stops there, Left gives 49, "2" makes a Runemage with its list at level 1
        // and as many points as levels. Experience beyond the table's last level reads its last entry.
        {3, 50, 49, 1, 49, 49, 1, 22000000},
    };
    for (const Case& k : cases) {
        CharacterSketch c;
        c.name = "Aldwin";
        c.level = 5;
        c.picks[0] = 3;
        c.pickLevels[0] = 5;
        for (int& v : c.stats)
            v = 60;
        const Bytes file = WithSysop(BuildCharacterFileOf({c, {}, {}, {}}), 0, k.sysop);
        dir->Write("char.bin", std::string(file.begin(), file.end()));
        int page = -1, afterRights = -1, afterLeft = -1;
        MenuScript script;
        script.Wait(10, [&] { page = g_characterScreen.page; });
        for (int n = 0; n < 46; ++n)
            script.Key(77);
        script.Wait(10, [&] { afterRights = GetGameValue(0); });
        script.Key(75).Wait(10, [&] { afterLeft = GetGameValue(0); });
        script.Key(3);                    // "2": the second profession
        script.Click(RowX(5), RowY(5));     // Save
        EXPECT_EQ(CharacterCreation(player, 0), 0);
        const std::string what = "sysop " + std::to_string(k.sysop);
        EXPECT_EQ(page, 0) << what;
        EXPECT_EQ(afterRights, k.levelAfterRights) << what;
        EXPECT_EQ(afterLeft, k.levelAfterLeft) << what;
        const Bytes saved = CharBin();
        const size_t r = 8;
        EXPECT_EQ(saved[r + 104], k.profession) << what;
        EXPECT_EQ(saved[r + 105], k.level) << what;
        EXPECT_EQ(saved[r + 106], k.points) << what;
        EXPECT_EQ(saved[r + 107] & 15, k.sysop) << what;
        EXPECT_EQ(saved[r + 84], k.sysop ? 7 : 3) << what;
        EXPECT_EQ(saved[r + 94], k.pickLevel) << what;
        uint32_t experience = 0;
        std::memcpy(&experience, &saved[r + 152], 4);
        EXPECT_EQ(experience, k.experience) << what;
        if (k.sysop) {
            // A Runemage's statistics: Quickness, Constitution and Presence 70.
            EXPECT_EQ(Bytes(saved.begin() + r + 60, saved.begin() + r + 70),
                      (Bytes{50, 70, 50, 50, 50, 50, 50, 70, 70, 50}))
                << what;
        } else {
            EXPECT_EQ(Bytes(saved.begin() + r + 60, saved.begin() + r + 70), Bytes(10, 60)) << what;
        }
    }
}

TEST_F(CharacterScreenTest, ReadyAndClearByClicksAndDoubleClicks) {
    CharacterSketch c;
    c.name = "Aldwin";
    c.level = 5;
    c.picks[0] = 3;
    c.pickLevels[0] = 5;
    c.picks[1] = 7;
    c.pickLevels[1] = 5;
    const Bytes file = BuildCharacterFileOf({c, {}, {}, {}});
    dir->Write("char.bin", std::string(file.begin(), file.end()));
    // Rows from y 100: picks at x 40 and spells at x 260, 14 pixels each; readied at x 500, 18
    // pixels each in groups of five 6 pixels apart.
    const auto row = [](int i) { return 100 + i * 14 + 7; };
    const auto readiedRow = [](int i) { return 100 + i * 18 + 9 + i / 5 * 6; };
    int first[2] = {-1, -1}, bank = -1, selected = -1, doubled[2] = {-1, -1}, cleared[2] = {-1, -1};
    MenuScript script;
    script.Wait(10);
    for (const auto& [x, y] : {std::pair{100, row(0)}, {300, row(1)}, {550, readiedRow(3)}, {RowX(0), RowY(0)}})
        script.Click(x, y).Wait(5);
    script.Wait(10, [&] {
        first[0] = GetGameValue(25 + 3);
        first[1] = GetGameValue(65 + 3);
    });
    // The second bank and the second list: a double click on a readied row readies at once.
    script.Click(RowX(3), RowY(3)).Wait(10, [&] {
        bank = g_characterScreen.bank;
        selected = g_characterScreen.selectedReadied;
    });
    script.Click(100, row(1)).Wait(5).DoubleClick(550, readiedRow(0)).Wait(10, [&] {
        doubled[0] = GetGameValue(25 + 20);
        doubled[1] = GetGameValue(65 + 20);
    });
    // Readied slot 3 of this bank takes the spell, then Clear empties it again.
    script.Click(550, readiedRow(3)).Wait(5).Click(RowX(0), RowY(0)).Wait(5).Click(RowX(1), RowY(1)).Wait(10, [&] {
        cleared[0] = GetGameValue(25 + 23);
        cleared[1] = GetGameValue(65 + 23);
    });
    script.Click(RowX(5), RowY(5));  // Save
    EXPECT_EQ(CharacterCreation(player, 0), 0);
    EXPECT_EQ(first[0], 32) << "the second spell of the first list";
    EXPECT_EQ(first[1], 2);
    EXPECT_EQ(bank, 1);
    EXPECT_EQ(selected, 23) << "the selected row moves to the other bank";
    EXPECT_EQ(doubled[0], 71);
    EXPECT_EQ(doubled[1], 1);
    EXPECT_EQ(cleared[0], 0);
    EXPECT_EQ(cleared[1], 0);
    // The 40 readied values from record byte 160, 32-bit each.
    const Bytes saved = CharBin();
    const auto readied = [&](int n) {
        int32_t v = 0;
        std::memcpy(&v, &saved[8 + 160 + 4 * n], 4);
        return v;
    };
    EXPECT_EQ(readied(3), 32);
    EXPECT_EQ(readied(20), 71);
    EXPECT_EQ(readied(23), 0);
}

TEST_F(CharacterScreenTest, SixteenSpellRowsFitAboveTheFigureStage) {
    // A list of 20 spells at level 20: the sheet shows its first 16, every one clickable, and
    // draws nothing where the preview figure stands.
    for (int p = 0; p < 20; ++p)
        SpellListTable[3].spells[p] = 31 + p;
    CharacterSketch c;
    c.name = "Aldwin";
    c.level = 20;
    c.picks[0] = 3;
    c.pickLevels[0] = 20;
    const Bytes file = BuildCharacterFileOf({c, {}, {}, {}});
    dir->Write("char.bin", std::string(file.begin(), file.end()));
    int stageDrawn = -1, selected[2] = {-1, -1};
    const auto click = [&](MenuScript& script, int row, int& out) {
        script.Click(300, 100 + row * 14 + 7).Wait(10, [&] { out = g_characterScreen.selectedPosition; });
    };
    MenuScript script;
    script.Wait(20, [&] {
        const uint16_t* background = g_screen.SnapshotPixels();
        ASSERT_NE(background, nullptr);
        stageDrawn = 0;
        for (int y = kFigureStage.top; y < kFigureStage.bottom; ++y)
            for (int x = kFigureStage.left; x < kFigureStage.right; ++x)
                stageDrawn += At(x, y) != background[y * kScreenWidth + x];
    });
    click(script, 15, selected[0]);
    click(script, 16, selected[1]);
    script.Click(RowX(6), RowY(6));  // Exit
    EXPECT_EQ(CharacterCreation(player, 0), 0);
    EXPECT_EQ(stageDrawn, 0) << "pixels drawn on the figure stage";
    EXPECT_EQ(selected[0], 16) << "the last row";
    EXPECT_EQ(selected[1], 16) << "a click on the stage selects nothing";
}

TEST_F(CharacterScreenTest, TheDeleteBoxKeepsTheCharacterUnlessItsUpperItemIsChosen) {
    CharacterSketch c;
    c.name = "Aldwin";
    c.level = 5;
    const Bytes file = BuildCharacterFileOf({c, {}, {}, {}});
    dir->Write("char.bin", std::string(file.begin(), file.end()));
    int pageWithBox = -1, pageAfterLower = -1, pageAfterEnded = -1, openAfterEnded = 1;
    MenuScript script;
    script.Wait(10).Click(RowX(4), RowY(4)).Wait(10, [&] { pageWithBox = g_characterScreen.page; });
    script.Click(400, kBoxLowerY).Wait(10, [&] { pageAfterLower = g_characterScreen.page; });
    // The window system ends the box on its own: back to the sheet, the box freed once.
    script.Click(RowX(4), RowY(4)).Wait(10).Do([] { gwsClosePopup(gwsPopupTicket()); }).Wait(10, [&] {
        pageAfterEnded = g_characterScreen.page;
        openAfterEnded = g_characterScreen.deleteOpen;
    });
    // A click beside the box leaves it up; its lower item then returns to the sheet.
    int pageAfterBeside = -1;
    script.Click(RowX(4), RowY(4)).Wait(10).Click(700, 100).Wait(10, [&] { pageAfterBeside = g_characterScreen.page; });
    script.Click(400, kBoxLowerY).Wait(10).Click(RowX(6), RowY(6));
    EXPECT_EQ(CharacterCreation(player, 0), 0);
    EXPECT_EQ(pageWithBox, 6);
    EXPECT_EQ(pageAfterLower, 0);
    EXPECT_EQ(pageAfterEnded, 0);
    EXPECT_EQ(openAfterEnded, 0);
    EXPECT_EQ(pageAfterBeside, 6);
    EXPECT_EQ(CharBin(), file) << "kept";
    EXPECT_EQ(gwsPopupMenu(), nullptr);
}

// ---- Online: names on the service -----------------------------------------------------------------

class OnlineCharacterTest : public CharacterScreenTest {
protected:
    void SetUp() override {
        CharacterScreenTest::SetUp();
        g_playMode = 2;
        g_linkState = 2;
        ConnectionType = CONNECTION_SINGLE;  // frames stay in the send ring
        ResetSendRing();
        std::strcpy(g_login.account, "mira");
        SwapOddNibbles(g_login.account);
        g_login.privilegeLevel = 0;
    }
    void TearDown() override {
        g_playMode = 1;
        g_linkState = 1;
        CharacterScreenTest::TearDown();
    }
};

TEST_F(OnlineCharacterTest, DuplicateAndUnansweredNamesAreRefusedAndAnAbandonedNameIsReleased) {
    int afterDuplicate = -1, afterSilence = -1;
    std::string nameAfterDuplicate = "x";
    MenuScript script;
    script.Wait(10).Type("orla").Key(28).Wait(20, [] {
        NameCheckResults.queryAnswer = 2;  // the service knows the name
        NameCheckResults.checkAnswer = 1;
    });
    script.Wait(20, [&] {
        afterDuplicate = g_characterScreen.nameCheck;
        nameAfterDuplicate = SwapOddNibblesCopy(g_currentCharacter.name);
    });
    // Nobody answers the next one: after 8000 ms it counts as refused.
    script.Type("nova").Key(28).Wait(1700, [&] { afterSilence = g_characterScreen.nameCheck; });
    script.Type("vela").Key(28).Wait(20, [] {
        NameCheckResults.queryAnswer = 1;
        NameCheckResults.checkAnswer = 1;
    });
    script.Wait(20).Click(RowX(1), RowY(1));  // Cancel on the profession page
    EXPECT_EQ(CharacterCreation(player, 0), 0);
    EXPECT_EQ(afterDuplicate, 1);
    EXPECT_EQ(nameAfterDuplicate, "") << "a refused name is cleared";
    EXPECT_EQ(afterSilence, 3) << "Server Timed Out!";
    EXPECT_EQ(SentCodes(), (std::vector<int>{F_QUERY_NAME, F_CHECK_NAME, F_QUERY_NAME, F_CHECK_NAME, F_QUERY_NAME,
                                             F_CHECK_NAME, F_ADD_NAME, F_DELETE_NAME}));
}

TEST_F(OnlineCharacterTest, AnInvalidNameShowsItsRefusalForFourSeconds) {
    uint64_t before = 0;
    int pageAfter = -1;
    MenuScript script;
    script.Wait(10).Type("ab").Wait(2, [&] { before = GetTickCount(); }).Key(28);
    script.Wait(900, [&] { pageAfter = g_characterScreen.page; }).Type("orla").Key(28).Wait(20, [] {
        NameCheckResults.queryAnswer = 1;
        NameCheckResults.checkAnswer = 1;
    });
    script.Wait(20).Click(RowX(1), RowY(1));
    EXPECT_EQ(CharacterCreation(player, 0), 0);
    EXPECT_GE(GetTickCount() - before, 4000u) << "the refusal stays 4000 ms";
    EXPECT_EQ(pageAfter, 2);
    // The refused name was never offered to the service.
    EXPECT_EQ(SentCodes(), (std::vector<int>{F_QUERY_NAME, F_CHECK_NAME, F_ADD_NAME, F_DELETE_NAME}));
}

}  // namespace
