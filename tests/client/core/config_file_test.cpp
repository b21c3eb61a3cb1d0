#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "client/core/config_file.h"
#include "tests/support/temp_dir.h"

namespace {

class ConfigFileTest : public ::testing::Test {
protected:
    void SetUp() override { dir.Enter(); }
    void TearDown() override { GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0); }

    std::string Get(const char* file, const char* section, const char* key, int* found = nullptr) {
        char buf[256];
        int r = GetConfigString(file, section, key, buf, sizeof buf, "<default>", 0);
        if (found)
            *found = r;
        return buf;
    }

    TempDir dir;
};

const char kSample[] =
    "top=before any section\n"
    "[Main]\n"
    "name=Wanderer\n"
    "team =Dragon\n"
    "port=1234 ;tcp\n"
    "  spaced=  keep leading  \n"
    "flag\n"
    "; comment=ignored\n"
    "[Arena00]\n"
    "grid=level1\n"
    "[arena01]\n"
    "grid=level2\n"
    "[socket]\n"
    "port=4321\n"
    "blank=   \n"
    "last=no line end";

}  // namespace

TEST_F(ConfigFileTest, ReadsFollowTheMatchingRules) {
    dir.Write("main.dat", kSample);
    struct Case {
        const char* section;
        const char* key;
        int found;
        const char* value;
    };
    const Case cases[] = {
        {"main", "name", 1, "Wanderer"},               // section in capitals, request in lower case
        {"MAIN", "NAME", 1, "Wanderer"},               // key without regard to case
        {"main", "team", 0, "<default>"},              // a space before '=' hides the key
        {"main", "team ", 1, "Dragon"},
        {"main", "port", 1, "1234"},                   // ';' and what follows are cut, then trimmed
        {"main", "spaced", 1, "  keep leading"},       // spaces behind '=' stay for the file reader
        {"main", "flag", 1, ""},                       // a line without '=' matches whole, empty value
        {"main", "comment", 0, "<default>"},
        {"main", "grid", 0, "<default>"},              // keys stop at the next section
        {"arena00", "grid", 1, "level1"},
        {"arena0", "grid", 1, "level1"},               // prefix match: the first matching section wins
        {"arena01", "grid", 1, "level2"},
        {"socket", "port", 1, "4321"},
        {"socket", "blank", 1, ""},
        {"socket", "last", 1, "no line end"},          // a last line without a line end is read whole
        {"", "top", 0, "<default>"},                   // before the first section: never found
        {"nosuch", "name", 0, "<default>"},
    };
    for (const Case& c : cases) {
        int found = -1;
        EXPECT_EQ(Get("main.dat", c.section, c.key, &found), c.value) << c.section << "/" << c.key;
        EXPECT_EQ(found, c.found) << c.section << "/" << c.key;
    }
}

TEST_F(ConfigFileTest, StreamReaderKeepsSemicolonsAndSkipsSpaces) {
    dir.Write("main.dat", kSample);
    FILE* f = std::fopen("main.dat", "rb");
    ASSERT_NE(f, nullptr);
    char buf[256];
    EXPECT_EQ(ReadConfigString(f, "main", "port", buf, sizeof buf, "x"), 1);
    EXPECT_STREQ(buf, "1234 ;tcp");
    EXPECT_EQ(ReadConfigString(f, "main", "spaced", buf, sizeof buf, "x"), 1);
    EXPECT_STREQ(buf, "keep leading");
    int v = 0;
    EXPECT_EQ(ReadConfigInt(f, "socket", "port", &v, 9), 1);
    EXPECT_EQ(v, 4321);
    EXPECT_EQ(ReadConfigInt(f, "socket", "missing", &v, 9), 0);
    EXPECT_EQ(v, 9);
    // A value of spaces only, and a last line without a line end read whole.
    EXPECT_EQ(ReadConfigString(f, "socket", "blank", buf, sizeof buf, "x"), 1);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(ReadConfigString(f, "socket", "last", buf, sizeof buf, "x"), 1);
    EXPECT_STREQ(buf, "no line end");
    // Back to a section read before: the cache must not lose the stream's place.
    EXPECT_EQ(ReadConfigString(f, "main", "name", buf, sizeof buf, "x"), 1);
    EXPECT_STREQ(buf, "Wanderer");
    ForgetConfigStream(f);
    std::fclose(f);
}

