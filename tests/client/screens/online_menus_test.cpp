// The menus online against the scripted service on loopback: logging in with what the account
// dialog took, the slots from the service's copies, and creating, choosing and deleting a
// character, each checked as the service received it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "client/arena/local_player.h"
#include "client/arena/spell.h"
#include "client/core/config_file.h"
#include "client/core/game_values.h"
#include "client/core/numeric.h"
#include "client/core/screen_state.h"
#include "client/net/net_dispatch.h"
#include "client/net/net_handshake.h"
#include "client/net/net_lobby.h"
#include "client/net/net_rings.h"
#include "client/net/socket_layer.h"
#include "client/net/socket_settings.h"
#include "client/screens/character_file.h"
#include "client/screens/character_screen.h"
#include "client/screens/character_state.h"
#include "client/screens/main_menu.h"
#include "client/screens/menu_list.h"
#include "platform/sock/sock_control.h"
#include "tests/client/screens/menu_script.h"
#include "tests/client/screens/screen_fixture.h"
#include "tests/support/game_service.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put(Bytes& b, size_t at, const std::string& text) { std::memcpy(&b[at], text.data(), text.size()); }
void Put(Bytes& b, size_t at, std::initializer_list<uint8_t> v) {
    for (uint8_t x : v)
        b[at++] = x;
}

// A name request (query, check, add, delete): the name in compare form in 30 bytes, then the
// account in 24.
Bytes NameBody(const std::string& name, const std::string& account) {
    Bytes b(54, 0);
    Put(b, 0, name);
    Put(b, 30, account);
    return b;
}

using namespace menu_places;

class OnlineMenusTest : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        StartMenuScreen();
        ClearSpellData();
        ProfessionListTable[3][0] = 7;  // a Healer's one list
        SpellListTable[7].spells[0] = 71;
        g_menuSettings = MenuSettings{};
        g_currentSlot = 0;
        g_localPlayer = &player;
        platform::ResetSocketControls();
        ResetSocketLinks();
        ResetNetFraming();
        ASSERT_TRUE(service.Ok());
        service.InstallAsMessageSource();
        std::strcpy(SocketAddress, "127.0.0.1");
        SocketPort = service.DatagramPort();
        SocketStreamPort = service.StreamPort();
        ConnectionType = CONNECTION_STREAM;
        g_linkState = 1;
        g_playMode = 1;
    }
    void TearDown() override {
        service.RemoveMessageSource();
        ResetSocketLinks();
        platform::ResetSocketControls();
        g_localPlayer = nullptr;
        g_linkState = 1;
        g_playMode = 1;
        g_inactivityState = 0;
        ConnectionType = CONNECTION_SINGLE;
        ClearSpellData();
        ResetCharacterState();
        ScreenFixture::TearDown();
    }

    // An account the service knows, held as the one to log in with.
    void HoldAccount(const char* account, const char* password) {
        service.AddAccount(account, password);
        std::strcpy(g_login.account, account);
        SwapOddNibbles(g_login.account);
        std::strcpy(g_login.password, password);
        SwapOddNibbles(g_login.password);
    }
    // What the game driver does after the menu's connect and at the top of its loop: open the
    // stream, log in with the held account, enter the service and ask for the four slots.
    void LogIn() {
        g_linkState = 2;
        ASSERT_EQ(OpenStreamSocket(&StreamLink), 0);
        ASSERT_TRUE(PumpUntil([] { return StreamLink.connected == 1; }));
        SendConnect();
        ASSERT_EQ(WaitForServiceReply(), 1);
        g_playMode = 2;
        SendPlayerEnter(&player, 0);
        ASSERT_EQ(WaitForEnterReply(&player), 1);
        for (int s = 0; s < kCharacterSlots; ++s)
            RequestCharacter(s);
        ASSERT_TRUE(PumpUntil([] {
            BlockRead();
            for (int s = 0; s < kCharacterSlots; ++s)
                if (SlotRequestState[s] == 1)
                    return false;
            return true;
        }));
        loggedInFrames = service.Frames().size();
    }
    // The service's record of one character (250 bytes, as F_SEND_CHARACTER carries it from
    // byte 24): 32- and 16-bit values in network order.
    static Bytes Record(const std::string& name, uint8_t profession, uint8_t level, uint8_t model, uint8_t looks,
                        const std::string& squad = "", const std::string& abbrev = "") {
        Bytes r(250, 0);
        Put(r, 0, name);
        for (int i = 0; i < 10; ++i)
            r[20 + i] = static_cast<uint8_t>(55 + i);
        r[68] = profession;
        r[69] = level;
        r[72] = model;
        r[74] = looks;
        Put(r, 76, {0, 0, 0x30, 0x39});  // experience 12345
        Put(r, 164, squad);
        Put(r, 196, abbrev);
        return r;
    }
    // The frames the client sent after logging in, with their codes.
    std::vector<GameService::Frame> SentSinceLogin() const {
        const std::vector<GameService::Frame> all = service.Frames();
        return std::vector<GameService::Frame>(all.begin() + static_cast<long>(loggedInFrames), all.end());
    }
    static std::vector<int> Codes(const std::vector<GameService::Frame>& frames, std::initializer_list<int> skip = {11}) {
        std::vector<int> codes;
        for (const GameService::Frame& f : frames)
            if (std::find(skip.begin(), skip.end(), f.code) == skip.end())
                codes.push_back(f.code);
        return codes;
    }
    static std::vector<GameService::Frame> Of(const std::vector<GameService::Frame>& frames, int code) {
        std::vector<GameService::Frame> out;
        for (const GameService::Frame& f : frames)
            if (f.code == code)
                out.push_back(f);
        return out;
    }

    GameService service;
    LocalPlayer player{};
    size_t loggedInFrames = 0;
};

