// The file list and its fields: what a server sends is read exactly, and nothing it sends can
// name a file outside the installation or overrun a buffer.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/support/update_server.h"
#include "updater/lib/file_list.h"

namespace {

struct FieldCase {
    const char* line;
    bool ok;
    const char* field;
    const char* rest;
};

TEST(TakeField, TakesFieldsPlainAndQuoted) {
    const FieldCase cases[] = {
        {"abc,def", true, "abc", "def"},
        {"abc", true, "abc", ""},
        {",def", true, "", "def"},
        {"abc,", true, "abc", ""},
        {"\"a,b\",c", true, "a,b", "c"},
        {"\"a,b\"", true, "a,b", ""},
        {"xy\"a,b\",c", true, "a,b", "c"},           // text before the quote is dropped
        {"\"a\"x,c", true, "a", ",c"},               // the closing quote takes one character with it
        {"a,\"b,c\"", true, "a", "\"b,c\""},          // a quote after the comma belongs to the next field
        {"", false, "", ""},
        {"\"open,c", false, "", "\"open,c"},          // an unclosed quote takes nothing
    };
    for (const FieldCase& c : cases) {
        std::string line = c.line;
        std::string field = "unchanged";
        EXPECT_EQ(TakeField(line, &field, 255), c.ok) << c.line;
        EXPECT_EQ(field, c.ok ? c.field : "unchanged") << c.line;
        EXPECT_EQ(line, c.rest) << c.line;
    }
}

TEST(TakeField, RefusesFieldsLongerThanTheirBuffer) {
    std::string line = std::string(256, 'n') + ",next";
    std::string field;
    EXPECT_FALSE(TakeField(line, &field, 255));
    line = std::string(255, 'n') + ",next";
    EXPECT_TRUE(TakeField(line, &field, 255));
    EXPECT_EQ(field.size(), 255u);
    EXPECT_EQ(line, "next");
    line = "\"" + std::string(256, 'q') + "\"";
    EXPECT_FALSE(TakeField(line, &field, 255));
}

struct HexCase {
    const char* line;
    bool ok;
    uint32_t value;
};

TEST(ParseHexField, ReadsHexadecimalNumbers) {
    const HexCase cases[] = {
        {"4d2", true, 1234},
        {"1A4", true, 420},
        {"  0x386d4380", true, 0x386d4380},
        {"0X10", true, 16},
        {"0x5", true, 5},                  // the shortest prefixed number
        {"\t12", true, 0x12},              // a tab is white space too
        {"ffffffff", true, 0xFFFFFFFF},
        {"100000000", true, 0xFFFFFFFF},   // beyond 32 bits
        {"123456789abcdef", true, 0xFFFFFFFF},
        {"12zz", true, 0x12},              // digits up to the first other character
        {"0", true, 0},
        {"0xg", true, 0},                  // "0" is a digit, the "x" ends it
        {",next", true, 0},                // an empty field among others
        {"  ,next", true, 0},
        {"zz", true, 0},                   // no digit
        {"-1", true, 0},
        {"", false, 7},                    // no field
        {"\"4d2", false, 7},               // an unclosed quote takes no field
    };
    for (const HexCase& c : cases) {
        std::string line = c.line;
        uint32_t value = 7;
        EXPECT_EQ(ParseHexField(line, &value, 16), c.ok) << c.line;
        EXPECT_EQ(value, c.value) << c.line;
    }
    std::string line = "777,rest";
    uint32_t value = 0;
    EXPECT_TRUE(ParseHexField(line, &value, 8));
    EXPECT_EQ(value, 0777u);
    EXPECT_EQ(line, "rest");
    line = std::string(260, '1');
    EXPECT_FALSE(ParseHexField(line, &value, 16));
}

TEST(NormalizeListName, KeepsNamesInsideTheInstallation) {
    struct Case {
        const char* raw;
        const char* normalized;  // null: refused
    };
    const Case cases[] = {
        {"Data/Maps/Level1.dat", "data/maps/level1.dat"},
        {"Data\\Maps\\Level1.dat", "data/maps/level1.dat"},
        {"AZ/Zone.Z", "az/zone.z"},
        {"spell", "spell"},
        {"./news.txt", "./news.txt"},
        {"a..b/c..", "a..b/c.."},
        {"", nullptr},
        {"/etc/passwd", nullptr},
        {"\\windows\\win.ini", nullptr},
        {"C:\\autoexec.bat", nullptr},
        {"c:relative", nullptr},
        {"data/file:stream", nullptr},
        {"../outside", nullptr},
        {"data/../../outside", nullptr},
        {"data\\..\\..\\outside", nullptr},
        {"..", nullptr},
        {"data//x", nullptr},
        {"data/", nullptr},
        {"data/.", nullptr},
        {"tab\tname", nullptr},
    };
    for (const Case& c : cases) {
        char out[256] = "unchanged";
        EXPECT_EQ(NormalizeListName(c.raw, out), c.normalized != nullptr) << c.raw;
        if (c.normalized) {
            EXPECT_STREQ(out, c.normalized) << c.raw;
        }
    }
    char out[256];
    EXPECT_TRUE(NormalizeListName(std::string(255, 'a'), out));
    EXPECT_FALSE(NormalizeListName(std::string(256, 'a'), out));
}

TEST(ReadTextLine, EndsLinesAtLineFeedsAndRefusesOverlongOnes) {
    std::string text = "one\r\ntwo\n\nlast";
    FILE* f = fmemopen(text.data(), text.size(), "rb");
    std::string line;
    EXPECT_EQ(ReadTextLine(f, &line, 10), LineRead::Ok);
    EXPECT_EQ(line, "one");
    EXPECT_EQ(ReadTextLine(f, &line, 10), LineRead::Ok);
    EXPECT_EQ(line, "two");
    EXPECT_EQ(ReadTextLine(f, &line, 10), LineRead::Ok);
    EXPECT_EQ(line, "");
    EXPECT_EQ(ReadTextLine(f, &line, 10), LineRead::Ok);
    EXPECT_EQ(line, "last");
    EXPECT_EQ(ReadTextLine(f, &line, 10), LineRead::End);
    std::fclose(f);

    std::string exact = std::string(5, 'x') + "\r\n" + std::string(6, 'y') + "\n";
    f = fmemopen(exact.data(), exact.size(), "rb");
    EXPECT_EQ(ReadTextLine(f, &line, 5), LineRead::Ok);
    EXPECT_EQ(line, "xxxxx");
    EXPECT_EQ(ReadTextLine(f, &line, 5), LineRead::TooLong);
    std::fclose(f);

    std::string zero("a\0b\n", 4);
    f = fmemopen(zero.data(), zero.size(), "rb");
    EXPECT_EQ(ReadTextLine(f, &line, 5), LineRead::Bad);
    std::fclose(f);
}

// Parses a list from text with the temporary directory as the installation.
class FileListTest : public ::testing::Test {
protected:
    void SetUp() override { dir.Enter(); }