TEST_F(ConfigFileTest, IntegersConvertLikeSignedDecimals) {
    dir.Write("n.dat", "[n]\na= -42x\nb=+7\nc=abc\nd=99999999999\n");
    int v = 5;
    EXPECT_EQ(GetConfigInt("n.dat", "n", "a", &v, 1, 0), 1);
    EXPECT_EQ(v, -42);
    GetConfigInt("n.dat", "n", "b", &v, 1, 0);
    EXPECT_EQ(v, 7);
    GetConfigInt("n.dat", "n", "c", &v, 1, 0);
    EXPECT_EQ(v, 0);
    GetConfigInt("n.dat", "n", "d", &v, 1, 0);
    EXPECT_EQ(v, 2147483647);
    EXPECT_EQ(GetConfigInt("n.dat", "n", "e", &v, 13, 0), 0);
    EXPECT_EQ(v, 13);
}

TEST_F(ConfigFileTest, ValuesAreBoundedByTheOutputBuffer) {
    std::string longValue(300, 'v');
    dir.Write("l.dat", "[s]\nk=" + std::string(200, 'x') + "\n");
    char small[8];
    std::memset(small, 'Z', sizeof small);
    EXPECT_EQ(GetConfigString("l.dat", "s", "k", small, sizeof small, nullptr, 0), 1);
    EXPECT_EQ(std::string(small), "xxxxxxx");
    // A line longer than 254 characters reads as several lines.
    dir.Write("m.dat", "[s]\nk=" + longValue + "\n");
    char buf[512];
    GetConfigString("m.dat", "s", "k", buf, sizeof buf, nullptr, 0);
    EXPECT_EQ(std::string(buf).size(), 252u);
}

TEST_F(ConfigFileTest, WriteReplacesOnlyTheFirstOccurrence) {
    dir.Write("user.dat", "; settings\n[main]\naccount=old\nAccount=second\n[other]\naccount=x\n");
    ASSERT_EQ(WriteConfigString("user.dat", "main", "ACCOUNT", "new"), 1);
    EXPECT_EQ(dir.Read("user.dat"), "; settings\n[main]\nACCOUNT=new\nAccount=second\n[other]\naccount=x\n");
    EXPECT_EQ(Get("user.dat", "main", "account"), "new");
}

TEST_F(ConfigFileTest, WriteIntoMissingKeySectionOrFile) {
    dir.Write("user.dat", "[main]\nteam=None\n[keys]\nfire=57");
    ASSERT_EQ(WriteConfigInt("user.dat", "main", "last_slot", 2), 1);
    EXPECT_EQ(dir.Read("user.dat"), "[main]\nlast_slot=2\nteam=None\n[keys]\nfire=57");
    // A missing section goes at the end, on a line of its own even after a last line without end.
    ASSERT_EQ(WriteConfigString("user.dat", "ignorelist", "1", "Grumbl"), 1);
    EXPECT_EQ(dir.Read("user.dat"), "[main]\nlast_slot=2\nteam=None\n[keys]\nfire=57\n[ignorelist]\n1=Grumbl\n");
    ASSERT_EQ(WriteConfigString("fresh.dat", "main", "debug", "1"), 1);
    EXPECT_EQ(dir.Read("fresh.dat"), "[main]\ndebug=1\n");
    // Reads after a write see the new file, not the reader's stale cache.
    EXPECT_EQ(Get("user.dat", "main", "last_slot"), "2");
    ASSERT_EQ(WriteConfigInt("user.dat", "main", "last_slot", 3), 1);
    EXPECT_EQ(Get("user.dat", "main", "last_slot"), "3");
}

TEST_F(ConfigFileTest, WriteLandsWhereTheReaderLooks) {
    // Indented keys and sections are what the reader finds, so the writer replaces those.
    dir.Write("w.dat", "  [main]\n   name=a\n");
    ASSERT_EQ(WriteConfigString("w.dat", "main", "name", "b"), 1);
    EXPECT_EQ(dir.Read("w.dat"), "  [main]\nname=b\n");
    // A section that ends the file without a line end gets its key on a new line.
    dir.Write("v.dat", "[main]");
    ASSERT_EQ(WriteConfigString("v.dat", "main", "k", "1"), 1);
    EXPECT_EQ(dir.Read("v.dat"), "[main]\nk=1\n");
}

TEST_F(ConfigFileTest, WriteCopiesOtherLinesByteForByte) {
    // A stray zero byte must not take the rest of its line, and the next setting, with it.
    const std::string damaged("[main]\nname=a\0b\nteam=Dragon\n", 28);
    dir.Write("user.dat", damaged);
    ASSERT_EQ(WriteConfigString("user.dat", "main", "port", "1"), 1);
    EXPECT_EQ(dir.Read("user.dat"), std::string("[main]\nport=1\nname=a\0b\nteam=Dragon\n", 35));
    EXPECT_EQ(Get("user.dat", "main", "team"), "Dragon");
}

