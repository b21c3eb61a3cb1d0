// The console's tags and colours, chat.log, the chat line and the commands: what the console
// shows and what goes to the service.
#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "client/arena/local_player.h"
#include "client/arena/player_view.h"
#include "client/arena/world_object.h"
#include "client/core/config_file.h"
#include "client/core/game_values.h"
#include "client/core/numeric.h"
#include "client/core/screen_state.h"
#include "client/net/client_tables.h"
#include "client/net/net_catalogue.h"
#include "client/screens/character_state.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/chat_commands.h"
#include "client/screens/chat_input.h"
#include "client/screens/fonts.h"
#include "client/screens/input.h"
#include "common/text.h"
#include "tests/client/screens/screen_fixture.h"
#include "tests/support/sent_frames.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Body(std::initializer_list<int> head, const std::string& text = "", bool zero = false) {
    Bytes b;
    for (int v : head)
        b.push_back(static_cast<uint8_t>(v));
    b.insert(b.end(), text.begin(), text.end());
    if (zero)
        b.push_back(0);
    return b;
}

const ChatLine& LastLine(int back = 1) { return ChatBuffer.lines[(ChatBuffer.write - back + kChatLines) % kChatLines]; }

std::vector<std::string> ConsoleTexts() {
    std::vector<std::string> out;
    for (int k = ChatBuffer.start; k != ChatBuffer.write; k = (k + 1) % kChatLines)
        out.push_back(std::string(ChatBuffer.lines[k].tag) + ChatBuffer.lines[k].text);
    return out;
}

class ChatFixture : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        StartScreen();
        ClearChatBuffer();
        ClearPlayerTable();
        ResetGameValues();
        std::memset(IgnoreList, 0, sizeof IgnoreList);
        g_debugLevel = 0;
        g_screenState = 2;
        DefaultChatTarget = kChatTargetAll;
        PrivateChatMode = 0;
        SetGameValue(118, 7);
        std::memset(&player, 0, sizeof player);
        std::memset(g_currentCharacter.name, 0, sizeof g_currentCharacter.name);
        CopyText(g_currentCharacter.name, "Thorn");
        SwapOddNibbles(g_currentCharacter.name);
        Add(7, "Myself", 2, 51);
        bob = Add(9, "Bob", 2, 51);
        opal = Add(10, "Opal", 3, 255);
        PlayerTable[opal].flags = 1;
    }
    void TearDown() override {
        if (IsChatLogging())
            CloseChatLog();
        g_debugLevel = 0;
        g_screenState = 0;
        g_login.privilegeLevel = 0;
        ResetGameValues();
        ScreenFixture::TearDown();
    }
    int Add(int id, const char* name, int team, int location) { return UpdatePlayerTable(id, location, team, name); }
    // Types the line and presses Enter.
    void Enter(const std::string& line) {
        CopyText(g_typedLine.text, line);
        g_typedLine.length = static_cast<int>(line.size());
        g_typedLine.complete = 1;
        DoChatInput(&player);
    }
    LocalPlayer player{};
    int bob = 0, opal = 0;
};

// ---- Tags and colours ---------------------------------------------------------------------------