TEST_F(OnlineMenusTest, TheAccountDialogsAccountAndPasswordLogIn) {
    service.AddAccount("mira", "secret");
    // Nothing stored, and nothing to be: both fields are offered.
    dir->Write("user.dat", "[main]\nsaveinfo=0\n");
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    {
        MenuScript script;
        script.Wait(10).Type("mira").Key(28).Wait(10).Type("secret").Key(28).Wait(10).Key(28);
        EXPECT_EQ(MainMenu(player), 3) << "connect";
    }
    LogIn();
    // Back in the menu the account logged in stays the one in use, though user.dat has none.
    {
        MenuScript script;
        EXPECT_EQ(MainMenu(player), 7) << "an account without characters";
    }
    EXPECT_STREQ(SwapOddNibblesCopy(g_login.account), "mira");
    EXPECT_STREQ(SwapOddNibblesCopy(g_login.password), "secret");
    EXPECT_EQ(dir->Read("user.dat").find("\naccount="), std::string::npos) << "saveinfo off";
    // The connect request as the service took it: a zero byte, the client's version, the
    // password in 50 bytes, the service name (none) in 20, the account in lower case in 20.
    const std::vector<GameService::Frame> connects = service.FramesOf(15);
    ASSERT_EQ(connects.size(), 1u);
    Bytes connect(95, 0);
    Put(connect, 1, {'1', 0, 7, 0});
    Put(connect, 5, "secret");
    Put(connect, 75, "mira");
    EXPECT_EQ(connects[0].body, connect);
    EXPECT_TRUE(connects[0].checksumOk);
    // Each slot asked for: the account in 20 bytes, the slot, three zero bytes.
    const std::vector<GameService::Frame> asks = service.FramesOf(84);
    ASSERT_EQ(asks.size(), 4u);
    for (int s = 0; s < 4; ++s) {
        Bytes ask(24, 0);
        Put(ask, 0, "mira");
        ask[20] = static_cast<uint8_t>(s);
        EXPECT_EQ(asks[static_cast<size_t>(s)].body, ask) << s;
        EXPECT_EQ(asks[static_cast<size_t>(s)].destination, 0xFFFE) << "to the service";
        EXPECT_EQ(SlotRequestState[s], 0) << "the account keeps no characters";
    }
}