    bool Parse(const std::string& text) {
        std::string copy = text;
        FILE* f = fmemopen(copy.data(), copy.size(), "rb");
        bool ok = ParseFileListStream(f, &list);
        std::fclose(f);
        return ok;
    }

    void Install(const std::string& name, const std::string& content, uint32_t time) {
        dir.Write(name, content);
        utimbuf t{static_cast<time_t>(time), static_cast<time_t>(time)};
        ::utime(dir.File(name).c_str(), &t);
    }

    static std::string Lines(int count) {
        std::vector<std::string> lines;
        for (int i = 0; i < count; ++i)
            lines.push_back(EntryLine(1, 1, 1, std::to_string(i)));
        return FileListText(lines);
    }

    TempDir dir;
    FileList list;
};

// Entry lines and the values they give; an empty number field (even all four) reads as 0.
TEST_F(FileListTest, EntryLinesGiveTheirValues) {
    struct Case {
        const char* line;
        uint32_t size, packedSize, thirdNumber, time;
        const char* name;
    };
    const Case cases[] = {
        {"4d2,1a4,0,386d4380,Data/Maps/Level1.dat", 1234, 420, 0, 946684800, "data/maps/level1.dat"},
        {"4d2,1a4,,386d4380,User.dat", 1234, 420, 0, 946684800, "user.dat"},
        {",,7,,empty.dat", 0, 0, 7, 0, "empty.dat"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        ASSERT_TRUE(Parse(std::string("Zandorf Patch\n1\n") + c.line + "\n"));
        ASSERT_EQ(list.entries.size(), 1u);
        const FileListEntry& e = list.entries[0];
        EXPECT_EQ(e.size, c.size);
        EXPECT_EQ(e.packedSize, c.packedSize);
        EXPECT_EQ(e.thirdNumber, c.thirdNumber);
        EXPECT_EQ(e.time, c.time);  // 946684800: 2000-01-01 00:00 UTC
        EXPECT_STREQ(e.name, c.name);
        EXPECT_TRUE(e.needed);
        EXPECT_EQ(list.neededPackedTotal, c.packedSize);
    }
}

TEST_F(FileListTest, CountsMustLieBetweenOneAnd2500) {
    EXPECT_FALSE(Parse(FileListText({})));
    EXPECT_TRUE(Parse(Lines(1)));
    EXPECT_TRUE(Parse(Lines(2500)));
    EXPECT_EQ(list.entries.size(), 2500u);
    EXPECT_FALSE(Parse(Lines(2501)));
    EXPECT_TRUE(list.entries.empty());
    // The count line is read as a decimal number with leading blanks and a sign.
    EXPECT_TRUE(Parse("Zandorf Patch\n  +1 entries\n1,1,0,1,a\n"));
    EXPECT_FALSE(Parse("Zandorf Patch\n-1\n1,1,0,1,a\n"));
    EXPECT_FALSE(Parse("Zandorf Patch\n99999999999999999999\n1,1,0,1,a\n"));
}

TEST_F(FileListTest, InvalidListsFailWhole) {
    const std::string good = "1,1,0,1,a";
    const std::string cases[] = {
        "Zandorf Patch!\n1\n" + good + "\n",                       // header differs
        "Zandorf Patch\n2\n" + good + "\n",                        // ends before its entries
        "Zandorf Patch\n1\n\n",                                    // empty entry line
        "Zandorf Patch\n1\n1,1,0,1\n",                              // no name
        "Zandorf Patch\n1\n1,1,0\n",                                // missing fields
        "Zandorf Patch\n1\n" + std::string(260, '0') + ",1,0,1,a\n",  // a number field too long
        "Zandorf Patch\n1\n1,1,0,1,\"open\n",                       // unclosed quote
        "Zandorf Patch\n1\n1,1,0,1,../up\n",                        // leaves the installation
        "Zandorf Patch\n1\n1,1,0,1,/etc/passwd\n",
        "Zandorf Patch\n1\n1,1,0,1,C:\\x\n",
        "Zandorf Patch\n1\n20000001,1,0,1,big\n",                   // over the size cap
        "Zandorf Patch\n1\n1,20000001,0,1,big\n",
        "Zandorf Patch\n1\n1,1,0,1," + std::string(256, 'n') + "\n", // name too long
        "Zandorf Patch\n1\n1,1,0,1,a" + std::string(600, ' ') + "\n", // line too long
        "Zandorf Patch" + std::string(1100, ' ') + "\n1\n" + good + "\n",
    };
    for (const std::string& text : cases) {
        EXPECT_FALSE(Parse(text)) << text.substr(0, 80);
        EXPECT_TRUE(list.entries.empty());
    }
    // The size cap itself is allowed, and a quoted name keeps its commas.
    ASSERT_TRUE(Parse("Zandorf Patch\n1\n20000000,20000000,0,1,\"a,b.txt\"\n"));
    EXPECT_STREQ(list.entries[0].name, "a,b.txt");
}

TEST_F(FileListTest, OnlyFilesThatDifferAreNeeded) {
    Install("same.dat", "12345", 1000);
    Install("newer.dat", "12345", 1000);
    Install("Data/Mixed.DAT", "abc", 2000);
    dir.Write("sub/dir.dat/keep", "");  // a directory where a file is listed
    std::string text = FileListText({
        EntryLine(5, 9, 1000, "same.dat"),
        EntryLine(5, 9, 1001, "newer.dat"),     // differs in time alone
        EntryLine(6, 9, 1000, "same.dat"),      // differs in size alone: listed larger
        EntryLine(4, 3, 1000, "same.dat"),      // and listed smaller
        EntryLine(3, 7, 2000, "DATA\\mixed.dat"), // found without regard to case
        EntryLine(1, 4, 1, "missing.dat"),
        EntryLine(1, 5, 1, "sub/dir.dat"),
    });
    ASSERT_TRUE(Parse(text));
    std::vector<bool> needed;
    for (const FileListEntry& e : list.entries)
        needed.push_back(e.needed);
    EXPECT_EQ(needed, (std::vector<bool>{false, true, true, true, false, true, true}));
    EXPECT_EQ(list.neededPackedTotal, 9u + 9u + 3u + 4u + 5u);
}

}  // namespace