TEST_F(ChatFixture, EverySourceGetsItsTagAndColours) {
    const int unknown = 77;
    struct Case {
        int source, flags, sysop, colour;
        const char* tag;
        int tagColour, textColour;
    } cases[] = {
        {MSG_SYSTEM, 0, 0, 44, "", 5, 5},
        {MSG_ALL, 0, 0, 0, "[ALL]: ", 4, 4},
        {MSG_ALL, 0, 3, 0, "[ALL]: ", 0, 0},
        {MSG_YOU, 0, 0, 0, "[YOU]: ", 4, 4},
        {MSG_YOU, 0, 5, 0, "[YOU]: ", 0, 0},
        {MSG_DRAGON, 0, 0, 0, "[Dragon]: ", 1, 1},
        {MSG_GRYPHON, 0, 0, 0, "[Gryphon]: ", 2, 2},
        {MSG_PHOENIX, 0, 0, 0, "[Phoenix]: ", 3, 3},
        {MSG_SERVICE, 0, 0, 0, "[Srv]: ", 6, 6},
        {9, kMessageTo, 0, 0, "[to Bob]: ", 4, 4},
        {9, kMessageTo, 3, 0, "[to [9]Bob]: ", 0, 0},
        {9, kMessageFrom, 0, 0, "[from Bob]: ", 2, 4},
        {10, kMessageFrom, 0, 0, "[from Opal]: ", 0, 0},
        {unknown, kMessageFrom, 0, 0, "[from ]: ", 0, 4},
        {9, 0, 0, 2, "Bob: ", 2, 2},
        {9, 0, 0, 7, "Bob: ", 2, 4},
        {9, 2, 3, 1, "[9]Bob: ", 2, 1},
        {10, 0, 0, 2, "Opal: ", 0, 0},
    };
    for (const Case& c : cases) {
        SetGameValue(3, c.sysop);
        PrintMessage(c.source, "hi", c.colour, c.flags);
        const ChatLine& l = LastLine();
        SCOPED_TRACE(std::string(c.tag) + " source " + std::to_string(c.source));
        EXPECT_STREQ(l.tag, c.tag);
        EXPECT_STREQ(l.text, "hi");
        EXPECT_EQ(l.tag_color, c.tagColour);
        EXPECT_EQ(l.text_color, c.textColour);
    }
}

TEST_F(ChatFixture, LongTagsAreCutAndLinesMarkTheChatPanel) {
    const int i = Add(12, "Bartholomew_Smithy", 1, 51);
    SetGameValue(3, 3);
    present->calls.clear();
    PrintMessage(12, "hi", 0, kMessageTo);
    EXPECT_STREQ(LastLine().tag, std::string("[to [12]Bartholomew_Smithy]: ").substr(0, 19).c_str());
    EXPECT_EQ(present->Named("SetPanelRedrawFlag"), std::vector<std::string>{"SetPanelRedrawFlag(4, 1)"});
    (void)i;
}

TEST_F(ChatFixture, ATaggedLineSplitsInTheArenaUnderTheSameColours) {
    std::string text;
    while (TextWidth(("[Gryphon]: " + text).c_str(), 1) <= 300)
        text += "word ";
    g_screenState = 2;
    PrintMessage(MSG_GRYPHON, text.c_str(), 0, 0);
    EXPECT_EQ(ChatBuffer.write, 1) << "430 pixels in the Tavern";
    g_screenState = 1;
    PrintMessage(MSG_GRYPHON, text.c_str(), 0, 0);
    ASSERT_EQ(ChatBuffer.write, 3);
    const ChatLine& first = ChatBuffer.lines[1];
    const ChatLine& second = ChatBuffer.lines[2];
    EXPECT_STREQ(first.tag, "[Gryphon]: ");
    EXPECT_LE(TextWidth(first.tag, 1) + TextWidth(first.text, 1), 256);
    EXPECT_STREQ(second.tag, "       ");
    EXPECT_EQ(std::string(first.text) + second.text, text);
    EXPECT_EQ(second.tag_color, 2);
    EXPECT_EQ(second.text_color, 2);
}

// ---- chat.log -----------------------------------------------------------------------------------

std::string WithoutDates(std::string text) {
    return std::regex_replace(text, std::regex("(Opened|Closed): [A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]\\d \\d\\d:\\d\\d:\\d\\d \\d{4}\n"),
                              "$1: DATE\n");
}

TEST_F(ChatFixture, TheChatLogHoldsTheConsoleAndEveryLineWhileOn) {
    PrintMessage(MSG_SYSTEM, "before", 44, 0);
    OpenChatLog();
    PrintMessage(MSG_ALL, "hello", 0, 0);
    PrintMessage(9, "to you", 0, kMessageFrom);
    CloseChatLog();
    PrintMessage(MSG_ALL, "after", 0, 0);
    EXPECT_EQ(WithoutDates(dir->Read("chat.log")),
              "\n*** Chat Log Opened: DATE\n"
              "\n"
              " before\n"
              " Chat Logging Enabled to file: CHAT.LOG\n"
              "[ALL]:  hello\n"
              "[from Bob]:  to you\n"
              "\n*** Chat Log Closed: DATE\n\n\n");
    EXPECT_STREQ(LastLine(2).text, "Chat Logging Disabled");
    EXPECT_EQ(LastLine(2).text_color, 5);
}

