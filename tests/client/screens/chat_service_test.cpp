// Chat lines and operator commands as the scripted service receives them over the stream, and a
// player's chat from the service through the ignore list to the console.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "client/screens/chat_commands.h"
#include "client/screens/chat_input.h"
#include "client/screens/input.h"
#include "common/text.h"
#include "tests/client/net/net_messages_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using netmsg::Bytes;

class ChatServiceTest : public netmsg::NetWaitTest {
protected:
    void SetUp() override {
        NetWaitTest::SetUp();
        ASSERT_TRUE(Open(CONNECTION_STREAM));
        SetGameValue(118, 7);
        std::memset(IgnoreList, 0, sizeof IgnoreList);
        DefaultChatTarget = kChatTargetAll;
        PrivateChatMode = 0;
        player = LocalPlayer{};
        AddPlayer(7, "Thorn", 2);  // this client, at the same table as Annabel
        AddPlayer(21, "Annabel", 2);
        AddPlayer(30, "Zed", 1);
    }
    void Type(const std::string& line) {
        CopyText(g_typedLine.text, line);
        g_typedLine.length = static_cast<int>(line.size());
        g_typedLine.complete = 1;
        DoChatInput(&player);
    }
    // The frames of a code the service has taken, after pumping until count of them came.
    std::vector<GameService::Frame> Received(uint8_t code, size_t count) {
        PumpUntil([&] { return service.FramesOf(code).size() >= count; });
        return service.FramesOf(code);
    }
    LocalPlayer player{};
};

TEST_F(ChatServiceTest, TheServiceReceivesEachLineWithItsChannelAndReceiver) {
    g_screenState = 2;
    Type("/ann hello");
    Type("hello all");
    g_screenState = 1;
    SetGameValue(4, 3);
    Type("/tx hi");
    player.mode = 6;
    Type("from beyond");
    player.mode = 0;
    const std::vector<GameService::Frame> frames = Received(F_CHAT_TEXT, 4);
    ASSERT_EQ(frames.size(), 4u);
    const struct {
        uint16_t destination;
        Bytes body;
    } expected[] = {
        {21, {0, 7, 0, 21, 3, 0, 0, 0, 'h', 'e', 'l', 'l', 'o', 0}},
        {0, {0, 7, 0, 0, 0, 0, 0, 0, 'h', 'e', 'l', 'l', 'o', ' ', 'a', 'l', 'l', 0}},
        {0, {0, 7, 0, 3, 2, 0, 0, 0, 'h', 'i', 0}},
        {0, {0, 7, 0, 3, 1, 0, 0, 0, 'f', 'r', 'o', 'm', ' ', 'b', 'e', 'y', 'o', 'n', 'd', 0}},
    };
    for (size_t k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        EXPECT_TRUE(frames[k].checksumOk);
        EXPECT_EQ(frames[k].destination, expected[k].destination);
        EXPECT_EQ(frames[k].body, expected[k].body);
    }
}

TEST_F(ChatServiceTest, OperatorRequestsArriveAsTheServiceDecodesThem) {
    SetGameValue(3, 3);
    g_screenState = 2;
    Type("*boot zed");
    Type("*ban #21");
    Type("*unban someone");
    SetGameValue(3, 0);
    Type("*ban zed");  // without the level: nothing
    const std::vector<GameService::Frame> boot = Received(F_BOOT_PLAYER, 1);
    ASSERT_EQ(boot.size(), 1u);
    EXPECT_EQ(boot[0].body, (Bytes{0, 30, 'Z', 'e', 'd'}));
    const std::vector<GameService::Frame> ban = Received(F_BAN_PLAYER, 1);
    ASSERT_EQ(ban.size(), 1u);
    EXPECT_EQ(ban[0].body, (Bytes{0, 21, 'A', 'n', 'n', 'a', 'b', 'e', 'l'}));
    const std::vector<GameService::Frame> unban = Received(F_UNBAN_PLAYER, 1);
    ASSERT_EQ(unban.size(), 1u);
    EXPECT_EQ(unban[0].body, (Bytes{0, 's', 'o', 'm', 'e', 'o', 'n', 'e'}));
}

TEST_F(ChatServiceTest, ChatFromAnIgnoredPlayerNeverReachesTheConsole) {
    TempDir dir;  // the ignore list is saved in user.dat
    dir.Enter();
    g_screenState = 2;
    // Players as the service announces them: id, place, team, a 12-character name.
    auto joined = [&](uint16_t id, const char* name) {
        Bytes j = {static_cast<uint8_t>(id >> 8), static_cast<uint8_t>(id), 51, 1};
        Bytes text(12 + 8, 0);
        std::memcpy(text.data(), name, std::strlen(name));
        j.insert(j.end(), text.begin(), text.end());
        service.Send(0, 3, j);
    };
    auto chat = [&](uint16_t id, const std::string& line) {
        Bytes c = {static_cast<uint8_t>(id >> 8), static_cast<uint8_t>(id), 0, 0, 0, 0, 0, 0};
        c.insert(c.end(), line.begin(), line.end());
        c.push_back(0);
        service.Send(0, 7, c, id);
    };
    joined(44, "Grumbleweeds");
    joined(45, "Quiet");
    PumpUntil([] {
        BlockRead();
        return FindPlayerIndex(45) > 0;
    });
    ASSERT_GT(FindPlayerIndex(44), 0);
    Type("*i GRUMBLEWEEDS");
    chat(44, "noise");
    chat(45, "hello");
    PumpUntil([] {
        BlockRead();
        return netmsg::ConsoleHas("hello");
    });
    EXPECT_TRUE(netmsg::ConsoleHas("hello"));
    EXPECT_FALSE(netmsg::ConsoleHas("noise"));
}

}  // namespace
