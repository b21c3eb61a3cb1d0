// The whole program, run headless on the virtual clock in a copy of the sample installation with
// a scripted keyboard and mouse.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/ddraw_device.h"
#include "tests/support/lobby_script.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// A run that has not ended after this many real seconds hangs; runs in parallel with the whole
// suite on a busy machine take minutes.
const std::string kRunLimit = "600";

class GameFlow : public ::testing::Test {
protected:
    void SetUp() override {
        fs::copy(SAMPLE_INSTALL_DIR, dir.Path(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    }
    // The copy of the installation as it was before any run, for the next case of a table.
    void FreshInstallation() {
        TearDown();
        fs::remove_all(dir.Path());
        fs::create_directories(dir.Path());
        SetUp();
    }
    // Runs the game with the script; its exit code (-1 when it did not exit by itself).
    int Run(const std::string& script, const std::string& arguments = "") {
        dir.Write("input.txt", script);
        const std::string cmd = "cd '" + dir.Path() + "' && GAME_HEADLESS=1 GAME_CLOCK=virtual GAME_DIR='" +
                                dir.Path() + "' GAME_INPUT='" + dir.File("input.txt") + "' timeout " + kRunLimit + " '" +
                                GAME_PROGRAM + "' " + arguments + " >game.out 2>&1";
        const int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // error.log's lines that are not a loader's own progress.
    std::vector<std::string> DriverLines() const {
        static const char* const kDriver[] = {"Log File Started.",  "Version Loaded:",    "Sounds Loaded.",
                                              "Initial Variables",  "Fonts",              "Error loading objectmaps",
                                              "Spell",              "No entry for",       "Constants Loaded.",
                                              "Tiles and Overlays", "Light Tables Loaded.", "Cmd Line", "Tessel"};
        std::vector<std::string> lines;
        std::istringstream in(dir.Read("error.log"));
        for (std::string line; std::getline(in, line);)
            for (const char* d : kDriver)
                if (line.rfind(d, 0) == 0 && line.find("PCX font") == std::string::npos) {
                    lines.push_back(line);
                    break;
                }
        return lines;
    }
    // The Exit hot spot, then the quit box's upper item.
    static std::string QuitFromMenu(int at) {
        std::ostringstream s;
        s << at << " move 65 515\n"
          << at + 100 << " button left down 65 515\n"
          << at + 150 << " button left up 65 515\n"
          << at + 1000 << " move 400 298\n"
          << at + 1100 << " button left down 400 298\n"
          << at + 1150 << " button left up 400 298\n";
        return s.str();
    }
    TempDir dir;
};

// A scripted player: times in ms, each event appended in order.
struct Script {
    int t = 0;
    std::ostringstream s;
    void Key(int scan) {
        s << t << " key " << scan << " down\n" << t + 30 << " key " << scan << " up\n";
        t += 80;
    }
    void Click(int x, int y) {
        s << t << " move " << x << " " << y << "\n"
          << t + 50 << " button left down " << x << " " << y << "\n"
          << t + 100 << " button left up " << x << " " << y << "\n";
        t += 300;
    }
    void Wait(int ms) { t += ms; }
    // Escape every second for ms.
    void Escapes(int ms) {
        for (int end = t + ms; t < end;) {
            Key(1);
            t += 920;
        }
    }
    std::string Text() const { return s.str(); }
};

// The online installation against the service stepped inside game_host, on its own ports.
class OnlineFlow : public GameFlow {
protected:
    void SetUp() override {
        fs::copy(std::string(SAMPLE_INSTALL_DIR) + "-online", dir.Path(),
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        const int port = 20000 + static_cast<int>(::getpid() % 20000);
        std::string text = dir.Read("main.dat");
        text.replace(text.find("port=1234"), 9, "port=" + std::to_string(port));
        text.replace(text.find("stream_port=1234"), 16, "stream_port=" + std::to_string(port));
        dir.Write("main.dat", text);
    }
    int RunHost(const std::string& scenario, const std::string& script, const std::string& hostArgs = "") {
        dir.Write("input.txt", script);
        const std::string cmd = "cd '" + dir.Path() + "' && GAME_HEADLESS=1 GAME_CLOCK=virtual GAME_DIR='" +
                                dir.Path() + "' GAME_INPUT='" + dir.File("input.txt") + "' timeout " + kRunLimit + " '" +
                                GAME_HOST + "' --scenario " + scenario + " --capture capture.txt " + hostArgs + " >game.out 2>&1";
        const int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    struct Sent {
        long ms;  // on the game's clock
        int code;
        std::string body;  // hex
    };
    // The frames the client sent on its stream, in order.
    std::vector<Sent> ClientFrames() const {
        std::vector<Sent> frames;
        std::istringstream in(dir.Read("capture.txt"));
        for (std::string line; std::getline(in, line);) {
            std::istringstream f(line);
            std::string ms, way, transport, hex;
            f >> ms >> way >> transport >> hex;
            // Lead bytes, then length, sequence, client id, destination, a byte and the code.
            if (way == "c" && hex.size() >= 24 && hex.rfind("1b1b", 0) == 0)
                frames.push_back({std::stol(ms), std::stoi(hex.substr(22, 2), nullptr, 16), hex.substr(24)});
        }
        return frames;
    }
    // Where each F_PLAYER_ENTER asked to go (its body's third byte): 255 the Tavern, 0 the menu,
    // an arena's id, and that id + 100 for the arena's first enter.
    std::vector<int> EnterPlaces() const {
        std::vector<int> places;
        for (const Sent& f : ClientFrames())
            if (f.code == 184 && f.body.size() >= 6)
                places.push_back(std::stoi(f.body.substr(4, 2), nullptr, 16));
        return places;
    }
    // Whether the codes hold want as a subsequence, in its order.
    static bool InOrder(const std::vector<int>& codes, const std::vector<int>& want) {
        size_t k = 0;
        for (int c : codes)
            if (k < want.size() && c == want[k])
                ++k;
        return k == want.size();
    }
    std::vector<int> ClientCodes() const {
        std::vector<int> codes;
        for (const Sent& f : ClientFrames())
            codes.push_back(f.code);
        return codes;
    }
    // When the client first sent code (after ms from), or -1.
    long FirstSent(int code, long from = 0) const {
        for (const Sent& f : ClientFrames())
            if (f.code == code && f.ms >= from)
                return f.ms;
        return -1;
    }
    // Types the account thorn and a password into the account dialog and connects.
    static void LogIn(Script& s) {
        s.t = 14000;
        for (int scan : {0x14, 0x23, 0x18, 0x13, 0x31})
            s.Key(scan);
        s.Click(420, 471);
        for (int scan : {0x19, 0x11})
            s.Key(scan);
        s.Click(343, 537);
        s.Wait(3000);
    }
    // Play, the Tavern; the first arena of the list, double clicked, then its Enter. The Tavern
    // is shot as tavern.png when a name is given.
    static void EnterTheFirstArena(Script& s, const char* tavernShot = nullptr) {
        s.Click(60, 225);
        s.Wait(4000);
        if (tavernShot)
            s.s << s.t - 500 << " screenshot " << tavernShot << "\n";
        s.s << s.t << " move 300 46\n"
            << s.t + 50 << " button left down 300 46\n"
            << s.t + 100 << " button left up 300 46\n"
            << s.t + 150 << " button left down 300 46\n"
            << s.t + 200 << " button left up 300 46\n";
        s.Wait(1500);
        s.Click(430, 345);
    }
    // Escape and the quit dialog's Leave; the summary (summary.png) until Escape, into the Tavern.
    static void LeaveTheArenaThroughTheSummary(Script& s) {
        s.Key(1);
        s.Wait(1000);
        s.Click(400, 298);
        s.Wait(500);
        s.Key(1);  // too soon: the summary's first 1.5 s take no keys
        s.Wait(2500);
        s.s << s.t << " screenshot summary.png\n";
        s.Wait(500);
        s.Key(1);
        s.Wait(5000);
    }
    // The Tavern's Exit, then the menu's Exit and its box's Quit.
    static void LeaveTheTavernAndQuit(Script& s) {
        s.Click(750, 540);
        s.Wait(3000);
        s.s << QuitFromMenu(s.t);
    }
    void ExpectBothLinesInChatLog() const {
        const std::string log = dir.Read("chat.log");
        EXPECT_NE(log.find("hello there"), std::string::npos) << log;
        EXPECT_NE(log.find("zap"), std::string::npos) << log;
    }
    // The chat line: "zap", sent.
    static void SayZap(Script& s) {
        s.Key(0x28);
        for (int scan : {0x2C, 0x1E, 0x19})
            s.Key(scan);
        s.Key(0x1C);
    }
};

TEST_F(OnlineFlow, LogsInVisitsTheTavernAndDisconnectsLast) {
    Script s;
    LogIn(s);
    s.Click(60, 225);  // Play: the Tavern
    s.Wait(4000);
    s.s << s.t << " screenshot tavern.png\n";
    s.Wait(500);
    s.Click(750, 540);  // its Exit
    s.Wait(3000);
    s.s << QuitFromMenu(s.t);
    ASSERT_EQ(RunHost("tavern", s.Text()), 0) << dir.Read("game.out");
    const std::vector<int> codes = ClientCodes();
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.front(), 15);  // F_CONNECT
    EXPECT_EQ(codes.back(), 16);   // F_DISCONNECT
    // The Tavern was entered (F_PLAYER_ENTER to 255) and opened (F_OPEN_GAME), then left.
    const auto at = [&](int code) { return std::find(codes.begin(), codes.end(), code) - codes.begin(); };
    EXPECT_LT(at(184), at(23));
    EXPECT_LT(at(23), static_cast<long>(codes.size()));
    EXPECT_NE(std::find(codes.begin(), codes.end(), 4), codes.end());  // F_PLAYER_EXIT
    EXPECT_TRUE(dir.Exists("tavern.png"));
}

TEST_F(OnlineFlow, TheTavernChatGoesToChatLogBothWays) {
    Script s;
    LogIn(s);
    s.Click(60, 225);
    s.Wait(1500);
    s.Key(0x3C);  // F2: chat.log on
    s.Wait(4000);  // the guest joins and says hello
    SayZap(s);
    s.Wait(2000);
    LeaveTheTavernAndQuit(s);
    ASSERT_EQ(RunHost("guest", s.Text()), 0) << dir.Read("game.out");
    ExpectBothLinesInChatLog();
    const std::vector<int> codes = ClientCodes();
    EXPECT_NE(std::find(codes.begin(), codes.end(), 7), codes.end());  // F_CHAT_TEXT
}

TEST_F(OnlineFlow, ALostLinkInTheTavernEndsTheProgramAfterBothMessages) {
    Script s;
    LogIn(s);
    s.Click(60, 225);
    // The service falls silent 2 s after the Tavern opened and the link counts as lost 20 s
    // later; then each exit message waits for Escape (in the menu Escape alone never quits).
    s.Wait(26000);
    s.s << s.t << " screenshot lost.png\n";
    s.Escapes(30000);
    ASSERT_EQ(RunHost("silent", s.Text()), 0) << dir.Read("game.out");
    const std::vector<int> codes = ClientCodes();
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.back(), 16);  // shutdown still says goodbye
}

TEST_F(OnlineFlow, IdleMinutesEndTheTavernThenTheProgram) {
    // One second a frame in the Tavern and after. Idle 15 minutes: the Tavern ends into the menu with a notice; idle 20:
    // the program shuts down by itself. A key on the notice starts the count again.
    constexpr long kMinute = 60000;
    struct Case {
        const char* name;
        long keyAfterPlay;  // ms after Play of a key in the menu, 0 for none
    };
    for (const Case c : {Case{"idle", 0}, Case{"key on the notice", 16 * kMinute}}) {
        SCOPED_TRACE(c.name);
        Script s;
        LogIn(s);
        s.Click(60, 225);
        const long play = s.t - 200;  // its button went up
        s.Wait(static_cast<int>(15 * kMinute + 30000));
        s.s << s.t << " screenshot inactive.png\n";
        if (c.keyAfterPlay) {
            s.t = static_cast<int>(play + c.keyAfterPlay);
            s.Key(0x2A);
        }
        fs::remove(dir.File("inactive.png"));
        ASSERT_EQ(RunHost("tavern", s.Text(), "--tavern-step 1000"), 0) << dir.Read("game.out");
        const long opened = FirstSent(23);
        ASSERT_GE(opened, play);
        const long left = FirstSent(4, opened);  // F_PLAYER_EXIT: the Tavern ended
        // Idle time is counted in timer ticks, and ticks due together in one frame count once:
        // never early, a little late.
        const auto within = [](long idle, long minutes) { return idle >= minutes * kMinute && idle < minutes * kMinute + 20000; };
        EXPECT_PRED2(within, left - play, 15);
        const long idleFrom = play + c.keyAfterPlay;
        EXPECT_PRED2(within, FirstSent(16) - idleFrom, 20);  // shut down, goodbye said
        EXPECT_TRUE(dir.Exists("inactive.png"));
    }
}

TEST_F(OnlineFlow, AConnectionThatFailsEndsTheProgram) {
    // No service at the installation's port: nine silent tries, the failure's lines, and after
    // Escape the program shuts down rather than going back to the menu (whose account dialog
    // would still be there for the later screenshot; the Escapes after it cancel that dialog).
    Script s;
    LogIn(s);
    s.Wait(36000);
    s.s << s.t << " screenshot failed.png\n";
    s.Key(1);
    s.Wait(3000);
    s.s << s.t << " screenshot menu.png\n";
    s.Wait(1000);
    s.Escapes(3000);
    EXPECT_EQ(Run(s.Text()), 0) << dir.Read("game.out");
    EXPECT_TRUE(dir.Exists("failed.png"));
    EXPECT_FALSE(dir.Exists("menu.png"));
    EXPECT_NE(dir.Read("error.log").find("Light Tables Loaded."), std::string::npos);
}

TEST_F(OnlineFlow, ALostLinkInTheArenaEndsTheProgramAfterBothMessages) {
    Script s;
    LogIn(s);
    EnterTheFirstArena(s);
    // The service falls silent 2 s after the arena entry; 20 s later the link counts as lost.
    s.Wait(24000);
    s.s << s.t << " screenshot lost.png\n";
    s.Escapes(30000);
    ASSERT_EQ(RunHost("silent-arena", s.Text(), "--arena-step 40"), 0) << dir.Read("game.out");
    const long entered = FirstSent(184, FirstSent(23));
    ASSERT_GT(entered, 0);
    EXPECT_NE(dir.Read("error.log").find("Grid Loaded."), std::string::npos);
    // No key was pressed before the Escapes: only the lost link ends the arena, and the program
    // waits on its messages rather than ending at once.
    EXPECT_GT(FirstSent(16) - entered, 24000);
    const std::vector<int> codes = ClientCodes();
    EXPECT_EQ(codes.back(), 16);
    EXPECT_TRUE(dir.Exists("lost.png"));
}

// Online as offline, an arena whose level the installation lacks ends the program at the entry
// with "Bad Grid Load": nothing after Enter is shown and no key is waited for.
TEST_F(OnlineFlow, AnArenaWhoseLevelCannotBeLoadedEndsTheProgram) {
    for (const char* item : {lobby::kArenaLevel, "grids/sample.zpk"})
        fs::remove_all(dir.File(item));
    Script s;
    LogIn(s);
    EnterTheFirstArena(s, "tavern.png");
    s.Wait(4000);
    s.s << s.t << " screenshot after.png\n";
    s.Escapes(5000);  // a screen that waited for Escape would take one here
    s.s << s.t + 5000 << " quit\n";
    ASSERT_EQ(RunHost("tavern", s.Text(), "--arena-step 40"), 0) << dir.Read("game.out");
    const std::string log = dir.Read("error.log");
    EXPECT_NE(log.find("Could not open file: 'sample\\grid.dat'."), std::string::npos) << log;
    EXPECT_NE(log.find("Exiting with message Bad Grid Load."), std::string::npos) << log;
    EXPECT_EQ(log.find("Grid Loaded."), std::string::npos) << log;
    EXPECT_EQ(EnterPlaces(), (std::vector<int>{0, 255, lobby::kTeamArena + 100})) << "the entry asked for the arena";
    EXPECT_TRUE(dir.Exists("tavern.png"));
    EXPECT_FALSE(dir.Exists("after.png")) << "the program went on after the failed load";
}

// Share of the pixels in the 3D view's rows that are not near black, and that differ between two
// frames.
double LitShare(const ddtest::Image& image) {
    int lit = 0, all = 0;
    for (int y = 60; y < 500; ++y)
        for (int x = 0; x < image.width; x += 2, ++all)
            lit += ddtest::ColorDistance(image.At(x, y), 0xFF000000) > 24;
    return static_cast<double>(lit) / all;
}
double ChangedShare(const ddtest::Image& a, const ddtest::Image& b) {
    int changed = 0, all = 0;
    for (int y = 60; y < 500; ++y)
        for (int x = 0; x < a.width; x += 2, ++all)
            changed += ddtest::ColorDistance(a.At(x, y), b.At(x, y)) > 24;
    return static_cast<double>(changed) / all;
}

TEST_F(OnlineFlow, TheArenaShowsItsLevelFromBehindOnArrivalThenThroughTheEyesAndF3LooksFromBehind) {
    Script s;
    LogIn(s);
    EnterTheFirstArena(s);  // the level loads and the frames start within a second
    s.Wait(1500);
    s.s << s.t << " screenshot arrival.png\n";
    s.Wait(5000);
    s.s << s.t << " screenshot eye.png\n";
    s.Wait(200);
    s.Key(0x3D);  // F3
    s.Wait(500);
    s.s << s.t << " screenshot chase.png\n";
    s.Wait(200);
    s.s << s.t << " quit\n";
    RunHost("tavern", s.Text());
    ddtest::Image arrival, eye, chase;
    ASSERT_TRUE(ddtest::ReadPng(dir.File("arrival.png"), &arrival)) << dir.Read("game.out");
    ASSERT_TRUE(ddtest::ReadPng(dir.File("eye.png"), &eye));
    ASSERT_TRUE(ddtest::ReadPng(dir.File("chase.png"), &chase));
    EXPECT_NE(dir.Read("error.log").find("Grid Loaded."), std::string::npos);
    // The level is there to see, and each view looks at it from elsewhere.
    for (const ddtest::Image* view : {&arrival, &eye, &chase})
        EXPECT_GT(LitShare(*view), 0.08);
    EXPECT_GT(ChangedShare(arrival, eye), 0.1);
    EXPECT_GT(ChangedShare(chase, eye), 0.1);
}

TEST_F(OnlineFlow, AMatchFromTheAccountDialogToQuitting) {
    // Log in, the Tavern, the first arena (double click, Enter); chat.log on (F2); a scripted
    // player joins the arena, walks and says hello; we say "zap"; Escape and Leave; the summary;
    // Escape to the Tavern; its Exit to the menu; quit.
    Script s;
    LogIn(s);
    EnterTheFirstArena(s);
    s.Wait(3000);  // the arena opens a second after Enter
    s.Key(0x3C);
    s.Wait(7000);  // the guest joins, walks and speaks
    s.s << s.t << " screenshot arena.png\n";
    SayZap(s);
    s.Wait(2000);
    LeaveTheArenaThroughTheSummary(s);
    s.s << s.t << " screenshot tavern.png\n";
    LeaveTheTavernAndQuit(s);
    ASSERT_EQ(RunHost("guest-arena", s.Text(), "--arena-step 40"), 0) << dir.Read("game.out");

    ExpectBothLinesInChatLog();
    EXPECT_NE(dir.Read("error.log").find("Grid Loaded."), std::string::npos);
    const std::vector<int> places = EnterPlaces();
    EXPECT_EQ(places, (std::vector<int>{0, 255, lobby::kTeamArena + 100, lobby::kTeamArena, 255, 0}));
    // The summary stayed up from the arena's exit until the second Escape, 3 s after Leave.
    const long arenaLeft = FirstSent(4, FirstSent(7));
    EXPECT_GT(FirstSent(184, arenaLeft) - arenaLeft, 2500);
    const std::vector<int> codes = ClientCodes();
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.front(), 15);  // F_CONNECT
    EXPECT_EQ(codes.back(), 16);   // F_DISCONNECT
    // Connect; the menu's enter; the Tavern's enter and open; its exit; the arena's enters, the
    // world and the open; our chat line; the arena's exit; the Tavern again after the summary
    // and its exit; the menu's enter.
    EXPECT_TRUE(InOrder(codes, {15, 184, 184, 23, 4, 184, 184, 64, 23, 7, 4, 184, 23, 4, 184, 16}))
        << ::testing::PrintToString(codes);
    for (const char* shot : {"arena.png", "summary.png", "tavern.png"})
        EXPECT_TRUE(dir.Exists(shot)) << shot;
}

TEST_F(OnlineFlow, AFireteamWaitsInTheTavernThenPlaysItsArenaOrGoesBackToTheChat) {
    // The player selects the first arena; 6 s after the Tavern opened the service makes him the
    // leader of a fireteam that starts waiting, so the chat screen hands over to the waiting screen,
    // which enters the Tavern again. 3 s later the fireteam's match starts (the selected arena,
    // entered without a click) or the fireteam stops waiting (back to the chat screen).
    struct Case {
        const char* scenario;
        bool starts;
    };
    for (const Case c : {Case{"fireteam", true}, Case{"fireteam-off", false}}) {
        SCOPED_TRACE(c.scenario);
        Script s;
        LogIn(s);
        s.Click(60, 225);
        s.Wait(2500);
        s.Click(300, 46);  // the first arena's row: selected
        s.Wait(8000);
        s.s << s.t << " screenshot waiting.png\n";
        s.Wait(12000);
        s.s << s.t << " screenshot after.png\n";
        if (c.starts) {
            LeaveTheArenaThroughTheSummary(s);
        }
        LeaveTheTavernAndQuit(s);
        ASSERT_EQ(RunHost(c.scenario, s.Text(), "--arena-step 40"), 0) << dir.Read("game.out");
        const std::string log = dir.Read("error.log");
        EXPECT_EQ(log.find("Invalid Arena"), std::string::npos) << log;
        const std::vector<int> places = EnterPlaces();
        // The menu, the Tavern, the waiting screen's Tavern; then the arena (its id + 100, then its
        // id), the Tavern after the summary and the menu; or the chat's Tavern and the menu.
        const std::vector<int> want = c.starts ? std::vector<int>{0, 255, 255, lobby::kTeamArena + 100, lobby::kTeamArena, 255, 0}
                                               : std::vector<int>{0, 255, 255, 255, 0};
        EXPECT_EQ(places, want);
        EXPECT_EQ(log.find("Grid Loaded.") != std::string::npos, c.starts) << log;
        const std::vector<int> codes = ClientCodes();
        ASSERT_FALSE(codes.empty());
        EXPECT_EQ(codes.back(), 16);
    }
}

TEST_F(GameFlow, StartsThroughTheSplashScreensToTheMenuAndQuits) {
    const std::string script = "14500 screenshot menu.png\n" + QuitFromMenu(15000);
    EXPECT_EQ(Run(script), 0) << dir.Read("game.out");
    const std::vector<std::string> expected = {
        "Log File Started.",        "Version Loaded: 0.70", "Sounds Loaded.",     "Initial Variables Loaded.",
        "Fonts Loaded.",            "Spells Loaded.",       "Constants Loaded.", "Tiles and Overlays Loaded.",
        "Light Tables Loaded.",
    };
    EXPECT_EQ(DriverLines(), expected) << dir.Read("error.log");
    // The installation's arena list reads to its end without a complaint.
    EXPECT_EQ(dir.Read("game.out").find("Error loading"), std::string::npos) << dir.Read("game.out");
    // The menu with its statues and the selected character's figure turning in the preview.
    ddtest::Image menu;
    ASSERT_TRUE(ddtest::ReadPng(dir.File("menu.png"), &menu));
    std::string message;
    EXPECT_TRUE(ddtest::MatchesGolden(GAME_GOLDEN_DIR, "start_menu", menu, 2, 40, &message)) << message;
}

TEST_F(GameFlow, TheCommandLineIsLoggedWithoutTheToken) {
    EXPECT_EQ(Run(QuitFromMenu(15000), "play hunter2-secret x y z tessel:127.0.0.1:1234 a Wyrd"), 0);
    const std::string log = dir.Read("error.log");
    EXPECT_EQ(log.find("hunter2"), std::string::npos);
    EXPECT_NE(log.find("Tessel Token: (14 characters)"), std::string::npos) << log;
}

// The statistics panel shows processor cycles, which differ from run to run: left out.
void BlankStatistics(ddtest::Image& image) {
    for (int y = 220; y < 356 && y < image.height; ++y)
        for (int x = 0; x < 72 && x < image.width; ++x)
            image.pixels[static_cast<size_t>(y) * image.width + x] = 0xFF000000u;
}

// Pixels of the world view between the HUD's top row, the statistics and the console that differ
// by more than 2 in some channel.
int ViewPixelsDiffering(const ddtest::Image& a, const ddtest::Image& b) {
    int n = 0;
    for (int y = 60; y < 500 && y < a.height && y < b.height; ++y)
        for (int x = 72; x < 700 && x < a.width && x < b.width; ++x) {
            const uint32_t p = a.At(x, y), q = b.At(x, y);
            if (std::abs(ddtest::Red(p) - ddtest::Red(q)) > 2 || std::abs(ddtest::Green(p) - ddtest::Green(q)) > 2 ||
                std::abs(ddtest::Blue(p) - ddtest::Blue(q)) > 2)
                ++n;
        }
    return n;
}

// Offline at debug level 2: Play enters the sample arena; the player slides right, walks on, turns
// with the mouse to face the swinging door, jumps, opens the door with the use key, casts through
// it with the left button and presses F1; Escape offers to leave, Leave goes back to the menu, and
// the menu quits. The simulation's debug lines reach error.log.
TEST_F(GameFlow, OfflineArenaWalkTurnJumpDoorCastAndBackToTheMenu) {
    std::string user = dir.Read("user.dat");
    user.replace(user.find("debug=0"), 7, "debug=2");
    dir.Write("user.dat", user);
    Script s;
    s.t = 15000;
    s.Click(60, 225);  // Play
    s.t = 20000;
    s.s << s.t << " key 52 down\n" << s.t + 2300 << " key 52 up\n"                 // slide right
        << s.t + 2450 << " key 72 down ext\n" << s.t + 3600 << " key 72 up ext\n";  // forward
    s.t += 3700;
    for (int k = 0; k < 5; ++k, s.t += 100)  // the mouse turns the player to the right
        s.s << s.t << " move 520 240\n";
    s.s << s.t + 700 << " screenshot door.png\n";
    s.t += 900;
    s.Key(57);  // jump
    s.s << s.t + 70 << " screenshot jump.png\n" << s.t + 1400 << " screenshot landed.png\n";
    s.t += 1900;
    s.Key(18);  // use: the door opens
    s.t += 2000;
    s.s << s.t << " button left down 320 240\n" << s.t + 100 << " button left up 320 240\n"
        << s.t + 200 << " screenshot cast.png\n";
    s.t += 1000;
    s.Key(59);  // F1
    s.Wait(1000);
    s.Key(1);
    s.Wait(900);
    s.s << s.t << " screenshot quit.png\n";
    s.Wait(500);
    s.Click(400, 298);  // Leave
    EXPECT_EQ(Run(s.Text() + QuitFromMenu(s.t + 5000)), 0) << dir.Read("game.out");

    const std::string log = dir.Read("error.log");
    EXPECT_NE(log.find("Grid Loaded."), std::string::npos);
    for (const char* line : {"DEBUG: Game Started.", "DEBUG: Found Door Trigger -> Thin=3 Trigger=1",
                             "DEBUG: Door Stopped: Trigger=1 Angle=3072", "DEBUG: Function Key #1 Hit"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;

    ddtest::Image door, jump, landed, cast;
    ASSERT_TRUE(ddtest::ReadPng(dir.File("door.png"), &door));
    ASSERT_TRUE(ddtest::ReadPng(dir.File("jump.png"), &jump));
    ASSERT_TRUE(ddtest::ReadPng(dir.File("landed.png"), &landed));
    ASSERT_TRUE(ddtest::ReadPng(dir.File("cast.png"), &cast));
    // In the air the door stands lower in the view; back on the floor it is where it was.
    EXPECT_GT(ViewPixelsDiffering(door, jump), 5000);
    EXPECT_LT(ViewPixelsDiffering(door, landed), 200);
    // Through the open door the level beyond, and the missile just cast in flight.
    BlankStatistics(cast);
    std::string message;
    EXPECT_TRUE(ddtest::MatchesGolden(GAME_GOLDEN_DIR, "offline_arena", cast, 2, 40, &message)) << message;
    EXPECT_TRUE(dir.Exists("quit.png"));
}

// Setup, its Config Arena list, the level item's choice `choice` (counted from 0), back out of
// Setup: the steps of a player choosing the arena Play enters.
void ChooseArenaInSetup(Script& s, int choice) {
    s.Click(301, 183);  // Setup
    s.Wait(600);
    for (int k = 0; k < 3; ++k)
        s.Key(80);  // down to Config Arena
    s.Key(28);
    s.Wait(600);
    s.Key(80);  // the level item
    for (int k = 0; k < choice; ++k)
        s.Key(77);  // its next choice
    s.Wait(300);
    s.Key(1);  // back to the configure list
    s.Wait(400);
    s.Key(1);  // out of Setup
    s.Wait(600);
}

// The reported path: Setup, Config Arena, the fourth choice, Play. The sample's arena list gives
// every choice a level, so the arena opens, and Leave goes back to the menu.
TEST_F(GameFlow, TheFourthSetupChoicePlaysItsLevel) {
    Script s;
    s.t = 15000;
    ChooseArenaInSetup(s, 3);
    s.Click(60, 225);  // Play
    s.Wait(5000);
    s.s << s.t << " screenshot arena.png\n";
    s.Wait(500);
    s.Key(1);
    s.Wait(900);
    s.Click(400, 298);  // Leave
    EXPECT_EQ(Run(s.Text() + QuitFromMenu(s.t + 5000)), 0) << dir.Read("game.out");
    const std::string log = dir.Read("error.log");
    EXPECT_NE(log.find("Grid Loaded."), std::string::npos) << log;
    EXPECT_EQ(log.find("Could not open file"), std::string::npos) << log;
    EXPECT_EQ(log.find("Bad Grid Load"), std::string::npos);
    ddtest::Image arena;
    ASSERT_TRUE(ddtest::ReadPng(dir.File("arena.png"), &arena));
    EXPECT_GT(LitShare(arena), 0.08) << "the level is there to see";
}

// A level that cannot be loaded ends the program at once with "Bad Grid Load", whichever way the
// level was chosen: no screen waits for a key, so nothing after Play is shown.
TEST_F(GameFlow, PlayingALevelThatCannotBeLoadedEndsTheProgram) {
    struct Case {
        const char* name;
        const char* arenaDat;  // replaces the installation's, or null
        std::vector<const char*> removed;
        int choice;  // in Setup, -1 for none
        const char* level;
    } cases[] = {
        // Two arenas: the fourth choice has none and falls back to "grid00".
        {"the fourth Setup choice without an arena, no grid00",
         "[arenadefs]\nnumgrids=2\n[arena00]\nenabled=1\nname=Keep\ngrid=sample\n"
         "[arena01]\nenabled=1\nname=Old\ngrid=sample16\n[arena02]\nenabled=0\n",
         {"grid00"}, 3, "grid00"},
        {"the sample level gone", nullptr, {"sample", "grids/sample.zpk"}, -1, "sample"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FreshInstallation();
        if (c.arenaDat)
            dir.Write("arena.dat", c.arenaDat);
        for (const char* item : c.removed)
            fs::remove_all(dir.File(item));
        Script s;
        s.t = 15000;
        if (c.choice >= 0)
            ChooseArenaInSetup(s, c.choice);
        s.s << s.t << " screenshot menu.png\n";
        s.Wait(200);
        s.Click(60, 225);  // Play
        s.Wait(3000);
        s.s << s.t << " screenshot after.png\n";
        s.Wait(3000);
        s.Key(1);  // a screen that waited for Escape would take it here
        s.Wait(5000);
        // A program still running after all that is closed.
        EXPECT_EQ(Run(s.Text() + QuitFromMenu(s.t) + std::to_string(s.t + 5000) + " quit\n"), 0) << dir.Read("game.out");
        const std::string log = dir.Read("error.log");
        EXPECT_NE(log.find(std::string("Could not open file: '") + c.level + "\\grid.dat'."), std::string::npos) << log;
        EXPECT_NE(log.find("Exiting with message Bad Grid Load."), std::string::npos) << log;
        EXPECT_TRUE(dir.Exists("menu.png"));
        EXPECT_FALSE(dir.Exists("after.png")) << "the program went on after the failed load";
    }
}

struct StartFailure {
    const char* name;
    const char* remove;  // a file of the installation taken away
    const char* key;     // or a settings line blanked: "file|line"
    int exitCode;
    const char* lastLine;
    bool directory = false;  // the file taken away is replaced by a directory of that name
};

TEST_F(GameFlow, StartUpFailures) {
    const StartFailure cases[] = {
        {"fonts", nullptr, "main.dat|[fonts]", 255, "Fonts unsuccessfully initialized."},
        {"spells", "spell.bin", nullptr, 0, "Spell Data Load Failed!"},
        {"spells as a directory", "spell.bin", nullptr, 0, "No SPELL.BIN file found!Spell Data Load Failed!", true},
        {"griddir", nullptr, "arena.dat|[arena00]", 255, "No entry for griddir in file: arena.dat"},
        // The headless display is 5-6-5.
        {"light table", "light/system.col", nullptr, 0,
         "Common\\Init::init_lightsource() - could not find file: light\\system.col"},
        {"translation table", "light/tran565.tra", nullptr, 0,
         "Common\\Init::init_lightsource() - could not fopen() file: 'light\\tran565.tra'."},
    };
    for (const StartFailure& c : cases) {
        SCOPED_TRACE(c.name);
        FreshInstallation();
        if (c.remove)
            fs::remove(dir.File(c.remove));
        if (c.directory)
            fs::create_directories(dir.File(c.remove) + "/inside");
        if (c.key) {
            const std::string spec(c.key);
            const std::string file = spec.substr(0, spec.find('|')), section = spec.substr(spec.find('|') + 1);
            std::string text = dir.Read(file);
            text.replace(text.find(section), section.size(), "[gone]");
            dir.Write(file, text);
        }
        EXPECT_EQ(Run(QuitFromMenu(15000)), c.exitCode) << dir.Read("game.out");
        const std::string log = dir.Read("error.log");
        EXPECT_NE(log.find(c.lastLine), std::string::npos) << log;
        EXPECT_EQ(log.find("Light Tables Loaded."), std::string::npos);
    }
}

TEST_F(GameFlow, WithoutMainDatABoxSaysSoAndTheGameEnds) {
    fs::remove(dir.File("main.dat"));
    EXPECT_EQ(Run(""), 0);
    const std::string out = dir.Read("game.out");
    EXPECT_NE(out.find("Initialization Erro"), std::string::npos) << out;
    EXPECT_NE(out.find("Could not find Quorrin component files"), std::string::npos);
}

TEST_F(GameFlow, BrokenImageDefinitionsAreLoggedAndTheStartGoesOn) {
    dir.Write("images/image.dat", "[imagedefs]\nnumimages=1\n[image00]\n");
    EXPECT_EQ(Run(QuitFromMenu(15000)), 0) << dir.Read("game.out");
    const std::vector<std::string> lines = DriverLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "Light Tables Loaded.");
    EXPECT_NE(dir.Read("error.log").find("Error loading objectmaps..."), std::string::npos);
}

}  // namespace
