// The console's system lines.
#include <gtest/gtest.h>

#include <string>

#include "client/core/error_log.h"
#include "client/core/screen_state.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/fonts.h"
#include "tests/client/screens/screen_fixture.h"

namespace {

class Console : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        StartScreen();
        ClearChatBuffer();
        g_debugLevel = 0;
    }
    void TearDown() override {
        g_debugLevel = 0;
        g_screenState = 0;
        ScreenFixture::TearDown();
    }
};

TEST_F(Console, TheRingKeepsTheLastHundredLines) {
    const int before = ChatBuffer.count;
    for (int i = 0; i < 130; ++i)
        PrintMessage(MSG_SYSTEM, ("line " + std::to_string(i)).c_str(), 44, 0);
    EXPECT_EQ(ChatBuffer.count - before, 130);
    EXPECT_EQ(ChatBuffer.write, 30);
    EXPECT_EQ(ChatBuffer.start, 31) << "the oldest kept line";
    EXPECT_STREQ(ChatBuffer.lines[ChatBuffer.start].text, "line 31");
    EXPECT_STREQ(ChatBuffer.lines[29].text, "line 129");
    EXPECT_EQ(ChatBuffer.lines[29].text_color, 5);
    EXPECT_STREQ(ChatBuffer.lines[29].tag, "");
}

TEST_F(Console, WideLinesWrapAtTheScreensLimit) {
    const std::string word = "abcdefghij ";
    std::string text;
    while (TextWidth(text.c_str(), 1) <= 300)
        text += word;
    g_screenState = 2;  // 430 pixels
    PrintMessage(MSG_SYSTEM, text.c_str(), 5, 0);
    EXPECT_EQ(ChatBuffer.write, 1);
    g_screenState = 1;  // the arena: 256 pixels
    PrintMessage(MSG_SYSTEM, text.c_str(), 5, 0);
    ASSERT_EQ(ChatBuffer.write, 3);
    const ChatLine& first = ChatBuffer.lines[1];
    const ChatLine& second = ChatBuffer.lines[2];
    EXPECT_LE(TextWidth(first.text, 1), 256);
    EXPECT_GT(TextWidth((std::string(first.text) + second.text[0]).c_str(), 1), 256) << "the longest beginning";
    EXPECT_EQ(std::string(first.text) + second.text, text);
    EXPECT_STREQ(second.tag, "       ");
}

TEST_F(Console, DebugLevelTwoCopiesLinesToTheLog) {
    OpenErrorLog("error.log");
    PrintDebug("hidden %d", 1);
    g_debugLevel = 2;
    PrintDebug("shown %d", 2);
    PrintMessage(MSG_SYSTEM, "plain", 5, 0);
    CloseErrorLog();
    EXPECT_EQ(dir->Read("error.log"), "Log File Started.\nDEBUG: shown 2\nDEBUG: plain\n");
    EXPECT_EQ(ChatBuffer.lines[0].tag_color, 5);
    EXPECT_STREQ(ChatBuffer.lines[0].text, "shown 2");
}

}  // namespace
