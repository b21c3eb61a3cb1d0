// The driver's start-up settings: the command line, the privilege level, the debug and operator
// flags, the team word and the view rectangle.

#include <gtest/gtest.h>

#include <string>

#include "client/arena/local_player.h"
#include "client/core/config_file.h"
#include "client/core/error_log.h"
#include "client/core/game_values.h"
#include "client/core/screen_files.h"
#include "client/driver/game_main.h"
#include "client/driver/game_settings.h"
#include "client/net/socket_settings.h"
#include "client/screens/character_state.h"
#include "client/screens/chat_buffer.h"
#include "platform/win/platform.h"
#include "tests/support/temp_dir.h"

namespace {

class Settings : public ::testing::Test {
protected:
    void SetUp() override {
        dir.Enter();
        Reset();
    }
    void Reset() {
        CloseErrorLog();
        GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
        g_onlineService = OnlineServiceParams{};
        g_login = LoginData{};
        g_operatorFlags = 0;
        g_debugLevel = 0;
        ASSERT_TRUE(OpenErrorLog());
    }
    void TearDown() override {
        CloseErrorLog();
        GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    }
    // What the test wrote to error.log after "Log File Started."
    std::string Log() {
        CloseErrorLog();
        std::string log = dir.Read("error.log");
        const std::string first = "Log File Started.\n";
        return log.rfind(first, 0) == 0 ? log.substr(first.size()) : log;
    }
    TempDir dir;
};

TEST_F(Settings, CommandLineFillsTheFieldsAndNeverLogsTheToken) {
    ParseCommandLine("play s3cr3t-token a b c tessel:10.0.0.7:4000 d Wyrd e Great Grey Mage extra");
    const OnlineServiceParams& s = g_onlineService;
    EXPECT_EQ(s.present, 1);
    EXPECT_STREQ(s.mode, "play");
    EXPECT_STREQ(s.token, "s3cr3t-token");
    EXPECT_STREQ(s.service, "tessel");
    EXPECT_STREQ(s.address, "10.0.0.7");
    EXPECT_STREQ(s.port, "4000");
    EXPECT_STREQ(s.name, "Wyrd");
    EXPECT_STREQ(s.handle, "Great Grey Mage");
    EXPECT_STREQ(g_login.commandLineText, "tessel");
    const std::string log = Log();
    EXPECT_EQ(log,
              "Cmd Line Arguments-> 0:play 1:(12 characters) 2:a 3:b 4:c 5:tessel:10.0.0.7:4000 6:d 7:Wyrd 8:e "
              "9:Great 10:Grey 11:Mage\n"
              "Tessel Token: (12 characters)\n"
              "Tessel Online Service: tessel\n"
              "Tessel Address: 10.0.0.7\n"
              "Tessel Port: 4000\n"
              "Tessel Name: Wyrd\n"
              "Tessel Handle: Great Grey Mage\n");
    EXPECT_EQ(log.find("s3cr3t"), std::string::npos);
}

struct CommandLineCase {
    const char* name;
    const char* line;
    int privilege;
    int present;
    const char* service;
    const char* address;
    const char* port;
    const char* handle;
    const char* logTail;  // the last log line, or null for no log at all
};

TEST_F(Settings, CommandLineCases) {
    const std::string big(150, 'x');
    const std::string oversize = "m " + big + " 2 3 4 " + std::string(30, 'x') + ":" + std::string(30, 'y') + " 6 " + big + " 8 " + big + " " + big;
    const CommandLineCase cases[] = {
        {"empty", "", 0, 0, "", "", "", "", nullptr},
        {"three arguments", "play tok 2", 0, 1, "", "", "", "", "Tessel Handle: \n"},
        {"no colon", "a b c d e svc", 0, 1, "svc", "", "", "", "Tessel Handle: \n"},
        {"four colon parts", "a b c d e s:h:p:q", 0, 1, "s", "h", "p", "", "Tessel Handle: \n"},
        {"no token", "single", 0, 1, "", "", "", "", "Tessel Handle: \n"},
        {"single at privilege 5", "SINGLE tok", 5, 0, "", "", "", "", "Tessel Mode: SINGLE\n"},
        {"handle of arguments 9 and 11", "a b c d e f g h i Nine  ", 0, 1, "f", "", "", "Nine", "Tessel Handle: Nine\n"},
        {"oversize", oversize.c_str(), 0, 1, "xxxxxxxxx", "yyyyyyyyyyyyyyyyyyy", "", nullptr, nullptr},
    };
    for (const CommandLineCase& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        g_login.privilegeLevel = c.privilege;
        ParseCommandLine(c.line);
        EXPECT_EQ(g_onlineService.present, c.present);
        EXPECT_STREQ(g_onlineService.service, c.service);
        EXPECT_STREQ(g_onlineService.address, c.address);
        EXPECT_STREQ(g_onlineService.port, c.port);
        if (c.handle)
            EXPECT_STREQ(g_onlineService.handle, c.handle);
        const std::string log = Log();
        if (c.logTail) {
            const std::string tail(c.logTail);
            ASSERT_GE(log.size(), tail.size());
            EXPECT_EQ(log.substr(log.size() - tail.size()), tail);
        } else if (c.line[0] == '\0') {
            EXPECT_EQ(log, "");
        }
    }
    // Every field was cut to its size: 99-character arguments, 74 for the handle.
    EXPECT_EQ(std::string(g_onlineService.token), std::string(99, 'x'));
    EXPECT_EQ(std::string(g_onlineService.name), std::string(19, 'x'));
    EXPECT_EQ(std::string(g_onlineService.handle), std::string(74, 'x'));
}

TEST_F(Settings, PrivilegeNeedsTheNumberAndTheUserTeamWord) {
    struct Case {
        int number;
        const char* team;
        int level;
    } cases[] = {{27351, "russet", 5}, {27351, "RuSsEt", 5}, {27351, "russe", 0}, {27350, "russet", 0},
                 {27351, "russets", 0}, {0, "None", 0}};
    for (const Case& c : cases)
        EXPECT_EQ(PrivilegeLevelFor(c.number, c.team), c.level) << c.number << " " << c.team;
}

TEST_F(Settings, UserSettingsSetTheLevelsAndTheOperatorFlags) {
    struct Case {
        const char* user;
        int privilege, flags, debug;
    } cases[] = {
        {"[main]\nteam=Russet\nnumber=27351\ndebug=2\n", 5, 3, 2},
        {"[main]\nteam=russet\nnumber=1\ndebug=1\n", 0, 0, 1},
        {"[main]\nnumber=27351\n", 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.user);
        Reset();
        dir.Write("user.dat", c.user);
        dir.Write("main.dat", "[main]\nhighlight=1\ninvisible=1\nteam=Gold\n");
        LoadUserSettings();
        EXPECT_EQ(g_login.privilegeLevel, c.privilege);
        EXPECT_EQ(g_operatorFlags, c.flags);
        EXPECT_EQ(g_debugLevel, c.debug);
        // main.dat's team word replaces user.dat's for play, never for the privilege.
        LoadConstants();
        EXPECT_STREQ(g_teamWord, "Gold");
        EXPECT_EQ(g_login.privilegeLevel, c.privilege);
    }
}

TEST_F(Settings, ConstantsReadTheSocketsAndLogTheirLine) {
    dir.Write("main.dat", "[main]\nassumedname=Other\n[socket]\nport=3000\nstream_port=3001\nprotocol=stream\n");
    LoadConstants();
    EXPECT_STREQ(g_login.assumedName, "Other");
    EXPECT_EQ(ConnectionType, CONNECTION_STREAM);
    EXPECT_EQ(SocketPortInUse, 3001);
    EXPECT_EQ(g_movementConstants.maxTurnSpeed, 1750);
    EXPECT_EQ(g_movementConstants.gravity, 300);
    EXPECT_EQ(Log(), "Constants Loaded.\n");
}

TEST_F(Settings, TeamBackgroundByTeamAndAMissingKeyEndsTheProgram) {
    dir.Write("main.dat", "[screens]\nchaosbackfile=c.pcx\norderbackfile=o.pcx\nbalancebackfile=b.pcx\n");
    ResetGameValues();
    const struct {
        int team;
        const char* back;
    } cases[] = {{1, "c.pcx"}, {2, "o.pcx"}, {3, "b.pcx"}, {0, "o.pcx"}, {4, "o.pcx"}, {-1, "o.pcx"}};
    for (const auto& c : cases) {
        SetGameValue(4, c.team);
        LoadTeamBackground();
        EXPECT_STREQ(g_screenFiles.gameBack, c.back) << c.team;
    }
    Reset();
    dir.Write("main.dat", "[screens]\norderbackfile=o.pcx\n");
    SetGameValue(4, 3);
    platform::SetExitHandler([](int code) { throw code; });
    int exitCode = 0;
    try {
        LoadTeamBackground();
    } catch (int code) {
        exitCode = code;
    }
    platform::SetExitHandler(nullptr);
    EXPECT_EQ(exitCode, -1);
    EXPECT_EQ(Log(), "No entry for balancebackfile in file: main.dat\n");
    g_screenFiles = ScreenFiles{};
}

TEST(SoundDriver, FirstLetterChoosesIt) {
    const struct {
        const char* value;
        int driver;
    } cases[] = {{"none", 0}, {"None", 0}, {"n", 0}, {"directsound", 2}, {"DS", 2}, {"miles", 1}, {"", 1}, {"x", 1}};
    for (const auto& c : cases)
        EXPECT_EQ(SoundDriverFor(c.value), c.driver) << c.value;
}

TEST(PlayerState, ResetGivesAFreshLevelFifteenPlayer) {
    ResetGameValues();
    LocalPlayer player{};
    player.kills = 4;
    player.max_pitch = 10;
    SetGameValue(1, 900);
    SetGameValue(125, 3);
    SetGameValue(4, 2);
    ResetPlayerState(player);
    const struct {
        int value, expected;
    } values[] = {{0, 15},     {1, 0},      {4, 2},   {107, 10000}, {108, 10000}, {109, 3400},
                  {110, 3400}, {111, 10000}, {112, 10000}, {115, 0},    {125, 0}};
    for (const auto& v : values)
        EXPECT_EQ(GetGameValue(v.value), v.expected) << "#" << v.value;
    EXPECT_EQ(player.kills, 0);
    EXPECT_EQ(player.min_pitch, -80);
    EXPECT_EQ(player.max_pitch, 80);
    EXPECT_STREQ(CurrentCharacterName(), "noname");
}

}  // namespace