TEST_F(ConfigFileTest, WritesThatCouldNotBeReadBackAreRefused) {
    // Names that come from elsewhere (the ignore list's players) must not forge settings, and a
    // write that reports success must be what the next read gives.
    const std::string original = "[main]\naccount=mine\n";
    struct Case {
        const char* what;
        std::string section, key, value;
    };
    const Case cases[] = {
        {"a line end in the value", "ignorelist", "1", "Grumbl\n[main]\naccount=theirs"},
        {"a carriage return in the value", "ignorelist", "2", "Nag\r\nx=1"},
        {"';' in the value, which the reader cuts", "main", "account", "a;b"},
        {"white space ending the value, which the reader trims", "main", "account", "mine "},
        {"'=' in the key", "main", "a=b", "1"},
        {"white space starting the key", "main", " account", "x"},
        {"a key that reads as a section", "main", "[other", "x"},
        {"a line end in the key", "main", "k\n[main]\naccount", "x"},
        {"a line over 254 characters", "main", "k", std::string(253, 'v')},
        {"a new section the reader cannot find", "a;b", "k", "1"},
        {"a new section line over 254 characters", std::string(253, 's'), "k", "1"},
    };
    dir.Write("user.dat", original);
    struct stat before {};
    ASSERT_EQ(::stat("user.dat", &before), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(WriteConfigString("user.dat", c.section.c_str(), c.key.c_str(), c.value.c_str()), 0);
        EXPECT_EQ(dir.Read("user.dat"), original);
    }
    struct stat after {};
    ASSERT_EQ(::stat("user.dat", &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(Get("user.dat", "main", "account"), "mine");

    // At the limit: a 254-character line reads back whole, a value may start with spaces and a
    // key may be empty.
    const std::string longest(252, 'v');
    ASSERT_EQ(WriteConfigString("user.dat", "main", "k", longest.c_str()), 1);
    EXPECT_EQ(Get("user.dat", "main", "k"), longest);
    ASSERT_EQ(WriteConfigString("user.dat", "main", "", "  spaced"), 1);
    EXPECT_EQ(Get("user.dat", "main", ""), "  spaced");
}

TEST_F(ConfigFileTest, WriterSeesLongLinesAndZeroBytesAsTheReaderDoes) {
    // The reader takes a line over 254 characters as several; what follows the first 254 is a
    // line of its own, so a write must replace that line, not add a second section behind it.
    struct Case {
        const char* what;
        std::string file;
        const char* section;
        const char* key;
        int foundBefore;
        std::string before;  // what a read gives before the write
        std::string after;   // the file after writing "good"
    };
    const std::string pad(252, 'p');
    const std::string pad253(253, 'p');
    const Case cases[] = {
        {"a key behind the first 254 characters", "[main]\nx=" + pad + "name=evil\n", "main", "name", 1, "evil",
         "[main]\nx=" + pad + "name=good\n"},
        {"a key line split, its rest a line of its own", "[main]\nname=" + std::string(250, 'a') + "rest=1\n",
         "main", "name", 1, std::string(249, 'a'), "[main]\nname=good\narest=1\n"},
        {"a section behind the first 254 characters", ";" + pad253 + "[main]\nname=evil\n", "main", "name", 1,
         "evil", ";" + pad253 + "[main]\nname=good\n"},
        {"a section line split: its key goes behind the first piece",
         "[main]" + std::string(248, ' ') + "[other]\nname=evil\n", "main", "name", 0, "<default>",
         "[main]" + std::string(248, ' ') + "\nname=good\n[other]\nname=evil\n"},
        {"a zero byte ends what the reader sees of a line", std::string("[main]\nname\0=evil\n", 18), "main",
         "name", 1, "", std::string("[main]\nname=good\n", 17)},
        {"a zero byte hides a section", std::string("[x\0]\n[main]\nname=evil\n", 22), "main", "name", 1,
         "evil", std::string("[x\0]\n[main]\nname=good\n", 22)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);  // the file changes under the cache
        dir.Write("w.dat", c.file);
        int found = -1;
        EXPECT_EQ(Get("w.dat", c.section, c.key, &found), c.before);
        EXPECT_EQ(found, c.foundBefore);
        ASSERT_EQ(WriteConfigString("w.dat", c.section, c.key, "good"), 1);
        EXPECT_EQ(Get("w.dat", c.section, c.key, &found), "good");
        EXPECT_EQ(found, 1);
        EXPECT_EQ(dir.Read("w.dat"), c.after);
    }
}

TEST_F(ConfigFileTest, WriteKeepsTheFilesModeAndLinks) {
    mode_t oldMask = ::umask(027);
    dir.Write("user.dat", "[main]\na=1\n");
    ASSERT_EQ(::chmod("user.dat", 0604), 0);
    ASSERT_EQ(WriteConfigString("user.dat", "main", "a", "2"), 1);
    struct stat st {};
    ASSERT_EQ(::stat("user.dat", &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0604u);

    // A new file gets what the umask leaves of read and write for everyone.
    ASSERT_EQ(WriteConfigString("fresh.dat", "main", "a", "1"), 1);
    ASSERT_EQ(::stat("fresh.dat", &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    ::umask(oldMask);

    // A link is written through, relative targets from the link's own directory, and stays a link.
    std::filesystem::create_directory(dir.File("real"));
    dir.Write("real/keys.dat", "[keys]\nfire=57\n");
    std::filesystem::create_symlink("real/keys.dat", dir.File("keys.dat"));
    std::filesystem::create_symlink("keys.dat", dir.File("again.dat"));
    ASSERT_EQ(WriteConfigString("again.dat", "keys", "fire", "58"), 1);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("keys.dat")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("again.dat")));
    EXPECT_EQ(dir.Read("real/keys.dat"), "[keys]\nfire=58\n");
    // A link to a file not made yet makes it.
    std::filesystem::create_symlink("real/later.dat", dir.File("later.dat"));
    ASSERT_EQ(WriteConfigString("later.dat", "main", "a", "1"), 1);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("later.dat")));
    EXPECT_EQ(dir.Read("real/later.dat"), "[main]\na=1\n");
}

TEST_F(ConfigFileTest, WritingTheSameValueLeavesTheFileAlone) {
    dir.Write("main.dat", kSample);
    struct stat before {};
    ASSERT_EQ(::stat("main.dat", &before), 0);
    ASSERT_EQ(::chmod("main.dat", 0444), 0);  // a rewrite would have to replace a read-only file
    EXPECT_EQ(WriteConfigString("main.dat", "main", "name", "Wanderer"), 1);
    struct stat after {};
    ASSERT_EQ(::stat("main.dat", &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(dir.Read("main.dat"), kSample);
}

TEST_F(ConfigFileTest, WriteFailureIsReportedAndLeavesNoTrace) {
    // No directory to put the file in.
    EXPECT_EQ(WriteConfigString("nodir/user.dat", "main", "a", "2"), 0);
    // The replace step fails: a directory stands where the file should be.
    std::filesystem::create_directory(dir.File("user.dat"));
    EXPECT_EQ(WriteConfigString("user.dat", "main", "a", "2"), 0);
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("user.dat")));
    int entries = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.Path())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 1) << "the temporary file must be removed";
}

