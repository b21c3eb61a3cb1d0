#include <gtest/gtest.h>

#include <regex>

#include "client/core/error_log.h"
#include "tests/support/temp_dir.h"

TEST(ErrorLog, LinesAndLevels) {
    TempDir dir;
    dir.Enter();
    LogMessage(LOG_ERROR, "before the log is open\n");  // nothing, no crash
    ASSERT_TRUE(OpenErrorLog());
    ErrorLogWrite("Version Loaded: %d.%d%d\n", 0, 7, 0);
    LogMessage(LOG_ERROR, "Could not open %s\n", "grids\\x.zpk");
    LogMessage(LOG_WARNING, "w\n");
    LogMessage(LOG_INFO, "i\n");
    LogMessage(4, "never shown\n");
    LogMessage(LOG_INFO, nullptr);
    // Messages are cut at 1023 characters.
    LogMessage(LOG_INFO, "%s", std::string(2000, 'm').c_str());
    CloseErrorLog();

    std::string log = dir.Read("error.log");
    std::regex expected(
        "Log File Started\\.\n"
        "Version Loaded: 0\\.70\n"
        "[0-9]+:ERROR: Could not open grids\\\\x\\.zpk\n"
        "[0-9]+:WARNING: w\n"
        "[0-9]+:INFO: i\n"
        "[0-9]+:ERROR: bad flag \\(4\\) in LogMessage\\.\n"
        "[0-9]+:INFO: m{1023}");
    EXPECT_TRUE(std::regex_match(log, expected)) << log.substr(0, 300);
}

TEST(ErrorLog, StartsAnewEachRun) {
    TempDir dir;
    dir.Enter();
    dir.Write("error.log", "old contents\n");
    ASSERT_TRUE(OpenErrorLog());
    CloseErrorLog();
    EXPECT_EQ(dir.Read("error.log"), "Log File Started.\n");
}
