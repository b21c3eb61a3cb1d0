#include "client/core/screen_files.h"

#include <gtest/gtest.h>

#include <string>

#include "client/core/config_file.h"
#include "client/core/error_log.h"
#include "tests/support/headless.h"
#include "tests/support/temp_dir.h"

namespace {

class ScreenFilesTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        dir.Enter();
        g_screenFiles = ScreenFiles{};
        GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    }
    void TearDown() override {
        CloseErrorLog();
        GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
        g_screenFiles = ScreenFiles{};
        HeadlessTest::TearDown();
    }
    TempDir dir;
};

const char* const kKeys[] = {"menu", "gamebackfile", "chatbackfile", "kbdcfgbackfile", "summarybackfile",
                             "charmanbackfile"};

TEST_F(ScreenFilesTest, SixKeysAreReadInTheirPlaces) {
    EXPECT_STREQ(g_screenFiles.menu, "wyzards2.pcx");
    EXPECT_STREQ(g_screenFiles.characterBack, "screen2.pcx");
    std::string text = "[screens]\n";
    for (const char* key : kKeys)
        text += std::string(key) + "=" + key + ".pcx\n";
    dir.Write("main.dat", text);
    LoadScreenFiles();
    EXPECT_STREQ(g_screenFiles.menu, "menu.pcx");
    EXPECT_STREQ(g_screenFiles.gameBack, "gamebackfile.pcx");
    EXPECT_STREQ(g_screenFiles.chatBack, "chatbackfile.pcx");
    EXPECT_STREQ(g_screenFiles.keyboardBack, "kbdcfgbackfile.pcx");
    EXPECT_STREQ(g_screenFiles.summaryBack, "summarybackfile.pcx");
    EXPECT_STREQ(g_screenFiles.characterBack, "charmanbackfile.pcx");
}

TEST_F(ScreenFilesTest, AMissingKeyIsLoggedAndEndsTheProgram) {
    for (const char* missing : kKeys) {
        std::string text = "[screens]\n";
        for (const char* key : kKeys)
            if (key != missing)
                text += std::string(key) + "=" + std::string(60, 'x') + "\n";
        dir.Write("main.dat", text);
        GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
        ASSERT_TRUE(OpenErrorLog("error.log"));
        int code = 0;
        try {
            LoadScreenFiles();
        } catch (const ProcessExit& e) {
            code = e.code;
        }
        CloseErrorLog();
        EXPECT_EQ(code, -1) << missing;
        EXPECT_NE(dir.Read("error.log").find(std::string("No entry for ") + missing + " in file: main.dat\n"),
                  std::string::npos)
            << missing;
        // Names are kept to 49 characters.
        if (missing != kKeys[0])
            EXPECT_EQ(std::string(g_screenFiles.menu), std::string(49, 'x'));
    }
}

}  // namespace
