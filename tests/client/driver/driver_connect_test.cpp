// The connect screen against the scripted service on loopback: login, every refusal, the silent
// service, the version check, the "both" retry in the driver and the outside transport.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "client/arena/local_player.h"
#include "client/core/error_log.h"
#include "client/core/numeric.h"
#include "client/core/screen_files.h"
#include "client/core/screen_state.h"
#include "client/core/sound.h"
#include "client/driver/game_main.h"
#include "client/driver/game_settings.h"
#include "client/driver/link_timers.h"
#include "client/driver/message_pump.h"
#include "client/driver/screen_loops.h"
#include "client/level/level_textures.h"
#include "client/net/net_catalogue.h"
#include "client/net/net_dispatch.h"
#include "client/net/net_rings.h"
#include "client/net/socket_layer.h"
#include "client/net/socket_settings.h"
#include "client/screens/character_state.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/screen_surface.h"
#include "platform/sock/sock_control.h"
#include "tests/client/screens/screen_fixture.h"
#include "tests/support/game_service.h"
#include "tools/writers/menu_art.h"

namespace {

class ConnectTest : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        StartScreen();
        g_localPlayer = &player;
        platform::ResetSocketControls();
        ResetSocketLinks();
        ResetNetFraming();
        ASSERT_TRUE(service.Ok());
        std::strcpy(SocketAddress, "127.0.0.1");
        SocketPort = service.DatagramPort();
        SocketStreamPort = service.StreamPort();
        SocketPortInUse = SocketStreamPort;
        ConnectionType = CONNECTION_STREAM;
        ConnectionBothFlag = 0;
        g_linkState = 1;
        g_playMode = 1;
        g_debugLevel = 0;
        g_login = LoginData{};
        g_onlineService = OnlineServiceParams{};
        ClearChatBuffer();
        service.AddAccount("thorn", "secret");
        Hold(g_login.account, "thorn");
        Hold(g_login.password, "secret");
    }
    void TearDown() override {
        if (escaper >= 0)
            platform::RemoveMessageSource(escaper);
        service.RemoveMessageSource();
        ResetSocketLinks();
        platform::ResetSocketControls();
        KillTimer(platform::MainWindow(), kLinkTimer);
        KillTimer(platform::MainWindow(), kInactivityTimer);
        g_localPlayer = nullptr;
        g_linkState = 1;
        g_playMode = 1;
        g_connected = 0;
        ConnectionType = CONNECTION_SINGLE;
        ScreenFixture::TearDown();
    }
    template <size_t N>
    static void Hold(char (&field)[N], const char* text) {
        std::memset(field, 0, N);
        std::strncpy(field, text, N - 1);
        SwapOddNibbles(field);
    }
    // Escape is pressed every 100 ms, so each wait for it ends.
    void PressEscapeLater() {
        escaper = platform::AddMessageSource([] {
            static DWORD last = 0;
            if (GetTickCount() - last < 100)
                return;
            last = GetTickCount();
            platform::InjectKey(1, true);
            platform::InjectKey(1, false);
        });
    }
    // The console's texts, oldest first.
    static std::vector<std::string> Console() {
        std::vector<std::string> lines;
        for (int i = 0; i < kChatLines; ++i) {
            const ChatLine& l = ChatBuffer.lines[(ChatBuffer.write + i) % kChatLines];
            if (l.text[0] || l.tag[0])
                lines.emplace_back(l.text);
        }
        return lines;
    }
    static std::string Joined(const std::vector<std::string>& lines) {
        std::string all;
        for (const std::string& l : lines)
            all += l + "\n";
        return all;
    }
    static bool Has(const std::vector<std::string>& lines, const std::string& text) {
        for (const std::string& l : lines)
            if (l.find(text) != std::string::npos)
                return true;
        return false;
    }
    LocalPlayer player{};
    GameService service;
    int escaper = -1;
};