TEST_F(ConfigFileTest, WriteMissingStoresTheDefault) {
    dir.Write("main.dat", "[main]\n");
    char buf[64];
    EXPECT_EQ(GetConfigString("main.dat", "main", "helpfile", buf, sizeof buf, "help.txt", 1), 0);
    EXPECT_STREQ(buf, "help.txt");
    int v = 0;
    EXPECT_EQ(GetConfigInt("main.dat", "main", "port", &v, 1234, 1), 0);
    EXPECT_EQ(v, 1234);
    EXPECT_EQ(dir.Read("main.dat"), "[main]\nport=1234\nhelpfile=help.txt\n");
    // Without a default nothing is written.
    EXPECT_EQ(GetConfigString("main.dat", "main", "x", buf, sizeof buf, nullptr, 1), 0);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(dir.Read("main.dat"), "[main]\nport=1234\nhelpfile=help.txt\n");
}

TEST(ConfigLines, TrimAndMatchHelpers) {
    char line[64] = "  \t value here \r\n";
    EXPECT_EQ(TrimLine(line), 10u);
    EXPECT_STREQ(line, "value here");
    char empty[8] = "   ";
    EXPECT_EQ(TrimLine(empty), 0u);
    EXPECT_TRUE(SectionMatches("[Arena00]", "arena0"));
    EXPECT_FALSE(SectionMatches("[Arena00]", "arena000"));
    EXPECT_FALSE(SectionMatches("Arena00", "arena00"));
    EXPECT_TRUE(KeyMatches("Port=1", "port"));
    EXPECT_FALSE(KeyMatches("port =1", "port"));
    EXPECT_FALSE(KeyMatches("ports=1", "port"));
}