TEST_F(OnlineMenusTest, TheSlotsComeFromTheServiceAndAChosenOneIsPlayedAndLoaded) {
    HoldAccount("mira", "secret");
    service.StoreCharacter("mira", 0, Record("Thorn", 3, 9, 203, 0x21));
    service.StoreCharacter("mira", 2, Record("Vela", 0, 3, 202, 0x12, "Wardens", "WRD"));
    LogIn();
    EXPECT_EQ(SlotRequestState[0], 2);
    EXPECT_EQ(SlotRequestState[1], 0);
    EXPECT_EQ(SlotRequestState[2], 2);
    std::string labels[4][2];
    int playId = -1;
    MenuScript script;
    script.Wait(20, [&] {
        for (int s = 0; s < 4; ++s) {
            labels[s][0] = MainMenuHotSpots[2 + s].label;
            labels[s][1] = MainMenuHotSpots[2 + s].label2;
        }
    });
    script.Click(kStatueX[2], kStatueY[2]).Wait(10, [&] { playId = MainMenuHotSpots[1].used ? MainMenuHotSpots[1].id : -1; });
    script.Click(kPlayX, kPlayY);
    SetGameValue(4, 1);
    EXPECT_EQ(MainMenu(player), 2) << "Play online: the Tavern";
    EXPECT_EQ(labels[0][0], "Thorn");
    EXPECT_EQ(labels[0][1], "9th Healer");
    EXPECT_EQ(labels[1][0], "New Character");
    EXPECT_EQ(labels[1][1], "");
    EXPECT_EQ(labels[2][0], "Vela");
    EXPECT_EQ(labels[2][1], "3rd Magician");
    EXPECT_EQ(playId, 5);
    EXPECT_EQ(g_currentSlot, 2);
    EXPECT_EQ(present->Named("CreateMenuFigure").back(), "CreateMenuFigure(202, 2, 1, 1)");

    // The chosen character becomes the current one from the service's copy.
    LoadCharacterFile(player, g_currentSlot);
    EXPECT_STREQ(SwapOddNibblesCopy(g_currentCharacter.name), "Vela");
    EXPECT_STREQ(SwapOddNibblesCopy(g_currentCharacter.squad), "Wardens");
    EXPECT_STREQ(SwapOddNibblesCopy(g_currentCharacter.abbrev), "WRD");
    EXPECT_EQ(GetGameValue(0), 3);
    EXPECT_EQ(GetGameValue(114), 0);
    EXPECT_EQ(GetGameValue(1), 12345);
    EXPECT_EQ(GetGameValue(5), 55);
    EXPECT_EQ(GetGameValue(14), 64);
    EXPECT_EQ(player.figure_imagenum, 202);
    EXPECT_EQ(player.body_variant, 2);
    EXPECT_EQ(player.head_variant, 1);
    EXPECT_EQ(Codes(SentSinceLogin()), std::vector<int>{}) << "choosing sends nothing";
}