TEST_F(ConnectTest, AcceptedLoginStartsTheLinkTimers) {
    service.InstallAsMessageSource(1);
    PressEscapeLater();  // only a failed attempt would wait for it
    EXPECT_EQ(ConnectToService(player, 1), 1) << Joined(Console());
    EXPECT_EQ(g_connected, 1);
    EXPECT_EQ(g_linkState, 2);
    EXPECT_EQ(service.FramesOf(15).size(), 1u);  // one F_CONNECT
    const std::vector<std::string> console = Console();
    EXPECT_TRUE(Has(console, "Establishing Communications..."));
    EXPECT_TRUE(Has(console, "Connecting to Service..."));
    EXPECT_TRUE(Has(console, "Connected to Service."));
    // A ping follows the login; the link timer then pings every 4 s.
    EXPECT_TRUE(PumpUntil([&] { return !service.FramesOf(11).empty(); }));
}

TEST_F(ConnectTest, EachRefusalShowsItsTextAndFails) {
    struct Case {
        int code;
        std::vector<std::string> lines;
    } cases[] = {
        {1, {"Your Password is Incorrect!"}},
        {2, {"Your Account is Invalid!"}},
        {3, {"The Authorization Server is Unavailable!"}},
        {5, {"You do not have the latest version!", "Please download the latest client."}},
        {6, {"Error Accessing User Account!"}},
        {7, {"No Record for User Found!"}},
        {8, {"Your account has no access to any games!"}},
        {9, {"Your account has no access to this game!"}},
        {10, {"Your account has been closed!"}},
        {4, {"Service not Available."}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> got;
        for (const char* const* l = LoginRefusalLines(c.code); *l; ++l)
            got.emplace_back(*l);
        EXPECT_EQ(got, c.lines) << c.code;
    }
    service.AddAccount("thorn", "secret", 7);
    service.InstallAsMessageSource(1);
    PressEscapeLater();
    EXPECT_EQ(ConnectToService(player, 1), 0);
    EXPECT_EQ(g_linkState, 1);
    EXPECT_EQ(service.FramesOf(15).size(), 1u);  // a refusal is not retried
    const std::vector<std::string> console = Console();
    EXPECT_TRUE(Has(console, "No Record for User Found!"));
    EXPECT_TRUE(Has(console, "Connection Failed."));
    EXPECT_TRUE(Has(console, "Hit ESC to return to menu."));
    EXPECT_EQ(StreamLink.socket, INVALID_SOCKET);
}

TEST_F(ConnectTest, ASilentServiceIsAskedNineTimes) {
    service.SetSilent(true);
    service.InstallAsMessageSource(5);
    PressEscapeLater();
    EXPECT_EQ(ConnectToService(player, 1), 0);
    EXPECT_EQ(service.FramesOf(15).size(), 9u);
    const std::vector<std::string> console = Console();
    EXPECT_TRUE(Has(console, "Retrying..."));
    EXPECT_TRUE(Has(console, "Service not Available."));
    EXPECT_EQ(g_linkState, 1);
}

TEST_F(ConnectTest, AnOlderServiceVersionFailsTheAttempt) {
    service.SetVersion('1', 0, 6, 0);
    service.InstallAsMessageSource(1);
    PressEscapeLater();
    EXPECT_EQ(ConnectToService(player, 1), 0);
    EXPECT_EQ(g_connected, 0);
    EXPECT_EQ(g_linkState, 1);
    const std::vector<std::string> console = Console();
    EXPECT_TRUE(Has(console, "Your client software is outdated."));
    EXPECT_TRUE(Has(console, "Client Version #0.70."));
    EXPECT_TRUE(Has(console, "Server Version #0.60."));
}

TEST_F(ConnectTest, AnOperatorConnectsToAnOlderService) {
    g_login.privilegeLevel = 5;
    service.SetVersion('1', 0, 6, 0);
    service.InstallAsMessageSource(1);
    EXPECT_EQ(ConnectToService(player, 1), 1);
    EXPECT_EQ(g_linkState, 2);
}

TEST_F(ConnectTest, BothRetriesOverTheStreamOnTheNextPort) {
    // No service answers datagrams at the port in use; the stream at port + 1 does.
    ConnectionType = CONNECTION_DATAGRAM;
    ConnectionBothFlag = 1;
    SocketPort = SocketPortInUse = service.StreamPort() - 1;
    SocketStreamPort = 1;
    service.InstallAsMessageSource(5);
    PressEscapeLater();
    EXPECT_EQ(RunScreen(3), -1);
    EXPECT_EQ(ConnectionType, CONNECTION_STREAM);
    EXPECT_EQ(SocketPortInUse, service.StreamPort());
    EXPECT_EQ(g_linkState, 2);
    EXPECT_EQ(g_playMode, 2);
}

TEST_F(ConnectTest, BothPutsThePortAndTypeBackWhenNeitherConnects) {
    ConnectionType = CONNECTION_DATAGRAM;
    ConnectionBothFlag = 1;
    service.SetSilent(true);
    SocketPort = SocketPortInUse = service.StreamPort() - 1;
    SocketStreamPort = 1;
    service.InstallAsMessageSource(5);
    PressEscapeLater();
    EXPECT_EQ(RunScreen(3), -1);
    EXPECT_EQ(ConnectionType, CONNECTION_DATAGRAM);
    EXPECT_EQ(SocketPortInUse, service.StreamPort() - 1);
    EXPECT_EQ(SocketStreamPort, 1);
    EXPECT_EQ(g_linkState, 1);
    EXPECT_EQ(g_playMode, 1);
    EXPECT_EQ(service.FramesOf(15).size(), 9u);  // the stream's nine tries; datagrams went nowhere
}

TEST_F(ConnectTest, TheOutsideTransportShowsTheWindowAgainBeforeWaiting) {
    ConnectionType = CONNECTION_ORLOP;
    PressEscapeLater();
    EXPECT_EQ(ConnectToService(player, 1), 0);
    EXPECT_TRUE(Has(Console(), "Hit ESC to return to menu."));
    EXPECT_TRUE(IsWindowVisible(g_mainWindow)) << "hidden for the outside login, shown for the wait";
    EXPECT_EQ(g_linkState, 1);
}

TEST_F(ConnectTest, DisconnectSendsAndClosesAndGoesOffline) {
    service.InstallAsMessageSource(1);
    ASSERT_EQ(ConnectToService(player, 1), 1);
    Disconnect();
    EXPECT_EQ(g_linkState, 1);
    EXPECT_EQ(g_connected, 0);
    EXPECT_EQ(StreamLink.socket, INVALID_SOCKET);
    EXPECT_EQ(service.FramesOf(16).size(), 1u);  // F_DISCONNECT
}

// Shutdown while connected says goodbye, closes the link and leaves the client offline, and gives
// back the pictures, the texture images and the player's records before the display goes.
TEST_F(ConnectTest, ShutDownWhileConnectedGoesOfflineAndFreesWhatWasLoaded) {
    service.InstallAsMessageSource(1);
    ASSERT_EQ(ConnectToService(player, 1), 1);
    g_localPlayer = new LocalPlayer{};
    Hold(g_currentCharacter.name, "Thorn");
    for (const ArtFile& f : MenuArtFiles())
        dir->Write(f.name, std::string(f.bytes.begin(), f.bytes.end()));
    ASSERT_EQ(g_screen.background.LoadPcx("qmage0.pcx", 0, 1), 0);
    ASSERT_EQ(g_screen.Screen(11).LoadPcx("qmage1.pcx", 0, 1), 0);
    g_textures.images.resize(3);
    g_textures.images[0].pixels.assign(64 * 64, 7);
    ASSERT_TRUE(OpenErrorLog());

    ShutDown();
    EXPECT_EQ(g_linkState, 1);
    EXPECT_EQ(g_connected, 0);
    EXPECT_EQ(StreamLink.socket, INVALID_SOCKET);
    EXPECT_EQ(service.FramesOf(16).size(), 1u);  // F_DISCONNECT
    EXPECT_EQ(g_localPlayer, nullptr);
    EXPECT_EQ(g_currentCharacter.name[0], 0);
    EXPECT_EQ(g_screen.background.loaded, 0);
    EXPECT_EQ(g_screen.Screen(11).loaded, 0);
    EXPECT_EQ(g_textures.images.capacity(), 0u);
    EXPECT_FALSE(IsErrorLogOpen());
}

// The state loop's top while logged in, the menu ending after its first frame.
class StateLoopTest : public ConnectTest {
protected:
    void SetUp() override {
        ConnectTest::SetUp();
        for (const ArtFile& f : MenuArtFiles())
            dir->Write(f.name, std::string(f.bytes.begin(), f.bytes.end()));
        dir->Write("menu.dat", MenuDatText());
        std::strcpy(g_screenFiles.characterBack, "main.pcx");
        service.InstallAsMessageSource(1);
        ASSERT_EQ(ConnectToService(player, 1), 1);
        g_playMode = 2;
    }
    void TearDown() override {
        g_lostLink = 0;
        g_inactivityState = 0;
        g_screenFiles = ScreenFiles{};
        ConnectTest::TearDown();
    }
    // The position of the first frame of code at or after `from` among the frames the service took.
    size_t IndexOf(uint8_t code, size_t from = 0) const {
        const std::vector<GameService::Frame> frames = service.Frames();
        for (size_t i = from; i < frames.size(); ++i)
            if (frames[i].code == code)
                return i;
        return frames.size();
    }
};

TEST_F(StateLoopTest, EachMenuWhileLoggedInIsEnteredAndAsksForUnknownSlotsAndTheLast) {
    SlotRequestState[0] = SlotRequestState[3] = -1;
    SlotRequestState[1] = SlotRequestState[2] = 2;
    g_currentSlot = 1;
    g_inactivityState = 2;  // the menu ends after its first frame
    RunStateLoop();
    ASSERT_TRUE(PumpUntil([&] { return !service.FramesOf(F_PLAYER_EXIT).empty(); }));
    EXPECT_EQ(service.FramesOf(F_PLAYER_ENTER).size(), 1u);
    std::vector<int> slots;
    for (const GameService::Frame& f : service.FramesOf(F_REQUEST_CHARACTER))
        slots.push_back(f.body.size() > 20 ? f.body[20] : -1);
    EXPECT_EQ(slots, (std::vector<int>{0, 1, 3}));
    // Entry, the requests, then the exit after the menu.
    const size_t enter = IndexOf(F_PLAYER_ENTER), request = IndexOf(F_REQUEST_CHARACTER, enter),
                 exit = IndexOf(F_PLAYER_EXIT, request);
    EXPECT_LT(enter, request);
    EXPECT_LT(request, exit);
    EXPECT_LT(exit, service.Frames().size());
    EXPECT_FALSE(present->Named("CreateMenuFigure").empty());
}

TEST_F(StateLoopTest, ANewCharacterOnlineIsEnteredFirstAndLeftAfter) {
    // The creation screen ends at once (inactivity); it runs only when the entry was answered.
    struct Case {
        const char* name;
        int lostLink;
        bool created;
    } cases[] = {{"answered", 0, true}, {"no answer", 1, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t enters = service.FramesOf(F_PLAYER_ENTER).size(), exits = service.FramesOf(F_PLAYER_EXIT).size();
        g_lostLink = c.lostLink;
        g_inactivityState = 2;
        g_screenState = 0;
        EXPECT_EQ(RunScreen(7), -1);
        EXPECT_EQ(g_screenState == 7, c.created);
        g_lostLink = 0;
        ASSERT_TRUE(PumpUntil([&] { return service.FramesOf(F_PLAYER_EXIT).size() > exits; }));
        EXPECT_EQ(service.FramesOf(F_PLAYER_ENTER).size(), enters + 1);
        EXPECT_LT(IndexOf(F_PLAYER_ENTER, enters), IndexOf(F_PLAYER_EXIT, exits));
    }
}

TEST_F(StateLoopTest, ALostLinkFailsTheEntryWithTheExitMessageAndNoMenu) {
    g_lostLink = 1;
    PressEscapeLater();
    RunStateLoop();
    EXPECT_TRUE(Has(Console(), "and you were unable to connect."));
    EXPECT_TRUE(service.FramesOf(F_PLAYER_EXIT).empty());
    EXPECT_TRUE(present->Named("CreateMenuFigure").empty());
}

// A service that takes the login and never answers the entry: Escape gives it up, the service is
// left as after a refusal and the menu follows, with no exit message and the program still running.
TEST_F(StateLoopTest, EscapeGivesUpAnUnansweredEntryForTheMenu) {
    service.OnCode(F_PLAYER_ENTER, [](GameService&, const GameService::Frame&) { return true; });
    g_inactivityState = 2;  // the menu ends after its first frame
    PressEscapeLater();
    RunStateLoop();
    EXPECT_FALSE(Has(Console(), "and you were unable to connect.")) << Joined(Console());
    EXPECT_FALSE(present->Named("LoadMenuFigure").empty()) << "the menu came";
    EXPECT_EQ(g_linkState, 1);
    EXPECT_EQ(g_connected, 0);
    EXPECT_EQ(StreamLink.socket, INVALID_SOCKET);
    EXPECT_EQ(service.FramesOf(F_DISCONNECT).size(), 1u);
    EXPECT_TRUE(service.FramesOf(F_REQUEST_CHARACTER).empty()) << "nothing asked of a service left";
}

TEST_F(StateLoopTest, AfterEachScreenSoundsStopAndALostLinkOrInactivityLeadsBackToTheMenu) {
    // The after-match view online leads on to the Tavern; it ends at once on either flag.
    std::strcpy(g_screenFiles.summaryBack, "main.pcx");
    PressEscapeLater();  // a Tavern that ran anyway would wait for Escape
    // A player who gave up an entry the service never answered has left it: the link state is 1.
    struct Case {
        const char* name;
        int soundState, lostLink, inactivity, linkState;
    } cases[] = {{"lost link, sound on", 2, 1, 0, 2},
                 {"inactive, sound off", 1, 0, 2, 2},
                 {"left the service, sound on", 2, 0, 0, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_lostLink = c.lostLink;
        g_inactivityState = c.inactivity;
        g_linkState = c.linkState;
        ASSERT_EQ(RunScreen(5), 2) << "the view itself leads to the Tavern";
        g_soundState = c.soundState;
        g_loopingAmbient = 3;
        g_playingSounds[1] = PlayingSoundEntry{1, 4};
        EXPECT_EQ(RunScreens(5), 0);
        EXPECT_EQ(g_screenState, 5) << "no screen after the view";
        const bool stopped = c.soundState == 2;
        EXPECT_EQ(g_loopingAmbient == 0, stopped);
        EXPECT_EQ(g_playingSounds[1].active == 0, stopped);
    }
    g_soundState = 0;
    g_loopingAmbient = 0;
    g_playingSounds[1] = PlayingSoundEntry{};
}

}  // namespace

namespace {

TEST_F(ConnectTest, CodesWithoutAScreenGoBackToTheMenuAtOnce) {
    // 10 (the menu's own code for a first character) and the codes above 13 have no screen.
    service.InstallAsMessageSource(1);
    ASSERT_EQ(ConnectToService(player, 1), 1);
    const size_t sent = service.Frames().size();
    for (int code : {10, 14, 15, 99, 255}) {
        g_screenState = -1;
        EXPECT_EQ(RunScreen(code), 0) << code;
        EXPECT_EQ(g_screenState, -1) << code;
    }
    EXPECT_EQ(service.Frames().size(), sent) << "no screen ran";
}

}  // namespace
