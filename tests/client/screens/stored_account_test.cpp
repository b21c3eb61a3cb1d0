// The account and password in user.dat: each byte raised by one, so ':' stores as ';', which
// ordinary config reads take for a comment. Their own read and write keep the whole value.

#include <gtest/gtest.h>

#include <string>

#include "client/core/config_file.h"
#include "client/screens/menu_list.h"
#include "tests/support/temp_dir.h"

namespace {

class StoredAccountTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.Enter();
        GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    }
    void TearDown() override { GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0); }
    TempDir dir;
};

TEST_F(StoredAccountTest, PlainTextsComeBackThroughTheStoredForm) {
    struct Row {
        const char* plain;
        const char* stored;
    } rows[] = {
        {"abc", "bcd"},
        {"mira:9", "njsb;:"},     // ':' stores as ';'
        {"a;b", "b<c"},           // ';' as '<'
        {"x<y", "y=z"},           // '<' as '=': a value may hold '='
        {"<lead", "=mfbe"},       // even at its start
        {"pass word ", "qbtt!xpse!"},  // blanks store as '!', so a trailing blank survives
        {"", ""},
    };
    for (const Row& r : rows) {
        char text[64];
        std::snprintf(text, sizeof text, "%s", r.plain);
        EXPECT_STREQ(ScramblePassword(text), r.stored) << r.plain;
        ASSERT_EQ(WriteConfigWholeString("user.dat", "main", "password", text), 1) << r.plain;
        char back[128] = "unchanged";
        EXPECT_EQ(GetConfigWholeString("user.dat", "main", "password", back, sizeof back, "def"), 1) << r.plain;
        EXPECT_STREQ(UnscramblePassword(back), r.plain);
    }
    // The shared plain copy holds 127 characters; a longer stored text is cut there.
    EXPECT_EQ(std::string(UnscramblePassword(std::string(127, 'b').c_str())), std::string(127, 'a'));
    EXPECT_EQ(std::string(UnscramblePassword(std::string(200, 'b').c_str())), std::string(127, 'a'));
}

TEST_F(StoredAccountTest, TheFileHoldsTheWholeValueAndOtherKeysStay) {
    dir.Write("user.dat", "; settings\n[main]\nlast_slot=2\npassword=old;x\r\nsaveinfo=1\n[game]\nitem0=1\n");
    ASSERT_EQ(WriteConfigWholeString("user.dat", "main", "password", "njsb;:"), 1);
    ASSERT_EQ(WriteConfigWholeString("user.dat", "main", "account", "b;c"), 1);
    EXPECT_EQ(dir.Read("user.dat"),
              "; settings\n[main]\naccount=b;c\nlast_slot=2\npassword=njsb;:\nsaveinfo=1\n[game]\nitem0=1\n");
    // Ordinary reads still cut at ';'; the whole read does not.
    char v[64];
    GetConfigString("user.dat", "main", "password", v, sizeof v, "", 0);
    EXPECT_STREQ(v, "njsb");
    GetConfigWholeString("user.dat", "main", "password", v, sizeof v, "");
    EXPECT_STREQ(v, "njsb;:");
    // Writing the same value again leaves the file as it is.
    const std::string before = dir.Read("user.dat");
    EXPECT_EQ(WriteConfigWholeString("user.dat", "main", "password", "njsb;:"), 1);
    EXPECT_EQ(dir.Read("user.dat"), before);
}

TEST_F(StoredAccountTest, CommentsSectionsAndRefusalsKeepTheirRules) {
    dir.Write("user.dat", "[main]\n;password=commented\n  password= a;b  \n[other]\naccount=z\n");
    char v[64];
    EXPECT_EQ(GetConfigWholeString("user.dat", "main", "password", v, sizeof v, ""), 1);
    EXPECT_STREQ(v, " a;b") << "the line is trimmed, the value after '=' kept";
    EXPECT_EQ(GetConfigWholeString("user.dat", "main", "account", v, sizeof v, "none"), 0)
        << "the next section's keys are not this one's";
    EXPECT_STREQ(v, "none");
    EXPECT_EQ(GetConfigWholeString("missing.dat", "main", "account", v, sizeof v, ""), 0);
    EXPECT_FALSE(dir.Exists("missing.dat"));
    // What this reader could not give back is refused; ordinary writes still refuse ';'.
    EXPECT_EQ(WriteConfigWholeString("user.dat", "main", "password", "a\nb"), 0);
    EXPECT_EQ(WriteConfigWholeString("user.dat", "main", "password", "ab "), 0);
    EXPECT_EQ(WriteConfigWholeString("user.dat", "main", "pass;word", "ab"), 0);
    EXPECT_EQ(WriteConfigString("user.dat", "main", "password", "a;b"), 0);
    EXPECT_EQ(dir.Read("user.dat"), "[main]\n;password=commented\n  password= a;b  \n[other]\naccount=z\n");
}

}  // namespace