TEST_F(OnlineMenusTest, ANewAccountCreatesItsFirstCharacterOnTheService) {
    HoldAccount("nova", "pw");
    service.SetNameTaken("orla", true);
    service.SetNameIllegal("grub");
    LogIn();
    {
        MenuScript script;
        g_currentSlot = 2;
        EXPECT_EQ(MainMenu(player), 7) << "no characters: straight to creation";
        EXPECT_EQ(g_currentSlot, 0);
    }
    int duplicate = -1, illegal = -1, accepted = -1;
    MenuScript script;
    script.Wait(10).Type("orla").Key(28).Wait(40, [&] { duplicate = g_characterScreen.nameCheck; });
    script.Type("grub").Key(28).Wait(40, [&] { illegal = g_characterScreen.nameCheck; });
    script.Type("vela").Key(28).Wait(40, [&] { accepted = g_characterScreen.page; });
    script.Click(320, 250).Wait(5).Click(RowX(0), RowY(0)).Wait(10);  // Healer, Next
    script.Click(RowX(0), RowY(0)).Wait(20);                            // Next on the looks: finished
    script.Click(RowX(6), RowY(6));                                     // Exit the sheet
    EXPECT_EQ(CharacterCreation(player, -1), 0);
    EXPECT_EQ(duplicate, 1) << "the service knows orla";
    EXPECT_EQ(illegal, 2) << "Illegal Name!";
    EXPECT_EQ(accepted, 3) << "a free, acceptable name goes on to the profession page";
    ASSERT_TRUE(PumpUntil([&] { return !Of(SentSinceLogin(), 87).empty(); }));
    const std::vector<GameService::Frame> sent = SentSinceLogin();
    EXPECT_EQ(Codes(sent), (std::vector<int>{99, 106, 99, 106, 99, 106, 101, 87}));
    const std::vector<GameService::Frame> queries = Of(sent, 99), checks = Of(sent, 106);
    ASSERT_EQ(queries.size(), 3u);
    EXPECT_EQ(queries[0].body, NameBody("orla", "nova"));
    EXPECT_EQ(checks[0].body, NameBody("orla", "nova"));
    EXPECT_EQ(queries[2].body, NameBody("vela", "nova"));
    EXPECT_EQ(Of(sent, 101)[0].body, NameBody("vela", "nova")) << "the name reserved on leaving the name page";
    // The character: account, slot 0, then the record; the experience and the 40 readied values
    // in network order.
    Bytes character(274, 0);
    Put(character, 0, "nova");
    Put(character, 24, "vela");
    Put(character, 44, {50, 70, 50, 50, 50, 50, 70, 50, 50, 70});  // Constitution, Intuition, Strength 70
    character[68] = 7;                                             // the Healer's list
    character[80] = 1;                                             // at level 1
    Put(character, 92, {3, 1, 0});                                 // Healer, level 1, no points
    character[96] = 201;                                           // the first figure
    Put(character, 104, {0, 71});                                  // readied slot 0: the list's first spell
    const std::vector<GameService::Frame> characters = Of(sent, 87);
    ASSERT_EQ(characters.size(), 1u);
    EXPECT_EQ(characters[0].body, character);
    EXPECT_EQ(characters[0].destination, 0xFFFE);
    EXPECT_EQ(SlotRequestState[0], 2);
}

TEST_F(OnlineMenusTest, DeletingOnlineReleasesTheNameAndEmptiesTheServicesSlot) {
    HoldAccount("mira", "secret");
    service.StoreCharacter("mira", 1, Record("Thorn", 3, 9, 203, 0x21, "Wardens", "WRD"));
    LogIn();
    {
        MenuScript script;
        script.Wait(20).Click(kStatueX[1], kStatueY[1]).Wait(10).Click(kCharacterX, kCharacterY);
        EXPECT_EQ(MainMenu(player), 7);
        EXPECT_EQ(g_currentSlot, 1);
    }
    int page = -1;
    MenuScript script;
    script.Wait(20, [&] { page = g_characterScreen.page; });
    script.Click(RowX(4), RowY(4)).Wait(10).Click(400, kBoxUpperY);  // Delete, then its upper item
    EXPECT_EQ(CharacterCreation(player, -1), 0);
    EXPECT_EQ(page, 0) << "the sheet of the service's character";
    ASSERT_TRUE(PumpUntil([&] { return !Of(SentSinceLogin(), 87).empty(); }));
    const std::vector<GameService::Frame> sent = SentSinceLogin();
    EXPECT_EQ(Codes(sent), (std::vector<int>{104, 87})) << "the name released once";
    EXPECT_EQ(Of(sent, 104)[0].body, NameBody("thorn", "mira"));
    // The emptied copy: everything of the character cleared, the squad kept.
    Bytes emptied(274, 0);
    Put(emptied, 0, "mira");
    emptied[20] = 1;
    Put(emptied, 188, "Wardens");
    Put(emptied, 220, "WRD");
    EXPECT_EQ(Of(sent, 87)[0].body, emptied);
    EXPECT_EQ(SlotRequestState[1], 0);
    // Asked again, the service has nothing in the slot.
    RequestCharacter(1);
    ASSERT_TRUE(PumpUntil([] {
        BlockRead();
        return SlotRequestState[1] != 1;
    }));
    EXPECT_EQ(SlotRequestState[1], 0);
}

}  // namespace