TEST_F(ChatFixture, AFailedOpenLogsNothingAndClosesQuietly) {
    dir->Write("chat.log/keep", "x");  // a directory where the file would be
    OpenChatLog();
    EXPECT_TRUE(IsChatLogging());
    PrintMessage(MSG_ALL, "lost", 0, 0);
    CloseChatLog();
    EXPECT_FALSE(IsChatLogging());
    EXPECT_EQ(dir->Read("chat.log/keep"), "x");
    EXPECT_STREQ(LastLine().text, "Chat Logging Disabled");
}

// ---- Chat lines ---------------------------------------------------------------------------------

TEST_F(ChatFixture, ChatLinesGoWhereTheirWordsSay) {
    Add(21, "Annabel", 1, 51);
    Add(22, "Annie", 1, 51);
    Add(30, "Zed", 1, 255);
    struct Case {
        int screen, privateMode, team, mode, defaultTarget;
        const char* line;
        bool sends;
        int destination;
        Bytes body;
        const char* console;  // tag and text of the last console line
    } cases[] = {
        // The Tavern.
        {2, 0, 2, 0, kChatTargetAll, "/ann hello", true, 21, Body({0, 7, 0, 21, 3, 0, 0, 0}, "hello", true), "[to Annabel]: hello"},
        {2, 0, 2, 0, kChatTargetAll, "/ZED hi", true, 30, Body({0, 7, 0, 30, 3, 0, 0, 0}, "[from Thorn in lobby]: hi", true), "[to Zed]: hi"},
        {2, 1, 2, 0, kChatTargetAll, "annie yo there", true, 22, Body({0, 7, 0, 22, 3, 0, 0, 0}, "yo there", true), "[to Annie]: yo there"},
        {2, 0, 2, 0, kChatTargetAll, "hello all", true, 0, Body({0, 7, 0, 0, 0, 0, 0, 0}, "hello all", true), "[ALL]: hello all"},
        {2, 0, 2, 0, kChatTargetTeam, "/team", false, 0, {}, "Target 'team' not found."},
        {2, 0, 2, 0, kChatTargetAll, "/ hi", false, 0, {}, "Target '' not found."},
        {2, 0, 2, 0, kChatTargetAll, "/nobody x", false, 0, {}, "Target 'nobody' not found."},
        // The arena.
        {1, 0, 2, 0, kChatTargetAll, "/team", false, 0, {}, "Default chat target set to TEAM"},
        {1, 0, 2, 0, kChatTargetTeam, "/all", false, 0, {}, "Default chat target set to ALL"},
        {1, 0, 2, 0, kChatTargetAll, "/tx hi", true, 0, Body({0, 7, 0, 2, 2, 0, 0, 0}, "hi", true), "[Gryphon]: hi"},
        {1, 0, 3, 0, kChatTargetAll, "/Tx hi", true, 0, Body({0, 7, 0, 3, 2, 0, 0, 0}, "hi", true), "[Phoenix]: hi"},
        {1, 0, 3, 0, kChatTargetAll, "/Ax hi", true, 0, Body({0, 7, 0, 0, 0, 0, 0, 0}, "hi", true), "[ALL]: hi"},
        {1, 0, 3, 0, kChatTargetTeam, "/ax hi", true, 0, Body({0, 7, 0, 0, 0, 0, 0, 0}, "hi", true), "[ALL]: hi"},
        {1, 0, 2, 0, kChatTargetAll, "/ hi", false, 0, {}, "Target '' not found."},
        {1, 0, 2, 0, kChatTargetAll, "/qq hi", false, 0, {}, "Target 'qq' not found."},
        {1, 0, 2, 0, kChatTargetAll, "/zed hi", true, 30, Body({0, 7, 0, 30, 3, 0, 0, 0}, "hi", true), "[to Zed]: hi"},
        {1, 0, 1, 0, kChatTargetTeam, "go left", true, 0, Body({0, 7, 0, 1, 2, 0, 0, 0}, "go left", true), "[Dragon]: go left"},
        {1, 0, 0, 0, kChatTargetTeam, "no team", true, 0, Body({0, 7, 0, 0, 0, 0, 0, 0}, "no team", true), "[ALL]: no team"},
        {1, 0, 3, 6, kChatTargetAll, "boo", true, 0, Body({0, 7, 0, 3, 1, 0, 0, 0}, "boo", true), "[ALL]: boo"},
        {1, 0, 3, 6, kChatTargetAll, "/zed boo", true, 30, Body({0, 7, 0, 3, 1, 0, 0, 0}, "boo", true), "[to Zed]: boo"},
        {2, 0, 2, 0, kChatTargetAll, "*v", false, 0, {}, "Client Version: 0.7.0   Server Version: 0.0.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.line) + " in screen " + std::to_string(c.screen));
        OnlineSends online;
        g_screenState = c.screen;
        PrivateChatMode = c.privateMode;
        SetGameValue(4, c.team);
        player.mode = c.mode;
        DefaultChatTarget = c.defaultTarget;
        Enter(c.line);
        const std::vector<SentFrame> sent = SentFrames();
        if (c.sends) {
            ASSERT_EQ(sent.size(), 1u);
            EXPECT_EQ(sent[0].code, F_CHAT_TEXT);
            EXPECT_EQ(sent[0].destination, c.destination);
            EXPECT_EQ(sent[0].body, c.body);
        } else {
            EXPECT_TRUE(sent.empty());
        }
        EXPECT_EQ(std::string(LastLine().tag) + LastLine().text, c.console);
        EXPECT_EQ(g_typedLine.length, 0);
        EXPECT_EQ(g_typedLine.complete, 0);
    }
    EXPECT_EQ(DefaultChatTarget, kChatTargetAll);
}

TEST_F(ChatFixture, TheDefaultTargetStaysAndOfflineNothingIsSent) {
    g_screenState = 1;
    SetGameValue(4, 1);
    Enter("/team");
    EXPECT_EQ(DefaultChatTarget, kChatTargetTeam);
    ResetSendRing();
    g_linkState = 1;
    Enter("hold");
    EXPECT_TRUE(SentFrames().empty());
    EXPECT_STREQ(LastLine().tag, "[Dragon]: ");
    Enter("");
    EXPECT_STREQ(LastLine().text, "hold") << "an empty line does nothing";
}

// ---- Commands -----------------------------------------------------------------------------------

TEST_F(ChatFixture, CommandWordsSplitAtBlanksAndQuotes) {
    char w[kCommandWords][kCommandWordSize];
    SplitCommandWords("e \"bo b\" 100", w);
    EXPECT_STREQ(w[0], "e");
    EXPECT_STREQ(w[1], "bo b");
    EXPECT_STREQ(w[2], "100");
    SplitCommandWords("a  b   c abcdefghijklmnopqrstuvwxyz x", w);
    EXPECT_STREQ(w[1], "b");
    EXPECT_STREQ(w[2], "");
    EXPECT_STREQ(w[3], "c");
    EXPECT_STREQ(w[4], "abcdefghijklmnopqrs") << "19 characters kept";
    EXPECT_STREQ(w[5], "x");
    EXPECT_STREQ(w[6], "");
}

TEST_F(ChatFixture, PlayersAreFoundByNameBeginningOrById) {
    const int bobby = Add(11, "Bobby", 1, 51);
    PlayerTable[bobby - 0].id = 11;
    struct Case {
        const char* text;
        int index;
    } cases[] = {
        {"", kNoPlayer}, {"bo", bob}, {"BOBB", bobby}, {"#10", opal}, {"#99", kNoPlayer}, {"zz", 0}, {"#", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindPlayerByName(c.text), c.index) << c.text;
    PlayerTable[bob].id = kFreeId;
    EXPECT_EQ(FindPlayerByName("bo"), bobby) << "free entries are skipped";
}

TEST_F(ChatFixture, OperatorCommandsSendTheirBodies) {
    Add(12, "Bo Bo", 1, 51);
    g_login.privilegeLevel = 5;
    struct Case {
        int sysop, screen;
        const char* command;
        int code, destination;
        Bytes body;
        const char* console;  // "" when nothing is printed
    } cases[] = {
        {3, 2, "ban bob", F_BAN_PLAYER, 0, Body({0, 9}, "Bob"), "Bob has been banned."},
        {3, 2, "boot bo", F_BOOT_PLAYER, 0, Body({0, 9}, "Bob"), "Bob has been booted."},
        {3, 2, "REMOVE #10", F_REMOVE_PLAYER, 0, Body({0, 10}, "Opal"), "Opal has been removed."},
        {3, 2, "account opal", F_SHOW_ACCOUNT, 0, Body({0, 10}, "Opal"), "Requesting Account Information for opal."},
        {3, 2, "unban joe", F_UNBAN_PLAYER, 0, Body({0}, "joe"), "Attempting to unban [joe]."},
        {3, 2, "yank bob", F_YANK_PLAYER, 9, Body({0, 9, 0, 0}), "[Bob] has been yanked to you."},
        {3, 2, "god", F_GODMODE, 7, Body({0, 1, 0, 0}), ""},
        {3, 2, "rename bob Robert", F_RENAME_PLAYER, 0,
         Body({0, 9, 0, 0, 'R', 'o', 'b', 'e', 'r', 't', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
               0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
         "[Bob] has been renamed to [Robert]."},
        {0, 2, "sysop robert", F_MAKE_SYSOP, 9, Body({0, 9, 1, 0}), "Sending Make Sysop for robert."},
        {0, 2, "sysop self", F_MAKE_SYSOP, 7, Body({0, 7, 1, 0}), "Sending Make Sysop for self."},
        {5, 2, "e \"bo b\" 100", F_EXPERIENCE, 0xFFFF, Body({0, 100, 0, 12}), "You grant 100 exp to 'bo b' [Bo Bo][id=12 sl=4]."},
        {5, 2, "e th 5", F_EXPERIENCE, 0xFFFF, Body({0, 5, 0, 7}), ""},
        {3, 1, "j gryphon", F_JUMP_PLAYER, 7, Body({0xFF, 0xFE, 0, 0}), ""},
        {3, 1, "j Dragon", F_JUMP_PLAYER, 7, Body({0xFF, 0xFF, 0, 0}), ""},
        {0, 1, "k", F_PLAYER_DEATH, 0xFFFF, Body({0, 7, 0, 0, 0, 0, 0, 0}), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        OnlineSends online;
        SetGameValue(3, c.sysop);
        g_screenState = c.screen;
        const int before = ChatBuffer.count;
        DoChatCommand(c.command);
        const std::vector<SentFrame> sent = SentFrames();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].code, c.code);
        EXPECT_EQ(sent[0].destination, c.destination);
        EXPECT_EQ(sent[0].body, c.body);
        if (*c.console) {
            ASSERT_EQ(ChatBuffer.count, before + 1);
            EXPECT_STREQ(LastLine().text, c.console);
            EXPECT_EQ(LastLine().text_color, 5);
        } else {
            EXPECT_EQ(ChatBuffer.count, before);
        }
    }
    EXPECT_STREQ(PlayerTable[bob].name, "Robert") << "the table takes the new name";
}

TEST_F(ChatFixture, CommandsRefusedOrWithoutTheirLevelSendNothing) {
    g_login.privilegeLevel = 0;
    struct Case {
        int sysop, screen;
        const char* command;
        const char* console;  // "" for silence
    } cases[] = {
        {0, 2, "ban bob", ""},
        {0, 2, "god", ""},
        {0, 2, "unban joe", ""},
        {2, 2, "yank bob", ""},
        {3, 2, "e bob 100", ""},
        {3, 2, "j gryphon", ""},
        {3, 1, "j nobody", "Invalid Player Name."},
        {3, 2, "sysop bob", ""},
        {3, 2, "banana bob", ""},
        {3, 2, "ban zz", "Invalid Player Name."},
        {3, 2, "u", "You must specify an account to unban."},
        {3, 2, "rename bob Al", "[Al] is too few letters."},
        {3, 2, "rename bob Abcdefghijkl", "[Abcdefghijkl] is too many letters."},
        {3, 2, "rename zz Alfred", "Invalid Player Name [zz]."},
        {3, 2, "yank zz", "Invalid Player Name [zz]."},
        {5, 2, "e bob 40000", "You cannot grant 40000 exp! (0 to 32767)"},
        {5, 2, "e bob 0", "You cannot grant 0 exp! (0 to 32767)"},
        {5, 2, "e zz 5", "Invalid Player Name [e][zz][5]."},
        {0, 2, "spell", ""},
        {0, 2, "x", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        OnlineSends online;
        SetGameValue(3, c.sysop);
        g_screenState = c.screen;
        const int before = ChatBuffer.count;
        DoChatCommand(c.command);
        EXPECT_TRUE(SentFrames().empty());
        if (*c.console) {
            ASSERT_EQ(ChatBuffer.count, before + 1);
            EXPECT_STREQ(LastLine().text, c.console);
        } else {
            EXPECT_EQ(ChatBuffer.count, before);
        }
    }
    EXPECT_STREQ(PlayerTable[bob].name, "Bob");
}

TEST_F(ChatFixture, ClientSettingCommands) {
    struct Case {
        const char* command;
        int debugBefore, debugAfter;
        const char* console;
    } cases[] = {
        {"debug fu", 0, 2, "Debug Mode Full On."}, {"d s", 0, 3, "Debug Mode Stats On."},
        {"d x", 2, 0, "Debug Mode Off."},      {"d ox", 2, 2, ""},
        {"d ON", 0, 1, "Debug Mode FPS On."},  {"d of", 3, 0, "Debug Mode Off."},
        {"d fa", 0, 1, "Debug Mode FPS On."},  {"d", 2, 0, "Debug Mode Off."},
    };
    for (const Case& c : cases) {
        g_debugLevel = c.debugBefore;
        const int before = ChatBuffer.count;
        DoChatCommand(c.command);
        EXPECT_EQ(g_debugLevel, c.debugAfter) << c.command;
        if (*c.console)
            EXPECT_STREQ(LastLine().text, c.console) << c.command;
        else
            EXPECT_EQ(ChatBuffer.count, before) << c.command;
    }
    g_debugLevel = 0;
    CrosshairFlag = 1;
    DoChatCommand("c");
    EXPECT_EQ(CrosshairFlag, 0);
    EXPECT_STREQ(LastLine().text, "Crosshairs Off.");
    DoChatCommand("complaint");
    EXPECT_EQ(CrosshairFlag, 0);
    DoChatCommand("cross");
    EXPECT_STREQ(LastLine().text, "Crosshairs On.");
    LagDisplayFlag = 0;
    DoChatCommand("lag");
    EXPECT_EQ(LagDisplayFlag, 1);
    DoChatCommand("lag");
    EXPECT_EQ(LagDisplayFlag, 0);
    ClearChatBuffer();
    DoChatCommand("p one \"two three\"  four");
    const std::vector<std::string> words = ConsoleTexts();
    ASSERT_EQ(words.size(), 10u);
    EXPECT_EQ(words[0], "word 0: [p]");
    EXPECT_EQ(words[2], "word 2: [two three]");
    EXPECT_EQ(words[3], "word 3: []");
    EXPECT_EQ(words[4], "word 4: [four]");
    EXPECT_EQ(words[9], "word 9: []");
}

TEST_F(ChatFixture, KillingOfflineKillsThePlayerHere) {
    g_linkState = 1;
    g_localPlayer = &player;
    SetGameValue(107, 5000);
    DoChatCommand("k");
    EXPECT_EQ(GetGameValue(107), 0);
    EXPECT_NE(player.dead, 0);
    g_localPlayer = nullptr;
}

TEST_F(ChatFixture, TheIgnoreListTogglesFillsAndSurvivesARestart) {
    dir->Write("user.dat", "[main]\ndebug=0\n[ignorelist]\nname00=old\n");
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    LoadIgnoreList();
    EXPECT_STREQ(IgnoreList[0], "old");
    EXPECT_EQ(ToggleIgnore("BobTheBuilderLongName"), 1);
    EXPECT_STREQ(IgnoreList[1], "bobthebuilde");
    EXPECT_STREQ(LastLine().text, "[bobthebuilde] added to your Ignore List.");
    EXPECT_EQ(LastLine().text_color, 5);
    EXPECT_EQ(IsIgnoredName("BobTheBuilderXYZ"), 1) << "the sender's name cut to 12, lower case";
    EXPECT_EQ(IsIgnoredName("Bob"), 0);
    EXPECT_EQ(ToggleIgnore("old"), 0);
    EXPECT_STREQ(LastLine().text, "[old] removed from your Ignore List.");

    // After a restart the removal holds and the added name is there.
    std::memset(IgnoreList, 0, sizeof IgnoreList);
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    LoadIgnoreList();
    EXPECT_STREQ(IgnoreList[0], "");
    EXPECT_STREQ(IgnoreList[1], "bobthebuilde");

    DoChatCommand("i Bob");
    EXPECT_STREQ(IgnoreList[0], "bob");
    EXPECT_EQ(IsIgnoredName("BOB"), 1);
    DoChatCommand("i bob");
    EXPECT_STREQ(IgnoreList[0], "");
    for (int n = 0; n < 20; ++n)
        ToggleIgnore(("name" + std::to_string(n)).c_str());
    EXPECT_EQ(ToggleIgnore("onemore"), 0);
    EXPECT_STREQ(LastLine().text, "Your ignore list is full with 20 names!");
    ClearChatBuffer();
    DoChatCommand("i");
    const std::vector<std::string> shown = ConsoleTexts();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0], "Ignoring: [name0]  [bobthebuilde]  [name1]  [name2]  [name3]  ");
    EXPECT_EQ(shown[3], "Ignoring: [name14]  [name15]  [name16]  [name17]  [name18]  ");
}

TEST_F(ChatFixture, DisplayTestsReachThePresentation) {
    PlayerView view{};
    view.x = 640;
    view.y = 1280;
    view.z = 300;
    g_playerView = &view;
    g_localPlayer = &player;
    player.eye_height = 100;
    present->calls.clear();
    DoChatCommand("n p");
    DoChatCommand("n p");
    DoChatCommand("n p");
    DoChatCommand("n w 1");
    DoChatCommand("n t -3");
    DoChatCommand("n f 1 2 3 4 5");
    DoChatCommand("n l 1 2 3");
    DoChatCommand("n lo");
    EXPECT_EQ(present->calls, (std::vector<std::string>{
                                  "SetHudUpdateFlag(0)", "ShowHud(0)", "SetHudUpdateFlag(1)", "ShowHud(1)",
                                  "SetWireframeMode(1)", "SetForcedLodLevel(0)", "SetWorldFog(1, 2, 3, 4, 5)",
                                  "SetViewerLight(1, 2, 3)", "WriteFrameStats(0, 0, 0, 0, 0, 0)"}));
    DoChatCommand("loc");
    EXPECT_STREQ(LastLine().text, "Location: 10,20,200 (640,1280)");

    ClearWorldObjects();
    DoChatCommand("n c 2000");
    int made = 0;
    for (int slot = 1; slot < kWorldObjectSlots; ++slot)
        made += WorldObjectTable[slot].active && WorldObjectTable[slot].imagenum == 202;
    EXPECT_EQ(made, kWorldObjectSlots - 1) << "as many as there are slots";
    EXPECT_EQ(WorldObjectTable[0].imagenum, 0) << "slot 0 is never written";
    ClearWorldObjects();
    g_playerView = nullptr;
    g_localPlayer = nullptr;
}

}  // namespace
